// The operation engine's walk and its chunk matching, seen through runs of
// the query (first and last record of the chunk) and of the position list
// (where each target starts) over items built from records, and over the
// real items of the shared files.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/chunk_definition.h"
#include "core/chunk_type_table.h"
#include "core/chunk_types.h"
#include "core/chunk_work_state.h"
#include "core/item_work_state.h"
#include "core/record_io.h"
#include "core/session_work_area.h"
#include "edit_fixture.h"
#include "engine/exec_handlers.h"
#include "engine/record_process.h"
#include "fixture_items.h"
#include "support/record_fixture.h"
#include "support/rich_text_items.h"
#include "support/test_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using engine_test::Bracket;
using engine_test::Definition;
using engine_test::Paragraph;
using engine_test::Records;
using engine_test::ReferenceTo;
using engine_test::Text;
using talix_test::FixtureRecord;
using talix_test::HostRecord;
using talix_test::PutDword;
using talix_test::PutWord;

FixtureRecord TableBegin(bool nested = false) { return HostRecord(nested ? 0x00CF : 0x00A3, 14); }
FixtureRecord TableEnd(bool nested = false) { return HostRecord(nested ? 0x00D1 : 0x00A5, 8); }

// A cell of 0-based row and column.
FixtureRecord GridCell(std::uint8_t row, std::uint8_t column, bool nested = false) {
    FixtureRecord record = HostRecord(nested ? 0x00D0 : 0x00A4, 18);
    record.bytes[2] = row;
    record.bytes[3] = column;
    record.bytes[14] = 1;
    record.bytes[15] = 1;
    return record;
}

// "Intro", a table of 5 rows and 3 columns (the cell of row 2, column 2
// also holds a nested table of 2 x 2 cells), "Between", a table of 2 x 2
// cells, "End".
Records NumberedTablesItem() {
    Records records = {Definition(1, 0), ReferenceTo(1), Text("Intro"), Paragraph(), TableBegin()};
    for (std::uint8_t row = 0; row < 5; ++row) {
        for (std::uint8_t column = 0; column < 3; ++column) {
            records.push_back(GridCell(row, column));
            records.push_back(ReferenceTo(1));
            records.push_back(Text("r" + std::to_string(row + 1) + "c" + std::to_string(column + 1)));
            if (row == 1 && column == 1) {
                records.push_back(TableBegin(true));
                for (std::uint8_t inner = 0; inner < 4; ++inner) {
                    records.push_back(GridCell(inner / 2, inner % 2, true));
                    records.push_back(Text("n" + std::to_string(inner)));
                }
                records.push_back(TableEnd(true));
            }
        }
    }
    for (auto record : {TableEnd(), Paragraph(), ReferenceTo(1), Text("Between"), Paragraph(), TableBegin()})
        records.push_back(record);
    for (std::uint8_t cell = 0; cell < 4; ++cell) {
        records.push_back(GridCell(cell / 2, cell % 2));
        records.push_back(Text("t" + std::to_string(cell)));
    }
    for (auto record : {TableEnd(), Paragraph(), ReferenceTo(1), Text("End")}) records.push_back(record);
    return records;
}

Records PlainItem(const std::vector<std::string>& runs) {
    Records records = {Definition(1, 0), ReferenceTo(1)};
    for (const auto& run : runs) records.push_back(Text(run));
    return records;
}

constexpr talix::OperationCode kQuery = talix::kOpQuery;
constexpr std::uint16_t kLastRecordCode = talix::kQueryLastRecord;

FixtureRecord BracketBegin(std::uint16_t inner) { return Bracket(0x00DD, inner); }
FixtureRecord BracketEnd(std::uint16_t inner) { return Bracket(0x00DE, inner); }

// A hotspot begin of a type with its flag word.
FixtureRecord Hotspot(std::uint16_t type, std::uint32_t flags, std::uint16_t signature = 0xFFA9) {
    FixtureRecord record = HostRecord(signature, 16);
    PutWord(&record, 4, type);
    PutDword(&record, 8, flags);
    return record;
}

