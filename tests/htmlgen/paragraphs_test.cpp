// The start of each paragraph: divisions or paragraph elements with their
// class or inline rule, border spacing and alignment, the font-element
// form, item style mappings, and the line break before a table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/item_work_state.h"
#include "generation_fixture.h"
#include "support/markup_validators.h"

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
using talix_test::FixtureRecord;



DefinitionFields Fields(std::uint16_t id, std::uint16_t justification = 0) {
    DefinitionFields fields;
    fields.id = id;
    fields.justification = justification;
    return fields;
}

class Paragraphs : public GenerationTest {};

TEST_F(Paragraphs, DivisionsParagraphElementsAndAlignment) {
    const Records records = {Definition(1), Definition(Fields(2, 3)), Definition(Fields(3, 2)), Reference(1),
                             TextBytes("a"), Reference(2), TextBytes("b"), Reference(3), TextBytes("c")};
    ZervaRTChunk* chunk = Define(records);
    EXPECT_EQ(Body(Generate(chunk, "HTML", nullptr)),
              "<div class=\"pabid1\">a</div><div align='center' class=\"pabid2\">b</div>"
              "<div align='justify' class=\"pabid3\">c</div>");
    EXPECT_EQ(Body(Generate(chunk, "HTML", "UsePTags=Yes SuppressDivInfo=Yes")),
              "<p>a</p><p align='center'>b</p><p align='justify'>c</p>");
    std::string report;
    EXPECT_TRUE(talix_test::XhtmlValid(Generate(chunk, "XHTML", "UsePTags=Yes"), &report)) << report;

    // Font elements: aligned divisions, else a line break.
    EXPECT_EQ(Body(Generate(chunk, "HTML", "StandardFontTags=Yes")),
              "<br>a<div align='center'>b</div><div align='justify'>c</div>");

    // Inside a table a left-aligned paragraph says so.
    const Records table = {Definition(1), Reference(1), TextBytes("before"), Plain(0x00A3, 14), Plain(0x00A4, 18),
                           Reference(1), TextBytes("cell"), Plain(0x00A5, 8)};
    EXPECT_TRUE(Has(Body(Generate(Define(table), "HTML", nullptr)), "<div align='left' class=\"pabid1\">cell"));

    // A paragraph of nothing but a paragraph record and empty runs keeps a
    // line break in its paragraph element.
    const Records empty = {Definition(1), Reference(1), TextBytes("a"), Reference(1), ParagraphBreak(),
                           TextBytes(""), Reference(1), TextBytes("b")};
    EXPECT_EQ(Body(Generate(Define(empty), "HTML", "UsePTags=Yes")),
              "<p class=\"pabid1\">a</p><p class=\"pabid1\"><br><br></p><p class=\"pabid1\">b</p>");
}

TEST_F(Paragraphs, RunsOfLikeParagraphsKeepEachTheirOwnStartTag) {
    // Paragraphs of one definition in a row, then others of another id or
    // alignment between them: each start tag says its own id and alignment.
    const Records records = {Definition(1),  Definition(Fields(2, 3)), Definition(Fields(40000, 3)),
                             Reference(1),   TextBytes("a"),           Reference(1),
                             TextBytes("b"), Reference(2),             TextBytes("c"),
                             Reference(40000), TextBytes("d"),         Reference(1),
                             TextBytes("e"), Reference(1),             TextBytes("f")};
    ZervaRTChunk* chunk = Define(records);
    EXPECT_EQ(Body(Generate(chunk, "HTML", nullptr)),
              "<div class=\"pabid1\">a</div><div class=\"pabid1\">b</div><div align='center' class=\"pabid2\">c</div>"
              "<div align='center' class=\"pabid40000\">d</div><div class=\"pabid1\">e</div>"
              "<div class=\"pabid1\">f</div>");
    EXPECT_EQ(Body(Generate(chunk, "HTML", "UsePTags=Yes SuppressDivInfo=Yes")),
              "<p>a</p><p>b</p><p align='center'>c</p><p align='center'>d</p><p>e</p><p>f</p>");
}

