// Tables written by the generation: rows and cells in order, merged
// blocks, data tables and captions, nested tables and row groups, borders
// in CSS, tabbed and animated tables, and damaged tables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "active_content_fixture.h"
#include "generation_fixture.h"
#include "support/markup_validators.h"
#include "support/patterns.h"
#include "support/record_fixture.h"
#include "table_records.h"
#include "talix_platform.h"

namespace {

using htmlgen_test::Body;
using htmlgen_test::CellFields;
using htmlgen_test::Count;
using htmlgen_test::Definition;
using htmlgen_test::DefinitionFields;
using htmlgen_test::GenerationTest;
using htmlgen_test::Grid;
using htmlgen_test::Has;
using htmlgen_test::Records;
using htmlgen_test::Reference;
using htmlgen_test::Table;
using htmlgen_test::TextBytes;

class Tables : public GenerationTest {
protected:
    // A document of a paragraph and the records.
    Records Document(const Records& table) {
        Records records = {Definition(1), Reference(1), TextBytes("Before")};
        records.insert(records.end(), table.begin(), table.end());
        records.push_back(Reference(1));
        records.push_back(TextBytes("After"));
        return records;
    }
    // The HTML body of the records; the HTML passes Tidy, the XHTML is
    // valid (or, where the markup the format asks for is not in its DTD,
    // well-formed), its cells' texts in cells_.
    std::string Checked(const Records& records, const std::string& options = "", bool valid = true) {
        ZervaRTChunk* chunk = Define(records);
        const std::string html = Generate(chunk, "HTML", options.c_str());
        std::string report;
        EXPECT_EQ(talix_test::TidyErrors(html, &report), 0) << report << html;
        const std::string xhtml = Generate(chunk, "XHTML", options.c_str());
        if (valid) {
            EXPECT_TRUE(talix_test::XhtmlValid(xhtml, &report)) << report << xhtml;
        } else {
            EXPECT_TRUE(talix_test::XmlWellFormed(xhtml, &report)) << report << xhtml;
        }
        cells_ = talix_test::XhtmlElementTexts(xhtml, {"td", "th"});
        return Body(html);
    }
    std::vector<std::string> cells_;
};

TEST_F(Tables, RowsAndCellsInOrder) {
    const std::string body = Checked(Document(Table(Grid(2, 2))));
    EXPECT_EQ(Count(body, "<table"), 1u) << body;
    EXPECT_EQ(Count(body, "<tr"), 2u) << body;
    EXPECT_EQ(Count(body, "<td"), 4u) << body;
    EXPECT_EQ(Count(body, "</td>"), 4u) << body;
    const std::size_t at = body.find("r0c0");
    ASSERT_NE(at, std::string::npos);
    EXPECT_LT(at, body.find("r0c1"));
    EXPECT_LT(body.find("r0c1"), body.find("r1c0"));
    EXPECT_LT(body.find("r1c0"), body.find("r1c1"));
    EXPECT_LT(body.find("</table>"), body.find("After"));
    // Widths in pixels from the cell edges; an empty table is its element.
    // less the left border.
    EXPECT_TRUE(Has(body, " width='95'")) << body;
    EXPECT_EQ(cells_, (std::vector<std::string>{"r0c0", "r0c1", "r1c0", "r1c1"}));
    const std::string empty = Checked(Document({htmlgen_test::TableBegin(), htmlgen_test::TableEnd()}), "", false);
    EXPECT_TRUE(Has(empty, "</table>")) << empty;
    EXPECT_FALSE(Has(empty, "<tr")) << empty;
}

TEST_F(Tables, MergedBlocksAreWrittenAtTheirFirstPosition) {
    // A 3 x 3 table whose top-left 2 x 2 block is merged: stored on its
    // last cell, the others hidden.
    std::vector<CellFields> cells = Grid(3, 3);
    for (int i : {0, 1, 3}) {
        cells[i].flags = 0x04;
        cells[i].text.clear();
    }
    cells[4].rowSpan = 2;
    cells[4].columnSpan = 2;
    cells[4].text = "block";
    const std::string body = Checked(Document(Table(cells)));
    EXPECT_EQ(Count(body, "<td"), 6u) << body;
    EXPECT_EQ(Count(body, "colspan='2' rowspan='2'"), 1u) << body;
    EXPECT_EQ(cells_, (std::vector<std::string>{"block", "r0c2", "r1c2", "r2c0", "r2c1", "r2c2"})) << body;
    EXPECT_EQ(Count(body, "<tr"), 3u) << body;

    // A 2 x 2 table merged whole: the covered row keeps its place.
    std::vector<CellFields> whole = Grid(2, 2);
    for (int i : {0, 1, 2}) {
        whole[i].flags = 0x04;
        whole[i].text.clear();
    }
    whole[3].rowSpan = 2;
    whole[3].columnSpan = 2;
    whole[3].text = "all";
    const std::string merged = Checked(Document(Table(whole)), "", false);
    EXPECT_TRUE(Has(merged, "<tr></tr>")) << merged;
    EXPECT_EQ(Count(merged, "<td"), 1u) << merged;
    EXPECT_EQ(cells_, std::vector<std::string>{"all"}) << merged;
}

TEST_F(Tables, OverlappingBlocksAndHiddenCellsWithWordsLoseNoWords) {
    // Each word of the table is in exactly one written cell.
    auto wordsOnce = [this](const std::vector<std::string>& words, const std::string& body) {
        std::string all;
        for (const std::string& cell : cells_) all += cell + "|";
        for (const std::string& word : words) EXPECT_EQ(Count(all, word), 1u) << word << ": " << all << "\n" << body;
    };
    // Two blocks in two columns, the one of the second column beginning at
    // a hidden cell that holds words: that cell is written as a cell of its
    // own and the block where it is stored.
    std::vector<CellFields> cells = Grid(3, 2);
    for (int i : {0, 2, 3}) {
        cells[i].flags = 0x0C;
        cells[i].text.clear();
    }
    cells[3].text = "covered";
    cells[1].text = "plain";
    cells[4].rowSpan = 3;
    cells[4].text = "tall";
    cells[5].rowSpan = 2;
    cells[5].text = "short";
    std::string body = Checked(Document(Table(cells)), "", false);
    wordsOnce({"covered", "plain", "tall", "short"}, body);
    EXPECT_EQ(Count(body, "rowspan='3'"), 1u) << body;

    // Two blocks beginning at the same hidden cell: the first is written
    // there, the second where it is stored.
    cells = Grid(3, 2);
    cells[0].flags = 0x0C;
    cells[0].text.clear();
    cells[2].rowSpan = 2;
    cells[2].text = "first";
    cells[4].rowSpan = 3;
    cells[4].text = "second";
    body = Checked(Document(Table(cells)), "", false);
    wordsOnce({"first", "second", "r0c1", "r1c1", "r2c1"}, body);

    // A hidden cell that carries a block whose first cell is not hidden.
    cells = Grid(2, 2);
    cells[2].flags = 0x0C;
    cells[2].rowSpan = 2;
    cells[2].text = "carried";
    body = Checked(Document(Table(cells)), "", false);
    wordsOnce({"r0c0", "carried", "r0c1", "r1c1"}, body);
}

std::string g_streamed;
std::uint16_t KeepStreamed(ZervaRTChunk*, char* text, std::uint16_t length) {
    g_streamed.append(text, length);
    return 0;
}

TEST_F(Tables, MergedBlocksOfTablesOfMoreThan256RowsAreWrittenAtTheirFirstRow) {
    // Rows past the 256th are numbered from 0 again in their cells: a block
    // of rows 253 to 256 is stored on a cell of row 0, and one of rows 266
    // and 267 begins where a block of rows 10 and 11 begins.
    std::vector<CellFields> cells = Grid(300, 2);
    auto merge = [&cells](int first, int last, int column, const char* text) {
        for (int row = first; row < last; ++row) {
            cells[row * 2 + column].flags = 0x04;
            cells[row * 2 + column].text.clear();
        }
        cells[last * 2 + column].rowSpan = static_cast<std::uint8_t>(last - first + 1);
        cells[last * 2 + column].text = text;
    };
    merge(253, 256, 0, "across");
    merge(10, 11, 1, "early");
    merge(266, 267, 1, "late");
    ZervaRTChunk* chunk = Define(Document(Table(cells)));
    g_streamed.clear();
    const std::string html = g_streamed + Generate(chunk, "HTML", "OutputToEvent=Yes", nullptr, KeepStreamed);
    std::string report;
    EXPECT_EQ(talix_test::TidyErrors(html, &report), 0) << report;
    g_streamed.clear();
    const std::string xhtml = g_streamed + Generate(chunk, "XHTML", "OutputToEvent=Yes", nullptr, KeepStreamed);
    EXPECT_TRUE(talix_test::XhtmlValid(xhtml, &report)) << report;
    EXPECT_EQ(talix_test::XhtmlElementTexts(xhtml, {"td"}).size(), 600u - 5u);
    const std::string body = Body(html);
    std::vector<std::string> rows;
    for (std::size_t at = body.find("<tr"); at != std::string::npos; at = body.find("<tr", at + 1))
        rows.push_back(body.substr(at, body.find("</tr>", at) - at));
    ASSERT_EQ(rows.size(), 300u) << body;
    EXPECT_TRUE(Has(rows[253], "rowspan='4'") && Has(rows[253], "across")) << rows[253];
    EXPECT_TRUE(Has(rows[10], "rowspan='2'") && Has(rows[10], "early")) << rows[10];
    EXPECT_TRUE(Has(rows[266], "rowspan='2'") && Has(rows[266], "late")) << rows[266];
    for (int row : {254, 255, 256}) EXPECT_EQ(Count(rows[row], "<td"), 1u) << row << ": " << rows[row];
    for (int row : {11, 267}) EXPECT_EQ(Count(rows[row], "<td"), 1u) << row << ": " << rows[row];
    for (const char* word : {"across", "early", "late"}) EXPECT_EQ(Count(body, word), 1u) << word;
}

TEST_F(Tables, AMergedBlockInANestedTableClosesOnlyItsOwnRows) {
    // An outer table of three cells; the second holds a table of three rows
    // merged whole, with a list around it. The nested table's covered rows
    // and its end close nothing of the outer table: its third cell follows
    // in the outer row.
    std::vector<CellFields> inner = Grid(3, 1);
    for (int i : {0, 1}) {
        inner[i].flags = 0x04;
        inner[i].text.clear();
    }
    inner[2].rowSpan = 3;
    inner[2].text = "merged";
    DefinitionFields list;
    list.id = 2;
    list.flags = 0x0400;
    std::vector<CellFields> outer = Grid(1, 3);
    outer[1].text = "item";
    outer[1].extra = {Definition(list), Reference(2), TextBytes("listed")};
    const Records nested = Table(inner, true);
    outer[1].extra.insert(outer[1].extra.end(), nested.begin(), nested.end());
    outer[1].extra.push_back(Reference(1));
    const std::string body = Checked(Document(Table(outer)), "", false);
    EXPECT_EQ(cells_, (std::vector<std::string>{"r0c0", "listedmergeditem", "merged", "r0c2"})) << body;
    EXPECT_EQ(Count(body, "<table"), 2u) << body;
    EXPECT_TRUE(Has(body, "<tr></tr><tr></tr></table>")) << body;
    EXPECT_TRUE(Has(body, "</ul></td><td")) << body;
    std::string report;
    talix_test::TidyErrors(Generate(chunks_.back().get(), "XHTML", nullptr), &report);
    EXPECT_EQ(report.find("missing </"), std::string::npos) << report;
}

TEST_F(Tables, DataTableWithCaption) {
    std::vector<CellFields> cells = Grid(2, 2);
    Records table = Table(cells, false, 0x0001);
    table.insert(table.begin(), htmlgen_test::OtherText("TalixDataTable=1 Caption=Cap width=50%"));
    const std::string body = Checked(Document(table));
    EXPECT_TRUE(Has(body, "<th")) << body;
    EXPECT_TRUE(Has(body, " id='c1'")) << body;
    EXPECT_TRUE(Has(body, " id='c2'")) << body;
    EXPECT_TRUE(Has(body, " headers='c1'")) << body;
    EXPECT_TRUE(Has(body, " headers='c2'")) << body;
    EXPECT_EQ(Count(body, "<th"), 2u) << body;
    EXPECT_EQ(Count(body, "</th>"), 2u) << body;
    EXPECT_TRUE(talix_test::Search(body, "<table[^>]* width=50%[^>]*><caption>Cap</caption><tr")) << body;
    EXPECT_FALSE(Has(body, "Caption=")) << body;
    EXPECT_FALSE(Has(body, "TalixDataTable")) << body;
    EXPECT_FALSE(Has(body, "width='100%'")) << body;
    EXPECT_EQ(Count(body, " width='50%'"), 4u) << body;
    // A fit-to-window table without its own width spans the window, its
    // cells in per cent of row 0.
    const std::string fit = Checked(Document(Table(Grid(1, 2), false, 0x0001)));
    EXPECT_TRUE(Has(fit, "width='100%'")) << fit;
    EXPECT_TRUE(Has(fit, " width='50%'")) << fit;

    // Columns of fixed width keep their pixels: column n by bit n of the
    // first word, from column 32 on by bit n - 32 of the second.
    std::vector<CellFields> wide = Grid(1, 34);
    for (CellFields& cell : wide) {
        cell.left = static_cast<std::uint16_t>(cell.column * 300);
        cell.right = static_cast<std::uint16_t>(cell.column * 300 + 300);
    }
    Records fixed = Table(wide);
    fixed.insert(fixed.begin(), htmlgen_test::PreTable(0x41, 0, 0x2, 0x2));
    const std::string columns = Checked(Document(fixed));
    const std::vector<std::string> widths = [&] {
        std::vector<std::string> found;
        for (const std::vector<std::string>& width : talix_test::FindAll(columns, "<td width='([^']*)'"))
            found.push_back(width[1]);
        return found;
    }();
    ASSERT_EQ(widths.size(), 34u) << columns;
    EXPECT_EQ(widths[0], " 3%") << columns;
    EXPECT_EQ(widths[1], "19") << columns;
    EXPECT_EQ(widths[32], " 3%") << columns;
    EXPECT_EQ(widths[33], "19") << columns;

    // Texts from the record cannot end an attribute or open markup.
    Records quoted = Table(Grid(1, 1));
    quoted.insert(quoted.begin(), htmlgen_test::IdName({"", "", "", "a'b<", "Caption=<b>", ""}));
    const std::string safe = Checked(Document(quoted));
    EXPECT_TRUE(Has(safe, " title='a&#39;b&lt;'")) << safe;
    EXPECT_TRUE(Has(safe, "<caption>&lt;b&gt;</caption>")) << safe;
}

// The table's id/name record is stored with its extension record in a
// bracket right before the table begin (so the table builder stores it, and
// so do documents): its attributes reach the table element. An id/name
// record beyond another bracket belongs to something else.
TEST_F(Tables, ACellCarriesOneIdUnderDataTablesAndAutomaticIds) {
    // The header cells of a data table keep the ids their column's cells
    // name; the other cells get the automatic id.
    for (const char* kind : {"1", "4"}) {
        Records table = Table(Grid(2, 2));
        table.insert(table.begin(), htmlgen_test::OtherText(std::string("TalixDataTable=") + kind));
        const std::string body = Checked(Document(table), "AutoTag=Cell");
        EXPECT_EQ(Count(body, " id="), 4u) << body;
        EXPECT_TRUE(Has(body, std::string(kind) == "1" ? "<th width='95' id='c2' border" : "<th width='95' id='r2' border"))
            << body;
        EXPECT_TRUE(Has(body, std::string(kind) == "1" ? " headers='c1' id='tbl1_r2_c1' border"
                                                        : " headers='r1' id='tbl1_r1_c2' border"))
            << body;
    }
    // A cell's stored id is the one it carries.
    std::vector<CellFields> cells = Grid(2, 2);
    cells[1].extra = {htmlgen_test::OtherText("", true, "mine")};
    cells[2].extra = {htmlgen_test::OtherText("", true, "own")};
    Records table = Table(cells);
    table.insert(table.begin(), htmlgen_test::OtherText("TalixDataTable=1"));
    const std::string body = Generate(Define(Document(table)), "XHTML", "AutoTag=Cell");
    std::string report;
    EXPECT_TRUE(talix_test::XmlWellFormed(body, &report)) << report << body;
    EXPECT_TRUE(Has(body, "<th id=\"mine\" width='95' style=")) << body;
    EXPECT_TRUE(Has(body, "<td id=\"own\" width='95' headers='c1' style=")) << body;
}

TEST_F(Tables, AHeaderCellByItsDataFlagsCarriesOneScopeInADataTable) {
    // Data flags that make the first cell of rows 0 and 1 a header of its
    // column (bit 0) or its row (bit 1), in tables whose data-table kind
    // gives a scope to row 0 (2) or column 0 (3).
    auto flags = [](std::uint32_t bits) {
        talix_test::FixtureRecord record = talix_test::HostRecord(0x0057, 16);
        talix_test::PutWord(&record, 2, 1);
        talix_test::PutWord(&record, 4, 0x0083);
        talix_test::PutDword(&record, 12, bits);
        return record;
    };
    for (const char* kind : {"2", "3"}) {
        std::vector<CellFields> cells = Grid(2, 2);
        cells[0].extra = {flags(1)};
        cells[2].extra = {flags(2)};
        Records table = Table(cells);
        table.insert(table.begin(), htmlgen_test::OtherText(std::string("TalixDataTable=") + kind));
        const std::string body = Checked(Document(table));
        EXPECT_TRUE(Has(body, "<th scope=\"col\" width='95' border")) << body;
        EXPECT_TRUE(Has(body, "<th scope=\"row\" width='95' border")) << body;
        // Kind 2 adds the scope of the other cell of row 0.
        EXPECT_EQ(Count(body, "scope="), std::string(kind) == "2" ? 3u : 2u) << body;
    }
}

TEST_F(Tables, HeaderCellsByTheirFont) {
    // Two cells: a bold one and a plain one.
    Records table = Table(Grid(1, 2));
    for (htmlgen_test::FixtureRecord& record : table) {
        if (record.bytes == TextBytes("r0c0").bytes) record = talix_test::TextRecord(0x0A000101, "r0c0");
    }
    const Records records = Document(table);
    EXPECT_EQ(Count(Checked(records, "AutoTHFont=+BOLD"), "<th"), 1u);
    EXPECT_EQ(Count(Checked(records, "AutoTHFont=10"), "<th"), 2u);
    EXPECT_EQ(Count(Checked(records), "<th"), 0u);
    // Font words that name nothing select no header cell.
    for (const char* nothing : {"AutoTHFont=bogusword", "AutoTHFont=HIGHLIGHTYELLOW"}) {
        const std::string body = Checked(records, nothing);
        EXPECT_EQ(Count(body, "<th"), 0u) << nothing << body;
        EXPECT_EQ(Count(body, "<td"), 2u) << nothing << body;
    }
}

TEST_F(Tables, AnIdNameRecordInTheTablesBracketNamesTheTable) {
    Records bracketed = {htmlgen_test::Bracket(0xDD, 0xFFFB), htmlgen_test::PreTable(),
                         htmlgen_test::IdName({"tid", "zq", "", "", "", ""}), htmlgen_test::Bracket(0xDE, 0xFFFB)};
    const Records table = Table(Grid(1, 1));
    bracketed.insert(bracketed.end(), table.begin(), table.end());
    const std::string body = Checked(Document(bracketed));
    EXPECT_TRUE(Has(body, "<table id='tid' class='zq'")) << body;
    const std::string xhtml = Generate(Define(Document(bracketed)), "XHTML", nullptr);
    EXPECT_TRUE(Has(xhtml, "<table id='tid' class='zq'")) << xhtml;

    Records other = {htmlgen_test::IdName({"", "far", "", "", "", ""}), htmlgen_test::Bracket(0xDD, 0xFF7A),
                     htmlgen_test::Bracket(0xDE, 0xFF7A)};
    other.insert(other.end(), table.begin(), table.end());
    const std::string apart = Checked(Document(other));
    EXPECT_FALSE(Has(apart, "far")) << apart;
}

// A style among a cell's other attributes joins, in XHTML, the style
// attribute the cell writes for its borders: the start tag holds one.
TEST_F(Tables, ACellsOtherStyleJoinsItsBorderStyleInXhtml) {
    std::vector<CellFields> cells = Grid(1, 2);
    cells[0].extra.push_back(htmlgen_test::OtherText("width=5 style='color: red' title=t", true, "cid"));
    const Records table = Table(cells);
    const std::string body = Checked(Document(table), "", false);
    // HTML as it always was.
    EXPECT_TRUE(Has(body, "<td id=\"cid\" width=5 style='color: red' title=t border=\"1\" "
                          "style=\"border: 1px solid black; \">"))
        << body;
    const std::string xhtml = Generate(Define(table), "XHTML", nullptr);
    EXPECT_TRUE(Has(xhtml, "<td id=\"cid\" width=\"5\" title=\"t\" style=\"color: red; border: 1px solid black; \">"))
        << xhtml;
}

TEST_F(Tables, ATablesStoredStyleJoinsItsBorderStyle) {
    // The style of the table's id/name record, in both forms, and a style
    // among its other attributes, in XHTML: one style attribute that holds
    // the stored style and the borders' CSS.
    Records stored = Table(Grid(1, 2), false, 0x0010);
    const std::string style = "font-family: 'Arial'";
    talix_test::FixtureRecord idName = talix_test::HostRecord(0xFF7A, static_cast<std::uint32_t>(26 + style.size()));
    talix_test::PutWord(&idName, 8, static_cast<std::uint16_t>(style.size()));
    std::copy(style.begin(), style.end(), idName.bytes.begin() + 26);
    stored.insert(stored.begin(), idName);
    const std::string body = Checked(Document(stored), "CSSBorders=Yes");
    EXPECT_TRUE(Has(body, "<table cellspacing='0' cellpadding='0' style='font-family: &#39;Arial&#39;; "
                          "border-collapse: collapse; ' dir='rtl'>"))
        << body;
    Records other = Table(Grid(1, 2));
    other.insert(other.begin(), htmlgen_test::OtherText("style='color:red' class=x"));
    Checked(Document(other), "CSSBorders=Yes");
    const std::string xhtml = Generate(Define(Document(other)), "XHTML", "CSSBorders=Yes");
    EXPECT_TRUE(Has(xhtml, "<table class=\"x\" cellspacing='0' cellpadding='0' "
                           "style='color:red; border-collapse: collapse; '>"))
        << xhtml;
    // A long stored style is written whole.
    const std::string longStyle = "color: red; " + std::string(1500, ' ') + "margin: 1px";
    Records held = Table(Grid(1, 2));
    held.insert(held.begin(), htmlgen_test::OtherText("style='" + longStyle + "'"));
    const std::string longXhtml = Generate(Define(Document(held)), "XHTML", "CSSBorders=Yes");
    EXPECT_TRUE(talix_test::XhtmlValid(longXhtml)) << longXhtml;
    EXPECT_TRUE(Has(longXhtml, "style='" + longStyle + "; border-collapse: collapse; '>")) << longXhtml;
    // Without a style of the borders' own the stored style stands where it
    // always did.
    const std::string plain = Checked(Document(stored), "");
    EXPECT_TRUE(Has(plain, "<table style='font-family: &#39;Arial&#39;' border='1' dir='rtl'>")) << plain;
}

// The attributes a table or cell writes give way only to an attribute of
// the same whole name among its other attributes.
TEST_F(Tables, OtherAttributesStopOnlyAttributesOfTheirOwnName) {
    std::vector<CellFields> cells = Grid(1, 3);
    cells[0].extra.push_back(htmlgen_test::OtherText("data-width=5 data-valign=x title='width=3'", true));
    cells[1].extra.push_back(htmlgen_test::OtherText("WIDTH=7", true));
    cells[2].extra.push_back(htmlgen_test::OtherText("width = '8'", true));
    Records table = Table(cells);
    table.insert(table.begin(), htmlgen_test::OtherText("data-border=2"));
    // (Attributes of the data- kind are not in the XHTML DTD.)
    const std::string body = Checked(Document(table), "", false);
    EXPECT_TRUE(Has(body, "<table data-border=2 border='1'>")) << body;
    EXPECT_TRUE(Has(body, "<tr valign='top'>")) << body;
    EXPECT_TRUE(Has(body, "<td data-width=5 data-valign=x title='width=3' width='95'")) << body;
    EXPECT_TRUE(Has(body, "<td WIDTH=7 border=")) << body;
    EXPECT_TRUE(Has(body, "<td width = '8' border=")) << body;
    EXPECT_EQ(Count(body, "width='95'"), 1u) << body;
}

TEST_F(Tables, NestedTablesAndRowGroups) {
    std::vector<CellFields> outer = Grid(2, 2);
    outer[1].extra = Table(Grid(1, 2), true);
    outer[0].extra = {htmlgen_test::OtherText("TalixTHEAD=Yes", true)};
    outer[2].extra = {htmlgen_test::OtherText("TalixTBODY=Yes", true)};
    const std::string body = Checked(Document(Table(outer)), "AutoTag=Table");
    EXPECT_TRUE(Has(body, "id='tbl1'")) << body;
    EXPECT_TRUE(Has(body, "id='n2tbl2'")) << body;
    // The nested table closes inside the cell that holds it, before the
    // cell's own text.
    const std::size_t nested = body.find("id='n2tbl2'");
    const std::size_t nestedEnd = body.find("</table>", nested);
    EXPECT_LT(nestedEnd, body.find("r0c1", nestedEnd)) << body;
    EXPECT_LT(body.find("r0c1", nestedEnd), body.find("</td>", nestedEnd)) << body;
    EXPECT_TRUE(Has(body, "<thead><tr")) << body;
    EXPECT_TRUE(Has(body, "</thead><tbody><tr")) << body;
    EXPECT_TRUE(Has(body, "</tbody></table>")) << body;
    EXPECT_FALSE(Has(body, "TalixTHEAD")) << body;
    EXPECT_EQ(cells_, (std::vector<std::string>{"r0c0", "r0c0r0c1r0c1", "r0c0", "r0c1", "r1c0", "r1c1"})) << body;
}

TEST_F(Tables, RowGroupsStayInTheirOwnTableAndNeverNest) {
    // A table nested in a header row, whose rows are a body and a footer:
    // its groups open and close inside it, and the outer table's header
    // ends only with its own row.
    std::vector<CellFields> inner = Grid(2, 1);
    inner[0].text = "in0";
    inner[1].text = "in1";
    inner[0].extra = {htmlgen_test::OtherText("TalixTBODY=Yes", true)};
    inner[1].extra = {htmlgen_test::OtherText("TalixTFOOT=Yes", true)};
    std::vector<CellFields> outer = Grid(2, 2);
    outer[0].extra = {htmlgen_test::OtherText("TalixTHEAD=Yes", true)};
    outer[1].extra = Table(inner, true);
    outer[2].extra = {htmlgen_test::OtherText("TalixTBODY=Yes", true)};
    const std::string nested = Checked(Document(Table(outer)), "", false);
    EXPECT_TRUE(Has(nested, "<tbody><tr valign='top'><td  width='95' border=\"1\" style=\"border: 1px solid black; \">"
                            "<div align='left' class=\"pabid1\">in0</div></td></tr></tbody><tfoot>"))
        << nested;
    EXPECT_TRUE(Has(nested, "in1</div></td></tr></tfoot></table><div align='left' class=\"pabid1\">r0c1</div></td>"
                            "</tr></thead><tbody>"))
        << nested;
    EXPECT_EQ(cells_, (std::vector<std::string>{"r0c0", "in0in1r0c1", "in0", "in1", "r1c0", "r1c1"})) << nested;
    EXPECT_LT(nested.find("</table>", nested.find("r1c1")), nested.find("After")) << nested;

    // Two header rows share one header; a footer after a body closes it.
    std::vector<CellFields> cells = Grid(4, 1);
    cells[0].extra = {htmlgen_test::OtherText("TalixTHEAD=Yes", true)};
    cells[1].extra = {htmlgen_test::OtherText("TalixTHEAD=Yes", true)};
    cells[2].extra = {htmlgen_test::OtherText("TalixTBODY=Yes", true)};
    cells[3].extra = {htmlgen_test::OtherText("TalixTFOOT=Yes", true)};
    const std::string groups = Checked(Document(Table(cells)), "", false);
    EXPECT_EQ(Count(groups, "<thead>"), 1u) << groups;
    EXPECT_TRUE(Has(groups, "r1c0</div></td></tr></thead><tbody>")) << groups;
    EXPECT_TRUE(Has(groups, "r2c0</div></td></tr></tbody><tfoot>")) << groups;
    EXPECT_TRUE(Has(groups, "r3c0</div></td></tr></tfoot></table>")) << groups;
    cells.pop_back();
    Checked(Document(Table(cells)));
}

TEST_F(Tables, TablesNestedBeyondTheKeptLevelsStayWellNested) {
    // 70 tables, each in the only cell of the one before it.
    constexpr int kDepth = 70;
    Records records = {Definition(1), Reference(1), TextBytes("Before")};
    for (int level = 0; level < kDepth; ++level) {
        records.push_back(htmlgen_test::TableBegin(level > 0));
        records.push_back(htmlgen_test::Cell(CellFields{}, level > 0));
        records.push_back(Reference(1));
        records.push_back(TextBytes("L" + std::to_string(level)));
    }
    for (int level = kDepth; level-- > 0;) records.push_back(htmlgen_test::TableEnd(level > 0));
    records.push_back(Reference(1));
    records.push_back(TextBytes("After"));
    const std::string body = Checked(records, "", false);
    EXPECT_EQ(Count(body, "<table"), static_cast<std::size_t>(kDepth)) << body;
    EXPECT_EQ(Count(body, "</table>"), static_cast<std::size_t>(kDepth)) << body;
    for (int level = 0; level < kDepth; ++level) EXPECT_TRUE(Has(body, ">L" + std::to_string(level) + "<")) << level;
    EXPECT_GT(body.find("After"), body.rfind("</table>")) << body;
}

// Tables of one row of two cells ("L<level>a" and "L<level>b"), each in
// the first cell of the one before it.
Records NestedTwoCellTables(int depth) {
    Records records = {Definition(1), Reference(1), TextBytes("Before")};
    for (int level = 0; level < depth; ++level) {
        records.push_back(htmlgen_test::TableBegin(level > 0));
        records.push_back(htmlgen_test::Cell(CellFields{}, level > 0));
        records.push_back(Reference(1));
        records.push_back(TextBytes("L" + std::to_string(level) + "a"));
    }
    for (int level = depth; level-- > 0;) {
        CellFields second;
        second.column = 1;
        records.push_back(htmlgen_test::Cell(second, level > 0));
        records.push_back(Reference(1));
        records.push_back(TextBytes("L" + std::to_string(level) + "b"));
        records.push_back(htmlgen_test::TableEnd(level > 0));
    }
    records.push_back(Reference(1));
    records.push_back(TextBytes("After"));
    return records;
}

TEST_F(Tables, TablesNestedPastSixtyFourLevelsKeepEachCellInItsOwnRow) {
    // 80 levels: every table has its row, and its second cell follows the
    // first in that row, inside the table.
    constexpr int kDepth = 80;
    const std::string body = Checked(NestedTwoCellTables(kDepth), "", false);
    EXPECT_EQ(Count(body, "<table"), static_cast<std::size_t>(kDepth)) << body;
    EXPECT_EQ(Count(body, "<tr"), static_cast<std::size_t>(kDepth)) << body;
    EXPECT_EQ(Count(body, "</tr>"), static_cast<std::size_t>(kDepth)) << body;
    for (int level = 1; level < kDepth; ++level)
        EXPECT_TRUE(Has(body, "L" + std::to_string(level) + "b</div></td></tr></table></td><td")) << level << body;
    EXPECT_TRUE(Has(body, "L0b</div></td></tr></table>")) << body;
}

TEST_F(Tables, TablesNestedPastTheWalksBoundKeepTheirTextInTheDeepestTableWritten) {
    // 130 levels: the tables past the nesting the walk follows are not
    // written, their text stands in the deepest cell written, and none of
    // their cells becomes a row or cell of a table written. (Past the depth
    // the checkers take: the elements are counted.)
    constexpr int kDepth = 130;
    ZervaRTChunk* chunk = Define(NestedTwoCellTables(kDepth));
    const std::string body = Body(Generate(chunk, "HTML", nullptr));
    const std::string xhtml = Generate(chunk, "XHTML", nullptr);
    const std::size_t tables = Count(body, "<table");
    EXPECT_GT(tables, 50u) << body;
    EXPECT_LT(tables, static_cast<std::size_t>(kDepth)) << body;
    for (const std::string* markup : {&body, &xhtml}) {
        EXPECT_EQ(Count(*markup, "<table"), tables) << *markup;
        EXPECT_EQ(Count(*markup, "</table>"), tables) << *markup;
        EXPECT_EQ(Count(*markup, "<tr"), tables) << *markup;
        EXPECT_EQ(Count(*markup, "<td"), 2 * tables) << *markup;
        EXPECT_EQ(Count(*markup, "</td>"), 2 * tables) << *markup;
    }
    for (int level = 0; level < kDepth; ++level) {
        EXPECT_TRUE(Has(body, ">L" + std::to_string(level) + "a")) << level;
        EXPECT_TRUE(Has(body, ">L" + std::to_string(level) + "b")) << level;
    }
    // The deepest cell written holds the text of every table beyond it, in
    // order, before it closes.
    const std::size_t deepest = body.find(">L" + std::to_string(tables - 1) + "a");
    const std::size_t closes = body.find("</td>", deepest);
    EXPECT_LT(body.find(">L" + std::to_string(kDepth - 1) + "a"), body.find(">L" + std::to_string(kDepth - 1) + "b"));
    EXPECT_LT(body.find(">L" + std::to_string(kDepth - 1) + "b"), body.find(">L" + std::to_string(tables) + "b"));
    EXPECT_LT(body.find(">L" + std::to_string(tables) + "b"), closes) << body;
    EXPECT_GT(body.find("After"), body.rfind("</table>")) << body;
}

TEST_F(Tables, RightMarginsInCellsAreWhatLiesBeyondThem) {
    // A right margin stored at 99 % of the width (from the left edge) leaves
    // 1 % beyond it, in a cell as outside: a cell's words stay side by side.
    htmlgen_test::DefinitionFields wide;
    wide.id = 2;
    wide.extension = true;
    wide.flags2 = 0x0080;
    wide.rightPercent = 99;
    htmlgen_test::DefinitionFields half = wide;
    half.id = 3;
    half.rightPercent = 50;
    CellFields cell;
    cell.extra = {Definition(wide), Reference(2), TextBytes("six words in a wide cell")};
    CellFields other;
    other.column = 1;
    other.extra = {Definition(half), Reference(3), TextBytes("half")};
    Records records = Document(Table({cell, other}));
    records.push_back(Reference(3));
    records.push_back(TextBytes("outside"));
    const std::string html = Generate(Define(records), "HTML", nullptr);
    EXPECT_TRUE(Has(html, "div.pabid2 {margin-left: 0.00in; margin-right:   1%; }")) << html;
    EXPECT_TRUE(Has(html, "div.pabid3 {margin-left: 0.00in; margin-right:  50%; }")) << html;
    EXPECT_FALSE(Has(html, "margin-right:  99%")) << html;
}

TEST_F(Tables, RangesOfOneTableGiveOneTable) {
    Records records = Document(Table(Grid(4, 2)));
    const Records second = Table(Grid(2, 2));
    records.insert(records.end(), second.begin(), second.end());
    auto check = [&](const char* definition, const char* extra, const std::string& expected) {
        ZervaRTChunk* chunk = Define(records, definition);
        std::string report;
        const std::string html = Generate(chunk, "HTML", nullptr, extra);
        EXPECT_EQ(talix_test::TidyErrors(html, &report), 0) << definition << report << html;
        const std::string xhtml = Generate(chunk, "XHTML", nullptr, extra);
        EXPECT_TRUE(talix_test::XmlWellFormed(xhtml, &report)) << definition << report << xhtml;
        // The cells' texts, row by row, "|" between rows and "#" between tables.
        std::string shape;
        const std::string body = Body(html);
        for (const std::vector<std::string>& at :
             talix_test::FindAll(body, "<td[^>]*>(?:<div[^>]*>)?(r[0-9]c[0-9])|(</tr>)|(</table>)"))
            shape += !at[1].empty() ? at[1] + " " : (!at[2].empty() ? "|" : "#");
        EXPECT_EQ(shape, expected) << definition << " " << (extra != nullptr ? extra : "") << "\n" << body;
    };
    // Two ranges, the first ending in the second row, the second starting
    // in the third: one table of both rows.
    check("Table 1; Row 2,3", nullptr, "r1c0 r1c1 |r2c0 r2c1 |#");
    check("Table 1; Row 1-2,3-4", nullptr, "r0c0 r0c1 |r1c0 r1c1 |r2c0 r2c1 |r3c0 r3c1 |#");
    // Ranges in one row keep it one row.
    check("Table 1; Row 2; Column 1,2", nullptr, "r1c0 r1c1 |#");
    check("Table 1; Row *; Column 2", nullptr, "r0c1 |r1c1 |r2c1 |r3c1 |#");
    // An extra definition: the ranges, then the finish.
    check("Table 1", "Row 2,3", "r1c0 r1c1 |r2c0 r2c1 |#");
    // Ranges in two tables stay two tables.
    check("Table *; Row 2", nullptr, "r1c0 r1c1 |#r1c0 r1c1 |#");
}

TEST_F(Tables, WithADebugLevelTheWriterNamesWhereItLetsGoOfItsTexts) {
    auto cleanUps = [] {
        std::vector<std::string> lines;
        for (const plat::LogEntry& entry : plat::LogRecent())
            if (entry.text.rfind("Cleaned up html_", 0) == 0) lines.push_back(entry.text);
        return lines;
    };
    Records records = {htmlgen_test::PreTable(), htmlgen_test::OtherText("class='a'"),
                       htmlgen_test::OtherText("class='b' Caption=Cap")};
    const Records table = Table(Grid(1, 1));
    records.insert(records.end(), table.begin(), table.end());
    const std::vector<std::pair<const char*, std::vector<std::string>>> cases = {
        // A second id/name record replaces the first one's text; the table
        // start takes the second's.
        {"1", {"Cleaned up html_other_buffer #1"}},
        {"0", {}},
    };
    for (const auto& [level, expected] : cases) {
        plat::IniSet("ZelundaDebug", level);
        plat::LogClearRecent();
        const std::string html = htmlgen_test::WalkRecords(&session_, &item_, records, nullptr);
        EXPECT_TRUE(Has(html, "<table class='b'")) << html;
        EXPECT_TRUE(Has(html, "<caption>Cap</caption>")) << html;
        EXPECT_EQ(cleanUps(), expected) << level;
    }
    // A range that ends before the table begins: the writer lets go of
    // both texts at the range's end.
    plat::IniSet("ZelundaDebug", "1");
    plat::LogClearRecent();
    htmlgen_test::WalkRecords(&session_, &item_, records, nullptr, talix::kFormatHTML, nullptr, 65406, 0, 2);
    EXPECT_EQ(cleanUps(), (std::vector<std::string>{"Cleaned up html_other_buffer #1",
                                                    "Cleaned up html_other_buffer #4", "Cleaned up html_caption #4"}));
    plat::IniSet("ZelundaDebug", "");
}

TEST_F(Tables, CSSBordersChooseCollapseOrSeparate) {
    const std::string collapse = Checked(Document(Table(Grid(2, 2))), "CSSBorders=Yes");
    EXPECT_TRUE(Has(collapse, "border-collapse: collapse")) << collapse;
    EXPECT_TRUE(Has(collapse, " border=\"1\"")) << collapse;
    std::vector<CellFields> cells = Grid(2, 2);
    cells[3].borders = 0xAA;   // 2 pixels on each side
    const std::string separate = Checked(Document(Table(cells)), "CSSBorders=Yes");
    EXPECT_TRUE(Has(separate, "border-collapse: separate")) << separate;
    EXPECT_TRUE(Has(separate, "class='brdr2222'")) << separate;
    EXPECT_TRUE(Has(separate, "class='brdr1111'")) << separate;
    // Without CSS, the border of the first cell.
    const std::string plain = Checked(Document(Table(Grid(1, 1))));
    EXPECT_TRUE(Has(plain, "<table border='1'")) << plain;
}

TEST_F(Tables, AnEncapsulatedTableKeepsTheCSSOfItsBorderRecord) {
    // A range inside a table of a border record and cells of two widths:
    // the table element written for it reads as the whole table's does.
    std::vector<CellFields> cells = Grid(2, 2);
    cells[3].borders = 0xAA;
    Records table = Table(cells);
    talix_test::FixtureRecord border = talix_test::HostRecord(0xFFFC, 50);
    talix_test::PutWord(&border, 8, 6);
    for (int side = 0; side < 4; ++side) talix_test::PutWord(&border, 10 + 2 * side, 2);
    table.insert(table.begin(), border);
    const Records records = Document(table);
    const std::string whole = Checked(records, "CSSBorders=Yes");
    const std::string css = "border-collapse: separate;  border-style:groove;border-width:2;'>";
    EXPECT_TRUE(Has(whole, css)) << whole;
    ZervaRTChunk* chunk = Define(records, "Table 1; Row 2");
    for (const char* format : {"HTML", "XHTML"}) {
        const std::string range = Body(Generate(chunk, format, "EncapsulateTable=Yes CSSBorders=Yes"));
        EXPECT_EQ(range.rfind("<table cellspacing='0' cellpadding='0' style='" + css + "<tr", 0), 0u) << range;
    }
    // Without a border record the style stays as it was.
    cells[3].borders = 0xAA;
    const std::string bare = Body(Generate(Define(Document(Table(cells)), "Table 1; Row 2"), "HTML",
                                           "EncapsulateTable=Yes CSSBorders=Yes"));
    EXPECT_TRUE(Has(bare, "<table cellspacing='0' cellpadding='0' border='0' style='border-collapse: separate'><tr"))
        << bare;
}

TEST_F(Tables, CellsAndTheirColoursAndPictures) {
    std::vector<CellFields> cells = Grid(1, 4);
    cells[0].extra = htmlgen_test::CellPicture("pics/a.gif|x", 6);
    // A name that would end the url() and the declaration stays in the url().
    cells[3].extra = htmlgen_test::CellPicture("a);background:url(//x", 0);
    cells[1].extra = htmlgen_test::CellPicture("b.gif", 0);
    cells[1].colourIndex = 2;   // the palette's blue
    cells[2].extra = {htmlgen_test::CellColour(1, 2, 3)};
    const std::string body = Checked(Document(Table(cells)));
    EXPECT_TRUE(Has(body, "background-image: url(cid:pics_a.gif);background-repeat:no-repeat;"
                          "background-position:center;"))
        << body;
    EXPECT_TRUE(Has(body, "background-image: url(cid:b.gif);background-repeat:repeat;background-position:left top;"))
        << body;
    EXPECT_TRUE(Has(body, " bgcolor='#0000ff'")) << body;
    EXPECT_TRUE(Has(body, " bgcolor=\"#010203\"")) << body;
    EXPECT_TRUE(Has(body, "background-image: url(cid:a__background:url___x);background-repeat:repeat;")) << body;

    // A stored style of a cell goes into the one style attribute the cell's
    // borders have.
    std::vector<CellFields> styled = Grid(1, 1);
    const std::string style = "padding: 2px";
    talix_test::FixtureRecord attributes = talix_test::HostRecord(0xFF7B, static_cast<std::uint32_t>(26 + style.size()));
    talix_test::PutWord(&attributes, 8, static_cast<std::uint16_t>(style.size()));
    std::copy(style.begin(), style.end(), attributes.bytes.begin() + 26);
    styled[0].extra = {attributes};
    const std::string one = Checked(Document(Table(styled)), "", false);
    EXPECT_EQ(Count(one, "style="), 1u) << one;
    EXPECT_TRUE(Has(one, "style=\"padding: 2px; border: 1px solid black; \"")) << one;
}

TEST_F(Tables, TabbedTablesInCSSAndTabRows) {
    std::vector<CellFields> cells = Grid(3, 1);
    const char* labels[] = {"A", "B", "C"};
    for (int i = 0; i < 3; ++i) cells[i].extra = {htmlgen_test::TabLabel(labels[i])};
    Records table = Table(cells);
    table.insert(table.begin(), htmlgen_test::PreTable(0, 4));
    const std::string body = Checked(Document(table), "TabbedTablesInCSS=Yes", true);
    EXPECT_EQ(Count(body, "<li class=\"tab"), 3u) << body;
    EXPECT_TRUE(Has(body, "<a name=\"ttbl1\"></a><ul id=\"tabnav\">")) << body;
    for (int k = 1; k <= 3; ++k) EXPECT_TRUE(Has(body, "switchTab(3, 1, " + std::to_string(k) + ")")) << body;
    EXPECT_EQ(Count(body, "color: #ffffcc; background: #cccc99"), 1u) << body;
    EXPECT_EQ(Count(body, "color: #333333; background: #999966"), 2u) << body;
    EXPECT_TRUE(Has(body, "ttbl1row1 style=\"display: block\"")) << body;
    EXPECT_TRUE(Has(body, "ttbl1row2 style=\"display: none\"")) << body;
    EXPECT_TRUE(Has(body, "ttbl1row3 style=\"display: none\"")) << body;

    // Colours as given, when they are colours; a value that would end the
    // script's string or the style attribute is not taken.
    const std::string page = Generate(Define(Document(table)), "HTML",
                                      "TabbedTablesInCSS=Yes CSSTabSelTextColor=rgb(1,2,3) "
                                      "CSSTabSelBackgroundColor=red';alert(1);' CSSTabNoSelTextColor=x\"onmouseover=y");
    EXPECT_EQ(Count(page, "color: rgb(1,2,3); background: #cccc99"), 1u) << page;
    EXPECT_EQ(Count(page, "color: #333333; background: #999966"), 2u) << page;
    EXPECT_TRUE(Has(page, "link.style.background='#cccc99'; link.style.color='rgb(1,2,3)';")) << page;
    EXPECT_FALSE(Has(page, "alert")) << page;
    EXPECT_FALSE(Has(page, "onmouseover")) << page;

    std::vector<CellFields> tabs = Grid(2, 1);
    tabs[0].extra = {htmlgen_test::TabLabel(std::string(40, 'x'))};
    Records tabbed = Table(tabs);
    tabbed.insert(tabbed.begin(), htmlgen_test::PreTable(0, 4));
    const std::string rows = Checked(Document(tabbed), "ZelundaTabs=Yes", false);
    EXPECT_TRUE(Has(rows, " width='25%'")) << rows;
    EXPECT_TRUE(Has(rows, "&lt;No&nbsp;tab&nbsp;label&gt;")) << rows;
    EXPECT_EQ(Count(rows, "alt='TableTab'"), 2u) << rows;
}

TEST_F(Tables, ARowOfACSSTabbedTableWhoseFirstCellABlockCoversHoldsItsTextInItsDivision) {
    // Three rows of two cells; a block spanning rows 1 and 2 in column 0
    // covers the second row's first cell: that row's division opens in its
    // other cell and holds that cell's text.
    std::vector<CellFields> cells = Grid(3, 2);
    cells[0].flags = 0x04;
    cells[0].text.clear();
    cells[2].rowSpan = 2;
    cells[2].text = "block";
    Records table = Table(cells);
    table.insert(table.begin(), htmlgen_test::PreTable(0, 4));
    const std::string body = Checked(Document(table), "TabbedTablesInCSS=Yes");
    EXPECT_TRUE(Has(body, "<div id=ttbl1row2 style=\"display: none\"><div align='left' class=\"pabid1\">r1c1</div>"
                          "</div></td>"))
        << body;
    EXPECT_TRUE(Has(body, "<div id=ttbl1row1 style=\"display: block\"><div align='left' class=\"pabid1\">block</div>"
                          "</div></td>"))
        << body;
    EXPECT_TRUE(Has(body, "<div id=ttbl1row3 style=\"display: none\"><div align='left' class=\"pabid1\">r2c0</div>"
                          "</div></td>"))
        << body;
}

TEST_F(Tables, TheTabGraphicOfTabRowsStaysInItsAttribute) {
    std::vector<CellFields> cells = Grid(2, 1);
    cells[0].extra = {htmlgen_test::TabLabel("A")};
    Records table = Table(cells);
    table.insert(table.begin(), htmlgen_test::PreTable(0, 4));
    // An address with a query of two parts: the XHTML is valid, and both
    // forms give the browser the address as given.
    const std::string query = Checked(Document(table), "ZelundaTabs=Yes TabGraphic=|/pics/tab.gif?Open&x=1|");
    EXPECT_EQ(Count(query, "<img src='/pics/tab.gif?Open&amp;x=1' border='0'"), 2u) << query;
    // Quotes end no attribute.
    const std::string quoted = Checked(Document(table), "ZelundaTabs=Yes TabGraphic=|x' onerror='y\"<|");
    EXPECT_EQ(Count(quoted, "<img src='x&#39; onerror=&#39;y&quot;&lt;' border='0'"), 2u) << quoted;
    EXPECT_FALSE(Has(quoted, "onerror='")) << quoted;
    // A long address is written whole.
    const std::string path = "/" + std::string(1500, 'p') + ".gif";
    const std::string longer = Checked(Document(table), "ZelundaTabs=Yes TabGraphic=" + path);
    EXPECT_EQ(Count(longer, "<img src='" + path + "' border='0' width='10' height='9' alt='TableTab'>"), 2u);
}

// A tabbed table of two rows whose tabs are the name followed by 1 and 2.
Records TabbedTable(const std::string& name) {
    std::vector<CellFields> cells = Grid(2, 1);
    cells[0].extra = {htmlgen_test::TabLabel(name + "1")};
    cells[1].extra = {htmlgen_test::TabLabel(name + "2")};
    Records table = Table(cells);
    table.insert(table.begin(), htmlgen_test::PreTable(0, 4));
    return table;
}

TEST_F(Tables, TabbedTablesInCSSInLaterRangesAreSelectedByTheTabRules) {
    Records records = TabbedTable("a");
    records.push_back(Reference(1));
    records.push_back(TextBytes("Between"));
    const Records second = TabbedTable("b");
    records.insert(records.end(), second.begin(), second.end());
    // Each table a range of its own: the second range's strip is of the
    // class, and the head's rules, written with the first range, select it.
    const std::string page = Generate(Define(Document(records)), "HTML", "TabbedTablesInCSS=Yes", "Table *");
    EXPECT_EQ(Count(page, "<ul id=\"tabnav\">"), 1u) << page;
    EXPECT_EQ(Count(page, "<ul class=\"tabnav\">"), 1u) << page;
    for (const char* rule : {"\nul#tabnav, ul.tabnav {\n", "\nul#tabnav li, ul.tabnav li {\n", "\n#tabnav a, .tabnav a {\n",
                             "\n#tabnav a:hover, .tabnav a:hover {\n"})
        EXPECT_TRUE(Has(page, rule)) << rule << page;
}

TEST_F(Tables, SeveralTabbedTablesInCSSOnOnePageRepeatNoIdAndShareTheTabRules) {
    // One table: its strip carries the id the head's rules select, and the
    // rules name nothing else.
    const std::string single = Generate(Define(Document(TabbedTable("a"))), "HTML", "TabbedTablesInCSS=Yes");
    EXPECT_TRUE(Has(single, "\nul#tabnav {\n")) << single;
    EXPECT_TRUE(Has(single, "\n#tabnav a:hover {\n")) << single;
    EXPECT_FALSE(Has(single, ".tabnav")) << single;

    // Three tables, the last nested in a cell of the second: the id stands
    // once (the XHTML is valid), the later strips are of the class, and
    // every rule of the strip selects the class too.
    Records records = TabbedTable("a");
    records.push_back(Reference(1));
    records.push_back(TextBytes("Between"));
    std::vector<CellFields> outer = Grid(2, 1);
    outer[0].extra = {htmlgen_test::TabLabel("b1")};
    outer[1].extra = {htmlgen_test::TabLabel("b2")};
    std::vector<CellFields> inner = Grid(2, 1);
    inner[0].extra = {htmlgen_test::TabLabel("c1")};
    inner[1].extra = {htmlgen_test::TabLabel("c2")};
    Records nested = Table(inner, true);
    nested.insert(nested.begin(), htmlgen_test::PreTable(0, 4));
    outer[0].extra.insert(outer[0].extra.end(), nested.begin(), nested.end());
    Records second = Table(outer);
    second.insert(second.begin(), htmlgen_test::PreTable(0, 4));
    records.insert(records.end(), second.begin(), second.end());
    const std::string body = Checked(Document(records), "TabbedTablesInCSS=Yes", true);
    EXPECT_EQ(Count(body, "id=\"tabnav\""), 1u) << body;
    EXPECT_EQ(Count(body, "<ul class=\"tabnav\">"), 2u) << body;
    EXPECT_LT(body.find("id=\"tabnav\""), body.find("Between")) << body;
    const std::string page = Generate(Define(Document(records)), "HTML", "TabbedTablesInCSS=Yes");
    for (const char* rule : {"\nul#tabnav, ul.tabnav {\n", "\nul#tabnav li, ul.tabnav li {\n", "\n#tabnav a, .tabnav a {\n",
                             "\n#tabnav a:hover, .tabnav a:hover {\n"})
        EXPECT_TRUE(Has(page, rule)) << rule << page;
}

TEST_F(Tables, ATableWithoutAPreTableRecordIsPlainAfterATabbedOrAnimatedOne) {
    // Two tables one after the other, only the first with a pre-table
    // record: the second is an ordinary table under every tab option, its
    // rows all shown.
    for (const std::uint8_t kind : {4, 8}) {
        std::vector<CellFields> first = Grid(2, 1), second = Grid(2, 1);
        first[0].extra = {htmlgen_test::TabLabel("one")};
        first[1].extra = {htmlgen_test::TabLabel("two")};
        second[0].text = "plain0";
        second[1].text = "plain1";
        Records records = Table(first);
        records.insert(records.begin(), htmlgen_test::PreTable(0, kind));
        records.push_back(Reference(1));
        records.push_back(TextBytes("Between"));
        const Records plain = Table(second);
        records.insert(records.end(), plain.begin(), plain.end());
        for (const char* options : {"TabbedTablesInCSS=Yes", "ZelundaTabs=Yes", "SupportRico=Yes"}) {
            const std::string body = Checked(Document(records), options, false);
            const std::string after = body.substr(body.find("Between"));
            EXPECT_FALSE(Has(after, "display: none")) << options << body;
            EXPECT_FALSE(Has(after, "ttbl2row")) << options << body;
            EXPECT_FALSE(Has(after, "TableTab")) << options << body;
            EXPECT_FALSE(Has(after, "accordion")) << options << body;
            EXPECT_EQ(Count(after, "<tr"), 2u) << options << body;
            EXPECT_TRUE(Has(after, "plain0")) << options << body;
        }
    }
}

TEST_F(Tables, TablesWhoseRowsAFieldPicksShowEveryRowAsAPlainTable) {
    // Display kind 5 (the row a field picks), its rows named by tab labels:
    // only tabbed tables get tabs, so every row shows under each tab option
    // and with none.
    std::vector<CellFields> cells = Grid(2, 1);
    const char* labels[] = {"inbox", "cal"};
    for (int i = 0; i < 2; ++i) cells[i].extra = {htmlgen_test::TabLabel(labels[i])};
    Records records = Table(cells);
    records.insert(records.begin(), htmlgen_test::PreTable(0x49, 5));
    for (const char* options : {"", "TabbedTablesInCSS=Yes", "ZelundaTabs=Yes", "TabbedTablesInCSS=Yes ZelundaTabs=Yes"}) {
        const std::string body = Checked(Document(records), options);
        EXPECT_FALSE(Has(body, "switchTab(")) << options << body;
        EXPECT_FALSE(Has(body, "tabnav")) << options << body;
        EXPECT_FALSE(Has(body, "TableTab")) << options << body;
        EXPECT_FALSE(Has(body, "display: none")) << options << body;
        EXPECT_EQ(Count(body, "<tr"), 2u) << options << body;
        EXPECT_EQ(cells_, (std::vector<std::string>{"r0c0", "r1c0"})) << options;
    }
}

TEST_F(Tables, AnimatedTablesAsAccordion) {
    std::vector<CellFields> cells = Grid(2, 1);
    cells[1].extra = {htmlgen_test::TabLabel("Second")};
    Records table = Table(cells);
    table.insert(table.begin(), htmlgen_test::PreTable(0, 8));
    // The accordion's script is typed as the head's scripts are: the
    // XHTML is valid.
    const std::string accordion = Checked(Document(table), "SupportRico=Yes");
    EXPECT_TRUE(Has(accordion, "<div id=\"accordionTblDiv1\">")) << accordion;
    EXPECT_TRUE(Has(accordion, "<div id=\"ricoTbl1Row1\">")) << accordion;
    EXPECT_TRUE(Has(accordion, "<div id=\"ricoTbl1Row2\">")) << accordion;
    EXPECT_TRUE(Has(accordion, "class=\"accordionTabTitleBar\">Second</div>")) << accordion;
    EXPECT_TRUE(Has(accordion,
                    "<script type=\"text/javascript\">{new Rico.Accordion( $('accordionTblDiv1') );}</script>"))
        << accordion;
    const std::string ordinary = Checked(Document(table));
    EXPECT_FALSE(Has(ordinary, "accordion")) << ordinary;
    EXPECT_EQ(Count(ordinary, "<td"), 2u) << ordinary;
}

TEST_F(Tables, HiddenTablesArePassedOverWhole) {
    // Every paragraph of the table hidden: nothing of it is written.
    auto table = [](std::uint16_t secondCell) {
        Records records = {Definition(1), Definition(2, 0, 0x0010), Reference(1), TextBytes("Before")};
        std::vector<CellFields> cells = Grid(1, 2);
        Records written = Table(cells);
        // The cells' references: to the hidden definition, or the second
        // cell's to the one given.
        int cell = 0;
        for (auto& record : written) {
            if (record.signature == 0x0083) talix_test::PutWord(&record, 2, cell++ == 0 ? 2 : secondCell);
        }
        records.insert(records.end(), written.begin(), written.end());
        records.push_back(Reference(1));
        records.push_back(TextBytes("After"));
        return records;
    };
    const std::string hidden = Checked(table(2), "RespectHiddenFormulas=Yes", false);
    EXPECT_FALSE(Has(hidden, "<table")) << hidden;
    EXPECT_FALSE(Has(hidden, "r0c1")) << hidden;
    EXPECT_TRUE(Has(hidden, "After")) << hidden;
    // One paragraph shown: the table is written.
    const std::string shown = Checked(table(1), "RespectHiddenFormulas=Yes", false);
    EXPECT_TRUE(Has(shown, "<table")) << shown;
    EXPECT_TRUE(Has(shown, "r0c1")) << shown;
    EXPECT_FALSE(Has(shown, "r0c0")) << shown;

    // A hidden paragraph that holds a shown table: the previous paragraph's
    // division ends before the table, as at a paragraph that shows, and
    // every division opened is closed.
    Records held = {Definition(1), Definition(3, 2, 0x0010), Reference(1), TextBytes("Before"), Reference(3)};
    const Records heldTable = Table(Grid(1, 1));
    held.insert(held.end(), heldTable.begin(), heldTable.end());
    held.push_back(Reference(1));
    held.push_back(TextBytes("After"));
    for (const char* options : {"RespectHiddenFormulas=Yes", "RespectHiddenFormulas=Yes HybridFontTags=Yes"}) {
        const std::string body = Checked(held, options, false);
        EXPECT_TRUE(Has(body, "Before</div>")) << body;
        EXPECT_LT(body.find("Before</div>"), body.find("<table")) << body;
        EXPECT_EQ(Count(body, "<div"), Count(body, "</div>")) << body;
    }
}

TEST_F(Tables, AHiddenTabbedTableLeavesNoTabsBehind) {
    // A tabbed table whose every paragraph is hidden, then a plain table
    // at the same level: nothing of the first is written, the second shows
    // every row, under each tab option.
    Records records = {Definition(1), Definition(2, 0, 0x0010), Reference(1), TextBytes("Before")};
    std::vector<CellFields> cells = Grid(2, 1);
    cells[0].extra = {htmlgen_test::TabLabel("tabA")};
    cells[1].extra = {htmlgen_test::TabLabel("tabB")};
    Records hidden = Table(cells);
    for (auto& record : hidden) {
        if (record.signature == 0x0083) talix_test::PutWord(&record, 2, 2);
    }
    hidden.insert(hidden.begin(), htmlgen_test::PreTable(0, 4));
    records.insert(records.end(), hidden.begin(), hidden.end());
    records.push_back(Reference(1));
    records.push_back(TextBytes("Between"));
    const Records plain = Table(Grid(2, 1));
    records.insert(records.end(), plain.begin(), plain.end());
    records.push_back(Reference(1));
    records.push_back(TextBytes("After"));
    for (const char* options : {"TabbedTablesInCSS=Yes", "ZelundaTabs=Yes"}) {
        const std::string body = Checked(records, std::string("RespectHiddenFormulas=Yes ") + options);
        EXPECT_FALSE(Has(body, "tabA")) << options << body;
        EXPECT_FALSE(Has(body, "tabnav")) << options << body;
        EXPECT_FALSE(Has(body, "display: none")) << options << body;
        EXPECT_FALSE(Has(body, "TableTab")) << options << body;
        EXPECT_EQ(Count(body, "<tr"), 2u) << options << body;
        EXPECT_EQ(cells_, (std::vector<std::string>{"r0c0", "r1c0"})) << options << body;
    }
    // Shown, the same table has its tabs.
    records[1] = Definition(2);
    const std::string shown = Checked(records, "RespectHiddenFormulas=Yes TabbedTablesInCSS=Yes");
    EXPECT_TRUE(Has(shown, ">tabA</a>")) << shown;
}

TEST_F(Tables, DamagedTablesEndTolerantly) {
    // No table end: the walk ends at the range's end, everything closed.
    Records open = {Definition(1), Reference(1), TextBytes("Before")};
    Records table = Table(Grid(2, 2));
    table.pop_back();
    open.insert(open.end(), table.begin(), table.end());
    const std::string unended = Checked(open);
    EXPECT_EQ(cells_, (std::vector<std::string>{"r0c0", "r0c1", "r1c0", "r1c1"})) << unended;

    // A hidden last cell with no block after it; spans beyond the table;
    // a cell outside any table.
    std::vector<CellFields> cells = Grid(2, 2);
    cells[3].flags = 0x04;
    cells[3].text = "";
    cells[0].rowSpan = 5;
    cells[0].columnSpan = 9;
    Records damaged = Document(Table(cells));
    damaged.push_back(htmlgen_test::Cell(CellFields{}));
    damaged.push_back(TextBytes("stray"));
    const std::string body = Checked(damaged);
    EXPECT_TRUE(Has(body, "r0c0")) << body;
    EXPECT_TRUE(Has(body, "r1c0")) << body;
    EXPECT_TRUE(Has(body, "stray")) << body;
}

} // namespace
