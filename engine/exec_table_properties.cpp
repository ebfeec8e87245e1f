// The table operations that read: fit to window (33), a cell's margins
// (35), the smallest and largest margins (36), the cell colour (38), the row
// label (41), a cell's border (2407), the table's property text (2414), an
// HTML attribute of a table or cell (2421), and at the chunk's first cell
// whether it is merged and its column and row (2601-2603). Get codes take
// their value from the first matching record inside the chunk.
#include <cstdio>
#include <cstring>

#include "builders/table_builders.h"
#include "core/record_forms.h"
#include "core/session_work_area.h"
#include "engine/exec_handlers.h"
#include "engine/operation_table.h"
#include "engine/run_lookups.h"
#include "engine/table_property_writers.h"
#include "engine/table_walk.h"
#include "talix/session.h"

namespace talix {

namespace {

// Cell record fields.
constexpr std::uint32_t kCellRow = 2, kCellColumn = 3, kCellLeft = 4, kCellRight = 6, kCellBorder = 10,
                        kCellFlags = 11, kCellBorderWord = 12, kCellRowSpan = 14, kCellColumnSpan = 15,
                        kCellColorIndex = 16;
constexpr std::uint8_t kCellColored = 0x01, kCellWideBorder = 0x02, kCellCoveredLeft = 0x04,
                       kCellCoveredAbove = 0x08;
// Paragraph definition margins.
constexpr std::uint32_t kDefinitionLeft = 14, kDefinitionRight = 16;
constexpr std::uint32_t kBeginFlags = 12;
constexpr std::uint32_t kLabelText = 4, kLabelTextCapacity = 128;

char* Scratch1(RecordProcessContext* context) { return context->session->messageBuffer; }
char* Scratch3(RecordProcessContext* context) { return context->session->optionValue + kScratchSize; }

// An answer into a scratch buffer (4,096 bytes), cut to it.
void PutScratch(char* scratch, const char* text, std::size_t length) {
    if (length >= kScratchSize) length = kScratchSize - 1;
    std::memcpy(scratch, text, length);
    scratch[length] = '\0';
}

// An answer into the session's text result, cut to it.
void PutTextResult(RecordProcessContext* context, const char* text, std::size_t length) {
    RARIvoSession* session = context->session;
    if (length > RARIvoSession::kTextResultCapacity) length = RARIvoSession::kTextResultCapacity;
    std::memcpy(session->textResult, text, length);
    session->textResult[length] = '\0';
    session->textResultLength = static_cast<std::uint16_t>(length);
}

// ---- Property codes ----------------------------------------------------------

STATUS FitQueryInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t*,
                      RecordProcessContext* context) {
    if (context->chunkDone != 0 || !IsTableBeginRecord(signature) || length < kBeginFlags + 2) return kOK;
    context->chunkDone = 1;
    const char* answer = (ReadWord(record + kBeginFlags) & 1u) != 0 ? "TRUE" : "FALSE";
    PutScratch(Scratch1(context), answer, std::strlen(answer));
    return kOK;
}

// 35: the margins of the cell of the first row and column asked for.
STATUS CellMarginsInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t*,
                         RecordProcessContext* context) {
    if (context->chunkDone != 0 || !IsCellRecord(signature) || length < kCellRight + 2) return kOK;
    if (record[kCellRow] + 1u != context->operation2 || record[kCellColumn] + 1u != context->a3) return kOK;
    context->chunkDone = 1;
    TableRequest& table = context->session->workArea->table;
    table.cellLeftMargin = ReadWord(record + kCellLeft);
    table.cellRightMargin = ReadWord(record + kCellRight);
    return kOK;
}

// 38: the cell's colour index and the RGB value of its colour record.
STATUS CellColourInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t*,
                        RecordProcessContext* context) {
    TableRunState& state = context->table;
    TableRequest& table = context->session->workArea->table;
    if (IsCellRecord(signature) && length >= kCellColorIndex + 2 && (record[kCellFlags] & kCellColored) != 0 &&
        state.colourIndexTaken == 0) {
        state.colourIndexTaken = 1;
        table.cellColorIndex = ReadWord(record + kCellColorIndex);
    } else if (signature == kSigTableCellColor && length >= 7 && state.colourRGBTaken == 0) {
        state.colourRGBTaken = 1;
        table.cellColorRGB = record[4] | (record[5] << 8) | (static_cast<std::uint32_t>(record[6]) << 16);
    }
    return kOK;
}

// 41: the first tab label's text, in scratch buffer 1.
STATUS RowLabelQueryInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t*,
                           RecordProcessContext* context) {
    if (context->chunkDone != 0 || signature != kSigTableLabel || length <= kLabelText) return kOK;
    context->chunkDone = 1;
    const std::uint32_t room = std::min<std::uint32_t>(length - kLabelText, kLabelTextCapacity);
    const char* label = reinterpret_cast<const char*>(record + kLabelText);
    PutScratch(Scratch1(context), label, strnlen(label, room));
    return kOK;
}

