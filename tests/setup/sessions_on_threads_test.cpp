// Sessions on threads: eight threads, each with a session and a database of
// its own, read, change, render, import HTML into and convert to MIME the
// same notes at the same time, half of them for the web client and half for
// the Notes client. Each must get exactly what one thread alone gets for its
// client. Built with ThreadSanitizer (the tsan preset), the run also shows
// that the sessions share nothing unguarded.
#include <gtest/gtest.h>

#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "support/patterns.h"
#include "support/rich_text_items.h"
#include "support/test_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using talix_test::NoteItem;

constexpr int kThreads = 8;

constexpr const char* kImportedHtml =
    "<h1>Title</h1><p style='color: red; margin-left: 2em'>Red <b>bold</b> and <font face='Courier New' "
    "size=4>fixed</font> text</p><table border=1 width='100%'><tr><td>a</td><td style='background: #ffff00'>b</td>"
    "</tr><tr><td colspan=2>wide</td></tr></table><ul><li>one</li><li>two<ol><li>inner</li></ol></li></ul>"
    "<p><a href='http://example.com/page'>a link</a><br>after the break</p>";

// What a thread's work gave, one line per step.
using Transcript = std::vector<std::string>;

// What differs between the databases and moments alone: the database's
// name and the ids of the notes its import made (in the URLs of pictures and
// links), the day the generator writes into its comments and the mail header
// lines, and the time and the unique id of a message.
std::string Comparable(const std::string& text, const std::string& database) {
    std::string named;
    for (std::size_t at = 0;;) {
        const std::size_t found = text.find(database, at);
        named.append(text, at, found == std::string::npos ? std::string::npos : found - at);
        if (found == std::string::npos) break;
        named += "<database>";
        at = found + database.size();
    }
    const std::string dated =
        talix_test::ReplaceAll(named, "[0-9]{2}/[0-9]{2}/[0-9]{4}|\nDate: [^\n]*|\nMessage-ID: [^\n]*", "<date>");
    return talix_test::ReplaceAll(dated, "[0-9a-fA-F]{32}", "<id>");
}

std::string Status(const char* step, const std::string& what, unsigned status) {
    return std::string(step) + " " + what + ": " + std::to_string(status);
}

// The text and the HTML of a connected item's whole body.
void ReadItem(ZervaRTItem* item, const std::string& what, const std::string& database, Transcript* out) {
    ZervaRTChunk* everything = item->DefineChunk("Everything");
    if (everything == nullptr) {
        out->push_back("no chunk " + what);
        return;
    }
    std::vector<char> text(65536);
    const std::uint32_t length =
        everything->GetText(nullptr, text.data(), static_cast<std::uint32_t>(text.size()), 1, "|");
    out->push_back("text " + what + ": " + std::string(text.data(), length));
    const char* html = everything->GenerateHTML(nullptr, "HTML", "", 0, nullptr, nullptr);
    const std::uint32_t htmlLength = html != nullptr ? item->session->textResultLength : 0;
    out->push_back(Status("render", what, everything->lastStatus) + " " +
                   Comparable(std::string(html != nullptr ? html : "", htmlLength), database));
    delete everything;
}

