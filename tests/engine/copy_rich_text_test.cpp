// Copying rich text from elsewhere into an item: a whole item of another
// note (paragraph ids renumbered, font faces mapped, indexed links written
// inline, attachments carried along), a chunk of another item, and the
// bodies of the forms and subforms of real databases.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/attachments.h"
#include "core/item_work_state.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "edit_fixture.h"
#include "engine/record_process.h"
#include "support/op_runner.h"
#include "support/record_fixture.h"
#include "support/structure_checker.h"
#include "support/test_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using engine_test::Definition;
using engine_test::FileHotspot;
using engine_test::Rec;
using engine_test::ReferenceTo;
using engine_test::Records;
using talix::kSigPabDefinition;
using talix::kSigPabReference;
using talix::kSigText;
using talix_test::FixtureRecord;
using talix_test::HostRecord;
using talix_test::Op;
using talix_test::Operation;
using talix_test::PutWord;
using talix_test::RunOperation;

constexpr std::uint16_t kIndexedLink = 0xFF91, kInlineLink = 0xFF92, kResourceLink = 0xFF5A;

using talix_test::CollectMessage;
using talix_test::g_messages;

// A text run in a face of its own.
FixtureRecord FaceText(std::uint8_t face, const std::string& text) {
    return talix_test::TextRecord(0x0A000000u | face, text);
}

FixtureRecord IndexedLink(std::uint16_t index) {
    FixtureRecord record = HostRecord(kIndexedLink, 6);
    PutWord(&record, 4, index);
    return record;
}

// A resource reference of a Notes link held by index: server hint, the
// index, then the anchor.
FixtureRecord ResourceLink(std::uint16_t index, const std::string& hint, const std::string& anchor) {
    FixtureRecord record = HostRecord(kResourceLink, static_cast<std::uint32_t>(28 + hint.size() + 2 + anchor.size()));
    PutWord(&record, 8, 2);
    PutWord(&record, 12, static_cast<std::uint16_t>(anchor.size()));
    PutWord(&record, 14, static_cast<std::uint16_t>(hint.size()));
    std::copy(hint.begin(), hint.end(), record.bytes.begin() + 28);
    PutWord(&record, 28 + hint.size(), index);
    std::copy(anchor.begin(), anchor.end(), record.bytes.begin() + 30 + static_cast<long>(hint.size()));
    return record;
}

std::string Link(int seed) {
    std::string link(40, '\0');
    for (int i = 0; i < 40; ++i) link[i] = static_cast<char>(seed + i);
    return link;
}

class CopyTest : public engine_test::EditTest {
protected:
    CopyTest() {
        g_messages.clear();
        plat::RegisterMessageProc(CollectMessage);
    }
    ~CopyTest() override { plat::RegisterMessageProc(nullptr); }

    // A note of the test database opened for changes; closed by Close.
    plat::NOTEHANDLE OpenNote(plat::NOTEID id) {
        EXPECT_EQ(plat::DbOpen(db_.path().c_str(), &database_), plat::NOERROR);
        plat::NOTEHANDLE note = 0;
        EXPECT_EQ(plat::NoteOpen(database_, id, 0, &note), plat::NOERROR);
        return note;
    }
    void Close(plat::NOTEHANDLE note) {
        plat::NoteClose(note);
        plat::DbClose(database_);
        database_ = 0;
    }

    // The source note: the records, a font table naming face 5, and a link
    // table of the links given.
    plat::NOTEID SourceNote(const Records& records, const char* face5, const std::vector<std::string>& links) {
        const plat::NOTEID id = db_.AddNote(records);
        {
            RARIvoSession session;
            ZervaRTItem source(&session);
            EXPECT_EQ(source.Connect("", db_.path().c_str(), id, "Body", 0), 0);
            EXPECT_EQ(source.AddToFontTable(face5, 0), 5);
            std::string table(2, '\0');
            table[0] = static_cast<char>(links.size());
            for (const std::string& link : links) table += link;
            EXPECT_EQ(plat::ItemAppend(source.noteHandle, 0, "$Links", 6, 0x0007, table.data(),
                                       static_cast<plat::DWORD>(table.size())),
                      plat::NOERROR);
            EXPECT_EQ(source.Save(), 0);
        }
        return id;
    }

