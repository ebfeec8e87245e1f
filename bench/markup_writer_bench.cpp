// The program's markup writer against the generation alone: the HTML of an
// item of 80,000 paragraphs (of ASCII, and with three characters in ten
// outside ASCII), handed on as it is made to an event that does nothing,
// and to an event that converts it to UTF-8 and writes it to a new file, or
// to a stream that drops what it is given (the writer's own work without
// the file system's; "x_gen" is the ratio of the sums, writer to
// generation alone).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/pool.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"
#include "tools/markup_writer.h"

namespace {

constexpr std::size_t kParagraphs = 80000;

// A database of its own whose note's "Body" holds the paragraphs.
struct ParagraphItem : talix_bench::OneNoteDatabase {
    explicit ParagraphItem(bool mixed) : OneNoteDatabase("writer.nsf") {
        std::vector<std::string> records;
        for (std::size_t number = 1; number <= kParagraphs; ++number)
            records.push_back(mixed ? talix_bench::StoredProseParagraph(number, true)
                                    : talix_bench::StoredParagraph(number));
        if (ready) ready = talix_bench::StoreBody(path, id, records);
    }
};

ParagraphItem& ItemOf(bool mixed) {
    static std::unique_ptr<ParagraphItem> items[2];
    auto& item = items[mixed ? 1 : 0];
    if (item == nullptr) item = std::make_unique<ParagraphItem>(mixed);
    return *item;
}

talix_cli::MarkupWriter* g_writer = nullptr;

std::uint16_t WriteText(ZervaRTChunk*, char* text, std::uint16_t length) {
    g_writer->Write(text, length);
    return 0;
}

// A stream that takes whatever is written to it and keeps nothing.
std::FILE* DroppingStream() {
    cookie_io_functions_t functions{};
    functions.write = [](void*, const char*, std::size_t size) -> ssize_t { return static_cast<ssize_t>(size); };
    return fopencookie(nullptr, "w", functions);
}

void WriterAgainstGeneration(benchmark::State& state, bool mixed, bool toFile) {
    ParagraphItem& note = ItemOf(mixed);
    if (!talix_bench::SkipUnless(state, note.ready, "cannot build the item")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (!talix_bench::ConnectBody(state, &item, note.path, note.id)) return;
    std::unique_ptr<ZervaRTChunk> chunk(item.DefineChunk("Everything"));
    // A new file each time, as the program writes one (a file cut back to
    // nothing and written again costs the file system more), removed after.
    int files = 0;
    // The generation with its text handed to the event; what is left in
    // the buffer at the end goes to the writer too.
    auto generate = [&](decltype(&talix_bench::DiscardText) event, talix_cli::MarkupWriter* writer) {
        char* block = chunk->GenerateHTML(nullptr, "HTML", "OutputToEvent=Yes", 0, event, nullptr);
        const bool ok = block != nullptr && chunk->lastStatus == 0;
        if (ok && writer != nullptr) writer->Write(block, session.textResultLength);
        if (block != nullptr) talix::ZervaDeallocate(&session, block);
        return ok;
    };
    auto alone = [&] { return talix_bench::TimeStep([&] { return generate(talix_bench::DiscardText, nullptr); }); };
    auto written = [&] {
        const std::string file = note.directory.File("out" + std::to_string(++files) + ".html");
        const double seconds = talix_bench::TimeStep([&] {
            std::FILE* out = toFile ? std::fopen(file.c_str(), "wb") : DroppingStream();
            if (out == nullptr) return false;
            talix_cli::MarkupWriter writer(out);
            g_writer = &writer;
            const bool ok = generate(WriteText, &writer);
            writer.Finish();
            g_writer = nullptr;
            return std::fclose(out) == 0 && ok && !writer.failed();
        });
        if (toFile) std::remove(file.c_str());
        return seconds;
    };
    talix_bench::RatioOfSteps(state, written, alone, "gen_ms", "x_gen");
}

void BM_WriterAgainstGenerationText(benchmark::State& state) { WriterAgainstGeneration(state, false, true); }
void BM_WriterAgainstGenerationMixed(benchmark::State& state) { WriterAgainstGeneration(state, true, true); }
void BM_WriterOwnWorkText(benchmark::State& state) { WriterAgainstGeneration(state, false, false); }
void BM_WriterOwnWorkMixed(benchmark::State& state) { WriterAgainstGeneration(state, true, false); }
BENCHMARK(BM_WriterAgainstGenerationText)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_WriterAgainstGenerationMixed)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_WriterOwnWorkText)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_WriterOwnWorkMixed)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace
