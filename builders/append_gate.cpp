// The append gate. AppendRecordToItem copies each record into the session's
// last-record copy, applies the gate's rules to the copy (drops, paragraph
// numbering, reference merging, table, hotspot and layout checks) and links
// a node holding the copy at the end of the item's output record list.
#include "builders/append_gate.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "builders/table_builders.h"
#include "core/brackets.h"
#include "core/clamp.h"
#include "core/host_message.h"
#include "core/item_work_state.h"
#include "core/pool.h"
#include "core/ready_records.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signature_groups.h"
#include "core/signatures.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr const char* kSourceName = "rtproc3";

// Room kept free in a segment when deciding to start the next one.
constexpr std::uint32_t kSegmentReserve = 16384;
// Bytes beyond a record's end that are cleared in the copy, so that the
// fields the rules read of a short record read as 0.
constexpr std::uint32_t kFieldReach = kParagraphImageSize;
constexpr std::int32_t kMaxTableLevel = kTableLevels - 1;

constexpr const char* kMsgNestedFileHotspot = "TALIX: Non-nestable file hotspot.  Operation failed!";
constexpr const char* kMsgCellOutside = "TALIX: Table cell outside of table.  Operation failed!";
constexpr const char* kMsgNoCell = "TALIX: Table must contain at least one cell. Operation failed!";
constexpr const char* kMsgTableEndOutside = "TALIX: Table end outside of table.  Operation failed!";
constexpr const char* kMsgLayoutInTable = "TALIX: Layout region cannot be inside table.  Operation failed!";
constexpr const char* kMsgInvalidTable = "TALIX: Invalid table format.  Operation failed!";

// Empty-run kinds of the last record.
constexpr std::uint8_t kKindOther = 0, kKindEmptyText = 1, kKindText = 2, kKindWrapperEnd = 3;

std::uint32_t HeaderSize(HeaderForm form) {
    switch (form) {
    case HeaderForm::Byte: return 2;
    case HeaderForm::Word: return 4;
    case HeaderForm::Long: return 8;
    }
    return 2;
}

// The length of the node a record becomes, with the copy's length field
// made to agree with it: a record handed over one zero byte longer than its
// odd length field keeps that odd length; otherwise the length given holds.
// Returns 0 when the length cannot be kept in the record's length field.
std::uint32_t SettleLength(std::uint8_t* copy, HeaderForm form, std::uint32_t length) {
    // The record holds at least the header of its form (checked before).
    const std::uint32_t field = LengthFieldOf(copy, form);
    if ((field & 1u) != 0 && field + 1 == length && copy[field] == 0) return field;
    if (form == HeaderForm::Byte && length > 0xFF) return 0;
    if (form == HeaderForm::Word && length > 0xFFFF) return 0;
    if (field != length) SetLengthFieldOf(copy, form, length);
    return length;
}

// A table begin and a table cell carry the lengths of their structures in
// their length bytes (14 and 18): one handed over shorter is completed with
// zero fields, so that its length byte says 14 or 18 and the item holds as
// many bytes. A longer one keeps its length: cutting it would lose its
// tail, and a length byte shorter than the record would have the reader
// take that tail for a record of its own.
std::uint32_t CompleteTableRecord(std::uint8_t* copy, std::uint16_t signature, std::uint32_t length) {
    const std::uint32_t full =
        IsTableBeginRecord(signature) ? kTableBeginLength : (IsCellRecord(signature) ? kTableCellLength : 0);
    if (length >= full) return length;
    SetHostRecordLength(copy, signature, full);
    return full;
}

ItemRecordList* OutputList(RecordOutput* output) { return output->item->work->output; }

CDRecordNode* LastNode(ItemRecordList* list) {
    if (list == nullptr) return nullptr;
    if (list->tail == nullptr && list->head != nullptr) {
        CDRecordNode* node = list->head;
        while (node->next != nullptr) node = node->next;
        list->tail = node;
    }
    return list->tail;
}

// Counts the bytes of an appended record into the current segment.
void CountSegmentBytes(RecordOutput* output, std::uint32_t length) {
    output->segmentBytes += EvenLength(length);
    output->writePosition = output->segmentStart + std::min(output->segmentBytes, output->capacity);
}

