// The table operations that write: appending a table (2359, 2443), colouring
// cells (2394), fitting a table to the window (34), setting row labels (42),
// merging and unmerging cells (2405, 2406), changing the properties of the
// tables of a chunk (2413) and setting an HTML attribute of a table or its
// cells (2422).
//
// Records are never changed in the item's own list: a changed record is
// appended as a copy in its place, so that a run that fails leaves the item
// as it was.
#include <cstdlib>
#include <cstring>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/table_builders.h"
#include "builders/table_options.h"
#include "core/brackets.h"
#include "core/chunk_types.h"
#include "core/item_work_state.h"
#include "core/ready_records.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "engine/exec_handlers.h"
#include "engine/operation_table.h"
#include "engine/table_walk.h"
#include "engine/writing_run.h"
#include "talix/session.h"

namespace talix {

namespace {

// Cell record fields.
constexpr std::uint32_t kCellRow = 2, kCellColumn = 3, kCellLeft = 4, kCellRight = 6, kCellFraction = 8,
                        kCellFlags = 11, kCellColorIndex = 16, kCellRowSpan = 14, kCellColumnSpan = 15;
constexpr std::uint8_t kCellColored = 0x01, kCellCoveredLeft = 0x04, kCellCoveredAbove = 0x08;
constexpr std::uint8_t kCellCovered = kCellCoveredLeft | kCellCoveredAbove;
constexpr std::uint32_t kFractionBase = 28800;
// Table begin: the inter-cell space, the flags word and its fit bit.
constexpr std::uint32_t kBeginCellSpace = 4, kBeginFlags = 12;
constexpr std::uint16_t kBeginFit = 0x0001;
constexpr std::uint16_t kDefaultCellSpace = 40;
// Table extension: flags, and its automatic-width and fit-to-window bits.
constexpr std::uint32_t kExtensionFlags = 4;
constexpr std::uint32_t kExtensionAutoWidth = 0x01, kExtensionFitToWindow = 0x40;
// Row-cycle record: the interval.
constexpr std::uint32_t kCycleInterval = 4;
// Tab label: the label and its longest text.
constexpr std::uint32_t kLabelText = 4, kLabelTextCapacity = 128;
constexpr std::uint32_t kLongestLabel = 127;

// ---- Appending a table ------------------------------------------------------

// An append at the item's first record is preceded by a paragraph and an
// empty text run.
STATUS AppendPrefix(std::uint32_t recordCounter, RecordProcessContext* context) {
    if (recordCounter != 1) return kOK;
    std::uint8_t paragraph[kParagraphLength];
    WriteParagraphRecord(paragraph);
    STATUS status = AppendRecord(paragraph, kSigParagraph, sizeof paragraph, &context->output);
    const FontId none;
    if (status == kOK) status = AppendTextRecord(nullptr, 0, &none, &context->output);
    return status;
}

STATUS AppendTableAtStart(std::uint8_t*, std::uint16_t, std::uint32_t recordCounter, RecordProcessContext* context) {
    if (context->chunk->appendAtEnd != 0) return kOK;
    context->chunk->item->modified = 1;
    STATUS status = AppendPrefix(recordCounter, context);
    const CDRecordNode* first = nullptr;
    if (status == kOK) status = EnterChunkContent(context, false, &first);
    return status != kOK ? status : AppendTableRecords(context->operation2, context->a3, context);
}

STATUS AppendTableAtEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    if (context->chunk->appendAtEnd == 0) return kOK;
    context->chunk->item->modified = 1;
    return AppendTableRecords(context->operation2, context->a3, context);
}

// ---- Cell colour ------------------------------------------------------------

// The colour is given as RGB (a colour record follows each cell) when the
// request has an RGB value and no colour index.
bool ColourByRGB(const RecordProcessContext* context) {
    const TableRequest& request = context->session->workArea->table;
    return request.cellColorRGB != 0 && request.cellColorIndex == 0;
}

STATUS AppendCellColour(RecordProcessContext* context) {
    context->chunk->item->modified = 1;
    return AppendColorRecord(static_cast<std::uint8_t>(kSigTableCellColor),
                             context->session->workArea->table.cellColorRGB, 0, &context->output);
}

STATUS ColourStart(std::uint8_t*, std::uint16_t, std::uint32_t recordCounter, RecordProcessContext* context) {
    context->table.chunkStart = recordCounter;
    return kOK;
}

// A cell's colour record follows its content: it is written before the
// next cell or the table end, unless the cell already has one (which then
// takes the new colour).
STATUS ColourInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                    RecordProcessContext* context) {
    TableRunState& state = context->table;
    const TableRequest& request = context->session->workArea->table;
    const bool byRGB = ColourByRGB(context);
    const std::int32_t slot = LevelSlot(TableLevelOf(context, signature));
    STATUS status = kOK;
    if (IsTableBeginRecord(signature)) {
        state.colourOwed[slot] = 0;
    } else if (IsCellRecord(signature) && length >= kTableCellLength) {
        const bool opensChunk = context->recordCounter == state.chunkStart;
        if (!opensChunk && byRGB && state.colourOwed[slot] != 0) status = AppendCellColour(context);
        if (status != kOK) return status;
        state.colourOwed[slot] = byRGB ? 1 : 0;
        state.lastCellLevel = slot;
        return ReplaceRecord(context, record, signature, length, length, passOn,
                             [&request](std::uint8_t* cell, std::uint32_t*) {
                                 cell[kCellFlags] = static_cast<std::uint8_t>(cell[kCellFlags] | kCellColored);
                                 WriteWord(cell + kCellColorIndex, request.cellColorIndex);
                                 return kOK;
                             });
    } else if (IsTableEndRecord(signature)) {
        if (byRGB && state.colourOwed[slot] != 0) status = AppendCellColour(context);
        state.colourOwed[slot] = 0;
    } else if (signature == kSigTableCellColor && length >= kColorLength) {
        state.colourOwed[slot] = 0;
        if (!byRGB) {
            *passOn = 0;
            return kOK;
        }
        return ReplaceRecord(context, record, signature, length, length, passOn,
                             [&request](std::uint8_t* colour, std::uint32_t*) {
                                 colour[4] = static_cast<std::uint8_t>(request.cellColorRGB);
                                 colour[5] = static_cast<std::uint8_t>(request.cellColorRGB >> 8);
                                 colour[6] = static_cast<std::uint8_t>(request.cellColorRGB >> 16);
                                 colour[7] = 0;
                                 return kOK;
                             });
    }
    return status;
}

