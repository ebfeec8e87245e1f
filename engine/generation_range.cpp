// The engine's part of a generation run (operation 2419): the walk marks the
// first and the last record of each range of the chunk, and each range's
// end hands the generation its records, its equivalent paragraph
// definitions and the database's identifier.
#include "engine/generation_range.h"

#include <cstring>

#include "core/chunk_definition.h"
#include "core/chunk_work_state.h"
#include "core/record_list.h"
#include "core/signatures.h"
#include "engine/generation_state.h"
#include "engine/paragraph_equivalence.h"
#include "engine/record_process.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

GenerationWalkState* RunningGeneration(const RecordProcessContext* context) {
    return context->chunk->work != nullptr ? context->chunk->work->generation : nullptr;
}

STATUS PrepareGeneration(RecordProcessContext* context) {
    GenerationWalkState* generation = context->chunk->work->generation;
    if (generation == nullptr) return kOK;
    const ChunkDefInfo* first = context->chunk->work->chain;
    if (first != nullptr && (first->relation == kRelStart || first->relation == kRelPlain))
        generation->elementType = first->elementType;
    if (context->extraChain != nullptr) generation->extraChain = 1;
    return kOK;
}

void CollectForGeneration(ItemRecordList* list, RecordProcessContext* context) {
    GenerationWalkState* generation = context->chunk->work->generation;
    // A list as its read left it holds none of these records past the last
    // one the read met: the walk ends there.
    const bool asRead = list->edits == list->editsAtRead;
    for (CDRecordNode* node = list->head; node != nullptr; node = node->next) {
        if (asRead && node->index > list->lastDefinitionIndex) break;
        if (node->signature == kSigPabDefinition && context->definitionCount < kGenerationRecordSlots) {
            context->definitions[context->definitionCount++] = node;
        } else if (node->signature == kSigStyleName && context->record166Count < kGenerationRecordSlots) {
            context->records166[context->record166Count++] = node;
        }
    }
    if (generation == nullptr) return;
    generation->definitionCount = context->definitionCount;
    std::memcpy(generation->definitions, context->definitions, sizeof context->definitions);
    generation->record166Count = context->record166Count;
    std::memcpy(generation->records166, context->records166, sizeof context->records166);
}

STATUS MarkGenerationRange(std::uint8_t*, std::uint16_t, std::uint32_t, std::uint32_t*,
                           RecordProcessContext* context) {
    GenerationWalkState* generation = RunningGeneration(context);
    if (generation == nullptr) return kOK;
    if (generation->firstNode == nullptr) generation->firstNode = context->node;
    generation->endNode = context->node;
    return kOK;
}

GenerationWalkState* EndGenerationRange(RecordProcessContext* context) {
    GenerationWalkState* generation = RunningGeneration(context);
    if (generation == nullptr) return nullptr;
    generation->node = generation->firstNode;
    generation->firstNode = nullptr;
    if ((generation->options & kGenCollectParagraphs) != 0) CollectPabDefinitions(context, generation);
    plat::DBID id;
    if (plat::DbReplicaId(context->chunk->item->databaseHandle, &id) == plat::NOERROR) {
        static_assert(sizeof id == sizeof generation->databaseId);
        std::memcpy(generation->databaseId, &id, sizeof id);
    }
    return generation;
}

} // namespace talix
