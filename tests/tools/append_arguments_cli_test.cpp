// The arguments of talix append that are numbers: what is refused as
// usage, before anything is stored, and what a taken one builds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_fixture.h"
#include "support/test_support.h"

namespace {

using talix_test::CliOutcome;
using talix_test::Has;

class AppendArguments : public talix_test::CliTest {
protected:
    void SetUp() override {
        id_ = Import(Sample("2194.xml"));
        ASSERT_EQ(Talix({"append", db_, id_, "Memo", "text", "start"}).status, 0);
        records_ = Talix({"records", db_, id_, "Memo"}).out;
    }
    // The append is refused as usage, with a message naming the argument,
    // and the item is as it was.
    void ExpectRefused(const std::vector<std::string>& appended, const std::string& named) {
        std::vector<std::string> args = {"append", db_, id_, "Memo"};
        args.insert(args.end(), appended.begin(), appended.end());
        const CliOutcome run = Talix(args);
        EXPECT_EQ(run.status, 2) << appended[0] << " " << named << ": " << run.err;
        EXPECT_TRUE(Has(run.err, "'" + named + "'")) << run.err;
        EXPECT_EQ(Talix({"records", db_, id_, "Memo"}).out, records_) << appended[0] << " " << named;
    }
    std::string id_;
    std::string records_;
};

// Counts are decimal digits alone, as --index and --part are: a sign, a
// blank or a trailing character is refused, not read past.
TEST_F(AppendArguments, CountsAreDigitsAlone) {
    for (const std::string bad : {"+2", " 2", "2 ", "-0", "2x", "0x2", "", "65536", "99999999999999999999"}) {
        ExpectRefused({"newlines", bad}, bad);
        ExpectRefused({"tabs", bad}, bad);
        ExpectRefused({"table", "2", bad}, bad);
        ExpectRefused({"table", bad, "2"}, bad);
    }
    const CliOutcome query = Talix({"query", db_, id_, "Memo", "Everything", "named", "+1", "Table"});
    EXPECT_EQ(query.status, 2) << query.err;

    ASSERT_EQ(Talix({"append", db_, id_, "Memo", "table", "02", "3"}).status, 0);
    EXPECT_EQ(Talix({"count", db_, id_, "Memo", "Row", "Table 1"}).out, "2\n");
    ASSERT_EQ(Talix({"append", db_, id_, "Memo", "tabs", "0003"}).status, 0);
    EXPECT_TRUE(Has(Talix({"text", db_, id_, "Memo"}).out, "\t\t\t")) << Talix({"text", db_, id_, "Memo"}).out;
}

} // namespace
