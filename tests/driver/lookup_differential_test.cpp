// The single pass of the table look-ups (by the direct scan of a table and
// by the engine's walk) against the reads of one cell at a time: over the test tables and every table of the rich-text items of the
// real exported notes, @DbColumn of each column (plain, whole texts,
// sideways, as numbers) and @DbLookup of each first-column value return
// the same status and the same bytes both ways.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "core/record_io.h"
#include "core/signatures.h"
#include "driver/table_cells.h"
#include "driver/table_lookup.h"
#include "driver_calls.h"
#include "support/rich_text_items.h"
#include "table_notes.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using namespace talix_test;
using Strings = std::vector<std::string>;
using talix::LookUpRoute;

constexpr int kMostColumns = 64;

class LookUpRoutes : public DriverCallTest {
protected:
    void TearDown() override {
        UseRoute(LookUpRoute::SingleWalk);
        DriverCallTest::TearDown();
    }

    // Runs the call every way; the results must agree. Returns the single
    // pass's outcome.
    DriverOutcome Both(plat::WORD function, const Strings& args, const std::string& what) {
        UseRoute(LookUpRoute::SingleWalk);
        DriverOutcome walked = Call(function, args);
        UseRoute(LookUpRoute::EveryCell);
        DriverOutcome read = Call(function, args);
        UseRoute(LookUpRoute::EngineWalk);
        DriverOutcome engine = Call(function, args);
        UseRoute(LookUpRoute::SingleWalk);
        EXPECT_EQ(walked.status, read.status) << what;
        EXPECT_EQ(walked.result, read.result) << what << "\n walked: " << testing::PrintToString(Texts(walked.result))
                                              << "\n read:   " << testing::PrintToString(Texts(read.result));
        EXPECT_EQ(engine.status, read.status) << what;
        EXPECT_EQ(engine.result, read.result) << what << "\n engine: " << testing::PrintToString(Texts(engine.result))
                                              << "\n read:   " << testing::PrintToString(Texts(read.result));
        ++calls_;
        return walked;
    }

    // Every comparison of one chunk of an item: each column in four ways,
    // then each first-column value as an exact and a starting key.
    void CompareChunk(const std::string& database, plat::NOTEID id, const std::string& item,
                      const std::string& chunk, int columns) {
        const Strings address = {TextArg(database), TextArg("N" + HexNoteId(id)), TextListArg({item, chunk})};
        const std::string where = database + " " + HexNoteId(id) + " " + item + " " + chunk;
        auto with = [&](Strings tail) {
            Strings args = address;
            args.insert(args.end(), tail.begin(), tail.end());
            return args;
        };
        for (int column = 1; column <= columns; ++column) {
            for (const char* options : {"", "CompleteText=yes Separator=/", "SidewaysTable=yes",
                                        "Format=Number SkipTitle=yes"}) {
                Both(kDbColumn, with({NumberArg(column), TextArg(options)}),
                     where + " column " + std::to_string(column) + " " + options);
            }
        }
        const int valueColumn = columns >= 2 ? 2 : 1;
        DriverOutcome first = Both(kDbColumn, with({NumberArg(1)}), where + " keys");
        std::set<std::string> keys;
        for (const std::string& key : Texts(first.result))
            if (!key.empty()) keys.insert(key);
        for (const std::string& key : keys) {
            Both(kDbLookup, with({TextArg(key), NumberArg(valueColumn)}), where + " key " + key);
            Both(kDbLookup, with({TextArg(key.substr(0, 1)), NumberArg(valueColumn), TextArg("KeyMatch=STARTS")}),
                 where + " key starting " + key.substr(0, 1));
        }
        Both(kDbLookup, with({NumberListArg({2, 1, 5}), NumberArg(valueColumn)}), where + " rows");
    }

    // Every table of an item, found through the chunk methods.
    int CompareItem(const std::string& database, plat::NOTEID id, const std::string& item) {
        RARIvoSession session;
        ZervaRTItem rtItem(&session);
        if (rtItem.Connect("", database.c_str(), id, item.c_str(), 0) != 0) return 0;
        ZervaRTChunk* everything = rtItem.DefineChunk("Everything");
        const int tables = everything != nullptr ? everything->GetCount("Table") : 0;
        delete everything;
        for (int table = 1; table <= tables; ++table) {
            const std::string name = "Table " + std::to_string(table);
            ZervaRTChunk* chunk = rtItem.DefineChunk(name.c_str());
            int columns = chunk != nullptr ? chunk->GetCount("Column") : 0;
            delete chunk;
            if (columns > kMostColumns) columns = kMostColumns;
            CompareChunk(database, id, item, name, columns < 1 ? 1 : columns);
        }
        return tables;
    }

