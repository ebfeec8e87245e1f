// The executor inside a chunk: the frame every record inside the located
// chunk passes through (already-written test, dispatch by operation code,
// the common tail), and operation 9, which collects the chunk's text.
#include <cstring>

#include "engine/exec_handlers.h"
#include "engine/record_process.h"
#include "talix/session.h"

namespace talix {

namespace {

constexpr std::uint16_t kText = 0xFF85;
constexpr std::uint32_t kTextHeader = 8;
// The most text operation 9 collects.
constexpr std::uint32_t kTextCap = 65340;

// Operation 9: the text of the chunk's non-empty text runs goes to the
// session's text result; a3 = 0 takes the first run only, else every run
// with the argument text written between runs. The result never grows past
// kTextCap bytes and stays terminated.
void CollectText(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                 RecordProcessContext* context) {
    if (signature != kText || length <= kTextHeader || context->chunkDone != 0) return;
    RARIvoSession* session = context->session;
    const char* run = reinterpret_cast<const char*>(record) + kTextHeader;
    std::uint32_t runLength = length - kTextHeader;
    std::uint32_t have = context->a3 == 0 ? 0 : session->textResultLength;
    const char* separator = context->a3 == 0 ? nullptr : context->argumentText;
    // A separator goes only between runs, so it counts only when a run is
    // already there.
    std::uint32_t separatorLength = (separator != nullptr && have > 0) ? std::strlen(separator) : 0;

    if (context->a3 == 0) context->chunkDone = 1;
    if (have + separatorLength > kTextCap) {
        context->chunkDone = 1;
        return;
    }
    if (have + separatorLength + runLength > kTextCap) {
        context->chunkDone = 1;
        runLength = kTextCap - have - separatorLength;
    }
    char* out = session->textResult + have;
    if (separatorLength > 0) std::memcpy(out, separator, separatorLength);
    std::memcpy(out + separatorLength, run, runLength);
    have += separatorLength + runLength;
    session->textResult[have] = '\0';
    session->textResultLength = static_cast<std::uint16_t>(have);
}

} // namespace

STATUS ProcessChunkRecord(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                          RecordProcessContext* context) {
    if (context == nullptr || context->session == nullptr) return kArgumentError;
    STATUS status = kOK;
    // The length the record is passed on with; 0 drops it (or it was
    // replaced by what the handler appended).
    std::uint32_t passOn = length;
    std::uint32_t index = context->node != nullptr ? context->node->index : context->recordCounter;

    if (index <= context->consumedThrough) {
        // An earlier record's handler already wrote this one.
        passOn = 0;
    } else {
        context->consumedThrough = 0;
        switch (context->operation) {
        case 9:
            CollectText(record, signature, length, context);
            break;
        case 1:
        case 2304:
        case 2305:
            status = PropertyCodeRecord(record, signature, &passOn, context);
            if (status != kOK) return status;
            break;
        default:
            // Operations without a handler here keep the record.
            break;
        }
    }

    context->cellMarker = 0;
    // Nothing is appended while the run does not rebuild the item, whatever
    // the handler decided. Runs that rebuild it are refused before the walk
    // until the record output can take the records passed on (passOn bytes,
    // none for a dropped record); should one get here, it fails rather than
    // lose them.
    if (context->writesItem != 0) return kArgumentError;
    return status;
}

} // namespace talix
