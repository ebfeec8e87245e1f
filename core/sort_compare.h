// Sorting the sort keys of table rows, and the comparators that order them
// in the manner of a quicksort comparator.
//
// Flagged keys sort before all others, in row order. Two unflagged keys
// compare by number (the key texts read as decimal numbers; a text that is
// no number counts as 0) or by text in collation order, in the comparator's
// direction; keys still equal keep their row order.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talix {

// One sort key of a table row, or one entry of a position list (operation 2:
// start and end record index, no text). Arrays of them come from the
// session's tracked pool; a key's text too.
struct SortKey {
    std::uint32_t firstRecord = 0;   // first record index of the row or target
    std::uint32_t lastRecord = 0;    // last record index of the row or target
    std::uint32_t row = 0;           // row number: the last tie-break
    char* text = nullptr;            // key text (tracked pool), or null
    std::uint32_t length = 0;        // key length
    std::uint32_t flag = 0;          // flagged keys sort first
};
static_assert(sizeof(SortKey) == 32);

// The sort switches: kSortAccentSensitive and kSortCaseSensitive choose how
// texts collate; kSortNumbersByText orders keys of equal numbers by their
// texts.
constexpr std::uint32_t kSortAccentSensitive = 0x0001;
constexpr std::uint32_t kSortCaseSensitive = 0x0002;
constexpr std::uint32_t kSortNumbersByText = 0x0100;

// Sorts count keys with one of the comparators below under the switches
// (std::qsort). The switches hold for this sort only: the comparators read
// them from the thread's state (core/thread_state.h), where this puts them
// for the sort's length.
void SortKeys(SortKey* keys, std::size_t count, int (*compare)(const void*, const void*), std::uint32_t switches);

// Each takes two const SortKey* (as void pointers) and returns -1, 0 or 1.
int CompareSortKeysNumberDescending(const void* a, const void* b);
int CompareSortKeysNumberAscending(const void* a, const void* b);
int CompareSortKeysTextDescending(const void* a, const void* b);
int CompareSortKeysTextAscending(const void* a, const void* b);

} // namespace talix
