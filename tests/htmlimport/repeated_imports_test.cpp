// Imports one after the other in one process: the record lists and the
// document tree of each import are made in memory the imports before it
// left behind, and none of it shows in what an import writes. The same HTML
// gives the same records whether it comes first, after other imports, or
// after an import that failed, and a failed import saves nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/address_sanitizer.h"
#include "core/kept_blocks.h"
#include "core/signatures.h"
#include "htmlimport/walk_fixture.h"

namespace {

using import_test::Imported;
using import_test::ItemRecord;
using import_test::WalkTest;

// A page of many kinds of content, large enough that its record lists and
// its tree take several blocks of every size: paragraphs in fonts and
// colours, lists, tables with spans and borders, rules, links, styles.
std::string BigPage(int rounds, const std::string& word) {
    std::string body = "<style>p.k{color:#336699;font-size:14pt} td{border:1px solid red}</style>";
    for (int i = 0; i < rounds; ++i) {
        const std::string n = std::to_string(i);
        body += "<p class=k>" + word + " " + n + " <b>bold " + n + "</b> <i>it</i> <font face=Arial size=4>" +
                "face</font> <span style='color:green;text-decoration:underline'>span</span></p>";
        body += "<ul><li>one " + n + "<li>two<ol><li>inner " + n + "</ol></ul>";
        body += "<table border=1><tr><td colspan=2 style='background:#eee'>" + word + n +
                "</td></tr><tr><td>a</td><td valign=top>b<br>c</td></tr></table>";
        body += "<h2>heading " + n + "</h2><hr><a href='http://example.com/" + n + "'>link</a> &amp; &eacute;";
    }
    return "<html><head><title>t</title></head><body>" + body + "</body></html>";
}

bool SameRecords(const std::vector<ItemRecord>& a, const std::vector<ItemRecord>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].signature != b[i].signature || a[i].bytes != b[i].bytes) return false;
    return true;
}

TEST_F(WalkTest, ImportsInARowGiveTheRecordsOfAFirstImport) {
    const std::string page = BigPage(400, "alpha");
    const Imported first = Import(page);
    ASSERT_EQ(first.status, 0);
    ASSERT_EQ(first.problem, "");
    ASSERT_GT(first.records.size(), 4000u);

    // Other imports in between leave their bytes in the memory the next
    // imports are made in.
    const Imported other = Import(BigPage(600, "omega"));
    ASSERT_EQ(other.status, 0);
    EXPECT_FALSE(SameRecords(first.records, other.records));
#if !defined(TALIX_ADDRESS_SANITIZER)
    EXPECT_GT(talix::KeptBlockBytes(), 0u) << "the blocks of finished imports are kept for the next";
#endif

    const Imported again = Import(page);
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.problem, "");
    EXPECT_TRUE(SameRecords(first.records, again.records));

    // A small import after large ones, and the large one after it.
    const Imported small = Import("<p>one <b>two</b></p><table><tr><td>x</td></tr></table>");
    EXPECT_EQ(small.status, 0);
    EXPECT_EQ(small.Texts(), "one |two|x");
    EXPECT_TRUE(SameRecords(first.records, Import(page).records));
}

TEST_F(WalkTest, AFailedImportBetweenOthersSavesNothingAndChangesNoneAfterIt) {
    const std::string page = BigPage(300, "beta");
    const Imported first = Import(page);
    ASSERT_EQ(first.status, 0);

    // Nested past the import's bound: refused, the note's body stays blank.
    std::string deep;
    for (int i = 0; i < 2000; ++i) deep += "<div>";
    deep += "text";
    const Imported refused = Import("<html><body>" + deep + "</body></html>");
    EXPECT_EQ(refused.status, 14410);
    EXPECT_TRUE(refused.records.empty());

    // Failed after the whole of a large page was parsed: a comment left
    // open near its end. Nothing written.
    std::string broken = BigPage(200, "gamma");
    broken.insert(broken.rfind("</body>"), "<p>a<!-- b</p>");
    const Imported failed = Import(broken);
    EXPECT_EQ(failed.status, 257);
    EXPECT_EQ(failed.errorWord, 20014);
    EXPECT_TRUE(failed.records.empty());

    const Imported after = Import(page);
    EXPECT_EQ(after.status, 0);
    EXPECT_EQ(after.problem, "");
    EXPECT_TRUE(SameRecords(first.records, after.records));
}

TEST_F(WalkTest, TextsPastTheLargestKeptBlockComeBackWhole) {
    // Over a megabyte of text: the document's text buffer outgrows the
    // largest block size kept and is given back to the heap.
    std::string body;
    std::string words;
    for (int i = 0; i < 300; ++i) {
        std::string paragraph;
        while (paragraph.size() < 4000) paragraph += "word" + std::to_string(i) + " ";
        body += "<p>" + paragraph + "</p>";
        words += paragraph;
    }
    const std::string page = "<html><body>" + body + "</body></html>";
    const Imported first = Import(page);
    ASSERT_EQ(first.status, 0);
    std::string read;
    for (const ItemRecord& record : first.records)
        if (record.signature == talix::kSigText && record.bytes.size() > 8) read += record.Text();
    std::string wanted;
    for (const char c : words)
        if (c != ' ') wanted += c;
    std::string got;
    for (const char c : read)
        if (c != ' ') got += c;
    EXPECT_GT(wanted.size(), 1000000u);
    EXPECT_EQ(got, wanted);
    EXPECT_TRUE(SameRecords(first.records, Import(page).records));
}

} // namespace
