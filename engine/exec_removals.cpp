// The removal family of the executor inside a chunk: 2366 removes the
// chunk's whole content (and closes the paragraph up after it), 2389 its
// hotspots, 2390 its links, 2391 its sections and 2430 its fields. Each
// decides per record between keep and drop. A hotspot, link, section or
// field spans several records: the handler that meets its first record
// marks the records of it further down the list (node flag
// kNodeRemoveMark), and the walk drops a marked record when it reaches it.
//
// 2389-2391 keep the text of a hotspot, link or section in place as plain
// text; only what the bracket of a link record or a title bar holds goes
// with it.
#include <cstring>

#include "builders/append_gate.h"
#include "core/brackets.h"
#include "core/chunk_definition.h"
#include "core/chunk_type_table.h"
#include "core/chunk_types.h"
#include "core/host_message.h"
#include "core/item_work_state.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signature_groups.h"
#include "core/signatures.h"
#include "core/statuses.h"
#include "core/text_search.h"
#include "engine/chunk_match.h"
#include "engine/graphic_utilities.h"
#include "engine/operation_table.h"
#include "engine/record_process.h"
#include "engine/run_steps.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix {

namespace {

constexpr std::uint32_t kActionType = 8;       // action and event records: type word
constexpr std::uint16_t kTypeUrl = 11, kTypeUrl32 = 32;
constexpr std::uint16_t kTypeSection = 12, kTypeSectionCollapsed = 13;
constexpr std::uint32_t kComputedUrl = 0x1000;

// Table cells (host offsets).
constexpr std::uint32_t kCellRowAt = 2, kCellFlagsAt = 11, kCellRowSpanAt = 14;
constexpr std::uint8_t kCellCoveredAbove = 0x08;   // a cell of a merged block over the rows below it
constexpr const char* kMsgDeletedDefinitions = "TALIX: Unable to save additional deleted PAB definitions.";

// The signature a CDBEGIN or CDEND brackets; 0 for other records.
std::uint16_t Bracketed(const CDRecordNode* node) {
    if (node == nullptr || (node->signature != kSigBegin && node->signature != kSigEnd)) return 0;
    return BracketedSignature(node);
}

bool IsHotspotBegin(std::uint16_t signature) { return IsHotspotBeginSignature(signature); }
bool IsLinkRecord(std::uint16_t signature) { return signature == kSigLink2 || signature == kSigLinkExport2; }
bool IsActionRecord(std::uint16_t signature) {
    return signature == kSigTableCellHref2 || signature == kSigTableCellHref || signature == kSigHref2 ||
           signature == kSigHref;
}
bool IsFieldRecord(std::uint16_t signature) {
    return signature == kSigEmbeddedCtl || signature == kSigExt2Field || signature == kSigExtField ||
           signature == kSigField;
}

bool Marked(const CDRecordNode* node) { return node != nullptr && (node->flags & kNodeRemoveMark) != 0; }
void Mark(CDRecordNode* node) {
    if (node != nullptr) node->flags = static_cast<std::uint16_t>(node->flags | kNodeRemoveMark);
}

// The CDEND that closes the bracket opened by begin (nested brackets
// passed), or null.
CDRecordNode* MatchingEnd(CDRecordNode* begin) {
    int depth = 0;
    for (CDRecordNode* node = begin != nullptr ? begin->next : nullptr; node != nullptr; node = node->next) {
        if (node->signature == kSigBegin) {
            ++depth;
        } else if (node->signature == kSigEnd) {
            if (depth == 0) return node;
            --depth;
        }
    }
    return nullptr;
}

// Marks from `from` up to and including `last`.
void MarkRange(CDRecordNode* from, const CDRecordNode* last) {
    for (CDRecordNode* node = from; node != nullptr; node = node->next) {
        Mark(node);
        if (node == last) return;
    }
}

// Marks what a bracket holds, up to and including the CDEND that closes it.
// A bracket that is never closed marks nothing: its records are judged one
// by one when the walk reaches them.
void MarkBracket(CDRecordNode* begin) {
    CDRecordNode* end = MatchingEnd(begin);
    if (end != nullptr) MarkRange(begin->next, end);
}

// The first hotspot begin from node on (node itself included), or null.
CDRecordNode* NextHotspotBegin(CDRecordNode* node) {
    for (; node != nullptr; node = node->next) {
        if (IsHotspotBegin(node->signature)) return node;
    }
    return nullptr;
}

// The marks a failed earlier run may have left on the list go before this
// run looks at the first record.
void ClearOldMarks(RecordProcessContext* context) {
    if (context->removalMarksCleared != 0) return;
    context->removalMarksCleared = 1;
    if (context->records == nullptr) return;
    for (CDRecordNode* node = context->records->head; node != nullptr; node = node->next)
        node->flags = static_cast<std::uint16_t>(node->flags & ~kNodeRemoveMark);
}

// ---- 2366: remove the chunk's content ----------------------------------

// Whether the record belongs to the container of an element of the type
// (its start, end and member records, or a bracket around one of them).
bool IsContainerRecord(std::uint16_t type, const CDRecordNode* node, std::uint16_t signature) {
    const ChunkTypeRow* row = GetChunkTypeRow(type);
    if (row == nullptr) return false;
    const std::uint16_t own = (signature == kSigBegin || signature == kSigEnd) ? Bracketed(node) : signature;
    if (own == 0) return false;
    for (std::uint16_t start : row->start)
        if (start == own) return true;
    for (std::uint16_t end : row->end)
        if (end == own) return true;
    for (std::uint16_t member : row->members)
        if (member == own) return true;
    return false;
}

// A paragraph definition that goes is kept among the session's pending
// definitions, so that the gate puts it back before a later reference to it;
// the first one of a cell of a table's first row stays remembered for the
// cell's column, as it would have been had it been kept.
STATUS SaveRemovedDefinition(const std::uint8_t* record, std::uint32_t length, RecordProcessContext* context) {
    RememberColumnDefinition(&context->output, record, length);
    SessionWorkArea* area = context->session->workArea;
    if (area->pendingParagraphCount >= kPendingParagraphLimit) {
        ShowHostMessage(kMsgDeletedDefinitions);
        return kOK;
    }
    const STATUS status = SavePendingParagraph(area, record, length);
    return status == kOutOfMemory ? status : kOK;
}

// Whether removing the rows a Row level selects takes a cell of a block
// merged over several rows without the block's other rows: a cell covered
// by the block below it (flag 0x08) whose next row stays, or the block's
// owner (its last cell, spanning rows) while a row above it in the block
// stays. Row occurrences are the cells' row bytes counted from 1.
bool CutsMergedBlock(const std::uint8_t* cell, std::uint32_t length, const ChunkDefInfo* level) {
    if (length <= kCellRowSpanAt) return false;
    const std::uint32_t row = cell[kCellRowAt] + 1u;
    if ((cell[kCellFlagsAt] & kCellCoveredAbove) != 0 && !OccurrenceSelected(level, row + 1)) return true;
    for (std::uint32_t above = 1; above < cell[kCellRowSpanAt] && above < row; ++above) {
        if (!OccurrenceSelected(level, row - above)) return true;
    }
    return false;
}

STATUS RemoveContent(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                     RecordProcessContext* context) {
    // Removing the inside of an element keeps the element itself.
    const ChunkDefInfo* level = context->matchedLevel;
    if (level != nullptr && level->relation == kRelInside &&
        IsContainerRecord(level->elementType, context->node, signature))
        return kOK;
    // A cell of a table cannot go alone: the rows are numbered anew as the
    // item is written, by the cells of the first column, so that without its
    // cell record the rest of the cell's row would join the row above it (or
    // the row would lack a cell). Removing a cell removes what it holds.
    if (level != nullptr && level->elementType == kTypeColumn &&
        (signature == kSigTableCell || signature == kSigNestedTableCell))
        return kOK;
    // Rows joined by a merged cell go together or not at all: without some
    // of its rows the merged block would span rows that are gone, its cells
    // covering nothing or reaching past the table's end.
    if (level != nullptr && level->elementType == kTypeRow && IsCellRecord(signature) &&
        static_cast<std::uint32_t>(context->tableNesting) == RecordedTableNesting(level, context) &&
        CutsMergedBlock(record, length, level)) {
        context->output.errorWord = kErrBodyStructure;
        return kOperationFailed;
    }
    *passOn = 0;
    if (signature == kSigPabDefinition) return SaveRemovedDefinition(record, length, context);
    return kOK;
}

// Whether the hotspot that the end record closes is a section: walking
// back, a section title bar comes before the hotspot's begin.
bool ClosesSection(const CDRecordNode* end) {
    for (const CDRecordNode* node = end != nullptr ? end->prev : nullptr; node != nullptr; node = node->prev) {
        if (node->signature == kSigBar) return true;
        if (node->signature == kSigHotspotBegin || node->signature == kSigV4HotspotBegin ||
            node->signature == kSigV5HotspotBegin)
            return false;
    }
    return false;
}

// Whether the output written so far holds a paragraph definition of the id,
// or one waits among the session's pending definitions for its first
// reference. The output is looked through as it grows, each node once (its
// last node each time, as the gate may put a definition in before it).
bool DefinitionAvailable(std::uint16_t id, RecordProcessContext* context) {
    const SessionWorkArea* area = context->session->workArea;
    for (int i = 0; area->pendingParagraphs != nullptr && i < area->pendingParagraphCount; ++i) {
        if (ReadWord(area->pendingParagraphs[i] + 4) == id) return true;
    }
    const ItemRecordList* output = context->chunk->item->work->output;
    if (output == nullptr) return false;
    CDRecordNode* through = context->definitionsThrough;
    for (CDRecordNode* node = through != nullptr ? through->next : output->head; node != nullptr; node = node->next) {
        if (node->signature == kSigPabDefinition && node->bytes != nullptr && node->length >= 6)
            context->definitionsWritten.set(ReadWord(node->bytes + 4));
        if (node->next != nullptr) context->definitionsThrough = node;
    }
    return context->definitionsWritten.test(id);
}

// The reference that closes the paragraph up names the definition in force
// before the removed part. An item that holds no definition of that id
// before it (its first paragraphs had none of their own) gets the walk's
// current definition under the id first, so that the reference never names
// a definition the item lacks.
STATUS DefineClosingReference(RecordProcessContext* context) {
    RecordOutput* output = &context->output;
    const std::uint16_t id = ReadWord(context->paragraphReference + 2);
    if (id == 0 || output->requestedParagraphId != 0 || output->pendingReferenceId != 0 ||
        DefinitionAvailable(id, context))
        return kOK;
    output->requestedParagraphId = id;
    const STATUS status = AppendRecord(context->paragraphDefinition, kSigPabDefinition,
                                       context->paragraphDefinitionLength, output);
    output->requestedParagraphId = 0;
    return status;
}

// After the removed range the paragraph it leaves is closed up, by the
// record that follows: before a table or a hotspot a reference and a
// paragraph; before a table's end, a nested table or a section's end a
// paragraph and a reference; before a cell or a graphic nothing; elsewhere
// a reference to the paragraph definition in force.
STATUS CloseUpAfterRemoval(std::uint8_t*, std::uint16_t signature, RecordProcessContext* context) {
    if (context->writesItem == 0) return kOK;
    RecordOutput* output = &context->output;
    const std::uint8_t* paragraph = context->paragraphRecord;
    const std::uint8_t* reference = context->paragraphReference;
    bool paragraphFirst = false;
    bool both = false;
    switch (signature) {
    case kSigHotspotBegin:
    case kSigTableBegin:
        both = true;
        break;
    case kSigTableEnd:
    case kSigNestedTableBegin:
    case kSigNestedTableEnd:
        both = true;
        paragraphFirst = true;
        break;
    case kSigHotspotEnd:
        if (!ClosesSection(context->node)) return kOK;
        both = true;
        paragraphFirst = true;
        break;
    case kSigTableCell:
    case kSigNestedTableCell:
    case kSigGraphic:
        return kOK;
    default:
        break;
    }
    context->chunk->item->modified = 1;
    STATUS status = kOK;
    if (both && paragraphFirst) status = AppendRecord(paragraph, kSigParagraph, kParagraphLength, output);
    if (status == kOK) status = DefineClosingReference(context);
    if (status == kOK) status = AppendRecord(reference, kSigPabReference, kParagraphReferenceLength, output);
    if (status == kOK && both && !paragraphFirst)
        status = AppendRecord(paragraph, kSigParagraph, kParagraphLength, output);
    return status;
}

// ---- 2389: remove hotspots -----------------------------------------------

// The CDBEGIN of the nearest bracket the node stands in (brackets closed
// before it passed over), or null.
const CDRecordNode* BeginBefore(const CDRecordNode* node) {
    int closed = 0;
    for (node = node != nullptr ? node->prev : nullptr; node != nullptr; node = node->prev) {
        if (node->signature == kSigEnd) {
            ++closed;
        } else if (node->signature == kSigBegin) {
            if (closed == 0) return node;
            --closed;
        }
    }
    return nullptr;
}

// Whether the node stands between a hotspot begin and its end: a hotspot
// begin comes before it with no hotspot end in between.
bool InsideHotspot(const CDRecordNode* node) {
    for (node = node != nullptr ? node->prev : nullptr; node != nullptr; node = node->prev) {
        if (IsHotspotEndRecord(node->signature)) return false;
        if (IsHotspotBegin(node->signature)) return true;
    }
    return false;
}

STATUS RemoveHotspots(std::uint8_t*, std::uint16_t signature, std::uint32_t, std::uint32_t* passOn,
                      RecordProcessContext* context) {
    ClearOldMarks(context);
    CDRecordNode* node = context->node;
    if (Marked(node)) {
        *passOn = 0;
        return kOK;
    }
    const std::uint16_t inner = Bracketed(node);
    bool drop = false;
    if (IsHotspotSignature(signature) || IsLinkRecord(signature) || signature == kSigButton || signature == kSigBar) {
        drop = true;
    } else if (IsActionRecord(signature)) {
        const std::uint16_t type = NodeWord(node, kActionType);
        drop = type == 1 || type == 2 || type == 5;
    } else if (signature == kSigBegin) {
        if (IsHotspotBegin(inner)) {
            drop = true;
        } else if (IsLinkRecord(inner) || inner == kSigBar) {
            drop = true;
            MarkBracket(node);
        }
    } else if (signature == kSigEnd) {
        drop = IsHotspotSignature(inner) || IsLinkRecord(inner);
    } else if (signature == kSigIdName || signature == kSigTableCellIdName || signature == kSigTarget) {
        const std::uint16_t around = Bracketed(BeginBefore(node));
        drop = IsHotspotBegin(around) || IsLinkRecord(around);
    } else if (signature == kSigEvent || signature == kSigBlobPart) {
        // A button's script (its event and the parts of its code) goes with
        // the button rather than stay behind with nothing to run it.
        drop = InsideHotspot(node);
    }
    if (drop) *passOn = 0;
    return kOK;
}

// ---- 2390: remove links --------------------------------------------------

// Whether the hotspot whose records start at `from` is a link: every hotspot
// begin up to the first hotspot end is a URL hotspot (type 11 or 32) and
// every action or event record is of type 1 or 2. With spareComputed, a
// computed URL hotspot with a URL action is no link.
bool HotspotIsLink(const CDRecordNode* from, bool spareComputed) {
    bool computedUrl = false;
    bool urlAction = false;
    bool anyBegin = false;
    bool ended = false;
    for (const CDRecordNode* node = from; node != nullptr; node = node->next) {
        const std::uint16_t signature = node->signature;
        if (IsHotspotEndRecord(signature)) {
            ended = true;
            break;
        }
        if (IsHotspotBegin(signature)) {
            anyBegin = true;
            const std::uint16_t type = NodeWord(node, kHotspotTypeAt);
            if (type != kTypeUrl && type != kTypeUrl32) return false;
            if (type == kTypeUrl && (NodeDword(node, kHotspotFlagsAt) & kComputedUrl) != 0) computedUrl = true;
        } else if (IsActionRecord(signature)) {
            const std::uint16_t type = NodeWord(node, kActionType);
            if (type != 1 && type != 2) return false;
            if (type == 1) urlAction = true;
        }
    }
    // A hotspot that never ends is left alone: what to remove is unclear.
    if (!anyBegin || !ended) return false;
    return !(spareComputed && computedUrl && urlAction);
}

// The CDBEGIN that opens the bracket a hotspot begin stands in (only action
// and link data between them), or the hotspot begin itself.
const CDRecordNode* OpeningBracket(const CDRecordNode* begin) {
    for (const CDRecordNode* node = begin->prev; node != nullptr; node = node->prev) {
        if (node->signature == kSigBegin) return IsHotspotBegin(Bracketed(node)) ? node : begin;
        if (!IsActionRecord(node->signature) && node->signature != kSigIdName &&
            node->signature != kSigTableCellIdName && node->signature != kSigTarget)
            return begin;
    }
    return begin;
}

// Marks the records of a link after its hotspot begin: its hotspot, link
// and action records, its hotspot end and the CDEND that closes its bracket
// (bracketed) or, for a link without a bracket, up to its hotspot end.
// Brackets of link records inside go whole; other brackets inside (text
// colour) stay with their content. Text is never marked.
void MarkLinkRecords(CDRecordNode* from, bool bracketed) {
    for (CDRecordNode* node = from; node != nullptr; node = node->next) {
        const std::uint16_t signature = node->signature;
        if (IsHotspotEndRecord(signature)) {
            Mark(node);
            if (!bracketed) return;
            continue;
        }
        if (signature == kSigBegin) {
            CDRecordNode* end = MatchingEnd(node);
            if (IsLinkRecord(Bracketed(node))) MarkRange(node, end);
            if (end == nullptr) return;
            node = end;
            continue;
        }
        if (signature == kSigEnd) {
            // The end of the link's own bracket.
            if (IsHotspotSignature(Bracketed(node))) Mark(node);
            return;
        }
        switch (signature) {
        case kSigHotspotBegin: case kSigV4HotspotBegin: case kSigV5HotspotBegin:
        case kSigV6HotspotBeginContinuation: case kSigTarget: case kSigIdName: case kSigTableCellIdName:
        case kSigHref: case kSigHref2: case kSigTableCellHref: case kSigTableCellHref2: case kSigLinkExport2:
        case kSigLink2:
            Mark(node);
            break;
        default:
            break;
        }
    }
}

STATUS RemoveLinks(std::uint8_t*, std::uint16_t signature, std::uint32_t, std::uint32_t* passOn,
                   RecordProcessContext* context) {
    ClearOldMarks(context);
    CDRecordNode* node = context->node;
    if (Marked(node) || IsLinkRecord(signature)) {
        *passOn = 0;
        return kOK;
    }
    const std::uint16_t inner = Bracketed(node);
    if (signature == kSigBegin && IsLinkRecord(inner)) {
        *passOn = 0;
        MarkBracket(node);
        return kOK;
    }
    const bool bracketed = signature == kSigBegin && IsHotspotBegin(inner);
    if (!bracketed && !IsHotspotBegin(signature)) return kOK;

    // A hotspot is judged with its whole bracket: a bracketed hotspot begin
    // the walk meets after its bracket (or in a chunk that starts inside the
    // bracket) counts the action records before it.
    const CDRecordNode* from = bracketed ? node : OpeningBracket(node);
    const bool link =
        HotspotIsLink(from, context->operation2 != 0) && (!bracketed || MatchingEnd(node) != nullptr);
    context->chunkDone = link ? 1 : 0;
    if (!link) return kOK;
    // The records up to the hotspot begin go with it, then the link's own
    // records after it.
    CDRecordNode* begin = NextHotspotBegin(node);
    MarkRange(node, begin);
    if (begin != nullptr) MarkLinkRecords(begin->next, bracketed);
    *passOn = 0;
    return kOK;
}

// ---- 2391: remove sections -----------------------------------------------

bool IsSectionType(std::uint16_t type) { return type == kTypeSection || type == kTypeSectionCollapsed; }

// Walks the records that make the section whose hotspot begin is `begin`:
// nested section hotspots, title bars and their brackets, and the hotspot
// end that closes the section (with the bracket around the section, when
// `opening` opened one before its begin). Other hotspots inside are passed
// over to their ends; the section's content is no part of it. With mark set
// the section's records are marked. Returns the section's last record, or
// null when the section never closes.
CDRecordNode* WalkSection(CDRecordNode* begin, const CDRecordNode* opening, bool mark) {
    if (mark) Mark(begin);
    int depth = 1;
    CDRecordNode* node = begin->next;
    for (; node != nullptr; node = node->next) {
        const std::uint16_t signature = node->signature;
        if (IsHotspotBegin(signature)) {
            if (IsSectionType(NodeWord(node, kHotspotTypeAt))) {
                if (mark) Mark(node);
                ++depth;
                continue;
            }
            // Another hotspot: passed over with its records.
            while (node->next != nullptr && !IsHotspotEndRecord(node->signature)) node = node->next;
            continue;
        }
        if (signature == kSigBar) {
            if (mark) Mark(node);
            continue;
        }
        if (signature == kSigBegin && Bracketed(node) == kSigBar) {
            // The title bar with its title.
            CDRecordNode* end = MatchingEnd(node);
            if (end == nullptr) return nullptr;
            if (mark) MarkRange(node, end);
            node = end;
            continue;
        }
        if (IsHotspotEndRecord(signature)) {
            if (mark) Mark(node);
            if (--depth == 0) break;
        }
    }
    if (node == nullptr) return nullptr;
    // A bracket opened before the section's begin closes after its end.
    CDRecordNode* after = node->next;
    if (opening != nullptr && after != nullptr && after->signature == kSigEnd && IsHotspotSignature(Bracketed(after))) {
        if (mark) Mark(after);
        return after;
    }
    return node;
}

STATUS RemoveSections(std::uint8_t*, std::uint16_t signature, std::uint32_t, std::uint32_t* passOn,
                      RecordProcessContext* context) {
    ClearOldMarks(context);
    CDRecordNode* node = context->node;
    if (Marked(node) || signature == kSigBar) {
        *passOn = 0;
        return kOK;
    }
    const std::uint16_t inner = Bracketed(node);
    if (signature == kSigBegin && inner == kSigBar) {
        *passOn = 0;
        MarkBracket(node);
        return kOK;
    }
    const bool bracketed = signature == kSigBegin && IsHotspotBegin(inner);
    if (!bracketed && !IsHotspotBegin(signature)) return kOK;
    CDRecordNode* begin = NextHotspotBegin(node);
    if (begin == nullptr || !IsSectionType(NodeWord(begin, kHotspotTypeAt))) return kOK;
    // A section that never closes is left alone.
    if (WalkSection(begin, bracketed ? node : nullptr, false) == nullptr) return kOK;
    MarkRange(node, begin);
    WalkSection(begin, bracketed ? node : nullptr, true);
    *passOn = 0;
    return kOK;
}

// ---- 2430: remove fields -------------------------------------------------

// The last record of a field that starts at node: for a bracket, the CDEND
// that closes it; otherwise the last of the field records that follow one
// another from node on. Null when it holds no CDFIELD; *field gets the
// CDFIELD.
CDRecordNode* FieldExtent(CDRecordNode* node, CDRecordNode** field) {
    *field = nullptr;
    if (node->signature == kSigBegin) {
        CDRecordNode* end = MatchingEnd(node);
        for (CDRecordNode* at = node->next; at != nullptr && at != end; at = at->next) {
            if (at->signature == kSigField && *field == nullptr) *field = at;
        }
        return *field != nullptr ? end : nullptr;
    }
    CDRecordNode* last = node;
    for (CDRecordNode* at = node; at != nullptr && IsFieldRecord(at->signature); at = at->next) {
        last = at;
        if (at->signature == kSigField) {
            *field = at;
            break;
        }
    }
    return *field != nullptr ? last : nullptr;
}

// Whether the field's name matches the whole pattern (wildcards on, case
// ignored). The name is left in the session's first scratch buffer.
bool FieldNameMatches(const CDRecordNode* field, RecordProcessContext* context) {
    const std::uint32_t start = kFieldFixedLength + NodeWord(field, kFieldDefaultLengthAt) +
                                NodeWord(field, kFieldTranslationLengthAt) + NodeWord(field, kFieldValidationLengthAt);
    std::uint32_t nameLength = NodeWord(field, kFieldNameLengthAt);
    if (field->length < kFieldFixedLength || start > field->length) return false;
    if (nameLength > field->length - start) nameLength = field->length - start;
    char* name = context->session->messageBuffer;
    if (nameLength > kScratchSize - 1) nameLength = kScratchSize - 1;
    std::memcpy(name, field->bytes + start, nameLength);
    name[nameLength] = '\0';

    const char* pattern = context->argumentText;
    if (pattern == nullptr) return false;
    const std::uint16_t patternLength = static_cast<std::uint16_t>(strnlen(pattern, context->operation2));
    // The "*" takes as much of the name as the rest of the pattern leaves,
    // so that a tail found earlier in the name too still reaches its end.
    std::uint16_t matched = 0;
    const std::int32_t at = FindTextWildcardToEnd(name, static_cast<std::uint16_t>(nameLength), pattern,
                                                  patternLength, 1, 1, 0, 0, true, &matched);
    return at == 0 && matched == nameLength;
}

STATUS RemoveFields(std::uint8_t*, std::uint16_t signature, std::uint32_t, std::uint32_t* passOn,
                    RecordProcessContext* context) {
    ClearOldMarks(context);
    CDRecordNode* node = context->node;
    if (Marked(node)) {
        *passOn = 0;
        return kOK;
    }
    if (!IsFieldRecord(signature) && !(signature == kSigBegin && IsFieldRecord(Bracketed(node)))) return kOK;
    CDRecordNode* field = nullptr;
    CDRecordNode* last = FieldExtent(node, &field);
    if (last == nullptr) return kOK;
    if (context->operation2 != 0 && !FieldNameMatches(field, context)) return kOK;
    MarkRange(node, last);
    *passOn = 0;
    return kOK;
}

// Remove; remove hotspots, links, sections and fields.
const OperationRow kRows[] = {
    {kOpRemove, nullptr, RemoveContent, CloseUpAfterRemoval, &kRemoveSteps, kRebuildsItem},
    {kOpRemoveHotspots, nullptr, RemoveHotspots, nullptr, nullptr, kRebuildsItem},
    {kOpRemoveLinks, nullptr, RemoveLinks, nullptr, nullptr, kRebuildsItem},
    {kOpRemoveSections, nullptr, RemoveSections, nullptr, nullptr, kRebuildsItem},
    {kOpRemoveFields, nullptr, RemoveFields, nullptr, nullptr, kRebuildsItem},
};

} // namespace

const OperationFamily kRemovalOperations = MakeFamily(kRows);

} // namespace talix
