// The process-wide store of freed large blocks: one stack per kept size,
// each kept block holding the next of its stack, under one lock.
#include "core/kept_blocks.h"

#include <cstdlib>
#include <mutex>

#include <sys/mman.h>

#include "core/address_sanitizer.h"

namespace talix {

namespace {

#if defined(TALIX_ADDRESS_SANITIZER)
constexpr std::size_t kKeptBytesBound = 0;
#else
// Enough for the record lists and the document tree of an import of a few
// megabytes of HTML.
constexpr std::size_t kKeptBytesBound = 32 * 1024 * 1024;
#endif
constexpr int kKeptSizes = 8;
static_assert(kSmallestKeptBlock << (kKeptSizes - 1) == kLargestKeptBlock);

struct KeptBlock {
    KeptBlock* next;
};

struct Store {
    std::mutex lock;
    KeptBlock* stacks[kKeptSizes] = {};
    std::size_t bytes = 0;
};

Store& TheStore() {
    // Never destroyed: blocks may be given back while the process ends.
    static auto* store = new Store;
    return *store;
}

// The stack of a kept size; -1 for any other size.
int StackOf(std::size_t size) {
    for (int which = 0; which < kKeptSizes; ++which)
        if (size == kSmallestKeptBlock << which) return which;
    return -1;
}

// A new block of the largest size, on a boundary of its size, marked for
// huge pages where the system has them (the mark is only advice: without
// it the block works the same, in small pages).
void* NewLargestBlock() {
    void* block = std::aligned_alloc(kLargestKeptBlock, kLargestKeptBlock);
#if defined(MADV_HUGEPAGE)
    if (block != nullptr) ::madvise(block, kLargestKeptBlock, MADV_HUGEPAGE);
#endif
    return block;
}

} // namespace

void* TakeKeptBlock(std::size_t size) {
    if (const int which = StackOf(size); which >= 0) {
        Store& store = TheStore();
        const std::lock_guard<std::mutex> hold(store.lock);
        if (KeptBlock* block = store.stacks[which]; block != nullptr) {
            store.stacks[which] = block->next;
            store.bytes -= size;
            return block;
        }
    }
    return size == kLargestKeptBlock ? NewLargestBlock() : std::malloc(size);
}

void GiveBackKeptBlock(void* block, std::size_t size) {
    if (block == nullptr) return;
    if (const int which = StackOf(size); which >= 0) {
        Store& store = TheStore();
        const std::lock_guard<std::mutex> hold(store.lock);
        if (store.bytes + size <= kKeptBytesBound) {
            auto* kept = static_cast<KeptBlock*>(block);
            kept->next = store.stacks[which];
            store.stacks[which] = kept;
            store.bytes += size;
            return;
        }
    }
    std::free(block);
}

std::size_t KeptBlockBytes() {
    Store& store = TheStore();
    const std::lock_guard<std::mutex> hold(store.lock);
    return store.bytes;
}

} // namespace talix