// Reads every rich-text item of the database; then changes the first
// "Body" for the client: a paragraph, text in a colour whose name the web
// and the Notes client read differently and a table appended, and HTML imported into a
// new item of the same note; saves, reads both back and writes the changed
// item as a MIME message into the scratch directory and as MIME part items
// of its note, which are read back into rich text.
Transcript Work(const std::string& database, const std::vector<NoteItem>& items, const std::string& scratch,
               const char* client) {
    Transcript out;
    RARIvoSession session;
    session.SetUp();
    plat::NOTEID changed = 0;
    for (const auto& [note, name] : items) {
        ZervaRTItem* item = new ZervaRTItem(&session);
        const std::string what = std::to_string(note) + " " + name;
        out.push_back(Status("connect", what, item->Connect("", database.c_str(), note, name.c_str(), 0)));
        if (item->connected != 0) ReadItem(item, what, database, &out);
        if (changed == 0 && name == "Body") changed = note;
        delete item;
    }
    if (changed == 0) return out;

    {
        ZervaRTItem body(&session);
        out.push_back(Status("connect body", "", body.Connect("", database.c_str(), changed, "Body", 0)));
        out.push_back(Status("client", client, body.SetPropertyText("ClientPreference", client, 0)));
        ZervaRTChunk* everything = body.DefineChunk("Everything");
        if (everything == nullptr) return out;
        out.push_back(
            Status("paragraph", "", everything->AppendParagraph("LeftMargin=2in", "Arial 12 Bold", nullptr, 0)));
        out.push_back(Status("text", "", everything->AppendText("Added on a thread", 0, "Courier 10 Green")));
        out.push_back(Status("table", "", everything->AppendTable(2, 3, 1, "", nullptr)));
        delete everything;
        out.push_back(Status("save body", "", body.Save()));

        ZervaRTItem imported(&session);
        out.push_back(Status("create", "Imported", imported.Create("", database.c_str(), changed, "Imported", 1)));
        ZervaRTChunk* target = imported.DefineChunk("Everything");
        if (target == nullptr) return out;
        out.push_back(Status("import", "", target->AppendHTML("IN", kImportedHtml, "")));
        delete target;
        out.push_back(Status("save imported", "", imported.Save()));
    }
    for (const char* name : {"Body", "Imported"}) {
        ZervaRTItem item(&session);
        out.push_back(Status("reconnect", name, item.Connect("", database.c_str(), changed, name, 0)));
        ReadItem(&item, name, database, &out);
    }

    ZervaRTItem body(&session);
    out.push_back(Status("connect mime", "", body.Connect("", database.c_str(), changed, "Body", 0)));
    const std::string path = scratch + "/message.eml";
    body.ExportToMIME(path.c_str(), nullptr, nullptr, nullptr, "", 0, "", 0, nullptr);
    out.push_back(Status("mime", "", body.lastStatus) + " " + Comparable(talix_test::ReadFile(path), database));
    // Stored as MIME part items of the note, and read back into rich text.
    body.ConvertToMIME("Message", nullptr, nullptr, nullptr, "ForceSave=Yes", 0, "", 0, nullptr);
    out.push_back(Status("mime items", "", body.lastStatus));
    {
        ZervaRTItem message(&session);
        out.push_back(Status("open message", "", message.CopyItem("", database.c_str(), changed, "Message", 0)));
        out.push_back(Status("convert message", "",
                             message.ConvertFromMIMEBackend(message.noteHandle, "Message", "", 0, nullptr, 0)));
        out.push_back(Status("save message", "", message.Save()));
    }
    ZervaRTItem message(&session);
    out.push_back(Status("connect message", "", message.Connect("", database.c_str(), changed, "Message", 0)));
    if (message.connected != 0) ReadItem(&message, "Message", database, &out);
    return out;
}

TEST(SessionsOnThreads, EachThreadGetsWhatOneThreadAloneGets) {
    talix_test::TempDir data;
    talix_test::IniOverride directory("Directory", data.path().string());
    const auto files = talix_test::DxlFilesBelow(talix_test::SampleDxlDir());
    ASSERT_FALSE(files.empty());

    std::vector<NoteItem> items;
    ASSERT_EQ(talix_test::ImportRichTextItems("items.nsf", files, false, &items), plat::NOERROR);
    // What one thread alone gets for each client.
    const char* const clients[2] = {"Web", "Notes"};
    Transcript alone[2];
    for (int client = 0; client < 2; ++client) {
        const std::string name = std::string("alone") + clients[client];
        std::vector<NoteItem> same;
        ASSERT_EQ(talix_test::ImportRichTextItems(name + ".nsf", files, false, &same), plat::NOERROR);
        std::filesystem::create_directory(data.path() / name);
        alone[client] = Work(name + ".nsf", items, (data.path() / name).string(), clients[client]);
        ASSERT_GT(alone[client].size(), items.size() * 3);
    }
    ASSERT_NE(alone[0], alone[1]);

    std::vector<std::string> databases;
    for (int n = 0; n < kThreads; ++n) {
        databases.push_back("thread" + std::to_string(n) + ".nsf");
        std::vector<NoteItem> same;
        ASSERT_EQ(talix_test::ImportRichTextItems(databases.back(), files, false, &same), plat::NOERROR);
        ASSERT_EQ(same, items);
        std::filesystem::create_directory(data.path() / ("scratch" + std::to_string(n)));
    }
    // The threads start together, so that their work overlaps.
    std::vector<Transcript> transcripts(kThreads);
    std::vector<std::thread> threads;
    std::latch start(kThreads);
    for (int n = 0; n < kThreads; ++n) {
        threads.emplace_back([&, n] {
            start.arrive_and_wait();
            transcripts[n] =
                Work(databases[n], items, (data.path() / ("scratch" + std::to_string(n))).string(), clients[n % 2]);
        });
    }
    for (std::thread& thread : threads) thread.join();

    for (int n = 0; n < kThreads; ++n) {
        const Transcript& expected = alone[n % 2];
        ASSERT_EQ(transcripts[n].size(), expected.size()) << "thread " << n;
        for (std::size_t step = 0; step < expected.size(); ++step)
            EXPECT_EQ(transcripts[n][step], expected[step]) << "thread " << n << ", step " << step;
    }
    // The work did what it says: the changes and the import came back.
    const std::string all = [&] {
        std::string joined;
        for (const std::string& line : alone[0]) joined += line + "\n";
        return joined;
    }();
    EXPECT_NE(all.find("Added on a thread"), std::string::npos);
    EXPECT_NE(all.find("after the break"), std::string::npos);
    EXPECT_NE(all.find("Content-Type: multipart/related"), std::string::npos);
    EXPECT_NE(all.find("text Message: Please select one of the following options:|Added on a thread"),
              std::string::npos);
}

} // namespace