CDRecordNode* MakeNode(const std::uint8_t* bytes, std::uint16_t signature, std::uint32_t length,
                       RecordOutput* output) {
    CDRecordNode* node = NewListNode(OutputList(output), bytes, signature, length);
    if (node == nullptr) {
        LogOutOfMemory(kSourceName, __LINE__);
        return nullptr;
    }
    if (output->session->workArea->linkMark != 0) node->flags |= kNodeLinkMark;
    return node;
}

// Links a new node holding a copy of the bytes at the end of the output list.
STATUS AppendNode(RecordOutput* output, const std::uint8_t* bytes, std::uint16_t signature, std::uint32_t length) {
    ItemRecordList* list = OutputList(output);
    CDRecordNode* node = MakeNode(bytes, signature, length, output);
    if (node == nullptr) return kOutOfMemory;
    CDRecordNode* last = LastNode(list);
    node->index = last != nullptr ? last->index + 1 : 1;
    LinkRecordNode(list, last, node);
    list->lastAppended = node;
    CountSegmentBytes(output, length);
    return kOK;
}

// Links a new node holding a copy of the bytes before the last node of the
// output list.
STATUS InsertBeforeLast(RecordOutput* output, const std::uint8_t* bytes, std::uint16_t signature,
                        std::uint32_t length) {
    ItemRecordList* list = OutputList(output);
    CDRecordNode* last = LastNode(list);
    CDRecordNode* node = MakeNode(bytes, signature, length, output);
    if (node == nullptr) return kOutOfMemory;
    node->index = last->index;
    last->index = last->index + 1;
    LinkRecordNode(list, last->prev, node);
    CountSegmentBytes(output, length);
    return kOK;
}

// ---- Pending paragraph definitions ---------------------------------------

int FindPending(const SessionWorkArea* work, std::uint16_t id) {
    if (work->pendingParagraphs == nullptr) return -1;
    for (int i = 0; i < work->pendingParagraphCount; ++i) {
        if (ReadWord(work->pendingParagraphs[i] + 4) == id) return i;
    }
    return -1;
}

void RemovePending(SessionWorkArea* work, int index) {
    const int later = work->pendingParagraphCount - index - 1;
    if (later > 0) {
        std::memmove(work->pendingParagraphs[index], work->pendingParagraphs[index + 1],
                     static_cast<std::size_t>(later) * kParagraphImageSize);
    }
    work->pendingParagraphCount = static_cast<std::uint16_t>(work->pendingParagraphCount - 1);
}

// A definition of the id has been written: no pending copy of it is needed
// any more (a range saved twice holds the same id more than once).
void SettlePending(SessionWorkArea* work, std::uint16_t id) {
    for (int pending = FindPending(work, id); pending >= 0; pending = FindPending(work, id))
        RemovePending(work, pending);
}

std::uint32_t PendingLength(const std::uint8_t* entry) {
    return std::min<std::uint32_t>(ReadWord(entry + 2), kParagraphImageSize);
}

// The highest paragraph-definition id among the records of a list.
std::uint16_t HighestIdOf(const ItemRecordList* list) {
    std::uint16_t highest = 0;
    if (list == nullptr) return 0;
    for (const CDRecordNode* node = list->head; node != nullptr; node = node->next) {
        if (node->signature == kSigPabDefinition && node->length >= 6 && node->bytes != nullptr)
            highest = std::max(highest, ReadWord(node->bytes + 4));
    }
    return highest;
}

void NoteParagraphId(RecordOutput* output, std::uint16_t id) {
    output->highestParagraphId = std::max(output->highestParagraphId, id);
}

// ---- The rules ----------------------------------------------------------

STATUS StructureError(RecordOutput* output, const char* message) {
    ShowHostMessage(message);
    output->errorWord = kErrBodyStructure;
    return kBodyStructureError;
}

