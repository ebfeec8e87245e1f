// Enumerating the CD records of an item value, and of a record file.
#pragma once

#include "talix_platform/types.h"

namespace plat {

// Called once per record, in host form; a non-zero result stops the walk and
// is returned.
using RecordCallback = STATUS (*)(const void* record, WORD signature, DWORD length, void* context);

// Walks the records of one rich-text value (data-type word first). Damaged
// data ends the walk with a status of its own.
TPLAT_API STATUS EnumRecords(BLOCKID value, DWORD valueLength, RecordCallback callback, void* context);
// The same over a value in memory.
TPLAT_API STATUS EnumRecordsInMemory(const void* value, DWORD valueLength, RecordCallback callback,
                                     void* context);
// Walks the records of every item of a name of a note, restarting from the
// first item when a callback answers ERR_WALK_RESTART (at most a bounded
// number of times, then a failure of its own).
TPLAT_API STATUS EnumItemRecords(NOTEHANDLE note, const char* itemName, RecordCallback callback, void* context);
// Streams the records of a record file (as the raw export writes it: the
// word 1, then records) through the callback; tab width 1440 by default.
TPLAT_API STATUS EnumRecordFile(const char* path, RecordCallback callback, void* context);

} // namespace plat
