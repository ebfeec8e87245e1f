#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/font_spec.h"
#include "core/thread_state.h"

using namespace talix;

namespace {

// The font a specification text produces when applied to a base font
// (face 3, bold, colour 5, size 10) with highlight-pink colour flags.
struct Applied {
    FontId font;
    std::uint32_t rgb = 0xFFFFFFFF;
    std::uint16_t colorFlags = 0x4000;
    std::uint16_t status = 0;
};

Applied Apply(const char* text) {
    ParsedFontSpec spec, spare;
    FontSpecMask mask, spareMask;
    Applied out;
    out.font = FontId{3, kAttrBold, 5, 10};
    out.status = ParseFontSpec(text, nullptr, nullptr, &spec, &spare, &mask, &spareMask);
    ApplyFontSpec(&out.font, &out.rgb, &out.colorFlags, spec, mask);
    return out;
}

// Restores the process-wide client preference after a test changes it.
struct ClientPreferenceGuard {
    std::uint32_t saved = ThisThread().clientPreference;
    ~ClientPreferenceGuard() { ThisThread().clientPreference = saved; }
};

constexpr std::uint32_t kUnchanged = 0xFFFFFFFF;

} // namespace

TEST(FontSpecTest, KeywordFormsProduceFontsAndColours) {
    ClientPreferenceGuard guard;
    ThisThread().clientPreference = 1;
    struct Row {
        const char* text;
        std::uint8_t face, attributes, color, size;
        std::uint32_t rgb;         // kUnchanged: the colour was not touched
        std::uint16_t colorFlags;
    };
    const Row rows[] = {
        // Colour names with attributes to set and clear.
        {"BLUE +UNDERLINE", 3, kAttrBold | kAttrUnderline, 4, 10, 0xFF0000, 0x4000},
        {"RED +BOLD -ITALIC", 3, kAttrBold, 2, 10, 0x0000FF, 0x4000},
        {"DARKGREEN +UNDERLINE", 3, kAttrBold | kAttrUnderline, 9, 10, 0x008000, 0x4000},
        {"+BOLD red", 3, kAttrBold, 2, 10, 0x0000FF, 0x4000},
        {"DARK BLUE TEXT", 3, kAttrBold, 4, 10, 0xFF0000, 0x4000},
        {"navy", 3, kAttrBold, 10, 10, 0x800000, 0x4000},
        {"LightGrey", 3, kAttrBold, 15, 10, 0xC0C0C0, 0x4000},
        {"GREEN", 3, kAttrBold, 3, 10, 0x00FF00, 0x4000},
        // Attributes in place replace the base attributes.
        {"ITALIC UNDERLINE", 3, kAttrItalic | kAttrUnderline, 5, 10, kUnchanged, 0x4000},
        {"ITALICS", 3, kAttrItalic, 5, 10, kUnchanged, 0x4000},
        {"SEMIBOLD -BOLD", 3, 0, 5, 10, kUnchanged, 0x4000},
        {"NOITALIC", 3, kAttrBold, 5, 10, kUnchanged, 0x4000},
        {"STRIKETHROUGH", 3, kAttrStrike, 5, 10, kUnchanged, 0x4000},
        {"+SUPERSCRIPT", 3, kAttrBold | kAttrSuperscript, 5, 10, kUnchanged, 0x4000},
        {"EMBOSS", 3, kAttrEmboss, 5, 10, kUnchanged, 0x4000},
        {"-BOLD +SHADOW", 3, kAttrShadow, 5, 10, kUnchanged, 0x4000},
        // Colour numbers and RGB values are colours, never point sizes.
        {"COLOR12 BOLD", 3, kAttrBold, 12, 10, 0x008080, 0x4000},
        // A font's colour number holds 0 to 255: a greater one is no colour.
        {"COLOR255 ITALIC", 3, kAttrItalic, 255, 10, 0, 0x4000},
        {"COLOR300 ITALIC", 3, kAttrItalic, 5, 10, kUnchanged, 0x4000},
        {"COLOR65536 12", 3, kAttrBold, 5, 12, kUnchanged, 0x4000},
        {"RGB255,0,0 +BOLD", 3, kAttrBold, 2, 10, 0x0000FF, 0x4000},
        {"RGB(255, 128, 0)", 3, kAttrBold, 104, 10, 0x0080FF, 0x4000},
        {"RGB 10,20,30 +ITALIC", 3, kAttrBold | kAttrItalic, 0, 10, 0x1E140A, 0x4000},
        {"#FF8000", 3, kAttrBold, 104, 10, 0x0080FF, 0x4000},
        {"FF8000", 3, kAttrBold, 104, 10, 0x0080FF, 0x4000},
        {"#F80", 3, kAttrBold, 0, 10, 0x0088FF, 0x4000},
        {"#1A2B3C", 3, kAttrBold, 0, 10, 0x3C2B1A, 0x4000},
        {"AliceBlue", 3, kAttrBold, 0, 10, 0xFFF8F0, 0x4000},
        // Point sizes count from 1 to 100.
        {"Arial 12 DARKGREEN", 3, kAttrBold, 9, 12, 0x008000, 0x4000},
        {"14 RGB(10, 20, 30)", 3, kAttrBold, 0, 14, 0x1E140A, 0x4000},
        {"Arial 0", 3, kAttrBold, 5, 10, kUnchanged, 0x4000},
        {"Arial 200", 3, kAttrBold, 5, 10, kUnchanged, 0x4000},
        // A size with a fraction keeps its whole points: the digits after the
        // point are no size of their own.
        {"Arial 11.5", 3, kAttrBold, 5, 11, kUnchanged, 0x4000},
        {"12.75 RED", 3, kAttrBold, 2, 12, 0x0000FF, 0x4000},
        // Generic families.
        {"sans-serif 9", 1, kAttrBold, 5, 9, kUnchanged, 0x4000},
        {"serif", 0, kAttrBold, 5, 10, kUnchanged, 0x4000},
        {"monospace", 4, kAttrBold, 5, 10, kUnchanged, 0x4000},
        // Highlights and PLAIN act on the colour flags.
        {"+HIGHLIGHTYELLOW", 3, kAttrBold, 5, 10, kUnchanged, 0x8000},
        {"HIGHLIGHTBLUE RED", 3, kAttrBold, 2, 10, 0x0000FF, 0x2000},
        {"PLAIN", 3, 0, 5, 10, kUnchanged, 0},
        {"PLAIN +UNDERLINE", 3, kAttrUnderline, 5, 10, kUnchanged, 0},
        // A lone word that names no colour leaves the colour alone.
        {"BOLD", 3, kAttrBold, 5, 10, kUnchanged, 0x4000},
        {"Highlight", 3, kAttrBold, 5, 10, kUnchanged, 0x4000},
        {"", 3, kAttrBold, 5, 10, kUnchanged, 0x4000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        Applied out = Apply(row.text);
        EXPECT_EQ(out.status, 0);
        EXPECT_EQ(out.font.face, row.face);
        EXPECT_EQ(out.font.attributes, row.attributes);
        EXPECT_EQ(out.font.color, row.color);
        EXPECT_EQ(out.font.size, row.size);
        EXPECT_EQ(out.rgb, row.rgb);
        EXPECT_EQ(out.colorFlags, row.colorFlags);
    }

    // GREEN follows the client preference.
    ThisThread().clientPreference = 0;
    EXPECT_EQ(Apply("GREEN +BOLD").font.color, 9);

    // Two texts are parsed apart; a null first text is refused.
    ParsedFontSpec first, second;
    FontSpecMask firstMask, secondMask;
    ASSERT_EQ(ParseFontSpec("RED 12", "BLUE +BOLD", nullptr, &first, &second, &firstMask, &secondMask), 0);
    FontId a{1, 0, 0, 10}, b{1, 0, 0, 10};
    ApplyFontSpec(&a, nullptr, nullptr, first, firstMask);
    ApplyFontSpec(&b, nullptr, nullptr, second, secondMask);
    EXPECT_EQ(PackFontId(a), PackFontId(FontId{1, 0, 2, 12}));
    EXPECT_EQ(PackFontId(b), PackFontId(FontId{1, kAttrBold, 4, 10}));
    EXPECT_EQ(ParseFontSpec(nullptr, nullptr, nullptr, &first, &second, &firstMask, &secondMask), 1028);
}

TEST(FontSpecTest, ColourTextsAndRGBValues) {
    std::uint16_t index = 7;
    std::uint32_t rgb = 1;
    EXPECT_EQ(ParseColorSpec("WINDOWTEXT", &index, &rgb), 0);
    EXPECT_EQ(index, 7);
    EXPECT_EQ(rgb, 0xFFFF00u);

    // Texts of several words that name no colour fail; nothing is left behind.
    index = 3;
    EXPECT_EQ(ParseColorSpec("Arial 12", &index, &rgb), 1028);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(rgb, 0u);

    // The three spellings of an RGB value agree.
    EXPECT_EQ(ParseRGBValue("RGB(255, 128, 0)"), 0x0080FFu);
    EXPECT_EQ(ParseRGBValue("RGB255,128,0"), 0x0080FFu);
    EXPECT_EQ(ParseRGBValue("rgb 255,128,0"), 0x0080FFu);
    EXPECT_EQ(ParseRGBValue("RGB(255 ,128,0)"), 255u);
    EXPECT_EQ(ParseRGBValue("#abc"), ParseRGBValue("#aabbcc"));
    EXPECT_EQ(ParseRGBValue("#102030 and more"), 0x302010u);
    EXPECT_EQ(ParseRGBValue("Crimson"), 0x3C14DCu);
    EXPECT_EQ(ParseRGBValue("nothing here"), 0u);

    // A component above 255 is held at 255: it never spills into the next one.
    EXPECT_EQ(ParseRGBValue("RGB(300, 2, 3)"), 0x0302FFu);
    EXPECT_EQ(ParseRGBValue("RGB1,256,99999999999"), 0xFFFF01u);
    EXPECT_EQ(ParseColorSpec("RGB 0,0,256", &index, &rgb), 0);
    EXPECT_EQ(rgb, 0xFF0000u);
    EXPECT_EQ(index, 4);
}

TEST(FontSpecTest, HashColoursAmongOtherWords) {
    // A colour in hash form among other words is read as it is alone.
    std::uint16_t index = 0;
    std::uint32_t rgb = 0;
    EXPECT_EQ(ParseColorSpec("BOLD #FF0000", &index, &rgb), 0);
    EXPECT_EQ(rgb, 0x0000FFu);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(ParseColorSpec("12 #1a2b3c italic", &index, &rgb), 0);
    EXPECT_EQ(rgb, 0x3C2B1Au);
    EXPECT_EQ(ParseColorSpec("Arial #00F, 12", &index, &rgb), 0);
    EXPECT_EQ(rgb, 0xFF0000u);
    EXPECT_EQ(index, 4);
    // A colour name still comes first; a hash of another length, or one
    // inside a word, is no colour.
    EXPECT_EQ(ParseColorSpec("RED #00FF00", &index, &rgb), 0);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(ParseColorSpec("Arial #12345", &index, &rgb), 1028);
    EXPECT_EQ(ParseColorSpec("Arial #1234567", &index, &rgb), 1028);
    EXPECT_EQ(ParseColorSpec("Arial x#FF0000", &index, &rgb), 1028);

    // In a font text the colour is set, and its digits are no size.
    const Applied bold = Apply("12 BOLD #00FF00");
    EXPECT_EQ(bold.font.size, 12);
    EXPECT_EQ(bold.font.attributes, kAttrBold);
    EXPECT_EQ(bold.font.color, 3);
    EXPECT_EQ(bold.rgb, 0x00FF00u);
    const Applied unlisted = Apply("#1A2B3C ITALIC");
    EXPECT_EQ(unlisted.font.size, 10);
    EXPECT_EQ(unlisted.font.color, 0);
    EXPECT_EQ(unlisted.rgb, 0x3C2B1Au);
}

TEST(FontSpecTest, AHashWordOfOtherThanHexDigitsIsNoColour) {
    // As a property or option value, "#GGGGGG" is no colour: it neither
    // turns a font black nor counts as naming anything of a font.
    std::uint16_t index = 9;
    std::uint32_t rgb = 1;
    EXPECT_EQ(ParseColorValue("#GGGGGG", &index, &rgb), 1028);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(rgb, 0u);
    EXPECT_EQ(ParseColorValue("#12G", &index, &rgb), 1028);
    EXPECT_EQ(ParseColorValue("#FF00ZZ", &index, &rgb), 1028);
    EXPECT_EQ(ParseColorValue("#ff0000", &index, &rgb), 0);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(ParseColorValue("#aBc", &index, &rgb), 0);
    EXPECT_EQ(rgb, 0xCCBBAAu);
    EXPECT_EQ(ParseColorValue("Purple", &index, &rgb), 0);
    EXPECT_EQ(index, 11);
    EXPECT_FALSE(FontSpecNamesAnything("#GGGGGG", nullptr));
    EXPECT_TRUE(FontSpecNamesAnything("#00FF00", nullptr));
    const Applied bad = Apply("#GGGGGG");
    EXPECT_EQ(bad.font.color, 5);
    EXPECT_EQ(bad.rgb, kUnchanged);
    // Words beside it still apply.
    const Applied bold = Apply("#GGGGGG 14");
    EXPECT_EQ(bold.font.size, 14);
    EXPECT_EQ(bold.font.color, 5);
}

TEST(FontSpecTest, MergeIntoExistingRunsAndColours) {
    ParsedFontSpec spec, spare;
    FontSpecMask mask, spareMask;
    int needed = -1, effect = -1;
    auto merge = [&](const char* text, FontId* font, ColorValue* color) {
        ParseFontSpec(text, nullptr, nullptr, &spec, &spare, &mask, &spareMask);
        MergeFontSpec(font, color, &needed, &effect, &spec, mask);
    };

    // A palette colour gives the run's colour value its RGB.
    FontId font{1, 0, 0, 10};
    ColorValue color{kColorNoColor | kColorSystem, 9, 9, 9, 0};
    merge("BLUE", &font, &color);
    EXPECT_EQ(font.color, 4);
    EXPECT_EQ(color.flags, kColorIsRGB);
    EXPECT_EQ(color.red + (color.green << 8) + (color.blue << 16), 0xFF0000);
    EXPECT_EQ(needed, 1);

    // BLACK only drops the RGB flag; highlights are added and removed.
    merge("BLACK", &font, &color);
    EXPECT_EQ(color.flags, 0);
    EXPECT_EQ(needed, 0);
    color.flags = kColorHighlightPink;
    merge("+HIGHLIGHTYELLOW -HIGHLIGHTPINK", &font, &color);
    EXPECT_EQ(color.flags, kColorHighlightYellow);
    EXPECT_EQ(needed, 1);

    // A new colour keeps the highlight the run has; a highlight word adds
    // its flag to it; BLACK drops the RGB value and keeps the highlights.
    color = ColorValue{kColorHighlightPink, 0, 0, 0, 0};
    merge("RED", &font, &color);
    EXPECT_EQ(color.flags, kColorIsRGB | kColorHighlightPink);
    EXPECT_EQ(color.red, 0xFF);
    merge("HIGHLIGHTBLUE", &font, &color);
    EXPECT_EQ(color.flags, kColorIsRGB | kColorHighlightPink | kColorHighlightBlue);
    merge("BLACK", &font, &color);
    EXPECT_EQ(color.flags, kColorHighlightPink | kColorHighlightBlue);
    EXPECT_EQ(needed, 1);

    // Without a colour value the font specification's own colour carries the RGB
    // and keeps its highlight.
    merge("RGB10,20,30 HIGHLIGHTYELLOW", &font, nullptr);
    EXPECT_EQ(needed, 1);
    EXPECT_EQ(spec.color.flags, kColorIsRGB | kColorHighlightYellow);
    EXPECT_EQ(spec.color.red + (spec.color.green << 8) + (spec.color.blue << 16), 0x1E140A);

    // Clearing one effect keeps another that shares its bits.
    struct Row {
        const char* text;
        std::uint8_t before, after;
        int effect;
    };
    const Row rows[] = {
        {"EMBOSS -SUPERSCRIPT", kAttrSuperscript, kAttrEmboss, 1},
        {"SHADOW -EMBOSS", kAttrEmboss, kAttrShadow, 1},
        {"-SHADOW", kAttrShadow | kAttrBold, kAttrBold, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        font = FontId{1, row.before, 0, 10};
        merge(row.text, &font, nullptr);
        EXPECT_EQ(font.attributes, row.after);
        EXPECT_EQ(effect, row.effect);
    }
}
