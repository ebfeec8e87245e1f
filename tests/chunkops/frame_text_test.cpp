// The chunk method frame (missing items, AutoSave, completion status) and
// the text methods.
#include <cstring>
#include <vector>

#include "chunk_fixture.h"
#include "core/chunk_work_state.h"
#include "core/item_work_state.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "talix_platform.h"

namespace chunkops_test {
namespace {

using talix_test::FixtureRecord;

std::vector<FixtureRecord> Runs(const std::vector<std::string>& texts, bool bold = false) {
    std::vector<FixtureRecord> records = ParagraphStart();
    for (const std::string& text : texts) records.push_back(TextRun(text, bold));
    return records;
}

// True when the stored note (in the database) has an item of the name.
bool StoredNoteHas(const std::string& path, plat::NOTEID id, const char* name) {
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    if (plat::DbOpen(path.c_str(), &db) != plat::NOERROR) return false;
    bool has = false;
    if (plat::NoteOpen(db, id, 0, &note) == plat::NOERROR) {
        has = plat::ItemIsPresent(note, name, static_cast<plat::WORD>(std::strlen(name)));
        plat::NoteClose(note);
    }
    plat::DbClose(db);
    return has;
}

class FrameTest : public ChunkTest {};

TEST_F(FrameTest, AnItemMissingFromItsNoteIsASuccessfulNoOp) {
    const plat::NOTEID id = NewNote(Runs({"x"}));
    Open(id);
    ZervaRTChunk* chunk = Chunk();
    // The item goes from the note behind the chunk's back.
    ASSERT_EQ(plat::ItemDelete(item_->noteHandle, "Body", 4), plat::NOERROR);
    EXPECT_EQ(chunk->RemoveLinks(1), 0);
    EXPECT_EQ(chunk->AppendText("a", 0, nullptr), 0);
    EXPECT_EQ(chunk->Highlight(1), 0);
    EXPECT_EQ(chunk->lastStatus, 0);
    EXPECT_FALSE(plat::ItemIsPresent(item_->noteHandle, "Body", 4));
    delete chunk;
}

TEST_F(FrameTest, AutoSaveUpdatesTheNoteOnlyAfterASuccessfulChange) {
    const plat::NOTEID id = NewNote(Runs({"abc"}));
    Open(id);
    item_->autoSave = 1;
    // A marker set in the open note reaches the database only with an update.
    ASSERT_EQ(plat::ItemSetText(item_->noteHandle, "Marker", "1", 1), plat::NOERROR);
    ZervaRTChunk* chunk = Chunk();

    char text[16];
    EXPECT_EQ(chunk->GetText(nullptr, text, sizeof text, 1, nullptr), 3u);   // a query: 1298 inside
    EXPECT_EQ(chunk->lastStatus, 0);
    EXPECT_FALSE(StoredNoteHas(path_, id, "Marker"));

    // An operation the engine refuses.
    EXPECT_EQ(chunk->RefreshAttachmentIcon(0, "Options=x"), 1028);
    EXPECT_EQ(chunk->lastStatus, 1028);
    EXPECT_EQ(chunk->RenameAttachment("a.txt", 0, nullptr), 1028);
    EXPECT_FALSE(StoredNoteHas(path_, id, "Marker"));
    EXPECT_EQ(session_.workArea->runningOptions, nullptr);

    EXPECT_EQ(chunk->AppendText("d", 0, nullptr), 0);
    EXPECT_TRUE(StoredNoteHas(path_, id, "Marker"));
    EXPECT_EQ(Stored(id).Joined(), "abc|d");
    delete chunk;
}

TEST_F(FrameTest, AlterRichTextNarrowsToASubDefinitionAndKeepsTheSingleTargetFlag) {
    Open(NewNote(Runs({"one", "two", "three"})));
    ZervaRTChunk* chunk = Chunk();
    const std::uint32_t single = chunk->work->singleTarget;
    chunk->AlterRichText(2372, 0, 0, 0, 0, nullptr, nullptr, "Text 2", nullptr);   // highlight
    EXPECT_EQ(chunk->lastStatus, 0);
    EXPECT_EQ(chunk->work->singleTarget, single);
    chunk->AlterRichText(2372, 0, 0, 0, 0, nullptr, nullptr, "Bogus 1", nullptr);
    EXPECT_EQ(chunk->lastStatus, 1028);
    EXPECT_EQ(chunk->work->singleTarget, single);
    delete chunk;
    EXPECT_EQ(TextOf("Everything"), "one|two|three");
}

class TextMethodsTest : public ChunkTest {};

TEST_F(TextMethodsTest, TextAppendedInThreeFontsReadsBackRunByRun) {
    Open(NewNote());
    ZervaRTChunk* chunk = Chunk();
    EXPECT_EQ(chunk->AppendText("a", 0, "Arial 12"), 0);
    EXPECT_EQ(chunk->AppendText("b", 1, "+Bold"), 0);
    EXPECT_EQ(chunk->AppendText("c", 0, "RED +Italic"), 0);
    EXPECT_EQ(item_->work->emptyTextAppended, 0);

    char buffer[64];
    EXPECT_EQ(chunk->GetText(nullptr, buffer, sizeof buffer, 1, ", "), 7u);
    EXPECT_STREQ(buffer, "a, b, c");
    EXPECT_EQ(chunk->GetText(nullptr, buffer, sizeof buffer, 0, ", "), 1u);
    EXPECT_STREQ(buffer, "a");
    // Cut to the buffer, always terminated; a size of 0 writes nothing.
    EXPECT_EQ(chunk->GetText(nullptr, buffer, 4, 1, ", "), 3u);
    EXPECT_STREQ(buffer, "a, ");
    EXPECT_EQ(chunk->GetText(nullptr, buffer, 1, 1, ", "), 0u);
    EXPECT_STREQ(buffer, "");
    std::strcpy(buffer, "kept");
    EXPECT_EQ(chunk->GetText(nullptr, buffer, 0, 1, ", "), 0u);
    EXPECT_STREQ(buffer, "kept");

    EXPECT_EQ(chunk->FontInUse("+Bold"), 1);
    EXPECT_EQ(chunk->FontInUse("+Underline"), 0);
    EXPECT_EQ(chunk->FontInUse(nullptr), 0);
    delete chunk;
    Save();
    EXPECT_EQ(Stored(id_).Joined(), "a|b|c");
    EXPECT_EQ(Stored(id_).problem, "");
}

TEST_F(TextMethodsTest, SetTextReplacesTheTargetsOfItsSubDefinitionOnly) {
    Open(NewNote(Runs({"one", "two", "three"})));
    ZervaRTChunk* chunk = Chunk();
    EXPECT_EQ(chunk->SetText(nullptr, "x", 0, nullptr), 0);
    EXPECT_EQ(chunk->SetText("", "x", 0, nullptr), 0);
    EXPECT_EQ(TextOf("Everything"), "one|two|three");
    EXPECT_EQ(chunk->SetText("Text 2", "TWO", 0, nullptr), 0);
    delete chunk;
    EXPECT_EQ(TextOf("Everything"), "one|TWO|three");
}

TEST_F(TextMethodsTest, ReplaceTextQuickReplacesInTheScopesItNames) {
    struct Case {
        const char* scope;
        bool replacesText;
    } cases[] = {{nullptr, true},    {"", true},           {"TEXT URL", true}, {"EVERYTHING", true},
                 {"NONTEXT", false}, {"text", false},      {"URL", false}};
    for (const Case& each : cases) {
        Open(NewNote(Runs({"hello world"})));
        ZervaRTChunk* chunk = Chunk();
        EXPECT_EQ(chunk->ReplaceTextQuick("world", 0, "there", 5, each.scope), 0) << each.scope;
        delete chunk;
        EXPECT_EQ(TextOf("Everything", ""), each.replacesText ? "hello there" : "hello world")
            << (each.scope != nullptr ? each.scope : "<none>");
    }
    ZervaRTChunk* chunk = Chunk();
    EXPECT_EQ(chunk->ReplaceTextQuick(nullptr, 0, "x", 1, nullptr), 20017);
    EXPECT_EQ(chunk->ReplaceTextQuick("hello", 0, nullptr, 0, nullptr), 20017);
    delete chunk;
    EXPECT_EQ(TextOf("Everything", ""), "hello world");
}

TEST_F(TextMethodsTest, EventReturnStringsAreOwnedCopies) {
    Open(NewNote(Runs({"x"})));
    ZervaRTChunk* chunk = Chunk();
    char text[] = "abcdef";
    chunk->SetEventRetString(1, text, 3);
    text[0] = 'Z';
    ASSERT_NE(chunk->eventReturn[0], nullptr);
    EXPECT_STREQ(chunk->eventReturn[0], "abc");
    chunk->SetEventRetString(6, "six", 40);   // never past the text
    EXPECT_STREQ(chunk->eventReturn[5], "six");
    const std::uint16_t kind = chunk->work->linkRequest.kind;
    chunk->SetEventRetString(7, "seven", 5);
    chunk->SetEventRetString(0, "zero", 4);
    EXPECT_EQ(chunk->work->linkRequest.kind, static_cast<std::uint16_t>(kind - 2));
    chunk->CleanupEventRetString(1);
    chunk->CleanupEventRetString(9);
    EXPECT_EQ(chunk->eventReturn[0], nullptr);
    EXPECT_STREQ(chunk->eventReturn[5], "six");
    // GetHTMLValue without a stored attribute, or of an unknown one, is empty.
    EXPECT_STREQ(chunk->GetHTMLValue("HREF", "cell"), "");
    EXPECT_STREQ(chunk->GetHTMLValue("style", "cell"), "");
    EXPECT_STREQ(chunk->GetHTMLValue(nullptr, nullptr), "");
    delete chunk;
}

} // namespace
} // namespace chunkops_test

