// Table operations run over stored items: appending tables (also inside a
// cell), merging and unmerging cells, changing a table's properties, cell
// colours, fit to window, row labels, HTML attributes, and the property
// reads of tables and cells. Results are read back from the stored note.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/item_work_state.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "edit_fixture.h"
#include "support/op_runner.h"
#include "support/rich_text_items.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using engine_test::Count;
using engine_test::Definition;
using engine_test::EditTest;
using engine_test::Rec;
using engine_test::Records;
using engine_test::ReferenceTo;
using engine_test::Runs;
using engine_test::Text;
using engine_test::With;
using talix::kSigBegin;
using talix::kSigEnd;
using talix::kSigIdName;
using talix::kSigPabDefinition;
using talix::kSigPabReference;
using talix::kSigParagraph;
using talix::kSigPreTableBegin;
using talix::kSigTableBegin;
using talix::kSigTableCell;
using talix::kSigTableCellColor;
using talix::kSigTableEnd;
using talix::kSigTableLabel;
using talix::kSigText;
using talix_test::Op;
using talix_test::Operation;
using talix_test::RunOperation;

constexpr std::uint16_t kCellIdName = 0xFF7B;
constexpr std::uint16_t kNestedBegin = 0xCF, kNestedCell = 0xD0, kNestedEnd = 0xD1;
constexpr std::uint16_t kRowCycle = 0xE1;

std::vector<Rec> Only(const std::vector<Rec>& records, std::uint16_t signature) {
    std::vector<Rec> found;
    for (const Rec& record : records)
        if (record.signature == signature) found.push_back(record);
    return found;
}

// An operation with its four words (and an argument text).
Operation Words(talix::OperationCode code, std::uint16_t op2, std::uint16_t a3, std::uint16_t a4 = 0,
                std::uint16_t a5 = 0, const char* argument = nullptr) {
    Operation operation = Op(code, op2, a3, argument);
    operation.a4 = a4;
    operation.a5 = a5;
    return operation;
}

// The index of the first record of a signature from a position on.
std::size_t IndexOf(const std::vector<Rec>& records, std::uint16_t signature, std::size_t from = 0) {
    for (std::size_t i = from; i < records.size(); ++i)
        if (records[i].signature == signature) return i;
    return records.size();
}

class TableOperationTest : public EditTest {
protected:
    // A note whose item holds a blank body and then a table of rows x
    // columns, built as AppendTable builds it (columns of equal width).
    void NewTable(std::uint16_t rows, std::uint16_t columns, const char* options = "",
                  const std::vector<const char*>& columnOptions = {}, bool tableMode = false) {
        id_ = db_.AddNote(Runs({"old"}));
        ASSERT_EQ(item_.Connect("", db_.path().c_str(), id_, "Body", 0), 0);
        ASSERT_EQ(item_.CreateBlankRichTextItem(), 0);
        Request(columns, columnOptions, tableMode);
        ZervaRTChunk* all = item_.DefineChunk("Everything");
        ASSERT_EQ(RunOperation(all, Op(talix::kOpAppendTable, columns, rows, options)), 0);
        ASSERT_EQ(item_.Save(), 0);
    }

    void Request(std::uint16_t columns, const std::vector<const char*>& columnOptions = {}, bool tableMode = false) {
        talix::TableRequest& request = session_.workArea->table;
        request = talix::TableRequest();
        request.tableWidth = 8640;
        request.fitToWindow = tableMode ? 1 : 0;
        for (std::uint16_t column = 0; column < columns; ++column) {
            request.columnWidths[column] = static_cast<std::uint16_t>(8640 / columns);
            if (column < columnOptions.size()) request.columnOptions[column] = columnOptions[column];
        }
    }

    std::string Answer(const char* definition, const Operation& operation) {
        EXPECT_EQ(Run(definition, operation), 0);
        return session_.textResult;
    }

    std::int16_t CountIn(const char* definition, const char* type) {
        ZervaRTChunk* chunk = item_.DefineChunk(definition);
        const std::int16_t count = chunk != nullptr ? chunk->GetCount(type) : -2;
        delete chunk;
        return count;
    }
};

