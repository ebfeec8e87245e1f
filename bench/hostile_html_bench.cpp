// Importing HTML made to be slow: nesting past the import's bound (refused
// before the parse), the worst inputs just below the bounds (parsed and
// converted), and an input the parser does not end on (stopped). Each is a
// whole import through AppendHTML into a blank item, as BM_ImportWhole.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>

#include "bench_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace {

std::string Repeat(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

struct Hostile {
    const char* label;
    std::string html;
};

const Hostile& Input(std::int64_t which) {
    static const Hostile kInputs[] = {
        {"100,000 open div (refused)", Repeat("<div>", 100000) + "x"},
        {"100,000 closed div (refused)", Repeat("<div>", 100000) + "x" + Repeat("</div>", 100000)},
        {"20,000 blockquote (refused)", Repeat("<blockquote>", 20000) + "x"},
        {"20,000 table rows and cells (refused)", Repeat("<table><tr><td>", 20000) + "x"},
        {"999 blockquote", Repeat("<blockquote>", 999) + "x"},
        {"333 tables", Repeat("<table><tr><td>", 333) + "x"},
        {"998 div and span", Repeat("<div><span>", 499) + "x"},
        {"316 fonts opened again", Repeat("<div><font>x</div>", 316)},
        {"a loop of the parser (stopped)", "<tr><dl>x</table>"},
    };
    return kInputs[which];
}
constexpr int kLastInput = 8;

struct HostileNote : talix_bench::OneNoteDatabase {
    HostileNote() : OneNoteDatabase("hostile.nsf") {}
};

void BM_HostileImport(benchmark::State& state) {
    static HostileNote note;
    const Hostile& input = Input(state.range(0));
    if (!talix_bench::SkipUnless(state, note.ready, "no note")) return;
    state.SetLabel(input.label);
    RARIvoSession session;
    for (auto _ : state) {
        state.PauseTiming();
        auto item = std::make_unique<ZervaRTItem>(&session);
        if (!talix_bench::ConnectBody(state, item.get(), note.path, note.id, 1) ||
            !talix_bench::SkipUnless(state, item->CreateBlankRichTextItem() == 0, "no blank item"))
            break;
        item->cacheRecords = 1;
        std::unique_ptr<ZervaRTChunk> chunk(item->DefineChunk("Everything"));
        state.ResumeTiming();
        benchmark::DoNotOptimize(chunk->AppendHTML("Inline", input.html.c_str(), nullptr));
        state.PauseTiming();
        chunk.reset();
        item.reset();
        state.ResumeTiming();
    }
}

BENCHMARK(BM_HostileImport)->DenseRange(0, kLastInput)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

} // namespace
