// What a session takes from its set-up: the generation's and the HTML
// import's operations and the MIME conversion of a connect. A session whose
// tables are taken away answers "not available" for each of them and
// changes nothing, while the engine's own operations still run; given the
// set-up's tables again, the same calls work.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "core/layer_hooks.h"
#include "core/session_work_area.h"
#include "core/statuses.h"
#include "support/test_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

constexpr char kDatabase[] = "tables.nsf";
constexpr char kMessage[] = "From: a@example.org\r\nTo: b@example.org\r\nSubject: Note\r\nMIME-Version: 1.0\r\n"
                            "Content-Type: text/html; charset=us-ascii\r\n\r\n<p>From the message</p>\r\n";

// A new note of the database holding a rich-text "Body" with one text run,
// and a second note holding the message as MIME items.
void MakeNotes(plat::NOTEID* text, plat::NOTEID* message) {
    plat::DBHANDLE db = 0;
    ASSERT_EQ(plat::DbCreate(kDatabase, &db), 0);
    for (plat::NOTEID* id : {text, message}) {
        plat::NOTEHANDLE note = 0;
        ASSERT_EQ(plat::NoteCreate(db, &note), 0);
        if (id == message) ASSERT_EQ(plat::MimeStoreMessage(note, "Body", 4, kMessage, sizeof kMessage - 1), 0);
        ASSERT_EQ(plat::NoteUpdate(note, plat::UPDATE_FORCE), 0);
        plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, id);
        plat::NoteClose(note);
    }
    plat::DbClose(db);
    RARIvoSession session;
    ZervaRTItem item(&session);
    ASSERT_EQ(item.Create("", kDatabase, *text, "Body", 1), 0);
    ZervaRTChunk* everything = item.DefineChunk("Everything");
    ASSERT_NE(everything, nullptr);
    EXPECT_EQ(everything->AppendText("Stored words", 0, nullptr), 0);
    delete everything;
    ASSERT_EQ(item.Save(), 0);
}

// The text of the note's "Body", read by a session of its own.
std::string StoredText(plat::NOTEID id) {
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (item.Connect("", kDatabase, id, "Body", 0) != 0) return "<no item>";
    ZervaRTChunk* everything = item.DefineChunk("Everything");
    std::string text(4096, '\0');
    text.resize(everything->GetText(nullptr, text.data(), static_cast<std::uint32_t>(text.size()), 1, "|"));
    delete everything;
    return text;
}

plat::WORD BodyType(plat::NOTEID id) {
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    plat::WORD type = 0;
    EXPECT_EQ(plat::DbOpen(kDatabase, &db), 0);
    EXPECT_EQ(plat::NoteOpen(db, id, 0, &note), 0);
    plat::ItemInfo(note, "Body", 4, nullptr, &type, nullptr, nullptr);
    plat::NoteClose(note);
    plat::DbClose(db);
    return type;
}

// Connects an item of the session to the note's "Body" as a caller with the
// note open does; returns the status.
std::uint16_t ConnectBorrowed(RARIvoSession* session, plat::NOTEID id, bool* connected) {
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    EXPECT_EQ(plat::DbOpen(kDatabase, &db), 0);
    EXPECT_EQ(plat::NoteOpen(db, id, 0, &note), 0);
    ZervaRTItem item(session);
    const std::uint16_t status = item.ConnectBackend(note, "Body", 0);
    *connected = item.connected != 0;
    if (*connected) EXPECT_EQ(item.Save(), 0);
    plat::NoteClose(note);
    plat::DbClose(db);
    return status;
}

TEST(SessionTables, WhatTheSetUpGivesIsNotAvailableWithoutItAndWorksWithIt) {
    talix_test::TempDir data;
    talix_test::IniOverride directory("Directory", data.path().string());
    plat::NOTEID text = 0, message = 0;
    MakeNotes(&text, &message);
    ASSERT_EQ(StoredText(text), "Stored words");
    const std::string page = data.file("page.htm");
    std::ofstream(page) << "<p>From a file</p>";

    RARIvoSession session;
    const talix::LayerTables given = session.workArea->tables;
    session.workArea->tables = talix::LayerTables{};
    {
        ZervaRTItem item(&session);
        ASSERT_EQ(item.Connect("", kDatabase, text, "Body", 0), 0);
        ZervaRTChunk* everything = item.DefineChunk("Everything");
        ASSERT_NE(everything, nullptr);
        EXPECT_EQ(everything->AppendHTML("IN", "<p>Inline</p>", ""), talix::kNotAvailable);
        EXPECT_EQ(everything->AppendHTML("FILE", page.c_str(), ""), talix::kNotAvailable);
        // A file of the library's own HTML type is imported by the HTML
        // import's operation too.
        EXPECT_EQ(everything->AppendImportFile(page.c_str(), "Zerva.htm"), talix::kNotAvailable);
        // The page around the body is written; the body's records are not.
        const char* html = everything->GenerateHTML(nullptr, "HTML", "", 0, nullptr, nullptr);
        EXPECT_EQ(everything->lastStatus, talix::kNotAvailable);
        EXPECT_EQ(std::string(html != nullptr ? html : "").find("Stored words"), std::string::npos);
        delete everything;
        EXPECT_EQ(item.Save(), 0);
    }
    EXPECT_EQ(StoredText(text), "Stored words");
    bool connected = true;
    EXPECT_EQ(ConnectBorrowed(&session, message, &connected), talix::kNotAvailable);
    EXPECT_FALSE(connected);
    EXPECT_EQ(BodyType(message), plat::TYPE_MIME_PART);
    {
        // The engine's own operations do not need the tables.
        ZervaRTItem item(&session);
        ASSERT_EQ(item.Connect("", kDatabase, text, "Body", 0), 0);
        ZervaRTChunk* everything = item.DefineChunk("Everything");
        EXPECT_EQ(everything->AppendText(" and more", 0, nullptr), 0);
        delete everything;
        EXPECT_EQ(item.Save(), 0);
    }
    EXPECT_EQ(StoredText(text), "Stored words| and more");

    session.workArea->tables = given;
    {
        ZervaRTItem item(&session);
        ASSERT_EQ(item.Connect("", kDatabase, text, "Body", 0), 0);
        ZervaRTChunk* everything = item.DefineChunk("Everything");
        EXPECT_EQ(everything->AppendHTML("IN", "<p>Inline</p>", ""), 0);
        EXPECT_EQ(everything->AppendImportFile(page.c_str(), "Zerva.htm"), 0);
        const char* html = everything->GenerateHTML(nullptr, "HTML", "", 0, nullptr, nullptr);
        ASSERT_NE(html, nullptr);
        EXPECT_NE(std::string(html).find("Inline"), std::string::npos) << html;
        EXPECT_NE(std::string(html).find("From a file"), std::string::npos) << html;
        delete everything;
        EXPECT_EQ(item.Save(), 0);
    }
    EXPECT_EQ(ConnectBorrowed(&session, message, &connected), 0);
    EXPECT_TRUE(connected);
    EXPECT_EQ(BodyType(message), plat::TYPE_COMPOSITE);
    EXPECT_NE(StoredText(message).find("From the message"), std::string::npos) << StoredText(message);
}

} // namespace
