// Table rows: collecting one sort key per row of the chunk's first table
// (11), the key texts of a position list (2), sorting the keys before a
// reorder, writing the rows in the sorted order (2396) or in the order the
// keys stand (2397), and appending a copy of a row, with its contents or as
// an empty row filled from the caller's cell texts (2355).

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "builders/append_gate.h"
#include "core/chunk_definition.h"
#include "core/chunk_work_state.h"
#include "core/item_work_state.h"
#include "core/pool.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signature_groups.h"
#include "core/signatures.h"
#include "core/sort_compare.h"
#include "core/text_compare.h"
#include "engine/chunk_match.h"
#include "engine/copy_source.h"
#include "engine/exec_handlers.h"
#include "engine/operation_table.h"
#include "engine/record_process.h"
#include "engine/run_steps.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix {

namespace {

constexpr const char* kSourceName = "rtproc";
constexpr std::uint32_t kFirstKeyCapacity = 255;
constexpr std::uint32_t kLongestKey = 1023;
constexpr std::uint16_t kTypeTable = 1;

// Host offsets.
constexpr std::uint32_t kCellColumn = 3;
constexpr std::uint32_t kCellFlags = 11, kCellRowSpan = 14;
constexpr std::uint8_t kCellCoveredAbove = 0x08;   // a cell of a merged block over the rows below it
constexpr std::uint32_t kLabelText = 4;            // 0xFFE3
constexpr std::uint32_t kLabelLimit = 127;

} // namespace

// ---- Sort keys -----------------------------------------------------------------

STATUS AddSortKey(RecordProcessContext* context, std::uint32_t index) {
    if (context->sortKeyCount == context->sortKeyCapacity) {
        const std::uint32_t capacity =
            context->sortKeyCapacity == 0 ? kFirstKeyCapacity : context->sortKeyCapacity * 2;
        auto* grown = static_cast<SortKey*>(
            QuorbelAllocate(context->session, __LINE__, kSourceName, capacity * sizeof(SortKey), 1));
        if (grown == nullptr) return kOutOfMemory;
        if (context->sortKeys != nullptr) {
            std::memcpy(static_cast<void*>(grown), context->sortKeys, context->sortKeyCount * sizeof(SortKey));
            ZervaDeallocate(context->session, context->sortKeys);
        }
        context->sortKeys = grown;
        context->sortKeyCapacity = capacity;
    }
    SortKey& key = context->sortKeys[context->sortKeyCount++];
    key = SortKey();
    key.firstRecord = index;
    key.lastRecord = index;
    return kOK;
}

