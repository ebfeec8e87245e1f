#include "engine/exec_results.h"

#include <cstring>

#include "builders/append_gate.h"
#include "core/pool.h"
#include "core/ready_records.h"
#include "core/record_forms.h"
#include "engine/record_process.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix {

namespace {

// A record's length field is 16 bits for every record these executors build.
constexpr std::uint32_t kLongestRecord = 0xFFFE;

void PutBounded(char* place, std::uint32_t capacity, const void* text, std::uint32_t length) {
    if (length > capacity - 1) length = capacity - 1;
    if (length > 0 && text != nullptr) std::memcpy(place, text, length);
    place[length] = '\0';
}

} // namespace

void PutTextResult(RecordProcessContext* context, const void* text, std::uint32_t length) {
    RARIvoSession* session = context->session;
    if (length > RARIvoSession::kTextResultCapacity) length = RARIvoSession::kTextResultCapacity;
    if (text == nullptr) length = 0;
    if (length > 0) std::memmove(session->textResult, text, length);
    session->textResult[length] = '\0';
    session->textResultLength = static_cast<std::uint16_t>(length);
}

void PutScratch1(RecordProcessContext* context, const void* text, std::uint32_t length) {
    PutBounded(context->session->messageBuffer, kScratchSize, text, length);
}

void PutScratch3(RecordProcessContext* context, const void* text, std::uint32_t length) {
    PutBounded(context->session->optionValue + kScratchSize, kScratchSize, text, length);
}

std::uint8_t* NewRecord(RecordProcessContext* context, std::uint32_t length) {
    return static_cast<std::uint8_t*>(QuorbelAllocate(context->session, __LINE__, "rtproc", EvenLength(length), 1));
}

void ReleaseRecord(RecordProcessContext* context, std::uint8_t* record) {
    if (record != nullptr) ZervaDeallocate(context->session, record);
}

STATUS ReplaceRecord(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                     std::uint32_t* passOn, RecordProcessContext* context) {
    *passOn = 0;
    context->chunk->item->modified = 1;
    if (context->writesItem == 0) return kOK;
    return AppendRecord(record, signature, EvenLength(length), &context->output);
}

STATUS ReplaceDwordField(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                         std::uint32_t offset, std::uint32_t value, std::uint32_t* passOn,
                         RecordProcessContext* context) {
    std::uint8_t* copy = NewRecord(context, length);
    if (copy == nullptr) return kOutOfMemory;
    std::memcpy(copy, record, length);
    WriteDword(copy + offset, value);
    const STATUS status = ReplaceRecord(copy, signature, length, passOn, context);
    ReleaseRecord(context, copy);
    return status;
}

std::uint8_t* BuildTextRecord(RecordProcessContext* context, std::uint16_t signature, std::uint32_t headLength,
                              std::uint32_t lengthWord, const char* text, std::uint32_t textLength,
                              STATUS* status) {
    const std::uint32_t length = headLength + textLength;
    if ((textLength > 0 && text == nullptr) || length > kLongestRecord || textLength > 0xFFFF ||
        (lengthWord != 0 && lengthWord + 2 > headLength)) {
        *status = kArgumentError;
        return nullptr;
    }
    std::uint8_t* record = NewRecord(context, length);
    if (record == nullptr) {
        *status = kOutOfMemory;
        return nullptr;
    }
    WriteRecordHeader(record, signature, length);
    if (lengthWord != 0) WriteWord(record + lengthWord, static_cast<std::uint16_t>(textLength));
    if (textLength > 0) std::memcpy(record + headLength, text, textLength);
    *status = kOK;
    return record;
}

STATUS ReplaceVariablePart(const std::uint8_t* record, std::uint16_t signature, std::uint32_t oldLength,
                           std::uint32_t headLength, std::uint32_t lengthWord, const char* text,
                           std::uint32_t textLength, std::uint32_t* passOn, RecordProcessContext* context) {
    STATUS status = kOK;
    std::uint8_t* rebuilt = BuildTextRecord(context, signature, headLength, lengthWord, text, textLength, &status);
    if (rebuilt == nullptr) return status;
    // The old head, then the header and the text length of the new record.
    std::memcpy(rebuilt, record, oldLength < headLength ? oldLength : headLength);
    const std::uint32_t length = headLength + textLength;
    SetHostRecordLength(rebuilt, signature, length);
    if (lengthWord != 0) WriteWord(rebuilt + lengthWord, static_cast<std::uint16_t>(textLength));
    status = ReplaceRecord(rebuilt, signature, length, passOn, context);
    ReleaseRecord(context, rebuilt);
    return status;
}

} // namespace talix
