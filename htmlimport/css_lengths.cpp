// CSS lengths and their sums up the tree.
#include "htmlimport/css_lengths.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "core/options.h"
#include "htmlimport/css_text.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/style_lookup.h"

namespace talix {

namespace {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kInchesPerCentimetre = 1.0 / 2.54;
constexpr double kInchesPerMillimetre = 1.0 / 25.4;
constexpr double kInchesPerPoint = 1.0 / 72.0;
constexpr double kInchesPerPercent = 0.075;
// The unit factors of image sizes, as the import has always written them
// (a point slightly above 1/72 inch, so twelve points are sixteen pixels).
constexpr double kImageInchesPerPoint = 0.0138889;
constexpr double kImageInchesPerCentimetre = 0.3937008;
constexpr double kImageInchesPerMillimetre = 0.03937008;

constexpr float kDefaultPixelMultiplier = 15.0f;
constexpr float kDefaultEMMultiplier = 0.15f;

// The span of a number at the start of text: blanks, a sign, digits and,
// unless whole is asked, a fraction and an exponent. Empty when there is
// no digit.
std::string NumberSpan(std::string_view text, bool whole) {
    std::size_t at = 0;
    while (at < text.size() && css::IsBlank(text[at])) ++at;
    std::string span;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        if (text[at] == '-') span.push_back('-');
        ++at;
    }
    bool digits = false;
    auto takeDigits = [&] {
        while (at < text.size() && css::IsAsciiDigit(text[at])) {
            span.push_back(text[at++]);
            digits = true;
        }
    };
    takeDigits();
    if (!whole) {
        if (at < text.size() && text[at] == '.') {
            span.push_back(text[at++]);
            takeDigits();
        }
        if (digits && at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
            std::size_t exponent = at + 1;
            if (exponent < text.size() && (text[exponent] == '-' || text[exponent] == '+')) ++exponent;
            if (exponent < text.size() && css::IsAsciiDigit(text[exponent])) {
                span.append(text.substr(at, exponent - at));
                at = exponent;
                takeDigits();
            }
        }
    }
    if (!digits) span.clear();
    return span;
}

// The number at the start of text; false when it is too large for a length
// (0 with true when there is none).
bool ReadNumber(std::string_view text, bool whole, double* number) {
    *number = 0;
    const std::string span = NumberSpan(text, whole);
    if (span.empty()) return true;
    double value = 0;
    const auto [end, error] = std::from_chars(span.data(), span.data() + span.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Too small to count ("1e-400") is 0; too large is no length.
        return span.find("e-") != std::string::npos || span.find("E-") != std::string::npos;
    }
    if (error != std::errc()) return true;
    if (whole) value = std::trunc(value);
    *number = value;
    return std::isfinite(value) && std::fabs(value) <= std::numeric_limits<float>::max();
}

float PixelMultiplierOf(const HTMLImportContext* import) {
    return import != nullptr ? import->pixelMultiplier : kDefaultPixelMultiplier;
}

// A result in float, or the default when float cannot hold it.
float AsLength(double inches, float defaultValue) {
    if (!std::isfinite(inches) || std::fabs(inches) > std::numeric_limits<float>::max()) return defaultValue;
    return static_cast<float>(inches);
}

float ReadMultiplier(const char* options, const char* key, float low, float high, float fallback) {
    char value[64];
    if (GetOptionValue(options, key, value, sizeof value) == 0) return fallback;
    const double number = LeadingNumber(value);
    if (number < low || number > high) return fallback;
    return static_cast<float>(number);
}

} // namespace

double LeadingNumber(std::string_view text) {
    double number = 0;
    return ReadNumber(text, false, &number) ? number : 0;
}

long LeadingInteger(std::string_view text) {
    const std::string span = NumberSpan(text, true);
    if (span.empty()) return 0;
    long value = 0;
    const auto [end, error] = std::from_chars(span.data(), span.data() + span.size(), value);
    if (error == std::errc::result_out_of_range)
        return span.front() == '-' ? std::numeric_limits<long>::min() : std::numeric_limits<long>::max();
    return error == std::errc() ? value : 0;
}

void ReadLengthOptions(HTMLImportContext* import) {
    if (import == nullptr) return;
    import->pixelMultiplier =
        ReadMultiplier(import->optionText, "PixelMultiplier=", 1.0f, 99.0f, kDefaultPixelMultiplier);
    import->emMultiplier = ReadMultiplier(import->optionText, "EMMultiplier=", 0.05f, 1.0f, kDefaultEMMultiplier);
}

