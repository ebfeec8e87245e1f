// talix match and talix wiki, run as a user runs them against a key database
// imported from DXL.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_fixture.h"
#include "support/test_support.h"

namespace {

using talix_test::CliOutcome;

class MatchingCommands : public talix_test::CliTest {
protected:
    static std::string Text(const char* name, const std::string& value) {
        return std::string("<item name='") + name + "'><text>" + value + "</text></item>";
    }
    static std::string View(const char* title, const char* column) {
        return "<note class='view'>" + Text("$TITLE", title) +
               "<item name='$ViewColumns'><textlist><text>" + column + "</text></textlist></item>"
               "<item name='$ViewColumnFlags'><textlist><text>sorted</text></textlist></item></note>";
    }

    // A key database (view "Terms" by Term, view "Pages" by Subject) and a
    // note of db_ whose "Memo" holds the text.
    std::string Prepare(const std::string& text) {
        std::string dxl = "<database>";
        for (const char* term : {"alpha", "beta`gamma", "de"})
            dxl += "<note class='document'>" + Text("Term", term) + "</note>";
        dxl += "<note class='document'>" + Text("Subject", "Home") + "</note>";
        dxl += View("Terms", "Term") + View("Pages", "Subject") + "</database>";
        const CliOutcome keys = Talix({"import", keys_, Write("keys.xml", dxl)});
        EXPECT_EQ(keys.status, 0) << keys.err;
        const std::string id = Import(Sample("2194.xml"));
        EXPECT_EQ(Talix({"append", db_, id, "Memo", "text", text}).status, 0);
        return id;
    }

    // A key database whose view "Terms" gives the keys, and a note of db_
    // whose "Memo" holds the text.
    std::string PrepareKeys(const std::vector<std::string>& terms, const std::string& text) {
        std::string dxl = "<database>";
        for (const std::string& term : terms) dxl += "<note class='document'>" + Text("Term", term) + "</note>";
        dxl += View("Terms", "Term") + "</database>";
        const CliOutcome keys = Talix({"import", keys_, Write("keys.xml", dxl)});
        EXPECT_EQ(keys.status, 0) << keys.err;
        const std::string id = Import(Sample("2194.xml"));
        EXPECT_EQ(Talix({"append", db_, id, "Memo", "text", text}).status, 0);
        return id;
    }

    std::string keys_ = dir_.file("keys.nsf");
};

TEST_F(MatchingCommands, KeywordsLinksAndWikiTexts) {
    const std::string id = Prepare("alpha gamma de ((Home)) ((New))");
    CliOutcome keywords = Talix({"match", db_, id, "Memo", "keyword", keys_, "Terms", "Term"});
    ASSERT_EQ(keywords.status, 0) << keywords.err;
    EXPECT_EQ(keywords.out, "alpha,gamma\n");
    EXPECT_EQ(Talix({"match", db_, id, "Memo", "keyword", keys_, "Terms", "Term", "--options", "Separator=;"}).out,
              "alpha;gamma\n");
    EXPECT_EQ(Talix({"count", db_, id, "Memo", "Hotspot"}).out, "0\n");

    CliOutcome linked = Talix({"match", db_, id, "Memo", "link", keys_, "Terms", "Term"});
    ASSERT_EQ(linked.status, 0) << linked.err;
    EXPECT_EQ(Talix({"count", db_, id, "Memo", "Hotspot"}).out, "2\n");
    CliOutcome appended = Talix({"match", db_, id, "Memo", "append", keys_, "Terms", "Term", "--result", "\"!\"",
                                 "--options", "MinLength=2"});
    ASSERT_EQ(appended.status, 0) << appended.err;
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, "alpha gamma de! ((Home)) ((New))\n");

    CliOutcome wiki = Talix({"wiki", db_, id, "Memo", keys_, "Pages"});
    ASSERT_EQ(wiki.status, 0) << wiki.err;
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, "alpha gamma de! Home New\n");
    EXPECT_EQ(Talix({"count", db_, id, "Memo", "Hotspot"}).out, "4\n");
    CliOutcome back = Talix({"wiki", db_, id, "Memo", keys_, "Pages", "--options", "ResolveTags=No"});
    ASSERT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, "alpha gamma de! ((Home)) ((New))\n");
}

