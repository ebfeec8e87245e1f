// Style sheets into rule lists: the selectors kept and dropped, at-rules,
// linked sheets read from local paths, and bad input.
#include <string>
#include <vector>

#include "htmlimport/local_files.h"
#include "style_fixture.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace {

using import_test::StyleTest;

using talix_test::CollectMessage;
using talix_test::g_messages;

class CssRules : public StyleTest {
protected:
    void SetUp() override {
        StyleTest::SetUp();
        g_messages.clear();
        plat::RegisterMessageProc(CollectMessage);
    }
    void TearDown() override {
        plat::RegisterMessageProc(nullptr);
        StyleTest::TearDown();
    }
    // The rules of a fresh list: "element.class<outer<outer{declarations}",
    // "{-}" for a rule without declaration text.
    std::vector<std::string> Rules(const std::string& css) {
        import_->styleRules1.Clear();
        Sheet(css);
        return Listed();
    }
    std::vector<std::string> Listed() const {
        std::vector<std::string> listed;
        const talix::CSSRuleList& rules = import_->styleRules1;
        for (std::size_t n = 0; n < rules.Size(); ++n) {
            std::string text;
            for (const talix::CSSSelector* s = rules[n].selector(); s != nullptr; s = s->outer) {
                if (s != rules[n].selector()) text += "<";
                text += s->element;
                if (!s->className.empty()) text += "." + s->className;
                EXPECT_EQ(s->relation, 1);
            }
            text += "{" + rules[n].declarationText.value_or("-") + "}";
            listed.push_back(text);
        }
        return listed;
    }
    using Texts = std::vector<std::string>;
};

TEST_F(CssRules, SelectorsKeptAndDropped) {
    EXPECT_EQ(Rules("p { color: red }"), Texts{"p{ color: red }"});
    EXPECT_EQ(Rules("h1.title{color:red}"), Texts{"h1.title{color:red}"});
    EXPECT_EQ(Rules("p.a, p.b { margin: 0 }"), (Texts{"p.a{ margin: 0 }", "p.b{ margin: 0 }"}));
    EXPECT_EQ(Rules("div p { color: red }"), Texts{"p<div{ color: red }"});
    EXPECT_EQ(Rules("body div.box P.Note{x:y}"), Texts{"P.Note<div.box<body{x:y}"});
    EXPECT_EQ(Rules(".note{x:y}\n\th2\n{a:b}"), (Texts{".note{x:y}", "h2{a:b}"}));
    EXPECT_EQ(Rules("a:link { color: blue } A:LINK.x{c:d}"), (Texts{"a{ color: blue }", "A.x{c:d}"}));

    for (const char* dropped : {"a:hover { color: red }", ".my-class { x: y }", "ul > li { x: y }", "* { x: y }",
                                "#x { x: y }", "p[lang] { x: y }", "a:linked { x: y }", "<!x p { color: red } ->",
                                "/* p { x: y } */", "{ x: y }"})
        EXPECT_EQ(Rules(dropped), Texts{}) << dropped;
    // An id at the start of a group drops only itself; any other bad
    // selector drops the rest of its group.
    EXPECT_EQ(Rules("#x, p { c: d }"), Texts{"p{ c: d }"});
    // The elements an id selector names inside that element are not every
    // such element.
    EXPECT_EQ(Rules("#main p { c: d } #head a, #foot .x, i { e: f }\n#x\nb { g: h } #y{a:b}u{c:d}"),
              (Texts{"i{ e: f }", "u{c:d}"}));
    EXPECT_EQ(Rules("p, a:hover, b { c: d } i { e: f }"), (Texts{"p{ c: d }", "i{ e: f }"}));
    // The "<!--" and "-->" that hide a style text from old browsers are no
    // comment: the rules between them count, as in a browser.
    EXPECT_EQ(Rules("<!-- p { c: d } --> b { e: f }"), (Texts{"p{ c: d }", "b{ e: f }"}));
    EXPECT_EQ(Rules("\n<!--\np.x{c:d}\n-->\n"), Texts{"p.x{c:d}"});
    EXPECT_EQ(Rules("<!--p{c:d}-->i{e:f}<!--"), (Texts{"p{c:d}", "i{e:f}"}));
    EXPECT_EQ(Rules("<!x p { c: d } -> b { e: f }"), Texts{"b{ e: f }"});
    // Nor is the CDATA section that wraps the style text of XHTML.
    EXPECT_EQ(Rules("<![CDATA[\np.x { c: d }\ni{e:f}]]>"), (Texts{"p.x{ c: d }", "i{e:f}"}));
    EXPECT_EQ(Rules("<![CDATA p { c: d } -> b { e: f }"), Texts{"b{ e: f }"});
    // Empty blocks keep their rule but hold nothing.
    EXPECT_EQ(Rules("p {}"), Texts{"p{-}"});
}

