// The 240-entry colour palette indexed by the platform's colour index, the
// table of named colours and the names of the sixteen standard colours, one
// static table each.
#include "core/color_tables.h"

#include <cstdint>
#include <cstdio>

#include "core/font_spec.h"
#include "core/options.h"
#include "core/text_compare.h"
#include "core/thread_state.h"

namespace talix {

namespace {

// RGB values written as r + 256 g + 65536 b (so 0x0000FF is pure red).
constexpr std::uint32_t kPalette[kPaletteSize] = {
    0x000000, 0xFFFFFF, 0x0000FF, 0x00FF00, 0xFF0000, 0xFF00FF, 0x00FFFF, 0xFFFF00,  // 0-7
    0x000080, 0x008000, 0x800000, 0x800080, 0x008080, 0x808000, 0x808080, 0xC0C0C0,  // 8-15
    0xFFFFFF, 0xFFEFCE, 0xFFFFC2, 0xFFFFD0, 0xE0FFBF, 0xE0FFDF, 0xE0FFFF, 0xC2EFFF,  // 16-23
    0xE0F1FF, 0xE0E0FF, 0xE8E0FF, 0xF1E0FF, 0xFFE0FF, 0xFFE0F5, 0xFFE0E6, 0xFFFFFF,  // 24-31
    0xFFE1DC, 0xFFE1B0, 0xFFFF7F, 0xF1F1B4, 0xC2FF91, 0xC1FFD5, 0xA4FFFF, 0xA1E2FF,  // 32-39
    0xC0E1FF, 0xBFBFFF, 0xD2BFFF, 0xE1BFFF, 0xFFC1FD, 0xFFC0E4, 0xFFC0CE, 0xF7F7F7,  // 40-47
    0xFFC0B6, 0xFFC281, 0xFFFF35, 0xF1F180, 0x7FFF7F, 0x82FFCA, 0x7FFFFF, 0x82E0FF,  // 48-55
    0x82C0FF, 0x9F9FFF, 0xC29FFF, 0xE29FFF, 0xFF9FFF, 0xFF9FCF, 0xFF9FA9, 0xEFEFEF,  // 56-63
    0xFF9F9F, 0xFF9F71, 0xFFFF00, 0xE0E074, 0x41FF32, 0x42FFC7, 0x42FFFF, 0x00BFFF,  // 64-71
    0x5291EF, 0x8080FF, 0xC082FF, 0xE081FF, 0xFF7FFF, 0xFF82C2, 0xFF82A0, 0xE1E1E1,  // 72-79
    0xFF8080, 0xFF8141, 0xFFE118, 0xE1E140, 0x00FF00, 0x00FFB2, 0x00FFFF, 0x00A1E0,  // 80-87
    0x2181FF, 0x6181FF, 0xA160FF, 0xC062FF, 0xFF5FFF, 0xFF60AF, 0xFF6088, 0xD2D2D2,  // 88-95
    0xFF4040, 0xFF421E, 0xFFBF18, 0xE1E100, 0x00E100, 0x00E1AD, 0x00E0E0, 0x0082BF,  // 96-103
    0x0080FF, 0x4181FF, 0x8242FF, 0xC140FF, 0xFF42F9, 0xFF40A0, 0xFF4070, 0xC0C0C0,  // 104-111
    0xFF1F35, 0xFF1F10, 0xFF8100, 0xBFBF00, 0x00C200, 0x00C196, 0x00C1C2, 0x4181C0,  // 112-119
    0x0062E1, 0x4141FF, 0x4200FF, 0xC200FF, 0xFF22FF, 0xF52B97, 0xFF2259, 0xB2B2B2,  // 120-127
    0xE01F25, 0xE12000, 0xE26200, 0xA1A100, 0x00A000, 0x009F82, 0x3F8080, 0x0060A0,  // 128-135
    0x0041C2, 0x0021BF, 0x4100C2, 0x8100FF, 0xFF00FF, 0xFF0080, 0xFF0041, 0xA2A2A2,  // 136-143
    0xC20000, 0xFF0000, 0xBF4100, 0x80803F, 0x3F803F, 0x008250, 0x006062, 0x004080,  // 144-151
    0x001FE2, 0x4040C2, 0x4000A2, 0x6000A1, 0xE000E0, 0xDF007F, 0xC20041, 0x8F8F8F,  // 152-159
    0xA00000, 0xE10000, 0xA13F00, 0x626200, 0x006000, 0x00603C, 0x004041, 0x002F80,  // 160-167
    0x0000FF, 0x2020A0, 0x2200A1, 0x400080, 0xA1009F, 0xC0007F, 0x9F000F, 0x808080,  // 168-175
    0x600000, 0xC21212, 0x824200, 0x424200, 0x004200, 0x004023, 0x00323F, 0x002060,  // 176-183
    0x0020C2, 0x2222C0, 0x000080, 0x1F007F, 0x800080, 0x820040, 0x800000, 0x5F5F5F,  // 184-191
    0x400000, 0xA11F12, 0x604200, 0x212100, 0x002100, 0x00201F, 0x002041, 0x00204F,  // 192-199
    0x0000E0, 0x0000A1, 0x000061, 0x1F0062, 0x40005F, 0x620042, 0x620012, 0x4F4F4F,  // 200-207
    0xD0B1A1, 0xE0A175, 0xD2B06A, 0xC0C27C, 0x82C168, 0x81C097, 0x7FC2BC, 0x71B2CF,  // 208-215
    0xB1B1D2, 0x9F9FE0, 0xC0A1E0, 0xE29FDE, 0xEF91EB, 0xE29FC8, 0xF18FBC, 0x2F2F2F,  // 216-223
    0x7F604F, 0xA16252, 0x806210, 0x82823F, 0x3F621F, 0x3C613E, 0x37605E, 0x104160,  // 224-231
    0x424282, 0x6260A1, 0x624181, 0x603181, 0x602162, 0x622152, 0x813F62, 0x000000,  // 232-239
};

struct NamedColor {
    const char* name;
    const char* hex;   // red, green, blue
};

constexpr NamedColor kNamedColors[] = {
    {"AliceBlue", "F0F8FF"}, {"Aqua", "00FFFF"}, {"Azure", "F0FFFF"}, {"Bisque", "FFE4C4"},
    {"BlanchedAlmond", "FFEBCD"}, {"BlueViolet", "8A2BE2"}, {"BurlyWood", "DEB887"}, {"Chartreuse", "7FFF00"},
    {"Coral", "FF7F50"}, {"Cornsilk", "FFF8DC"}, {"Cyan", "00FFFF"}, {"DarkCyan", "008B8B"},
    {"DarkGray", "A9A9A9"}, {"DarkKhaki", "BDB76B"}, {"DarkOliveGreen", "556B2F"}, {"DarkOrchid", "9932CC"},
    {"DarkSalmon", "E9967A"}, {"DarkSlateBlue", "483D8B"}, {"DarkTurquoise", "00CED1"}, {"DeepPink", "FF1493"},
    {"DimGray", "696969"}, {"Feldspar", "D19275"}, {"FloralWhite", "FFFAF0"}, {"Fuchsia", "FF00FF"},
    {"GhostWhite", "F8F8FF"}, {"GoldenRod", "DAA520"}, {"Green", "008000"}, {"HoneyDew", "F0FFF0"},
    {"IndianRed", "CD5C5C"}, {"Ivory", "FFFFF0"}, {"Lavender", "E6E6FA"}, {"LawnGreen", "7CFC00"},
    {"LightBlue", "ADD8E6"}, {"LightCyan", "E0FFFF"}, {"LightGrey", "D3D3D3"}, {"LightPink", "FFB6C1"},
    {"LightSeaGreen", "20B2AA"}, {"LightSlateBlue", "8470FF"}, {"LightSteelBlue", "B0C4DE"}, {"Lime", "00FF00"},
    {"Linen", "FAF0E6"}, {"Maroon", "800000"}, {"MediumBlue", "0000CD"}, {"MediumPurple", "9370D8"},
    {"MediumSlateBlue", "7B68EE"}, {"MediumTurquoise", "48D1CC"}, {"MidnightBlue", "191970"},
    {"MistyRose", "FFE4E1"}, {"NavajoWhite", "FFDEAD"}, {"OldLace", "FDF5E6"}, {"OliveDrab", "6B8E23"},
    {"OrangeRed", "FF4500"}, {"PaleGoldenRod", "EEE8AA"}, {"PaleTurquoise", "AFEEEE"}, {"PapayaWhip", "FFEFD5"},
    {"Peru", "CD853F"}, {"Plum", "DDA0DD"}, {"Purple", "800080"}, {"RosyBrown", "BC8F8F"},
    {"SaddleBrown", "8B4513"}, {"SandyBrown", "F4A460"}, {"SeaShell", "FFF5EE"}, {"Silver", "C0C0C0"},
    {"SlateBlue", "6A5ACD"}, {"Snow", "FFFAFA"}, {"SteelBlue", "4682B4"}, {"Teal", "008080"},
    {"Tomato", "FF6347"}, {"Violet", "EE82EE"}, {"Wheat", "F5DEB3"}, {"WhiteSmoke", "F5F5F5"},
    {"YellowGreen", "9ACD32"}, {"AntiqueWhite", "FAEBD7"}, {"Aquamarine", "7FFFD4"}, {"Beige", "F5F5DC"},
    {"Black", "000000"}, {"Blue", "0000FF"}, {"Brown", "A52A2A"}, {"CadetBlue", "5F9EA0"},
    {"Chocolate", "D2691E"}, {"CornflowerBlue", "6495ED"}, {"Crimson", "DC143C"}, {"DarkBlue", "00008B"},
    {"DarkGoldenRod", "B8860B"}, {"DarkGreen", "006400"}, {"DarkMagenta", "8B008B"}, {"Darkorange", "FF8C00"},
    {"DarkRed", "8B0000"}, {"DarkSeaGreen", "8FBC8F"}, {"DarkSlateGray", "2F4F4F"}, {"DarkViolet", "9400D3"},
    {"DeepSkyBlue", "00BFFF"}, {"DodgerBlue", "1E90FF"}, {"FireBrick", "B22222"}, {"ForestGreen", "228B22"},
    {"Gainsboro", "DCDCDC"}, {"Gold", "FFD700"}, {"Gray", "808080"}, {"GreenYellow", "ADFF2F"},
    {"HotPink", "FF69B4"}, {"Indigo", "4B0082"}, {"Khaki", "F0E68C"}, {"LavenderBlush", "FFF0F5"},
    {"LemonChiffon", "FFFACD"}, {"LightCoral", "F08080"}, {"LightGoldenRodYellow", "FAFAD2"},
    {"LightGreen", "90EE90"}, {"LightSalmon", "FFA07A"}, {"LightSkyBlue", "87CEFA"},
    {"LightSlateGray", "778899"}, {"LightYellow", "FFFFE0"}, {"LimeGreen", "32CD32"}, {"Magenta", "FF00FF"},
    {"MediumAquaMarine", "66CDAA"}, {"MediumOrchid", "BA55D3"}, {"MediumSeaGreen", "3CB371"},
    {"MediumSpringGreen", "00FA9A"}, {"MediumVioletRed", "C71585"}, {"MintCream", "F5FFFA"},
    {"Moccasin", "FFE4B5"}, {"Navy", "000080"}, {"Olive", "808000"}, {"Orange", "FFA500"}, {"Orchid", "DA70D6"},
    {"PaleGreen", "98FB98"}, {"PaleVioletRed", "D87093"}, {"PeachPuff", "FFDAB9"}, {"Pink", "FFC0CB"},
    {"PowderBlue", "B0E0E6"}, {"Red", "FF0000"}, {"RoyalBlue", "4169E1"}, {"Salmon", "FA8072"},
    {"SeaGreen", "2E8B57"}, {"Sienna", "A0522D"}, {"SkyBlue", "87CEEB"}, {"SlateGray", "708090"},
    {"SpringGreen", "00FF7F"}, {"Tan", "D2B48C"}, {"Thistle", "D8BFD8"}, {"Turquoise", "40E0D0"},
    {"VioletRed", "D02090"}, {"White", "FFFFFF"}, {"Yellow", "FFFF00"},
};

constexpr unsigned kStandardColors = 16;
constexpr const char* kClientNames[kStandardColors] = {
    "Black",   "White",    "Red",         "Green",      "Blue",     "Magenta", "Yellow", "Cyan",
    "DarkRed", "DarkGreen", "DarkBlue",   "DarkMagenta", "DarkYellow", "DarkCyan", "Gray", "LightGray"};
constexpr const char* kWebNames[kStandardColors] = {"Black", "White", "Red",  "Lime",   "Blue",  "Fuchsia",
                                                    "Yellow", "Aqua", "Maroon", "Green", "Navy", "Purple",
                                                    "Olive",  "Teal", "Gray",   "Silver"};

} // namespace

std::uint32_t PaletteRGB(unsigned index) { return index < kPaletteSize ? kPalette[index] : 0; }

std::uint8_t PaletteIndex(std::uint32_t rgb) {
    for (int i = 0; i < kPaletteSize; ++i) {
        if (kPalette[i] == rgb) return static_cast<std::uint8_t>(i);
    }
    return 0;
}

const char* NamedColorHex(const char* name) {
    if (name == nullptr) return nullptr;
    for (const NamedColor& row : kNamedColors) {
        if (EqualNoCase(row.name, name)) return row.hex;
    }
    return nullptr;
}

void StandardColorName(unsigned index, char* out, std::size_t size) {
    if (index < kStandardColors) {
        std::snprintf(out, size, "%s", ThisThread().clientPreference != 0 ? kClientNames[index] : kWebNames[index]);
    } else {
        std::snprintf(out, size, "COLOR%u", index);
    }
}

} // namespace talix
