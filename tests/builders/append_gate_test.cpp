// The append gate: records appended through AppendRecord and read back from
// the item's output record list (and, where it matters, from the items
// written from it).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/built_records.h"
#include "core/item_work_state.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "htmlimport/import_sink.h"
#include "support/record_fixture.h"
#include "support/structure_checker.h"
#include "support/test_support.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using talix::ReadWord;
using talix_test::FixtureRecord;
using talix_test::HostRecord;

using talix::kSigPabDefinition;
using talix::kSigPabReference;
using talix::kSigParagraph;
using talix::kSigTableBegin;
using talix::kSigTableCell;
using talix::kSigTableEnd;
using talix::kSigText;

using talix_test::CollectMessage;
using talix_test::g_messages;

FixtureRecord Definition(std::uint16_t id, std::uint16_t left = 0) {
    FixtureRecord record = HostRecord(kSigPabDefinition, 72);
    talix_test::PutWord(&record, 4, id);
    talix_test::PutWord(&record, 14, left);
    return record;
}
FixtureRecord Reference(std::uint16_t id) {
    FixtureRecord record = HostRecord(kSigPabReference, 4);
    talix_test::PutWord(&record, 2, id);
    return record;
}
FixtureRecord Cell(std::uint8_t column, std::uint16_t left = 0, std::uint16_t right = 0) {
    FixtureRecord record = HostRecord(kSigTableCell, 18);
    record.bytes[3] = column;
    talix_test::PutWord(&record, 4, left);
    talix_test::PutWord(&record, 6, right);
    return record;
}
FixtureRecord TableBegin(std::uint16_t spacing = 0) {
    FixtureRecord record = HostRecord(kSigTableBegin, 14);
    talix_test::PutWord(&record, 8, spacing);
    return record;
}
FixtureRecord Text(const char* text) { return talix_test::TextRecord(0x0A000001, text); }

class GateTest : public ::testing::Test {
protected:
    GateTest() {
        output_.session = &session_;
        output_.item = &item_;
        g_messages.clear();
        plat::RegisterMessageProc(CollectMessage);
    }
    ~GateTest() override {
        plat::RegisterMessageProc(nullptr);
        talix::FreePendingParagraphs(session_.workArea);
    }

    talix::STATUS Append(const FixtureRecord& record) {
        return talix::AppendRecord(record.bytes.data(), record.signature,
                                   static_cast<std::uint32_t>(record.bytes.size()), &output_);
    }
    void AppendAll(const std::vector<FixtureRecord>& records) {
        for (const auto& record : records) ASSERT_EQ(Append(record), 0) << std::hex << record.signature;
    }
    talix::ItemRecordList* List() { return item_.work->output; }
    std::vector<const talix::CDRecordNode*> Nodes() { return talix_test::ListNodes(List()); }
    std::vector<std::uint16_t> Signatures() { return talix_test::ListSignatures(List()); }

    RARIvoSession session_;
    ZervaRTItem item_{&session_};
    talix::RecordOutput output_;
};