    // The tables an item's records begin at the outermost level, as the
    // record reader gives them; 0 for an item it refuses.
    int StoredTables(const std::string& database, plat::NOTEID id, const std::string& item) {
        RARIvoSession session;
        ZervaRTItem rtItem(&session);
        if (rtItem.Connect("", database.c_str(), id, item.c_str(), 0) != 0) return 0;
        talix::STATUS status = 0;
        talix::ItemRecordList* list = talix::SIAR(&rtItem, 0, nullptr, 0, 0, 0, nullptr, &status);
        int tables = 0;
        for (const talix::CDRecordNode* node = list != nullptr && status == 0 ? list->head : nullptr; node != nullptr;
             node = node->next)
            tables += node->signature == talix::kSigTableBegin ? 1 : 0;
        talix::DeleteItemRecordList(&session, list);
        return tables;
    }

    // Whether the single pass reads the note's Table 1 by the direct scan:
    // keys in column 1, values in column 2.
    bool Scanned(plat::NOTEID id) {
        RARIvoSession session;
        ZervaRTItem item(&session);
        if (item.Connect("", "calls.nsf", id, "Body", 0) != 0) return false;
        ZervaRTChunk* chunk = item.DefineChunk("Table 1");
        talix::TableCellRequest request;
        request.keyField = 1;
        request.valueField = 2;
        request.textLimit = 300;
        talix::TableCells cells;
        const bool read = chunk != nullptr && talix::CollectTableCells(chunk, request, &cells) == 0;
        delete chunk;
        return read && cells.scanned;
    }

    int calls_ = 0;
};

// A table as a table nested in a cell stores it.
Records NestedTable(const TableRows& rows) {
    Records table;
    AddTable(&table, rows);
    for (FixtureRecord& record : table) {
        if (record.signature == 0x00A3) record = HostRecord(0x00CF, 14);
        if (record.signature == 0x00A5) record = HostRecord(0x00D1, 8);
        if (record.signature == 0x00A4) {
            FixtureRecord cell = HostRecord(0x00D0, 18);
            cell.bytes[2] = record.bytes[2];
            cell.bytes[3] = record.bytes[3];
            record = cell;
        }
    }
    return table;
}

// A BEGIN or END record of an inner signature.
FixtureRecord Bracket(std::uint16_t signature, std::uint16_t inner) {
    FixtureRecord record = HostRecord(signature, 6);
    PutWord(&record, 4, inner);
    return record;
}

// A text run of another direction.
FixtureRecord BidiText(const std::string& text) {
    FixtureRecord record = HostRecord(0xFFE4, static_cast<std::uint32_t>(8 + text.size()));
    PutDword(&record, 4, 0x0A000001);
    std::memcpy(record.bytes.data() + 8, text.data(), text.size());
    return record;
}

// The index of the records after the n-th (1-based) cell record's
// reference.
std::size_t AfterCell(const Records& records, int n) {
    int cells = 0;
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i].signature == 0x00A4 && ++cells == n) return i + 2;
    return records.size();
}

