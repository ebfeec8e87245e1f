// Look-ups an operation run makes beside its walk: the cell that covers a
// spanned cell, the attachments hotspots refer to, and paragraph
// definitions in the run's record list.
#pragma once

#include <cstdint>

#include "core/statuses.h"
#include "talix_platform/types.h"

class ZervaRTChunk;

namespace talix {

struct RecordProcessContext;

// Finds the cell that covers the wanted row and column (context->cellSearch,
// 1-based) of the table whose first cell record has the given index, over
// the stored records of the run's item. The start cell's row and column are
// recorded; a cell whose row span or column span is 2 or more and whose
// area holds the wanted cell gives the found row and column (its own, 1-based).
// The search ends at that cell or at the first table end after the first
// cell. Returns 0 (found or not), 257 for an item that is not rich text
// (error word 20029 in the context) or a platform status.
STATUS FindTableCell(std::uint32_t firstCellIndex, RecordProcessContext* context);

// Removes from the run's note the attachments and OLE objects that the
// hotspots and OLE records of the item refer to, limited to the context's
// removal range when it has one (first index not 0). The chunk's last
// status is cleared. Returns 0, 257 for an item that is not rich text
// (error word 20029 in the context) or the failure of a removal.
STATUS RemoveChunkAttachments(ZervaRTChunk* chunk, RecordProcessContext* context);
// Its per-record step (a platform record callback; context is the run's
// RecordProcessContext): an OLE object record removes the object of its
// name; a hotspot begin removes the attachment its text names, when the note
// holds one.
plat::STATUS RemoveHotspotAttachmentCallback(const void* record, plat::WORD signature,
                                                       plat::DWORD length, void* context);

// The highest id of the paragraph definitions in the run's record list into
// context->highestParagraphId (never lowered).
void FindHighestPabID(RecordProcessContext* context);

// Loads the context's current paragraph definition. It starts as a default
// (id 0, left and first-line margins 1,440, right margin 0, tabs every 720);
// a definition of the wanted id (kAnyParagraphId: any) whose id is not below
// the one loaded so far replaces it. Searches: kLoadBackward from the end of
// the list, kLoadForward from its start (kLoadFromCurrent: from the current
// record in both); kLoadFirstMatch ends each search at its first match, and
// skips the forward search when the backward one found a definition.
constexpr std::uint16_t kAnyParagraphId = 4095;
constexpr std::uint16_t kLoadBackward = 1, kLoadForward = 2, kLoadFromCurrent = 4, kLoadFirstMatch = 8;
STATUS LoadPabDefinition(std::uint16_t paragraphId, std::uint16_t flags, RecordProcessContext* context);

} // namespace talix
