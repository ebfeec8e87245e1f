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

constexpr std::size_t kMegabyte = 1024 * 1024;

void PutWord(std::string* out, std::uint16_t value) {
    out->push_back(static_cast<char>(value & 0xFF));
    out->push_back(static_cast<char>(value >> 8));
}

// A text run in stored form: face, attributes, colour, size, then the text.
std::string StoredRun(const std::string& font, std::string text) {
    if (text.size() % 2 != 0) text.push_back('.');
    std::string out;
    PutWord(&out, 0xFF85);
    PutWord(&out, static_cast<std::uint16_t>(8 + text.size()));
    return out + font + text;
}

// Prose of about size bytes: words of ASCII letters or, with mixed, three
// characters in ten outside ASCII (in the platform's own forms).
std::string Prose(std::size_t size, bool mixed, std::size_t seed) {
    static const std::string latin = plat::NativeToLmbcs("\xC3\xA9\xC3\xBC\xC3\xB1\xC3\xA0\xC3\xA7");
    static const std::string greek = plat::NativeToLmbcs("\xCE\xB1\xCE\xB2\xCE\xB3\xCE\xB4\xCE\xB5");
    std::string text;
    for (std::size_t i = seed; text.size() < size; ++i) {
        const std::size_t slot = i % 10;
        if (mixed && slot == 5) {
            text += latin[i % latin.size()];
        } else if (mixed && (slot == 2 || slot == 8)) {
            text += greek.substr(((i / 10) % 5) * 3, 3);
        } else {
            text += slot == 9 ? ' ' : static_cast<char>('a' + i % 26);
        }
    }
    return text;
}

// One paragraph in stored form: a paragraph record, a reference to
// paragraph definition 1, then three runs in three fonts.
std::string StoredParagraph(std::size_t number, bool mixed) {
    static const std::string fonts[3] = {std::string("\x01\x00\x00\x0A", 4), std::string("\x01\x01\x02\x0C", 4),
                                         std::string("\x04\x02\x00\x0A", 4)};
    std::string out = {'\x81', '\x02', '\x83', '\x04', '\x01', '\x00'};
    for (int run = 0; run < 3; ++run) out += StoredRun(fonts[run], Prose(100, mixed, number * 3 + run));
    return out;
}

// A note whose "Body" item holds about size bytes of paragraphs.
struct TextItem {
    talix_bench::ScratchDir directory;
    std::string path;
    plat::NOTEID id = 0;
    std::size_t bytes = 0;
    bool ready = false;

    TextItem(std::size_t size, bool mixed) {
        plat::LogSetEcho(false);
        if (directory.path().empty()) return;
        path = directory.File("walk.nsf");
        plat::DBHANDLE db = 0;
        plat::NOTEHANDLE note = 0;
        if (plat::DbCreate(path.c_str(), &db) != 0) return;
        if (plat::NoteCreate(db, &note) == 0) {
            std::vector<std::string> records;
            for (std::size_t number = 1; bytes < size; ++number) {
                records.push_back(StoredParagraph(number, mixed));
                bytes += records.back().size();
            }
            talix_bench::StoreRecordItems(note, "Body", records);
            ready = plat::NoteUpdate(note, 0) == 0 && plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id) == 0;
            plat::NoteClose(note);
        }
        plat::DbClose(db);
    }
};

TextItem& Item(std::size_t size, bool mixed) {
    static std::map<std::pair<std::size_t, bool>, std::unique_ptr<TextItem>> items;
    auto& item = items[{size, mixed}];
    if (item == nullptr) item = std::make_unique<TextItem>(size, mixed);
    return *item;
}

std::uint16_t Discard(ZervaRTChunk*, char*, std::uint16_t) { return 0; }

// HTML of the whole item, streamed to the event; the records are read again
// for every run (readEach), or read once and held by the item as it holds
// them between operations, which measures the walk on its own.
void Generate(benchmark::State& state, std::size_t size, bool mixed, bool readEach) {
    TextItem& big = Item(size, mixed);
    if (!talix_bench::SkipUnless(state, big.ready, "cannot build the item")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (!talix_bench::ConnectBody(state, &item, big.path, big.id)) return;
    ZervaRTChunk* chunk = item.DefineChunk("Everything");
    for (auto _ : state) {
        if (readEach) talix_bench::ForgetRecords(&item);
        char* block = chunk->GenerateHTML(nullptr, "HTML", "OutputToEvent=Yes", 0, Discard, nullptr);
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
    TextItem& big = Item(size, false);
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
