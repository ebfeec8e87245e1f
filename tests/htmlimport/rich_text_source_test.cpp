// HTML held in the text records of an item: the record source the parser
// reads, and pass-thru marking between the caller's markers.
#include <string>

#include "htmlimport/import_options.h"
#include "htmlimport/parser_drivers.h"
#include "htmlimport/passthru_marking.h"
#include "htmlimport/record_source.h"
#include "import_fixture.h"

namespace {

using import_test::Bare;
using import_test::ImportTest;
using import_test::Paragraph;
using import_test::Text;

std::string ReadAll(talix::ItemRecordList* list) {
    talix::RecordTextSource source(list);
    std::string text;
    for (int byte = source.NextByte(); byte >= 0; byte = source.NextByte()) text.push_back(static_cast<char>(byte));
    EXPECT_TRUE(source.AtEnd());
    return text;
}

class RichTextSource : public ImportTest {
protected:
    std::uint16_t ParseRecords(talix::ItemRecordList* list, const char* options) {
        talix::ReleaseImportContext(import_.get(), context_.get());
        import_ = NewImport();
        EXPECT_EQ(talix::CopyImportOptionText(import_.get(), options, talix::ImportSource::kItem), 0);
        return talix::ParseHTMLFromRichText(list, nullptr, import_->optionText, import_.get());
    }
    static constexpr const char* kMarkers = "MarkPassthruHTML=Yes PassthruHTMLStart='[[' PassthruHTMLEnd=']]'";
    std::vector<std::string> Marked(const std::vector<import_test::ListRecord>& records) {
        talix::ItemRecordList* list = MakeList(records);
        EXPECT_EQ(ParseRecords(list, kMarkers), 0);
        return ListContent(list);
    }
};

TEST_F(RichTextSource, TextAndParagraphRecordsReadAsOneText) {
    EXPECT_EQ(ReadAll(MakeList({Text("ab"), Paragraph(), Text("cd")})), "ab cd");
    // A paragraph record before the first text gives nothing; other records
    // and empty runs are passed over; right-to-left runs are text.
    EXPECT_EQ(ReadAll(MakeList({Paragraph(), Text("x"), Bare(0xFF82), Text(""), Paragraph(), {0xFFE4, "y"}})), "x y");
    EXPECT_EQ(ReadAll(MakeList({Bare(0xFF82), Paragraph(), Text("z")})), " z");
    // Native text arrives as UTF-8; the native hard space too.
    EXPECT_EQ(ReadAll(MakeList({Text("caf\x82\xFF")})), "caf\xC3\xA9\xC2\xA0");
    EXPECT_EQ(ReadAll(MakeList({})), "");

    // Unget gives bytes back in order.
    talix::RecordTextSource source(MakeList({Text("ab")}));
    const int a = source.NextByte();
    const int b = source.NextByte();
    source.Unget(static_cast<std::uint8_t>(b));
    source.Unget(static_cast<std::uint8_t>(a));
    EXPECT_EQ(source.NextByte(), 'a');
    EXPECT_EQ(source.NextByte(), 'b');
    EXPECT_EQ(source.NextByte(), -1);

    // The driver parses what the records hold.
    ASSERT_EQ(ParseRecords(MakeList({Text("<p>ab"), Paragraph(), Text("cd</p><p>caf\x82</p>")}), nullptr), 0);
    EXPECT_EQ(BodyDump(), "body(p('ab cd') p('caf\x82'))");
    // Records holding an element the parser does not know are read again
    // whole, with the element taken as an inline one.
    ASSERT_EQ(ParseRecords(MakeList({Text("<p>a <my-tag>b"), Paragraph(), Text("c</my-tag></p>")}), nullptr), 0);
    EXPECT_EQ(BodyDump(), "body(p('a ' my-tag('b c')))");
    EXPECT_EQ(import_->parseErrors, 0u);
}

TEST_F(RichTextSource, ParserKeywordsOfTheCallersOptionsReachTheParser) {
    const std::vector<import_test::ListRecord> page = {Text("<center><font color=red>x</font></center><ul><p>y</p></ul>")};
    ASSERT_EQ(ParseRecords(MakeList(page), nullptr), 0);
    EXPECT_EQ(BodyDump(), "body(center(font[color=red]('x')) div[style=margin-left: 2em](p('y')))");
    EXPECT_EQ(import_->errorsOnly, 0u);
    // "clean" turns presentational markup into style rules.
    ASSERT_EQ(ParseRecords(MakeList(page), "clean"), 0);
    EXPECT_EQ(BodyDump(), "body(div[class=c1](font[color=red]('x')) div[style=margin-left: 2em](p('y')))");
    // "errors" parses without converting; "xml" parses XML and runs no pass.
    ASSERT_EQ(ParseRecords(MakeList(page), "errors"), 0);
    EXPECT_EQ(import_->errorsOnly, 1u);
    ASSERT_EQ(ParseRecords(MakeList({Text("<doc><ul><p>y</p></ul></doc>")}), "xml"), 0);
    EXPECT_EQ(import_test::Dump(*import_->document, import_->document->Root()->firstChild), "doc(ul(p('y')))");
    ASSERT_EQ(ParseRecords(MakeList(page), "BasePathname=/srv 'clean' ERRORS"), 0);
    EXPECT_EQ(import_->errorsOnly, 1u);

    // A keyword inside the value of another option asks nothing of the
    // parser: the page is converted as without it.
    const std::string plain = "body(center(font[color=red]('x')) div[style=margin-left: 2em](p('y')))";
    for (const char* options : {"BasePathname=/data/errors/ UseCSSFile=clean.css", "BasePathname='/a b/errors'",
                                "LocalResourcePrefix=/xml/ BlankAltString=|x clean|", "Title=x-errors"}) {
        ASSERT_EQ(ParseRecords(MakeList(page), options), 0) << options;
        EXPECT_EQ(BodyDump(), plain) << options;
        EXPECT_EQ(import_->errorsOnly, 0u) << options;
    }
}

TEST_F(RichTextSource, MarkedTextReachesTheParserAsEscapedText) {
    EXPECT_EQ(Marked({Text("a[[<b>]]c")}), (std::vector<std::string>{"a[&lt;b&gt;]c"}));
    EXPECT_EQ(Marked({Text("x[[<i a=\"1\">&"), Paragraph(), Text("y]]z")}),
              (std::vector<std::string>{"x[&lt;i a=&quot;1&quot;&gt;&amp;", "P", "y]z"}));
    EXPECT_EQ(Marked({Text("[[t]] [[<u>]]")}), (std::vector<std::string>{"[<!-- -->t] [&lt;u&gt;]"}));
    EXPECT_EQ(Marked({Text("no markers <b>here</b>")}), (std::vector<std::string>{"no markers <b>here</b>"}));
    // A region inside an HTML-begin ... HTML-end pair closes it and opens it again.
    EXPECT_EQ(Marked({Bare(0xFFCC), Text("p[[<b>]]q"), Bare(0xFFCD)}),
              (std::vector<std::string>{"B", "B", "p[&lt;b&gt;]q", "E", "E"}));

    // The parser sees text, not markup.
    ASSERT_EQ(ParseRecords(MakeList({Text("<p>a[[<b>]]c</p>")}), kMarkers), 0);
    EXPECT_EQ(BodyDump(), "body(p('a[<b>]c'))");

    // A missing marker is refused; so is a marker-less call.
    EXPECT_EQ(ParseRecords(MakeList({Text("a")}), "MarkPassthruHTML=Yes PassthruHTMLStart='[['"),
              talix::kArgumentError);
    EXPECT_EQ(talix::MarkPassthruHTML(MakeList({Text("a")}), import_.get()), talix::kArgumentError);
}

TEST_F(RichTextSource, ARewriteLongerThanOneRecordGoesOnInFurtherRuns) {
    const std::string inner(30000, '<');
    talix::ItemRecordList* list = MakeList({Text("[[" + inner + "]]"), Text("tail")});
    ASSERT_EQ(ParseRecords(list, kMarkers), 0);
    const std::vector<std::string> content = ListContent(list);
    ASSERT_GE(content.size(), 3u);
    std::string joined;
    for (std::size_t i = 0; i + 1 < content.size(); ++i) {
        EXPECT_LE(content[i].size(), talix::kWorkBufferSize - 8u);
        joined += content[i];
    }
    std::string expected = "[";
    for (std::size_t i = 0; i < inner.size(); ++i) expected += "&lt;";
    EXPECT_EQ(joined, expected + "]");
    EXPECT_EQ(content.back(), "tail");
}

} // namespace
