// Text nodes imported as text runs: the fonts, colours, highlights and
// direction their HTML and CSS give them, long texts, blanks, pre text and
// attached-file markers.
#include <gtest/gtest-spi.h>

#include <string>

#include "core/font_spec.h"
#include "core/item_work_state.h"
#include "core/signatures.h"
#include "talix/item.h"
#include "talix_platform.h"
#include "walk_fixture.h"

namespace {

using import_test::Imported;
using import_test::WalkTest;

using talix::kAttrBold;
using talix::kAttrItalic;
using talix::kAttrStrike;
using talix::kAttrSubscript;
using talix::kAttrSuperscript;
using talix::kAttrUnderline;

class TextRuns : public WalkTest {
protected:
    // The point size of the first run of the text.
    int Size(const Imported& imported, const std::string& text) { return imported.Run(text).Font().size; }
    // The faces of the note's font table: how many carry the name.
    int FacesNamed(plat::NOTEID note, const char* name) {
        ZervaRTItem item(&session_);
        EXPECT_EQ(item.Connect("", path_.c_str(), note, "Body", 0), 0);
        int count = 0;
        for (int i = 0; i < item.work->faceCount; ++i) count += std::string(item.work->faces[i].name) == name ? 1 : 0;
        return count;
    }
    int FaceCount(plat::NOTEID note) {
        ZervaRTItem item(&session_);
        EXPECT_EQ(item.Connect("", path_.c_str(), note, "Body", 0), 0);
        return item.work->faceCount;
    }
};

TEST_F(TextRuns, RunsTakeTheFontOfTheirElements) {
    const Imported hello = Import("<p>Hello <b>bold</b> <i>it</i></p>");
    ASSERT_EQ(hello.status, 0);
    EXPECT_EQ(hello.problem, "");
    // The first paragraph of the body writes its definition and reference,
    // and no paragraph record.
    EXPECT_EQ(hello.Layout().substr(0, 6), "D2 R2 ");
    EXPECT_EQ(hello.Count(talix::kSigParagraph), 0u);
    EXPECT_EQ(hello.Texts(), "Hello |bold| |it");
    const talix::FontId plain = hello.Run("Hello ").Font();
    EXPECT_EQ(plain.face, 1);
    EXPECT_EQ(plain.size, 10);
    EXPECT_EQ(plain.attributes, 0);
    EXPECT_EQ(hello.Run("bold").Font().attributes, kAttrBold);
    EXPECT_EQ(hello.Run(" ").Font().attributes, 0);
    EXPECT_EQ(hello.Run("it").Font().attributes, kAttrItalic);
    EXPECT_EQ(BodyText(hello.note), "Hello bold it");

    const Imported styles = Import(
        "<p><u>u</u><s>s</s><strike>k</strike><sub>b</sub><sup>p</sup><strong><em>x</em></strong>"
        "<a href=\"http://a\">link</a><span style=\"text-decoration:none\"><u>no</u></span>"
        "<span style=\"font-weight:bold;font-style:italic\">css</span><b style=\"font-weight:lighter\">light</b></p>");
    EXPECT_EQ(styles.Run("u").Font().attributes, kAttrUnderline);
    EXPECT_EQ(styles.Run("s").Font().attributes, kAttrStrike);
    EXPECT_EQ(styles.Run("k").Font().attributes, kAttrStrike);
    EXPECT_EQ(styles.Run("b").Font().attributes, kAttrSubscript);
    EXPECT_EQ(styles.Run("p").Font().attributes, kAttrSuperscript);
    EXPECT_EQ(styles.Run("x").Font().attributes, kAttrBold | kAttrItalic);
    // Link text without a colour of its own: underlined, in colour 4.
    EXPECT_EQ(styles.Run("link").Font().attributes, kAttrUnderline);
    EXPECT_EQ(styles.Run("link").Font().color, 4);
    EXPECT_EQ(styles.Run("no").Font().attributes, 0);
    EXPECT_EQ(styles.Run("css").Font().attributes, kAttrBold | kAttrItalic);
    EXPECT_EQ(styles.Run("light").Font().attributes, 0);

    // Weights by number: bold from 600 up; a lower number is a normal weight.
    const Imported weights = Import(
        "<p><span style=\"font-weight:700\">w7</span><span style=\"font-weight: 600 \">w6</span>"
        "<span style=\"font-weight:500\">w5</span><b style=\"font-weight:400\">w4</b>"
        "<span style=\"font-weight:900\"><span style=\"font-weight:normal\">wn</span></span>"
        "<span style=\"font-style:oblique\">ob</span><span style=\"font-style:Oblique 10deg\">ob10</span></p>");
    EXPECT_EQ(weights.Run("w7").Font().attributes, kAttrBold);
    EXPECT_EQ(weights.Run("w6").Font().attributes, kAttrBold);
    EXPECT_EQ(weights.Run("w5").Font().attributes, 0);
    EXPECT_EQ(weights.Run("w4").Font().attributes, 0);
    EXPECT_EQ(weights.Run("wn").Font().attributes, 0);
    // An oblique style is italic.
    EXPECT_EQ(weights.Run("ob").Font().attributes, kAttrItalic);
    EXPECT_EQ(weights.Run("ob10").Font().attributes, kAttrItalic);
    // The font shorthand reads a weight by number too, and keeps it out of
    // the family.
    const Imported shorthand =
        Import("<p><span style=\"background-color: #eeeeee; font: 700 12pt Arial\">f</span></p>");
    EXPECT_EQ(shorthand.Run("f").Font().attributes, kAttrBold);
    EXPECT_EQ(shorthand.Run("f").Font().size, 12);
    EXPECT_EQ(FacesNamed(shorthand.note, "Arial"), 1);
}

TEST_F(TextRuns, SizesFromFontElementsAndCss) {
    const Imported sizes = Import(
        "<p><font size=\"5\">five</font><font size=\"3\"><font size=\"+1\">up</font></font>"
        "<font size=\"-2\">down</font><font size=\"9\">nine</font>"
        "<span style=\"font-size:16px\">px</span><span style=\"font-size:10.5pt\">pt</span>"
        "<span style=\"font-size:large\">large</span><span style=\"font-size:x-small\">xs</span>"
        "<span style=\"font-size:smaller\">smaller</span></p>"
        "<p style=\"font-size:20pt\"><span style=\"font-size:80%\">percent</span>"
        "<span style=\"font-size:0.5em\">em</span><span style=\"font-size:1000px\">huge</span></p>"
        "<p><font size=\"7\"><span style=\"font-size:8pt\">inner</span></font></p>",
        "Size7=40");
    ASSERT_EQ(sizes.status, 0);
    EXPECT_EQ(Size(sizes, "five"), 18);
    EXPECT_EQ(Size(sizes, "up"), 14);
    EXPECT_EQ(Size(sizes, "down"), 8);
    EXPECT_EQ(Size(sizes, "nine"), 10);
    EXPECT_EQ(Size(sizes, "px"), 12);
    EXPECT_EQ(Size(sizes, "pt"), 10);
    EXPECT_EQ(Size(sizes, "large"), 14);
    EXPECT_EQ(Size(sizes, "xs"), 9);
    EXPECT_EQ(Size(sizes, "smaller"), 10);
    // Relative sizes take the size around them; no size leaves the range
    // of a font id.
    EXPECT_EQ(Size(sizes, "percent"), 16);
    EXPECT_EQ(Size(sizes, "em"), 10);
    EXPECT_EQ(Size(sizes, "huge"), 255);
    // A font element with a size keeps the CSS of the elements inside it
    // away from its text ... but not the CSS of elements within.
    EXPECT_EQ(Size(sizes, "inner"), 8);
    // Sizes in the other units of length are measured in points.
    const Imported units = Import(
        "<p><span style=\"font-size:1in\">in</span><span style=\"font-size:1cm\">cm</span>"
        "<span style=\"font-size:5mm\">mm</span><span style=\"font-size:2pc\">pc</span>"
        "<span style=\"font-size:16PX\">PX</span><span style=\"font-size:0.25IN\">IN</span>"
        "<span style=\"font-size:14\">bare</span><span style=\"font-size:12pt\">pt</span></p>"
        "<p style=\"font-size:16pt\"><span style=\"font-size:-5pt\">minus</span>"
        "<span style=\"font-size:-2em\">minus em</span><span style=\"font-size:0\">zero</span></p>");
    ASSERT_EQ(units.status, 0);
    EXPECT_EQ(Size(units, "in"), 72);
    EXPECT_EQ(Size(units, "cm"), 28);
    EXPECT_EQ(Size(units, "mm"), 14);
    EXPECT_EQ(Size(units, "pc"), 24);
    EXPECT_EQ(Size(units, "PX"), 12);
    EXPECT_EQ(Size(units, "IN"), 18);
    EXPECT_EQ(Size(units, "bare"), 14);
    EXPECT_EQ(Size(units, "pt"), 12);
    // A negative size is passed over; a size of 0 is the smallest there is.
    EXPECT_EQ(Size(units, "minus"), 16);
    EXPECT_EQ(Size(units, "minus em"), 16);
    EXPECT_EQ(Size(units, "zero"), 1);
    const Imported options = Import("<p><font size=\"7\">seven</font></p>", "Size7=40");
    EXPECT_EQ(Size(options, "seven"), 40);
}

TEST_F(TextRuns, FacesAreDefinedOnceAndGenericNamesTouchNoTable) {
    const Imported faces = Import(
        "<p><font face=\"'Arial', Helvetica\">a</font><font face=\"Arial, Helvetica\">b</font>"
        "<font face=\"Courier\">c</font><font face=\"serif\">d</font><tt>e</tt>"
        "<span style=\"font-family:'Trebuchet MS', sans-serif\">f</span>"
        "<span style=\"font-family:monospace\">g</span></p><pre>h</pre>");
    ASSERT_EQ(faces.status, 0);
    const int arial = faces.Run("a").Font().face;
    EXPECT_GT(arial, 4);
    EXPECT_EQ(faces.Run("b").Font().face, arial);
    EXPECT_EQ(FacesNamed(faces.note, "Arial"), 1);
    EXPECT_EQ(faces.Run("c").Font().face, 4);
    EXPECT_EQ(faces.Run("d").Font().face, 0);
    EXPECT_EQ(faces.Run("e").Font().face, 4);
    EXPECT_GT(faces.Run("f").Font().face, 4);
    EXPECT_NE(faces.Run("f").Font().face, arial);
    EXPECT_EQ(faces.Run("g").Font().face, 4);
    EXPECT_EQ(faces.Run("h").Font().face, 4);

    const Imported generic = Import("<p><font face=\"serif\">s</font><font face=\"Default Sans Serif\">d</font></p>");
    EXPECT_EQ(generic.Run("s").Font().face, 0);
    EXPECT_EQ(generic.Run("d").Font().face, 1);
    EXPECT_EQ(FaceCount(generic.note), talix::kFixedFaceCount);
}

TEST_F(TextRuns, AnInheritedFamilyIsTheFamilyAroundIt) {
    const Imported inherit = Import(
        "<style>.same { font-family: inherit }</style><div style=\"font-family: Georgia\"><p>"
        "<span style=\"font-family: inherit\">a</span><span class=same>b</span></p></div>"
        "<p><span style=\"font-family: INHERIT\">c</span></p>");
    ASSERT_EQ(inherit.status, 0);
    const int georgia = inherit.Run("a").Font().face;
    EXPECT_GT(georgia, 4);
    EXPECT_EQ(inherit.Run("b").Font().face, georgia);
    EXPECT_EQ(FacesNamed(inherit.note, "Georgia"), 1);
    EXPECT_EQ(FacesNamed(inherit.note, "inherit"), 0);
    EXPECT_EQ(FacesNamed(inherit.note, "INHERIT"), 0);
    EXPECT_EQ(inherit.Run("c").Font().face, 1);
}

// A face name of characters of several bytes, some of whose later bytes
// look like a comma, blank or quote (U+7B2C ends in 0x2C, U+4E20 in 0x20,
// U+5F27 in 0x27): the name is cut and trimmed by whole characters.
TEST_F(TextRuns, FaceNamesAreCutByWholeCharacters) {
    const Imported faces = Import(
        "<p><font face=\"\xE7\xAC\xAC\xE5\xB1\x8B, serif\">a</font>"
        "<span style=\"font-family:'\xE7\xAC\xAC\xE5\xB1\x8B', serif\">b</span>"
        "<font face=\"\xE4\xB8\xA0\">c</font><font face=\"'\xE5\xBC\xA7'\">d</font></p>");
    ASSERT_EQ(faces.status, 0);
    const int first = faces.Run("a").Font().face;
    EXPECT_GT(first, 4);
    EXPECT_EQ(faces.Run("b").Font().face, first);
    EXPECT_EQ(FacesNamed(faces.note, plat::NativeToLmbcs("\xE7\xAC\xAC\xE5\xB1\x8B").c_str()), 1);
    EXPECT_EQ(FacesNamed(faces.note, plat::NativeToLmbcs("\xE4\xB8\xA0").c_str()), 1);
    EXPECT_EQ(FacesNamed(faces.note, plat::NativeToLmbcs("\xE5\xBC\xA7").c_str()), 1);
    EXPECT_EQ(FaceCount(faces.note), talix::kFixedFaceCount + 3);
}

// Runs whose elements share ancestors: each run's decoration, family and
// highlight end where its own walk up the tree would, whichever run asked
// first.
TEST_F(TextRuns, RunsBelowSharedAncestorsEndTheirWalksWhereTheirOwnWould) {
    const Imported walks = Import(
        "<div style=\"text-decoration:underline\"><p>a <span>b <s>c</s></span></p>"
        "<p style=\"text-decoration:none\"><u>d</u> e</p></div>"
        "<div style=\"font-family:'Courier New'\"><p>f <tt>g <span>h</span></tt> "
        "<font face=\"Arial\">i <span>j</span></font></p><p>k</p></div>"
        "<table><tr><td style=\"background-color:yellow\"><span>l</span></td>"
        "<td><span style=\"background-color:pink\">m</span></td></tr></table>"
        "<p style=\"background-color:yellow\"><span>n</span> <b>o</b></p>");
    ASSERT_EQ(walks.status, 0);
    EXPECT_EQ(walks.problem, "");
    EXPECT_EQ(walks.Run("a ").Font().attributes, kAttrUnderline);
    EXPECT_EQ(walks.Run("b ").Font().attributes, kAttrUnderline);
    EXPECT_EQ(walks.Run("c").Font().attributes, kAttrUnderline | kAttrStrike);
    // "none" nearer than the div clears what u and the div give.
    EXPECT_EQ(walks.Run("d").Font().attributes, 0);
    EXPECT_EQ(walks.Run(" e").Font().attributes, 0);

    const int courier = walks.Run("f ").Font().face;
    EXPECT_GT(courier, 4);
    EXPECT_EQ(walks.Run("k").Font().face, courier);
    EXPECT_EQ(walks.Run("g ").Font().face, 4);
    EXPECT_EQ(walks.Run("h").Font().face, 4);
    const int arial = walks.Run("i ").Font().face;
    EXPECT_GT(arial, 4);
    EXPECT_NE(arial, courier);
    EXPECT_EQ(walks.Run("j").Font().face, arial);

    // A cell ends the highlight's walk before its own background is asked.
    const std::string layout = walks.Layout();
    EXPECT_NE(layout.find("'l'"), std::string::npos);
    EXPECT_EQ(layout.find("B 'l'"), std::string::npos);
    EXPECT_NE(layout.find("B 'm' C4000 E"), std::string::npos);
    EXPECT_NE(layout.find("B 'n ' C8000 E"), std::string::npos);
    EXPECT_NE(layout.find("B 'o' C8000 E"), std::string::npos);
}

TEST_F(TextRuns, ColoursHighlightsAndDirection) {
    std::uint16_t red = 0;
    std::uint32_t rgb = 0;
    ASSERT_EQ(talix::ParseColorSpec("red", &red, &rgb), 0);
    const Imported colored = Import("<style>p.x{color:red}</style><p class=\"x\">r</p>"
                                    "<p><font color=\"#0000ff\">f</font></p>");
    ASSERT_EQ(colored.status, 0);
    EXPECT_EQ(colored.Layout().substr(0, 19), "D2 R2 '' B 'r' C1 E");
    EXPECT_EQ(colored.Run("r").Font().color, red);
    const auto& record = colored.records[5];
    ASSERT_EQ(record.signature, talix::kSigColor);
    EXPECT_EQ(record.bytes.substr(4, 3), std::string("\xff\x00\x00", 3));
    EXPECT_EQ(colored.records[3].Word(4), talix::kSigText);   // the bracket names the run it holds
    EXPECT_NE(colored.Layout().find("B 'f' C1 E"), std::string::npos);

    const Imported highlights = Import(
        "<p><span style=\"background-color:yellow\">y</span><span style=\"background-color:#FFFFC2\">c2</span>"
        "<span style=\"background-color:#ffffc3\">c3</span><span style=\"background-color:pink\">pk</span>"
        "<span style=\"background-color:aqua\">aq</span></p>");
    EXPECT_EQ(highlights.Layout().substr(0, 60),
              "D2 R2 '' B 'y' C8000 E B 'c2' C8000 E 'c3' B 'pk' C4000 E B ");
    EXPECT_NE(highlights.Layout().find("B 'aq' C2000 E"), std::string::npos);

    const Imported rtl = Import("<div dir=\"rtl\"><p>r <span style=\"color:green\">g</span></p></div><p>l</p>");
    EXPECT_EQ(rtl.Run("r ").signature, talix::kSigBidiText);
    EXPECT_NE(rtl.Layout().find("B <g> C1 E"), std::string::npos);
    for (const auto& each : rtl.records)
        if (each.signature == talix::kSigBegin) EXPECT_EQ(each.Word(4), talix::kSigBidiText);
    EXPECT_EQ(rtl.Run("l").signature, talix::kSigText);
}

TEST_F(TextRuns, RepeatedColoursAndTheColourOfTheText) {
    // The same colour text in many runs gives each the same colour; a
    // colour of the text itself ("windowtext") gives way to the font's.
    const Imported imported = Import(
        "<p><span style=\"color:#00ff00\">a</span> <b style=\"color:#00ff00\">b</b> <i style=\"color:navy\">c</i>"
        " <u style=\"color:navy\">d</u> <span style=\"color:WindowText\">e</span>"
        " <font color=\"#ff0000\"><span style=\"color:windowtext\">f</span></font>"
        " <span style=\"color:rgb(0, 0, 255)\">g</span> <em style=\"color:rgb(0, 0, 255)\">h</em></p>");
    ASSERT_EQ(imported.status, 0);
    // (A span's text takes the blank after it.)
    EXPECT_EQ(imported.Layout(), "D2 R2 '' B 'a ' C1 E B 'b' C1 E ' ' B 'c' C1 E ' ' B 'd' C1 E ' ' B 'e ' C1 E "
                                 "B 'f' C1 E ' ' B 'g ' C1 E B 'h' C1 E ''");
    std::uint16_t index = 0;
    std::uint32_t rgb = 0;
    std::string colours;
    for (const auto& record : imported.records) {
        if (record.signature != talix::kSigColor) continue;
        rgb = static_cast<unsigned char>(record.bytes[4]) | static_cast<unsigned char>(record.bytes[5]) << 8 |
              static_cast<std::uint32_t>(static_cast<unsigned char>(record.bytes[6])) << 16;
        colours += std::to_string(rgb) + " ";
    }
    EXPECT_EQ(colours, "65280 65280 8388608 8388608 0 255 16711680 16711680 ");
    ASSERT_EQ(talix::ParseColorSpec("navy", &index, &rgb), 0);
    EXPECT_EQ(imported.Run("c").Font().color, index);
    EXPECT_EQ(imported.Run("d").Font().color, index);
    EXPECT_EQ(imported.Run("e ").Font().color, 0);
    ASSERT_EQ(talix::ParseColorSpec("#ff0000", &index, &rgb), 0);
    EXPECT_EQ(imported.Run("f").Font().color, index);
}

TEST_F(TextRuns, ColoursWrittenAsCssFunctions) {
    // Blanks inside the parentheses, percentages, components out of range
    // and an alpha value all give the colour the function names, to text
    // and to a cell's background.
    const Imported imported = Import(
        "<p><span style=\"color:rgb( 255 , 0 , 0 )\">a</span>|<span style=\"color:rgb(0%, 100%, 0%)\">b</span>|"
        "<span style=\"color:rgb(300,-5,0)\">c</span>|<span style=\"color:rgba(0,0,255,0.5)\">d</span>|"
        "<span style=\"color:RGB(0 128 0)\">e</span>|<span style=\"color:rgb(1,2)\">f</span></p>"
        "<table><tr><td style=\"background-color: rgb( 0 , 0 , 255 )\">g</td></tr></table>");
    ASSERT_EQ(imported.status, 0);
    std::string colours;
    for (const auto& record : imported.records) {
        if (record.signature != talix::kSigColor && record.signature != talix::kSigTableCellColor) continue;
        const std::uint32_t rgb = static_cast<unsigned char>(record.bytes[4]) |
                                  static_cast<unsigned char>(record.bytes[5]) << 8 |
                                  static_cast<std::uint32_t>(static_cast<unsigned char>(record.bytes[6])) << 16;
        colours += std::to_string(rgb) + " ";
    }
    // (A function with two components is passed on as written.)
    EXPECT_EQ(colours, "255 65280 255 16711680 32768 513 16711680 ");
    std::uint16_t red = 0;
    std::uint32_t rgb = 0;
    ASSERT_EQ(talix::ParseColorSpec("#ff0000", &red, &rgb), 0);
    EXPECT_EQ(imported.Run("a").Font().color, red);
    EXPECT_EQ(imported.Run("c").Font().color, red);
}

// The fixture's reading of a body: a note without one fails the test that
// asks, with a message, and the run goes on.
TEST_F(TextRuns, ANoteWithoutABodyFailsTheReadingOfItsText) {
    ::testing::TestPartResultArray failures;
    std::string text;
    {
        ::testing::ScopedFakeTestPartResultReporter reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
        text = BodyText(NewNote());
    }
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures.GetTestPartResult(0).nonfatally_failed());
    EXPECT_NE(std::string(failures.GetTestPartResult(0).message()).find("has no Body"), std::string::npos);
    EXPECT_EQ(text, "<no body>");
    EXPECT_EQ(BodyText(Import("<p>here</p>").note), "here");
}