FixtureRecord HotspotEnd(std::uint16_t signature = 0x00AA) { return HostRecord(signature, 2); }

// The 1-based index of the n-th record (1-based) that satisfies the test.
std::uint32_t IndexOf(const Records& records, const std::function<bool(const FixtureRecord&)>& test, int n = 1) {
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (test(records[i]) && --n == 0) return static_cast<std::uint32_t>(i + 1);
    }
    return 0;
}

std::function<bool(const FixtureRecord&)> Signature(std::uint16_t signature) {
    return [signature](const FixtureRecord& r) { return r.signature == signature; };
}

std::function<bool(const FixtureRecord&)> TextIs(const std::string& text) {
    return [text](const FixtureRecord& r) {
        return r.signature == 0xFF85 && std::string(r.bytes.begin() + 8, r.bytes.end()) == text;
    };
}

std::function<bool(const FixtureRecord&)> CellAt(std::uint8_t row, std::uint8_t column) {
    return [row, column](const FixtureRecord& r) {
        return r.signature == 0x00A4 && r.bytes[2] == row && r.bytes[3] == column;
    };
}

struct Range {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    bool operator==(const Range& other) const { return first == other.first && last == other.last; }
};

std::ostream& operator<<(std::ostream& out, const Range& range) {
    return out << "[" << range.first << ", " << range.last << "]";
}

class WalkMatchTest : public ::testing::Test {
protected:
    // Connects the item to the note and defines a chunk on it.
    ZervaRTChunk* Define(plat::NOTEID id, const char* definition) {
        if (connectedTo_ != id) {
            EXPECT_EQ(item_.Connect("", db_.path().c_str(), id, "Body", 0), 0);
            connectedTo_ = id;
        }
        ZervaRTChunk* chunk = item_.DefineChunk(definition);
        EXPECT_NE(chunk, nullptr) << definition;
        return chunk;
    }

    // The first and last record of the chunk's records over the whole item.
    Range Found(plat::NOTEID id, const char* definition, talix::STATUS* status = nullptr) {
        ZervaRTChunk* chunk = Define(id, definition);
        if (chunk == nullptr) return {};
        session_.workArea->foundFirstRecord = 0;
        session_.workArea->foundLastRecord = 0;
        talix::STATUS result = talix::PerformChunkAction(chunk, 0, nullptr, kQuery, kLastRecordCode, 0, 0, 0,
                                                         nullptr, nullptr, nullptr, nullptr, nullptr);
        if (status != nullptr) *status = result;
        EXPECT_EQ(result, 0) << definition;
        delete chunk;
        return {session_.workArea->foundFirstRecord, session_.workArea->foundLastRecord};
    }

    // Where each target of the chunk starts.
    std::vector<std::uint32_t> Starts(plat::NOTEID id, const char* definition) {
        std::vector<std::uint32_t> starts;
        ZervaRTChunk* chunk = Define(id, definition);
        if (chunk == nullptr) return starts;
        EXPECT_EQ(talix::PerformChunkAction(chunk, 0, nullptr, talix::kOpPositionList, 0, 0, 0, 0, nullptr, nullptr,
                                            nullptr, nullptr, nullptr),
                  0)
            << definition;
        for (std::uint32_t i = 0; i < chunk->work->sortKeyCount; ++i) starts.push_back(chunk->work->sortKeys[i].firstRecord);
        delete chunk;
        return starts;
    }

    engine_test::FixtureDatabase db_;
    RARIvoSession session_;
    ZervaRTItem item_{&session_};
    plat::NOTEID connectedTo_ = 0;
};