TEST_F(LookUpRoutes, TheScanAssignsRecordsToCellsAsTheWalkDoes) {
    auto note = [&](const Records& table) {
        Records records = Paragraph("Before");
        records.insert(records.end(), table.begin(), table.end());
        records.push_back(HostRecord(0x0081, 2));
        return AddBodyNote("calls.nsf", records);
    };
    auto compare = [&](plat::NOTEID id, int columns) { CompareChunk("calls.nsf", id, "Body", "Table 1", columns); };

    // Merged cells: a row without its middle cell, then cells without a
    // column 0, which continue the row before them.
    Records merged;
    AddTable(&merged, TextRows({{"a", "1", "x"}, {"b", "2", "y"}, {"c", "3", "z"}}));
    merged.erase(merged.begin() + static_cast<long>(AfterCell(merged, 5)) - 2,
                 merged.begin() + static_cast<long>(AfterCell(merged, 5)) + 1);
    merged.erase(merged.begin() + static_cast<long>(AfterCell(merged, 6)) - 2,
                 merged.begin() + static_cast<long>(AfterCell(merged, 6)) + 1);
    const plat::NOTEID mergedId = note(merged);

    // Empty cells and key cells that start with blank runs: an empty run is
    // blank, a run of a space is not.
    Records blanks;
    AddTable(&blanks, {{Cell{"", "a"}, Cell{}}, {Cell{"", " ", "b"}, Cell{"", "2"}}, {Cell{}, Cell{"3"}},
                       {Cell{"", "", "c"}, Cell{"4", "5"}}});
    const plat::NOTEID blanksId = note(blanks);

    // A key cell whose text lies in a nested table, and a value cell
    // holding one.
    const Records inner = NestedTable(TextRows({{"n1", "n2"}, {"n3", "n4"}}));
    Records nested;
    AddTable(&nested, {{Cell{}, Cell{"p"}}, {Cell{"k"}, Cell{"q"}}});
    nested.insert(nested.begin() + static_cast<long>(AfterCell(nested, 4)) + 1, inner.begin(), inner.end());
    nested.insert(nested.begin() + static_cast<long>(AfterCell(nested, 1)) + 1, inner.begin(), inner.end());
    const plat::NOTEID nestedId = note(nested);

    // Hotspots in a value cell and in a key cell before its text, and a key
    // of the other direction.
    Records bracketed;
    AddTable(&bracketed, TextRows({{"a", "1"}, {"b", "2"}, {"c", "3"}}));
    bracketed.insert(bracketed.begin() + static_cast<long>(AfterCell(bracketed, 5)) - 1,
                     {Bracket(0x00DD, 0xFFA9), TextRecord(0x0A000001, ""), Bracket(0x00DE, 0xFFA9)});
    bracketed.insert(bracketed.begin() + static_cast<long>(AfterCell(bracketed, 2)),
                     {Bracket(0x00DD, 0xFFA9), TextRecord(0x0A000001, "link"), Bracket(0x00DE, 0xFFA9)});
    bracketed.insert(bracketed.begin() + static_cast<long>(AfterCell(bracketed, 3)), BidiText("rtl"));
    const plat::NOTEID bracketedId = note(bracketed);

    // The nested table in a BEGIN group around its start, as stored tables
    // often are.
    Records wrapped = nested;
    const std::size_t at = AfterCell(wrapped, 4) + 1;
    wrapped.insert(wrapped.begin() + static_cast<long>(at) + static_cast<long>(inner.size()), Bracket(0x00DE, 0xFFFB));
    wrapped.insert(wrapped.begin() + static_cast<long>(at), Bracket(0x00DD, 0xFFFB));
    wrapped.insert(wrapped.begin(), Bracket(0x00DD, 0xFFFB));
    wrapped.insert(wrapped.begin() + 2, Bracket(0x00DE, 0xFFFB));
    const plat::NOTEID wrappedId = note(wrapped);

    for (plat::NOTEID id : {mergedId, blanksId, nestedId, bracketedId, wrappedId}) {
        compare(id, 3);
        EXPECT_TRUE(Scanned(id)) << HexNoteId(id);
    }
    const Strings address = {TextArg("calls.nsf"), TextArg("N" + HexNoteId(blanksId)), TextArg("Body")};
    Strings args = address;
    args.insert(args.end(), {NumberArg(1), TextArg("CompleteText=yes Separator=+")});
    EXPECT_EQ(Texts(Call(kDbColumn, args).result), (Strings{"a", " +b", "", "c"}));
    args = address;
    args.insert(args.end(), {TextArg(" "), NumberArg(2)});
    EXPECT_EQ(Texts(Call(kDbLookup, args).result), (Strings{"2"}));
    // The key of the other direction is the text of its cell's first run.
    args = {TextArg("calls.nsf"), TextArg("N" + HexNoteId(bracketedId)), TextArg("Body"), NumberArg(1)};
    EXPECT_EQ(Texts(Call(kDbColumn, args).result), (Strings{"a", "rtl", "c"}));
    args = {TextArg("calls.nsf"), TextArg("N" + HexNoteId(bracketedId)), TextArg("Body"), TextArg("rtl"),
            NumberArg(2)};
    EXPECT_EQ(Texts(Call(kDbLookup, args).result), (Strings{"2"}));

    // What the scan leaves to the walk: a text effect, or a BEGIN group
    // around a text run, in a key cell still looking for its text; a table
    // that ends inside a BEGIN group around a table's start, which keeps it
    // from ending.
    Records effect;
    AddTable(&effect, TextRows({{"a", "1"}, {"b", "2"}}));
    effect.insert(effect.begin() + static_cast<long>(AfterCell(effect, 3)), HostRecord(0xFFC3, 8));
    Records grouped;
    AddTable(&grouped, TextRows({{"a", "1"}, {"b", "2"}}));
    grouped.insert(grouped.begin() + static_cast<long>(AfterCell(grouped, 3)),
                   {Bracket(0x00DD, 0xFF85), TextRecord(0x0A000001, "k"), Bracket(0x00DE, 0xFF85)});
    Records unclosed;
    AddTable(&unclosed, TextRows({{"a", "1"}, {"b", "2"}}));
    unclosed.insert(unclosed.begin() + static_cast<long>(AfterCell(unclosed, 2)), Bracket(0x00DD, 0x00A3));
    for (const Records& table : {effect, grouped, unclosed}) {
        const plat::NOTEID id = note(table);
        compare(id, 2);
        EXPECT_FALSE(Scanned(id)) << HexNoteId(id);
    }
}

