// The block preamble as the records it writes: layers from positioned
// divisions, quoted mail replies as collapsible sections, right-to-left
// blocks and pass-thru spans.
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "builders/layer_builders.h"
#include "core/signatures.h"
#include "htmlimport/layer_conversion.h"
#include "style_fixture.h"
#include "walk_fixture.h"

namespace {

using import_test::First;
using import_test::Imported;
using import_test::ItemRecord;
using import_test::StyleTest;
using import_test::WalkTest;
using import_test::Shown;

double LengthNumber(const ItemRecord* record, std::size_t offset) {
    double value = 0;
    std::memcpy(&value, record->bytes.data() + offset + talix::kLengthNumberOffset, sizeof value);
    return value;
}

// The title of the first section bar, "" when there is none.
std::string SectionTitle(const Imported& imported) {
    const ItemRecord* bar = First(imported, talix::kSigBar);
    if (bar == nullptr || bar->bytes.size() < 14) return "";
    std::string title = bar->bytes.substr(14);
    return title.substr(0, title.find('\0'));
}

// Every paragraph definition id appears in one definition only.
void ExpectDistinctDefinitions(const Imported& imported) {
    std::set<std::uint16_t> ids;
    for (const ItemRecord& record : imported.records)
        if (record.signature == talix::kSigPabDefinition) EXPECT_TRUE(ids.insert(record.Word(4)).second) << Shown(imported);
}

class LayerOptions : public StyleTest {};

TEST_F(LayerOptions, PositionedElementsAndTheirOptionText) {
    Page("<div id=a style='left:10px; top:20px; width:100px'>x</div>"
         "<div id=b style='z-index:999'>x</div><div id=c style='z-index:5'>x</div>"
         "<div id=d style='position:absolute; background-color:red' class=\"it's\" id2=x>x</div>"
         "<div id=e class='k'>x</div><p id=f>x</p>",
         "div.k { top: 1in }");
    EXPECT_EQ(talix::CalcLayerPosition(import_.get(), Id("a")), 1);
    EXPECT_EQ(talix::CalcLayerPosition(import_.get(), Id("b")), 0);
    EXPECT_EQ(talix::CalcLayerPosition(import_.get(), Id("c")), 1);
    EXPECT_EQ(talix::CalcLayerPosition(import_.get(), Id("e")), 1);   // from a rule
    EXPECT_EQ(talix::CalcLayerPosition(import_.get(), Id("f")), 0);
    EXPECT_EQ(talix::LayerOptionText(import_.get(), Id("a")), "left='10px' top='20px' width='100px' LayerHTMLID='a' ");
    EXPECT_EQ(talix::LayerOptionText(import_.get(), Id("d")),
              "position='absolute' background-color='red' LayerHTMLClass=\"it's\" LayerHTMLID='d' ");
}

TEST_F(WalkTest, PositionedDivisionsBecomeLayers) {
    const Imported layer = Import("<div style='left:10px;top:20px;width:100px'>x</div>after");
    ASSERT_EQ(layer.status, 0);
    EXPECT_EQ(layer.problem, "");
    // The layer's records, then its content and what follows it.
    EXPECT_EQ(Shown(layer).substr(0, 38), "B #6C #6B #6A P D2 R2 '' E 'x' P D3 R3");
    ExpectDistinctDefinitions(layer);
    const ItemRecord* position = First(layer, talix::kSigPositioning);
    ASSERT_NE(position, nullptr);
    EXPECT_EQ(LengthNumber(position, talix::kPositioningLeft), 10.0);
    EXPECT_EQ(LengthNumber(position, talix::kPositioningTop), 20.0);
    EXPECT_EQ(position->Dword(talix::kPositioningZIndex), 0u);
    EXPECT_EQ(LengthNumber(First(layer, talix::kSigBoxSize), talix::kBoxSizeWidth), 100.0);

    // z-index 999 alone is no layer, 5 alone is one.
    EXPECT_EQ(Import("<div style='z-index:999'>x</div>").Count(talix::kSigLayer), 0u);
    const Imported stacked = Import("<div style='z-index:5'>x</div>");
    ASSERT_NE(First(stacked, talix::kSigPositioning), nullptr);
    EXPECT_EQ(First(stacked, talix::kSigPositioning)->Dword(talix::kPositioningZIndex), 5u);
    // A hidden layer is left out, its text is kept.
    const Imported hidden = Import("<div style='left:10px;visibility:hidden'>x</div>");
    EXPECT_EQ(Shown(hidden), "'x' ''");

    // Lengths and stacking orders no layer holds stay within bounds.
    const Imported odd = Import("<div style='left:1e400px; top:-5px; width:-3in; z-index:2147483648'>x</div>"
                                "<div style='z-index:-7; height:99999999999999999999px'>y</div>");
    ASSERT_EQ(odd.status, 0);
    EXPECT_EQ(odd.problem, "");
    EXPECT_EQ(odd.Texts(), "x|y");
    EXPECT_EQ(First(odd, talix::kSigPositioning)->Dword(talix::kPositioningZIndex), 2147483648u);
}

TEST_F(WalkTest, QuotedRepliesBecomeSections) {
    const std::string header = "On Mon, Jan 1, 2024 at 10:00 AM Ann Smith &lt;";
    const Imported reply = Import("<p>a</p><div class='gmail_quote'>" + header +
                                  "<a href='mailto:ann@x.com'>ann@x.com</a>&gt; wrote:<br>"
                                  "<blockquote class='gmail_quote'>quoted</blockquote></div>after");
    ASSERT_EQ(reply.status, 0);
    EXPECT_EQ(reply.problem, "");
    ExpectDistinctDefinitions(reply);
    EXPECT_EQ(SectionTitle(reply),
              "ann@x.com---Mon, Jan 1, 2024 at 10:00 AM Ann Smith <---On Mon, Jan 1, 2024 at 10:00 AM Ann Smith <, wrote:");
    const ItemRecord* bar = First(reply, talix::kSigBar);
    EXPECT_NE(bar->Dword(4) & 0x8010u, 0u);   // border style PostReply
    // The quote and what follows go inside the section, before its closing
    // records; nothing is lost.
    EXPECT_EQ(reply.Texts(), "a|On Mon, Jan 1, 2024 at 10:00 AM Ann Smith <|ann@x.com|> wrote:|quoted|after");
    const std::string layout = Shown(reply);
    EXPECT_LT(layout.find("'quoted'"), layout.rfind("#AE"));

    // A quote whose first child is an element, or whose header is short, is
    // an ordinary block.
    const Imported element = Import("<div class='gmail_quote'><b>" + header + "</b><a href='mailto:a@x'>a@x</a></div>");
    EXPECT_EQ(element.Count(talix::kSigBar), 0u);
    EXPECT_EQ(Import("<div class='gmail_quote'>On Mon, Ann <a href='mailto:a@x'>a@x</a></div>").Count(talix::kSigBar), 0u);
    EXPECT_EQ(Import("<div class='gmail_quote'>" + header + "no link</div>").Count(talix::kSigBar), 0u);

    // A quote in a block quote opens nothing, and the text after it is kept,
    // on a line of its own.
    EXPECT_EQ(Shown(Import("<blockquote class='gmail_quote'>q</blockquote>after")), "'q' P R1 '' 'after' ''");

    // 500 replies quoted in one another: one section each, every text kept.
    std::string nested;
    for (int i = 0; i < 500; ++i) nested += "<div class='gmail_quote'>" + header + "<a href='mailto:a@x'>s" + std::to_string(i) + "</a>";
    for (int i = 0; i < 500; ++i) nested += "</div>";
    const Imported deep = Import(nested + "end");
    ASSERT_EQ(deep.status, 0);
    EXPECT_EQ(deep.problem, "");
    EXPECT_EQ(deep.Count(talix::kSigBar), 500u);
    EXPECT_NE(deep.Texts().find("s499|end"), std::string::npos);
}

TEST_F(WalkTest, SectionHeadersTitleTheirSections) {
    // A division whose header row holds the collapse image: the header's
    // texts give the title, and the header's own division is left out.
    const Imported section = Import(
        "<div><table><tr><td><img src='cid:_a_collapse'></td><td>Ann</td><td>Re: x</td><td>Mon</td></tr></table>"
        "<div>body</div></div>");
    ASSERT_EQ(section.status, 0);
    EXPECT_EQ(section.problem, "");
    EXPECT_EQ(SectionTitle(section), "Ann---Mon---Re: x");
    EXPECT_NE(section.Texts().find("body"), std::string::npos);
    ExpectDistinctDefinitions(section);

    const Imported titled = Import("<div><div><img alt='Inactive - section collapsed'>Topic</div><div>inside</div></div>");
    EXPECT_EQ(SectionTitle(titled), "Topic");
    EXPECT_EQ(titled.Texts().find("Topic"), std::string::npos);   // the header block is the title only
    EXPECT_NE(titled.Texts().find("inside"), std::string::npos);
}

TEST_F(WalkTest, DirectionAndPassthruSpans) {
    // A right-to-left paragraph: its runs and the run after its close are
    // right to left, and its definition says so; the next block clears it.
    const Imported rtl = Import("<p dir='RTL'>r</p>t<p>l</p>");
    EXPECT_EQ(Shown(rtl), "D2 R2 <> <r> P R1 <> 't' P D3 R3 '' 'l' ''");
    EXPECT_NE(rtl.records[0].Word(68) & 0x4000, 0);
    const Imported css = Import("<style>p.r { direction: rtl }</style><p class=r>r</p>");
    EXPECT_EQ(css.Run("r").signature, talix::kSigBidiText);

    // Nested pass-thru spans write one begin and one end; other spans none.
    const Imported passthru = Import(
        "<p>a<span class='NotesPassthruHTML'>x<span class='NotesPassthruHTML'>y</span>z</span>b"
        "<span class='notespassthruhtml'>c</span></p>");
    EXPECT_EQ(Shown(passthru), "D2 R2 '' 'a' #FFCC 'x' 'y' 'z' #FFCD 'b' 'c' ''");
    // One left open by the HTML is closed by the parser: text kept, the
    // brackets paired.
    const Imported open = Import("<p>a<span class='NotesPassthruHTML'>x<p>y");
    EXPECT_EQ(open.problem, "");
    EXPECT_EQ(open.Count(talix::kSigHtmlBegin), open.Count(talix::kSigHtmlEnd));
    EXPECT_EQ(open.Texts(), "a|x|y");
}

TEST_F(WalkTest, ListsLayersAndRepliesNestTogether) {
    // Each combination gives a well-formed item that keeps every word.
    const std::string reply = "<div class='gmail_quote'>On Mon, Jan 1, 2024 at 10:00 AM Ann Smith wrote "
                              "<a href='mailto:a@x'>a@x</a><p>q</p></div>";
    const std::vector<std::string> pages = {
        "<table><tr><td>" + reply + "</td><td>z</td></tr></table>after",
        "<table><tr><td><div style='left:5px'>L</div></td></tr></table>after",
        "<table><tr><td><table><tr><td><ul><li>a<ol><li>b</li></ol></li></ul>c</td></tr></table></td></tr></table>d",
        "<div style='top:3px'><ul><li>a</li></ul></div>b",
        "<ul><li><span class='NotesPassthruHTML'>&lt;b&gt;x</span></li></ul>",
        "<ul><li>a</li>" + reply + "<li>b</li></ul>c",
        "<ol><li><table><tr><td>t</td></tr></table></li><li>u</li></ol>v",
        "<ul><li><ul><li>x</li></ul></li><li>y</li></ul>z",
    };
    for (const std::string& page : pages) {
        const Imported imported = Import(page);
        EXPECT_EQ(imported.status, 0) << page;
        EXPECT_EQ(imported.problem, "") << page << "\n" << Shown(imported);
        ExpectDistinctDefinitions(imported);
        std::string words;
        for (const ItemRecord& record : imported.records)
            if (record.signature == talix::kSigText || record.signature == talix::kSigBidiText) words += record.Text();
        std::string expected;
        bool inTag = false;
        for (const char c : page) {
            if (c == '<') inTag = true;
            else if (c == '>') inTag = false;
            else if (!inTag && c != ' ' && c != '&' && c != ';') expected += c;
        }
        std::string kept;
        for (const char c : words)
            if (c != ' ' && c != '\0' && c != '<' && c != '>') kept += c;
        // The entities of the pass-thru page become their characters.
        for (const std::string entity : {"lt", "gt"}) {
            for (std::size_t at = expected.find(entity); at != std::string::npos; at = expected.find(entity))
                expected.erase(at, entity.size());
        }
        EXPECT_EQ(kept, expected) << page;
    }
}

} // namespace
