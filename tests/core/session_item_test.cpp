#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/database_open.h"
#include "core/item_work_state.h"
#include "core/pool.h"
#include "core/record_io.h"
#include "core/session_work_area.h"
#include "core/temp_directory.h"
#include "core/thread_state.h"
#include "core_fixture.h"
#include "platform/testing.h"
#include "support/record_fixture.h"
#include "support/test_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using talix_test::g_messages;
using core_test::Logged;
using core_test::Shown;
using talix_test::StoredValues;

// Captures a message, checking that it comes with the code the system
// always passes.
void CaptureSystemMessage(const char* text, plat::WORD code) {
    EXPECT_EQ(code, 6);
    g_messages.push_back(text);
}

// The value a blank rich-text item is stored with: data type, a paragraph
// definition with its six margin words, a reference to it and an empty text
// run in the default font.
std::string BlankItemValue() {
    std::vector<unsigned char> bytes = {0x01, 0x00,                                       // composite
                                        0x82, 0xFF, 82, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // header, id 1
                                        0xA0, 0x05, 0, 0, 0xA0, 0x05, 0, 0, 0xD0, 0x02};  // margins, tabs
    bytes.resize(bytes.size() + 38, 0);                                                   // tabs 2 to 20
    for (unsigned char b : {0x00, 0x01, 0, 0, 0, 0, 0x94, 0x04,                           // flags, flags 2
                            0xA0, 0x05, 0, 0, 0xA0, 0x05, 0, 0, 0, 0, 100, 0,             // margin words
                            0x83, 4, 1, 0,                                                // reference
                            0x85, 0xFF, 8, 0, 1, 0, 0, 10})                               // text run
        bytes.push_back(b);
    return std::string(bytes.begin(), bytes.end());
}

class SessionItemTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = dir_.file("items.nsf");
        plat::DBHANDLE db = 0;
        ASSERT_EQ(plat::DbCreate(path_.c_str(), &db), plat::NOERROR);
        styled_ = Import(db, "styledtext.xml");
        fonts_ = Import(db, "dollarfonts.xml");
        form_ = Import(db, "2194.xml");
        plat::DbClose(db);
        g_messages.clear();
        plat::LogClearRecent();
        plat::RegisterMessageProc(&CaptureSystemMessage);
    }
    void TearDown() override {
        plat::RegisterMessageProc(nullptr);
        plat::TestFailUpdateAfterItems(-1);
        talix::ThisThread().suppressMessages = 0;
    }

    plat::NOTEID Import(plat::DBHANDLE db, const char* file) {
        plat::DxlImportResult result;
        EXPECT_EQ(plat::DxlImportFile(db, (talix_test::SampleDxlDir() / file).string().c_str(), &result),
                  plat::NOERROR)
            << result.error;
        return result.notes.empty() ? 0 : result.notes.front();
    }

    // The stored values of an item as the database holds them.
    std::vector<std::string> Stored(plat::NOTEID id, const char* name) {
        plat::DBHANDLE db = 0;
        plat::NOTEHANDLE note = 0;
        EXPECT_EQ(plat::DbOpen(path_.c_str(), &db), plat::NOERROR);
        EXPECT_EQ(plat::NoteOpen(db, id, 0, &note), plat::NOERROR);
        auto values = StoredValues(note, name);
        plat::NoteClose(note);
        plat::DbClose(db);
        return values;
    }

    talix_test::TempDir dir_;
    std::string path_;
    plat::NOTEID styled_ = 0, fonts_ = 0, form_ = 0;
    RARIvoSession session_;
};

// Reads an item's records into a pending list, as an operation leaves them.
void ReadPending(ZervaRTItem& item) {
    talix::STATUS status = 0;
    item.work->current = talix::SIAR(&item, 0, nullptr, 0, 0, 0, nullptr, &status);
    ASSERT_NE(item.work->current, nullptr);
    ASSERT_EQ(status, 0);
}

// A record node of the given signature and length, owning zeroed bytes.
talix::CDRecordNode* NewNode(std::uint16_t signature, std::uint32_t length) {
    auto* node = new talix::CDRecordNode{};
    node->signature = signature;
    node->length = length;
    node->flags = talix::kNodeOwnsBytes;
    node->bytes = static_cast<std::uint8_t*>(std::calloc(1, length + 1));
    std::memcpy(node->bytes, &signature, 2);
    std::uint16_t word = static_cast<std::uint16_t>(length);
    std::memcpy(node->bytes + 2, &word, 2);
    return node;
}