namespace {

// A new key (first and last record at index) whose row is its place in the
// run's array. Returns 0 or 263.
STATUS AddKey(RecordProcessContext* context, std::uint32_t index) {
    const STATUS status = AddSortKey(context, index);
    if (status == kOK) context->sortKeys[context->sortKeyCount - 1].row = context->sortKeyCount - 1;
    return status;
}

// The key's text: a terminated copy from the tracked pool. Returns 0 or 263.
STATUS SetKeyText(RecordProcessContext* context, SortKey* key, const std::uint8_t* text, std::uint32_t length,
                  std::uint32_t limit) {
    length = static_cast<std::uint32_t>(strnlen(reinterpret_cast<const char*>(text), length));
    if (length > limit) length = limit;
    if (length == 0) return kOK;
    key->text = QuorbelAllocateString(context->session, __LINE__, kSourceName, reinterpret_cast<const char*>(text),
                                      length);
    if (key->text == nullptr) return kOutOfMemory;
    key->length = length;
    return kOK;
}

// The text of a section title, a tab label, an OLE object's name or a
// button, by the key kind; false when the record gives none.
bool KindText(const char* kind, const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
              const std::uint8_t** text, std::uint32_t* textLength, std::uint32_t* limit) {
    *limit = kLongestKey;
    if (StartsWithNoCase(kind, "SECTION")) {
        if (signature != kSigBar || length <= kBarTitleAfterColorAt) return false;
        *text = record + kBarTitleAfterColorAt;
        *textLength = length - kBarTitleAfterColorAt;
        return true;
    }
    if (StartsWithNoCase(kind, "TABLABEL") || StartsWithNoCase(kind, "ROWLABEL")) {
        if (signature != kSigTableLabel || length <= kLabelText) return false;
        *text = record + kLabelText;
        *textLength = length - kLabelText;
        *limit = kLabelLimit;
        return true;
    }
    if (StartsWithNoCase(kind, "OLEFileName")) {
        if (signature != kSigOleBegin || length <= kOleBeginFixedLength) return false;
        *text = record + kOleBeginFixedLength;
        *textLength = ReadWord(record + kOleBeginNameLengthAt);
        if (*textLength > length - kOleBeginFixedLength) *textLength = length - kOleBeginFixedLength;
        return true;
    }
    if (StartsWithNoCase(kind, "BUTTON")) {
        if (signature != kSigButton || length <= kButtonFixedLength) return false;
        *text = record + kButtonFixedLength;
        *textLength = length - kButtonFixedLength;
        return true;
    }
    return false;
}

// Whether a cell belongs to a block merged over more than one row: one of
// its cells above the block's last row, or the block's owner (its last
// cell) spanning rows.
bool JoinsRows(const std::uint8_t* cell, std::uint32_t length) {
    return length > kCellRowSpan && ((cell[kCellFlags] & kCellCoveredAbove) != 0 || cell[kCellRowSpan] > 1);
}

// 11: one key per row of the first table inside the chunk. A cell of
// column 0 opens a row; the key text is taken from the key column (op2: the
// column counted from 1, 0 any column): its first non-empty text run (kind
// "TEXT") or section title, or the row's tab label. With a3 set the rows
// below a4 are title rows: flagged (they keep their places at the top), and
// the first row has no key text. Rows to be sorted that a merged cell joins
// to another row cannot move alone: the run fails (257, error word 20025)
// and no key is kept for a sort.
STATUS CollectSortKeys(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t*,
                       RecordProcessContext* context) {
    RowRunState& rows = context->rows;
    if (IsTableBeginRecord(signature) && rows.tableKnown == 0) {
        rows.tableKnown = 1;
        rows.tableLevel = context->tableNesting;
        return kOK;
    }
    if (rows.tableKnown == 0 || rows.tableDone != 0) return kOK;
    const std::uint32_t index = context->node != nullptr ? context->node->index : context->recordCounter;
    SortKey* key = context->sortKeyCount > 0 ? &context->sortKeys[context->sortKeyCount - 1] : nullptr;
    if (IsTableEndRecord(signature) && context->tableNesting < rows.tableLevel) {
        if (key != nullptr) key->lastRecord = index - 1;
        rows.tableDone = 1;
        return kOK;
    }
    if (IsCellRecord(signature) && context->tableNesting == rows.tableLevel) {
        rows.column = length > kCellColumn ? record[kCellColumn] : 0;
        if (rows.column == 0) {
            if (key != nullptr) key->lastRecord = index - 1;
            const STATUS status = AddKey(context, index);
            if (status != kOK) return status;
            key = &context->sortKeys[context->sortKeyCount - 1];
            if (context->a3 != 0 && key->row < context->a4) key->flag = 1;
        }
        if (key != nullptr && key->flag == 0 && JoinsRows(record, length)) {
            ReleaseSortKeys(context->session, context->sortKeys, context->sortKeyCount);
            context->sortKeys = nullptr;
            context->sortKeyCount = 0;
            context->sortKeyCapacity = 0;
            context->output.errorWord = kErrBodyStructure;
            return kOperationFailed;
        }
        return kOK;
    }
    if (key == nullptr || key->text != nullptr) return kOK;
    const char* kind = context->secondArgument != nullptr && context->secondArgument[0] != '\0'
                           ? context->secondArgument
                           : "TEXT";
    const bool labels = StartsWithNoCase(kind, "TABLABEL") || StartsWithNoCase(kind, "ROWLABEL");
    if (!labels && context->operation2 != 0 && rows.column + 1u != context->operation2) return kOK;
    if (CompareNamesNoCase(kind, "TEXT") == 0) {
        if (signature != kSigText || length <= kTextRunHeader) return kOK;
        if (context->a3 != 0 && key->row == 0) return kOK;
        return SetKeyText(context, key, record + kTextRunHeader, length - kTextRunHeader, kLongestKey);
    }
    const std::uint8_t* text = nullptr;
    std::uint32_t textLength = 0, limit = 0;
    if (StartsWithNoCase(kind, "SECTION") || labels) {
        if (!KindText(kind, record, signature, length, &text, &textLength, &limit)) return kOK;
        return SetKeyText(context, key, text, textLength, limit);
    }
    return kOK;
}

// ---- Copying rows ------------------------------------------------------------------

// The paragraph definitions of a range of the run's records, saved with the
// session's pending definitions: a row written before the rows it came after
// gets the definition of each id put back before its first reference to it.
STATUS SaveRangeDefinitions(RecordProcessContext* context, std::uint32_t first, std::uint32_t last) {
    if (context->records == nullptr) return kOK;
    for (const CDRecordNode* node = context->records->head; node != nullptr; node = node->next) {
        if (node->index < first || node->index > last || node->signature != kSigPabDefinition) continue;
        const STATUS status = SavePendingParagraph(context->session->workArea, node->bytes, node->length);
        if (status == kOutOfMemory) return status;
    }
    return kOK;
}

// 2355: the row found by the calling method's query (op2 to a3) copied at
// the walk's point. Written before the rows it came after, its references
// may name definitions that stand later in the item (in the row itself or,
// for a row below the first, in the rows before it): the definitions from
// the walk's point to the row's end are put back where the copy's
// references need them.
//
// The row's record indexes come in 16-bit words: the indexes the calling
// method's query found, which the session keeps whole, when the words hold
// their low bits (an item of more than 65,535 records has indexes above).
std::uint32_t WholeIndex(std::uint16_t word, std::uint32_t found) {
    return (found & 0xFFFFu) == word ? found : word;
}

STATUS CopyRow(RecordProcessContext* context, bool beforeSource) {
    if (context->rows.rowsWritten != 0) return kOK;
    context->rows.rowsWritten = 1;
    const SessionWorkArea* area = context->session->workArea;
    context->copyInputs.first = WholeIndex(context->operation2, area->foundFirstRecord);
    context->copyInputs.last = WholeIndex(context->a3, area->foundLastRecord);
    STATUS status = kOK;
    if (beforeSource) {
        const std::uint32_t first = context->copyInputs.first;
        const std::uint32_t here = context->node != nullptr ? context->node->index : first;
        status = SaveRangeDefinitions(context, std::min(here, first), context->copyInputs.last);
    }
    if (status == kOK) status = AppendSourceRichText(context->chunk, context, 0);
    // The table's row count follows in the append gate, at its table end.
    if (status == kOK) context->chunk->item->modified = 1;
    context->chunkDone = 1;
    return status;
}

// Whether nothing but trailer records of the table stand from the node to
// the end of its table.
bool OnlyTrailerRecordsFollow(const CDRecordNode* node) {
    for (; node != nullptr; node = node->next) {
        if (IsTableEndRecord(node->signature)) return true;
        if (!IsTableTrailerRecord(node->signature)) return false;
    }
    return false;
}

// A row appended at the end of its table goes before the table's trailer
// records (its row cycle and transition), which close the table.
bool AtTableTrailer(std::uint16_t signature, const RecordProcessContext* context) {
    return context->chunk->appendAtEnd != 0 && context->rows.tableKnown != 0 &&
           context->tableNesting == context->rows.tableLevel && IsTableTrailerRecord(signature) &&
           OnlyTrailerRecordsFollow(context->node);
}

// A table chunk gets the row inside its first table: before the table end
// (appended at the end) or before its first cell.
STATUS RowInsideTable(std::uint8_t*, std::uint16_t signature, std::uint32_t, std::uint32_t*,
                      RecordProcessContext* context) {
    RowRunState& rows = context->rows;
    if (rows.rowsWritten != 0) return kOK;
    if (context->chunk->targetType != kTypeTable) {
        // A row chunk that ends its table.
        return AtTableTrailer(signature, context) ? CopyRow(context, false) : kOK;
    }
    if (IsTableBeginRecord(signature) && rows.tableKnown == 0) {
        rows.tableKnown = 1;
        rows.tableLevel = context->tableNesting;
        return kOK;
    }
    if (rows.tableKnown == 0) return kOK;
    if (context->chunk->appendAtEnd != 0) {
        if (AtTableTrailer(signature, context)) return CopyRow(context, false);
        if (IsTableEndRecord(signature) && context->tableNesting < rows.tableLevel) return CopyRow(context, false);
    } else if (IsCellRecord(signature) && context->tableNesting == rows.tableLevel) {
        return CopyRow(context, true);
    }
    return kOK;
}

// Any other chunk (a row) gets the row before its first record or after
// its last one.
STATUS RowAtStart(std::uint8_t*, std::uint16_t, std::uint32_t, RecordProcessContext* context) {
    if (context->chunk->targetType == kTypeTable) return kOK;
    if (context->chunk->appendAtEnd != 0) {
        // The level of the row's table.
        context->rows.tableKnown = 1;
        context->rows.tableLevel = context->tableNesting;
        return kOK;
    }
    return CopyRow(context, true);
}
STATUS RowAtEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    if (context->chunk->targetType == kTypeTable || context->chunk->appendAtEnd == 0) return kOK;
    return CopyRow(context, false);
}

