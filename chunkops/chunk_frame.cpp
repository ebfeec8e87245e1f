// The chunk method frame: one run of the operation engine with the chunk's
// status, single-target flag and AutoSave handled the same way for every
// method (chunkops/chunk_frame.h).
#include "chunkops/chunk_frame.h"

#include <cstring>
#include <new>

#include "core/chunk_definition.h"
#include "core/chunk_type_table.h"
#include "core/chunk_work_state.h"
#include "core/host_message.h"
#include "core/item_internal.h"
#include "core/item_work_state.h"
#include "core/pool.h"
#include "core/session_work_area.h"
#include "engine/record_process.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr std::uint16_t kItemBeingCreated = 2;

ChunkDefInfo* Innermost(ChunkDefInfo* chain) {
    while (chain != nullptr && chain->next != nullptr) chain = chain->next;
    return chain;
}

// A table cell keeps its row and its column in one byte each, and a Row or
// Column level counts its elements by that byte: it reaches numbers 1 to
// 256 only.
constexpr std::uint32_t kHighestPosition = 256;

// True when a Row or Column level of the chain names a number its cells
// cannot hold: a run would find nothing there and change nothing.
bool NamesUnreachablePosition(const ChunkDefInfo* chain) {
    for (const ChunkDefInfo* level = chain; level != nullptr; level = level->next) {
        const ChunkTypeRow* row = GetChunkTypeRow(level->elementType);
        if (row == nullptr || row->positionField == 0) continue;
        const int count = level->occurrenceCount > kMaxOccurrences ? kMaxOccurrences : level->occurrenceCount;
        for (int i = 0; i < count; ++i)
            if (level->occurrenceStart[i] > kHighestPosition || level->occurrenceEnd[i] > kHighestPosition)
                return true;
    }
    return false;
}

// Steps 4 to 6 of the frame: the engine's run with the flag kept. Returns
// the engine's status, 1028 for a sub-definition that does not parse, 20017
// (also as the chunk's error word) for a row or column no cell can hold, or
// 263 when memory runs out: no allocation failure leaves a chunk method.
STATUS RunEngine(ZervaRTChunk* chunk, const ChunkOperation& run) {
    ZervaRTItem* item = chunk->item;
    ChunkWorkState* work = chunk->work;
    const std::uint32_t single = work->singleTarget;
    ChunkDefInfo* extra = nullptr;
    if (run.subDefinition != nullptr && run.subDefinition[0] != '\0') {
        std::uint32_t extraSingle = 0;
        bool outOfMemory = false;
        extra = ParseChunkDefinition(chunk->session, 0, Innermost(work->chain), run.subDefinition, &extraSingle,
                                     &outOfMemory);
        if (extra == nullptr) return outOfMemory ? kOutOfMemory : kArgumentError;
        work->singleTarget = (single != 0 && extraSingle != 0) ? 1 : 0;
    }
    if (NamesUnreachablePosition(work->chain) || NamesUnreachablePosition(extra)) {
        work->singleTarget = single;
        FreeChunkDefinition(extra);
        chunk->errorWord = kErrFormula;
        return kErrFormula;
    }
    STATUS status = kOutOfMemory;
    try {
        status = PerformChunkAction(chunk, item->noteHandle, item->itemName, run.operation, run.op2, run.a3, run.a4,
                                    run.a5, run.argument, run.second, run.pointer, extra, run.source);
    } catch (const std::bad_alloc&) {
        // Memory ran out where the run could not turn it into its status.
    }
    work->singleTarget = single;
    FreeChunkDefinition(extra);
    return status;
}

} // namespace

bool ChunkUsable(const ZervaRTChunk* chunk) {
    return chunk != nullptr && chunk->work != nullptr && chunk->session != nullptr && chunk->session->IsUsable() &&
           chunk->item != nullptr && chunk->item->work != nullptr;
}

STATUS Refuse(ZervaRTChunk* chunk, STATUS status) {
    if (chunk != nullptr) chunk->lastStatus = status;
    return status;
}

void ReportToHost(ZervaRTChunk* chunk, const char* text) {
    if (chunk == nullptr || chunk->session == nullptr || text == nullptr) return;
    char* out = chunk->session->statusText;
    const std::size_t length = strnlen(text, RARIvoSession::kStatusTextCapacity - 1);
    std::memmove(out, text, length);
    out[length] = '\0';
    ShowHostMessage(out);
}

STATUS RunChunkOperation(ZervaRTChunk* chunk, const ChunkOperation& run) {
    if (!ChunkUsable(chunk)) return Refuse(chunk, kArgumentError);
    ZervaRTItem* item = chunk->item;
    chunk->lastStatus = kOK;
    if (ItemStored(item) || item->work->mode == kItemBeingCreated) {
        const STATUS status = RunEngine(chunk, run);
        if (status != kOK && status != kOperationComplete) {
            chunk->lastStatus = status;
            return status;
        }
    }
    if (chunk->lastStatus != kOK) {
        if (chunk->lastStatus != kOperationComplete) return chunk->lastStatus;
        chunk->lastStatus = kOK;
        return kOK;
    }
    // The update's own status does not change the method's.
    if (item->autoSave != 0) plat::NoteUpdate(item->noteHandle, plat::UPDATE_FORCE);
    return kOK;
}

STATUS RunChunkOperation(ZervaRTChunk* chunk, std::uint16_t operation, std::uint16_t op2, std::uint16_t a3,
                         std::uint16_t a4, std::uint16_t a5, const char* argument, const char* second,
                         ZervaRTChunk* source) {
    return RunChunkOperation(chunk, ChunkOperation{operation, op2, a3, a4, a5, argument, second, nullptr, source});
}

STATUS RunChunkOperationWithOptions(ZervaRTChunk* chunk, const ChunkOperation& run, const char* options) {
    if (!ChunkUsable(chunk)) return Refuse(chunk, kArgumentError);
    SessionWorkArea* area = chunk->session->workArea;
    const char* saved = area->runningOptions;
    TrackedBlock* copy = nullptr;
    if (options != nullptr && options[0] != '\0') {
        const std::size_t length = std::strlen(options);
        if (length >= 0xFFFFFFFEu) return Refuse(chunk, kOutOfMemory);
        copy = QuorbelAllocateBlock(chunk->session, __LINE__, kChunkMethodsTag, static_cast<std::uint32_t>(length + 1),
                                    0);
        if (copy == nullptr) return Refuse(chunk, kOutOfMemory);
        std::memcpy(copy->data, options, length + 1);
        area->runningOptions = reinterpret_cast<const char*>(copy->data);
    } else {
        area->runningOptions = nullptr;
    }
    const STATUS status = RunChunkOperation(chunk, run);
    area->runningOptions = saved;
    if (copy != nullptr) QuorbelReleaseBlock(chunk->session, copy);
    return status;
}

} // namespace talix

void ZervaRTChunk::AlterRichText(std::uint16_t operation, std::uint16_t op2, std::uint16_t a3, std::uint16_t a4,
                                 std::uint16_t a5, const char* argument, const char* second,
                                 const char* subDefinition, ZervaRTChunk* source) {
    talix::RunChunkOperation(this,
                             talix::ChunkOperation{operation, op2, a3, a4, a5, argument, second, subDefinition, source});
}
