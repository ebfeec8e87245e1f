// Layers and layout regions written by the generation: positioned
// divisions with their sizes, positions and content.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "generation_fixture.h"
#include "support/markup_validators.h"
#include "support/record_fixture.h"
#include "table_records.h"

namespace {

using htmlgen_test::Body;
using htmlgen_test::Bracket;
using htmlgen_test::Count;
using htmlgen_test::Definition;
using htmlgen_test::GenerationTest;
using htmlgen_test::Has;
using htmlgen_test::Records;
using htmlgen_test::Reference;
using htmlgen_test::TextBytes;

constexpr std::uint16_t kBegin = 0x00DD, kEnd = 0x00DE, kLayer = 0x006C;

class Layers : public GenerationTest {
protected:
    std::string Checked(const Records& records) {
        ZervaRTChunk* chunk = Define(records);
        const std::string html = Generate(chunk, "HTML", "");
        std::string report;
        EXPECT_EQ(talix_test::TidyErrors(html, &report), 0) << report << html;
        const std::string xhtml = Generate(chunk, "XHTML", "");
        EXPECT_TRUE(talix_test::XhtmlValid(xhtml, &report)) << report << xhtml;
        return Body(html);
    }
};

TEST_F(Layers, LayerDivisionsCarryTheirPosition) {
    Records records = {Definition(1),
                       Reference(1),
                       TextBytes("Before"),
                       Bracket(kBegin, kLayer),
                       htmlgen_test::LayerRecord(),
                       htmlgen_test::BoxSize(200, 100),
                       htmlgen_test::Positioning(1, 3, 10, 20),
                       Reference(1),
                       TextBytes("Inside"),
                       Bracket(kEnd, kLayer),
                       Reference(1),
                       TextBytes("After")};
    const std::string body = Checked(records);
    EXPECT_TRUE(Has(body, "<div style=\"width: 200px; height: 100px; position: absolute; top: 10px; left: 20px; "
                          "z-index: 3; \">"))
        << body;
    EXPECT_LT(body.find("Inside"), body.find("</div>", body.find("z-index"))) << body;
    EXPECT_LT(body.find("</div>", body.find("Inside")), body.find("After")) << body;

    // A layer of paragraph records only: an empty division, and the walk
    // goes on after the layer's end.
    Records empty = {Definition(1),
                     Reference(1),
                     TextBytes("Before"),
                     Bracket(kBegin, kLayer),
                     htmlgen_test::LayerRecord(),
                     htmlgen_test::Positioning(2, 0, 0, 0),
                     htmlgen_test::ParagraphBreak(),
                     Reference(1),
                     Bracket(kEnd, kLayer),
                     Reference(1),
                     TextBytes("After")};
    const std::string emptyBody = Checked(empty);
    EXPECT_TRUE(Has(emptyBody, "position: relative; top: 0px; left: 0px; z-index: 0; \"></div>")) << emptyBody;
    EXPECT_TRUE(Has(emptyBody, "After")) << emptyBody;

    // Descriptors that run to the list's end: the division still closes.
    Records unended = {Definition(1), Reference(1), TextBytes("Before"), Bracket(kBegin, kLayer),
                       htmlgen_test::LayerRecord(), htmlgen_test::BoxSize(5, 5)};
    const std::string unendedBody = Checked(unended);
    EXPECT_TRUE(Has(unendedBody, "width: 5px; height: 5px; \"></div>")) << unendedBody;
}

// Paragraph elements (UsePTags) in a layer each close before the next
// opens: a paragraph element cannot hold another.
TEST_F(Layers, ParagraphElementsInALayerDoNotNest) {
    Records records = {Definition(1),
                       Reference(1),
                       TextBytes("Before"),
                       Bracket(kBegin, kLayer),
                       htmlgen_test::LayerRecord(),
                       htmlgen_test::BoxSize(200, 100),
                       htmlgen_test::ParagraphBreak(),
                       Reference(1),
                       TextBytes("One"),
                       htmlgen_test::ParagraphBreak(),
                       Reference(1),
                       TextBytes("Two"),
                       htmlgen_test::ParagraphBreak(),
                       Reference(1),
                       TextBytes("Three"),
                       Bracket(kEnd, kLayer),
                       Reference(1),
                       TextBytes("After")};
    ZervaRTChunk* chunk = Define(records);
    std::string report;
    const std::string html = Generate(chunk, "HTML", "UsePTags=Yes");
    EXPECT_EQ(talix_test::TidyErrors(html, &report), 0) << report << html;
    EXPECT_EQ(report.find("Warning"), std::string::npos) << report << html;
    EXPECT_TRUE(Has(Body(html), "<p class=\"pabid1\">One</p><p class=\"pabid1\">Two</p><p class=\"pabid1\">Three</p></div>"))
        << html;
    const std::string xhtml = Generate(chunk, "XHTML", "UsePTags=Yes");
    EXPECT_TRUE(talix_test::XhtmlValid(xhtml, &report)) << report << xhtml;
    EXPECT_EQ(talix_test::XhtmlBodyText(xhtml), "BeforeOneTwoThreeAfter") << xhtml;
    // Divisions keep their places.
    const std::string divisions = Body(Generate(chunk, "HTML", ""));
    EXPECT_TRUE(Has(divisions, "<div class=\"pabid1\">One<div class=\"pabid1\">Two")) << divisions;
}

TEST_F(Layers, ContentRightAfterTheDescriptorsStaysInTheLayer) {
    // Without a paragraph record between the descriptors and the content,
    // a rule, a field, a named anchor or a table that opens the layer is
    // its content: written inside its division, the table with every cell.
    const Records starts[] = {
        {htmlgen_test::Rule(0, 1500, 30, 0)},
        {htmlgen_test::Field(0x500, "Subject")},
        {talix_test::HeadAndText(0xFFCB, 12, 4, "mark")},
        htmlgen_test::Table(htmlgen_test::Grid(1, 2)),
    };
    const char* const shown[] = {"<hr width=\"100\"", "name=\"Subject\"", "<a name=\"mark\"></a>",
                                 "<td width='95' border=\"1\" style=\"border: 1px solid black; \"><div align='left' "
                                 "class=\"pabid1\">r0c0</div></td><td"};
    for (std::size_t i = 0; i < std::size(starts); ++i) {
        Records records = {Definition(1), Bracket(kBegin, kLayer), htmlgen_test::LayerRecord(),
                           htmlgen_test::BoxSize(200, 100), htmlgen_test::Positioning(1, 3, 10, 20)};
        records.insert(records.end(), starts[i].begin(), starts[i].end());
        records.push_back(TextBytes("Inside"));
        records.push_back(Bracket(kEnd, kLayer));
        records.push_back(Reference(1));
        records.push_back(TextBytes("After"));
        const std::string body = Checked(records);
        const std::size_t layer = body.find("z-index: 3; \">");
        ASSERT_NE(layer, std::string::npos) << body;
        const std::size_t content = body.find(shown[i]);
        EXPECT_NE(content, std::string::npos) << body;
        EXPECT_GT(content, layer) << body;
        EXPECT_LT(body.find("Inside"), body.find("After")) << body;
        if (i == 3) EXPECT_TRUE(Has(body, "r0c1")) << body;
    }
}

TEST_F(Layers, LengthsThatGiveNoValueLeaveTheirDeclarationOut) {
    // A top given in no known unit and a size record too short for its
    // height: the style holds no declaration without a value.
    htmlgen_test::FixtureRecord position = htmlgen_test::Positioning(1, 4, 12, 30);
    position.bytes[8 + 16] = 0;
    const htmlgen_test::FixtureRecord whole = htmlgen_test::BoxSize(200, 100);
    htmlgen_test::FixtureRecord size = talix_test::HostRecord(0x006A, 40);
    std::copy(whole.bytes.begin() + 8, whole.bytes.begin() + 32, size.bytes.begin() + 8);
    Records records = {Definition(1),
                       Reference(1),
                       TextBytes("Before"),
                       Bracket(kBegin, kLayer),
                       htmlgen_test::LayerRecord(),
                       size,
                       position,
                       Reference(1),
                       TextBytes("Inside"),
                       Bracket(kEnd, kLayer)};
    const std::string body = Checked(records);
    EXPECT_TRUE(Has(body, "<div style=\"width: 200px; position: absolute; left: 30px; z-index: 4; \">")) << body;
    EXPECT_FALSE(Has(body, ": ;")) << body;
    EXPECT_TRUE(Has(body, "Inside")) << body;
}

TEST_F(Layers, LayoutRegionsPlaceTheirElements) {
    Records records = {Definition(1),
                       Reference(1),
                       TextBytes("Before"),
                       htmlgen_test::LayoutRegion(2880, 4320, 1440),
                       htmlgen_test::LayoutElement(2880, 720, 1500, 300, 0x20000000 | 0x40000000 | 0x1 | 0x10000000),
                       TextBytes("field text"),
                       htmlgen_test::LayoutElement(1000, 0, 150, 150, 0x1),
                       htmlgen_test::LayoutEnd(),
                       Reference(1),
                       TextBytes("After")};
    const std::string body = Checked(records);
    EXPECT_TRUE(Has(body, "<div style=\"position:relative;top:0px;left:96px;z-index:1; width:288px;height:96px; \">"))
        << body;
    EXPECT_TRUE(Has(body, "position:absolute;top:48px;left:96px;z-index:2; width:100px;height:20px; ")) << body;
    EXPECT_EQ(Count(body, "text-align:"), 1u) << body;
    EXPECT_TRUE(Has(body, "text-align:center; ")) << body;
    EXPECT_EQ(Count(body, "border:1px solid black;"), 1u) << body;
    EXPECT_TRUE(Has(body, "position:absolute;top:0px;left:0px;z-index:2; ")) << body;
    EXPECT_LT(body.find("field text"), body.find("After")) << body;

    // A region without its end is closed with the body.
    Records unended = {Definition(1), Reference(1), TextBytes("Before"), htmlgen_test::LayoutRegion(0, 1440, 1440),
                       htmlgen_test::LayoutElement(1440, 0, 150, 150)};
    const std::string open = Checked(unended);
    EXPECT_EQ(Count(open, "<div style=\"position:"), 2u) << open;
}

TEST_F(Layers, ElementParagraphsStayInsideTheirElement) {
    // Each element's content begins with a paragraph of its own: its
    // paragraphs open inside the element's division, which closes after
    // them, before the next element.
    Records records = {Definition(1),
                       Reference(1),
                       TextBytes("Before"),
                       htmlgen_test::ParagraphBreak(),
                       htmlgen_test::LayoutRegion(2880, 4320, 1440),
                       htmlgen_test::ParagraphBreak(),
                       htmlgen_test::LayoutElement(2880, 720, 1500, 300),
                       Definition(2),
                       Reference(2),
                       TextBytes("first line"),
                       htmlgen_test::ParagraphBreak(),
                       Reference(2),
                       TextBytes("second line"),
                       htmlgen_test::ParagraphBreak(),
                       htmlgen_test::LayoutElement(1440, 1440, 1500, 300),
                       Reference(1),
                       TextBytes("other element"),
                       htmlgen_test::ParagraphBreak(),
                       htmlgen_test::LayoutEnd(),
                       Reference(1),
                       TextBytes("After")};
    const std::string body = Checked(records);
    EXPECT_TRUE(Has(body, "width:100px;height:20px; \"><div class=\"pabid2\">first line</div><div "
                          "class=\"pabid2\">second line</div></div><div style=\"position:absolute;top:96px;"))
        << body;
    EXPECT_TRUE(Has(body, "\"><div class=\"pabid1\">other element</div></div></div>")) << body;
    EXPECT_LT(body.find("other element"), body.find("After")) << body;
}

TEST_F(Layers, ElementFontsLeaveWhatTextOpenedAlone) {
    // Coloured text leaves its span open where the region begins: the
    // element's own font goes into its style, the span stays open around
    // the region and the text after it keeps its colour.
    htmlgen_test::FixtureRecord element = htmlgen_test::LayoutElement(2880, 720, 1500, 300);
    element.bytes[12] = 1;
    element.bytes[15] = 18;
    Records records = {Definition(1),
                       Reference(1),
                       htmlgen_test::TextRun(1, 0, 2, 10, "Red before"),
                       htmlgen_test::LayoutRegion(2880, 4320, 1440),
                       element,
                       TextBytes("element text"),
                       htmlgen_test::LayoutEnd(),
                       htmlgen_test::TextRun(1, 0, 2, 10, "Red after")};
    for (const char* options : {"", "ForceFontSize=Yes", "Zelunda=Yes", "UseCurlyBracesInline=Yes"}) {
        ZervaRTChunk* chunk = Define(records);
        for (const char* format : {"HTML", "XHTML"}) {
            const std::string markup = Generate(chunk, format, options);
            std::string report;
            // The fragment of the preset is checked inside a division.
            const bool whole = markup.find("<html") != std::string::npos;
            if (std::string(format) == "XHTML") {
                EXPECT_TRUE(whole ? talix_test::XhtmlValid(markup, &report)
                                  : talix_test::XmlWellFormed("<div>" + markup + "</div>", &report))
                    << options << report << markup;
            } else if (whole) {
                EXPECT_EQ(talix_test::TidyErrors(markup, &report), 0) << options << report << markup;
            }
            const std::size_t style = markup.find("position:absolute");
            ASSERT_NE(style, std::string::npos) << markup;
            const std::string value = markup.substr(style, markup.find('"', style) - style);
            EXPECT_TRUE(Has(value, "height:20px;  font-size: 18pt; ")) << options << markup;
            EXPECT_FALSE(Has(value, "<")) << options << markup;
            EXPECT_FALSE(Has(value, "{")) << options << markup;
            EXPECT_LT(markup.find("element text"), markup.find("Red after")) << options << markup;
        }
    }
}

TEST_F(Layers, AnElementEndingAtWhatHoldsTheRegionLeavesTheRestToItsHolder) {
    // An element's content that runs into the END of the layer around the
    // region, a stray END, or the next cell of the table around it: the
    // region closes there and everything after it is written, the layer's
    // text after its END outside the layer, the next cell as a cell.
    const Records inLayer = {Definition(1), Reference(1), TextBytes("Before"), Bracket(kBegin, kLayer),
                             htmlgen_test::LayerRecord(), htmlgen_test::BoxSize(200, 100), Reference(1),
                             TextBytes("Layer"), htmlgen_test::LayoutRegion(2880, 4320, 1440),
                             htmlgen_test::LayoutElement(2880, 720, 1500, 300), TextBytes("Element"),
                             Bracket(kEnd, kLayer), TextBytes("Behind"), htmlgen_test::LayoutEnd(), Reference(1),
                             TextBytes("After")};
    std::string body = Checked(inLayer);
    EXPECT_TRUE(Has(body, ">Element</div></div></div></div>Behind</div><div class=\"pabid1\">After</div>")) << body;

    const Records stray = {Definition(1), Reference(1), TextBytes("Before"),
                           htmlgen_test::LayoutRegion(2880, 4320, 1440),
                           htmlgen_test::LayoutElement(2880, 720, 1500, 300), TextBytes("Element"),
                           Bracket(kEnd, 0x0107), TextBytes("Behind"), htmlgen_test::LayoutEnd(), Reference(1),
                           TextBytes("After")};
    body = Checked(stray);
    EXPECT_LT(body.find("Element"), body.find("Behind")) << body;
    EXPECT_LT(body.find("Behind"), body.find("After")) << body;

    const Records inCell = {Definition(1), Reference(1), TextBytes("Before"), htmlgen_test::TableBegin(),
                            htmlgen_test::Cell({0, 0}), Reference(1), TextBytes("First"),
                            htmlgen_test::LayoutRegion(2880, 4320, 1440),
                            htmlgen_test::LayoutElement(2880, 720, 1500, 300), TextBytes("Element"),
                            htmlgen_test::Cell({0, 1}), Reference(1), TextBytes("Second"), htmlgen_test::LayoutEnd(),
                            htmlgen_test::TableEnd(), Reference(1), TextBytes("After")};
    body = Checked(inCell);
    EXPECT_EQ(Count(body, "<td"), 2u) << body;
    EXPECT_TRUE(Has(body, ">Element</div></div></div></td><td")) << body;
    EXPECT_LT(body.find("Second"), body.find("</table>")) << body;
}

TEST_F(Layers, ATableCutByItsLayersEndGoesOnInATableOfItsOwn) {
    // A layer that ends in a cell of a table begun inside it closes the
    // table with it; the cells after the layer's END go into a table of
    // their own rather than standing outside any, at the top level and in
    // a cell of an outer table alike.
    const Records top = {Definition(1), Reference(1), TextBytes("Before"), Bracket(kBegin, kLayer),
                         htmlgen_test::LayerRecord(), htmlgen_test::BoxSize(200, 100), Reference(1),
                         TextBytes("Layer"), htmlgen_test::TableBegin(), htmlgen_test::Cell({0, 0}), Reference(1),
                         TextBytes("First"), Bracket(kEnd, kLayer), TextBytes("Behind"), htmlgen_test::Cell({0, 1}),
                         Reference(1), TextBytes("Second"), htmlgen_test::Cell({1, 0}), Reference(1),
                         TextBytes("Third"), htmlgen_test::TableEnd(), Reference(1), TextBytes("After")};
    std::string body = Checked(top);
    EXPECT_EQ(Count(body, "<table"), 2u) << body;
    EXPECT_EQ(Count(body, "<td"), 3u) << body;
    EXPECT_TRUE(Has(body, "First</div></td></tr></table></div>Behind<table")) << body;
    EXPECT_LT(body.find("Third"), body.rfind("</table>")) << body;
    EXPECT_LT(body.rfind("</table>"), body.find("After")) << body;

    const Records nested = {Definition(1), Reference(1), TextBytes("Before"), htmlgen_test::TableBegin(),
                            htmlgen_test::Cell({0, 0}), Reference(1), TextBytes("Outer"), Bracket(kBegin, kLayer),
                            htmlgen_test::LayerRecord(), Reference(1), TextBytes("Layer"),
                            htmlgen_test::TableBegin(true), htmlgen_test::Cell({0, 0}, true), Reference(1),
                            TextBytes("Inner"), Bracket(kEnd, kLayer), TextBytes("Behind"),
                            htmlgen_test::Cell({0, 1}, true), Reference(1), TextBytes("Second"),
                            htmlgen_test::TableEnd(true), htmlgen_test::Cell({0, 1}), Reference(1),
                            TextBytes("Last"), htmlgen_test::TableEnd(), Reference(1), TextBytes("After")};
    body = Checked(nested);
    EXPECT_EQ(Count(body, "<td"), 4u) << body;
    EXPECT_LT(body.find("Last"), body.rfind("</table>")) << body;
    EXPECT_LT(body.rfind("</table>"), body.find("After")) << body;
}

TEST_F(Layers, ATableAfterTextStaysInItsLayerOrElement) {
    // A table after the first text of a layer, or of a layout element,
    // closes no division of theirs: it and the text after it stay inside
    // the positioned division.
    for (const char* options : {"", "UsePTags=Yes"}) {
        const Records layer = {Definition(1), Reference(1), TextBytes("Before"), Bracket(kBegin, kLayer),
                               htmlgen_test::LayerRecord(), htmlgen_test::BoxSize(200, 100),
                               TextBytes("Layer"), htmlgen_test::TableBegin(), htmlgen_test::Cell({0, 0}),
                               Reference(1), TextBytes("Cell"), htmlgen_test::TableEnd(), TextBytes("Rest"),
                               Bracket(kEnd, kLayer), Reference(1), TextBytes("After")};
        const Records element = {Definition(1), Reference(1), TextBytes("Before"),
                                 htmlgen_test::LayoutRegion(2880, 4320, 1440),
                                 htmlgen_test::LayoutElement(2880, 720, 1500, 300), TextBytes("Layer"),
                                 htmlgen_test::TableBegin(), htmlgen_test::Cell({0, 0}), Reference(1),
                                 TextBytes("Cell"), htmlgen_test::TableEnd(), TextBytes("Rest"),
                                 htmlgen_test::LayoutEnd(), Reference(1), TextBytes("After")};
        for (const Records& records : {layer, element}) {
            ZervaRTChunk* chunk = Define(records);
            const std::string xhtml = Generate(chunk, "XHTML", options);
            std::string report;
            EXPECT_TRUE(talix_test::XhtmlValid(xhtml, &report)) << report << xhtml;
            const std::vector<std::string> divisions = talix_test::XhtmlElementTexts(xhtml, {"div"});
            bool held = false;
            for (const std::string& text : divisions) held = held || text == "LayerCellRest";
            EXPECT_TRUE(held) << options << Body(xhtml);
        }
    }
}

TEST_F(Layers, ALayerWithoutSizeOrPositionHoldsItsParagraphs) {
    // A layer of no size or position records whose content begins with a
    // paragraph: its division holds that paragraph and the rest.
    const Records records = {Definition(1), Reference(1), TextBytes("Before"), Bracket(kBegin, kLayer),
                             htmlgen_test::LayerRecord(), Reference(1), TextBytes("One"), htmlgen_test::ParagraphBreak(),
                             Reference(1), TextBytes("Two"), Bracket(kEnd, kLayer), Reference(1), TextBytes("After")};
    ZervaRTChunk* chunk = Define(records);
    for (const char* options : {"", "UsePTags=Yes"}) {
        const std::string xhtml = Generate(chunk, "XHTML", options);
        std::string report;
        EXPECT_TRUE(talix_test::XhtmlValid(xhtml, &report)) << report << xhtml;
        EXPECT_TRUE(Has(Body(xhtml), "<div style=\"\"><")) << options << Body(xhtml);
        EXPECT_FALSE(Has(Body(xhtml), "<div style=\"\"></div>")) << options << Body(xhtml);
        EXPECT_LT(Body(xhtml).find("Two"), Body(xhtml).rfind("</div>", Body(xhtml).find("After"))) << Body(xhtml);
    }
}

std::string g_layerMarkup;
std::uint16_t KeepLayerMarkup(ZervaRTChunk*, char* text, std::uint16_t length) {
    g_layerMarkup.append(text, length);
    return 0;
}

TEST_F(Layers, LayersNestedDeepCloseEveryDivisionTheyOpen) {
    // 1,000 layers, each inside the one before, with a paragraph before and
    // after each nested one: the content past the nesting the walk follows
    // leaves many divisions open, and all of them close with their layers.
    constexpr int kDepth = 1000;
    Records records = {Definition(1), Reference(1), TextBytes("Before")};
    for (int level = 0; level < kDepth; ++level) {
        const Records start = {Bracket(kBegin, kLayer), htmlgen_test::LayerRecord(),
                               htmlgen_test::BoxSize(200, 100), htmlgen_test::Positioning(1, 3, 10, 20),
                               Reference(1), TextBytes("in" + std::to_string(level))};
        records.insert(records.end(), start.begin(), start.end());
    }
    for (int level = kDepth; level-- > 0;) {
        records.push_back(Reference(1));
        records.push_back(TextBytes("out" + std::to_string(level)));
        records.push_back(Bracket(kEnd, kLayer));
    }
    records.push_back(Reference(1));
    records.push_back(TextBytes("After"));
    ZervaRTChunk* chunk = Define(records);
    for (const char* format : {"HTML", "XHTML"}) {
        g_layerMarkup.clear();
        const std::string rest = Generate(chunk, format, "OutputToEvent=Yes", nullptr, KeepLayerMarkup);
        const std::string markup = g_layerMarkup + rest;
        EXPECT_EQ(chunk->lastStatus, 0) << format;
        EXPECT_EQ(Count(markup, "<div"), Count(markup, "</div>")) << format;
        EXPECT_TRUE(Has(markup, "out0</div>")) << format;
        EXPECT_LT(markup.rfind("</div>"), markup.find("</body>")) << format;
    }
}

} // namespace
