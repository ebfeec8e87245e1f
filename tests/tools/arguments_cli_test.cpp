// The program's arguments as a careless or hostile user gives them: each
// one that cannot be what the command takes is refused with a message and
// the usage exit status, and nothing is done on another name than the one
// given.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_fixture.h"
#include "support/test_support.h"

namespace {

using talix_test::CliOutcome;
using talix_test::Has;

class HostileArguments : public talix_test::CliTest {
protected:
    void SetUp() override { id_ = Import(Sample("2194.xml")); }
    // The item listing of the note, to see that a refused command left it.
    std::string Items() { return Talix({"items", db_, id_}).out; }
    std::string id_;
};

TEST_F(HostileArguments, NamesThatAreNotUtf8AreRefusedAndPathsKeepTheirBytes) {
    const std::string before = Items();
    const std::string bad = "bad\xFF";
    const std::vector<std::vector<std::string>> refused = {
        {"append", db_, id_, bad, "text", "x"},
        {"append", db_, id_, "Body", "text", "x\xC3"},
        {"append", db_, id_, "Body", "text", "x", "--chunk", "Table \xFE"},
        {"text", db_, id_, bad},
        {"value", db_, id_, bad},
        {"records", db_, id_, "$Body", "--", "\x80"},
        {"view", db_, "SELECT Form = \"\xE9\""},
        {"design", db_, "form", "Memo\xC0\xAF"},
        {"create-design", db_, "form", bad},
        {"to-mime", db_, id_, "$Body", "--name", bad},
        {"html", db_, id_, "$Body", "--options", "Title=\xFF"},
    };
    for (const auto& args : refused) {
        CliOutcome run = Talix(args);
        EXPECT_EQ(run.status, 2) << args[0] << ": " << run.err;
        EXPECT_TRUE(Has(run.err, "is not UTF-8")) << run.err;
        EXPECT_TRUE(Has(run.err, "usage: talix " + args[0])) << run.err;
        EXPECT_EQ(run.out, "");
    }
    // The refusal printed the bytes escaped; nothing named "bad?" was made.
    EXPECT_TRUE(Has(Talix({"text", db_, id_, bad}).err, "'bad\\xFF' is not UTF-8"));
    EXPECT_EQ(Items(), before);
    EXPECT_FALSE(Has(Talix({"notes", db_}).out, "bad"));

    // Files keep whatever bytes their names hold: the database, the HTML
    // read, the markup written and an attachment's file.
    const std::string db = dir_.file("d\xFF.nsf");
    ASSERT_EQ(Talix({"import", db, Sample("2194.xml")}).status, 0);
    const std::string html = Write("page\xE9.html", "<p>from a Latin-1 name</p>");
    CliOutcome imported = Talix({"import-html", db, id_, "Page", html});
    EXPECT_EQ(imported.status, 0) << imported.err;
    const std::string out = dir_.file("out\xE9.html");
    CliOutcome rendered = Talix({"html", db, id_, "Page", "--out", out});
    EXPECT_EQ(rendered.status, 0) << rendered.err;
    EXPECT_TRUE(Has(talix_test::ReadFile(out), "from a Latin-1 name"));
    CliOutcome attached = Talix({"append", db, id_, "Page", "attachment", html, "page.html"});
    EXPECT_EQ(attached.status, 0) << attached.err;
    // HTML given inline may be in the set its options name.
    CliOutcome inlined = Talix({"append", db, id_, "Page", "html", "INLINE", "<p>caf\xE9</p>"});
    EXPECT_EQ(inlined.status, 0) << inlined.err;
}

TEST_F(HostileArguments, AppendFindsAChunkNamedOutsideAsciiAsEveryCommandDoes) {
    ASSERT_EQ(Talix({"append", db_, id_, "Memo", "text", "voil\u00E0 caf\u00E9"}).status, 0);
    const std::string chunk = "Paragraph \"voil\u00E0 caf\u00E9\"";
    ASSERT_EQ(Talix({"text", db_, id_, "Memo", chunk}).out, "voil\u00E0 caf\u00E9\n");
    CliOutcome appended = Talix({"append", db_, id_, "Memo", "text", " au lait", "--chunk", chunk});
    EXPECT_EQ(appended.status, 0) << appended.err;
    EXPECT_EQ(Talix({"text", db_, id_, "Memo"}).out, "voil\u00E0 caf\u00E9 au lait\n");
    // A chunk that is not there is named in the message as it was given.
    CliOutcome missing = Talix({"append", db_, id_, "Memo", "text", "x", "--chunk", "Paragraph \"cr\u00E8me\""});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(Has(missing.err, "'Paragraph \"cr\u00E8me\"' matches nothing in 'Memo'")) << missing.err;
}

TEST_F(HostileArguments, TextsPastSixteenBitLengthsAreRefusedNotCut) {
    const std::string text(5000, 'b');
    ASSERT_EQ(Talix({"append", db_, id_, "Memo", "text", text}).status, 0);
    // Cut to 16 bits, 70,000 bytes sought were 4,464: the start of the text
    // was found and replaced.
    const std::string longer(70000, 'b');
    const std::vector<std::vector<std::string>> refused = {
        {"edit", db_, id_, "Memo", "Everything", "replace", longer, "Y"},
        {"edit", db_, id_, "Memo", "Everything", "replace", "b", longer},
        {"edit", db_, id_, "Memo", "Everything", "table", longer},
        {"append", db_, id_, "Memo", "hotspot", "ACTION FORMULA", "\"" + longer + "\""},
        {"append", db_, id_, "Memo", "link", "http://example.com/" + longer},
        {"set-property", db_, id_, "Memo", "Text", longer},
    };
    for (const auto& args : refused) {
        CliOutcome run = Talix(args);
        EXPECT_EQ(run.status, 2) << args[4] << ": " << run.err;
        EXPECT_TRUE(Has(run.err, "at most 65,535 bytes")) << run.err;
    }
    EXPECT_EQ(Talix({"text", db_, id_, "Memo"}).out, text + "\n");
    CliOutcome nothing = Talix({"edit", db_, id_, "Memo", "Everything", "replace", "", "Y"});
    EXPECT_EQ(nothing.status, 2);
    EXPECT_TRUE(Has(nothing.err, "replace needs a text to find")) << nothing.err;
    // At the bound the text is taken whole.
    const std::string most(65535, 'b');
    CliOutcome replaced = Talix({"edit", db_, id_, "Memo", "Everything", "replace", text, "Y"});
    EXPECT_EQ(replaced.status, 0) << replaced.err;
    EXPECT_EQ(Talix({"text", db_, id_, "Memo"}).out, "Y\n");
    EXPECT_EQ(Talix({"edit", db_, id_, "Memo", "Everything", "replace", most, "Z"}).status, 0);
    EXPECT_EQ(Talix({"text", db_, id_, "Memo"}).out, "Y\n");
    // Appended text is one text run: the most it holds is taken, measured
    // as the library stores it (an e with an accent is one byte there), and
    // a byte more is refused with the reason.
    ASSERT_EQ(Talix({"append", db_, id_, "Run", "text", std::string(64374, 'r')}).status, 0);
    ASSERT_EQ(Talix({"append", db_, id_, "Run", "text", std::string(64373, 'r') + "\u00E9"}).status, 0);
    CliOutcome over = Talix({"append", db_, id_, "Run", "text", std::string(64375, 'r')});
    EXPECT_EQ(over.status, 2) << over.err;
    EXPECT_TRUE(Has(over.err, "at most 64,374 bytes, the most one text run holds")) << over.err;
    EXPECT_EQ(Talix({"text", db_, id_, "Run"}).out,
              std::string(64374, 'r') + std::string(64373, 'r') + "\u00E9\n");
    // Set text is one text run too: past it, the same reason rather than
    // the library's refusal of the argument; at it, the text is set.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"edit", db_, id_, "Run", "Everything", "set-text", std::string(65000, 's')},
          std::vector<std::string>{"set-property", db_, id_, "Run", "Text", std::string(65000, 's')}}) {
        CliOutcome refused = Talix(args);
        EXPECT_EQ(refused.status, 2) << args[4] << ": " << refused.err;
        EXPECT_TRUE(Has(refused.err, "at most 64,374 bytes, the most one text run holds")) << refused.err;
    }
    ASSERT_EQ(Talix({"edit", db_, id_, "Run", "Everything", "set-text", std::string(64374, 's')}).status, 0);
    EXPECT_EQ(Talix({"text", db_, id_, "Run"}).out, std::string(64374, 's') + "\n");
    // An anchor's name is one record's: the longest it holds is appended,
    // a longer one refused with the reason and nothing appended.
    ASSERT_EQ(Talix({"append", db_, id_, "Anchors", "anchor", std::string(64370, 'a')}).status, 0);
    for (const std::size_t length : {std::size_t{64371}, std::size_t{70000}}) {
        CliOutcome refused = Talix({"append", db_, id_, "Anchors", "anchor", std::string(length, 'b')});
        EXPECT_EQ(refused.status, 2) << length << ": " << refused.err;
        EXPECT_TRUE(Has(refused.err, "at most 64,370 bytes, the most an anchor record holds")) << refused.err;
    }
    const std::string anchors = Talix({"records", db_, id_, "Anchors"}).out;
    const std::size_t first = anchors.find("CD_ANCHOR");
    EXPECT_NE(first, std::string::npos);
    EXPECT_EQ(anchors.find("CD_ANCHOR", first + 1), std::string::npos);

    // Option texts are measured as the library takes them: 40,000 control
    // characters are 80,000 bytes there.
    const std::string controls(40000, '\x01');
    const std::vector<std::vector<std::string>> options = {
        {"from-mime", db_, id_, "Memo", "--options", controls},
        {"to-html", db_, id_, "Memo", "--options", controls},
        {"from-html", db_, id_, "Page", "Memo", "--prefix", controls},
        {"mime", db_, id_, "Memo", "--html-options", controls},
    };
    for (const auto& args : options) {
        CliOutcome run = Talix(args);
        EXPECT_EQ(run.status, 2) << args[0] << ": " << run.err;
        EXPECT_TRUE(Has(run.err, "longer than 65,535 bytes")) << run.err;
    }
}