TEST_F(Paragraphs, InlineRulesLoseAZeroLeftMargin) {
    DefinitionFields zero = Fields(1);
    zero.left = 1445;        // 0.00 inches beyond the page margin
    zero.firstLine = 2165;   // half an inch more
    DefinitionFields half = Fields(2);
    half.left = 2160;
    half.firstLine = 2160;
    DefinitionFields only = Fields(3);
    only.left = 1445;
    only.firstLine = 1445;
    const Records records = {Definition(zero), Definition(half), Definition(only), Reference(1), TextBytes("a"),
                             Reference(2),     TextBytes("b"),    Reference(3),     TextBytes("c")};
    ZervaRTChunk* chunk = Define(records);
    const std::string html = Generate(chunk, "HTML", "MoveStylesInline=Yes");
    EXPECT_FALSE(Has(html, "<style")) << html;
    std::string report;
    EXPECT_EQ(talix_test::TidyErrors(html, &report), 0) << report;
    for (const char* options : {"MoveStylesInline=Yes", "MoveStylesInline=Yes UsePTags=Yes"})
        EXPECT_TRUE(talix_test::XhtmlValid(Generate(chunk, "XHTML", options), &report)) << options << report;
    EXPECT_EQ(Body(html), "<div style=\"text-indent: 0.50in;\">a</div><div style=\"margin-left: 0.50in;\">b</div>"
                          "<div>c</div>");
    // Paragraph elements keep the whole rule; without empty divisions a
    // paragraph with nothing to say has no element.
    EXPECT_EQ(Body(Generate(chunk, "HTML", "MoveStylesInline=Yes UsePTags=Yes")),
              "<p style=\"margin-left: 0.00in; text-indent: 0.50in; margin-bottom: 0.5em;\">a</p>"
              "<p style=\"margin-left: 0.50in; margin-bottom: 0.5em;\">b</p>"
              "<p style=\"margin-left: 0.00in; margin-bottom: 0.5em;\">c</p>");
    EXPECT_EQ(Body(Generate(chunk, "HTML", "MoveStylesInline=Yes AllowEmptyDivs=No")),
              "<div style=\"text-indent: 0.50in;\">a</div><div style=\"margin-left: 0.50in;\">b</div>c");

    // A fragment whose first paragraph is empty does not begin with an
    // empty division.
    const Records first = {Definition(1), Reference(1), Reference(1), TextBytes("x")};
    EXPECT_EQ(Generate(Define(first), "HTML", "Generation=Fragment"), "<div>x</div>");
}

TEST_F(Paragraphs, BorderRecordsSpaceTheDivision) {
    FixtureRecord border = Plain(0xFFFC, 60);
    talix_test::PutWord(&border, 8, 1);     // solid
    talix_test::PutWord(&border, 10, 2);    // widths
    talix_test::PutWord(&border, 12, 2);
    talix_test::PutWord(&border, 14, 2);
    talix_test::PutWord(&border, 16, 2);
    talix_test::PutWord(&border, 40, 90);   // bottom margin
    const Records records = {Definition(1), Reference(1), border, TextBytes("boxed")};
    ZervaRTChunk* chunk = Define(records);
    EXPECT_EQ(Body(Generate(chunk, "HTML", nullptr)),
              "<div style=\" border-style:solid;border-width:2;margin: 0 0 90 0;\" vspace=\"90\" "
              "class=\"pabid1\">boxed</div>");
    // Inline, an empty rule: the border still gets its division.
    EXPECT_EQ(Body(Generate(chunk, "HTML", "MoveStylesInline=Yes AllowEmptyDivs=No")),
              "<div style=\" border-style:solid;border-width:2;margin: 0 0 90 0;\" vspace=\"90\">boxed</div>");
}