TEST_F(WalkMatchTest, TablesRowsAndColumnsAreFoundInTheTableTheOuterLevelEntered) {
    const Records records = NumberedTablesItem();
    const plat::NOTEID id = db_.AddNote(records);
    const std::uint32_t table1 = IndexOf(records, Signature(0x00A3), 1);
    const std::uint32_t table2 = IndexOf(records, Signature(0x00A3), 2);
    const std::uint32_t end1 = IndexOf(records, Signature(0x00A5), 1);
    const std::uint32_t end2 = IndexOf(records, Signature(0x00A5), 2);

    // A table runs from its begin to its end record; the nested table is
    // part of the first and not counted as the second.
    EXPECT_EQ(Found(id, "Table 1"), (Range{table1, end1}));
    EXPECT_EQ(Found(id, "Table 2"), (Range{table2, end2}));
    EXPECT_EQ(Found(id, "Table 3"), (Range{}));
    EXPECT_EQ(Starts(id, "Table *"), (std::vector<std::uint32_t>{table1, table2}));

    // A row runs from its first cell to the record before the next row.
    const std::uint32_t row2 = IndexOf(records, CellAt(1, 0));
    const std::uint32_t row3 = IndexOf(records, CellAt(2, 0));
    EXPECT_EQ(Found(id, "Table 1; Row 2"), (Range{row2, static_cast<std::uint32_t>(row3 - 1)}));
    // The last row ends before its table's end.
    EXPECT_EQ(Found(id, "Table 1; Row 5"), (Range{IndexOf(records, CellAt(4, 0)), static_cast<std::uint32_t>(end1 - 1)}));

    std::vector<std::uint32_t> rows;
    for (std::uint8_t row = 0; row < 5; ++row) rows.push_back(IndexOf(records, CellAt(row, 0)));
    EXPECT_EQ(Starts(id, "Table 1; Row *"), rows);
    EXPECT_EQ(Starts(id, "Table 2; Row *").size(), 2u);

    // Column 2 is the second cell of every row, nested cells left out.
    std::vector<std::uint32_t> columns;
    for (std::uint8_t row = 0; row < 5; ++row) columns.push_back(IndexOf(records, CellAt(row, 1)));
    // One plain occurrence on every level is a single target: the first.
    EXPECT_EQ(Starts(id, "Table 1; Column 2"), (std::vector<std::uint32_t>{columns[0]}));
    EXPECT_EQ(Starts(id, "Table 1; Column 2,4"), columns);
    EXPECT_EQ(Starts(id, "Table 1; Column *").size(), 15u);
    EXPECT_EQ(Starts(id, "Table 1; Column 4").size(), 0u);

    // Row and column together select one cell.
    const std::uint32_t cell = IndexOf(records, CellAt(3, 2));
    EXPECT_EQ(Found(id, "Table 1; Row 4; Column 3"), (Range{cell, static_cast<std::uint32_t>(IndexOf(records, CellAt(4, 0)) - 1)}));
    EXPECT_EQ(Found(id, "Table 1; Column 3; Row 4"), (Range{cell, static_cast<std::uint32_t>(IndexOf(records, CellAt(4, 0)) - 1)}));
}

TEST_F(WalkMatchTest, RelationsTakeTheRecordsAroundAndWithinAnElement) {
    const Records records = NumberedTablesItem();
    const plat::NOTEID id = db_.AddNote(records);
    const std::uint32_t table1 = IndexOf(records, Signature(0x00A3), 1);
    const std::uint32_t end1 = IndexOf(records, Signature(0x00A5), 1);
    const std::uint32_t table2 = IndexOf(records, Signature(0x00A3), 2);
    const std::uint32_t last = static_cast<std::uint32_t>(records.size());

    EXPECT_EQ(Found(id, "Everything"), (Range{1, last}));
    EXPECT_EQ(Found(id, "Before Table 1"), (Range{1, static_cast<std::uint32_t>(table1 - 1)}));
    EXPECT_EQ(Found(id, "After Table 1"), (Range{static_cast<std::uint32_t>(end1 + 1), last}));
    EXPECT_EQ(Found(id, "Starts With Table 2"), (Range{table2, last}));
    EXPECT_EQ(Found(id, "Ends With Table 1"), (Range{1, end1}));
    // Inside a table: from the first record that is not a table record
    // (the first cell's paragraph reference) to the record before its end.
    EXPECT_EQ(Found(id, "Inside Table 1"),
              (Range{static_cast<std::uint32_t>(IndexOf(records, CellAt(0, 0)) + 1), static_cast<std::uint32_t>(end1 - 1)}));
    // Outside the first table: before it and after it.
    EXPECT_EQ(Starts(id, "Outside Table 1"), (std::vector<std::uint32_t>{1, static_cast<std::uint32_t>(end1 + 1)}));
    // Nothing lies before the first paragraph.
    EXPECT_EQ(Found(id, "Before Paragraph 1"), (Range{}));
}

