// Paragraphs of list definitions as HTML lists: one list per run of
// paragraphs, nesting by the first-line margins, items with their type,
// spacing and the look of their text, lists' indents, and the XHTML form.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "generation_fixture.h"
#include "support/markup_validators.h"
#include "table_records.h"

namespace {

using htmlgen_test::BidiRun;
using htmlgen_test::Colour;
using htmlgen_test::Definition;
using htmlgen_test::DefinitionFields;
using htmlgen_test::Body;
using htmlgen_test::Count;
using htmlgen_test::GenerationTest;
using htmlgen_test::Has;
using htmlgen_test::Plain;
using htmlgen_test::Records;
using htmlgen_test::Reference;
using htmlgen_test::TextBytes;
using htmlgen_test::TextRun;

constexpr std::uint16_t kBulleted = 0x0400, kNumbered = 0x1000;



DefinitionFields List(std::uint16_t id, std::uint16_t flags, std::uint16_t firstLine, std::uint16_t flags2 = 0) {
    DefinitionFields fields;
    fields.id = id;
    fields.flags = flags;
    fields.left = firstLine;
    fields.firstLine = firstLine;
    fields.flags2 = flags2;
    return fields;
}

class Lists : public GenerationTest {
protected:
    void ExpectValid(ZervaRTChunk* chunk, const char* options = nullptr) {
        std::string report;
        EXPECT_EQ(talix_test::TidyErrors(Generate(chunk, "HTML", options), &report), 0) << report;
        const std::string xhtml = Generate(chunk, "XHTML", options);
        EXPECT_TRUE(talix_test::XhtmlValid(xhtml, &report)) << report << xhtml;
    }
};

TEST_F(Lists, ParagraphsOfOneDefinitionAreItemsOfOneList) {
    const Records records = {Definition(List(2, kBulleted, 1440)), Reference(2), TextBytes("a"), Reference(2),
                             TextBytes("b"), Reference(2), TextBytes("c")};
    ZervaRTChunk* chunk = Define(records);
    EXPECT_EQ(Body(Generate(chunk, "HTML", nullptr)), "<ul class=\"pabid2\"><li>a<li>b<li>c</ul>");
    EXPECT_EQ(Body(Generate(chunk, "XHTML", nullptr)),
              "<ul class=\"pabid2\"><li>a</li><li>b</li><li>c</li></ul>");
    ExpectValid(chunk);

    // Font elements: the type stands on the list and its items.
    const Records roman = {Definition(List(3, kNumbered, 1440, 0x0802)), Reference(3), TextBytes("i"), Reference(3),
                           TextBytes("ii")};
    EXPECT_EQ(Body(Generate(Define(roman), "HTML", "StandardFontTags=Yes")),
              "<ol type=\"I\"><li type=\"I\">i<li type=\"I\">ii</ol>");

    // Inline styles: the list's rule on the list, the type on the item.
    EXPECT_EQ(Body(Generate(Define(roman), "HTML", "MoveStylesInline=Yes")),
              "<ol style=\"padding-left: 0.25in; margin-left: 0.75in; list-style-type: upper-roman; margin-top: 0; "
              "margin-bottom: 0;\"><li style=\"list-style-type: upper-roman; \">i"
              "<li style=\"list-style-type: upper-roman; \">ii</ol>");

    // An empty paragraph of a list is kept as an empty item when the list
    // ends after it.
    const Records empty = {Definition(1), Definition(List(2, kNumbered, 1440)), Reference(2), TextBytes("a"),
                           Reference(2), TextBytes(""), Reference(1), TextBytes("after")};
    ZervaRTChunk* withEmpty = Define(empty);
    EXPECT_EQ(Body(Generate(withEmpty, "HTML", nullptr)),
              "<ol class=\"pabid2\"><li style=\"list-style-type: decimal; \">a<li style=\"list-style-type: decimal; \">"
              "<br><li></li></ol><div class=\"pabid1\">after</div>");
    ExpectValid(withEmpty);
}

TEST_F(Lists, ListsNestByTheirFirstLineMargins) {
    const Records numbered = {Definition(List(3, kNumbered, 1440)), Definition(List(4, kNumbered, 2160)),
                              Reference(3), TextBytes("one"), Reference(4), TextBytes("inner"), Reference(3),
                              TextBytes("two")};
    ZervaRTChunk* chunk = Define(numbered);
    // Numbered items name their type; the inner list is indented from the
    // outer one.
    const std::string item = "<li style=\"list-style-type: decimal; \">";
    EXPECT_EQ(Body(Generate(chunk, "HTML", nullptr)),
              "<ol class=\"pabid3\">" + item + "one<ol class=\"pabid4\" style=\"padding-left: 0.12in; \">" + item +
                  "inner</ol>" + item + "two</ol>");
    // XHTML: the inner list lies inside the outer item.
    EXPECT_EQ(Body(Generate(chunk, "XHTML", nullptr)),
              "<ol class=\"pabid3\">" + item + "one<ol class=\"pabid4\" style=\"padding-left: 0.12in; \">" + item +
                  "inner</li></ol></li>" + item + "two</li></ol>");
    ExpectValid(chunk);

    // Bulleted lists of the same margins close both at the third paragraph
    // and start a new list.
    const Records bulleted = {Definition(List(3, kBulleted, 1440)), Definition(List(4, kBulleted, 2160)),
                              Reference(3), TextBytes("one"), Reference(4), TextBytes("inner"), Reference(3),
                              TextBytes("two")};
    ZervaRTChunk* bullets = Define(bulleted);
    const std::string body = Body(Generate(bullets, "HTML", nullptr));
    EXPECT_EQ(body, "<ul class=\"pabid3\"><li>one<ul class=\"pabid4\" style=\"padding-left: 0.12in; \"><li>inner</ul>"
                    "</ul><ul class=\"pabid3\"><li>two</ul>");
    ExpectValid(bullets);

    // Three levels deep and back, with lists left open through a table.
    const Records deep = {Definition(List(1, kNumbered, 1440)), Definition(List(2, kNumbered, 2160)),
                          Definition(List(3, kNumbered, 2880)), Reference(1), TextBytes("1"), Reference(2),
                          TextBytes("2"), Reference(3), TextBytes("3"), Reference(1), TextBytes("1b"),
                          Reference(3), TextBytes("3b")};
    ZervaRTChunk* three = Define(deep);
    const std::string nested = Body(Generate(three, "XHTML", nullptr));
    EXPECT_EQ(Count(nested, "<ol"), 4u) << nested;
    EXPECT_EQ(Count(nested, "</ol>"), 4u) << nested;
    ExpectValid(three);
}

TEST_F(Lists, FiftyLevelsAtMost) {
    Records records;
    for (std::uint16_t id = 1; id <= 52; ++id)
        records.push_back(Definition(List(id, kNumbered, static_cast<std::uint16_t>(1440 + 100 * id))));
    for (std::uint16_t id = 1; id <= 52; ++id) {
        records.push_back(Reference(id));
        records.push_back(TextBytes("level " + std::to_string(id)));
    }
    ZervaRTChunk* chunk = Define(records);
    const std::string body = Body(Generate(chunk, "XHTML", nullptr));
    EXPECT_EQ(Count(body, "<ol"), 50u) << body;
    EXPECT_EQ(Count(body, "<li"), 52u) << body;
    EXPECT_TRUE(Has(body, "level 50</li><li>level 51</li><li>level 52</li></ol>")) << body;
    ExpectValid(chunk);
}

TEST_F(Lists, ItemsCarryTheLookOfTheirText) {
    DefinitionFields spaced = List(1, kBulleted, 1440);
    spaced.lineSpacing = 2;
    spaced.after = 1;
    const Records records = {Definition(spaced),           Reference(1), TextRun(1, 0x04, 2, 12, "red"),
                             Reference(1),                 TextRun(1, 0, 0, 10, "plain"),
                             Reference(1),                 TextRun(1, 0, 0, 10, "marked"),
                             Colour(0, 0, 0, 0x8001),      Reference(1),
                             BidiRun("rtl"),               Reference(1),
                             TextRun(1, 0, 0, 12, "after")};
    ZervaRTChunk* chunk = Define(records);
    const std::string body = Body(Generate(chunk, "HTML", nullptr));
    EXPECT_TRUE(Has(body, "<li style=\"line-height: 2em; margin-bottom: 0.5em; font-size: 12pt; "
                          "color: rgb(255,0,0); text-decoration: underline; \">"))
        << body;
    // A span the run before opened ends before the next item starts.
    EXPECT_TRUE(Has(body, "red</span><li style=\"line-height: 2em; margin-bottom: 0.5em; \">plain")) << body;
    EXPECT_TRUE(Has(body, "<li style=\"line-height: 2em; margin-bottom: 0.5em; background: #ffffc2;\">")) << body;
    // A right-to-left run: later items say left-to-right.
    EXPECT_TRUE(Has(body, "margin-bottom: 0.5em; font-size: 12pt; direction: rtl;\">")) << body;
    EXPECT_TRUE(Has(body, "margin-bottom: 0.5em; font-size: 12pt; direction: ltr;\">")) << body;
    ExpectValid(chunk);

    // Items without text of their own take the look of the next text.
    const Records empty = {Definition(List(1, kBulleted, 1440)), Reference(1), Reference(1), Reference(1),
                           Reference(1), TextRun(1, 0, 2, 10, "red")};
    const std::string items = Body(Generate(Define(empty), "XHTML", nullptr));
    EXPECT_EQ(Count(items, "<li style=\"color: rgb(255,0,0); \">"), 4u) << items;
}

TEST_F(Lists, IndentsOfListElements) {
    // Offsets of an inch and of an inch and a half at the top level, and
    // a list nested a quarter inch deeper.
    auto offset = [](std::uint16_t id, std::uint16_t twips) {
        DefinitionFields fields = List(id, kBulleted, twips, 0x0004);
        fields.extension = true;
        fields.leftOffset = twips;
        return fields;
    };
    // After a deeper list, a list between the two nests in the shallower.
    const Records records = {Definition(offset(1, 1440)), Definition(offset(2, 2160)), Definition(offset(3, 2520)),
                             Definition(offset(4, 3240)), Definition(offset(5, 3000)), Definition(9),
                             Reference(1),                TextBytes("a"),              Reference(9),
                             TextBytes("gap"),            Reference(2),                TextBytes("b"),
                             Reference(3),                TextBytes("c"),              Reference(4),
                             TextBytes("d"),              Reference(5),                TextBytes("e")};
    ZervaRTChunk* chunk = Define(records);
    const std::string body = Body(Generate(chunk, "HTML", nullptr));
    EXPECT_TRUE(Has(body, "<ul class=\"pabid1\" style=\"padding-left: 0.00in; margin-left: 0.00in; \"><li>a"))
        << body;
    EXPECT_TRUE(Has(body, "<ul class=\"pabid2\" style=\"padding-left: 0.25in; margin-left: 0.25in; \"><li>b"))
        << body;
    EXPECT_TRUE(Has(body, "<ul class=\"pabid3\" style=\"padding-left: 0.12in; margin-left: 0.12in; \"><li>c"))
        << body;
    EXPECT_TRUE(Has(body, "<li>d</ul><ul class=\"pabid5\" style=\"padding-left: 0.12in; margin-left: 0.21in; \"><li>e"))
        << body;
    ExpectValid(chunk);

    // A list set left of the text's inch gets no negative padding, which
    // browsers drop for their own indent: it starts at the text's edge.
    const Records shallow = {Definition(offset(1, 720)), Definition(offset(2, 0)), Definition(9),
                             Reference(1),               TextBytes("half"),        Reference(9),
                             TextBytes("gap"),           Reference(2),             TextBytes("none")};
    for (const char* options : {static_cast<const char*>(nullptr), "MoveStylesInline=Yes"}) {
        const std::string html = Body(Generate(Define(shallow), "HTML", options));
        EXPECT_EQ(Count(html, "padding-left: 0.00in; margin-left: 0.00in; "), 2u) << html;
        EXPECT_FALSE(Has(html, ": -")) << html;
    }
}

TEST_F(Lists, AnItemThatBeginsWithAPicture) {
    const Records records = {Definition(List(1, kBulleted, 1440)), Reference(1), TextBytes("a"),
                             Reference(1), htmlgen_test::Bracket(0xDD, 0x0099), TextBytes("picture"),
                             htmlgen_test::Bracket(0xDE, 0x0099), Reference(1), TextBytes("b")};
    ZervaRTChunk* chunk = Define(records);
    // HTML leaves the item's start tag out; XHTML has every item whole.
    const std::string html = Body(Generate(chunk, "HTML", nullptr));
    EXPECT_EQ(html, "<ul class=\"pabid1\"><li>apicture<li>b</ul>");
    const std::string xhtml = Body(Generate(chunk, "XHTML", nullptr));
    EXPECT_EQ(xhtml, "<ul class=\"pabid1\"><li>a</li><li>picture</li><li>b</li></ul>");
    ExpectValid(chunk);
}

} // namespace

