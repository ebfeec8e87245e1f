// The single pass of the table look-ups: each cell of the chunk's table is
// read as the look-up's per-cell reads read it:
//   - the value cell as GetText reads "Row r; Column c": the first non-empty
//     text run, or with the complete text every one, the separator between;
//   - the key cell as GetText reads "Row r; Column k; NonBlankText 1": the
//     first such run of the cell's first non-blank text;
//   - a chunk that names a single target is read, like those reads, from the
//     first target only: a cell found again (its row number repeats) adds
//     nothing; otherwise every cell of the position adds to its text.
//
// Two ways lead there. The engine's walk with "Row *; Column *" inside the
// table decides which records lie in which cell by its own matching, and
// follows the key's non-blank text through a level of the collector's own
// that it steps; it covers every chunk in which rows and columns can be
// named. Where the chunk is a single table of its own (one plain level, one
// target), the engine only finds the table's first record and the table's
// records are then assigned to their cells by a direct scan that keeps the
// walk's table nesting: a cell record of the table's own nesting opens a
// cell (a new row when its column byte is 0), the records of nested tables
// belong to the enclosing cell, and the end record that closes the table's
// nesting ends it. The scan gives up, and the walk reads the table instead,
// on what it does not decide as the walk does: cell and table end records
// wrapped in BEGIN groups, a table end inside a BEGIN group around a
// table's start, a cell record too short for its row and column bytes, and
// in a key cell still looking for its text, a BEGIN around a text run,
// text effects or a text run inside a BEGIN group that wraps text.
#include "driver/table_cells.h"

#include <cstring>

#include "chunkops/chunk_frame.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "core/chunk_definition.h"
#include "engine/chunk_match.h"
#include "core/chunk_types.h"
#include "core/chunk_work_state.h"
#include "core/record_forms.h"
#include "core/record_list.h"
#include "engine/record_process.h"
#include "engine/record_visitor.h"
#include "talix/chunk.h"