void Append(talix::ItemRecordList* list, talix::CDRecordNode* node) {
    node->index = list->tail != nullptr ? list->tail->index + 1 : 1;
    talix::LinkRecordNode(list, list->tail, node);
}

void DropLastRecord(talix::ItemRecordList* list) {
    talix::CDRecordNode* last = list->tail;
    talix::UnlinkRecordNode(list, last);
    talix::FreeRecordNode(last);
}

TEST_F(SessionItemTest, ConnectOpensTheNoteAndLoadsItsFaces) {
    plat::DWORD notes = plat::TestOpenNotes(), databases = plat::TestOpenDatabases();
    ZervaRTItem item(&session_);
    EXPECT_EQ(item.Connect("", path_.c_str(), styled_, "Body", 0), 0);
    EXPECT_EQ(item.connected, 1);
    EXPECT_STREQ(item.databasePath, path_.c_str());
    EXPECT_EQ(item.work->faceCount, 8);
    EXPECT_EQ(plat::TestOpenNotes(), notes + 1);

    // Connecting again replaces the connection; a blank server is this machine.
    EXPECT_EQ(item.Connect(" ", path_.c_str(), fonts_, "Body", 0), 0);
    EXPECT_EQ(item.connected, 1);
    EXPECT_GT(item.work->faceCount, 8);
    EXPECT_EQ(plat::TestOpenNotes(), notes + 1);
    EXPECT_EQ(plat::TestOpenDatabases(), databases + 1);

    EXPECT_EQ(item.Connect("", path_.c_str(), styled_, "Missing", 0), 0);
    EXPECT_EQ(item.connected, 0);
    EXPECT_EQ(item.Connect("", path_.c_str(), styled_, "Missing", 1), 0);
    EXPECT_EQ(item.connected, 1);
    EXPECT_EQ(StoredValues(item.noteHandle, "Missing"), std::vector<std::string>{BlankItemValue()});
    EXPECT_EQ(item.Save(), 0);
    EXPECT_EQ(Stored(styled_, "Missing"), std::vector<std::string>{BlankItemValue()});
    EXPECT_TRUE(g_messages.empty());
}

TEST_F(SessionItemTest, ConnectFailuresAreReported) {
    plat::DWORD databases = plat::TestOpenDatabases();
    ZervaRTItem item(&session_);
    std::string longName(257, 'x');
    EXPECT_EQ(item.Connect("", longName.c_str(), styled_, "Body", 0), talix::kArgumentError);
    EXPECT_EQ(item.ownError, talix::kErrBadName);
    EXPECT_TRUE(Shown("TALIX: Invalid database name"));

    EXPECT_EQ(item.Connect("", path_.c_str(), styled_, longName.c_str(), 1), talix::kOperationFailed);
    EXPECT_EQ(item.connected, 0);

    g_messages.clear();
    talix::STATUS status = item.Connect("", dir_.file("none.nsf").c_str(), styled_, "Body", 0);
    EXPECT_NE(status, 0);
    EXPECT_NE(status, talix::kArgumentError);
    EXPECT_TRUE(Shown("TALIX: Unable to open database."));
    EXPECT_NE(session_.statusText[0], '\0');

    EXPECT_NE(item.Connect("elsewhere", path_.c_str(), styled_, "Body", 0), 0);

    g_messages.clear();
    EXPECT_NE(item.Connect("", path_.c_str(), 0x7FF0, "Body", 0), 0);
    EXPECT_TRUE(Shown("TALIX: Unable to find note using NoteID."));
    EXPECT_EQ(item.connected, 0);
    EXPECT_EQ(plat::TestOpenDatabases(), databases);
}

TEST_F(SessionItemTest, BlankItemsAreWrittenByteForByte) {
    ZervaRTItem item(&session_);
    auto body = Stored(styled_, "Body");
    ASSERT_EQ(item.Create("", path_.c_str(), styled_, "Body", 0), 0);
    EXPECT_EQ(item.connected, 1);
    EXPECT_EQ(StoredValues(item.noteHandle, "Body"), body);
    ASSERT_EQ(item.Create("", path_.c_str(), styled_, "Fresh", 0), 0);
    EXPECT_EQ(StoredValues(item.noteHandle, "Fresh"), std::vector<std::string>{BlankItemValue()});
    ASSERT_EQ(item.Create("", path_.c_str(), styled_, "Body", 1), 0);
    EXPECT_EQ(StoredValues(item.noteHandle, "Body"), std::vector<std::string>{BlankItemValue()});
}