namespace {

TEST_F(Lists, EachRangeOfAGenerationOpensItsOwnLists) {
    // Two cells of one column, each a list paragraph: rendered as two
    // ranges, each closing what it opened.
    Records records = {Definition(List(1, kBulleted, 1440)), Reference(1), TextBytes("intro"), Plain(0x00A3, 14)};
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column) {
            talix_test::FixtureRecord cell = Plain(0x00A4, 18);
            cell.bytes[2] = static_cast<std::uint8_t>(row);
            cell.bytes[3] = static_cast<std::uint8_t>(column);
            records.push_back(cell);
            records.push_back(Definition(List(1, kBulleted, 1440)));
            records.push_back(Reference(1));
            records.push_back(TextBytes("r" + std::to_string(row) + "c" + std::to_string(column)));
        }
    }
    records.push_back(Plain(0x00A5, 8));
    ZervaRTChunk* chunk = Define(records);
    const std::string xhtml = Generate(chunk, "XHTML", nullptr, "Table 1; Column 1");
    // Each range begins inside the table: the first one's table goes on in
    // the second, each range's cell with a list of its own.
    const std::string row = "<tr valign='top'><td width='0' style=\"border: 0px solid black; \">";
    EXPECT_EQ(Body(xhtml), "<table border='0'>" + row + "<ul class=\"pabid1\"><li>r0c0</li></ul></td></tr>" + row +
                               "<ul class=\"pabid1\"><li>r1c0</li></ul></td></tr></table>");
    std::string report;
    EXPECT_TRUE(talix_test::XhtmlValid(xhtml, &report)) << report;
}

