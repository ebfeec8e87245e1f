// The single pass of the table look-ups: one pass over the chunk's table
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
    // The cells came from the direct scan of a single table rather than
    // from the engine's walk.
    bool scanned = false;
};

// How the pass reads the table: by a direct scan of the table's records
// where the chunk is a single table whose records the scan can assign to
// their cells as the engine's walk would (else by that walk), or always by
// the walk with "Row *; Column *" inside the chunk.
enum class TableCellRoute : std::uint8_t { ScanWherePossible, EngineWalk };

// Reads the chunk's item once (a table the scan gives up on is read again
// by the walk). The chunk's innermost level must be a plain or Inside
// table level (a chunk in which "Row *; Column *" can be defined). Returns
// 0 or the run's failure (the chunk's last status).
STATUS CollectTableCells(ZervaRTChunk* chunk, const TableCellRequest& request, TableCells* cells,
                         TableCellRoute route = TableCellRoute::ScanWherePossible);

} // namespace talix
