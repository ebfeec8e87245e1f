// The chunk-type table: for each element type a chunk-definition level can
// name, the records that start, wrap, end and belong to an element of the
// type, the record fields that tell its sub-kinds apart and, for elements
// made of text, their marker texts. The matcher reads it during the walk.
#pragma once

#include <cstdint>

#include "talix/export.h"

namespace talix {

struct ChunkTypeRow {
    std::uint16_t type = 0;
    std::uint16_t start[4] = {};            // 0 = none
    std::uint16_t wrapper[4] = {};          // inner signatures of a BEGIN that wraps an element
    std::uint16_t positionField = 0;        // byte of a cell record holding the row or column index
    std::uint16_t subKindOffset = 0;        // u16 of the start record holding the sub-kind
    std::uint16_t subKindCount = 0;
    std::uint16_t subKinds[4] = {};
    std::uint32_t excludedOffset = 0;       // u32 flags of the start record
    std::uint16_t excludedCount = 0;
    std::uint32_t excluded[4] = {};
    std::uint32_t requiredOffset = 0;
    std::uint16_t requiredCount = 0;
    std::uint32_t required[4] = {};
    const char* markers[4] = {};            // two start markers, then two end markers
    std::uint16_t end[5] = {};              // records, or inner signatures of END records
    std::uint16_t members[7] = {};          // records that belong to an element
    // 1 for an element that may stand anywhere in the item; 0 for Row and
    // Column, which exist only as parts of a table.
    std::uint32_t freeStanding = 0;
    std::uint32_t single = 0;               // an element starts and ends on one record
    // The record that ends an element is not part of it: it stays for what
    // follows (the next row's first cell ends a row).
    std::uint32_t endKept = 0;
    // 1 for an element placed at coordinates of its own rather than in the
    // flow of the text: Layer, ImageMap and GraphicHotspot.
    std::uint32_t positioned = 0;
};

// The row of a type 1-37, or null for type 0 (Everything) and unknown types.
const ChunkTypeRow* GetChunkTypeRow(std::uint16_t type);

// The position of name (compared ignoring case) in the property list of a
// type; the list's count when the name is null, empty or not in the list,
// or when the type has no list (count 0).
std::uint16_t FindChunkTypeProperty(std::uint16_t type, const char* name);

} // namespace talix
