// Table rows: appending a copy of a row (with its contents, or as an empty
// row filled from per-column cell texts) and sorting the rows of a table by
// the keys of one column. Tables are built by the table append, cells
// filled by setting their text, and the results read back from the note.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/chunk_definition.h"
#include "core/chunk_work_state.h"
#include "core/record_forms.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "edit_fixture.h"
#include "engine/record_process.h"
#include "support/op_runner.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using engine_test::Bracket;
using engine_test::Rec;
using engine_test::Records;
using talix::kSigPreTableBegin;
using talix::kSigTableCell;
using talix::kSigTableCellColor;
using talix::kSigTableEnd;
using talix::kSigText;
using talix_test::Op;
using talix_test::Operation;
using talix_test::RunOperation;

using Table = std::vector<std::vector<std::string>>;

class RowTest : public engine_test::EditTest {
protected:
    // A note whose body is a line of text and a table holding the texts,
    // appended as AppendTable appends tables and filled cell by cell.
    void NewTable(const Table& cells, const char* options = "") {
        ASSERT_NE(Open(engine_test::Runs({"intro"})), nullptr);
        AddTable(cells, 1, options);
    }

    // Appends table number `number` of the item at its end, holding the texts.
    void AddTable(const Table& cells, int number, const char* options = "") {
        const auto rows = static_cast<std::uint16_t>(cells.size());
        const auto columns = static_cast<std::uint16_t>(cells.front().size());
        talix::TableRequest& request = session_.workArea->table;
        request = talix::TableRequest();
        request.tableWidth = 8640;
        for (std::uint16_t column = 0; column < columns; ++column)
            request.columnWidths[column] = static_cast<std::uint16_t>(8640 / columns);
        ASSERT_EQ(Run("Everything", Op(talix::kOpAppendTable, columns, rows, options)), 0);
        request = talix::TableRequest();
        for (std::size_t row = 0; row < cells.size(); ++row) {
            for (std::size_t column = 0; column < cells[row].size(); ++column) {
                const std::string cell = "Table " + std::to_string(number) + "; Row " + std::to_string(row + 1) +
                                         "; Column " + std::to_string(column + 1);
                ASSERT_EQ(Run(cell.c_str(), talix_test::TextOperation(talix::kOpSetText, cells[row][column].c_str())),
                          0)
                    << cell;
            }
        }
        ASSERT_EQ(item_.Save(), 0);
    }

    // AppendRow as the chunk method runs it: the model row is located, then
    // copied with its records' range.
    std::uint16_t AppendRow(const char* definition, int row, bool keepContents, std::uint32_t appendAtEnd = 1) {
        session_.workArea->foundFirstRecord = 0;
        session_.workArea->foundLastRecord = 0;
        const std::string model = "Table 1; Row " + std::to_string(row);
        if (Run(model.c_str(), Op(talix::kOpQuery, 0)) != 0 || session_.workArea->foundFirstRecord == 0) return 0xFFFF;
        Operation append =
            Op(talix::kOpAppendRow, session_.workArea->foundFirstRecord, session_.workArea->foundLastRecord);
        append.a4 = keepContents ? 1 : 0;
        return Run(definition, append, appendAtEnd);
    }

    // SortByRow's two runs: the keys of a column (counted from 1), then the
    // rows of the table rewritten in their order: 2396 sorts the keys by the
    // order words first, 2397 takes them as they stand (after arrange, when
    // given, has reordered them).
    std::uint16_t Sort(std::uint16_t column, const char* order, std::uint16_t titleRows,
                       talix::OperationCode code = talix::kOpReorderRows,
                       const std::function<void(talix::ChunkWorkState*)>& arrange = nullptr,
                       const char* definition = "Table 1") {
        ZervaRTChunk* table = item_.DefineChunk(definition);
        Operation keys = Op(talix::kOpCollectSortKeys, column, titleRows > 0 ? 1 : 0);
        keys.a4 = titleRows;
        keys.second = "TEXT";
        std::uint16_t status = RunOperation(table, keys);
        if (status == 0) {
            if (arrange) arrange(table->work);
            // "Row *" names many targets: the run goes on after the first.
            std::uint32_t single = 0;
            talix::ChunkDefInfo* rows = talix::ParseChunkDefinition(&session_, 0, table->work->chain, "Row *", &single);
            const std::uint32_t saved = table->work->singleTarget;
            table->work->singleTarget = saved != 0 && single != 0 ? 1 : 0;
            status = talix::PerformChunkAction(table, 0, nullptr, code, 0, 0, 0, 0, order, nullptr, nullptr, rows,
                                               table);
            table->work->singleTarget = saved;
            talix::FreeChunkDefinition(rows);
            keysLeft_ = table->work->sortKeyCount;
        }
        delete table;
        return status;
    }