TEST_F(WalkMatchTest, HotspotTypesAreToldApartByKindAndFlags) {
    const Records records = {
        Definition(1, 0), ReferenceTo(1),
        Hotspot(3, 0), Text("button"), HotspotEnd(),                  // a button
        Hotspot(1, 0), Text("popup"), HotspotEnd(),                   // a pop-up
        Hotspot(1, 0x40000), Text("computed"), HotspotEnd(),          // computed text
        Hotspot(2, 0x10), Text("formula"), HotspotEnd(),              // an action hotspot with a formula flag
        BracketBegin(0xFFAD), Hotspot(3, 0, 0xFFAD), Text("wrapped"), HotspotEnd(0x00AE), BracketEnd(0x00AE),
        Hotspot(2, 0), Text("action"), HotspotEnd(),
    };
    const plat::NOTEID id = db_.AddNote(records);
    const std::uint32_t button = IndexOf(records, Signature(0xFFA9), 1);
    const std::uint32_t popup = IndexOf(records, Signature(0xFFA9), 2);
    const std::uint32_t computed = IndexOf(records, Signature(0xFFA9), 3);
    const std::uint32_t wrapped = IndexOf(records, Signature(0x00DD));
    const std::uint32_t action = IndexOf(records, Signature(0xFFA9), 5);

    EXPECT_EQ(Found(id, "Button 1"), (Range{button, static_cast<std::uint32_t>(button + 2)}));
    // The wrapped button runs from its BEGIN to its END.
    EXPECT_EQ(Found(id, "Button 2"), (Range{wrapped, static_cast<std::uint32_t>(wrapped + 4)}));
    EXPECT_EQ(Found(id, "Button 3"), (Range{}));
    EXPECT_EQ(Starts(id, "Popup *"), (std::vector<std::uint32_t>{popup}));
    EXPECT_EQ(Starts(id, "ComputedText *"), (std::vector<std::uint32_t>{computed}));
    EXPECT_EQ(Starts(id, "ActionHotspot *"), (std::vector<std::uint32_t>{action}));
    EXPECT_EQ(Starts(id, "Hotspot *").size(), 6u);
    EXPECT_EQ(Found(id, "Hotspot 3"), (Range{computed, static_cast<std::uint32_t>(computed + 2)}));
    // A match text looks at the hotspot's text.
    EXPECT_EQ(Starts(id, "Hotspot 'Popup'"), (std::vector<std::uint32_t>{popup}));
    // Inside a hotspot: its text only.
    EXPECT_EQ(Found(id, "Inside Button 1"), (Range{static_cast<std::uint32_t>(button + 1), static_cast<std::uint32_t>(button + 1)}));
    EXPECT_EQ(Found(id, "Inside Button 2"), (Range{static_cast<std::uint32_t>(wrapped + 2), static_cast<std::uint32_t>(wrapped + 2)}));
}