// The checks of the per-signature step, made before anything changes, so
// that a failing record leaves nothing behind.
const char* StructureProblem(const std::uint8_t* copy, std::uint16_t signature, const RecordOutput* output) {
    const std::int32_t level = output->tableLevel;
    switch (signature) {
    case kSigHotspotBegin:
    case kSigV4HotspotBegin:
        if (ReadWord(copy + 4) == 4) {
            const bool open = signature == kSigHotspotBegin ? (output->fileHotspotOpen || output->v4FileHotspotOpen)
                                                       : output->v4FileHotspotOpen != 0;
            if (open) return kMsgNestedFileHotspot;
        }
        break;
    case kSigTableCell:
        if (output->inTable[level] == 0) return kMsgCellOutside;
        break;
    case kSigTableEnd:
    case kSigNestedTableEnd:
        if (output->noCellYet[level] != 0) return kMsgNoCell;
        if (output->inTable[level] == 0) return kMsgTableEndOutside;
        break;
    case kSigLayout:
        if (output->inTable[level] != 0) return kMsgLayoutInTable;
        break;
    default:
        break;
    }
    // Stored tables carry their row heights between the table begin and the
    // first cell, so that record belongs to a table's prelude too.
    if (output->inTable[level] != 0 && output->noCellYet[level] != 0 && !IsTableBeginRecord(signature) &&
        !IsCellRecord(signature) && !IsTableEndRecord(signature) && signature != kSigTableRowHeight)
        return kMsgInvalidTable;
    return nullptr;
}

// The id a paragraph reference takes: the requested id, the pending
// reference id, its own id, else the last id given (1 when none).
std::uint16_t ReferenceId(const std::uint8_t* copy, RecordOutput* output) {
    std::uint16_t id = 0;
    if (output->requestedParagraphId != 0) {
        id = output->requestedParagraphId;
        output->requestedParagraphId = 0;
        output->pendingReferenceId = 0;
    } else if (output->pendingReferenceId != 0) {
        id = output->pendingReferenceId;
        output->pendingReferenceId = 0;
    } else {
        id = ReadWord(copy + 2);
    }
    if (id == 0) {
        if (output->lastParagraphId == 0) output->lastParagraphId = 1;
        id = output->lastParagraphId;
    }
    return id;
}

// A paragraph reference directly after another: the earlier one takes the
// new id, with the definition of that id put back before it when the
// session holds it.
STATUS MergeReference(const std::uint8_t* copy, RecordOutput* output, CDRecordNode* last) {
    SessionWorkArea* work = output->session->workArea;
    const std::uint16_t id = ReferenceId(copy, output);
    const int pending = FindPending(work, id);
    if (pending >= 0) {
        const std::uint8_t* entry = work->pendingParagraphs[pending];
        const STATUS status = InsertBeforeLast(output, entry, kSigPabDefinition, PendingLength(entry));
        if (status != kOK) return status;
        NoteParagraphId(output, id);
        SettlePending(work, id);
    }
    WriteWord(last->bytes + 2, id);
    if (output->inTable[output->tableLevel] != 0) output->cellReferenceId[output->tableLevel] = id;
    return kOK;
}

// Writes a cell's bounds as the margins of a paragraph-definition image.
void SetCellBounds(std::uint8_t* definition, const RecordOutput* output, std::int32_t level) {
    const std::int32_t spacing = output->columnSpacing[level];
    const std::uint16_t left = ClampToWord(spacing + output->cellLeftMargin[level]);
    WriteWord(definition + 14, left);
    WriteWord(definition + 18, left);
    WriteWord(definition + 16, ClampToWord(output->cellRightMargin[level] - spacing));
}

