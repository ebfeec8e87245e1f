// The property words of a graphic's alternate text and caption, an image
// map's name, an image-map area's shape and tab index, and a layer's
// position, size and background.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "builders/layer_builders.h"
#include "core/properties.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "engine/css_format.h"
#include "engine/target_property_writers.h"
#include "talix_platform/c_locale.h"

namespace talix {

namespace {

// Host offsets.
constexpr std::uint32_t kMapNameLength = 8;
constexpr std::uint32_t kAreaShape = 8, kAreaTabIndex = 10;

// Keyword positions.
constexpr std::uint16_t kPosAltText = 0, kPosCaption = 1;
constexpr std::uint16_t kPosTop = 0, kPosLeft = 1, kPosScheme = 8, kPosZIndex = 9, kPosBrowserLeft = 10,
                        kPosBrowserRight = 11, kPosBackgroundImage = 12, kPosBackgroundRepeat = 13,
                        kPosBackgroundColor = 14, kPosWidth = 15, kPosHeight = 16;
// The box size record holds its width and height whole.
constexpr std::uint32_t kBoxSizeReadable = kBoxSizeHeight + kLengthValueSize;
// A background colour record: flags and components.
constexpr std::uint32_t kBackgroundFlags = 2, kBackgroundRed = 4, kBackgroundColorLength = 7;
constexpr std::uint16_t kBackgroundIsRGB = 0x0001;
// A reference to a named image: kind, class, name and hint lengths, then
// the hints and the name.
constexpr std::uint32_t kReferenceKind = 8, kReferenceClass = 10, kReferenceName = 12, kReferenceServer = 14,
                        kReferenceFile = 16;
constexpr std::uint16_t kNamedElement = 3, kImageClass = 19;
// The background properties record: how the image repeats.
constexpr std::uint32_t kRepeatMode = 2;
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
void AppendQuoted(PropertyWriterState* state, char* out, std::uint32_t capacity, const char* keyword,
                  const char* text, std::uint32_t size) {
    const char quote = ChooseQuoteChar(text, static_cast<int>(size));
    AppendWord(state, out, capacity, "%s=%c%.*s%c ", keyword, quote, static_cast<int>(size), text, quote);
}

double ReadDouble(const std::uint8_t* p) {
    double value = 0;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// "<keyword>='<length>' " of a length value, as style sheets write it;
// without evenEmpty nothing when the length writes as nothing.
void AppendLengthWord(PropertyWriterState* state, char* out, std::uint32_t capacity, const char* keyword,
                      const std::uint8_t* lengthValue, bool evenEmpty = true) {
    char value[128] = "";
    FormatCSSLength(lengthValue, value, sizeof value);
    if (value[0] != '\0' || evenEmpty) AppendWord(state, out, capacity, "%s='%s' ", keyword, value);
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
    AppendQuoted(state, text, capacity, keyword, value, size);
    state->done[position] = 1;
}

} // namespace

// A word of any length is appended whole when the text has room for it,
// else not at all, and then the state tells that a word was left out.
void AppendWord(PropertyWriterState* state, char* text, std::uint32_t capacity, const char* format, ...) {
    const std::size_t used = strnlen(text, capacity);
    va_list args;
    va_start(args, format);
    const int length = plat::FormatTextV(nullptr, 0, format, args);
    va_end(args);
    if (length < 0 || used + static_cast<std::size_t>(length) + 1 > capacity) {
        if (state != nullptr) state->wordLeftOut = 1;
        return;
    }
    va_start(args, format);
    plat::FormatTextV(text + used, capacity - used, format, args);
    va_end(args);
}

STATUS WriteAltTextProperty(const std::uint8_t* record, std::uint32_t length, char* text, std::uint32_t capacity,
                            std::uint16_t selector, PropertyWriterState* state) {
    WriteQuotedWord(record, length, kAltTextLengthAt, kAltTextFixedLength, "AltText", kPosAltText, text, capacity,
                    selector,
                    state);
    return kOK;
}

STATUS WriteCaptionProperty(const std::uint8_t* record, std::uint32_t length, char* text, std::uint32_t capacity,
                            std::uint16_t selector, PropertyWriterState* state) {
    WriteQuotedWord(record, length, kCaptionTextLengthAt, kCaptionFixedLength, "Caption", kPosCaption, text, capacity,
                    selector,
                    state);
    return kOK;
}

STATUS WriteMapNameProperty(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length, char* text,
                            std::uint32_t capacity, std::uint16_t selector, PropertyWriterState* state) {
    if (text == nullptr || signature != kSigMapElement || selector > 1) return kOK;
    const char* name = "";
    const std::uint32_t size = RecordText(record, length, kMapNameLength, kImageMapFixedLength, &name);
    AppendQuoted(state, text, capacity, "MapName", name, size);
    return kOK;
}

STATUS WriteHotspotShapeProperties(const CDRecordNode* node, char* text, std::uint32_t capacity,
                                   std::uint16_t selector, PropertyWriterState* state) {
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
        AppendWord(state, text, capacity, "Shape=%s ", shape);
    }
    if (selector == kPosTabIndex || selector == kAreaAll)
        AppendWord(state, text, capacity, "TabIndex=%d ", ReadWord(node->bytes + kAreaTabIndex));
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
    if (wanted(kPosZIndex)) AppendWord(state, text, capacity, "ZIndex=%d ", static_cast<std::int32_t>(ReadDword(record + kPositioningZIndex)));
    if (wanted(kPosScheme)) {
        const char* scheme = "absolute";
        switch (record[kPositioningScheme]) {
        case 0: scheme = "static"; break;
        case 2: scheme = "relative"; break;
        case 3: scheme = "fixed"; break;
        default: break;
        }
        AppendWord(state, text, capacity, "Scheme=%s ", scheme);
    }
    if (wanted(kPosBrowserLeft))
        AppendWord(state, text, capacity, "BrowserLeftOffset=%ld ", CutTowardZero(ReadDouble(record + kPositioningBrowserLeft)));
    if (wanted(kPosBrowserRight))
        AppendWord(state, text, capacity, "BrowserRightOffset=%ld ", CutTowardZero(ReadDouble(record + kPositioningBrowserRight)));
    if (wanted(kPosTop)) AppendLengthWord(state, text, capacity, "Top", record + kPositioningTop);
    if (wanted(kPosLeft)) AppendLengthWord(state, text, capacity, "Left", record + kPositioningLeft);
    return kOK;
}

STATUS WriteLayerBoxProperties(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length, char* text,
                               std::uint32_t capacity, std::uint16_t selector, PropertyWriterState* state) {
    if (record == nullptr || text == nullptr || state == nullptr) return kOK;
    auto wanted = [&](std::uint16_t position) {
        if (!Asked(selector, position, kLayerWordAll) || state->done[position] != 0) return false;
        state->done[position] = 1;
        return true;
    };
    switch (signature) {
    case kSigBoxSize:
        // A length that says nothing (no number, no switch) gives no word.
        if (length < kBoxSizeReadable) break;
        if (wanted(kPosWidth)) AppendLengthWord(state, text, capacity, "Width", record + kBoxSizeWidth, false);
        if (wanted(kPosHeight)) AppendLengthWord(state, text, capacity, "Height", record + kBoxSizeHeight, false);
        break;
    case kSigBackgroundColor:
        if (length < kBackgroundColorLength || (ReadWord(record + kBackgroundFlags) & kBackgroundIsRGB) == 0) break;
        if (wanted(kPosBackgroundColor))
            AppendWord(state, text, capacity, "BackgroundColor=RGB%d,%d,%d ", record[kBackgroundRed],
                       record[kBackgroundRed + 1], record[kBackgroundRed + 2]);
        break;
    case kSigHref: {
        if (length < kNamedElementResourceFixedLength || ReadWord(record + kReferenceKind) != kNamedElement ||
            ReadWord(record + kReferenceClass) != kImageClass)
            break;
        const std::uint32_t start =
            kNamedElementResourceFixedLength + ReadWord(record + kReferenceServer) + ReadWord(record + kReferenceFile);
        const std::uint32_t size = ReadWord(record + kReferenceName);
        if (start > length || size > length - start) break;
        if (wanted(kPosBackgroundImage))
            AppendQuoted(state, text, capacity, "BackgroundImage", reinterpret_cast<const char*>(record + start), size);
        break;
    }
    case kSigBackgroundProperties: {
        if (length <= kRepeatMode) break;
        static const char* const kRepeats[] = {nullptr, "once", "vertical", "horizontal", "tile", "size", "center"};
        const std::uint8_t mode = record[kRepeatMode];
        if (mode >= sizeof kRepeats / sizeof kRepeats[0] || kRepeats[mode] == nullptr) break;
        if (wanted(kPosBackgroundRepeat)) AppendWord(state, text, capacity, "BackgroundRepeat=%s ", kRepeats[mode]);
        break;
    }
    default:
        break;
    }
    return kOK;
}

} // namespace talix