TEST_F(Paragraphs, StyleMappingsTakeTheParagraphsTheyMatch) {
    FixtureRecord name = Plain(0x00A6, 48);
    talix_test::PutWord(&name, 8, 2);
    std::memcpy(name.bytes.data() + 10, "Heading", 7);
    const Records records = {Definition(1), Definition(Fields(2)), name,         Reference(1), TextBytes("plain"),
                             Reference(2),  TextBytes("title"),    Reference(1), TextBytes("again")};
    ZervaRTChunk* chunk = Define(records);
    ASSERT_NE(item_.work, nullptr);
    auto* heading = new talix::StyleMappingInfo();
    heading->flags = talix::kStyleMappingByStyleName;
    std::strcpy(heading->styleName, "Heading");
    std::strcpy(heading->opening, "<h1>");
    std::strcpy(heading->closing, "</h1>");
    item_.work->externalMappings = heading;
    const std::string html = Generate(chunk, "HTML", nullptr);
    EXPECT_EQ(Body(html), "<div class=\"pabid1\">plain</div><h1>title</h1><div class=\"pabid1\">again</div>")
        << html;

    // A mapping without a name takes the paragraphs no style name names.
    heading->styleName[0] = '\0';
    std::strcpy(heading->closing, "</p>");
    std::strcpy(heading->opening, "<p>");
    const std::string unnamed = Generate(chunk, "XHTML", nullptr);
    EXPECT_EQ(Body(unnamed), "<p>plain</p><div class=\"pabid2\">title</div><p>again</p>") << unnamed;
    std::string report;
    EXPECT_TRUE(talix_test::XhtmlValid(unnamed, &report)) << report;

    // A mapping of list paragraphs: its extra text opens the list around
    // its items, and the list closes where the list paragraphs end.
    heading->flags = talix::kStyleMappingByParagraph;
    heading->paragraphCriteria.listKindsRequired = 1;
    heading->listKindsRequired = talix::kListAny;
    std::strcpy(heading->extra, "<ul>");
    std::strcpy(heading->opening, "<li>");
    std::strcpy(heading->closing, "</li>");
    std::strcpy(heading->listClosing, "</ul>");
    DefinitionFields list = Fields(3);
    list.flags = 0x0400;
    const Records items = {Definition(1), Definition(list), Reference(3), TextBytes("a"), Reference(3),
                           TextBytes("b"), Reference(1), TextBytes("after")};
    const std::string mapped = Generate(Define(items), "XHTML", nullptr);
    EXPECT_EQ(Body(mapped), "<ul><li>a</li><li>b</li></ul><div class=\"pabid1\">after</div>") << mapped;
    EXPECT_TRUE(talix_test::XhtmlValid(mapped, &report)) << report;
}

TEST_F(Paragraphs, MappingClosingTextsOfAnyLengthCloseWhole) {
    // A closing text longer than any tag the generator writes itself, with
    // line ends after blocks asked for.
    const Records records = {Definition(1), Reference(1), TextBytes("one"), Reference(1), TextBytes("two")};
    ZervaRTChunk* chunk = Define(records);
    ASSERT_NE(item_.work, nullptr);
    auto* note = new talix::StyleMappingInfo();
    const std::string closing = "</aside><!-- the end of a note, a closing text of seventy bytes -->";
    std::strcpy(note->opening, "<aside>");
    note->longClosing = strdup(closing.c_str());   // held whole, freed with the mapping
    item_.work->externalMappings = note;
    EXPECT_EQ(Body(Generate(chunk, "HTML", nullptr)), "<aside>one" + closing + "<aside>two" + closing);
}

TEST_F(Paragraphs, NoLineBreakBeforeATableInAHiddenCell) {
    FixtureRecord hidden = Plain(0x00A4, 18);
    hidden.bytes[11] = 0x08;
    const Records records = {Definition(1),      Reference(1),       TextBytes("before"), Plain(0x00A3, 14),
                             hidden,             Reference(1),       Plain(0x00CF, 14),   Plain(0x00D0, 18),
                             Reference(1),       TextBytes("inner"), Plain(0x00D1, 8),    Plain(0x00A5, 8)};
    ZervaRTChunk* chunk = Define(records);
    const std::string body = Body(Generate(chunk, "HTML", nullptr));
    // The break before the outer table only; the cell's paragraph opens
    // nothing.
    EXPECT_EQ(body, "<div class=\"pabid1\">before<br></div><table border='0'><tr valign='top'><td width='0' "
                    "border=\"0\" style=\"border: 0px solid black; \"><table border='0'><tr valign='top'><td width='0' "
                    "border=\"0\" style=\"border: 0px solid black; \"><div align='left' class=\"pabid1\">inner</div>"
                    "</td></tr></table></td></tr></table>");
    const std::string forced = Body(Generate(chunk, "HTML", "ForceParagraphs=Yes"));
    EXPECT_NE(forced.find("<br>"), forced.rfind("<br>")) << forced;

    // A cell whose first paragraph is offset less than 21 twips starts
    // plain: the paragraph opens nothing; a deeper offset opens a division.
    auto cellOffset = [this](std::uint16_t twips) {
        DefinitionFields offset = Fields(2);
        offset.extension = true;
        offset.flags2 = 0x0004;
        offset.leftOffset = twips;
        const Records cell = {Definition(1), Reference(1), TextBytes("before"), Plain(0x00A3, 14),
                              Plain(0x00A4, 18), Definition(offset), Reference(2), TextBytes("cell"),
                              Plain(0x00A5, 8)};
        return Body(Generate(Define(cell), "HTML", nullptr));
    };
    EXPECT_EQ(cellOffset(20), "<div class=\"pabid1\">before<br></div><table border='0'><tr valign='top'><td "
                              "width='0' border=\"0\" style=\"border: 0px solid black; \">cell</td></tr></table>");
    EXPECT_TRUE(Has(cellOffset(21), "<div align='left' class=\"pabid2\">cell</div>")) << cellOffset(21);
}

} // namespace