TEST_F(TableOperationTest, AnAppendedTableIsStoredInOrderAndReadsBackByRowAndColumn) {
    NewTable(3, 2, "", {"Text=left", "Text=right"});
    const std::vector<Rec> records = Saved();
    // The blank body, then the table and the paragraph after it.
    const std::size_t start = IndexOf(records, kSigPreTableBegin) - 1;
    ASSERT_LT(start + 1, records.size());
    std::vector<std::uint16_t> expected = {kSigParagraph, kSigPreTableBegin, kSigTableBegin};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 2; ++column) {
            expected.push_back(kSigTableCell);
            expected.push_back(kSigParagraph);
            if (row == 0) expected.push_back(kSigPabDefinition);
            expected.push_back(kSigPabReference);
            expected.push_back(kSigText);
        }
    }
    for (std::uint16_t signature : {kSigTableEnd, kSigParagraph, kSigPabReference, kSigText})
        expected.push_back(signature);
    std::vector<std::uint16_t> stored;
    for (std::size_t i = start; i < records.size(); ++i) stored.push_back(records[i].signature);
    EXPECT_EQ(stored, expected);

    const std::vector<Rec> cells = Only(records, kSigTableCell);
    ASSERT_EQ(cells.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(cells[i].bytes[2], i / 2);
        EXPECT_EQ(cells[i].bytes[3], i % 2);
        EXPECT_EQ(cells[i].Word(4), i % 2 == 0 ? 1440 : 5760);
        EXPECT_EQ(cells[i].Word(6), i % 2 == 0 ? 5760 : 10080);
    }
    const Rec extension = Only(records, kSigPreTableBegin)[0];
    EXPECT_EQ(extension.bytes[8], 3);
    EXPECT_EQ(extension.bytes[9], 2);

    EXPECT_EQ(CountIn("Table 1", "Row"), 3);
    EXPECT_EQ(CountIn("Table 1", "Column"), 2);
    EXPECT_EQ(TextOf("Table 1; Row 3; Column 2"), "right");
    EXPECT_EQ(TextOf("Table 1; Row 2; Column 1"), "left");

    // A table at the item's first record comes after a paragraph and an
    // empty text run.
    ZervaRTChunk* first = item_.DefineChunk("Everything");
    first->appendAtEnd = 0;
    Request(1);
    EXPECT_EQ(RunOperation(first, Op(talix::kOpAppendTableOfRequest, 1, 1)), 0);
    delete first;
    const std::vector<Rec> after = Saved();
    EXPECT_EQ(after[0].signature, kSigParagraph);
    EXPECT_EQ(after[1].signature, kSigText);
    EXPECT_EQ(after[2].signature, kSigParagraph);
    EXPECT_EQ(after[3].signature, kSigPreTableBegin);
    EXPECT_EQ(CountIn("Everything", "Table"), 2);
}

TEST_F(TableOperationTest, ATableInsideACellUsesTheNestedSignatures) {
    NewTable(3, 2);
    Request(2);
    EXPECT_EQ(Run("Table 1; Row 1; Column 1", Op(talix::kOpAppendTable, 2, 2, "")), 0);
    const std::vector<Rec> records = Saved();
    EXPECT_EQ(Count(records, kNestedBegin), 1u);
    EXPECT_EQ(Count(records, kNestedCell), 4u);
    EXPECT_EQ(Count(records, kNestedEnd), 1u);
    EXPECT_EQ(Count(records, kSigTableBegin), 1u);
    EXPECT_EQ(Count(records, kSigTableCell), 6u);
    // The nested table lies in the first cell; the outer table keeps its rows.
    EXPECT_LT(IndexOf(records, kNestedEnd), IndexOf(records, kSigTableCell, IndexOf(records, kSigTableCell) + 1));
    EXPECT_EQ(CountIn("Table 1", "Row"), 3);
    EXPECT_EQ(CountIn("Table 1; Row 1; Column 1", "Table"), 1);
    EXPECT_EQ(Only(records, kSigPreTableBegin)[0].bytes[8], 3);
    const std::vector<Rec> outerCells = Only(records, kSigTableCell);
    EXPECT_EQ(outerCells.back().bytes[2], 2);
}