TEST_F(SessionItemTest, BackendFamilyWorksOnTheCallersNote) {
    plat::DWORD notes = plat::TestOpenNotes();
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    ASSERT_EQ(plat::DbOpen(path_.c_str(), &db), plat::NOERROR);
    ASSERT_EQ(plat::NoteOpen(db, styled_, 0, &note), plat::NOERROR);
    ASSERT_EQ(plat::ItemAppend(note, 0, "Mime", 4, plat::TYPE_MIME_PART, "x", 1), plat::NOERROR);
    {
        ZervaRTItem item(&session_);
        ASSERT_EQ(item.ConnectBackend(note, "Body", 0), 0);
        EXPECT_EQ(item.connected, 1);
        EXPECT_EQ(item.noteID, styled_);
        char dbPath[300];
        plat::DbPath(db, dbPath, sizeof dbPath);
        EXPECT_STREQ(item.databasePath, dbPath);
        ASSERT_NE(item.defaultChunk, nullptr);
        EXPECT_STREQ(item.defaultChunk->definition, "Everything");

        EXPECT_EQ(item.ConnectBackend(note, "Status", 0), 0);
        EXPECT_EQ(item.connected, 0);
        EXPECT_TRUE(Shown("Cannot connect to item of type 1280.  Not rich text!"));
        EXPECT_TRUE(Logged("Cannot connect to item of type 1280.  Not rich text!"));
        // A MIME item that cannot be converted stays what it is.
        EXPECT_EQ(item.ConnectBackend(note, "Mime", 1), 0);
        EXPECT_EQ(item.connected, 0);
        EXPECT_TRUE(Shown("Cannot connect to item of type 25.  Not rich text!"));

        EXPECT_EQ(item.ConnectBackend(note, "", 1), talix::kOperationFailed);
        EXPECT_EQ(item.ownError, talix::kErrBadName);
        EXPECT_EQ(item.ConnectBackend(note, "Missing", 0), 0);
        EXPECT_EQ(item.connected, 0);
        EXPECT_TRUE(StoredValues(note, "Missing").empty());

        ASSERT_EQ(item.CreateBackend(note, "Fresh", 0), 0);
        EXPECT_EQ(item.connected, 1);
        EXPECT_EQ(StoredValues(note, "Fresh"), std::vector<std::string>{BlankItemValue()});
        ASSERT_EQ(item.CreateBackend(note, "Body", 1), 0);
        EXPECT_EQ(StoredValues(note, "Body"), std::vector<std::string>{BlankItemValue()});
    }
    // The item left the caller's note open.
    EXPECT_EQ(plat::NoteClose(note), plat::NOERROR);
    EXPECT_EQ(plat::DbClose(db), plat::NOERROR);
    EXPECT_EQ(plat::TestOpenNotes(), notes);
}

TEST_F(SessionItemTest, BorrowersLoseTheNoteWithItsOwner) {
    plat::DWORD notes = plat::TestOpenNotes();
    auto* owner = new ZervaRTItem(&session_);
    ZervaRTItem borrower(&session_);
    borrower.ConnectBackendInternal(owner, "Body");
    EXPECT_EQ(borrower.lastStatus, talix::kNoHtmlInput);
    ASSERT_EQ(owner->Connect("", path_.c_str(), form_, "$Body", 0), 0);
    borrower.ConnectBackendInternal(owner, "$Body");
    EXPECT_EQ(borrower.connected, 1);
    EXPECT_EQ(borrower.lastStatus, 0);   // the failure before is not this connection's
    EXPECT_EQ(borrower.noteHandle, owner->noteHandle);
    EXPECT_EQ(borrower.work->designFlag, 1u);
    ASSERT_NE(borrower.defaultChunk, nullptr);
    EXPECT_STREQ(borrower.defaultChunk->definition, "Everything");
    ZervaRTChunk* chunk = borrower.DefineChunk("Table 1");
    ASSERT_NE(chunk, nullptr);

    // Saving a design element prepares the design update.
    plat::DWORD designCalls = plat::TestDesignUpdateCalls();
    EXPECT_EQ(borrower.Save(), 0);
    EXPECT_EQ(plat::TestDesignUpdateCalls(), designCalls + 1);
    EXPECT_EQ(owner->Save(), 0);
    EXPECT_EQ(plat::TestDesignUpdateCalls(), designCalls + 1);

    delete owner;
    EXPECT_EQ(borrower.connected, 0);
    EXPECT_EQ(borrower.noteHandle, 0u);
    EXPECT_EQ(plat::TestOpenNotes(), notes);
    // The borrower's chunks went with the connection; its default chunk was
    // emptied and let go.
    EXPECT_EQ(borrower.defaultChunk, nullptr);
    for (ZervaRTChunk* c = session_.chunks; c != nullptr; c = c->next) EXPECT_NE(c->item, &borrower);
}

