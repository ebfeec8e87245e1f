// SortByRow over tables of 250 and 1,000 rows of 5 columns, by one key and
// by five (the first column, then four more): the time of one sort.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

constexpr std::uint16_t kColumns = 5;

// A database with one note whose "Body" holds a table of rows x 5 columns;
// column 1 holds distinct keys in a scrambled order, the others a fixed text.
struct SortNote : talix_bench::OneNoteDatabase {
    explicit SortNote(std::uint16_t rows) : OneNoteDatabase("sort.nsf") {
        if (ready) ready = Fill(rows);
    }

    bool Fill(std::uint16_t rows) {
        RARIvoSession session;
        ZervaRTItem item(&session);
        if (item.Connect("", path.c_str(), id, "Body", 1) != 0) return false;
        std::vector<std::string> texts;
        for (int column = 0; column < kColumns; ++column) texts.push_back("Text='c" + std::to_string(column) + "'");
        std::vector<const char*> options;
        for (const std::string& text : texts) options.push_back(text.c_str());
        ZervaRTChunk* everything = item.DefineChunk("Everything");
        // A table holds at most 255 rows when appended; rows copied after
        // the first make up the rest.
        const std::uint16_t first = rows < 255 ? rows : 255;
        bool ok = everything->AppendTable(first, kColumns, 0, nullptr, options.data()) == 0;
        delete everything;
        ZervaRTChunk* table = item.DefineChunk("Table 1");
        for (std::uint16_t row = first; ok && row < rows; ++row) ok = table->AppendRow(1, 1, nullptr) == 0;
        for (std::uint16_t row = 1; ok && row <= rows; ++row) {
            const std::string cell = "Row " + std::to_string(row) + "; Column 1";
            const std::string key = "key" + std::to_string((row * 7919u) % 100003u);
            ok = table->SetText(cell.c_str(), key.c_str(), 0, nullptr) == 0;
        }
        delete table;
        return ok && item.Save() == 0;
    }
};

void SortRows(benchmark::State& state, std::uint16_t rows, const char* options) {
    SortNote note(rows);
    if (!talix_bench::SkipUnless(state, note.ready, "cannot build the table")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (!talix_bench::ConnectBody(state, &item, note.path, note.id)) return;
    int reverse = 0;
    for (auto _ : state) {
        ZervaRTChunk* table = item.DefineChunk("Table 1");
        const std::uint16_t status = table->SortByRow(1, 0, 0, reverse, options);
        delete table;
        reverse = 1 - reverse;
        if (status != 0) {
            state.SkipWithError("sort failed");
            break;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * rows);
}

constexpr const char* kFiveKeys = "SecondaryCol1=2 SecondaryCol2=3 SecondaryCol3=4 SecondaryCol4=5";

void BM_SortRows250OneKey(benchmark::State& state) { SortRows(state, 250, nullptr); }
void BM_SortRows1000OneKey(benchmark::State& state) { SortRows(state, 1000, nullptr); }
void BM_SortRows250FiveKeys(benchmark::State& state) { SortRows(state, 250, kFiveKeys); }
void BM_SortRows1000FiveKeys(benchmark::State& state) { SortRows(state, 1000, kFiveKeys); }
BENCHMARK(BM_SortRows250OneKey)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortRows1000OneKey)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortRows250FiveKeys)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortRows1000FiveKeys)->Unit(benchmark::kMillisecond);

} // namespace