STATUS ColourEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    TableRunState& state = context->table;
    if (!ColourByRGB(context) || state.colourOwed[state.lastCellLevel] == 0) return kOK;
    state.colourOwed[state.lastCellLevel] = 0;
    return AppendCellColour(context);
}

// ---- Fit to window ----------------------------------------------------------

STATUS FitInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                 RecordProcessContext* context) {
    TableRunState& state = context->table;
    ZervaRTItem* item = context->chunk->item;
    const bool force = item->work->forceToWindow != 0;
    const bool on = context->a3 != 0;
    const std::int32_t slot = LevelSlot(TableLevelOf(context, signature));
    if (IsTableBeginRecord(signature) && length >= kTableBeginLength) {
        state.fit[slot] = force ? 1 : 0;
        return ReplaceRecord(context, record, signature, length, length, passOn,
                             [on](std::uint8_t* begin, std::uint32_t*) {
                                 const std::uint16_t flags = ReadWord(begin + kBeginFlags);
                                 WriteWord(begin + kBeginFlags,
                                           on ? (flags | kBeginFit) : static_cast<std::uint16_t>(flags & ~kBeginFit));
                                 return kOK;
                             });
    }
    if (IsCellRecord(signature) && length >= kTableCellLength && state.fit[slot] != 0) {
        const std::uint32_t width = static_cast<std::uint32_t>(
            item->defaultTableWidth * (ReadWord(record + kCellFraction) / static_cast<double>(kFractionBase)));
        std::uint16_t& edge = state.runningEdge[slot];
        return ReplaceRecord(context, record, signature, length, length, passOn,
                             [&edge, width](std::uint8_t* cell, std::uint32_t*) {
                                 std::uint32_t left = cell[kCellColumn] == 0 ? ReadWord(cell + kCellLeft) : edge;
                                 const std::uint32_t right = std::min<std::uint32_t>(left + width, 0xFFFF);
                                 WriteWord(cell + kCellLeft, static_cast<std::uint16_t>(left));
                                 WriteWord(cell + kCellRight, static_cast<std::uint16_t>(right));
                                 edge = static_cast<std::uint16_t>(right);
                                 return kOK;
                             });
    }
    if (signature == kSigPreTableBegin && length >= kExtensionFlags + 4) {
        return ReplaceRecord(context, record, signature, length, length, passOn,
                             [on, force](std::uint8_t* extension, std::uint32_t*) {
                                 std::uint32_t flags = ReadDword(extension + kExtensionFlags);
                                 if (!on) {
                                     flags &= ~(kExtensionAutoWidth | kExtensionFitToWindow);
                                 } else {
                                     flags |= kExtensionAutoWidth | (force ? kExtensionFitToWindow : 0);
                                 }
                                 WriteDword(extension + kExtensionFlags, flags);
                                 return kOK;
                             });
    }
    if (IsTableEndRecord(signature)) state.fit[slot] = 0;
    return kOK;
}

