// talix formula, run as a user runs it on a note imported from DXL.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "support/record_fixture.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace {

using talix_test::CliOutcome;

class FormulaCommand : public talix_test::CliTest {
protected:
    void SetUp() override {
        std::string dxl = "<note class='document'><item name='Form'><text>Memo</text></item>"
                          "<item name='Tags'><textlist><text>a</text><text>b</text></textlist></item>"
                          "<item name='Count'><number>4</number></item></note>";
        std::string file = dir_.file("note.xml");
        std::FILE* out = std::fopen(file.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        std::fwrite(dxl.data(), 1, dxl.size(), out);
        std::fclose(out);
        CliOutcome run = Talix({"import", db_, file});
        ASSERT_EQ(run.status, 0) << run.err;
        note_ = run.out.substr(0, run.out.find('\t'));
    }

    std::string note_;
};

TEST_F(FormulaCommand, PrintsTheTypeThenOneValuePerLine) {
    CliOutcome run = Talix({"formula", db_, note_, "Tags + \"ü\""});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "text list\naü\nbü\n");
    run = Talix({"formula", db_, note_, "Count * (1 : 2.5)"});
    EXPECT_EQ(run.out, "number list\n4\n10\n");
    run = Talix({"formula", db_, note_, "SELECT Form = \"Memo\""});
    EXPECT_EQ(run.out, "number\n1\n");
    run = Talix({"formula", db_, note_, "\"two\" + @NewLine + \"lines\""});
    EXPECT_EQ(run.out, "text\ntwo\\nlines\n");
}

TEST_F(FormulaCommand, ReachesTheFormulaDriverByItsClassName) {
    // Nothing is set up: no environment, no notes.ini, no registration.
    emptyEnvironment_ = true;
    std::string call = "@DbCommand(\"Talix\":\"\"; \"ItemNOOP\"; \"\"; \"N" + note_.substr(2) + "\"; \"Body\")";
    CliOutcome run = Talix({"formula", db_, note_, call});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "number\n0\n");
    run = Talix({"--verbose", "formula", db_, note_, call});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("/libtalix.so loaded"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Database driver Talix loaded from program library libtalix.so"), std::string::npos);
    EXPECT_NE(run.err.find("AtTalix #23"), std::string::npos);

    run = Talix({"formula", db_, note_, "@DbCommand(\"Talix\"; \"Foo\")"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("talix: Function 'Foo' not recognized."), std::string::npos) << run.err;
    run = Talix({"formula", db_, note_, "@DbCommand(\"../x\"; \"Foo\")"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no database driver named '../x'"), std::string::npos) << run.err;
}

TEST_F(FormulaCommand, LooksValuesUpInATableOfTheBody) {
    // A note whose "Body" holds a table of the rows (a, 1), (b, 2), (c, 3).
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    ASSERT_EQ(plat::DbOpen(db_.c_str(), &db), plat::NOERROR);
    ASSERT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
    std::vector<talix_test::FixtureRecord> records = {talix_test::HostRecord(0x00A3, 14)};
    const char* cells[3][2] = {{"a", "1"}, {"b", "2"}, {"c", "3"}};
    for (std::uint8_t row = 0; row < 3; ++row) {
        for (std::uint8_t column = 0; column < 2; ++column) {
            talix_test::FixtureRecord cell = talix_test::HostRecord(0x00A4, 18);
            cell.bytes[2] = row;
            cell.bytes[3] = column;
            records.push_back(cell);
            records.push_back(talix_test::TextRecord(0x0A000001, cells[row][column]));
        }
    }
    records.push_back(talix_test::HostRecord(0x00A5, 8));
    ASSERT_EQ(talix_test::StoreRichTextItem(note, "Body", records), plat::NOERROR);
    ASSERT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
    plat::NOTEID id = 0;
    plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id);
    plat::NoteClose(note);
    plat::DbClose(db);
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(id));
    const std::string address = "\"Talix\":\"\"; \"\"; \"N" + std::string(hex) + "\"; \"Body\"";

    CliOutcome run = Talix({"formula", db_, note_, "@DbColumn(" + address + "; 2)"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "text list\n1\n2\n3\n");
    run = Talix({"formula", db_, note_, "@DbLookup(" + address + "; \"b\"; 2)"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "text\n2\n");
    run = Talix({"formula", db_, note_, "@DbLookup(" + address + "; \"b\"; 2; \"Format=Number\")"});
    EXPECT_EQ(run.out, "number\n2\n");
    // A chunk that names no table, with the error asked for.
    run = Talix({"formula", db_, note_,
                 "@DbColumn(\"Talix\":\"\"; \"\"; \"N" + std::string(hex) + "\"; \"Body\":\"Table 9\"; 2; \"RaiseError=yes\")"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Item not found"), std::string::npos) << run.err;
}

TEST_F(FormulaCommand, ReportsFailuresAndBadUsage) {
    CliOutcome run = Talix({"formula", db_, note_, "Count + (1"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("offset 10"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    run = Talix({"formula", db_, note_, "@Prompt([Ok]; \"a\"; \"b\")"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("@Prompt"), std::string::npos) << run.err;
    run = Talix({"formula", db_, note_});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("usage: talix formula"), std::string::npos) << run.err;
}

} // namespace
