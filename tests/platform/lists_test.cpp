#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "status_codes.h"
#include "talix_platform.h"

namespace {

using namespace plat;

std::vector<NOTEID> ScanAll(DHANDLE table) {
    std::vector<NOTEID> ids;
    NOTEID id = 0;
    for (bool more = IdScan(table, true, &id); more; more = IdScan(table, false, &id)) ids.push_back(id);
    return ids;
}

// The bytes of a memory block.
std::string BlockBytes(DHANDLE block) {
    const auto* bytes = static_cast<const char*>(MemLock(block));
    std::string copy(bytes, MemSize(block));
    MemUnlock(block);
    return copy;
}

std::vector<std::string> ListEntries(DHANDLE list, bool prefix) {
    std::vector<std::string> entries;
    const void* bytes = MemLock(list);
    WORD count = ListEntryCount(bytes, prefix);
    for (WORD i = 0; i < count; ++i) {
        const char* text = nullptr;
        WORD length = 0;
        EXPECT_EQ(ListGetText(bytes, prefix, i, &text, &length), NOERROR);
        entries.emplace_back(text, length);
    }
    MemUnlock(list);
    return entries;
}

TEST(IdTables, KeepEachIdOnceInAscendingOrder) {
    DWORD before = MemLiveCount();
    DHANDLE table = NULLHANDLE;
    ASSERT_EQ(IdCreateTable(&table), NOERROR);
    EXPECT_TRUE(ScanAll(table).empty());
    EXPECT_FALSE(IdScan(table, true, nullptr));

    std::set<NOTEID> expected;
    for (NOTEID id : {0x20FAu, 0x10u, 0x80000004u, 0x10u, 0x7u, 0x20FAu}) {
        bool inserted = false;
        ASSERT_EQ(IdInsert(table, id, &inserted), NOERROR);
        EXPECT_EQ(inserted, expected.insert(id).second) << id;
    }
    EXPECT_EQ(IdEntries(table), 4u);
    EXPECT_EQ(ScanAll(table), std::vector<NOTEID>(expected.begin(), expected.end()));

    // A walk goes on where it was, and starts again when asked.
    NOTEID id = 0;
    ASSERT_TRUE(IdScan(table, true, &id));
    EXPECT_EQ(id, 0x7u);
    ASSERT_EQ(IdInsert(table, 0x1u), NOERROR);   // before the walk's position
    ASSERT_TRUE(IdScan(table, false, &id));
    EXPECT_EQ(id, 0x10u);
    ASSERT_TRUE(IdScan(table, true, &id));
    EXPECT_EQ(id, 0x1u);

    // Many more ids than a single batch of the system's array, in both orders.
    for (NOTEID i = 40000; i > 0; i -= 2) ASSERT_EQ(IdInsert(table, 0x100000 + i), NOERROR);
    for (NOTEID i = 1; i < 40000; i += 2) ASSERT_EQ(IdInsert(table, 0x100000 + i), NOERROR);
    std::vector<NOTEID> all = ScanAll(table);
    EXPECT_EQ(all.size(), 5u + 40000u);
    EXPECT_TRUE(std::is_sorted(all.begin(), all.end()));
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());

    // The table is a memory handle: freeing it as one destroys it.
    EXPECT_EQ(MemFree(table), NOERROR);
    EXPECT_EQ(MemLiveCount(), before);
    EXPECT_FALSE(IdScan(table, true, &id));
    EXPECT_EQ(IdEntries(table), 0u);
    EXPECT_NE(IdInsert(table, 1), NOERROR);

    ASSERT_EQ(IdCreateTable(&table), NOERROR);
    EXPECT_EQ(IdDestroyTable(table), NOERROR);
    EXPECT_EQ(MemLiveCount(), before);
    EXPECT_NE(IdDestroyTable(table), NOERROR);

    // A plain memory block is not taken for a table.
    DHANDLE block = NULLHANDLE;
    ASSERT_EQ(MemAlloc(64, MEM_GROWABLE, &block), NOERROR);
    std::string bytes = BlockBytes(block);
    EXPECT_EQ(IdInsert(block, 5), ERR_NOT_ID_TABLE);
    EXPECT_FALSE(IdScan(block, true, nullptr));
    EXPECT_EQ(IdDestroyTable(block), ERR_NOT_ID_TABLE);
    EXPECT_EQ(BlockBytes(block), bytes);
    EXPECT_EQ(MemFree(block), NOERROR);
    EXPECT_EQ(IdCreateTable(nullptr), ERR_BAD_ARGUMENT);
}

