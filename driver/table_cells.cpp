// The single pass of the table look-ups. The chunk's table is walked once
// with "Row *; Column *" inside it, so that the engine's own matching
// decides which records lie in which cell; the records of each cell are
// handed to the collector below through the visiting operation. Each cell
// is read as the look-up's per-cell reads read it:
//   - the value cell as GetText reads "Row r; Column c": the first non-empty
//     text run, or with the complete text every one, the separator between;
//   - the key cell as GetText reads "Row r; Column k; NonBlankText 1": the
//     first such run of the cell's first non-blank text, whose element is
//     followed through a level of the collector's own that the engine steps;
//   - a chunk that names a single target is read, like those reads, from the
//     first target only: a cell found again (its row number repeats) adds
//     nothing; otherwise every cell of the position adds to its text.
#include "driver/table_cells.h"

#include <cstring>

#include "chunkops/chunk_frame.h"
#include "core/signatures.h"
#include "core/chunk_definition.h"
#include "engine/chunk_match.h"
#include "core/chunk_types.h"
#include "core/chunk_work_state.h"
#include "engine/record_process.h"
#include "engine/record_visitor.h"
#include "talix/chunk.h"

namespace talix {

namespace {

constexpr std::uint32_t kTextHeader = 8;   // a text run's header before its text

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

// Adds a text run to a cell as the text reader adds it: only non-empty
// runs; the first one alone, or every one with the separator between them.
void TakeRun(CellText* cell, const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
             bool every, const char* separator, std::uint32_t limit) {
    if (signature != kSigText || length <= kTextHeader || cell->done) return;
    std::string& text = *cell->text;
    if (!every) cell->done = true;
    if (every && separator != nullptr && !text.empty()) text.append(separator);
    text.append(reinterpret_cast<const char*>(record) + kTextHeader, length - kTextHeader);
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
    const std::uint32_t rowNumber = row->walk.words[kWalkOccurrence];
    const std::uint32_t columnNumber = column->walk.words[kWalkOccurrence];
    if (rowNumber < 1 || rowNumber > kTablePositions || columnNumber < 1 || columnNumber > kTablePositions)
        return kOK;
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
        ArmLevel(collector->keyLevel);
    }
    return kOK;
}

STATUS CellRecord(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t*,
                  RecordProcessContext* context) {
    auto* collector = static_cast<Collector*>(RunVisitor(context)->state);
    const TableCellRequest& request = *collector->request;
    if (collector->value != nullptr)
        TakeRun(collector->value, record, signature, length, request.completeText, request.separator,
                request.textLimit);
    if (collector->key == nullptr) return kOK;
    const LevelStep step = StepLevel(collector->keyLevel, record, signature, length, context->previousSignature, context);
    if (collector->keyOpen && (!step.in || step.restarted)) {
        CloseKey(collector);
        if (collector->key == nullptr) return kOK;
    }
    if (!step.in) return kOK;
    collector->keyOpen = true;
    TakeRun(collector->key, record, signature, length, false, nullptr, request.textLimit);
    if (!step.after) CloseKey(collector);
    return kOK;
}

STATUS CellEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    auto* collector = static_cast<Collector*>(RunVisitor(context)->state);
    if (collector->value != nullptr) collector->value->closed = true;
    if (collector->key != nullptr && collector->keyOpen) CloseKey(collector);
    collector->value = nullptr;
    collector->key = nullptr;
    return kOK;
}

// Records 1 to n exist: the count the chunk's GetCount gives.
std::int32_t Contiguous(const bool* seen) {
    std::int32_t count = 0;
    while (count < static_cast<std::int32_t>(kTablePositions) && seen[count + 1]) ++count;
    return count;
}

} // namespace

STATUS CollectTableCells(ZervaRTChunk* chunk, const TableCellRequest& request, TableCells* cells) {
    cells->count = 0;
    cells->values.assign(kTablePositions + 1, std::string());
    cells->keys.assign(kTablePositions + 1, std::string());
    if (!ChunkUsable(chunk)) return kArgumentError;

    Collector collector;
    collector.request = &request;
    collector.singleTarget = chunk->work->singleTarget != 0;
    for (std::uint32_t i = 0; i <= kTablePositions; ++i) {
        collector.values[i].text = &cells->values[i];
        collector.keys[i].text = &cells->keys[i];
    }
    if (request.keyField != 0) {
        collector.keyLevel = ParseChunkDefinition(chunk->session, 0, nullptr, "NonBlankText 1", nullptr);
        if (collector.keyLevel == nullptr) return kOutOfMemory;
    }

    RecordVisitor visitor;
    visitor.state = &collector;
    visitor.start = CellStart;
    visitor.inside = CellRecord;
    visitor.end = CellEnd;
    ChunkOperation run;
    run.operation = kOpVisitRecords;
    run.subDefinition = "Row *; Column *";
    run.pointer = &visitor;
    STATUS status = RunChunkOperation(chunk, run);
    FreeChunkDefinition(collector.keyLevel);
    if (status == kOK) status = collector.status;
    if (status != kOK) return status;
    cells->count = Contiguous(request.sideways ? collector.columnSeenInRowOne : collector.rowSeen);
    return kOK;
}

} // namespace talix
