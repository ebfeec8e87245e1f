// Pass-through HTML in the two formats: HTML 4.01 copies the author's
// markup as it stands; XHTML parses it and writes it back well-formed.
#include <gtest/gtest.h>

#include <string>

#include "generation_fixture.h"
#include "support/markup_validators.h"
#include "talix_platform.h"

namespace {

using htmlgen_test::Body;
using htmlgen_test::Definition;
using htmlgen_test::GenerationTest;
using htmlgen_test::Has;
using htmlgen_test::ParagraphBreak;
using htmlgen_test::Plain;
using htmlgen_test::Records;
using htmlgen_test::Reference;
using htmlgen_test::TextBytes;
using htmlgen_test::TextRun;

class PassthruXhtml : public GenerationTest {
protected:
    // Text, then the stretch (its pieces as text runs, a paragraph record
    // between the first two), then text.
    ZervaRTChunk* Stretch(const std::vector<std::string>& pieces) {
        Records records = {Definition(1), Reference(1), TextRun(1, 0, 2, 12, "before"), Plain(0xFFCC, 8)};
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            records.push_back(TextBytes(plat::NativeToLmbcs(pieces[i])));
            if (i == 0) records.push_back(ParagraphBreak());
        }
        records.push_back(Plain(0xFFCD, 8));
        records.push_back(TextBytes("after"));
        return Define(records);
    }
};

TEST_F(PassthruXhtml, AwkwardMarkupIsWrittenBackWellFormed) {
    const std::string zero(1, '\0');
    ZervaRTChunk* chunk =
        Stretch({"<STYLE>p.q { color: red } td > b {}</STYLE><B>bold<br>" + zero + "line</b>",
                 "<script>if (a && b < c) { s = ']]>'; }</script><!-- two -- dashes -->",
                 "<IMG SRC=x.gif ALT='a \"q\"' ISMAP><td>stray cell</td><div id=d id=e>open <i>été",
                 "<?php echo 1; ?></p></table>"});

    // HTML 4.01: as it stands where it was typed (inside the span of the
    // text before), a zero byte as a line end.
    const std::string html = Body(Generate(chunk, "HTML", nullptr));
    EXPECT_TRUE(Has(html, "before<STYLE>p.q { color: red } td > b {}</STYLE><B>bold<br>\r\nline</b>"
                          "<script>if (a && b < c)"))
        << html;
    EXPECT_TRUE(Has(html, "<?php echo 1; ?></p></table></span>after")) << html;

    const std::string xhtml = Generate(chunk, "XHTML", nullptr);
    std::string report;
    EXPECT_TRUE(talix_test::XmlWellFormed(xhtml, &report)) << report << xhtml;
    const std::string body = Body(xhtml);
    // Lower-case names, empty elements closed, every attribute quoted and
    // given a value, a repeated attribute once.
    EXPECT_TRUE(Has(body, "<b>bold<br />")) << body;
    EXPECT_TRUE(Has(body, "<img src=\"x.gif\" alt=\"a &quot;q&quot;\" ismap=\"ismap\" />")) << body;
    EXPECT_TRUE(Has(body, "<div id=\"e\">open <i>&eacute;t&eacute;") || Has(body, "<div id=\"d\">open <i>&eacute;t&eacute;"))
        << body;
    // Script and style contents in CDATA sections, kept whole; a "]]>" in
    // them splits the section.
    EXPECT_TRUE(Has(body, "<script>//<![CDATA[\nif (a && b < c) { s = ']]]]><![CDATA[>'; }\n//]]></script>")) << body;
    EXPECT_TRUE(Has(body, "/*<![CDATA[*/\np.q { color: red } td > b {}\n/*]]>*/")) << body;
    // A comment without "--"; a processing instruction as a comment; a cell
    // outside any table leaves its text; stray end tags leave nothing.
    EXPECT_TRUE(Has(body, "<!-- two - - dashes -->")) << body;
    EXPECT_TRUE(Has(body, "<!--php echo 1; -->")) << body;
    EXPECT_FALSE(Has(body, "<td>")) << body;
    EXPECT_TRUE(Has(body, "stray cell")) << body;
    EXPECT_TRUE(Has(body, "after")) << body;
}

