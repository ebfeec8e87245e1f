// Operation 2419, a generation over the chunk: the walk marks the first
// and the last record of each range of the chunk, and each range's end hands
// the generation its records, its equivalent paragraph definitions and the
// database's identifier, and renders the range.
#include <cstring>

#include "core/chunk_work_state.h"
#include "engine/engine_hooks.h"
#include "engine/generation_state.h"
#include "engine/graphic_utilities.h"
#include "engine/operation_table.h"
#include "engine/record_process.h"
#include "engine/run_steps.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

GenerationWalkState* Generation(const RecordProcessContext* context) {
    return context->chunk->work != nullptr ? context->chunk->work->generation : nullptr;
}

// The first record inside the range and, record by record, its last one.
STATUS MarkGeneration(std::uint8_t*, std::uint16_t, std::uint32_t, std::uint32_t*, RecordProcessContext* context) {
    GenerationWalkState* generation = Generation(context);
    if (generation == nullptr) return kOK;
    if (generation->firstNode == nullptr) generation->firstNode = context->node;
    generation->endNode = context->node;
    return kOK;
}

// The range's end: the walk renders it from its first record to its last,
// as one range of several (mode 1) when the run has an extra definition.
STATUS GenerateAtEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    GenerationWalkState* generation = Generation(context);
    if (generation == nullptr) return kOK;
    generation->node = generation->firstNode;
    generation->firstNode = nullptr;
    if ((generation->options & kGenCollectParagraphs) != 0) CollectPabDefinitions(context, generation);
    plat::DBID id;
    if (plat::DbReplicaId(context->chunk->item->databaseHandle, &id) == plat::NOERROR) {
        static_assert(sizeof id == sizeof generation->databaseId);
        std::memcpy(generation->databaseId, &id, sizeof id);
    }
    const GenerationHooks& render = GenerationOf(context->session);
    if (render.PrXMLStr == nullptr) return kOperationFailed;
    return render.PrXMLStr(generation, 0, 0, generation->extraChain != 0 ? 1 : 0);
}

const OperationRow kRows[] = {
    {kOpGenerate, nullptr, MarkGeneration, GenerateAtEnd, &kGenerationSteps, kNotesRangeOnly},
};

} // namespace

const OperationFamily kGenerationOperations = MakeFamily(kRows);

} // namespace talix
