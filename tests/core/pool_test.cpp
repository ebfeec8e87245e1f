#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/pool.h"
#include "core/session_work_area.h"
#include "core_fixture.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

namespace {

using talix_test::CollectMessage;
using talix_test::g_messages;
using core_test::Logged;

class PoolTest : public testing::Test {
protected:
    void SetUp() override {
        g_messages.clear();
        plat::LogClearRecent();
        plat::RegisterMessageProc(CollectMessage);
    }
    void TearDown() override { plat::RegisterMessageProc(nullptr); }
    TrackedBlock* Take(std::uint32_t size, const char* file = "rtitemi", int line = 1, int zero = 0) {
        return QuorbelAllocateBlock(session.get(), line, file, size, zero);
    }
    std::unique_ptr<RARIvoSession> session = std::make_unique<RARIvoSession>();
};

TEST_F(PoolTest, SmallBlocksArePlatformMemoryAndLargeOnesHeap) {
    plat::DWORD before = plat::MemLiveCount();
    TrackedBlock* one = Take(1);
    TrackedBlock* below = Take(65349);
    TrackedBlock* at = Take(65350);
    ASSERT_TRUE(one && below && at);
    EXPECT_EQ(one->size, 2u);
    EXPECT_EQ(below->size, 65350u);
    EXPECT_EQ(at->size, 65350u);
    EXPECT_EQ(plat::MemLiveCount(), before + 2);   // the two small ones are platform memory
    std::memset(below->data, 0x5A, below->size);
    std::memset(at->data, 0x5A, at->size);

    ZervaDeallocateAll(session.get(), 0);
    EXPECT_EQ(plat::MemLiveCount(), before);
    EXPECT_EQ(session->workArea->trackedBlocks, nullptr);
    EXPECT_EQ(QuorbelAllocate(nullptr, 1, "rtitemi", 10, 0), nullptr);
}

TEST_F(PoolTest, ReleasedBlocksAreReusedFirstFitInListOrder) {
    TrackedBlock* work = Take(65406, "rtproc2", 10);
    std::memset(work->data, 0xAB, work->size);
    QuorbelReleaseBlock(session.get(), work);

    // A small request takes the released work buffer, whole, with its tag renewed;
    // zero clears what a new block of the size would hold (an odd size rounded
    // up), not the whole buffer.
    TrackedBlock* again = Take(101, "averylongfilename", 77, 1);
    EXPECT_EQ(again, work);
    EXPECT_EQ(again->size, 65406u);
    EXPECT_EQ(again->useCount, 2u);
    EXPECT_EQ(again->line, 77);
    EXPECT_STREQ(again->file, "averylong");
    const std::vector<std::uint8_t> zeros(102, 0);
    EXPECT_EQ(std::memcmp(again->data, zeros.data(), zeros.size()), 0);
    EXPECT_EQ(again->data[102], 0xAB);
    EXPECT_EQ(again->data[again->size - 1], 0xAB);
    QuorbelReleaseBlock(session.get(), again);
    std::memset(again->data, 0xCD, again->size);
    void* whole = QuorbelAllocate(session.get(), 78, "rtitemi", 65406, 1);
    ASSERT_EQ(whole, again->data);
    const std::vector<std::uint8_t> allZeros(again->size, 0);
    EXPECT_EQ(std::memcmp(whole, allZeros.data(), allZeros.size()), 0);

    // Later blocks go behind all larger ones: the list runs work, 100, 50.
    TrackedBlock* hundred = Take(100);
    TrackedBlock* fifty = Take(50);
    QuorbelReleaseBlock(session.get(), hundred);
    QuorbelReleaseBlock(session.get(), fifty);
    EXPECT_EQ(Take(8), hundred);   // first fit, not best fit
    EXPECT_EQ(Take(8), fifty);

    // A block taken with an empty file name is still in use.
    TrackedBlock* unnamed = Take(40, "");
    EXPECT_NE(Take(40), unnamed);
}

TEST_F(PoolTest, ReleaseUnlocksPlatformBlocksOnlyWhenAsked) {
    TrackedBlock* block = Take(64);
    void* address = block->data;
    ZervaDeallocate(session.get(), address);
    EXPECT_EQ(block->data, address);   // kept locked for reuse by default

    session->workArea->keepLocked = 0;
    EXPECT_EQ(Take(64), block);
    QuorbelReleaseBlock(session.get(), block);
    EXPECT_EQ(block->data, nullptr);
    EXPECT_EQ(Take(10), block);
    ASSERT_NE(block->data, nullptr);   // locked again on reuse
    std::memset(block->data, 1, block->size);
}

TEST_F(PoolTest, StringsAndOptionValuesAreTrackedCopies) {
    EXPECT_STREQ(QuorbelAllocateString(session.get(), 5, "rtitemi", "hello", 0), "hello");
    EXPECT_STREQ(QuorbelAllocateString(session.get(), 5, "rtitemi", "abcdef", 3), "abc");
    EXPECT_EQ(QuorbelAllocateString(session.get(), 5, "rtitemi", nullptr, 4), nullptr);

    const char* options = "Alt='A picture' Empty= Other=1";
    char* value = QuorbelAllocateOptionValue(session.get(), 6, "rtproc3", options, "Alt=");
    EXPECT_STREQ(value, "A picture");
    EXPECT_EQ(QuorbelAllocateOptionValue(session.get(), 6, "rtproc3", options, "Empty="), nullptr);
    EXPECT_EQ(QuorbelAllocateOptionValue(session.get(), 6, "rtproc3", options, "Missing="), nullptr);
    ZervaDeallocate(session.get(), value);
    EXPECT_EQ(QuorbelAllocate(session.get(), 7, "rtproc3", 4, 0), value);
}

TEST_F(PoolTest, UnknownAddressIsReportedAndNamesNearbyBlocks) {
    TrackedBlock* block = Take(200, "rtproc2", 42);
    ZervaDeallocate(session.get(), block->data + 10);
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0], "Attempted to deallocate a pointer not allocated through system.");
    EXPECT_TRUE(Logged("1) Might be related to item of size 200 allocated at line 42 in file rtproc2"));
    EXPECT_NE(Take(16), block);   // still in use
    ZervaDeallocate(session.get(), nullptr);
    QuorbelReleaseBlock(session.get(), nullptr);
    EXPECT_EQ(g_messages.size(), 1u);
}