TEST_F(WalkMatchTest, NestedHotspotsEndAtTheirOwnEnd) {
    const Records records = {
        Definition(1, 0), ReferenceTo(1),
        Hotspot(12, 0, 0xFFAD), Text("title"),                       // a section
        Hotspot(3, 0), Text("inner button"), HotspotEnd(),            // a button within it
        Text("section text"), HotspotEnd(0x00AE),
        Text("after"),
    };
    const plat::NOTEID id = db_.AddNote(records);
    const std::uint32_t section = IndexOf(records, Signature(0xFFAD));
    const std::uint32_t button = IndexOf(records, Signature(0xFFA9));
    EXPECT_EQ(Found(id, "Section 1"), (Range{section, IndexOf(records, Signature(0x00AE))}));
    EXPECT_EQ(Found(id, "Button 1"), (Range{button, IndexOf(records, Signature(0x00AA))}));
    EXPECT_EQ(Found(id, "Section 1; Button 1"), (Range{button, IndexOf(records, Signature(0x00AA))}));
    // Elements of one level do not nest: the button lies in the first hotspot.
    EXPECT_EQ(Starts(id, "Hotspot *"), (std::vector<std::uint32_t>{section}));
    EXPECT_EQ(Found(id, "Section 1; Text 3"), (Range{IndexOf(records, TextIs("section text")), IndexOf(records, TextIs("section text"))}));
}

TEST_F(WalkMatchTest, MarkedTextAndStyledRunsSpanSeveralRecords) {
    FixtureRecord bold = Text("bold one");
    bold.bytes[5] = 0x01;   // bold attribute in the font id
    FixtureRecord bolder = Text("bold two");
    bolder.bytes[5] = 0x01;
    const Records records = {
        Definition(1, 0), ReferenceTo(1), Text("plain"), bold, bolder, Text("plain again"),
        Paragraph(), ReferenceTo(1), Text("<?XML version"), Text("<data/>"), Text("</xml>"), Text("tail"),
    };
    const plat::NOTEID id = db_.AddNote(records);
    const std::uint32_t xml = IndexOf(records, TextIs("<?XML version"));
    // A marked element runs from the run with its start marker to the one
    // that ends with its end marker, compared ignoring case.
    EXPECT_EQ(Found(id, "XML 1"), (Range{xml, static_cast<std::uint32_t>(xml + 2)}));
    EXPECT_EQ(Found(id, "XML 2"), (Range{}));
    EXPECT_EQ(Found(id, "HTML 1"), (Range{}));
    // A styled element is the runs of one font in a row.
    EXPECT_EQ(Starts(id, "StylizedText *"),
              (std::vector<std::uint32_t>{3, 4, 6, static_cast<std::uint32_t>(xml)}));
}

TEST_F(WalkMatchTest, TextRunsAreMatchedByTheirTextIgnoringCase) {
    const Records records = PlainItem({"Hello World", "", "say hello", "HELLO", "other"});
    const plat::NOTEID id = db_.AddNote(records);
    const std::uint32_t first = IndexOf(records, TextIs("Hello World"));
    const std::uint32_t empty = IndexOf(records, TextIs(""));
    const std::uint32_t say = IndexOf(records, TextIs("say hello"));
    const std::uint32_t shout = IndexOf(records, TextIs("HELLO"));
    const std::uint32_t other = IndexOf(records, TextIs("other"));

    EXPECT_EQ(Starts(id, "Text *"), (std::vector<std::uint32_t>{first, empty, say, shout, other}));
    EXPECT_EQ(Found(id, "Text 3"), (Range{say, say}));
    EXPECT_EQ(Starts(id, "Text 'hello' *"), (std::vector<std::uint32_t>{shout}));
    EXPECT_EQ(Starts(id, "Text Starts 'hello' *"), (std::vector<std::uint32_t>{first, shout}));
    EXPECT_EQ(Starts(id, "Text Ends 'HELLO' *"), (std::vector<std::uint32_t>{say, shout}));
    EXPECT_EQ(Starts(id, "Text Substr 'lo' *"), (std::vector<std::uint32_t>{first, say, shout}));
    // Occurrences count the matching runs only.
    EXPECT_EQ(Found(id, "Text Starts 'hello' 2"), (Range{shout, shout}));
    // Blank runs are not non-blank text.
    EXPECT_EQ(Starts(id, "NonBlankText *"), (std::vector<std::uint32_t>{first, say, shout, other}));
    // Ranges and lists of occurrences.
    EXPECT_EQ(Starts(id, "Text 2-3,5"), (std::vector<std::uint32_t>{empty, say, other}));

    // Letters outside ASCII are matched in either case too, accents kept.
    const std::string over = plat::NativeToLmbcs("Über Köln");
    const Records accented = PlainItem({plat::NativeToLmbcs("über köln"), plat::NativeToLmbcs("uber koln")});
    const plat::NOTEID cities = db_.AddNote(accented);
    const std::uint32_t umlaut = IndexOf(accented, TextIs(plat::NativeToLmbcs("über köln")));
    EXPECT_EQ(Starts(cities, ("Text '" + over + "' *").c_str()), (std::vector<std::uint32_t>{umlaut}));
    EXPECT_EQ(Starts(cities, ("Text Starts '" + plat::NativeToLmbcs("ÜBER") + "' *").c_str()),
              (std::vector<std::uint32_t>{umlaut}));
    EXPECT_EQ(Starts(cities, ("Text Ends '" + plat::NativeToLmbcs("KÖLN") + "' *").c_str()),
              (std::vector<std::uint32_t>{umlaut}));
    EXPECT_EQ(Starts(cities, ("Text Substr '" + plat::NativeToLmbcs("R KÖ") + "' *").c_str()),
              (std::vector<std::uint32_t>{umlaut}));
}