STATUS ParagraphDefinitionRule(std::uint8_t* copy, std::uint32_t length, RecordOutput* output) {
    const std::int32_t level = output->tableLevel;
    std::uint16_t id = 0;
    if (output->requestedParagraphId != 0) {
        id = output->requestedParagraphId;
        output->requestedParagraphId = 0;
    } else {
        id = ReadWord(copy + 4);
        if (id == 0) id = NextParagraphId(output);
    }
    WriteWord(copy + 4, id);

    const bool adjust = output->inTable[level] != 0 && output->cellFixed[level] == 0 &&
                        (output->forceMarginsMode == 0 || output->forceCellMargins[level] != 0);
    if (adjust && output->cellSpansColumns[level] == 0) {
        const bool force = output->forceCellMargins[level] != 0;
        const std::int32_t spacing = output->columnSpacing[level];
        const std::uint16_t left = ClampToWord(spacing + output->cellLeftMargin[level]);
        const std::uint16_t right = ClampToWord(output->cellRightMargin[level] - spacing);
        for (std::uint32_t offset : {14u, 18u}) {
            if (force || ReadWord(copy + offset) < left) WriteWord(copy + offset, left);
        }
        if (force || ReadWord(copy + 16) > right) WriteWord(copy + 16, right);
        WriteWord(copy + 62, static_cast<std::uint16_t>(ReadWord(copy + 62) | 0x0184));
    }
    output->lastParagraphId = id;
    NoteParagraphId(output, id);

    RememberColumnDefinition(output, copy, length);

    SessionWorkArea* work = output->session->workArea;
    SettlePending(work, id);

    std::memset(output->currentParagraph, 0, kParagraphImageSize);
    std::memcpy(output->currentParagraph, copy, std::min<std::uint32_t>(length, kParagraphImageSize));
    output->currentParagraphId = id;
    return kOK;
}

STATUS ReferenceRule(std::uint8_t* copy, std::uint32_t* length, RecordOutput* output) {
    const std::int32_t level = output->tableLevel;
    const std::uint16_t id = ReferenceId(copy, output);
    if (output->inTable[level] != 0) output->cellReferenceId[level] = id;
    WriteParagraphReference(copy, id);
    *length = kParagraphReferenceLength;

    SessionWorkArea* work = output->session->workArea;
    const int pending = FindPending(work, id);
    if (pending >= 0) {
        const std::uint8_t* entry = work->pendingParagraphs[pending];
        const STATUS status = AppendNode(output, entry, kSigPabDefinition, PendingLength(entry));
        if (status != kOK) return status;
        NoteParagraphId(output, id);
        SettlePending(work, id);
    }
    return kOK;
}

STATUS TableBeginRule(const std::uint8_t* copy, RecordOutput* output) {
    const std::int32_t level = output->tableLevel;
    std::memcpy(output->savedParagraph[level], output->currentParagraph, kParagraphImageSize);
    output->savedParagraphId[level] = output->currentParagraphId;
    output->inTable[level] = 1;
    output->noCellYet[level] = 1;
    output->rowCounter[level] = 0;
    output->tableStartParagraphId[level] = output->lastParagraphId;
    output->columnSpacing[level] = ReadWord(copy + 8);
    // The columns' definitions are remembered from this table's own first
    // row: an earlier table at this level lends none.
    std::memset(output->columnSlots[level], 0, sizeof output->columnSlots[level]);

    // A table starts a paragraph of its own.
    const CDRecordNode* last = LastNode(OutputList(output));
    const std::uint16_t previous = last != nullptr ? last->signature : 0;
    if (previous != kSigParagraph && previous != kSigEnd && previous != kSigPreTableBegin) {
        std::uint8_t paragraph[kParagraphLength];
        WriteParagraphRecord(paragraph);
        const STATUS status = AppendNode(output, paragraph, kSigParagraph, kParagraphLength);
        if (status != kOK) return status;
        output->tableJustEnded = 0;
    }
    return kOK;
}

void HotspotBeginRule(std::uint16_t signature, const std::uint8_t* copy, RecordOutput* output) {
    const std::uint16_t type = ReadWord(copy + 4);
    if (type == 12 || (type & 0x0D) != 0) {
        const std::uint16_t last = output->lastParagraphId;
        output->hotspotParagraphId = last > 1 ? static_cast<std::uint16_t>(last - 1) : last;
        output->hotspotParagraphIdSet = 1;
    }
    if (type == 11) output->actionHotspotOpen = 1;
    if (type == 4) {
        if (signature == kSigHotspotBegin) {
            output->fileHotspotOpen = 1;
        } else {
            output->v4FileHotspotOpen = 1;
        }
    }
    if (type == 1 || type == 2 || type == 22) output->labelHotspotOpen = 1;
}

