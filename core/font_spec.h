// Font and colour specifications ("BLUE +UNDERLINE", "Courier 12",
// "RGB255,128,0"): parsing them into font ids and colour values, and merging
// a parsed specification into an existing font.
#pragma once

#include <cstdint>

class ZervaRTItem;

namespace talix {

// The platform's 4-byte font id: face, attributes, colour index, point size.
struct FontId {
    std::uint8_t face = 0;
    std::uint8_t attributes = 0;
    std::uint8_t color = 0;
    std::uint8_t size = 0;
};
static_assert(sizeof(FontId) == 4);

// The font id in one number (face in the low byte), asked for at every
// font change: made in place.
inline std::uint32_t PackFontId(const FontId& font) {
    return static_cast<std::uint32_t>(font.face) | static_cast<std::uint32_t>(font.attributes) << 8 |
           static_cast<std::uint32_t>(font.color) << 16 | static_cast<std::uint32_t>(font.size) << 24;
}
FontId UnpackFontId(std::uint32_t packed);
// The 4-byte font id as records keep it, read from and written to at.
inline FontId ReadFontId(const std::uint8_t* at) { return FontId{at[0], at[1], at[2], at[3]}; }
inline void WriteFontId(std::uint8_t* at, const FontId& font) {
    at[0] = font.face;
    at[1] = font.attributes;
    at[2] = font.color;
    at[3] = font.size;
}
// The item's default font.
FontId ItemDefaultFont(const ZervaRTItem* item);
// The font of text nothing else gives one: face 1, plain, black, 10 points.
constexpr FontId kDefaultTextFont{1, 0, 0, 10};

// Attribute bits.
constexpr std::uint8_t kAttrBold = 0x01, kAttrItalic = 0x02, kAttrUnderline = 0x04, kAttrStrike = 0x08,
                       kAttrSuperscript = 0x10, kAttrSubscript = 0x20, kAttrShadow = 0x80,
                       kAttrEmboss = 0x90, kAttrExtrude = 0xA0;

// A colour value: flags, red, green, blue, one zero byte.
struct ColorValue {
    std::uint16_t flags = 0;
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t unused = 0;
};
static_assert(sizeof(ColorValue) == 6);

constexpr std::uint16_t kColorIsRGB = 0x0001, kColorNoColor = 0x0004, kColorSystem = 0x0008,
                        kColorHighlightYellow = 0x8000, kColorHighlightPink = 0x4000,
                        kColorHighlightBlue = 0x2000;

struct ParsedFontSpec {
    FontId font;                       // face, attributes in place, colour index, size
    std::uint8_t attributesSet = 0;
    std::uint8_t attributesClear = 0;
    std::uint16_t colorFlagsSet = 0;
    std::uint16_t colorFlagsClear = 0;
    std::uint32_t rgb = 0;             // r + 256 g + 65536 b
    ColorValue color;                  // the font specification's own colour value
};

struct FontSpecMask {
    std::uint32_t face = 0, size = 0, color = 0, attributes = 0, attributesSet = 0, attributesClear = 0,
                  colorFlags = 0, colorFlagsSet = 0, colorFlagsClear = 0;
};

constexpr int kPaletteSize = 240;
// The RGB value of a palette index (0 for an index of 240 or more).
std::uint32_t PaletteRGB(unsigned index);
// The first palette index whose value equals rgb, else 0.
std::uint8_t PaletteIndex(std::uint32_t rgb);

std::uint16_t ParseColorSpec(const char* text, std::uint16_t* index, std::uint32_t* rgb);
std::uint32_t ParseRGBValue(const char* text);
// A colour as a property or option value gives it: ParseColorSpec, except
// that a lone hash word whose digits are not hexadecimal ("#GGGGGG") is no
// colour (1028), where ParseColorSpec reads it as black.
std::uint16_t ParseColorValue(const char* text, std::uint16_t* index, std::uint32_t* rgb);
int IsHexDigits(const char* text);
const char* FindWholeWordNoCase(const char* text, const char* word);
const char* FindKeywordNoCase(const char* text, const char* word);
std::uint16_t ParseFontSpec(const char* text, const char* second, ZervaRTItem* item,
                            ParsedFontSpec* spec1, ParsedFontSpec* spec2, FontSpecMask* mask1,
                            FontSpecMask* mask2);
// Whether a font specification names anything of a font (a face, a size, a
// colour, an attribute or a highlight): one that names nothing changes no run.
bool FontSpecNamesAnything(const char* text, ZervaRTItem* item);
std::uint16_t ApplyFontSpec(FontId* font, std::uint32_t* rgb, std::uint16_t* colorFlags,
                            const ParsedFontSpec& spec, const FontSpecMask& mask);
std::uint16_t MergeFontSpec(FontId* font, ColorValue* color, int* colorNeeded, int* effect,
                            ParsedFontSpec* spec, const FontSpecMask& mask);

} // namespace talix