// Control characters XML forbids anywhere leave nothing in script, style
// and comments, where no reference can stand for them; everything else
// there stays as it was (a zero byte in a record is a line end).
TEST_F(PassthruXhtml, CharactersXmlForbidsLeaveNothingInScriptsStylesAndComments) {
    const std::string zero(1, '\0');
    ZervaRTChunk* chunk = Stretch({"<script>\r" + zero + "var a = '\x01\x1b\xc3\xa9';</script>",
                                   "<style>p{}\x0b\x1f</style><!-- a\x01" + zero + "b \xc3\xa9\x7f -->"});
    const std::string xhtml = plat::LmbcsToNative(Generate(chunk, "XHTML", nullptr));
    std::string report;
    EXPECT_TRUE(talix_test::XmlWellFormed(xhtml, &report)) << report << xhtml;
    const std::string body = Body(xhtml);
    EXPECT_TRUE(Has(body, "<script>//<![CDATA[\n\r\nvar a = '\xc3\xa9';\n//]]></script>")) << body;
    EXPECT_TRUE(Has(body, "<style>/*<![CDATA[*/\np{}\n/*]]>*/</style>")) << body;
    EXPECT_TRUE(Has(body, "<!-- a\nb \xc3\xa9\x7f -->")) << body;
}

TEST_F(PassthruXhtml, MarkupStandsInsideTheFormattingOfTheTextAroundIt) {
    // Bold 14-point text around pass-through: inline markup stays inside the
    // span of the size in both formats (the bold ends with each run); a
    // block ends the span first in XHTML alone (HTML 4.01 copies it where it
    // was typed), and the text after it opens its own again.
    auto around = [&](const std::string& html) {
        return Define({Definition(1), Reference(1), TextRun(1, 0x01, 0, 14, "a"), Plain(0xFFCC, 8), TextBytes(html),
                       Plain(0xFFCD, 8), TextRun(1, 0x01, 0, 14, "b")});
    };
    const std::string size = "<span style=\"font-size: 14pt; \">";
    ZervaRTChunk* inline_ = around("<i>x</i>");
    for (const char* format : {"HTML", "XHTML"}) {
        const std::string markup = Generate(inline_, format, nullptr);
        EXPECT_TRUE(Has(Body(markup), size + "<b>a</b><i>x</i><b>b</b></span>")) << format << Body(markup);
        std::string report;
        EXPECT_EQ(talix_test::TidyErrors(markup, &report), 0) << report;
        EXPECT_EQ(report.find("missing </"), std::string::npos) << format << report;
    }
    ZervaRTChunk* block = around("<div>x</div>");
    const std::string html = Body(Generate(block, "HTML", nullptr));
    EXPECT_TRUE(Has(html, size + "<b>a</b><div>x</div><b>b</b></span>")) << html;
    const std::string xhtml = Generate(block, "XHTML", nullptr);
    EXPECT_TRUE(Has(Body(xhtml), size + "<b>a</b></span><div>x</div>" + size + "<b>b</b></span>")) << Body(xhtml);
    std::string report;
    EXPECT_TRUE(talix_test::XhtmlValid(xhtml, &report)) << report << xhtml;
}

TEST_F(PassthruXhtml, MarkupTypedInBracketsUnderAPreset) {
    // Under a preset a run of "[<...]" is markup: as it stands in HTML,
    // written back well-formed in XHTML.
    ZervaRTChunk* chunk = Define({Definition(1), Reference(1), TextBytes("[<BR><P CLASS=x>open]"), TextBytes("after")});
    EXPECT_TRUE(Has(Body(Generate(chunk, "HTML", "Zelunda=Yes")), "<BR><P CLASS=x>open")) << Generate(chunk, "HTML", "Zelunda=Yes");
    const std::string xhtml = Generate(chunk, "XHTML", "Zelunda=Yes");
    std::string report;
    EXPECT_TRUE(talix_test::XmlWellFormed(xhtml, &report)) << report << xhtml;
    EXPECT_TRUE(Has(xhtml, "<br /><p class=\"x\">open</p>")) << xhtml;
}

TEST_F(PassthruXhtml, EveryAwkwardSnippetLeavesTheDocumentWellFormed) {
    // Text that is no markup at all, markup cut off anywhere, and nesting
    // the parser must mend.
    const std::vector<std::string> snippets = {
        "a && b < c > d & e;", "<", "<div", "<div><span><p>", "</b></i>", "<![CDATA[ x < y ]]>", "<!--",
        "<table><tr><td>x", "<li>item<li>next", "<o:p>office</o:p>", "<a href=x><a href=y>nested</a></a>",
        "<frameset><frame src=x></frameset>", "&bogus; &#0; &#xD800;", "<p title=\"\x01\">control</p>"};
    for (const std::string& snippet : snippets) {
        ZervaRTChunk* chunk = Stretch({snippet});
        const std::string xhtml = Generate(chunk, "XHTML", nullptr);
        std::string report;
        EXPECT_TRUE(talix_test::XmlWellFormed(xhtml, &report)) << snippet << ": " << report << "\n" << Body(xhtml);
        EXPECT_TRUE(Has(xhtml, "after")) << snippet;
    }
}

// Pass-through markup past a bound of the parser (nesting, attributes,
// attribute names, fonts opened again) is written as escaped text, the log saying why; the
// document stays well-formed and goes on after it. (The shapes are kept
// small enough for the generation's block; the benchmarks time them at
// 100,000 repetitions.)
TEST_F(PassthruXhtml, MarkupPastABoundOfTheParserIsWrittenAsText) {
    auto repeat = [](const std::string& piece, int times) {
        std::string text;
        for (int i = 0; i < times; ++i) text += piece;
        return text;
    };
    std::string attributes = "<p";
    for (int i = 0; i < 1200; ++i) attributes += " a" + std::to_string(i) + "=1";
    attributes += ">x</p>";
    const struct {
        std::string markup;
        const char* why;
    } cases[] = {
        {"<textarea>" + repeat("<div>", 3000), "HTML nested more than 1000 elements deep (at byte "},
        {repeat("<ul><li>", 2000), "HTML nested more than 1000 elements deep (at byte "},
        {attributes, "an HTML element with more than 1000 attributes (at byte "},
        {"<p " + std::string(20000, 'a') + "=1>x</p>", "an HTML attribute name longer than 256 bytes (at byte "},
        {repeat("<div><font>x</div>", 400), "open more than 50000 times again (at byte "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        // The stretch in text runs of 30,000 bytes.
        std::vector<std::string> pieces;
        for (std::size_t at = 0; at < c.markup.size(); at += 30000) pieces.push_back(c.markup.substr(at, 30000));
        plat::LogClearRecent();
        const std::string xhtml = Generate(Stretch(pieces), "XHTML", nullptr);
        std::string report;
        EXPECT_TRUE(talix_test::XmlWellFormed(xhtml, &report)) << report;
        EXPECT_TRUE(Has(xhtml, "&lt;")) << xhtml.substr(0, 600);
        EXPECT_TRUE(Has(xhtml, "after"));
        bool logged = false;
        for (const plat::LogEntry& entry : plat::LogRecent())
            logged = logged || (Has(entry.text, "Pass-through HTML written as text: ") && Has(entry.text, c.why));
        EXPECT_TRUE(logged);
    }
    // Below the bounds the markup is written back as elements.
    const std::string xhtml = Generate(Stretch({repeat("<div>", 300) + "deep"}), "XHTML", nullptr);
    EXPECT_TRUE(Has(xhtml, "<div><div>")) << xhtml.substr(0, 600);
}

// A generation's base path longer than its buffer is refused, with a
// message, instead of being cut into another path.
TEST_F(PassthruXhtml, ABasePathLongerThanItsBufferIsRefused) {
    ZervaRTChunk* chunk = Stretch({"<b>x</b>"});
    const std::string fits = "BasePathname=" + std::string(255, 'p');
    EXPECT_TRUE(Has(Generate(chunk, "HTML", fits.c_str()), "<b>x</b>"));
    EXPECT_EQ(chunk->lastStatus, 0);
    plat::LogClearRecent();
    Generate(chunk, "HTML", (fits + "p").c_str());
    EXPECT_EQ(chunk->lastStatus, talix::kArgumentError);
    bool logged = false;
    for (const plat::LogEntry& entry : plat::LogRecent())
        logged = logged || Has(entry.text, "the option BasePathname= is longer than the 255 bytes it may have");
    EXPECT_TRUE(logged);
}

} // namespace