// ---- Table operations ------------------------------------------------------------

// 2407: the border of the chunk's first cell: every side ("left,right,top,
// bottom") or one (1 left, 2 right, 3 top, 4 bottom).
STATUS CellBorderInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t*,
                        RecordProcessContext* context) {
    if (context->chunkDone != 0 || !IsCellRecord(signature) || length < kCellBorderWord + 2) return kOK;
    context->chunkDone = 1;
    int sides[4];   // left, right, top, bottom
    if ((record[kCellFlags] & kCellWideBorder) != 0) {
        const std::uint16_t word = ReadWord(record + kCellBorderWord);
        for (int i = 0; i < 4; ++i) sides[i] = (word >> (4 * i)) & 0x0F;
    } else {
        const std::uint8_t border = record[kCellBorder];
        for (int i = 0; i < 4; ++i) sides[i] = (border >> (2 * i)) & 0x03;
    }
    char text[32];
    const std::uint16_t side = context->operation2;
    int length2 = 0;
    if (side == 0) {
        length2 = std::snprintf(text, sizeof text, "%d,%d,%d,%d", sides[0], sides[1], sides[2], sides[3]);
    } else if (side <= 4) {
        length2 = std::snprintf(text, sizeof text, "%d", sides[side - 1]);
    } else {
        return kOK;
    }
    PutTextResult(context, text, static_cast<std::size_t>(length2));
    return kOK;
}

// 2414: the words of the first table of the chunk, from its extension, tab
// settings, begin, row-cycle and id/name records; those of a later table
// of the chunk are not its.
STATUS TablePropertiesInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t*,
                             RecordProcessContext* context) {
    RARIvoSession* session = context->session;
    char* whole = session->textResult;
    const std::uint32_t kept = std::min<std::uint32_t>(session->textResultLength, RARIvoSession::kTextResultCapacity);
    whole[kept] = '\0';
    // The words of every table of a run go to one text, and each record of
    // the walk comes here: the writers, which append at the end of the text
    // they are given, are given the part after the words gathered, found
    // from the kept length without reading those again.
    const std::uint32_t before =
        kept == 0 || whole[kept - 1] != '\0' ? kept : static_cast<std::uint32_t>(strnlen(whole, kept));
    char* text = whole + before;
    const std::uint32_t capacity = RARIvoSession::kTextResultCapacity + 1 - before;
    const std::uint16_t selector = context->operation2;
    PropertyWriterState* state = &context->writerState;
    const std::int32_t level = TableLevelOf(context, signature);
    // Records of the chunk's first table, not of a table nested in it nor
    // of a later one.
    const bool firstTable =
        context->table.levelKnown != 0 && context->table.firstTableDone == 0 && level == context->table.level;
    const std::uint16_t innermost = InnermostBegin(context);

    if (signature == kSigPreTableBegin && context->chunkDone == 0) {
        InFirstTable(context, signature, level);
        WriteTableProperties(record, length, text, capacity, selector, state);
    } else if (IsTableBeginRecord(signature) && context->chunkDone == 0) {
        InFirstTable(context, signature, level);
        WriteTableLayoutProperties(record, length, text, capacity, selector, state);
        context->chunkDone = 1;
    } else if (signature == kSigTableDataExtension && context->chunkDone == 0) {
        WriteTabProperties(record, length, context->chunk->item, text, capacity, selector, state);
    } else if (signature == kSigTimerInfo && firstTable) {
        WriteRowCycleProperty(record, length, text, capacity, selector, state);
    } else if (signature == kSigIdName && innermost == kSigPreTableBegin &&
               (firstTable || context->table.levelKnown == 0)) {
        WriteHTMLAttributeProperties(record, length, "Table", 19, kTableWordAll, text, capacity, selector, state);
    } else if (IsTableEndRecord(signature) && firstTable) {
        context->table.firstTableDone = 1;
    }
    session->textResultLength =
        static_cast<std::uint16_t>(before + strnlen(text, RARIvoSession::kTextResultCapacity - before));
    if (state->wordLeftOut != 0) session->workArea->propertyWordsLeftOut = 1;
    return kOK;
}

// 2421: an attribute of an id/name record: of the table's (a3 1), a cell's
// (a3 2), or of any such record, the later one winning (a3 0).
STATUS HTMLValueInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t*,
                       RecordProcessContext* context) {
    if (signature != kSigIdName && signature != kSigTableCellIdName) return kOK;
    if (length < kIdNameTexts) return kOK;
    if (context->a3 == 1) {
        const std::uint16_t innermost = InnermostBegin(context);
        if (signature != kSigIdName || innermost != kSigPreTableBegin || context->chunkDone != 0) return kOK;
    } else if (context->a3 == 2) {
        if (signature != kSigTableCellIdName || context->chunkDone != 0) return kOK;
    }
    context->chunkDone = 1;
    const int slot = IdNameSlot(context->operation2);
    std::uint32_t position = kIdNameTexts;
    for (int i = 0; i < slot; ++i) position += ReadWord(record + 4 + 2 * i);
    std::uint32_t textLength = ReadWord(record + 4 + 2 * slot);
    if (position > length) position = length;
    if (textLength > length - position) textLength = length - position;
    PutTextResult(context, reinterpret_cast<const char*>(record + position), textLength);
    return kOK;
}