// However many list definitions a document has, each keeps its lists; the
// 1,025th definition has no rule.
TEST_F(Lists, EveryListDefinitionKeepsItsList) {
    Records records;
    for (std::uint16_t id = 1; id <= 101; ++id)
        records.push_back(Definition(List(id, kBulleted, static_cast<std::uint16_t>(1440 + id))));
    for (std::uint16_t id = 102; id <= 1030; ++id) records.push_back(Definition(id));
    for (std::uint16_t id : {1, 100, 101}) {
        records.push_back(Reference(id));
        records.push_back(TextBytes("p" + std::to_string(id)));
    }
    talix::STATUS status = 1;
    const std::string text =
        htmlgen_test::WalkRecords(&session_, &item_, records, nullptr, talix::kFormatHTML, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Count(text, ".pabid"), 1024u);
    EXPECT_TRUE(Has(text, "div.pabid1024 {} </style>")) << text.substr(text.size() - 400);
    EXPECT_TRUE(Has(text, "<ul class=\"pabid1\"><li>p1<ul class=\"pabid100\"><li>p100"
                          "<ul class=\"pabid101\"><li>p101</ul></ul></ul>"))
        << text.substr(text.size() - 400);

    // 150 bulleted and numbered paragraphs, each of a definition of its own.
    Records lists;
    for (std::uint16_t id = 1; id <= 150; ++id) {
        lists.push_back(Definition(List(id, id % 2 != 0 ? kBulleted : kNumbered, 1440)));
        lists.push_back(Reference(id));
        lists.push_back(TextBytes("item" + std::to_string(id)));
    }
    for (const char* options : {"", "ConsolidatePABIDS=Yes"}) {
        const std::string html = Body(Generate(Define(lists), "HTML", options));
        const std::string xhtml = Body(Generate(Define(lists), "XHTML", options));
        EXPECT_EQ(Count(html, "<li"), 150u) << options << html;
        EXPECT_EQ(Count(xhtml, "</li>"), 150u) << options << xhtml;
        EXPECT_FALSE(Has(html, "<div")) << options << html;
        EXPECT_TRUE(Has(html, "<li>item101</ul>")) << options;
        EXPECT_TRUE(Has(html, "<li style=\"list-style-type: decimal; \">item150</ol>")) << options;
    }
    ExpectValid(Define(lists));
}

} // namespace

