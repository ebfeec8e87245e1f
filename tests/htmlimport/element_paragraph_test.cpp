// Element starts and closes as the records they write: headings, line
// breaks, horizontal rules, definition lists, block paragraphs and their
// definitions, and the paragraph breaks after blocks.
#include <memory>
#include <string>

#include "core/font_spec.h"
#include "core/pool.h"
#include "core/signatures.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"
#include "walk_fixture.h"

namespace {

using import_test::Imported;
using import_test::ItemRecord;
using import_test::WalkTest;
using import_test::Definition;
using import_test::Shown;

using talix::kAttrBold;

TEST_F(WalkTest, HeadingsStartParagraphsInTheirFont) {
    const Imported heading = Import("<h2>T</h2>text");
    ASSERT_EQ(heading.status, 0);
    EXPECT_EQ(Shown(heading), "P R1 '' 'T' P R1 '' 'text' ''");
    EXPECT_EQ(heading.Run("T").Font().size, 16);
    EXPECT_EQ(heading.Run("T").Font().attributes, kAttrBold);
    // The run after the heading is back in the size before it, not bold.
    EXPECT_EQ(heading.Run("text").Font().size, 10);
    EXPECT_EQ(heading.Run("text").Font().attributes, 0);
    EXPECT_EQ(heading.records[6].Font().size, 10);

    // A block after the heading makes its own paragraph: no break between.
    EXPECT_EQ(Shown(Import("<h2>T</h2><p>x</p>")), "P R1 '' 'T' P D2 R2 '' 'x' ''");
    const Imported small = Import("<p>a</p><h4>b</h4>c");
    EXPECT_EQ(Shown(small), "D2 R2 '' 'a' P R1 '' 'b' P R1 '' 'c' ''");
    EXPECT_EQ(small.Run("b").Font().size, 10);
    EXPECT_EQ(small.Run("b").Font().attributes, kAttrBold);
    EXPECT_EQ(small.records[6].Font().attributes, kAttrBold);   // the heading's own empty run

    // A heading that begins a list item is the item's first line: no empty
    // item before it.
    const Imported item = Import("<ul><li><h3>T</h3></li><li>b</li></ul>");
    EXPECT_EQ(Shown(item), "'~' D2 P R2 '' 'T' P R2 'b' ''");
    EXPECT_EQ(item.Run("T").Font().size, 12);
}

TEST_F(WalkTest, LineBreaksRulesAndDefinitionLists) {
    // A break in text is a run of one zero byte; one that starts a division
    // after text writes nothing.
    EXPECT_EQ(Shown(Import("<p>x</p><div>a<br>b</div><div><br>c</div>")),
              "D2 R2 '' 'x' P D3 R3 '' 'a' '~' 'b' P D4 R4 '' 'c' ''");
    // A break before a block writes nothing either.
    EXPECT_EQ(Shown(Import("<div class=\"k\">a<br><p>b</p></div>")), "D2 R2 '' 'a' P D3 R3 '' 'b' ''");

    // A break in a paragraph that holds more than 16,000 bytes of text
    // starts a new paragraph instead.
    std::string text;
    while (text.size() < 16000) text += "twenty bytes of text";
    const Imported longer = Import("<p>" + text + "<br>after</p>");
    EXPECT_NE(Shown(longer).find("' P R2 '' 'after'"), std::string::npos);
    const Imported shorter = Import("<p>" + text.substr(0, 15000) + "<br>after</p>");
    EXPECT_NE(Shown(shorter).find("' '~' 'after'"), std::string::npos);

    const Imported rule = Import("<p>a</p><hr><p>b</p>");
    ASSERT_EQ(rule.status, 0);
    // The paragraph first in the body ends with a paragraph record, as any
    // other paragraph does.
    EXPECT_EQ(Shown(rule), "D2 R2 '' 'a' P R1 '' HR '' P D3 R3 '' 'b' ''");
    const ItemRecord& hr = rule.records[7];
    ASSERT_EQ(hr.signature, talix::kSigHorizontalRule);
    EXPECT_EQ(hr.bytes.size(), 16u);
    EXPECT_EQ(hr.Dword(4), 13u);
    EXPECT_EQ(hr.Word(8), 100);
    EXPECT_EQ(hr.Word(10), 25);
    EXPECT_EQ(hr.Word(12), 0xFFFF);
    EXPECT_EQ(hr.Word(14), 0xFFFF);

    // A rule between words stands on a line of its own, where the words on
    // either side of it ran together; one between blocks adds no paragraph.
    EXPECT_EQ(Shown(Import("x<hr>y")), "'x' P R1 '' HR '' P R1 '' 'y' ''");
    EXPECT_EQ(Shown(Import("<b>x</b> <hr> <!-- c --> <i>y</i>")), "'x' P R1 '' HR '' P R1 '' 'y' ''");
    EXPECT_EQ(Shown(Import("<p>a</p><hr>y")), "D2 R2 '' 'a' P R1 '' HR '' P R1 '' 'y' ''");

    // Each term and description after the first starts a line.
    EXPECT_EQ(Shown(Import("<dl><dt>t</dt><dd>d</dd></dl>z")), "'~' 't' '~' 'd' '~' 'z' ''");
    EXPECT_EQ(Shown(Import("<dl><dt>t1 <b>b</b></dt><dd>d1</dd><dt>t2</dt><dd>d2</dd></dl>")),
              "'~' 't1 ' 'b' '~' 'd1' '~' 't2' '~' 'd2' '~' ''");
}

TEST_F(WalkTest, TextAfterABlockStartsALineOfItsOwn) {
    // Text after preformatted text starts a paragraph, where it ran on into
    // the last line of the preformatted text; a block after it starts its
    // own.
    EXPECT_EQ(Shown(Import("<pre>a1</pre> b1")), "P R1 '' 'a1' P R1 '' 'b1' ''");
    EXPECT_EQ(Shown(Import("<div><pre>a1</pre><b>b1</b> c1</div>")), "D2 R2 '' P R2 '' 'a1' P R2 '' 'b1' ' c1' ''");
    EXPECT_EQ(Shown(Import("<pre>a1</pre><p>b1</p>")), "P R1 '' 'a1' P D2 R2 '' 'b1' ''");
    // A centred block ends as a division does.
    const Imported centred = Import("<p>x</p><center>a1</center>b1");
    EXPECT_EQ(Shown(centred), "D2 R2 '' 'x' P D3 R3 '' 'a1' P D4 R4 '' 'b1' ''");
    EXPECT_EQ(Definition(centred, 3)->Word(6), 3);   // the centred block
    EXPECT_EQ(Definition(centred, 4)->Word(6), 0);   // what follows it is not centred
    // Forms, addresses, sections, figures and the options of a list box
    // stand on lines of their own, apart from the text around them.
    EXPECT_EQ(Shown(Import("x1<form action=\"f\">a1 a2<input type=\"text\"></form>b1")),
              "'x1' P R1 '' 'a1 a2' P R1 '' 'b1' ''");
    EXPECT_EQ(Shown(Import("x1<address>a1</address><section>s1</section><b>b1</b>")),
              "'x1' P R1 '' 'a1' P R1 '' 's1' P R1 '' 'b1' ''");
    EXPECT_EQ(Shown(Import("<p>x1 <select><option>o1</option>\n<option>o2</option></select></p>")),
              "D2 R2 '' 'x1 ' 'o1' P R2 '' 'o2' ''");
    EXPECT_EQ(Shown(Import("<figure>f1<figcaption>c1</figcaption></figure><p>p1</p>")),
              "'f1' P R1 '' 'c1' P D2 R2 '' 'p1' ''");
    // One that begins with a block of its own leaves the line to that block.
    EXPECT_EQ(Shown(Import("<p>x</p><form>a1</form><article><section><p>p1</p></section></article>")),
              "D2 R2 '' 'x' P R1 '' 'a1' P D3 R3 '' 'p1' ''");
    // One first in its cell, or after a block or a rule, adds no paragraph.
    EXPECT_EQ(Shown(Import("<p>x</p><form>a1</form><hr><div>d1</div>")),
              "D2 R2 '' 'x' P R1 '' 'a1' '' HR '' P D3 R3 '' 'd1' ''");
    EXPECT_EQ(Shown(Import("<table><tr><td><form>a1</form></td></tr></table>")),
              "P R1 #FFFB #A3 #A4 P D2 R2 '' 'a1' #A5 P R1 ''");
    // A block that ends a link ends its line too: the text after the link
    // starts a paragraph, after the link's end; a link of inline content, or
    // a block after the link, adds none.
    const auto lines = [this](const std::string& html) {
        std::string out;
        for (const ItemRecord& record : Import(html).records) {
            if (record.signature == talix::kSigParagraph) out += '|';
            if (record.signature == talix::kSigText) out += record.Text();
        }
        return out;
    };
    EXPECT_EQ(lines("<a href='http://a.b/'><h3>h1</h3></a>z1"), lines("<h3>h1</h3>z1"));
    EXPECT_EQ(lines("<div>y1<a href='http://a.b/'><p>p1</p></a>z1</div>"), lines("<div>y1<p>p1</p>z1</div>"));
    EXPECT_EQ(lines("<div>y1<a href='http://a.b/'><div>d1</div></a><b>z1</b></div>"),
              lines("<div>y1<div>d1</div><b>z1</b></div>"));
    EXPECT_EQ(lines("<a href='http://a.b/'><pre>r1</pre></a>z1"), lines("<pre>r1</pre>z1"));
    EXPECT_EQ(lines("<a href='http://a.b/'>a1</a>z1"), "a1z1");
    EXPECT_EQ(lines("<a href='http://a.b/'><h3>h1</h3></a>z1"), "|h1|z1");
    const Imported block = Import("<a href='http://a.b/'><h3>h1</h3></a><p>p1</p>");
    EXPECT_EQ(block.Count(talix::kSigParagraph), Import("<h3>h1</h3><p>p1</p>").Count(talix::kSigParagraph));
    const std::string shown = Shown(Import("<a href='http://a.b/'><h3>h1</h3></a>z1"));
    EXPECT_NE(shown.find("E E P R1 '' 'z1'"), std::string::npos) << shown;
}
TEST_F(WalkTest, APictureInSvgShowsItsTextApartAndNoTitle) {
    // The text elements of a picture in SVG stand on lines of their own,
    // apart from the words around the picture and from each other; its
    // title and description, and a title in the body, are not shown.
    EXPECT_EQ(Shown(Import("one<svg><title>t1</title><desc>d1</desc><text>a1</text><text>b1</text></svg>two")),
              "'one' P R1 '' 'a1' P R1 '' 'b1' P R1 '' 'two' ''");
    EXPECT_EQ(Shown(Import("<p>x1<svg><g><metadata>m1</metadata><text>a1</text></g></svg></p>")),
              "D2 R2 '' 'x1' P R2 '' 'a1' ''");
    EXPECT_EQ(Shown(Import("x1<title>t1</title>y1")), "'x1' 'y1' ''");
}

TEST_F(WalkTest, BlanksBetweenTheSpansOfSvgTextStay) {
    // A browser shows "one two three four" for each: the blanks between
    // and around the spans of a text element are kept.
    const char* const pages[] = {
        "<svg><text><tspan>one</tspan> <tspan>two</tspan> <tspan>three</tspan>\n <tspan>four</tspan></text></svg>",
        "<svg><text>one <tspan>two</tspan><tspan> three</tspan> four</text></svg>",
    };
    for (const char* page : pages) {
        std::string text;
        for (const ItemRecord& record : Import(page).records)
            if (record.signature == talix::kSigText) text += record.Text();
        EXPECT_EQ(text, "one two three four") << page;
    }
}

TEST_F(WalkTest, AQuotedReplyStandsOnLinesOfItsOwn) {
    // Its text neither runs on from the line before it nor into the text
    // after it; in a reply of blocks, the blocks part the lines.
    for (const char* html : {"<div>hi</div><blockquote class=\"gmail_quote\">q</blockquote>after",
                             "<div>hi</div><blockquote class=\"gmail_quote\"><div>q</div></blockquote>after",
                             "hi<br><blockquote class=\"gmail_quote\">q</blockquote><p>after</p>"}) {
        const Imported imported = Import(html);
        EXPECT_EQ(imported.problem, "") << html;
        const std::string layout = imported.Layout();
        const std::size_t hi = layout.find("'hi'"), q = layout.find("'q'"), after = layout.find("'after'");
        ASSERT_TRUE(hi < q && q < after) << html << ": " << layout;
        EXPECT_NE(layout.substr(hi, q - hi).find(" P "), std::string::npos) << html << ": " << layout;
        EXPECT_NE(layout.substr(q, after - q).find(" P "), std::string::npos) << html << ": " << layout;
    }
}

TEST_F(WalkTest, AnAlignmentOfMoreThanOneWordSetsNothingElse) {
    // Words after the alignment are no paragraph properties of their own:
    // the paragraph is left aligned and otherwise as a plain one.
    const Imported plain = Import("<p>q</p><p>x</p>");
    ASSERT_NE(Definition(plain, 3), nullptr);
    for (const char* attributes : {"style=\"text-align:left +RTL Below=DOUBLE InterLine=DOUBLE\"",
                                   "align=\"center' +RTL LeftMargin='5in\"", "style='text-align:center +RTL'"}) {
        const std::string html = std::string("<p>q</p><p ") + attributes + ">x</p>";
        const Imported imported = Import(html);
        EXPECT_EQ(imported.problem, "") << html;
        const ItemRecord* definition = Definition(imported, 3);
        ASSERT_NE(definition, nullptr) << html;
        EXPECT_EQ(definition->bytes, Definition(plain, 3)->bytes) << html;
    }
    // One word still aligns.
    EXPECT_EQ(Definition(Import("<p>q</p><p align='RIGHT'>x</p>"), 3)->Word(6), 1);
    EXPECT_EQ(Definition(Import("<p>q</p><p style='text-align: justify'>x</p>"), 3)->Word(6), 2);
}

TEST_F(WalkTest, BlocksMakeParagraphsWithTheirDefinitions) {
    const Imported centred = Import("<p style=\"margin-left:0.5in;text-align:center\">c</p><p>d</p>");
    ASSERT_EQ(centred.status, 0);
    EXPECT_EQ(centred.problem, "");
    const ItemRecord* definition = Definition(centred, 2);
    ASSERT_NE(definition, nullptr);
    EXPECT_EQ(definition->Word(6), 3);        // centred
    EXPECT_EQ(definition->Word(14), 2160);    // left margin 1.50in
    EXPECT_EQ(definition->Word(18), 2160);    // first line
    const ItemRecord* plain = Definition(centred, 3);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->Word(6), 0);
    EXPECT_EQ(plain->Word(14), 1440);

