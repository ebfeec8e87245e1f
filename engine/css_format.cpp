// Colour indexes and layout lengths as text (chunkops/css_format.h).
#include "engine/css_format.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/color_tables.h"
#include "core/font_spec.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "talix_platform/c_locale.h"

namespace talix {

namespace {

constexpr unsigned kStandardColors = 16;
constexpr unsigned kLightGray = 15;

// Twips as inches at single precision, kept inside the float range.
double TwipsAsInches(double twips) {
    if (std::isnan(twips)) return 0.0;
    double inches = twips / 1440.0;
    if (inches > FLT_MAX) inches = FLT_MAX;
    if (inches < -FLT_MAX) inches = -FLT_MAX;
    return static_cast<double>(static_cast<float>(inches));
}

// Appends text when it fits whole.
void AppendText(char* output, std::size_t capacity, const char* text) {
    const std::size_t used = strnlen(output, capacity);
    const std::size_t size = std::strlen(text);
    if (used >= capacity || size >= capacity - used) return;
    std::memcpy(output + used, text, size + 1);
}

} // namespace

long CutTowardZero(double number) {
    if (std::isnan(number)) return 0;
    if (number >= 2147483647.0) return 2147483647L;
    if (number <= -2147483648.0) return -2147483647L - 1;
    return static_cast<long>(number);
}

void FormatCSSRGB(std::uint8_t red, std::uint8_t green, std::uint8_t blue, char* output) {
    // Written by hand rather than formatted: every run of a coloured font
    // asks for it.
    char* out = output;
    auto decimal = [&out](unsigned value) {
        if (value >= 100) *out++ = static_cast<char>('0' + value / 100);
        if (value >= 10) *out++ = static_cast<char>('0' + value / 10 % 10);
        *out++ = static_cast<char>('0' + value % 10);
    };
    std::memcpy(out, "rgb(", 4);
    out += 4;
    decimal(red);
    *out++ = ',';
    decimal(green);
    *out++ = ',';
    decimal(blue);
    *out++ = ')';
    *out = '\0';
}

STATUS ColorToCSS(std::uint16_t index, char* output, int mode) {
    if (output == nullptr) return kOK;
    if (mode == kColorAsName) {
        StandardColorName(index, output, kCSSColorSize);
        return kOK;
    }
    const std::uint32_t rgb = index < kStandardColors ? PaletteRGB(index) : 0;
    const unsigned red = rgb & 0xFF, green = (rgb >> 8) & 0xFF, blue = (rgb >> 16) & 0xFF;
    if (mode < kColorAsHex) {
        FormatCSSRGB(static_cast<std::uint8_t>(red), static_cast<std::uint8_t>(green),
                     static_cast<std::uint8_t>(blue), output);
    } else {
        // Light gray has always been written in upper case.
        std::snprintf(output, kCSSColorSize, index == kLightGray ? "#%02X%02X%02X" : "#%02x%02x%02x", red, green,
                      blue);
    }
    return kOK;
}

void FormatCSSLength(const std::uint8_t* lengthValue, char* output, std::size_t capacity) {
    if (lengthValue == nullptr || output == nullptr || capacity == 0) return;
    const std::uint16_t flags = ReadWord(lengthValue);
    if ((flags & kLengthAuto) != 0) AppendText(output, capacity, "auto ");
    if ((flags & kLengthInherit) != 0) AppendText(output, capacity, "inherit ");
    double number = 0;
    std::memcpy(&number, lengthValue + kLengthNumberOffset, sizeof number);
    char text[96] = "";
    switch (lengthValue[kLengthUnitOffset]) {
    case 1: plat::FormatText(text, sizeof text, "%fin", TwipsAsInches(number)); break;
    case 2: std::snprintf(text, sizeof text, "%ldpx", CutTowardZero(number)); break;
    case 3: std::snprintf(text, sizeof text, "%ld%%", CutTowardZero(number)); break;
    case 4: std::snprintf(text, sizeof text, "%ldem", CutTowardZero(number)); break;
    case 5: std::snprintf(text, sizeof text, "%ldex", CutTowardZero(number)); break;
    case 6: std::snprintf(text, sizeof text, "%ldch", CutTowardZero(number)); break;
    default: break;
    }
    AppendText(output, capacity, text);
    const std::size_t size = strnlen(output, capacity);
    if (flags != 0 && size > 0 && size < capacity && output[size - 1] == ' ') output[size - 1] = '\0';
}

} // namespace talix
