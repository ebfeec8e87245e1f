// What the table operations keep within one operation run: the table level
// of the first table the chunk meets, the cell, row and colour state of the
// cell operations, the fit-to-window state per level and the merge state.
#pragma once

#include <cstdint>

#include "builders/record_output.h"
#include "core/session_work_area.h"

namespace talix {

struct TableRunState {
    std::uint32_t chunkStart = 0;            // index of the chunk's first record
    // The walk's table level of the first table met inside the chunk, and
    // whether that table has ended.
    std::uint32_t levelKnown = 0;
    std::int32_t level = 0;
    std::uint32_t firstTableDone = 0;

    // Cell colour: a cell of each level still waits for its colour record.
    std::uint32_t colourOwed[kTableLevels] = {};
    std::int32_t lastCellLevel = 0;
    // Cell colour read: the index and the RGB value were taken.
    std::uint32_t colourIndexTaken = 0;
    std::uint32_t colourRGBTaken = 0;

    // Row labels and cell attributes: a row (cell) of the first table is
    // open, and it already has its label (id/name record).
    std::uint32_t rowOpen = 0;
    std::uint32_t rowDone = 0;
    std::uint32_t cellOpen = 0;
    std::uint32_t cellDone = 0;
    // Table attributes: the table's id/name record is handled, or waits for
    // the end of the table's bracketed group.
    std::uint32_t tableAttributesDone = 0;
    std::uint32_t tableAttributesAtGroupEnd = 0;

    // Fit to window, per level: the widths are recomputed, and the right
    // edge of the last cell.
    std::uint32_t fit[kTableLevels] = {};
    std::uint16_t runningEdge[kTableLevels] = {};

    // Merging: the definition of the merged cell, and the paragraph records
    // after the merged cell that are dropped up to the next cell.
    std::uint8_t mergeDefinition[kParagraphImageSize] = {};
    std::uint32_t mergeStarted = 0;
    std::uint32_t mergeWritten = 0;
    std::uint32_t dropParagraphRecords = 0;
};

} // namespace talix
