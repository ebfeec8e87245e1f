// talix formula, run as a user runs it on a note imported from DXL.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "support/test_support.h"

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
    EXPECT_NE(run.err.find("@Talix: Function 'Foo' not recognized."), std::string::npos) << run.err;
    run = Talix({"formula", db_, note_, "@DbCommand(\"../x\"; \"Foo\")"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no database driver named '../x'"), std::string::npos) << run.err;
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
