// Large blocks kept for reuse: a process-wide store of freed blocks of the
// sizes 16 KB, 32 KB, ... 2 MB, bounded in all. Work that makes and frees
// the same large blocks again and again (the record lists of an operation,
// an import's document tree) takes blocks the process has already touched
// instead of having the system fault fresh pages in each time. A block of
// the largest size is aligned to its size and asks the system for huge
// pages, so that a list of many megabytes is faulted in a few steps, not
// one per 4 KB page.
#pragma once

#include <cstddef>

namespace talix {

// The smallest and largest size kept.
constexpr std::size_t kSmallestKeptBlock = 16 * 1024;
constexpr std::size_t kLargestKeptBlock = 2 * 1024 * 1024;

// A block of size bytes, from the store when it holds one of that size,
// else from std::malloc; null when memory is short. Its contents are
// undefined.
void* TakeKeptBlock(std::size_t size);

// Gives back a block of size bytes taken by TakeKeptBlock (or any block
// from std::malloc). Kept when its size is one of the kept sizes and the
// store stays within its bound; freed otherwise (and always under the
// address sanitizer, so that it still sees a block used after it was given
// back).
void GiveBackKeptBlock(void* block, std::size_t size);

// The bytes the store holds now.
std::size_t KeptBlockBytes();

} // namespace talix