TEST_F(MatchingCommands, WikiAddressesComeBackAsTheirTexts) {
    const std::string source = "mail ((mailto:a@b.org|write)) web ((http://x.org/)) search ((google:two words))";
    const std::string id = Prepare(source);
    CliOutcome resolved = Talix({"wiki", db_, id, "Memo", keys_, "Pages"});
    ASSERT_EQ(resolved.status, 0) << resolved.err;
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, "mail write web http://x.org/ search google:two words\n");
    EXPECT_EQ(Talix({"count", db_, id, "Memo", "HyperLink"}).out, "3\n");
    // Every address link, a mail address's too, gives its text back.
    CliOutcome back = Talix({"wiki", db_, id, "Memo", keys_, "Pages", "--options", "ResolveTags=No"});
    ASSERT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, source + "\n");
    EXPECT_EQ(Talix({"count", db_, id, "Memo", "HyperLink"}).out, "0\n");
}

TEST_F(MatchingCommands, AWikiTextOfAnOverlongTitleStaysTextAndTheOthersResolve) {
    const std::string longText = "((" + std::string(300, 'p') + "))";
    const std::string id = Prepare("long " + longText + " home ((Home))");
    CliOutcome wiki = Talix({"wiki", db_, id, "Memo", keys_, "Pages"});
    ASSERT_EQ(wiki.status, 0) << wiki.err;
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, "long " + longText + " home Home\n");
    EXPECT_EQ(Talix({"count", db_, id, "Memo", "HyperLink"}).out, "1\n");
}

TEST_F(MatchingCommands, ALinkOfALongWikiTextComesBackWhole) {
    // A long anchor, and a label longer than a wiki text read for a page
    // to compose: the link shows the whole label.
    const std::string label(1100, 'b');
    const std::string source = "see ((Home#" + std::string(400, 'a') + "|there)) and ((Home)) or ((Home|" + label + "))";
    const std::string id = Prepare(source);
    ASSERT_EQ(Talix({"wiki", db_, id, "Memo", keys_, "Pages"}).status, 0);
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, "see there and Home or " + label + "\n");
    EXPECT_EQ(Talix({"count", db_, id, "Memo", "HyperLink"}).out, "3\n");
    CliOutcome back = Talix({"wiki", db_, id, "Memo", keys_, "Pages", "--options", "ResolveTags=No"});
    ASSERT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, source + "\n");
    EXPECT_EQ(Talix({"count", db_, id, "Memo", "HyperLink"}).out, "0\n");
}

TEST_F(MatchingCommands, AWikiTextWithAnEmptyLabelShowsItsPage) {
    const std::string id = Prepare("new ((Nope|)) part ((Later#Part|)) home ((Home|))");
    ASSERT_EQ(Talix({"wiki", db_, id, "Memo", keys_, "Pages"}).status, 0);
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, "new Nope part Later home Home\n");
    // Turned back, no label is made up for them.
    ASSERT_EQ(Talix({"wiki", db_, id, "Memo", keys_, "Pages", "--options", "ResolveTags=No"}).status, 0);
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, "new ((Nope)) part ((Later#Part)) home ((Home))\n");
}

TEST_F(MatchingCommands, KeysFromASelectionFormulaAsFromAView) {
    const std::string id = Prepare("alpha and beta");
    // Link mode needs a view for its document links: the key database's
    // default view stands in for a formula.
    CliOutcome linked = Talix({"match", db_, id, "Memo", "link", keys_, "SELECT Term = \"alpha\"", "Term"});
    ASSERT_EQ(linked.status, 0) << linked.err;
    EXPECT_EQ(Talix({"count", db_, id, "Memo", "Hotspot"}).out, "1\n");
    CliOutcome keywords = Talix({"match", db_, id, "Memo", "keyword", keys_, "SELECT @All", "Term"});
    ASSERT_EQ(keywords.status, 0) << keywords.err;
    EXPECT_EQ(keywords.out, "beta\n");
    // The view command lists what the formula selects.
    EXPECT_EQ(Talix({"view", keys_, "SELECT Term = \"alpha\""}).lines().size(), 1u);
}

