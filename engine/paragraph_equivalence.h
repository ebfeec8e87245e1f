// The paragraph definitions of a record list that render alike, found for a
// generation before its walk, and the remap of their ids onto one id.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

namespace talix {

struct RecordProcessContext;
struct GenerationWalkState;

// Definition ids found equivalent, one pair for each id that is mapped:
// (id, the id rendered in its place), in the order of the comparisons that
// found them (the earlier definition first, then the later one); `to`
// indexes the pairs by their first id.
struct PabRemap {
    std::vector<std::pair<std::uint16_t, std::uint16_t>> pairs;
    std::unordered_map<std::uint16_t, std::uint16_t> to;
};

// Fills the generation's remap from every paragraph definition of the
// run's record list: a definition's id maps to the id of the earliest
// definition before it that renders alike, the earliest such pair deciding
// for an id that several definitions carry. Comparisons are grouped by the
// fields that must agree, so that the time grows with the number of
// definitions and not with its square. Releases a remap filled before.
void CollectPabDefinitions(RecordProcessContext* context, GenerationWalkState* generation);

// The id the remap puts in the id's place, else the id itself.
std::uint16_t RemappedPabId(const GenerationWalkState* generation, std::uint16_t id);

// Releases the generation's remap.
void ReleasePabRemap(GenerationWalkState* generation);

} // namespace talix