    // The texts of the saved table's cells, row by row.
    Table SavedCells() {
        Table table;
        for (const Rec& record : Saved()) {
            if (record.signature == kSigTableCell) {
                if (record.bytes[3] == 0) table.emplace_back();
                table.back().emplace_back();
            } else if (record.signature == kSigText && !table.empty() && !record.Text().empty()) {
                table.back().back() += record.Text();
            } else if (record.signature == kSigTableEnd) {
                break;
            }
        }
        return table;
    }

    std::uint32_t keysLeft_ = 0;

    int SavedRowCount() {
        for (const Rec& record : Saved())
            if (record.signature == kSigPreTableBegin) return record.bytes[8];
        return -1;
    }
};

const Table kNumbers = {{"Num", "Name"}, {"2", "two"}, {"10", "ten"}, {"1", "one"}};

TEST_F(RowTest, RowsAreCopiedWithTheirContentsWhereTheChunkSays) {
    NewTable({{"a1", "a2"}, {"b1", "b2"}, {"c1", "c2"}});
    ASSERT_EQ(SavedRowCount(), 3);

    // At the end of the table.
    EXPECT_EQ(AppendRow("Table 1", 2, true), 0);
    EXPECT_EQ(SavedCells(), (Table{{"a1", "a2"}, {"b1", "b2"}, {"c1", "c2"}, {"b1", "b2"}}));
    EXPECT_EQ(SavedRowCount(), 4);

    // After a row chunk, and before the first row of a table chunk that
    // appends before itself.
    EXPECT_EQ(AppendRow("Table 1; Row 1", 3, true), 0);
    EXPECT_EQ(AppendRow("Table 1", 1, true, 0), 0);
    EXPECT_EQ(SavedCells(),
              (Table{{"a1", "a2"}, {"a1", "a2"}, {"c1", "c2"}, {"b1", "b2"}, {"c1", "c2"}, {"b1", "b2"}}));
    EXPECT_EQ(SavedRowCount(), 6);

    // The cells of the copies are numbered by their new rows.
    int row = -1;
    for (const Rec& record : Saved())
        if (record.signature == kSigTableCell) {
            if (record.bytes[3] == 0) ++row;
            EXPECT_EQ(record.bytes[2], row);
        }
}

TEST_F(RowTest, AnEmptyRowTakesItsCellsFromTheCellTexts) {
    NewTable({{"a1", "a2"}, {"b1", "b2"}, {"c1", "c2"}});
    const std::string first = "Text='x' CellColor='red' RowHeight=0.5 TabLabel='Tab'";
    const std::string second = "plain words";
    session_.workArea->table.columnOptions[0] = first.c_str();
    session_.workArea->table.columnOptions[1] = second.c_str();
    EXPECT_EQ(AppendRow("Table 1", 1, false), 0);
    session_.workArea->table = talix::TableRequest();

    EXPECT_EQ(SavedCells(), (Table{{"a1", "a2"}, {"b1", "b2"}, {"c1", "c2"}, {"x", "plain words"}}));
    const std::vector<Rec> records = Saved();
    std::vector<const Rec*> cells;
    const Rec* colour = nullptr;
    const Rec* label = nullptr;
    const Rec* height = nullptr;
    for (const Rec& record : records) {
        if (record.signature == kSigTableCell) cells.push_back(&record);
        if (cells.size() == 7 && record.signature == kSigTableCellColor) colour = &record;
        if (cells.size() == 7 && record.signature == 0xFFE3) label = &record;
        if (cells.size() == 7 && record.signature == 0xE2) height = &record;
    }
    ASSERT_EQ(cells.size(), 8u);
    EXPECT_EQ(cells[6]->bytes[11] & 0x01, 0x01);   // coloured by index
    EXPECT_EQ(cells[7]->bytes[11] & 0x01, 0x00);
    ASSERT_NE(colour, nullptr);
    EXPECT_EQ(colour->bytes[4], 0xFF);              // red
    EXPECT_EQ(colour->bytes[5], 0);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(label->bytes.data() + 4)), "Tab");
    ASSERT_NE(height, nullptr);
    EXPECT_EQ(height->Word(2), 720);
    EXPECT_EQ(SavedRowCount(), 4);
}