// 2396 and 2397 at the first row: every row in the keys' order (the keys'
// ranges), each row's references finding their definitions put back where
// needed.
STATUS SortedRowsAtStart(std::uint8_t*, std::uint16_t, std::uint32_t, RecordProcessContext* context) {
    if (context->rows.rowsWritten != 0) return kOK;
    context->rows.rowsWritten = 1;
    // The level of the rows' table, whose trailer records keep their place.
    context->rows.tableKnown = 1;
    context->rows.tableLevel = context->tableNesting;
    // The run's records by position, so that each row is reached at once
    // rather than by a walk from the first record.
    std::vector<CDRecordNode*> nodeAt(1, nullptr);
    for (CDRecordNode* node = context->records != nullptr ? context->records->head : nullptr; node != nullptr;
         node = node->next) {
        if (node->index != nodeAt.size()) {
            nodeAt.clear();
            break;
        }
        nodeAt.push_back(node);
    }
    STATUS status = kOK;
    for (std::uint32_t i = 0; status == kOK && i < context->sortKeyCount; ++i) {
        const SortKey& key = context->sortKeys[i];
        if (key.firstRecord == 0 || key.firstRecord > key.lastRecord || key.lastRecord >= nodeAt.size()) {
            status = SaveRangeDefinitions(context, key.firstRecord, key.lastRecord);
            continue;
        }
        for (std::uint32_t at = key.firstRecord; status == kOK && at <= key.lastRecord; ++at) {
            const CDRecordNode* node = nodeAt[at];
            if (node->signature != kSigPabDefinition) continue;
            if (SavePendingParagraph(context->session->workArea, node->bytes, node->length) == kOutOfMemory)
                status = kOutOfMemory;
        }
    }
    for (std::uint32_t i = 0; status == kOK && i < context->sortKeyCount; ++i) {
        const SortKey& key = context->sortKeys[i];
        if (key.firstRecord == 0) continue;
        context->copyInputs.first = key.firstRecord;
        context->copyInputs.last = key.lastRecord;
        context->copyInputs.firstNode = key.firstRecord < nodeAt.size() ? nodeAt[key.firstRecord] : nullptr;
        status = AppendSourceRichText(context->chunk, context, 0);
        context->copyInputs.firstNode = nullptr;
    }
    context->chunk->item->modified = 1;
    return status;
}