// ---- Row labels -------------------------------------------------------------

// The label text: the argument text (a3 bytes), at most 127 bytes.
std::uint32_t LabelLength(const RecordProcessContext* context) {
    if (context->argumentText == nullptr) return 0;
    return static_cast<std::uint32_t>(
        strnlen(context->argumentText, std::min<std::uint32_t>(context->a3, kLongestLabel)));
}

STATUS AppendRowLabel(RecordProcessContext* context) {
    context->table.rowDone = 1;
    context->chunk->item->modified = 1;
    return AppendNamedRecord(0, context->argumentText, LabelLength(context), &context->output);
}

// Row by row in the first table of the chunk: a row's first label takes
// the text; a row without one gets a label after its first cell (before the
// second cell, the next row or the table end).
STATUS RowLabelInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                      RecordProcessContext* context) {
    TableRunState& state = context->table;
    const std::int32_t level = TableLevelOf(context, signature);
    const bool tableRecord = signature == kSigPreTableBegin || IsTableBeginRecord(signature) ||
                             IsCellRecord(signature) || IsTableEndRecord(signature);
    if (tableRecord && !InFirstTable(context, signature, level)) return kOK;
    if (!tableRecord && (state.levelKnown == 0 || state.firstTableDone != 0 || level != state.level)) return kOK;

    const bool waiting = state.rowOpen != 0 && state.rowDone == 0;
    STATUS status = kOK;
    if (IsCellRecord(signature) && length > kCellColumn) {
        const std::uint8_t column = record[kCellColumn];
        if (column == 0) {
            if (waiting) status = AppendRowLabel(context);
            state.rowOpen = 1;
            state.rowDone = 0;
        } else if (column == 1 && waiting) {
            status = AppendRowLabel(context);
        }
    } else if (IsTableEndRecord(signature)) {
        if (waiting) status = AppendRowLabel(context);
        state.rowOpen = 0;
        state.firstTableDone = 1;
    } else if (signature == kSigTableLabel && state.rowDone == 0) {
        state.rowDone = 1;
        const std::uint32_t labelLength = LabelLength(context);
        const char* label = context->argumentText;
        return ReplaceRecord(context, record, signature, length, kTableLabelLength, passOn,
                             [label, labelLength](std::uint8_t* copy, std::uint32_t* newLength) {
                                 std::memset(copy + kLabelText, 0, kLabelTextCapacity);
                                 if (labelLength > 0) std::memcpy(copy + kLabelText, label, labelLength);
                                 // A label record too short for its text is widened.
                                 if (*newLength < kLabelText + kLabelTextCapacity) *newLength = kTableLabelLength;
                                 return kOK;
                             });
    }
    return status;
}

STATUS RowLabelEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    TableRunState& state = context->table;
    if (state.rowOpen == 0 || state.rowDone != 0) return kOK;
    return AppendRowLabel(context);
}

// ---- Merging and unmerging --------------------------------------------------

// The inter-cell space of the table a cell belongs to.
std::uint16_t CellSpace(const CDRecordNode* cell) {
    int depth = 0;
    for (const CDRecordNode* node = cell->prev; node != nullptr; node = node->prev) {
        if (IsTableEndRecord(node->signature)) {
            ++depth;
        } else if (IsTableBeginRecord(node->signature)) {
            if (depth == 0) return node->length >= kBeginCellSpace + 2 ? ReadWord(node->bytes + kBeginCellSpace)
                                                                      : kDefaultCellSpace;
            --depth;
        }
    }
    return kDefaultCellSpace;
}

// The merged block: rows from the second code to a4, columns from a3 to a5
// (1-based).
struct MergeRange {
    unsigned firstRow, firstColumn, lastRow, lastColumn;
};
MergeRange RangeOf(const RecordProcessContext* context) {
    return {context->operation2, context->a3, context->a4, context->a5};
}