TEST_F(RowTest, AModelRowWithARowSpannedCellIsRefusedAndNothingChanges) {
    NewTable({{"a1", "a2"}, {"b1", "b2"}, {"c1", "c2"}});
    Operation merge = Op(talix::kOpMergeCells, 1, 1);
    merge.a4 = 2;
    merge.a5 = 1;
    ASSERT_EQ(Run("Table 1", merge), 0);
    ASSERT_EQ(item_.Save(), 0);
    const std::vector<std::string> before = db_.Stored(id_);

    EXPECT_EQ(AppendRow("Table 1", 1, true), 257);
    EXPECT_EQ(AppendRow("Table 1", 2, false), 257);
    EXPECT_EQ(db_.Stored(id_), before);
    // A row without spanned cells still goes.
    EXPECT_EQ(AppendRow("Table 1", 3, true), 0);
    EXPECT_EQ(SavedCells().size(), 4u);
}

TEST_F(RowTest, RowsAreSortedByTheKeysOfOneColumnBelowTheTitleRows) {
    NewTable(kNumbers);
    EXPECT_EQ(Sort(1, "Reverse Numeric", 1), 0);
    EXPECT_EQ(SavedCells(), (Table{{"Num", "Name"}, {"10", "ten"}, {"2", "two"}, {"1", "one"}}));

    EXPECT_EQ(Sort(1, "Numeric", 1), 0);
    EXPECT_EQ(SavedCells(), (Table{{"Num", "Name"}, {"1", "one"}, {"2", "two"}, {"10", "ten"}}));

    // By the text of the second column, with no title row.
    EXPECT_EQ(Sort(2, nullptr, 0), 0);
    EXPECT_EQ(SavedCells(), (Table{{"Num", "Name"}, {"1", "one"}, {"10", "ten"}, {"2", "two"}}));
    EXPECT_EQ(Sort(2, "Reverse", 0), 0);
    EXPECT_EQ(SavedCells(), (Table{{"2", "two"}, {"10", "ten"}, {"1", "one"}, {"Num", "Name"}}));
    EXPECT_EQ(SavedRowCount(), 4);
}

// The signatures of the saved records from the last cell of the first
// table (not included) to its end (included).
std::vector<std::uint16_t> AfterLastCell(const std::vector<Rec>& records) {
    std::size_t last = 0;
    for (std::size_t i = 0; i < records.size() && records[i].signature != kSigTableEnd; ++i)
        if (records[i].signature == kSigTableCell) last = i;
    std::vector<std::uint16_t> after;
    for (std::size_t i = last + 1; i < records.size(); ++i) {
        if (records[i].signature != 0x81 && records[i].signature != 0x83 && records[i].signature != 0xFF82 &&
            records[i].signature != kSigText)
            after.push_back(records[i].signature);
        if (records[i].signature == kSigTableEnd) break;
    }
    return after;
}

int SignatureCount(const std::vector<Rec>& records, std::uint16_t signature) {
    return static_cast<int>(std::count_if(records.begin(), records.end(),
                                          [signature](const Rec& record) { return record.signature == signature; }));
}

