// Export filters from notes.ini, the raw export of an item with its font
// table, and event procedures looked up in a program library.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/chunk_work_state.h"
#include "core/filters.h"
#include "core_fixture.h"
#include "support/record_fixture.h"
#include "support/test_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using talix_test::CollectMessage;
using talix_test::g_messages;

TEST(Filters, EntriesAreFoundByExtensionAndRunFromTheirLibrary) {
    RARIvoSession session;
    talix_test::TempDir dir;
    plat::IniSet("EDITEXP2", "Doc,1,_XDOC,.DOC");   // three commas: passed over
    plat::IniSet("EDITEXP3", std::string("Rich,1,").append(TALIX_TEST_FILTER_PATH).append(",Rich Text,.RTF,x").c_str());
    char library[512] = "", filter[8] = "";
    char file[] = "out/report.rtf", doc[] = "a.doc";
    EXPECT_EQ(talix::FindEditFilter(&session, file, library, sizeof library, filter, sizeof filter, 0, 0), 1);
    EXPECT_STREQ(file, "out/report.RTF");
    EXPECT_STREQ(library, TALIX_TEST_FILTER_PATH);
    EXPECT_STREQ(filter, "Rich Te");   // cut to the caller's buffer
    EXPECT_EQ(talix::FindEditFilter(&session, doc, library, sizeof library, filter, sizeof filter, 0, 0), 0);
    // A name that ends in its dot has no extension: the dot alone would be
    // found in every entry.
    char bare[] = "notes.", dot[] = ".";
    EXPECT_EQ(talix::FindEditFilter(&session, bare, library, sizeof library, filter, sizeof filter, 0, 0), 0);
    EXPECT_EQ(talix::FindEditFilter(&session, dot, library, sizeof library, filter, sizeof filter, 0, 1), 0);
    plat::IniSet("EDITEXP2", "");
    plat::IniSet("EDITEXP3", "");

    // The test filter turns a text file into records under the given name,
    // or under a name of its choosing, which is handed back.
    const std::string source = dir.file("source.txt"), target = dir.file("out.cd");
    std::FILE* text = std::fopen(source.c_str(), "wb");
    ASSERT_NE(text, nullptr);
    std::fputs("ab\nc\n", text);
    std::fclose(text);
    char outName[128] = "";
    EXPECT_EQ(talix::ExportThroughFilter(&session, source.c_str(), library, "p", outName, sizeof outName,
                                         target.c_str()), 0);
    EXPECT_EQ(outName, target);
    EXPECT_EQ(talix_test::ReadFile(target).substr(0, 6), std::string("\x01\x00\x81\x02\x85\xFF", 6));
    EXPECT_EQ(talix::ExportThroughFilter(&session, source.c_str(), library, "p", outName, sizeof outName, ""), 0);
    EXPECT_EQ(outName, source + ".cd");

    // A failing filter's own text is shown.
    g_messages.clear();
    plat::RegisterMessageProc(&CollectMessage);
    EXPECT_EQ(talix::ExportThroughFilter(&session, dir.file("none").c_str(), library, "p", outName, sizeof outName,
                                         target.c_str()), 15902);
    plat::RegisterMessageProc(nullptr);
    EXPECT_EQ(g_messages, std::vector<std::string>{"TALIX: Test filter: cannot read the source file"});

    // A target whose path does not fit the filter's request is refused with
    // that reason, and no filter runs.
    const std::string longTarget = dir.file(std::string(100, 'x') + ".rtf");
    g_messages.clear();
    plat::RegisterMessageProc(&CollectMessage);
    EXPECT_NE(talix::ExportThroughFilter(&session, source.c_str(), library, "p", outName, sizeof outName,
                                         longTarget.c_str()), 0);
    plat::RegisterMessageProc(nullptr);
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_NE(g_messages[0].find("longer than"), std::string::npos) << g_messages[0];
    EXPECT_FALSE(std::filesystem::exists(longTarget));
}

