// Signatures that play the same part in an item: the two forms (outer and
// nested) of the table records, the hotspot ends and the link resources.
#pragma once

#include <cstdint>

#include "core/signatures.h"

namespace talix {

inline bool IsTableBeginRecord(std::uint16_t s) { return s == kSigTableBegin || s == kSigNestedTableBegin; }
inline bool IsCellRecord(std::uint16_t s) { return s == kSigTableCell || s == kSigNestedTableCell; }
inline bool IsTableEndRecord(std::uint16_t s) { return s == kSigTableEnd || s == kSigNestedTableEnd; }
// The records of a table as a whole that stand after its last cell, before
// its end: the row cycle and the transition of an animated table. They are
// no part of the last row.
inline bool IsTableTrailerRecord(std::uint16_t s) { return s == kSigTimerInfo || s == kSigTransition; }

inline bool IsHotspotEndRecord(std::uint16_t s) {
    return s == kSigHotspotEnd || s == kSigV4HotspotEnd || s == kSigV5HotspotEnd;
}

// The resource records that hold a link: of text and of table cells.
inline bool IsLinkResourceRecord(std::uint16_t s) {
    return s == kSigHref || s == kSigHref2 || s == kSigTableCellHref || s == kSigTableCellHref2;
}

} // namespace talix
