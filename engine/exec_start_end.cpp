// The executors at a chunk's first record and after its last one, chosen by
// the run's operation code: the existence query records the find, the
// position list (operation 2) records where each target starts and ends,
// the append family writes before or after the chunk (exec_append.cpp), and
// a few property codes read or mark the chunk's first or last record.
#include <cstdio>
#include <cstring>

#include "builders/append_gate.h"
#include "core/chunk_definition.h"
#include "core/chunk_types.h"
#include "core/pool.h"
#include "core/ready_records.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "engine/exec_handlers.h"
#include "engine/inside_executor.h"
#include "engine/operation_table.h"
#include "engine/record_process.h"
#include "engine/run_steps.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform/c_locale.h"

namespace talix {

namespace {

// Property code of the measurement query that asks for the right margin.
constexpr std::uint16_t kMaxRightMargin = 2604;

// An answer of a property query: into the session's text result, and into
// the scratch buffer the property reader takes it from.
void PutAnswer(RecordProcessContext* context, const char* text, char* scratch) {
    RARIvoSession* session = context->session;
    const std::size_t length = std::strlen(text);
    std::memcpy(session->textResult, text, length + 1);
    session->textResultLength = static_cast<std::uint16_t>(length);
    std::memcpy(scratch, text, length + 1);
}

// Whether the chunk's first record lies in a pass-through HTML bracket: a
// bracket start before any bracket end, walking back from it.
bool InsidePassThrough(const CDRecordNode* node) {
    for (; node != nullptr; node = node->prev) {
        if (node->signature == kSigHtmlBegin) return true;
        if (node->signature == kSigHtmlEnd) return false;
    }
    return false;
}

STATUS AppendPassThrough(std::uint16_t signature, RecordProcessContext* context) {
    std::uint8_t record[kPassThroughRecordLength] = {};
    WriteRecordHeader(record, signature, kPassThroughRecordLength);
    context->chunk->item->modified = 1;
    return AppendRecord(record, signature, kPassThroughRecordLength, &context->output);
}

// The records a paragraph opens with: its paragraph record (which closes
// the one before), definition, reference and hide records.
bool OpensParagraph(std::uint16_t signature) {
    return signature == kSigParagraph || signature == kSigPabDefinition || signature == kSigPabReference ||
           signature == kSigPabFormRef || signature == kSigPabHide;
}

// The records a table cell opens with: its cell record and the colour and
// background records that go with it.
bool OpensCell(std::uint16_t signature) {
    return signature == kSigTableCell || signature == kSigNestedTableCell || signature == kSigTableCellColor ||
           signature == kSigCellBackgroundData;
}

// Values of the pending switch: the bracket opens after a paragraph's own
// records, or after a cell's own records and its paragraph's.
constexpr std::uint32_t kBracketAfterParagraph = 1;
constexpr std::uint32_t kBracketAfterCell = 2;

// Whether a record still comes before a pending bracket begin.
bool BeforePendingBracket(const RecordProcessContext* context, std::uint16_t signature) {
    return OpensParagraph(signature) || (context->bracketPending == kBracketAfterCell && OpensCell(signature));
}

bool ParagraphChunk(const RecordProcessContext* context) {
    const ChunkDefInfo* level = context->matchedLevel;
    return level != nullptr && (level->elementType == kTypeParagraph || level->elementType == kTypeParagraphList);
}

// Operation 48 at the start: op2 set brackets the chunk as pass-through
// HTML (unless it already lies in a bracket); op2 0 closes the bracket the
// chunk lies in before it, to be opened again after it. A paragraph starts
// at the record that closes the paragraph before it: its bracket opens
// after the paragraph's own records, so that the paragraph before keeps its
// words and its end, and the bracket lies inside the chunk where the
// reverse set finds it; a cell's bracket opens after the cell's own
// records in the same way. A bracket begin that is the chunk's first record
// belongs to the chunk, not before it.
STATUS PassThroughAtStart(std::uint16_t signature, RecordProcessContext* context) {
    context->bracketPending = 0;
    context->bracketCell = 0;
    context->bracketFirstIndex = context->node != nullptr ? context->node->index : 0;
    const bool open = signature != kSigHtmlBegin && InsidePassThrough(context->node);
    if (context->operation2 != 0) {
        if (open || signature == kSigHtmlBegin) return kOK;
        if (ParagraphChunk(context) && OpensParagraph(signature)) {
            context->bracketPending = kBracketAfterParagraph;
            return kOK;
        }
        // A cell (or a row, from its first cell) starts at its cell record:
        // a begin before it would lie in the cell before, or between the
        // table's start and its first cell.
        if (signature == kSigTableCell || signature == kSigNestedTableCell) {
            context->bracketPending = kBracketAfterCell;
            // A row's cells each get a bracket of their own: one across
            // cells would take the cell boundaries for pass-through text.
            const ChunkDefInfo* level = context->matchedLevel;
            if (level != nullptr && level->elementType == kTypeRow) context->bracketCell = signature;
            return kOK;
        }
        return AppendPassThrough(kSigHtmlBegin, context);
    }
    if (open && signature != kSigHtmlEnd) {
        context->bracketReopen = 1;
        return AppendPassThrough(kSigHtmlEnd, context);
    }
    return kOK;
}

// Operation 48 inside the chunk: value 0 drops every bracket record of the
// chunk; another value keeps one bracket round it: a begin is dropped unless
// it opens the chunk (or the item), an end unless it is the item's last
// record. The bracket of a paragraph opens before its first record that is
// not one of the paragraph's own.
STATUS PassThroughInside(std::uint8_t*, std::uint16_t signature, std::uint32_t, std::uint32_t* passOn,
                         RecordProcessContext* context) {
    const CDRecordNode* node = context->node;
    if (signature == kSigHtmlBegin || signature == kSigHtmlEnd) {
        if (context->operation2 == 0) {
            *passOn = 0;
        } else if (signature == kSigHtmlBegin) {
            const bool first = context->bracketPending != 0 || node == nullptr || node->prev == nullptr ||
                               node->index == context->bracketFirstIndex;
            context->bracketPending = 0;
            if (!first) *passOn = 0;
        } else if (node != nullptr && node->next != nullptr) {
            *passOn = 0;
        }
        return kOK;
    }
    if (context->operation2 != 0 && context->bracketCell != 0 && signature == context->bracketCell &&
        context->bracketPending == 0 && (node == nullptr || node->index != context->bracketFirstIndex)) {
        context->bracketPending = kBracketAfterCell;
        return AppendPassThrough(kSigHtmlEnd, context);
    }
    if (context->bracketPending != 0 && !BeforePendingBracket(context, signature)) {
        context->bracketPending = 0;
        return AppendPassThrough(kSigHtmlBegin, context);
    }
    return kOK;
}

STATUS PassThroughAtEnd(const std::uint8_t* record, std::uint16_t signature, RecordProcessContext* context) {
    if (context->operation2 == 0) {
        if (context->bracketReopen != 0 && signature != kSigHtmlBegin) {
            context->bracketReopen = 0;
            return AppendPassThrough(kSigHtmlBegin, context);
        }
        return kOK;
    }
    if (context->bracketPending != 0) {
        // A paragraph of its own records only: nothing to bracket.
        context->bracketPending = 0;
        return kOK;
    }
    // A bracket already closing right after the chunk's last record (set by
    // an earlier run) is not closed a second time.
    const CDRecordNode* node = context->node;
    const bool closedAfter = node != nullptr && node->bytes == record && node->next != nullptr &&
                             node->next->signature == kSigHtmlEnd;
    if (signature != kSigHtmlEnd && !closedAfter) return AppendPassThrough(kSigHtmlEnd, context);
    return kOK;
}

// Operation 1 at the start: the existence query leaves its completion status.
STATUS QueryAtStart(std::uint8_t*, std::uint16_t, std::uint32_t, RecordProcessContext* context) {
    if (context->operation2 == kQueryExists) context->chunk->lastStatus = kOperationComplete;
    return kOK;
}

// Operation 2: a position entry per target, from its first to its last record.
STATUS PositionAtStart(std::uint8_t*, std::uint16_t, std::uint32_t recordCounter, RecordProcessContext* context) {
    return AddSortKey(context, recordCounter);
}
STATUS PositionAtEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    if (context->sortKeyCount > 0) context->sortKeys[context->sortKeyCount - 1].lastRecord = context->recordCounter;
    return kOK;
}

// Operation 36 at the end: the smallest left or the largest right margin the
// walk found, in inches.
STATUS MarginAtEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    const std::uint32_t twips =
        context->operation2 == kMaxRightMargin ? context->resultWords[1] : context->resultWords[0];
    char text[32];
    plat::FormatText(text, sizeof text, "%5.3f", twips / 1440.0);
    PutAnswer(context, text, context->session->optionValue + kScratchSize);
    return kOK;
}