TEST_F(GateTest, DropsAndMergesRecords) {
    // Two empty runs in a row give one node; two references in a row one
    // node carrying the second id; definitions without id are numbered.
    AppendAll({Definition(0), Definition(0), Definition(0), Reference(2), Reference(3), Text(""), Text(""),
               Text("a"), Text(""), HostRecord(0xFF68, 16)});
    const auto nodes = Nodes();
    ASSERT_EQ(Signatures(), (std::vector<std::uint16_t>{kSigPabDefinition, kSigPabDefinition, kSigPabDefinition,
                                                         kSigPabReference, kSigText, kSigText, kSigText}));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ReadWord(nodes[i]->bytes + 4), i + 1);
    EXPECT_EQ(ReadWord(nodes[3]->bytes + 2), 3);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        EXPECT_EQ(nodes[i]->index, i + 1);
        // Bytes of its own in the output list's arena, and no marks.
        EXPECT_EQ(nodes[i]->flags, talix::kNodeInArena);
    }
    EXPECT_EQ(item_.autoMergeText, 0);
    EXPECT_EQ(talix_test::CheckStructure(List()), "");

    // A reference without an id names the last definition.
    AppendAll({Definition(0), Text("b"), Reference(0)});
    EXPECT_EQ(ReadWord(Nodes().back()->bytes + 2), 4);

    // A reference merged into the one before it takes the id the gate gives
    // the new one: an id requested for it is used up there, not left for
    // the next definition.
    AppendAll({Text("c"), Reference(4)});
    output_.requestedParagraphId = 2;
    AppendAll({Reference(9), Definition(0)});
    const auto merged = Nodes();
    EXPECT_EQ(merged[merged.size() - 2]->signature, kSigPabReference);
    EXPECT_EQ(ReadWord(merged[merged.size() - 2]->bytes + 2), 2);
    EXPECT_EQ(ReadWord(merged.back()->bytes + 4), 5);
    EXPECT_EQ(output_.requestedParagraphId, 0);

    // The session keeps a copy of the last record appended.
    EXPECT_EQ(session_.workArea->lastRecord[0], kSigPabDefinition & 0xFF);
}

TEST_F(GateTest, ImageDataItemsHoldNoTextOrParagraphs) {
    item_.work->imageDataFlag = 1;
    FixtureRecord wrapper = HostRecord(0xDD, 6);
    talix_test::PutWord(&wrapper, 4, kSigText);
    AppendAll({Definition(0), Reference(1), wrapper, Text("x"), HostRecord(0xFFC3, 8), HostRecord(0x7D, 32)});
    EXPECT_EQ(Signatures(), std::vector<std::uint16_t>{0x7D});
}

