// Removing a chunk's content, its hotspots, links, sections and fields:
// what goes, what stays, and that the stored body stays well formed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "builders/append_gate.h"
#include "core/item_work_state.h"
#include "core/record_forms.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "edit_fixture.h"
#include "engine/record_process.h"
#include "support/op_runner.h"
#include "support/rich_text_items.h"
#include "support/structure_checker.h"
#include "support/test_support.h"
#include "talix/chunk.h"
#include "talix_platform.h"

namespace {

using engine_test::Bracket;
using engine_test::Count;
using engine_test::Definition;
using engine_test::EditTest;
using engine_test::Hotspot;
using engine_test::NonEmptyTexts;
using engine_test::Paragraph;
using engine_test::Rec;
using engine_test::Records;
using engine_test::ReferenceTo;
using engine_test::Runs;
using engine_test::TablesItem;
using engine_test::Text;
using engine_test::With;
using talix::kSigBar;
using talix::kSigBegin;
using talix::kSigButton;
using talix::kSigEnd;
using talix::kSigExt2Field;
using talix::kSigExtField;
using talix::kSigField;
using talix::kSigHotspotBegin;
using talix::kSigPabDefinition;
using talix::kSigPabReference;
using talix::kSigTableBegin;
using talix::kSigTableCell;
using talix::kSigTableEnd;
using talix_test::FixtureRecord;
using talix_test::HostRecord;
using talix_test::Op;
using talix_test::Operation;
using talix_test::PutWord;
using talix_test::RunOperation;

constexpr std::uint16_t kV4Hotspot = 0xFFAD, kV4End = 0xAE, kEndAA = 0xAA;
constexpr std::uint16_t kAction = 0xFF71, kDocLink = 0xFF92;

FixtureRecord ActionOfType(std::uint16_t type) { return With(kAction, 28, 8, type); }

// A URL link bracketed as stored items hold it: CDBEGIN, its action record,
// the hotspot, its text, the hotspot end, CDEND.
void AddUrlLink(Records* records, const std::string& text, std::uint32_t flags = 0) {
    for (auto record : {Bracket(kSigBegin, kV4Hotspot), ActionOfType(1), Hotspot(kV4Hotspot, 11, flags, "http://a.b/"),
                        Text(text), With(kV4End, 2), Bracket(kSigEnd, kV4Hotspot)})
        records->push_back(record);
}

// A button: hotspot of type 3, the button record, its label text, the end.
void AddButton(Records* records, const std::string& label) {
    for (auto record : {Hotspot(kSigHotspotBegin, 3, 0, ""), With(kSigButton, 16), Text(label), With(kEndAA, 2)})
        records->push_back(record);
}

// A document link icon in its bracket.
void AddDocLink(Records* records) {
    for (auto record : {Bracket(kSigBegin, kDocLink), With(kDocLink, 44), Bracket(kSigEnd, kDocLink)})
        records->push_back(record);
}

// A field named name: optionally bracketed, its extension records and the
// CDFIELD.
void AddField(Records* records, const std::string& name, bool bracketed) {
    FixtureRecord field = HostRecord(kSigField, static_cast<std::uint32_t>(40 + name.size()));
    PutWord(&field, 32, static_cast<std::uint16_t>(name.size()));
    std::copy(name.begin(), name.end(), field.bytes.begin() + 40);
    if (bracketed) records->push_back(Bracket(kSigBegin, kSigExt2Field));
    records->push_back(With(kSigExt2Field, 88));
    records->push_back(With(kSigExtField, 20));
    records->push_back(field);
    if (bracketed) records->push_back(Bracket(kSigEnd, kSigExt2Field));
}

std::vector<std::string> FieldNames(const std::vector<Rec>& records) {
    std::vector<std::string> names;
    for (const Rec& record : records) {
        if (record.signature == kSigField)
            names.emplace_back(record.bytes.begin() + 40, record.bytes.begin() + 40 + record.Word(32));
    }
    return names;
}

class RemovalTest : public EditTest {};

TEST_F(RemovalTest, RemovingHotspotsLeavesTheirTextAsPlainText) {
    Records body = Runs({"a"});
    AddUrlLink(&body, "link");
    body.push_back(Text("b"));
    // Whatever a link's bracket holds goes with it, text included.
    body.push_back(Bracket(kSigBegin, kDocLink));
    body.push_back(With(kDocLink, 44));
    body.push_back(Text("icon"));
    body.push_back(Bracket(kSigEnd, kDocLink));
    AddButton(&body, "press");
    body.push_back(Text("c"));
    ZervaRTChunk* chunk = Open(body);
    ASSERT_NE(chunk, nullptr);

    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpRemoveHotspots)), 0);
    const std::vector<Rec> records = Saved();
    EXPECT_EQ(NonEmptyTexts(records), (std::vector<std::string>{"a", "link", "b", "press", "c"}));
    for (std::uint16_t gone :
         {kV4Hotspot, kSigHotspotBegin, kV4End, kEndAA, kAction, kDocLink, kSigButton, kSigBegin, kSigEnd})
        EXPECT_EQ(Count(records, gone), 0u) << std::hex << gone;
    EXPECT_EQ(item_.modified, 1);
}

