// What text and cells take from the elements around them, where the answer
// passes through several levels: CSS sizes relative to sizes further up and
// to font elements, headings and font elements in each other, decorations
// turned off further down, the rules changed by a style element in the
// middle of the document, and the row and table answers of cells whose rows
// differ, nest tables, or follow a change of the rules.
#include <map>
#include <string>
#include <vector>

#include "core/font_spec.h"
#include "core/signatures.h"
#include "walk_fixture.h"

namespace {

using import_test::Imported;
using import_test::ItemRecord;

using talix::kAttrBold;
using talix::kAttrItalic;
using talix::kAttrUnderline;

class InheritedState : public import_test::WalkTest {};

TEST_F(InheritedState, SizesFacesAndAttributesPassedDownSeveralLevels) {
    const Imported sizes = Import(
        "<div style=\"font-size: 20pt\"><span style=\"font-size: 50%\"><font face=\"Arial\">"
        "<b style=\"font-size: 150%\">rel</b>face</font>half</span></div>"
        "<font size=\"5\"><span style=\"font-size: 200%\">twice</span><i>five</i></font>"
        "<div style=\"font-size: 2em\"><font size=\"2\"><span>stop</span></font></div>");
    ASSERT_EQ(sizes.problem, "");
    // From 20pt: a half, then half again as much.
    EXPECT_EQ(sizes.Run("rel").Font().size, 15);
    EXPECT_EQ(sizes.Run("rel").Font().attributes, kAttrBold);
    EXPECT_EQ(sizes.Run("face").Font().size, 10);
    EXPECT_EQ(sizes.Run("half").Font().size, 10);
    EXPECT_EQ(sizes.Run("rel").Font().face, sizes.Run("face").Font().face);
    // A font element's size is the base of the sizes below it and ends the
    // search for sizes above it.
    EXPECT_EQ(sizes.Run("twice").Font().size, 36);
    EXPECT_EQ(sizes.Run("five").Font().size, 18);
    EXPECT_EQ(sizes.Run("five").Font().attributes, kAttrItalic);
    EXPECT_EQ(sizes.Run("stop").Font().size, 10);

    const Imported headings = Import(
        "<font size=\"+1\"><h2>head<span style=\"font-weight: lighter\">light</span></h2>after</font>"
        "<u><span style=\"text-decoration: none\">plain</span>under</u>");
    ASSERT_EQ(headings.problem, "");
    EXPECT_EQ(headings.Run("head").Font().attributes & kAttrBold, kAttrBold);
    EXPECT_EQ(headings.Run("after").Font().attributes & kAttrBold, 0);
    EXPECT_EQ(headings.Run("plain").Font().attributes & kAttrUnderline, 0);
    EXPECT_EQ(headings.Run("under").Font().attributes & kAttrUnderline, kAttrUnderline);
}

TEST_F(InheritedState, TextAfterAStyleElementTakesTheNewRules) {
    // The same parent holds text before and after a style element that
    // makes it italic: what is asked after the style element follows the
    // new rules, for the parent's own text and for the text below it.
    const Imported changed = Import(
        "<div class=\"k\">before<span>in</span><style>.k { font-style: italic }</style><b>bold</b>after"
        "<span>below</span></div>");
    ASSERT_EQ(changed.problem, "");
    const std::uint8_t before = changed.Run("before").Font().attributes;
    const std::uint8_t in = changed.Run("in").Font().attributes;
    EXPECT_EQ(changed.Run("bold").Font().attributes, kAttrBold | kAttrItalic);
    EXPECT_EQ(changed.Run("after").Font().attributes & kAttrItalic, kAttrItalic);
    EXPECT_EQ(changed.Run("below").Font().attributes & kAttrItalic, kAttrItalic);
    // What was written before the rule stays as it was asked then.
    EXPECT_EQ(before & kAttrItalic, in & kAttrItalic);
}

std::uint8_t Byte(const ItemRecord& record, std::size_t offset) {
    return offset < record.bytes.size() ? static_cast<std::uint8_t>(record.bytes[offset]) : 0;
}

// The cell records of the outermost tables in order, each with the text of
// the first run after it.
std::vector<std::pair<std::string, const ItemRecord*>> CellsByText(const Imported& imported) {
    std::vector<std::pair<std::string, const ItemRecord*>> cells;
    for (const ItemRecord& record : imported.records) {
        if (record.signature == talix::kSigTableCell) cells.emplace_back("", &record);
        if (record.signature == talix::kSigText && !cells.empty() && cells.back().first.empty() &&
            record.bytes.size() > 8)
            cells.back().first = record.Text();
    }
    return cells;
}

TEST_F(InheritedState, CellsTakeTheAnswersOfTheirOwnRow) {
    const Imported rows = Import(
        "<style>tr.w { border-top-width: 3px } tr.r { background-color: #ff0000 }</style>"
        "<table valign=\"bottom\"><tr class=\"w\" valign=\"middle\"><td>a</td><td valign=\"top\">b</td></tr>"
        "<tr class=\"r\"><td>c</td><td><table><tr valign=\"middle\"><td>inner</td></tr></table>d</td>"
        "<td>e</td></tr>"
        "<tr><td>f</td></tr></table>");
    ASSERT_EQ(rows.problem, "");
    std::map<std::string, const ItemRecord*> cells;
    for (const auto& [text, record] : CellsByText(rows)) cells[text] = record;
    ASSERT_EQ(cells.count("a") + cells.count("b") + cells.count("c") + cells.count("e") + cells.count("f"), 5u);
    // The row's width reaches both its cells, and no other row's.
    EXPECT_EQ(cells["a"]->Word(12) & 0x0F00, 0x0300);
    EXPECT_EQ(cells["b"]->Word(12) & 0x0F00, 0x0300);
    EXPECT_EQ(cells["c"]->Word(12), 0);
    EXPECT_EQ(cells["f"]->Word(12), 0);
    // The row's alignment, else the table's; a cell's own wins.
    EXPECT_EQ(Byte(*cells["a"], 11) & 0xA0, 0x20);
    EXPECT_EQ(Byte(*cells["b"], 11) & 0xA0, 0x00);
    EXPECT_EQ(Byte(*cells["c"], 11) & 0xA0, 0x80);
    EXPECT_EQ(Byte(*cells["e"], 11) & 0xA0, 0x80);
    EXPECT_EQ(Byte(*cells["f"], 11) & 0xA0, 0x80);
    // The second row's colour: its cells, also the one after the nested
    // table, are coloured; the other rows' cells are not.
    EXPECT_EQ(Byte(*cells["c"], 11) & 0x01, 0x01);
    EXPECT_EQ(Byte(*cells["e"], 11) & 0x01, 0x01);
    EXPECT_EQ(Byte(*cells["a"], 11) & 0x01, 0x00);
    EXPECT_EQ(Byte(*cells["f"], 11) & 0x01, 0x00);

    // A style element in a cell changes what the next cells of the row get.
    const Imported restyled = Import(
        "<table><tr class=\"g\"><td>one</td><td><style>tr.g { background-color: #00ff00 }</style>two</td>"
        "<td>three</td></tr></table>");
    ASSERT_EQ(restyled.problem, "");
    std::map<std::string, const ItemRecord*> after;
    for (const auto& [text, record] : CellsByText(restyled)) after[text] = record;
    ASSERT_EQ(after.count("three"), 1u);
    EXPECT_EQ(Byte(*after["three"], 11) & 0x01, 0x01);
}

TEST_F(InheritedState, LikeCellsOfOtherRowsTakeTheirOwnFonts) {
    // Rows whose cells and spans have one name and class: a rule that looks
    // at the row or the cell, a style attribute on the row, the cell or the
    // span, a font element around one cell's text, and the colour, face and
    // size attributes of an element otherwise like the one before it each
    // reach only their own cell, as when that row is imported alone.
    const std::string style =
        "<style>td.c { font-size: 9pt } tr.odd td { font-size: 20pt } span.k { color: #ff0000 }"
        " td.c span.k { font-weight: bold }</style>";
    const std::vector<std::string> rows = {
        "<tr class=\"odd\"><td>r1</td></tr>",
        "<tr><td>r2</td></tr>",
        "<tr><td class=\"c\"><span class=\"k\">r3</span></td></tr>",
        "<tr><td><span class=\"k\">r4</span></td></tr>",
        "<tr style=\"font-style: italic\"><td class=\"c\"><span class=\"k\">r5</span></td></tr>",
        "<tr><td class=\"c\" style=\"font-size: 16pt\"><span class=\"k\">r6</span></td></tr>",
        "<tr><td><span class=\"k\" style=\"font-weight: bold\">r7</span></td></tr>",
        "<tr><td class=\"c\"><font size=\"5\"><span class=\"k\">r8</span></font></td></tr>",
        "<tr class=\"odd\"><td>r9</td></tr>",
        "<tr><td class=\"c\"><b class=\"k\">r10</b></td></tr>",
        "<tr><td class=\"c\"><b class=\"k\" color=\"#00ff00\">r11</b></td></tr>",
        "<tr><td class=\"c\"><b class=\"k\" style=\"font-size: 30pt\">r12</b></td></tr>",
        "<tr><td class=\"c\"><font class=\"k\">r13</font></td></tr>",
        "<tr><td class=\"c\"><font class=\"k\" face=\"Courier New\">r14</font></td></tr>",
        "<tr><td class=\"c\"><font class=\"k\" size=\"6\">r15</font></td></tr>",
    };
    std::string all;
    for (const std::string& row : rows) all += row;
    const Imported together = Import(style + "<table>" + all + "</table>");
    ASSERT_EQ(together.problem, "");
    for (std::size_t n = 0; n < rows.size(); ++n) {
        const std::string text = "r" + std::to_string(n + 1);
        const Imported alone = Import(style + "<table>" + rows[n] + "</table>");
        ASSERT_EQ(alone.problem, "");
        EXPECT_EQ(talix::PackFontId(together.Run(text).Font()), talix::PackFontId(alone.Run(text).Font())) << text;
    }
    EXPECT_EQ(together.Run("r1").Font().size, 20);
    EXPECT_EQ(together.Run("r9").Font().size, 20);
    EXPECT_NE(together.Run("r2").Font().size, 20);
    EXPECT_EQ(together.Run("r3").Font().attributes & kAttrBold, kAttrBold);
    EXPECT_EQ(together.Run("r4").Font().attributes & kAttrBold, 0);
    EXPECT_EQ(together.Run("r7").Font().attributes & kAttrBold, kAttrBold);
    EXPECT_EQ(together.Run("r6").Font().size, 16);
    EXPECT_NE(together.Run("r11").Font().color, together.Run("r10").Font().color);
    EXPECT_EQ(together.Run("r12").Font().size, 30);
    EXPECT_NE(together.Run("r14").Font().face, together.Run("r13").Font().face);
    EXPECT_NE(together.Run("r15").Font().size, together.Run("r13").Font().size);
}

TEST_F(InheritedState, LikeElementsTakeRelativeSizesFromTheirOwnSurroundings) {
    // Spans of one class share their relative size, and each takes it of
    // the size around it, also when a size around them comes back.
    const Imported sizes = Import(
        "<style>.half { font-size: 50% } .twice { font-size: 2em }</style>"
        "<div style=\"font-size: 20pt\"><span class=\"half\">a</span><span class=\"twice\">b</span></div>"
        "<div style=\"font-size: 12pt\"><span class=\"half\">c</span><span class=\"twice\">d</span></div>"
        "<div style=\"font-size: 20pt\"><span class=\"half\"><span class=\"half\">e</span></span></div>");
    ASSERT_EQ(sizes.problem, "");
    EXPECT_EQ(sizes.Run("a").Font().size, 10);
    EXPECT_EQ(sizes.Run("b").Font().size, 40);
    EXPECT_EQ(sizes.Run("c").Font().size, 6);
    EXPECT_EQ(sizes.Run("d").Font().size, 24);
    EXPECT_EQ(sizes.Run("e").Font().size, 5);
}

} // namespace