TEST_F(GateTest, RefusesBadTableStructure) {
    struct Case {
        const char* name;
        std::vector<FixtureRecord> good;
        FixtureRecord bad;
        const char* message;
    };
    FixtureRecord fileHotspot = HostRecord(0xFFA9, 16);
    talix_test::PutWord(&fileHotspot, 4, 4);
    const std::vector<Case> cases = {
        {"no cell", {TableBegin()}, HostRecord(kSigTableEnd, 8),
         "TALIX: Table must contain at least one cell. Operation failed!"},
        {"cell outside", {Text("a")}, Cell(0), "TALIX: Table cell outside of table.  Operation failed!"},
        {"text before the first cell", {TableBegin()}, Text("a"), "TALIX: Invalid table format.  Operation failed!"},
        {"end outside", {}, HostRecord(kSigTableEnd, 8), "TALIX: Table end outside of table.  Operation failed!"},
        {"layout in table", {TableBegin(), Cell(0)}, HostRecord(0xB7, 28),
         "TALIX: Layout region cannot be inside table.  Operation failed!"},
        {"nested file hotspot", {fileHotspot}, fileHotspot, "TALIX: Non-nestable file hotspot.  Operation failed!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RARIvoSession session;
        ZervaRTItem item(&session);
        talix::RecordOutput output;
        output.session = &session;
        output.item = &item;
        for (const auto& record : c.good)
            ASSERT_EQ(talix::AppendRecord(record.bytes.data(), record.signature,
                                          static_cast<std::uint32_t>(record.bytes.size()), &output),
                      0);
        g_messages.clear();
        const talix::CDRecordNode* last = item.work->output != nullptr ? item.work->output->tail : nullptr;
        EXPECT_EQ(talix::AppendRecord(c.bad.bytes.data(), c.bad.signature,
                                      static_cast<std::uint32_t>(c.bad.bytes.size()), &output),
                  talix::kBodyStructureError);
        EXPECT_EQ(output.errorWord, talix::kErrBodyStructure);
        EXPECT_EQ(g_messages, std::vector<std::string>{c.message});
        EXPECT_EQ(item.work->output != nullptr ? item.work->output->tail : nullptr, last);   // nothing appended
    }
}

TEST_F(GateTest, TablesStartAParagraphAndKeepTheirCellState) {
    // A table right after a text run gets a paragraph before it.
    AppendAll({Definition(0), Reference(0), Text("before"), TableBegin(100), Cell(0, 50, 2000), Definition(0),
               Reference(0), Text("r0c0"), Cell(1), Text("r0c1"), Cell(0, 50, 2000), Text("r1c0"),
               HostRecord(kSigTableEnd, 8)});
    const auto nodes = Nodes();
    EXPECT_EQ(nodes[3]->signature, kSigParagraph);
    EXPECT_EQ(nodes[4]->signature, kSigTableBegin);
    EXPECT_EQ(talix_test::CheckStructure(List()), "");
    // Rows are counted from the cells: a cell of column 0 starts a new row.
    std::vector<int> rows;
    for (auto* node : nodes)
        if (node->signature == kSigTableCell) rows.push_back(node->bytes[2]);
    EXPECT_EQ(rows, (std::vector<int>{0, 0, 1}));
    EXPECT_EQ(output_.tableLevel, 0);
    EXPECT_EQ(output_.tableJustEnded, 1u);
    // The first row's column keeps a definition with the cell's bounds.
    EXPECT_EQ(ReadWord(output_.columnSlots[1][0] + 14), 150);
    EXPECT_EQ(ReadWord(output_.columnSlots[1][0] + 16), 1900);

    // After a paragraph no second one is added; the paragraph ends the
    // table's just-ended state.
    AppendAll({HostRecord(kSigParagraph, 2), TableBegin(), Cell(0), HostRecord(kSigTableEnd, 8)});
    const auto more = Nodes();
    EXPECT_EQ(more[more.size() - 4]->signature, kSigParagraph);
    EXPECT_EQ(more[more.size() - 5]->signature, kSigTableEnd);

    // What the gate adds is stored: the list written back and read again.
    talix_test::TempDir dir;
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    ASSERT_EQ(plat::DbCreate(dir.file("gate.nsf").c_str(), &db), plat::NOERROR);
    ASSERT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
    talix::ItemRecordList* read = talix_test::StoreOutput(&item_, note);
    EXPECT_EQ(talix_test::ListSignatures(read), Signatures());
    talix::DeleteItemRecordList(&session_, read);
    plat::NoteClose(note);
    plat::DbClose(db);
}

TEST_F(GateTest, CellMarginsAndBordersFollowTheTable) {
    // Forced cell margins: a definition in a cell takes the cell's bounds.
    output_.forceMarginsMode = 1;
    output_.forceCellMargins[1] = 1;
    output_.harmoniseBorders = 1;
    FixtureRecord first = Cell(0, 40, 3000);
    first.bytes[10] = 2 << 6;            // bottom border 2
    FixtureRecord below = Cell(0, 40, 3000);
    below.bytes[10] = 1 << 4;            // top border 1
    AppendAll({TableBegin(60), first, Definition(0, 5000), Reference(0), Text("x"), below});
    const auto nodes = Nodes();
    const talix::CDRecordNode* definition = nodes[3];
    ASSERT_EQ(definition->signature, kSigPabDefinition);
    EXPECT_EQ(ReadWord(definition->bytes + 14), 100);
    EXPECT_EQ(ReadWord(definition->bytes + 18), 100);
    EXPECT_EQ(ReadWord(definition->bytes + 16), 2940);
    EXPECT_EQ(ReadWord(definition->bytes + 62) & 0x0184, 0x0184);
    // The second row's cell takes the bottom border of the cell above.
    EXPECT_EQ((nodes.back()->bytes[10] >> 4) & 3, 2);

    // Tables nest at most nine deep.
    for (int i = 0; i < 10; ++i) AppendAll({TableBegin(), Cell(0)});
    EXPECT_EQ(output_.tableLevel, 9);
}

TEST_F(GateTest, LengthsFollowTheRecord) {
    // An odd record handed over one zero byte longer keeps its odd length.
    FixtureRecord odd = Text("abc");
    ASSERT_EQ(odd.bytes.size(), 11u);
    odd.bytes.push_back(0);
    ASSERT_EQ(Append(odd), 0);
    EXPECT_EQ(Nodes().back()->length, 11u);
    EXPECT_EQ(Nodes().back()->bytes[11], 0);

    // A length field left over from another record is set to the record's
    // own length.
    FixtureRecord stale = Text("abcdef");
    talix_test::PutWord(&stale, 2, 9);
    ASSERT_EQ(Append(stale), 0);
    EXPECT_EQ(Nodes().back()->length, 14u);
    EXPECT_EQ(ReadWord(Nodes().back()->bytes + 2), 14);

    // A table begin and a cell shorter than their structures are completed
    // to them, their length bytes saying 14 and 18; a longer cell keeps its
    // length.
    FixtureRecord shortBegin = TableBegin(40);
    shortBegin.bytes.resize(10);
    FixtureRecord shortCell = Cell(0, 100, 2000);
    shortCell.bytes.resize(12);
    FixtureRecord longCell = Cell(1, 2000, 4000);
    longCell.bytes.resize(20, 0x5A);
    AppendAll({shortBegin, shortCell, Text("x"), longCell, Text("y"), HostRecord(kSigTableEnd, 8)});
    std::vector<std::size_t> lengths;
    for (const auto* node : Nodes()) {
        if (node->signature == kSigTableBegin || node->signature == kSigTableCell) {
            lengths.push_back(node->length);
            EXPECT_EQ(node->bytes[1], node->length);
        }
    }
    EXPECT_EQ(lengths, (std::vector<std::size_t>{14, 18, 20}));
    for (const auto* node : Nodes())
        if (node->signature == kSigTableCell && node->length == 20) EXPECT_EQ(node->bytes[19], 0x5A);

    // Records the output cannot hold are refused.
    FixtureRecord huge = HostRecord(0xFF85, 8);
    huge.bytes.resize(talix::kOutputSegmentCapacity + 2);
    EXPECT_EQ(Append(huge), talix::kOperationFailed);
    FixtureRecord cut = HostRecord(0xFF85, 8);
    cut.bytes.resize(3);
    EXPECT_EQ(Append(cut), talix::kArgumentError);
    EXPECT_EQ(Nodes().size(), 9u);
    EXPECT_EQ(talix_test::CheckStructure(List()), "");
}

TEST_F(GateTest, NewParagraphIdsLieAboveTheItemsIds) {
    // The item being rewritten holds definitions 5 and 9.
    talix_test::TempDir dir;
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    ASSERT_EQ(plat::DbCreate(dir.file("ids.nsf").c_str(), &db), plat::NOERROR);
    ASSERT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
    ASSERT_EQ(talix_test::StoreRichTextItem(note, "Body",
                                            {Definition(5), Reference(5), Text("a"), Definition(9), Reference(9)}),
              plat::NOERROR);
    talix::STATUS status = 1;
    item_.work->current = talix::SIAR(&item_, 0, nullptr, 0, 0, note, "Body", &status);
    ASSERT_EQ(status, 0);

    // Copied old definitions keep their ids; new ones never reuse one.
    AppendAll({Definition(5), Reference(5), Definition(0), Reference(0), Definition(5), Reference(5),
               Definition(0), Reference(0)});
    const auto nodes = Nodes();
    EXPECT_EQ(ReadWord(nodes[2]->bytes + 4), 10);
    EXPECT_EQ(ReadWord(nodes[3]->bytes + 2), 10);
    EXPECT_EQ(ReadWord(nodes[6]->bytes + 4), 11);
    EXPECT_EQ(ReadWord(nodes[7]->bytes + 2), 11);
    EXPECT_EQ(talix::NextParagraphId(&output_), 12);
    plat::NoteClose(note);
    plat::DbClose(db);
}

TEST_F(GateTest, PendingDefinitionsReturnBeforeTheirFirstReference) {
    const FixtureRecord seven = Definition(7, 720), eight = Definition(8), nine = Definition(9);
    for (const auto* definition : {&seven, &eight, &nine})
        ASSERT_EQ(talix::SavePendingParagraph(session_.workArea, definition->bytes.data(), 72), 0);
    // A definition of the same id passing the gate takes the saved one's place.
    AppendAll({Definition(8), Reference(8), Text("a"), Reference(7)});
    EXPECT_EQ(Signatures(), (std::vector<std::uint16_t>{kSigPabDefinition, kSigPabReference, kSigText,
                                                         kSigPabDefinition, kSigPabReference}));
    EXPECT_EQ(ReadWord(Nodes()[3]->bytes + 14), 720);
    EXPECT_EQ(session_.workArea->pendingParagraphCount, 1);
    EXPECT_EQ(ReadWord(session_.workArea->pendingParagraphs[0] + 4), 9);

    // A reference merged into the one before it brings its definition too.
    AppendAll({Reference(9)});
    const auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 6u);
    EXPECT_EQ(nodes[4]->signature, kSigPabDefinition);
    EXPECT_EQ(ReadWord(nodes[4]->bytes + 4), 9);
    EXPECT_EQ(ReadWord(nodes[5]->bytes + 2), 9);
    EXPECT_EQ(session_.workArea->pendingParagraphCount, 0);
    EXPECT_EQ(talix_test::CheckStructure(List()), "");
}