TEST_F(CssRules, AStyleTextWrappedForOldBrowsersStyles) {
    Page("<p id=p class=MsoNormal>a</p><i id=i>b</i>",
         "<!--\n/* Style Definitions */\np.MsoNormal { margin: 0cm; font-family: \"Calibri\", sans-serif }\n"
         "i { color: red }\n-->");
    EXPECT_EQ(Value("p", "font-family"), "\"Calibri\", sans-serif");
    EXPECT_EQ(Value("p", "margin-left"), "0cm");
    EXPECT_EQ(Value("i", "color"), "red");
}

TEST_F(CssRules, AtRulesAreSkippedAndAnnounced) {
    EXPECT_EQ(Rules("@import url(x.css);\np { color: red }"), Texts{"p{ color: red }"});
    EXPECT_EQ(g_messages, Texts{"Talix: Ignoring @import rules for now"});
    g_messages.clear();
    EXPECT_EQ(Rules("@charset \"utf-8\"; @FONT-FACE { font-family: x } @page { margin: 1in } @media print { p "
                    "{ a: b } div { c: d } } i { e: f }"),
              Texts{"i{ e: f }"});
    EXPECT_EQ(g_messages, (Texts{"Talix: Ignoring @charset rules for now", "Talix: Ignoring @font-face rules for now",
                                 "Talix: Ignoring @media rules for now"}));
}

TEST_F(CssRules, RulesInsideAtRuleBlocksApplyToNothing) {
    // The rules of a media block are for print or for other screens: all
    // of them are left out, not the first only.
    Page("<p id=p class=c>a</p><td id=d>b</td><i id=i>c</i>",
         "@media only screen and (max-width: 480px) { p.c { font-size: 30px } td { color: white } "
         "@supports (display: grid) { i { color: red } } } p { font-size: 10pt } "
         "@media print { i { display: none } p { color: gray }");
    EXPECT_EQ(Value("p", "font-size"), "10pt");
    EXPECT_EQ(Value("d", "color"), "-");
    EXPECT_EQ(Value("i", "color"), "-");
    EXPECT_EQ(Value("p", "color"), "-");
    EXPECT_EQ(Rules("@page :first { margin: 1in } @font-face { font-family: x } h1 { a: b }"), Texts{"h1{ a: b }"});
    EXPECT_EQ(Rules("@media print { /* { */ p { a: b } } h2 { c: d } @media x { /* } */ i { e: f } } h3{g:h}"),
              (Texts{"h2{ c: d }", "h3{g:h}"}));
}

TEST_F(CssRules, BadInputEndsWithinTheText) {
    EXPECT_EQ(Rules("p { a: b } /* never closed i { c: d }"), Texts{"p{ a: b }"});
    EXPECT_EQ(Rules("p { color: red"), Texts{});
    EXPECT_EQ(Rules("<!-- p { a: b }"), Texts{"p{ a: b }"});
    EXPECT_EQ(Rules("<!- p { a: b }"), Texts{});
    EXPECT_EQ(Rules("@import url(x.css)"), Texts{});
    EXPECT_EQ(Rules("@media a { @media b { p { a: b } } } div { c: d }"), Texts{"div{ c: d }"});
    EXPECT_EQ(Rules("p { content: \"abc } div { x: y }"), (Texts{"p{ content: \"abc }", "div{ x: y }"}));
    EXPECT_EQ(Rules("p, "), Texts{});
    EXPECT_EQ(Rules("p ,,{a:b}"), Texts{"p{a:b}"});
    // Only the given length is read.
    const std::string text = "p{a:b}i{c:d}";
    import_->styleRules1.Clear();
    ASSERT_EQ(talix::ParseCSSRules(import_.get(), text.data(), 6), 0);
    EXPECT_EQ(Listed(), Texts{"p{a:b}"});

    // A block of more than 4,096 characters keeps its rule without text.
    EXPECT_EQ(Rules("p {" + std::string(4097, ' ') + "}"), Texts{"p{-}"});
    EXPECT_EQ(Rules("p {" + std::string(4095, ' ') + "}")[0].size(), 4098u);

    // A selector of 10,000 characters, and a chain of 2,500 compounds.
    std::string name(10000, 'x');
    EXPECT_EQ(Rules(name + "{a:b}"), Texts{name + "{a:b}"});
    std::string chain;
    for (int n = 0; n < 2500; ++n) chain += "div ";
    import_->styleRules1.Clear();
    Sheet(chain + "p { a: b }");
    ASSERT_EQ(import_->styleRules1.Size(), 1u);
    EXPECT_EQ(import_->styleRules1[0].compounds.size(), 2501u);

    // 100,000 rules.
    std::string many;
    for (int n = 0; n < 100000; ++n) many += "p.c" + std::to_string(n) + "{color:red}\n";
    import_->styleRules1.Clear();
    Sheet(many);
    EXPECT_EQ(import_->styleRules1.Size(), 100000u);
}

TEST_F(CssRules, LinkedSheetsAreReadWholeFromLocalPaths) {
    // A rule of more than 3,000 characters that begins after the first 2,000.
    std::string sheet = "/* site sheet */\r\n";
    for (int n = 0; n < 100; ++n) sheet += "h" + std::to_string(n % 6 + 1) + ".c" + std::to_string(n) + " {\tcolor: red; }\n";
    sheet += "p.big {\n";
    for (int n = 0; n < 300; ++n) sheet += "\tx-" + std::to_string(n) + ": 1px;\n";
    sheet += "\tcolor: /* the colour */ green;\n}\n";
    ASSERT_GT(sheet.size(), 5000u);
    WriteFile("site.css", sheet);

    std::string drivePath = "c:" + dir_.file("site.css");
    for (char& c : drivePath)
        if (c == '/') c = '\\';
    Page("<link id=rel rel=stylesheet href='site.css'><link id=abs href='" + drivePath +
             "'><link id=web rel=stylesheet href='http://example.com/site.css'><link id=icon rel=icon "
             "href='x.ico'><link id=none rel=stylesheet><link id=up rel=stylesheet href='../../site.css'>"
             "<link id=gone rel=stylesheet href='gone.css'><p class=big id=p>x</p>",
         "", "Duzuvore=FCKeditor");

    // Without a local base path a relative href is not read.
    EXPECT_EQ(talix::LoadLinkedStyleSheet(import_.get(), Id("rel")), 259);
    // A drive-letter base path with backslashes.
    std::string base = "c:" + dir_.path().string() + "/";
    for (char& c : base)
        if (c == '/') c = '\\';
    std::snprintf(import_->basePath, sizeof import_->basePath, "%s", base.c_str());
    import_->localDirectory = talix::LocalDirectory(base);
    EXPECT_EQ(talix::LoadLinkedStyleSheet(import_.get(), Id("rel")), 0);
    EXPECT_EQ(import_->styleRules1.Size(), 101u);
    EXPECT_EQ(Value("p", "color"), "green");
    EXPECT_EQ(Value("p", "x-299"), "1px");
    EXPECT_EQ(import_->styleRules1[0].declarationText, " color: red; ");

    // The web editor's "../../" loses its first five characters: "/site.css"
    // after a base without its last separator.
    import_->styleRules1.Clear();
    base.pop_back();
    std::snprintf(import_->basePath, sizeof import_->basePath, "%s", base.c_str());
    EXPECT_EQ(talix::LoadLinkedStyleSheet(import_.get(), Id("up")), 0);
    EXPECT_EQ(import_->styleRules1.Size(), 101u);

    import_->styleRules1.Clear();
    EXPECT_EQ(talix::LoadLinkedStyleSheet(import_.get(), Id("web")), 259);
    EXPECT_EQ(talix::LoadLinkedStyleSheet(import_.get(), Id("icon")), 0);
    EXPECT_EQ(talix::LoadLinkedStyleSheet(import_.get(), Id("none")), 0);
    EXPECT_EQ(talix::LoadLinkedStyleSheet(import_.get(), Id("gone")), 259);
    EXPECT_EQ(import_->styleRules1.Size(), 0u);
    // An absolute href is not read, whatever the base (a link without rel
    // is a style sheet).
    EXPECT_EQ(talix::LoadLinkedStyleSheet(import_.get(), Id("abs")), 259);
    import_->basePath[0] = '\0';
    EXPECT_EQ(talix::LoadLinkedStyleSheet(import_.get(), Id("abs")), 259);
    EXPECT_EQ(import_->styleRules1.Size(), 0u);
}

} // namespace
