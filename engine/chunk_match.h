// Chunk matching: whether a record starts or ends an element of the type a
// definition level names, and which occurrences the level selects. The
// record walk calls these for every record while the level is matched.
#pragma once

#include <cstdint>

#include "core/chunk_definition.h"

namespace talix {

struct RecordProcessContext;

// The words of a level's walk state (ChunkDefInfo::walk.words) the engine
// keeps during one run; all are cleared when the run starts.
enum LevelWalkWord : int {
    kWalkOccurrence = 0,   // number of the last element counted
    kWalkActive,           // the level's region includes the records that follow
    kWalkElementOpen,      // an element of the level's type is open
    kWalkSelected,         // ... and the occurrence list selects it
    kWalkHotspotNesting,   // the walk's counters when that element started
    kWalkLayerNesting,
    kWalkTableNesting,
    kWalkBeginDepth,
    kWalkRegion,
    kWalkFont,             // StylizedText: the font id of its first run
    kWalkWaiting,          // Inside: the element started, its inside not yet
    kWalkEnterNext,        // the region begins at the next record
    kWalkDone,             // the region ended for good (Before, End)
    kWalkCounted,          // set by MatchChunkStart when an element starts here
    kWalkArmed,            // the level is being matched
};

// The levels of a run are followed through these walk pointers, so that an
// extra chain can follow a chunk's innermost level for one run only.
enum LevelWalkPointer : int { kWalkNext = 0, kWalkPrevious = 1 };

inline ChunkDefInfo* WalkNext(const ChunkDefInfo* level) {
    return static_cast<ChunkDefInfo*>(level->walk.pointers[kWalkNext]);
}
inline ChunkDefInfo* WalkPrevious(const ChunkDefInfo* level) {
    return static_cast<ChunkDefInfo*>(level->walk.pointers[kWalkPrevious]);
}

// The table nesting at which a Row or Column level takes its cells: the one
// its outer level entered (the walk's own without an outer level).
std::uint32_t RecordedTableNesting(const ChunkDefInfo* level, const RecordProcessContext* context);

// True when occurrence number n is selected by the level's list (count 0
// selects every occurrence; at most 100 entries are examined).
bool OccurrenceSelected(const ChunkDefInfo* level, std::uint32_t n);

// True when the level counts its elements on (plain relation, an
// occurrence list) and has counted past every occurrence its list can
// select, with no element open: no later record can be in its region.
bool NothingLeftToSelect(const ChunkDefInfo* level);

// Whether the record (the context's current node) starts an element of the
// level's type that the occurrence list selects. Counts every element that
// starts (and sets kWalkCounted then, selected or not). *single receives 1
// when the element starts and ends on this record. For an Inside level
// waiting for its element's inside (kWalkWaiting), answers whether this
// record is the first one inside.
std::uint32_t MatchChunkStart(ChunkDefInfo* level, const std::uint8_t* record, std::uint16_t signature,
                              std::uint32_t length, std::uint16_t previousSignature, std::uint32_t* single,
                              RecordProcessContext* context);

// Whether the record ends the level's open element. Returns non-zero when
// it ends a selected element (or any element of a type whose elements are
// told apart by position: Row, Column); *counted is set when it ends an
// element the list does not select. *endKept is set when the ending record
// is not part of the element. inFlag set keeps paragraph and graphic
// elements from ending at their own first record.
std::uint32_t MatchChunkEnd(ChunkDefInfo* level, const std::uint8_t* record, std::uint16_t signature,
                            std::uint32_t length, std::uint16_t previousSignature, std::uint32_t* counted,
                            std::uint32_t* endKept, std::uint32_t inFlag, RecordProcessContext* context);

// True when the signature (for BEGIN and END records: the inner one) is
// one of the type's member records.
bool IsMemberSignature(std::uint16_t type, std::uint16_t signature);

// What one record means for one level's region.
struct LevelStep {
    bool in = false;         // the record lies in the region
    bool after = false;      // the region goes on after the record
    bool restarted = false;  // a region closed at this record and a new one opened here
};

// Makes a level ready to be matched: its walk state is cleared (its walk
// links kept) and its region opens at once for the relations that begin
// with the records. The walk arms a level when the records first lie in the
// regions of all the levels before it.
void ArmLevel(ChunkDefInfo* level);

// Decides one record (the context's current node) for one armed level:
// ends first (the record that ends one element may start the next), then
// starts. A reader that follows a level of its own inside the chunk steps
// it with this, as the walk steps the chain's levels.
LevelStep StepLevel(ChunkDefInfo* level, std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                    std::uint16_t previousSignature, RecordProcessContext* context);

} // namespace talix