// The border of one side of a cell: two bits of the border byte at offset
// 10, or four bits of the word at offset 12 when flags byte 11 has 0x02.
std::uint16_t CellBorder(const std::uint8_t* cell, bool wide, int byteShift, int wordShift) {
    return wide ? static_cast<std::uint16_t>((ReadWord(cell + 12) >> wordShift) & 0x0F)
                : static_cast<std::uint16_t>((cell[10] >> byteShift) & 0x03);
}

// Gives a cell the bottom border of the cell above it as its top border,
// and keeps its own bottom border for the cell below.
void HarmoniseBorders(std::uint8_t* copy, std::uint16_t column, RecordOutput* output) {
    const bool wide = (copy[11] & 0x02) != 0;
    const std::uint16_t bottom = CellBorder(copy, wide, 6, 12);
    const std::uint16_t top = CellBorder(copy, wide, 4, 8);
    const std::uint16_t above = output->bottomBorderAbove[column];
    if (output->rowCounter[output->tableLevel] > 0 && above != top) {
        if (wide) {
            const std::uint16_t word = ReadWord(copy + 12);
            WriteWord(copy + 12, static_cast<std::uint16_t>((word & ~0x0F00) | ((above & 0x0F) << 8)));
        } else if (above == 1 || above == 2) {
            copy[10] = static_cast<std::uint8_t>((copy[10] & ~0x30) | (above << 4));
        }
    }
    output->bottomBorderAbove[column] = bottom;
}

void CellRule(std::uint8_t* copy, RecordOutput* output) {
    const std::int32_t level = output->tableLevel;
    const std::uint16_t column = copy[3];
    if (output->noCellYet[level] == 0 && column == 0) ++output->rowCounter[level];
    copy[2] = output->rowCounter[level];
    output->cellFixed[level] = (copy[11] & 0x0C) != 0 ? 1 : 0;
    output->cellSpansColumns[level] = copy[15] >= 2 ? 1 : 0;
    output->cellLeftMargin[level] = ReadWord(copy + 4);
    output->cellRightMargin[level] = ReadWord(copy + 6);
    if (column < kColumnSlots) SetCellBounds(output->columnSlots[level][column], output, level);
    output->currentColumn[level] = column;
    output->currentRow[level] = output->rowCounter[level];
    output->noCellYet[level] = 0;
    output->cellJustBegun[level] = 1;
    output->cellReferenceId[level] = 0;
    if (output->harmoniseBorders != 0 && column < kBorderColumns) HarmoniseBorders(copy, column, output);
}

// The table that a table end closes keeps the number of rows written into
// it in its extension record (0xFFFB, the row count byte at 8): rows
// removed, copied or put in another order are renumbered by the cell rule,
// and the count must say as many, or the table's records disagree. The
// extension record stands before the table begin, at most behind the
// bracket and border records of its group.
constexpr std::uint32_t kExtensionRowCountAt = 8;

void KeepRowCount(RecordOutput* output, std::int32_t level) {
    if (output->noCellYet[level] != 0) return;
    // The rows are counted by their first cells: the cell rule's counter
    // is a byte and begins again after row 256.
    std::uint32_t rows = 0;
    CDRecordNode* begin = nullptr;
    int depth = 0;
    for (CDRecordNode* node = LastNode(OutputList(output)); node != nullptr; node = node->prev) {
        if (IsTableEndRecord(node->signature)) {
            ++depth;
        } else if (IsTableBeginRecord(node->signature)) {
            if (depth == 0) {
                begin = node;
                break;
            }
            --depth;
        } else if (depth == 0 && IsCellRecord(node->signature) && node->bytes != nullptr && node->length > 3 &&
                   node->bytes[3] == 0) {
            ++rows;
        }
    }
    for (CDRecordNode* node = begin != nullptr ? begin->prev : nullptr; node != nullptr; node = node->prev) {
        const std::uint16_t signature = node->signature;
        if (signature == kSigPreTableBegin) {
            if (node->bytes != nullptr && node->length > kExtensionRowCountAt)
                node->bytes[kExtensionRowCountAt] = static_cast<std::uint8_t>(std::min<std::uint32_t>(rows, 0xFF));
            return;
        }
        if (signature == kSigText || signature == kSigPabReference || signature == kSigPabDefinition ||
            signature == kSigParagraph || IsCellRecord(signature) || IsTableEndRecord(signature) ||
            IsTableBeginRecord(signature))
            return;
    }
}

