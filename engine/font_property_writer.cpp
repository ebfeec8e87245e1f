// The font properties of a text run as words: style words, a colour name
// or RGB value, a point size and a face name ("Bold Red 12pt Arial").
#include "engine/font_property_writer.h"

#include <cstdio>
#include <cstring>

#include "core/font_spec.h"
#include "core/item_work_state.h"
#include "core/properties.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "engine/css_format.h"
#include "talix/item.h"

namespace talix {

namespace {

// The colour record: its length byte, flags, components and a gradient's.
constexpr std::uint32_t kColorLengthAt = 1, kColorFlags = 2, kColorRed = 4, kGradientRed = 10;
constexpr std::uint32_t kWithGradientLength = kGradientRed + 3;
constexpr std::uint16_t kColorGradient = 0x0010, kColorHighlights = 0xF000;
constexpr unsigned kStandardColors = 16;

// Appends text when it fits whole.
void Append(char* output, std::size_t capacity, const char* text) {
    const std::size_t used = strnlen(output, capacity);
    const std::size_t size = std::strlen(text);
    if (used >= capacity || size >= capacity - used) return;
    std::memcpy(output + used, text, size + 1);
}

void StyleWords(const FontId& font, const std::uint8_t* colorRecord, char* output) {
    const std::uint16_t colorFlags = colorRecord != nullptr ? ReadWord(colorRecord + kColorFlags) : 0;
    if (font.attributes == 0 && (colorFlags & kColorHighlights) == 0) {
        Append(output, kScratchSize, "Plain ");
        return;
    }
    static const struct {
        std::uint8_t bit;
        const char* word;
    } kStyles[] = {{kAttrBold, "Bold "},           {kAttrItalic, "Italic "},         {kAttrUnderline, "Underline "},
                   {kAttrStrike, "Strikethrough "}, {kAttrSuperscript, "Superscript "}, {kAttrSubscript, "Subscript "}};
    for (const auto& style : kStyles)
        if ((font.attributes & style.bit) != 0) Append(output, kScratchSize, style.word);
    if (colorRecord != nullptr) {
        if ((colorFlags & kColorHighlightYellow) != 0) Append(output, kScratchSize, "HighlightYellow ");
        if ((colorFlags & kColorHighlightPink) != 0) Append(output, kScratchSize, "HighlightPink ");
        if ((colorFlags & kColorHighlightBlue) != 0) Append(output, kScratchSize, "HighlightBlue ");
    }
    // The effects share their bits with the script positions.
    if ((font.attributes & 0xB0) == kAttrShadow) Append(output, kScratchSize, "Shadowed ");
    if ((font.attributes & kAttrEmboss) == kAttrEmboss) Append(output, kScratchSize, "Embossed ");
    if ((font.attributes & kAttrExtrude) == kAttrExtrude) Append(output, kScratchSize, "Extruded ");
}

void ColorWord(const FontId& font, const std::uint8_t* colorRecord, char* output) {
    char word[64];
    WriteColorWord(font.color, colorRecord, colorRecord != nullptr ? colorRecord[kColorLengthAt] : 0, word,
                   sizeof word);
    Append(output, kScratchSize, word);
    Append(output, kScratchSize, " ");
}

void FaceName(const FontId& font, ZervaRTItem* item, char* output) {
    char name[sizeof(FaceEntry::name) + 1] = "";
    if (item != nullptr && item->FindFaceByID(font.face, name) != 0) {
        name[sizeof name - 1] = '\0';
        Append(output, kScratchSize, name);
    }
}

} // namespace

void WriteColorWord(std::uint16_t colorIndex, const std::uint8_t* colorRecord, std::uint32_t recordLength, char* out,
                    std::size_t size) {
    if (out == nullptr || size == 0) return;
    out[0] = '\0';
    if (colorRecord == nullptr || recordLength < kColorLength) colorRecord = nullptr;
    bool matches = false;
    std::uint16_t flags = 0;
    if (colorRecord != nullptr) {
        flags = ReadWord(colorRecord + kColorFlags);
        if (recordLength == kColorLength) {
            const std::uint32_t rgb = colorRecord[kColorRed] | colorRecord[kColorRed + 1] << 8 |
                                      static_cast<std::uint32_t>(colorRecord[kColorRed + 2]) << 16;
            for (unsigned i = 0; i < kStandardColors; ++i) {
                if (PaletteRGB(i) != rgb) continue;
                matches = i == colorIndex;
                break;
            }
        }
    }
    if (colorRecord != nullptr && (flags & kColorIsRGB) != 0 && !matches) {
        int used = std::snprintf(out, size, "RGB%d,%d,%d", colorRecord[kColorRed], colorRecord[kColorRed + 1],
                                 colorRecord[kColorRed + 2]);
        if ((flags & kColorGradient) != 0 && recordLength >= kWithGradientLength && used > 0 &&
            static_cast<std::size_t>(used) < size) {
            std::snprintf(out + used, size - used, " GRADIENT%d,%d,%d", colorRecord[kGradientRed],
                          colorRecord[kGradientRed + 1], colorRecord[kGradientRed + 2]);
        }
        return;
    }
    char name[kCSSColorSize];
    ColorToCSS(colorIndex, name, kColorAsName);
    std::snprintf(out, size, "%s", name);
}

STATUS WriteFontProperties(std::uint32_t fontId, const std::uint8_t* colorRecord, ZervaRTItem* item, char* output,
                           std::uint16_t propertyCode) {
    if (output == nullptr) return kOK;
    output[0] = '\0';
    const FontId font = UnpackFontId(fontId);
    char size[16];
    std::snprintf(size, sizeof size, "%dpt ", font.size);
    switch (propertyCode) {
    case kChunkFont:
        StyleWords(font, colorRecord, output);
        ColorWord(font, colorRecord, output);
        Append(output, kScratchSize, size);
        FaceName(font, item, output);
        break;
    case kChunkTextAttributes: StyleWords(font, colorRecord, output); break;
    case kChunkFontColor: ColorWord(font, colorRecord, output); break;
    case kChunkPointSize: Append(output, kScratchSize, size); break;
    case kChunkFontFace: FaceName(font, item, output); break;
    default: break;
    }
    const std::size_t length = strnlen(output, kScratchSize);
    if (length > 0 && output[length - 1] == ' ') output[length - 1] = '\0';
    return kOK;
}

} // namespace talix