// 2396 and 2397 inside: the rows as they stood are left out; the trailer
// records of their table stay, after the rows written.
STATUS DropRowRecord(std::uint8_t*, std::uint16_t signature, std::uint32_t, std::uint32_t* passOn,
                     RecordProcessContext* context) {
    if (IsTableTrailerRecord(signature) && context->tableNesting == context->rows.tableLevel) return kOK;
    *passOn = 0;
    return kOK;
}

const OperationRow kRows[] = {
    {kOpCollectSortKeys, nullptr, CollectSortKeys, nullptr, &kSortKeySteps},
    {kOpAppendRow, RowAtStart, RowInsideTable, RowAtEnd, &kRowAppendSteps, kRebuildsItem},
    {kOpReorderRows, SortedRowsAtStart, DropRowRecord, nullptr, &kReorderRowsSteps, kRebuildsItem},
    {kOpReorderRowsAsKeyed, SortedRowsAtStart, DropRowRecord, nullptr, &kKeyedRowsSteps, kRebuildsItem},
};

} // namespace

const OperationFamily kRowOperations = MakeFamily(kRows);

// 2 inside the chunk: with a kind given (the second argument), the first
// text of that kind in each target becomes the text of its position entry:
// "TEXT" the first non-empty text run (in the column op2 counts from 1, 0
// any column), "SECTION..." a section title, "OLEFileName..." an OLE
// object's name, "BUTTON..." a button's text.
STATUS PositionKeyTextInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t*,
                             RecordProcessContext* context) {
    // The key's row: the target's occurrence number at its level, taken at
    // the first record inside it (a target with none stays 0, as the
    // existence test does not find it either).
    if (context->sortKeyCount > 0 && context->matchedLevel != nullptr) {
        SortKey& key = context->sortKeys[context->sortKeyCount - 1];
        if (key.row == 0) key.row = context->matchedLevel->walk.words[kWalkOccurrence];
    }
    if (IsCellRecord(signature)) context->rows.column = length > kCellColumn ? record[kCellColumn] : 0;
    const char* kind = context->secondArgument;
    if (kind == nullptr || kind[0] == '\0' || context->sortKeyCount == 0) return kOK;
    SortKey* key = &context->sortKeys[context->sortKeyCount - 1];
    if (key->text != nullptr) return kOK;
    if (CompareNamesNoCase(kind, "TEXT") == 0) {
        if (signature != kSigText || length <= kTextRunHeader) return kOK;
        if (context->operation2 != 0 && context->rows.column + 1u != context->operation2) return kOK;
        return SetKeyText(context, key, record + kTextRunHeader, length - kTextRunHeader, kLongestKey);
    }
    const std::uint8_t* text = nullptr;
    std::uint32_t textLength = 0, limit = 0;
    if (StartsWithNoCase(kind, "TABLABEL") || StartsWithNoCase(kind, "ROWLABEL")) return kOK;
    if (!KindText(kind, record, signature, length, &text, &textLength, &limit)) return kOK;
    return SetKeyText(context, key, text, textLength, limit);
}

