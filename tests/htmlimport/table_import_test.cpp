// HTML tables imported into an item and read back: the table skeleton, its
// widths and spacing, spanning cells, nesting, the attributes of cells,
// tabbed tables and section headers, and tables too large or too deep for
// a rich-text table.
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/pool.h"
#include "core/signatures.h"
#include "engine/chunk_count.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "walk_fixture.h"

namespace {

using import_test::Imported;
using import_test::ItemRecord;

using Position = std::pair<int, int>;

std::vector<const ItemRecord*> Of(const Imported& imported, std::uint16_t signature) {
    std::vector<const ItemRecord*> found;
    for (const ItemRecord& record : imported.records)
        if (record.signature == signature) found.push_back(&record);
    return found;
}

std::uint8_t Byte(const ItemRecord* record, std::size_t offset) {
    return offset < record->bytes.size() ? static_cast<std::uint8_t>(record->bytes[offset]) : 0;
}

// The texts of the cells of an outermost table (the first unless told) by
// row and column (the texts of tables inside a cell count to that cell),
// joined by "|".
std::map<Position, std::string> CellTexts(const Imported& imported, int which = 0) {
    std::map<Position, std::string> texts;
    int depth = 0;
    bool done = false;
    Position at{-1, -1};
    for (const ItemRecord& record : imported.records) {
        if (done) break;
        if (which > 0) {
            if (record.signature == talix::kSigTableEnd) --which;
            continue;
        }
        switch (record.signature) {
        case talix::kSigTableBegin: depth = 1; break;
        case talix::kSigNestedTableBegin: ++depth; break;
        case talix::kSigNestedTableEnd: --depth; break;
        case talix::kSigTableEnd: done = true; break;
        case talix::kSigTableCell: at = {Byte(&record, 2), Byte(&record, 3)}; texts[at]; break;
        case talix::kSigText:
            if (depth >= 1 && record.bytes.size() > 8) {
                std::string& cell = texts[at];
                cell += (cell.empty() ? "" : "|") + record.Text();
            }
            break;
        default: break;
        }
    }
    return texts;
}

// The cell texts of the first outermost table row by row, in the order the
// rows stand (a cell numbers its row in a byte, which starts again from 0
// past row 255): a row starts at each cell of column 0.
std::vector<std::vector<std::string>> RowTexts(const Imported& imported) {
    std::vector<std::vector<std::string>> rows;
    int depth = 0;
    for (const ItemRecord& record : imported.records) {
        if (record.signature == talix::kSigTableEnd) break;
        switch (record.signature) {
        case talix::kSigTableBegin: depth = 1; break;
        case talix::kSigNestedTableBegin: ++depth; break;
        case talix::kSigNestedTableEnd: --depth; break;
        case talix::kSigTableCell:
            if (Byte(&record, 3) == 0) rows.emplace_back();
            if (!rows.empty()) rows.back().emplace_back();
            break;
        case talix::kSigText:
            if (depth >= 1 && !rows.empty() && record.bytes.size() > 8) {
                std::string& cell = rows.back().back();
                cell += (cell.empty() ? "" : "|") + record.Text();
            }
            break;
        default: break;
        }
    }
    return rows;
}

// The cell records of the first outermost table by row and column.
std::map<Position, const ItemRecord*> Cells(const Imported& imported) {
    std::map<Position, const ItemRecord*> cells;
    for (const ItemRecord& record : imported.records) {
        if (record.signature == talix::kSigTableEnd) break;
        if (record.signature == talix::kSigTableCell) cells[{Byte(&record, 2), Byte(&record, 3)}] = &record;
    }
    return cells;
}

// The record of a signature that follows the first cell holding a text,
// within that cell; null when none.
const ItemRecord* InCellOf(const Imported& imported, const std::string& text, std::uint16_t signature) {
    const auto& records = imported.records;
    for (std::size_t at = 0; at < records.size(); ++at) {
        if (records[at].signature != talix::kSigText || records[at].Text() != text) continue;
        std::size_t start = at;
        while (start > 0 && records[start].signature != talix::kSigTableCell) --start;
        for (std::size_t n = start + 1; n < records.size(); ++n) {
            if (records[n].signature == talix::kSigTableCell || records[n].signature == talix::kSigTableEnd) break;
            if (records[n].signature == signature) return &records[n];
        }
    }
    return nullptr;
}

// The texts of the outermost tables' cells that a span does not hide,
// joined by "|".
std::string VisibleTexts(const Imported& imported) {
    std::string texts;
    int depth = 0;
    std::uint8_t flags = 0;
    for (const ItemRecord& record : imported.records) {
        if (record.signature == talix::kSigTableBegin) depth = 1;
        if (record.signature == talix::kSigTableEnd) depth = 0;
        if (record.signature == talix::kSigTableCell) flags = Byte(&record, 11);
        if (depth == 1 && record.signature == talix::kSigText && record.bytes.size() > 8 && (flags & 0x0C) == 0)
            texts += (texts.empty() ? "" : "|") + record.Text();
    }
    return texts;
}

class TableImport : public import_test::WalkTest {
protected:
    // The targets of a type within a chunk of the imported item, as
    // `talix count` counts them.
    std::int64_t Count(plat::NOTEID note, const char* type, const char* chunk = "Everything") {
        ZervaRTItem item(&session_);
        if (item.Connect("", path_.c_str(), note, "Body", 0) != 0) return -2;
        std::unique_ptr<ZervaRTChunk> defined(item.DefineChunk(chunk));
        return defined != nullptr ? talix::CountChunkTargets(defined.get(), type) : -3;
    }
};

TEST_F(TableImport, ATableBecomesRowsOfCells) {
    const Imported table = Import(
        "<table><tr><td>a</td><td>b</td></tr><tr><td>c</td><td>d</td></tr><tr><td>e</td><td>f</td></tr></table>");
    ASSERT_EQ(table.status, 0);
    EXPECT_EQ(table.problem, "");
    const auto lead = Of(table, talix::kSigPreTableBegin);
    ASSERT_EQ(lead.size(), 1u);
    EXPECT_EQ(Byte(lead[0], 8), 3);
    EXPECT_EQ(Byte(lead[0], 9), 2);
    // Each cell: its record, a paragraph, its definition, a reference to
    // it, and its text.
    EXPECT_NE(table.Layout().find("#FFFB #A3 #A4 P D"), std::string::npos) << table.Layout();
    EXPECT_NE(table.Layout().find("'f' #A5"), std::string::npos) << table.Layout();
    const std::map<Position, std::string> expected = {{{0, 0}, "a"}, {{0, 1}, "b"}, {{1, 0}, "c"},
                                                      {{1, 1}, "d"}, {{2, 0}, "e"}, {{2, 1}, "f"}};
    EXPECT_EQ(CellTexts(table), expected);
    EXPECT_EQ(Count(table.note, "Table"), 1);
    EXPECT_EQ(Count(table.note, "Row", "Table 1"), 3);
    EXPECT_EQ(Count(table.note, "Column", "Table 1"), 2);
}

TEST_F(TableImport, WidthsAndSpacing) {
    // "100%" fits the window: the lead record's flag and table-begin flags 3.
    const Imported fit = Import("<table width=\"100%\"><tr><td>a</td></tr></table>");
    ASSERT_EQ(Of(fit, talix::kSigPreTableBegin).size(), 1u);
    EXPECT_EQ(Of(fit, talix::kSigPreTableBegin)[0]->Dword(4) & 1u, 1u);
    EXPECT_EQ(Of(fit, talix::kSigTableBegin)[0]->Word(12), 3);
    const Imported plain = Import("<table><tr><td>a</td></tr></table>");
    EXPECT_EQ(Of(plain, talix::kSigPreTableBegin)[0]->Dword(4) & 1u, 0u);
    EXPECT_EQ(Of(plain, talix::kSigTableBegin)[0]->Word(12), 2);
    // A table after it starts without the switch.
    const Imported both = Import("<table width=\"100%\"><tr><td>a</td></tr></table><table><tr><td>b</td></tr></table>");
    ASSERT_EQ(Of(both, talix::kSigTableBegin).size(), 2u);
    EXPECT_EQ(Of(both, talix::kSigTableBegin)[1]->Word(12), 2);

    // 576 pixels are six inches: the first row's cells of one, one and two
    // inches share them out as 2,160, 2,160 and 4,320 twips.
    const Imported columns = Import(
        "<table width=\"576\"><tr><td width=\"96\">a</td><td width=\"96\">b</td><td width=\"192\">c</td></tr>"
        "<tr><td>d</td><td>e</td><td>f</td></tr></table>");
    const auto cells = Cells(columns);
    ASSERT_EQ(cells.size(), 6u);
    std::vector<int> widths;
    for (int column = 0; column < 3; ++column)
        widths.push_back(cells.at({0, column})->Word(6) - cells.at({0, column})->Word(4));
    EXPECT_EQ(widths, (std::vector<int>{2160, 2160, 4320}));

    // A nested table of 50% takes half of the cell around it.
    const Imported nested = Import(
        "<table width=\"576\"><tr><td>out<table width=\"50%\"><tr><td>in</td></tr></table></td></tr></table>");
    const auto inner = Of(nested, talix::kSigNestedTableCell);
    ASSERT_EQ(inner.size(), 1u);
    EXPECT_EQ(inner[0]->Word(6) - inner[0]->Word(4), 4320);

    // Cell spacing in pixels: 20 twips each, never below 40.
    for (const auto& [spacing, twips] : std::vector<std::pair<int, int>>{{2, 40}, {5, 100}, {1, 20}}) {
        const Imported spaced =
            Import("<table cellspacing=\"" + std::to_string(spacing) + "\"><tr><td>a</td></tr></table>");
        const auto begin = Of(spaced, talix::kSigTableBegin);
        ASSERT_EQ(begin.size(), 1u);
        EXPECT_EQ(begin[0]->Word(8), twips) << spacing;
        EXPECT_EQ(begin[0]->Word(4), std::max(40, twips)) << spacing;
    }
    // Numbers past what a field holds stop at its largest (or smallest) value.
    for (const auto& [spacing, twips] : std::vector<std::pair<std::string, int>>{
             {"99999999999999999999", 65535}, {"999999999999999999", 65535}, {"-99999999999999999999", 0}}) {
        const Imported spaced = Import("<table cellspacing=\"" + spacing + "\"><tr><td>a</td></tr></table>");
        const auto begin = Of(spaced, talix::kSigTableBegin);
        ASSERT_EQ(begin.size(), 1u);
        EXPECT_EQ(begin[0]->Word(8), twips) << spacing;
    }
    // So do paddings of a huge length.
    for (const std::string length : {"1e30in", "99999in"}) {
        const Imported padded = Import("<table><tr><td style=\"padding-top:" + length + "; padding-right:" + length +
                                       "\">a</td></tr></table>");
        const auto begin = Of(padded, talix::kSigTableBegin);
        ASSERT_EQ(begin.size(), 1u);
        EXPECT_EQ(begin[0]->Word(8), 65535) << length;
        EXPECT_EQ(begin[0]->Word(10), 65535) << length;
    }
    auto firstColumn = [this](const std::string& percent) {
        const Imported shared = Import("<table width=\"576\"><tr><td width=\"" + percent +
                                       "\">a</td><td>b</td></tr></table>");
        const auto cells = Cells(shared);
        return cells.size() == 2u ? cells.at({0, 0})->Word(6) - cells.at({0, 0})->Word(4) : -1;
    };
    const int huge = firstColumn("1e30%");
    EXPECT_GT(huge, 4320);
    EXPECT_EQ(huge, firstColumn("99999%"));
    EXPECT_EQ(firstColumn("50%"), 4320);
    // A negative width, of a cell or of the table, is no width.
    EXPECT_EQ(firstColumn("-1in"), firstColumn("auto"));
    EXPECT_GT(firstColumn("-1in"), 0);
    // So is a width of nothing: no cell is left without room for its text.
    EXPECT_EQ(firstColumn("0px"), firstColumn("auto"));
    EXPECT_EQ(firstColumn("0%"), firstColumn("auto"));
    for (const std::string html : {"<table width=\"0px\"><tr><td>a</td><td>b</td></tr></table>",
                                   "<table><tr><td>out<table width=\"0%\"><tr><td>a</td><td>b</td></tr></table></td></tr></table>"}) {
        const Imported zero = Import(html);
        std::vector<const ItemRecord*> cells = Of(zero, talix::kSigTableCell);
        for (const ItemRecord* nested : Of(zero, talix::kSigNestedTableCell)) cells.push_back(nested);
        for (const ItemRecord* cell : cells) EXPECT_GT(cell->Word(6) - cell->Word(4), 1000) << html;
    }
    // Columns wider in all than a cell's margins reach share out the room
    // there is: every column keeps its part of it.
    std::string wide = "<table><tr>";
    for (int column = 0; column < 14; ++column) wide += "<td width=\"400\">" + std::to_string(column) + "</td>";
    const Imported broad = Import(wide + "</tr></table>");
    const auto broadCells = Of(broad, talix::kSigTableCell);
    ASSERT_EQ(broadCells.size(), 14u);
    for (const ItemRecord* cell : broadCells) EXPECT_GT(cell->Word(6) - cell->Word(4), 4000) << int{Byte(cell, 3)};
    EXPECT_EQ(broadCells[0]->Word(6) - broadCells[0]->Word(4), broadCells[13]->Word(6) - broadCells[13]->Word(4));
    const Imported negative = Import("<table width=\"-2in\"><tr><td>a</td></tr></table>");
    const Imported unsized = Import("<table><tr><td>a</td></tr></table>");
    const auto negativeCells = Cells(negative), unsizedCells = Cells(unsized);
    ASSERT_EQ(negativeCells.size(), 1u);
    ASSERT_EQ(unsizedCells.size(), 1u);
    EXPECT_EQ(negativeCells.at({0, 0})->Word(6) - negativeCells.at({0, 0})->Word(4),
              unsizedCells.at({0, 0})->Word(6) - unsizedCells.at({0, 0})->Word(4));
}

TEST_F(TableImport, SpanningCellsFindTheirPlaces) {
    // A cell spanning two rows pushes the next row's first cell to column 1;
    // its own content goes to its last row.
    const Imported rows = Import("<table><tr><td rowspan=\"2\">A</td><td>B</td></tr><tr><td>C</td></tr></table>");
    EXPECT_EQ(rows.problem, "");
    EXPECT_EQ(CellTexts(rows), (std::map<Position, std::string>{{{0, 0}, ""}, {{0, 1}, "B"}, {{1, 0}, "A"}, {{1, 1}, "C"}}));
    EXPECT_EQ(Byte(Cells(rows).at({0, 0}), 11) & 0x08, 0x08);   // merged away vertically
    EXPECT_EQ(Byte(Cells(rows).at({1, 0}), 14), 2);

    // Three columns spanned first in a row of four: the first two are merged
    // away horizontally, the third carries the spans and the content.
    const Imported columns =
        Import("<table><tr><td colspan=\"3\">W</td><td>x</td></tr><tr><td>1</td><td>2</td><td>3</td><td>4</td></tr>"
               "</table>");
    const auto cells = Cells(columns);
    ASSERT_EQ(cells.size(), 8u);
    EXPECT_EQ(Byte(cells.at({0, 0}), 11) & 0x04, 0x04);
    EXPECT_EQ(Byte(cells.at({0, 1}), 11) & 0x04, 0x04);
    EXPECT_EQ(Byte(cells.at({0, 2}), 11) & 0x0C, 0);
    EXPECT_EQ(Byte(cells.at({0, 2}), 14), 1);
    EXPECT_EQ(Byte(cells.at({0, 2}), 15), 3);
    EXPECT_EQ(CellTexts(columns).at({0, 2}), "W");
    EXPECT_EQ(CellTexts(columns).at({0, 3}), "x");

    // A row whose cells all span three rows counts three; the two rows of a
    // single empty cell after it are taken into it.
    const Imported tall = Import(
        "<table><tr><td rowspan=\"3\">a</td><td rowspan=\"3\">b</td></tr><tr><td></td></tr><tr><td></td></tr>"
        "<tr><td>c</td><td>d</td></tr></table>");
    EXPECT_EQ(tall.problem, "");
    EXPECT_EQ(Byte(Of(tall, talix::kSigPreTableBegin)[0], 8), 4);
    EXPECT_EQ(CellTexts(tall).at({2, 0}), "a");
    EXPECT_EQ(CellTexts(tall).at({3, 1}), "d");

    // A cell spanning rows and columns: the cells after it in its rows go
    // round it.
    const Imported block = Import(
        "<table><tr><td rowspan=\"2\" colspan=\"2\">X</td><td>y</td></tr><tr><td>z</td></tr></table>");
    EXPECT_EQ(CellTexts(block), (std::map<Position, std::string>{
                                    {{0, 0}, ""}, {{0, 1}, ""}, {{0, 2}, "y"}, {{1, 0}, ""}, {{1, 1}, "X"}, {{1, 2}, "z"}}));

    // Tables after a large one find their places as they do alone.
    std::string large = "<table>";
    for (int row = 0; row < 60; ++row)
        large += "<tr><td>" + std::to_string(row) + "</td><td>b</td><td>c</td><td rowspan=\"2\">d</td></tr>";
    const std::string small = "<table><tr><td rowspan=\"2\" colspan=\"2\">X</td><td>y</td></tr><tr><td>z</td></tr></table>";
    const Imported after = Import(large + "</table>" + small + small);
    EXPECT_EQ(after.problem, "");
    EXPECT_EQ(CellTexts(after).at({59, 0}), "59");
    EXPECT_EQ(CellTexts(after, 1), CellTexts(block));
    EXPECT_EQ(CellTexts(after, 2), CellTexts(block));

    // Spans of 0, -1 and text count as 1.
    const Imported odd = Import("<table><tr><td colspan=\"0\">a</td><td colspan=\"-1\" rowspan=\"abc\">b</td></tr></table>");
    EXPECT_EQ(Byte(Of(odd, talix::kSigPreTableBegin)[0], 9), 2);
    EXPECT_EQ(CellTexts(odd), (std::map<Position, std::string>{{{0, 0}, "a"}, {{0, 1}, "b"}}));
}

TEST_F(TableImport, CellsPushedRightByRowSpansKeepTheirOwnCells) {
    // A cell spanning rows pushes the cells of the rows below it to the
    // right: those rows end further right than their own cells add up to,
    // and the table is as wide as they reach.
    const Imported pushed =
        Import("<table><tr><td rowspan=\"2\">A</td><td>B</td></tr><tr><td>C</td><td>D</td></tr></table>");
    ASSERT_EQ(pushed.status, 0);
    EXPECT_EQ(pushed.problem, "");
    EXPECT_EQ(Byte(Of(pushed, talix::kSigPreTableBegin)[0], 9), 3);
    EXPECT_EQ(CellTexts(pushed), (std::map<Position, std::string>{
                                     {{0, 0}, ""}, {{0, 1}, "B"}, {{0, 2}, ""}, {{1, 0}, "A"}, {{1, 1}, "C"}, {{1, 2}, "D"}}));

    // A spanning cell pushed right keeps its spans.
    const Imported wide = Import(
        "<table><tr><td rowspan=\"2\" colspan=\"2\">X</td><td>y</td></tr><tr><td colspan=\"3\">z</td></tr></table>");
    EXPECT_EQ(wide.problem, "");
    EXPECT_EQ(Byte(Of(wide, talix::kSigPreTableBegin)[0], 9), 5);
    const auto wideCells = Cells(wide);
    ASSERT_EQ(wideCells.count({1, 4}), 1u);
    EXPECT_EQ(Byte(wideCells.at({1, 4}), 15), 3);
    EXPECT_EQ(CellTexts(wide).at({1, 4}), "z");

    // No text lands in a position hidden by a span, where it cannot be
    // seen: the second row's cell lies right of the first row's tall cell,
    // and the last row's third cell right of the second.
    const Imported hidden = Import(
        "<table><tr><td rowspan=\"3\">a</td></tr><tr><td>b</td></tr><tr><td></td></tr><tr><td>c</td></tr></table>"
        "<table><tr><td>1</td><td rowspan=\"2\">2</td></tr><tr><td>3</td><td>4</td></tr></table>");
    EXPECT_EQ(hidden.problem, "");
    EXPECT_EQ(VisibleTexts(hidden), "b|a|c|1|3|2|4");
    EXPECT_EQ(CellTexts(hidden).at({1, 1}), "b");
    EXPECT_EQ(CellTexts(hidden, 1).at({1, 2}), "4");
}

TEST_F(TableImport, OverlappingSpansHideNoText) {
    // The second row's cell spans two columns, the second of which the
    // first row's tall cell takes: its span ends before that position, and
    // every text stays where it can be seen.
    const Imported overlap = Import(
        "<table><tr><td>1</td><td rowspan=\"3\">2</td></tr><tr><td colspan=\"2\">3</td></tr>"
        "<tr><td>4</td><td>5</td><td>6</td></tr></table>"
        "<table><tr><td>a</td><td rowspan=\"2\">b</td><td>c</td></tr>"
        "<tr><td colspan=\"3\" rowspan=\"2\">d</td><td>e</td></tr><tr><td>f</td></tr></table>");
    ASSERT_EQ(overlap.status, 0);
    EXPECT_EQ(overlap.problem, "");
    EXPECT_EQ(VisibleTexts(overlap), "1|3|4|2|5|6|a|c|b|e|d|f");
    const auto cells = Cells(overlap);
    EXPECT_EQ(Byte(cells.at({1, 0}), 11) & 0x0C, 0);
    EXPECT_EQ(Byte(cells.at({1, 0}), 15), 1);
    EXPECT_EQ(CellTexts(overlap).at({1, 0}), "3");
    EXPECT_EQ(CellTexts(overlap).at({2, 1}), "2");
    EXPECT_EQ(CellTexts(overlap, 1).at({2, 0}), "d");
}

TEST_F(TableImport, NestedTablesStayInTheirCell) {
    const Imported nested = Import(
        "<table><tr><td>a<table><tr><td>i</td><td>j</td></tr></table>after</td><td>z</td></tr></table><p>y</p>");
    ASSERT_EQ(nested.status, 0);
    EXPECT_EQ(nested.problem, "");
    const std::string layout = nested.Layout();
    const std::size_t outer = layout.find("#A4");
    const std::size_t inner = layout.find("#CF");
    const std::size_t innerEnd = layout.find("#D1");
    const std::size_t after = layout.find("'after'");
    const std::size_t next = layout.find("#A4", outer + 1);
    EXPECT_LT(outer, inner) << layout;
    EXPECT_LT(innerEnd, after) << layout;
    EXPECT_LT(after, next) << layout;
    EXPECT_EQ(Of(nested, talix::kSigNestedTableCell).size(), 2u);
    EXPECT_EQ(CellTexts(nested).at({0, 0}), "a|i|j|after");
    // A table followed by a paragraph adds no paragraph of its own after it.
    EXPECT_NE(layout.find("#A5 P D"), std::string::npos) << layout;
}

TEST_F(TableImport, TablesAppendedIntoACellAreNestedTables) {
    // HTML appended into a cell of a table of the item: its tables lie in
    // that cell, and are written as nested tables; as many levels as the
    // item keeps are tables, counting the table around them, and the rest
    // goes into the innermost cell.
    auto intoCell = [this](const std::string& html) {
        const plat::NOTEID note = NewNote();
        {
            ZervaRTItem item(&session_);
            EXPECT_EQ(item.Connect("", path_.c_str(), note, "Body", 1), 0);
            std::unique_ptr<ZervaRTChunk> everything(item.DefineChunk("Everything"));
            EXPECT_EQ(everything->AppendTable(2, 2, 0, nullptr, nullptr), 0);
            std::unique_ptr<ZervaRTChunk> cell(item.DefineChunk("Table 1; Row 2; Column 1"));
            EXPECT_EQ(cell->AppendHTML("Inline", html.c_str(), nullptr), 0);
            EXPECT_EQ(item.Save(), 0);
        }
        // Nothing more is appended: the item is read back as it was saved.
        return Import("", nullptr, note);
    };
    const Imported one = intoCell("<table><tr><td>a</td><td>b</td></tr></table>");
    EXPECT_EQ(one.problem, "");
    EXPECT_EQ(one.Count(talix::kSigTableBegin), 1u);
    EXPECT_EQ(one.Count(talix::kSigTableCell), 4u);
    EXPECT_EQ(one.Count(talix::kSigTableEnd), 1u);
    EXPECT_EQ(one.Count(talix::kSigNestedTableBegin), 1u);
    EXPECT_EQ(one.Count(talix::kSigNestedTableCell), 2u);
    EXPECT_EQ(one.Count(talix::kSigNestedTableEnd), 1u);
    EXPECT_EQ(one.Texts(), "a|b");
    EXPECT_EQ(Count(one.note, "Table", "Table 1; Row 2; Column 1"), 1);

    std::string deep;
    for (int level = 0; level < 10; ++level) deep += "<table><tr><td>L" + std::to_string(level);
    for (int level = 0; level < 10; ++level) deep += "</td></tr></table>";
    const Imported nested = intoCell(deep);
    EXPECT_EQ(nested.problem, "");
    EXPECT_EQ(nested.Count(talix::kSigTableBegin), 1u);
    EXPECT_EQ(nested.Count(talix::kSigNestedTableBegin), 8u);
    std::string expected;
    for (int level = 0; level < 10; ++level) expected += (level == 0 ? "L" : "|L") + std::to_string(level);
    EXPECT_EQ(nested.Texts(), expected);
}

TEST_F(TableImport, ATableEndingADivisionAddsNoEmptyLine) {
    // The generation writes each table inside a division of its own, the
    // next paragraph in the next division: the table ends, and the next
    // division's paragraph follows it at once, as after "<table>...<div>".
    const Imported divided = Import(
        "<div><br><table><tr><td>a<div><br><table><tr><td>i</td></tr></table></div>"
        "<div>after</div></td><td>z</td></tr></table></div><div>next</div>");
    ASSERT_EQ(divided.status, 0);
    EXPECT_EQ(divided.problem, "");
    // The layout without the paragraph ids ("D3" and "R3" read "D" and "R").
    std::string layout;
    for (const char c : divided.Layout())
        if (!(c >= '0' && c <= '9' && layout.size() >= 2 && layout[layout.size() - 2] == ' ' &&
              (layout.back() == 'D' || layout.back() == 'R')))
            layout += c;
    EXPECT_NE(layout.find("#A5 '' P D R '' 'next'"), std::string::npos) << layout;
    EXPECT_NE(layout.find("#D1 P D R '' 'after'"), std::string::npos) << layout;
    EXPECT_EQ(CellTexts(divided).at({0, 0}), "a|i|after");
    EXPECT_EQ(Of(divided, talix::kSigParagraph).size(), 6u) << layout;

    // A division that ends in a table and is followed by text still gets
    // the line after the table.
    const Imported text = Import("<div><table><tr><td>a</td></tr></table></div>tail");
    ASSERT_EQ(text.status, 0);
    EXPECT_NE(text.Layout().find("#A5 P R2 ''"), std::string::npos) << text.Layout();
}

TEST_F(TableImport, TextAfterATableFollowsItWithoutAnEmptyLine) {
    // The table's own paragraph after its end takes the text after it (in
    // the definition in force before the table); no empty one lies between.
    for (const char* after : {"end", "<b>end</b>", "end<p>p</p>"}) {
        const std::string html = std::string("<p style='margin-left:1in'>z</p><table><tr><td>a</td></tr></table>") + after;
        const Imported imported = Import(html);
        ASSERT_EQ(imported.status, 0) << html;
        EXPECT_EQ(imported.problem, "") << html;
        const std::string layout = imported.Layout();
        EXPECT_NE(layout.find("#A5 P R1 '' 'end'"), std::string::npos) << html << ": " << layout;
    }
    // So too when a paragraph in a cell changed the definition the text
    // after the table takes.
    const Imported changed = Import("<table><tr><td><p class='k'>a</p>b</td></tr></table>end");
    EXPECT_EQ(changed.problem, "");
    const std::string tail = changed.Layout().substr(changed.Layout().find("#A5"));
    EXPECT_EQ(tail.find(" P ", tail.find(" P ") + 1), std::string::npos) << tail;
    EXPECT_EQ(changed.Texts(), "a|b|end");
    // A table that ends the text leaves one paragraph after it, not two.
    const Imported last = Import("<table><tr><td>a</td></tr></table>");
    EXPECT_EQ(last.Layout().substr(last.Layout().find("#A5")), "#A5 P R1 ''");
}

// A heading first in a cell stands in the cell's paragraph: the cell's
// alignment stays with it, and no paragraph refers to a definition the
// item does not hold.
TEST_F(TableImport, AHeadingFirstInACellKeepsTheCellsParagraph) {
    const Imported imported =
        Import("<table><tr><td align=\"center\"><h2>T</h2>x</td><td><h1>U</h1></td></tr></table>after");
    ASSERT_EQ(imported.status, 0);
    EXPECT_EQ(imported.problem, "");
    EXPECT_EQ(imported.Texts(), "T|x|U|after");
    std::uint16_t id = 0;
    std::map<std::string, std::uint16_t> paragraphOf;
    for (const ItemRecord& record : imported.records) {
        if (record.signature == talix::kSigPabReference) {
            id = record.Word(2);
            // Definition 1 is the blank item's own, before the records listed.
            if (id != 1) EXPECT_NE(import_test::Definition(imported, id), nullptr) << "no definition " << id;
        }
        if (record.signature == talix::kSigText && !record.Text().empty()) paragraphOf[record.Text()] = id;
    }
    const ItemRecord* centred = import_test::Definition(imported, paragraphOf["T"]);
    ASSERT_NE(centred, nullptr);
    EXPECT_EQ(centred->Word(6), 3);
    EXPECT_EQ(imported.Run("T").Font().size, 16);
}

TEST_F(TableImport, CellColoursScopesBordersAndAlignment) {
    auto colourOf = [](const Imported& imported, const std::string& text) -> int {
        const ItemRecord* colour = InCellOf(imported, text, talix::kSigTableCellColor);
        if (colour == nullptr) return -1;
        return Byte(colour, 4) << 16 | Byte(colour, 5) << 8 | Byte(colour, 6);
    };
    const Imported colours = Import(
        "<html><head><style type=\"text/css\">tr.red { background-color: #ff0000 }</style></head><body>"
        "<table><tr class=\"red\"><td>row</td><td style=\"background-color: #0000ff\">own</td></tr></table>"
        "<table bgcolor=\"#00ff00\"><tr><td>table</td><td bgcolor=\"transparent\">clear</td></tr></table>"
        "<table><tr><td style=\"background-color: transparent\">none</td></tr></table></body></html>");
    ASSERT_EQ(colours.problem, "");
    EXPECT_EQ(colourOf(colours, "row"), 0xFF0000);
    EXPECT_EQ(colourOf(colours, "own"), 0x0000FF);
    EXPECT_EQ(colourOf(colours, "table"), 0x00FF00);
    EXPECT_EQ(colourOf(colours, "clear"), -1);
    EXPECT_EQ(colourOf(colours, "none"), -1);
    const auto coloured = Cells(colours);
    EXPECT_EQ(Byte(coloured.at({0, 0}), 11) & 0x01, 0x01);

    const Imported black = Import(
        "<table><tr><td bgcolor=\"#000000\">black</td><td bgcolor=\"#202020\">grey</td></tr></table>",
        "SuppressBlackBackground=Yes");
    EXPECT_EQ(colourOf(black, "black"), -1);
    EXPECT_EQ(colourOf(black, "grey"), 0x202020);

    // Header cells: by column unless the scope names rows.
    const Imported headers = Import(
        "<table><tr><th scope=\"col\">c</th><th scope=\"row\">r</th><th scope=\"rowgroup col\">b</th><th>n</th></tr>"
        "</table>");
    std::vector<std::uint32_t> kinds;
    for (const ItemRecord* scope : Of(headers, 0x57)) kinds.push_back(scope->Dword(12));
    EXPECT_EQ(kinds, (std::vector<std::uint32_t>{1, 2, 3, 1}));
    EXPECT_EQ(headers.problem, "");

    // The border attribute gives every side of every cell; a table after it
    // does not inherit it.
    auto borders = [&](const std::string& attribute) {
        const Imported bordered = Import("<table " + attribute + "><tr><td>a</td></tr></table>"
                                         "<table><tr><td>b</td></tr></table>");
        const auto cells = Of(bordered, talix::kSigTableCell);
        EXPECT_EQ(cells.size(), 2u) << attribute;
        return cells.size() == 2 ? std::vector<int>{Byte(cells[0], 10), cells[0]->Word(12), Byte(cells[1], 10),
                                                    cells[1]->Word(12)}
                                 : std::vector<int>{};
    };
    EXPECT_EQ(borders("border=\"0\""), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(borders("border=\"\""), (std::vector<int>{0x55, 0x1111, 0, 0}));
    EXPECT_EQ(borders("border=\"3\""), (std::vector<int>{0, 0x3333, 0, 0}));
    EXPECT_EQ(borders("border=\"2\""), (std::vector<int>{0xAA, 0x2222, 0, 0}));
    // CSS widths win over the attribute, side by side.
    const Imported styled = Import(
        "<table border=\"2\"><tr><td style=\"border-top-width: medium; border-left-width: 3px; "
        "border-bottom-style: none\">a</td></tr></table>");
    EXPECT_EQ(Of(styled, talix::kSigTableCell)[0]->Word(12), 0x0203);
    // The row's widths (from a rule) reach cells without widths of their
    // own; a cell's "none" style takes the attribute's width; a cell with
    // neither keeps the attribute.
    const Imported rowWidths = Import(
        "<style>tr.w { border-width: 4px } td.n { border-top-style: none }</style>"
        "<table border=\"1\"><tr class=\"w\"><td>a</td><td class=\"n\">b</td></tr>"
        "<tr><td>c</td><td style=\"border-left: none\">d</td></tr></table>");
    const auto rowCells = Of(rowWidths, talix::kSigTableCell);
    ASSERT_EQ(rowCells.size(), 4u);
    EXPECT_EQ(rowCells[0]->Word(12), 0x4444);
    EXPECT_EQ(rowCells[1]->Word(12), 0x4044);
    EXPECT_EQ(rowCells[2]->Word(12), 0x1111);
    EXPECT_EQ(rowCells[3]->Word(12), 0x0000);

    // The row's vertical alignment reaches its cells; text alignment goes to
    // the cell's paragraph.
    const Imported aligned = Import(
        "<table><tr valign=\"middle\"><td>m</td><td valign=\"bottom\" align=\"center\">b</td></tr></table>");
    const auto cells = Cells(aligned);
    EXPECT_EQ(Byte(cells.at({0, 0}), 11) & 0xA0, 0x20);
    EXPECT_EQ(Byte(cells.at({0, 1}), 11) & 0xA0, 0x80);
    const ItemRecord* definition = InCellOf(aligned, "b", talix::kSigPabDefinition);
    ASSERT_NE(definition, nullptr);
    EXPECT_EQ(definition->Word(6), 3);

    // What a row and its table give their cells stays theirs: each row, and
    // a table nested in a cell, gives its own border width and colours, and
    // the outer row's answers hold again after the nested table.
    const Imported layered = Import(
        "<table border=\"2\" bgcolor=\"#00ff00\">"
        "<tr bgcolor=\"#ff0000\"><td>r1</td><td>n1<table border=\"0\"><tr><td>inner</td></tr></table></td>"
        "<td>after</td></tr>"
        "<tr><td>r2</td><td bgcolor=\"#0000ff\">own2</td></tr>"
        "<tr bgcolor=\"#202020\"><td>r3</td></tr></table>"
        "<table><tr><td>plain</td></tr></table>");
    ASSERT_EQ(layered.problem, "");
    const std::pair<const char*, int> expected[] = {{"r1", 0xFF0000},   {"after", 0xFF0000}, {"r2", 0x00FF00},
                                                    {"own2", 0x0000FF}, {"r3", 0x202020},    {"plain", -1}};
    for (const auto& [text, colour] : expected) EXPECT_EQ(colourOf(layered, text), colour) << text;
    std::vector<int> words;
    for (const ItemRecord* cell : Of(layered, talix::kSigTableCell)) words.push_back(cell->Word(12));
    std::vector<int> nested;
    for (const ItemRecord* cell : Of(layered, talix::kSigNestedTableCell)) {
        nested.push_back(cell->Word(12));
        nested.push_back(Byte(cell, 11) & 0x01);   // coloured
    }
    EXPECT_EQ(words, (std::vector<int>{0x2222, 0x2222, 0x2222, 0x2222, 0x2222, 0x2222, 0x2222, 0x2222, 0x2222, 0}));
    EXPECT_EQ(nested, (std::vector<int>{0, 0}));

    // A background image of a MIME part names its content id.
    const Imported image = Import("<table><tr><td style=\"background-image: url(cid:pic1)\">p</td></tr></table>");
    const auto parts = Of(image, talix::kSigTableCellHref);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0]->Word(12), 4);
    EXPECT_EQ(parts[0]->bytes.substr(36, 4), "pic1");
    EXPECT_EQ(image.problem, "");
}