    // AppendRTItem as the chunk method runs it: the prologue, then the copy
    // of the source note's item after the target's records.
    std::uint16_t AppendItem(ZervaRTChunk* chunk, plat::NOTEHANDLE source, const char* itemName) {
        talix::CopyRequest& request = session_.workArea->copy;
        request.sourceNote = source;
        request.sourceItemName = itemName;
        std::uint16_t status = RunOperation(chunk, Op(talix::kOpCopyPrologue, 5));
        base_ = request.paragraphIdBase;
        if (status == 0)
            status = RunOperation(chunk, Op(talix::kOpAppendRichTextItem, request.paragraphIdBase, 0, itemName));
        request = talix::CopyRequest();
        return status;
    }

    int Attachments(plat::NOTEID id) {
        plat::NOTEHANDLE note = OpenNote(id);
        int count = 0;
        plat::BLOCKID item;
        plat::STATUS status = plat::ItemInfo(note, "$FILE", 5, &item, nullptr, nullptr, nullptr);
        while (status == plat::NOERROR) {
            ++count;
            status = plat::ItemInfoNext(note, item, "$FILE", 5, &item, nullptr, nullptr, nullptr);
        }
        Close(note);
        return count;
    }

    plat::DBHANDLE database_ = 0;
    std::uint16_t base_ = 0;   // the paragraph-id base the last prologue left
};

std::vector<const Rec*> PointersTo(const std::vector<Rec>& records, std::uint16_t signature) {
    std::vector<const Rec*> found;
    for (const Rec& record : records)
        if (record.signature == signature) found.push_back(&record);
    return found;
}

TEST_F(CopyTest, AnItemOfAnotherNoteComesWithNewParagraphIdsItsFontsAndInlineLinks) {
    Records target = {Definition(1), ReferenceTo(1), engine_test::Text("t1"), Definition(3, 2000), ReferenceTo(3),
                      engine_test::Text("t3")};
    ZervaRTChunk* chunk = Open(target);
    ASSERT_NE(chunk, nullptr);
    ASSERT_EQ(item_.AddToFontTable("Verdana", 0), 5);

    Records source = {Definition(1),  ReferenceTo(1),      FaceText(5, "s1"), Definition(2, 3000),
                      ReferenceTo(2), FaceText(1, "s2"),   IndexedLink(0),    IndexedLink(7),
                      ResourceLink(1, "srv", "anchor"), ResourceLink(2, "", "")};
    const plat::NOTEID sourceId = SourceNote(source, "Arial", {Link(1), Link(100)});

    plat::NOTEHANDLE note = OpenNote(sourceId);
    EXPECT_EQ(AppendItem(chunk, note, "Body"), 0);
    Close(note);
    EXPECT_EQ(base_, 3);
    const std::vector<Rec> records = Saved();

    // Ids above the target's highest (3); an equal definition keeps the
    // target's id.
    std::vector<std::uint16_t> ids;
    for (const Rec* definition : PointersTo(records, kSigPabDefinition)) ids.push_back(definition->Word(4));
    EXPECT_EQ(ids, (std::vector<std::uint16_t>{1, 3, 1, 6}));
    std::vector<std::uint16_t> references;
    for (const Rec* reference : PointersTo(records, kSigPabReference)) references.push_back(reference->Word(2));
    EXPECT_EQ(references, (std::vector<std::uint16_t>{1, 3, 1, 6}));

    // The source's face 5 (Arial) is face 6 here; face 1 stays.
    std::vector<std::pair<std::string, int>> faces;
    for (const Rec* text : PointersTo(records, kSigText))
        if (!text->Text().empty()) faces.emplace_back(text->Text(), text->bytes[4]);
    EXPECT_EQ(faces, (std::vector<std::pair<std::string, int>>{{"t1", 1}, {"t3", 1}, {"s1", 6}, {"s2", 1}}));

    // Link 0 inline; index 7 dropped with the message; the resource
    // reference carries link 1 inline before its anchor.
    const std::vector<const Rec*> inline_ = PointersTo(records, kInlineLink);
    ASSERT_EQ(inline_.size(), 1u);
    EXPECT_EQ(std::string(inline_[0]->bytes.begin() + 4, inline_[0]->bytes.begin() + 44), Link(1));
    EXPECT_EQ(PointersTo(records, kIndexedLink).size(), 0u);
    const std::vector<const Rec*> resources = PointersTo(records, kResourceLink);
    ASSERT_EQ(resources.size(), 1u);
    const Rec& resource = *resources[0];
    EXPECT_EQ(resource.bytes[4] & 0x02, 0x02);
    EXPECT_EQ(resource.bytes.size(), 28u + 3 + 40 + 6);
    EXPECT_EQ(std::string(resource.bytes.begin() + 28, resource.bytes.begin() + 31), "srv");
    EXPECT_EQ(std::string(resource.bytes.begin() + 31, resource.bytes.begin() + 71), Link(100));
    EXPECT_EQ(std::string(resource.bytes.begin() + 71, resource.bytes.end()), "anchor");
    EXPECT_EQ(g_messages, (std::vector<std::string>{"TALIX: Broken $Links reference",
                                                    "TALIX: Broken $Links reference"}));
}

