// Look-ups an operation run makes beside its walk: the cell that covers a
// spanned cell and the files removed records referred to; and, for the run's
// record list, those of builders/walked_paragraphs.h (paragraph definitions).
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "builders/walked_paragraphs.h"
#include "core/statuses.h"
#include "engine/file_references.h"
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

// What the attachment removal finds on its walk over the item: the files
// the records of the removal range refer to, in record order, and the keys
// (FileKey) of the files the records outside it refer to.
struct AttachmentRemoval {
    RecordProcessContext* context = nullptr;
    std::vector<FileReference> removed;
    std::set<std::string> kept;
};

// Removes from the run's note the attachments and OLE objects that the file
// hotspots, pictures kept as attachments and OLE records of the item refer
// to, limited to the context's removal range when it has one (first index
// not 0). The records are those the run walked (the context's records, as
// the item holds them), or the stored ones where the context has none. A
// file that a record of the item outside the range, or a record of
// another rich-text item of the note, still refers to stays; a name the note
// holds no file of is passed over. The chunk's last status is cleared.
// Returns 0, 257 for an item that is not rich text (error word 20029 in the
// context; nothing is removed) or the failure of a removal.
STATUS RemoveChunkAttachments(ZervaRTChunk* chunk, RecordProcessContext* context);
// Its per-record step (a platform record callback; state is the removal's
// AttachmentRemoval): counts the record in the context's walk counter and
// notes the file it refers to as removed or kept by the range.
plat::STATUS RemoveHotspotAttachmentCallback(const void* record, plat::WORD signature,
                                                       plat::DWORD length, void* state);

} // namespace talix