float ParseCSSLength(const HTMLImportContext* import, const char* text, float defaultValue) {
    if (text == nullptr) return defaultValue;
    const std::string_view value(text);
    std::size_t wordEnd = 0;
    while (wordEnd < value.size() && css::IsBlank(value[wordEnd])) ++wordEnd;
    while (wordEnd < value.size() && !css::IsBlank(value[wordEnd])) ++wordEnd;

    const double pixel = PixelMultiplierOf(import) / kTwipsPerInch;
    const double em = import != nullptr ? import->emMultiplier : kDefaultEMMultiplier;
    struct Unit {
        const char* letters;
        double inches;
        bool whole;
    };
    const Unit units[] = {
        {"in", 1.0, false},       {"cm", kInchesPerCentimetre, false}, {"mm", kInchesPerMillimetre, false},
        {"pt", kInchesPerPoint, false}, {"px", pixel, true},           {"em", em, false},
        {"ex", em * 0.5, false},
    };
    for (const Unit& unit : units) {
        const std::size_t at = value.find(unit.letters);
        if (at == std::string_view::npos || at + 2 > wordEnd) continue;
        double number = 0;
        if (!ReadNumber(value, unit.whole, &number)) return defaultValue;
        return AsLength(number * unit.inches, defaultValue);
    }
    if (value.empty() || !css::IsAsciiDigit(value.front()) || !css::IsAsciiDigit(value.back())) return defaultValue;
    double count = 0;
    if (!ReadNumber(value, true, &count)) return defaultValue;
    if (count < 1 && (import == nullptr || import->allowZeroSize == 0)) return defaultValue;
    return AsLength(count * pixel, defaultValue);
}

float StyleLengthInches(const HTMLImportContext* import, std::string_view value) {
    if (value.find('%') != std::string_view::npos) return AsLength(LeadingNumber(value) * kInchesPerPercent, 0.0f);
    const std::string text(value);
    return ParseCSSLength(import, text.c_str(), 0.0f);
}

float LineHeightSpacing(std::string_view value) {
    value = css::TrimBlanks(value);
    const bool percent = !value.empty() && value.back() == '%';
    if (percent) value.remove_suffix(1);
    const std::string span = NumberSpan(value, false);
    if (span.empty() || span.size() != value.size() || span.front() == '-') return 0.0f;
    double multiple = 0;
    if (!ReadNumber(value, false, &multiple)) return 0.0f;
    if (percent) multiple /= 100;
    return multiple >= 2 ? 2.0f : multiple >= 1.5 ? 1.5f : 1.0f;
}

float SumStyleLengthUpTree(const HTMLImportContext* import, const HtmlNode* node, const char* property, int depth,
                           bool stopAtCell) {
    if (property == nullptr || property[0] == '\0') return 0.0f;
    const CSSRuleList* first = import != nullptr ? &import->styleRules1 : nullptr;
    const CSSRuleList* second = import != nullptr ? &import->styleRules2 : nullptr;
    double sum = 0;
    for (; node != nullptr; node = node->parent) {
        if (!node->IsElement()) continue;
        const StyleValue value = FindStyleValue(node, property, first, second);
        if (!value.has_value()) {
            if (node->Is(HtmlTag::kTd) || node->Is(HtmlTag::kTh)) {
                if (depth == 0 || stopAtCell) break;
                ++depth;
            }
            continue;
        }
        const double length = StyleLengthInches(import, *value);
        if (depth == 0) return AsLength(length, 0.0f);
        if (depth == 1) {
            depth = 2;
            continue;
        }
        sum += length;
        ++depth;
    }
    return AsLength(sum, 0.0f);
}

int InchesToPixels(const HTMLImportContext* import, float inches) {
    const double pixels = static_cast<double>(inches) * kTwipsPerInch / PixelMultiplierOf(import);
    // Lengths come from texts through float arithmetic: 5 pixels may come
    // back as 4.9999995.
    constexpr double kRounding = 1e-3;
    const double cut = std::trunc(pixels + (pixels >= 0 ? kRounding : -kRounding));
    if (cut >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    if (cut <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
    return static_cast<int>(cut);
}

std::uint16_t ParseHTMLLength(const HTMLImportContext* import, const char* text, std::uint16_t defaultValue) {
    if (text == nullptr) return defaultValue;
    const std::string_view value(text);
    const double pixelMultiplier = import != nullptr ? import->pixelMultiplier : 15.0;
    const double emMultiplier = import != nullptr ? import->emMultiplier : 0.15;
    struct Unit {
        const char* name;
        double inches;   // per unit; 0 for pixels
    };
    const Unit units[] = {{"in", 1.0},          {"cm", kImageInchesPerCentimetre}, {"mm", kImageInchesPerMillimetre},
                          {"pt", kImageInchesPerPoint}, {"px", 0.0},   {"em", emMultiplier},
                          {"ex", emMultiplier}};
    double pixels = 0;
    bool withUnit = false;
    for (const Unit& unit : units) {
        if (value.find(unit.name) == std::string_view::npos) continue;
        withUnit = true;
        pixels = unit.inches == 0.0 ? static_cast<double>(LeadingInteger(value))
                                    : LeadingNumber(value) * unit.inches * kTwipsPerInch / pixelMultiplier;
        break;
    }
    if (!withUnit) {
        if (value.empty() || !css::IsAsciiDigit(value.front()) || !css::IsAsciiDigit(value.back())) return defaultValue;
        pixels = static_cast<double>(LeadingInteger(value));
        const bool zeroAllowed = import != nullptr && import->allowZeroSize != 0;
        if (pixels < 1 && !(zeroAllowed && pixels == 0)) return defaultValue;
    }
    if (!(pixels > 0)) return 0;
    return pixels >= 65535.0 ? 65535 : static_cast<std::uint16_t>(pixels);
}

} // namespace talix