// A result formula that writes to the note being matched, through the
// formula driver: what it writes to other items lands beside the match's
// changes; what it writes to the matched item is not overwritten by them.
TEST_F(MatchingCommands, WritesOfAResultFormulaToTheNoteStand) {
    const std::string id = Prepare("alpha and de");
    const std::string driverNote = "N" + id.substr(2);
    auto writing = [&](const std::string& item, const std::string& text, const std::string& added) {
        return "@DbCommand(\"Talix\"; \"Text\"; \"" + db_ + "\"; \"" + driverNote + "\"; \"" + item + "\"; \"" +
               text + "\") + \"" + added + "\"";
    };
    CliOutcome beside = Talix({"match", db_, id, "Memo", "append", keys_, "Terms", "Term", "--result",
                               writing("Log", "logged", "!")});
    ASSERT_EQ(beside.status, 0) << beside.err;
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, "alpha! and de\n");
    EXPECT_EQ(Talix({"text", db_, id, "Log"}).out, "logged\n");

    CliOutcome same = Talix({"match", db_, id, "Memo", "append", keys_, "Terms", "Term", "--result",
                             writing("Memo", "rewritten", "?")});
    EXPECT_EQ(same.status, 1);
    EXPECT_TRUE(talix_test::Has(same.err, "'Memo'")) << same.err;
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, "rewritten\n");
    EXPECT_EQ(Talix({"text", db_, id, "Log"}).out, "logged\n");
}

TEST_F(MatchingCommands, RefusalsAndUsageErrors) {
    const std::string id = Prepare("alpha");
    EXPECT_EQ(Talix({"match", db_, id, "Memo", "shout", keys_, "Terms", "Term"}).status, 2);
    EXPECT_EQ(Talix({"wiki", db_, id, "Memo", keys_}).status, 2);
    CliOutcome missingView = Talix({"match", db_, id, "Memo", "link", keys_, "Nowhere", "Term"});
    EXPECT_EQ(missingView.status, 1);
    EXPECT_NE(missingView.err.find("View 'Nowhere' not found"), std::string::npos) << missingView.err;
    EXPECT_EQ(Talix({"wiki", db_, id, "Memo", keys_, "Pages", "--server", "Far/Away"}).status, 1);
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, "alpha\n");
    // The library's messages name what it holds in its character set: they
    // are shown in UTF-8.
    CliOutcome accented = Talix({"match", db_, id, "Memo", "link", keys_, "Caf\u00e9 \u65e5\u672c", "Term"});
    EXPECT_EQ(accented.status, 1);
    EXPECT_TRUE(talix_test::Has(accented.err, "View 'Caf\u00e9 \u65e5\u672c' not found")) << accented.err;
}

// Where a key stands is judged in the text as written: the pieces left
// between the keys a run has replaced are not searched again as if they
// were words of their own.
TEST_F(MatchingCommands, KeysStandWhereTheTextAsWrittenPlacesThem) {
    const std::string text = "happyhappy unhappyhappy asp.net";
    const std::vector<std::string> terms = {"happy", "asp", ".net"};
    struct Case {
        const char* options;
        const char* expected;
    };
    for (const Case& c : {Case{"MatchText=Starts", "<happy>happy unhappyhappy <asp>.net\n"},
                          Case{"MatchText=Ends", "happy<happy> unhappy<happy> <asp><.net>\n"},
                          Case{"MinLength=3", "happyhappy unhappyhappy <asp>.net\n"}}) {
        SCOPED_TRACE(c.options);
        const talix_test::TempDir scratch;
        keys_ = scratch.file("keys.nsf");
        db_ = scratch.file("t.nsf");
        const std::string id = PrepareKeys(terms, text);
        CliOutcome replaced = Talix({"match", db_, id, "Memo", "replace", keys_, "Terms", "Term", "--result",
                                     "\"<\" + Term + \">\"", "--options", c.options});
        ASSERT_EQ(replaced.status, 0) << replaced.err;
        EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, c.expected);
    }
}