TEST_F(TableOperationTest, MergingMarksTheBlockAndPutsTheSpansOnItsLastCell) {
    NewTable(3, 3);
    const std::vector<std::string> before = db_.Stored(id_);
    // A block that does not lie within the table is not merged.
    EXPECT_EQ(Run("Table 1", Words(talix::kOpMergeCells, 3, 3, 4, 4)), 257);
    EXPECT_EQ(db_.Stored(id_), before);

    EXPECT_EQ(Run("Table 1", Words(talix::kOpMergeCells, 1, 1, 2, 2)), 0);
    std::vector<Rec> records = Saved();
    std::vector<Rec> cells = Only(records, kSigTableCell);
    ASSERT_EQ(cells.size(), 9u);
    EXPECT_EQ(cells[0].bytes[11] & 0x0C, 0x08);
    EXPECT_EQ(cells[1].bytes[11] & 0x0C, 0x08);
    EXPECT_EQ(cells[3].bytes[11] & 0x0C, 0x04);
    EXPECT_EQ(cells[4].bytes[11] & 0x0C, 0);
    EXPECT_EQ(cells[4].bytes[14], 2);
    EXPECT_EQ(cells[4].bytes[15], 2);
    for (int i : {0, 1, 2, 3, 5, 6, 7, 8}) {
        EXPECT_EQ(cells[i].bytes[14], 1) << i;
        EXPECT_EQ(cells[i].bytes[15], 1) << i;
    }
    // The last cell: a paragraph, a definition as wide as the block (within
    // the inter-cell space) and one reference to it.
    std::size_t owner = 0;
    for (std::size_t i = 0, seen = 0; i < records.size(); ++i)
        if (records[i].signature == kSigTableCell && seen++ == 4) owner = i;
    ASSERT_EQ(records[owner + 1].signature, kSigParagraph);
    ASSERT_EQ(records[owner + 2].signature, kSigPabDefinition);
    ASSERT_EQ(records[owner + 3].signature, kSigPabReference);
    EXPECT_EQ(records[owner + 4].signature, kSigText);
    const Rec& block = records[owner + 2];
    EXPECT_EQ(block.Word(14), cells[0].Word(4) + 40);
    EXPECT_EQ(block.Word(16), cells[4].Word(6) - 40);
    EXPECT_EQ(records[owner + 3].Word(2), block.Word(4));
    std::size_t sameId = 0;
    for (const Rec& definition : Only(records, kSigPabDefinition))
        sameId += definition.Word(4) == block.Word(4) ? 1 : 0;
    EXPECT_EQ(sameId, 1u);   // an id of its own

    EXPECT_EQ(Answer("Table 1; Row 1; Column 1", Op(talix::kOpCellIsMerged)), "TRUE");
    EXPECT_EQ(Answer("Table 1; Row 2; Column 2", Op(talix::kOpCellIsMerged)), "TRUE");
    EXPECT_EQ(Answer("Table 1; Row 3; Column 1", Op(talix::kOpCellIsMerged)), "FALSE");
    EXPECT_EQ(Answer("Table 1; Row 3; Column 2", Op(talix::kOpCellColumn)), "2");
    EXPECT_EQ(Answer("Table 1; Row 3; Column 2", Op(talix::kOpCellRow)), "3");

    // Merging again meets merged cells; nothing changes.
    const std::vector<std::string> merged = db_.Stored(id_);
    EXPECT_EQ(Run("Table 1", Words(talix::kOpMergeCells, 2, 2, 3, 3)), 257);
    EXPECT_EQ(db_.Stored(id_), merged);

    EXPECT_EQ(Run("Table 1", Op(talix::kOpUnmergeCells)), 0);
    cells = Only(Saved(), kSigTableCell);
    for (const Rec& cell : cells) {
        EXPECT_EQ(cell.bytes[11] & 0x0C, 0);
        EXPECT_EQ(cell.bytes[14], 1);
        EXPECT_EQ(cell.bytes[15], 1);
    }
}