// The block is stored on its last cell: it carries the spans and, behind a
// paragraph of its own, a definition as wide as the block. The block's other
// cells are marked covered (from above, or from the left in the last row).
STATUS MergeCell(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                 RecordProcessContext* context) {
    TableRunState& state = context->table;
    const MergeRange range = RangeOf(context);
    const unsigned row = record[kCellRow] + 1u, column = record[kCellColumn] + 1u;
    if (row < range.firstRow || row > range.lastRow || column < range.firstColumn || column > range.lastColumn)
        return kOK;
    if ((record[kCellFlags] & kCellCovered) != 0 || record[kCellRowSpan] > 1 || record[kCellColumnSpan] > 1)
        return kOperationFailed;

    const CDRecordNode* node = context->node;
    const std::uint16_t space = node != nullptr ? CellSpace(node) : kDefaultCellSpace;
    if (row == range.firstRow && column == range.firstColumn) {
        // The block takes the definition kept for the first cell's column:
        // the walk's definition where the table's first row was walked,
        // which the records of a table do not change.
        std::uint8_t* definition = state.mergeDefinition;
        std::memcpy(definition, context->paragraphDefinition, kParagraphImageSize);
        WriteWord(definition + 2, static_cast<std::uint16_t>(context->paragraphDefinitionLength));
        const std::uint16_t left =
            static_cast<std::uint16_t>(std::min<std::uint32_t>(ReadWord(record + kCellLeft) + space, 0xFFFF));
        WriteWord(definition + 14, left);
        WriteWord(definition + 18, left);
        state.mergeStarted = 1;
    }
    const bool owner = row == range.lastRow && column == range.lastColumn;
    if (!owner) {
        return ReplaceRecord(context, record, signature, length, length, passOn,
                             [&range, row, column](std::uint8_t* cell, std::uint32_t*) {
                                 if (row < range.lastRow) cell[kCellFlags] |= kCellCoveredAbove;
                                 else if (column < range.lastColumn) cell[kCellFlags] |= kCellCoveredLeft;
                                 cell[kCellRowSpan] = 1;
                                 cell[kCellColumnSpan] = 1;
                                 return kOK;
                             });
    }
    if (state.mergeStarted == 0) return kOperationFailed;

    // The owner: the cell, a paragraph, the block's definition and a
    // reference to it; the cell's own paragraph records are dropped.
    RecordOutput* output = &context->output;
    std::uint8_t* definition = state.mergeDefinition;
    const std::uint16_t id = NextParagraphId(output);
    const std::int32_t right = static_cast<std::int32_t>(ReadWord(record + kCellRight)) - space;
    WriteWord(definition + 16, static_cast<std::uint16_t>(std::max<std::int32_t>(right, 0)));
    WriteWord(definition + 4, id);
    STATUS status =
        ReplaceRecord(context, record, signature, length, length, passOn, [&range](std::uint8_t* cell, std::uint32_t*) {
            cell[kCellRowSpan] = static_cast<std::uint8_t>(range.lastRow - range.firstRow + 1);
            cell[kCellColumnSpan] = static_cast<std::uint8_t>(range.lastColumn - range.firstColumn + 1);
            return kOK;
        });
    std::uint8_t paragraph[kParagraphLength];
    WriteParagraphRecord(paragraph);
    if (status == kOK) status = AppendRecord(paragraph, kSigParagraph, sizeof paragraph, output);
    if (status == kOK) {
        output->requestedParagraphId = 0;
        status = AppendRecord(definition, kSigPabDefinition, ReadWord(definition + 2), output);
    }
    if (status == kOK) {
        std::uint8_t reference[kParagraphReferenceLength];
        WriteParagraphReference(reference, id);
        output->requestedParagraphId = id;
        status = AppendRecord(reference, kSigPabReference, sizeof reference, output);
        output->requestedParagraphId = 0;
    }
    state.mergeWritten = 1;
    state.dropParagraphRecords = 1;
    return status;
}