TEST_F(RowTest, TheRowCycleOfATableStaysOnceAtItsEndWhenRowsAreSortedOrCopied) {
    NewTable({{"b1", "b2"}, {"a1", "a2"}}, "RowCycleMilliseconds=700");
    const std::vector<std::uint16_t> end = {talix::kSigTimerInfo, kSigTableEnd};
    ASSERT_EQ(AfterLastCell(Saved()), end);

    EXPECT_EQ(Sort(1, nullptr, 0), 0);
    EXPECT_EQ(SavedCells(), (Table{{"a1", "a2"}, {"b1", "b2"}}));
    EXPECT_EQ(AfterLastCell(Saved()), end);
    EXPECT_EQ(SignatureCount(Saved(), talix::kSigTimerInfo), 1);

    // A copy of the last row, at the table's end and after a row chunk.
    EXPECT_EQ(AppendRow("Table 1", 2, true), 0);
    EXPECT_EQ(AppendRow("Table 1; Row 3", 1, true), 0);
    EXPECT_EQ(SavedCells(), (Table{{"a1", "a2"}, {"b1", "b2"}, {"b1", "b2"}, {"a1", "a2"}}));
    EXPECT_EQ(AfterLastCell(Saved()), end);
    EXPECT_EQ(SignatureCount(Saved(), talix::kSigTimerInfo), 1);
    // Copied before the first row and emptied, a row brings none either.
    EXPECT_EQ(AppendRow("Table 1", 4, true, 0), 0);
    EXPECT_EQ(AppendRow("Table 1", 4, false), 0);
    EXPECT_EQ(SignatureCount(Saved(), talix::kSigTimerInfo), 1);
    EXPECT_EQ(AfterLastCell(Saved()), end);
    // The interval is the one given.
    for (const Rec& record : Saved())
        if (record.signature == talix::kSigTimerInfo) EXPECT_EQ(record.Dword(4), 700u);
}

TEST_F(RowTest, RowsJoinedByACellMergedAcrossThemAreNotSorted) {
    // A block over rows 2 and 3: moving either row would split it.
    NewTable({{"k", "t"}, {"c", "x"}, {"b", "y"}, {"a", "z"}});
    Operation merge = Op(talix::kOpMergeCells, 2, 2);
    merge.a4 = 3;
    merge.a5 = 2;
    ASSERT_EQ(Run("Table 1", merge), 0);
    ASSERT_EQ(item_.Save(), 0);
    const std::vector<std::string> before = db_.Stored(id_);
    EXPECT_EQ(Sort(1, nullptr, 1), 257);
    EXPECT_EQ(db_.Stored(id_), before);
    EXPECT_EQ(Sort(1, "Reverse", 0), 257);
    EXPECT_EQ(db_.Stored(id_), before);

    // A block within the title rows, and one within a row, go with their rows.
    NewTable({{"k", "t"}, {"k2", "t2"}, {"b", "z"}, {"a", "y"}});
    merge = Op(talix::kOpMergeCells, 1, 1);
    merge.a4 = 2;
    merge.a5 = 1;
    ASSERT_EQ(Run("Table 1", merge), 0);
    merge = Op(talix::kOpMergeCells, 3, 1);
    merge.a4 = 3;
    merge.a5 = 2;
    ASSERT_EQ(Run("Table 1", merge), 0);
    ASSERT_EQ(item_.Save(), 0);
    EXPECT_EQ(Sort(2, nullptr, 2), 0);
    const Table sorted = SavedCells();
    ASSERT_EQ(sorted.size(), 4u);
    EXPECT_EQ(sorted[2], (std::vector<std::string>{"a", "y"}));
    EXPECT_EQ(sorted[3], (std::vector<std::string>{"b", "z"}));
    for (const Rec& record : Saved())
        if (record.signature == kSigTableCell && record.bytes[15] == 2) EXPECT_EQ(record.bytes[2], 3);
}

TEST_F(RowTest, APositionListTakesTheTextOfEachTargetByKind) {
    NewTable(kNumbers);
    ZervaRTChunk* rows = item_.DefineChunk("Table 1; Row *");
    ASSERT_NE(rows, nullptr);
    Operation positions = Op(talix::kOpPositionList, 2);
    positions.second = "TEXT";
    ASSERT_EQ(RunOperation(rows, positions), 0);
    std::vector<std::string> texts;
    for (std::uint32_t i = 0; i < rows->work->sortKeyCount; ++i) {
        const talix::SortKey& key = rows->work->sortKeys[i];
        EXPECT_LT(key.firstRecord, key.lastRecord);
        texts.emplace_back(key.text != nullptr ? key.text : "");
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"Name", "two", "ten", "one"}));

    // Without a kind only the positions are listed.
    ASSERT_EQ(RunOperation(rows, Op(talix::kOpPositionList, 2)), 0);
    ASSERT_EQ(rows->work->sortKeyCount, 4u);
    EXPECT_EQ(rows->work->sortKeys[0].text, nullptr);
}