// Operation 47: whether the chunk lies in a pass-through HTML bracket.
STATUS PassThroughQuery(std::uint8_t*, std::uint16_t, std::uint32_t, RecordProcessContext* context) {
    PutAnswer(context, InsidePassThrough(context->node) ? "TRUE" : "FALSE", context->session->messageBuffer);
    return kItemNotFound;
}

STATUS PassThroughStart(std::uint8_t*, std::uint16_t signature, std::uint32_t, RecordProcessContext* context) {
    return PassThroughAtStart(signature, context);
}
STATUS PassThroughEnd(std::uint8_t* record, std::uint16_t signature, RecordProcessContext* context) {
    return PassThroughAtEnd(record, signature, context);
}

// Operation 54: the chunk's first record loses its link mark.
STATUS ClearLinkMark(std::uint8_t*, std::uint16_t, std::uint32_t, RecordProcessContext* context) {
    if (context->node != nullptr) {
        context->node->flags = static_cast<std::uint16_t>(context->node->flags & ~kNodeLinkMark);
    }
    return kOK;
}

// Operation 2330: the signature of the chunk's first record.
STATUS RecordTypeAtStart(std::uint8_t*, std::uint16_t signature, std::uint32_t, RecordProcessContext* context) {
    context->session->workArea->recordTypeWord = signature;
    return kOK;
}

