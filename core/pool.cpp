// The session's tracked memory pool. Blocks are tagged with the source file
// and line of the code that took them; a released block stays in the
// session's list, marked free, and is handed out again to the next request it
// fits. Only ZervaDeallocateAll gives memory back.
//
// The list keeps its order (the first block, then the rest from the largest
// down, equal sizes in the order they came), and the first free block that
// fits, in that order, is handed out; a block asked for cleared has as many
// bytes cleared as a new block of the size asked for would hold. An index
// beside the list finds that block and the block of a data address without
// a walk over the list: after the first block the list's sizes never grow,
// so the first free block there is the only one that can fit.
#include "core/pool.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <set>
#include <unordered_map>
#include <utility>

#include "core/host_message.h"
#include "core/options.h"
#include "core/session_work_area.h"
#include "core/statuses.h"
#include "talix/session.h"
#include "talix_platform.h"
#include "talix_platform/c_locale.h"

namespace talix {

struct PoolIndex {
    std::unordered_map<const void*, TrackedBlock*> byData;   // every block with a data address
    // The free blocks after the first one, in list order: by size from the
    // largest down, then in the order they were made.
    std::set<std::pair<std::uint64_t, TrackedBlock*>> freeBlocks;
    std::set<std::pair<std::uint64_t, TrackedBlock*>> allBlocks;   // every block after the first, the same way
    std::unordered_map<const TrackedBlock*, std::uint64_t> orderOf;
    std::uint32_t made = 0;
    // A heap block whose memory was not obtained has size 0 where it lies:
    // the list is then searched whole.
    bool sizesOutOfOrder = false;
};

namespace {

// The largest block the pool will make; larger requests are cut to it.
constexpr std::uint64_t kMaxBlockSize = 4294967239u;

bool InUse(const TrackedBlock* block) { return block->file[0] != '\0'; }

// The index of the session's pool, made with its first block; null when
// memory was short then (the list is then walked until it is emptied).
PoolIndex* IndexOf(SessionWorkArea* area) {
    if (area->poolIndex == nullptr && area->trackedBlocks == nullptr) area->poolIndex = new (std::nothrow) PoolIndex;
    return area->poolIndex;
}

// Whether the index can stand for the list's order.
bool Ordered(const PoolIndex* index) { return index != nullptr && !index->sizesOutOfOrder; }

bool IsHead(const SessionWorkArea* area, const TrackedBlock* block) { return area->trackedBlocks == block; }

// Memory that runs out while the index is kept up to date: the index is let
// go, and the list is walked from then on, as when it could not be made.
void DropIndex(SessionWorkArea* area) {
    delete area->poolIndex;
    area->poolIndex = nullptr;
}

void SetFree(SessionWorkArea* area, TrackedBlock* block, bool free) {
    PoolIndex* index = area->poolIndex;
    if (!Ordered(index) || IsHead(area, block)) return;
    const auto order = index->orderOf.find(block);
    if (order == index->orderOf.end()) return;
    try {
        if (free) index->freeBlocks.emplace(order->second, block);
        else index->freeBlocks.erase({order->second, block});
    } catch (const std::bad_alloc&) {
        DropIndex(area);
    }
}

void SetData(SessionWorkArea* area, TrackedBlock* block, std::uint8_t* data) {
    PoolIndex* index = area->poolIndex;
    if (index != nullptr && block->data != nullptr) index->byData.erase(block->data);
    block->data = data;
    if (index == nullptr || data == nullptr) return;
    try {
        index->byData[data] = block;
    } catch (const std::bad_alloc&) {
        DropIndex(area);
    }
}

// Marks a block as held by the caller. An empty or missing file name would
// make the block look free while it is held, so it is replaced by "?".
void MarkInUse(RARIvoSession* session, TrackedBlock* block, int line, const char* file) {
    block->owner = session;
    block->line = static_cast<std::uint16_t>(line);
    const char* tag = (file != nullptr && file[0] != '\0') ? file : "?";
    std::memset(block->file, 0, sizeof block->file);
    std::strncpy(block->file, tag, sizeof block->file - 1);
    ++block->useCount;
    SetFree(session->workArea, block, false);
}

// A platform block that was unlocked on release is locked again on reuse.
void EnsureLocked(SessionWorkArea* area, TrackedBlock* block) {
    if (block->notesMemory && block->data == nullptr && block->handle != plat::NULLHANDLE)
        SetData(area, block, static_cast<std::uint8_t*>(plat::MemLock(block->handle)));
}

// The first block ever made stays at the head; every later one goes behind
// all blocks at least as large as the requested size.
void Insert(SessionWorkArea* area, TrackedBlock* block, std::uint32_t requested) {
    PoolIndex* index = IndexOf(area);
    if (area->trackedBlocks == nullptr) {
        area->trackedBlocks = block;
        SetData(area, block, block->data);
        return;
    }
    TrackedBlock* previous = nullptr;
    if (Ordered(index) && block->size != 0) {
        // Behind the last block of at least its size: sizes are even, so a
        // block at least as large as the requested size is at least as large
        // as the new one.
        const std::uint64_t order = (static_cast<std::uint64_t>(0xFFFFFFFFu - block->size) << 32) | ++index->made;
        try {
            index->orderOf[block] = order;
            auto after = index->allBlocks.lower_bound({order, nullptr});
            previous = after == index->allBlocks.begin() ? area->trackedBlocks : std::prev(after)->second;
            index->allBlocks.emplace(order, block);
        } catch (const std::bad_alloc&) {
            DropIndex(area);
            previous = nullptr;
        }
    } else if (index != nullptr) {
        index->sizesOutOfOrder = true;
    }
    if (previous == nullptr) {
        previous = area->trackedBlocks;
        while (previous->next != nullptr && previous->next->size >= requested) previous = previous->next;
    }
    block->next = previous->next;
    previous->next = block;
    SetData(area, block, block->data);
}

// The capacity of a new block for a request: even, at most the largest.
std::uint32_t Rounded(std::uint32_t size) {
    const std::uint64_t rounded = static_cast<std::uint64_t>(size) + (size & 1u);
    return static_cast<std::uint32_t>(rounded > kMaxBlockSize ? kMaxBlockSize : rounded);
}

// The first free block in list order that holds size bytes, or null.
TrackedBlock* FirstFit(SessionWorkArea* area, std::uint32_t size) {
    const PoolIndex* index = area->poolIndex;
    if (Ordered(index)) {
        TrackedBlock* head = area->trackedBlocks;
        if (head != nullptr && !InUse(head) && head->size >= size) return head;
        // After the head no block is larger than the first free one.
        if (index->freeBlocks.empty()) return nullptr;
        TrackedBlock* first = index->freeBlocks.begin()->second;
        return first->size >= size ? first : nullptr;
    }
    for (TrackedBlock* block = area->trackedBlocks; block != nullptr; block = block->next) {
        if (!InUse(block) && block->size >= size) return block;
    }
    return nullptr;
}

// Hands out a block of at least size bytes: a free one in list order, else
// a new one. Returns null only when no descriptor could be made; a new block
// whose memory could not be obtained is returned with a null data address.
TrackedBlock* HandOut(RARIvoSession* session, int line, const char* file, std::uint32_t size, int zero,
                      bool* reused) {
    *reused = false;
    if (session == nullptr || session->workArea == nullptr) return nullptr;
    SessionWorkArea* area = session->workArea;

    if (TrackedBlock* block = FirstFit(area, size)) {
        MarkInUse(session, block, line, file);
        EnsureLocked(area, block);
        // What a new block of the size would hold is cleared: a small
        // request handed a large free block does not pay for all of it.
        if (zero && block->data != nullptr) std::memset(block->data, 0, std::min(Rounded(size), block->size));
        *reused = true;
        return block;
    }

    const char* tag = file != nullptr ? file : "";
    auto* block = new (std::nothrow) TrackedBlock;
    if (block == nullptr) {
        plat::LogLine(kOutOfMemory, "Talix: Memory allocation error at %d in %s", line, tag);
        ShowHostMessage("Talix: Memory allocation error");
        return nullptr;
    }
    block->owner = session;
    block->size = Rounded(size);

    if (size < kPoolHeapThreshold) {
        block->notesMemory = 1;
        plat::DHANDLE handle = plat::NULLHANDLE;
        plat::STATUS status = plat::MemAlloc(block->size, plat::MEM_GROWABLE, &handle);
        if (status != plat::NOERROR) {
            block->handle = plat::NULLHANDLE;
            plat::LogLine(status, "Quorbel: Unable to allocate %lu bytes of memory",
                          static_cast<unsigned long>(block->size));
            ShowHostMessage("Quorbel: Memory allocation error");
        } else {
            block->handle = handle;
        }
    } else {
        block->data = static_cast<std::uint8_t*>(std::malloc(block->size));
        if (block->data == nullptr) {
            plat::LogLine(kOutOfMemory, "Quorbel: Unable to successfully allocate %lu bytes of memory",
                          static_cast<unsigned long>(block->size));
            ShowHostMessage("Quorbel: Memory allocation error");
            block->size = 0;
        }
    }

    Insert(area, block, size);
    MarkInUse(session, block, line, file);
    EnsureLocked(area, block);
    if (zero && block->data != nullptr) std::memset(block->data, 0, block->size);
    return block;
}

void FreeMemory(TrackedBlock* block) {
    if (block->notesMemory) {
        if (block->handle != plat::NULLHANDLE) {
            if (block->data != nullptr) plat::MemUnlock(block->handle);
            plat::MemFree(block->handle);
        }
    } else {
        std::free(block->data);
    }
    block->data = nullptr;
    block->handle = plat::NULLHANDLE;
}

} // namespace

TrackedBlock* QuorbelAllocateBlock(RARIvoSession* session, int line, const char* file, std::uint32_t size,
                                   int zero) {
    bool reused = false;
    TrackedBlock* block = HandOut(session, line, file, size, zero, &reused);
    if (block == nullptr) return nullptr;
    // A reused block is returned even without an address; a new one is not.
    if (!reused && block->data == nullptr) return nullptr;
    return block;
}

void* QuorbelAllocate(RARIvoSession* session, int line, const char* file, std::uint32_t size, int zero) {
    bool reused = false;
    TrackedBlock* block = HandOut(session, line, file, size, zero, &reused);
    return block != nullptr ? block->data : nullptr;
}

char* QuorbelAllocateString(RARIvoSession* session, int line, const char* file, const char* text,
                            std::uint32_t length) {
    if (text == nullptr) return nullptr;
    std::size_t measured = length != 0 ? length : std::strlen(text);
    // The block holds the text and its terminator, so the text must leave room for one more byte.
    if (measured >= kMaxBlockSize) return nullptr;
    bool reused = false;
    TrackedBlock* block =
        HandOut(session, line, file, static_cast<std::uint32_t>(measured + 1), 0, &reused);
    if (block == nullptr || block->data == nullptr) return nullptr;
    char* copy = reinterpret_cast<char*>(block->data);
    std::memcpy(copy, text, measured);
    copy[measured] = '\0';
    return copy;
}

char* QuorbelAllocateOptionValue(RARIvoSession* session, int line, const char* file, const char* options,
                                 const char* key) {
    if (session == nullptr) return nullptr;
    char* buffer = session->messageBuffer;
    if (!GetOptionValue(options, key, buffer, RARIvoSession::kMessageCapacity) || buffer[0] == '\0')
        return nullptr;
    return QuorbelAllocateString(session, line, file, buffer, 0);
}

void QuorbelReleaseBlock(RARIvoSession* session, TrackedBlock* block) {
    if (block == nullptr) return;
    block->owner = session;
    block->line = 0;
    std::memset(block->file, 0, sizeof block->file);
    SessionWorkArea* area = session != nullptr ? session->workArea : nullptr;
    if (area != nullptr) SetFree(area, block, true);
    bool keepLocked = area == nullptr || area->keepLocked != 0;
    if (keepLocked) return;
    if (block->notesMemory && block->handle != plat::NULLHANDLE && block->data != nullptr) {
        plat::MemUnlock(block->handle);
        SetData(area, block, nullptr);
    }
}

void ZervaDeallocate(RARIvoSession* session, void* data) {
    if (data == nullptr || session == nullptr || session->workArea == nullptr) return;
    SessionWorkArea* area = session->workArea;
    TrackedBlock* head = area->trackedBlocks;
    if (const PoolIndex* index = area->poolIndex) {
        const auto found = index->byData.find(data);
        if (found != index->byData.end()) {
            QuorbelReleaseBlock(session, found->second);
            return;
        }
    } else {
        for (TrackedBlock* block = head; block != nullptr; block = block->next) {
            if (block->data == data) {
                QuorbelReleaseBlock(session, block);
                return;
            }
        }
    }

    static const char kUnknown[] = "Attempted to deallocate a pointer not allocated through system.";
    plat::LogLine(0, "%s", kUnknown);
    ShowHostMessage(kUnknown);
    // Name the blocks the address may have been taken from: those it lies
    // inside of or just behind.
    auto address = reinterpret_cast<std::uintptr_t>(data);
    int number = 1;
    for (TrackedBlock* block = head; block != nullptr; block = block->next) {
        if (block->data == nullptr) continue;
        auto start = reinterpret_cast<std::uintptr_t>(block->data);
        if (start >= address || address - start > static_cast<std::uintptr_t>(block->size) + 100) continue;
        std::snprintf(session->messageBuffer, RARIvoSession::kMessageCapacity,
                      "%d) Might be related to item of size %ld allocated at line %d in file %s", number++,
                      static_cast<long>(block->size), static_cast<int>(block->line), block->file);
        plat::LogLine(0, "%s", session->messageBuffer);
    }
}

void ZervaDeallocateAll(RARIvoSession* session, int onlyIfInUse) {
    if (session == nullptr || session->workArea == nullptr) return;
    SessionWorkArea* area = session->workArea;
    if (onlyIfInUse) {
        bool anyInUse = false;
        for (TrackedBlock* block = area->trackedBlocks; block != nullptr; block = block->next)
            anyInUse = anyInUse || InUse(block);
        if (!anyInUse) return;
    }

    long totalSize = 0;
    long totalUsage = 0;
    long blocks = 0;
    long maxUsage = 0;
    long maxUsageSize = 0;
    while (TrackedBlock* block = area->trackedBlocks) {
        totalSize += block->size;
        totalUsage += block->useCount;
        ++blocks;
        if (static_cast<long>(block->useCount) > maxUsage) {
            maxUsage = block->useCount;
            maxUsageSize = block->size;
        }
        if (InUse(block)) {
            std::snprintf(session->messageBuffer, RARIvoSession::kMessageCapacity,
                          "ZervaDeallocate all: Freeing item of size %ld allocated at line %d in file %s",
                          static_cast<long>(block->size), static_cast<int>(block->line), block->file);
            plat::LogLine(0, "%s", session->messageBuffer);
        }
        area->trackedBlocks = block->next;
        FreeMemory(block);
        delete block;
    }
    delete area->poolIndex;
    area->poolIndex = nullptr;
    // The statistics are left in the message buffer only, to keep the log quiet.
    plat::FormatText(session->messageBuffer, RARIvoSession::kMessageCapacity,
                  "ZervaDeallocate all: Total_size=%ld Total_usage=%ld (max=%ld with %ld bytes), "
                  "total_blocks=%ld, average=%4.2f",
                  totalSize, totalUsage, maxUsage, maxUsageSize, blocks,
                  blocks > 0 ? static_cast<double>(totalUsage) / static_cast<double>(blocks) : 0.0);
}

void LogOutOfMemory(const char* source, int line) { plat::LogLine(0, "Out of memory at %d in %s", line, source); }

} // namespace talix
