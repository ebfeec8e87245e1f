// What the engine does for a generation run (operation 2419) before the
// generation renders: the run's inputs, the item's paragraph definitions
// collected before the walk, and each range of the chunk marked from its
// first record to its last. The operation's row, which renders each range,
// is the generation's own (htmlgen/generation_operation.h).
#pragma once

#include <cstdint>

#include "core/statuses.h"

namespace talix {

struct GenerationWalkState;
struct ItemRecordList;
struct RecordProcessContext;

// Before the records are read: the generation's element type is the first
// level's (plain or Start); a run given an extra level chain renders the
// body once it has ended (its extraChain is set).
STATUS PrepareGeneration(RecordProcessContext* context);

// Once the records are read: the item's paragraph definitions and its 166
// records, collected for the generation.
void CollectForGeneration(ItemRecordList* list, RecordProcessContext* context);

// Inside the chunk: the first record of the range and, record by record,
// its last one.
STATUS MarkGenerationRange(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                           std::uint32_t* passOn, RecordProcessContext* context);

// At the range's end: the generation is handed its records from the
// range's first to its last, its equivalent paragraph definitions (when its
// options ask for them) and the database's identifier. Returns the
// generation to render the range with, or null when the run has none.
GenerationWalkState* EndGenerationRange(RecordProcessContext* context);

// The chunk's running generation, or null.
GenerationWalkState* RunningGeneration(const RecordProcessContext* context);

} // namespace talix
