// Id tables and text lists.
#pragma once

#include "talix_platform/types.h"

namespace plat {

// ---- Id tables (memory handles: MemFree destroys them too) ---------------
TPLAT_API STATUS IdCreateTable(DHANDLE* table);
// Inserts a note id; *inserted (may be null) tells whether it was new.
TPLAT_API STATUS IdInsert(DHANDLE table, NOTEID id, bool* inserted = nullptr);
// Walks the ids in ascending order: first true starts again. Returns false
// at the end.
TPLAT_API bool IdScan(DHANDLE table, bool first, NOTEID* id);
TPLAT_API DWORD IdEntries(DHANDLE table);
TPLAT_API STATUS IdDestroyTable(DHANDLE table);

// ---- Text lists in memory blocks -------------------------------------------
// Layout: optional type word (TYPE_TEXT_LIST), WORD count, count WORD
// lengths, the texts.
TPLAT_API STATUS ListAllocate(WORD count, WORD size, bool prefixDataType, DHANDLE* list, void** address,
                              WORD* listSize);
// Number of entries of a list in memory.
TPLAT_API WORD ListEntryCount(const void* list, bool prefixDataType);
// Entry i of a list in memory (pointer into it, not terminated).
TPLAT_API STATUS ListGetText(const void* list, bool prefixDataType, WORD index, const char** text,
                             WORD* length);
// Adds an entry at index (index >= count appends). The block grows;
// *listSize is updated. Fails when the list would pass 65,535 bytes.
TPLAT_API STATUS ListAddEntry(DHANDLE list, bool prefixDataType, WORD* listSize, WORD index,
                              const char* text, WORD length);

} // namespace plat