STATUS MergeInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                   RecordProcessContext* context) {
    TableRunState& state = context->table;
    const MergeRange range = RangeOf(context);
    if (range.firstRow == 0 || range.firstColumn == 0 || range.lastRow < range.firstRow ||
        range.lastColumn < range.firstColumn)
        return kArgumentError;
    const std::int32_t level = TableLevelOf(context, signature);
    if (IsCellRecord(signature)) {
        if (!InFirstTable(context, signature, level)) return kOK;
        // Any cell ends the dropping of the last cell's paragraph records.
        // A cell outside the block leaves the block's definition pending:
        // such cells lie between the first and the last cell of every block
        // narrower than the table, and the last cell needs the definition.
        state.dropParagraphRecords = 0;
        if (length < kTableCellLength) return kOK;
        return MergeCell(record, signature, length, passOn, context);
    }
    if (IsTableEndRecord(signature)) {
        if (!InFirstTable(context, signature, level)) return kOK;
        state.dropParagraphRecords = 0;
        state.firstTableDone = 1;
        // A block that does not lie within the table is not merged.
        return state.mergeWritten != 0 ? kOK : kOperationFailed;
    }
    if (state.dropParagraphRecords != 0 && (signature == kSigPabReference || signature == kSigParagraph)) *passOn = 0;
    return kOK;
}

STATUS MergeEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    return context->table.mergeWritten != 0 ? kOK : kOperationFailed;
}

STATUS UnmergeInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                     RecordProcessContext* context) {
    if (!IsCellRecord(signature) || length < kTableCellLength) return kOK;
    if ((record[kCellFlags] & kCellCovered) == 0 && record[kCellRowSpan] == 1 && record[kCellColumnSpan] == 1)
        return kOK;
    return ReplaceRecord(context, record, signature, length, length, passOn, [](std::uint8_t* cell, std::uint32_t*) {
        cell[kCellFlags] = static_cast<std::uint8_t>(cell[kCellFlags] & ~kCellCovered);
        cell[kCellRowSpan] = 1;
        cell[kCellColumnSpan] = 1;
        return kOK;
    });
}

// ---- Changing a table -------------------------------------------------------

bool RowCycleGiven(const RecordProcessContext* context, char* value) {
    return TableWord(context->argumentText, "RowCycleMilliseconds=", value);
}

// The interval of a row-cycle value: 0 below 1, held at the greatest
// 32-bit count above it rather than cut to another number.
std::uint32_t Interval(const char* value) {
    const long long interval = std::strtoll(value, nullptr, 10);
    if (interval <= 0) return 0;
    return interval > 0xFFFFFFFFLL ? 0xFFFFFFFFu : static_cast<std::uint32_t>(interval);
}

// The property string changes every table inside the chunk, nested tables
// too: its extension and begin records (each keeps its own signature), its
// row-cycle record (one is added before the table end when the table has
// none).
STATUS ChangeTableInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                         std::uint32_t* passOn, RecordProcessContext* context) {
    const char* options = context->argumentText != nullptr ? context->argumentText : "";
    RARIvoSession* session = context->session;
    char value[kTableWordCapacity];

    if (signature == kSigPreTableBegin || IsTableBeginRecord(signature)) {
        std::uint32_t capacity = length;
        if (signature == kSigPreTableBegin) {
            // Room for the properties and for a name as long as the options.
            capacity = length < 149 ? 148 : length + 50;
            capacity = std::max<std::uint32_t>(capacity, length + static_cast<std::uint32_t>(std::strlen(options)) + 2);
        }
        return ReplaceRecord(context, record, signature, length, capacity, passOn,
                             [=](std::uint8_t* copy, std::uint32_t* newLength) {
                                 const STATUS status =
                                     ParseTableProperties(session, context, signature, copy, capacity, options, 0);
                                 if (signature == kSigPreTableBegin) *newLength = ReadWord(copy + 2);
                                 return status;
                             });
    }
    if (signature == kSigTimerInfo) {
        if (!RowCycleGiven(context, value) || length < kCycleInterval + 4) return kOK;
        const std::uint32_t interval = Interval(value);
        return ReplaceRecord(context, record, signature, length, length, passOn,
                             [interval](std::uint8_t* cycle, std::uint32_t*) {
                                 WriteDword(cycle + kCycleInterval, interval);
                                 return kOK;
                             });
    }
    if (IsTableEndRecord(signature)) {
        const CDRecordNode* node = context->node;
        const CDRecordNode* before = node != nullptr ? node->prev : nullptr;
        const bool hasCycle =
            (before != nullptr && before->signature == kSigTimerInfo) ||
            (before != nullptr && before->prev != nullptr && before->prev->signature == kSigTimerInfo);
        if (hasCycle || !RowCycleGiven(context, value)) return kOK;
        std::uint8_t cycle[kTimerInfoLength] = {};
        WriteRecordHeader(cycle, kSigTimerInfo, kTimerInfoLength);
        WriteDword(cycle + kCycleInterval, Interval(value));
        context->chunk->item->modified = 1;
        return AppendRecord(cycle, kSigTimerInfo, sizeof cycle, &context->output);
    }
    return kOK;
}