TEST_F(TableOperationTest, AMergedBlockTakesTheDefinitionKeptForItsColumns) {
    // Centred body paragraphs, then a table of 3 x 3 cells whose paragraphs
    // use a right-aligned definition of their own.
    talix_test::FixtureRecord centred = Definition(1, 0);
    talix_test::PutWord(&centred, 6, 3);
    talix_test::FixtureRecord right = Definition(2, 0);
    talix_test::PutWord(&right, 6, 1);
    Records records = {centred, ReferenceTo(1), Text("body"), talix_test::HostRecord(kSigParagraph, 2),
                       With(kSigTableBegin, 14, 4, 40)};
    for (std::uint8_t row = 0; row < 3; ++row) {
        for (std::uint8_t column = 0; column < 3; ++column) {
            talix_test::FixtureRecord cell = talix_test::HostRecord(kSigTableCell, 18);
            cell.bytes[2] = row;
            cell.bytes[3] = column;
            talix_test::PutWord(&cell, 4, static_cast<std::uint16_t>(1440 + column * 2880));
            talix_test::PutWord(&cell, 6, static_cast<std::uint16_t>(1440 + (column + 1) * 2880));
            cell.bytes[14] = cell.bytes[15] = 1;
            records.push_back(cell);
            records.push_back(talix_test::HostRecord(kSigParagraph, 2));
            if (row == 0 && column == 0) records.push_back(right);
            records.push_back(ReferenceTo(2));
            records.push_back(Text("r" + std::to_string(row + 1) + "c" + std::to_string(column + 1)));
        }
    }
    for (auto record : {talix_test::HostRecord(kSigTableEnd, 8), talix_test::HostRecord(kSigParagraph, 2),
                        ReferenceTo(1), Text("after")})
        records.push_back(record);
    ASSERT_NE(Open(records), nullptr);

    // Rows 2 and 3 of columns 2 and 3: between the block's first and last
    // cells lies a cell outside it, which leaves the block's definition
    // waiting for its last cell.
    EXPECT_EQ(Run("Table 1", Words(talix::kOpMergeCells, 2, 2, 3, 3)), 0);
    const std::vector<Rec> saved = Saved();
    std::vector<std::size_t> cells;
    for (std::size_t i = 0; i < saved.size(); ++i)
        if (saved[i].signature == kSigTableCell) cells.push_back(i);
    ASSERT_EQ(cells.size(), 9u);
    const std::size_t owner = cells[8];
    EXPECT_EQ(saved[owner].bytes[14], 2);
    EXPECT_EQ(saved[owner].bytes[15], 2);
    ASSERT_EQ(saved[owner + 2].signature, kSigPabDefinition);
    const Rec& block = saved[owner + 2];
    // The column's definition is the body's (centred), not the one the
    // block's first cell refers to (right-aligned); its margins span the
    // block within the inter-cell space.
    EXPECT_EQ(block.Word(6), 3);
    EXPECT_EQ(block.Word(14), 1440 + 2880 + 40);
    EXPECT_EQ(block.Word(18), 1440 + 2880 + 40);
    EXPECT_EQ(block.Word(16), 1440 + 3 * 2880 - 40);
    EXPECT_EQ(saved[owner + 3].Word(2), block.Word(4));
}

TEST_F(TableOperationTest, ChangeTableAddsOneRowCycleAndTakesLongNames) {
    NewTable(2, 2);
    EXPECT_EQ(Run("Table 1", Op(talix::kOpChangeTable, 0, 0, "RowCycleMilliseconds=500")), 0);
    std::vector<Rec> records = Saved();
    ASSERT_EQ(Count(records, kRowCycle), 1u);
    const std::size_t cycle = IndexOf(records, kRowCycle);
    EXPECT_EQ(records[cycle + 1].signature, kSigTableEnd);
    EXPECT_EQ(records[cycle].bytes.size(), 16u);
    EXPECT_EQ(records[cycle].Dword(4), 500u);

    // A second change sets the interval of the record it has.
    EXPECT_EQ(Run("Table 1", Op(talix::kOpChangeTable, 0, 0, "RowCycleMilliseconds=700")), 0);
    records = Saved();
    ASSERT_EQ(Count(records, kRowCycle), 1u);
    EXPECT_EQ(Only(records, kRowCycle)[0].Dword(4), 700u);

    // A name longer than the room kept for the record.
    const std::size_t lengthBefore = Only(records, kSigPreTableBegin)[0].bytes.size();
    const std::string name(300, 'n');
    const std::string options = "TableName='" + name + "' TableWidth=FIT_TO_WINDOW";
    EXPECT_EQ(Run("Table 1", Op(talix::kOpChangeTable, 0, 0, options.c_str())), 0);
    records = Saved();
    const Rec extension = Only(records, kSigPreTableBegin)[0];
    EXPECT_EQ(extension.bytes.size(), lengthBefore + 300);
    EXPECT_EQ(extension.Word(42), 300);
    EXPECT_EQ(std::string(extension.bytes.begin() + 48, extension.bytes.end()), name);
    EXPECT_EQ(extension.Dword(4) & 0x41, 0x41u);
    EXPECT_EQ(Only(records, kSigTableBegin)[0].Word(12) & 1, 1);
    EXPECT_EQ(Answer("Table 1", Op(talix::kOpGetTableFitToWindow)),
              "");   // the answer goes to the first scratch buffer
    EXPECT_STREQ(session_.messageBuffer, "TRUE");

    // A table nested in a cell: the change reaches it alone and it keeps
    // its nested signatures.
    Request(1);
    EXPECT_EQ(Run("Table 1; Row 1; Column 1", Op(talix::kOpAppendTable, 1, 1, "")), 0);
    EXPECT_EQ(Run("Table 1; Row 1; Column 1; Table 1",
                  Op(talix::kOpChangeTable, 0, 0, "TableColorStyle=SOLID RowCycleMilliseconds=9")),
              0);
    records = Saved();
    ASSERT_EQ(Count(records, kNestedBegin), 1u);
    EXPECT_EQ(Only(records, kNestedBegin)[0].Word(12) & 0x6F80, 0x6F80);
    EXPECT_EQ(Only(records, kSigTableBegin)[0].Word(12) & 0x6F80, 0);
    EXPECT_EQ(Count(records, kRowCycle), 2u);
    EXPECT_EQ(records[IndexOf(records, kNestedEnd) - 1].signature, kRowCycle);

    // On the outer table's chunk the change reaches every table in it, the
    // nested one too, each keeping its signatures.
    EXPECT_EQ(Run("Table 1", Op(talix::kOpChangeTable, 0, 0, "TableColorStyle=SOLID RowCycleMilliseconds=300")), 0);
    records = Saved();
    ASSERT_EQ(Count(records, kRowCycle), 2u);
    for (const Rec& cycle : Only(records, kRowCycle)) EXPECT_EQ(cycle.Dword(4), 300u);
    EXPECT_EQ(Only(records, kSigTableBegin)[0].Word(12) & 0x6F80, 0x6F80);
    EXPECT_EQ(Count(records, kNestedBegin), 1u);
    EXPECT_EQ(Count(records, kNestedEnd), 1u);
}