TEST_F(GateTest, RestartMarksTheBodySoFar) {
    AppendAll({Definition(1), Reference(1)});
    output_.restartBody = 1;
    // The new body's reference stays a node of its own.
    AppendAll({Reference(1), Text("new")});
    const auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 4u);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(nodes[i]->flags & talix::kNodeRemoveMark, talix::kNodeRemoveMark);
    for (int i = 2; i < 4; ++i) EXPECT_EQ(nodes[i]->flags & talix::kNodeRemoveMark, 0);
    EXPECT_EQ(output_.restartBody, 0u);
}

TEST_F(GateTest, LinkMarkAndStoredPadsCarryOver) {
    session_.workArea->linkMark = 1;
    AppendAll({Text("linked")});
    session_.workArea->linkMark = 0;
    AppendAll({Text("plain")});
    EXPECT_EQ(Nodes()[0]->flags & talix::kNodeLinkMark, talix::kNodeLinkMark);
    EXPECT_EQ(Nodes()[1]->flags & talix::kNodeLinkMark, 0);

    // A node read with a non-zero pad byte keeps it when copied.
    FixtureRecord odd = Text("odd");
    talix::CDRecordNode source;
    source.signature = kSigText;
    source.length = 11;
    source.bytes = odd.bytes.data();
    source.flags = static_cast<std::uint16_t>(talix::kNodeKeptPad | (0x5A << talix::kNodePadShift));
    ASSERT_EQ(talix::AppendRecordNode(&source, &output_), 0);
    EXPECT_EQ(Nodes().back()->flags & 0xFF20, 0x5A20);
}