TEST_F(TableImport, TabbedTablesAndSectionHeaders) {
    const char* tabbed =
        "<table>"
        "<tr><td><table><tr><td><img src=\"cid:_a_tabletab\">First</td></tr></table></td></tr>"
        "<tr><td>content one</td></tr>"
        "<tr><td><table><tr><td><img alt=\"TableTab\">Second</td></tr></table></td></tr>"
        "<tr><td>content two</td></tr>"
        "</table>";
    const Imported tabs = Import(tabbed);
    ASSERT_EQ(tabs.status, 0);
    EXPECT_EQ(tabs.problem, "");
    const auto lead = Of(tabs, talix::kSigPreTableBegin);
    ASSERT_EQ(lead.size(), 1u);
    EXPECT_EQ(Byte(lead[0], 8), 2);      // the marker rows are no rows
    EXPECT_EQ(Byte(lead[0], 20), 4);     // shown as tabs
    std::vector<std::string> labels;
    for (const ItemRecord* label : Of(tabs, talix::kSigTableLabel)) labels.push_back(label->bytes.substr(4).c_str());
    EXPECT_EQ(labels, (std::vector<std::string>{"First", "Second"}));
    EXPECT_EQ(tabs.Texts(), "content one|content two");
    EXPECT_EQ(Of(tabs, talix::kSigNestedTableBegin).size(), 0u);

    // The same rows without the marker images are rows holding small tables.
    std::string plain = tabbed;
    for (const char* marker : {"<img src=\"cid:_a_tabletab\">", "<img alt=\"TableTab\">"})
        plain.erase(plain.find(marker), std::strlen(marker));
    const Imported nested = Import(plain);
    ASSERT_EQ(nested.status, 0);
    EXPECT_EQ(Byte(Of(nested, talix::kSigPreTableBegin)[0], 8), 4);
    EXPECT_EQ(Of(nested, talix::kSigNestedTableBegin).size(), 2u);
    EXPECT_EQ(Of(nested, talix::kSigTableLabel).size(), 0u);
    EXPECT_EQ(nested.Texts(), "First|content one|Second|content two");

    // A collapsed section's header table is no table.
    const Imported section = Import(
        "<div><table><tr><td><img src=\"cid:_a_collapse\"></td><td>Ann</td><td>Re: x</td><td>Mon</td></tr></table>"
        "<p>body</p></div>");
    EXPECT_EQ(Of(section, talix::kSigTableBegin).size(), 0u);
    EXPECT_EQ(section.Texts(), "body");
}