TEST_F(TableOperationTest, CellColoursGoToEveryCellOnceAndReadBack) {
    NewTable(2, 2);
    talix::TableRequest& request = session_.workArea->table;
    request.cellColorIndex = 0;
    request.cellColorRGB = 0x030201;
    EXPECT_EQ(Run("Table 1", Op(talix::kOpColorCells)), 0);
    std::vector<Rec> records = Saved();
    // Each cell is followed, before the next cell or the table end, by one
    // colour record.
    std::vector<std::uint16_t> order;
    for (const Rec& record : records)
        if (record.signature == kSigTableCell || record.signature == kSigTableCellColor ||
            record.signature == kSigTableEnd)
            order.push_back(record.signature);
    EXPECT_EQ(order, (std::vector<std::uint16_t>{kSigTableCell, kSigTableCellColor, kSigTableCell, kSigTableCellColor,
                                                 kSigTableCell, kSigTableCellColor, kSigTableCell, kSigTableCellColor,
                                                 kSigTableEnd}));
    for (const Rec& cell : Only(records, kSigTableCell)) EXPECT_EQ(cell.bytes[11] & 1, 1);
    for (const Rec& colour : Only(records, kSigTableCellColor)) {
        EXPECT_EQ(colour.bytes[4], 1);
        EXPECT_EQ(colour.bytes[5], 2);
        EXPECT_EQ(colour.bytes[6], 3);
    }

    // Colouring again changes the records the cells have.
    request.cellColorRGB = 0x0A0B0C;
    EXPECT_EQ(Run("Table 1", Op(talix::kOpColorCells)), 0);
    records = Saved();
    ASSERT_EQ(Count(records, kSigTableCellColor), 4u);
    EXPECT_EQ(Only(records, kSigTableCellColor)[3].bytes[4], 0x0C);

    // One cell; then the colour read back.
    request.cellColorRGB = 0x112233;
    EXPECT_EQ(Run("Table 1; Row 2; Column 1", Op(talix::kOpColorCells)), 0);
    request = talix::TableRequest();
    EXPECT_EQ(Run("Table 1; Row 2; Column 1", Op(talix::kOpGetCellColor)), 0);
    EXPECT_EQ(request.cellColorRGB, 0x112233u);
    EXPECT_EQ(request.cellColorIndex, 0);

    // A palette colour by index: the colour records go.
    request.cellColorIndex = 4;
    request.cellColorRGB = 0;
    EXPECT_EQ(Run("Table 1", Op(talix::kOpColorCells)), 0);
    records = Saved();
    EXPECT_EQ(Count(records, kSigTableCellColor), 0u);
    for (const Rec& cell : Only(records, kSigTableCell)) EXPECT_EQ(cell.Word(16), 4);
    request = talix::TableRequest();
    EXPECT_EQ(Run("Table 1; Row 1; Column 2", Op(talix::kOpGetCellColor)), 0);
    EXPECT_EQ(request.cellColorIndex, 4);
}