TEST_F(WalkMatchTest, ParagraphsRunFromOneParagraphRecordToTheNext) {
    const Records records = {Definition(1, 0), ReferenceTo(1), Text("one"), Paragraph(),
                             ReferenceTo(1), Text("two"), Paragraph(), ReferenceTo(1), Text("three")};
    const plat::NOTEID id = db_.AddNote(records);
    const std::uint32_t second = IndexOf(records, Signature(0x0081), 1);
    const std::uint32_t third = IndexOf(records, Signature(0x0081), 2);
    EXPECT_EQ(Starts(id, "Paragraph *"), (std::vector<std::uint32_t>{1, second, third}));
    // The paragraph record itself is left to the executors of the start.
    EXPECT_EQ(Found(id, "Paragraph 2"), (Range{static_cast<std::uint32_t>(second + 1), static_cast<std::uint32_t>(third - 1)}));
}

TEST_F(WalkMatchTest, AQueryLeavesTheCompletionStatusAndTheStoredItemAsItWas) {
    const plat::NOTEID id = db_.AddNote(NumberedTablesItem());
    const auto before = db_.Stored(id);
    ZervaRTChunk* chunk = Define(id, "Table 1; Row 2");
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(talix::PerformChunkAction(chunk, 0, nullptr, kQuery, kLastRecordCode, 0, 0, 0, nullptr, nullptr,
                                        nullptr, nullptr, nullptr),
              0);
    EXPECT_EQ(chunk->lastStatus, talix::kOperationComplete);
    // A second run reuses the records already read.
    EXPECT_EQ(talix::PerformChunkAction(chunk, 0, nullptr, kQuery, kLastRecordCode, 0, 0, 0, nullptr, nullptr,
                                        nullptr, nullptr, nullptr),
              0);
    EXPECT_EQ(item_.modified, 0);

    // A null chunk and, until the table builders exist, an operation that
    // would rebuild the item through them are refused without touching
    // anything.
    EXPECT_EQ(talix::PerformChunkAction(nullptr, 0, nullptr, kQuery, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                        nullptr, nullptr),
              talix::kArgumentError);
    chunk->lastStatus = 0;
    EXPECT_EQ(talix::PerformChunkAction(chunk, 0, nullptr, talix::kOpAppendTable, 0, 3, 0, 0, "new", nullptr, nullptr,
                                        nullptr, nullptr),
              talix::kArgumentError);
    EXPECT_EQ(chunk->lastStatus, 0);
    delete chunk;
    EXPECT_EQ(item_.Save(), 0);
    EXPECT_EQ(db_.Stored(id), before);
}

