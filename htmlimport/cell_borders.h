// The border widths of an HTML table cell, as its CSS, its row's CSS and
// its table's border attribute give them, and what a row asks once of the
// elements above its cells.
#pragma once

#include <cstdint>

namespace talix {

struct HTMLImportContext;
struct HtmlNode;
struct ImportRowStyle;
struct ImportTableLevel;

// The answers of the cell's row (table_grid.h): those the level keeps when
// the cell has the same parent as the cell asked before and the rules are
// unchanged, else asked afresh and kept.
const ImportRowStyle& RowStyleOf(const HTMLImportContext* import, ImportTableLevel* level, const HtmlNode* cell);

// The border word of a cell record for the cell: the width of each side in
// pixels (left in bits 0-3, right 4-7, top 8-11, bottom 12-15). A side's
// CSS width (the cell's, else its row's; "thin" 1, "medium" 2, "thick" 4)
// sets it, a style or width of "none" sets the default (0, or in a Word
// 2000 document the cell's own border attribute); a cell with no side set
// takes the table's border attribute on all four sides.
std::uint16_t CellBorderWord(const HTMLImportContext* import, const HtmlNode* cell, const ImportRowStyle& row);

// The left side's width in pixels of a border word.
inline unsigned LeftBorderPixels(std::uint16_t word) { return word & 0x000Fu; }

} // namespace talix