TEST_F(TableOperationTest, FitToWindowRecomputesTheCellWidths) {
    NewTable(2, 2, "", {}, true);   // fractions of a 8,640-twip table
    item_.work->forceToWindow = 1;
    item_.defaultTableWidth = 7200;
    EXPECT_EQ(Run("Table 1", Op(talix::kOpSetTableFitToWindow, 0, 1)), 0);
    std::vector<Rec> records = Saved();
    for (const Rec& cell : Only(records, kSigTableCell)) {
        const bool first = cell.bytes[3] == 0;
        EXPECT_EQ(cell.Word(4), first ? 1440 : 1440 + 3600);
        EXPECT_EQ(cell.Word(6), first ? 1440 + 3600 : 1440 + 7200);
    }
    EXPECT_EQ(Only(records, kSigPreTableBegin)[0].Dword(4) & 0x41, 0x41u);
    EXPECT_EQ(Only(records, kSigTableBegin)[0].Word(12) & 1, 1);

    EXPECT_EQ(Run("Table 1", Op(talix::kOpSetTableFitToWindow, 0, 0)), 0);
    records = Saved();
    EXPECT_EQ(Only(records, kSigPreTableBegin)[0].Dword(4) & 0x41, 0u);
    EXPECT_EQ(Only(records, kSigTableBegin)[0].Word(12) & 1, 0);
    Run("Table 1", Op(talix::kOpGetTableFitToWindow));
    EXPECT_STREQ(session_.messageBuffer, "FALSE");

    // The margins of a cell, and the smallest and largest margins.
    EXPECT_EQ(Run("Table 1", Words(talix::kOpGetCellMargins, 2, 2)), 0);
    EXPECT_EQ(session_.workArea->table.cellLeftMargin, 1440 + 3600);
    EXPECT_EQ(session_.workArea->table.cellRightMargin, 1440 + 7200);
    // The column definitions reach to their cells' old right edges.
    EXPECT_EQ(Answer("Table 1", Op(talix::kOpGetMarginRange, 2604)), "6.972");
    EXPECT_EQ(Answer("Table 1", Op(talix::kOpGetMarginRange, 2605)), "1.000");
}

TEST_F(TableOperationTest, RowLabelsAreSetOncePerRowAndCut) {
    NewTable(2, 2, "", {"TabLabel=first"});
    EXPECT_EQ(Run("Table 1; Row 2", Op(talix::kOpGetRowLabel)), 0);
    EXPECT_STREQ(session_.messageBuffer, "first");

    // The row without a label gets one after its first cell.
    const char* label = "Renamed";
    EXPECT_EQ(Run("Table 1", Words(talix::kOpSetRowLabel, 0, 7, 0, 0, label)), 0);
    std::vector<Rec> records = Saved();
    ASSERT_EQ(Count(records, kSigTableLabel), 2u);
    for (const Rec& record : Only(records, kSigTableLabel)) {
        EXPECT_STREQ(reinterpret_cast<const char*>(record.bytes.data() + 4), "Renamed");
        EXPECT_EQ(record.bytes.size(), 140u);
    }
    std::vector<std::uint16_t> order;
    for (const Rec& record : records)
        if (record.signature == kSigTableCell || record.signature == kSigTableLabel) order.push_back(record.signature);
    EXPECT_EQ(order, (std::vector<std::uint16_t>{kSigTableCell, kSigTableLabel, kSigTableCell, kSigTableCell,
                                                 kSigTableLabel, kSigTableCell}));

    // A one-column table: labels go before the next row and the table end;
    // a label is cut to 127 bytes.
    NewTable(2, 1);
    const std::string longLabel(200, 'L');
    EXPECT_EQ(Run("Table 1", Words(talix::kOpSetRowLabel, 0, 200, 0, 0, longLabel.c_str())), 0);
    records = Saved();
    ASSERT_EQ(Count(records, kSigTableLabel), 2u);
    EXPECT_EQ(records[IndexOf(records, kSigTableEnd) - 1].signature, kSigTableLabel);
    EXPECT_EQ(std::strlen(reinterpret_cast<const char*>(Only(records, kSigTableLabel)[0].bytes.data() + 4)), 127u);
    EXPECT_EQ(Run("Table 1; Row 2", Op(talix::kOpGetRowLabel)), 0);
    EXPECT_EQ(std::string(session_.messageBuffer), std::string(127, 'L'));
}

