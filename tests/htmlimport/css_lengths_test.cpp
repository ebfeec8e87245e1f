// CSS lengths in inches, the unit options, and indents summed up the tree.
#include <cstring>
#include <string>

#include "htmlimport/css_lengths.h"
#include "htmlimport/import_options.h"
#include "style_fixture.h"

namespace {

using import_test::StyleTest;
using talix::ParseCSSLength;

class CssLengths : public StyleTest {
protected:
    float Length(const char* text) const { return ParseCSSLength(import_.get(), text, -1.0f); }
    float Pixels(float pixels) const { return pixels * import_->pixelMultiplier / 1440.0f; }
    void Options(const char* options) {
        talix::ReleaseImportContext(import_.get(), context_.get());
        import_ = NewImport();
        ASSERT_EQ(talix::CopyImportOptionText(import_.get(), options, talix::ImportSource::kText), 0);
        talix::ReadLengthOptions(import_.get());
    }
};

TEST_F(CssLengths, UnitsNumbersAndDefaults) {
    for (const char* inch : {"96px", "72pt", "2.54cm", "25.4mm", "1in", " 1in", "1.0in solid"})
        EXPECT_NEAR(Length(inch), 1.0f, 1e-5f) << inch;
    EXPECT_NEAR(Length("2em"), 0.3f, 1e-6f);
    EXPECT_NEAR(Length("2ex"), 0.15f, 1e-6f);
    EXPECT_NEAR(Length("12"), 0.125f, 1e-6f);
    EXPECT_NEAR(Length("12.5"), Pixels(12), 1e-6f);
    EXPECT_NEAR(Length("12.5px"), Pixels(12), 1e-6f);
    EXPECT_NEAR(Length("10px solid"), Pixels(10), 1e-6f);
    EXPECT_EQ(Length("solid 10px"), -1.0f);
    EXPECT_EQ(Length("inherit"), 0.0f);
    EXPECT_EQ(Length("in"), 0.0f);
    EXPECT_NEAR(Length("12.5.5in"), 12.5f, 1e-6f);
    EXPECT_NEAR(Length("-0.5in"), -0.5f, 1e-6f);
    EXPECT_NEAR(Length("1e400px"), Pixels(1), 1e-6f);
    EXPECT_EQ(Length("1e-400in"), 0.0f);
    for (const char* unreadable : {"50%", "auto", "-0", "0", "", "1e400in", "1e39pt", "medium",
                                   "99999999999999999999999999999999999999999999999999px"})
        EXPECT_EQ(Length(unreadable), -1.0f) << unreadable;
    EXPECT_EQ(ParseCSSLength(import_.get(), nullptr, -2.0f), -2.0f);
    import_->allowZeroSize = 1;
    EXPECT_EQ(Length("0"), 0.0f);

    // The unit options, kept within their bounds.
    Options("PixelMultiplier=20 EMMultiplier=0.3");
    EXPECT_NEAR(Length("96px"), 1.3333f, 1e-4f);
    EXPECT_NEAR(Length("2em"), 0.6f, 1e-6f);
    Options("PixelMultiplier=0.5 EMMultiplier=abc");
    EXPECT_EQ(import_->pixelMultiplier, 15.0f);
    EXPECT_EQ(import_->emMultiplier, 0.15f);
    Options("PixelMultiplier=99 EMMultiplier=1.5");
    EXPECT_EQ(import_->pixelMultiplier, 99.0f);
    EXPECT_EQ(import_->emMultiplier, 0.15f);
    Options(nullptr);
    EXPECT_NEAR(Length("96px"), 1.0f, 1e-6f);
}

TEST_F(CssLengths, IndentsAddUpToTheEnclosingCell) {
    Page("<ul style='margin-left: 20px'><li>a<ul class=deep><li id=inner>b</li></ul></li></ul>"
         "<ul style='margin-left: 20px'><li><table><tr><td><ul style='margin-left: 30px'><li id=cell>c</li></ul>"
         "</td></tr></table></li></ul><div style='margin-left: 10%'><p id=percent>d</p></div>",
         ".deep { margin-left: 30px }");
    auto sum = [&](const char* id, int depth, bool stopAtCell) {
        return talix::SumStyleLengthUpTree(import_.get(), Id(id), "margin-left", depth, stopAtCell);
    };
    EXPECT_NEAR(sum("inner", 2, true), Pixels(50), 1e-6f);
    EXPECT_NEAR(sum("inner", 0, false), Pixels(30), 1e-6f);
    EXPECT_NEAR(sum("inner", 1, false), Pixels(20), 1e-6f);
    // A text node counts once, with its element.
    EXPECT_NEAR(talix::SumStyleLengthUpTree(import_.get(), Id("inner")->firstChild, "margin-left", 2, true),
                Pixels(50), 1e-6f);
    // The cell ends the sum when asked to; otherwise it counts as a level.
    EXPECT_NEAR(sum("cell", 2, true), Pixels(30), 1e-6f);
    EXPECT_NEAR(sum("cell", 2, false), Pixels(50), 1e-6f);
    EXPECT_NEAR(sum("cell", 1, false), Pixels(20), 1e-6f);
    EXPECT_NEAR(sum("percent", 0, false), 0.75f, 1e-6f);
    EXPECT_EQ(talix::SumStyleLengthUpTree(import_.get(), nullptr, "margin-left", 2, true), 0.0f);

    EXPECT_EQ(talix::InchesToPixels(import_.get(), Length("5")), 5);
    EXPECT_EQ(talix::InchesToPixels(import_.get(), 1e30f), 2147483647);
}

} // namespace
