// The sort-key comparators (through SortKeys, as the engine sorts table
// rows) and the font matchers (with specifications parsed from text).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/font_match.h"
#include "core/font_spec.h"
#include "core/sort_compare.h"
#include "engine/record_process.h"

namespace {

using namespace talix;
using Comparator = int (*)(const void*, const void*);

struct KeyText {
    const char* text;
    bool flagged = false;
};

// The key texts in the order the comparator sorts rows with these keys
// (row numbers follow the order given).
std::vector<std::string> Sorted(const std::vector<KeyText>& texts, Comparator compare,
                                std::uint32_t switches = 0) {
    std::vector<SortKey> keys(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        keys[i].row = static_cast<std::uint32_t>(i + 1);
        keys[i].text = const_cast<char*>(texts[i].text);
        keys[i].length = static_cast<std::uint32_t>(std::string(texts[i].text).size());
        keys[i].flag = texts[i].flagged ? 1 : 0;
    }
    SortKeys(keys.data(), keys.size(), compare, switches);
    std::vector<std::string> order;
    for (const SortKey& key : keys) order.emplace_back(key.text);
    return order;
}

using Order = std::vector<std::string>;

TEST(SortComparators, NumbersSortByValueAndTextThatIsNoNumberCountsAsZero) {
    EXPECT_EQ(Sorted({{"9"}, {"abc"}, {"10"}}, CompareSortKeysNumberDescending), (Order{"10", "9", "abc"}));
    EXPECT_EQ(Sorted({{"9"}, {"abc"}, {"10"}}, CompareSortKeysNumberAscending), (Order{"abc", "9", "10"}));
    EXPECT_EQ(Sorted({{"-1.5"}, {" 2e1"}, {"0x30"}, {"3"}}, CompareSortKeysNumberAscending),
              (Order{"-1.5", "0x30", "3", " 2e1"}));

    // Equal numbers keep their row order in both directions, unless their
    // texts are asked to decide.
    EXPECT_EQ(Sorted({{"5.0"}, {"5"}}, CompareSortKeysNumberAscending), (Order{"5.0", "5"}));
    EXPECT_EQ(Sorted({{"5.0"}, {"5"}}, CompareSortKeysNumberDescending), (Order{"5.0", "5"}));
    EXPECT_EQ(Sorted({{"5.0"}, {"5"}}, CompareSortKeysNumberAscending, kSortNumbersByText), (Order{"5", "5.0"}));
    EXPECT_EQ(Sorted({{"5"}, {"5.0"}}, CompareSortKeysNumberDescending, kSortNumbersByText), (Order{"5.0", "5"}));
}

TEST(SortComparators, TextsSortInCollationOrderWithTheCaseSwitch) {
    EXPECT_EQ(Sorted({{"pear"}, {"Apple"}, {"banana"}}, CompareSortKeysTextAscending),
              (Order{"Apple", "banana", "pear"}));
    EXPECT_EQ(Sorted({{"pear"}, {"Apple"}, {"banana"}}, CompareSortKeysTextDescending),
              (Order{"pear", "banana", "Apple"}));
    // Ignoring case, "a" and "A" are equal and keep their rows; with case
    // they are not.
    EXPECT_EQ(Sorted({{"a"}, {"A"}, {"a"}}, CompareSortKeysTextDescending), (Order{"a", "A", "a"}));
    const Order withCase = Sorted({{"a"}, {"A"}}, CompareSortKeysTextAscending, kSortCaseSensitive);
    EXPECT_EQ(Sorted({{"A"}, {"a"}}, CompareSortKeysTextAscending, kSortCaseSensitive), withCase);
}

TEST(SortComparators, FlaggedKeysComeFirstInRowOrder) {
    const std::vector<KeyText> keys = {{"1"}, {"zz", true}, {"9"}, {"aa", true}};
    for (Comparator compare : {CompareSortKeysNumberDescending, CompareSortKeysNumberAscending,
                               CompareSortKeysTextDescending, CompareSortKeysTextAscending}) {
        const Order order = Sorted(keys, compare);
        EXPECT_EQ(order[0], "zz");
        EXPECT_EQ(order[1], "aa");
    }
}

struct ParsedSpec {
    explicit ParsedSpec(const char* text) {
        EXPECT_EQ(ParseFontSpec(text, nullptr, nullptr, &spec, nullptr, &mask, nullptr), 0) << text;
    }
    ParsedFontSpec spec;
    FontSpecMask mask;
};

FontId Font(std::uint8_t face, std::uint8_t attributes, std::uint8_t color, std::uint8_t size) {
    FontId font;
    font.face = face;
    font.attributes = attributes;
    font.color = color;
    font.size = size;
    return font;
}

ColorValue Rgb(std::uint32_t rgb, std::uint16_t flags = kColorIsRGB) {
    ColorValue color;
    color.flags = flags;
    color.red = static_cast<std::uint8_t>(rgb);
    color.green = static_cast<std::uint8_t>(rgb >> 8);
    color.blue = static_cast<std::uint8_t>(rgb >> 16);
    return color;
}

TEST(FontMatchers, SelectedCriteriaOfTheFontId) {
    const ParsedSpec bold("+BOLD");
    EXPECT_EQ(MatchFontID(Font(1, kAttrBold, 0, 10), bold.spec, bold.mask), 1);
    EXPECT_EQ(MatchFontID(Font(4, kAttrBold | kAttrItalic, 2, 24), bold.spec, bold.mask), 1);
    EXPECT_EQ(MatchFontID(Font(1, 0, 0, 10), bold.spec, bold.mask), 0);

    const ParsedSpec redTwelveNotItalic("RED 12 -ITALIC");
    EXPECT_EQ(MatchFontID(Font(1, kAttrBold, 2, 12), redTwelveNotItalic.spec, redTwelveNotItalic.mask), 1);
    EXPECT_EQ(MatchFontID(Font(1, kAttrItalic, 2, 12), redTwelveNotItalic.spec, redTwelveNotItalic.mask), 0);
    EXPECT_EQ(MatchFontID(Font(1, kAttrBold, 2, 10), redTwelveNotItalic.spec, redTwelveNotItalic.mask), 0);
    EXPECT_EQ(MatchFontID(Font(1, kAttrBold, 4, 12), redTwelveNotItalic.spec, redTwelveNotItalic.mask), 0);

    // Attributes in place must be exactly those.
    const ParsedSpec exactlyBold("BOLD");
    EXPECT_EQ(MatchFontID(Font(1, kAttrBold | kAttrItalic, 0, 10), exactlyBold.spec, exactlyBold.mask), 0);
}

TEST(FontMatchers, ColourValuesOfTheRun) {
    const ParsedSpec red("RED"), blueSpec("BLUE");
    const std::uint32_t redRgb = red.spec.rgb;
    ASSERT_NE(redRgb, 0u);
    // By index, without a colour record.
    EXPECT_EQ(MatchFontAttributes(Font(1, 0, 2, 10), nullptr, red.spec, red.mask), 1);
    EXPECT_EQ(MatchFontAttributes(Font(1, 0, 4, 10), nullptr, red.spec, red.mask), 0);
    // A colour record with the RGB flag: its RGB decides.
    const ColorValue sameRed = Rgb(redRgb), otherRgb = Rgb(0x123456), blue = Rgb(blueSpec.spec.rgb);
    EXPECT_EQ(MatchFontAttributes(Font(1, 0, 0, 10), &sameRed, red.spec, red.mask), 1);
    EXPECT_EQ(MatchFontAttributes(Font(1, 0, 2, 10), &otherRgb, red.spec, red.mask), 0);
    EXPECT_EQ(MatchFontAttributes(Font(1, 0, 2, 10), &blue, red.spec, red.mask), 0);

    // Highlights: set, clear and "none in place" (PLAIN).
    const ParsedSpec yellow("+HIGHLIGHTYELLOW");
    const ColorValue highlighted = Rgb(0, kColorIsRGB | kColorHighlightYellow), plain = Rgb(0);
    EXPECT_EQ(MatchFontAttributes(Font(1, 0, 0, 10), &highlighted, yellow.spec, yellow.mask), 1);
    EXPECT_EQ(MatchFontAttributes(Font(1, 0, 0, 10), &plain, yellow.spec, yellow.mask), 0);
    EXPECT_EQ(MatchFontAttributes(Font(1, 0, 0, 10), nullptr, yellow.spec, yellow.mask), 0);
    const ParsedSpec noYellow("-HIGHLIGHTYELLOW");
    EXPECT_EQ(MatchFontAttributes(Font(1, 0, 0, 10), &highlighted, noYellow.spec, noYellow.mask), 0);
    EXPECT_EQ(MatchFontAttributes(Font(1, 0, 0, 10), &plain, noYellow.spec, noYellow.mask), 1);
    EXPECT_EQ(MatchFontAttributes(Font(1, 0, 0, 10), nullptr, noYellow.spec, noYellow.mask), 1);
    const ParsedSpec plainText("PLAIN");
    EXPECT_EQ(MatchFontAttributes(Font(1, 0, 0, 10), &highlighted, plainText.spec, plainText.mask), 0);
    EXPECT_EQ(MatchFontAttributes(Font(1, 0, 0, 10), &plain, plainText.spec, plainText.mask), 1);
    EXPECT_EQ(MatchFontAttributes(Font(1, kAttrBold, 0, 10), &plain, plainText.spec, plainText.mask), 0);
}

} // namespace
