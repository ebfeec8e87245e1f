// Appending a table of 200 rows x 10 columns (each cell with a short text)
// to a blank item, and walking it: its text, its row and column counts, and
// every row in turn.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/session_work_area.h"
#include "engine/record_process.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using talix_bench::kTextBufferSize;

constexpr std::uint16_t kAppendedRows = 200;
constexpr std::uint16_t kAppendedColumns = 10;

// A database with one note; its "Body" item is made blank by each use.
talix_bench::OneNoteDatabase& AppendTableNote() {
    static talix_bench::OneNoteDatabase note("table.nsf");
    return note;
}

// Makes the item blank and appends the table, as AppendTable does.
bool AppendTable(ZervaRTItem* item, const std::vector<std::string>& columnOptions) {
    if (item->CreateBlankRichTextItem() != 0) return false;
    RARIvoSession* session = item->session;
    talix::TableRequest& request = session->workArea->table;
    request = talix::TableRequest();
    request.tableWidth = item->defaultTableWidth;
    for (std::uint16_t column = 0; column < kAppendedColumns; ++column) {
        request.columnWidths[column] = static_cast<std::uint16_t>(request.tableWidth / kAppendedColumns);
        request.columnOptions[column] = columnOptions[column].c_str();
    }
    ZervaRTChunk* chunk = item->DefineChunk("Everything");
    const std::uint16_t status =
        talix::PerformChunkAction(chunk, 0, nullptr, talix::kOpAppendTable, kAppendedColumns, kAppendedRows, 0, 0,
                                  "CellBorder=S", nullptr, nullptr, nullptr, nullptr);
    delete chunk;
    return status == 0;
}

std::vector<std::string> ColumnOptions() {
    std::vector<std::string> options;
    for (std::uint16_t column = 0; column < kAppendedColumns; ++column)
        options.push_back("Text='column " + std::to_string(column + 1) + "'");
    return options;
}

void BM_AppendTable200x10(benchmark::State& state) {
    talix_bench::OneNoteDatabase& note = AppendTableNote();
    if (!talix_bench::SkipUnless(state, note.ready, "cannot build the note")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (!talix_bench::ConnectBody(state, &item, note.path, note.id, 1)) return;
    const std::vector<std::string> options = ColumnOptions();
    for (auto _ : state) {
        if (!AppendTable(&item, options)) {
            state.SkipWithError("append failed");
            break;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kAppendedRows * kAppendedColumns);
}
BENCHMARK(BM_AppendTable200x10)->Unit(benchmark::kMillisecond);

// The walks over an item holding the table.
void WalkTable(benchmark::State& state, int walk) {
    talix_bench::OneNoteDatabase& note = AppendTableNote();
    if (!talix_bench::SkipUnless(state, note.ready, "cannot build the note")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (item.Connect("", note.path.c_str(), note.id, "Body", 1) != 0 || !AppendTable(&item, ColumnOptions())) {
        state.SkipWithError("cannot build the table");
        return;
    }
    std::vector<char> buffer(kTextBufferSize);
    for (auto _ : state) {
        if (walk == 0) {
            ZervaRTChunk* table = item.DefineChunk("Table 1");
            const std::uint32_t length = table->GetText(nullptr, buffer.data(), kTextBufferSize, 1, " ");
            const bool ok = table->GetCount("Row") == kAppendedRows &&
                            table->GetCount("Column") == kAppendedColumns && length > 0;
            delete table;
            if (!ok) {
                state.SkipWithError("walk failed");
                break;
            }
        } else {
            ZervaRTChunk* row = item.DefineChunk("Table 1; Row 1");
            int rows = row->Exists();
            while (row->GetNextTarget() != 0) ++rows;
            delete row;
            if (rows != kAppendedRows) {
                state.SkipWithError("row walk failed");
                break;
            }
        }
    }
}

void BM_WalkTableTextAndCounts(benchmark::State& state) { WalkTable(state, 0); }
BENCHMARK(BM_WalkTableTextAndCounts)->Unit(benchmark::kMillisecond);

void BM_WalkTableRowByRow(benchmark::State& state) { WalkTable(state, 1); }
BENCHMARK(BM_WalkTableRowByRow)->Unit(benchmark::kMillisecond);

} // namespace
