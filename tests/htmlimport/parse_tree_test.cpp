// Parsing HTML into the import's own tree: characters, clean-up passes,
// Word 2000 pages, URL images, the link text, deep nesting and bad input.
#include <random>
#include <string>

#include "htmlimport/cleanup_passes.h"
#include "htmlimport/html_input.h"
#include "htmlimport/import_options.h"
#include "htmlimport/markup_bounds.h"
#include "htmlimport/parser_drivers.h"
#include "import_fixture.h"
#include "talix_platform.h"

namespace {

using import_test::ImportTest;

class ParseTree : public ImportTest {
protected:
    std::uint16_t ParseFile(const std::string& path, const char* options = nullptr) {
        talix::ReleaseImportContext(import_.get(), context_.get());
        import_ = NewImport();
        EXPECT_EQ(talix::CopyImportOptionText(import_.get(), options, talix::ImportSource::kFile), 0);
        return talix::ParseHTMLFile(path.c_str(), "indent", import_.get());
    }
    std::string FileDump(const std::string& html) {
        EXPECT_EQ(ParseFile(WriteFile("page.htm", html)), 0);
        return BodyDump();
    }
    std::string BufferDump(const std::string& html, const char* options = nullptr) {
        EXPECT_EQ(ParseBuffer(html, options), 0) << html;
        return BodyDump();
    }
    bool Logged(const std::string& text) const {
        for (const plat::LogEntry& entry : plat::LogRecent())
            if (entry.text.find(text) != std::string::npos) return true;
        return false;
    }
};

TEST_F(ParseTree, TextArrivesInTheNativeSetWhateverTheInputEncoding) {
    const std::string native = "body(p('caf\x82'))";
    EXPECT_EQ(BufferDump("<p>caf\xC3\xA9</p>"), native);
    EXPECT_EQ(BufferDump("<p>caf&eacute;</p>"), native);
    EXPECT_EQ(BufferDump("<p>caf&#233;</p>"), native);
    EXPECT_EQ(BufferDump("<p>caf\x82</p>", "CharEncoding=raw"), native);
    EXPECT_EQ(BufferDump("<p>caf\xE9</p>", "Charset=latin1"), native);
    // A set the platform translates is read as that set.
    EXPECT_EQ(BufferDump("<p>caf\xE9</p>", "Charset='ISO-8859-1'"), native);
    // Nothing carries over to the next parse: UTF-8 again.
    EXPECT_EQ(BufferDump("<p>caf\xC3\xA9</p>"), native);
    // An unknown set name leaves UTF-8.
    EXPECT_EQ(BufferDump("<p>caf\xC3\xA9</p>", "Charset=x-unheard-of"), native);
    // Text that is not UTF-8 is read in the set its meta element declares;
    // UTF-8 stays UTF-8 whatever the meta element says, and the options
    // win over the declaration.
    const std::string declared = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">";
    EXPECT_EQ(BufferDump(declared + "<p>caf\xE9</p>"), "body(p('caf\x82'))");
    EXPECT_EQ(BufferDump("<meta charset=\"windows-1252\"><p>caf\xE9</p>"), "body(p('caf\x82'))");
    EXPECT_EQ(BufferDump(declared + "<p>caf\xC3\xA9</p>"), "body(p('caf\x82'))");
    EXPECT_EQ(BufferDump(declared + "<p>caf\xE9</p>", "CharEncoding=utf8"), "body(p('caf\x14\xFF\xFD'))");

    EXPECT_EQ(ParseFile(WriteFile("latin1.htm", "<p>caf\xE9</p>"), "CharEncoding='latin1'"), 0);
    EXPECT_EQ(BodyDump(), native);
    EXPECT_EQ(ParseFile(WriteFile("utf8.htm", "<p>caf\xC3\xA9</p>")), 0);
    EXPECT_EQ(BodyDump(), native);
    EXPECT_EQ(ParseFile(WriteFile("mac.htm", "<p>caf\x8E</p>"), "CharEncoding=mac"), 0);
    EXPECT_EQ(BodyDump(), native);

    // Hard spaces are kept where white space collapses, as plain spaces.
    EXPECT_EQ(BufferDump("<p>a&nbsp;&nbsp;b</p>"), "body(p('a  b'))");
    EXPECT_EQ(BufferDump("<p>a\xC2\xA0\xC2\xA0 b</p>"), "body(p('a   b'))");
    // Attribute values are native text too; backslashes and blanks stay.
    EXPECT_EQ(BufferDump("<a href=\"c:\\dir\\a b.htm\" title=\"&eacute;\">l</a>"),
              "body(a[href=c:\\dir\\a b.htm title=\x82]('l'))");
}

// The simplifications share one visit of the tree but decide as if each ran
// over the whole tree in turn: a list is judged by its items once the plain
// divs inside it have given way, emphasis met inside a plain div is judged
// with the div as its parent, and an empty nested emphasis that ends a list
// does not keep the list from being judged.
TEST_F(ParseTree, SimplificationsDecideAsIfOneAfterTheOther) {
    // The list's item sits in a plain div: the list is no indent.
    EXPECT_EQ(BufferDump("<ul><div><p>q</p><li>item</li></div></ul>"), "body(ul(p('q') li('item')))");
    // Without an item it is one; the file driver keeps the div.
    const std::string indent = BufferDump("<ul><div><p>only</p></div></ul>");
    EXPECT_EQ(indent.rfind("body(div[style=margin-left: 2em](", 0), 0u) << indent;
    EXPECT_EQ(FileDump("<ul><div><p>only</p></div></ul>"), "body(div[style=margin-left: 2em](div(p('only'))))");
    // Nested emphasis gives way; the last child of a list, empty, too, and
    // the list is still judged.
    EXPECT_EQ(BufferDump("<p>x<i><i></i></i></p>"), "body(p('x' i))");
    const std::string ended = BufferDump("<ul><p>x</p><b><b></b></b></ul>");
    EXPECT_EQ(ended.rfind("body(div[style=margin-left: 2em](", 0), 0u) << ended;
}

TEST_F(ParseTree, FixUpsDropTrailingBreaksAndRowGroupsAndTrimRowSpans) {
    const std::string table =
        "<table><thead><tr><td>a<br></td><td>b<font><br></font></td><td>c<font>d<br></font></td></tr></thead>"
        "<tbody><tr><td rowspan=5>e</td><td rowspan=1>f</td></tr><tr><td>g</td><td rowspan=\"3\">h</td></tr>"
        "</tbody></table><ul><li>i<br></li></ul>";
    // The buffer driver keeps row spans as written.
    EXPECT_EQ(BufferDump(table),
              "body(table(tr(td('a') td('b') td('c' font('d' br))) tr(td[rowspan=5]('e') td[rowspan=1]('f')) "
              "tr(td('g') td[rowspan=3]('h'))) ul(li('i')))");
    // The file driver trims them to the rows that remain.
    EXPECT_EQ(FileDump(table),
              "body(table(tr(td('a') td('b') td('c' font('d' br))) tr(td[rowspan=2]('e') td('f')) "
              "tr(td('g') td('h'))) ul(li('i')))");

    // A div without attributes around a p gives way in buffers only.
    const std::string divs = "<div><p>x</p></div><div id=k><p>y</p></div><div><b>z</b></div>";
    EXPECT_EQ(BufferDump(divs), "body(p('x') div[id=k](p('y')) div(b('z')))");
    EXPECT_EQ(FileDump(divs), "body(div(p('x')) div[id=k](p('y')) div(b('z')))");
}

TEST_F(ParseTree, ListsThatOnlyIndentBecomeIndentedDivisionsAndEmphasisMerges) {
    EXPECT_EQ(BufferDump("<ul><ul><li>x</li></ul></ul>"), "body(div[style=margin-left: 2em](ul(li('x'))))");
    EXPECT_EQ(BufferDump("<ul><ul><p>x</p></ul></ul>"), "body(div[style=margin-left: 4em](p('x')))");
    EXPECT_EQ(BufferDump("<ol class=k><p>x</p></ol>"), "body(div[class=k style=margin-left: 2em](p('x')))");
    EXPECT_EQ(BufferDump("<ul><li>y</li></ul><blockquote>q</blockquote>"),
              "body(ul(li('y')) blockquote('q'))");
    EXPECT_EQ(BufferDump("<p><b><b>ab</b></b><i><i>d</i></i><b><i><b>e</b></i></b></p>"),
              "body(p(b('ab') i('d') b(i(b('e')))))");

    // Logical emphasis renames what it finds (no option turns it on for an import).
    ASSERT_EQ(ParseBuffer("<p><i>a</i><b>b</b></p>"), 0);
    talix::EmFromI(*import_->document);
    EXPECT_EQ(BodyDump(), "body(p(em('a') strong('b')))");
}

TEST_F(ParseTree, Word2000PagesLoseWordsMarkup) {
    const std::string page =
        "<html xmlns:o=\"urn:schemas-microsoft-com:office:office\"><head>"
        "<meta name=Generator content=\"Microsoft Word 9\"><style>p.MsoNormal{margin:0}</style></head><body>"
        "<p class=MsoNormal style=\"margin:0\"><span lang=EN>one</span><o:p>&nbsp;</o:p></p>"
        "<p class=MsoListBullet><![if !supportLists]>*<![endif]>two</p><p class=MsoListBullet>three</p>"
        "<!-- note --><p class=MsoListNumber>four</p><p class=Quote>five</p>"
        "<table><tr><td width=20 x:num=1><![if !supportEmptyParas]>&nbsp;<![endif]><o:p></o:p></td></tr></table>"
        "</body></html>";
    EXPECT_EQ(BufferDump(page),
              "body(p('one' ' ') ul(li('two') li('three')) ol(li('four')) p[class=Quote]('five') "
              "table(tr(td(' '))))");
    EXPECT_EQ(import_->isWord2000Document, 1u);
    // Other pages keep their sections and classes.
    EXPECT_EQ(BufferDump("<p class=MsoNormal><![if !supportLists]>*<![endif]>x</p>"),
              "body(p[class=MsoNormal](<![if !supportLists]> '*' <![endif]> 'x'))");
    EXPECT_EQ(import_->isWord2000Document, 0u);
}

TEST_F(ParseTree, ImagesFromTheWebSkipRenderingOfBuffers) {
    EXPECT_EQ(ParseBuffer("<p><img src=\"http://h/a.gif\"></p>"), talix::kRenderingSkipped);
    EXPECT_TRUE(Logged("Talix: Rendering skipped due to URL images"));
    EXPECT_EQ(import_->document, nullptr);
    EXPECT_EQ(import_->doclinkText, nullptr);
    EXPECT_EQ(ParseBuffer("<p><b><img src=\"pics/a.gif\"></b></p>"), talix::kRenderingSkipped);
    EXPECT_EQ(ParseBuffer("<p><img src=\"CID:x\"><img alt=a></p>"), 0);
    // An empty source names no image anywhere: it is not refused.
    EXPECT_EQ(ParseBuffer("<p>a<img src=\"\" alt=b><img src></p>"), 0);
    EXPECT_EQ(BodyDump(), "body(p('a' img[src alt=b] img[src]))");

    plat::IniSet("ZelundaNoImageSkip", "1");
    EXPECT_EQ(ParseBuffer("<p><img src=\"http://h/a.gif\"></p>"), 0);
    plat::IniSet("ZelundaNoImageSkip", "");
    // Files are not checked.
    EXPECT_EQ(ParseFile(WriteFile("img.htm", "<img src=\"http://h/a.gif\">")), 0);
}

TEST_F(ParseTree, TheLinkTextComesFromNotesIniWithoutQuotesAndAtMost64Characters) {
    ASSERT_EQ(ParseBuffer("<p>x</p>"), 0);
    EXPECT_STREQ(import_->doclinkText, "Link");
    plat::IniSet("ZelundaDocLinkText", ("\"" + std::string(70, 'w') + "\"").c_str());
    ASSERT_EQ(ParseBuffer("<p>x</p>"), 0);
    EXPECT_EQ(std::string(import_->doclinkText), std::string(64, 'w'));
    plat::IniSet("ZelundaDocLinkText", "");
}

TEST_F(ParseTree, BadInputEndsWithAStatusAndAnIntactTree) {
    std::mt19937 random(28);
    std::string garbage(4096, '\0');
    for (char& c : garbage) c = static_cast<char>(random() & 0xFF);
    const std::string inputs[] = {
        "<", "a < b <<< >>", "<p><b>x</p></b><table><td>y</table></i>", std::string("<p>a\0b</p>", 10),
        "<p>\xFF\xFE\xC3 x</p>", garbage, "<!-- open comment", "<![CDATA[x", "<p title=\"unclosed>x",
        "&#xFFFFFFFF; &#0; &bogus;", "x<?bp?>", "a<?b?><?p>", "<?bp<b?><?p>",
    };
    for (const std::string& input : inputs) {
        EXPECT_EQ(ParseBuffer(input), 0);
        ASSERT_NE(import_->document, nullptr);
        EXPECT_TRUE(talix::CheckTreeIntegrity(*import_->document));
    }
    EXPECT_EQ(talix::ParseHTMLBuffer(nullptr, 0, "indent", import_.get(), context_.get()), talix::kNoHtmlInput);
    EXPECT_EQ(ParseBuffer(""), talix::kNoHtmlInput);
    EXPECT_EQ(ParseFile(dir_.file("missing.htm")), talix::kNoHtmlInput);
    EXPECT_EQ(ParseFile(dir_.path().string()), talix::kNoHtmlInput);
    EXPECT_EQ(talix::ParseHTMLFromRichText(nullptr, nullptr, "indent", import_.get()), talix::kNoHtmlInput);
    // Input larger than the parser is given is refused before parsing.
    EXPECT_EQ(ParseBuffer(std::string(talix::kMaxHtmlInput + 1, 'a')), talix::kHtmlPastBound);
    // A comment left open to the end is counted as an error.
    EXPECT_EQ(ParseBuffer("<p>x<!-- y</p>"), 0);
    EXPECT_GT(import_->parseErrors, 0u);
    // An element the parser does not know is none: it is taken as inline.
    EXPECT_EQ(ParseBuffer("<p><blorf>x</blorf></p>"), 0);
    EXPECT_EQ(import_->parseErrors, 0u);
    // The elements declared besides the standard ones are no errors.
    EXPECT_EQ(ParseBuffer("<p><v:imagedata src=a.gif><w:wrap type=none><inputtarea name=f>x</p>"), 0);
    EXPECT_EQ(import_->parseErrors, 0u);
}

TEST_F(ParseTree, NestingUpToTheBoundParsesDeeperIsRefused) {
    const int depth = static_cast<int>(talix::kMaxHtmlNesting);
    std::string divs, bold;
    for (int i = 0; i < depth; ++i) divs += "<div>";
    for (int i = 0; i < 500; ++i) bold += "<b>";
    bold += "y";
    ASSERT_EQ(ParseBuffer(divs + "x"), 0);
    int levels = 0;
    const talix::HtmlNode* node = import_test::Body(*import_->document);
    while (node->firstChild != nullptr && node->firstChild->Is(talix::HtmlTag::kDiv)) {
        node = node->firstChild;
        ++levels;
    }
    EXPECT_EQ(levels, depth);
    EXPECT_EQ(import_->document->Text(node->firstChild), "x");
    // The nesting is counted as the parser descends: a little past the
    // bound may still parse, twice as deep does not.
    EXPECT_EQ(ParseBuffer(divs + divs + "x"), talix::kHtmlPastBound);
    // Nested bold is one element for the parser, which merges it.
    ASSERT_EQ(ParseBuffer(bold), 0);
    EXPECT_EQ(BodyDump(), "body(b('y'))");
}

TEST_F(ParseTree, AncestorLookUpsFindEnclosingElements) {
    ASSERT_EQ(ParseBuffer("<ol><li>a<ul><li><b>x</b></li></ul></li></ol>"), 0);
    const talix::HtmlNode* bold = import_test::Body(*import_->document);
    while (bold != nullptr && !bold->Is(talix::HtmlTag::kB)) bold = talix::NextInside(const_cast<talix::HtmlNode*>(bold), nullptr);
    ASSERT_NE(bold, nullptr);
    EXPECT_EQ(talix::CountEnclosingLists(bold->firstChild, "ol", "ul"), 2);
    EXPECT_EQ(talix::CountEnclosingLists(bold, "UL", nullptr), 1);
    const talix::HtmlNode* item = talix::FindAncestorElement(bold, "LI", nullptr);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->parent->tag, talix::HtmlTag::kUl);
    EXPECT_EQ(talix::FindAncestorElement(bold, "table", "td"), nullptr);
    EXPECT_EQ(talix::FindAncestorElement(bold, "", nullptr), nullptr);
    EXPECT_STREQ(talix::AttributeValue(bold, "title"), nullptr);
}

