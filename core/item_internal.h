// Helpers shared by the item's own files (construction and saving,
// connecting).
#pragma once

#include "core/statuses.h"

class ZervaRTItem;

namespace talix {

// True when the item can work: its session has its work area and the item
// has its work state.
bool ItemReady(const ZervaRTItem* item);

// Frees the item's current and output record lists (unwritten changes are
// lost).
void DropRecordLists(ZervaRTItem* item);

// Drops what ties the item to its note: the record lists (unwritten changes
// are lost), the note and database when the item opened them (items that
// borrowed them are disconnected first), both handles and the borrowed flag.
void ReleaseConnection(ZervaRTItem* item);

// Gives the item its default "Everything" chunk, reusing the one it has.
// Returns 0 or 263.
STATUS ResetDefaultChunk(ZervaRTItem* item);

} // namespace talix