TEST_F(SessionItemTest, AnItemConnectedAnewIsNoLongerADesignElement) {
    ZervaRTItem item(&session_);
    ASSERT_EQ(item.ConnectForm("", path_.c_str(), "Response", nullptr), 0);
    plat::DWORD designCalls = plat::TestDesignUpdateCalls();
    EXPECT_EQ(item.Save(), 0);
    EXPECT_EQ(plat::TestDesignUpdateCalls(), designCalls + 1);

    // Connected to a document's item, by itself or on the caller's note, it
    // is saved and worked on as a document's item, as a new item would be.
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    ASSERT_EQ(plat::DbOpen(path_.c_str(), &db), plat::NOERROR);
    ASSERT_EQ(plat::NoteOpen(db, styled_, 0, &note), plat::NOERROR);
    for (bool backend : {false, true}) {
        SCOPED_TRACE(backend ? "ConnectBackend" : "Connect");
        ASSERT_EQ(item.ConnectForm("", path_.c_str(), "Response", nullptr), 0);
        ASSERT_EQ(backend ? item.ConnectBackend(note, "Body", 0) : item.Connect("", path_.c_str(), styled_, "Body", 0),
                  0);
        designCalls = plat::TestDesignUpdateCalls();
        EXPECT_EQ(item.Save(), 0);
        EXPECT_EQ(plat::TestDesignUpdateCalls(), designCalls);
        ZervaRTChunk* chunk = item.DefineChunk("Everything");
        ASSERT_NE(chunk, nullptr);
        g_messages.clear();
        EXPECT_EQ(chunk->AppendHotspot("SUBFORM", "\"Sub\"", 0, "", "Sub", 0), talix::kArgumentError);
        EXPECT_TRUE(Shown("Talix: Attempt to add subform to data document failed"));
        delete chunk;
    }
    item.CleanupTraces();
    plat::NoteClose(note);
    plat::DbClose(db);
}

TEST_F(SessionItemTest, CommitAndSaveWriteThePendingRecordsBack) {
    auto original = Stored(styled_, "Body");
    ASSERT_FALSE(original.empty());
    {
        ZervaRTItem item(&session_);
        ASSERT_EQ(item.Connect("", path_.c_str(), styled_, "Body", 0), 0);
        ReadPending(item);
        item.cacheRecords = 1;
        EXPECT_EQ(item.Save(), 0);
        EXPECT_EQ(item.work->current, nullptr);
    }
    EXPECT_EQ(Stored(styled_, "Body"), original);

    // A failed update stores nothing of the changed records.
    {
        ZervaRTItem item(&session_);
        ASSERT_EQ(item.Connect("", path_.c_str(), styled_, "Body", 0), 0);
        ReadPending(item);
        DropLastRecord(item.work->current);
        item.cacheRecords = 1;
        plat::TestFailUpdateAfterItems(1);
        talix::STATUS status = item.Save();
        plat::TestFailUpdateAfterItems(-1);
        EXPECT_NE(status, 0);
        EXPECT_FALSE(g_messages.empty());
        EXPECT_EQ(Stored(styled_, "Body"), original);
        // Saving again stores the shortened item.
        EXPECT_EQ(item.Save(), 0);
    }
    auto shortened = Stored(styled_, "Body");
    ASSERT_EQ(shortened.size(), 1u);
    EXPECT_LT(shortened[0].size(), original[0].size());
    EXPECT_EQ(original[0].compare(0, shortened[0].size(), shortened[0]), 0);
}