namespace talix {

namespace {

// The text of one cell being collected, over every target of its position.
struct CellText {
    std::string* text = nullptr;
    bool done = false;     // nothing more is taken (the first run is in, or the limit reached)
    bool closed = false;   // a target of the position has ended
};

struct Collector {
    const TableCellRequest* request = nullptr;
    bool singleTarget = false;
    ChunkDefInfo* keyLevel = nullptr;          // "NonBlankText 1", stepped within a key cell
    bool rowSeen[kTablePositions + 1] = {};
    bool columnSeenInRowOne[kTablePositions + 1] = {};
    CellText values[kTablePositions + 1];
    CellText keys[kTablePositions + 1];
    // The cell being walked.
    CellText* value = nullptr;
    CellText* key = nullptr;
    bool keyOpen = false;                      // the key's non-blank text is being walked
    STATUS status = kOK;
};

// Adds a text run (of either direction) to a cell as the text reader adds
// it: only non-empty runs; the first one alone, or every one with the
// separator between them.
void TakeRun(CellText* cell, const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
             bool every, const char* separator, std::uint32_t limit) {
    if ((signature != kSigText && signature != kSigBidiText) || length <= kTextRunHeader || cell->done) return;
    std::string& text = *cell->text;
    if (!every) cell->done = true;
    if (every && separator != nullptr && !text.empty()) text.append(separator);
    text.append(reinterpret_cast<const char*>(record) + kTextRunHeader, length - kTextRunHeader);
    if (text.size() >= limit) {
        text.resize(limit);
        cell->done = true;
    }
}

// The key cell's first non-blank text ends: with a single target nothing
// more of the position is read.
void CloseKey(Collector* collector) {
    collector->keyOpen = false;
    collector->key->closed = true;
    if (collector->singleTarget) collector->key = nullptr;
}

// A cell starts at its row and column (1-based): the value and key cells
// it adds to, unless a single target already read them.
void OpenCell(Collector* collector, std::uint32_t rowNumber, std::uint32_t columnNumber) {
    collector->value = nullptr;
    collector->key = nullptr;
    collector->keyOpen = false;
    if (rowNumber < 1 || rowNumber > kTablePositions || columnNumber < 1 || columnNumber > kTablePositions) return;
    collector->rowSeen[rowNumber] = true;
    if (rowNumber == 1) collector->columnSeenInRowOne[columnNumber] = true;

    const TableCellRequest& request = *collector->request;
    const std::uint32_t record = request.sideways ? columnNumber : rowNumber;
    const std::uint32_t field = request.sideways ? rowNumber : columnNumber;
    const bool again = collector->singleTarget;
    if (field == request.valueField && !(again && collector->values[record].closed))
        collector->value = &collector->values[record];
    if (field == request.keyField && !(again && collector->keys[record].closed)) {
        collector->key = &collector->keys[record];
        if (collector->keyLevel != nullptr) ArmLevel(collector->keyLevel);
    }
}

void TakeValue(Collector* collector, const std::uint8_t* record, std::uint16_t signature, std::uint32_t length) {
    const TableCellRequest& request = *collector->request;
    if (collector->value != nullptr)
        TakeRun(collector->value, record, signature, length, request.completeText, request.separator,
                request.textLimit);
}

void CloseCell(Collector* collector) {
    if (collector->value != nullptr) collector->value->closed = true;
    if (collector->key != nullptr && collector->keyOpen) CloseKey(collector);
    collector->value = nullptr;
    collector->key = nullptr;
}

// The engine's walk with "Row *; Column *": its procedures.

STATUS CellStart(std::uint8_t*, std::uint16_t, std::uint32_t, RecordProcessContext* context) {
    auto* collector = static_cast<Collector*>(RunVisitor(context)->state);
    collector->value = nullptr;
    collector->key = nullptr;
    collector->keyOpen = false;
    // The chunk is open only where every level holds the record: the
    // innermost one is the column, the one before it the row.
    const ChunkDefInfo* column = context->matchedLevel;
    const ChunkDefInfo* row = column != nullptr ? WalkPrevious(column) : nullptr;
    if (column == nullptr || row == nullptr || column->elementType != kTypeColumn || row->elementType != kTypeRow) {
        collector->status = kArgumentError;
        return kArgumentError;
    }
    OpenCell(collector, row->walk.words[kWalkOccurrence], column->walk.words[kWalkOccurrence]);
    return kOK;
}

STATUS CellRecord(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t*,
                  RecordProcessContext* context) {
    auto* collector = static_cast<Collector*>(RunVisitor(context)->state);
    TakeValue(collector, record, signature, length);
    if (collector->key == nullptr) return kOK;
    const LevelStep step = StepLevel(collector->keyLevel, record, signature, length, context->previousSignature, context);
    if (collector->keyOpen && (!step.in || step.restarted)) {
        CloseKey(collector);
        if (collector->key == nullptr) return kOK;
    }
    if (!step.in) return kOK;
    collector->keyOpen = true;
    TakeRun(collector->key, record, signature, length, false, nullptr, collector->request->textLimit);
    if (!step.after) CloseKey(collector);
    return kOK;
}

STATUS CellEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    CloseCell(static_cast<Collector*>(RunVisitor(context)->state));
    return kOK;
}

// The direct scan of a single table.

// The walk's running state that the scan keeps on from the table's first
// record: the table nesting and the open BEGIN groups.
struct ScanState {
    std::int32_t tableNesting = 0;
    std::uint32_t inTablePrelude = 0;
    std::int32_t beginDepth = 0;
    std::uint16_t beginStack[kBeginStackDepth] = {};

