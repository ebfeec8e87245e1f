// talix text and talix count, run as a user runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "support/test_support.h"

namespace {

using talix_test::CliOutcome;

class TextCommand : public talix_test::CliTest {
protected:
    // Imports a sample and returns the id of its note.
    std::string Sample(const char* name) {
        CliOutcome run = Talix({"import", db_, (talix_test::SampleDxlDir() / name).string()});
        EXPECT_EQ(run.status, 0) << run.err;
        return run.out.substr(0, 10);
    }

};

TEST_F(TextCommand, PrintsTheTextOfAChunk) {
    std::string layout = Sample("form-layout.xml");
    CliOutcome all = Talix({"text", db_, layout, "$Body"});
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_NE(all.out.find("I am layout text"), std::string::npos) << all.out;
    EXPECT_EQ(Talix({"text", db_, layout, "$Body", "Everything"}).out, all.out);

    // The first of the four tables of form-testls.xml: two rows of two cells.
    std::string tables = Sample("form-testls.xml");
    EXPECT_EQ(Talix({"text", db_, tables, "$Body", "Table 1"}).out, "Iamananimated table\n");
    EXPECT_EQ(Talix({"text", db_, tables, "$Body", "Table 1; Row 2"}).out, "ananimated table\n");
    EXPECT_EQ(Talix({"text", db_, tables, "$Body", "Table 5"}).out, "\n");

    CliOutcome bad = Talix({"text", db_, tables, "$Body", "Nonsense 1"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("not a chunk definition"), std::string::npos) << bad.err;
    EXPECT_EQ(Talix({"text", db_, tables, "$Missing"}).status, 1);
    EXPECT_EQ(Talix({"text", db_, tables}).status, 2);

    // A damaged item (a text record longer than what is left) is reported,
    // not printed in part.
    std::string file = dir_.file("d.xml");
    std::ofstream(file) << "<note class='document'><item name='Body'>"
                           "<rawitemdata type='1'>gQKF/yAAAQAAAA==</rawitemdata></item></note>";
    std::string damaged = Talix({"import", db_, file}).out.substr(0, 10);
    CliOutcome read = Talix({"text", db_, damaged, "Body"});
    EXPECT_EQ(read.status, 1);
    EXPECT_NE(read.err.find("cannot read the text"), std::string::npos) << read.err;
}

TEST_F(TextCommand, CountsTargetsOfAType) {
    std::string tables = Sample("form-testls.xml");
    CliOutcome count = Talix({"count", db_, tables, "$Body", "Table"});
    ASSERT_EQ(count.status, 0) << count.err;
    EXPECT_EQ(count.out, "4\n");
    EXPECT_EQ(Talix({"count", db_, tables, "$Body", "Row", "Table 1"}).out, "2\n");
    EXPECT_EQ(Talix({"count", db_, tables, "$Body", "Column", "Table 4"}).out, "2\n");
    EXPECT_EQ(Talix({"count", db_, Sample("form-layout.xml"), "$Body", "Table"}).out, "0\n");

    CliOutcome unknown = Talix({"count", db_, tables, "$Body", "Nonsense"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("'Nonsense' cannot be counted"), std::string::npos) << unknown.err;
    EXPECT_EQ(Talix({"count", db_, tables, "$Body", "Row"}).status, 1);   // rows only inside a table
    EXPECT_EQ(Talix({"count", db_, tables, "$Body"}).status, 2);
}

} // namespace