TEST_F(CopyTest, AttachmentsComeAlongIntoAnotherNoteOnly) {
    talix_test::TempDir dir;
    const auto write = [&](const char* name, const std::string& content) {
        std::FILE* out = std::fopen(dir.file(name).c_str(), "wb");
        std::fwrite(content.data(), 1, content.size(), out);
        std::fclose(out);
        return dir.file(name);
    };
    Records body = engine_test::Runs({"before"});
    body.push_back(FileHotspot("a.txt"));
    body.push_back(engine_test::Text("file"));
    body.push_back(HostRecord(0xAA, 2));
    const plat::NOTEID sourceId = db_.AddNote(body);
    plat::NOTEHANDLE source = OpenNote(sourceId);
    ASSERT_EQ(plat::NoteAttachFile(source, "$FILE", 5, write("a.txt", "source bytes").c_str(), "a.txt",
                                   plat::ATTACH_DEFAULT),
              plat::NOERROR);
    // The same records under another name of the same note.
    ASSERT_EQ(talix_test::StoreRichTextItem(source, "Other", body), plat::NOERROR);
    ASSERT_EQ(plat::NoteUpdate(source, 0), plat::NOERROR);
    Close(source);

    // Within the note: the hotspot is copied, the attachment is not.
    ASSERT_EQ(item_.Connect("", db_.path().c_str(), sourceId, "Body", 0), 0);
    ZervaRTChunk* own = item_.DefineChunk("Everything");
    EXPECT_EQ(AppendItem(own, item_.noteHandle, "Other"), 0);
    ASSERT_EQ(item_.Save(), 0);
    EXPECT_EQ(Attachments(sourceId), 1);

    // Into another note that already holds a different "a.txt": the
    // attachment comes under a free name, which the hotspot names.
    ZervaRTChunk* chunk = Open(engine_test::Runs({"target"}));
    ASSERT_NE(chunk, nullptr);
    ASSERT_EQ(plat::NoteAttachFile(item_.noteHandle, "$FILE", 5, write("b.txt", "target bytes").c_str(), "a.txt",
                                   plat::ATTACH_DEFAULT),
              plat::NOERROR);
    source = OpenNote(sourceId);
    EXPECT_EQ(AppendItem(chunk, source, "Other"), 0);
    Close(source);
    const std::vector<Rec> records = Saved();
    EXPECT_EQ(Attachments(id_), 2);
    const std::vector<const Rec*> hotspots = PointersTo(records, 0xFFA9);
    ASSERT_EQ(hotspots.size(), 1u);
    const std::string named(reinterpret_cast<const char*>(hotspots[0]->bytes.data() + 16));
    EXPECT_NE(named, "a.txt");
    plat::NOTEHANDLE target = OpenNote(id_);
    char* data = nullptr;
    std::uint32_t size = 0;
    EXPECT_EQ(talix::ReadAttachmentToMemory(target, named.c_str(), &data, &size), 0);
    EXPECT_EQ(std::string(data != nullptr ? data : "", size), "source bytes");
    std::free(data);
    Close(target);
}