namespace chunkops_test {
namespace {

class FinderTest : public ChunkTest {};

TEST_F(FinderTest, TextRunsByFontAndTextAndTablesByName) {
    std::vector<talix_test::FixtureRecord> records = ParagraphStart();
    records.push_back(TextRun("plain"));
    for (const char* text : {"a", "b", "c"}) records.push_back(TextRun(text, true));
    Open(NewNote(records));
    ZervaRTChunk* chunk = Chunk();
    char found[32] = {};
    EXPECT_EQ(chunk->FindTextChunk(1, found, sizeof found, "SUBSTR", "+Bold", "c"), 4);
    EXPECT_STREQ(found, "Text 4");
    EXPECT_EQ(chunk->FindTextChunk(1, found, sizeof found, "EXACT", "+Bold", "b"), 3);
    EXPECT_EQ(chunk->FindTextChunk(1, found, sizeof found, "EXACT", "+Bold", "bc"), 0);
    EXPECT_EQ(chunk->FindTextChunk(1, found, sizeof found, "ANY", "+Bold", nullptr), 2);
    EXPECT_EQ(chunk->FindTextChunk(1, found, sizeof found, "SUBSTR", "+Bold", "plain"), 0);

    EXPECT_EQ(chunk->AppendTable(1, 1, 0, "TableHTMLID=t1 TableHTMLName=n1", nullptr), 0);
    EXPECT_EQ(chunk->AppendTable(1, 1, 0, nullptr, nullptr), 0);
    EXPECT_EQ(chunk->AppendTable(1, 1, 0, "TableHTMLID=t2", nullptr), 0);
    EXPECT_EQ(chunk->FindNamedChunk(1, "TABLE", found, sizeof found, "EXACT", "t2"), 3);
    EXPECT_STREQ(found, "Table 3");
    EXPECT_EQ(chunk->FindNamedChunk(1, "Table", found, sizeof found, "STARTS", "t"), 1);
    EXPECT_EQ(chunk->FindNamedChunk(1, "TABLE", found, sizeof found, "EXACT", "n1"), 0);
    EXPECT_EQ(chunk->FindNamedChunk(1, "SECTION", found, sizeof found, "EXACT", "t2"), 0);
    delete chunk;
}

// An empty search text stands at the start of every text: every run starts
// with it and holds it, while only an empty run is it whole or ends with it.
TEST_F(FinderTest, AnEmptySearchTextStartsEveryText) {
    std::vector<talix_test::FixtureRecord> records = ParagraphStart();
    for (const char* text : {"abc", "", "de"}) records.push_back(TextRun(text));
    Open(NewNote(records));
    ZervaRTChunk* chunk = Chunk();
    char found[32] = {};
    EXPECT_EQ(chunk->FindTextChunk(1, found, sizeof found, "STARTS", "", ""), 1);
    EXPECT_EQ(chunk->FindTextChunk(1, found, sizeof found, "SUBSTR", "", ""), 1);
    EXPECT_EQ(chunk->FindTextChunk(1, found, sizeof found, "EXACT", "", ""), 2);
    EXPECT_EQ(chunk->FindTextChunk(1, found, sizeof found, "ENDS", "", ""), 2);
    EXPECT_STREQ(found, "Text 2");

    EXPECT_EQ(chunk->AppendTable(1, 1, 0, "TableHTMLID=t1", nullptr), 0);
    EXPECT_EQ(chunk->FindNamedChunk(1, "Table", found, sizeof found, "STARTS", ""), 1);
    EXPECT_EQ(chunk->FindNamedChunk(1, "Table", found, sizeof found, "EXACT", ""), 0);
    delete chunk;
}

} // namespace
} // namespace chunkops_test
