// Operation 2419, a generation over the chunk: the walk marks where the
// chunk's records start and where it stands, and the chunk's end hands the
// generation its position, its equivalent paragraph definitions and the
// database's identifier before it renders.
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

// Every record inside the chunk is kept; the first is the generation's first
// node, each in turn its current one.
STATUS MarkGeneration(std::uint8_t*, std::uint16_t, std::uint32_t, std::uint32_t*, RecordProcessContext* context) {
    GenerationWalkState* generation = Generation(context);
    if (generation == nullptr) return kOK;
    if (generation->firstNode == nullptr) generation->firstNode = context->node;
    generation->node = context->node;
    return kOK;
}

STATUS GenerateAtEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    GenerationWalkState* generation = Generation(context);
    if (generation == nullptr) return kOK;
    generation->node = context->node;
    if ((generation->options & kGenCollectParagraphs) != 0) CollectPabDefinitions(context, generation);
    plat::DBID id;
    if (plat::DbReplicaId(context->chunk->item->databaseHandle, &id) == plat::NOERROR) {
        static_assert(sizeof id == sizeof generation->databaseId);
        std::memcpy(generation->databaseId, &id, sizeof id);
    }
    // The output waiting for the chunk is rendered now, as the final part.
    if (generation->pendingOutput == 0) return kOK;
    return g_generation.PrXMLStr != nullptr ? g_generation.PrXMLStr(generation, 0, 0, 1) : kOperationFailed;
}

const OperationRow kRows[] = {
    {kOpGenerate, nullptr, MarkGeneration, GenerateAtEnd, &kGenerationSteps},
};

} // namespace

const OperationFamily kGenerationOperations = MakeFamily(kRows);

} // namespace talix
