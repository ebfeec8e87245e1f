// Font and colour specifications: parsing texts such as "BLUE +UNDERLINE",
// "Courier 12 DARKGREEN" or "RGB(255,128,0)" into font ids and colour values,
// and applying or merging a parsed specification into a font.
#include "core/font_spec.h"

#include <cstring>

#include "core/ascii.h"
#include "core/clamp.h"
#include "core/color_tables.h"
#include "core/item_work_state.h"
#include "core/options.h"
#include "core/statuses.h"
#include "core/text_compare.h"
#include "core/thread_state.h"
#include "talix/item.h"

namespace talix {


namespace {

constexpr std::size_t kSpecCopyLength = 99;
constexpr std::uint32_t kMaxFontColor = 255;   // the colour byte of a font id

// A hexadecimal digit's value; 0 for any other character.
unsigned HexValue(char c) {
    const int value = HexDigitValue(c);
    return value < 0 ? 0 : static_cast<unsigned>(value);
}

unsigned HexPair(const char* p) { return HexValue(p[0]) * 16 + HexValue(p[1]); }

std::uint32_t MakeRGB(std::uint32_t r, std::uint32_t g, std::uint32_t b) { return r + 256 * g + 65536 * b; }

// Reads a run of decimal digits; the value saturates instead of overflowing.
std::uint32_t ReadNumber(const char** p) {
    std::uint32_t value = 0;
    while (IsAsciiDigit(**p)) {
        if (value < 100000000) value = value * 10 + static_cast<std::uint32_t>(**p - '0');
        ++*p;
    }
    return value;
}

// Reads "RGB" followed by up to three decimal numbers separated by commas
// ("RGB(255, 128, 0)", "RGB255,128,0", "RGB 255,128,0"). *end receives the
// position after the last digit read, so callers can tell which digits
// belong to the colour. A component above 255 is held at 255, so that it
// never reaches into the next one.
std::uint32_t ScanRGB(const char* text, const char** end) {
    const char* p = text + 3;
    std::uint32_t parts[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        while (*p == ' ') ++p;
        if (i == 0 && *p == '(') ++p;
        parts[i] = ReadNumber(&p);
        if (parts[i] > 255) parts[i] = 255;
        if (end != nullptr) *end = p;
        if (i == 2) break;
        // A blank or the end before the next comma ends the value.
        while (*p != '\0' && *p != ',' && *p != ' ') ++p;
        if (*p != ',') break;
        ++p;
    }
    return MakeRGB(parts[0], parts[1], parts[2]);
}

struct ColorWord {
    const char* word;
    std::uint16_t index;
    int preference;   // -1 any; 0 only for the web client; 1 only for the Notes client
};

// Tested in this order: the first whole-word hit decides.
constexpr ColorWord kColorWords[] = {
    {"BLACK", 0, -1},      {"WHITE", 1, -1},       {"DARKBLUE", 10, -1},  {"NAVY", 10, -1},
    {"DARKCYAN", 13, -1},  {"TEAL", 13, -1},       {"DARKGREEN", 9, -1},  {"GREEN", 9, 0},
    {"DARKMAGENTA", 11, -1}, {"PURPLE", 11, -1},   {"DARKRED", 8, -1},    {"MAROON", 8, -1},
    {"DARKYELLOW", 12, -1}, {"OLIVE", 12, -1},     {"RED", 2, -1},        {"GREEN", 3, 1},
    {"LIME", 3, -1},       {"BLUE", 4, -1},        {"MAGENTA", 5, -1},    {"FUCHSIA", 5, -1},
    {"CYAN", 7, -1},       {"AQUA", 7, -1},        {"YELLOW", 6, -1},     {"LIGHTGRAY", 15, -1},
    {"LIGHTGREY", 15, -1}, {"SILVER", 15, -1},     {"GRAY", 14, -1},      {"GREY", 14, -1},
};

// The colour named by a colour word of the text, if any.
bool FindColorWord(const char* text, std::uint16_t* index) {
    int preference = ThisThread().clientPreference == 0 ? 0 : 1;
    for (const ColorWord& row : kColorWords) {
        if (row.preference >= 0 && row.preference != preference) continue;
        if (FindWholeWordNoCase(text, row.word) != nullptr) {
            *index = row.index;
            return true;
        }
    }
    return false;
}

// The first "COLOR" that no letter precedes and a digit follows.
const char* FindColorNumber(const char* text) {
    for (const char* at = FindNoCase(text, "COLOR"); at != nullptr; at = FindNoCase(at + 1, "COLOR")) {
        if ((at == text || !IsAsciiLetter(at[-1])) && IsAsciiDigit(at[5])) return at + 5;
    }
    return nullptr;
}

// A word of the text that is a colour in hash form: "#" and three or six
// hexadecimal digits, at the start of the text or after a blank, and ended
// by the text's end, a blank, a comma or a semicolon. Its length goes to
// length; null when there is none.
const char* FindHashColorWord(const char* text, std::size_t* length) {
    for (const char* at = std::strchr(text, '#'); at != nullptr; at = std::strchr(at + 1, '#')) {
        if (at != text && at[-1] != ' ' && at[-1] != '\t') continue;
        std::size_t digits = 0;
        while (IsHexDigit(at[1 + digits])) ++digits;
        const char end = at[1 + digits];
        if ((digits == 3 || digits == 6) && (end == '\0' || end == ' ' || end == '\t' || end == ',' || end == ';')) {
            *length = 1 + digits;
            return at;
        }
    }
    return nullptr;
}

bool IsHashForm(const char* text) {
    std::size_t length = std::strlen(text);
    return text[0] == '#' && (length == 4 || length >= 7);
}

// Finds word (case-insensitive) where the characters around it pass the test.
const char* FindWord(const char* text, const char* word, bool letterAfterAllowed) {
    if (text == nullptr || word == nullptr || word[0] == '\0') return nullptr;
    std::size_t length = std::strlen(word);
    for (const char* at = FindNoCase(text, word); at != nullptr; at = FindNoCase(at + 1, word)) {
        if (at != text && IsAsciiLetter(at[-1])) continue;
        if (!letterAfterAllowed && IsAsciiLetter(at[length])) continue;
        return at;
    }
    return nullptr;
}

// The parts of the font specification copy whose digits are colour values, not
// point sizes: an RGB value, a "#" token, or a text that is six hex digits.
bool DigitsBelongToColor(const char* copy, const char* run, const char* rgbStart, const char* rgbEnd) {
    if (rgbStart != nullptr && run >= rgbStart && run < rgbEnd) return true;
    for (const char* p = run; p > copy && p[-1] != ' ';) {
        --p;
        if (*p == '#') return true;
    }
    return std::strchr(copy, ' ') == nullptr && std::strlen(copy) == 6 && IsHexDigits(copy);
}

void ParseDigits(const char* copy, ParsedFontSpec* spec, FontSpecMask* mask) {
    const char* rgbStart = FindNoCase(copy, "RGB");
    const char* rgbEnd = rgbStart;
    if (rgbStart != nullptr) ScanRGB(rgbStart, &rgbEnd);

    for (const char* p = copy; *p != '\0';) {
        if (!IsAsciiDigit(*p)) {
            ++p;
            continue;
        }
        const char* run = p;
        std::uint32_t value = ReadNumber(&p);
        bool afterRGB = run - copy >= 3 && StartsWithNoCase(run - 3, "RGB");
        bool afterColor = run - copy >= 5 && StartsWithNoCase(run - 5, "COLOR");
        if (afterRGB || (run > copy && (run[-1] == ',' || run[-1] == '#')) ||
            DigitsBelongToColor(copy, run, rgbStart, rgbEnd)) {
            continue;
        }
        // The digits after a decimal point ("10.5") are the fraction of the
        // number before them, not a size of their own: a size keeps its
        // whole points.
        if (run - copy >= 2 && run[-1] == '.' && IsAsciiDigit(run[-2])) continue;
        if (afterColor) {
            // A font's colour number is one byte: a greater one is no colour
            // of a font, and is not cut to another.
            if (value <= kMaxFontColor) {
                spec->font.color = static_cast<std::uint8_t>(value);
                mask->color = 1;
            }
        } else {
            // The size byte is kept whatever it is; only 1 to 100 count as a size.
            spec->font.size = static_cast<std::uint8_t>(value);
            mask->size = (value >= 1 && value <= 100) ? 1 : 0;
        }
    }
}

struct AttributeWord {
    const char* word;
    bool wholeWord;
    std::uint8_t bits;
};

constexpr AttributeWord kAttributeWords[] = {
    {"BOLD", true, kAttrBold},          {"ITALIC", false, kAttrItalic},
    {"UNDERLINE", false, kAttrUnderline}, {"STRIKE", false, kAttrStrike},
    {"SUPERSCRIPT", true, kAttrSuperscript}, {"SUBSCRIPT", true, kAttrSubscript},
    {"EMBOSS", false, kAttrEmboss},     {"EXTRUDE", false, kAttrExtrude},
    {"SHADOW", false, kAttrShadow},
};

struct ColorFlagWord {
    const char* word;
    std::uint16_t bits;
};

constexpr ColorFlagWord kColorFlagWords[] = {
    {"HIGHLIGHTYELLOW", kColorHighlightYellow},
    {"HIGHLIGHTPINK", kColorHighlightPink},
    {"HIGHLIGHTBLUE", kColorHighlightBlue},
    {"SYSTEMCOLOR", kColorSystem | kColorIsRGB},
};

char PrefixOf(const char* copy, const char* at) { return at == copy ? '\0' : at[-1]; }

void ParseAttributes(const char* copy, ParsedFontSpec* spec, FontSpecMask* mask) {
    for (const AttributeWord& row : kAttributeWords) {
        const char* at = row.wholeWord ? FindWholeWordNoCase(copy, row.word) : FindKeywordNoCase(copy, row.word);
        if (at == nullptr) continue;
        char prefix = PrefixOf(copy, at);
        if (prefix == '+') {
            spec->attributesSet |= row.bits;
            mask->attributesSet = 1;
            if (row.bits == kAttrSuperscript || row.bits == kAttrSubscript) {
                // A script position replaces an effect that shares its bits.
                spec->attributesClear |= kAttrShadow;
                mask->attributesClear = 1;
            }
        } else if (prefix == '-') {
            spec->attributesClear |= row.bits;
            mask->attributesClear = 1;
        } else {
            spec->font.attributes |= row.bits;
            mask->attributes = 1;
        }
    }

    for (const ColorFlagWord& row : kColorFlagWords) {
        const char* at = FindKeywordNoCase(copy, row.word);
        if (at == nullptr) continue;
        char prefix = PrefixOf(copy, at);
        if (prefix == '-') {
            spec->colorFlagsClear |= row.bits;
            std::uint16_t removed = row.bits == (kColorSystem | kColorIsRGB) ? kColorSystem : row.bits;
            spec->color.flags &= static_cast<std::uint16_t>(~removed);
            mask->colorFlagsClear = 1;
        } else {
            spec->colorFlagsSet |= row.bits;
            spec->color.flags |= row.bits;
            if (prefix == '+') {
                mask->colorFlagsSet = 1;
            } else {
                mask->colorFlags = 1;
            }
        }
    }

    if (FindWholeWordNoCase(copy, "PLAIN") != nullptr) {
        spec->font.attributes = 0;
        mask->attributes = 1;
        spec->color.flags &= 0x1FFF;
        mask->colorFlags = 1;
        spec->colorFlagsClear |= 0xE000;
        mask->colorFlagsClear = 1;
    }
}

void ParseOneSpec(const char* text, ZervaRTItem* item, ParsedFontSpec* spec, FontSpecMask* mask) {
    *spec = ParsedFontSpec{};
    *mask = FontSpecMask{};
    if (text == nullptr || text[0] == '\0') return;

    char copy[kSpecCopyLength + 1];
    std::size_t length = strnlen(text, kSpecCopyLength);
    std::memcpy(copy, text, length);
    copy[length] = '\0';

    // Generic family names, as given (case matters).
    if (std::strstr(copy, "sans-serif") != nullptr) {
        spec->font.face = 1;
        mask->face = 1;
    } else if (std::strstr(copy, "serif") != nullptr || std::strstr(copy, "cursive") != nullptr ||
               std::strstr(copy, "fantasy") != nullptr) {
        spec->font.face = 0;
        mask->face = 1;
    } else if (std::strstr(copy, "monospace") != nullptr) {
        spec->font.face = 4;
        mask->face = 1;
    }

    for (char* p = copy; *p != '\0'; ++p) *p = UpperAscii(*p);

    // A face of the item's table named in the text; the longest name wins.
    if (item != nullptr && item->work != nullptr) {
        const ItemWorkState& work = *item->work;
        std::size_t best = 0;
        char* bestAt = nullptr;
        int count = work.faceCount < kFaceTableCapacity ? work.faceCount : kFaceTableCapacity;
        for (int i = 0; i < count; ++i) {
            char name[sizeof(work.faces[i].name)];
            std::size_t nameLength = strnlen(work.faces[i].name, sizeof(name) - 1);
            if (nameLength <= best) continue;
            std::memcpy(name, work.faces[i].name, nameLength);
            name[nameLength] = '\0';
            const char* at = FindNoCase(copy, name);
            if (at == nullptr) continue;
            best = nameLength;
            bestAt = copy + (at - copy);
            spec->font.face = work.faces[i].face;
            mask->face = 1;
        }
        // The face's name is spent on the face: its words and digits ("Arial
        // Black", "Arial Rounded MT Bold", "Wingdings 3") name no colour,
        // attribute or size beside it.
        if (bestAt != nullptr) std::memset(bestAt, ' ', best);
    }

    ParseDigits(copy, spec, mask);

    std::uint16_t index = spec->font.color;
    std::uint32_t rgb = 0;
    if (ParseColorValue(copy, &index, &rgb) == kOK && index <= kMaxFontColor) {
        spec->font.color = static_cast<std::uint8_t>(index);
        spec->rgb = rgb;
        mask->color = 1;
    }

    ParseAttributes(copy, spec, mask);
}

} // namespace

FontId ItemDefaultFont(const ZervaRTItem* item) {
    FontId font;
    font.face = item->defaultFontFace;
    font.attributes = item->defaultFontAttributes;
    font.color = item->defaultFontColor;
    font.size = item->defaultFontSize;
    return font;
}

FontId UnpackFontId(std::uint32_t packed) {
    FontId font;
    font.face = static_cast<std::uint8_t>(packed);
    font.attributes = static_cast<std::uint8_t>(packed >> 8);
    font.color = static_cast<std::uint8_t>(packed >> 16);
    font.size = static_cast<std::uint8_t>(packed >> 24);
    return font;
}

int IsHexDigits(const char* text) {
    if (text == nullptr) return 0;
    for (; *text != '\0'; ++text) {
        if (!IsHexDigit(*text)) return 0;
    }
    return 1;
}

const char* FindWholeWordNoCase(const char* text, const char* word) { return FindWord(text, word, false); }

const char* FindKeywordNoCase(const char* text, const char* word) { return FindWord(text, word, true); }

std::uint16_t ParseColorSpec(const char* text, std::uint16_t* index, std::uint32_t* rgb) {
    std::uint16_t callerIndex = index != nullptr ? *index : 0;
    std::uint16_t foundIndex = 0;
    std::uint32_t foundRGB = 0;
    STATUS status = kArgumentError;

    if (text != nullptr) {
        bool singleToken = std::strchr(text, ' ') == nullptr && !StartsWithNoCase(text, "RGB");
        bool multiToken = !singleToken;
        if (singleToken) {
            if (text[0] == '#') {
                if (IsHashForm(text)) {
                    foundRGB = ParseRGBValue(text);
                    foundIndex = PaletteIndex(foundRGB);
                    status = kOK;
                } else {
                    multiToken = true;   // a hash text of another length is searched for words
                }
            } else if (std::strlen(text) == 6 && IsHexDigits(text)) {
                foundRGB = ParseRGBValue(text);
                foundIndex = PaletteIndex(foundRGB);
                status = kOK;
            } else if (FindColorWord(text, &foundIndex)) {
                foundRGB = PaletteRGB(foundIndex);
                status = kOK;
            } else if (FindWholeWordNoCase(text, "WINDOWTEXT") != nullptr) {
                foundIndex = callerIndex;
                foundRGB = PaletteRGB(foundIndex);
                status = kOK;
            } else if (const char* hex = NamedColorHex(text)) {
                foundIndex = 0;
                foundRGB = ParseRGBValue(hex);
                status = kOK;
            }
            // A single word that names no colour (a face name, an attribute)
            // gives no colour, so that it does not turn the text black.
        }
        if (multiToken) {
            const char* number = nullptr;
            const char* rgbText = nullptr;
            if (FindColorWord(text, &foundIndex)) {
                foundRGB = PaletteRGB(foundIndex);
                status = kOK;
            } else if ((number = FindColorNumber(text)) != nullptr) {
                std::uint32_t value = ReadNumber(&number);
                foundIndex = ClampToWord(value);
                foundRGB = PaletteRGB(foundIndex);
                status = kOK;
            } else if ((rgbText = FindNoCase(text, "RGB")) != nullptr) {
                foundRGB = ScanRGB(rgbText, nullptr);
                foundIndex = PaletteIndex(foundRGB);
                status = kOK;
            } else if (std::size_t length = 0; const char* hash = FindHashColorWord(text, &length)) {
                // "#FF0000" among other words ("12 BOLD #FF0000"), as the
                // text would be alone.
                char word[8] = {};
                std::memcpy(word, hash, length);
                foundRGB = ParseRGBValue(word);
                foundIndex = PaletteIndex(foundRGB);
                status = kOK;
            }
        }
    }

    if (index != nullptr) *index = foundIndex;
    if (rgb != nullptr) *rgb = foundRGB;
    return status;
}

std::uint16_t ParseColorValue(const char* text, std::uint16_t* index, std::uint32_t* rgb) {
    if (text != nullptr && IsHashForm(text) && std::strchr(text, ' ') == nullptr) {
        // The digits the hash form reads: three of "#abc", else the first six.
        const std::size_t digits = std::strlen(text) == 4 ? 3 : 6;
        for (std::size_t i = 1; i <= digits; ++i) {
            if (HexDigitValue(text[i]) >= 0) continue;
            if (index != nullptr) *index = 0;
            if (rgb != nullptr) *rgb = 0;
            return kArgumentError;
        }
    }
    return ParseColorSpec(text, index, rgb);
}

std::uint32_t ParseRGBValue(const char* text) {
    if (text == nullptr) return 0;
    if (StartsWithNoCase(text, "RGB")) return ScanRGB(text, nullptr);

    std::size_t length = std::strlen(text);
    if (text[0] == '#' && length >= 7) return MakeRGB(HexPair(text + 1), HexPair(text + 3), HexPair(text + 5));
    if (text[0] == '#' && length == 4) {
        return MakeRGB(HexValue(text[1]) * 17, HexValue(text[2]) * 17, HexValue(text[3]) * 17);
    }
    if (length == 6 && IsHexDigits(text)) return MakeRGB(HexPair(text), HexPair(text + 2), HexPair(text + 4));

    std::uint16_t index = 0;
    std::uint32_t rgb = 0;
    ParseColorSpec(text, &index, &rgb);
    return rgb;
}

std::uint16_t ParseFontSpec(const char* text, const char* second, ZervaRTItem* item, ParsedFontSpec* spec1,
                            ParsedFontSpec* spec2, FontSpecMask* mask1, FontSpecMask* mask2) {
    if (spec1 == nullptr || mask1 == nullptr) return kArgumentError;
    ParseOneSpec(text, item, spec1, mask1);
    if (spec2 != nullptr && mask2 != nullptr) ParseOneSpec(second, item, spec2, mask2);
    return text == nullptr ? kArgumentError : kOK;
}

bool FontSpecNamesAnything(const char* text, ZervaRTItem* item) {
    if (text == nullptr) return false;
    ParsedFontSpec spec;
    FontSpecMask mask;
    ParseOneSpec(text, item, &spec, &mask);
    return mask.face != 0 || mask.size != 0 || mask.color != 0 || mask.attributes != 0 || mask.attributesSet != 0 ||
           mask.attributesClear != 0 || mask.colorFlags != 0 || mask.colorFlagsSet != 0 || mask.colorFlagsClear != 0;
}

std::uint16_t ApplyFontSpec(FontId* font, std::uint32_t* rgb, std::uint16_t* colorFlags,
                            const ParsedFontSpec& spec, const FontSpecMask& mask) {
    if (font == nullptr) return kOK;
    if (mask.face) font->face = spec.font.face;
    if (mask.size) font->size = spec.font.size;
    if (mask.color) {
        font->color = spec.font.color;
        if (rgb != nullptr) *rgb = spec.rgb;
    }
    if ((mask.colorFlags || mask.colorFlagsSet || mask.colorFlagsClear) && colorFlags != nullptr) {
        *colorFlags = static_cast<std::uint16_t>(spec.color.flags & 0xF000);
    }
    if (mask.attributes) font->attributes = spec.font.attributes;
    if (mask.attributesSet) font->attributes |= spec.attributesSet;
    if (mask.attributesClear) font->attributes &= static_cast<std::uint8_t>(~spec.attributesClear);
    return kOK;
}

namespace {

// The clear bits of a merge, narrowed so that clearing one effect does not
// remove another effect that shares its bits. s: the font's attributes
// before, n: the font specification's attributes in place.
std::uint8_t NarrowClearBits(std::uint8_t clear, std::uint8_t s, std::uint8_t n) {
    auto keep = [&](std::uint8_t bits) { return static_cast<std::uint8_t>(clear & ~bits); };
    if ((s & 160) == 32 && (n & 160) == 160) return keep(160);
    if ((s & 144) == 16 && (n & 144) == 144) return keep(144);
    if ((s & 176) == 128) {
        if ((n & 144) == 144) return keep(144);
        if ((n & 160) == 160) return keep(160);
        return clear;
    }
    if ((s & 144) == 144) {
        if ((n & 144) == 16) return keep(16);
        if ((n & 176) == 128) return keep(128);
        if ((n & 160) == 160) return keep(160);
        return clear;
    }
    if ((s & 160) == 160) {
        if ((n & 160) == 32) return keep(32);
        if ((n & 176) == 128) return keep(128);
        if ((n & 144) == 144) return keep(144);
    }
    return clear;
}

} // namespace

std::uint16_t MergeFontSpec(FontId* font, ColorValue* color, int* colorNeeded, int* effect,
                            ParsedFontSpec* spec, const FontSpecMask& mask) {
    int needed = 0;
    if (effect != nullptr) *effect = 0;
    if (font == nullptr || spec == nullptr) {
        if (colorNeeded != nullptr) *colorNeeded = 0;
        return kOK;
    }
    if (mask.face) font->face = spec->font.face;
    if (mask.size) font->size = spec->font.size;

    if (color != nullptr) {
        if (mask.colorFlags) {
            color->flags |= spec->color.flags & 0xF000;
            if (spec->color.flags & kColorSystem) color->flags |= kColorSystem | kColorIsRGB;
        }
        if (mask.colorFlagsSet) {
            color->flags |= spec->colorFlagsSet & 0xF000;
            if (spec->colorFlagsSet & kColorSystem) color->flags |= kColorSystem | kColorIsRGB;
        }
        if (mask.colorFlagsClear) {
            color->flags &= static_cast<std::uint16_t>(~(spec->colorFlagsClear & 0xF000));
            if (spec->colorFlagsClear & kColorSystem) color->flags &= static_cast<std::uint16_t>(~kColorSystem);
        }
    }

    if (mask.color) {
        font->color = spec->font.color;
        if (color != nullptr) {
            if (spec->font.color != 0 && spec->rgb == 0) {
                // A palette colour without an RGB value: the colour value stays.
            } else if (spec->font.color == 0 && spec->rgb == 0 && !(color->flags & kColorSystem)) {
                color->flags &= static_cast<std::uint16_t>(~kColorIsRGB);
            } else {
                color->flags |= kColorIsRGB;
                color->flags &= static_cast<std::uint16_t>(~kColorNoColor);
                color->red = static_cast<std::uint8_t>(spec->rgb);
                color->green = static_cast<std::uint8_t>(spec->rgb >> 8);
                color->blue = static_cast<std::uint8_t>(spec->rgb >> 16);
                if (!((spec->color.flags | spec->colorFlagsSet) & kColorSystem)) {
                    color->flags &= static_cast<std::uint16_t>(~kColorSystem);
                }
            }
        }
    }

    if (color != nullptr) {
        needed = color->flags != 0 ? 1 : 0;
    } else {
        std::uint16_t flags = static_cast<std::uint16_t>((spec->color.flags | spec->colorFlagsSet) &
                                                         ~spec->colorFlagsClear);
        needed = flags != 0 ? 1 : 0;
        if (spec->rgb != 0) {
            // The font specification's own colour value carries the RGB; its
            // highlight and system bits stay with it.
            spec->color.flags = static_cast<std::uint16_t>((spec->color.flags | kColorIsRGB) & ~kColorNoColor);
            spec->color.red = static_cast<std::uint8_t>(spec->rgb);
            spec->color.green = static_cast<std::uint8_t>(spec->rgb >> 8);
            spec->color.blue = static_cast<std::uint8_t>(spec->rgb >> 16);
            needed = 1;
        }
    }

    std::uint8_t before = font->attributes;
    std::uint8_t attributes = before;
    if (mask.attributes) attributes = spec->font.attributes;
    if (mask.attributesSet) attributes |= spec->attributesSet;
    if (mask.attributesClear) {
        std::uint8_t clear = NarrowClearBits(spec->attributesClear, before, spec->font.attributes);
        attributes &= static_cast<std::uint8_t>(~clear);
    }
    font->attributes = attributes;

    if (colorNeeded != nullptr) *colorNeeded = needed;
    if (effect != nullptr) *effect = (attributes & kAttrShadow) ? 1 : 0;
    return kOK;
}

} // namespace talix
