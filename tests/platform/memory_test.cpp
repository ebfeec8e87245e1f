#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "status_codes.h"
#include "talix_platform.h"

namespace {

using namespace plat;

TEST(MemoryHandles, AllocLockReallocFree) {
    DWORD live = MemLiveCount();
    DHANDLE handle = NULLHANDLE;
    ASSERT_EQ(MemAlloc(16, MEM_GROWABLE, &handle), NOERROR);
    EXPECT_NE(handle, NULLHANDLE);
    EXPECT_EQ(MemLiveCount(), live + 1);
    EXPECT_EQ(MemSize(handle), 16u);

    auto* bytes = static_cast<BYTE*>(MemLock(handle));
    ASSERT_NE(bytes, nullptr);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(bytes[i], 0) << "byte " << i << " not zero-filled";
    for (int i = 0; i < 16; ++i) bytes[i] = static_cast<BYTE>(i + 1);

    // Locks nest and keep the address.
    EXPECT_EQ(MemLock(handle), bytes);
    EXPECT_TRUE(MemUnlock(handle));
    EXPECT_TRUE(MemUnlock(handle));
    EXPECT_FALSE(MemUnlock(handle));

    // Growing keeps the contents and zero-fills the new bytes; shrinking keeps the head.
    ASSERT_EQ(MemRealloc(handle, 40), NOERROR);
    EXPECT_EQ(MemSize(handle), 40u);
    bytes = static_cast<BYTE*>(MemLock(handle));
    for (int i = 0; i < 16; ++i) EXPECT_EQ(bytes[i], i + 1);
    for (int i = 16; i < 40; ++i) EXPECT_EQ(bytes[i], 0);
    MemUnlock(handle);
    ASSERT_EQ(MemRealloc(handle, 4), NOERROR);
    bytes = static_cast<BYTE*>(MemLock(handle));
    EXPECT_EQ(bytes[3], 4);
    MemUnlock(handle);

    // A block may be freed while locked.
    MemLock(handle);
    EXPECT_EQ(MemFree(handle), NOERROR);
    EXPECT_EQ(MemLiveCount(), live);
}

TEST(MemoryHandles, EmptyBlocksAndHandleReuse) {
    DHANDLE empty = NULLHANDLE;
    ASSERT_EQ(MemAlloc(0, MEM_GROWABLE, &empty), NOERROR);
    EXPECT_EQ(MemSize(empty), 0u);
    EXPECT_NE(MemLock(empty), nullptr);
    MemUnlock(empty);
    ASSERT_EQ(MemRealloc(empty, 3), NOERROR);
    auto* bytes = static_cast<BYTE*>(MemLock(empty));
    EXPECT_EQ(bytes[0] | bytes[1] | bytes[2], 0);
    MemUnlock(empty);
    EXPECT_EQ(MemFree(empty), NOERROR);

    // A freed handle is not handed out again by the next allocations.
    std::set<DHANDLE> seen{empty};
    for (int i = 0; i < 50; ++i) {
        DHANDLE handle = NULLHANDLE;
        ASSERT_EQ(MemAlloc(8, MEM_GROWABLE, &handle), NOERROR);
        EXPECT_TRUE(seen.insert(handle).second) << "handle " << handle << " reused";
        MemFree(handle);
    }
}

TEST(MemoryHandles, InvalidHandlesAreRefused) {
    DHANDLE handle = NULLHANDLE;
    ASSERT_EQ(MemAlloc(4, MEM_GROWABLE, &handle), NOERROR);
    ASSERT_EQ(MemFree(handle), NOERROR);
    EXPECT_EQ(MemLock(handle), nullptr);
    EXPECT_FALSE(MemUnlock(handle));
    EXPECT_EQ(MemFree(handle), ERR_INVALID_HANDLE);
    EXPECT_EQ(MemRealloc(handle, 8), ERR_INVALID_HANDLE);
    EXPECT_EQ(MemSize(handle), 0u);
    EXPECT_EQ(MemLock(NULLHANDLE), nullptr);
}

} // namespace