void ClearLevel(RecordOutput* output, std::int32_t level) {
    output->inTable[level] = 0;
    output->noCellYet[level] = 0;
    output->cellJustBegun[level] = 0;
    output->forceCellMargins[level] = 0;
    output->cellReferenceId[level] = 0;
}

STATUS SignatureRules(std::uint8_t* copy, std::uint16_t signature, std::uint32_t* length, RecordOutput* output) {
    const std::int32_t level = output->tableLevel;
    switch (signature) {
    case kSigParagraph:
        output->tableJustEnded = 0;
        break;
    case kSigPabDefinition:
        return ParagraphDefinitionRule(copy, *length, output);
    case kSigPabReference:
        return ReferenceRule(copy, length, output);
    case kSigTableBegin:
    case kSigNestedTableBegin:
        return TableBeginRule(copy, output);
    case kSigHotspotBegin:
    case kSigV4HotspotBegin:
        HotspotBeginRule(signature, copy, output);
        break;
    case kSigHotspotEnd:
    case kSigV4HotspotEnd:
        output->actionHotspotOpen = 0;
        output->fileHotspotOpen = 0;
        output->v4FileHotspotOpen = 0;
        output->labelHotspotOpen = 0;
        output->hotspotParagraphIdSet = 0;
        break;
    case kSigTableCellHref2:
    case kSigHref2:
    case kSigTableCellHref:
    case kSigHref: {
        const std::uint16_t type = ReadWord(copy + 8);
        if (type == 1 || type == 2) output->actionHotspotOpen = 1;
        break;
    }
    case kSigTableCell:
    case kSigNestedTableCell:
        CellRule(copy, output);
        break;
    case kSigTableEnd:
    case kSigNestedTableEnd:
        KeepRowCount(output, level);
        std::memcpy(output->currentParagraph, output->savedParagraph[level], kParagraphImageSize);
        output->currentParagraphId = output->savedParagraphId[level];
        ClearLevel(output, level);
        output->tableJustEnded = 1;
        break;
    default:
        break;
    }
    return kOK;
}

// The kind of the last record, and the table level after a table end.
void KeepLastKind(const std::uint8_t* copy, std::uint16_t signature, std::uint32_t length, RecordOutput* output) {
    if (signature == kSigText) {
        if (length < 9) {
            output->lastKind = kKindEmptyText;
            if (output->insideTextWrapper != 0) output->item->work->emptyTextAppended = 1;
        } else {
            output->lastKind = kKindText;
        }
    } else if (Brackets(copy, signature, length, kSigEnd, kSigText)) {
        output->lastKind = kKindWrapperEnd;
        output->insideTextWrapper = 0;
    } else if (Brackets(copy, signature, length, kSigBegin, kSigText)) {
        output->insideTextWrapper = 1;
    } else {
        output->lastKind = kKindOther;
        if (IsTableEndRecord(signature) && output->tableLevel > 0) {
            ClearLevel(output, output->tableLevel);
            output->rowCounter[output->tableLevel] = 0;
            output->tableLevel -= 1;
        }
    }
}

// Starts the output's first segment, or the next one when the record would
// fill the current one.
STATUS SwitchSegment(RecordOutput* output, std::uint32_t length) {
    if (OutputList(output) == nullptr || output->segmentStart == nullptr) return StartOutputSegment(output);
    if (output->segmentBytes > 0 &&
        output->segmentBytes + EvenLength(length) > output->capacity - std::min(output->capacity, kSegmentReserve)) {
        STATUS status = CloseOutputSegment(output);
        if (status == kOK) status = StartOutputSegment(output);
        return status;
    }
    return kOK;
}

// Whether the item being written must not hold the record.
bool Dropped(const std::uint8_t* copy, std::uint16_t signature, std::uint32_t length, const RecordOutput* output) {
    if (signature == kSigText && length == kTextRunHeader && output->lastKind == kKindEmptyText) return true;
    const ItemWorkState* work = output->item->work;
    if (work->dropLargeParagraph != 0 && signature == kSigLargeParagraph) return true;
    if (work->imageDataFlag != 0) {
        if (signature == kSigTextEffect || signature == kSigText || signature == kSigPabDefinition ||
            signature == kSigPabReference || IsTextBracket(copy, signature, length))
            return true;
    }
    return false;
}

