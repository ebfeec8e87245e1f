// Writing records back: the output segments the record output builds into,
// the writing of a record list as the stored items of its name, and the
// appending of a text file as paragraphs.
#include <cstdio>
#include <cstring>
#include <new>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/record_output.h"
#include "core/item_work_state.h"
#include "core/pool.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "engine/record_process.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr const char* kSourceName = "rtproc2";

// The block the items are assembled in: the data-type word and at most
// kItemRecordBytes of records, or one larger record alone.
constexpr std::uint32_t kItemBlockSize = kWorkBufferSize;

// Appends the block's first fill bytes as an item of the list's name.
STATUS AppendItem(const ItemRecordList* list, plat::DHANDLE block, std::uint32_t fill) {
    return plat::ItemAppendByBlock(list->note, 0, list->itemName, static_cast<plat::WORD>(std::strlen(list->itemName)),
                                   block, fill);
}

} // namespace

STATUS StartOutputSegment(RecordOutput* output) {
    if (output == nullptr || output->item == nullptr || output->item->work == nullptr) return kArgumentError;
    ZervaRTItem* item = output->item;
    ItemWorkState* work = item->work;
    if (work->output == nullptr) {
        work->output = new (std::nothrow) ItemRecordList{};
        if (work->output == nullptr) return kOutOfMemory;
        work->output->note = item->noteHandle;
        work->output->itemName = item->itemName;
        work->output->outputFlag = 1;
    }
    ItemRecordList* list = work->output;

    auto* buffer = static_cast<std::uint8_t*>(
        QuorbelAllocate(output->session, __LINE__, kSourceName, kOutputSegmentCapacity, 0));
    void* memory = QuorbelAllocate(output->session, __LINE__, kSourceName, sizeof(OutputSegment), 1);
    if (buffer == nullptr || memory == nullptr) {
        // The output keeps its previous segment.
        if (buffer != nullptr) ZervaDeallocate(output->session, buffer);
        if (memory != nullptr) ZervaDeallocate(output->session, memory);
        return kOutOfMemory;
    }

    output->capacity = kOutputSegmentCapacity;
    output->segmentBytes = 0;
    output->segmentStart = output->writePosition = buffer;
    list->valueStart = list->readPosition = buffer;
    list->valueLength = kOutputSegmentCapacity;

    auto* segment = new (memory) OutputSegment{};
    if (list->lastSegment == nullptr) {
        segment->firstIndex = segment->lastIndex = 1;
        list->firstSegment = segment;
    } else {
        segment->number = static_cast<std::uint16_t>(list->lastSegment->number + 1);
        segment->firstIndex = segment->lastIndex = static_cast<std::uint16_t>(list->lastSegment->lastIndex + 1);
        list->lastSegment->next = segment;
    }
    list->lastSegment = segment;
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

STATUS WriteItemRecords(ItemRecordList* list, ZervaRTItem* item) {
    if (list == nullptr || list->head == nullptr) return kOK;
    if (item == nullptr || list->itemName == nullptr || list->itemName[0] == '\0') return kArgumentError;

    plat::DHANDLE block = 0;
    STATUS status = plat::MemAlloc(kItemBlockSize, plat::MEM_GROWABLE, &block);
    if (status != plat::NOERROR) return status;
    auto* data = static_cast<std::uint8_t*>(plat::MemLock(block));
    if (data == nullptr) {
        plat::MemFree(block);
        return kOutOfMemory;
    }
    WriteWord(data, plat::TYPE_COMPOSITE);
    std::uint32_t fill = 2;
    bool droppablePad = false;   // the block ends with the pad of a record stored without one

    for (CDRecordNode* node = list->head; node != nullptr && status == kOK; node = node->next) {
        std::uint32_t length = node->length;
        if (length > kOutputSegmentCapacity) {
            plat::LogLine(0, "Record 0x%04X of %u bytes is too large to write", node->signature, length);
            status = kDamagedRecords;
            break;
        }
        const void* stored = item->ConvertToCanonicalData(node->bytes, node->signature, &length);
        if (stored == nullptr) {
            status = kOutOfMemory;
            break;
        }
        if (fill > 2 && fill - 2 + length > kItemRecordBytes) {
            status = AppendItem(list, block, droppablePad ? fill - 1 : fill);
            fill = 2;
        }
        if (status != kOK) break;
        std::memcpy(data + fill, stored, length);
        fill += length;
        droppablePad = false;
        if (length & 1u) {
            data[fill++] = (node->flags & kNodeKeptPad) ? static_cast<std::uint8_t>(node->flags >> kNodePadShift) : 0;
            droppablePad = (node->flags & kNodeNoPad) != 0;
        }
    }
    if (status == kOK && fill > 2) status = AppendItem(list, block, droppablePad ? fill - 1 : fill);
    plat::MemUnlock(block);
    plat::MemFree(block);
    return status;
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

STATUS AppendTextFileLines(const char* filePath, std::uint32_t maxLineLength, RecordProcessContext* context) {
    if (context == nullptr || context->session == nullptr || context->output.item == nullptr ||
        context->output.item->work == nullptr)
        return kArgumentError;
    std::FILE* file = filePath != nullptr ? std::fopen(filePath, "rb") : nullptr;
    if (file == nullptr) {
        if (context->chunk != nullptr) context->chunk->errorWord = kErrImportFileMissing;
        return kNoHtmlInput;
    }
    RARIvoSession* session = context->session;
    // The line is read into the session's text result.
    char* line = session->textResult;
    if (maxLineLength < 1) maxLineLength = 1;
    // A longer line goes on as the next run: no run is longer than one
    // text run can hold.
    if (maxLineLength > kMaxTextRunLength) maxLineLength = kMaxTextRunLength;

    const std::uint8_t* current = context->output.item->work->currentFont + 4;
    FontId font;
    font.face = current[0];
    font.attributes = current[1];
    font.color = current[2];
    font.size = current[3];

    STATUS status = kOK;
    for (int c = std::fgetc(file); status == kOK && c != EOF;) {
        // One line: up to a line break (CR, LF or CR LF, which is consumed)
        // or maxLineLength bytes.
        std::uint32_t length = 0;
        while (c != EOF && c != '\r' && c != '\n' && length < maxLineLength) {
            line[length++] = static_cast<char>(c);
            c = std::fgetc(file);
        }
        if (c == '\r') c = std::fgetc(file);
        if (c == '\n') c = std::fgetc(file);
        line[length] = '\0';
        status = AppendTextRecord(line, length, &font, &context->output);
        if (status != kOK || c == EOF) break;
        status = AppendRecord(context->paragraphRecord, 0x0081, sizeof context->paragraphRecord, &context->output);
        if (status == kOK)
            status = AppendRecord(context->paragraphReference, 0x0083, sizeof context->paragraphReference,
                                  &context->output);
    }
    session->textResult[0] = '\0';
    session->textResultLength = 0;
    std::fclose(file);
    return status;
}

} // namespace talix
