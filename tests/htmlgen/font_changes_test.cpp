// Font changes that come again: text going through several fonts and back
// to earlier ones, with colour records, right-to-left runs and links, in
// paragraphs and in cells. Every repetition of the same content comes out as
// its first, freshly made, rendering did, and the markup stays well nested.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "active_content_fixture.h"
#include "generation_fixture.h"
#include "support/markup_validators.h"
#include "table_records.h"

namespace {

using htmlgen_test::Body;
using htmlgen_test::Records;

// Runs in several fonts that come back to earlier ones: plain, bold red in
// 12 points, monospace italic, bold red again, a colour record's run, a
// superscript, a link whose text is bold, plain. The variant changes the
// order and a colour, so that two pieces differ.
Records Piece(bool variant) {
    using namespace htmlgen_test;
    Records runs = {TextRun(1, 0, 0, 10, "plain "), TextRun(1, 0x01, 2, 12, "bold red "),
                    TextRun(4, 0x02, 0, 10, "mono italic "), TextRun(1, 0x01, 2, 12, "bold red again "),
                    TextRun(1, 0x00, 0, 10, "coloured "), Colour(10, variant ? 90 : 200, 30),
                    TextRun(1, 0x11, 0, 10, "raised ")};
    if (variant) std::swap(runs[1], runs[2]);
    Records link = {Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFAD, 11, 0x1000, TextData("http://x.example/")),
                    TextRun(1, 0x01, 0, 10, "link "), HotspotEnd(), Bracket(0xDE, 0x00AE)};
    runs.insert(runs.end(), link.begin(), link.end());
    runs.push_back(TextRun(1, 0, 0, 10, "end"));
    return runs;
}

// The parts of the markup between one occurrence of the separator and the
// next (the text before the first and from the last on left out).
std::vector<std::string> Between(const std::string& markup, const std::string& separator) {
    std::vector<std::string> parts;
    std::size_t at = markup.find(separator);
    while (at != std::string::npos) {
        const std::size_t next = markup.find(separator, at + separator.size());
        if (next == std::string::npos) break;
        parts.push_back(markup.substr(at, next - at));
        at = next;
    }
    return parts;
}

class FontChangesTest : public htmlgen_test::GenerationTest {
protected:
    // The body's markup of the records in each format and option set, and
    // each XHTML rendering checked by libxml2.
    std::vector<std::string> Render(const Records& records) {
        std::vector<std::string> bodies;
        ZervaRTChunk* chunk = Define(records);
        for (const char* options :
             {"", "UseXMLEntities=Yes PreserveSpaces=Yes", "WAICompliant=Yes", "UseCurlyBracesInline=Yes",
              "StandardFontTags=Yes", "ForceFontColor=Yes SuppressFonts=face"}) {
            for (const char* format : {"HTML", "XHTML"}) {
                const std::string markup = Generate(chunk, format, options);
                if (std::string(format) == "XHTML") {
                    std::string report;
                    EXPECT_TRUE(talix_test::XmlWellFormed(markup, &report)) << options << "\n" << report;
                }
                bodies.push_back(Body(markup));
            }
        }
        return bodies;
    }
};

TEST_F(FontChangesTest, RepeatedParagraphsComeOutAsTheFirst) {
    using namespace htmlgen_test;
    // A plain first paragraph, then the pieces A and B in turns; a
    // right-to-left paragraph in the middle forces the direction of every
    // span after it, so that the pieces after it come out otherwise. The
    // first of each is made fresh, the others may be repeated.
    const std::string order = "AABAB-ABBA";
    Records records = {Definition(1), Reference(1), TextRun(1, 0, 0, 10, "start")};
    for (char piece : order) {
        records.push_back(ParagraphBreak());
        records.push_back(Reference(1));
        records.push_back(TextRun(1, 0, 0, 10, "[p] "));
        const Records runs = piece == '-' ? Records{TextRun(1, 0x01, 2, 12, "bold "), BidiRun("rtl ")}
                                          : Piece(piece == 'B');
        records.insert(records.end(), runs.begin(), runs.end());
    }
    records.push_back(ParagraphBreak());
    records.push_back(Reference(1));
    records.push_back(TextRun(1, 0, 0, 10, "[p] last"));
    for (const std::string& body : Render(records)) {
        // From each paragraph's first text to the next one's.
        const std::vector<std::string> paragraphs = Between(body, "[p]");
        ASSERT_EQ(paragraphs.size(), order.size()) << body;
        const std::size_t middle = order.find('-');
        for (std::size_t i = 0; i < order.size(); ++i) {
            if (order[i] == '-') continue;
            // The first paragraph of the same piece on the same side.
            const std::size_t from = i < middle ? 0 : middle + 1;
            const std::size_t first = order.find(order[i], from);
            EXPECT_EQ(paragraphs[i], paragraphs[first]) << "paragraph " << i + 2 << " of\n" << body;
        }
        EXPECT_NE(paragraphs[0], paragraphs[2]) << body;
    }
}

