// The store of freed large blocks: a block given back serves the next
// request of its size, blocks of other sizes are not kept, and the store
// never holds more than its bound however much is given back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "core/address_sanitizer.h"
#include "core/kept_blocks.h"

namespace {

// Takes every block the store holds (what earlier work in the process gave
// back), so that a test starts from an empty store.
std::vector<std::pair<void*, std::size_t>> EmptyTheStore() {
    std::vector<std::pair<void*, std::size_t>> taken;
    for (std::size_t size = talix::kSmallestKeptBlock; size <= talix::kLargestKeptBlock; size *= 2) {
        while (talix::KeptBlockBytes() > 0) {
            const std::size_t held = talix::KeptBlockBytes();
            void* block = talix::TakeKeptBlock(size);
            if (talix::KeptBlockBytes() == held) {
                std::free(block);   // none of that size was kept: a new one
                break;
            }
            taken.emplace_back(block, size);
        }
    }
    return taken;
}

TEST(KeptBlocks, ReuseBySizeWithinTheBound) {
    const std::vector<std::pair<void*, std::size_t>> earlier = EmptyTheStore();
    const std::size_t before = talix::KeptBlockBytes();
    ASSERT_EQ(before, 0u);
    void* block = talix::TakeKeptBlock(64 * 1024);
    ASSERT_NE(block, nullptr);
    std::memset(block, 0xAB, 64 * 1024);
    talix::GiveBackKeptBlock(block, 64 * 1024);
#if !defined(TALIX_ADDRESS_SANITIZER)
    EXPECT_EQ(talix::KeptBlockBytes(), before + 64 * 1024);
    // The next block of that size is the one given back; one of another
    // size is not.
    void* other = talix::TakeKeptBlock(32 * 1024);
    EXPECT_NE(other, block);
    void* again = talix::TakeKeptBlock(64 * 1024);
    EXPECT_EQ(again, block);
    EXPECT_EQ(talix::KeptBlockBytes(), before);
    talix::GiveBackKeptBlock(other, 32 * 1024);
    talix::GiveBackKeptBlock(again, 64 * 1024);
#else
    // Under the address sanitizer every block given back is freed.
    EXPECT_EQ(talix::KeptBlockBytes(), before);
#endif

    // A size the store does not keep goes back to the heap.
    const std::size_t held = talix::KeptBlockBytes();
    talix::GiveBackKeptBlock(talix::TakeKeptBlock(100 * 1000), 100 * 1000);
    talix::GiveBackKeptBlock(nullptr, 64 * 1024);
    EXPECT_EQ(talix::KeptBlockBytes(), held);

    // Far more than the bound given back: most of it is freed.
    std::vector<void*> blocks;
    for (int i = 0; i < 100; ++i) blocks.push_back(talix::TakeKeptBlock(1024 * 1024));
    for (void* taken : blocks) talix::GiveBackKeptBlock(taken, 1024 * 1024);
    EXPECT_LE(talix::KeptBlockBytes(), 32u * 1024 * 1024);
    for (const auto& [block, size] : earlier) talix::GiveBackKeptBlock(block, size);
}

} // namespace
