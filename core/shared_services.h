// Small services other parts share: attaching a buffer to a note as a
// file, making a directory with its missing parents, testing where a text
// search matched, and reaching a chunk's definition chain.
#pragma once

#include <cstdint>

#include "core/statuses.h"
#include "talix_platform/types.h"

class ZervaRTChunk;

namespace talix {

struct ChunkDefInfo;

// Stores size bytes of buffer as a new database object of db and adds a
// "$FILE" item naming it (fileName, the file size, every other descriptor
// field 0) to the note. The object is written before the item is added, so
// that a failure leaves neither behind. A size of 0 still adds the item.
// Returns 0, 1028 for a missing argument or a name longer than 255 bytes,
// or a platform status masked with 0x3fff.
STATUS AttachBufferAsFile(plat::DBHANDLE db, plat::NOTEHANDLE note, const char* fileName,
                          const void* buffer, std::uint32_t size);

// Makes the directory and every missing parent ("\" and "/" both separate
// parts). Returns 1 when the directory exists at the end, 0 otherwise (also
// for a null or empty path or one longer than 256 characters).
int CreateDirectoryPath(const char* path);

// How CompareTextPosition searches (see FindTextWildcard).
struct TextSearchOptions {
    std::uint32_t wildcards = 0;
    std::uint32_t ignoreCase = 0;
    std::uint32_t ignoreAccents = 0;
    std::uint32_t wholeWord = 0;
};

// Where the pattern must match in the text:
constexpr std::uint16_t kPositionAny = 0;      // always holds, nothing is searched
constexpr std::uint16_t kPositionWhole = 1;    // the whole text matches
constexpr std::uint16_t kPositionStart = 2;    // the text begins with the pattern
constexpr std::uint16_t kPositionEnd = 3;      // the text ends with the pattern
constexpr std::uint16_t kPositionInside = 4;   // the text holds the pattern
// Searches the pattern in the text and returns 1 when the match lies where
// the mode asks (any other mode: always 1), else 0. *matchLength (may be
// null) gets the length of the match, 0 when there is none. An empty text is
// not searched: it counts as a match of length 0 at its start, so every mode
// holds for it.
int CompareTextPosition(const char* text, std::uint16_t textLength, const char* pattern,
                        std::uint16_t patternLength, std::uint16_t mode, const TextSearchOptions& options,
                        std::uint16_t* matchLength);

// The first (outermost) level of the chunk's definition chain; null when
// the chunk, its work state or its chain is missing.
ChunkDefInfo* GetChunkDefChain(const ZervaRTChunk* chunk);

} // namespace talix