TEST_F(CopyTest, APictureKeptAsAnAttachmentComesAlongWithItsAttachment) {
    // A picture whose image is an attachment of its note, named by a
    // storage link: copied into another note, the attachment comes too (by
    // a free name when the target holds one of that name), so the copy
    // still shows the picture.
    talix_test::TempDir dir;
    std::FILE* out = std::fopen(dir.file("g").c_str(), "wb");
    std::fputs("GIF89a picture bytes", out);
    std::fclose(out);
    talix_test::FixtureRecord link = talix_test::HeadAndText(0xFFC4, 24, 10, "Graphic");
    talix_test::PutWord(&link, 4, 1);
    talix_test::PutWord(&link, 6, 1);
    Records body = engine_test::Runs({"before"});
    body.push_back(link);
    body.push_back(engine_test::Text("after"));
    const plat::NOTEID sourceId = db_.AddNote(body);
    plat::NOTEHANDLE source = OpenNote(sourceId);
    ASSERT_EQ(plat::NoteAttachFile(source, "$FILE", 5, dir.file("g").c_str(), "Graphic", plat::ATTACH_DEFAULT),
              plat::NOERROR);
    ASSERT_EQ(plat::NoteUpdate(source, 0), plat::NOERROR);
    Close(source);

    ZervaRTChunk* chunk = Open(engine_test::Runs({"target"}));
    ASSERT_NE(chunk, nullptr);
    ASSERT_EQ(plat::NoteAttachFile(item_.noteHandle, "$FILE", 5, dir.file("g").c_str(), "Graphic",
                                   plat::ATTACH_DEFAULT),
              plat::NOERROR);
    source = OpenNote(sourceId);
    EXPECT_EQ(AppendItem(chunk, source, "Body"), 0);
    Close(source);
    const std::vector<Rec> records = Saved();
    EXPECT_EQ(Attachments(id_), 2);
    const std::vector<const Rec*> links = PointersTo(records, 0xFFC4);
    ASSERT_EQ(links.size(), 1u);
    const std::vector<std::uint8_t>& bytes = links[0]->bytes;
    ASSERT_GE(bytes.size(), 24u);
    const std::uint16_t nameLength = static_cast<std::uint16_t>(bytes[10] | bytes[11] << 8);
    ASSERT_LE(24u + nameLength, bytes.size());
    const std::string named(reinterpret_cast<const char*>(bytes.data() + 24), nameLength);
    EXPECT_NE(named, "Graphic");
    EXPECT_EQ(bytes[4], 1);
    plat::NOTEHANDLE target = OpenNote(id_);
    char* data = nullptr;
    std::uint32_t size = 0;
    EXPECT_EQ(talix::ReadAttachmentToMemory(target, named.c_str(), &data, &size), 0);
    EXPECT_EQ(std::string(data != nullptr ? data : "", size), "GIF89a picture bytes");
    std::free(data);
    Close(target);
}

TEST_F(CopyTest, AnAttachmentShownTwiceComesAlongOnce) {
    talix_test::TempDir dir;
    std::FILE* out = std::fopen(dir.file("a.txt").c_str(), "wb");
    std::fputs("source bytes", out);
    std::fclose(out);
    Records body = engine_test::Runs({"first"});
    for (const char* shown : {"here", "again"}) {
        body.push_back(FileHotspot("a.txt"));
        body.push_back(engine_test::Text(shown));
        body.push_back(HostRecord(0xAA, 2));
    }
    const plat::NOTEID sourceId = db_.AddNote(body);
    plat::NOTEHANDLE source = OpenNote(sourceId);
    ASSERT_EQ(plat::NoteAttachFile(source, "$FILE", 5, dir.file("a.txt").c_str(), "a.txt", plat::ATTACH_DEFAULT),
              plat::NOERROR);
    ASSERT_EQ(plat::NoteUpdate(source, 0), plat::NOERROR);

    ZervaRTChunk* chunk = Open(engine_test::Runs({"target"}));
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(AppendItem(chunk, source, "Body"), 0);
    Close(source);
    const std::vector<Rec> records = Saved();
    EXPECT_EQ(Attachments(id_), 1);
    const std::vector<const Rec*> hotspots = PointersTo(records, 0xFFA9);
    ASSERT_EQ(hotspots.size(), 2u);
    for (const Rec* hotspot : hotspots)
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(hotspot->bytes.data() + 16)), "a.txt");
    EXPECT_EQ(Attachments(sourceId), 1);
}