namespace {

// Definitions cut short are read within their length; a reference whose
// definition is missing is a plain paragraph.
TEST_F(Paragraphs, DamagedAndMissingDefinitions) {
    Records records;
    for (std::uint32_t length : {6u, 20u, 63u, 64u, 73u}) {
        FixtureRecord definition = Plain(0xFF82, length);
        if (length >= 6) talix_test::PutWord(&definition, 4, static_cast<std::uint16_t>(length));
        if (length >= 64) talix_test::PutWord(&definition, 62, 0x1400);
        records.push_back(definition);
    }
    for (std::uint16_t id : {6, 20, 63, 64, 73, 99}) {
        records.push_back(Reference(id));
        records.push_back(TextBytes("p" + std::to_string(id)));
    }
    for (const char* options : {"", "MoveStylesInline=Yes", "StandardFontTags=Yes", "UsePTags=Yes CSSBorders=Yes"}) {
        for (std::uint16_t format : {talix::kFormatHTML, talix::kFormatXHTML}) {
            talix::STATUS status = 1;
            const std::string text =
                htmlgen_test::WalkRecords(&session_, &item_, records, options, format, &status);
            EXPECT_EQ(status, 0) << options;
            for (const char* word : {"p6", "p20", "p63", "p64", "p73", "p99"}) EXPECT_TRUE(Has(text, word)) << text;
            if (format != talix::kFormatXHTML) continue;
            std::string report;
            const std::string body = text.substr(text.find("<body"));
            EXPECT_TRUE(talix_test::XmlWellFormed(body.substr(0, body.find('>') + 1) + "<div>" +
                                                      body.substr(body.find('>') + 1) + "</div></body>",
                                                  &report))
                << options << report << text;
        }
    }
    const std::string plain = htmlgen_test::WalkRecords(&session_, &item_, records, nullptr);
    EXPECT_TRUE(Has(plain, "<div class=\"pabid99\">p99</div>")) << plain;
    EXPECT_FALSE(Has(plain, "pabid99 {")) << plain;
}

TEST_F(Paragraphs, ParagraphsPastTheCollectedDefinitionsKeepTheirOwn) {
    // More definitions than the engine collects for the generation: the
    // later paragraphs are still aligned and hidden by their own.
    Records records;
    constexpr std::uint16_t kParagraphs = 300;
    for (std::uint16_t id = 1; id <= kParagraphs; ++id) {
        DefinitionFields fields = Fields(id, id == 290 ? 3 : 0);
        if (id == 295) fields.flags = 0x0010;   // hidden from Notes
        records.push_back(Definition(fields));
        records.push_back(Reference(id));
        records.push_back(TextBytes("p" + std::to_string(id)));
    }
    const std::string body = Body(Generate(Define(records), "HTML", "RespectHiddenFormulas=Yes"));
    EXPECT_TRUE(Has(body, "<div align='center' class=\"pabid290\">p290</div>")) << body;
    EXPECT_TRUE(Has(body, "<div class=\"pabid291\">p291</div>")) << body;
    EXPECT_FALSE(Has(body, "p295")) << body;
    EXPECT_TRUE(Has(body, "<div class=\"pabid300\">p300</div>")) << body;
}

} // namespace