TEST_F(HostileArguments, UrlsOutsideAsciiKeepTheirCharacters) {
    const std::string url = "http://example.com/caf\u00E9";
    ASSERT_EQ(Talix({"append", db_, id_, "Link", "link", url}).status, 0);
    // A link without a text of its own shows its URL.
    EXPECT_EQ(Talix({"text", db_, id_, "Link"}).out, url + "\n");
    EXPECT_TRUE(Has(Talix({"html", db_, id_, "Link"}).out, "href=\"" + url + "\"")) << url;
    ASSERT_EQ(Talix({"append", db_, id_, "Linked", "link", url, "Caf\u00E9"}).status, 0);
    EXPECT_TRUE(Has(Talix({"html", db_, id_, "Linked"}).out, "href=\"" + url + "\""));
    ASSERT_EQ(Talix({"append", db_, id_, "Picture", "graphic", "URL", url + ".gif"}).status, 0);
    EXPECT_TRUE(Has(Talix({"html", db_, id_, "Picture"}).out, "src=\"" + url + ".gif\""));
    // A long address is written as it is stored: a link cut short leads
    // elsewhere.
    const std::string longUrl = "http://example.com/?q=" + std::string(10000, 'x') + "&end=1";
    ASSERT_EQ(Talix({"append", db_, id_, "Long", "link", longUrl, "far"}).status, 0);
    EXPECT_TRUE(Has(Talix({"html", db_, id_, "Long"}).out, "href=\"" + longUrl.substr(0, longUrl.size() - 6) + "&amp;end=1\""));
}