    std::uint16_t InnermostBegin() const { return beginDepth > 0 ? beginStack[beginDepth - 1] : 0; }
};

// The records that start a table: a BEGIN group around one keeps the table
// around it from ending while the group is open.
bool StartsTable(std::uint16_t signature) {
    return signature == kSigPreTableBegin || signature == kSigTableBegin || signature == kSigNestedTableBegin;
}

// The records that start or end a row or a cell.
bool CellOrTableEnd(std::uint16_t signature) {
    return signature == kSigTableCell || signature == kSigNestedTableCell || signature == kSigTableEnd ||
           signature == kSigNestedTableEnd;
}

// The records a non-blank text can start at.
bool StartsText(std::uint16_t signature) {
    return signature == kSigText || signature == kSigTextEffect || signature == kSigBidiText ||
           signature == kSigBidiTextEffect;
}

// One record of a key cell that has not found its non-blank text yet. A text
// run longer than its header, of either direction, is that text: its text
// is the key, unless a BEGIN group that wraps text is open. Other BEGIN
// groups (a hotspot's) and their ENDs start nothing. False for a record after which the key is not decided as the
// walk decides it: a BEGIN around a text run, a text effect.
bool SeekKey(Collector* collector, const CDRecordNode* node, const ScanState& state) {
    switch (node->signature) {
    case kSigBegin: {
        const std::uint16_t inner = WordAt(node->bytes, node->length, 4);
        return inner != kSigText && inner != kSigBidiText;
    }
    case kSigEnd: return true;
    case kSigTextEffect:
    case kSigBidiTextEffect: return false;
    case kSigText:
    case kSigBidiText:
        if (node->length <= kTextRunHeader) return true;
        if (StartsText(state.InnermostBegin())) return false;
        TakeRun(collector->key, node->bytes, node->signature, node->length, false, nullptr,
                collector->request->textLimit);
        CloseKey(collector);
        return true;
    default: return true;
    }
}

// Scans the table whose first record is start, in the walk's state there,
// into the collector. False when the table holds what the scan leaves to
// the walk (the collector then holds part of the cells).
bool ScanTable(Collector* collector, const CDRecordNode* start, ScanState state) {
    if (start == nullptr) return false;
    const std::uint16_t around = state.InnermostBegin();
    if (CellOrTableEnd(around) || StartsText(around)) return false;
    const std::int32_t tableLevel = state.tableNesting;
    bool cellOpen = false;
    std::uint32_t row = 0;
    for (const CDRecordNode* node = start->next; node != nullptr && node->length != 0; node = node->next) {
        const std::uint16_t signature = node->signature;
        switch (signature) {
        case kSigBegin: {
            const std::uint16_t inner = WordAt(node->bytes, node->length, 4);
            if (CellOrTableEnd(inner)) return false;
            if (inner == kSigPreTableBegin) {
                state.inTablePrelude = 1;
                ++state.tableNesting;
            }
            if (state.beginDepth < kBeginStackDepth) state.beginStack[state.beginDepth++] = inner;
            break;
        }
        case kSigEnd:
            // The END of a group around a table's start ends nothing.
            if (CellOrTableEnd(WordAt(node->bytes, node->length, 4))) return false;
            if (state.beginDepth > 0) --state.beginDepth;
            break;
        case kSigPreTableBegin:
            if (state.inTablePrelude == 0) {
                state.inTablePrelude = 1;
                ++state.tableNesting;
            }
            break;
        case kSigTableBegin:
        case kSigNestedTableBegin:
            if (state.inTablePrelude == 0) ++state.tableNesting;
            break;
        case kSigTableCell:
        case kSigNestedTableCell:
            state.inTablePrelude = 0;
            if (state.tableNesting != tableLevel) break;
            // A cell of the table: a new row at its first cell and at every
            // cell of column byte 0.
            if (node->length < 4) return false;
            if (cellOpen) CloseCell(collector);
            if (!cellOpen || node->bytes[3] == 0) row = node->bytes[2] + 1u;
            OpenCell(collector, row, node->bytes[3] + 1u);
            cellOpen = true;
            break;
        case kSigTableEnd:
        case kSigNestedTableEnd:
            if (state.tableNesting > 0) --state.tableNesting;
            state.inTablePrelude = 0;
            if (state.tableNesting < tableLevel) {
                // The table's own end: not part of its last cell.
                if (StartsTable(state.InnermostBegin())) return false;
                if (cellOpen) CloseCell(collector);
                return true;
            }
            break;
        default: break;
        }
        if (!cellOpen) continue;
        TakeValue(collector, node->bytes, signature, node->length);
        if (collector->key != nullptr && !SeekKey(collector, node, state)) return false;
    }
    // The item ended inside the table.
    if (cellOpen) CloseCell(collector);
    return true;
}

// The run that finds the table: at its first record the table is scanned
// and the walk ends.
struct TableFind {
    Collector* collector = nullptr;
    bool found = false;
    bool scanned = false;
};

STATUS TableFound(std::uint8_t*, std::uint16_t, std::uint32_t, RecordProcessContext* context) {
    auto* find = static_cast<TableFind*>(RunVisitor(context)->state);
    context->readDone = 1;
    if (find->found) return kOK;
    find->found = true;
    ScanState state;
    state.tableNesting = context->tableNesting;
    state.inTablePrelude = context->inTablePrelude;
    state.beginDepth = context->beginDepth;
    std::memcpy(state.beginStack, context->beginStack, sizeof state.beginStack);
    find->scanned = ScanTable(find->collector, context->node, state);
    return kOK;
}

// Whether the chunk is one table of its own: a single plain Table level
// naming a single target.
bool SingleTable(const ZervaRTChunk* chunk) {
    const ChunkDefInfo* chain = chunk->work->chain;
    return chain != nullptr && chain->next == nullptr && chain->elementType == kTypeTable &&
           chain->relation == kRelPlain && chunk->work->singleTarget != 0;
}

void ResetCollector(Collector* collector, const TableCellRequest& request, bool singleTarget, TableCells* cells) {
    *collector = Collector{};
    collector->request = &request;
    collector->singleTarget = singleTarget;
    cells->values.assign(kTablePositions + 1, std::string());
    cells->keys.assign(kTablePositions + 1, std::string());
    for (std::uint32_t i = 0; i <= kTablePositions; ++i) {
        collector->values[i].text = &cells->values[i];
        collector->keys[i].text = &cells->keys[i];
    }
}

// Reads the table by the direct scan; false when the scan does not cover it.
STATUS ScanSingleTable(ZervaRTChunk* chunk, Collector* collector, bool* scanned) {
    TableFind find;
    find.collector = collector;
    RecordVisitor visitor;
    visitor.state = &find;
    visitor.start = TableFound;
    ChunkOperation run;
    run.operation = kOpVisitRecords;
    run.pointer = &visitor;
    const STATUS status = RunChunkOperation(chunk, run);
    *scanned = status == kOK && find.scanned;
    return status;
}

// Reads the table by the engine's walk.
STATUS WalkTable(ZervaRTChunk* chunk, Collector* collector) {
    if (collector->request->keyField != 0) {
        collector->keyLevel = ParseChunkDefinition(chunk->session, 0, nullptr, "NonBlankText 1", nullptr);
        if (collector->keyLevel == nullptr) return kOutOfMemory;
    }
    RecordVisitor visitor;
    visitor.state = collector;
    visitor.start = CellStart;
    visitor.inside = CellRecord;
    visitor.end = CellEnd;
    ChunkOperation run;
    run.operation = kOpVisitRecords;
    run.subDefinition = "Row *; Column *";
    run.pointer = &visitor;
    STATUS status = RunChunkOperation(chunk, run);
    FreeChunkDefinition(collector->keyLevel);
    collector->keyLevel = nullptr;
    if (status == kOK) status = collector->status;
    return status;
}

// Records 1 to n exist: the count the chunk's GetCount gives.
std::int32_t Contiguous(const bool* seen) {
    std::int32_t count = 0;
    while (count < static_cast<std::int32_t>(kTablePositions) && seen[count + 1]) ++count;
    return count;
}

} // namespace

STATUS CollectTableCells(ZervaRTChunk* chunk, const TableCellRequest& request, TableCells* cells,
                         TableCellRoute route) {
    cells->count = 0;
    cells->scanned = false;
    if (!ChunkUsable(chunk)) {
        cells->values.assign(kTablePositions + 1, std::string());
        cells->keys.assign(kTablePositions + 1, std::string());
        return kArgumentError;
    }
    const bool singleTarget = chunk->work->singleTarget != 0;
    Collector collector;
    ResetCollector(&collector, request, singleTarget, cells);
    STATUS status = kOK;
    bool scanned = false;
    if (route == TableCellRoute::ScanWherePossible && SingleTable(chunk)) {
        status = ScanSingleTable(chunk, &collector, &scanned);
        if (status != kOK) return status;
        if (!scanned) ResetCollector(&collector, request, singleTarget, cells);
    }
    if (!scanned) {
        status = WalkTable(chunk, &collector);
        if (status != kOK) return status;
    }
    cells->scanned = scanned;
    cells->count = Contiguous(request.sideways ? collector.columnSeenInRowOne : collector.rowSeen);
    return kOK;
}

} // namespace talix