namespace {

// The run takes the chunk's keys; they go with it.
void TakeChunkKeys(RecordProcessContext* context) {
    ChunkWorkState* state = context->chunk->work;
    context->sortKeys = state->sortKeys;
    context->sortKeyCount = state->sortKeyCount;
    context->sortKeyCapacity = state->sortKeyCount;
    state->sortKeys = nullptr;
    state->sortKeyCount = 0;
}

} // namespace

STATUS TakeRowKeys(RecordProcessContext* context) {
    TakeChunkKeys(context);
    return context->sortKeyCount == 0 ? kNoSortKeys : kOK;
}

STATUS SortRowKeys(RecordProcessContext* context) {
    ZervaRTChunk* chunk = context->chunk;
    TakeChunkKeys(context);

    bool anyText = false;
    for (std::uint32_t i = 0; i < context->sortKeyCount; ++i) {
        if (context->sortKeys[i].text != nullptr && context->sortKeys[i].length > 0) anyText = true;
    }
    if (context->sortKeyCount < 2 || !anyText) return kNoSortKeys;

    // The argument text, upper-cased, chooses the order.
    char* order = context->session->messageBuffer;
    const char* argument = context->argumentText != nullptr ? context->argumentText : "";
    std::size_t i = 0;
    for (; argument[i] != '\0' && i + 1 < RARIvoSession::kMessageCapacity; ++i)
        order[i] = UpperAscii(argument[i]);
    order[i] = '\0';
    const bool numeric = std::strstr(order, "NUMERIC") != nullptr;
    const bool reverse = std::strstr(order, "REVERSE") != nullptr;

    const std::uint32_t switches = (chunk->accentSensitive != 0 ? kSortAccentSensitive : 0) |
                                   (chunk->caseSensitive != 0 ? kSortCaseSensitive : 0);
    int (*compare)(const void*, const void*) = CompareSortKeysTextAscending;
    if (numeric && reverse) compare = CompareSortKeysNumberDescending;
    else if (numeric) compare = CompareSortKeysNumberAscending;
    else if (reverse) compare = CompareSortKeysTextDescending;
    SortKeys(context->sortKeys, context->sortKeyCount, compare, switches);
    return kOK;
}

} // namespace talix