namespace {

// With more definitions than the engine collects, definitions are found by
// walking back over the records; the lists come out the same.
TEST_F(Lists, ManyDefinitionsGiveTheSameLists) {
    auto offset = [](std::uint16_t id, std::uint16_t twips, std::uint16_t flags) {
        DefinitionFields fields = List(id, flags, twips, 0x0004);
        fields.extension = true;
        fields.leftOffset = twips;
        return fields;
    };
    Records lists = {Definition(offset(1, 1440, kBulleted)), Definition(offset(2, 2160, kBulleted)),
                     Definition(offset(3, 2520, kNumbered)), Definition(offset(4, 3240, kBulleted)),
                     Definition(offset(5, 3000, kNumbered)), Definition(9)};
    for (int round = 0; round < 3; ++round) {
        for (std::uint16_t id : {1, 2, 3, 4, 5, 3, 1, 9, 5, 2, 1}) {
            lists.push_back(Reference(id));
            lists.push_back(TextBytes("r" + std::to_string(round) + "p" + std::to_string(id)));
        }
        // A later definition of an id stands for the paragraphs after it.
        lists.push_back(Definition(offset(2, static_cast<std::uint16_t>(2160 + 360 * round), kBulleted)));
    }
    Records many;
    for (std::uint16_t id = 1000; id < 1300; ++id) many.push_back(Definition(id));
    many.insert(many.end(), lists.begin(), lists.end());

    for (const char* format : {"HTML", "XHTML"}) {
        const std::string few = Body(Generate(Define(lists), format, nullptr));
        const std::string all = Body(Generate(Define(many), format, nullptr));
        EXPECT_EQ(all, few) << format;
        EXPECT_TRUE(Has(all, "padding-left: 0.12in; margin-left: 0.21in; ")) << all;
    }
    ExpectValid(Define(many));
}

} // namespace

