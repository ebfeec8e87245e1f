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
#include <benchmark/benchmark.h>
#include <tidy/tidy.h>
#include <tidy/tidybuffio.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "bench_support.h"
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

// The parser as the import sets it up.
void BM_ImportParserOwnParse(benchmark::State& state) {
    const std::string html = Input(state.range(0));
    if (!talix_bench::SkipUnless(state, !html.empty(), "the input is missing")) return;
    state.SetLabel(kInputs[state.range(0)]);
    for (auto _ : state) {
        TidyDoc doc = tidyCreate();
        talix::ConfigureImportParser(doc, false);
        TidyBuffer input;
        tidyBufInit(&input);
        tidyBufAttach(&input, reinterpret_cast<byte*>(const_cast<char*>(html.data())),
                      static_cast<uint>(html.size()));
        benchmark::DoNotOptimize(tidyParseBuffer(doc, &input));
        tidyBufDetach(&input);
        tidyRelease(doc);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * html.size()));
}

// A database with one note whose "Body" each run makes blank.
struct ImportNote : talix_bench::OneNoteDatabase {
    ImportNote() : OneNoteDatabase("import.nsf") {}
};

// Times AppendHTML of the HTML into the note's blank body; with mustImport,
// an import that fails ends the benchmark.
void TimeImports(benchmark::State& state, const ImportNote& note, const std::string& html, bool mustImport) {
    RARIvoSession session;
    for (auto _ : state) {
        state.PauseTiming();
        auto item = std::make_unique<ZervaRTItem>(&session);
        if (!talix_bench::ConnectBody(state, item.get(), note.path, note.id, 1) ||
            !talix_bench::SkipUnless(state, item->CreateBlankRichTextItem() == 0, "no blank item"))
            break;
        // The records stay pending in the item: the note is not updated.
        item->cacheRecords = 1;
        std::unique_ptr<ZervaRTChunk> chunk(item->DefineChunk("Everything"));
        state.ResumeTiming();
        const std::uint16_t status = chunk->AppendHTML("Inline", html.c_str(), nullptr);
        state.PauseTiming();
        if (mustImport && !talix_bench::SkipUnless(state, status == 0, "the import failed")) break;
        chunk.reset();
        item.reset();
        state.ResumeTiming();
    }
}

void BM_ImportWhole(benchmark::State& state) {
    static ImportNote note;
    const std::string html = Input(state.range(0));
    if (!talix_bench::SkipUnless(state, note.ready && !html.empty(), "no note or no input")) return;
    state.SetLabel(kInputs[state.range(0)]);
    TimeImports(state, note, html, true);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * html.size()));
}

std::string Repeat(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

struct Hostile {
    const char* label;
    std::string html;
};

const Hostile& HostileInput(std::int64_t which) {
    static const Hostile kHostile[] = {
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
    return kHostile[which];
}
constexpr int kLastHostile = 8;

void BM_ImportHostile(benchmark::State& state) {
    static ImportNote note;
    const Hostile& input = HostileInput(state.range(0));
    if (!talix_bench::SkipUnless(state, note.ready, "no note")) return;
    state.SetLabel(input.label);
    TimeImports(state, note, input.html, false);
}

BENCHMARK(BM_ImportParserOwnParse)->DenseRange(0, kLastInput)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_ImportWhole)->DenseRange(0, kLastInput)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_ImportHostile)->DenseRange(0, kLastHostile)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

} // namespace