// A button's script goes with the button: its event and the parts of its
// code, bracketed or not; an event outside any hotspot stays.
TEST_F(RemovalTest, RemovingHotspotsTakesTheCodeOfTheirButtons) {
    Records body = Runs({"a"});
    body.push_back(With(talix::kSigEvent, 32));
    for (auto record : {Bracket(kSigBegin, kV4Hotspot), Hotspot(kV4Hotspot, 3, 0, ""), With(talix::kSigEvent, 32),
                        With(talix::kSigBlobPart, 30), With(talix::kSigBlobPart, 30), With(kSigButton, 18),
                        With(kV4End, 2), Bracket(kSigEnd, kV4Hotspot)})
        body.push_back(record);
    for (auto record : {Hotspot(kSigHotspotBegin, 3, 0, ""), With(talix::kSigEvent, 32), With(talix::kSigBlobPart, 30),
                        With(kSigButton, 16), Text("press"), With(kEndAA, 2)})
        body.push_back(record);
    body.push_back(Text("b"));
    ZervaRTChunk* chunk = Open(body);
    ASSERT_NE(chunk, nullptr);

    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpRemoveHotspots)), 0);
    const std::vector<Rec> records = Saved();
    EXPECT_EQ(NonEmptyTexts(records), (std::vector<std::string>{"a", "press", "b"}));
    EXPECT_EQ(Count(records, talix::kSigEvent), 1u);
    for (std::uint16_t gone : {talix::kSigBlobPart, kV4Hotspot, kSigHotspotBegin, kSigButton, kSigBegin, kSigEnd})
        EXPECT_EQ(Count(records, gone), 0u) << std::hex << gone;
}

TEST_F(RemovalTest, RemovingLinksLeavesButtonsAndWithASwitchComputedLinks) {
    Records body = Runs({"a"});
    AddUrlLink(&body, "plain");
    AddDocLink(&body);
    AddButton(&body, "press");
    AddUrlLink(&body, "computed", 0x1000);
    body.push_back(Text("z"));

    ZervaRTChunk* chunk = Open(body);
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpRemoveLinks)), 0);
    std::vector<Rec> records = Saved();
    EXPECT_EQ(NonEmptyTexts(records), (std::vector<std::string>{"a", "plain", "press", "computed", "z"}));
    EXPECT_EQ(Count(records, kV4Hotspot), 0u);
    EXPECT_EQ(Count(records, kAction), 0u);
    EXPECT_EQ(Count(records, kV4End), 0u);
    EXPECT_EQ(Count(records, kDocLink), 0u);
    EXPECT_EQ(Count(records, kSigBegin), 0u);
    // The button is left whole.
    EXPECT_EQ(Count(records, kSigHotspotBegin), 1u);
    EXPECT_EQ(Count(records, kSigButton), 1u);
    EXPECT_EQ(Count(records, kEndAA), 1u);

    // With the switch a computed URL link with a URL action stays.
    chunk = Open(body);
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpRemoveLinks, 1)), 0);
    records = Saved();
    ASSERT_EQ(Count(records, kV4Hotspot), 1u);
    for (const Rec& record : records)
        if (record.signature == kV4Hotspot) EXPECT_EQ(record.Word(8), 0x1000);
    EXPECT_EQ(Count(records, kSigBegin), 1u);
    EXPECT_EQ(Count(records, kV4End), 1u);
    EXPECT_EQ(NonEmptyTexts(records), (std::vector<std::string>{"a", "plain", "press", "computed", "z"}));
}

TEST_F(RemovalTest, RemovingSectionsKeepsTheirContentAndOtherHotspots) {
    Records body = Runs({"a"});
    for (auto record : {Hotspot(kV4Hotspot, 12, 0, ""), Bracket(kSigBegin, kSigBar), With(kSigBar, 12), Text("Title"),
                        Bracket(kSigEnd, kSigBar), Paragraph(), ReferenceTo(1), Text("inside")})
        body.push_back(record);
    AddButton(&body, "press");
    body.push_back(With(kV4End, 2));
    AddUrlLink(&body, "link");
    body.push_back(Text("after"));

    ZervaRTChunk* chunk = Open(body);
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpRemoveSections)), 0);
    const std::vector<Rec> records = Saved();
    EXPECT_EQ(Count(records, kSigBar), 0u);
    EXPECT_EQ(NonEmptyTexts(records), (std::vector<std::string>{"a", "inside", "press", "link", "after"}));
    // The section's title bracket went with it; the button and the link stay
    // whole.
    EXPECT_EQ(Count(records, kSigHotspotBegin), 1u);
    EXPECT_EQ(Count(records, kEndAA), 1u);
    EXPECT_EQ(Count(records, kV4Hotspot), 1u);
    EXPECT_EQ(Count(records, kV4End), 1u);
    EXPECT_EQ(Count(records, kSigBegin), 1u);
    EXPECT_EQ(Count(records, kAction), 1u);
}

TEST_F(RemovalTest, RemovingFieldsByPatternTakesTheMatchingOnes) {
    Records body = Runs({"a"});
    AddField(&body, "Total", true);
    body.push_back(Text("b"));
    AddField(&body, "Name", true);
    AddField(&body, "Totals", false);
    AddField(&body, "SubTotal", false);
    body.push_back(Text("c"));

    ZervaRTChunk* chunk = Open(body);
    ASSERT_NE(chunk, nullptr);
    talix_test::Operation remove = Op(talix::kOpRemoveFields, 4, 0, "Tot*");
    EXPECT_EQ(RunOperation(chunk, remove), 0);
    std::vector<Rec> records = Saved();
    EXPECT_EQ(FieldNames(records), (std::vector<std::string>{"Name", "SubTotal"}));
    EXPECT_EQ(Count(records, kSigExt2Field), 2u);
    EXPECT_EQ(Count(records, kSigExtField), 2u);
    EXPECT_EQ(Count(records, kSigBegin), 1u);
    EXPECT_EQ(NonEmptyTexts(records), (std::vector<std::string>{"a", "b", "c"}));

    // A length of 0 takes every field.
    chunk = Open(body);
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpRemoveFields, 0, 0, "Tot*")), 0);
    records = Saved();
    EXPECT_TRUE(FieldNames(records).empty());
    EXPECT_EQ(Count(records, kSigExt2Field) + Count(records, kSigExtField) + Count(records, kSigBegin), 0u);

    // A pattern that covers the whole name takes the field even where what
    // follows its "*" is found earlier in the name too.
    Records named = Runs({"a"});
    AddField(&named, "Address", false);
    AddField(&named, "Status", true);
    AddField(&named, "Assets", false);
    named.push_back(Text("b"));
    for (const char* pattern : {"A*s", "*s", "S*?s"}) {
        SCOPED_TRACE(pattern);
        chunk = Open(named);
        const auto length = static_cast<std::uint16_t>(std::strlen(pattern));
        EXPECT_EQ(RunOperation(chunk, Op(talix::kOpRemoveFields, length, 0, pattern)), 0);
        const std::vector<std::string> left = FieldNames(Saved());
        const std::vector<std::string> expected =
            pattern[0] == 'A' ? std::vector<std::string>{"Status"}
            : pattern[0] == 'S' ? std::vector<std::string>{"Address", "Assets"} : std::vector<std::string>{};
        EXPECT_EQ(left, expected);
    }
}

TEST_F(RemovalTest, RemovingAParagraphKeepsTheDefinitionsOthersStillUse) {
    const Records body = {Definition(1), ReferenceTo(1), Text("a"), Paragraph(), Definition(2, 720),
                          ReferenceTo(2), Text("b"), Paragraph(), ReferenceTo(2), Text("c")};
    ZervaRTChunk* chunk = Open(body, "Paragraph 2");
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpRemove)), 0);
    std::vector<Rec> records = Saved();   // every reference names a definition before it
    EXPECT_EQ(NonEmptyTexts(records), (std::vector<std::string>{"a", "c"}));
    ASSERT_EQ(Count(records, kSigPabDefinition), 2u);
    for (const Rec& record : records)
        if (record.signature == kSigPabDefinition && record.Word(4) == 2) EXPECT_EQ(record.bytes, body[4].bytes);

    // Removing everything leaves an empty but well-formed item.
    chunk = Open(body);
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpRemove)), 0);
    records = Saved();
    EXPECT_TRUE(NonEmptyTexts(records).empty());
}

TEST_F(RemovalTest, RemovingTheInsideOfATableKeepsTheTable) {
    ZervaRTChunk* chunk = Open(TablesItem(), "Inside Table 2");
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpRemove)), 0);
    const std::vector<Rec> records = Saved();
    std::vector<std::string> texts = NonEmptyTexts(records);
    for (const char* gone : {"t2a", "t2b", "t2c", "t2d"})
        EXPECT_EQ(std::count(texts.begin(), texts.end(), gone), 0) << gone;
    for (const char* kept : {"Intro", "r1c1", "n22", "r5c3", "Between", "End"})
        EXPECT_EQ(std::count(texts.begin(), texts.end(), kept), 1) << kept;
    // Both tables keep their begin, their cells and their end.
    EXPECT_EQ(Count(records, kSigTableBegin), 2u);
    EXPECT_EQ(Count(records, kSigTableCell), 15u + 4u);
    EXPECT_EQ(Count(records, kSigTableEnd), 2u);
}

TEST_F(RemovalTest, RemovingACellEmptiesItAndKeepsEveryCellInItsRow) {
    for (const char* cell : {"Table 2; Row 2; Column 1", "Table 2; Row 1; Column 1", "Table 2; Row 2; Column 2"}) {
        SCOPED_TRACE(cell);
        ZervaRTChunk* chunk = Open(TablesItem(), cell);
        ASSERT_NE(chunk, nullptr);
        EXPECT_EQ(RunOperation(chunk, Op(talix::kOpRemove)), 0);
        const std::vector<Rec> records = Saved();
        EXPECT_EQ(Count(records, kSigTableCell), 15u + 4u);
        EXPECT_EQ(TextOf(cell), "");
        // The other cells stay where they were.
        const std::vector<std::pair<const char*, const char*>> others = {{"Table 2; Row 1; Column 1", "t2a"},
                                                                         {"Table 2; Row 1; Column 2", "t2b"},
                                                                         {"Table 2; Row 2; Column 1", "t2c"},
                                                                         {"Table 2; Row 2; Column 2", "t2d"}};
        for (const auto& [other, text] : others)
            if (std::strcmp(other, cell) != 0) EXPECT_EQ(TextOf(other), text) << other;
        EXPECT_EQ(TextOf("Table 1; Row 5; Column 3"), "r5c3");
    }
}

TEST_F(RemovalTest, RemovingATableBeforeTheFirstDefinitionLeavesNoReferenceWithoutOne) {
    // An item whose first paragraph has no definition of its own (such as
    // the body of a file resource), then a table whose cells use one, then
    // a paragraph of a definition of its own.
    Records body = {Text("before"), Paragraph(), With(kSigTableBegin, 14), With(kSigTableCell, 18), Paragraph(),
                    Definition(3, 1500), ReferenceTo(3), Text("cell"), With(kSigTableEnd, 8), Paragraph(),
                    Definition(5, 720), ReferenceTo(5), Text("after")};
    ZervaRTChunk* chunk = Open(body, "Table 1");
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpRemove)), 0);
    // The checker finds every reference's definition before it.
    const std::vector<Rec> records = Saved();
    EXPECT_EQ(NonEmptyTexts(records), (std::vector<std::string>{"before", "after"}));
    EXPECT_EQ(Count(records, kSigTableBegin) + Count(records, kSigTableCell) + Count(records, kSigTableEnd), 0u);
    // The paragraph after the table keeps its own definition.
    std::uint16_t last = 0;
    for (const Rec& record : records)
        if (record.signature == kSigPabReference) last = record.Word(2);
    EXPECT_EQ(last, 5);
}

TEST_F(RemovalTest, ADefinitionRemovedFromAFirstRowCellStaysRememberedForItsColumn) {
    ZervaRTChunk* chunk = Open(Runs({"a"}));
    ASSERT_NE(chunk, nullptr);
    // The run's state where the output stands in a cell of column 2 of a
    // table's first row, its paragraph not yet defined.
    talix::RecordProcessContext context;
    context.session = &session_;
    context.chunk = chunk;
    context.operation = 2366;
    context.recordCounter = 1;
    context.output.session = &session_;
    context.output.item = &item_;
    context.output.tableLevel = 1;
    context.output.inTable[1] = 1;
    context.output.cellJustBegun[1] = 1;
    context.output.currentColumn[1] = 2;
    context.output.columnSpacing[1] = 40;
    context.output.cellLeftMargin[1] = 3000;
    context.output.cellRightMargin[1] = 5000;
    FixtureRecord definition = Definition(7, 100);
    PutWord(&definition, 6, 3);
    std::vector<std::uint8_t> bytes = definition.bytes;
    EXPECT_EQ(talix::ProcessChunkRecord(bytes.data(), kSigPabDefinition, static_cast<std::uint32_t>(bytes.size()),
                                        &context),
              0);
    const std::uint8_t* slot = context.output.columnSlots[1][2];
    EXPECT_EQ(talix::ReadWord(slot + 4), 7);
    EXPECT_EQ(talix::ReadWord(slot + 6), 3);
    EXPECT_EQ(talix::ReadWord(slot + 14), 3040);   // the cell's bounds
    EXPECT_EQ(talix::ReadWord(slot + 16), 4960);
    EXPECT_EQ(context.output.cellJustBegun[1], 0u);
    // It is kept for the references after the removed part as well.
    EXPECT_EQ(session_.workArea->pendingParagraphCount, 1);

    // In a later row the column keeps the definition of the first row.
    context.output.cellJustBegun[1] = 1;
    context.output.rowCounter[1] = 1;
    FixtureRecord later = Definition(8, 100);
    bytes = later.bytes;
    EXPECT_EQ(talix::ProcessChunkRecord(bytes.data(), kSigPabDefinition, static_cast<std::uint32_t>(bytes.size()),
                                        &context),
              0);
    EXPECT_EQ(talix::ReadWord(slot + 4), 7);
    EXPECT_EQ(session_.workArea->pendingParagraphCount, 2);
    talix::FreePendingParagraphs(session_.workArea);
}

using talix_test::CollectMessage;
using talix_test::g_messages;

TEST_F(RemovalTest, DefinitionsBeyondTheThousandthAreReportedAndStillRemoved) {
    Records body;
    for (std::uint16_t id = 1; id <= 1002; ++id) body.push_back(Definition(id));
    body.push_back(ReferenceTo(1));
    body.push_back(Text("a"));
    ZervaRTChunk* chunk = Open(body);
    ASSERT_NE(chunk, nullptr);
    g_messages.clear();
    plat::RegisterMessageProc(CollectMessage);
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpRemove)), 0);
    plat::RegisterMessageProc(nullptr);
    EXPECT_EQ(g_messages, std::vector<std::string>(2, "TALIX: Unable to save additional deleted PAB definitions."));
    const std::vector<Rec> records = Saved();
    EXPECT_TRUE(NonEmptyTexts(records).empty());
    // The definition the closing reference names came back.
    EXPECT_EQ(Count(records, kSigPabDefinition), 1u);
}

