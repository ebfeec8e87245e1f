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
// Keeps the bytes an item value's block id names readable where BlockLock
// shows them, unchanged, until the returned memory handle is freed
// (MemFree), even after the item is deleted or replaced or its note is
// closed: a record list can point into a stored value instead of copying
// it. MemLock of the handle gives the same address, MemSize the value's
// length; the bytes are read-only and the block cannot be reallocated.
// Returns 0, or a failure for a block id that names no value.
TPLAT_API STATUS BlockKeep(BLOCKID block, DHANDLE* handle);

} // namespace plat