TEST_F(TableImport, LongTablesKeepEveryRow) {
    // Rows past the 255th are rows of the table like the others, numbered
    // from 0 again in their cell records; the lead record counts 255.
    for (const int count : {256, 300, 1000}) {
        std::string html = "<table>";
        for (int row = 0; row < count; ++row)
            html += "<tr><td>r" + std::to_string(row) + "a</td><td>r" + std::to_string(row) + "b</td></tr>";
        const Imported long_ = Import(html + "</table><p>after</p>");
        ASSERT_EQ(long_.status, 0) << count;
        EXPECT_EQ(long_.problem, "") << count;
        ASSERT_EQ(Of(long_, talix::kSigPreTableBegin).size(), 1u);
        EXPECT_EQ(Byte(Of(long_, talix::kSigPreTableBegin)[0], 8), 255) << count;
        const auto cells = Of(long_, talix::kSigTableCell);
        ASSERT_EQ(cells.size(), 2u * count);
        if (count > 256) EXPECT_EQ(Byte(cells[2 * 256], 2), 0);
        EXPECT_EQ(Byte(cells.back(), 2), (count - 1) % 256);
        const auto rows = RowTexts(long_);
        ASSERT_EQ(rows.size(), static_cast<std::size_t>(count));
        for (int row = 0; row < count; ++row) {
            const std::vector<std::string> expected = {"r" + std::to_string(row) + "a", "r" + std::to_string(row) + "b"};
            ASSERT_EQ(rows[row], expected) << count << " rows, row " << row;
        }
        const std::string layout = long_.Layout();
        EXPECT_LT(layout.find("'r" + std::to_string(count - 1) + "b'"), layout.find("#A5"));
        EXPECT_LT(layout.find("#A5"), layout.find("'after'"));
    }

    // Spans across the 256th row: the spanning cells' texts in their last
    // row and column, the positions they cover hidden and given the
    // spanning cell's borders (and no other row their borders).
    std::string spans = "<table>";
    for (int row = 0; row < 300; ++row) {
        const std::string r = std::to_string(row);
        if (row == 254) spans += "<tr><td rowspan=\"3\" style=\"border: 3px solid\">tall</td><td>r254b</td><td>r254c</td></tr>";
        else if (row == 255 || row == 256) spans += "<tr><td>r" + r + "b</td><td>r" + r + "c</td></tr>";
        else if (row == 257) spans += "<tr><td colspan=\"3\" style=\"border: 2px solid\">wide</td></tr>";
        else spans += "<tr><td>r" + r + "a</td><td>r" + r + "b</td><td>r" + r + "c</td></tr>";
    }
    const Imported spanned = Import(spans + "</table>");
    ASSERT_EQ(spanned.status, 0);
    EXPECT_EQ(spanned.problem, "");
    const auto rows = RowTexts(spanned);
    ASSERT_EQ(rows.size(), 300u);
    const std::vector<std::vector<std::string>> around = {{"", "r254b", "r254c"},
                                                          {"", "r255b", "r255c"},
                                                          {"tall", "r256b", "r256c"},
                                                          {"", "", "wide"},
                                                          {"r258a", "r258b", "r258c"}};
    EXPECT_EQ(std::vector<std::vector<std::string>>(rows.begin() + 254, rows.begin() + 259), around);
    EXPECT_EQ(rows[299], (std::vector<std::string>{"r299a", "r299b", "r299c"}));
    const auto cells = Of(spanned, talix::kSigTableCell);
    ASSERT_EQ(cells.size(), 900u);
    EXPECT_EQ(Byte(cells[254 * 3], 11) & 0x0C, 0x08);    // covered by the row span
    EXPECT_EQ(Byte(cells[255 * 3], 11) & 0x0C, 0x08);
    EXPECT_EQ(Byte(cells[256 * 3], 14), 3);              // the tall cell's row span
    EXPECT_EQ(Byte(cells[257 * 3], 11) & 0x0C, 0x04);    // covered by the column span
    EXPECT_EQ(Byte(cells[257 * 3 + 2], 15), 3);
    const std::uint16_t tall = cells[256 * 3]->Word(12), wide = cells[257 * 3 + 2]->Word(12);
    EXPECT_NE(tall, 0);
    EXPECT_NE(wide, 0);
    EXPECT_NE(tall, wide);
    for (const int at : {254 * 3, 255 * 3}) EXPECT_EQ(cells[at]->Word(12), tall) << at;
    for (const int at : {257 * 3, 257 * 3 + 1}) EXPECT_EQ(cells[at]->Word(12), wide) << at;
    for (int at = 0; at < 9; ++at) EXPECT_EQ(cells[at]->Word(12), 0) << at;

    // A header row, and a table nested in a cell past the 255th row.
    std::string headed = "<table><thead><tr><th>H1</th><th>H2</th></tr></thead><tbody>";
    for (int row = 1; row < 300; ++row) {
        const std::string r = std::to_string(row);
        headed += row == 280 ? "<tr><td>r280a<table><tr><td>in1</td><td>in2</td></tr></table></td><td>r280b</td></tr>"
                             : "<tr><td>r" + r + "a</td><td>r" + r + "b</td></tr>";
    }
    const Imported header = Import(headed + "</tbody></table>");
    ASSERT_EQ(header.status, 0);
    EXPECT_EQ(header.problem, "");
    const auto headedRows = RowTexts(header);
    ASSERT_EQ(headedRows.size(), 300u);
    EXPECT_EQ(headedRows[0], (std::vector<std::string>{"H1", "H2"}));
    EXPECT_EQ(headedRows[280], (std::vector<std::string>{"r280a|in1|in2", "r280b"}));
    EXPECT_EQ(headedRows[299], (std::vector<std::string>{"r299a", "r299b"}));
    EXPECT_EQ(header.Count(talix::kSigNestedTableBegin), 1u);

    // The generator writes every row, in order (the markup handed on as it
    // is made, then what is left).
    static std::string html;
    html.clear();
    {
        ZervaRTItem item(&session_);
        ASSERT_EQ(item.Connect("", path_.c_str(), header.note, "Body", 0), 0);
        std::unique_ptr<ZervaRTChunk> chunk(item.DefineChunk("Everything"));
        const ZervaRTChunk::ActOnText collect = [](ZervaRTChunk*, char* text, std::uint16_t length) -> std::uint16_t {
            html.append(text, length);
            return 0;
        };
        char* block = chunk->GenerateHTML(nullptr, "HTML", nullptr, 0, collect, nullptr);
        ASSERT_NE(block, nullptr);
        html.append(block, session_.textResultLength);
        talix::ZervaDeallocate(&session_, block);
    }
    std::size_t tableRows = 0;
    for (std::size_t at = html.find("<tr"); at != std::string::npos; at = html.find("<tr", at + 1)) ++tableRows;
    EXPECT_EQ(tableRows, 301u);   // the nested table's row as well
    EXPECT_LT(html.find(">r298b<"), html.find(">r299a<"));
    EXPECT_LT(html.find(">r299b<"), html.rfind("</table>"));
}

