// The generation over items of mixed active content, N blocks against 4N:
// each block a list paragraph, a URL hotspot, a document link by index into
// the note's "$Links", a picture and a collapsible section around a
// paragraph of text. Rendered as HTML into the text event, the records held
// by the item (read once), so that the times compare the writers' work.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/pool.h"
#include "core/record_forms.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

// A host-form record of a signature and length, zero-filled.
std::string Host(std::uint16_t signature, std::uint32_t length) {
    std::string record(length, '\0');
    auto* bytes = reinterpret_cast<std::uint8_t*>(record.data());
    if (talix::LengthFieldForm(signature) == talix::HeaderForm::Byte) {
        bytes[0] = static_cast<std::uint8_t>(signature);
    } else {
        talix::WriteWord(bytes, signature);
    }
    talix::SetHostRecordLength(bytes, signature, length);
    return record;
}

void Word(std::string* record, std::size_t at, std::uint16_t value) {
    talix::WriteWord(reinterpret_cast<std::uint8_t*>(record->data()) + at, value);
}
void Dword(std::string* record, std::size_t at, std::uint32_t value) {
    talix::WriteDword(reinterpret_cast<std::uint8_t*>(record->data()) + at, value);
}

struct Record {
    std::uint16_t signature;
    std::string bytes;
};

Record Text(const std::string& text) {
    std::string record = Host(0xFF85, static_cast<std::uint32_t>(8 + text.size()));
    Dword(&record, 4, 0x0A000001);
    record.replace(8, text.size(), text);
    return {0xFF85, record};
}
Record Bracket(std::uint16_t signature, std::uint16_t inner) {
    std::string record = Host(signature, 6);
    Word(&record, 4, inner);
    return {signature, record};
}
Record Plain(std::uint16_t signature, std::uint32_t length) { return {signature, Host(signature, length)}; }
Record Hotspot(std::uint16_t type, std::uint32_t flags, const std::string& data) {
    std::string record = Host(0xFFAD, static_cast<std::uint32_t>(16 + data.size()));
    Word(&record, 4, type);
    Dword(&record, 8, flags);
    Word(&record, 12, static_cast<std::uint16_t>(data.size()));
    record.replace(16, data.size(), data);
    return {0xFFAD, record};
}
Record Definition(std::uint16_t id, std::uint16_t flags) {
    std::string record = Host(0xFF82, 72);
    Word(&record, 4, id);
    Word(&record, 62, flags);
    return {0xFF82, record};
}
Record Reference(std::uint16_t id) {
    std::string record = Host(0x0083, 4);
    Word(&record, 2, id);
    return {0x0083, record};
}

// One block of mixed content; index: its document link's entry in "$Links".
void AddBlock(std::vector<Record>* records, std::uint16_t index) {
    auto add = [records](Record record) { records->push_back(std::move(record)); };
    add(Plain(0x0081, 2));
    add(Reference(2));
    add(Text("A list item with a "));
    add(Bracket(0xDD, 0xFFAD));
    add(Hotspot(11, 0x1000, std::string("http://example.org/page?id=1&x=2") + '\0'));
    add(Text("link"));
    add(Plain(0x00AE, 2));
    add(Bracket(0xDE, 0x00AE));
    add(Text(" and a document link "));
    std::string link = Host(0xFF91, 8);
    Word(&link, 4, index);
    add({0xFF91, link});
    add(Plain(0x0081, 2));
    add(Reference(1));
    add(Bracket(0xDD, 0x0099));
    std::string graphic = Host(0x0099, 32);
    add({0x0099, graphic});
    std::string header = Host(0x007D, 32);
    Word(&header, 8, 1);
    Word(&header, 10, 16);
    Word(&header, 12, 16);
    Dword(&header, 16, 64);
    Dword(&header, 20, 1);
    add({0x007D, header});
    std::string segment = Host(0x007C, 12 + 64);
    Word(&segment, 8, 64);
    Word(&segment, 10, 64);
    segment.replace(12, 6, "GIF89a");
    add({0x007C, segment});
    add(Bracket(0xDE, 0x0099));
    add(Bracket(0xDD, 0xFFAD));
    add(Hotspot(12, 8, ""));
    add(Bracket(0xDD, 0xFFAC));
    std::string bar = Host(0xFFAC, 14 + 14);
    Dword(&bar, 4, 0x10000000);
    Dword(&bar, 8, 0x0A000001);
    bar.replace(14, 13, "Section title");
    add({0xFFAC, bar});
    add(Bracket(0xDE, 0xFFAC));
    add(Text("The section's body: a paragraph of plain text that the section holds."));
    add(Plain(0x00AE, 2));
    add(Bracket(0xDE, 0x00AE));
}

