// The walk's frame: results and statuses, the walk's options and traces,
// what the walk leaves out, and documents that nest deep or hold large
// texts.
#include <algorithm>
#include <string>

#include "core/record_io.h"
#include "core/signatures.h"
#include "htmlimport/import_sink.h"
#include "import_fixture.h"
#include "talix_platform.h"
#include "walk_fixture.h"

namespace {

using import_test::Imported;
using import_test::WalkTest;

bool Logged(const std::string& line) {
    for (const plat::LogEntry& entry : plat::LogRecent())
        if (entry.text.find(line) != std::string::npos) return true;
    return false;
}

// The left margin (twips) of the first paragraph definition of an import.
int FirstLeftMargin(const Imported& imported) {
    for (const auto& record : imported.records)
        if (record.signature == talix::kSigPabDefinition) return record.Word(14);
    return -1;
}

TEST_F(WalkTest, ResultsOfTheWalk) {
    // Nothing to convert: nothing written, and 0.
    for (const char* empty : {" ", "<html></html>", "<!-- only a comment -->"}) {
        const Imported nothing = Import(empty);
        EXPECT_EQ(nothing.status, 0) << empty;
        EXPECT_EQ(nothing.Texts(), "") << empty;
    }
    // A parse error: nothing written, 257 with the error word 20014.
    const Imported broken = Import("<p>a<!-- b</p>");
    EXPECT_EQ(broken.status, 257);
    EXPECT_EQ(broken.errorWord, 20014);
    EXPECT_EQ(broken.records.size(), 0u);
    // Warnings alone import.
    const Imported warned = Import("<p>x<b>y</p>");
    EXPECT_EQ(warned.status, 0);
    EXPECT_EQ(warned.Texts(), "x|y");
    // Comments and script write nothing; style text is CSS.
    const Imported hidden = Import(
        "<p>a<!-- hidden --></p><script>var hidden = 1;</script>"
        "<style type=\"text/css\">p { color: red }</style><p>b</p>");
    EXPECT_EQ(hidden.Texts(), "a|b");
    EXPECT_NE(hidden.Layout().find("B 'b' C1 E"), std::string::npos) << hidden.Layout();
    // A style element is CSS whatever attribute comes first; its rules
    // apply and its text is never content. One of another type is content.
    const Imported later = Import(
        "<body><style media=\"all\" type=\"text/css\">p { color: red }</style><p>b</p>"
        "<style media=\"screen\">q { }</style><p>c</p></body>");
    EXPECT_EQ(later.Texts(), "b|c");
    EXPECT_NE(later.Layout().find("B 'b' C1 E"), std::string::npos) << later.Layout();
    EXPECT_EQ(Import("<body><style media=\"all\" type=\"text/plain\">q</style></body>").Texts(), "q");
}

TEST_F(WalkTest, TextAfterAStyleElementIsContent) {
    // The CSS ends with its element: text after it in the same parent is
    // imported, and the rules still apply to what follows.
    const Imported after = Import("<div><style>p{color:red}</style>after</div>");
    EXPECT_EQ(after.status, 0);
    EXPECT_EQ(after.Texts(), "after");
    const Imported styled = Import(
        "<div><style type=\"text/css\">p { color: red }</style>after<p>b</p></div>");
    EXPECT_EQ(styled.Texts(), "after|b");
    EXPECT_NE(styled.Layout().find("B 'b' C1 E"), std::string::npos) << styled.Layout();
    // Last in the body, before the body's own closing text; two in a row.
    EXPECT_EQ(Import("<body>a<style>p{}</style>b<style>q{}</style>c</body>").Texts(), "a|b|c");
    // Script and comments stay out; the text around them is kept.
    EXPECT_EQ(Import("<div><script>var x = 1;</script>after<!-- c -->end</div>").Texts(), "after|end");
}

TEST_F(WalkTest, LengthOptionsOfTheWalk) {
    // 96 pixels of margin: one inch more than the page margin at 15 twips
    // a pixel.
    const char* html = "<p style=\"margin-left:96px\">w</p>";
    EXPECT_EQ(FirstLeftMargin(Import(html)), 2880);
    EXPECT_EQ(FirstLeftMargin(Import(html, "PixelMultiplier=0.5")), 2880);
    EXPECT_EQ(FirstLeftMargin(Import(html, "PixelMultiplier=30")), 4320);
    EXPECT_EQ(FirstLeftMargin(Import(html, "PixelMultiplier=99")), 1440 + 96 * 99);
    const char* ems = "<p style=\"margin-left:2em\">w</p>";
    EXPECT_EQ(FirstLeftMargin(Import(ems, "EMMultiplier=abc")), 1440 + 432);
    EXPECT_EQ(FirstLeftMargin(Import(ems, "EMMultiplier=1")), 1440 + 2880);
}

TEST_F(WalkTest, TracesFollowTheDebugLevel) {
    plat::IniSet("MirratDebug", "3");
    plat::LogClearRecent();
    ASSERT_EQ(Import("<p>t</p>").status, 0);
    EXPECT_FALSE(Logged("TextNode in"));
    plat::IniSet("MirratDebug", "7");
    plat::LogClearRecent();
    ASSERT_EQ(Import("<p>t</p>").status, 0);
    plat::IniSet("MirratDebug", "");
    EXPECT_TRUE(Logged("TextNode in"));
    EXPECT_TRUE(Logged("TextNode out"));
    EXPECT_TRUE(Logged("StartTag in with p"));
    EXPECT_TRUE(Logged("POSTPROCESS StartTag done with p"));
}

TEST_F(WalkTest, DeepAndLargeDocumentsKeepTheirText) {
    // Nesting as deep as the import takes.
    std::string deep;
    for (int n = 0; n < 998; ++n) deep += n % 2 == 0 ? "<div>" : "<span>";
    deep += "bottom";
    for (int n = 0; n < 998; ++n) deep += n % 2 == 0 ? "</span>" : "</div>";
    const Imported nested = Import(deep);
    EXPECT_EQ(nested.status, 0);
    EXPECT_EQ(nested.Texts(), "bottom");

    // Fonts nested deeper than the font stack: the text keeps its place and
    // the text after them takes the font before them.
    std::string fonts = "<p>";
    for (int n = 0; n < 900; ++n) fonts += "<font size=\"" + std::to_string(n % 7 + 1) + "\">";
    fonts += "in";
    for (int n = 0; n < 900; ++n) fonts += "</font>";
    fonts += "</p><p>out</p>";
    const Imported stacked = Import(fonts);
    EXPECT_EQ(stacked.status, 0);
    EXPECT_EQ(stacked.Texts(), "in|out");
    EXPECT_EQ(stacked.Run("out").Font().size, 10);

    // A text node of 5 MB: runs of at most 32,000 bytes each, nothing cut.
    std::string huge(5 * 1024 * 1024, 'x');
    for (std::size_t at = 7; at < huge.size(); at += 9) huge[at] = ' ';
    const Imported big = Import("<p>" + huge + "</p>");
    EXPECT_EQ(big.status, 0);
    std::size_t kept = 0, longest = 0;
    for (const auto& record : big.records) {
        if (record.signature != talix::kSigText) continue;
        kept += record.Text().size();
        longest = std::max(longest, record.Text().size());
    }
    EXPECT_EQ(kept, huge.size());
    EXPECT_LE(longest, 32000u);

    // Large script and style contents: the script never reaches the item,
    // the style sheet is read.
    std::string script = "<script>";
    std::string style = "<style type=\"text/css\">";
    while (script.size() < 1024 * 1024) script += "var x = \"<p>not text</p>\";\n";
    while (style.size() < 1024 * 1024) style += "p.c" + std::to_string(style.size()) + " { color: red }\n";
    const Imported large = Import(style + "p.last { color: blue }</style>" + script + "</script><p class=last>t</p>");
    EXPECT_EQ(large.status, 0);
    EXPECT_EQ(large.Texts(), "t");
    EXPECT_EQ(large.Run("t").Font().color, 4);
}

TEST_F(WalkTest, PageColourOfTheBody) {
    auto items = [&](plat::NOTEID id, const char* name) {
        plat::DBHANDLE db = 0;
        plat::NOTEHANDLE note = 0;
        EXPECT_EQ(plat::DbOpen(path_.c_str(), &db), 0);
        EXPECT_EQ(plat::NoteOpen(db, id, 0, &note), 0);
        int count = 0;
        plat::ItemScan(note, [&](plat::BLOCKID item) {
            char itemName[64] = {};
            plat::WORD flags = 0, type = 0;
            plat::DWORD length = 0;
            plat::BLOCKID value;
            if (plat::ItemQuery(item, itemName, sizeof itemName, &flags, &type, &value, &length) == 0 &&
                std::string(itemName) == name)
                count += type == plat::TYPE_COMPOSITE || type == plat::TYPE_NUMBER ? 1 : 100;
            return plat::NOERROR;
        });
        plat::NoteClose(note);
        plat::DbClose(db);
        return count;
    };
    const Imported white = Import("<body bgcolor=\"#FFFFFF\"><p>w</p></body>");
    ASSERT_EQ(white.status, 0);
    EXPECT_EQ(items(white.note, "$PaperColorEx"), 1);
    EXPECT_EQ(items(white.note, "$PaperColor"), 1);
    // Imported again into the same note: one page colour still.
    ASSERT_EQ(Import("<body bgcolor=\"white\"><p>w</p></body>", nullptr, white.note).status, 0);
    EXPECT_EQ(items(white.note, "$PaperColorEx"), 1);
    for (const char* none : {"transparent", "javascript:x", ""}) {
        const Imported plain = Import(std::string("<body bgcolor=\"") + none + "\"><p>w</p></body>");
        EXPECT_EQ(plain.status, 0) << none;
        EXPECT_EQ(items(plain.note, "$PaperColorEx"), 0) << none;
        EXPECT_EQ(items(plain.note, "$PaperColor"), 0) << none;
    }
}

class WalkFrame : public import_test::ImportTest {};

TEST_F(WalkFrame, TheErrorsKeywordConvertsNothing) {
    const std::vector<std::uint16_t> before = OutputSignatures();
    talix::ItemRecordList* list = MakeList({import_test::Text("<p>checked only</p>")});
    EXPECT_EQ(talix::ImportHTMLFromItem(list, nullptr, "errors", context_.get()), 0);
    EXPECT_EQ(OutputSignatures(), before);
    talix::ItemRecordList* converted = MakeList({import_test::Text("<p>converted</p>")});
    EXPECT_EQ(talix::ImportHTMLFromItem(converted, nullptr, nullptr, context_.get()), 0);
    EXPECT_GT(OutputSignatures().size(), before.size());
}

} // namespace
