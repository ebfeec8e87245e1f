// The writing half of an operation run: the output list a writing run
// builds (through the append gate) in place of the item's records, the
// records copied unchanged from the old list, the end-of-item record, and
// the commit that makes the new list the item's stored body, or the roll
// back that leaves the item as it was.
#pragma once

#include "core/record_list.h"
#include "core/statuses.h"

class ZervaRTItem;

namespace talix {

struct RecordProcessContext;

// Starts the run's output: a fresh output list for the item with its first
// output segment. Returns 0 or 263.
STATUS StartWritingRun(RecordProcessContext* context);

// Passes the records waiting to be copied (from the context's pending node
// up to the node before stopBefore; to the end of the list when stopBefore
// is null) to the append gate unchanged, and clears the pending copy.
// Returns 0 or the gate's failure.
STATUS FlushPendingCopies(RecordProcessContext* context, const CDRecordNode* stopBefore);

// Where content is put before a chunk that begins with a record of the
// element round it: a cell (or a row, from its first cell) begins at its
// cell record, and a paragraph at the paragraph record that closes the one
// before it. Before such a record the content would land in the cell or
// paragraph before the chunk (or, before a table's first cell, break the
// table). The chunk's opening records are written first and taken as
// written: the cell record with its colour and background records; with
// intoParagraph (inline content: text, a link, a picture) also the
// paragraph record and the records that open the paragraph after it
// (definition, reference, hide formula and its reference), of the cell's
// first paragraph or of the chunk's paragraph. *first becomes the first
// record after them (null at the item's end), or stays the current node
// where nothing is written: a run that only reads, a chunk that begins
// otherwise, or at the item's first record. Returns 0 or the gate's failure.
STATUS EnterChunkContent(RecordProcessContext* context, bool intoParagraph, const CDRecordNode** first);

// The empty text run that closes what a run wrote: in the font of the last
// run walked, unless the output already ends with an empty run in a colour
// bracket. Returns 0 or the gate's failure.
STATUS AppendClosingTextRun(RecordProcessContext* context);

// Ends a writing run. On success (status 0): the closing empty text run
// (unless the executors wrote it), the last segment closed, the new list
// made the item's list and, unless the item caches its records, committed;
// a commit that fails puts the old list back and leaves the stored item as
// it was. On failure: the output is discarded and the item keeps its list.
// Returns the run's final status.
STATUS FinishWritingRun(RecordProcessContext* context, STATUS status);

// The empty-text clean-up of operation 49, before the walk: removes the
// text wrappers around a single empty text run (when the item merges text),
// the empty one of two adjacent text runs and empty pass-through brackets;
// the nodes are numbered again from 1.
void RemoveEmptyText(ItemRecordList* list, const ZervaRTItem* item);

} // namespace talix
