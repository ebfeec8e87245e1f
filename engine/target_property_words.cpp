// The property words of a graphic's alternate text and caption, an image
// map's name, an image-map area's shape and tab index, and a layer's
// position.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/properties.h"
#include "core/record_forms.h"
#include "core/signatures.h"
#include "engine/target_property_writers.h"

namespace talix {

namespace {

// Host offsets.
constexpr std::uint32_t kAltTextLength = 4, kAltText = 12;
constexpr std::uint32_t kCaptionLength = 4, kCaptionText = 32;
constexpr std::uint32_t kMapNameLength = 8, kMapName = 36;
constexpr std::uint32_t kAreaShape = 8, kAreaTabIndex = 10;
constexpr std::uint32_t kSchemeOffset = 2, kZIndex = 4, kTop = 8, kLeft = 32, kBrowserLeft = 104,
                        kBrowserRight = 112, kPositioningLength = 120;
// A length value: flags, the number at 8, the unit at 16.
constexpr std::uint32_t kLengthNumber = 8, kLengthUnit = 16;

// Keyword positions.
constexpr std::uint16_t kPosAltText = 0, kPosCaption = 1;
constexpr std::uint16_t kPosTop = 0, kPosLeft = 1, kPosScheme = 8, kPosZIndex = 9, kPosBrowserLeft = 10,
                        kPosBrowserRight = 11;
constexpr std::uint16_t kPosShape = 6, kPosTabIndex = 7, kAreaAll = 8;

// The text of a record whose length word and text lie at the offsets given,
// cut to what the record holds.
std::uint32_t RecordText(const std::uint8_t* record, std::uint32_t length, std::uint32_t lengthOffset,
                         std::uint32_t textOffset, const char** text) {
    if (record == nullptr || length < textOffset) return 0;
    std::uint32_t size = ReadWord(record + lengthOffset);
    if (size > length - textOffset) size = length - textOffset;
    *text = reinterpret_cast<const char*>(record + textOffset);
    return size;
}

// A quoted word, "<keyword>=<q><text><q> ".
void AppendQuoted(char* out, std::uint32_t capacity, const char* keyword, const char* text, std::uint32_t size) {
    const char quote = ChooseQuoteChar(text, static_cast<int>(size));
    AppendWord(out, capacity, "%s=%c%.*s%c ", keyword, quote, static_cast<int>(size), text, quote);
}

double ReadDouble(const std::uint8_t* p) {
    double value = 0;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// A length value as a style length: "auto " and "inherit " by its flags,
// the number by its unit, and one trailing blank less when it is flagged.
void FormatLength(const std::uint8_t* value, char (&text)[96]) {
    text[0] = '\0';
    const std::uint16_t flags = ReadWord(value);
    if ((flags & 1u) != 0) std::strcat(text, "auto ");
    if ((flags & 2u) != 0) std::strcat(text, "inherit ");
    const double number = ReadDouble(value + kLengthNumber);
    const std::size_t used = std::strlen(text);
    const long whole = static_cast<long>(number);
    switch (value[kLengthUnit]) {
    case 1: std::snprintf(text + used, sizeof text - used, "%fin", static_cast<float>(number / 1440.0)); break;
    case 2: std::snprintf(text + used, sizeof text - used, "%ldpx", whole); break;
    case 3: std::snprintf(text + used, sizeof text - used, "%ld%%", whole); break;
    case 4: std::snprintf(text + used, sizeof text - used, "%ldem", whole); break;
    case 5: std::snprintf(text + used, sizeof text - used, "%ldex", whole); break;
    case 6: std::snprintf(text + used, sizeof text - used, "%ldch", whole); break;
    default: break;
    }
    const std::size_t size = std::strlen(text);
    if (flags != 0 && size > 0 && text[size - 1] == ' ') text[size - 1] = '\0';
}

bool Asked(std::uint16_t selector, std::uint16_t position, std::uint16_t all) {
    return selector == position || selector == all;
}

// The quoted word of a graphic's text record (its length word and text at
// the offsets given), once per request.
void WriteQuotedWord(const std::uint8_t* record, std::uint32_t length, std::uint32_t lengthOffset,
                     std::uint32_t textOffset, const char* keyword, std::uint16_t position, char* text,
                     std::uint32_t capacity, std::uint16_t selector, PropertyWriterState* state) {
    if (text == nullptr || state == nullptr || !Asked(selector, position, kGraphicWordAll) ||
        state->done[position] != 0)
        return;
    const char* value = "";
    const std::uint32_t size = RecordText(record, length, lengthOffset, textOffset, &value);
    AppendQuoted(text, capacity, keyword, value, size);
    state->done[position] = 1;
}

} // namespace

void AppendWord(char* text, std::uint32_t capacity, const char* format, ...) {
    const std::size_t used = strnlen(text, capacity);
    if (used + 1 >= capacity) return;
    char word[4200];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(word, sizeof word, format, args);
    va_end(args);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof word || used + length + 1 > capacity) return;
    std::memcpy(text + used, word, static_cast<std::size_t>(length) + 1);
}

STATUS WriteAltTextProperty(const std::uint8_t* record, std::uint32_t length, char* text, std::uint32_t capacity,
                            std::uint16_t selector, PropertyWriterState* state) {
    WriteQuotedWord(record, length, kAltTextLength, kAltText, "AltText", kPosAltText, text, capacity, selector,
                    state);
    return kOK;
}

STATUS WriteCaptionProperty(const std::uint8_t* record, std::uint32_t length, char* text, std::uint32_t capacity,
                            std::uint16_t selector, PropertyWriterState* state) {
    WriteQuotedWord(record, length, kCaptionLength, kCaptionText, "Caption", kPosCaption, text, capacity, selector,
                    state);
    return kOK;
}

STATUS WriteMapNameProperty(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length, char* text,
                            std::uint32_t capacity, std::uint16_t selector, PropertyWriterState*) {
    if (text == nullptr || signature != kSigMapElement || selector > 1) return kOK;
    const char* name = "";
    const std::uint32_t size = RecordText(record, length, kMapNameLength, kMapName, &name);
    AppendWord(text, capacity, "MapName='%.*s' ", static_cast<int>(size), name);
    return kOK;
}

STATUS WriteHotspotShapeProperties(const CDRecordNode* node, char* text, std::uint32_t capacity,
                                   std::uint16_t selector, PropertyWriterState*) {
    if (text == nullptr || node == nullptr || node->signature != kSigAreaElement || node->bytes == nullptr ||
        node->length < kAreaTabIndex + 2)
        return kOK;
    if (selector == kPosShape || selector == kAreaAll) {
        const char* shape = "rectangle";
        switch (ReadWord(node->bytes + kAreaShape)) {
        case 2: shape = "circle"; break;
        case 3: shape = "polygon"; break;
        case 4: shape = "default"; break;
        default: break;
        }
        AppendWord(text, capacity, "Shape=%s ", shape);
    }
    if (selector == kPosTabIndex || selector == kAreaAll)
        AppendWord(text, capacity, "TabIndex=%d ", ReadWord(node->bytes + kAreaTabIndex));
    return kOK;
}

STATUS WriteLayerPositionProperties(const std::uint8_t* record, std::uint32_t length, char* text,
                                    std::uint32_t capacity, std::uint16_t selector, PropertyWriterState* state) {
    if (record == nullptr || text == nullptr || state == nullptr || length < kPositioningLength) return kOK;
    auto wanted = [&](std::uint16_t position) {
        if (!Asked(selector, position, kLayerWordAll) || state->done[position] != 0) return false;
        state->done[position] = 1;
        return true;
    };
    if (wanted(kPosZIndex)) AppendWord(text, capacity, "ZIndex=%d ", static_cast<std::int32_t>(ReadDword(record + kZIndex)));
    if (wanted(kPosScheme)) {
        const char* scheme = "absolute";
        switch (record[kSchemeOffset]) {
        case 0: scheme = "static"; break;
        case 2: scheme = "relative"; break;
        case 3: scheme = "fixed"; break;
        default: break;
        }
        AppendWord(text, capacity, "Scheme=%s ", scheme);
    }
    if (wanted(kPosBrowserLeft))
        AppendWord(text, capacity, "BrowserLeftOffset=%ld ", static_cast<long>(ReadDouble(record + kBrowserLeft)));
    if (wanted(kPosBrowserRight))
        AppendWord(text, capacity, "BrowserRightOffset=%ld ", static_cast<long>(ReadDouble(record + kBrowserRight)));
    char value[96];
    if (wanted(kPosTop)) {
        FormatLength(record + kTop, value);
        AppendWord(text, capacity, "Top='%s' ", value);
    }
    if (wanted(kPosLeft)) {
        FormatLength(record + kLeft, value);
        AppendWord(text, capacity, "Left='%s' ", value);
    }
    return kOK;
}

} // namespace talix
