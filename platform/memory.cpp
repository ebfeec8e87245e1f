// Memory handles: zero-filled blocks named by a 32-bit handle, with nested
// locks. A block keeps its address until it is freed or reallocated.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "handles.h"
#include "memory_internal.h"
#include "status_codes.h"
#include "talix_platform/memory.h"

namespace plat {

namespace {

struct MemBlock {
    BYTE* data = nullptr;   // at least one byte, so that a block of size 0 has an address
    DWORD size = 0;
    WORD flags = 0;
    DWORD locks = 0;
    // A block that keeps another's bytes readable (BlockKeep) does not own
    // them: the keeper does, and lets them go with the last block.
    std::shared_ptr<const void> keeper;

    ~MemBlock() {
        if (keeper == nullptr) std::free(data);
    }
};

struct MemoryState {
    std::mutex mutex;
    HandleTable<MemBlock> blocks;
};

MemoryState& State() {
    static auto* state = new MemoryState;   // never destroyed: handles may be freed during exit
    return *state;
}

size_t StorageSize(DWORD size) { return size == 0 ? 1 : size; }

} // namespace

DWORD NextHandleNumber() {
    static std::atomic<DWORD> next{1};
    DWORD handle = next.fetch_add(1);
    while (handle == NULLHANDLE) handle = next.fetch_add(1);
    return handle;
}

STATUS MemAlloc(DWORD size, WORD flags, DHANDLE* handle) {
    if (handle == nullptr) return ERR_BAD_ARGUMENT;
    *handle = NULLHANDLE;
    // Memory that runs out is a status here, as for every caller of a
    // platform call, never an exception.
    try {
        auto block = std::make_unique<MemBlock>();
        block->data = static_cast<BYTE*>(std::calloc(StorageSize(size), 1));
        if (block->data == nullptr) return ERR_NO_MEMORY;
        block->size = size;
        block->flags = flags;
        MemoryState& state = State();
        std::lock_guard<std::mutex> lock(state.mutex);
        *handle = state.blocks.Add(std::move(block));
    } catch (const std::bad_alloc&) {
        return ERR_NO_MEMORY;
    }
    return NOERROR;
}

void* MemLock(DHANDLE handle) {
    MemoryState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    MemBlock* block = state.blocks.Find(handle);
    if (block == nullptr) return nullptr;
    ++block->locks;
    return block->data;
}

bool MemUnlock(DHANDLE handle) {
    MemoryState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    MemBlock* block = state.blocks.Find(handle);
    if (block == nullptr || block->locks == 0) return false;
    --block->locks;
    return true;
}

STATUS MemFree(DHANDLE handle) {
    std::unique_ptr<MemBlock> block;
    {
        MemoryState& state = State();
        std::lock_guard<std::mutex> lock(state.mutex);
        block = state.blocks.Remove(handle);
    }
    if (block == nullptr) return ERR_INVALID_HANDLE;
    return NOERROR;
}

STATUS MemRealloc(DHANDLE handle, DWORD size) {
    MemoryState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    MemBlock* block = state.blocks.Find(handle);
    if (block == nullptr) return ERR_INVALID_HANDLE;
    if (block->keeper != nullptr) return ERR_BAD_ARGUMENT;   // kept bytes never move
    auto* data = static_cast<BYTE*>(std::realloc(block->data, StorageSize(size)));
    if (data == nullptr) return ERR_NO_MEMORY;   // the block is left as it was
    if (size > block->size) std::memset(data + block->size, 0, size - block->size);
    block->data = data;
    block->size = size;
    return NOERROR;
}

STATUS AddKeptBlock(std::shared_ptr<const void> keeper, BYTE* data, DWORD size, DHANDLE* handle) {
    *handle = NULLHANDLE;
    auto block = std::make_unique<MemBlock>();
    block->data = data;
    block->size = size;
    block->keeper = std::move(keeper);
    MemoryState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    *handle = state.blocks.Add(std::move(block));
    return NOERROR;
}

DWORD MemSize(DHANDLE handle) {
    MemoryState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    MemBlock* block = state.blocks.Find(handle);
    return block == nullptr ? 0 : block->size;
}

DWORD MemLiveCount() {
    MemoryState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.blocks.Count();
}

} // namespace plat