TEST(TextLists, EntriesAddedAndReadBackInTheStoredLayout) {
    for (bool prefix : {true, false}) {
        SCOPED_TRACE(prefix ? "with type word" : "without type word");
        DHANDLE list = NULLHANDLE;
        void* address = nullptr;
        WORD size = 0;
        ASSERT_EQ(ListAllocate(0, 0, prefix, &list, &address, &size), NOERROR);
        ASSERT_NE(address, nullptr);
        EXPECT_EQ(ListEntryCount(address, prefix), 0);
        MemUnlock(list);

        ASSERT_EQ(ListAddEntry(list, prefix, &size, 0, "alpha", 5), NOERROR);
        ASSERT_EQ(ListAddEntry(list, prefix, &size, 9, "beta", 4), NOERROR);     // past the end: appended
        ASSERT_EQ(ListAddEntry(list, prefix, &size, 0, "zero", 4), NOERROR);
        ASSERT_EQ(ListAddEntry(list, prefix, &size, 2, nullptr, 0), NOERROR);    // an empty entry
        EXPECT_EQ(ListEntries(list, prefix), (std::vector<std::string>{"zero", "alpha", "", "beta"}));

        std::string expected = prefix ? std::string("\x01\x05", 2) : std::string();
        expected += std::string("\x04\x00\x04\x00\x05\x00\x00\x00\x04\x00", 10) + "zeroalphabeta";
        EXPECT_EQ(size, expected.size());
        EXPECT_EQ(BlockBytes(list), expected);

        const void* bytes = MemLock(list);
        const char* text = nullptr;
        WORD length = 7;
        EXPECT_EQ(ListGetText(bytes, prefix, 4, &text, &length), ERR_NO_SUCH_ENTRY);
        EXPECT_EQ(text, nullptr);
        EXPECT_EQ(length, 0);
        MemUnlock(list);
        EXPECT_EQ(MemFree(list), NOERROR);
    }
    EXPECT_EQ(ListEntryCount(nullptr, true), 0);
    EXPECT_NE(ListGetText(nullptr, true, 0, nullptr, nullptr), NOERROR);
}

TEST(TextLists, FailWhenTheyWouldPassTheLimitAndStayAsTheyWere) {
    DHANDLE list = NULLHANDLE;
    WORD size = 0;
    ASSERT_EQ(ListAllocate(0, 0, true, &list, nullptr, &size), NOERROR);
    std::string big(65535 - 6, 'x');   // type word, count, one length: exactly 65,535 bytes
    ASSERT_EQ(ListAddEntry(list, true, &size, 0, big.data(), static_cast<WORD>(big.size())), NOERROR);
    EXPECT_EQ(size, 65535);
    std::string before = BlockBytes(list);
    EXPECT_EQ(ListAddEntry(list, true, &size, 0, "", 0), ERR_LIST_FULL);
    EXPECT_EQ(size, 65535);
    EXPECT_EQ(BlockBytes(list), before);
    EXPECT_EQ(MemFree(list), NOERROR);

    // Small entries: the list fills up and the failure says so.
    ASSERT_EQ(ListAllocate(0, 0, false, &list, nullptr, &size), NOERROR);
    STATUS status = NOERROR;
    int added = 0;
    std::string entry(98, 'k');
    while ((status = ListAddEntry(list, false, &size, 0xFFFF, entry.data(), 98)) == NOERROR) ++added;
    EXPECT_EQ(status, ERR_LIST_FULL);
    EXPECT_EQ(added, (65535 - 2) / 100);
    EXPECT_EQ(ListEntries(list, false).size(), static_cast<size_t>(added));

    // A size larger than the block, or a handle that is none, is refused.
    WORD wrong = static_cast<WORD>(size + 1);
    EXPECT_EQ(ListAddEntry(list, false, &wrong, 0, "a", 1), ERR_BAD_ARGUMENT);
    EXPECT_EQ(MemFree(list), NOERROR);
    EXPECT_NE(ListAddEntry(list, false, &size, 0, "a", 1), NOERROR);
    EXPECT_EQ(ListAllocate(40000, 40000, true, &list, nullptr, &size), ERR_LIST_FULL);
    EXPECT_EQ(list, NULLHANDLE);
}

} // namespace
