// The generation's record walk over large text items, streamed to a text
// event that does nothing: a 10 MB item against reading its records alone,
// and 2.5 MB against 10 MB for text-heavy items in three fonts, all ASCII
// or with three characters in ten outside ASCII (Latin-1 and Greek), with
// the records read for each run and held by the item. Bytes per second
// count the stored rich text.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "core/pool.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using talix_bench::kMegabyte;

// HTML of the whole item, streamed to the event; the records are read again
// for every run (readEach), or read once and held by the item as it holds
// them between operations, which measures the walk on its own.
void Generate(benchmark::State& state, std::size_t size, bool mixed, bool readEach) {
    talix_bench::ProseItem& big = talix_bench::ProseItemOf(size, mixed);
    if (!talix_bench::SkipUnless(state, big.ready, "cannot build the item")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (!talix_bench::ConnectBody(state, &item, big.path, big.id)) return;
    ZervaRTChunk* chunk = item.DefineChunk("Everything");
    for (auto _ : state) {
        if (readEach) talix_bench::ForgetRecords(&item);
        char* block = chunk->GenerateHTML(nullptr, "HTML", "OutputToEvent=Yes", 0, talix_bench::DiscardText, nullptr);
        if (block == nullptr || chunk->lastStatus != 0) {
            state.SkipWithError("generation failed");
            break;
        }
        talix::ZervaDeallocate(&session, block);
    }
    delete chunk;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * big.bytes));
}

void BM_WalkText10MB(benchmark::State& state) { Generate(state, 10 * kMegabyte, false, true); }
BENCHMARK(BM_WalkText10MB)->Unit(benchmark::kMillisecond);

void BM_WalkText2_5MB(benchmark::State& state) { Generate(state, 10 * kMegabyte / 4, false, true); }
BENCHMARK(BM_WalkText2_5MB)->Unit(benchmark::kMillisecond);

void BM_WalkMixed10MB(benchmark::State& state) { Generate(state, 10 * kMegabyte, true, true); }
BENCHMARK(BM_WalkMixed10MB)->Unit(benchmark::kMillisecond);

void BM_WalkMixed2_5MB(benchmark::State& state) { Generate(state, 10 * kMegabyte / 4, true, true); }
BENCHMARK(BM_WalkMixed2_5MB)->Unit(benchmark::kMillisecond);

void BM_WalkTextHeld10MB(benchmark::State& state) { Generate(state, 10 * kMegabyte, false, false); }
BENCHMARK(BM_WalkTextHeld10MB)->Unit(benchmark::kMillisecond);

void BM_WalkTextHeld2_5MB(benchmark::State& state) { Generate(state, 10 * kMegabyte / 4, false, false); }
BENCHMARK(BM_WalkTextHeld2_5MB)->Unit(benchmark::kMillisecond);

void BM_WalkMixedHeld10MB(benchmark::State& state) { Generate(state, 10 * kMegabyte, true, false); }
BENCHMARK(BM_WalkMixedHeld10MB)->Unit(benchmark::kMillisecond);

void BM_WalkMixedHeld2_5MB(benchmark::State& state) { Generate(state, 10 * kMegabyte / 4, true, false); }
BENCHMARK(BM_WalkMixedHeld2_5MB)->Unit(benchmark::kMillisecond);

// Reading the item's records alone, the measure the walk is set against.
void ReadRecords(benchmark::State& state, std::size_t size) {
    talix_bench::ProseItem& big = talix_bench::ProseItemOf(size, false);
    if (!talix_bench::SkipUnless(state, big.ready, "cannot build the item")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (!talix_bench::ConnectBody(state, &item, big.path, big.id)) return;
    talix_bench::ReadRecordsEachIteration(state, &item, 1);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * big.bytes));
}

void BM_WalkReadRecords10MB(benchmark::State& state) { ReadRecords(state, 10 * kMegabyte); }
BENCHMARK(BM_WalkReadRecords10MB)->Unit(benchmark::kMillisecond);

void BM_WalkReadRecords2_5MB(benchmark::State& state) { ReadRecords(state, 10 * kMegabyte / 4); }
BENCHMARK(BM_WalkReadRecords2_5MB)->Unit(benchmark::kMillisecond);

} // namespace
