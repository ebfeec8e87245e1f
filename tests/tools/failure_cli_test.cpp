// Commands that fail, run as a user runs them: they say why and leave the
// database as it was (no note, no item, no attachment, no database file of
// theirs).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "support/picture_files.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace {

using talix_test::CliOutcome;
using talix_test::Has;

class FailedCommands : public talix_test::CliTest {
protected:
    // Every note of the database with its class and every item with its
    // flags, type and stored value, as the platform reads them.
    std::string Contents() {
        std::string all;
        plat::DBHANDLE db = 0;
        if (plat::DbOpen(db_.c_str(), &db) != plat::NOERROR) return "<no database>";
        plat::DbScanNotes(db, [&](plat::NOTEID id, plat::WORD noteClass) -> plat::STATUS {
            all += "note " + std::to_string(id) + " class " + std::to_string(noteClass) + "\n";
            plat::NOTEHANDLE note = 0;
            if (plat::NoteOpen(db, id, 0, &note) != plat::NOERROR) return plat::NOERROR;
            plat::ItemScan(note, [&](plat::BLOCKID item) -> plat::STATUS {
                char name[256] = {};
                plat::WORD flags = 0, type = 0;
                plat::BLOCKID value;
                plat::DWORD length = 0;
                plat::ItemQuery(item, name, sizeof name, &flags, &type, &value, &length);
                const auto* bytes = static_cast<const char*>(plat::BlockLock(value));
                all += std::string(name) + " " + std::to_string(flags) + " " + std::to_string(type) + " " +
                       std::string(bytes != nullptr ? bytes : "", bytes != nullptr ? length : 0) + "\n";
                if (bytes != nullptr) plat::BlockUnlock(value);
                return plat::NOERROR;
            });
            plat::NoteClose(note);
            return plat::NOERROR;
        });
        plat::DbClose(db);
        return all;
    }
};

TEST_F(FailedCommands, ADesignElementThatCannotBeMadeLeavesNothingBehind) {
    Import(Sample("2194.xml"));
    const std::string notes = Talix({"notes", db_}).out;
    const std::string before = Contents();
    const std::string fake = Write("logo.gif", "words, not a picture");
    for (int attempt = 0; attempt < 2; ++attempt) {
        CliOutcome run = Talix({"create-design", db_, "image-resource", "Logo", "SourceFile=" + fake});
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(Has(run.err, "The file is not a GIF picture")) << run.err;
        EXPECT_TRUE(Has(run.err, "Image Resource 'Logo' was not created: its picture could not be added")) << run.err;
        EXPECT_EQ(Talix({"notes", db_}).out, notes);
        EXPECT_TRUE(Contents() == before);
    }
    CliOutcome missing = Talix({"create-design", db_, "file-resource", "a.css", "SourceFile=" + dir_.file("no.css")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(Has(missing.err, "its source file '" + dir_.file("no.css") + "' cannot be read")) << missing.err;
    EXPECT_TRUE(Contents() == before);

    // An element that exists keeps its content when its replacement fails.
    const std::string png = Write("logo.png", talix_test::PngPicture(30, 20));
    ASSERT_EQ(Talix({"create-design", db_, "image-resource", "Logo", "SourceFile=" + png}).status, 0);
    const std::string made = Contents();
    CliOutcome replaced = Talix({"create-design", db_, "image-resource", "Logo", "SourceFile=" + fake + " Overwrite=Yes"});
    EXPECT_EQ(replaced.status, 1);
    EXPECT_TRUE(Contents() == made);
    EXPECT_EQ(Talix({"check", db_}).status, 0);

    // A file that is no database: the message gives the status by number
    // and text, and the file stays as it was.
    const std::string words = Write("words.nsf", "not a database");
    CliOutcome notDatabase = Talix({"create-design", words, "form", "F"});
    EXPECT_EQ(notDatabase.status, 1);
    EXPECT_TRUE(Has(notDatabase.err, "Form 'F' was not created: its design note could not be stored: status 15011: "
                                     "File is not a database\n"))
        << notDatabase.err;
    EXPECT_EQ(talix_test::ReadFile(words), "not a database");
}

TEST_F(FailedCommands, AnImportThatFailsLeavesNoDatabaseAndNoNote) {
    const std::string text = Write("notes.txt", "not DXL at all");
    CliOutcome fresh = Talix({"import", db_, Sample("2194.xml"), text});
    EXPECT_EQ(fresh.status, 1);
    EXPECT_TRUE(Has(fresh.err, text + ":1: not well-formed XML")) << fresh.err;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) EXPECT_FALSE(std::filesystem::exists(db_ + suffix));
    // A link that leads nowhere is not taken for a database, nor replaced.
    const std::string link = Write("nowhere.nsf", ""), missing = link + ".missing";
    std::filesystem::remove(link);
    std::filesystem::create_symlink(missing, link);
    CliOutcome linked = Talix({"import", link, Sample("2194.xml")});
    EXPECT_EQ(linked.status, 1);
    EXPECT_TRUE(Has(linked.err, "it is a link to a file that does not exist")) << linked.err;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_FALSE(std::filesystem::exists(missing));

    Import(Sample("styledtext.xml"));
    const std::string notes = Talix({"notes", db_}).out;
    const std::string before = Contents();
    CliOutcome existing = Talix({"import", db_, Sample("2194.xml"), Sample("view-all.xml"), text});
    EXPECT_EQ(existing.status, 1);
    EXPECT_EQ(existing.out, "");
    EXPECT_EQ(Talix({"notes", db_}).out, notes);
    EXPECT_TRUE(Contents() == before);
}

} // namespace