TEST_F(TableOperationTest, HTMLAttributesOfTablesAndCellsKeepOneBracketPair) {
    // A table without a bracketed group gets one.
    NewTable(2, 2);
    Operation set = Op(talix::kOpSetHtmlAttribute, 3, 1);
    set.second = "grid";
    EXPECT_EQ(Run("Table 1", set), 0);
    std::vector<Rec> records = Saved();
    EXPECT_EQ(Count(records, kSigBegin), 1u);
    EXPECT_EQ(Count(records, kSigEnd), 1u);
    ASSERT_EQ(Count(records, kSigIdName), 1u);
    const std::size_t begin = IndexOf(records, kSigBegin);
    EXPECT_EQ(records[begin].Word(4), kSigPreTableBegin);
    EXPECT_EQ(records[begin + 1].signature, kSigPreTableBegin);
    EXPECT_EQ(records[begin + 2].signature, kSigIdName);
    EXPECT_EQ(records[begin + 3].signature, kSigEnd);
    EXPECT_EQ(Answer("Table 1", Words(talix::kOpGetHtmlAttribute, 3, 1)), "grid");

    // Changing it replaces the text in place: still one pair, one record.
    set.second = "wide-grid";
    EXPECT_EQ(Run("Table 1", set), 0);
    set.op2 = 2;   // the id
    set.second = "t1";
    EXPECT_EQ(Run("Table 1", set), 0);
    records = Saved();
    EXPECT_EQ(Count(records, kSigBegin), 1u);
    EXPECT_EQ(Count(records, kSigIdName), 1u);
    EXPECT_EQ(Answer("Table 1", Words(talix::kOpGetHtmlAttribute, 3, 1)), "wide-grid");
    EXPECT_EQ(Answer("Table 1", Words(talix::kOpGetHtmlAttribute, 2, 1)), "t1");

    // A table built with a bracketed group takes the record inside it.
    NewTable(1, 2, "BorderStyle=SOLID");
    set = Op(talix::kOpSetHtmlAttribute, 4, 1);
    set.second = "color: red";
    EXPECT_EQ(Run("Table 1", set), 0);
    records = Saved();
    EXPECT_EQ(Count(records, kSigBegin), 1u);
    EXPECT_EQ(Count(records, kSigEnd), 1u);
    EXPECT_EQ(IndexOf(records, kSigIdName) + 1, IndexOf(records, kSigEnd));
    EXPECT_EQ(Answer("Table 1", Words(talix::kOpGetHtmlAttribute, 4, 1)), "color: red");

    // Cells: a record after each cell of a row, changed on a second run.
    set = Op(talix::kOpSetHtmlAttribute, 5, 2);
    set.second = "tip";
    EXPECT_EQ(Run("Table 1; Row 1", set), 0);
    set.second = "other tip";
    EXPECT_EQ(Run("Table 1; Row 1; Column 2", set), 0);
    records = Saved();
    ASSERT_EQ(Count(records, kCellIdName), 2u);
    EXPECT_EQ(IndexOf(records, kCellIdName) < IndexOf(records, kSigTableCell, IndexOf(records, kSigTableCell) + 1),
              true);
    EXPECT_EQ(Answer("Table 1; Row 1; Column 1", Words(talix::kOpGetHtmlAttribute, 5, 2)), "tip");
    EXPECT_EQ(Answer("Table 1; Row 1; Column 2", Words(talix::kOpGetHtmlAttribute, 5, 2)), "other tip");
    EXPECT_EQ(Answer("Table 1; Row 1; Column 2", Words(talix::kOpGetHtmlAttribute, 3, 2)), "");
}

