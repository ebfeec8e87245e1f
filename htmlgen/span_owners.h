// The merged blocks of one table: for each block, the cell that carries it
// (its last, bottom-right cell, the owner) by the position of the block's
// first cell. Built once per table by a pass over its cells, so that
// finding the owner of each hidden cell does not walk the rest of the
// table again.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <unordered_set>

#include "core/record_list.h"
#include "htmlgen/xml_gen_context.h"

namespace talix {

struct SpanOwners {
    // Block's first position (row * 256 + column) -> its owner: the first
    // owner in record order whose block begins at a hidden cell.
    std::unordered_map<std::uint32_t, CDRecordNode*> owners;
    // The rows of a table of more than 256 rows, whose cells number their
    // rows from 0 again after row 255: the cells from each such restart on,
    // by the count of restarts before them. Positions count those rows
    // on (row 256 is 256, not 0).
    std::unordered_map<const CDRecordNode*, std::uint32_t> restarts;
    // The positions of the table's hidden cells, and those that a block
    // covers. A hidden cell that holds words is not among the hidden: it
    // is written where it stands, as a cell of its own, so that its words
    // are not lost under a block.
    std::unordered_set<std::uint32_t> hidden;
    std::unordered_set<std::uint32_t> covered;
};

// Whether the cell is the owner written at its block's first position.
bool WrittenAtBlockStart(const SpanOwners* owners, const CDRecordNode* cell);

inline std::uint32_t CellPosition(std::uint32_t row, std::uint8_t column) { return row * 256u + column; }

// The cell's row in its table, counting the rows of a table of more than
// 256 rows past its 256th.
std::uint32_t TableRowOf(const SpanOwners* owners, const CDRecordNode* cell);

// The owners of the table the cell lies in, from the cell to the table's
// end (or the range's end): made on first need and kept with the level.
// Null for a table deeper than the levels kept.
const SpanOwners* SpanOwnersOf(XMLGenContext* context, TableLevelState* level, CDRecordNode* from);

// The next cell or table end of the table after a cell, within the range
// being rendered (nested tables passed over); null at the range's end.
CDRecordNode* NextCellInRange(const XMLGenContext* context, CDRecordNode* cell);

} // namespace talix
