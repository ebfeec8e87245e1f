// HTML lists imported into an item and read back: the list definitions
// (kind, margins, spacing), the paragraphs of their items, what the close
// of a list leaves for the text after it, and lists too deep or malformed.
#include <string>
#include <vector>

#include "core/signatures.h"
#include "walk_fixture.h"

namespace {

using import_test::Imported;
using import_test::ItemRecord;
using import_test::Definition;
using import_test::Shown;
using import_test::WalkTest;

constexpr std::uint16_t kInch = 1440;

std::vector<const ItemRecord*> Definitions(const Imported& imported) {
    std::vector<const ItemRecord*> found;
    for (const ItemRecord& record : imported.records)
        if (record.signature == talix::kSigPabDefinition) found.push_back(&record);
    return found;
}

// The list kind of a definition as its paragraph-style keyword, "" when it
// is no list.
std::string Kind(const ItemRecord* definition) {
    if (definition == nullptr) return "<none>";
    const std::uint16_t flags = definition->Word(62) & 0x1400;
    const std::uint16_t style = definition->Word(68) & 0x3802;
    struct Row {
        std::uint16_t flags, style;
        const char* keyword;
    };
    static const Row kRows[] = {
        {0x0400, 0, "+BULLET"},           {0x1000, 0, "+NUMBERED_LIST"},       {0x0400, 0x0002, "+CHECKED_LIST"},
        {0x0400, 0x0800, "+CIRCLE_LIST"}, {0x0400, 0x1000, "+SQUARE_LIST"},    {0x0400, 0x2000, "+UNCHECKED_LIST"},
        {0x1000, 0x1802, "+LOWER_ALPHA_LIST"}, {0x1000, 0x1002, "+LOWER_ROMAN_LIST"},
        {0x1000, 0x1800, "+UPPER_ALPHA_LIST"}, {0x1000, 0x0802, "+UPPER_ROMAN_LIST"},
    };
    if (flags == 0 && style == 0) return "";
    for (const Row& row : kRows)
        if (row.flags == flags && row.style == style) return row.keyword;
    return "<odd>";
}

// The kind of the first list definition the HTML gives.
std::string FirstKind(const Imported& imported) {
    for (const ItemRecord* record : Definitions(imported))
        if (!Kind(record).empty()) return Kind(record);
    return "<no list>";
}

// The four left-margin words of a definition: left, first line and the two
// offsets.
std::vector<std::uint16_t> Margins(const ItemRecord* definition) {
    return {definition->Word(14), definition->Word(18), definition->Word(72), definition->Word(76)};
}

TEST_F(WalkTest, ListsBecomeParagraphsUnderOneDefinition) {
    const Imported plain = Import("<ul><li>a</li><li>b</li></ul>");
    ASSERT_EQ(plain.status, 0);
    EXPECT_EQ(plain.problem, "");
    // A line break, the list's definition, and a paragraph per item.
    EXPECT_EQ(Shown(plain), "'~' D2 P R2 'a' P R2 'b' ''");
    ASSERT_EQ(Definitions(plain).size(), 1u);
    EXPECT_EQ(Kind(Definition(plain, 2)), "+BULLET");
    EXPECT_EQ(Margins(Definition(plain, 2)), std::vector<std::uint16_t>(4, kInch * 3 / 2));

    // Nested lists: bullets, circles, bullets, each level a quarter inch in.
    const Imported nested = Import("<ul><li>a<ul><li>b<ul><li>c</li></ul></li></ul></li></ul>");
    EXPECT_EQ(Shown(nested), "'~' D2 P R2 'a' D3 P R3 'b' D4 P R4 'c' ''");
    EXPECT_EQ(Kind(Definition(nested, 2)), "+BULLET");
    EXPECT_EQ(Kind(Definition(nested, 3)), "+CIRCLE_LIST");
    EXPECT_EQ(Kind(Definition(nested, 4)), "+BULLET");
    EXPECT_EQ(Margins(Definition(nested, 3)), std::vector<std::uint16_t>(4, kInch * 7 / 4));
    EXPECT_EQ(Margins(Definition(nested, 4)), std::vector<std::uint16_t>(4, kInch * 2));

    // An item naming a kind of its own gets a definition of that kind, lined
    // up with its list; the next item of the same kind takes it again, and
    // a plain item goes on under the definition in force.
    const Imported own = Import(
        "<ul><li>a</li><li style='list-style-type:square'>b</li><li style='list-style-type:square'>c</li>"
        "<li>d</li></ul>");
    EXPECT_EQ(Shown(own), "'~' D2 P R2 'a' D3 P R3 '' 'b' P R3 '' 'c' P R3 'd' ''");
    EXPECT_EQ(Kind(Definition(own, 3)), "+SQUARE_LIST");
    EXPECT_EQ(Margins(Definition(own, 3)), Margins(Definition(own, 2)));
    // The first item too.
    const Imported first = Import("<ol><li type='a' style='list-style: upper-roman'>a</li><li>b</li></ol>");
    EXPECT_EQ(Shown(first), "'~' D2 D3 P R3 '' 'a' P R3 'b' ''");
    EXPECT_EQ(Kind(Definition(first, 2)), "+NUMBERED_LIST");
    EXPECT_EQ(Kind(Definition(first, 3)), "+UPPER_ROMAN_LIST");
}

TEST_F(WalkTest, ListKindsComeFromTypesAndStyles) {
    const struct {
        const char* html;
        const char* kind;
    } kCases[] = {
        {"<ul type='square'><li>x</li></ul>", "+SQUARE_LIST"},
        {"<ol type='disc'><li>x</li></ol>", "+BULLET"},
        {"<ol type='decimal'><li>x</li></ol>", "+NUMBERED_LIST"},
        {"<ol><li>x</li></ol>", "+NUMBERED_LIST"},
        {"<ol type='a'><li>x</li></ol>", "+LOWER_ALPHA_LIST"},
        {"<ol type='A'><li>x</li></ol>", "+UPPER_ALPHA_LIST"},
        {"<ol type='i'><li>x</li></ol>", "+LOWER_ROMAN_LIST"},
        {"<ol type='I'><li>x</li></ol>", "+UPPER_ROMAN_LIST"},
        {"<ol type='x'><li>x</li></ol>", "+NUMBERED_LIST"},
        {"<ol type=''><li>x</li></ol>", "+NUMBERED_LIST"},
        {"<ul type='x'><li>x</li></ul>", "+BULLET"},
        {"<ul style='list-style: inside square url(x.gif)'><li>x</li></ul>", "+SQUARE_LIST"},
        {"<ul style='list-style-type: circle' type='square'><li>x</li></ul>", "+CIRCLE_LIST"},
        {"<ol style='list-style-type: upper-latin'><li>x</li></ol>", "+UPPER_ALPHA_LIST"},
        {"<ol style='list-style-type: lower-greek'><li>x</li></ol>", "+NUMBERED_LIST"},
        {"<ul style='list-style-type: _a_checked'><li>x</li></ul>", "+CHECKED_LIST"},
        {"<ul style='list-style-type: _a_unchecked'><li>x</li></ul>", "+UNCHECKED_LIST"},
        {"<style>ul.k { list-style-type: lower-roman }</style><ul class=k><li>x</li></ul>", "+LOWER_ROMAN_LIST"},
    };
    for (const auto& each : kCases) {
        const Imported imported = Import(each.html);
        EXPECT_EQ(imported.status, 0) << each.html;
        EXPECT_EQ(FirstKind(imported), each.kind) << each.html;
        EXPECT_NE(imported.Texts().find('x'), std::string::npos) << each.html;
    }
}

// The kind of the paragraph a text run stands in.
std::string KindOf(const Imported& imported, const std::string& text) {
    std::uint16_t id = 0;
    for (const ItemRecord& record : imported.records) {
        if (record.signature == talix::kSigPabReference) id = record.Word(2);
        if (record.signature == talix::kSigText && record.Text() == text) return Kind(Definition(imported, id));
    }
    return "<no run>";
}

// An item of a numbered list with type letters of its own stays numbered,
// by the letters or numerals it names; an item of a bulleted list keeps
// its level's bullets.
TEST_F(WalkTest, ItemsOfANumberedListStayNumbered) {
    const Imported typed = Import(
        "<ol><li>p</li><li type='a'>q</li><li type='I'>r</li><li type='1'>s</li><li type='disc'>t</li></ol>"
        "<ul><li type='a'>u</li></ul>");
    ASSERT_EQ(typed.status, 0);
    EXPECT_EQ(typed.problem, "");
    EXPECT_EQ(KindOf(typed, "p"), "+NUMBERED_LIST");
    EXPECT_EQ(KindOf(typed, "q"), "+LOWER_ALPHA_LIST");
    EXPECT_EQ(KindOf(typed, "r"), "+UPPER_ROMAN_LIST");
    EXPECT_EQ(KindOf(typed, "s"), "+NUMBERED_LIST");
    EXPECT_EQ(KindOf(typed, "t"), "+BULLET");
    EXPECT_EQ(KindOf(typed, "u"), "+BULLET");
}

// The first item of a list that begins a table cell names its kind as
// any other item does; the items after it go on as outside a table.
TEST_F(WalkTest, TheFirstItemOfAListInACellKeepsItsOwnKind) {
    const Imported cells = Import(
        "<table><tr><td><ul><li style='list-style-type:square'>p</li><li>q</li></ul></td>"
        "<td><ol><li type='I'>r</li><li>s</li></ol></td><td><ul><li>t</li><li>u</li></ul></td></tr></table>");
    ASSERT_EQ(cells.status, 0);
    EXPECT_EQ(cells.problem, "");
    EXPECT_EQ(cells.Texts(), "p|q|r|s|t|u");
    EXPECT_EQ(KindOf(cells, "p"), "+SQUARE_LIST");
    EXPECT_EQ(KindOf(cells, "q"), "+SQUARE_LIST");
    EXPECT_EQ(KindOf(cells, "r"), "+UPPER_ROMAN_LIST");
    EXPECT_EQ(KindOf(cells, "s"), "+UPPER_ROMAN_LIST");
    EXPECT_EQ(KindOf(cells, "t"), "+BULLET");
    EXPECT_EQ(KindOf(cells, "u"), "+BULLET");
}

TEST_F(WalkTest, ListSpacingAndMargins) {
    const auto spacing = [this](const std::string& style, const char* options = nullptr) {
        const Imported imported = Import("<ul style='" + style + "'><li>x</li></ul>", options);
        const ItemRecord* definition = Definition(imported, 2);
        return definition == nullptr ? std::vector<std::uint16_t>{}
                                     : std::vector<std::uint16_t>{definition->Word(8), definition->Word(10),
                                                                  definition->Word(12)};
    };
    // Line spacing, space before and after: 0 single, 1 one and a half, 2 double.
    EXPECT_EQ(spacing("margin-bottom: 1em"), (std::vector<std::uint16_t>{0, 0, 2}));
    EXPECT_EQ(spacing("margin-bottom: 0.05in"), (std::vector<std::uint16_t>{0, 0, 1}));
    EXPECT_EQ(spacing("margin-bottom: 0"), (std::vector<std::uint16_t>{0, 0, 0}));
    EXPECT_EQ(spacing("margin-top: 0.5em; margin-bottom: 0.2in"), (std::vector<std::uint16_t>{0, 1, 2}));
    // A line height in pixels goes through the pixel multiplier: 20 pixels
    // are a seventh of an inch at 15 twips, over a quarter inch at 30.
    EXPECT_EQ(spacing("line-height: 20px"), (std::vector<std::uint16_t>{1, 0, 0}));
    EXPECT_EQ(spacing("line-height: 20px", "PixelMultiplier=30"), (std::vector<std::uint16_t>{2, 0, 0}));
    EXPECT_EQ(spacing("line-height: 2em"), (std::vector<std::uint16_t>{2, 0, 0}));
    // A line height of a multiple of the font size, with or without "%".
    EXPECT_EQ(spacing("line-height: 1"), (std::vector<std::uint16_t>{0, 0, 0}));
    EXPECT_EQ(spacing("line-height: 100%"), (std::vector<std::uint16_t>{0, 0, 0}));
    EXPECT_EQ(spacing("line-height: 1.5"), (std::vector<std::uint16_t>{1, 0, 0}));
    EXPECT_EQ(spacing("line-height: 200%"), (std::vector<std::uint16_t>{2, 0, 0}));

    // A left margin of a length counts the indents of the list and its
    // ancestors on top of the page's inch.
    const Imported indented = Import("<div style='margin-left:0.5in'><ul style='margin-left:0.25in'><li>x</li></ul></div>");
    const ItemRecord* list = nullptr;
    for (const ItemRecord* each : Definitions(indented))
        if (Kind(each) == "+BULLET") list = each;
    ASSERT_NE(list, nullptr) << Shown(indented);
    EXPECT_EQ(Margins(list), std::vector<std::uint16_t>(4, kInch * 7 / 4));
    // A percentage gives percentage margins with the inset added.
    const Imported percent = Import("<ul style='margin-left:10%'><li>x</li></ul>");
    ASSERT_NE(Definition(percent, 2), nullptr);
    EXPECT_EQ(Definition(percent, 2)->Word(74), 10);   // 10% and a quarter, whole percent
    EXPECT_EQ(Definition(percent, 2)->Word(78), 10);

    // A list directly in a cell takes the cell's empty paragraph over: no
    // line break, no paragraph of the first item's own; a quarter inch of
    // offset in the cell's box. One in a division breaks the line first.
    const Imported cell = Import("<table><tr><td><ul><li>a</li><li>b</li></ul></td></tr></table>");
    EXPECT_EQ(cell.problem, "");
    EXPECT_NE(Shown(cell).find("#A4 P D2 R2 '' 'a' P R2 'b' #A5"), std::string::npos) << Shown(cell);
    EXPECT_EQ(Kind(Definition(cell, 2)), "+BULLET");
    EXPECT_EQ(Margins(Definition(cell, 2)), (std::vector<std::uint16_t>{2160, 2160, 720, 720}));
    const Imported afterText = Import("<table><tr><td>t<ul><li>a</li></ul>u</td></tr></table>");
    EXPECT_NE(Shown(afterText).find("'t' D3 P R3 'a' P R2 '' 'u' #A5"), std::string::npos) << Shown(afterText);
    EXPECT_EQ(Shown(Import("<div><ul><li>a</li></ul></div>")), "D2 R2 '' '~' D3 P R3 'a' ''");
    // Text after a list that took the cell's paragraph over is no item of
    // the list: it gets a plain definition, no list bits.
    const Imported overtaken = Import("<table><tr><td><ul><li>a</li></ul>u</td></tr></table>");
    EXPECT_EQ(overtaken.problem, "");
    const std::string shownOvertaken = Shown(overtaken);
    EXPECT_NE(shownOvertaken.find("'a' P D3 R3 '' 'u' #A5"), std::string::npos) << shownOvertaken;
    EXPECT_EQ(Kind(Definition(overtaken, 3)), "");
}

TEST_F(WalkTest, ClosingListsLeavesTheStyleOfWhatFollows) {
    // The definition in force before the outermost list comes back.
    EXPECT_EQ(Shown(Import("<p>x</p><ul><li>a</li></ul>after")), "D2 R2 '' 'x' '~' D3 P R3 'a' P R2 '' 'after' ''");
    // Without one, the text after the list gets plain paragraphs at the
    // page's inch: no list bits left.
    const Imported bare = Import("<ul><li>a</li></ul>after");
    EXPECT_EQ(Shown(bare), "'~' D2 P R2 'a' P D3 R3 '' 'after' ''");
    EXPECT_EQ(Kind(Definition(bare, 3)), "");
    EXPECT_EQ(Margins(Definition(bare, 3)), std::vector<std::uint16_t>(4, kInch));
    const Imported roman = Import("<ol type='i'><li>a</li><li style='list-style-type:lower-roman'>b</li></ol>after");
    EXPECT_EQ(Kind(Definitions(roman).back()), "");

    // A nested list ending inside its outer list: the outer list's kind
    // comes back, offset by the outer list's nesting (1.25 inches at the
    // top level), for the items that follow.
    const Imported nested = Import(
        "<ol style='list-style-type:lower-roman'><li>a<ul><li>b</li></ul></li><li>c</li></ol>");
    EXPECT_EQ(Shown(nested), "'~' D2 P R2 'a' D3 P R3 'b' P D4 R4 '' P R4 'c' ''");
    EXPECT_EQ(Kind(Definition(nested, 4)), "+LOWER_ROMAN_LIST");
    EXPECT_EQ(Definition(nested, 4)->Word(72), kInch * 5 / 4);

    // A nested list that ends its outer list too writes nothing; a list
    // followed by a block leaves the paragraph to the block.
    EXPECT_EQ(Shown(Import("<ul><li>a<ul><li>b</li></ul></li></ul>")), "'~' D2 P R2 'a' D3 P R3 'b' ''");
    // Text after both: one plain paragraph, no empty item of the outer list.
    EXPECT_EQ(Shown(Import("<ul><li>a<ul><li>b</li></ul></li></ul>after")),
              "'~' D2 P R2 'a' D3 P R3 'b' P D4 R4 '' 'after' ''");
    EXPECT_EQ(Shown(Import("<ul><li>a</li></ul><p>b</p>")), "'~' D2 P R2 'a' P D3 R3 '' 'b' ''");
}

TEST_F(WalkTest, TheMarginOfADivisionEndsWithItsListInside) {
    // The text after a division that holds a list stands at the page's
    // margin, as it does after a division of text alone.
    for (const char* inside : {"<ul><li>x</li></ul>", "<ol><li>x<ul><li>y</li></ul></li></ol>", "x"}) {
        const std::string html = std::string("<div style='margin-left:1in'>") + inside + "</div>after";
        const Imported imported = Import(html);
        EXPECT_EQ(imported.problem, "") << html;
        const ItemRecord* last = Definitions(imported).back();
        EXPECT_EQ(last->Word(14), kInch) << html;
        EXPECT_EQ(Kind(last), "") << html;
        EXPECT_EQ(imported.records.back().signature, talix::kSigText) << html;
        EXPECT_NE(imported.Texts().find("after"), std::string::npos) << html;
    }
    // Within the division, text after the list keeps the division's margin.
    const Imported within = Import("<div style='margin-left:1in'><ul><li>x</li></ul>y</div>");
    const ItemRecord* division = Definitions(within).front();
    EXPECT_EQ(division->Word(14), 2 * kInch);
}

TEST_F(WalkTest, BlocksInAnItemLeaveTheItemsAfterInTheirList) {
    // A paragraph, a division or a quotation in an item has a definition of
    // its own; the items after it are paragraphs of the list's again.
    for (const char* block : {"p", "div", "blockquote"}) {
        const std::string html = std::string("<ul><li>a<") + block + ">x</" + block +
                                 "></li><li>b</li><li>c</li></ul>";
        const Imported imported = Import(html);
        EXPECT_EQ(imported.problem, "") << html;
        const std::string shown = Shown(imported);
        EXPECT_NE(shown.find("P R2 'b' P R2 'c'"), std::string::npos) << html << ": " << shown;
        EXPECT_EQ(Kind(Definition(imported, 2)), "+BULLET") << html;
    }
    // Text after the block within its item stays apart from the list's
    // items, as it was.
    EXPECT_EQ(Shown(Import("<ol><li>a<p>x</p>t</li><li>b</li></ol>")),
              "'~' D2 P R2 'a' P D3 R3 '' 'x' P R1 '' 't' P R2 'b' ''");
}

TEST_F(WalkTest, APlainBlockFirstInAnItemIsTheItemsParagraph) {
    // No empty item before it, and its text keeps the item's bullet.
    EXPECT_EQ(Shown(Import("<ul><li><p>a</p></li><li><div>b</div></li></ul>")), "'~' D2 P R2 'a' P R2 'b' ''");
    // A block with attributes of its own still opens its paragraph.
    const std::string own = Shown(Import("<ul><li><p class='k'>a</p></li></ul>"));
    EXPECT_NE(own.find("P R2 P D3 R3 '' 'a'"), std::string::npos) << own;
}

TEST_F(WalkTest, MalformedAndDeepListsKeepTheirText) {
    // 490 lists in one another (980 levels, as deep as the import takes):
    // every item's text is kept, and the definitions stop at the levels kept.
    std::string deep;
    for (int i = 0; i < 490; ++i) deep += "<ul><li>i" + std::to_string(i);
    for (int i = 0; i < 490; ++i) deep += "</li></ul>";
    deep += "after";
    const Imported nested = Import(deep);
    ASSERT_EQ(nested.status, 0);
    EXPECT_EQ(nested.problem, "");
    const std::string texts = nested.Texts();
    EXPECT_NE(texts.find("i0|i1|"), std::string::npos);
    EXPECT_NE(texts.find("|i489|after"), std::string::npos);
    EXPECT_LE(Definitions(nested).size(), 40u);

    // Items outside lists, odd type and start values, a long style text.
    const std::string longStyle(10 * 1024, 'q');
    const Imported odd = Import("<li>loose</li><ol type='' start='1099511627776'><li>a</li></ol>"
                                "<ol start='x' style='list-style-type:" + longStyle + "'><li>b</li></ol>"
                                "<ul style='margin-left:1e400px; line-height:-3px'><li>c</li></ul>");
    ASSERT_EQ(odd.status, 0);
    EXPECT_EQ(odd.problem, "");
    for (const char* text : {"loose", "a", "b", "c"}) EXPECT_NE(odd.Texts().find(text), std::string::npos) << text;
}

} // namespace