TEST_F(TableOperationTest, BordersAndPropertyTextOfATable) {
    NewTable(2, 2,
             "CellBorder=SD RowDisplay=TABBED TabSide=Left TableColorStyle=ALTERNATING_ROWS TableBodyColor=RED "
             "TableColor=RGB1,2,3 RowCycleMilliseconds=250 TableHTMLClass=grid TabIndent=0.5 TabsEqual=Yes");
    EXPECT_EQ(Answer("Table 1; Row 2; Column 2", Op(talix::kOpGetCellBorder)), "2,2,1,2");
    EXPECT_EQ(Answer("Table 1", Op(talix::kOpGetCellBorder, 4)), "2");
    EXPECT_EQ(Answer("Table 1", Op(talix::kOpGetCellBorder, 3)), "1");
    session_.textResult[0] = '\0';
    session_.textResultLength = 0;
    EXPECT_EQ(Run("Table 1", Op(talix::kOpGetCellBorder, 9)), 0);
    EXPECT_STREQ(session_.textResult, "");

    const std::string words = Answer("Table 1", Op(talix::kOpGetTableProperties, 29));
    for (const char* word : {"TableWidth=FIXED ", "RowDisplay=TABBED TabSide=LEFT ", "TableBodyColor=Red ",
                             "TableColor=RGB1,2,3 ", "TableColorStyle=Alternating_Rows ", "RowCycleMilliseconds=250 ",
                             "TableHTMLClass='grid' ", "TabIndent=\"0.50\" ", "TabsEqual=Yes "})
        EXPECT_NE(words.find(word), std::string::npos) << word << " in " << words;
    // Each keyword once.
    EXPECT_EQ(words.find("TableWidth="), words.rfind("TableWidth="));
    EXPECT_EQ(Answer("Table 1", Op(talix::kOpGetTableProperties, 0)), "TableWidth=FIXED ");

    // A chunk of several tables is described by its first: the row cycle
    // and the HTML attributes of the later ones are theirs.
    Request(1);
    ZervaRTChunk* all = item_.DefineChunk("Everything");
    ASSERT_EQ(RunOperation(all, Op(talix::kOpAppendTable, 1, 1, "RowCycleMilliseconds=900 TableHTMLClass=later")), 0);
    delete all;
    ASSERT_EQ(item_.Save(), 0);
    const std::string first = Answer("Everything", Op(talix::kOpGetTableProperties, 29));
    EXPECT_EQ(first, words);
    EXPECT_EQ(Answer("Table 2", Op(talix::kOpGetTableProperties, 2)), "RowCycleMilliseconds=900 ");
    EXPECT_EQ(Answer("Everything", Op(talix::kOpGetTableProperties, 2)), "RowCycleMilliseconds=250 ");
}

} // namespace

namespace {

// Every table of the rich-text items of the exported notes: counted, and
// walked row by row and column by column.
TEST(TablesRealData, EveryTableIsWalkedRowByRowAndColumnByColumn) {
    talix_test::TempDir dir;
    const std::string path = dir.file("real.nsf");
    std::vector<talix_test::NoteItem> targets;
    const auto files = talix_test::SampleAndSharedDxlFiles();
    ASSERT_EQ(talix_test::ImportRichTextItems(path, files, /*withImageData=*/true, &targets), plat::NOERROR);

    RARIvoSession session;
    int tables = 0, cells = 0;
    for (const auto& [id, name] : targets) {
        SCOPED_TRACE("note " + std::to_string(id) + " item " + name);
        ZervaRTItem item(&session);
        item.Connect("", path.c_str(), id, name.c_str(), 0);
        ASSERT_EQ(item.connected, 1);
        ZervaRTChunk* everything = item.DefineChunk("Everything");
        const std::int16_t count = everything->GetCount("Table");
        ASSERT_GE(count, 0);
        for (int t = 1; t <= count; ++t) {
            ++tables;
            const std::string table = "Table " + std::to_string(t);
            ZervaRTChunk* chunk = item.DefineChunk(table.c_str());
            const std::int16_t rows = chunk->GetCount("Row");
            EXPECT_GT(rows, 0) << table;
            for (int row = 1; row <= rows; ++row) {
                const std::string rowText = table + "; Row " + std::to_string(row);
                ZervaRTChunk* rowChunk = item.DefineChunk(rowText.c_str());
                EXPECT_EQ(rowChunk->Exists(), 1) << rowText;
                const std::int16_t columns = rowChunk->GetCount("Column");
                EXPECT_GT(columns, 0) << rowText;
                for (int column = 1; column <= columns; ++column) {
                    const std::string cellText = rowText + "; Column " + std::to_string(column);
                    ZervaRTChunk* cell = item.DefineChunk(cellText.c_str());
                    EXPECT_EQ(cell->Exists(), 1) << cellText;
                    EXPECT_EQ(RunOperation(cell, Op(talix::kOpGetCellBorder)), 0) << cellText;
                    ++cells;
                    delete cell;
                }
                delete rowChunk;
            }
            EXPECT_EQ(RunOperation(chunk, Op(talix::kOpGetTableProperties, 29)), 0) << table;
            delete chunk;
        }
    }
    EXPECT_GT(tables, 0);
    EXPECT_GT(cells, tables);
}

} // namespace