TEST_F(PoolTest, FreeAllNamesBlocksStillInUse) {
    plat::DWORD before = plat::MemLiveCount();
    TrackedBlock* kept = Take(300, "rtproc4", 9);
    QuorbelReleaseBlock(session.get(), kept);
    ZervaDeallocateAll(session.get(), 1);   // nothing in use: nothing freed
    EXPECT_EQ(session->workArea->trackedBlocks, kept);

    EXPECT_EQ(Take(20, "rtitemi", 3), kept);
    ZervaDeallocateAll(session.get(), 1);
    EXPECT_EQ(session->workArea->trackedBlocks, nullptr);
    EXPECT_EQ(plat::MemLiveCount(), before);
    EXPECT_TRUE(Logged("ZervaDeallocate all: Freeing item of size 300 allocated at line 3 in file rtitemi"));
}

// Many blocks taken and given back in a mixed order, by block and by
// address, with release unlocking platform blocks or not: every hand-out is
// the first free block in list order that is large enough (or a new block
// where none is), and the list keeps its order.
TEST_F(PoolTest, HandOutsFollowTheListOrderThroughManyBlocks) {
    std::uint32_t seed = 12345;
    auto next = [&seed](std::uint32_t range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % range;
    };
    std::vector<TrackedBlock*> held;
    for (int step = 0; step < 4000; ++step) {
        if (step == 2000) session->workArea->keepLocked = 0;
        if (!held.empty() && next(3) == 0) {
            const std::size_t at = next(static_cast<std::uint32_t>(held.size()));
            TrackedBlock* block = held[at];
            held.erase(held.begin() + static_cast<std::ptrdiff_t>(at));
            if (next(2) == 0) QuorbelReleaseBlock(session.get(), block);
            else ZervaDeallocate(session.get(), block->data);
            continue;
        }
        const std::uint32_t sizes[] = {8, 40, 100, 1000, 4000, 65406, 70000};
        const std::uint32_t size = sizes[next(7)] + next(30);
        TrackedBlock* expected = nullptr;
        for (TrackedBlock* block = session->workArea->trackedBlocks; block != nullptr; block = block->next) {
            if (block->file[0] == '\0' && block->size >= size) {
                expected = block;
                break;
            }
        }
        TrackedBlock* got = Take(size, "rtproc3", step % 60000, static_cast<int>(step % 2));
        ASSERT_NE(got, nullptr);
        if (expected != nullptr) ASSERT_EQ(got, expected) << "step " << step;
        ASSERT_NE(got->data, nullptr);
        got->data[size - 1] = 1;
        held.push_back(got);
    }
    // After the first block the sizes never grow.
    const TrackedBlock* first = session->workArea->trackedBlocks;
    for (const TrackedBlock* block = first->next; block != nullptr && block->next != nullptr; block = block->next)
        EXPECT_GE(block->size, block->next->size);
    EXPECT_TRUE(g_messages.empty());
}

} // namespace
