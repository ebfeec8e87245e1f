// The arguments of talix append that are numbers or lengths: what is
// refused as usage, before anything is stored, and what a taken one builds.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "cli_fixture.h"
#include "support/picture_files.h"
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

// A layer's TOP, LEFT, HEIGHT and WIDTH are lengths of the box model; words,
// signs, exponents, blanks, units the box does not know and numbers past
// any page are refused.
TEST_F(AppendArguments, LayerGeometryIsLengths) {
    const std::vector<std::string> good = {"10px", "0", "1.5in", "50%", "2EM", "3ex", "4ch", "auto", "INHERIT", ".5in"};
    const std::vector<std::string> bad = {"abc",  "-", "+5px", "1e3px", "nan",   "inf",   "1e999", "1000001px",
                                          "10pt", "px",   "5 px", "5;6",   "1..2",  "1.2.3", "autox", "99999999999999999999"};
    for (const std::string& each : bad) {
        ExpectRefused({"layer", each, "0", "10px", "10px"}, each);
        ExpectRefused({"layer", "0", "0", "10px", each}, each);
    }
    // The top and left may place a layer partly off the page; its box has
    // no negative size.
    ExpectRefused({"layer", "-5px", "0", "-10px", "10px"}, "-10px");
    ExpectRefused({"layer", "--5px", "0", "10px", "10px"}, "--5px");
    ASSERT_EQ(Talix({"append", db_, id_, "Off", "layer", "-5px", "-1.5in", "10px", "10px"}).status, 0);
    const std::string off = Talix({"html", db_, id_, "Off"}).out;
    EXPECT_TRUE(Has(off, "top: -5px; left: -1.500000in;")) << off;
    for (const std::string& each : good) {
        const CliOutcome run = Talix({"append", db_, id_, "Layers", "layer", each, each, each, each});
        EXPECT_EQ(run.status, 0) << each << ": " << run.err;
    }
    EXPECT_EQ(Talix({"count", db_, id_, "Layers", "Layer"}).out, std::to_string(good.size()) + "\n");
    // A bare number is pixels for every edge, the top and left as well.
    ASSERT_EQ(Talix({"append", db_, id_, "Bare", "layer", "10", "20", "30", "40.5"}).status, 0);
    const std::string bare = Talix({"html", db_, id_, "Bare"}).out;
    EXPECT_TRUE(Has(bare, "top: 10px; left: 20px;")) << bare;
    EXPECT_TRUE(Has(bare, "width: 40px; height: 30px;")) << bare;
    const CliOutcome largest = Talix({"append", db_, id_, "Large", "layer", "0px", "0px", "1000000px", "1000000in"});
    EXPECT_EQ(largest.status, 0) << largest.err;
    const std::string html = Talix({"html", db_, id_, "Large"}).out;
    EXPECT_TRUE(Has(html, "height: 1000000px")) << html;
    EXPECT_TRUE(Has(html, "width: 1000000.000000in")) << html;
}

// Each --column gives the options of one column of the new table, for its
// first 20 columns: more options than that, or than the table has columns,
// are refused before anything is stored, where they were dropped and their
// texts lost.
TEST_F(AppendArguments, ColumnOptionsOneForEachKeptColumn) {
    auto columns = [](int count) {
        std::vector<std::string> args;
        for (int i = 1; i <= count; ++i) {
            args.push_back("--column");
            args.push_back("Text=c" + std::to_string(i));
        }
        return args;
    };
    auto append = [&](const std::string& rows, const std::string& cols, int options) {
        std::vector<std::string> args = {"append", db_, id_, "Memo", "table", rows, cols};
        const std::vector<std::string> more = columns(options);
        args.insert(args.end(), more.begin(), more.end());
        return Talix(args);
    };
    for (const auto& [cols, options] : std::vector<std::pair<std::string, int>>{{"25", 21}, {"2", 3}, {"64", 64}}) {
        const CliOutcome run = append("1", cols, options);
        EXPECT_EQ(run.status, 2) << cols << " " << options << ": " << run.err;
        EXPECT_TRUE(Has(run.err, "--column")) << run.err;
        EXPECT_EQ(Talix({"records", db_, id_, "Memo"}).out, records_) << cols << " " << options;
    }

    const CliOutcome taken = append("1", "25", 20);
    ASSERT_EQ(taken.status, 0) << taken.err;
    const std::string text = Talix({"text", db_, id_, "Memo", "Table 1"}).out;
    EXPECT_TRUE(Has(text, "c1\n") && Has(text, "c20\n")) << text;
    EXPECT_EQ(Talix({"count", db_, id_, "Memo", "Column", "Table 1"}).out, "25\n");
}