TEST_F(WalkMatchTest, DamagedStoredRecordsEndTheRunWithAStatus) {
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    plat::NOTEID id = 0;
    ASSERT_EQ(plat::DbOpen(db_.path().c_str(), &db), 0);
    ASSERT_EQ(plat::NoteCreate(db, &note), 0);
    // A text run, then a record whose length runs past the end of the value.
    const unsigned char value[] = {0x85, 0xFF, 10, 0, 1, 0, 0, 10, 'h', 'i', 0x85, 0xFF, 40, 0, 0, 0, 0, 0};
    EXPECT_EQ(plat::ItemAppend(note, 0, "Body", 4, plat::TYPE_COMPOSITE, value, sizeof value), 0);
    EXPECT_EQ(plat::NoteUpdate(note, 0), 0);
    EXPECT_EQ(plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id), 0);
    plat::NoteClose(note);
    plat::DbClose(db);

    ZervaRTChunk* chunk = Define(id, "Everything");
    ASSERT_NE(chunk, nullptr);
    chunk->lastStatus = 0;
    const talix::STATUS status = talix::PerformChunkAction(chunk, 0, nullptr, kQuery, kLastRecordCode, 0, 0, 0,
                                                           nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(status, 0);
    EXPECT_NE(status, talix::kOperationComplete);
    // No half-read list is kept in the item's place.
    EXPECT_EQ(item_.work->current, nullptr);
    delete chunk;
}

TEST_F(WalkMatchTest, RecordsOfAnotherNoteAreWalkedWithoutReplacingTheItemsOwn) {
    const plat::NOTEID own = db_.AddNote(PlainItem({"one"}));
    const plat::NOTEID other = db_.AddNote(PlainItem({"a", "b", "c"}));
    EXPECT_EQ(Found(own, "Text *"), (Range{3, 3}));
    talix::ItemRecordList* held = item_.work->current;
    ASSERT_NE(held, nullptr);

    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    ASSERT_EQ(plat::DbOpen(db_.path().c_str(), &db), 0);
    ASSERT_EQ(plat::NoteOpen(db, other, 0, &note), 0);
    ZervaRTChunk* chunk = Define(own, "Text 3");
    ASSERT_NE(chunk, nullptr);
    session_.workArea->foundFirstRecord = 0;
    EXPECT_EQ(talix::PerformChunkAction(chunk, note, "Body", kQuery, kLastRecordCode, 0, 0, 0, nullptr, nullptr,
                                        nullptr, nullptr, nullptr),
              0);
    EXPECT_EQ(session_.workArea->foundFirstRecord, 5);
    EXPECT_EQ(item_.work->current, held);
    delete chunk;
    plat::NoteClose(note);
    plat::DbClose(db);
}

TEST_F(WalkMatchTest, AnExtraChainNarrowsTheChunkForOneRun) {
    const Records records = NumberedTablesItem();
    const plat::NOTEID id = db_.AddNote(records);
    ZervaRTChunk* chunk = Define(id, "Table 1");
    ASSERT_NE(chunk, nullptr);
    talix::ChunkDefInfo* extra = talix::ParseChunkDefinition(&session_, 0, chunk->work->chain, "Row 3", nullptr);
    ASSERT_NE(extra, nullptr);
    session_.workArea->foundFirstRecord = 0;
    EXPECT_EQ(talix::PerformChunkAction(chunk, 0, nullptr, kQuery, kLastRecordCode, 0, 0, 0, nullptr, nullptr,
                                        nullptr, extra, nullptr),
              0);
    EXPECT_EQ(session_.workArea->foundFirstRecord, IndexOf(records, CellAt(2, 0)));
    // The chunk's own chain is unchanged.
    EXPECT_EQ(chunk->work->chain->next, nullptr);
    EXPECT_EQ(Found(id, "Table 1"), (Range{IndexOf(records, Signature(0x00A3)), IndexOf(records, Signature(0x00A5))}));
    talix::FreeChunkDefinition(extra);
    delete chunk;
}