// The flags of every item of a name, in order.
std::vector<plat::WORD> StoredFlags(plat::NOTEHANDLE note, const char* name) {
    std::vector<plat::WORD> flags;
    const auto length = static_cast<plat::WORD>(std::strlen(name));
    plat::BLOCKID item, value;
    plat::DWORD valueLength = 0;
    plat::STATUS status = plat::ItemInfo(note, name, length, &item, nullptr, &value, &valueLength);
    while (status == plat::NOERROR) {
        plat::WORD itemFlags = 0;
        EXPECT_EQ(plat::ItemQuery(item, nullptr, 0, &itemFlags, nullptr, nullptr, nullptr), plat::NOERROR);
        flags.push_back(itemFlags);
        status = plat::ItemInfoNext(note, item, name, length, &item, nullptr, &value, &valueLength);
    }
    return flags;
}

TEST_F(SessionItemTest, WritingBackKeepsTheFlagsOfEveryItem) {
    constexpr plat::WORD kSummarySigned = plat::ITEM_SUMMARY | plat::ITEM_SIGN;
    // A text run of 30,000 bytes, stored: two of them do not fit in one
    // item.
    std::string value("\x85\xFF\x30\x75\x01\x00\x00\x0A", 8);
    value.append(29992, 'a');
    ZervaRTItem item(&session_);
    ASSERT_EQ(item.Connect("", path_.c_str(), styled_, "Body", 0), 0);
    const plat::NOTEHANDLE note = item.noteHandle;
    // Two items of the name with flags of their own.
    ASSERT_EQ(plat::ItemDelete(note, "Body", 4), plat::NOERROR);
    for (plat::WORD flags : {kSummarySigned, plat::ITEM_SIGN})
        ASSERT_EQ(plat::ItemAppend(note, flags, "Body", 4, plat::TYPE_COMPOSITE, value.data(), value.size()),
                  plat::NOERROR);
    ASSERT_EQ(StoredFlags(note, "Body"), (std::vector<plat::WORD>{kSummarySigned, plat::ITEM_SIGN}));
    const auto before = StoredValues(note, "Body");

    // Read and written back as they are: each item keeps its flags.
    ReadPending(item);
    EXPECT_EQ(item.Commit(), 0);
    EXPECT_TRUE(StoredValues(note, "Body") == before);
    EXPECT_EQ(StoredFlags(note, "Body"), (std::vector<plat::WORD>{kSummarySigned, plat::ITEM_SIGN}));

    // Records enough for a third item: it takes the flags of the last.
    ReadPending(item);
    Append(item.work->current, NewNode(0xFF85, 30000));
    EXPECT_EQ(item.Commit(), 0);
    EXPECT_EQ(StoredFlags(note, "Body"),
              (std::vector<plat::WORD>{kSummarySigned, plat::ITEM_SIGN, plat::ITEM_SIGN}));

    // A chunk method that writes the item back keeps them too.
    std::unique_ptr<ZervaRTChunk> chunk(item.DefineChunk("Everything"));
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(chunk->AppendText("more", 0, nullptr), 0);
    EXPECT_EQ(StoredFlags(note, "Body").front(), kSummarySigned);
}

TEST_F(SessionItemTest, FailedCommitLeavesTheItemAsItWas) {
    ZervaRTItem item(&session_);
    ASSERT_EQ(item.Connect("", path_.c_str(), styled_, "Body", 0), 0);
    auto before = StoredValues(item.noteHandle, "Body");
    // Two large records fill a first stored item before a record too large to
    // write stops the write.
    auto* list = new talix::ItemRecordList{};
    list->note = item.noteHandle;
    list->itemName = item.itemName;
    Append(list, NewNode(0xFF85, 30000));
    Append(list, NewNode(0xFF85, 30000));
    Append(list, NewNode(0xFF85, 65000));
    item.work->current = list;
    EXPECT_NE(item.Commit(), 0);
    EXPECT_EQ(item.work->current, list);
    EXPECT_EQ(StoredValues(item.noteHandle, "Body"), before);

    // Nothing pending: nothing to do.
    ZervaRTItem other(&session_);
    ASSERT_EQ(other.Connect("", path_.c_str(), styled_, "Body", 0), 0);
    EXPECT_EQ(other.Commit(), 0);
}