TEST_F(TextRuns, BlanksPreTextAndLongTexts) {
    const Imported blanks = Import("<p><span>a</span> <span>b</span> <b>c</b> <span><b>d</b></span> e</p>");
    // A blank after a span that begins with text goes to the span's text.
    EXPECT_EQ(blanks.Texts(), "a |b |c| |d| e");

    // The blank goes to the text that ends the span, however deep within
    // it, not to an earlier text of the span: no two words run together.
    const Imported deep = Import("<p><span>a <small>b</small></span> <i>c</i> <font>d <b>e</b></font> f</p>");
    EXPECT_EQ(deep.Texts(), "a |b |c| |d |e| f");
    EXPECT_EQ(BodyText(deep.note), "a b c d e f");
    EXPECT_EQ(BodyText(Import("<p><span>x<small>y <b>z</b></small></span> <i>w</i></p>").note), "xy z w");
    // A span that ends in a link keeps the blank after it as it stands.
    EXPECT_EQ(BodyText(Import("<p><span>a <a href=\"#top\">b</a></span> <i>c</i></p>").note), "a b c");

    const Imported pre = Import("<pre>one\ntwo</pre><p>after</p>");
    EXPECT_EQ(pre.Run(std::string("one\0two", 7)).Font().face, 4);
    EXPECT_EQ(pre.Run("after").Font().face, 1);
    // A line end right after the pre's start tag is markup: the text starts
    // on the pre's first line. Only that one: a second, or one within an
    // element of the pre, is a line of the text.
    EXPECT_EQ(Import("<pre>\none\ntwo</pre>").Texts(), std::string("one\0two", 7));
    EXPECT_EQ(Import("<pre>\r\n\none</pre>").Texts(), std::string("\0one", 4));
    EXPECT_EQ(Import("<pre><b>\none</b></pre>").Texts(), std::string("\0one", 4));

    // A text node longer than one run holds becomes several runs: nothing
    // is cut, no character is split.
    std::string text;
    while (text.size() < 100000) text += "caf\xC3\xA9 ";
    const Imported longText = Import("<p>" + text + "</p>");
    ASSERT_EQ(longText.status, 0);
    EXPECT_EQ(longText.problem, "");
    std::string joined;
    int runs = 0;
    for (const auto& record : longText.records) {
        if (record.signature != talix::kSigText || record.bytes.size() <= 8) continue;
        EXPECT_LE(record.bytes.size(), 32008u);
        joined += record.Text();
        ++runs;
    }
    EXPECT_GE(runs, 3);
    EXPECT_EQ(plat::LmbcsToNative(joined), text.substr(0, text.size() - 1));
}

