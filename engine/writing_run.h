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
