// Chunk-definition levels: parsing definition texts into a chain of levels
// and rendering a chain back as canonical text.
#pragma once

#include <cstddef>
#include <cstdint>

#include "talix/export.h"

class RARIvoSession;

namespace talix {

constexpr int kMaxOccurrences = 100;

// Relations of a level.
enum Relation : std::uint16_t {
    kRelEverything = 1, kRelPlain = 2, kRelInside = 3, kRelOutside = 4,
    kRelBefore = 5, kRelAfter = 6, kRelStart = 7, kRelEnd = 8,
};

// Match kinds of a level's match text.
enum MatchKind : std::uint16_t {
    kMatchNone = 0, kMatchExact = 1, kMatchStarts = 2, kMatchEnds = 3, kMatchSubstring = 4,
    kMatchId = 6, kMatchName = 7,
};

// The walk's per-level state, owned by the operation engine.
struct LevelWalkState {
    std::uint32_t words[16] = {};
    void* pointers[4] = {};
};

struct ChunkDefInfo {
    std::uint16_t relation = 0;
    std::uint16_t elementType = 0;
    std::uint16_t occurrenceCount = 0;          // 0: every occurrence
    std::uint16_t occurrenceStart[kMaxOccurrences] = {};
    std::uint16_t occurrenceEnd[kMaxOccurrences] = {};
    char* matchText = nullptr;                  // owned, in the case it was written
    std::uint32_t hasMatchText = 0;
    std::uint16_t matchKind = kMatchNone;
    ChunkDefInfo* next = nullptr;
    LevelWalkState walk;
};

// Why a definition text does not parse, and the bytes of the text of the
// part that does not.
enum class DefinitionFaultKind : std::uint8_t {
    kNone,
    kEmpty,               // no text, or only separators
    kBlankPart,           // a part of blanks only
    kNoOccurrence,        // a part of one word that is not Everything ("Table")
    kUnknownType,         // no element type the parser knows
    kMisplacedRow,        // Row not after a Table or Column level
    kMisplacedColumn,     // Column not after a Table or Row level
    kNegativeNumber,      // an occurrence or range end below 0
    kStrayWords,          // words after the type that are neither a quoted text nor occurrences
    kTooManyOccurrences,  // more occurrences than a level holds
    kOutOfMemory,
};
struct DefinitionFault {
    DefinitionFaultKind kind = DefinitionFaultKind::kNone;
    std::size_t partBegin = 0;
    std::size_t partEnd = 0;
};

// Parses a definition text into a new chain (not linked to outer). outer is
// consulted only for the Row/Column rule of the first part. *singleTarget
// (may be null) is 1 when every level is plain with one non-range
// occurrence. Returns null when the text does not parse, or when memory runs
// out: *outOfMemory (may be null) then says which, and *fault (may be null)
// says why and where.
ChunkDefInfo* ParseChunkDefinition(RARIvoSession* session, std::uint16_t unused, const ChunkDefInfo* outer,
                                   const char* text, std::uint32_t* singleTarget, bool* outOfMemory = nullptr,
                                   DefinitionFault* fault = nullptr);
// Writes the canonical text of a chain into out (at most outSize bytes with
// the terminator); a null chain gives "Everything".
void CalculateDefinition(const ChunkDefInfo* chain, char* out, std::uint32_t outSize);
// The canonical text of a chain, whole, as an owned text (freed with free);
// null when memory is short.
char* RenderChunkDefinition(const ChunkDefInfo* chain);
// The word a definition names an element type with ("HORIZONTALRULE" for
// the type whose name is "HR"); null for a type no word names.
const char* DefinitionTypeWord(std::uint16_t type);
// Frees every level of a chain.
void FreeChunkDefinition(ChunkDefInfo* chain);
// A deep copy of one level (its next link null), or null when out of memory.
ChunkDefInfo* CopyChunkLevel(const ChunkDefInfo* level);

} // namespace talix
