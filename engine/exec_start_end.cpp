// The executors at a chunk's first record and after its last one, chosen by
// the run's operation code: the existence query records the find, the
// position list (operation 2) records where each target starts and ends.
#include <cstring>

#include "core/pool.h"
#include "engine/exec_handlers.h"
#include "engine/record_process.h"
#include "talix/chunk.h"

namespace talix {

namespace {

constexpr std::uint32_t kFirstPositionCapacity = 255;

// A new position entry (start and end at the record counter) at the end of
// the run's list, which grows from the tracked pool. Returns 0 or 263.
STATUS AddPosition(RecordProcessContext* context, std::uint16_t recordCounter) {
    if (context->sortKeyCount == context->sortKeyCapacity) {
        std::uint32_t capacity =
            context->sortKeyCapacity == 0 ? kFirstPositionCapacity : context->sortKeyCapacity * 2;
        auto* grown = static_cast<SortKey*>(
            QuorbelAllocate(context->session, __LINE__, "rtproc", capacity * sizeof(SortKey), 1));
        if (grown == nullptr) return kOutOfMemory;
        if (context->sortKeys != nullptr) {
            std::memcpy(static_cast<void*>(grown), context->sortKeys, context->sortKeyCount * sizeof(SortKey));
            ZervaDeallocate(context->session, context->sortKeys);
        }
        context->sortKeys = grown;
        context->sortKeyCapacity = capacity;
    }
    SortKey& entry = context->sortKeys[context->sortKeyCount++];
    entry = SortKey();
    entry.firstRecord = recordCounter;
    entry.lastRecord = recordCounter;
    return kOK;
}

} // namespace

STATUS ProcessChunkStart(std::uint8_t*, std::uint16_t, std::uint16_t recordCounter, RecordProcessContext* context) {
    if (context == nullptr) return kArgumentError;
    switch (context->operation) {
    case 1:
        if (context->operation2 == kQueryExists && context->chunk != nullptr)
            context->chunk->lastStatus = kOperationComplete;
        return kOK;
    case 2:
        return AddPosition(context, recordCounter);
    default:
        return kOK;
    }
}

STATUS ProcessChunkEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    if (context == nullptr) return kArgumentError;
    switch (context->operation) {
    case 2:
        if (context->sortKeyCount > 0) context->sortKeys[context->sortKeyCount - 1].lastRecord = context->recordCounter;
        return kOK;
    default:
        return kOK;
    }
}

} // namespace talix