// ---- HTML attributes of a table or its cells -----------------------------------

// Whether the attribute goes to the table (else to the cells): a3 1 the
// table, 2 the cells, 0 the chunk's own kind.
bool ForTable(const RecordProcessContext* context) {
    if (context->a3 == 1) return true;
    if (context->a3 == 2) return false;
    return context->chunk->targetType == kTypeTable;
}

const char* NewAttributeText(const RecordProcessContext* context) {
    if (context->secondArgument != nullptr) return context->secondArgument;
    return context->argumentText != nullptr ? context->argumentText : "";
}

// An id/name record holding only the attribute.
STATUS AppendAttributeRecord(std::uint16_t signature, RecordProcessContext* context) {
    const char* text = NewAttributeText(context);
    const std::uint32_t textLength = static_cast<std::uint32_t>(std::strlen(text));
    const std::uint32_t length = EvenLength(kIdNameTexts + textLength);
    if (length > 0xFFFF) return kArgumentError;
    auto* record = static_cast<std::uint8_t*>(QuorbelAllocate(context->session, __LINE__, "rtproc", length, 1));
    if (record == nullptr) return kOutOfMemory;
    WriteWord(record, signature);
    WriteWord(record + 2, static_cast<std::uint16_t>(length));
    WriteWord(record + 4 + 2 * IdNameSlot(context->operation2), static_cast<std::uint16_t>(textLength));
    std::memcpy(record + kIdNameTexts, text, textLength);
    context->chunk->item->modified = 1;
    const STATUS status = AppendRecord(record, signature, length, &context->output);
    ZervaDeallocate(context->session, record);
    return status;
}

// An existing id/name record with the attribute replaced.
STATUS ReplaceAttribute(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                        RecordProcessContext* context) {
    if (length < kIdNameTexts) return kOK;
    const char* text = NewAttributeText(context);
    const std::uint32_t textLength = static_cast<std::uint32_t>(std::strlen(text));
    const int slot = IdNameSlot(context->operation2);
    // The texts as stored, each cut at the record's end.
    std::uint32_t offsets[6], lengths[6];
    std::uint32_t position = kIdNameTexts;
    for (int i = 0; i < 6; ++i) {
        lengths[i] = std::min<std::uint32_t>(ReadWord(record + 4 + 2 * i), length - position);
        offsets[i] = position;
        position += lengths[i];
    }
    std::uint32_t total = kIdNameTexts + textLength;
    for (int i = 0; i < 6; ++i)
        if (i != slot) total += lengths[i];
    const std::uint32_t newLength = EvenLength(total);
    if (newLength > 0xFFFF) return kArgumentError;
    return ReplaceRecord(context, record, signature, length, std::max(newLength, length), passOn,
                         [&](std::uint8_t* copy, std::uint32_t* outLength) {
                             std::uint32_t at = kIdNameTexts;
                             for (int i = 0; i < 6; ++i) {
                                 const std::uint8_t* from = i == slot ? reinterpret_cast<const std::uint8_t*>(text)
                                                                      : record + offsets[i];
                                 const std::uint32_t size = i == slot ? textLength : lengths[i];
                                 std::memcpy(copy + at, from, size);
                                 WriteWord(copy + 4 + 2 * i, static_cast<std::uint16_t>(size));
                                 at += size;
                             }
                             std::memset(copy + at, 0, std::max(newLength, length) - at);
                             WriteWord(copy + 2, static_cast<std::uint16_t>(newLength));
                             *outLength = newLength;
                             return kOK;
                         });
}