TEST_F(LookUpRoutes, TestTablesReadAlike) {
    // Cells of several runs, empty ones, a title, a nested table in a cell,
    // a second table, labels, and rows past 256 whose numbers repeat.
    Records records = Paragraph("Before");
    TableRows first = {{Cell{"Name"}, Cell{"Value"}, Cell{"Note"}},
                       {Cell{"a"}, Cell{"1", "", "one"}, Cell{}},
                       {Cell{"", "b"}, Cell{"2"}, Cell{"x", "y"}},
                       {Cell{"bc"}, Cell{"$3,000.25"}, Cell{"last"}}};
    AddTable(&records, first, {"title", "first", "second", "third"});
    records.push_back(HostRecord(0x0081, 2));
    AddTable(&records, TextRows({{"c", "3"}, {"b", "2"}}));
    const plat::NOTEID id = AddBodyNote("calls.nsf", records);
    Records long_ = Paragraph("Long");
    std::vector<std::vector<std::string>> many;
    for (int row = 1; row <= 260; ++row) many.push_back({"k" + std::to_string(row % 3), std::to_string(row)});
    AddTable(&long_, TextRows(many));
    const plat::NOTEID longId = AddBodyNote("calls.nsf", long_);

    // A table whose second row's middle cell holds a nested table.
    Records nested = Paragraph("Nested");
    const Records inner = NestedTable(TextRows({{"n1", "n2"}, {"n3", "n4"}}));
    Records outer;
    AddTable(&outer, TextRows({{"p", "q", "r"}, {"s", "t", "u"}}));
    // After the cell record, reference and text of row 2, column 2 ("t").
    std::size_t at = 0;
    for (std::size_t i = 0, cells = 0; i < outer.size(); ++i)
        if (outer[i].signature == 0x00A4 && ++cells == 5) at = i + 3;
    outer.insert(outer.begin() + static_cast<long>(at), inner.begin(), inner.end());
    nested.insert(nested.end(), outer.begin(), outer.end());
    const plat::NOTEID nestedId = AddBodyNote("calls.nsf", nested);

    for (const char* chunk : {"Table 1", "Table 2", "Table 1,2", "Inside Table 1", "Table 3"})
        CompareChunk("calls.nsf", id, "Body", chunk, 3);
    CompareChunk("calls.nsf", longId, "Body", "Table 1", 2);
    for (const char* chunk : {"Table 1", "Table 2", "Table 1-2"}) CompareChunk("calls.nsf", nestedId, "Body", chunk, 3);
    EXPECT_GT(calls_, 150);

    // The walk gives what the look-up's own test cases expect.
    DriverOutcome run = Call(kDbColumn, {TextArg("calls.nsf"), TextArg("N" + HexNoteId(nestedId)), TextArg("Body"),
                                         NumberArg(2), TextArg("CompleteText=yes Separator=,")});
    EXPECT_EQ(Texts(run.result), (Strings{"q", "t,n1,n2,n3,n4"}));
    // Rows are numbered by a byte: a table counts at most 256 of them.
    run = Call(kDbColumn, {TextArg("calls.nsf"), TextArg("N" + HexNoteId(longId)), TextArg("Body"), NumberArg(2)});
    EXPECT_EQ(Texts(run.result).size(), 256u);
    // A chunk naming two tables reads both tables' cells of a position.
    run = Call(kDbColumn, {TextArg("calls.nsf"), TextArg("N" + HexNoteId(id)), TextListArg({"Body", "Table 1,2"}),
                           NumberArg(1), TextArg("CompleteText=yes Separator=+")});
    EXPECT_EQ(Texts(run.result), (Strings{"Name+c", "a+b", "b", "bc"}));
}

TEST_F(LookUpRoutes, RealTablesReadAlike) {
    const std::string database = "real.nsf";
    std::vector<NoteItem> items;
    ASSERT_EQ(ImportRichTextItems(data_.file(database), SampleAndSharedDxlFiles(), false, &items), plat::NOERROR);
    ASSERT_FALSE(items.empty());
    // Every table the items' records begin is compared (the samples hold
    // some).
    int tables = 0, stored = 0;
    for (const auto& [id, name] : items) {
        tables += CompareItem(database, id, name);
        stored += StoredTables(database, id, name);
    }
    RecordProperty("tables", tables);
    RecordProperty("calls", calls_);
    EXPECT_GT(stored, 0);
    EXPECT_EQ(tables, stored);
}

} // namespace
