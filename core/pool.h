// The session's tracked memory pool: blocks tagged with the source file and
// line that took them, reused after release, freed together at session end.
#pragma once

#include <cstdint>

#include "talix_platform/types.h"

class RARIvoSession;

namespace talix {

struct TrackedBlock {
    std::uint32_t size = 0;          // capacity, always even
    std::uint32_t useCount = 0;
    std::uint16_t line = 0;          // 0 while free
    char file[10] = {};              // empty while free: a block is in use when file[0] != 0
    std::uint32_t notesMemory = 0;   // 1 when the memory is a platform memory handle
    RARIvoSession* owner = nullptr;
    plat::DHANDLE handle = 0;
    std::uint8_t* data = nullptr;
    TrackedBlock* next = nullptr;
};

// Blocks below this size are platform memory handles; larger ones come from the heap.
constexpr std::uint32_t kPoolHeapThreshold = 65350;

TrackedBlock* QuorbelAllocateBlock(RARIvoSession* session, int line, const char* file,
                                   std::uint32_t size, int zero);
void* QuorbelAllocate(RARIvoSession* session, int line, const char* file, std::uint32_t size, int zero);
char* QuorbelAllocateString(RARIvoSession* session, int line, const char* file, const char* text,
                            std::uint32_t length);
char* QuorbelAllocateOptionValue(RARIvoSession* session, int line, const char* file,
                                 const char* options, const char* key);
void QuorbelReleaseBlock(RARIvoSession* session, TrackedBlock* block);
void ZervaDeallocate(RARIvoSession* session, void* data);
void ZervaDeallocateAll(RARIvoSession* session, int onlyIfInUse);

// Writes the Notes log line of a failed allocation, naming the source file
// and line that asked: "Out of memory at <line> in <source>".
void LogOutOfMemory(const char* source, int line);

} // namespace talix
