// Reading the Font property of each of the 1,000 text runs of an item,
// against getting the text of the same runs: both walk the item's records
// (already read) once per run.
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

constexpr int kRuns = 1000;

using talix_bench::AppendWord;

// One paragraph in stored form: a paragraph record, a reference to
// paragraph definition 1 and a text run in a font of its own.
std::string StoredParagraph(int number) {
    std::string text = "Run " + std::to_string(number) + " of the benchmark item";
    if (text.size() % 2 != 0) text.push_back('.');
    std::string out = {'\x81', '\x02', '\x83', '\x04', '\x01', '\x00'};
    AppendWord(&out, 0xFF85);
    AppendWord(&out, static_cast<std::uint16_t>(8 + text.size()));
    const char attributes = static_cast<char>(number % 4);   // plain, bold, italic, bold italic
    const char colour = static_cast<char>(number % 16);
    out += std::string{'\x01', attributes, colour, '\x0A'};
    out += text;
    return out;
}

// A database whose note holds a "Body" item of 1,000 paragraphs.
struct RunsItem {
    talix_bench::ScratchDir directory;
    std::string path;
    plat::NOTEID id = 0;
    bool ready = false;

    RunsItem() {
        plat::LogSetEcho(false);
        if (directory.path().empty()) return;
        path = directory.File("runs.nsf");
        plat::DBHANDLE db = 0;
        plat::NOTEHANDLE note = 0;
        if (plat::DbCreate(path.c_str(), &db) != 0) return;
        if (plat::NoteCreate(db, &note) == 0) {
            std::vector<std::string> paragraphs;
            for (int number = 1; number <= kRuns; ++number) paragraphs.push_back(StoredParagraph(number));
            talix_bench::StoreRecordItems(note, "Body", paragraphs);
            ready = plat::NoteUpdate(note, 0) == 0 && plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id) == 0;
            plat::NoteClose(note);
        }
        plat::DbClose(db);
    }
};

RunsItem& TheRunsItem() {
    static RunsItem item;
    return item;
}

// Runs read over the 1,000 chunks "Text 1" to "Text 1000" per iteration.
template <typename Read>
void EachRun(benchmark::State& state, Read read) {
    RunsItem& runs = TheRunsItem();
    if (!talix_bench::SkipUnless(state, runs.ready, "cannot build the item")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (!talix_bench::ConnectBody(state, &item, runs.path, runs.id)) return;
    std::vector<ZervaRTChunk*> chunks;
    for (int number = 1; number <= kRuns; ++number)
        chunks.push_back(item.DefineChunk(("Text " + std::to_string(number)).c_str()));
    std::vector<char> buffer(talix_bench::kTextBufferSize);
    for (auto _ : state) {
        for (ZervaRTChunk* chunk : chunks) {
            const std::uint32_t length = read(chunk, buffer.data());
            if (chunk->lastStatus != 0 || length == 0) {
                state.SkipWithError("read failed");
                break;
            }
            benchmark::DoNotOptimize(length);
        }
    }
    for (ZervaRTChunk* chunk : chunks) delete chunk;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kRuns);
}

void BM_FontOfEachRun(benchmark::State& state) {
    EachRun(state, [](ZervaRTChunk* chunk, char* buffer) {
        return static_cast<std::uint32_t>(chunk->GetPropertyText("Font", buffer, 4095));
    });
}
BENCHMARK(BM_FontOfEachRun)->Unit(benchmark::kMillisecond);

void BM_TextOfEachRun(benchmark::State& state) {
    EachRun(state, [](ZervaRTChunk* chunk, char* buffer) {
        return chunk->GetText(nullptr, buffer, talix_bench::kTextBufferSize, 0, nullptr);
    });
}
BENCHMARK(BM_TextOfEachRun)->Unit(benchmark::kMillisecond);

} // namespace