TEST_F(GateTest, LongOutputsMoveToNewSegments) {
    const std::string text(10000, 'x');
    for (int i = 0; i < 12; ++i) ASSERT_EQ(talix::AppendTextRecord(text.data(), 10000, nullptr, &output_), 0);
    ASSERT_EQ(talix::CloseOutputSegment(&output_), 0);
    int segments = 0;
    std::uint16_t expectFirst = 1;
    for (auto* segment = List()->firstSegment; segment != nullptr; segment = segment->next) {
        ++segments;
        EXPECT_EQ(segment->firstIndex, expectFirst);
        EXPECT_LE(segment->size, talix::kOutputSegmentCapacity - 16384u);
        expectFirst = static_cast<std::uint16_t>(segment->lastIndex + 1);
    }
    EXPECT_EQ(segments, 3);
    EXPECT_EQ(expectFirst, 13);
}

// What a collector takes: the records as they were built.
struct Collected {
    std::vector<FixtureRecord> records;
    static talix::STATUS Take(void* owner, const void* record, std::uint16_t signature, std::uint32_t length) {
        auto* collected = static_cast<Collected*>(owner);
        FixtureRecord kept;
        kept.signature = signature;
        kept.bytes.assign(static_cast<const std::uint8_t*>(record), static_cast<const std::uint8_t*>(record) + length);
        collected->records.push_back(kept);
        return signature == 0xFFFF ? talix::kOutOfMemory : talix::kOK;
    }
};