TEST_F(TableImport, TablesBeyondWhatATableHolds) {
    // 300 rows of 70 columns: 300 rows of 64 columns; the cells past the
    // last column go to their row's last cell; every text is kept.
    std::string big = "<table>";
    std::set<std::string> words;
    for (int row = 0; row < 300; ++row) {
        big += "<tr>";
        for (int column = 0; column < 70; ++column) {
            const std::string word = "r" + std::to_string(row) + "c" + std::to_string(column);
            words.insert(word);
            big += "<td>" + word + "</td>";
        }
        big += "</tr>";
    }
    big += "</table><p>end</p>";
    const Imported wide = Import(big);
    ASSERT_EQ(wide.status, 0);
    EXPECT_EQ(wide.problem, "");
    const auto lead = Of(wide, talix::kSigPreTableBegin);
    ASSERT_EQ(lead.size(), 1u);
    EXPECT_EQ(Byte(lead[0], 8), 255);
    EXPECT_EQ(Byte(lead[0], 9), 64);
    EXPECT_EQ(Of(wide, talix::kSigTableCell).size(), 300u * 64u);
    std::set<std::string> kept;
    for (const ItemRecord& record : wide.records)
        if (record.signature == talix::kSigText && record.bytes.size() > 8) kept.insert(record.Text());
    for (const std::string& word : words) ASSERT_EQ(kept.count(word), 1u) << word;
    const auto wideRows = RowTexts(wide);
    ASSERT_EQ(wideRows.size(), 300u);
    EXPECT_EQ(wideRows[3][63], "r3c63|r3c64|r3c65|r3c66|r3c67|r3c68|r3c69");
    EXPECT_EQ(wideRows[299][63], "r299c63|r299c64|r299c65|r299c66|r299c67|r299c68|r299c69");
    const std::string layout = wide.Layout();
    EXPECT_LT(layout.find("'r299c69'"), layout.find("#A5"));
    EXPECT_LT(layout.find("#A5"), layout.find("'end'"));

    // A table of more positions than a table takes: one row 64 columns
    // wide and 4,200 rows of one cell. The rows that fit (4,096 in all) are
    // the table's; the rows past them follow it, a paragraph a cell.
    std::string many = "<table><tr><td colspan=\"64\">wide</td></tr>";
    for (int row = 0; row < 4200; ++row) many += "<tr><td>n" + std::to_string(row) + "</td></tr>";
    const Imported bounded = Import(many + "</table><p>end</p>");
    ASSERT_EQ(bounded.status, 0);
    EXPECT_EQ(bounded.problem, "");
    EXPECT_EQ(Of(bounded, talix::kSigTableCell).size(), 4096u * 64u);
    const std::string boundedLayout = bounded.Layout();
    EXPECT_LT(boundedLayout.find("'n4094'"), boundedLayout.find("#A5"));
    EXPECT_LT(boundedLayout.find("#A5"), boundedLayout.find("'n4095'"));
    EXPECT_LT(boundedLayout.find("'n4199'"), boundedLayout.find("'end'"));
    const std::string boundedTexts = "|" + bounded.Texts() + "|";
    for (int row = 0; row < 4200; ++row)
        ASSERT_NE(boundedTexts.find("|n" + std::to_string(row) + "|"), std::string::npos) << row;

    // 2,000 rows; spans of 1,000 and nonsense; cells outside any row.
    std::string tall = "<table><tr><td rowspan=\"1000\" colspan=\"1000\">s</td><td colspan=\"abc\">t</td></tr>";
    for (int row = 0; row < 2000; ++row) tall += "<tr><td>" + std::to_string(row) + "</td></tr>";
    tall += "<td>loose</td></table>";
    const Imported rows = Import(tall);
    ASSERT_EQ(rows.status, 0);
    EXPECT_EQ(rows.problem, "");
    EXPECT_LE(Byte(Of(rows, talix::kSigPreTableBegin)[0], 8), 255);
    const std::string texts = "|" + rows.Texts() + "|";
    for (const char* word : {"|s|", "|t|", "|0|", "|254|", "|255|", "|1999|", "|loose|"})
        EXPECT_NE(texts.find(word), std::string::npos) << word;

    // Cells past the last column whose row's last cell a tall cell spans
    // over: their texts go to the tall cell, where they are seen.
    std::string covered = "<table><tr><td>a</td><td rowspan=\"3\" colspan=\"70\">tall</td><td>past1</td></tr>"
                          "<tr><td>b</td><td>past2</td></tr><tr><td>c</td></tr></table>";
    const Imported hidden = Import(covered);
    ASSERT_EQ(hidden.status, 0);
    EXPECT_EQ(hidden.problem, "");
    EXPECT_EQ(VisibleTexts(hidden), "a|b|c|tall|past1|past2");

    // Twenty tables, each in a cell of the one before: nine levels of
    // tables, the rest taken into the innermost cell, nothing lost.
    std::string deep;
    for (int level = 0; level < 20; ++level) deep += "<table><tr><td>L" + std::to_string(level);
    for (int level = 0; level < 20; ++level) deep += "</td></tr></table>";
    const Imported nested = Import(deep + "<p>after</p>");
    ASSERT_EQ(nested.status, 0);
    EXPECT_EQ(nested.problem, "");
    EXPECT_EQ(Of(nested, talix::kSigTableBegin).size(), 1u);
    EXPECT_EQ(Of(nested, talix::kSigNestedTableBegin).size(), 8u);
    std::string expected;
    for (int level = 0; level < 20; ++level) expected += "L" + std::to_string(level) + "|";
    EXPECT_EQ(nested.Texts(), expected + "after");

    // A marker row without a label is an ordinary row.
    const Imported unlabelled = Import(
        "<table><tr><td><table><tr><td><img src=\"cid:_a_tabletab\"></td></tr></table></td></tr>"
        "<tr><td>c</td></tr></table>");
    EXPECT_EQ(unlabelled.problem, "");
    EXPECT_EQ(Byte(Of(unlabelled, talix::kSigPreTableBegin)[0], 8), 2);
    EXPECT_EQ(unlabelled.Texts(), "c");
}

} // namespace
