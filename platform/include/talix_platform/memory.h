// Memory handles: movable blocks named by a 32-bit handle.
#pragma once

#include "talix_platform/types.h"

namespace plat {

// Allocates a zero-filled block of size bytes (0 is allowed). flags is
// recorded; callers pass MEM_GROWABLE.
TPLAT_API STATUS MemAlloc(DWORD size, WORD flags, DHANDLE* handle);
// The address of the block; null for an invalid handle. Locks nest; the
// address stays valid until the block is freed or reallocated.
TPLAT_API void* MemLock(DHANDLE handle);
// Ends one lock. Returns false for an invalid handle or one not locked.
TPLAT_API bool MemUnlock(DHANDLE handle);
// Frees the block, locked or not. Id tables are freed here too.
TPLAT_API STATUS MemFree(DHANDLE handle);
// Changes the size of a block, keeping its contents (new bytes are zero).
TPLAT_API STATUS MemRealloc(DHANDLE handle, DWORD size);
// The size of a block, 0 for an invalid handle.
TPLAT_API DWORD MemSize(DHANDLE handle);
// The number of blocks allocated and not freed; tests check it for leaks.
TPLAT_API DWORD MemLiveCount();

// The address of the memory a block id names (an item, or an item value that
// starts with its data-type word). Null when the block id is not valid.
TPLAT_API void* BlockLock(BLOCKID block);
TPLAT_API void BlockUnlock(BLOCKID block);

} // namespace plat