// 2601: whether the chunk's first cell is merged; 2602 and 2603 its column
// and row (for a covered cell those of the cell that covers it).
STATUS CellAtStart(std::uint8_t* record, std::uint16_t signature, std::uint32_t, RecordProcessContext* context) {
    const CDRecordNode* node = context->node;
    const std::uint32_t length = node != nullptr && node->bytes == record ? node->length : kTableCellLength;
    if (!IsCellRecord(signature) || length < kTableCellLength) return kOK;
    char text[16];
    const std::uint8_t flags = record[kCellFlags];
    if (context->operation == kOpCellIsMerged) {
        const bool merged = (flags & (kCellCoveredLeft | kCellCoveredAbove)) != 0 || record[kCellRowSpan] > 1 ||
                            record[kCellColumnSpan] > 1;
        std::snprintf(text, sizeof text, "%s", merged ? "TRUE" : "FALSE");
    } else {
        const bool column = context->operation == kOpCellColumn;
        unsigned number = column ? record[kCellColumn] + 1u : record[kCellRow] + 1u;
        const bool covered = column ? (flags & (kCellCoveredLeft | kCellCoveredAbove)) != 0
                                    : (flags & kCellCoveredAbove) != 0;
        if (covered && node != nullptr) {
            // The table's first cell: walk back to the table's begin.
            const CDRecordNode* first = nullptr;
            int depth = 0;
            for (const CDRecordNode* at = node; at != nullptr; at = at->prev) {
                if (IsTableEndRecord(at->signature)) ++depth;
                if (IsTableBeginRecord(at->signature)) {
                    if (depth == 0) break;
                    --depth;
                }
                if (depth == 0 && IsCellRecord(at->signature)) first = at;
            }
            if (first != nullptr) {
                CellSearch& search = context->cellSearch;
                search.wantedRow = static_cast<std::uint16_t>(record[kCellRow] + 1);
                search.wantedColumn = static_cast<std::uint16_t>(record[kCellColumn] + 1);
                const STATUS status = FindTableCell(first->index, context);
                if (status != kOK) return status;
                const std::uint16_t found = column ? search.foundColumn : search.foundRow;
                if (found != 0) number = found;
            }
        }
        std::snprintf(text, sizeof text, "%u", number);
    }
    PutScratch(Scratch3(context), text, std::strlen(text));
    PutTextResult(context, text, std::strlen(text));
    return kOK;
}

const OperationRow kRows[] = {
    {kOpGetTableFitToWindow, nullptr, FitQueryInside, nullptr},
    {kOpGetCellMargins, nullptr, CellMarginsInside, nullptr},
    {kOpGetCellColor, nullptr, CellColourInside, nullptr},
    {kOpGetRowLabel, nullptr, RowLabelQueryInside, nullptr},
    {kOpGetCellBorder, nullptr, CellBorderInside, nullptr},
    {kOpGetTableProperties, nullptr, TablePropertiesInside, nullptr},
    {kOpGetHtmlAttribute, nullptr, HTMLValueInside, nullptr},
    {kOpCellIsMerged, CellAtStart, nullptr, nullptr},
    {kOpCellColumn, CellAtStart, nullptr, nullptr},
    {kOpCellRow, CellAtStart, nullptr, nullptr},
};

} // namespace

const OperationFamily kTablePropertyOperations = MakeFamily(kRows);

// 36: the smallest left and the largest right margin of the chunk's cells
// and paragraph definitions (0 held counts as none yet).
STATUS MarginRangeInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t*,
                         RecordProcessContext* context) {
    std::uint32_t leftAt = 0, rightAt = 0;
    if (IsCellRecord(signature)) {
        leftAt = kCellLeft;
        rightAt = kCellRight;
    } else if (signature == kSigPabDefinition) {
        leftAt = kDefinitionLeft;
        rightAt = kDefinitionRight;
    } else {
        return kOK;
    }
    if (length < rightAt + 2) return kOK;
    const std::uint16_t left = ReadWord(record + leftAt);
    const std::uint16_t right = ReadWord(record + rightAt);
    std::uint32_t& smallest = context->resultWords[0];
    std::uint32_t& largest = context->resultWords[1];
    if (smallest == 0 || left < smallest) smallest = left;
    if (largest == 0 || right > largest) largest = right;
    return kOK;
}

} // namespace talix
