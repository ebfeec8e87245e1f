// Walking a table row by row with GetNextTarget: against one walk of the
// same table in the same iteration (255 rows), and four times the rows
// against the rows. A cell numbers its row in a byte, so a table is walked
// by row number up to its 256th row: one table of 252 rows against one of
// 63, and four tables of 250 rows against one (where each table's first
// row is found by a walk over the tables before it). Each table has 5
// columns with a text in each cell.
#include <benchmark/benchmark.h>

#include <chrono>
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

using Clock = std::chrono::steady_clock;
constexpr std::uint16_t kColumns = 5;

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// A database of its own with one note whose "Body" holds tables of the
// given rows.
struct TableNote {
    talix_bench::ScratchDir directory;
    std::string path;
    plat::NOTEID id = 0;
    std::uint16_t rows = 0;
    int tables = 0;
    bool ready = false;

    TableNote(std::uint16_t rowCount, int tableCount) : rows(rowCount), tables(tableCount) {
        plat::LogSetEcho(false);
        if (directory.path().empty()) return;
        path = directory.File("rows.nsf");
        plat::DBHANDLE db = 0;
        plat::NOTEHANDLE note = 0;
        if (plat::DbCreate(path.c_str(), &db) != 0) return;
        if (plat::NoteCreate(db, &note) == 0) {
            ready = plat::NoteUpdate(note, 0) == 0 && plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id) == 0;
            plat::NoteClose(note);
        }
        plat::DbClose(db);
        if (ready) ready = Fill();
    }

    bool Fill() {
        RARIvoSession session;
        ZervaRTItem item(&session);
        if (item.Connect("", path.c_str(), id, "Body", 1) != 0) return false;
        std::vector<std::string> texts;
        for (int column = 0; column < kColumns; ++column) texts.push_back("Text='cell " + std::to_string(column) + "'");
        std::vector<const char*> options;
        for (const std::string& text : texts) options.push_back(text.c_str());
        ZervaRTChunk* everything = item.DefineChunk("Everything");
        bool ok = true;
        for (int table = 0; ok && table < tables; ++table)
            ok = everything->AppendTable(rows, kColumns, 0, nullptr, options.data()) == 0;
        delete everything;
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
    double byRow = 0, walks = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const int rows = RowByRow(&item, 1);
        const auto middle = Clock::now();
        const bool walked = OneWalk(&item, note.rows);
        const auto end = Clock::now();
        if (rows != note.rows || !walked) {
            state.SkipWithError("the walks failed");
            break;
        }
        byRow += Seconds(start, middle);
        walks += Seconds(middle, end);
        state.SetIterationTime(Seconds(start, middle));
    }
    if (walks > 0) {
        state.counters["walk_ms"] = walks * 1e3 / static_cast<double>(state.iterations());
        state.counters["x_walk"] = byRow / walks;
    }
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
    double n = 0, n4 = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const int smallRows = RowByRow(&smallItem, small.tables);
        const auto middle = Clock::now();
        const int largeRows = RowByRow(&largeItem, large.tables);
        const auto end = Clock::now();
        if (smallRows != small.rows * small.tables || largeRows != large.rows * large.tables) {
            state.SkipWithError("the walks failed");
            break;
        }
        n += Seconds(start, middle);
        n4 += Seconds(middle, end);
        state.SetIterationTime(Seconds(middle, end));
    }
    if (n > 0) {
        state.counters["n_ms"] = n * 1e3 / static_cast<double>(state.iterations());
        state.counters["x_4n"] = n4 / n;
    }
}

void BM_RowByRow252Against63(benchmark::State& state) { RowsAgainstFourTimesAsMany(state, 3, 4); }
void BM_RowByRowFourTablesAgainstOne(benchmark::State& state) { RowsAgainstFourTimesAsMany(state, 1, 2); }
BENCHMARK(BM_RowByRow252Against63)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_RowByRowFourTablesAgainstOne)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace
