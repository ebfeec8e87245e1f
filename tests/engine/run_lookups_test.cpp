// The item walkers that work for an operation run: the search for the cell
// that covers a spanned cell, the removal of the attachments hotspots name,
// and the look-ups of paragraph definitions in a record list.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/attachments.h"
#include "core/record_forms.h"
#include "core/walkers.h"
#include "engine/record_process.h"
#include "engine/run_lookups.h"
#include "support/record_fixture.h"
#include "support/test_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using talix_test::FixtureRecord;
using talix_test::HostRecord;
using talix_test::PutWord;

FixtureRecord Cell(std::uint8_t row, std::uint8_t column, std::uint8_t rowSpan = 1, std::uint8_t columnSpan = 1) {
    FixtureRecord cell = HostRecord(0x00A4, 18);
    cell.bytes[2] = row;
    cell.bytes[3] = column;
    cell.bytes[14] = rowSpan;
    cell.bytes[15] = columnSpan;
    return cell;
}

FixtureRecord AttachmentHotspot(const std::string& fileName) {
    const std::string data = fileName + '\0';
    FixtureRecord hotspot = HostRecord(0xFFA9, static_cast<std::uint32_t>(16 + data.size()));
    PutWord(&hotspot, 4, 4);
    PutWord(&hotspot, 12, static_cast<std::uint16_t>(data.size()));
    std::copy(data.begin(), data.end(), hotspot.bytes.begin() + 16);
    return hotspot;
}

FixtureRecord BareDefinition(std::uint16_t id) {
    FixtureRecord definition = HostRecord(0xFF82, 72);
    PutWord(&definition, 4, id);
    return definition;
}

class ContextWalkers : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(plat::DbCreate(dir_.file("c.nsf").c_str(), &db_), 0); }
    void TearDown() override {
        for (plat::NOTEHANDLE note : notes_) plat::NoteClose(note);
        plat::DbClose(db_);
    }
    plat::NOTEHANDLE NewNote(const std::vector<FixtureRecord>& body) {
        plat::NOTEHANDLE note = 0;
        EXPECT_EQ(plat::NoteCreate(db_, &note), 0);
        notes_.push_back(note);
        if (!body.empty()) {
            EXPECT_EQ(talix_test::StoreRichTextItem(note, "Body", body), 0);
        }
        return note;
    }

    // Stores the note with the files (each of the same content) and
    // connects item to its "Body" with the context on it.
    void ConnectWithFiles(plat::NOTEHANDLE note, const std::vector<const char*>& files, ZervaRTItem* item) {
        const std::string path = dir_.file("content.txt");
        std::ofstream(path) << "content";
        for (const char* name : files)
            ASSERT_EQ(plat::NoteAttachFile(note, "$FILE", 5, path.c_str(), name, plat::ATTACH_DEFAULT), 0);
        plat::NOTEID id = 0;
        ASSERT_EQ(plat::NoteUpdate(note, 0), 0);
        ASSERT_EQ(plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id), 0);
        ASSERT_EQ(item->Connect("", dir_.file("c.nsf").c_str(), id, "Body", 0), 0);
        context_->note = item->noteHandle;
        context_->itemName = "Body";
    }

    talix_test::TempDir dir_;
    plat::DBHANDLE db_ = 0;
    std::vector<plat::NOTEHANDLE> notes_;
    std::unique_ptr<talix::RecordProcessContext> context_ = std::make_unique<talix::RecordProcessContext>();
};

TEST_F(ContextWalkers, TheCellThatCoversASpannedCellIsFoundWithinItsTable) {
    // A 2 x 3 table whose rows 1-2 and columns 1-2 are merged: the block's
    // last (bottom-right) cell carries the spans. A second table has a cell
    // that would cover column 3.
    const std::vector<FixtureRecord> body = {BareDefinition(1), Cell(0, 0), Cell(0, 1), Cell(0, 2), Cell(1, 0),
                                             Cell(1, 1, 2, 2), Cell(1, 2), HostRecord(0x00A5, 8),
                                             HostRecord(0x00A3, 14), Cell(1, 2, 2, 1), HostRecord(0x00A5, 8)};
    std::vector<FixtureRecord> records = {body[0], HostRecord(0x00A3, 14)};
    records.insert(records.end(), body.begin() + 1, body.end());
    context_->note = NewNote(records);
    context_->itemName = "Body";
    talix::CellSearch& search = context_->cellSearch;

    search.wantedRow = 1;
    search.wantedColumn = 1;
    EXPECT_EQ(talix::FindTableCell(3, context_.get()), 0);
    EXPECT_EQ(search.foundRow, 2);
    EXPECT_EQ(search.foundColumn, 2);
    EXPECT_EQ(search.startRow, 1);
    EXPECT_EQ(search.startColumn, 1);

    search.wantedColumn = 3;
    EXPECT_EQ(talix::FindTableCell(3, context_.get()), 0);
    EXPECT_EQ(search.foundRow, 0);
    EXPECT_EQ(search.foundColumn, 0);

    // An item that is not rich text.
    context_->note = NewNote({});
    ASSERT_EQ(plat::ItemSetText(context_->note, "Body", "text", 4), 0);
    EXPECT_EQ(talix::FindTableCell(3, context_.get()), talix::kOperationFailed);
    EXPECT_EQ(context_->errorWord, talix::kErrNotRichText);
}

TEST_F(ContextWalkers, AttachmentsNamedByHotspotsAreRemovedWithinTheRange) {
    const std::string path = dir_.file("file.txt");
    std::ofstream(path) << "content";
    plat::NOTEHANDLE note = NewNote({BareDefinition(1), AttachmentHotspot("missing.txt"), talix_test::TextRecord(0, "m"),
                                     HostRecord(0x00AA, 2), AttachmentHotspot("file.txt"), talix_test::TextRecord(0, "f"),
                                     HostRecord(0x00AA, 2)});
    ASSERT_EQ(plat::NoteAttachFile(note, "$FILE", 5, path.c_str(), "file.txt", plat::ATTACH_DEFAULT), 0);
    plat::NOTEID id = 0;
    ASSERT_EQ(plat::NoteUpdate(note, 0), 0);
    ASSERT_EQ(plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id), 0);

    RARIvoSession session;
    ZervaRTItem item(&session);
    ASSERT_EQ(item.Connect("", dir_.file("c.nsf").c_str(), id, "Body", 0), 0);
    ZervaRTChunk* chunk = item.DefineChunk("Everything");
    ASSERT_NE(chunk, nullptr);
    context_->note = item.noteHandle;
    context_->itemName = "Body";
    plat::BLOCKID block;

    // Outside the range nothing goes.
    context_->removeFirst = 1;
    context_->removeLast = 4;
    EXPECT_EQ(talix::RemoveChunkAttachments(chunk, context_.get()), 0);
    EXPECT_EQ(talix::FindAttachmentItem(item.noteHandle, "file.txt", &block, 0), 0);

    // A hotspot that names no attachment does not stop the walk.
    context_->removeFirst = 0;
    EXPECT_EQ(talix::RemoveChunkAttachments(chunk, context_.get()), 0);
    EXPECT_EQ(talix::FindAttachmentItem(item.noteHandle, "file.txt", &block, 0), talix::kItemNotFound);
}

// A picture kept as an attachment of the note: a storage link naming it.
FixtureRecord StoredPicture(const std::string& fileName) {
    FixtureRecord link = talix_test::HeadAndText(0xFFC4, 24, 10, fileName);
    PutWord(&link, 4, 1);
    PutWord(&link, 6, 1);
    return link;
}

TEST_F(ContextWalkers, ThePicturesOfTheRangeTakeTheirAttachmentsAlong) {
    // A link hotspot (type 7) whose text happens to be a file's name names
    // no attachment.
    FixtureRecord link = AttachmentHotspot("linked.txt");
    PutWord(&link, 4, 7);
    plat::NOTEHANDLE note = NewNote({BareDefinition(1), StoredPicture("Graphic"), link, HostRecord(0x00AA, 2),
                                     StoredPicture("Graphic0")});
    RARIvoSession session;
    ZervaRTItem item(&session);
    ConnectWithFiles(note, {"Graphic", "Graphic0", "linked.txt"}, &item);
    ZervaRTChunk* chunk = item.DefineChunk("Everything");
    ASSERT_NE(chunk, nullptr);
    context_->removeFirst = 1;
    context_->removeLast = 4;
    EXPECT_EQ(talix::RemoveChunkAttachments(chunk, context_.get()), 0);
    plat::BLOCKID block;
    EXPECT_EQ(talix::FindAttachmentItem(item.noteHandle, "Graphic", &block, 0), talix::kItemNotFound);
    EXPECT_EQ(talix::FindAttachmentItem(item.noteHandle, "Graphic0", &block, 0), 0);
    EXPECT_EQ(talix::FindAttachmentItem(item.noteHandle, "linked.txt", &block, 0), 0);
}

TEST_F(ContextWalkers, RemovedRecordsTakeAlongOnlyTheFilesNothingElseNames) {
    // Records 2-7 are the removed range: a hotspot of a file the same item
    // also shows later (in other capitals), one another item shows, a
    // picture and a hotspot only the range shows, an OLE object another item
    // shows and one only the range shows.
    const auto ole = [](const std::string& name) { return talix_test::HeadAndText(0xFFA7, 20, 14, name); };
    plat::NOTEHANDLE note = NewNote({BareDefinition(1), AttachmentHotspot("shared.txt"), AttachmentHotspot("aside.txt"),
                                     StoredPicture("Graphic"), AttachmentHotspot("only.txt"), ole("EXT1"), ole("EXT2"),
                                     talix_test::TextRecord(0, "after"), AttachmentHotspot("SHARED.txt"),
                                     HostRecord(0x00AA, 2)});
    ASSERT_EQ(talix_test::StoreRichTextItem(note, "Aside", {BareDefinition(1), StoredPicture("aside.txt"), ole("ext1")}),
              0);
    const std::string path = dir_.file("object.ole");
    std::ofstream(path) << "object";
    for (const char* name : {"EXT1", "EXT2"})
        ASSERT_EQ(plat::NoteWriteOleObject(note, path.c_str(), name, "Worksheet", 0), 0);
    RARIvoSession session;
    ZervaRTItem item(&session);
    ConnectWithFiles(note, {"shared.txt", "aside.txt", "Graphic", "only.txt", "unnamed.txt"}, &item);
    const auto files = [&] {
        std::vector<talix::NoteAttachment> attachments;
        EXPECT_EQ(talix::ListAttachments(item.noteHandle, &attachments), 0);
        std::vector<std::string> names;
        for (const talix::NoteAttachment& attachment : attachments) names.push_back(attachment.name);
        std::sort(names.begin(), names.end());
        return names;
    };
    ZervaRTChunk* chunk = item.DefineChunk("Everything");
    ASSERT_NE(chunk, nullptr);
    context_->removeFirst = 2;
    context_->removeLast = 7;
    EXPECT_EQ(talix::RemoveChunkAttachments(chunk, context_.get()), 0);
    EXPECT_EQ(files(), (std::vector<std::string>{"EXT1", "aside.txt", "shared.txt", "unnamed.txt"}));
    std::string description;
    plat::WORD flags = 0;
    EXPECT_TRUE(talix::FindOleObjectInfo(item.noteHandle, "EXT1", &description, &flags));
    EXPECT_FALSE(talix::FindOleObjectInfo(item.noteHandle, "EXT2", &description, &flags));

    // With no range every record of the item is removed: the file only it
    // showed goes, the ones another item shows stay.
    context_->removeFirst = 0;
    EXPECT_EQ(talix::RemoveChunkAttachments(chunk, context_.get()), 0);
    EXPECT_EQ(files(), (std::vector<std::string>{"EXT1", "aside.txt", "unnamed.txt"}));
}

TEST_F(ContextWalkers, RemovingAChunkKeepsTheFileAHotspotAfterItStillNames) {
    std::vector<FixtureRecord> body = {BareDefinition(1), HostRecord(0x0083, 4)};
    for (const char* label : {"first", "again"}) {
        for (const FixtureRecord& record :
             {AttachmentHotspot("both.txt"), talix_test::TextRecord(0, label), HostRecord(0x00AA, 2)})
            body.push_back(record);
    }
    RARIvoSession session;
    ZervaRTItem item(&session);
    ConnectWithFiles(NewNote(body), {"both.txt"}, &item);
    ZervaRTChunk* chunk = item.DefineChunk("Hotspot 1");
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(chunk->Remove(), 0);
    plat::BLOCKID block;
    EXPECT_EQ(talix::FindAttachmentItem(item.noteHandle, "both.txt", &block, 0), 0);
    // The hotspot left is the second one, and the file it names is there.
    char text[32] = {};
    item.DefineChunk("Everything")->GetText(nullptr, text, sizeof text, 1, "");
    EXPECT_STREQ(text, "again");
}