    // A block quote first in the body: no paragraph record at its start;
    // its close parts it from what follows, its indent undone by a
    // definition of its own.
    const Imported quote = Import("<blockquote>q</blockquote>after");
    EXPECT_EQ(Shown(quote), "D2 R2 '' 'q' P D3 R3 '' 'after' ''");
    // So does a paragraph first in the body; an empty one writes nothing.
    EXPECT_EQ(Shown(Import("<p>x</p>y <b>z</b>")), "D2 R2 '' 'x' P R1 '' 'y ' 'z' ''");
    // Its text then takes the item's opening paragraph, one reference only.
    EXPECT_EQ(Shown(Import("<p></p>y")), "'y' ''");
    EXPECT_GT(Definition(quote, 2)->Word(14), Definition(quote, 3)->Word(14));
    EXPECT_EQ(Shown(Import("<p>x</p><blockquote>q</blockquote>after")),
              "D2 R2 '' 'x' P D3 R3 '' 'q' P D4 R4 '' 'after' ''");

    // An empty paragraph first in the body writes nothing.
    EXPECT_EQ(Shown(Import("<p></p><p>y</p>")), "P D2 R2 '' 'y' ''");
    // A p directly in a division without attributes has no paragraph of its
    // own; with attributes it has.
    EXPECT_EQ(Shown(Import("<div class=\"k\"><p>inner</p>tail</div>")), "D2 R2 '' 'inner' P R1 '' 'tail' ''");
    EXPECT_EQ(Shown(Import("<div class=\"k\"><p class=\"m\">inner</p></div>")), "D2 R2 '' P D3 R3 '' 'inner' ''");