TEST_F(GateTest, RecordsOfACollectorPassTheGateOnceWhenHandedOn) {
    Collected collected;
    output_.collector = talix::RecordCollector{&collected, Collected::Take};
    // None of the gate's rules apply while the collector takes the records:
    // a cell outside a table is no error, definitions keep id 0, two empty
    // runs stay two, the table level does not move.
    AppendAll({Definition(0), Text(""), Text(""), Cell(0), TableBegin(), Text("a")});
    EXPECT_EQ(Append(HostRecord(0xFFFF, 4)), talix::kOutOfMemory);   // the collector's status comes back
    ASSERT_EQ(collected.records.size(), 7u);
    EXPECT_EQ(ReadWord(collected.records[0].bytes.data() + 4), 0);
    EXPECT_EQ(List(), nullptr);
    EXPECT_EQ(output_.tableLevel, 0);
    EXPECT_EQ(output_.lastParagraphId, 0);
    EXPECT_TRUE(g_messages.empty());

    // Handed on to the item, they meet the rules once: numbered, the second
    // empty run dropped, the cell and the table begin checked.
    for (int i : {0, 1, 2, 5}) {
        const FixtureRecord& record = collected.records[static_cast<std::size_t>(i)];
        ASSERT_EQ(talix::AppendRecordToItem(record.bytes.data(), record.signature,
                                            static_cast<std::uint32_t>(record.bytes.size()), &output_),
                  0);
    }
    EXPECT_EQ(Signatures(), (std::vector<std::uint16_t>{kSigPabDefinition, kSigText, kSigText}));
    EXPECT_EQ(ReadWord(Nodes()[0]->bytes + 4), 1);
    const FixtureRecord& cell = collected.records[3];
    EXPECT_EQ(talix::AppendRecordToItem(cell.bytes.data(), cell.signature, 18, &output_), talix::kBodyStructureError);
    EXPECT_EQ(Signatures().size(), 3u);

    // Taken off, the output writes to the item again.
    output_.collector = talix::RecordCollector{};
    AppendAll({Text("c")});
    EXPECT_EQ(Signatures().size(), 4u);
    EXPECT_EQ(collected.records.size(), 7u);
}

TEST_F(GateTest, AnImportTakesEveryRecord) {
    talix::HTMLImportContext import;
    import.session = &session_;
    talix::AttachImport(&output_, &import);
    AppendAll({Text("a"), Text("")});
    EXPECT_EQ(List(), nullptr);   // nothing went to the item
    // The insertion cursor places records after it.
    import.insertAfter = import.listHead;
    AppendAll({Text("bcd"), Reference(1)});
    std::vector<std::uint32_t> lengths;
    for (auto* node = import.listHead; node != nullptr; node = node->next) lengths.push_back(node->length);
    EXPECT_EQ(lengths, (std::vector<std::uint32_t>{9, 11, 4, 8}));
    EXPECT_EQ(import.listTail->length, 8u);
    EXPECT_EQ(import.lastAdded->signature, kSigPabReference);
    EXPECT_EQ(import.listHead->next->bytes[11], 0);   // odd records get a zero pad
    talix::FreeImportRecords(&import);
    EXPECT_EQ(import.listHead, nullptr);
}

} // namespace