// The table's id/name record belongs in its bracketed extension group; a
// table without one gets the group, so the group always has one begin and
// one end.
STATUS TableAttributeInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                            std::uint32_t* passOn, RecordProcessContext* context) {
    TableRunState& state = context->table;
    const std::int32_t level = TableLevelOf(context, signature);
    const std::uint16_t innermost = InnermostBegin(context);
    if (state.tableAttributesDone != 0) return kOK;
    if (signature == kSigPreTableBegin) {
        if (!InFirstTable(context, signature, level)) return kOK;
        // An id/name record later in the group is changed where it stands.
        for (const CDRecordNode* node = context->node != nullptr ? context->node->next : nullptr; node != nullptr;
             node = node->next) {
            if (node->signature == kSigIdName) return kOK;
            if (IsTableBeginRecord(node->signature) || IsCellRecord(node->signature)) break;
        }
        if (innermost == kSigPreTableBegin) {
            state.tableAttributesAtGroupEnd = 1;
            return kOK;
        }
        state.tableAttributesDone = 1;
        STATUS status = AppendBeginRecord(kSigPreTableBegin, 1, &context->output);
        if (status == kOK) {
            status = context->node != nullptr && context->node->bytes == record
                         ? AppendRecordNode(context->node, &context->output)
                         : AppendRecord(record, signature, length, &context->output);
        }
        if (status == kOK) status = AppendAttributeRecord(kSigIdName, context);
        if (status == kOK) status = AppendEndRecord(kSigPreTableBegin, 1, &context->output);
        *passOn = 0;
        return status;
    }
    if (signature == kSigIdName && innermost == kSigPreTableBegin && state.levelKnown != 0 && level == state.level) {
        state.tableAttributesDone = 1;
        return ReplaceAttribute(record, signature, length, passOn, context);
    }
    if (state.tableAttributesAtGroupEnd != 0 && Brackets(record, signature, length, kSigEnd, kSigPreTableBegin)) {
        state.tableAttributesDone = 1;
        return AppendAttributeRecord(kSigIdName, context);
    }
    return kOK;
}

// Each cell of the first table gets the attribute in its id/name record,
// which follows the cell's content.
STATUS CellAttributeInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                           std::uint32_t* passOn, RecordProcessContext* context) {
    TableRunState& state = context->table;
    const std::int32_t level = TableLevelOf(context, signature);
    const bool waiting = state.cellOpen != 0 && state.cellDone == 0;
    STATUS status = kOK;
    if (IsCellRecord(signature) || IsTableEndRecord(signature)) {
        if (!InFirstTable(context, signature, level)) return kOK;
        if (waiting) status = AppendAttributeRecord(kSigTableCellIdName, context);
        state.cellOpen = IsCellRecord(signature) ? 1 : 0;
        state.cellDone = 0;
        if (IsTableEndRecord(signature)) state.firstTableDone = 1;
        return status;
    }
    if (signature == kSigTableCellIdName && state.cellOpen != 0 && state.cellDone == 0 && level == state.level) {
        state.cellDone = 1;
        return ReplaceAttribute(record, signature, length, passOn, context);
    }
    return kOK;
}

STATUS AttributeInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                       RecordProcessContext* context) {
    return ForTable(context) ? TableAttributeInside(record, signature, length, passOn, context)
                             : CellAttributeInside(record, signature, length, passOn, context);
}

STATUS AttributeEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    TableRunState& state = context->table;
    if (ForTable(context) || state.cellOpen == 0 || state.cellDone != 0) return kOK;
    state.cellDone = 1;
    return AppendAttributeRecord(kSigTableCellIdName, context);
}

const OperationRow kRows[] = {
    {kOpSetTableFitToWindow, nullptr, FitInside, nullptr, nullptr, kRebuildsItem},
    {kOpSetRowLabel, nullptr, RowLabelInside, RowLabelEnd, nullptr, kRebuildsItem},
    {kOpAppendTable, AppendTableAtStart, nullptr, AppendTableAtEnd, nullptr, kRebuildsItem},
    {kOpColorCells, ColourStart, ColourInside, ColourEnd, nullptr, kRebuildsItem},
    {kOpMergeCells, nullptr, MergeInside, MergeEnd, nullptr, kRebuildsItem},
    {kOpUnmergeCells, nullptr, UnmergeInside, nullptr, nullptr, kRebuildsItem},
    {kOpChangeTable, nullptr, ChangeTableInside, nullptr, nullptr, kRebuildsItem},
    {kOpSetHtmlAttribute, nullptr, AttributeInside, AttributeEnd, nullptr, kRebuildsItem},
    {kOpAppendTableOfRequest, AppendTableAtStart, nullptr, AppendTableAtEnd, nullptr, kRebuildsItem},
};

} // namespace

const OperationFamily kTableOperations = MakeFamily(kRows);

} // namespace talix