TEST_F(ContextWalkers, RemovalsBeforeTheItemIsStoredJudgeTheRecordsItHolds) {
    // An item that keeps its records unstored between operations: after the
    // first hotspot is removed, the second one the item holds is the third
    // stored one, and removing it takes its own file, not the file of the
    // hotspot that now stands where it stood in the stored records.
    std::vector<FixtureRecord> body = {BareDefinition(1), HostRecord(0x0083, 4)};
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        for (const FixtureRecord& record : {AttachmentHotspot(name), talix_test::TextRecord(0, name), HostRecord(0x00AA, 2)})
            body.push_back(record);
    }
    RARIvoSession session;
    ZervaRTItem item(&session);
    ConnectWithFiles(NewNote(body), {"a.txt", "b.txt", "c.txt"}, &item);
    item.cacheRecords = 1;
    auto present = [&](const char* name) {
        plat::BLOCKID block;
        return talix::FindAttachmentItem(item.noteHandle, name, &block, 0) == 0;
    };
    ASSERT_EQ(item.DefineChunk("Hotspot 1")->Remove(), 0);
    EXPECT_FALSE(present("a.txt"));
    ASSERT_EQ(item.DefineChunk("Hotspot 2")->Remove(), 0);
    EXPECT_TRUE(present("b.txt"));
    EXPECT_FALSE(present("c.txt"));
    char text[32] = {};
    item.DefineChunk("Everything")->GetText(nullptr, text, sizeof text, 1, "");
    EXPECT_STREQ(text, "b.txt");
}

TEST_F(ContextWalkers, ParagraphDefinitionsAreLoadedByIdAndDirection) {
    std::vector<FixtureRecord> records = {BareDefinition(3), HostRecord(0x0083, 4), BareDefinition(5),
                                          talix_test::TextRecord(0, "t"), BareDefinition(2)};
    std::vector<talix::CDRecordNode> nodes(records.size());
    talix::ItemRecordList list;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        nodes[i].signature = records[i].signature;
        nodes[i].length = static_cast<std::uint32_t>(records[i].bytes.size());
        nodes[i].index = static_cast<std::uint16_t>(i + 1);
        nodes[i].bytes = records[i].bytes.data();
        nodes[i].next = i + 1 < nodes.size() ? &nodes[i + 1] : nullptr;
        nodes[i].prev = i > 0 ? &nodes[i - 1] : nullptr;
    }
    list.head = &nodes.front();
    list.tail = &nodes.back();
    talix::RecordProcessContext& context = *context_;
    auto loaded = [&](std::uint16_t id, std::uint16_t flags) {
        EXPECT_EQ(talix::LoadPabDefinition(id, flags, &context), 0);
        return talix::ReadWord(context.paragraphDefinition + 4);
    };

    // No list: the default definition.
    EXPECT_EQ(loaded(talix::kAnyParagraphId, talix::kLoadForward), 0);
    EXPECT_EQ(talix::ReadWord(context.paragraphDefinition + 14), 1440);
    EXPECT_EQ(talix::ReadWord(context.paragraphDefinition + 18), 1440);
    EXPECT_EQ(talix::ReadWord(context.paragraphDefinition + 22), 720);

    context.records = &list;
    EXPECT_EQ(loaded(talix::kAnyParagraphId, talix::kLoadForward), 5);   // never a lower id after a higher one
    EXPECT_EQ(loaded(talix::kAnyParagraphId, talix::kLoadBackward), 5);
    EXPECT_EQ(loaded(talix::kAnyParagraphId, talix::kLoadBackward | talix::kLoadFirstMatch), 2);
    EXPECT_EQ(loaded(3, talix::kLoadForward), 3);
    EXPECT_EQ(loaded(4, talix::kLoadForward | talix::kLoadBackward), 0);
    context.node = &nodes[3];
    EXPECT_EQ(loaded(talix::kAnyParagraphId, talix::kLoadForward | talix::kLoadFromCurrent), 2);
    EXPECT_EQ(loaded(talix::kAnyParagraphId, talix::kLoadBackward | talix::kLoadFromCurrent), 5);

    talix::FindHighestPabID(&context);
    EXPECT_EQ(context.highestParagraphId, 5);
}

} // namespace
