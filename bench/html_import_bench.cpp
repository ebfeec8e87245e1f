// Importing HTML into a blank rich-text item: the whole import (operation
// 2448 through AppendHTML: parse, clean-up passes, walk and the records
// handed to the item's pending records; the note is not updated) against
// the parser's own parse of the same bytes (its document released). Both
// count the processor time of every thread (the import parses on a thread
// of its own, with a stack deep enough for the document). The
// inputs are kept in bench/data (made by scripts/make_import_bench_html.py):
// prose with fonts and CSS, and a list-heavy document, each at 250 KB and
// at 1 MB, and a table-heavy document of 250 and of 1,000 rows of five
// columns. Besides, HTML made to be slow: nesting past the import's bound
// (refused before the parse), the worst inputs just below the bounds (parsed
// and converted), and an input the parser does not end on (stopped).
// The ratios the import is held to are printed by two benchmarks that time
// both sides in every iteration, in a random order, by the process's
// processor time: the import against the parser's own parse of the same
// bytes ("x_parse", the ratio of the sums), and the import of the larger
// input of a kind against the smaller ("x_4n": 1 MB against 250 KB, 1,000
// rows against 250).
#include <benchmark/benchmark.h>
#include <time.h>
#include <tidy/tidy.h>
#include <tidy/tidybuffio.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <random>
#include <memory>
#include <sstream>
#include <string>

#include "bench_support.h"
#include "hostile_markup.h"
#include "htmlimport/tidy_parse.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

const char* const kInputs[] = {"import-prose-250k.html",  "import-prose-1m.html",   "import-lists-250k.html",
                               "import-lists-1m.html",    "import-tables-250.html", "import-tables-1000.html"};
constexpr int kLastInput = sizeof kInputs / sizeof kInputs[0] - 1;

std::string Input(std::int64_t which) {
    std::ifstream file(std::string(TALIX_SOURCE_DIR) + "/bench/data/" + kInputs[which], std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

// The parser's parse of the bytes as the import sets it up, the document
// released.
void ParseAsTheImportDoes(const std::string& html) {
    TidyDoc doc = tidyCreate();
    talix::ConfigureImportParser(doc, false);
    TidyBuffer input;
    tidyBufInit(&input);
    tidyBufAttach(&input, reinterpret_cast<byte*>(const_cast<char*>(html.data())), static_cast<uint>(html.size()));
    benchmark::DoNotOptimize(tidyParseBuffer(doc, &input));
    tidyBufDetach(&input);
    tidyRelease(doc);
}

// The parser as the import sets it up.
void BM_ImportParserOwnParse(benchmark::State& state) {
    const std::string html = Input(state.range(0));
    if (!talix_bench::SkipUnless(state, !html.empty(), "the input is missing")) return;
    state.SetLabel(kInputs[state.range(0)]);
    for (auto _ : state) ParseAsTheImportDoes(html);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * html.size()));
}

// A database with one note whose "Body" each run makes blank.
struct ImportNote : talix_bench::OneNoteDatabase {
    ImportNote() : OneNoteDatabase("import.nsf") {}
};

// The processor time of the whole process, in seconds.
double ProcessSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// One import of the HTML into the note's blank body, the records left
// pending in the item (the note is not updated); only AppendHTML is timed
// (pausing the benchmark's timer with timed). Its seconds of processor time
// and status, or false when the item could not be made (the run skipped).
bool ImportOnce(benchmark::State& state, RARIvoSession* session, const ImportNote& note, const std::string& html,
                bool timed, double* seconds, std::uint16_t* status) {
    if (timed) state.PauseTiming();
    auto item = std::make_unique<ZervaRTItem>(session);
    if (!talix_bench::ConnectBody(state, item.get(), note.path, note.id, 1) ||
        !talix_bench::SkipUnless(state, item->CreateBlankRichTextItem() == 0, "no blank item"))
        return false;
    item->cacheRecords = 1;
    std::unique_ptr<ZervaRTChunk> chunk(item->DefineChunk("Everything"));
    if (timed) state.ResumeTiming();
    const double start = ProcessSeconds();
    *status = chunk->AppendHTML("Inline", html.c_str(), nullptr);
    *seconds = ProcessSeconds() - start;
    if (timed) state.PauseTiming();
    chunk.reset();
    item.reset();
    if (timed) state.ResumeTiming();
    return true;
}

// Times AppendHTML of the HTML into the note's blank body; with mustImport,
// an import that fails ends the benchmark.
void TimeImports(benchmark::State& state, const ImportNote& note, const std::string& html, bool mustImport) {
    RARIvoSession session;
    for (auto _ : state) {
        double seconds = 0;
        std::uint16_t status = 0;
        if (!ImportOnce(state, &session, note, html, true, &seconds, &status)) break;
        if (mustImport && !talix_bench::SkipUnless(state, status == 0, "the import failed")) break;
    }
}

