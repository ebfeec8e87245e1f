// Text direction, links after styled text and colour records: the markup a
// generation writes for them, the same in a paragraph and in a cell, and
// the same however often the item was rendered before.
#include <gtest/gtest.h>

#include <string>

#include "active_content_fixture.h"
#include "generation_fixture.h"
#include "support/markup_validators.h"
#include "table_records.h"

namespace {

using htmlgen_test::Body;
using htmlgen_test::Has;
using htmlgen_test::Records;

class DirectionColourTest : public htmlgen_test::GenerationTest {
protected:
    // The body of the records in the format and options; XHTML checked by
    // libxml2.
    std::string Render(const Records& records, const char* format, const char* options) {
        const std::string markup = Generate(Define(records), format, options);
        if (std::string(format) == "XHTML") {
            std::string report;
            EXPECT_TRUE(talix_test::XmlWellFormed(markup, &report)) << options << "\n" << report;
        }
        return Body(markup);
    }
};

// What an anchor to the address holds: the text from its start tag to its
// end tag (empty when there is no such anchor).
std::string AnchorText(const std::string& body, const std::string& url) {
    const std::size_t start = body.find("<a href=\"" + url + "\"");
    if (start == std::string::npos) return "";
    const std::size_t open = body.find('>', start);
    const std::size_t end = body.find("</a>", open);
    return end == std::string::npos ? "" : body.substr(open + 1, end - open - 1);
}

TEST_F(DirectionColourTest, LinkTextStaysInsideItsAnchorAfterStyledText) {
    using namespace htmlgen_test;
    // Before the link: right-to-left text, text in a larger size, bold
    // text, superscript text, and plain text; the link's text is plain,
    // or bold (shares the bold run's attribute, not its colour), or comes
    // as link records after the hotspot.
    const Records before[] = {{BidiRun("rtl")},
                              {TextRun(1, 0, 0, 14, "big")},
                              {TextRun(1, 0x01, 2, 10, "bold red")},
                              {TextRun(1, 0x10, 0, 10, "raised")},
                              {TextRun(1, 0, 0, 10, "plain")}};
    for (const Records& run : before) {
        for (bool boldLink : {false, true}) {
            Records records = {Definition(1), Reference(1), TextRun(1, 0x02, 0, 10, "first ")};
            records.insert(records.end(), run.begin(), run.end());
            Records link = {Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFAD, 11, 0x1000, TextData("http://x.example/a")),
                            boldLink ? TextRun(1, 0x01, 0, 10, "site") : TextBytes("site"), HotspotEnd(),
                            Bracket(0xDE, 0x00AE)};
            records.insert(records.end(), link.begin(), link.end());
            records.push_back(TextRun(1, 0, 0, 10, " after"));
            for (const char* options : {"", "WAICompliant=Yes", "UseCurlyBracesInline=Yes", "StandardFontTags=Yes"}) {
                for (const char* format : {"HTML", "XHTML"}) {
                    const std::string body = Render(records, format, options);
                    const std::string text = AnchorText(body, "http://x.example/a");
                    EXPECT_TRUE(Has(text, "site")) << options << "\n" << body;
                    EXPECT_FALSE(Has(body, "a\"></a>")) << options << "\n" << body;
                    // What came before the link stays before it.
                    EXPECT_LT(body.find(run.front().signature == 0xFFE4 ? "rtl" : "first"), body.find("<a href"));
                    EXPECT_GT(body.find(" after"), body.find("</a>"));
                }
            }
        }
    }
    // The plain case as it always was: the plain text's markup closes
    // nothing, and the anchor holds the link's text alone.
    Records plain = {Definition(1), Reference(1), TextRun(1, 0x01, 2, 12, "before "), TextRun(1, 0, 0, 10, "same")};
    const Records link = URLHotspot("http://x.example/a", "site");
    plain.insert(plain.end(), link.begin(), link.end());
    EXPECT_TRUE(Has(Render(plain, "HTML", ""),
                    "<b>before </b></span>same<a href=\"http://x.example/a\">site</a>"));
    // Right-to-left text before the link closes before the anchor opens.
    Records rtl = {Definition(1), Reference(1), BidiRun("rtl")};
    rtl.insert(rtl.end(), link.begin(), link.end());
    EXPECT_TRUE(Has(Render(rtl, "HTML", ""),
                    "<span style=\"font-size: 12pt; direction: rtl;\">rtl</span><a href=\"http://x.example/a\">site</a>"));
}

TEST_F(DirectionColourTest, DirectionIsForcedFromTheFirstRightToLeftRunOn) {
    using namespace htmlgen_test;
    // Styled text, a right-to-left run, styled text again, in three
    // paragraphs; the item is rendered several times in a row.
    const Records records = {Definition(1),
                             Reference(1),
                             TextRun(1, 0x01, 2, 12, "before"),
                             ParagraphBreak(),
                             Reference(1),
                             BidiRun("rtl"),
                             ParagraphBreak(),
                             Reference(1),
                             TextRun(1, 0x01, 2, 12, "after")};
    for (const char* format : {"HTML", "XHTML"}) {
        const std::string first = Render(records, format, "");
        EXPECT_TRUE(Has(first, "<span style=\"font-size: 12pt; color: rgb(255,0,0); \"><b>before")) << first;
        EXPECT_TRUE(Has(first, "<span style=\"font-size: 12pt; direction: rtl;\">rtl")) << first;
        EXPECT_TRUE(Has(first, "<span style=\"font-size: 12pt; color: rgb(255,0,0); direction: ltr;\"><b>after"))
            << first;
        EXPECT_EQ(Render(records, format, ""), first);
        EXPECT_EQ(Render(records, format, ""), first);

        const std::string fonts = Render(records, format, "StandardFontTags=Yes");
        EXPECT_TRUE(Has(fonts, "<font color='Red' size='3'><b>before")) << fonts;
        EXPECT_TRUE(Has(fonts, "<font color='Red' size='3' dir='ltr'><b>after")) << fonts;
        EXPECT_EQ(Render(records, format, "StandardFontTags=Yes"), fonts);
    }
    // ForceDirection asks for the direction of every run from the start.
    const std::string forced = Render(records, "HTML", "ForceDirection=Yes");
    EXPECT_TRUE(Has(forced, "color: rgb(255,0,0); direction: ltr;\"><b>before")) << forced;
}

TEST_F(DirectionColourTest, ColourRecordsColourTheirRunInParagraphsAndCells) {
    using namespace htmlgen_test;
    // A run whose colour index is the base font's, with a colour record
    // after it (alone, or in a text bracket as the builders write it); a
    // run of another colour index with one; a highlighted run.
    const Records runs = {TextRun(1, 0, 0, 10, "plain "),
                          TextRun(1, 0, 0, 10, "green"),
                          Colour(10, 200, 30),
                          TextRun(1, 0, 0, 10, " "),
                          Bracket(0xDD, 0xFF85),
                          TextRun(1, 0, 0, 10, "wrapped"),
                          Colour(10, 200, 30),
                          Bracket(0xDE, 0xFF85),
                          TextRun(1, 0, 2, 10, " indexed"),
                          Colour(1, 2, 3),
                          TextRun(1, 0, 0, 10, " marked"),
                          Colour(0, 0, 0, 0x8001),
                          TextRun(1, 0, 0, 10, " end")};
    Records paragraph = {Definition(1), Reference(1)};
    paragraph.insert(paragraph.end(), runs.begin(), runs.end());
    std::vector<CellFields> cells = Grid(1, 1);
    cells[0].text.clear();
    cells[0].extra = runs;
    Records table = {Definition(1), Reference(1)};
    const Records grid = Table(cells);
    table.insert(table.end(), grid.begin(), grid.end());
    for (const Records* records : {&paragraph, &table}) {
        for (const char* format : {"HTML", "XHTML"}) {
            const std::string body = Render(*records, format, "");
            EXPECT_TRUE(Has(body, "plain <span style=\"color: rgb(10,200,30); \">green</span> "
                                  "<span style=\"color: rgb(10,200,30); \">wrapped</span>"
                                  "<span style=\"color: rgb(1,2,3); \"> indexed</span>"
                                  "<span style=\"background: #ffffc2;\"> marked</span> end"))
                << body;
            const std::string fonts = Render(*records, format, "StandardFontTags=Yes");
            EXPECT_TRUE(Has(fonts, "plain <font color='#0ac81e'>green</font> <font color='#0ac81e'>wrapped</font>"
                                   "<font color='#010203'> indexed</font>"))
                << fonts;
            // Colour suppressed: no colour at all.
            const std::string suppressed = Render(*records, format, "SuppressFonts=color");
            EXPECT_FALSE(Has(suppressed, "color:")) << suppressed;
        }
    }
    // A list item takes the look of its text, its colour record's colour
    // with it.
    DefinitionFields bulleted;
    bulleted.flags = 0x0400;
    const Records list = {Definition(bulleted), Reference(1), TextRun(1, 0, 0, 10, "green"), Colour(10, 200, 30),
                          Reference(1), TextRun(1, 0, 0, 10, "plain")};
    const std::string items = Render(list, "XHTML", "");
    EXPECT_TRUE(Has(items, "<li style=\"color: rgb(10,200,30); \">")) << items;
    EXPECT_TRUE(Has(items, "<li>plain")) << items;
}

} // namespace