// A column's options are read up to 65,535 bytes: longer ones are refused
// before anything is stored, where their end (the rest of a cell's text)
// was dropped without a word.
TEST_F(AppendArguments, ColumnOptionsLongerThanTheLibraryReadsAreRefused) {
    const std::string longer = "Text=" + std::string(65531, 'x');
    const CliOutcome run = Talix({"append", db_, id_, "Memo", "table", "1", "1", "--column", longer});
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_TRUE(Has(run.err, "--column takes options of at most 65,535 bytes")) << run.err;
    EXPECT_EQ(Talix({"records", db_, id_, "Memo"}).out, records_);

    // The longest options are taken, and their text, more than one text
    // run holds, is stored whole.
    const std::string text = std::string(65530, 'x');
    const CliOutcome taken = Talix({"append", db_, id_, "Memo", "table", "1", "1", "--column", "Text=" + text});
    ASSERT_EQ(taken.status, 0) << taken.err;
    EXPECT_EQ(Talix({"text", db_, id_, "Memo", "Table 1"}).out, text + "\n");
}

// A graphic of kind ATTACHMENT and HTML of kind URL append nothing: they
// are refused as usage, where the command saved the note unchanged (making
// the item when missing) and exited 0 as if it had appended them.
TEST_F(AppendArguments, KindsThatAppendNothingAreRefused) {
    ExpectRefused({"graphic", "ATTACHMENT", "picture.gif"}, "ATTACHMENT");
    ExpectRefused({"graphic", "attachment", "picture.gif"}, "attachment");
    ExpectRefused({"html", "URL", "http://example.org/"}, "URL");
    for (const std::vector<std::string>& appended :
         {std::vector<std::string>{"graphic", "Attachment", "picture.gif"}, {"html", "url", "http://example.org/"}}) {
        std::vector<std::string> args = {"append", db_, id_, "Fresh"};
        args.insert(args.end(), appended.begin(), appended.end());
        EXPECT_EQ(Talix(args).status, 2) << appended[0];
        EXPECT_FALSE(Has(Talix({"items", db_, id_}).out, "Fresh")) << appended[0];
    }
    const CliOutcome inlined = Talix({"append", db_, id_, "Memo", "html", "inline", "<p>kept</p>"});
    EXPECT_EQ(inlined.status, 0) << inlined.err;
    EXPECT_TRUE(Has(Talix({"text", db_, id_, "Memo"}).out, "kept"));
}

// A graphic or HTML of an empty kind is read from a file, as one of kind
// FILE: its path is taken as given (a name beyond ASCII included), not
// turned into the item's character set as a URL is.
TEST_F(AppendArguments, AnEmptyKindReadsTheFileByItsPath) {
    const std::string picture = Write("bild-\xc3\xa9\xf0\x9f\x98\x80.gif", talix_test::GifPicture(3, 2));
    const CliOutcome run = Talix({"append", db_, id_, "Memo", "graphic", "", picture});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Has(Talix({"records", db_, id_, "Memo"}).out, "CD_GRAPHIC"));
    const std::string page = Write("seite-\xc3\xa9.html", "<p>from the file</p>");
    const CliOutcome html = Talix({"append", db_, id_, "Memo", "html", "", page});
    EXPECT_EQ(html.status, 0) << html.err;
    EXPECT_TRUE(Has(Talix({"text", db_, id_, "Memo"}).out, "from the file"));
}

// The chunk or item an append copies is looked for as every command's:
// what is wrong with it is told, and nothing is appended.
TEST_F(AppendArguments, TheSourceIsToldWhenItCannotBeCopied) {
    const struct {
        std::vector<std::string> source;
        std::string told;
    } cases[] = {{{"Memo", "Table 9"}, "'Table 9' matches nothing in 'Memo'"},
                 {{"Memo", "Tabel 1"}, "no element type is named in 'Tabel 1'"},
                 {{"Missing", "Text 1"}, "has no item 'Missing'"}};
    for (const auto& each : cases) {
        const CliOutcome run =
            Talix({"append", db_, id_, "Copy", "chunk", id_, each.source[0], each.source[1]});
        EXPECT_EQ(run.status, 1) << each.told << ": " << run.err;
        EXPECT_TRUE(Has(run.err, each.told)) << run.err;
        EXPECT_FALSE(Has(Talix({"items", db_, id_}).out, "Copy")) << each.told;
    }
    // An item copied whole is named when the note lacks it.
    const CliOutcome noItem = Talix({"append", db_, id_, "Copy", "item", id_, "Missing"});
    EXPECT_EQ(noItem.status, 1) << noItem.err;
    EXPECT_TRUE(Has(noItem.err, "has no item 'Missing'")) << noItem.err;
    EXPECT_FALSE(Has(Talix({"items", db_, id_}).out, "Copy"));
    const CliOutcome copied = Talix({"append", db_, id_, "Copy", "chunk", id_, "Memo", "Text 1"});
    EXPECT_EQ(copied.status, 0) << copied.err;
    EXPECT_EQ(Talix({"text", db_, id_, "Copy"}).out, Talix({"text", db_, id_, "Memo", "Text 1"}).out);
}

} // namespace
