// The nesting bound of the HTML import: inputs nested past it are refused
// before the parse, on every route in (a buffer, a file, the text records of
// an item), with a message; inputs below it parse; and the scan's depth is
// never far below the depth of the tree the parser builds.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "htmlimport/nesting_bound.h"
#include "htmlimport/import_options.h"
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

class NestingBound : public ImportTest {
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
};

TEST_F(NestingBound, DeepInputsAreRefusedOnEveryRouteAndShallowOnesParse) {
    const std::string open = Page(Repeat("<div>", 100000) + "deep");
    const std::string closed = Page(Repeat("<div>", 100000) + "deep" + Repeat("</div>", 100000));
    for (const std::string* html : {&open, &closed}) {
        EXPECT_EQ(ParseBuffer(*html), talix::kHtmlTooDeep);
        EXPECT_EQ(ParseFile(*html), talix::kHtmlTooDeep);
        EXPECT_EQ(ParseRecords(*html), talix::kHtmlTooDeep);
    }
    EXPECT_TRUE(Logged("HTML nested more than 1000 elements deep (at byte "));

    // Every kind of element that holds itself, 20,000 deep.
    for (const char* level : {"<div>", "<blockquote>", "<center>", "<form>", "<ul><li>", "<ol><li>", "<dl><dd>",
                              "<table><tr><td>", "<address>", "<fieldset>", "<dir>", "<menu>", "<noscript>",
                              "<object>", "<span>", "<font>", "<sub>", "<q>", "<small>", "<td><div>", "<li><div>",
                              "<x:shape>"}) {
        EXPECT_EQ(ParseBuffer(Page(Repeat(level, 20000) + "x")), talix::kHtmlTooDeep) << level;
    }
    // Elements the next of their kind closes, and markup that is no
    // element (comments, the text of scripts), do not nest.
    for (const char* level : {"<p>x", "<li>x", "<td>x", "<tr>x", "<option>x", "<dt>x", "<dd>x", "<a name=n>x",
                              "<b>x", "<h1>x", "<p><b>x", "<li><span>x", "<br><hr>", "<div/>",
                              "<!-- <div> -->", "<script><div></script>", "<style>div{}</style>", "<div>x</div>"}) {
        EXPECT_EQ(ParseBuffer(Page(Repeat(level, 20000))), 0) << level;
    }

    // An unclosed font element is opened again in every block after it.
    EXPECT_EQ(ParseBuffer(Page(Repeat("<div><font>x</div>", 400))), talix::kHtmlTooDeep);
    EXPECT_TRUE(Logged("HTML with unclosed font elements the parser would open more than 50000 times again"));
    EXPECT_EQ(ParseBuffer(Page(Repeat("<div><font>x</div>", 200))), 0);
    EXPECT_EQ(ParseBuffer(Page("<font>" + Repeat("<p>x", 20000))), 0);
}

// The parser never ends on some inputs: it is stopped, on its own or deep
// in a large page, and nothing is imported.
TEST_F(NestingBound, AnInputThatMakesTheParserLoopIsStopped) {
    EXPECT_EQ(ParseBuffer("<tr><dl>x</table>"), talix::kHtmlTreeLost);
    EXPECT_TRUE(Logged("the HTML parser does not come to an end on this HTML; nothing imported"));
    EXPECT_EQ(import_->document, nullptr);
    const std::string page = Page(Repeat("<p>Some <b>ordinary</b> text here.</p>", 20000) + "<tr><dl>x</table>");
    EXPECT_EQ(ParseFile(page), talix::kHtmlTreeLost);
    EXPECT_EQ(ParseRecords(page), talix::kHtmlTreeLost);
    EXPECT_EQ(ParseBuffer(Page(Repeat("<p>Some <b>ordinary</b> text here.</p>", 20000))), 0);
}

