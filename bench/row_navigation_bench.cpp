// Walking a table row by row with GetNextTarget: against one walk of the
// same table in the same iteration (255 rows), and four times the rows
// against the rows. A cell numbers its row in a byte, so a table is walked
// by row number up to its 256th row: one table of 252 rows against one of
// 63, and four tables of 250 rows against one: whole (each table's first
// row found by a walk over the tables before it) and only the steps from
// each table's first row. Each table has 5
// columns with a text in each cell.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

constexpr std::uint16_t kColumnsPerTable = 5;

// A database of its own whose note's "Body" holds tables of the given rows,
// each with a text in each cell.
struct TableNote : talix_bench::OneNoteDatabase {
    std::uint16_t rows = 0;
    int tables = 0;

    TableNote(std::uint16_t rowCount, int tableCount)
        : OneNoteDatabase("rows.nsf"), rows(rowCount), tables(tableCount) {
        if (ready) ready = Fill();
    }

    bool Fill() {
        RARIvoSession session;
        ZervaRTItem item(&session);
        if (item.Connect("", path.c_str(), id, "Body", 1) != 0) return false;
        std::vector<std::string> texts;
        for (int column = 0; column < kColumnsPerTable; ++column)
            texts.push_back("Text='cell " + std::to_string(column) + "'");
        std::vector<const char*> options;
        for (const std::string& text : texts) options.push_back(text.c_str());
        std::unique_ptr<ZervaRTChunk> everything(item.DefineChunk("Everything"));
        bool ok = true;
        for (int table = 0; ok && table < tables; ++table)
            ok = everything->AppendTable(rows, kColumnsPerTable, 0, nullptr, options.data()) == 0;
        return ok && item.Save() == 0;
    }
};

// 255 rows in one table, 250 in one, 250 in each of four, 63 in one, 252
// in one.
TableNote& Table(int which) {
    static std::unique_ptr<TableNote> notes[5];
    const std::uint16_t rows[] = {255, 250, 250, 63, 252};
    const int tables[] = {1, 1, 4, 1, 1};
    if (notes[which] == nullptr) notes[which] = std::make_unique<TableNote>(rows[which], tables[which]);
    return *notes[which];
}

// Every row of every table, one after the other; the number of rows found.
int RowByRow(ZervaRTItem* item, int tables) {
    int rows = 0;
    for (int table = 1; table <= tables; ++table) {
        const std::string first = "Table " + std::to_string(table) + "; Row 1";
        std::unique_ptr<ZervaRTChunk> row(item->DefineChunk(first.c_str()));
        rows += row->Exists();
        while (row->GetNextTarget(0) != 0) ++rows;
    }
    return rows;
}

// The rows after each table's first, stepped through with GetNextTarget;
// the first row of each table is found outside the timing (finding the
// first row of a later table is a walk over the tables before it, which
// is not navigation). The seconds, or negative when a row is missing.
double TimedSteps(ZervaRTItem* item, const TableNote& note) {
    double seconds = 0;
    int rows = 0;
    for (int table = 1; table <= note.tables; ++table) {
        const std::string first = "Table " + std::to_string(table) + "; Row 1";
        std::unique_ptr<ZervaRTChunk> row(item->DefineChunk(first.c_str()));
        rows += row->Exists();
        const double step = talix_bench::TimeStep([&] {
            while (row->GetNextTarget(0) != 0) ++rows;
            return true;
        });
        seconds += step;
    }
    return rows == note.rows * note.tables ? seconds : -1;
}

// One walk over every record of the table: the existence query of the row
// after its last, on a chunk of its own.
bool OneWalk(ZervaRTItem* item, std::uint16_t rows) {
    std::unique_ptr<ZervaRTChunk> beyond(item->DefineChunk(("Table 1; Row " + std::to_string(rows + 1)).c_str()));
    return beyond->Exists() == 0;
}

void BM_RowByRowAgainstOneWalk255(benchmark::State& state) {
    TableNote& note = Table(0);
    if (!talix_bench::SkipUnless(state, note.ready, "cannot build the table")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (!talix_bench::ConnectBody(state, &item, note.path, note.id)) return;
    OneWalk(&item, note.rows);   // reads the records
    auto byRow = [&] { return talix_bench::TimeStep([&] { return RowByRow(&item, 1) == note.rows; }); };
    auto walk = [&] { return talix_bench::TimeStep([&] { return OneWalk(&item, note.rows); }); };
    talix_bench::RatioOfSteps(state, byRow, walk, "walk_ms", "x_walk");
}
BENCHMARK(BM_RowByRowAgainstOneWalk255)->Unit(benchmark::kMillisecond)->UseManualTime();

// Each iteration walks the rows of both notes row by row ("x_4n" is the
// ratio of the sums).
void RowsAgainstFourTimesAsMany(benchmark::State& state, int fewer, int more) {
    TableNote& small = Table(fewer);
    TableNote& large = Table(more);
    if (!talix_bench::SkipUnless(state, small.ready && large.ready, "cannot build the tables")) return;
    RARIvoSession session;
    ZervaRTItem smallItem(&session), largeItem(&session);
    if (!talix_bench::ConnectBody(state, &smallItem, small.path, small.id)) return;
    if (!talix_bench::ConnectBody(state, &largeItem, large.path, large.id)) return;
    auto walk = [](ZervaRTItem* item, const TableNote& note) {
        return talix_bench::TimeStep([&] { return RowByRow(item, note.tables) == note.rows * note.tables; });
    };
    talix_bench::RatioOfSteps(state, [&] { return walk(&largeItem, large); }, [&] { return walk(&smallItem, small); },
                              "n_ms", "x_4n");
}

// As above, only the steps from each table's first row timed.
void BM_RowStepsFourTablesAgainstOne(benchmark::State& state) {
    TableNote& small = Table(1);
    TableNote& large = Table(2);
    if (!talix_bench::SkipUnless(state, small.ready && large.ready, "cannot build the tables")) return;
    RARIvoSession session;
    ZervaRTItem smallItem(&session), largeItem(&session);
    if (!talix_bench::ConnectBody(state, &smallItem, small.path, small.id)) return;
    if (!talix_bench::ConnectBody(state, &largeItem, large.path, large.id)) return;
    talix_bench::RatioOfSteps(state, [&] { return TimedSteps(&largeItem, large); },
                              [&] { return TimedSteps(&smallItem, small); }, "n_ms", "x_4n");
}
BENCHMARK(BM_RowStepsFourTablesAgainstOne)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_RowByRow252Against63(benchmark::State& state) { RowsAgainstFourTimesAsMany(state, 3, 4); }
void BM_RowByRowFourTablesAgainstOne(benchmark::State& state) { RowsAgainstFourTimesAsMany(state, 1, 2); }
BENCHMARK(BM_RowByRow252Against63)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_RowByRowFourTablesAgainstOne)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace
