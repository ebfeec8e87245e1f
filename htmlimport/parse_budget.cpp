#include "htmlimport/parse_budget.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "core/address_sanitizer.h"

namespace talix {

namespace {

// Work a parse may do between two bytes of input it reads, and in all (a
// base and work per byte of input): far above what an input takes that the
// library parses and ends (some tens between two bytes and well under one a
// byte for ordinary HTML; about 10,000 between two bytes at the end of the
// deepest nesting the nesting bound lets pass, a million in all for the most
// unclosed font elements it lets pass, a few a byte for the checks after the
// input, such as of 20,000 anchors of one name).
constexpr std::size_t kStallWork = 200'000;
constexpr std::size_t kBaseWork = 4'000'000;
constexpr std::size_t kWorkPerByte = 32;

// Small blocks: sizes in steps of kGrain bytes up to kSizeClasses steps,
// carved from slabs of kSlabBytes. Under the address sanitizer every block
// is the C library's, so that it still sees each block's bounds.
constexpr std::size_t kGrain = 16;
constexpr std::size_t kSlabBytes = 64 * 1024;
#if defined(TALIX_ADDRESS_SANITIZER)
constexpr bool kSlabsInUse = false;
#else
constexpr bool kSlabsInUse = true;
#endif

// Slabs of finished parses are kept for the next parse, up to kKeptSlabs,
// so that a run of imports reuses memory already in place instead of the
// system giving fresh pages each time.
constexpr std::size_t kKeptSlabs = 64;
struct KeptSlabs {
    std::mutex lock;
    void* first = nullptr;   // each kept slab begins with the next one
    std::size_t count = 0;
};
KeptSlabs& Kept() {
    static KeptSlabs kept;
    return kept;
}

const TidyAllocatorVtbl* Table();

} // namespace

// The header in front of every block handed out. A large block (sizeClass
// 0) is in the chain of live blocks; a small block of a free list has the
// next free block of its class in next.
struct alignas(std::max_align_t) ParseBudget::Block {
    Block* previous;
    Block* next;
    std::size_t sizeClass;
};

struct alignas(std::max_align_t) ParseBudget::Slab {
    Slab* next;
};

ParseBudget::ParseBudget(std::size_t inputBytes)
    : allocator_{{Table()}, this},
      limit_(kBaseWork + (inputBytes > (SIZE_MAX - kBaseWork) / kWorkPerByte ? SIZE_MAX - kBaseWork
                                                                              : inputBytes * kWorkPerByte)) {}

ParseBudget::~ParseBudget() { FreeSlabs(); }

void ParseBudget::FreeSlabs() {
    if (slabs_ != nullptr) {
        KeptSlabs& kept = Kept();
        const std::lock_guard<std::mutex> hold(kept.lock);
        while (slabs_ != nullptr) {
            Slab* slab = slabs_;
            slabs_ = slab->next;
            if (kept.count < kKeptSlabs) {
                slab->next = static_cast<Slab*>(kept.first);
                kept.first = slab;
                ++kept.count;
            } else {
                std::free(slab);
            }
        }
    }
    for (Block*& first : freeSmall_) first = nullptr;
    slabNext_ = slabEnd_ = nullptr;
}

ParseBudget::Block* ParseBudget::TakeSmall(std::size_t sizeClass) {
    if (Block* block = freeSmall_[sizeClass - 1]; block != nullptr) {
        freeSmall_[sizeClass - 1] = block->next;
        return block;
    }
    const std::size_t need = sizeof(Block) + sizeClass * kGrain;
    if (static_cast<std::size_t>(slabEnd_ - slabNext_) < need) {
        Slab* slab = nullptr;
        {
            KeptSlabs& kept = Kept();
            const std::lock_guard<std::mutex> hold(kept.lock);
            if (kept.first != nullptr) {
                slab = static_cast<Slab*>(kept.first);
                kept.first = slab->next;
                --kept.count;
            }
        }
        if (slab == nullptr) slab = static_cast<Slab*>(std::malloc(kSlabBytes));
        if (slab == nullptr) return nullptr;
        slab->next = slabs_;
        slabs_ = slab;
        slabNext_ = reinterpret_cast<unsigned char*>(slab + 1);
        slabEnd_ = reinterpret_cast<unsigned char*>(slab) + kSlabBytes;
    }
    auto* block = reinterpret_cast<Block*>(slabNext_);
    slabNext_ += need;
    block->sizeClass = sizeClass;
    return block;
}

void ParseBudget::Link(Block* block) {
    block->previous = nullptr;
    block->next = blocks_;
    if (blocks_ != nullptr) blocks_->previous = block;
    blocks_ = block;
}

void ParseBudget::Unlink(Block* block) {
    if (block->previous != nullptr) block->previous->next = block->next;
    else blocks_ = block->next;
    if (block->next != nullptr) block->next->previous = block->previous;
}

void ParseBudget::Leave() { std::longjmp(*escape_, 1); }

void ParseBudget::Work() {
    ++work_;
    ++sinceInput_;
    if ((work_ > limit_ || (inputLeft_ && sinceInput_ > kStallWork)) && escape_ != nullptr) Leave();
}

void ParseBudget::CountMessage() { Work(); }

// The stack grows down: the parser stands top_ - here bytes deep.
void ParseBudget::Descend(const char* here) {
    const auto top = reinterpret_cast<std::uintptr_t>(top_);
    const auto at = reinterpret_cast<std::uintptr_t>(here);
    if (top_ == nullptr || at > top) return;
    const std::size_t depth = top - at;
    if (depth <= deepest_) return;
    deepest_ = depth;
    if (descentLimit_ != 0 && depth > descentLimit_ && inputLeft_ && escape_ != nullptr) {
        descentPassed_ = true;
        Leave();
    }
}

void* TIDY_CALL ParseBudget::Alloc(TidyAllocator* self, std::size_t bytes) {
    ParseBudget& budget = *reinterpret_cast<BudgetAllocator*>(self)->owner;
    budget.Descend(static_cast<const char*>(__builtin_frame_address(0)));
    budget.Work();
    Block* block = nullptr;
    if (kSlabsInUse && bytes <= kSizeClasses * kGrain) {
        block = budget.TakeSmall(bytes == 0 ? 1 : (bytes + kGrain - 1) / kGrain);
    } else {
        block = static_cast<Block*>(bytes <= SIZE_MAX - sizeof(Block) ? std::malloc(sizeof(Block) + bytes) : nullptr);
        if (block != nullptr) {
            block->sizeClass = 0;
            budget.Link(block);
        }
    }
    if (block == nullptr) {
        budget.outOfMemory_ = true;
        if (budget.escape_ != nullptr) budget.Leave();
        return nullptr;
    }
    return block + 1;
}

void* TIDY_CALL ParseBudget::Realloc(TidyAllocator* self, void* data, std::size_t bytes) {
    if (data == nullptr) return Alloc(self, bytes);
    ParseBudget& budget = *reinterpret_cast<BudgetAllocator*>(self)->owner;
    Block* block = static_cast<Block*>(data) - 1;
    if (block->sizeClass != 0) {
        // A small block keeps its place while the bytes fit its class;
        // otherwise the bytes move to a new block (counted as its work).
        const std::size_t room = block->sizeClass * kGrain;
        if (bytes <= room) {
            budget.Work();
            return data;
        }
        void* moved = Alloc(self, bytes);
        if (moved == nullptr) return nullptr;   // the old block is still the library's
        std::memcpy(moved, data, room);
        Free(self, data);
        return moved;
    }
    budget.Work();
    budget.Unlink(block);
    auto* moved = static_cast<Block*>(bytes <= SIZE_MAX - sizeof(Block) ? std::realloc(block, sizeof(Block) + bytes)
                                                                         : nullptr);
    if (moved == nullptr) {
        budget.Link(block);   // still the library's, unchanged
        budget.outOfMemory_ = true;
        if (budget.escape_ != nullptr) budget.Leave();
        return nullptr;
    }
    budget.Link(moved);
    return moved + 1;
}

void TIDY_CALL ParseBudget::Free(TidyAllocator* self, void* data) {
    if (data == nullptr) return;
    ParseBudget& budget = *reinterpret_cast<BudgetAllocator*>(self)->owner;
    Block* block = static_cast<Block*>(data) - 1;
    if (block->sizeClass != 0) {
        block->next = budget.freeSmall_[block->sizeClass - 1];
        budget.freeSmall_[block->sizeClass - 1] = block;
        return;
    }
    budget.Unlink(block);
    std::free(block);
}

// The library calls this when memory runs out and does not expect it to
// return.
void TIDY_CALL ParseBudget::Panic(TidyAllocator* self, ctmbstr) {
    ParseBudget& budget = *reinterpret_cast<BudgetAllocator*>(self)->owner;
    budget.outOfMemory_ = true;
    if (budget.escape_ != nullptr) budget.Leave();
    std::abort();
}

void ParseBudget::FreeAll() {
    while (blocks_ != nullptr) {
        Block* block = blocks_;
        blocks_ = block->next;
        std::free(block);
    }
    FreeSlabs();
}

namespace {

const TidyAllocatorVtbl kTable = {
    &ParseBudget::Alloc,
    &ParseBudget::Realloc,
    &ParseBudget::Free,
    &ParseBudget::Panic,
};

const TidyAllocatorVtbl* Table() { return &kTable; }

} // namespace

} // namespace talix