TEST_F(ParseTree, TheIntegrityCheckFindsBrokenLinks) {
    ASSERT_EQ(ParseBuffer("<p>a<b>b</b></p><p>c</p>"), 0);
    talix::HtmlDocument& document = *import_->document;
    EXPECT_TRUE(talix::CheckTreeIntegrity(document));
    talix::HtmlNode* p = import_test::Body(document) == nullptr ? nullptr
                                                                 : const_cast<talix::HtmlNode*>(
                                                                       import_test::Body(document)->firstChild);
    ASSERT_NE(p, nullptr);
    talix::HtmlNode* bold = p->lastChild;
    bold->parent = p->next;
    EXPECT_FALSE(talix::CheckTreeIntegrity(document));
    bold->parent = p;
    p->lastChild = p->firstChild;
    EXPECT_FALSE(talix::CheckTreeIntegrity(document));
    p->lastChild = bold;
    bold->next = p->firstChild;   // a cycle
    EXPECT_FALSE(talix::CheckTreeIntegrity(document));
    bold->next = nullptr;
    EXPECT_TRUE(talix::CheckTreeIntegrity(document));
    // A sibling link back, a leaf claiming a last child, a child pointing up
    // into its ancestors, and the root's own last child.
    talix::HtmlNode* before = bold->prev;
    bold->prev = nullptr;
    EXPECT_FALSE(talix::CheckTreeIntegrity(document));
    bold->prev = before;
    talix::HtmlNode* text = bold->firstChild;
    ASSERT_NE(text, nullptr);
    text->lastChild = p;
    EXPECT_FALSE(talix::CheckTreeIntegrity(document));
    text->firstChild = p;
    EXPECT_FALSE(talix::CheckTreeIntegrity(document));
    text->firstChild = text->lastChild = nullptr;
    talix::HtmlNode* root = document.Root();
    talix::HtmlNode* last = root->lastChild;
    root->lastChild = root->firstChild == last ? nullptr : root->firstChild;
    EXPECT_FALSE(talix::CheckTreeIntegrity(document));
    root->lastChild = last;
    EXPECT_TRUE(talix::CheckTreeIntegrity(document));
}

} // namespace