// Operation 2615: the chunk starts inside a hotspot.
STATUS InsideHotspotAtStart(std::uint8_t*, std::uint16_t, std::uint32_t, RecordProcessContext* context) {
    if (context->hotspotNesting > 0) ++context->session->workArea->containsCount;
    return kOK;
}

// The property and query codes inside the chunk.
STATUS PropertyInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t, std::uint32_t* passOn,
                      RecordProcessContext* context) {
    return PropertyCodeRecord(record, signature, passOn, context);
}

const OperationRow kRows[] = {
    {kOpQuery, QueryAtStart, PropertyInside, nullptr},
    {kOpPositionList, PositionAtStart, PositionKeyTextInside, PositionAtEnd, &kSortKeySteps},
    {kOpGetMarginRange, nullptr, MarginRangeInside, MarginAtEnd},
    {kOpInPassThroughHtml, PassThroughQuery, nullptr, nullptr},
    {kOpSetPassThroughHtml, PassThroughStart, PassThroughInside, PassThroughEnd, nullptr, kRebuildsItem},
    // The empty-text clean-up runs before the walk.
    {kOpCleanUp, nullptr, nullptr, nullptr, &kCleanUpSteps, kRebuildsItem},
    {kOpClearLinkMark, ClearLinkMark, nullptr, nullptr, nullptr, kRebuildsItem},
    {kOpContainsSomething, nullptr, PropertyInside, nullptr},
    {kOpContainsText, nullptr, PropertyInside, nullptr},
    {kOpFirstRecordType, RecordTypeAtStart, nullptr, nullptr},
    {kOpInsideHotspot, InsideHotspotAtStart, nullptr, nullptr},
};

} // namespace

const OperationFamily kQueryOperations = MakeFamily(kRows);

STATUS ProcessChunkStart(std::uint8_t* record, std::uint16_t signature, std::uint32_t recordCounter,
                         RecordProcessContext* context) {
    if (context == nullptr || context->chunk == nullptr || context->session == nullptr ||
        context->session->workArea == nullptr)
        return kArgumentError;
    const OperationRow* row = OperationExecutors(context);
    return row != nullptr && row->start != nullptr ? row->start(record, signature, recordCounter, context) : kOK;
}

STATUS ProcessChunkEnd(std::uint8_t* record, std::uint16_t signature, RecordProcessContext* context) {
    if (context == nullptr || context->chunk == nullptr || context->session == nullptr ||
        context->session->workArea == nullptr)
        return kArgumentError;
    const OperationRow* row = OperationExecutors(context);
    return row != nullptr && row->end != nullptr ? row->end(record, signature, context) : kOK;
}

} // namespace talix