TEST_F(CopyTest, AFailedAppendLeavesNoAttachmentBehind) {
    talix_test::TempDir dir;
    std::FILE* out = std::fopen(dir.file("a.txt").c_str(), "wb");
    std::fputs("source bytes", out);
    std::fclose(out);
    // A damaged source: its file hotspot is never closed.
    Records body = engine_test::Runs({"first"});
    body.push_back(FileHotspot("a.txt"));
    body.push_back(engine_test::Text("here"));
    const plat::NOTEID sourceId = db_.AddNote(body);
    plat::NOTEHANDLE source = OpenNote(sourceId);
    ASSERT_EQ(plat::NoteAttachFile(source, "$FILE", 5, dir.file("a.txt").c_str(), "a.txt", plat::ATTACH_DEFAULT),
              plat::NOERROR);
    ASSERT_EQ(plat::NoteUpdate(source, 0), plat::NOERROR);
    Close(source);

    ZervaRTChunk* chunk = Open(engine_test::Runs({"target"}));
    ASSERT_NE(chunk, nullptr);
    // The first copy brings the open hotspot and its attachment; a second
    // copy after it fails and takes back the attachment it carried.
    EXPECT_EQ(chunk->AppendRTItem("", db_.path().c_str(), sourceId, "Body"), 0);
    EXPECT_EQ(chunk->AppendRTChunk("", db_.path().c_str(), sourceId, "Body", "Everything", 0), 1027);
    EXPECT_EQ(chunk->AppendRTItem("", db_.path().c_str(), sourceId, "Body"), 1027);
    EXPECT_EQ(plat::NoteUpdate(item_.noteHandle, 0), plat::NOERROR);
    EXPECT_EQ(Attachments(id_), 1);
    EXPECT_EQ(Attachments(sourceId), 1);
}

TEST_F(CopyTest, AChunkOfAnotherItemIsCopiedAloneAndAMissingSourceCopiesNothing) {
    const plat::NOTEID sourceId = db_.AddNote(engine_test::TablesItem());
    ZervaRTChunk* chunk = Open(engine_test::Runs({"target"}));
    ASSERT_NE(chunk, nullptr);

    RARIvoSession* session = &session_;
    ZervaRTItem source(session);
    ASSERT_EQ(source.Connect("", db_.path().c_str(), sourceId, "Body", 0), 0);
    ZervaRTChunk* table = source.DefineChunk("Table 2");
    ASSERT_EQ(RunOperation(table, Op(talix::kOpQuery, 0)), 0);
    ASSERT_NE(session_.workArea->foundFirstRecord, 0);
    ASSERT_EQ(RunOperation(chunk, Op(talix::kOpCopyPrologue, 3)), 0);
    Operation copy = Op(talix::kOpAppendRichTextChunk, session_.workArea->copy.paragraphIdBase);
    EXPECT_EQ(talix::PerformChunkAction(chunk, 0, nullptr, talix::kOpAppendRichTextChunk, copy.op2, 0, 0, 0, nullptr,
                                        nullptr, nullptr, nullptr, table),
              0);
    EXPECT_EQ(engine_test::NonEmptyTexts(Saved()), (std::vector<std::string>{"target", "t2a", "t2b", "t2c", "t2d"}));

    // A subform that is not there: its look-up's status, nothing copied.
    const std::vector<std::string> before = db_.Stored(id_);
    EXPECT_NE(RunOperation(chunk, Op(talix::kOpAppendSubformBody, 0, 0, "No Such Subform")), 0);
    EXPECT_EQ(db_.Stored(id_), before);
}

// The text of a list's text runs.
std::string TextOf(const talix::ItemRecordList* list) {
    std::string text;
    for (const talix::CDRecordNode* node = list != nullptr ? list->head : nullptr; node != nullptr; node = node->next)
        if (node->signature == kSigText && node->length > 8)
            text.append(reinterpret_cast<const char*>(node->bytes) + 8, node->length - 8);
    return text;
}