TEST(RawExport, WritesTheFontTableThenEveryItemOrNothing) {
    talix_test::TempDir dir;
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    ASSERT_EQ(plat::DbCreate(dir.file("raw.nsf").c_str(), &db), plat::NOERROR);
    ASSERT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
    ASSERT_EQ(talix_test::StoreRichTextItem(note, "$Fonts", {talix_test::HostRecord(0xFF8B, 6)}), 0);
    for (const char* text : {"one", "two!", "three"})
        ASSERT_EQ(talix_test::StoreRichTextItem(note, "Body", {talix_test::TextRecord(0, text)}), 0);
    std::string expected("\x01\x00", 2);
    for (const char* name : {"$Fonts", "Body"})
        for (const std::string& value : talix_test::StoredValues(note, name)) expected += value.substr(2);
    RARIvoSession session;
    ZervaRTItem item(&session);
    ASSERT_EQ(item.ConnectBackend(note, "Body", 0), 0);

    const std::string path = dir.file("body.cd");
    EXPECT_EQ(talix::ExportItemWithFonts(&item, path.c_str()), 0);
    EXPECT_EQ(talix_test::ReadFile(path), expected);
    std::filesystem::remove(path);

    // A file that cannot be created, a font table or an item that is not
    // rich text: a failure and no file.
    EXPECT_EQ(talix::ExportItemWithFonts(&item, dir.file("no/dir/x.cd").c_str()), talix::kOperationFailed);
    ASSERT_EQ(plat::ItemDelete(note, "$Fonts", 6), plat::NOERROR);
    ASSERT_EQ(plat::ItemSetText(note, "$Fonts", "Arial", 5), plat::NOERROR);
    EXPECT_EQ(talix::ExportItemWithFonts(&item, path.c_str()), talix::kOperationFailed);
    EXPECT_FALSE(std::filesystem::exists(path));
    ASSERT_EQ(plat::ItemDelete(note, "$Fonts", 6), plat::NOERROR);
    ASSERT_EQ(plat::ItemAppend(note, 0, "Body", 4, plat::TYPE_TEXT, "abc", 3), plat::NOERROR);
    EXPECT_EQ(talix::ExportItemWithFonts(&item, path.c_str()), talix::kOperationFailed);
    EXPECT_EQ(item.ownError, talix::kErrNotRichText);
    EXPECT_FALSE(std::filesystem::exists(path));
    plat::NoteClose(note);
    plat::DbClose(db);
}

// An item exported through a filter: the records the filter reads are a
// file of the export's own in the temporary directory, gone once the
// export is done, never "default.cd" where the program runs.
TEST(RawExport, RecordsForAFilterAreTheExportsOwnAndGoWithIt) {
    talix_test::TempDir dir, temp;
    plat::IniSet("$TalixTempDirectory", (temp.path().string() + "/").c_str());
    plat::IniSet("EDITEXP1", std::string("Rich,1,").append(TALIX_TEST_FILTER_PATH).append(",Rich Text,.RTF").c_str());
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    ASSERT_EQ(plat::DbCreate(dir.file("export.nsf").c_str(), &db), plat::NOERROR);
    ASSERT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
    ASSERT_EQ(talix_test::StoreRichTextItem(note, "Body", {talix_test::TextRecord(0, "words")}), 0);
    {
        RARIvoSession session;
        session.SetUp();
        ZervaRTItem item(&session);
        ASSERT_EQ(item.ConnectBackend(note, "Body", 0), 0);
        // Run from a folder of the test's own, to see what lands there.
        const std::filesystem::path before = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());
        const std::string target = dir.file("out.rtf");
        EXPECT_EQ(item.Export(target.c_str(), nullptr), 0);
        std::filesystem::current_path(before);
        EXPECT_EQ(talix_test::ReadFile(target).substr(0, 2), std::string("\x01\x00", 2));
        EXPECT_TRUE(std::filesystem::is_empty(temp.path()));
        EXPECT_FALSE(std::filesystem::exists(dir.file("default.cd")));

        // A filter that fails leaves nothing behind either.
        plat::IniSet("EDITEXP1", "Rich,1,_NOSUCH,Rich Text,.RTF");
        EXPECT_NE(item.Export(dir.file("other.rtf").c_str(), nullptr), 0);
        EXPECT_TRUE(std::filesystem::is_empty(temp.path()));
    }
    plat::IniSet("EDITEXP1", "");
    plat::IniSet("$TalixTempDirectory", "");
    RARIvoSession().SetUp();
    plat::NoteClose(note);
    plat::DbClose(db);
}

TEST(ChunkCallbacks, ProceduresAreLookedUpByKind) {
    RARIvoSession session;
    ZervaRTChunk chunk(&session, nullptr);
    plat::ModuleHandle module = nullptr;
    ASSERT_EQ(plat::LibraryLoad(TALIX_TEST_FILTER_PATH, &module, nullptr), plat::NOERROR);
    void* entry = plat::LibraryProcedure(module, "MainEntryPoint");
    ASSERT_NE(entry, nullptr);
    talix::SetChunkCallbacks(&chunk, module, "actontext", "MainEntryPoint");
    talix::SetChunkCallbacks(&chunk, module, "QUERYLINKDATA", "MainEntryPoint");
    talix::SetChunkCallbacks(&chunk, module, "Other", nullptr);   // ignored
    EXPECT_EQ(reinterpret_cast<void*>(chunk.work->actOnText), entry);
    EXPECT_EQ(reinterpret_cast<void*>(chunk.work->queryLinkData), entry);
    // Without a name the procedure named like the kind is looked up; the
    // library has none.
    talix::SetChunkCallbacks(&chunk, module, "ActOnText", nullptr);
    EXPECT_EQ(chunk.work->actOnText, nullptr);
    EXPECT_EQ(plat::LibraryUnload(module), plat::NOERROR);
}

} // namespace
