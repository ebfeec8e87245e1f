// The output segments the record output builds into, and the memory
// handles it holds until its run ends.

#include "builders/record_output.h"
#include "core/item_work_state.h"
#include "core/pool.h"
#include "core/record_io.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr const char* kSourceName = "rtproc2";

} // namespace

STATUS StartOutputSegment(RecordOutput* output) {
    if (output == nullptr || output->item == nullptr || output->item->work == nullptr) return kArgumentError;
    ZervaRTItem* item = output->item;
    ItemWorkState* work = item->work;
    if (work->output == nullptr) {
        work->output = NewItemRecordList();
        if (work->output == nullptr) return kOutOfMemory;
        work->output->note = item->noteHandle;
        work->output->itemName = item->itemName;
        work->output->outputFlag = 1;
    }
    ItemRecordList* list = work->output;

    auto* buffer = static_cast<std::uint8_t*>(
        QuorbelAllocate(output->session, __LINE__, kSourceName, kOutputSegmentCapacity, 0));
    const OutputSegment* previous = list->lastSegment;
    OutputSegment* segment = buffer != nullptr ? AddSegment(output->session, list) : nullptr;
    if (segment == nullptr) {
        // The output keeps its previous segment.
        if (buffer != nullptr) ZervaDeallocate(output->session, buffer);
        return kOutOfMemory;
    }

    output->capacity = kOutputSegmentCapacity;
    output->segmentBytes = 0;
    output->segmentStart = output->writePosition = buffer;
    list->valueStart = list->readPosition = buffer;
    list->valueLength = kOutputSegmentCapacity;

    segment->firstIndex = segment->lastIndex = previous != nullptr ? previous->lastIndex + 1 : 1;
    segment->size = kOutputSegmentCapacity;
    segment->start = segment->position = buffer;
    return kOK;
}

STATUS CloseOutputSegment(RecordOutput* output) {
    if (output == nullptr || output->item == nullptr || output->item->work == nullptr) return kOK;
    ItemRecordList* list = output->item->work->output;
    if (list == nullptr || list->lastSegment == nullptr) return kOK;
    OutputSegment* segment = list->lastSegment;
    segment->size = static_cast<std::uint32_t>(output->writePosition - output->segmentStart);
    if (list->lastAppended != nullptr) segment->lastIndex = list->lastAppended->index;
    return kOK;
}

void ReleaseHeldHandles(RecordOutput* output, std::uint16_t first) {
    if (output == nullptr) return;
    std::uint16_t count = output->heldHandleCount;
    if (count > kHeldHandleCapacity) count = kHeldHandleCapacity;
    for (std::uint16_t i = first; i < count; ++i) {
        HeldHandle& held = output->heldHandles[i];
        if (held.handle != plat::NULLHANDLE) {
            if (held.locked) plat::MemUnlock(held.handle);
            plat::MemFree(held.handle);
        }
        held = HeldHandle{};
    }
    output->heldHandleCount = 0;
    if (output->workHandle != plat::NULLHANDLE) {
        plat::MemUnlock(output->workHandle);
        plat::MemFree(output->workHandle);
        output->workHandle = plat::NULLHANDLE;
    }
}

} // namespace talix
