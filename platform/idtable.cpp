// Id tables: sets of note ids kept in ascending order in a memory block, so
// that an id table is a memory handle and MemFree destroys it.
//
// Block layout: DWORD mark, DWORD count, DWORD capacity, DWORD scan cursor,
// then capacity note ids of which the first count are in use.
#include <algorithm>
#include <cstring>

#include "status_codes.h"
#include "talix_platform/lists.h"
#include "talix_platform/memory.h"

namespace plat {

namespace {

constexpr DWORD kIdTableMark = 0x4C424449;   // "IDBL"
constexpr DWORD kFirstCapacity = 64;

struct IdTableHeader {
    DWORD mark;
    DWORD count;
    DWORD capacity;
    DWORD cursor;
};

constexpr DWORD kHeaderSize = sizeof(IdTableHeader);

DWORD BlockSizeFor(DWORD capacity) { return kHeaderSize + capacity * static_cast<DWORD>(sizeof(NOTEID)); }

// Locks an id table and checks that the block is one; null (and the block
// left unlocked) when it is not.
IdTableHeader* LockTable(DHANDLE table) {
    DWORD size = MemSize(table);
    auto* header = static_cast<IdTableHeader*>(MemLock(table));
    if (header == nullptr) return nullptr;
    if (size < kHeaderSize || header->mark != kIdTableMark || header->count > header->capacity ||
        header->capacity > (size - kHeaderSize) / sizeof(NOTEID)) {
        MemUnlock(table);
        return nullptr;
    }
    return header;
}

NOTEID* Ids(IdTableHeader* header) { return reinterpret_cast<NOTEID*>(header + 1); }

} // namespace

STATUS IdCreateTable(DHANDLE* table) {
    if (table == nullptr) return ERR_BAD_ARGUMENT;
    *table = NULLHANDLE;
    DHANDLE block = NULLHANDLE;
    STATUS status = MemAlloc(BlockSizeFor(kFirstCapacity), MEM_GROWABLE, &block);
    if (status != NOERROR) return status;
    auto* header = static_cast<IdTableHeader*>(MemLock(block));
    if (header == nullptr) {
        MemFree(block);
        return ERR_INVALID_HANDLE;
    }
    *header = IdTableHeader{kIdTableMark, 0, kFirstCapacity, 0};
    MemUnlock(block);
    *table = block;
    return NOERROR;
}

STATUS IdInsert(DHANDLE table, NOTEID id, bool* inserted) {
    if (inserted != nullptr) *inserted = false;
    IdTableHeader* header = LockTable(table);
    if (header == nullptr) return ERR_NOT_ID_TABLE;
    NOTEID* ids = Ids(header);
    DWORD at = static_cast<DWORD>(std::lower_bound(ids, ids + header->count, id) - ids);
    if (at < header->count && ids[at] == id) {
        MemUnlock(table);
        return NOERROR;
    }
    if (header->count == header->capacity) {
        // Doubled, so that ids arriving in order are added in constant time.
        DWORD capacity = header->capacity;
        MemUnlock(table);
        if (capacity > (0xFFFFFFFF - kHeaderSize) / sizeof(NOTEID) / 2) return ERR_NO_MEMORY;
        STATUS status = MemRealloc(table, BlockSizeFor(capacity * 2));
        if (status != NOERROR) return status;
        header = static_cast<IdTableHeader*>(MemLock(table));
        if (header == nullptr) return ERR_INVALID_HANDLE;
        header->capacity = capacity * 2;
        ids = Ids(header);
    }
    std::memmove(ids + at + 1, ids + at, (header->count - at) * sizeof(NOTEID));
    ids[at] = id;
    ++header->count;
    // A walk in progress goes on with the id that was next.
    if (at < header->cursor) ++header->cursor;
    MemUnlock(table);
    if (inserted != nullptr) *inserted = true;
    return NOERROR;
}

bool IdScan(DHANDLE table, bool first, NOTEID* id) {
    IdTableHeader* header = LockTable(table);
    if (header == nullptr) return false;
    if (first) header->cursor = 0;
    bool found = header->cursor < header->count;
    if (found) {
        if (id != nullptr) *id = Ids(header)[header->cursor];
        ++header->cursor;
    }
    MemUnlock(table);
    return found;
}

DWORD IdEntries(DHANDLE table) {
    IdTableHeader* header = LockTable(table);
    if (header == nullptr) return 0;
    DWORD count = header->count;
    MemUnlock(table);
    return count;
}

STATUS IdDestroyTable(DHANDLE table) {
    IdTableHeader* header = LockTable(table);
    if (header == nullptr) return ERR_NOT_ID_TABLE;
    header->mark = 0;
    MemUnlock(table);
    return MemFree(table);
}

} // namespace plat