TEST(CopyRealData, TheBodyOfEveryFormAndSubformCopiesWhole) {
    const auto files = talix_test::SampleAndSharedDxlFiles();
    // Every form and subform with a body is copied unless its stored records
    // are damaged (the samples hold some).
    std::size_t forms = 0, damaged = 0, copied = 0;
    for (const auto& file : files) {
        talix_test::TempDir dir;
        const std::string path = dir.file("design.nsf");
        plat::DBHANDLE db = 0;
        ASSERT_EQ(plat::DbCreate(path.c_str(), &db), plat::NOERROR);
        plat::DxlImportResult result;
        if (plat::DxlImportFile(db, file.string().c_str(), &result) != plat::NOERROR) {
            plat::DbClose(db);
            continue;
        }
        // The forms and subforms with a body, by title.
        std::vector<std::pair<plat::NOTEID, std::string>> designs;
        plat::DbScanNotes(db, [&](plat::NOTEID id, plat::WORD noteClass) {
            if ((noteClass & plat::NOTE_CLASS_FORM) == 0) return plat::STATUS{plat::NOERROR};
            plat::NOTEHANDLE note = 0;
            if (plat::NoteOpen(db, id, 0, &note) != plat::NOERROR) return plat::STATUS{plat::NOERROR};
            char title[256] = {}, flags[64] = {};
            plat::ItemGetText(note, "$TITLE", title, sizeof title);
            plat::ItemGetText(note, "$Flags", flags, sizeof flags);
            const std::string name = std::string(title).substr(0, std::string(title).find('|'));
            if (plat::ItemIsPresent(note, "$Body", 5) && !name.empty() && std::string(flags).find('W') == std::string::npos)
                designs.emplace_back(id, name);
            plat::NoteClose(note);
            return plat::STATUS{plat::NOERROR};
        });
        plat::NOTEHANDLE document = 0;
        plat::NOTEID documentId = 0;
        ASSERT_EQ(plat::NoteCreate(db, &document), plat::NOERROR);
        ASSERT_EQ(talix_test::StoreRichTextItem(document, "Body", engine_test::Runs({"start"})), plat::NOERROR);
        ASSERT_EQ(plat::NoteUpdate(document, 0), plat::NOERROR);
        plat::NoteGetInfo(document, plat::NOTE_FIELD_ID, &documentId);
        plat::NoteClose(document);

        forms += designs.size();
        RARIvoSession session;
        for (const auto& [id, name] : designs) {
            SCOPED_TRACE(file.filename().string() + ": " + name);
            plat::NOTEHANDLE design = 0;
            ASSERT_EQ(plat::NoteOpen(db, id, 0, &design), plat::NOERROR);
            ZervaRTItem item(&session);
            ASSERT_EQ(item.Connect("", path.c_str(), documentId, "Body", 0), 0);
            talix::STATUS status = 0;
            talix::ItemRecordList* body = talix::SIAR(&item, 0, nullptr, 0, 0, design, "$Body", &status);
            plat::NoteClose(design);
            if (status != 0) {   // damaged stored records are not copied
                ++damaged;
                talix::DeleteItemRecordList(&session, body);
                continue;
            }
            const std::string expected = "start" + TextOf(body);
            talix::DeleteItemRecordList(&session, body);

            ZervaRTChunk* chunk = item.DefineChunk("Everything");
            ASSERT_EQ(RunOperation(chunk, Op(talix::kOpCopyPrologue, 2)), 0);
            EXPECT_EQ(RunOperation(
                          chunk, Op(talix::kOpAppendFormBody, session.workArea->copy.paragraphIdBase, 0, name.c_str())),
                      0);
            talix::ItemRecordList* copy = talix::SIAR(&item, 0, nullptr, 0, 0, 0, nullptr, &status);
            EXPECT_EQ(status, 0);
            EXPECT_EQ(talix_test::CheckStructure(copy), "");
            EXPECT_EQ(TextOf(copy), expected);
            talix::DeleteItemRecordList(&session, copy);
            ++copied;
        }
        plat::DbClose(db);
    }
    EXPECT_GT(copied, 0u);
    EXPECT_EQ(copied + damaged, forms);
}

} // namespace
