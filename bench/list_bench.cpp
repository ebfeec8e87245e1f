// The generation over list-heavy items: 5,000 paragraphs against 20,000,
// each a list paragraph of one of 200 definitions (numbered and bulleted,
// on three levels of first-line margins), taken in turn level 1, 2, 3 so
// that lists open, nest and close all the way through; HTML streamed to a
// text event that does nothing, the records held by the item. The same
// with 300 definitions, more than the engine collects, so that definitions
// are found by walking back over the records.
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

constexpr int kDefinitions = 200;
constexpr int kManyDefinitions = 300;
constexpr int kLevels = 3;
constexpr std::uint16_t kStoredDefinitionLength = 70;

void PutWord(std::string* out, std::size_t at, std::uint16_t value) {
    (*out)[at] = static_cast<char>(value & 0xFF);
    (*out)[at + 1] = static_cast<char>(value >> 8);
}

// A paragraph definition in stored form: definition id's level gives its
// first-line margin, every other group of three is numbered.
std::string StoredDefinition(int id) {
    std::string out(kStoredDefinitionLength, '\0');
    PutWord(&out, 0, 0xFF82);
    PutWord(&out, 2, kStoredDefinitionLength);
    PutWord(&out, 4, static_cast<std::uint16_t>(id));
    const auto margin = static_cast<std::uint16_t>(1440 + 720 * ((id - 1) % kLevels));
    PutWord(&out, 14, margin);
    PutWord(&out, 18, margin);
    PutWord(&out, 62, ((id - 1) / kLevels) % 2 == 0 ? 0x1000 : 0x0400);
    return out;
}

std::string StoredReference(int id) {
    std::string out(4, '\0');
    out[0] = static_cast<char>(0x83);
    out[1] = 4;
    PutWord(&out, 2, static_cast<std::uint16_t>(id));
    return out;
}

std::string StoredRun(std::string text) {
    if (text.size() % 2 != 0) text.push_back('.');
    std::string out(8, '\0');
    PutWord(&out, 0, 0xFF85);
    PutWord(&out, 2, static_cast<std::uint16_t>(8 + text.size()));
    out[4] = 1;
    out[7] = 10;
    return out + text;
}

struct ListItem {
    talix_bench::ScratchDir directory;
    std::string path;
    plat::NOTEID id = 0;
    bool ready = false;

    ListItem(int paragraphs, int definitions) {
        plat::LogSetEcho(false);
        if (directory.path().empty()) return;
        path = directory.File("lists.nsf");
        plat::DBHANDLE db = 0;
        plat::NOTEHANDLE note = 0;
        if (plat::DbCreate(path.c_str(), &db) != 0) return;
        if (plat::NoteCreate(db, &note) == 0) {
            std::vector<std::string> records;
            for (int id = 1; id <= definitions; ++id) records.push_back(StoredDefinition(id));
            const int groups = definitions / kLevels;
            for (int i = 0; i < paragraphs; ++i) {
                const int group = (i / kLevels) % groups;
                records.push_back(StoredReference(group * kLevels + i % kLevels + 1));
                records.push_back(StoredRun("item " + std::to_string(i) + " of the list"));
            }
            talix_bench::StoreRecordItems(note, "Body", records);
            ready = plat::NoteUpdate(note, 0) == 0 && plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id) == 0;
            plat::NoteClose(note);
        }
        plat::DbClose(db);
    }
};

ListItem& Item(int paragraphs, int definitions) {
    static std::map<std::pair<int, int>, std::unique_ptr<ListItem>> items;
    auto& item = items[{paragraphs, definitions}];
    if (item == nullptr) item = std::make_unique<ListItem>(paragraphs, definitions);
    return *item;
}

void Generate(benchmark::State& state, int paragraphs, const char* format, int definitions = kDefinitions) {
    ListItem& list = Item(paragraphs, definitions);
    if (!talix_bench::SkipUnless(state, list.ready, "cannot build the item")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (!talix_bench::ConnectBody(state, &item, list.path, list.id)) return;
    ZervaRTChunk* chunk = item.DefineChunk("Everything");
    for (auto _ : state) {
        char* block = chunk->GenerateHTML(nullptr, format, "OutputToEvent=Yes", 0, talix_bench::DiscardText, nullptr);
        if (block == nullptr || chunk->lastStatus != 0) {
            state.SkipWithError("generation failed");
            break;
        }
        talix::ZervaDeallocate(&session, block);
    }
    delete chunk;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * paragraphs);
}

void BM_ListsHtml5000(benchmark::State& state) { Generate(state, 5000, "HTML"); }
BENCHMARK(BM_ListsHtml5000)->Unit(benchmark::kMillisecond);

void BM_ListsHtml20000(benchmark::State& state) { Generate(state, 20000, "HTML"); }
BENCHMARK(BM_ListsHtml20000)->Unit(benchmark::kMillisecond);

void BM_ListsXhtml5000(benchmark::State& state) { Generate(state, 5000, "XHTML"); }
BENCHMARK(BM_ListsXhtml5000)->Unit(benchmark::kMillisecond);

void BM_ListsXhtml20000(benchmark::State& state) { Generate(state, 20000, "XHTML"); }
BENCHMARK(BM_ListsXhtml20000)->Unit(benchmark::kMillisecond);

void BM_ListsManyDefinitionsHtml5000(benchmark::State& state) { Generate(state, 5000, "HTML", kManyDefinitions); }
BENCHMARK(BM_ListsManyDefinitionsHtml5000)->Unit(benchmark::kMillisecond);

void BM_ListsManyDefinitionsHtml20000(benchmark::State& state) { Generate(state, 20000, "HTML", kManyDefinitions); }
BENCHMARK(BM_ListsManyDefinitionsHtml20000)->Unit(benchmark::kMillisecond);

} // namespace
