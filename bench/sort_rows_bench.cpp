// SortByRow over tables of 1,000 and 250 rows of 5 columns: by one key
// and by five (the first column, then four more) over distinct keys, and by
// one key that ten texts share (equal keys keep their order). Each
// iteration sorts both tables and prints the ratio of their times.
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

constexpr std::uint16_t kTableColumns = 5;

// The keys of column 1: distinct, in a scrambled order, or ten texts each
// repeated (equal keys keep their order).
enum class Keys { Distinct, Equal };

std::string KeyOf(std::uint16_t row, Keys keys) {
    const unsigned scrambled = (row * 7919u) % 100003u;
    return "key" + std::to_string(keys == Keys::Distinct ? scrambled : scrambled % 10);
}

// A database with one note whose "Body" holds a table of rows x 5 columns;
// column 1 holds the keys, the others a fixed text.
struct KeyedTableNote : talix_bench::OneNoteDatabase {
    KeyedTableNote(std::uint16_t rows, Keys keys) : OneNoteDatabase("sort.nsf") {
        if (ready) ready = Fill(rows, keys);
    }

    bool Fill(std::uint16_t rows, Keys keys) {
        RARIvoSession session;
        ZervaRTItem item(&session);
        if (item.Connect("", path.c_str(), id, "Body", 1) != 0) return false;
        std::vector<std::string> texts;
        for (int column = 0; column < kTableColumns; ++column)
            texts.push_back("Text='c" + std::to_string(column) + "'");
        std::vector<const char*> options;
        for (const std::string& text : texts) options.push_back(text.c_str());
        ZervaRTChunk* everything = item.DefineChunk("Everything");
        // A table holds at most 255 rows when appended, and its rows are
        // numbered by one byte: the rows past the first 255 are appended one
        // by one with their key as the text of their first cell, since "Row
        // n" cannot name them.
        const std::uint16_t first = rows < 255 ? rows : 255;
        bool ok = everything->AppendTable(first, kTableColumns, 0, nullptr, options.data()) == 0;
        delete everything;
        ZervaRTChunk* table = item.DefineChunk("Table 1");
        for (std::uint16_t row = first + 1; ok && row <= rows; ++row) {
            texts[0] = "Text='" + KeyOf(row, keys) + "'";
            options[0] = texts[0].c_str();
            ok = table->AppendRow(0, 1, options.data(), kTableColumns) == 0;
        }
        for (std::uint16_t row = 1; ok && row <= first; ++row) {
            const std::string cell = "Row " + std::to_string(row) + "; Column 1";
            ok = table->SetText(cell.c_str(), KeyOf(row, keys).c_str(), 0, nullptr) == 0;
        }
        delete table;
        return ok && item.Save() == 0;
    }
};

// One sort of the note's table; its seconds, or -1 when it fails. The
// order alternates, so that every sort moves the rows.
struct TableSort {
    KeyedTableNote note;
    RARIvoSession session;
    ZervaRTItem item{&session};
    bool connected = false;
    int reverse = 0;

    TableSort(benchmark::State& state, std::uint16_t rows, Keys keys) : note(rows, keys) {
        connected = talix_bench::SkipUnless(state, note.ready, "cannot build the table") &&
                    talix_bench::ConnectBody(state, &item, note.path, note.id);
    }

    double operator()(const char* options) {
        ZervaRTChunk* table = item.DefineChunk("Table 1");
        const double seconds =
            talix_bench::TimeStep([&] { return table->SortByRow(1, 0, 0, reverse, options) == 0; });
        delete table;
        reverse = 1 - reverse;
        return seconds;
    }
};

// Each iteration sorts the 1,000-row table (the iteration's time), then the
// 250-row one ("x_250": the ratio of the sums).
void SortRows(benchmark::State& state, Keys keys, const char* options) {
    TableSort large(state, 1000, keys);
    TableSort small(state, 250, keys);
    if (!large.connected || !small.connected) return;
    talix_bench::RatioOfSteps(state, [&] { return large(options); }, [&] { return small(options); }, "rows250_ms",
                              "x_250");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 1000);
}

constexpr const char* kFiveKeys = "SecondaryCol1=2 SecondaryCol2=3 SecondaryCol3=4 SecondaryCol4=5";

void BM_SortRowsOneKey(benchmark::State& state) { SortRows(state, Keys::Distinct, nullptr); }
void BM_SortRowsFiveKeys(benchmark::State& state) { SortRows(state, Keys::Distinct, kFiveKeys); }
void BM_SortRowsEqualKeys(benchmark::State& state) { SortRows(state, Keys::Equal, nullptr); }
BENCHMARK(BM_SortRowsOneKey)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_SortRowsFiveKeys)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_SortRowsEqualKeys)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace
