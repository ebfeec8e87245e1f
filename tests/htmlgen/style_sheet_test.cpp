// The head of generated documents: the style element with a class rule per
// paragraph definition and the cell-border rules, the dominant font as the
// body's rule, the scripts some options ask for, the end of the head and
// the body tag.
#include <gtest/gtest.h>

#include <string>

#include "generation_fixture.h"
#include "support/markup_validators.h"
#include "talix_platform.h"

namespace {

using htmlgen_test::Definition;
using htmlgen_test::DefinitionFields;
using htmlgen_test::Body;
using htmlgen_test::Count;
using htmlgen_test::GenerationTest;
using htmlgen_test::Has;
using htmlgen_test::ParagraphBreak;
using htmlgen_test::Plain;
using htmlgen_test::Records;
using htmlgen_test::Reference;
using htmlgen_test::TextBytes;
using htmlgen_test::TextRun;
using talix_test::FixtureRecord;


// The style element's text (the first one), or empty.
std::string StyleElement(const std::string& markup) {
    const std::size_t start = markup.find("<style type=\"text/css\">");
    if (start == std::string::npos) return "";
    const std::size_t end = markup.find("</style>", start);
    return end == std::string::npos ? markup.substr(start) : markup.substr(start, end + 8 - start);
}

void ExpectValid(const std::string& html, const std::string& xhtml) {
    std::string report;
    EXPECT_EQ(talix_test::TidyErrors(html, &report), 0) << report << html;
    EXPECT_TRUE(talix_test::XhtmlValid(xhtml, &report)) << report << xhtml;
}

// A table of one row whose cells have the border bytes given (two bits a
// side: left, right, top, bottom from the low bits), or with wide borders
// the border words (four bits a side).
void AddTable(Records* records, const std::vector<std::uint16_t>& borders, bool wide = false) {
    records->push_back(Plain(0x00A3, 14));
    for (std::size_t i = 0; i < borders.size(); ++i) {
        FixtureRecord cell = Plain(0x00A4, 18);
        cell.bytes[3] = static_cast<std::uint8_t>(i);
        if (wide) {
            cell.bytes[11] = 0x02;
            talix_test::PutWord(&cell, 12, borders[i]);
        } else {
            cell.bytes[10] = static_cast<std::uint8_t>(borders[i]);
        }
        records->push_back(cell);
        records->push_back(Reference(1));
        records->push_back(TextBytes("cell"));
    }
    records->push_back(Plain(0x00A5, 8));
}

class StyleSheet : public GenerationTest {};

TEST_F(StyleSheet, EachDefinitionHasItsClassAndTheHeadEndsWithTheBody) {
    const Records records = {Definition(1), Reference(1), TextBytes("A"), ParagraphBreak(), Reference(1),
                             TextBytes("B")};
    ZervaRTChunk* chunk = Define(records);
    const std::string html = Generate(chunk, "HTML", nullptr);
    EXPECT_TRUE(Has(html, "<style type=\"text/css\">div.pabid1 {} </style></head>"
                          "<body text='#000000' bgcolor='#ffffff'>"
                          "<div class=\"pabid1\">A</div><div class=\"pabid1\">B</div></body></html>"))
        << html;
    const std::string xhtml = Generate(chunk, "XHTML", nullptr);
    ExpectValid(html, xhtml);

    // AddNewlines puts each rule on a line of its own.
    const std::string lines = Generate(chunk, "HTML", "AddNewlines=CRLF MaxLineLength=1000");
    EXPECT_TRUE(Has(lines, "<style type=\"text/css\">\ndiv.pabid1 {} \n</style>")) << lines;

    // Margins, indents, spacing, direction and list styles as declarations;
    // a list's spacing goes to its items.
    DefinitionFields indented;
    indented.id = 2;
    indented.left = 2160;
    indented.firstLine = 2880;
    indented.lineSpacing = 2;
    indented.before = 1;
    indented.after = 2;
    DefinitionFields rtl;
    rtl.id = 3;
    rtl.flags2 = 0x4000;
    DefinitionFields bullets;
    bullets.id = 4;
    bullets.flags = 0x0400;
    bullets.lineSpacing = 2;
    DefinitionFields letters;
    letters.id = 5;
    letters.flags = 0x1000;
    letters.flags2 = 0x1802;
    letters.left = 2880;
    letters.firstLine = 2880;
    DefinitionFields percent;
    percent.id = 6;
    percent.extension = true;
    percent.flags2 = 0x0008 | 0x0080;
    percent.leftPercent = 10;
    percent.rightPercent = 20;
    const Records styled = {Definition(indented), Definition(rtl),     Definition(bullets), Definition(letters),
                            Definition(percent),  Reference(2),        TextBytes("x")};
    const std::string sheet = StyleElement(Generate(Define(styled), "HTML", nullptr));
    EXPECT_EQ(sheet, "<style type=\"text/css\">"
                     "div.pabid2 {margin-left: 0.50in; text-indent: 0.50in; line-height: 2em; margin-top: 0.5em; "
                     "margin-bottom: 1em; } "
                     "div.pabid3 { direction: rtl;} "
                     "ul.pabid4 {padding-left: 0.25in; margin-left: 0.75in;  direction: ltr;list-style-type: disc; "
                     "margin-top: 0; margin-bottom: 0; } ul.pabid4 LI {line-height: 2em; } "
                     "ol.pabid5 {margin-left: 1.00in;  direction: ltr;list-style-type: lower-alpha; margin-top: 0; "
                     "margin-bottom: 0; } "
                     "div.pabid6 {margin-left:  10%; margin-right:  80%;  direction: ltr;} </style>");
    EXPECT_TRUE(Has(Generate(Define(styled), "HTML", "RelativeIndents=Yes UsePTags=Yes CSSBulletGraphic=dot.gif"),
                    "div.pabid2 {margin-left: 0.50in; text-indent: 2.00in; line-height: 2em; margin-top: 0.5em; "
                    "margin-bottom: 1em; } div.pabid3 { direction: rtl;margin-bottom: 0.5em; } "
                    "ul.pabid4 {padding-left: 0.25in; margin-left: 0.75in;  direction: ltr;"
                    "list-style: url('dot.gif') disc; margin-top: 0; margin-bottom: 0; } ul.pabid4 LI {line-height: "
                    "2em; margin-bottom: 0.5em; } ol.pabid5 {margin-left: 1.00in;  direction: ltr;"
                    "list-style: url('') lower-alpha; "));
}

TEST_F(StyleSheet, EquivalentDefinitionsShareOneClass) {
    DefinitionFields second;
    second.id = 2;
    const Records records = {Definition(1), Definition(second), Reference(1), TextBytes("one"),
                             Reference(2),  TextBytes("two")};
    ZervaRTChunk* chunk = Define(records);
    const std::string merged = Generate(chunk, "HTML", "ConsolidatePABIDS=Yes");
    EXPECT_TRUE(Has(StyleElement(merged), "div.pabid1 {} ")) << merged;
    EXPECT_FALSE(Has(merged, "pabid2")) << merged;
    EXPECT_EQ(Count(merged, "<div class=\"pabid1\">"), 2u) << merged;
    const std::string apart = Generate(chunk, "HTML", nullptr);
    EXPECT_TRUE(Has(apart, "div.pabid1 {} div.pabid2 {} ")) << apart;
    EXPECT_TRUE(Has(apart, "<div class=\"pabid2\">two")) << apart;
    ExpectValid(merged, Generate(chunk, "XHTML", "ConsolidatePABIDS=Yes"));

    // However many pairs the definitions make (25 equal ones make 300),
    // equal definitions after them still share one class.
    Records many;
    for (std::uint16_t id = 1; id <= 25; ++id) many.push_back(Definition(id));
    for (std::uint16_t id = 26; id <= 28; ++id) many.push_back(Definition(id, 3));
    for (std::uint16_t id : {25, 26, 28}) {
        many.push_back(Reference(id));
        many.push_back(TextBytes("p" + std::to_string(id)));
    }
    const std::string full = Generate(Define(many), "HTML", "ConsolidatePABIDS=Yes");
    EXPECT_EQ(StyleElement(full), "<style type=\"text/css\">div.pabid1 {} div.pabid26 {} </style>") << full;
    EXPECT_TRUE(Has(full, "<div class=\"pabid1\">p25</div><div align='center' class=\"pabid26\">p26</div>"
                          "<div align='center' class=\"pabid26\">p28</div>"))
        << full;

    // So do alike definitions past the 256th, and their rules do not crowd
    // out those of later definitions.
    Records crowd;
    for (std::uint16_t id = 1; id <= 1300; ++id) {
        DefinitionFields fields;
        fields.id = id;
        fields.left = 2880;
        fields.firstLine = 2880;
        crowd.push_back(Definition(fields));
    }
    DefinitionFields last;
    last.id = 2000;
    last.left = last.firstLine = 4320;
    last.after = 2;
    crowd.push_back(Definition(last));
    for (std::uint16_t id : {1, 300, 1300, 2000}) {
        crowd.push_back(Reference(id));
        crowd.push_back(TextBytes("p" + std::to_string(id)));
    }
    const std::string crowded = Generate(Define(crowd), "HTML", "ConsolidatePABIDS=Yes");
    EXPECT_EQ(StyleElement(crowded),
              "<style type=\"text/css\">div.pabid1 {margin-left: 1.00in; } div.pabid2000 {margin-left: 2.00in; margin-bottom: 1em; } "
              "</style>")
        << crowded;
    EXPECT_EQ(Count(crowded, "<div class=\"pabid1\">"), 3u) << crowded;
}

TEST_F(StyleSheet, AChunkAfterManyDefinitionsHasTheRulesOfThoseItUses) {
    // Three hundred definitions before a table that a chunk takes: the
    // cells' definitions, one past the two hundred and fifty-fifth, are
    // given rules in the chunk's style element as the early one is.
    Records records;
    for (std::uint16_t id = 1; id <= 300; ++id) {
        DefinitionFields fields;
        fields.id = id;
        fields.left = fields.firstLine = static_cast<std::uint16_t>(1440 + 144 * id);
        records.push_back(Definition(fields));
    }
    records.push_back(Reference(1));
    records.push_back(TextBytes("before"));
    records.push_back(Plain(0x00A3, 14));
    const std::uint16_t used[] = {299, 10, 256};
    for (std::size_t i = 0; i < 3; ++i) {
        FixtureRecord cell = Plain(0x00A4, 18);
        cell.bytes[3] = static_cast<std::uint8_t>(i);
        records.push_back(cell);
        records.push_back(Reference(used[i]));
        records.push_back(TextBytes("p" + std::to_string(used[i])));
    }
    records.push_back(Plain(0x00A5, 8));
    const std::string html = Generate(Define(records, "Table 1"), "HTML", nullptr);
    const std::string sheet = StyleElement(html);
    EXPECT_TRUE(Has(sheet, "div.pabid10 {margin-left: 1.00in; } ")) << sheet;
    EXPECT_TRUE(Has(sheet, "div.pabid256 {margin-left: 25.60in; } ")) << sheet;
    EXPECT_TRUE(Has(sheet, "div.pabid299 {margin-left: 29.90in; } ")) << sheet;
    EXPECT_FALSE(Has(sheet, "div.pabid1 {")) << sheet;
    EXPECT_TRUE(Has(html, "class=\"pabid299\">p299</div>")) << html;
}

TEST_F(StyleSheet, CellBordersHaveRulesInTheStyleElement) {
    Records records = {Definition(1), Reference(1), TextBytes("before")};
    // 1 pixel all round twice; top 2 only; 21 codes in all (the last one
    // gets no rule).
    AddTable(&records, {0x55, 0x55, 0x20});
    std::vector<std::uint16_t> many;
    for (std::uint16_t code = 1; code <= 19; ++code) many.push_back(code);
    AddTable(&records, many);
    ZervaRTChunk* chunk = Define(records);
    const std::string html = Generate(chunk, "HTML", "CSSBorders=Yes");
    const std::string sheet = StyleElement(html);
    EXPECT_EQ(Count(sheet, "td.brdr1111 {border:1px solid black} "), 1u) << sheet;
    EXPECT_TRUE(Has(sheet, "td.brdr2000 {border-top:2px solid black; border-left:none; border-right:none; "
                           "border-bottom:none} "))
        << sheet;
    EXPECT_EQ(Count(sheet, "td.brdr"), 20u) << sheet;
    EXPECT_EQ(Count(sheet, "td.brdr"), Count(sheet, "} ") - 1) << sheet;
    const std::string xhtml = Generate(chunk, "XHTML", "CSSBorders=Yes");
    ExpectValid(html, xhtml);
    // Without the option, or with font elements, no border rules.
    EXPECT_FALSE(Has(Generate(chunk, "HTML", nullptr), "brdr"));
    EXPECT_FALSE(Has(Generate(chunk, "HTML", "CSSBorders=Yes StandardFontTags=Yes"), "brdr"));

    // Borders wider than 9 pixels keep their whole widths in the code, as
    // letters: widths 1,0,11,0 and 10,1,1,0 (top, right, bottom, left) get
    // codes and rules of their own, and each cell the class of its rule.
    Records wide = {Definition(1), Reference(1), TextBytes("before")};
    AddTable(&wide, {0x0C00, 0x0A0A, 0xB100, 0x1A10}, true);
    const std::string wideHtml = Generate(Define(wide), "HTML", "CSSBorders=Yes");
    const std::string wideSheet = StyleElement(wideHtml);
    EXPECT_TRUE(Has(wideSheet, "td.brdrc000 {border-top:12px solid black; border-left:none; border-right:none; "
                               "border-bottom:none} "))
        << wideSheet;
    EXPECT_TRUE(Has(wideSheet, "td.brdra00a {border-top:10px solid black; border-left:10px solid black; "
                               "border-right:none; border-bottom:none} "))
        << wideSheet;
    EXPECT_TRUE(Has(wideSheet, "td.brdr10b0 {border-top:1px solid black; border-left:none; border-right:none; "
                               "border-bottom: 11px solid black} "))
        << wideSheet;
    EXPECT_TRUE(Has(wideSheet, "td.brdra110 {border-top:10px solid black; border-left:none; "
                               "border-right: 1px solid black; border-bottom: 1px solid black} "))
        << wideSheet;
    for (const char* code : {"c000", "a00a", "10b0", "a110"})
        EXPECT_EQ(Count(wideHtml, std::string("class='brdr") + code + "'"), 1u) << code << "\n" << wideHtml;
}

TEST_F(StyleSheet, TheStyleElementGoesWhenNothingIsInIt) {
    ZervaRTChunk* chunk = Define({Definition(1), Reference(1), TextBytes("A")});
    // Inline styles: no style element, the rule stands on the division.
    const std::string moved = Generate(chunk, "HTML", "MoveStylesInline=Yes");
    EXPECT_FALSE(Has(moved, "<style")) << moved;
    // Font elements use no classes: the bare element goes; what
    // AddStyleSheetInfo= put in it is closed.
    const std::string fonts = Generate(chunk, "HTML", "StandardFontTags=Yes");
    EXPECT_FALSE(Has(fonts, "<style")) << fonts;
    const std::string info = Generate(chunk, "XHTML", "StandardFontTags=Yes AddStyleSheetInfo=~p {color: red}~");
    EXPECT_TRUE(Has(info, "<style type=\"text/css\">p {color: red}</style></head><body bgcolor='#ffffff'>")) << info;
    std::string report;
    EXPECT_TRUE(talix_test::XhtmlValid(info, &report)) << report;
    // With hybrid font tags the classes stay when something is in the
    // element.
    const std::string hybrid = Generate(chunk, "HTML", "StandardFontTags=Yes HybridFontTags=Yes");
    EXPECT_FALSE(Has(hybrid, "<style")) << hybrid;
    EXPECT_TRUE(Has(Generate(chunk, "HTML", "StandardFontTags=Yes HybridFontTags=Yes AddStyleSheetInfo=x"),
                    "<style type=\"text/css\">xdiv.pabid1 {} </style>"));
    // A range without definitions has no rules.
    ZervaRTChunk* bare = Define({TextBytes("plain")});
    const std::string none = Generate(bare, "HTML", nullptr);
    EXPECT_FALSE(Has(none, "<style")) << none;
    EXPECT_TRUE(Has(none, "<body text='#000000' bgcolor='#ffffff'>plain</body>")) << none;
}

TEST_F(StyleSheet, TheDominantFontIsTheBodys) {
    Records records = {Definition(1), Reference(1)};
    for (int i = 0; i < 60; ++i) records.push_back(TextRun(5, 0, 0, 12, "word "));
    records.push_back(TextRun(1, 0, 2, 10, "red"));
    ZervaRTChunk* chunk = Define(records);
    ASSERT_EQ(item_.DefineFont("Arial"), 5);
    const std::string html = Generate(chunk, "HTML", nullptr);
    EXPECT_TRUE(Has(html, "<style type=\"text/css\">body {font-size: 12pt; font-family: Arial; }</style></head>"))
        << html;
    // Text in the body's font needs no markup; other text does.
    EXPECT_TRUE(Has(html, "<div class=\"pabid1\">word word ")) << html;
    EXPECT_TRUE(Has(html, "<span style=\"font-size: 10pt; color: rgb(255,0,0); font-family: sans-serif; \">red"))
        << html;
    EXPECT_TRUE(Has(Generate(chunk, "HTML", "UseCurlyBracesInline=Yes"),
                    "body {font-size: 12pt; font-family: Arial; }</style>"));
    EXPECT_TRUE(Has(Generate(chunk, "HTML", "OpeningGlobalStyle=~<style>g</style>~"), "<style>g</style></head>"));
    ExpectValid(html, Generate(chunk, "XHTML", nullptr));

    // Font elements in a fragment: the font element stands around the body.
    const std::string fragment = Generate(chunk, "HTML", "StandardFontTags=Yes Generation=Fragment");
    EXPECT_EQ(fragment.rfind("<font size='3' face='Arial'>", 0), 0u) << fragment;
    EXPECT_EQ(fragment.substr(fragment.size() - 7), "</font>") << fragment;
    // Hybrid font elements cannot be a body rule: the text keeps its own
    // font markup.
    const std::string hybrid = Generate(chunk, "HTML", "HybridFontTags=Yes");
    EXPECT_FALSE(Has(hybrid, "body {")) << hybrid;
    EXPECT_TRUE(Has(hybrid, "<font size='3' face='Arial'>word ")) << hybrid;

    // A coloured body: the text colour of the body tag.
    Records coloured = {Definition(1), Reference(1)};
    for (int i = 0; i < 60; ++i) coloured.push_back(TextRun(1, 0, 4, 10, "blue "));
    EXPECT_TRUE(Has(Generate(Define(coloured), "HTML", nullptr), "<body text='#0000ff' bgcolor='#ffffff'>"));
}

// A face name with control characters in it (as an import may store one)
// writes the name without them, in the body rule, in spans and in font
// elements: the documents stay readable.
TEST_F(StyleSheet, ControlCharactersOfAFaceNameLeaveNothing) {
    Records records = {Definition(1), Reference(1)};
    for (int i = 0; i < 60; ++i) records.push_back(TextRun(5, 0, 0, 12, "word "));
    records.push_back(TextRun(6, 0, 2, 10, "red"));
    ZervaRTChunk* chunk = Define(records);
    // U+0008, U+000B and U+001B, as the group of control characters
    // writes them.
    ASSERT_EQ(item_.DefineFont("Zq\x0F\x28" "Face\x0F\x2B"), 5);
    ASSERT_EQ(item_.DefineFont("Other \x0F\x3B;face"), 6);
    const std::string html = Generate(chunk, "HTML", nullptr);
    EXPECT_TRUE(Has(html, "body {font-size: 12pt; font-family: ZqFace; }</style>")) << html;
    EXPECT_TRUE(Has(html, "font-family: 'Other \\3b face'; \">red")) << html;
    ExpectValid(plat::LmbcsToNative(html), plat::LmbcsToNative(Generate(chunk, "XHTML", nullptr)));
    const std::string elements = Generate(chunk, "HTML", "StandardFontTags=Yes");
    EXPECT_TRUE(Has(elements, "face='Other ;face'>red")) << elements;
    std::string report;
    for (const char* options : {"StandardFontTags=Yes", "HybridFontTags=Yes"}) {
        const std::string xhtml = plat::LmbcsToNative(Generate(chunk, "XHTML", options));
        EXPECT_TRUE(talix_test::XmlWellFormed(xhtml, &report)) << options << report << xhtml;
    }
}

// A character of several bytes in a face name stays whole, whatever its
// bytes after the first look like ("," "{" "\\" or a quote), and one the
// name's end cuts short leaves nothing rather than swallow the quote that
// closes the attribute.
TEST_F(StyleSheet, FaceNamesKeepTheirCharactersWhole) {
    Records records = {Definition(1), Reference(1), TextRun(5, 0, 0, 12, "one "), TextRun(6, 0, 0, 12, "two "),
                       TextRun(7, 0, 0, 12, "three"), TextRun(8, 0, 0, 12, "four"), TextRun(1, 0, 0, 10, " plain")};
    for (int i = 0; i < 3; ++i) records.push_back(TextRun(1, 0, 0, 10, " more"));
    ZervaRTChunk* chunk = Define(records);
    // U+5C4B and U+7B2C as Unicode units (second bytes "\\" and "{", third
    // bytes "K" and ","); U+7B27 cut after its second byte.
    ASSERT_EQ(item_.DefineFont("\x14\x5C\x4B" "x"), 5);
    ASSERT_EQ(item_.DefineFont("\x14\x7B\x2C" "y z"), 6);
    ASSERT_EQ(item_.DefineFont("Ab\x14\x7B"), 7);
    // U+4F26, whose third byte is "&", in a font element's face.
    ASSERT_EQ(item_.DefineFont("\x14\x4F\x26" "q"), 8);
    const std::string html = plat::LmbcsToNative(Generate(chunk, "HTML", nullptr));
    EXPECT_TRUE(Has(html, "font-family: \u5C4Bx; \">one")) << html;
    EXPECT_TRUE(Has(html, "font-family: \u7B2Cy z; \">two")) << html;
    EXPECT_TRUE(Has(html, "font-family: Ab; \">three")) << html;
    const std::string elements = plat::LmbcsToNative(Generate(chunk, "HTML", "StandardFontTags=Yes"));
    EXPECT_TRUE(Has(elements, "face='\u5C4Bx'>one")) << elements;
    EXPECT_TRUE(Has(elements, "face='\u7B2Cy z'>two")) << elements;
    EXPECT_TRUE(Has(elements, "face='Ab'>three")) << elements;
    EXPECT_TRUE(Has(elements, "face='\u4F26q'>four")) << elements;
    ExpectValid(html, plat::LmbcsToNative(Generate(chunk, "XHTML", nullptr)));
    std::string report;
    const std::string xhtml = plat::LmbcsToNative(Generate(chunk, "XHTML", "StandardFontTags=Yes"));
    EXPECT_TRUE(talix_test::XmlWellFormed(xhtml, &report)) << report << xhtml;
}

TEST_F(StyleSheet, ScriptsAndTheHeadTag) {
    ZervaRTChunk* chunk = Define({Definition(1), Reference(1), TextBytes("A")});
    const std::string sections = Generate(chunk, "XHTML", "SectionsInCSS=Yes SupportRico=Yes TabbedTablesInCSS=Yes "
                                                          "CSSTabSelTextColor=#010203");
    const std::size_t head = sections.find("</head>");
    ASSERT_NE(head, std::string::npos);
    EXPECT_LT(sections.find("function expandCollapseSection(i,ch){"), head) << sections;
    EXPECT_LT(sections.find("<script type=\"text/javascript\" src=\"rico.js\"></script>"), head);
    EXPECT_LT(sections.find("style.color='#010203';"), head);
    EXPECT_LT(sections.find("style.color='#333333';"), head);
    EXPECT_LT(sections.find("ul#tabnav li {"), head);
    std::string report;
    EXPECT_TRUE(talix_test::XhtmlValid(sections, &report)) << report;
    const std::string sectionsHtml =
        Generate(chunk, "HTML", "SectionsInCSS=Yes SupportRico=Yes TabbedTablesInCSS=Yes");
    EXPECT_EQ(talix_test::TidyErrors(sectionsHtml, &report), 0) << report << sectionsHtml;
    // Headers given by the options stand in for the built-in ones.
    const std::string given = Generate(chunk, "HTML", "SupportRico=Yes RicoHeader=<!--r--> SectionsInCSS=Yes "
                                                      "SectionCSSHeader=<!--s-->");
    EXPECT_TRUE(Has(given, "<!--r--><!--s--></head>")) << given;

    // A complete head given by HeadTag= gets neither, and is closed once; a
    // head left open gets both and its end.
    const std::string complete =
        Generate(chunk, "HTML", "SupportRico=Yes SectionsInCSS=Yes HeadTag=~<head><title>t</title></head>~");
    EXPECT_FALSE(Has(complete, "<script")) << complete;
    EXPECT_EQ(Count(complete, "</head>"), 1u) << complete;
    EXPECT_TRUE(Has(complete, "<head><title>t</title><style type=\"text/css\">div.pabid1 {} </style></head><body"))
        << complete;
    EXPECT_EQ(talix_test::TidyErrors(complete, &report), 0) << report;
    const std::string open = Generate(chunk, "HTML", "SupportRico=Yes HeadTag=~<head><title>t</title>~");
    EXPECT_TRUE(Has(open, "rico.js\"></script></head><body")) << open;
    // OpeningBody= stands for the body tag.
    EXPECT_TRUE(Has(Generate(chunk, "HTML", "OpeningBody=~<body class=\"b\">~"),
                    "</head><body class=\"b\"><div class=\"pabid1\">A"));
}

} // namespace
