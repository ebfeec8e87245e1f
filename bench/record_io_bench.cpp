// Reading a 10 MB rich-text item into a record list and writing it back,
// against copying the same bytes with memcpy. The item is made of the real
// records of the samples' rich-text bodies, repeated.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/record_io.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kItemSize = 10u * 1024 * 1024;

std::uint32_t Word(const std::uint8_t* p) { return p[0] | (p[1] << 8); }

// The stored records (each padded to even length) of every rich-text body
// of the samples.
std::vector<std::string> SampleRecords(plat::DBHANDLE db) {
    std::vector<std::string> records;
    for (const auto& entry : fs::directory_iterator(fs::path(TALIX_SOURCE_DIR) / "samples" / "dxl")) {
        if (entry.path().extension() != ".xml") continue;
        plat::DxlImportResult imported;
        if (plat::DxlImportFile(db, entry.path().string().c_str(), &imported) != 0) continue;
        for (plat::NOTEID id : imported.notes) {
            plat::NOTEHANDLE note = 0;
            if (plat::NoteOpen(db, id, 0, &note) != 0) continue;
            for (const char* name : {"$Body", "Body"}) {
                plat::BLOCKID item, value;
                plat::WORD type = 0;
                plat::DWORD length = 0;
                if (plat::ItemInfo(note, name, static_cast<plat::WORD>(std::strlen(name)), &item, &type, &value,
                                   &length) != 0 || type != plat::TYPE_COMPOSITE)
                    continue;
                const auto* bytes = static_cast<const std::uint8_t*>(plat::BlockLock(value));
                for (std::size_t at = 2; at + 2 <= length;) {
                    std::uint32_t first = Word(bytes + at), size = 0;
                    if (first < 0x100) size = at + 6 <= length ? Word(bytes + at + 2) | (Word(bytes + at + 4) << 16) : 0;
                    else if ((first >> 8) == 0xFF) size = at + 4 <= length ? Word(bytes + at + 2) : 0;
                    else size = first >> 8;
                    if (size == 0 || size > length - at) break;
                    std::string record(reinterpret_cast<const char*>(bytes) + at, size);
                    if (size % 2 != 0) record.push_back('\0');
                    records.push_back(record);
                    at += size + size % 2;
                }
                plat::BlockUnlock(value);
            }
            plat::NoteClose(note);
        }
    }
    return records;
}

// A database whose note holds the 10 MB item "Body" as items of at most
// 49,022 bytes of records.
struct BigItem {
    talix_bench::ScratchDir directory;
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    std::string bytes;   // the records, as stored
    bool ready = false;

    BigItem() {
        plat::LogSetEcho(false);
        if (directory.path().empty()) return;
        if (plat::DbCreate(directory.File("bench.nsf").c_str(), &db) != 0) return;
        std::vector<std::string> records = SampleRecords(db);
        if (records.empty() || plat::NoteCreate(db, &note) != 0) return;
        std::vector<std::string> repeated;
        for (std::size_t i = 0; bytes.size() < kItemSize; i = (i + 1) % records.size()) {
            repeated.push_back(records[i]);
            bytes += records[i];
        }
        talix_bench::StoreRecordItems(note, "Body", repeated);
        ready = true;
    }
    ~BigItem() {
        if (note != 0) plat::NoteClose(note);
        if (db != 0) plat::DbClose(db);
    }
};

BigItem& Item() {
    static BigItem item;
    return item;
}

void BM_ReadAndWriteBack(benchmark::State& state) {
    BigItem& big = Item();
    if (!talix_bench::SkipUnless(state, big.ready, "cannot build the item")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    for (auto _ : state) {
        talix::STATUS status = 0;
        talix::ItemRecordList* list = talix::SIAR(&item, 0, nullptr, 0, 0, big.note, "Body", &status);
        if (list == nullptr || status != 0) {
            state.SkipWithError("read failed");
            break;
        }
        plat::ItemDelete(big.note, "Copy", 4);
        list->itemName = "Copy";
        status = talix::WriteItemRecords(list, &item);
        talix::DeleteItemRecordList(&session, list);
        if (status != 0) {
            state.SkipWithError("write failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * big.bytes.size()));
}
BENCHMARK(BM_ReadAndWriteBack)->Unit(benchmark::kMillisecond);

void BM_MemcpySameBytes(benchmark::State& state) {
    BigItem& big = Item();
    std::vector<char> copy(big.bytes.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), big.bytes.data(), big.bytes.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * big.bytes.size()));
}
BENCHMARK(BM_MemcpySameBytes)->Unit(benchmark::kMillisecond);

} // namespace