TEST_F(RowTest, NothingToSortLeavesTheTableAsItWas) {
    NewTable({{"only", "row"}});
    const std::vector<std::string> before = db_.Stored(id_);
    EXPECT_EQ(Sort(1, "Numeric", 0), 1026);
    EXPECT_EQ(db_.Stored(id_), before);

    // Only the title row has a text: its key stays empty.
    NewTable({{"title", "x"}, {"", "y"}, {"", "z"}});
    const std::vector<std::string> untitled = db_.Stored(id_);
    EXPECT_EQ(Sort(1, nullptr, 1), 1026);
    EXPECT_EQ(db_.Stored(id_), untitled);
}

TEST_F(RowTest, RowsAreWrittenInTheOrderTheirKeysStand) {
    NewTable(kNumbers);
    // The keys as collected, turned round: the rows follow them, the
    // number of rows stays, and the run uses the keys up.
    auto reverse = [](talix::ChunkWorkState* work) {
        std::reverse(work->sortKeys, work->sortKeys + work->sortKeyCount);
    };
    EXPECT_EQ(Sort(2, nullptr, 0, talix::kOpReorderRowsAsKeyed, reverse), 0);
    EXPECT_EQ(SavedCells(), (Table{{"1", "one"}, {"10", "ten"}, {"2", "two"}, {"Num", "Name"}}));
    EXPECT_EQ(keysLeft_, 0u);
    EXPECT_EQ(SavedRowCount(), 4);

    // Keys without texts order the rows as well (a column the table lacks
    // gives none); sorting them would have nothing to go by.
    EXPECT_EQ(Sort(5, nullptr, 0, talix::kOpReorderRowsAsKeyed, reverse), 0);
    EXPECT_EQ(SavedCells(), (Table{{"Num", "Name"}, {"2", "two"}, {"10", "ten"}, {"1", "one"}}));
    EXPECT_EQ(Sort(5, nullptr, 0, talix::kOpReorderRows), talix::kNoSortKeys);

    // A chunk without keys: the rows are not dropped.
    const std::vector<std::string> before = db_.Stored(id_);
    EXPECT_EQ(Run("Table 1", Op(talix::kOpReorderRowsAsKeyed)), talix::kNoSortKeys);
    EXPECT_EQ(db_.Stored(id_), before);
}

TEST_F(RowTest, ARowCopiedBeforeTheRowsItCameAfterFindsItsParagraphDefinitions) {
    // The rows below the first refer to the definitions the first row holds;
    // a copy of the second row before the first brings them with it.
    NewTable({{"a1", "a2"}, {"b1", "b2"}, {"c1", "c2"}});
    EXPECT_EQ(AppendRow("Table 1", 2, true, 0), 0);
    EXPECT_EQ(SavedCells(), (Table{{"b1", "b2"}, {"a1", "a2"}, {"b1", "b2"}, {"c1", "c2"}}));
    EXPECT_EQ(AppendRow("Table 1; Row 1", 4, true, 0), 0);
    EXPECT_EQ(SavedCells(), (Table{{"c1", "c2"}, {"b1", "b2"}, {"a1", "a2"}, {"b1", "b2"}, {"c1", "c2"}}));
}

// For each row of table `table` (counted from 1 at the outermost level), by
// its first text: the paragraph definition in force at each of its
// references (the last definition of that id before it).
std::map<std::string, std::vector<std::vector<std::uint8_t>>> RowFormats(const std::vector<Rec>& records, int table) {
    std::map<std::uint16_t, std::vector<std::uint8_t>> definitions;
    std::map<std::string, std::vector<std::vector<std::uint8_t>>> rows;
    std::vector<std::vector<std::uint8_t>> row;
    std::string name;
    int tables = 0, depth = 0;
    auto finish = [&] {
        if (!row.empty()) rows[name] = row;
        row.clear();
        name.clear();
    };
    for (const Rec& record : records) {
        if (record.signature == 0xA3 && ++tables == table) depth = 1;
        if (depth == 0) {
            if (record.signature == 0xFF82) definitions[record.Word(4)] = record.bytes;
            continue;
        }
        if (record.signature == 0xFF82) definitions[record.Word(4)] = record.bytes;
        if (record.signature == kSigTableCell && record.bytes[3] == 0) finish();
        if (record.signature == 0x83) row.push_back(definitions[record.Word(2)]);
        if (record.signature == kSigText && name.empty()) name = record.Text();
        if (record.signature == kSigTableEnd) {
            finish();
            depth = 0;
        }
    }
    return rows;
}

