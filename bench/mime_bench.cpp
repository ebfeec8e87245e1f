// The MIME file export of an item of 1 MB of text, without and with ten
// GIF pictures, against the HTML generation of the same item into a file
// (what the export adds: the header lines, the levels, the pictures' parts).
// The item's records are read again in every run of both.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/item_work_state.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

constexpr std::size_t kTextSize = 1024 * 1024;
constexpr std::size_t kGifSize = 10000;

using talix_bench::HostRecord;

// A host-form record of the signature in stored form, padded to even
// length; empty when it cannot be converted.
std::string Stored(ZervaRTItem* item, std::uint16_t signature, const std::vector<std::uint8_t>& host) {
    std::uint32_t length = static_cast<std::uint32_t>(host.size());
    const void* stored = item->ConvertToCanonicalData(host.data(), signature, &length);
    if (stored == nullptr) return "";
    std::string record(static_cast<const char*>(stored), length);
    if (record.size() % 2 != 0) record.push_back('\0');
    return record;
}

// The stored records of a GIF picture: begin, graphic, image header, one
// segment of data, end.
std::vector<std::string> Picture(ZervaRTItem* item, std::size_t number) {
    std::vector<std::uint8_t> gif(kGifSize);
    for (std::size_t i = 0; i < gif.size(); ++i) gif[i] = static_cast<std::uint8_t>(i * 31 + number);
    std::memcpy(gif.data(), "GIF89a", 6);
    std::vector<std::uint8_t> begin = HostRecord(0x00DD, 6), end = HostRecord(0x00DE, 6);
    talix::WriteWord(begin.data() + 2, 1);
    talix::WriteWord(end.data() + 2, 1);
    talix::WriteWord(begin.data() + 4, 0x0099);
    talix::WriteWord(end.data() + 4, 0x0099);
    std::vector<std::uint8_t> graphic = HostRecord(0x0099, 32);
    graphic[26] = 2;
    std::vector<std::uint8_t> header = HostRecord(0x007D, 32);
    talix::WriteWord(header.data() + 8, 1);
    talix::WriteWord(header.data() + 10, 64);
    talix::WriteWord(header.data() + 12, 48);
    talix::WriteDword(header.data() + 16, static_cast<std::uint32_t>(gif.size()));
    talix::WriteDword(header.data() + 20, 1);
    std::vector<std::uint8_t> segment = HostRecord(0x007C, static_cast<std::uint32_t>(12 + gif.size()));
    talix::WriteWord(segment.data() + 8, static_cast<std::uint16_t>(gif.size()));
    talix::WriteWord(segment.data() + 10, static_cast<std::uint16_t>(gif.size()));
    std::memcpy(segment.data() + 12, gif.data(), gif.size());
    return {Stored(item, 0x00DD, begin), Stored(item, 0x0099, graphic), Stored(item, 0x007D, header),
            Stored(item, 0x007C, segment), Stored(item, 0x00DE, end)};
}

// One paragraph of about 100 bytes of text in stored form.
std::string Paragraph(std::size_t number) {
    std::string text = "Paragraph " + std::to_string(number) +
                       " of the benchmark item, long enough to look like ordinary prose in a message.";
    if (text.size() % 2 != 0) text.push_back('.');
    std::string out = {'\x81', '\x02', '\x83', '\x04', '\x01', '\x00'};
    out += std::string("\x85\xFF", 2);
    out.push_back(static_cast<char>((8 + text.size()) & 0xFF));
    out.push_back(static_cast<char>((8 + text.size()) >> 8));
    out += std::string("\x01\x00\x00\x0A", 4);
    return out + text;
}

struct MimeItem {
    talix_bench::ScratchDir directory;
    std::string path;
    plat::NOTEID id = 0;
    bool ready = false;

    explicit MimeItem(int pictures) {
        plat::LogSetEcho(false);
        if (directory.path().empty()) return;
        path = directory.File("mime.nsf");
        plat::DBHANDLE db = 0;
        plat::NOTEHANDLE note = 0;
        if (plat::DbCreate(path.c_str(), &db) != 0) return;
        if (plat::NoteCreate(db, &note) == 0) {
            RARIvoSession session;
            ZervaRTItem converter(&session);
            std::vector<std::string> records = {std::string("\x82\xFF\x48\x00\x01\x00", 6) + std::string(66, '\0')};
            std::size_t bytes = 0;
            for (std::size_t number = 1; bytes < kTextSize; ++number) {
                records.push_back(Paragraph(number));
                bytes += records.back().size();
                if (pictures > 0 && number % 900 == 0) {
                    --pictures;
                    for (std::string& record : Picture(&converter, number)) records.push_back(std::move(record));
                }
            }
            talix_bench::StoreRecordItems(note, "Body", records);
            // Every picture's records were made.
            bool whole = pictures == 0;
            for (const std::string& record : records) whole = whole && !record.empty();
            ready = whole && plat::NoteUpdate(note, 0) == 0 && plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id) == 0;
            plat::NoteClose(note);
        }
        plat::DbClose(db);
    }
};

MimeItem& MimeItemOf(int pictures) {
    static MimeItem plain(0), withPictures(10);
    return pictures == 0 ? plain : withPictures;
}

void BM_MimeFileExport(benchmark::State& state) {
    MimeItem& mime = MimeItemOf(static_cast<int>(state.range(0)));
    if (!talix_bench::SkipUnless(state, mime.ready, "cannot build the item")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (!talix_bench::ConnectBody(state, &item, mime.path, mime.id)) return;
    const std::string out = mime.directory.File("out.eml");
    for (auto _ : state) {
        talix_bench::ForgetRecords(&item);
        item.ExportToMIME(out.c_str(), nullptr, nullptr, nullptr, "", 0, "", 0, nullptr);
        if (item.lastStatus != 0) {
            state.SkipWithError("the export failed");
            break;
        }
    }
}
BENCHMARK(BM_MimeFileExport)->Arg(0)->Arg(10)->Unit(benchmark::kMillisecond);

void BM_GenerateHtmlToMimeFile(benchmark::State& state) {
    MimeItem& mime = MimeItemOf(static_cast<int>(state.range(0)));
    if (!talix_bench::SkipUnless(state, mime.ready, "cannot build the item")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (!talix_bench::ConnectBody(state, &item, mime.path, mime.id)) return;
    ZervaRTChunk* chunk = item.DefineChunk("Everything");
    const std::string out = mime.directory.File("out.htm");
    for (auto _ : state) {
        talix_bench::ForgetRecords(&item);
        std::FILE* file = std::fopen(out.c_str(), "w");
        std::uint32_t capacity = 0;
        char name[128] = {};
        int icons[4] = {}, section = 0;
        chunk->GenerateHTMLToMime(0, 1, nullptr, "", 0, nullptr, &capacity, 2, name, file, out.c_str(), nullptr,
                                  nullptr, icons, &section, nullptr);
        std::fclose(file);
        if (chunk->lastStatus != 0) {
            state.SkipWithError("the generation failed");
            break;
        }
    }
    delete chunk;
}
BENCHMARK(BM_GenerateHtmlToMimeFile)->Arg(0)->Arg(10)->Unit(benchmark::kMillisecond);

} // namespace