TEST_F(RemovalTest, RemovingAFileHotspotRemovesItsAttachment) {
    talix_test::TempDir dir;
    const std::string path = dir.file("notes.txt");
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs("hello", file);
        std::fclose(file);
    }
    Records body = Runs({"a"});
    body.push_back(Hotspot(kV4Hotspot, 4, 0, std::string("notes.txt\0", 10)));
    body.push_back(Text("file"));
    body.push_back(With(kV4End, 2));
    body.push_back(Text("z"));
    ZervaRTChunk* chunk = Open(body);
    ASSERT_NE(chunk, nullptr);
    ASSERT_EQ(plat::NoteAttachFile(item_.noteHandle, "$FILE", 5, path.c_str(), "notes.txt", 0), 0);
    ASSERT_EQ(plat::NoteUpdate(item_.noteHandle, 0), 0);

    // The method asks for the chunk's record range first.
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpQuery, 2321)), 0);
    EXPECT_GT(session_.workArea->foundFirstRecord, 0);
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpRemove)), 0);
    Saved();
    EXPECT_FALSE(plat::ItemIsPresent(item_.noteHandle, "$FILE", 5));
}

} // namespace

namespace {

std::string AllText(ZervaRTItem* item) {
    ZervaRTChunk* everything = item->DefineChunk("Everything");
    std::vector<char> text(70000);
    everything->GetText(nullptr, text.data(), 70000, 1, nullptr);
    delete everything;
    return text.data();
}

// On real items, removing hotspots, links, sections or fields and changing
// paragraphs keep every text and a well-formed body.
TEST(RealItemEdits, KeepTheTextAndAWellFormedBody) {
    talix_test::TempDir dir;
    const std::string path = dir.file("real.nsf");
    std::vector<talix_test::NoteItem> targets;
    const auto files = talix_test::SampleAndSharedDxlFiles();
    ASSERT_EQ(talix_test::ImportRichTextItems(path, files, /*withImageData=*/true, &targets), plat::NOERROR);
    ASSERT_FALSE(targets.empty());
    struct Edit {
        const char* chunk;
        talix_test::Operation operation;
    };
    Operation changeAll = Op(talix::kOpChangeParagraph, 0, 0, "LeftMargin=1.5 Justify=CENTER");
    Operation changeOne = Op(talix::kOpChangeParagraph, 0, 0, "RightMargin=0.5 +KEEP_WITH_NEXT");
    const Edit edits[] = {{"Everything", Op(talix::kOpRemoveHotspots)},
                          {"Everything", Op(talix::kOpRemoveLinks)},
                          {"Everything", Op(talix::kOpRemoveSections)},
                          {"Everything", Op(talix::kOpRemoveFields)},
                          {"Everything", changeAll},
                          {"Paragraph 2", changeOne},
                          {"Paragraph 3-4", changeOne}};
    RARIvoSession session;
    int changed = 0;
    for (const auto& [id, name] : targets) {
        for (const Edit& edit : edits) {
            SCOPED_TRACE("note " + std::to_string(id) + " item " + name + " operation " +
                         std::to_string(edit.operation.code) + " on " + edit.chunk);
            ZervaRTItem item(&session);
            item.Connect("", path.c_str(), id, name.c_str(), 0);
            ASSERT_EQ(item.connected, 1);
            const std::string before = AllText(&item);
            const bool wellFormed = talix_test::CheckStructure(item.work->current).empty();
            ZervaRTChunk* chunk = item.DefineChunk(edit.chunk);
            ASSERT_EQ(RunOperation(chunk, edit.operation), 0);
            changed += item.modified != 0 ? 1 : 0;
            if (wellFormed) EXPECT_EQ(talix_test::CheckStructure(item.work->current), "");
            EXPECT_EQ(AllText(&item), before);
        }
    }
    EXPECT_GT(changed, 20);
}

} // namespace