TEST_F(RowTest, SortedRowsKeepTheParagraphDefinitionsOfTheirOwnTable) {
    // Two tables, the first one's paragraphs centred: the second table's
    // rows below its first refer to the definitions its first row holds.
    NewTable({{"a1", "a2"}, {"b1", "b2"}});
    AddTable({{"x", "3"}, {"y", "1"}, {"z", "2"}}, 2);
    ASSERT_EQ(Run("Table 1", Op(talix::kOpChangeParagraph, 0, 0, "Justify=CENTER")), 0);
    const auto before = RowFormats(Saved(), 2);
    ASSERT_EQ(before.size(), 3u);
    ASSERT_EQ(Sort(2, "Numeric", 0, talix::kOpReorderRows, nullptr, "Table 2"), 0);

    const std::vector<Rec> records = Saved();
    std::vector<std::string> texts;
    int tables = 0;
    for (const Rec& record : records) {
        if (record.signature == 0xA3) ++tables;
        if (tables == 2 && record.signature == kSigText && !record.Text().empty()) texts.push_back(record.Text());
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"y", "1", "z", "2", "x", "3"}));
    // Every paragraph of every row is formatted as it was: none takes the
    // first table's definition.
    EXPECT_EQ(RowFormats(records, 2), before);
}

// The records of the first table nested in a cell of another, in groups:
// the records before its first cell, then each row's records (from a cell
// of the first column to the next one) with the cells' row bytes cleared,
// in the order they stand, then its end.
std::vector<std::vector<std::vector<std::uint8_t>>> NestedRows(const std::vector<Rec>& records) {
    std::vector<std::vector<std::vector<std::uint8_t>>> rows;
    int depth = 0;
    for (const Rec& record : records) {
        if (record.signature == 0xCF && ++depth == 1) rows.emplace_back();
        if (depth == 0) continue;
        std::vector<std::uint8_t> bytes = record.bytes;
        if (record.signature == 0xD0 && depth == 1) {
            if (bytes[3] == 0) rows.emplace_back();
            bytes[2] = 0;
        }
        if (record.signature == 0xD1 && depth == 1) rows.emplace_back();
        rows.back().push_back(bytes);
        if (record.signature == 0xD1 && --depth == 0) break;
    }
    return rows;
}