TEST_F(HostileArguments, RowNumbersMustNameARowOfTheTable) {
    ASSERT_EQ(Talix({"append", db_, id_, "Grid", "table", "3", "2"}).status, 0);
    const auto rows = [&] { return Talix({"count", db_, id_, "Grid", "Row", "Table 1"}).out; };
    for (const char* bad : {"0", "-1", "", "x", "65536"}) {
        CliOutcome run = Talix({"append", db_, id_, "Grid", "row", bad, "--chunk", "Table 1"});
        EXPECT_EQ(run.status, 2) << bad << ": " << run.err;
        EXPECT_TRUE(Has(run.err, "row number from 1")) << run.err;
    }
    // A row past the table's last appends nothing: refused, not a success.
    CliOutcome past = Talix({"append", db_, id_, "Grid", "row", "4", "--chunk", "Table 1"});
    EXPECT_EQ(past.status, 1);
    EXPECT_TRUE(Has(past.err, "'Table 1' has no row 4: it has 3")) << past.err;
    EXPECT_EQ(rows(), "3\n");
    CliOutcome last = Talix({"append", db_, id_, "Grid", "row", "3", "--chunk", "Table 1"});
    EXPECT_EQ(last.status, 0) << last.err;
    EXPECT_EQ(rows(), "4\n");
}