// A body restart: every node already in the output gets the removal mark.
void RestartBody(RecordOutput* output) {
    if (plat::IniGetInt("MirratDebug") > 4) plat::LogLine(0, "Restarting Body field");
    for (CDRecordNode* node = LastNode(OutputList(output)); node != nullptr; node = node->prev)
        node->flags |= kNodeRemoveMark;
    output->restartBody = 0;
}

} // namespace

std::uint16_t NextParagraphId(RecordOutput* output) {
    if (output == nullptr) return 1;
    if (output->highestParagraphIdKnown == 0 && output->item != nullptr && output->item->work != nullptr) {
        NoteParagraphId(output, HighestIdOf(output->item->work->current));
        NoteParagraphId(output, HighestIdOf(output->item->work->output));
        output->highestParagraphIdKnown = 1;
    }
    const std::uint16_t base = std::max(output->lastParagraphId, output->highestParagraphId);
    return base < 0xFFFF ? static_cast<std::uint16_t>(base + 1) : base;
}

void RememberColumnDefinition(RecordOutput* output, const std::uint8_t* definition, std::uint32_t length) {
    if (output == nullptr || definition == nullptr) return;
    const std::int32_t level = std::clamp(output->tableLevel, 0, kMaxTableLevel);
    if (output->cellJustBegun[level] == 0 || output->rowCounter[level] != 0) return;
    const std::uint16_t column = output->currentColumn[level];
    if (column < kColumnSlots) {
        std::uint8_t* slot = output->columnSlots[level][column];
        std::memset(slot, 0, kParagraphImageSize);
        std::memcpy(slot, definition, std::min<std::uint32_t>(length, kParagraphImageSize));
        SetCellBounds(slot, output, level);
    }
    output->cellJustBegun[level] = 0;
}

bool DropsEmptyText(const RecordOutput* output) {
    return output != nullptr && output->collector.owner == nullptr && output->lastKind == kKindEmptyText;
}

STATUS AppendRecordToItem(const void* record, std::uint16_t signature, std::uint32_t length,
                          RecordOutput* output) {
    if (output == nullptr || (record == nullptr && length > 0)) return kArgumentError;
    if (output->session == nullptr || !output->session->IsUsable() || output->item == nullptr ||
        output->item->work == nullptr)
        return kArgumentError;
    const HeaderForm form = LengthFieldForm(signature);
    if (length < HeaderSize(form)) return kArgumentError;
    if (length > kOutputSegmentCapacity) {
        plat::LogLine(0, "Record 0x%04X of %u bytes is too large to append", signature, length);
        return kDamagedRecords;
    }

    // The rules work on the session's copy of the record.
    std::uint8_t* copy = output->session->workArea->lastRecord;
    std::memmove(copy, record, length);
    // A fixed-size clear is a few stores where a clear of a varying length
    // is a call.
    if (length <= kWorkBufferSize - kFieldReach) {
        std::memset(copy + length, 0, kFieldReach);
    } else {
        std::memset(copy + length, 0, kWorkBufferSize - length);
    }
    length = SettleLength(copy, form, length);
    if (length == 0) return kArgumentError;
    length = CompleteTableRecord(copy, signature, length);

    if (IsTableBeginRecord(signature) && output->tableLevel < kMaxTableLevel) output->tableLevel += 1;
    output->tableLevel = std::clamp(output->tableLevel, 0, kMaxTableLevel);
    if (Dropped(copy, signature, length, output)) return kOK;

    STATUS status = kOK;
    if (signature == kSigPabReference) {
        if (output->restartBody != 0) RestartBody(output);
        CDRecordNode* last = LastNode(OutputList(output));
        // A reference taken out of use by a body restart is not merged into.
        if (last != nullptr && last->signature == kSigPabReference && last->length >= 4 &&
            (last->flags & kNodeRemoveMark) == 0) {
            if (const char* problem = StructureProblem(copy, signature, output))
                return StructureError(output, problem);
            return MergeReference(copy, output, last);
        }
    }

    status = SwitchSegment(output, length);
    if (status != kOK) return status;

    if (const char* problem = StructureProblem(copy, signature, output)) return StructureError(output, problem);
    status = SignatureRules(copy, signature, &length, output);
    if (status != kOK) return status;

    KeepLastKind(copy, signature, length, output);
    output->item->autoMergeText = 0;
    return AppendNode(output, copy, signature, length);
}