struct MixedItem {
    talix_bench::ScratchDir directory;
    std::string path;
    plat::NOTEID id = 0;
    bool ready = false;

    explicit MixedItem(int blocks) {
        plat::LogSetEcho(false);
        if (directory.path().empty()) return;
        path = directory.File("mixed.nsf");
        std::vector<Record> records = {Definition(1, 0), Definition(2, 0x0200), Reference(1)};
        for (int i = 0; i < blocks; ++i) AddBlock(&records, static_cast<std::uint16_t>(i % 40));
        RARIvoSession session;
        ZervaRTItem converter(&session);
        std::vector<std::string> stored;
        for (const Record& record : records) {
            std::uint32_t length = static_cast<std::uint32_t>(record.bytes.size());
            const void* bytes = converter.ConvertToCanonicalData(record.bytes.data(), record.signature, &length);
            if (bytes == nullptr) return;
            stored.emplace_back(static_cast<const char*>(bytes), length);
            if (length % 2 != 0) stored.back().push_back('\0');
        }
        // "$Links": 40 entries, each a link to a document.
        std::string links = {0, 0, 40, 0};
        for (int i = 0; i < 40; ++i) {
            std::string link(40, '\0');
            for (int word = 0; word < 10; ++word)
                talix::WriteDword(reinterpret_cast<std::uint8_t*>(link.data()) + 4 * word, 0x1000u * (i + 1) + word);
            links += link;
        }
        plat::DBHANDLE db = 0;
        plat::NOTEHANDLE note = 0;
        if (plat::DbCreate(path.c_str(), &db) != 0) return;
        if (plat::NoteCreate(db, &note) == 0) {
            talix_bench::StoreRecordItems(note, "Body", stored);
            plat::ItemAppend(note, 0, "$Links", 6, 1, links.data() + 2, static_cast<plat::DWORD>(links.size() - 2));
            ready = plat::NoteUpdate(note, 0) == 0 && plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id) == 0;
            plat::NoteClose(note);
        }
        plat::DbClose(db);
    }
};

MixedItem& Item(int blocks) {
    static std::map<int, std::unique_ptr<MixedItem>> items;
    auto& item = items[blocks];
    if (item == nullptr) item = std::make_unique<MixedItem>(blocks);
    return *item;
}

void BM_ActiveContent(benchmark::State& state) {
    MixedItem& mixed = Item(static_cast<int>(state.range(0)));
    if (!talix_bench::SkipUnless(state, mixed.ready, "cannot build the item")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (!talix_bench::ConnectBody(state, &item, mixed.path, mixed.id)) return;
    ZervaRTChunk* chunk = item.DefineChunk("Everything");
    for (auto _ : state) {
        char* block = chunk->GenerateHTML(nullptr, "HTML", "OutputToEvent=Yes SectionsInCSS=Yes", 0,
                                          talix_bench::DiscardText, nullptr);
        if (block == nullptr || chunk->lastStatus != 0) {
            state.SkipWithError("generation failed");
            break;
        }
        talix::ZervaDeallocate(&session, block);
    }
    delete chunk;
    state.counters["blocks"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_ActiveContent)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond);

} // namespace
