// Small routines the operation engine and its executors use on a record
// list: the pixel size of a graphic, the move of a graphic's image records
// into an attachment of the note (leaving a storage link in the body), the
// hotspot signature tests, and a record handler that does nothing.
#pragma once

#include <cstdint>

#include "core/record_list.h"
#include "core/statuses.h"

namespace talix {

struct RecordProcessContext;

// The pixel size of the graphic whose records start at first: from its
// bitmap header, a resized graphic record's destination size, its image
// header, or the GIF or JPEG data of its first image segment; the walk
// stops at the records of the next graphic. Zero outputs are first set to
// 100, so that a graphic without size records reports 100 x 100 (a caller's
// non-zero values stay when nothing is found). Returns 1028 when an output
// is missing, else 0.
STATUS GetGraphicPixelSize(const CDRecordNode* first, std::uint16_t* width, std::uint16_t* height);

// Stores the records from first to last (inclusive, in stored form) as an
// attachment of the run's note named "Graphic" (or the first free
// "Graphic0" to "Graphic999") and appends to the run's output what stands
// for them in the body: the range's CDBEGIN and graphic records, an image
// storage link naming the attachment, its bitmap header (or a new one of
// the image header's size, or 100 x 100) and its CDEND. Returns 0, 263 when
// an argument is missing or memory runs out, 257 when every name is taken,
// or a platform failure masked with 0x3fff; on failure the note has no new
// attachment.
STATUS ExportGraphicToItem(RecordProcessContext* context, CDRecordNode* first, CDRecordNode* last);

// True for the hotspot begin signatures 0xFF74, 0xFF7E, 0xFFA9, 0xFFAD.
bool IsHotspotBeginSignature(std::uint16_t signature);
// True for those and the hotspot end signatures 127, 170, 174.
bool IsHotspotSignature(std::uint16_t signature);

// A record handler that does nothing; returns 0.
STATUS NoOpRecordHandler(RecordProcessContext* context, std::uint8_t* record, CDRecordNode* node, void* value);

} // namespace talix