void DropEmptyOpeningParagraph(RecordOutput* output) {
    if (output == nullptr || output->item == nullptr || output->item->work == nullptr) return;
    ItemRecordList* list = OutputList(output);
    const OutputSegment* segment = list != nullptr ? list->lastSegment : nullptr;
    CDRecordNode* last = LastNode(list);
    CDRecordNode* reference = last;
    while (reference != nullptr && reference->signature == kSigText && reference->length <= kTextRunHeader)
        reference = reference->prev;
    if (reference == nullptr || reference->signature != kSigPabReference) return;
    for (const CDRecordNode* before = reference->prev; before != nullptr; before = before->prev) {
        if (before->signature != kSigPabDefinition) return;
    }
    // Only records of the segment being written are taken back.
    if (segment == nullptr || segment != list->firstSegment || reference->index < segment->firstIndex) return;
    for (CDRecordNode* node = last; node != nullptr;) {
        CDRecordNode* before = node == reference ? nullptr : node->prev;
        output->segmentBytes -= std::min(output->segmentBytes, EvenLength(node->length));
        UnlinkRecordNode(list, node);
        FreeRecordNode(node);
        node = before;
    }
    output->writePosition = output->segmentStart + std::min(output->segmentBytes, output->capacity);
    output->lastKind = kKindOther;
}

STATUS AppendRecordNode(const CDRecordNode* node, RecordOutput* output) {
    if (node == nullptr || output == nullptr) return kArgumentError;
    const bool toItem =
        output->collector.owner == nullptr && output->item != nullptr && output->item->work != nullptr;
    const CDRecordNode* before = toItem ? LastNode(OutputList(output)) : nullptr;
    const STATUS status = AppendRecord(node->bytes, node->signature, node->length, output);
    if (status != kOK || !toItem) return status;
    CDRecordNode* made = LastNode(OutputList(output));
    if (made != nullptr && made != before && made->signature == node->signature && made->length == node->length &&
        (node->length & 1u) != 0) {
        made->flags |= static_cast<std::uint16_t>(node->flags & (kNodeNoPad | kNodeKeptPad));
        if (node->flags & kNodeKeptPad) made->flags |= static_cast<std::uint16_t>(node->flags & 0xFF00);
    }
    return kOK;
}

STATUS SavePendingParagraph(SessionWorkArea* work, const std::uint8_t* definition, std::uint32_t length) {
    if (work == nullptr || definition == nullptr || length < 6) return kArgumentError;
    if (work->pendingParagraphCount >= kPendingParagraphLimit) return kArgumentError;
    if (work->pendingParagraphs == nullptr) {
        void* memory = std::calloc(kPendingParagraphLimit, kParagraphImageSize);
        if (memory == nullptr) {
            LogOutOfMemory(kSourceName, __LINE__);
            return kOutOfMemory;
        }
        work->pendingParagraphs = static_cast<std::uint8_t(*)[kParagraphImageSize]>(memory);
        work->pendingParagraphCount = 0;
    }
    std::uint8_t* entry = work->pendingParagraphs[work->pendingParagraphCount];
    const std::uint32_t kept = std::min(length, kParagraphImageSize);
    std::memset(entry, 0, kParagraphImageSize);
    std::memcpy(entry, definition, kept);
    WriteWord(entry + 2, static_cast<std::uint16_t>(kept));
    work->pendingParagraphCount = static_cast<std::uint16_t>(work->pendingParagraphCount + 1);
    return kOK;
}

void FreePendingParagraphs(SessionWorkArea* work) {
    if (work == nullptr) return;
    std::free(work->pendingParagraphs);
    work->pendingParagraphs = nullptr;
    work->pendingParagraphCount = 0;
}

} // namespace talix
