// The records of an HTML table: the whole skeleton of a rich-text table,
// laid down before the walk converts the cells' content into it.
#pragma once

#include <cstdint>

#include "core/statuses.h"

namespace talix {

struct HTMLImportContext;
struct HtmlNode;
struct BuildContext;

// Writes the skeleton of the table at the import's current level, whose
// grid (table_grid.h) is filled, as columns x rows positions: the
// paragraph that holds the table (the paragraph of a block that holds it
// is reused), the table's lead records (its rows and columns, fit to the
// window for a width of "100%", the table option words; bracketed with a
// border record when the table has a border, is tabbed or reuses the
// paragraph), the table begin (margins, cell spacing and padding, centred
// or right-aligned in a centred or right-aligned parent), for every
// position a cell record with its spans and flags from the grid, a
// paragraph, a paragraph definition of the cell's margins, a reference and
// an empty run, the table end, and the paragraph after the table unless a
// block follows it. Widths come from the width of the table (inches, or a
// share of the cell around a nested table) and of its first measured cells
// (a table of absolute width shares its width out in their proportions);
// a nested table is never wider than the table around it. Cell borders
// come from "CellBorder=" of the option text, four sides (top, bottom,
// left, right) each "0"/"N" none, "1"/"S" single or "2"/"D" double, the
// reading ending at any other character.
//
// The level's state keeps the table's width and column widths, the cell
// records by position and the table end; the column right-margin table of
// the level (the right margin a paragraph of a column's cells takes when
// it has none) is filled. Returns 0, or the status of the table end when a
// block follows the table.
STATUS ConvertTableFromHTML(int columns, int rows, HTMLImportContext* import, BuildContext* context,
                            HtmlNode* table);

} // namespace talix
