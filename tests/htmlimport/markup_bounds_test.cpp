// The bounds on the HTML parser's work: inputs past them are refused on
// every route in (a buffer, a file, the text records of an item), with a
// message that names the bound and the byte, nothing imported; inputs
// below them parse. The scan never counts fewer attributes than the parser
// makes, and the nesting counted in the parse refuses no tree within the
// bound and lets none far past it.
#include <tidy/tidy.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "htmlimport/html_input.h"
#include "htmlimport/import_options.h"
#include "htmlimport/markup_bounds.h"
#include "htmlimport/parser_drivers.h"
#include "htmlimport/tidy_parse.h"
#include "import_fixture.h"
#include "talix_platform.h"

namespace {

using import_test::ImportTest;

std::string Repeat(const std::string& piece, int times) {
    std::string text;
    text.reserve(piece.size() * static_cast<std::size_t>(times));
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

std::string Page(const std::string& body) { return "<html><body>" + body + "</body></html>"; }

std::string Attributes(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
    return text;
}

class MarkupBounds : public ImportTest {
protected:
    bool Logged(const std::string& text) const {
        for (const plat::LogEntry& entry : plat::LogRecent())
            if (entry.text.find(text) != std::string::npos) return true;
        return false;
    }
    std::uint16_t ParseFile(const std::string& html) {
        talix::ReleaseImportContext(import_.get(), context_.get());
        import_ = NewImport();
        EXPECT_EQ(talix::CopyImportOptionText(import_.get(), nullptr, talix::ImportSource::kFile), 0);
        return talix::ParseHTMLFile(WriteFile("page.htm", html).c_str(), "indent", import_.get());
    }
    // The HTML as the text records of an item.
    std::uint16_t ParseRecords(const std::string& html) {
        std::vector<import_test::ListRecord> records;
        for (std::size_t at = 0; at < html.size(); at += 30000)
            records.push_back(import_test::Text(html.substr(at, 30000)));
        talix::ItemRecordList* list = MakeList(records);
        talix::ReleaseImportContext(import_.get(), context_.get());
        import_ = NewImport();
        EXPECT_EQ(talix::CopyImportOptionText(import_.get(), nullptr, talix::ImportSource::kItem), 0);
        return talix::ParseHTMLFromRichText(list, nullptr, import_->optionText, import_.get());
    }
    // Refused on all three routes, with nothing parsed, and the message
    // logged names the bound and a byte.
    void ExpectRefused(const std::string& html, const std::string& message) {
        SCOPED_TRACE(html.substr(0, 60));
        plat::LogClearRecent();
        EXPECT_EQ(ParseBuffer(html), talix::kHtmlPastBound);
        EXPECT_EQ(import_->document, nullptr);
        EXPECT_EQ(ParseFile(html), talix::kHtmlPastBound);
        EXPECT_EQ(ParseRecords(html), talix::kHtmlPastBound);
        EXPECT_EQ(import_->document, nullptr);
        EXPECT_TRUE(Logged(message + " (at byte ")) << message;
        EXPECT_TRUE(Logged("; nothing imported"));
    }
};

TEST_F(MarkupBounds, MarkupPastABoundIsRefusedOnEveryRouteAndBelowItParses) {
    const std::string deep = "HTML nested more than 1000 elements deep";
    ExpectRefused(Page(Repeat("<div>", 100000) + "deep"), deep);
    ExpectRefused(Page(Repeat("<div>", 100000) + "deep" + Repeat("</div>", 100000)), deep);
    // Content the parser reads as markup, whatever the element around it;
    // tags inside tags; lists, options, inline elements, fonts.
    for (const std::string& html :
         {"<textarea>" + Repeat("<div>", 100000), "<title>" + Repeat("<div>", 100000),
          "<xmp>" + Repeat("<div>", 100000),
          "<select>" + Repeat("<option><optgroup>", 100000), Repeat("<div ", 100000) + ">",
          Repeat("<div a=x", 100000) + ">", Repeat("<ul><li>", 20000), Repeat("<dl><dd>", 20000),
          Repeat("<table><tr><td>", 20000), Repeat("<b><i>", 100000), Repeat("<span>", 100000),
          Repeat("<font>x", 100000), Repeat("<blockquote>", 20000), Repeat("<object>", 20000)}) {
        EXPECT_EQ(ParseBuffer(Page(html)), talix::kHtmlPastBound) << html.substr(0, 40);
        EXPECT_EQ(import_->document, nullptr);
    }
    EXPECT_TRUE(Logged(deep));

    // Attributes of one element, also in a tag that the parser cuts short
    // or that holds pieces of server code.
    const std::string many = "an HTML element with more than 1000 attributes";
    ExpectRefused(Page("<p" + Attributes(100000) + ">x</p>"), many);
    ExpectRefused(Page("<p a=\"1\"" + Repeat(" <?x?> b", 1000) + ">x"), many);
    ExpectRefused(Page("<img" + Repeat(" a=<x<y", 2000) + ">"), many);
    EXPECT_EQ(ParseBuffer(Page("<p" + Attributes(900) + ">x</p>")), 0);
    // Words inside a quoted value are no attributes.
    EXPECT_EQ(ParseBuffer(Page("<img alt=\"" + Repeat("word ", 5000) + "\" src=\"cid:a\">")), 0);

    // An attribute's name longer than 256 bytes, with or without a value,
    // in upper case or with a prefix; a long value or element name is no
    // name of an attribute.
    const std::string longName = "an HTML attribute name longer than 256 bytes";
    ExpectRefused(Page("<p " + std::string(300000, 'a') + "=1>x</p>"), longName);
    for (const std::string& tag : {"<p " + std::string(257, 'A') + ">x", "<p a=1 xmlns:" + std::string(251, 'n') + "=1>x",
                                   "<img src=a " + std::string(257, 'b') + "=\"1\">"})
        EXPECT_EQ(ParseBuffer(Page(tag)), talix::kHtmlPastBound) << tag.substr(0, 40);
    EXPECT_EQ(ParseBuffer(Page("<p " + std::string(256, 'a') + "=1 title=\"" + std::string(300000, 't') + "\">x</p>")), 0);

    // An unclosed font element is opened again in every block after it.
    ExpectRefused(Page(Repeat("<div><font>x</div>", 400)),
                  "HTML with unclosed font elements the parser would open more than 50000 times again");
    EXPECT_EQ(ParseBuffer(Page(Repeat("<div><font>x</div>", 200))), 0);
    EXPECT_EQ(ParseBuffer(Page("<font>" + Repeat("<p>x", 20000))), 0);

    // Elements the next of their kind closes, and markup that is no
    // element, do not nest.
    for (const char* level : {"<p>x", "<li>x", "<td>x", "<tr>x", "<option>x", "<dt>x", "<dd>x", "<a name=n>x",
                              "<b>x", "<h1>x", "<p><b>x", "<li><span>x", "<br><hr>", "<div/>", "<!-- <div> -->",
                              "<script><div></script>", "<style>div{}</style>", "<div>x</div>"}) {
        EXPECT_EQ(ParseBuffer(Page(Repeat(level, 20000))), 0) << level;
    }

    // More than 16 MiB, on every route; the message names the limit.
    plat::LogClearRecent();
    const std::string large = Page(std::string(talix::kMaxHtmlInput, 'a'));
    EXPECT_EQ(ParseBuffer(large), talix::kHtmlPastBound);
    EXPECT_EQ(ParseFile(large), talix::kHtmlPastBound);
    EXPECT_EQ(ParseRecords(large), talix::kHtmlPastBound);
    EXPECT_TRUE(Logged("HTML of " + std::to_string(large.size()) +
                       " bytes, more than the 16777216 bytes (16 MiB) the import takes; nothing imported"));
}

// The parser never ends on some inputs: it is stopped, on its own or deep
// in a large page, and nothing is imported.
TEST_F(MarkupBounds, AnInputThatMakesTheParserLoopIsStopped) {
    EXPECT_EQ(ParseBuffer("<tr><dl>x</table>"), talix::kHtmlTreeLost);
    EXPECT_TRUE(Logged("the HTML parser does not come to an end on this HTML; nothing imported"));
    EXPECT_EQ(import_->document, nullptr);
    const std::string page = Page(Repeat("<p>Some <b>ordinary</b> text here.</p>", 20000) + "<tr><dl>x</table>");
    EXPECT_EQ(ParseFile(page), talix::kHtmlTreeLost);
    EXPECT_EQ(ParseRecords(page), talix::kHtmlTreeLost);
    EXPECT_EQ(ParseBuffer(Page(Repeat("<p>Some <b>ordinary</b> text here.</p>", 20000))), 0);
}

// Markup of every kind the scan tells apart: tags with attributes of every
// form (quoted, unquoted, starting with "<", pieces of server code), tags
// the parser cuts short, comments, declarations, raw text, blocks and
// fonts.
const std::vector<std::string>& MarkupPieces() {
    static const std::vector<std::string> pieces = {
        "<p", "<div", "<font", "<span", "<img", "<script", "<style", "<textarea", "<x_y", "</p", "</font", "</a",
        " a", " b=1", " c=\"", " d='", "\"", "'", " e=<", " f=<%", " g=<?", " <?", " <%", " ?>", " %>", "<", "<!",
        "<!--", "-->", "--", "<![CDATA[", "]]>", "<?x", ">", "/>", " /", "=", " =", " x=y/", "<b>", "</b>",
        "<div>", "</div>", "<font>", "</font>", "<p>", "text ", "x", "\n", "<br>", "<td>", "<li>", "<#", "#>",
        " h=x<", " i=<<", " j=< ", "<<", "</", "<!x>",
    };
    return pieces;
}

// The most attributes the parser gives one element of the text.
std::size_t MostParsedAttributes(const std::string& html) {
    tidySetLanguage("en");  // keeps the process's locale as it is
    TidyDoc doc = tidyCreate();
    talix::ConfigureImportParser(doc, false);
    tidyParseString(doc, html.c_str());
    std::size_t most = 0;
    std::vector<TidyNode> pending{tidyGetRoot(doc)};
    while (!pending.empty()) {
        TidyNode node = pending.back();
        pending.pop_back();
        std::size_t count = 0;
        for (TidyAttr attr = tidyAttrFirst(node); attr != nullptr; attr = tidyAttrNext(attr)) ++count;
        most = std::max(most, count);
        for (TidyNode child = tidyGetChild(node); child != nullptr; child = tidyGetNext(child))
            pending.push_back(child);
    }
    tidyRelease(doc);
    return most;
}

TEST(MarkupScan, TheScanNeverCountsFewerAttributesThanTheParserMakes) {
    const std::vector<std::string>& pieces = MarkupPieces();
    std::mt19937 random(42);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<int> length(5, 400);
    for (int round = 0; round < 3000; ++round) {
        std::string html;
        const int count = length(random);
        for (int i = 0; i < count; ++i) html += pieces[pick(random)];
        talix::MarkupScan scan(false);
        scan.Feed(html);
        ASSERT_GE(scan.MostAttributes(), MostParsedAttributes(html)) << html;
    }
}

// Levels of the tree below node.
std::size_t TreeDepth(const talix::HtmlNode* node) {
    std::size_t deepest = 0;
    std::vector<std::pair<const talix::HtmlNode*, std::size_t>> pending{{node, 0}};
    while (!pending.empty()) {
        const auto [at, depth] = pending.back();
        pending.pop_back();
        deepest = std::max(deepest, depth);
        for (const talix::HtmlNode* child = at->firstChild; child != nullptr; child = child->next)
            pending.emplace_back(child, depth + 1);
    }
    return deepest;
}

TEST(ParseNesting, TreesWithinTheBoundParseAndNoneFarPastItDoes) {
    // Random markup of elements that nest, close or hold one another, with
    // a run of one kind of nesting in it, from a few hundred levels to a
    // few thousand.
    const std::vector<std::string> pieces = {
        "<div>", "<span>", "<b>", "<i>", "<font>", "<ul><li>", "<ol>", "<li>", "<dl><dd>", "<table><tr><td>",
        "<td>", "<blockquote>", "<select><optgroup>", "<optgroup>", "<option>", "<textarea>", "<p>", "</div>",
        "</span>", "</ul>", "</table>", "<form>", "<object>", "<a href=x>", "<center>", "<q>", "x", "<x:y>"};
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<int> length(20, 200);
    std::uniform_int_distribution<int> run(200, 2500);
    int refused = 0, parsed = 0;
    for (int round = 0; round < 150; ++round) {
        std::string html = "<html><body>";
        const int count = length(random);
        const int runAt = count / 2;
        for (int i = 0; i < count; ++i) {
            html += pieces[pick(random)];
            if (i == runAt) html += Repeat(pieces[pick(random) % 17], run(random));
        }
        talix::TidyParseRequest request;
        request.utf8 = html;
        request.bytes = html.size();
        talix::TidyParseResult result;
        const std::uint16_t status = talix::ParseWithTidy(request, &result);
        if (status == talix::kHtmlTreeLost) continue;   // the parser loops on some
        if (status == talix::kHtmlPastBound && result.bound.bound == talix::HtmlBound::kReopenedFonts) continue;
        if (status == talix::kHtmlPastBound) {
            ++refused;
            EXPECT_EQ(result.bound.bound, talix::HtmlBound::kNesting);
            EXPECT_LE(result.bound.at, html.size());
            // What was refused nests past the bound in the parser's own tree.
            tidySetLanguage("en");
            TidyDoc doc = tidyCreate();
            talix::ConfigureImportParser(doc, false);
            tidyParseString(doc, html.c_str());
            const std::size_t deepest = talix::ParserTreeLevels(doc);
            tidyRelease(doc);
            EXPECT_GT(deepest, talix::kMaxHtmlNesting) << html.substr(0, 200);
            continue;
        }
        ASSERT_EQ(status, 0);
        ++parsed;
        EXPECT_LE(TreeDepth(result.document->Root()), 4 * talix::kMaxHtmlNesting);
    }
    // Both outcomes were met.
    EXPECT_GT(refused, 0);
    EXPECT_GT(parsed, 0);
}

// The scan comes to the same result whether the markup comes whole, byte by
// byte or in pieces of any length, with tags, comments and raw text cut
// anywhere.
TEST(MarkupScan, TheResultDoesNotDependOnHowTheMarkupIsCut) {
    std::vector<std::string> pieces = MarkupPieces();
    for (const char* more : {"<div><font>x</div>", "<script>a<b c d</script>", "<!-- <p a b> -->"})
        pieces.push_back(more);
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<std::size_t> cut(1, 9);
    auto result = [](const talix::MarkupScan& scan) {
        return std::vector<std::size_t>{scan.MostAttributes(), scan.Reopened(),
                                        static_cast<std::size_t>(scan.Met().bound), scan.Met().at};
    };
    for (int round = 0; round < 200; ++round) {
        std::string html;
        // Some rounds are long enough to pass a bound.
        const int count = round % 4 == 0 ? 8000 : 300;
        for (int i = 0; i < count; ++i) html += pieces[pick(random)];
        talix::MarkupScan whole(false);
        whole.Feed(html);
        talix::MarkupScan bytes(false);
        talix::MarkupScan cuts(false);
        for (std::size_t at = 0; at < html.size(); ++at) bytes.Feed(std::string_view(html).substr(at, 1));
        for (std::size_t at = 0; at < html.size();) {
            const std::size_t length = cut(random);
            cuts.Feed(std::string_view(html).substr(at, length));
            at += length;
        }
        ASSERT_EQ(result(bytes), result(whole)) << html;
        ASSERT_EQ(result(cuts), result(whole)) << html;
    }
}

// A "<" before a control character opens no tag: from a buffer or a file
// its text and all that follows it are kept (the parser read such a tail a
// byte at a time, each time over all of it, and dropped it); a "<" before
// anything else is read as before. (In the text of records, bytes below
// 0x20 begin characters of other character sets.)
TEST_F(MarkupBounds, ALessThanBeforeAControlCharacterIsText) {
    const std::string tail = "p'" + std::string(20000, 'x');
    for (const char control : {'\x01', '\x0f', '\x7f'}) {
        const std::string html = Page(std::string("<p>Big<") + control + tail + "</p>");
        SCOPED_TRACE(static_cast<int>(control));
        ASSERT_EQ(ParseBuffer(html), 0);
        const std::string buffer = BodyDump();
        EXPECT_NE(buffer.find("Big<"), std::string::npos) << buffer.substr(0, 200);
        EXPECT_NE(buffer.find(std::string(20000, 'x')), std::string::npos);
        ASSERT_EQ(ParseFile(html), 0);
        EXPECT_EQ(BodyDump(), buffer);
    }
    ASSERT_EQ(ParseBuffer(Page("<p>a <b>b</b> 1<2 <\tc</p>")), 0);
    const std::string plain = BodyDump();
    EXPECT_NE(plain.find("b"), std::string::npos) << plain;
    EXPECT_NE(plain.find("1<2"), std::string::npos) << plain;
}
} // namespace