TEST_F(FontChangesTest, RepeatedCellsComeOutAsTheFirst) {
    using namespace htmlgen_test;
    std::vector<CellFields> cells = Grid(3, 2);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        cells[i].text.clear();
        cells[i].extra = Piece(i % 3 == 2);
    }
    Records records = {Definition(1), Reference(1), TextRun(1, 0x01, 2, 12, "before ")};
    const Records table = Table(cells);
    records.insert(records.end(), table.begin(), table.end());
    records.push_back(Reference(1));
    records.push_back(TextRun(1, 0x01, 2, 12, "after"));
    for (const std::string& body : Render(records)) {
        std::vector<std::string> parts = Between(body, "<td");
        ASSERT_EQ(parts.size(), cells.size() - 1) << body;
        // Cells 0, 1, 3 and 4 (from 0, two to a row) hold the first piece,
        // cell 2 the other; cells of a column come out alike, the part of a
        // row's last cell with the row's end.
        EXPECT_EQ(parts[4], parts[0]) << body;
        EXPECT_EQ(parts[3], parts[1]) << body;
        EXPECT_NE(parts[2], parts[0]) << body;
    }
}

TEST_F(FontChangesTest, TextGoesOnInTheSpanOfTheSameLook) {
    using namespace htmlgen_test;
    // A long paragraph whose words turn bold and back, all in one look
    // apart from the bold (14 points over a document of 10, and the same in
    // underlined text), then a word in another size and one in the first
    // again. The bold words go on in the span they stand in: spans of the
    // same text one inside the other grew as deep as the paragraph has
    // changes, past what XML readers take.
    Records records = {Definition(1), Reference(1)};
    for (int i = 0; i < 10; ++i) records.push_back(TextRun(1, 0, 0, 10, "plain "));
    records.push_back(ParagraphBreak());
    records.push_back(Reference(1));
    for (int i = 0; i < 200; ++i) {
        records.push_back(TextRun(1, 0, 0, 14, "w "));
        records.push_back(TextRun(1, 0x01, 0, 14, "b "));
    }
    for (int i = 0; i < 200; ++i) {
        records.push_back(TextRun(1, 0x04, 0, 10, "u "));
        records.push_back(TextRun(1, 0x05, 0, 10, "ub "));
    }
    records.push_back(TextRun(1, 0, 0, 18, "big "));
    records.push_back(TextRun(1, 0x01, 0, 14, "end"));
    ZervaRTChunk* chunk = Define(records);
    for (const char* options : {"", "ForceFontSize=Yes", "WAICompliant=Yes"}) {
        for (const char* format : {"HTML", "XHTML"}) {
            const std::string markup = Generate(chunk, format, options);
            const std::string body = Body(markup);
            SCOPED_TRACE(std::string(format) + " " + options);
            if (std::string(format) == "XHTML") {
                std::string report;
                EXPECT_TRUE(talix_test::XmlWellFormed(markup, &report)) << report;
            }
            EXPECT_EQ(htmlgen_test::Count(body, "<span style=\"font-size: 14pt; \">"), 2u) << body;
            EXPECT_EQ(htmlgen_test::Count(body, "text-decoration: underline; \">"), 1u) << body;
            EXPECT_EQ(htmlgen_test::Count(body, "font-size: 18pt; \">big </span>"), 1u) << body;
            EXPECT_EQ(htmlgen_test::Count(body, "<span"), htmlgen_test::Count(body, "</span>")) << body;
            EXPECT_EQ(htmlgen_test::Count(body, std::string(options) == "WAICompliant=Yes" ? "<strong>" : "<b>"),
                      401u);
        }
    }
}

} // namespace