// Markup of every kind the scan tells apart: blocks, inline elements,
// fonts, elements the next of their kind closes, tables, lists, ends of
// open and of unopened elements, self-closed elements, comments,
// declarations and raw text.
const std::vector<std::string>& MarkupPieces() {
    static const std::vector<std::string> pieces = {
        "<div>", "</div>", "<p>", "</p>", "<span>", "</span>", "<b>", "</b>", "<i>", "<font>", "</font>",
        "<table>", "<tr>", "<td>", "</td>", "</table>", "<ul>", "<li>", "</ul>", "<dl>", "<dd>", "<dt>",
        "<blockquote>", "</blockquote>", "<h1>", "</h1>", "<a>", "</a>", "<select>", "<option>", "<form>",
        "</form>", "<div/>", "<br>", "<img src=x>", "<!-- c -->", "<!-- <div> -->", "<![if x]>", "<!x>",
        "<script>a</script>", "<style>p{}</style>", "<title>t</title>", "<noframes>", "<center>", "<pre>",
        "<li><div>", "<td><div>", "<p><font>", "x", "text ", "<", ">", "</", "<object>", "<caption>",
        "<thead>", "<tbody>", "<small>", "<sub>", "<q>", "<x:y>", "</x:y>", "<textarea>", "</textarea>",
        "<div title=\"a>b\">", "<a href='<'>", "<span class=\"", "\"", "'", "</li>", "</tr>", "<noscript>",
        "<iframe>", "<map>", "<object>", "</object>", "<o:p>", "</o:p>", "<!-->", "-->", "<![CDATA[", "]]>", "<?x>",
        "<select>", "</select>", "<optgroup>", "<th>", "<tfoot>", "<caption>", "<colgroup>", "<col>", "<dir>", "<menu>",
        "<ol>", "</ol>", "<address>", "<fieldset>", "<legend>", "<button>", "</button>", "<label>", "<h2>", "</h2>",
        "<del>", "<ins>", "<big>", "<sup>", "<nobr>", "<u>", "<em>", "</em>", "<plaintext>", "<xmp>", "</xmp>",
    };
    return pieces;
}

TEST(NestingScan, TheScanNeverReadsMuchLessThanTheParserBuilds) {
    // Random markup of every kind the scan tells apart.
    const std::vector<std::string>& pieces = MarkupPieces();
    std::mt19937 random(42);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<int> length(50, 600);
    for (int round = 0; round < 300; ++round) {
        std::string body;
        const int count = length(random);
        for (int i = 0; i < count; ++i) body += pieces[pick(random)];
        const std::string html = Page(body);
        talix::NestingScan scan(false);
        scan.Feed(html);
        talix::TidyParseRequest request;
        request.utf8 = html;
        request.tagOpenings = html.size();
        talix::TidyParseResult parsed;
        request.bytes = html.size();
        const std::uint16_t status = talix::ParseWithTidy(request, &parsed);
        // Some of them make the parser loop: it is stopped.
        if (status == talix::kHtmlTreeLost) continue;
        ASSERT_EQ(status, 0);
        const std::size_t built = TreeDepth(parsed.document->Root());
        // The parser adds html, body and an element or two around text.
        EXPECT_LE(built, 2 * scan.Deepest() + 6) << html;
    }
}

// The scan comes to the same result whether the markup comes whole, byte by
// byte or in pieces of any length, with tags, comments and raw text cut
// anywhere.
TEST(NestingScan, TheResultDoesNotDependOnHowTheMarkupIsCut) {
    const std::vector<std::string>& pieces = MarkupPieces();
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<std::size_t> cut(1, 9);
    auto result = [](const talix::NestingScan& scan) {
        return std::vector<std::size_t>{scan.Deepest(), scan.Reopened(), scan.Exceeded() ? 1u : 0u,
                                        scan.ExceededAt()};
    };
    for (int round = 0; round < 200; ++round) {
        std::string html;
        // Some rounds nest deep enough to pass the bound.
        const int count = round % 4 == 0 ? 4000 : 300;
        for (int i = 0; i < count; ++i) html += pieces[pick(random)];
        talix::NestingScan whole(false);
        whole.Feed(html);
        talix::NestingScan bytes(false);
        talix::NestingScan cuts(false);
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

} // namespace
