// Borders, outer margins and padding of tables, images and blocks, and the
// cell borders of a table, from CSS and the attributes border, hspace and
// vspace, as option words for the record builders (" Keyword='value'").
#pragma once

#include <string>

namespace talix {

struct HTMLImportContext;
struct HtmlNode;

// The border text of a table, an image or a block; the text is emptied
// first. Look-ups search up the tree except for an img.
// - An img writes OuterLeft/OuterRight from margin-left (else hspace, which
//   gives both) and margin-right, OuterTop/OuterBottom from margin-top (else
//   vspace, which gives both) and margin-bottom, in whole pixels; 0 writes
//   nothing.
// - BorderThicknessBottom, -Top, -Left and -Right from the sides' widths as
//   written ("1" for an empty one), else the border attribute (absent "0",
//   empty "1"); with suppressZero a thickness beginning with "0" is left
//   out. Bottom and right widths of 12 make a drop shadow instead:
//   " BorderEffects='DROP_SHADOW' BorderStyle='none'" and nothing else.
// - BorderColor from border-color, else border-top-color, else
//   border-left-color.
// - BorderStyle from border-style, else the top, else the left style
//   ("hidden" is "none"); without one, "SOLID" when a thickness other than
//   0 was written. A style of several words names the sides' styles by the
//   box rule ("solid dashed"): the first side's (top, right, bottom, left)
//   that shows a border is written, and a side whose style is none or
//   hidden gets thickness "0".
// - PaddingLeft (pixels) from padding-left of the node, else of the nearest
//   block ancestor (div, p, center, blockquote) that has one, when a style
//   other than none was written; a block ancestor with a margin-left but no
//   padding-left ends the search.
void CalcBorderSetFromHTML(const HTMLImportContext* import, const HtmlNode* node, std::string* text,
                           bool suppressZero);

// Adds CellBorderColor and CellBorderStyle to the text, each only when the
// text does not hold it yet, from the first td, th or tr at or below the
// node that gives both (a row asks its cells when it gives only one of
// them). The colour is taken out of the value ("#808080" of "1px groove
// #808080", "rgb(...)" whole); the style is "solid" (solid, dashed, dotted),
// "emboss" (groove, emboss, inset), "extrude" (ridge, extrude, outset) or
// "none" (none, hidden); another style word is "solid" unless the border
// width is 0 or less. Returns 1 when the text holds both words afterwards.
int CalcCellBorderFromHTML(const HTMLImportContext* import, const HtmlNode* node, std::string* text);

} // namespace talix
