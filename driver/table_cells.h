// The single pass of the table look-ups: one walk over the chunk's table
// that collects, for every row, the key cell and the value cell as the
// look-up's own reads of "Row %d; Column %d" and "Row %d; Column %d;
// NonBlankText 1" would return them, and counts the rows as the chunk's
// GetCount("Row") (sideways: GetCount("Row 1; Column")) would.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/statuses.h"

class ZervaRTChunk;

namespace talix {

// Rows and columns are numbered from the cell records' row and column
// bytes, so that a table has at most this many of either.
constexpr std::uint32_t kTablePositions = 256;

struct TableCellRequest {
    // Sideways, the records are the table's columns and the fields its rows.
    bool sideways = false;
    // The field of the value cells and of the key cells (1-based; 0: not
    // wanted).
    std::uint16_t valueField = 0;
    std::uint16_t keyField = 0;
    // Value cells: every text run, joined by the separator (may be null),
    // rather than the first one.
    bool completeText = false;
    const char* separator = nullptr;
    // The most bytes kept of a cell's text.
    std::uint32_t textLimit = 0;
};

struct TableCells {
    // The records the table holds, counted as the chunk counts its targets:
    // records 1 to count exist.
    std::int32_t count = 0;
    // Indexed by record number (1 to kTablePositions); empty for a record
    // or cell that does not exist.
    std::vector<std::string> values;
    std::vector<std::string> keys;
};

// Walks the chunk's item once. The chunk's innermost level must be a plain
// or Inside table level (a chunk in which "Row *; Column *" can be
// defined). Returns 0 or the walk's failure (the chunk's last status).
STATUS CollectTableCells(ZervaRTChunk* chunk, const TableCellRequest& request, TableCells* cells);

} // namespace talix
