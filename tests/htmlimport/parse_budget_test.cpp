// The parse's allocator as the HTML library uses it: blocks of every size
// keep their bytes through reallocation and reuse, come aligned for any
// type, and a budget that is left mid-parse frees what the library held.
#include <gtest/gtest.h>

#include <tidy/tidy.h>

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "htmlimport/parse_budget.h"

namespace {

struct Held {
    unsigned char* data;
    std::size_t size;
    unsigned char fill;
};

void Fill(const Held& held) { std::memset(held.data, held.fill, held.size); }

bool Intact(const Held& held, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i)
        if (held.data[i] != held.fill) return false;
    return true;
}

bool Aligned(const void* data) { return reinterpret_cast<std::uintptr_t>(data) % alignof(std::max_align_t) == 0; }

TEST(ParseBudget, BlocksKeepTheirBytesThroughReuseAndReallocation) {
    talix::ParseBudget budget(1 << 20);
    TidyAllocator* allocator = budget.Allocator();
    std::mt19937 random(7);
    std::vector<Held> held;
    // Sizes across the small classes, their edges and beyond them.
    const std::size_t sizes[] = {0, 1, 15, 16, 17, 100, 511, 512, 513, 4000, 70000};
    for (int round = 0; round < 2000; ++round) {
        const std::size_t size = sizes[random() % (sizeof sizes / sizeof sizes[0])] + random() % 3;
        auto* data = static_cast<unsigned char*>(talix::ParseBudget::Alloc(allocator, size));
        ASSERT_NE(data, nullptr);
        ASSERT_TRUE(Aligned(data));
        held.push_back({data, size, static_cast<unsigned char>(round)});
        Fill(held.back());
        // Now and then a block is freed, or grows or shrinks.
        if (random() % 3 == 0) {
            const std::size_t at = random() % held.size();
            talix::ParseBudget::Free(allocator, held[at].data);
            held.erase(held.begin() + static_cast<std::ptrdiff_t>(at));
        } else if (random() % 3 == 0) {
            Held& block = held[random() % held.size()];
            const std::size_t size2 = sizes[random() % (sizeof sizes / sizeof sizes[0])];
            auto* moved = static_cast<unsigned char*>(talix::ParseBudget::Realloc(allocator, block.data, size2));
            ASSERT_NE(moved, nullptr);
            ASSERT_TRUE(Aligned(moved));
            block.data = moved;
            ASSERT_TRUE(Intact(block, std::min(block.size, size2))) << block.size << " to " << size2;
            block.size = size2;
            Fill(block);
        }
    }
    for (const Held& block : held) EXPECT_TRUE(Intact(block, block.size)) << block.size;
    for (const Held& block : held) talix::ParseBudget::Free(allocator, block.data);
    // Freeing nothing is allowed, and a null block reallocates as a new one.
    talix::ParseBudget::Free(allocator, nullptr);
    void* fresh = talix::ParseBudget::Realloc(allocator, nullptr, 40);
    ASSERT_NE(fresh, nullptr);
    talix::ParseBudget::Free(allocator, fresh);
}

TEST(ParseBudget, WorkPastTheBudgetLeavesAndTheAbandonedBlocksAreFreed) {
    // A small input's budget: allocations without a byte read in between
    // run past it and leave through the mark; the blocks still held, small
    // and large, are then freed (the sanitizer build sees any left).
    talix::ParseBudget budget(10);
    TidyAllocator* allocator = budget.Allocator();
    std::jmp_buf escape;
    volatile int made = 0;
    if (setjmp(escape) == 0) {
        budget.Arm(&escape);
        for (;;) {
            talix::ParseBudget::Alloc(allocator, made % 100 == 0 ? 2000 : 24);
            made = made + 1;
        }
    }
    budget.Disarm();
    EXPECT_GT(made, 1000);
    EXPECT_FALSE(budget.OutOfMemory());
    budget.FreeAll();
}

TEST(ParseBudget, ParsesOnSeveralThreadsShareTheKeptSlabs) {
    // Budgets made and ended on several threads at once, each using several
    // slabs: the slabs one parse leaves are taken up by the next, whole.
    std::vector<std::thread> threads;
    std::vector<int> spoiled(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &spoiled] {
            for (int round = 0; round < 20; ++round) {
                talix::ParseBudget budget(1 << 20);
                std::vector<Held> held;
                for (int n = 0; n < 3000; ++n) {
                    const std::size_t size = 16 + static_cast<std::size_t>(n % 7) * 40;
                    auto* data = static_cast<unsigned char*>(talix::ParseBudget::Alloc(budget.Allocator(), size));
                    held.push_back({data, size, static_cast<unsigned char>(t * 50 + round)});
                    Fill(held.back());
                }
                for (const Held& block : held) {
                    if (!Intact(block, block.size)) ++spoiled[t];
                    talix::ParseBudget::Free(budget.Allocator(), block.data);
                }
            }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(spoiled, std::vector<int>(4, 0));
}

} // namespace
