// Getting the text of "Everything" over a 10 MB rich-text item (reading its
// records and walking them), against reading its records alone, and the
// walk alone over records already read.
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

using talix_bench::kTextBufferSize;

constexpr std::size_t kItemSize = 10u * 1024 * 1024;

void PutWord(std::string* out, std::uint16_t value) {
    out->push_back(static_cast<char>(value & 0xFF));
    out->push_back(static_cast<char>(value >> 8));
}

// One paragraph in stored form: a paragraph record, a reference to
// paragraph definition 1 and a text run of about 100 bytes.
std::string StoredParagraph(std::size_t number) {
    std::string text = "Paragraph " + std::to_string(number) +
                       " of the benchmark item, long enough to look like ordinary prose in a document.";
    if (text.size() % 2 != 0) text.push_back('.');
    std::string out = {'\x81', '\x02', '\x83', '\x04', '\x01', '\x00'};
    PutWord(&out, 0xFF85);
    PutWord(&out, static_cast<std::uint16_t>(8 + text.size()));
    out += std::string("\x01\x00\x00\x0A", 4);   // face 1, plain, black, 10 points
    out += text;
    return out;
}

// A database whose note "Body" item holds 10 MB of paragraphs, stored as
// items of at most 49,022 bytes of records.
struct BigItem {
    talix_bench::ScratchDir directory;
    std::string path;
    plat::NOTEID id = 0;
    std::size_t bytes = 0;
    bool ready = false;

    BigItem() {
        plat::LogSetEcho(false);
        if (directory.path().empty()) return;
        path = directory.File("text.nsf");
        plat::DBHANDLE db = 0;
        plat::NOTEHANDLE note = 0;
        if (plat::DbCreate(path.c_str(), &db) != 0) return;
        if (plat::NoteCreate(db, &note) == 0) {
            std::vector<std::string> paragraphs;
            for (std::size_t number = 1; bytes < kItemSize; ++number) {
                paragraphs.push_back(StoredParagraph(number));
                bytes += paragraphs.back().size();
            }
            talix_bench::StoreRecordItems(note, "Body", paragraphs);
            ready = plat::NoteUpdate(note, 0) == 0 && plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id) == 0;
            plat::NoteClose(note);
        }
        plat::DbClose(db);
    }
};

BigItem& Item() {
    static BigItem item;
    return item;
}

void GetText(benchmark::State& state, bool readEachTime) {
    BigItem& big = Item();
    if (!talix_bench::SkipUnless(state, big.ready, "cannot build the item")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (!talix_bench::ConnectBody(state, &item, big.path, big.id)) return;
    ZervaRTChunk* chunk = item.DefineChunk("Everything");
    std::vector<char> buffer(kTextBufferSize);
    for (auto _ : state) {
        if (readEachTime) talix_bench::ForgetRecords(&item);
        std::uint32_t length = chunk->GetText(nullptr, buffer.data(), kTextBufferSize, 1, nullptr);
        if (chunk->lastStatus != 0 || length == 0) {
            state.SkipWithError("get text failed");
            break;
        }
        benchmark::DoNotOptimize(length);
    }
    delete chunk;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * big.bytes));
}

void BM_GetTextEverything(benchmark::State& state) { GetText(state, true); }
BENCHMARK(BM_GetTextEverything)->Unit(benchmark::kMillisecond);

void BM_GetTextRecordsAlreadyRead(benchmark::State& state) { GetText(state, false); }
BENCHMARK(BM_GetTextRecordsAlreadyRead)->Unit(benchmark::kMillisecond);

void BM_ReadRecordsOnly(benchmark::State& state) {
    BigItem& big = Item();
    if (!talix_bench::SkipUnless(state, big.ready, "cannot build the item")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (!talix_bench::ConnectBody(state, &item, big.path, big.id)) return;
    talix_bench::ReadRecordsEachIteration(state, &item, 0);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * big.bytes));
}
BENCHMARK(BM_ReadRecordsOnly)->Unit(benchmark::kMillisecond);

} // namespace