TEST(ChunkTypeTable, PropertyNamesAreFoundIgnoringCaseAndOtherwiseGiveTheCount) {
    EXPECT_EQ(talix::FindChunkTypeProperty(1, "tablewidth"), 0);
    EXPECT_EQ(talix::FindChunkTypeProperty(1, "TabFont"), 28);
    EXPECT_EQ(talix::FindChunkTypeProperty(1, "NoSuchName"), 29);
    EXPECT_EQ(talix::FindChunkTypeProperty(1, nullptr), 29);
    EXPECT_EQ(talix::FindChunkTypeProperty(15, "caption"), 1);
    EXPECT_EQ(talix::FindChunkTypeProperty(15, ""), 17);
    EXPECT_EQ(talix::FindChunkTypeProperty(27, "Anything"), 12);
    EXPECT_EQ(talix::FindChunkTypeProperty(9, "Caption"), 0);
    EXPECT_EQ(talix::GetChunkTypeRow(0), nullptr);
    EXPECT_EQ(talix::GetChunkTypeRow(38), nullptr);
}

// Every rich-text item of the real files: the whole item is one chunk,
// and counting runs over tables, rows, sections and hotspots reach the end.
TEST(WalkRealData, EveryItemIsWalkedToItsEnd) {
    talix_test::TempDir temp;
    int items = 0;
    int files = 0;
    for (const auto& file : talix_test::SampleAndSharedDxlFiles()) {
        const std::string path = temp.file("real" + std::to_string(files++) + ".nsf");
        plat::DBHANDLE db = 0;
        ASSERT_EQ(plat::DbCreate(path.c_str(), &db), 0);
        plat::DxlImportResult imported;
        ASSERT_EQ(plat::DxlImportFile(db, file.string().c_str(), &imported), 0) << file << imported.error;
        std::vector<talix_test::NoteItem> found;
        for (plat::NOTEID id : imported.notes) {
            plat::NOTEHANDLE note = 0;
            ASSERT_EQ(plat::NoteOpen(db, id, 0, &note), 0);
            for (const std::string& name : talix_test::RichTextItemNames(note)) found.emplace_back(id, name);
            plat::NoteClose(note);
        }
        plat::DbClose(db);
        for (const auto& [id, name] : found) {
            RARIvoSession session;
            ZervaRTItem item(&session);
            // Items the item object does not take (not rich text, damaged)
            // are the reader's concern.
            if (item.Connect("", path.c_str(), id, name.c_str(), 0) != 0) continue;
            talix::STATUS status = 0;
            talix::ItemRecordList* list = talix::SIAR(&item, 0, nullptr, 0, 0, 0, nullptr, &status);
            ASSERT_NE(list, nullptr);
            const std::uint32_t count = list->tail != nullptr ? list->tail->index : 0;
            talix::DeleteItemRecordList(&session, list);
            for (const char* definition : {"Everything", "Table *", "Table *; Row *", "Section *", "Hotspot *",
                                           "Paragraph *", "Graphic *", "Text *"}) {
                ZervaRTChunk* chunk = item.DefineChunk(definition);
                ASSERT_NE(chunk, nullptr);
                session.workArea->foundFirstRecord = 0;
                session.workArea->foundLastRecord = 0;
                EXPECT_EQ(talix::PerformChunkAction(chunk, 0, nullptr, kQuery, kLastRecordCode, 0, 0, 0, nullptr,
                                                    nullptr, nullptr, nullptr, nullptr),
                          0)
                    << file << " " << name << " " << definition;
                if (std::strcmp(definition, "Everything") == 0 && count > 0) {
                    EXPECT_EQ(session.workArea->foundFirstRecord, 1);
                    EXPECT_EQ(session.workArea->foundLastRecord, count) << file << " " << name;
                }
                delete chunk;
            }
            ++items;
        }
    }
    EXPECT_GT(items, 0);
}

} // namespace
