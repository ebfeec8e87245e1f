// The item a table look-up read, kept by the driver context for the next
// look-up of the same item: the database and the note stay open and the
// records read stay in the item, so that a later look-up of an unchanged
// note costs one walk of its records. Whether the note is unchanged is
// asked of the database at every call: its stored originator id (whose
// sequence number every update raises) and modification time against those
// of the note as it was read, so that a change by any writer, in this
// process or another, is seen by the next call; so is a database file
// replaced whole.
#pragma once

#include "driver/document_address.h"
#include "driver/driver_context.h"

namespace talix {

// Whether the call may read a kept item: a look-up of a note named by its
// database and note id (not a note handle, not a design element) with no
// property strings (they would change the item the next call reads).
bool MayUseWarmItem(const DriverContext* context, const CallState& state);

// The kept item, for a call that reads the same item of the same note while
// the stored note is unchanged since it was read; null otherwise, and a
// kept item that does not serve is dropped.
ZervaRTItem* TakeWarmItem(DriverContext* context, const CallState& state);

// Keeps the call's item, just connected to the note the call addresses, for
// the next look-ups (it stays the call's item until the call ends).
void KeepWarmItem(DriverContext* context, const CallState& state);

// Whether the item is the one kept (it outlives the call).
bool IsWarmItem(const DriverContext* context, const ZervaRTItem* item);

// Closes the kept item, its note and database (unless it is the running
// call's item, which the call deletes).
void DropWarmItem(DriverContext* context);

} // namespace talix
