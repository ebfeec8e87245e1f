// Over a 10 MB item of paragraphs: getting the text of "Everything"
// (reading the records and walking them) against the bare read of its
// records, and counting its paragraphs against one walk of its records,
// each pair timed in the same iteration. Also the get-text alone on records
// already read.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/item_work_state.h"
#include "core/record_io.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using talix_bench::kTextBufferSize;

constexpr std::size_t kParagraphsItemSize = 10 * talix_bench::kMegabyte;

talix_bench::ParagraphsNote& Item() {
    static talix_bench::ParagraphsNote note(kParagraphsItemSize);
    return note;
}

// Each iteration: the text of "Everything" with the records read afresh,
// then the bare read of the records ("x_read" is the ratio of the sums).
void BM_GetTextEverythingAgainstRead(benchmark::State& state) {
    auto& big = Item();
    if (!talix_bench::SkipUnless(state, big.ready, "cannot build the item")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (!talix_bench::ConnectBody(state, &item, big.path, big.id)) return;
    std::unique_ptr<ZervaRTChunk> chunk(item.DefineChunk("Everything"));
    std::vector<char> buffer(kTextBufferSize);
    // Each reads into memory the other has just given back.
    auto text = [&] {
        talix_bench::ForgetRecords(&item);
        return talix_bench::TimeStep([&] {
            return chunk->GetText(nullptr, buffer.data(), kTextBufferSize, 1, nullptr) > 0 && chunk->lastStatus == 0;
        });
    };
    auto read = [&] { return talix_bench::TimeFreshRead(&item, 0); };
    talix_bench::RatioOfSteps(state, text, read, "read_ms", "x_read");
}
BENCHMARK(BM_GetTextEverythingAgainstRead)->Unit(benchmark::kMillisecond)->UseManualTime();

// Each iteration: GetCount("Paragraph") on the records already read, then
// one walk over all of them (the existence query of a table the item does
// not hold, on a chunk of its own) ("x_walk" is the ratio of the sums).
void BM_CountParagraphsAgainstOneWalk(benchmark::State& state) {
    auto& big = Item();
    if (!talix_bench::SkipUnless(state, big.ready, "cannot build the item")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (!talix_bench::ConnectBody(state, &item, big.path, big.id)) return;
    std::unique_ptr<ZervaRTChunk> everything(item.DefineChunk("Everything"));
    everything->GetCount("Table");   // reads the records
    std::int16_t count = 0;
    auto counting = [&] { return talix_bench::TimeStep([&] { return (count = everything->GetCount("Paragraph")) > 0; }); };
    auto walk = [&] {
        return talix_bench::TimeStep([&] {
            std::unique_ptr<ZervaRTChunk> table(item.DefineChunk("Table 1"));
            return table->Exists() == 0 && table->lastStatus == 0;
        });
    };
    talix_bench::RatioOfSteps(state, counting, walk, "walk_ms", "x_walk");
    state.counters["paragraphs"] = static_cast<double>(big.paragraphs);
    state.counters["count"] = count;
}
BENCHMARK(BM_CountParagraphsAgainstOneWalk)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_GetTextRecordsAlreadyRead(benchmark::State& state) {
    auto& big = Item();
    if (!talix_bench::SkipUnless(state, big.ready, "cannot build the item")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (!talix_bench::ConnectBody(state, &item, big.path, big.id)) return;
    ZervaRTChunk* chunk = item.DefineChunk("Everything");
    std::vector<char> buffer(kTextBufferSize);
    for (auto _ : state) {
        const std::uint32_t length = chunk->GetText(nullptr, buffer.data(), kTextBufferSize, 1, nullptr);
        if (chunk->lastStatus != 0 || length == 0) {
            state.SkipWithError("get text failed");
            break;
        }
        benchmark::DoNotOptimize(length);
    }
    delete chunk;
}
BENCHMARK(BM_GetTextRecordsAlreadyRead)->Unit(benchmark::kMillisecond);

} // namespace