TEST_F(TextRuns, ReferencesToCharacterZeroAreReplacementCharacters) {
    // "&#0;" stands for U+FFFD: no line break in plain text, and the text of
    // a link goes on past it.
    const Imported plain = Import("<p>a&#0;b c</p>");
    EXPECT_EQ(BodyText(plain.note), "a\xEF\xBF\xBD" "b c");
    const Imported link = Import("<p>x <a href=\"#top\">one&#0;two three</a> y</p>");
    EXPECT_EQ(BodyText(link.note), "x one\xEF\xBF\xBD" "two three y");
}

TEST_F(TextRuns, AttachedFileMarkersBecomeFileHotspots) {
    const Imported marked = Import("<p>(See attached file: 'report.doc')</p>", nullptr, NoteWithAttachment("report.doc"));
    ASSERT_EQ(marked.status, 0);
    EXPECT_EQ(marked.problem, "");
    EXPECT_EQ(marked.Count(talix::kSigV4HotspotBegin) + marked.Count(talix::kSigHotspotBegin), 1u);
    EXPECT_EQ(marked.Texts().find("See attached"), std::string::npos);

    // A marker naming a file the note does not hold stays text.
    const Imported unmarked =
        Import("<p>(See attached file: 'other.doc') and more</p>", nullptr, NoteWithAttachment("report.doc"));
    EXPECT_EQ(unmarked.Texts(), "(See attached file: 'other.doc') and more");
    EXPECT_EQ(unmarked.Count(talix::kSigV4HotspotBegin) + unmarked.Count(talix::kSigHotspotBegin), 0u);
}

} // namespace
