// Two services of the table writer and the other writers that frame
// content with a border: a border record as CSS text, and finding cells in
// the record list (the next cell of a table, its end, the cell that carries
// a merged block, whether a cell begins a block). A merged block is stored
// on its last, bottom-right cell (the owner) with its spans; the block's
// other cells are hidden. Nothing here changes the record list.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/record_list.h"
#include "core/statuses.h"
#include "htmlgen/xml_gen_context.h"

namespace talix {

// Overwrites out (capacity bytes with its terminator) with the CSS of a
// border record (length bytes in host form; fields past a short record
// count as 0): " border-style:...;", the colour, the widths, the margins
// and the padding. A null record gives a single blank. What does not fit is
// left out. Returns 0.
STATUS WriteXMLBorderStyle(const std::uint8_t* record, std::uint32_t length, XMLGenContext* context,
                                     char* out, std::size_t capacity);

// After a cell, the next cell or table end of the same table (records of
// tables nested in its cells are passed over); null at the list's end or
// when the node is not a cell.
CDRecordNode* NextCellRecord(CDRecordNode* node);

// The end of the table that holds the cell (or the end itself); null when
// the node is neither, or the list ends first.
CDRecordNode* FindTableEnd(CDRecordNode* node);

// The cell that carries the block a hidden cell is the first cell of: the
// first later cell of the same table whose block begins at this cell. A
// visible cell is its own owner. Null at the table's end or for a node that
// is not a cell.
CDRecordNode* FindSpanOwnerCell(CDRecordNode* node);

// 1 when the cell is the first position of the owner's block (a visible
// 1 x 1 cell is its own block), else 0.
int IsSpanOrigin(const CDRecordNode* cell, const CDRecordNode* owner);

} // namespace talix