TEST_F(SessionItemTest, CopyBackendCopiesTheRecords) {
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE target = 0;
    ASSERT_EQ(plat::DbOpen(path_.c_str(), &db), plat::NOERROR);
    ASSERT_EQ(plat::NoteCreate(db, &target), plat::NOERROR);
    {
        ZervaRTItem source(&session_);
        EXPECT_EQ(source.CopyBackend(target, "Body", 0), talix::kArgumentError);   // not connected
        ASSERT_EQ(source.Connect("", path_.c_str(), styled_, "Body", 0), 0);
        EXPECT_EQ(source.CopyBackend(0, "Body", 0), talix::kArgumentError);
        EXPECT_EQ(source.CopyBackend(target, "", 0), talix::kArgumentError);

        auto body = StoredValues(source.noteHandle, "Body");
        ASSERT_EQ(source.CopyBackend(target, "Copy", 0), 0);
        EXPECT_EQ(StoredValues(target, "Copy"), body);

        ZervaRTItem blank(&session_);
        ASSERT_EQ(blank.CreateBackend(target, "Kept", 0), 0);
        EXPECT_EQ(source.CopyBackend(target, "Kept", 0), 0);
        EXPECT_EQ(StoredValues(target, "Kept"), std::vector<std::string>{BlankItemValue()});
        EXPECT_EQ(source.CopyBackend(target, "Kept", 1), 0);
        EXPECT_EQ(StoredValues(target, "Kept"), body);

        // Into its own note, saved at once when AutoSave is set.
        source.autoSave = 1;
        ASSERT_EQ(source.CopyBackend(source.noteHandle, "Twin", 0), 0);
        EXPECT_EQ(source.CopyBackend(source.noteHandle, "body", 1), 0);
    }
    EXPECT_EQ(Stored(styled_, "Twin"), Stored(styled_, "Body"));
    // A new note gets its note id when an item saves it.
    {
        ZervaRTItem item(&session_);
        ASSERT_EQ(item.ConnectBackend(target, "Copy", 0), 0);
        EXPECT_EQ(item.noteID, 0u);
        EXPECT_EQ(item.Save(), 0);
        EXPECT_NE(item.noteID, 0u);
    }
    plat::NoteClose(target);
    plat::DbClose(db);
}

TEST_F(SessionItemTest, CopyItemOpensTheSourceOfACopy) {
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE target = 0;
    ASSERT_EQ(plat::DbOpen(path_.c_str(), &db), plat::NOERROR);
    ASSERT_EQ(plat::NoteCreate(db, &target), plat::NOERROR);
    {
        // The source is opened without being connected, and copied whole.
        ZervaRTItem source(&session_);
        ASSERT_EQ(source.CopyItem("", path_.c_str(), styled_, "Body", 0), 0);
        EXPECT_EQ(source.connected, 0);
        EXPECT_EQ(source.CopyBackend(target, "Copy", 0), 0);
        EXPECT_EQ(StoredValues(target, "Copy"), Stored(styled_, "Body"));

        // A source item the note lacks, or one that is not rich text, is
        // refused and the target gets nothing.
        ZervaRTItem missing(&session_);
        ASSERT_EQ(missing.CopyItem("", path_.c_str(), styled_, "Missing", 0), 0);
        EXPECT_EQ(missing.CopyBackend(target, "None", 0), talix::kArgumentError);
        ZervaRTItem text(&session_);
        ASSERT_EQ(text.CopyItem("", path_.c_str(), styled_, "Form", 0), 0);
        EXPECT_EQ(text.CopyBackend(target, "None", 0), talix::kArgumentError);
        EXPECT_FALSE(plat::ItemIsPresent(target, "None", 4));
    }
    plat::NoteClose(target);
    plat::DbClose(db);
}

TEST_F(SessionItemTest, ChunksBelongToTheirItem) {
    auto* item = new ZervaRTItem(&session_);
    EXPECT_EQ(item->DefineChunk("Everything"), nullptr);   // not connected
    ASSERT_EQ(item->Connect("", path_.c_str(), styled_, "Body", 0), 0);
    ZervaRTChunk* chunk = item->DefineChunk("table 1; row 2");
    ASSERT_NE(chunk, nullptr);
    EXPECT_STREQ(chunk->definition, "Table 1; Row 2");
    EXPECT_EQ(chunk->targetType, 5);
    EXPECT_EQ(session_.chunks, chunk);
    EXPECT_EQ(item->DefineChunk("Row 2"), nullptr);
    EXPECT_EQ(session_.chunks, chunk);
    delete item;
    EXPECT_EQ(session_.chunks, nullptr);
    EXPECT_EQ(session_.items, nullptr);
}

TEST_F(SessionItemTest, DesignNotesAreFoundAndCopiedUnderFreeNames) {
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    std::uint8_t key[8] = {};
    ASSERT_EQ(talix::OpenDesignNote(&session_, "", path_.c_str(), 0, "Response", nullptr, &db, &note, 1, key), 0);
    char title[64] = {};
    plat::ItemGetText(note, "$TITLE", title, sizeof title);
    EXPECT_STREQ(title, "Response");
    plat::NoteClose(note);
    plat::DbClose(db);

    for (const char* expected : {"Response1", "Response2"}) {
        ASSERT_EQ(talix::OpenDesignNote(&session_, "", path_.c_str(), 0, "Response", "Response", &db, &note, 1, key),
                  0);
        plat::NOTEID id = 1;
        plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id);
        EXPECT_EQ(id, 0u);
        plat::ItemGetText(note, "$TITLE", title, sizeof title);
        EXPECT_STREQ(title, expected);
        plat::ItemGetText(note, "$$ScriptName", title, sizeof title);
        EXPECT_STREQ(title, expected);
        EXPECT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
        plat::NoteClose(note);
    plat::DbClose(db);
    }

    EXPECT_NE(talix::OpenDesignNote(&session_, "", path_.c_str(), 0, "Nothing", nullptr, &db, &note, 1, key), 0);
    EXPECT_EQ(db, 0u);
    EXPECT_EQ(note, 0u);
    EXPECT_TRUE(Shown("TALIX: Unable to find design element 'Nothing'."));
    g_messages.clear();
    talix::ThisThread().suppressMessages = 1;
    EXPECT_NE(talix::OpenDesignNote(&session_, "", path_.c_str(), 0, "Nothing", nullptr, &db, &note, 1, key), 0);
    EXPECT_TRUE(g_messages.empty());
}

TEST(Session, DestroyingItFreesEverythingStillRegistered) {
    talix_test::TempDir dir;
    std::string path = dir.file("teardown.nsf");
    plat::DBHANDLE db = 0;
    ASSERT_EQ(plat::DbCreate(path.c_str(), &db), plat::NOERROR);
    plat::DxlImportResult result;
    ASSERT_EQ(plat::DxlImportFile(db, (talix_test::SampleDxlDir() / "styledtext.xml").string().c_str(), &result),
              plat::NOERROR);
    plat::DbClose(db);

    plat::DWORD handles = plat::MemLiveCount();
    plat::DWORD notes = plat::TestOpenNotes(), databases = plat::TestOpenDatabases();
    auto* session = new RARIvoSession;
    session->SetUp();
    auto* first = new ZervaRTItem(session);
    auto* second = new ZervaRTItem(session);
    EXPECT_EQ(session->items, second);
    EXPECT_EQ(second->next, first);
    ASSERT_EQ(first->Connect("", path.c_str(), result.notes[0], "Body", 0), 0);
    ASSERT_EQ(second->Connect("", path.c_str(), result.notes[0], "Body", 0), 0);
    ReadPending(*second);
    ASSERT_NE(first->DefineChunk("Table 1"), nullptr);
    ASSERT_NE(second->DefineChunk("Text *"), nullptr);
    new ZervaRTChunk(session, nullptr);
    ASSERT_NE(talix::QuorbelAllocate(session, __LINE__, "test", 100, 1), nullptr);
    session->CreateCachedStuff();
    session->CreateCachedStuff();
    ASSERT_NE(session->workArea->outputCache, nullptr);
    ASSERT_NE(session->workArea->outputCache->next, nullptr);
    EXPECT_EQ(session->workArea->outputCache->next->next, nullptr);

    // Unregistering something not registered changes nothing; removing the
    // head makes its successor the head.
    ZervaRTItem stray(nullptr);
    session->RemoveFromRTITEMList(&stray);
    EXPECT_EQ(session->items, second);
    session->RemoveFromRTITEMList(second);
    EXPECT_EQ(session->items, first);
    session->AddToRTITEMList(second);

    delete session;
    EXPECT_EQ(plat::MemLiveCount(), handles);
    EXPECT_EQ(plat::TestOpenNotes(), notes);
    EXPECT_EQ(plat::TestOpenDatabases(), databases);
}

