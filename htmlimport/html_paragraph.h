// Paragraph properties of a block element (p, div, headings, layers) as a
// paragraph-style text for ZervaRTItem::ParseParagraphString: spacing,
// alignment, direction, margins and indents from the element's attributes,
// its inline style and the style rules. Lengths are inches.
#pragma once

#include <string>

namespace talix {

struct HTMLImportContext;
struct HtmlNode;

// Empties the text, then appends, each beginning with a blank:
// 1. " Below=DOUBLE" / " Below='1.5'" from margin-bottom ("1em", or 0.15 inch
//    and more / "0.5em", or more than 0 and less than 0.15 inch);
// 2. " Above=DOUBLE" / " Above='1.5'" likewise from margin-top; a p without
//    margin-top whose parent is no td or th gets " Above='double'" unless
//    its class is "MsoNormal";
// 3. " InterLine=DOUBLE" / " InterLine='1.5'" from line-height ("2em", or
//    0.5 inch and more / "1.5em", or 0.25 up to 0.5 inch);
// 4. " Justify='...'" from the align attribute, else text-align, else
//    'center' for a center element and 'left' for any other;
// 5. " +RTL" or " -RTL" from the context's rightToLeft;
// 6.-8. " LeftMargin='%3.2fin' LeftMarginOffset='%3.2fin'": the element's
//    margin-left and padding-left added to those of its ancestors, plus the
//    one-inch page margin; the offset takes the nearest margin only, and the
//    page margin only outside table cells and layers (the context's
//    tableLevel and layerLevel); a blockquote where no margin is given is
//    indented a quarter inch more for itself and for each quotation around
//    it (EnclosingQuotation);
// 9. " LeftMarginFirst=... FirstLeftMarginOffset=..." from text-indent
//    (searched up the block or table ancestors; "%" gives
//    " FirstLeftMarginPercent='n%'");
// 10. from margin-right (searched up likewise): " RightMarginPercent='100%'"
//    when absent, " RightMarginPercent='n'" (100 less the percentage) for a
//    percentage, " RightMarginOffset='%3.2fin'" for a length beyond the left
//    margin.
// A percentage where a length is needed counts 0.075 inch per percent.
void CalcParagraphFromHTML(const HTMLImportContext* import, const HtmlNode* node, std::string* text);

// The nearest blockquote around the node that indents its text, within the
// table cell that holds the node (a box of its own); a quoted mail reply
// (class "gmail_quote") opens no paragraph and is passed over. Null when
// there is none.
const HtmlNode* EnclosingQuotation(const HtmlNode* node);

} // namespace talix