TEST_F(HostileArguments, ASortColumnMustBeAColumnOfTheTable) {
    ASSERT_EQ(Talix({"append", db_, id_, "Grid", "table", "3", "2"}).status, 0);
    ASSERT_EQ(Talix({"append", db_, id_, "Grid", "text", "b", "--chunk", "Table 1; Row 2; Column 2"}).status, 0);
    ASSERT_EQ(Talix({"append", db_, id_, "Grid", "text", "a", "--chunk", "Table 1; Row 3; Column 2"}).status, 0);
    const auto text = [&] { return Talix({"text", db_, id_, "Grid", "Table 1"}).out; };
    const std::string before = text();
    // A column past the table's last sorts nothing: refused, not a success.
    for (const char* past : {"3", "65535"}) {
        CliOutcome run = Talix({"edit", db_, id_, "Grid", "Table 1", "sort-rows", past});
        EXPECT_EQ(run.status, 1) << past;
        EXPECT_TRUE(Has(run.err, "'Table 1' has no column " + std::string(past) + ": it has 2")) << run.err;
        EXPECT_EQ(text(), before);
    }
    CliOutcome last = Talix({"edit", db_, id_, "Grid", "Table 1", "sort-rows", "2"});
    EXPECT_EQ(last.status, 0) << last.err;
    EXPECT_NE(text(), before);
    // Sorted by tab labels, the rows need no column.
    CliOutcome labels =
        Talix({"edit", db_, id_, "Grid", "Table 1", "sort-rows", "9", "--options", "SortBy=TabLabel"});
    EXPECT_EQ(labels.status, 0) << labels.err;
}

TEST_F(HostileArguments, NumberPropertiesTakeFiniteNumbersOnly) {
    ASSERT_EQ(Talix({"append", db_, id_, "Memo", "text", "x"}).status, 0);
    for (const char* bad : {"nan", "inf", "-inf", "1e999", "1e300", "-1e19", "1x", ""}) {
        CliOutcome run = Talix({"set-property", db_, id_, "Memo", "PassthruHTML", bad});
        EXPECT_EQ(run.status, 2) << bad << ": " << run.err;
        EXPECT_TRUE(Has(run.err, "'PassthruHTML' takes a number, not '" + std::string(bad) + "'")) << run.err;
    }
    // Numbers past the 16 bits the setter stores are refused, not cut.
    for (const char* wide : {"65536", "-32769", "1e10"}) {
        CliOutcome run = Talix({"set-property", db_, id_, "Memo", "CaseSensitive", wide});
        EXPECT_EQ(run.status, 1) << wide << ": " << run.err;
        EXPECT_TRUE(Has(run.err, "Unable to set property 'CaseSensitive': the value must be a whole number from "
                                 "-32768 to 65535"))
            << run.err;
    }
    for (const char* good : {"1", "0"}) {
        CliOutcome run = Talix({"set-property", db_, id_, "Memo", "PassthruHTML", good});
        EXPECT_EQ(run.status, 0) << good << ": " << run.err;
    }
}

TEST_F(HostileArguments, AnEmptyNameForTheMimePartsIsRefused) {
    ASSERT_EQ(Talix({"append", db_, id_, "Memo", "text", "x"}).status, 0);
    const std::string before = Items();
    CliOutcome run = Talix({"to-mime", db_, id_, "Memo", "--name", "", "--options", "Overwrite=Yes"});
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_TRUE(Has(run.err, "--name needs an item name")) << run.err;
    // The rich text is still there, not replaced by MIME parts.
    EXPECT_EQ(Items(), before);
}

} // namespace
