// Text direction and links after styled text: the markup a generation
// writes for them, the same however often the item was rendered before.
#include <gtest/gtest.h>

#include <string>

#include "generation_fixture.h"
#include "support/markup_validators.h"

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

} // namespace