// A result that names an item the key's document lacks brings in nothing:
// replacing keeps the key in place of the word, appending and inserting
// keep the word as it was.
TEST_F(MatchingCommands, AResultItemTheKeysDocumentLacksLosesNoWord) {
    struct Case {
        const char* mode;
        const char* expected;
    };
    for (const Case& c : {Case{"replace", "alpha and gamma\n"}, Case{"append", "Alpha and gamma\n"},
                          Case{"insert", "Alpha and gamma\n"}}) {
        SCOPED_TRACE(c.mode);
        const talix_test::TempDir scratch;
        keys_ = scratch.file("keys.nsf");
        db_ = scratch.file("t.nsf");
        const std::string id = PrepareKeys({"alpha", "gamma"}, "Alpha and gamma");
        CliOutcome matched = Talix({"match", db_, id, "Memo", c.mode, keys_, "Terms", "Term", "--result", "NoSuchItem"});
        ASSERT_EQ(matched.status, 0) << matched.err;
        EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, c.expected);
    }
}

// Text that stands inside a hotspot of any kind is left alone by every mode,
// as the keyword mode leaves it: a link is never written inside an action
// hotspot, which would cut the action's text in two.
TEST_F(MatchingCommands, TextInsideAnActionHotspotIsNotMatched) {
    const std::string id = PrepareKeys({"alpha", "gamma"}, "alpha ");
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "hotspot", "ACTION FORMULA", "@Beep", "gamma action"}).status, 0);
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "text", " and gamma"}).status, 0);
    EXPECT_EQ(Talix({"match", db_, id, "Memo", "keyword", keys_, "Terms", "Term", "--options", "SingleMatch=No"}).out,
              "alpha,gamma\n");
    CliOutcome linked = Talix({"match", db_, id, "Memo", "link", keys_, "Terms", "Term"});
    ASSERT_EQ(linked.status, 0) << linked.err;
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, "alpha gamma action and gamma\n");
    const std::vector<std::string> records = Talix({"records", db_, id, "Memo"}).lines();
    int links = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (talix_test::Has(records[i], "type=11")) ++links;
        if (talix_test::Has(records[i], "type=2") && !talix_test::Has(records[i], "type=22")) {
            ASSERT_LT(i + 1, records.size());
            EXPECT_TRUE(talix_test::Has(records[i + 1], "text=gamma action")) << records[i + 1];
        }
    }
    EXPECT_EQ(links, 2);
}

} // namespace

// A tag holding a quote: the compose hotspot of a page not found keeps its
// class whole, so that the next call turns it back into its wiki text.
TEST_F(MatchingCommands, AWikiTextOfATagWithAQuoteComesBack) {
    const std::string source = "((it's:Nope)) and ((it's:Home))";
    const std::string id = Prepare(source);
    CliOutcome resolved = Talix({"wiki", db_, id, "Memo", keys_, "Pages", "--options", "Tag=it's"});
    ASSERT_EQ(resolved.status, 0) << resolved.err;
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, "Nope and Home\n");
    CliOutcome again = Talix({"wiki", db_, id, "Memo", keys_, "Pages", "--options", "Tag=it's"});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, "Nope and Home\n");
    EXPECT_EQ(Talix({"count", db_, id, "Memo", "Hotspot"}).out, "2\n");
    CliOutcome back = Talix({"wiki", db_, id, "Memo", keys_, "Pages", "--options", "Tag=it's ResolveTags=No"});
    ASSERT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, source + "\n");
    EXPECT_EQ(Talix({"count", db_, id, "Memo", "Hotspot"}).out, "0\n");
}
