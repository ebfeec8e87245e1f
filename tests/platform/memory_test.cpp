#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include <string>

#include "platform/testing.h"
#include "status_codes.h"
#include "support/test_support.h"
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

// A kept value stays readable where BlockLock showed it, unchanged, after
// its item is deleted, replaced or its note closed, until its handle is
// freed; only a value's block id can be kept, and a kept block does not move.
TEST(MemoryHandles, KeptValuesOutliveTheirItems) {
    TestReadOnlyKeptValues(false);
    talix_test::TempDir dir;
    DBHANDLE db = 0;
    ASSERT_EQ(DbCreate(dir.file("k.nsf").c_str(), &db), NOERROR);
    NOTEHANDLE note = 0;
    ASSERT_EQ(NoteCreate(db, &note), NOERROR);
    const DWORD live = MemLiveCount();
    const char value[] = "\x01\x00kept bytes";
    DHANDLE kept[3] = {};
    const BYTE* where[3] = {};
    for (int i = 0; i < 3; ++i) {
        const std::string name = "Item" + std::to_string(i);
        ASSERT_EQ(ItemAppend(note, 0, name.c_str(), static_cast<WORD>(name.size()), TYPE_COMPOSITE, value + 2,
                             sizeof value - 3),
                  NOERROR);
        BLOCKID item, block;
        WORD type = 0;
        DWORD length = 0;
        ASSERT_EQ(ItemInfo(note, name.c_str(), static_cast<WORD>(name.size()), &item, &type, &block, &length),
                  NOERROR);
        EXPECT_NE(BlockKeep(item, &kept[i]), NOERROR);   // an item's own block id is not a value's
        ASSERT_EQ(BlockKeep(block, &kept[i]), NOERROR);
        where[i] = static_cast<const BYTE*>(BlockLock(block));
        EXPECT_EQ(MemLock(kept[i]), where[i]);
        EXPECT_EQ(MemSize(kept[i]), length);
        EXPECT_EQ(MemRealloc(kept[i], 4), ERR_BAD_ARGUMENT);
    }
    EXPECT_EQ(MemLiveCount(), live + 3);
    // The first item deleted, the second replaced, the third gone with the note.
    ASSERT_EQ(ItemDelete(note, "Item0", 5), NOERROR);
    ASSERT_EQ(ItemSetText(note, "Item1", "new", 3), NOERROR);
    ASSERT_EQ(NoteClose(note), NOERROR);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(std::memcmp(where[i], value, sizeof value - 1), 0) << i;
        EXPECT_EQ(MemFree(kept[i]), NOERROR);
    }
    EXPECT_EQ(MemLiveCount(), live);
    BLOCKID bogus{note, 7};
    DHANDLE none = NULLHANDLE;
    EXPECT_NE(BlockKeep(bogus, &none), NOERROR);
    EXPECT_EQ(none, NULLHANDLE);
    DbClose(db);
    TestReadOnlyKeptValues(true);
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
