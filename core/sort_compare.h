// The comparators that order the sort keys of table rows, in the manner of
// a quicksort comparator (std::qsort over an array of SortKey).
//
// Flagged keys sort before all others, in row order. Two unflagged keys
// compare by number (the key texts read as decimal numbers; a text that is
// no number counts as 0) or by text in collation order, in the comparator's
// direction; keys still equal keep their row order.
#pragma once

#include <cstdint>

#include "talix/export.h"

namespace talix {

struct SortKey;

// The process-wide sort switches, set by the engine before it sorts:
// kSortAccentSensitive and kSortCaseSensitive choose how texts collate;
// kSortNumbersByText orders keys of equal numbers by their texts.
extern TALIX_API std::uint32_t g_sortSwitches;
constexpr std::uint32_t kSortAccentSensitive = 0x0001;
constexpr std::uint32_t kSortCaseSensitive = 0x0002;
constexpr std::uint32_t kSortNumbersByText = 0x0100;

// Each takes two const SortKey* (as void pointers) and returns -1, 0 or 1.
TALIX_API int CompareSortKeysNumberDescending(const void* a, const void* b);
TALIX_API int CompareSortKeysNumberAscending(const void* a, const void* b);
TALIX_API int CompareSortKeysTextDescending(const void* a, const void* b);
TALIX_API int CompareSortKeysTextAscending(const void* a, const void* b);

} // namespace talix