    // A division ends with a paragraph of a copied definition whose run
    // takes the default font.
    const Imported division = Import("<div class=\"k\">d</div>tail");
    EXPECT_EQ(Shown(division), "D2 R2 '' 'd' P D3 R3 '' 'tail' ''");
    EXPECT_EQ(division.records[7].Font().size, 12);

    // A border of a block becomes a border record after its reference.
    const Imported bordered = Import("<p style=\"border:1px solid red\">b</p>");
    EXPECT_EQ(Shown(bordered), "D2 R2 BORDER '' 'b' ''");
    EXPECT_EQ(bordered.records[2].bytes.size(), 60u);
}

// The HTML of a note's body, from its first division on.
std::string FromFirstDivision(const std::string& html) {
    const std::size_t body = html.find("<body");
    const std::size_t first = html.find("<div", body == std::string::npos ? 0 : body);
    return first == std::string::npos ? html : html.substr(first);
}

TEST_F(WalkTest, AFirstBlockTakesTheBlankItemsOpeningParagraph) {
    // The first block's paragraph is the item's first: no empty line before
    // it, in the records or in the HTML made of them.
    const Imported page = Import("<p>First</p><p>Second</p>");
    ASSERT_EQ(page.status, 0);
    EXPECT_EQ(page.problem, "");
    EXPECT_EQ(Shown(page), "D2 R2 '' 'First' P D3 R3 '' 'Second' ''");
    const std::string html = FromFirstDivision(BodyHtml(page.note));
    EXPECT_EQ(html.rfind("<div class=\"pabid2\">First</div>", 0), 0u) << html;

    // So the HTML made again from its own HTML is the same: a round trip
    // adds no line.
    const Imported again = Import(html);
    ASSERT_EQ(again.status, 0);
    EXPECT_EQ(FromFirstDivision(BodyHtml(again.note)), html);

    // Text before any block keeps the opening paragraph; so does what the
    // item held before (the first block then opens one of its own).
    EXPECT_EQ(Shown(Import("y<p>x</p>")), "'y' P D2 R2 '' 'x' ''");
    const Imported held = Import("<p>World</p>", nullptr, page.note);
    EXPECT_EQ(held.Texts(), "First|Second|World");
}

} // namespace