TEST(Session, WithoutItsWorkAreaItRefusesWork) {
    RARIvoSession session;
    delete session.workArea;
    session.workArea = nullptr;
    EXPECT_FALSE(session.IsUsable());
    ZervaRTItem item(&session);
    EXPECT_EQ(item.Connect("", "any.nsf", 1, "Body", 1), talix::kOutOfMemory);
    EXPECT_EQ(item.Create("", "any.nsf", 1, "Body", 1), talix::kOutOfMemory);
    EXPECT_EQ(item.ConnectBackend(1, "Body", 1), talix::kOutOfMemory);
    EXPECT_EQ(item.CreateBlankRichTextItem(), talix::kOutOfMemory);
    EXPECT_EQ(item.Commit(), talix::kOutOfMemory);
    EXPECT_EQ(item.Save(), talix::kOutOfMemory);
    EXPECT_EQ(item.DefineChunk("Everything"), nullptr);
    session.CreateCachedStuff();
    session.CleanUpCachedStuff();
}

// Restores an environment variable when it goes out of scope.
class EnvironmentValue {
public:
    explicit EnvironmentValue(const char* name) : name_(name) {
        if (const char* value = std::getenv(name)) saved_ = value;
    }
    ~EnvironmentValue() {
        if (saved_) setenv(name_, saved_->c_str(), 1); else unsetenv(name_);
    }
    void Set(const char* value) {
        if (value != nullptr) setenv(name_, value, 1); else unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> saved_;
};

TEST(Session, SetUpFixesTheTemporaryDirectory) {
    {
        EnvironmentValue temp("TEMP"), tmp("TMP");
        RARIvoSession session;
        auto directory = [&] {
            session.SetUp();
            return talix::TempDirectory();
        };
        plat::IniSet("$TalixTempDirectory", "D:\\T\\");
        temp.Set("/ignored");
        EXPECT_EQ(directory(), "D:\\T\\");
        // Written without its separator, the folder is still the folder
        // that files are made in.
        plat::IniSet("$TalixTempDirectory", "D:\\T");
        EXPECT_EQ(directory(), "D:\\T/");
        plat::IniSet("$TalixTempDirectory", "");

        temp.Set("D:\\Work");
        EXPECT_EQ(directory(), "D:\\Work/");
        temp.Set("/var/tmp/");
        EXPECT_EQ(directory(), "/var/tmp/");
        temp.Set("");
        tmp.Set(nullptr);
        EXPECT_EQ(directory(), "/tmp/");
        tmp.Set("/scratch");
        EXPECT_EQ(directory(), "/scratch/");
        // A value that does not fit is passed over, not cut.
        temp.Set(std::string(300, 'd').c_str());
        EXPECT_EQ(directory(), "/scratch/");

        plat::LogClearRecent();
        plat::IniSet("TalixDebug", "1");
        directory();
        plat::IniSet("TalixDebug", "");
        EXPECT_TRUE(Logged("TalixDebug: Temp directory='/scratch/'"));
    }
    // The environment is back: a set-up fixes the temporary directory from it
    // again, for the tests that run after this one.
    RARIvoSession().SetUp();
}

// The files of the run land in the folder named, with or without its final
// separator; a folder that is not there makes none, anywhere, and says so.
TEST(Session, TemporaryFilesLandInTheFolderNamed) {
    talix_test::TempDir parent;
    const std::string folder = parent.file("work");
    std::filesystem::create_directory(folder);
    talix_test::g_messages.clear();
    plat::RegisterMessageProc(&talix_test::CollectMessage);
    RARIvoSession session;
    for (const std::string& written : {folder, folder + "/"}) {
        plat::IniSet("$TalixTempDirectory", written.c_str());
        session.SetUp();
        const std::string made = talix::MakeOwnTemporaryFile("dir/part.cd");
        ASSERT_FALSE(made.empty()) << written;
        EXPECT_EQ(std::filesystem::path(made).parent_path(), std::filesystem::path(folder)) << made;
        EXPECT_TRUE(std::filesystem::is_regular_file(made));
        std::filesystem::remove(made);
    }
    EXPECT_TRUE(talix_test::g_messages.empty());

    plat::IniSet("$TalixTempDirectory", (folder + "/gone").c_str());
    session.SetUp();
    EXPECT_EQ(talix::MakeOwnTemporaryFile("part.cd"), "");
    EXPECT_EQ(talix_test::g_messages,
              std::vector<std::string>{"cannot make a temporary file in " + folder + "/gone/: No such file or directory"});
    // Nothing beside the folders either.
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(parent.path()), {}), 1);

    plat::RegisterMessageProc(nullptr);
    plat::IniSet("$TalixTempDirectory", "");
    session.SetUp();
}

} // namespace
