// The property and query codes that the executor inside a chunk runs on
// each record: the query that finds the chunk's records (1) and the tests
// whether the chunk holds something (2304) or holds text (2305). They read
// records only; every record is kept.
#include <cstring>

#include "core/item_work_state.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "engine/chunk_match.h"
#include "engine/exec_handlers.h"
#include "engine/record_process.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix {

namespace {

// Records that give a chunk structure but no content: paragraph records,
// BEGIN and END wrappers, paragraph definitions and hide formulas, and an
// empty text run.
bool IsStructureOnly(std::uint16_t signature, std::uint32_t length) {
    switch (signature) {
    case kSigText: return length <= kTextRunHeader;
    case kSigParagraph: case kSigBegin: case kSigEnd: case kSigPabReference: case kSigPabDefinition:
    case kSigPabHide: case kSigPabFormRef:
        return true;
    default: return false;
    }
}

// The tally: the innermost level's occurrence holds this record.
STATUS TallyOccurrence(RecordProcessContext* context) {
    auto* tally = static_cast<OccurrenceTally*>(context->pointer);
    const ChunkDefInfo* level = context->matchedLevel;
    if (tally == nullptr || level == nullptr) return kOK;
    const std::uint32_t n = level->walk.words[kWalkOccurrence];
    if (n == 0 || n > tally->limit) return kOK;
    if (tally->seen.size() <= n) tally->seen.resize(n + 1u, false);
    if (!tally->seen[n] && n == tally->limit) {
        tally->firstAtLimit = context->recordCounter;
        std::memcpy(tally->templateAtLimit, context->chunk->item->work->textTemplate, sizeof tally->templateAtLimit);
    }
    tally->seen[n] = true;
    return kOK;
}

} // namespace

STATUS PropertyCodeRecord(std::uint8_t*, std::uint16_t signature, std::uint32_t* passOn,
                          RecordProcessContext* context) {
    SessionWorkArea* area = context->session != nullptr ? context->session->workArea : nullptr;
    if (area == nullptr) return kOK;
    std::uint32_t length = *passOn;
    switch (context->operation) {
    case kOpQuery:
        if (context->operation2 == kQueryTally) return TallyOccurrence(context);
        // The first record of the chunk is kept once, the last one at every
        // record; the existence questions need only the first.
        if (area->foundFirstRecord == 0) area->foundFirstRecord = context->recordCounter;
        area->foundLastRecord = context->recordCounter;
        if (context->operation2 == kQueryExists || context->operation2 == kQueryFirstRecord) return kItemNotFound;
        return kOK;
    case kOpContainsSomething:
        if (IsStructureOnly(signature, length)) return kOK;
        ++area->containsCount;
        return kItemNotFound;
    case kOpContainsText:
        if (signature != kSigText || length <= kTextRunHeader) return kOK;
        ++area->containsCount;
        return kItemNotFound;
    default:
        return kOK;
    }
}

} // namespace talix
