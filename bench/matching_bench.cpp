// Link matching: a call that builds its keys from the documents of a view
// of 4,000 or 16,000 documents (the work should grow with the documents,
// not with their square), and a call that finds its keys in the session's
// cache; the keys and text of ASCII letters, both with a letter beyond ASCII
// before each word, or ASCII keys over text in which every other word has
// such a letter before it. KeywordMatching leaves the item as it was, so
// every iteration does the same work.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "platform/view_index.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

// A word of five letters for each number, its first letter varying first.
std::string Word(int number) {
    std::string word;
    for (int i = 0; i < 5; ++i) {
        word += static_cast<char>('a' + number % 26);
        number /= 26;
    }
    return word;
}

// What the keys and the text are made of.
enum Letters { kAscii = 0, kBeyondAscii = 1, kAsciiKeysOverMixedText = 2 };

// A letter beyond ASCII, in the platform's own form.
const std::string& Umlaut() {
    static const std::string letter = plat::NativeToLmbcs("\xC3\xB6");
    return letter;
}

// A key database of a number of documents (view "Terms" by Term) and a
// note whose "Body" holds one paragraph of some of the words.
struct MatchingData {
    talix_bench::ScratchDir directory;
    std::string keys;
    std::string path;
    plat::NOTEID id = 0;
    bool ready = false;

    MatchingData(int documents, Letters letters) {
        plat::LogSetEcho(false);
        if (directory.path().empty()) return;
        keys = directory.File("keys.nsf");
        path = directory.File("text.nsf");
        plat::DBHANDLE db = 0;
        if (plat::DbCreate(keys.c_str(), &db) != 0) return;
        plat::NOTEID view = 0;
        bool made = plat::ViewNoteCreate(db, plat::ViewDefinition{"Terms", "", {"Term"}, {"sorted"}}, &view) == 0;
        for (int number = 0; made && number < documents; ++number) {
            plat::NOTEHANDLE note = 0;
            made = plat::NoteCreate(db, &note) == 0;
            if (!made) break;
            const std::string term = (letters == kBeyondAscii ? Umlaut() : std::string()) + Word(number);
            plat::ItemSetText(note, "Term", term.data(), static_cast<plat::WORD>(term.size()));
            made = plat::NoteUpdate(note, 0) == 0;
            plat::NoteClose(note);
        }
        plat::DbClose(db);
        if (!made || plat::DbCreate(path.c_str(), &db) != 0) return;
        plat::NOTEHANDLE note = 0;
        if (plat::NoteCreate(db, &note) == 0) {
            std::string text;
            for (int number = 0; number < 40; ++number) {
                const bool marked = letters == kBeyondAscii || (letters == kAsciiKeysOverMixedText && number % 2 == 0);
                text += (marked ? Umlaut() : std::string()) + Word(number * 97) + " and ";
            }
            std::string record = {'\x81', '\x02', '\x83', '\x04', '\x01', '\x00', '\x85', '\xFF'};
            record.push_back(static_cast<char>((8 + text.size()) & 0xFF));
            record.push_back(static_cast<char>((8 + text.size()) >> 8));
            record += std::string{'\x01', '\x00', '\x00', '\x0A'} + text;
            talix_bench::StoreRecordItems(note, "Body", {record});
            ready = plat::NoteUpdate(note, 0) == 0 && plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id) == 0;
            plat::NoteClose(note);
        }
        plat::DbClose(db);
    }
};

MatchingData& Data(int documents, Letters letters) {
    static std::map<std::pair<int, Letters>, std::unique_ptr<MatchingData>> made;
    std::unique_ptr<MatchingData>& data = made[{documents, letters}];
    if (data == nullptr) data = std::make_unique<MatchingData>(documents, letters);
    return *data;
}

void Keywords(benchmark::State& state, bool cached) {
    MatchingData& data = Data(static_cast<int>(state.range(0)), static_cast<Letters>(state.range(1)));
    if (!talix_bench::SkipUnless(state, data.ready, "cannot build the databases")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (!talix_bench::ConnectBody(state, &item, data.path, data.id)) return;
    item.cacheLinkMatching = cached ? 1 : 0;
    ZervaRTChunk* chunk = item.DefineChunk("Everything");
    // The cached runs find the keys of a first call.
    if (cached) chunk->KeywordMatching("", data.keys.c_str(), "Terms", "Term", nullptr, nullptr);
    for (auto _ : state) {
        const std::uint16_t status = chunk->KeywordMatching("", data.keys.c_str(), "Terms", "Term", nullptr, nullptr);
        if (status != 0) {
            state.SkipWithError("the matching failed");
            break;
        }
        benchmark::DoNotOptimize(session.textResult[0]);
    }
    delete chunk;
}

void BM_MatchingBuildsItsKeys(benchmark::State& state) { Keywords(state, false); }
void BM_MatchingWithCachedKeys(benchmark::State& state) { Keywords(state, true); }

BENCHMARK(BM_MatchingBuildsItsKeys)->ArgsProduct({{4000, 16000}, {0, 1, 2}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MatchingWithCachedKeys)->ArgsProduct({{4000, 16000}, {0, 1, 2}})->Unit(benchmark::kMillisecond);

} // namespace
