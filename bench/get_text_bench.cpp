// Over a 10 MB item of paragraphs: getting the text of "Everything"
// (reading the records and walking them) against the bare read of its
// records, and counting its paragraphs against one walk of its records,
// each pair timed in the same iteration. Also the get-text alone on records
// already read.
#include <benchmark/benchmark.h>

#include <chrono>
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
using Clock = std::chrono::steady_clock;

constexpr std::size_t kItemSize = 10u * 1024 * 1024;

talix_bench::ParagraphsNote& Item() {
    static talix_bench::ParagraphsNote note(kItemSize);
    return note;
}

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// Each iteration: the text of "Everything" with the records read afresh,
// then the bare read of the records ("x_read" is the ratio of the sums).
void BM_GetTextEverythingAgainstRead(benchmark::State& state) {
    auto& big = Item();
    if (!talix_bench::SkipUnless(state, big.ready, "cannot build the item")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (!talix_bench::ConnectBody(state, &item, big.path, big.id)) return;
    ZervaRTChunk* chunk = item.DefineChunk("Everything");
    std::vector<char> buffer(kTextBufferSize);
    double texts = 0, reads = 0;
    for (auto _ : state) {
        talix_bench::ForgetRecords(&item);
        const auto start = Clock::now();
        const std::uint32_t length = chunk->GetText(nullptr, buffer.data(), kTextBufferSize, 1, nullptr);
        const auto middle = Clock::now();
        // Both read into memory the other has just given back.
        talix_bench::ForgetRecords(&item);
        const auto read = Clock::now();
        talix::STATUS status = 0;
        talix::ItemRecordList* list = talix::SIAR(&item, 0, nullptr, 0, 0, 0, nullptr, &status);
        const auto end = Clock::now();
        talix::DeleteItemRecordList(&session, list);
        if (chunk->lastStatus != 0 || length == 0 || status != 0) {
            state.SkipWithError("get text or read failed");
            break;
        }
        texts += Seconds(start, middle);
        reads += Seconds(read, end);
        state.SetIterationTime(Seconds(start, middle));
    }
    delete chunk;
    if (reads > 0) {
        state.counters["read_ms"] = reads * 1e3 / static_cast<double>(state.iterations());
        state.counters["x_read"] = texts / reads;
    }
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
    ZervaRTChunk* everything = item.DefineChunk("Everything");
    everything->GetCount("Table");   // reads the records
    double counts = 0, walks = 0;
    std::int16_t count = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        count = everything->GetCount("Paragraph");
        const auto middle = Clock::now();
        ZervaRTChunk* table = item.DefineChunk("Table 1");
        const int found = table->Exists();
        const auto end = Clock::now();
        delete table;
        if (count <= 0 || found != 0) {
            state.SkipWithError("count or walk failed");
            break;
        }
        counts += Seconds(start, middle);
        walks += Seconds(middle, end);
        state.SetIterationTime(Seconds(start, middle));
    }
    delete everything;
    state.counters["paragraphs"] = static_cast<double>(big.paragraphs);
    state.counters["count"] = count;
    if (walks > 0) {
        state.counters["walk_ms"] = walks * 1e3 / static_cast<double>(state.iterations());
        state.counters["x_walk"] = counts / walks;
    }
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
