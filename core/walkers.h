// Passes over the stored records of every item of a name that build no
// record list: the plain text or file data of an item, a file resource
// written to disk, the check text of an item, the search for the cell that
// covers a spanned cell and the removal of the attachments hotspots refer
// to; and two look-ups of paragraph definitions in the record list of an
// operation run.
#pragma once

#include <cstdint>

#include "core/statuses.h"
#include "talix/export.h"
#include "talix_platform/types.h"

class ZervaRTChunk;

namespace talix {

struct RecordProcessContext;

// Reads the content of every item of the name into a new text (terminated;
// the caller frees it with std::free) and its length. Mode 0: the text of
// the text runs, with one blank for every paragraph when paragraphFlag is
// set. Mode 1: the file data of a file resource, as long as its file header
// says. Returns 0 (a missing item gives an empty text), 263 (a null out
// pointer or no memory), 257 (an item that is not rich text, or damaged
// records) or a platform status.
TALIX_API STATUS MeasureItemContent(plat::NOTEHANDLE note, const char* itemName, char** text,
                                    std::uint32_t* length, int paragraphFlag, int mode);

// Writes the file data of every "$FileData" item of the note to a file.
// Returns 0, 257 (an empty path, a file that cannot be written, an item
// that is not rich text, damaged records) or a platform status; on failure
// no file is left behind.
TALIX_API STATUS ExportFileData(plat::NOTEHANDLE note, const char* filePath);

// The check text of the items of a name: three fields of digits, the total
// value length (lengthWidth digits), the sum of all value bytes and the
// position-weighted sum of the first item's bytes (sumWidth digits each),
// each the rightmost digits of its number. With a length width of 0 every
// field stays "0". out receives lengthWidth + 2 x sumWidth characters and
// the terminator; a smaller outSize gives 1028.
TALIX_API STATUS FormatItemCRC(plat::NOTEHANDLE note, const char* itemName, char* out, std::uint32_t outSize,
                               std::uint16_t lengthWidth, std::uint16_t sumWidth);

// Finds the cell that covers the wanted row and column (context->cellSearch,
// 1-based) of the table whose first cell record has the given index, over
// the stored records of the run's item. The start cell's row and column are
// recorded; a cell whose row span or column span is 2 or more and whose
// area holds the wanted cell gives the found row and column (its own, 1-based).
// The search ends at that cell or at the first table end after the first
// cell. Returns 0 (found or not), 257 for an item that is not rich text
// (error word 20029 in the context) or a platform status.
TALIX_API STATUS FindTableCell(std::uint16_t firstCellIndex, RecordProcessContext* context);

// Removes from the run's note the attachments and OLE objects that the
// hotspots and OLE records of the item refer to, limited to the context's
// removal range when it has one (first index not 0). The chunk's last
// status is cleared. Returns 0, 257 for an item that is not rich text
// (error word 20029 in the context) or the failure of a removal.
TALIX_API STATUS RemoveChunkAttachments(ZervaRTChunk* chunk, RecordProcessContext* context);
// Its per-record step (a platform record callback; context is the run's
// RecordProcessContext): an OLE object record removes the object of its
// name; a hotspot begin removes the attachment its text names, when the note
// holds one.
TALIX_API plat::STATUS RemoveHotspotAttachmentCallback(const void* record, plat::WORD signature,
                                                       plat::DWORD length, void* context);

// The highest id of the paragraph definitions in the run's record list into
// context->highestParagraphId (never lowered).
TALIX_API void FindHighestPabID(RecordProcessContext* context);

// Loads the context's current paragraph definition. It starts as a default
// (id 0, left and first-line margins 1,440, right margin 0, tabs every 720);
// a definition of the wanted id (kAnyParagraphId: any) whose id is not below
// the one loaded so far replaces it. Searches: kLoadBackward from the end of
// the list, kLoadForward from its start (kLoadFromCurrent: from the current
// record in both); kLoadFirstMatch ends each search at its first match, and
// skips the forward search when the backward one found a definition.
constexpr std::uint16_t kAnyParagraphId = 4095;
constexpr std::uint16_t kLoadBackward = 1, kLoadForward = 2, kLoadFromCurrent = 4, kLoadFirstMatch = 8;
TALIX_API STATUS LoadPabDefinition(std::uint16_t paragraphId, std::uint16_t flags, RecordProcessContext* context);

} // namespace talix