// Two steps, each returning its seconds (negative: it failed, and the run
// stops), run in every iteration in a random order. The iteration's time
// is the first step's; the counters give the second's mean in milliseconds
// (secondName) and the ratio of the sums, first to second (ratioName).
void ShuffledPair(benchmark::State& state, const std::function<double()>& first,
                  const std::function<double()>& second, const char* secondName, const char* ratioName) {
    std::mt19937 random(12345);
    double firsts = 0, seconds = 0;
    for (auto _ : state) {
        double times[2] = {0, 0};
        const bool firstFirst = (random() & 1u) != 0;
        times[firstFirst ? 0 : 1] = firstFirst ? first() : second();
        times[firstFirst ? 1 : 0] = firstFirst ? second() : first();
        if (times[0] < 0 || times[1] < 0) {
            state.SkipWithError("a step failed");
            return;
        }
        firsts += times[0];
        seconds += times[1];
        state.SetIterationTime(times[0]);
    }
    if (seconds > 0) {
        state.counters[secondName] = seconds * 1e3 / static_cast<double>(state.iterations());
        state.counters[ratioName] = firsts / seconds;
    }
}

// The import of an input against the parser's own parse of it.
void BM_ImportAgainstParse(benchmark::State& state) {
    static ImportNote note;
    const std::string html = Input(state.range(0));
    if (!talix_bench::SkipUnless(state, note.ready && !html.empty(), "no note or no input")) return;
    state.SetLabel(kInputs[state.range(0)]);
    RARIvoSession session;
    auto import = [&] {
        double seconds = -1;
        std::uint16_t status = 0;
        return ImportOnce(state, &session, note, html, false, &seconds, &status) && status == 0 ? seconds : -1.0;
    };
    auto parse = [&] {
        const double start = ProcessSeconds();
        ParseAsTheImportDoes(html);
        return ProcessSeconds() - start;
    };
    ShuffledPair(state, import, parse, "parse_ms", "x_parse");
}

// The import of the larger input of a kind (range 0: prose, 1: lists, 2:
// tables) against the smaller.
void BM_ImportScaling(benchmark::State& state) {
    static ImportNote note;
    const std::string small = Input(2 * state.range(0));
    const std::string large = Input(2 * state.range(0) + 1);
    if (!talix_bench::SkipUnless(state, note.ready && !small.empty() && !large.empty(), "no note or no input"))
        return;
    state.SetLabel(std::string(kInputs[2 * state.range(0) + 1]) + " against " + kInputs[2 * state.range(0)]);
    RARIvoSession session;
    auto importOf = [&](const std::string& html) {
        double seconds = -1;
        std::uint16_t status = 0;
        return ImportOnce(state, &session, note, html, false, &seconds, &status) && status == 0 ? seconds : -1.0;
    };
    ShuffledPair(state, [&] { return importOf(large); }, [&] { return importOf(small); }, "smaller_ms", "x_4n");
}

void BM_ImportWhole(benchmark::State& state) {
    static ImportNote note;
    const std::string html = Input(state.range(0));
    if (!talix_bench::SkipUnless(state, note.ready && !html.empty(), "no note or no input")) return;
    state.SetLabel(kInputs[state.range(0)]);
    TimeImports(state, note, html, true);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * html.size()));
}

// Markup made to be slow for the parser (hostile_markup.h): the label
// says what became of it ("refused", "imported", "stopped").
void BM_ImportHostile(benchmark::State& state) {
    static ImportNote note;
    const talix_bench::HostileMarkup& input = talix_bench::HostileMarkups()[static_cast<std::size_t>(state.range(0))];
    if (!talix_bench::SkipUnless(state, note.ready, "no note")) return;
    RARIvoSession session;
    std::uint16_t status = 0;
    for (auto _ : state) {
        double seconds = 0;
        if (!ImportOnce(state, &session, note, input.html, true, &seconds, &status)) break;
    }
    state.SetLabel(std::string(input.label) + (status == 0 ? ": imported" : ": refused, status " + std::to_string(status)));
}

BENCHMARK(BM_ImportParserOwnParse)->DenseRange(0, kLastInput)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_ImportWhole)->DenseRange(0, kLastInput)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_ImportAgainstParse)->DenseRange(0, kLastInput)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_ImportScaling)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_ImportHostile)
    ->DenseRange(0, static_cast<int>(talix_bench::HostileMarkups().size()) - 1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

} // namespace