TEST_F(RowTest, RowsHoldingFieldsMoveWholeAndTheFieldsKeepTheirNames) {
    // A tabbed table nested in a table's cell, as a form lays one out: a
    // title row, then rows of a key and a field, each row ending in its tab
    // label. "Price" has a value in the note already; "Size" has none.
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"Key", ""}, {"c", "Price"}, {"a", "Size"}, {"b", ""}};
    Records records = engine_test::Runs({"intro"});
    records.push_back(engine_test::Paragraph());
    records.push_back(talix_test::HostRecord(0xA3, 14));
    records.push_back(talix_test::HostRecord(kSigTableCell, 18));
    records.push_back(engine_test::ReferenceTo(1));
    records.push_back(engine_test::Paragraph());
    records.push_back(talix_test::HostRecord(0xCF, 14));
    for (std::size_t row = 0; row < rows.size(); ++row) {
        talix_test::FixtureRecord cell = talix_test::HostRecord(0xD0, 18);
        cell.bytes[2] = static_cast<std::uint8_t>(row);
        records.push_back(cell);
        records.push_back(engine_test::Paragraph());
        records.push_back(engine_test::ReferenceTo(1));
        records.push_back(engine_test::Text(rows[row].first));
        if (!rows[row].second.empty()) {
            records.push_back(Bracket(talix::kSigBegin, talix::kSigField));
            records.push_back(talix_test::HeadAndText(talix::kSigField, 40, 32, rows[row].second));
            records.push_back(Bracket(talix::kSigEnd, talix::kSigField));
        }
        talix_test::FixtureRecord label = talix_test::HostRecord(0xFFE3, 140);
        label.bytes[4] = static_cast<std::uint8_t>('A' + row);
        records.push_back(label);
    }
    records.push_back(talix_test::HostRecord(0xD1, 6));
    records.push_back(engine_test::Paragraph());
    records.push_back(engine_test::ReferenceTo(1));
    records.push_back(engine_test::Text(""));
    records.push_back(talix_test::HostRecord(kSigTableEnd, 6));
    records.push_back(engine_test::Paragraph());
    records.push_back(engine_test::ReferenceTo(1));
    records.push_back(engine_test::Text("after"));
    records.push_back(engine_test::Text(""));
    ASSERT_NE(Open(records), nullptr);
    ASSERT_EQ(plat::ItemSetText(item_.noteHandle, "Price", "9", 1), 0);
    ASSERT_EQ(item_.Save(), 0);

    const std::vector<Rec> before = Saved();
    const auto original = NestedRows(before);
    ASSERT_EQ(original.size(), 6u);
    const char* nested = "Table 1; Row 1; Column 1; Table 1";
    auto rest = [](const std::vector<Rec>& all) {
        std::vector<std::vector<std::uint8_t>> outside;
        int depth = 0;
        for (const Rec& record : all) {
            if (record.signature == 0xCF) ++depth;
            if (depth == 0) outside.push_back(record.bytes);
            if (record.signature == 0xD1) --depth;
        }
        return outside;
    };
    // Sorted by the keys below the title row, then sorted again (the order
    // kept): the rows are the same records, whole, in the keys' order, and
    // nothing outside the rows changes.
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        ASSERT_EQ(Sort(1, nullptr, 1, talix::kOpReorderRows, nullptr, nested), 0);
        const std::vector<Rec> after = Saved();
        const auto sorted = NestedRows(after);
        ASSERT_EQ(sorted.size(), 6u);
        EXPECT_EQ(sorted[0], original[0]);
        EXPECT_EQ(sorted[1], original[1]);
        EXPECT_EQ(sorted[2], original[3]);
        EXPECT_EQ(sorted[3], original[4]);
        EXPECT_EQ(sorted[4], original[2]);
        EXPECT_EQ(sorted[5], original[5]);
        EXPECT_EQ(rest(after), rest(before));
    }
    // The note gains no items and no list of fields.
    EXPECT_FALSE(plat::ItemIsPresent(item_.noteHandle, "Size", 4));
    EXPECT_FALSE(plat::ItemIsPresent(item_.noteHandle, "Price_1", 7));
    EXPECT_FALSE(plat::ItemIsPresent(item_.noteHandle, "$Fields", 7));
    char value[8] = {};
    EXPECT_EQ(plat::ItemGetText(item_.noteHandle, "Price", value, sizeof value), 1);
}

TEST_F(RowTest, SortingRowsAlreadyInOrderChangesNothing) {
    // The first row moves below a row that takes its formats from it: its
    // definitions are put back before that row. A sort that keeps the order
    // then leaves every record as it is, however often it runs.
    NewTable({{"c", "3"}, {"a", "1"}, {"b", "2"}});
    ASSERT_EQ(Sort(1, nullptr, 0), 0);
    EXPECT_EQ(SavedCells(), (Table{{"a", "1"}, {"b", "2"}, {"c", "3"}}));
    const std::vector<std::string> sorted = db_.Stored(id_);
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(Sort(1, nullptr, 0), 0);
        ASSERT_EQ(item_.Save(), 0);
        EXPECT_EQ(db_.Stored(id_), sorted) << run;
    }
}

} // namespace

TEST_F(RowTest, ACellTextLongerThanARunIsKeptWholeInANewRow) {
    NewTable({{"a1", "a2"}});
    // A character of several bytes straddles where one run ends.
    const std::string greek = plat::NativeToLmbcs("\xCE\xB1");
    const std::string longText = std::string(64373, 'a') + greek + std::string(9000, 'b');
    const std::string first = "Text='" + longText + "'";
    const std::string second = "Text='short' TextFont='red'";
    session_.workArea->table.columnOptions[0] = first.c_str();
    session_.workArea->table.columnOptions[1] = second.c_str();
    EXPECT_EQ(AppendRow("Table 1", 1, false), 0);
    session_.workArea->table = talix::TableRequest();
    EXPECT_EQ(SavedCells(), (Table{{"a1", "a2"}, {longText, "short"}}));
}