namespace {

// A chunk that starts after the item's paragraph definitions (a table, a
// paragraph) renders its paragraphs by them, as the whole item does.
TEST_F(Lists, AChunkAfterTheDefinitionsKeepsItsListsAndClasses) {
    Records records = {Definition(List(1, kNumbered, 1440)), Definition(List(2, kBulleted, 2160)), Definition(3, 3),
                       Reference(1), TextBytes("one"), Reference(3), TextBytes("plain")};
    std::vector<htmlgen_test::CellFields> cells = htmlgen_test::Grid(1, 2);
    for (htmlgen_test::CellFields& cell : cells)
        cell.extra = {Reference(2), TextBytes("b-" + cell.text), Reference(2), TextBytes("c-" + cell.text)};
    const Records table = htmlgen_test::Table(cells);
    records.insert(records.end(), table.begin(), table.end());
    records.push_back(Reference(1));
    records.push_back(TextBytes("two"));
    ZervaRTChunk* chunk = Define(records);

    const std::string whole = Body(Generate(chunk, "HTML", nullptr));
    const std::string list = "<ul class=\"pabid2\" style=\"padding-left: 0.12in; \"><li>b-r0c0<li>c-r0c0";
    ASSERT_TRUE(Has(whole, list)) << whole;
    // The table alone: the same lists in its cells, and the rule of the
    // bulleted definition in the style element.
    const std::string html = Generate(chunk, "HTML", nullptr, "Table 1");
    EXPECT_TRUE(Has(Body(html), list)) << html;
    EXPECT_TRUE(Has(html, "ul.pabid2 {")) << html;
    // Rules only for the definitions the chunk's paragraphs use.
    EXPECT_FALSE(Has(html, "div.pabid3 {")) << html;
    std::string report;
    EXPECT_EQ(talix_test::TidyErrors(html, &report), 0) << report;
    const std::string xhtml = Generate(chunk, "XHTML", nullptr, "Table 1");
    EXPECT_TRUE(talix_test::XhtmlValid(xhtml, &report)) << report << xhtml;

    // A single paragraph: its numbered item, and its centred division's
    // class with its rule.
    EXPECT_EQ(Body(Generate(chunk, "HTML", nullptr, "Paragraph 1")),
              "<ol class=\"pabid1\"><li style=\"list-style-type: decimal; \">one</ol>");
    const std::string centred = Generate(chunk, "HTML", nullptr, "Paragraph 2");
    EXPECT_EQ(Body(centred), "<div align='center' class=\"pabid3\">plain</div>");
    EXPECT_TRUE(Has(centred, "div.pabid3 {")) << centred;
}

} // namespace
