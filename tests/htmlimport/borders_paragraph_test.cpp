// Border texts of tables, images, blocks and cells, and paragraph-style
// texts of blocks, as the record builders receive them.
#include <string>

#include "core/paragraph_def.h"
#include "htmlimport/html_borders.h"
#include "htmlimport/html_paragraph.h"
#include "style_fixture.h"

namespace {

using import_test::StyleTest;

class BorderText : public StyleTest {
protected:
    std::string Border(const char* id, bool suppressZero) {
        std::string text = "left over";
        talix::CalcBorderSetFromHTML(import_.get(), Id(id), &text, suppressZero);
        return text;
    }
    std::string Cell(const char* id, int expected, std::string text = {}) {
        EXPECT_EQ(talix::CalcCellBorderFromHTML(import_.get(), Id(id), &text), expected) << id;
        return text;
    }
};

TEST_F(BorderText, TablesImagesAndBlocks) {
    Page("<table id=t2 border=2><tr><td>a</td></tr></table><table id=t0><tr><td>b</td></tr></table>"
         "<table id=t1 border><tr><td>c</td></tr></table>"
         "<div id=shadow style='border-bottom: 12px; border-right: 12px solid'>d</div>"
         "<img id=h src=cid:a hspace=5><img id=v src=cid:a vspace=3 style='margin-left: 10px; margin-right: 0'>"
         "<img id=pct src=cid:a style='margin-top: 7%'>"
         "<div id=hidden style='border-style: hidden; border-width: 1px'>e</div>"
         "<div style='padding-left: 30px'><div style='margin-left: 5px'><div id=pad style='border: 1px dashed "
         "#00f'>f</div></div></div>"
         "<div style='padding-left: 30px'><p id=inherit class=framed>g</p></div>"
         "<div id=quote style=\"border-color: red' x\">h</div>",
         ".framed { border: 2pt solid } img { margin-bottom: 0.25in }");
    EXPECT_EQ(Border("t2", false), " BorderThicknessBottom='2' BorderThicknessTop='2' BorderThicknessLeft='2' "
                                   "BorderThicknessRight='2' BorderStyle='SOLID'");
    EXPECT_EQ(Border("t0", false), " BorderThicknessBottom='0' BorderThicknessTop='0' BorderThicknessLeft='0' "
                                   "BorderThicknessRight='0'");
    EXPECT_EQ(Border("t0", true), "");
    EXPECT_EQ(Border("t1", true), " BorderThicknessBottom='1' BorderThicknessTop='1' BorderThicknessLeft='1' "
                                  "BorderThicknessRight='1' BorderStyle='SOLID'");
    EXPECT_EQ(Border("shadow", false), " BorderEffects='DROP_SHADOW' BorderStyle='none'");
    EXPECT_EQ(Border("h", true), " OuterLeft='5' OuterRight='5' OuterBottom='24'");
    EXPECT_EQ(Border("v", true), " OuterLeft='10' OuterTop='3' OuterBottom='3'");
    EXPECT_EQ(Border("pct", true), " OuterTop='7' OuterBottom='24'");
    EXPECT_EQ(Border("hidden", true), " BorderThicknessBottom='1px' BorderThicknessTop='1px' "
                                      "BorderThicknessLeft='1px' BorderThicknessRight='1px' BorderStyle='none'");
    // Padding from the nearest block that has one, unless a block with a
    // margin of its own comes first.
    EXPECT_EQ(Border("pad", true), " BorderThicknessBottom='1px' BorderThicknessTop='1px' BorderThicknessLeft='1px' "
                                   "BorderThicknessRight='1px' BorderColor='#00f' BorderStyle='dashed'");
    EXPECT_EQ(Border("inherit", true), " BorderThicknessBottom='2pt' BorderThicknessTop='2pt' "
                                       "BorderThicknessLeft='2pt' BorderThicknessRight='2pt' BorderStyle='solid' "
                                       "PaddingLeft='30'");
    // A value holding an apostrophe comes back whole between other quotes.
    EXPECT_EQ(Border("quote", true), " BorderColor=\"red' x\"");
    std::string untouched = "x";
    talix::CalcBorderSetFromHTML(import_.get(), nullptr, &untouched, true);
    EXPECT_EQ(untouched, "");
}

TEST_F(BorderText, BlocksFindBordersUpToTheirGroupAndAfterNewRules) {
    Page("<div style='border-top: 1px solid'><div><p id=inner>a</p></div></div>"
         "<table><tr><td style='border: 3px solid'><p id=incell>b</p></td></tr></table>"
         "<blockquote><p id=late>c</p></blockquote><p id=attr border=4>d</p><span id=span>e</span>");
    // A border of an enclosing block is found; one of the cell above the
    // block group is not.
    EXPECT_EQ(Border("inner", true), " BorderThicknessTop='1px' BorderStyle='solid'");
    EXPECT_EQ(Border("incell", true), "");
    EXPECT_EQ(Border("late", true), "");
    // A rule added afterwards answers the next time.
    Sheet("blockquote { BORDER-LEFT: 2px dotted #0f0 }");
    EXPECT_EQ(Border("late", true), " BorderThicknessLeft='2px' BorderColor='#0f0' BorderStyle='dotted'");
    // The border attribute gives the thicknesses without any CSS.
    EXPECT_EQ(Border("attr", true), " BorderThicknessBottom='4' BorderThicknessTop='4' BorderThicknessLeft='4' "
                                    "BorderThicknessRight='4' BorderStyle='SOLID'");
    // An element of no group searches up to the root: the blockquote's rule
    // is no border of a span's ancestors.
    EXPECT_EQ(Border("span", true), "");
}

TEST_F(BorderText, CellBorders) {
    Page("<table id=t><tr id=r><td id=c style='border: 1px groove #808080'>a</td></tr></table>"
         "<table><tr id=r2 style='border-color: blue'><td>b</td><td style='border-style: ridge'>c</td></tr></table>"
         "<table><tr><td id=rgb style='border: 1px solid rgb(10, 20, 30)'>d</td>"
         "<td id=zero style='border-style: double; border-width: 0'>e</td>"
         "<td id=wide style='border-style: double; border-width: 2px'>f</td><td id=plain>g</td>"
         "<td id=mixed style='border-color: 2px #abc solid'>h</td></tr></table>");
    EXPECT_EQ(Cell("c", 1), " CellBorderColor='#808080' CellBorderStyle='emboss'");
    EXPECT_EQ(Cell("t", 1), " CellBorderColor='#808080' CellBorderStyle='emboss'");
    EXPECT_EQ(Cell("r2", 1), " CellBorderColor='blue' CellBorderStyle='extrude'");
    EXPECT_EQ(Cell("rgb", 1), " CellBorderColor='rgb(10,20,30)' CellBorderStyle='solid'");
    EXPECT_EQ(Cell("zero", 0), " CellBorderStyle='none'");
    EXPECT_EQ(Cell("wide", 0), " CellBorderStyle='solid'");
    EXPECT_EQ(Cell("plain", 0), "");
    EXPECT_EQ(Cell("mixed", 0), " CellBorderColor='#abc'");
    // Words the text holds already are not written again.
    EXPECT_EQ(Cell("c", 1, " CellBorderColor='red'"), " CellBorderColor='red' CellBorderStyle='emboss'");
}

TEST_F(BorderText, ColoursNamedInBorderShorthands) {
    Page("<div id=all style='border: 2px solid blue'>a</div><div id=top style='border-top: 1px dotted Navy'>b</div>"
         "<div id=bare style='border: 1px solid'>c</div><div id=thick style='border: 1px solid thick'>d</div>"
         "<table><tr><td id=cell style='border: 1px dashed green'>e</td></tr></table>");
    EXPECT_EQ(Border("all", true), " BorderThicknessBottom='2px' BorderThicknessTop='2px' BorderThicknessLeft='2px' "
                                   "BorderThicknessRight='2px' BorderColor='blue' BorderStyle='solid'");
    EXPECT_EQ(Border("top", true), " BorderThicknessTop='1px' BorderColor='Navy' BorderStyle='dotted'");
    // A shorthand without a colour, or with a keyword where the colour
    // would stand, gives none.
    EXPECT_EQ(Border("bare", true), " BorderThicknessBottom='1px' BorderThicknessTop='1px' BorderThicknessLeft='1px' "
                                    "BorderThicknessRight='1px' BorderStyle='solid'");
    EXPECT_EQ(Border("thick", true), " BorderThicknessBottom='1px' BorderThicknessTop='1px' "
                                     "BorderThicknessLeft='1px' BorderThicknessRight='1px' BorderStyle='solid'");
    EXPECT_EQ(Cell("cell", 1), " CellBorderColor='green' CellBorderStyle='solid'");
}

TEST_F(BorderText, BorderShorthandWordsInAnyOrder) {
    Page("<div id=cws style='border: red solid 2px'>a</div><div id=swc style='border: solid 2px #00f'>b</div>"
         "<div id=cwf style='border: blue 2px solid'>c</div><div id=wcs style='border-top: 1px navy dotted'>d</div>"
         "<div id=scw style='border: dashed green 3px'>e</div>"
         "<table><tr><td id=cell style='border: red dashed 1px'>f</td></tr></table>");
    EXPECT_EQ(Border("cws", true), " BorderThicknessBottom='2px' BorderThicknessTop='2px' BorderThicknessLeft='2px' "
                                   "BorderThicknessRight='2px' BorderColor='red' BorderStyle='solid'");
    EXPECT_EQ(Border("swc", true), " BorderThicknessBottom='2px' BorderThicknessTop='2px' BorderThicknessLeft='2px' "
                                   "BorderThicknessRight='2px' BorderColor='#00f' BorderStyle='solid'");
    EXPECT_EQ(Border("cwf", true), " BorderThicknessBottom='2px' BorderThicknessTop='2px' BorderThicknessLeft='2px' "
                                   "BorderThicknessRight='2px' BorderColor='blue' BorderStyle='solid'");
    EXPECT_EQ(Border("wcs", true), " BorderThicknessTop='1px' BorderColor='navy' BorderStyle='dotted'");
    EXPECT_EQ(Border("scw", true), " BorderThicknessBottom='3px' BorderThicknessTop='3px' BorderThicknessLeft='3px' "
                                   "BorderThicknessRight='3px' BorderColor='green' BorderStyle='dashed'");
    EXPECT_EQ(Cell("cell", 1), " CellBorderColor='red' CellBorderStyle='solid'");
    // Without a width in length units: a width keyword, or none, on every
    // side; the style and colour words are no widths.
    Page("<div id=sc style='border: solid red'>a</div><div id=ksc style='border: thick solid red'>b</div>"
         "<div id=sck style='border: solid red thin'>c</div>");
    EXPECT_EQ(Border("sc", true), " BorderColor='red' BorderStyle='solid'");
    EXPECT_EQ(Border("ksc", true), " BorderThicknessBottom='thick' BorderThicknessTop='thick' "
                                   "BorderThicknessLeft='thick' BorderThicknessRight='thick' BorderColor='red' "
                                   "BorderStyle='solid'");
    EXPECT_EQ(Border("sck", true), " BorderThicknessBottom='thin' BorderThicknessTop='thin' "
                                   "BorderThicknessLeft='thin' BorderThicknessRight='thin' BorderColor='red' "
                                   "BorderStyle='solid'");
}

TEST_F(BorderText, RgbBorderColoursReachTheBuildersReadable) {
    Page("<div id=blanks style='border-color: rgb( 255 , 0, 0 )'>a</div>"
         "<div id=percent style='border: 1px solid rgb(100%, 0%, 50%)'>b</div>"
         "<div id=alpha style='border-top-color: rgba(0, 0, 255, 0.5)'>c</div>"
         "<div id=over style='border-color: rgb(300,-4,0)'>d</div><div id=hash style='border-color: #0F0'>e</div>"
         "<table><tr><td id=cell style='border: 1px solid rgb( 0 , 128 , 0 )'>f</td></tr></table>");
    EXPECT_EQ(Border("blanks", true), " BorderColor='rgb(255,0,0)'");
    EXPECT_EQ(Border("percent", true), " BorderThicknessBottom='1px' BorderThicknessTop='1px' "
                                       "BorderThicknessLeft='1px' BorderThicknessRight='1px' "
                                       "BorderColor='rgb(255,0,128)' BorderStyle='solid'");
    EXPECT_EQ(Border("alpha", true), " BorderColor='rgb(0,0,255)'");
    EXPECT_EQ(Border("over", true), " BorderColor='rgb(255,0,0)'");
    EXPECT_EQ(Border("hash", true), " BorderColor='#0F0'");
    EXPECT_EQ(Cell("cell", 1), " CellBorderColor='rgb(0,128,0)' CellBorderStyle='solid'");
    // An rgb() with blanks in it is one word of a shorthand, wherever it stands.
    Page("<div id=first style='border: rgb(255, 0, 0) solid 2px'>a</div>"
         "<div id=middle style='border: 2px rgb(0, 128, 0) dashed'>b</div>"
         "<div id=side style='border-top: rgb(1, 2, 3) 1px dotted'>c</div>");
    EXPECT_EQ(Border("first", true), " BorderThicknessBottom='2px' BorderThicknessTop='2px' "
                                     "BorderThicknessLeft='2px' BorderThicknessRight='2px' "
                                     "BorderColor='rgb(255,0,0)' BorderStyle='solid'");
    EXPECT_EQ(Border("middle", true), " BorderThicknessBottom='2px' BorderThicknessTop='2px' "
                                      "BorderThicknessLeft='2px' BorderThicknessRight='2px' "
                                      "BorderColor='rgb(0,128,0)' BorderStyle='dashed'");
    EXPECT_EQ(Border("side", true), " BorderThicknessTop='1px' BorderColor='rgb(1,2,3)' BorderStyle='dotted'");
}

TEST_F(BorderText, StylesGivenPerSide) {
    Page("<table id=t style='border-width: 2px; border-style: solid dashed'><tr><td>a</td></tr></table>"
         "<div id=sides style='border-width: 1px; border-style: none double'>b</div>"
         "<div id=three style='border: 3px solid; border-style: hidden hidden groove'>c</div>"
         "<div id=gone style='border-width: 1px; border-style: none hidden'>d</div>"
         "<div id=one style='border-width: 1px; border-style: hidden'>e</div>");
    // The record takes the first side's style that shows a border.
    EXPECT_EQ(Border("t", true), " BorderThicknessBottom='2px' BorderThicknessTop='2px' BorderThicknessLeft='2px' "
                                 "BorderThicknessRight='2px' BorderStyle='solid'");
    // The sides whose style shows none have no thickness.
    EXPECT_EQ(Border("sides", true), " BorderThicknessLeft='1px' BorderThicknessRight='1px' BorderStyle='double'");
    EXPECT_EQ(Border("sides", false), " BorderThicknessBottom='0' BorderThicknessTop='0' BorderThicknessLeft='1px' "
                                      "BorderThicknessRight='1px' BorderStyle='double'");
    EXPECT_EQ(Border("three", true), " BorderThicknessBottom='3px' BorderStyle='groove'");
    EXPECT_EQ(Border("gone", true), " BorderStyle='none'");
    EXPECT_EQ(Border("one", true), " BorderThicknessBottom='1px' BorderThicknessTop='1px' BorderThicknessLeft='1px' "
                                   "BorderThicknessRight='1px' BorderStyle='none'");
}

class ParagraphText : public StyleTest {
protected:
    std::string Paragraph(const char* id) {
        std::string text = "left over";
        talix::CalcParagraphFromHTML(import_.get(), Id(id), &text);
        return text;
    }
    static constexpr const char* kPlainMargins =
        " LeftMargin='1.00in' LeftMarginOffset='1.00in' LeftMarginFirst='1.00in' FirstLeftMarginOffset='1.00in'";
};

TEST_F(ParagraphText, SpacingAlignmentAndDirection) {
    Page("<p id=bare>a</p><p id=mso class=MsoNormal>b</p><p id=em style='margin-bottom: 1em'>c</p>"
         "<p id=tenth style='margin-bottom: 0.1in; margin-top: 0.5em; line-height: 2em'>d</p>"
         "<div id=div style='margin-top: 0; line-height: 0.3in; text-align: center'>e</div>"
         "<p id=align align=right style='text-align: center'>f</p><center id=center>g</center>"
         "<table><tr><td><p id=incell>h</p></td></tr></table>"
         "<p id=justify style='text-align: Justify'>i</p><div id=justattr align=justify>j</div>"
         "<div id=lh100 style='line-height: 100%'>k</div><div id=lh150 style='line-height: 150%'>l</div>"
         "<div id=lh2 style='line-height: 2'>m</div><div id=lh15 style='line-height: 1.6'>n</div>"
         "<div id=lh1 style='line-height: 1'>o</div>");
    EXPECT_EQ(Paragraph("bare"),
              std::string(" Above='double' Justify='left' -RTL") + kPlainMargins + " RightMarginPercent='100%'");
    EXPECT_EQ(Paragraph("mso"), std::string(" Justify='left' -RTL") + kPlainMargins + " RightMarginPercent='100%'");
    auto begins = [this](const char* id, const std::string& start) {
        const std::string text = Paragraph(id);
        EXPECT_EQ(text.substr(0, start.size()), start) << id;
    };
    begins("em", " Below=DOUBLE Above='double' Justify='left'");
    begins("tenth", " Below='1.5' Above='1.5' InterLine=DOUBLE Justify='left'");
    begins("div", " InterLine='1.5' Justify='center' -RTL");
    begins("align", " Above='double' Justify='right' -RTL");
    begins("center", " Justify='center' -RTL");
    begins("incell", " Justify='left' -RTL");
    // Justified text is justified in full.
    begins("justify", " Above='double' Justify='full' -RTL");
    begins("justattr", " Justify='full' -RTL");
    // A line height of a multiple of the font size, with or without "%".
    begins("lh100", " Justify='left' -RTL");
    begins("lh150", " InterLine='1.5' Justify='left'");
    begins("lh2", " InterLine=DOUBLE Justify='left'");
    begins("lh15", " InterLine='1.5' Justify='left'");
    begins("lh1", " Justify='left' -RTL");
    import_->rightToLeft = 1;
    EXPECT_NE(Paragraph("bare").find(" +RTL "), std::string::npos);
}

TEST_F(ParagraphText, MarginsAndIndents) {
    Page("<blockquote id=quote>a</blockquote><blockquote id=quote2 style='margin-left: 0.5in'>b</blockquote>"
         "<div style='margin-left: 0.5in; padding-left: 0.1in'><p id=nested style='margin-left: 0.25in'>c</p></div>"
         "<p id=right style='margin-right: 20%'>d</p><p id=rightin style='margin-right: 2in'>e</p>"
         "<p id=indent style='text-indent: 0.5in'>f</p><p id=indentpct style='text-indent: 10%'>g</p>"
         "<div style='text-indent: 1.5in'><p id=indentup>h</p></div>"
         "<table><tr><td id=cell style='padding-left: 0.2in'><p id=incell style='margin-left: 0.3in'>i</p></td>"
         "</tr></table>");
    EXPECT_NE(Paragraph("quote").find(" LeftMargin='1.25in' LeftMarginOffset='1.25in'"), std::string::npos);
    EXPECT_NE(Paragraph("quote2").find(" LeftMargin='1.50in' LeftMarginOffset='1.50in'"), std::string::npos);
    const std::string nested = Paragraph("nested");
    EXPECT_NE(nested.find(" LeftMargin='1.85in' LeftMarginOffset='1.35in' LeftMarginFirst='1.85in' "
                          "FirstLeftMarginOffset='1.35in'"),
              std::string::npos)
        << nested;
    EXPECT_NE(Paragraph("right").find(" RightMarginPercent='80'"), std::string::npos);
    EXPECT_NE(Paragraph("rightin").find(" RightMarginOffset='3.00in'"), std::string::npos);
    EXPECT_NE(Paragraph("indent").find(" LeftMarginFirst='1.50in' FirstLeftMarginOffset='1.50in'"),
              std::string::npos);
    EXPECT_NE(Paragraph("indentpct").find(" FirstLeftMarginPercent='11%'"), std::string::npos);
    EXPECT_NE(Paragraph("indentup").find(" LeftMarginFirst='1.50in' FirstLeftMarginOffset='1.50in'"),
              std::string::npos);

    // In a table cell (or a layer) the offsets leave out the page margin.
    import_->tableLevel = 1;
    EXPECT_NE(Paragraph("incell").find(" LeftMargin='1.50in' LeftMarginOffset='0.50in'"), std::string::npos);
    EXPECT_NE(Paragraph("cell").find(" LeftMargin='1.20in' LeftMarginOffset='0.20in'"), std::string::npos);
    import_->tableLevel = 0;
    import_->layerLevel = 1;
    EXPECT_NE(Paragraph("nested").find(" LeftMarginOffset='0.35in'"), std::string::npos);
    EXPECT_NE(Paragraph("indentup").find(" LeftMarginFirst='2.50in' FirstLeftMarginOffset='1.50in'"),
              std::string::npos);
    import_->layerLevel = 0;

    // The text is what the paragraph-string parser reads.
    talix::CDPABDEFEXT definition{};
    ASSERT_EQ(item_.ParseParagraphString(nested.c_str(), nullptr, &definition, nullptr, nullptr, nullptr, nullptr,
                                         nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                         nullptr, nullptr, nullptr, nullptr, nullptr),
              0);
    EXPECT_EQ(definition.leftMargin, 2664);
    EXPECT_EQ(definition.leftMarginOffset, 1944);
    EXPECT_EQ(definition.rightMarginPercent, 100);
}

} // namespace
