// Collapsible sections rendered by a generation: the plain style, the CSS
// style with its expand and collapse blocks, and the ZelundaSections style
// with its title bars, message headers and closing rules.
#include <gtest/gtest.h>

#include <string>

#include "active_content_fixture.h"
#include "support/markup_validators.h"
#include "support/record_fixture.h"

namespace htmlgen_test {
namespace {

constexpr std::uint32_t kExpanded = 0x10;

std::uint32_t Border(std::uint32_t style) { return style << 28; }

// A section as the section builder writes one: its hotspot, its bar between
// brackets, the body, the hotspot's end.
Records Section(std::uint32_t flags, const std::string& title, const std::string& body, const Records& afterBar = {}) {
    Records records = {Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFAD, 12, 8, {}), Bracket(0xDD, 0xFFAC),
                       SectionBar(flags, title)};
    records.insert(records.end(), afterBar.begin(), afterBar.end());
    records.push_back(Bracket(0xDE, 0xFFAC));
    records.push_back(TextBytes(body));
    records.push_back(HotspotEnd());
    records.push_back(Bracket(0xDE, 0x00AE));
    return records;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

class SectionsTest : public ActiveContentTest {};

TEST_F(SectionsTest, CSSSectionsGetNumberedBlocksThatCloseWithTheirSection) {
    Records records;
    for (int i = 1; i <= 3; ++i) {
        const Records section = Section(i == 1 ? kExpanded : 0, "Title " + std::to_string(i), "body " + std::to_string(i));
        records.insert(records.end(), section.begin(), section.end());
        records.push_back(TextBytes(" between"));
    }
    ZervaRTChunk* chunk = Define(records);
    const std::string body = Body(chunk, "SectionsInCSS=Yes");
    EXPECT_NE(body.find("<div id=\"sctn1c\" style=\"display: none\">"), std::string::npos) << body;
    EXPECT_NE(body.find("<div id=\"sctn1e\" style=\"display: block\">"), std::string::npos);
    EXPECT_NE(body.find("<div id=\"sctn2c\" style=\"display: block\">"), std::string::npos);
    EXPECT_NE(body.find("<div id=\"sctn3e\" style=\"display: none\">"), std::string::npos);
    EXPECT_NE(body.find("expandCollapseSection(3,'c')"), std::string::npos);
    // Each body closes with its section: the text between sections lies
    // outside every section's block.
    EXPECT_NE(body.find("</a></h3>\nbody 1</div> between"), std::string::npos) << body;
    EXPECT_NE(body.find("</a></h3>\nbody 3</div> between"), std::string::npos) << body;
    // The heading holds the link that switches the section.
    EXPECT_NE(body.find("<h3><a href=\"#\" onclick=\"expandCollapseSection(1,'e')\">"), std::string::npos) << body;

    const std::string xhtml = Generate(chunk, "XHTML", "SectionsInCSS=Yes");
    std::string report;
    EXPECT_TRUE(talix_test::XmlWellFormed(xhtml, &report)) << report << xhtml;

    // The plain style: a rule and the title.
    EXPECT_NE(Body(chunk, nullptr).find("<hr />Title 1body 1"), std::string::npos) << Body(chunk, nullptr);
    EXPECT_NE(Body(chunk, "SectionOpenTag=<h2> SectionCloseTag=</h2>").find("<h2>Title 2</h2>body 2"),
              std::string::npos);
}

TEST_F(SectionsTest, ZelundaSectionsDrawTitleBarsAndClosingRules) {
    Records records = Section(Border(5), "Five", "inside", {Colour(0x12, 0x34, 0x56)});
    const Records plain = Section(Border(1), "One", "second");
    records.insert(records.end(), plain.begin(), plain.end());
    ZervaRTChunk* chunk = Define(records);
    const std::string body = Body(chunk, "ZelundaSections=Yes");
    EXPECT_NE(body.find("<img src='/icons/graycol.gif' border='0' width='16' height='16' alt='Click to collapse "
                        "section'>Five</td></tr></table>inside"),
              std::string::npos)
        << body;
    EXPECT_NE(body.find("inside<hr width='100%' size='1px' color='#123456' style='margin-top: 0.25em;'><br>"
                        "<hr width='100%' size='1px' color='#123456'>"),
              std::string::npos)
        << body;
    // Border style 1 ends with no rule.
    EXPECT_EQ(Count(body, "<hr"), 2u);

    const std::string xhtml = Generate(chunk, "XHTML", "ZelundaSections=Yes");
    std::string report;
    EXPECT_TRUE(talix_test::XmlWellFormed(xhtml, &report)) << report << xhtml;

    // In a MIME message the collapse picture is a part of its own.
    EXPECT_EQ(talix_test::TidyErrors(Generate(chunk, "HTML", "ZelundaSections=Yes")), 0);
}

TEST_F(SectionsTest, MessageHeadersSplitTheirTitle) {
    talix_test::FixtureRecord header = talix_test::HostRecord(0x0062, 16);
    talix_test::PutWord(&header, 4, 128);
    Records records = Section(Border(0), "Ann---Monday---Plans", "text", {header});
    const Records bare = Section(Border(0), "Just a title", "more", {header});
    records.insert(records.end(), bare.begin(), bare.end());
    ZervaRTChunk* chunk = Define(records);
    const std::string body = Body(chunk, "ZelundaSections=Yes");
    const std::size_t sender = body.find(">Ann<"), subject = body.find(">Plans<"), date = body.find(">Monday<");
    ASSERT_NE(sender, std::string::npos) << body;
    ASSERT_NE(subject, std::string::npos);
    ASSERT_NE(date, std::string::npos);
    EXPECT_LT(sender, subject);
    EXPECT_LT(subject, date);
    EXPECT_NE(body.find(">No Subject<"), std::string::npos);
    EXPECT_NE(body.find(">No Date<"), std::string::npos);
    // Every division the header opens it also closes.
    EXPECT_EQ(Count(body, "<div"), Count(body, "</div>"));
    const std::string xhtml = Generate(chunk, "XHTML", "ZelundaSections=Yes");
    std::string report;
    EXPECT_TRUE(talix_test::XmlWellFormed(xhtml, &report)) << report << xhtml;
}

TEST_F(SectionsTest, SectionsNestedBeyondTheTrackedLevelsStayWellFormed) {
    // Sections each inside the one before: every tracked level closes with
    // its rules; sixty levels go past those tracked (and past the walk's
    // nesting bound), which get no rule, and nothing is lost or left open.
    auto nested = [](int depth) {
        Records records;
        for (int i = 0; i < depth; ++i) {
            const Records start = {Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFAD, 12, 8, {}), Bracket(0xDD, 0xFFAC),
                                   SectionBar(Border(5), "T" + std::to_string(i)), Bracket(0xDE, 0xFFAC),
                                   TextBytes(" b" + std::to_string(i))};
            records.insert(records.end(), start.begin(), start.end());
        }
        for (int i = 0; i < depth; ++i) {
            records.push_back(HotspotEnd());
            records.push_back(Bracket(0xDE, 0x00AE));
        }
        records.push_back(TextBytes(" end"));
        return records;
    };
    EXPECT_EQ(Count(Body(Define(nested(10)), "ZelundaSections=Yes"), "<hr"), 20u);
    ZervaRTChunk* chunk = Define(nested(60));
    for (const char* options : {"ZelundaSections=Yes", "SectionsInCSS=Yes"}) {
        const std::string xhtml = Generate(chunk, "XHTML", options);
        std::string report;
        EXPECT_TRUE(talix_test::XmlWellFormed(xhtml, &report)) << options << report;
        const std::string text = talix_test::XhtmlBodyText(xhtml);
        EXPECT_NE(text.find("b0"), std::string::npos) << options;
        EXPECT_NE(text.find("b59"), std::string::npos) << options;
        EXPECT_NE(text.find(" end"), std::string::npos) << options;
        EXPECT_EQ(chunk->lastStatus, 0) << options;
    }
    EXPECT_LE(Count(Body(chunk, "ZelundaSections=Yes"), "<hr"), 2u * 49);
}

TEST_F(SectionsTest, PictureAddressesFromTheOptionsStayInTheirAttributes) {
    // Addresses with a query and with quotes, given for the section
    // switches and the link icons: each reaches the browser as given, and no
    // quote ends its attribute.
    constexpr std::uint32_t kNone[4] = {0, 0, 0, 0}, kDocument[4] = {1, 2, 3, 4};
    Records records = Section(kExpanded, "Title", "body");
    records.push_back(ExportedLink(NoteLink(1, 2, kNone, kDocument), "", ""));
    ZervaRTChunk* chunk = Define(records);
    const std::string given = "|/p.gif?a=1&b=x' onerror='y\"<|";
    const std::string single = "/p.gif?a=1&amp;b=x&#39; onerror=&#39;y&quot;&lt;";
    const std::string dual = "/p.gif?a=1&amp;b=x' onerror='y&quot;&lt;";
    const std::string links = "DoclinkGraphic=" + given;
    for (const char* style : {"SectionsInCSS=Yes", "ZelundaSections=Yes"}) {
        const std::string options = std::string(style) + " ExpandGraphic=" + given + " CollapseGraphic=" + given +
                                    " " + links;
        for (const char* format : {"HTML", "XHTML"}) {
            const std::string markup = Generate(chunk, format, options.c_str());
            EXPECT_EQ(Count(markup, "<img src='" + single + "' "), style[0] == 'S' ? 2u : 1u) << style << markup;
            // XHTML gives the undescribed link icon the alt every img needs.
            const std::string after = format[0] == 'X' ? "\" alt=\"\" border" : "\" border";
            EXPECT_EQ(Count(markup, "<img src=\"" + dual + after), 1u) << style << "\n" << markup;
            std::string report;
            if (format[0] == 'X') EXPECT_TRUE(talix_test::XmlWellFormed(markup, &report)) << report << markup;
        }
    }
}

TEST_F(SectionsTest, AComputedTitleShowsItsResultInEveryStyle) {
    // The title is a formula (flag 0x2000): each style shows what it gives,
    // not the formula; a plain title is written as it stands.
    constexpr std::uint32_t kTitleFormula = 0x2000;
    Records records = Section(kTitleFormula, "\"Computed \" + \"Title\"", "body");
    const Records plain = Section(0, "\"Quoted\" + x", "more");
    records.insert(records.end(), plain.begin(), plain.end());
    ZervaRTChunk* chunk = Define(records);
    // The CSS style shows the title in both its blocks.
    const std::pair<const char*, std::size_t> styles[] = {
        {"", 1}, {"SectionIncludeTitle=Yes", 1}, {"SectionsInCSS=Yes", 2}, {"ZelundaSections=Yes", 1}};
    for (const auto& [style, shown] : styles) {
        const std::string body = Body(chunk, style);
        EXPECT_EQ(Count(body, "Computed Title"), shown) << style << body;
        EXPECT_EQ(Count(body, "Computed &quot;"), 0u) << style << body;
        EXPECT_NE(body.find("&quot;Quoted&quot; + x"), std::string::npos) << style << body;
    }
}

} // namespace
} // namespace htmlgen_test
