// Reading a 10 MB rich-text item into a record list and writing it back,
// against copying the same bytes with memcpy in the same iteration, for two
// items: the records of the samples' rich-text bodies repeated, and the
// largest rich-text item of the shared files repeated. Also the two halves
// alone, fifty round trips in a row, and the memory a record list holds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/record_io.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kBigItemSize = 10 * talix_bench::kMegabyte;

// The stored records (each padded to even length) of a rich-text value.
std::vector<std::string> ValueRecords(const std::uint8_t* value, std::uint32_t length) {
    std::vector<std::string> records;
    talix::WalkStoredValue(
        value, length,
        [&](const std::uint8_t* record, std::uint16_t, std::uint32_t size, std::uint32_t) {
            std::string bytes(reinterpret_cast<const char*>(record), size);
            if (size % 2 != 0) bytes.push_back('\0');
            records.push_back(std::move(bytes));
        },
        nullptr);
    return records;
}

// Calls visit with the value of every rich-text item of every note the
// files bring into db.
template <typename Visit>
void ForEachRichTextValue(plat::DBHANDLE db, const std::vector<std::string>& files, Visit visit) {
    for (const std::string& file : files) {
        plat::DxlImportResult imported;
        if (plat::DxlImportFile(db, file.c_str(), &imported) != 0) continue;
        for (plat::NOTEID id : imported.notes) {
            plat::NOTEHANDLE note = 0;
            if (plat::NoteOpen(db, id, 0, &note) != 0) continue;
            plat::ItemScan(note, [&](plat::BLOCKID item) -> plat::STATUS {
                plat::WORD type = 0;
                plat::BLOCKID value;
                plat::DWORD length = 0;
                if (plat::ItemQuery(item, nullptr, 0, nullptr, &type, &value, &length) != 0 ||
                    type != plat::TYPE_COMPOSITE)
                    return plat::NOERROR;
                const auto* bytes = static_cast<const std::uint8_t*>(plat::BlockLock(value));
                if (bytes != nullptr) visit(bytes, length);
                plat::BlockUnlock(value);
                return plat::NOERROR;
            });
            plat::NoteClose(note);
        }
    }
}

// A database whose note holds a 10 MB item "Body" made of the given records
// repeated, as items of at most 49,022 bytes of records.
struct BigItem {
    talix_bench::ScratchDir directory;
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    std::string bytes;   // the records, as stored
    std::string problem; // why the item could not be made
    bool ready = false;

    // kind 0: every rich-text body of the samples; 1: the largest rich-text
    // item of the shared files.
    explicit BigItem(int kind) {
        plat::LogSetEcho(false);
        if (directory.path().empty() || plat::DbCreate(directory.File("bench.nsf").c_str(), &db) != 0) {
            problem = "cannot create the database";
            return;
        }
        std::vector<std::string> records;
        if (kind == 0) {
            ForEachRichTextValue(db, talix_bench::DxlFilesBelow(fs::path(TALIX_SOURCE_DIR) / "samples" / "dxl"),
                                 [&](const std::uint8_t* value, std::uint32_t length) {
                                     for (std::string& record : ValueRecords(value, length)) records.push_back(record);
                                 });
        } else {
            const std::vector<std::string> files = talix_bench::DxlFilesBelow(talix_bench::SharedDxlDir());
            if (files.empty()) {
                problem = talix_bench::kNoSharedData;
                return;
            }
            std::uint32_t largest = 0;
            ForEachRichTextValue(db, files, [&](const std::uint8_t* value, std::uint32_t length) {
                if (length <= largest || !talix::WalkStoredValue(value, length, nullptr, nullptr)) return;
                largest = length;
                records = ValueRecords(value, length);
            });
        }
        if (records.empty() || plat::NoteCreate(db, &note) != 0) {
            problem = "no records to repeat";
            return;
        }
        std::vector<std::string> repeated;
        for (std::size_t i = 0; bytes.size() < kBigItemSize; i = (i + 1) % records.size()) {
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

BigItem& BigItemOf(int kind) {
    static std::unique_ptr<BigItem> items[2];
    if (items[kind] == nullptr) items[kind] = std::make_unique<BigItem>(kind);
    return *items[kind];
}

bool Ready(benchmark::State& state, const BigItem& big) {
    return talix_bench::SkipUnless(state, big.ready, big.problem.c_str());
}

// One round trip: the item read into a record list and written back as the
// items "Copy" (the old ones deleted first), the list freed.
bool RoundTrip(BigItem& big, ZervaRTItem* item) {
    talix::STATUS status = 0;
    talix::ItemRecordList* list = talix::SIAR(item, 0, nullptr, 0, 0, big.note, "Body", &status);
    if (list == nullptr || status != 0) {
        talix::DeleteItemRecordList(item->session, list);
        return false;
    }
    plat::ItemDelete(big.note, "Copy", 4);
    list->itemName = "Copy";
    status = talix::WriteItemRecords(list, item);
    talix::DeleteItemRecordList(item->session, list);
    return status == 0;
}

// Each iteration times a round trip and a memcpy of the same bytes; the
// ratio of the two sums is "x_memcpy". The round trip leaves the caches
// holding other bytes; "x_alone_memcpy" sets it against memcpy repeated on
// its own before the iterations (the median of 21).
void ReadWriteAgainstMemcpy(benchmark::State& state, int kind) {
    BigItem& big = BigItemOf(kind);
    if (!Ready(state, big)) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    std::vector<char> copy(big.bytes.size());
    auto memcpyOnce = [&] {
        return talix_bench::TimeStep([&] {
            std::memcpy(copy.data(), big.bytes.data(), big.bytes.size());
            benchmark::DoNotOptimize(copy.data());
            benchmark::ClobberMemory();
            return true;
        });
    };
    // memcpy on its own, repeated: the bytes in the caches, as fast as it goes.
    std::vector<double> alone;
    for (int i = 0; i < 21; ++i) alone.push_back(memcpyOnce());
    std::sort(alone.begin(), alone.end());
    talix_bench::RatioOfSteps(state, [&] { return talix_bench::TimeStep([&] { return RoundTrip(big, &item); }); },
                              memcpyOnce, "memcpy_ms", "x_memcpy");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * big.bytes.size()));
    state.counters["alone_memcpy_ms"] = alone[alone.size() / 2] * 1e3;
    state.counters["x_alone_memcpy"] = state.counters["memcpy_ms"] * state.counters["x_memcpy"] / (alone[alone.size() / 2] * 1e3);
}

void BM_ReadAndWriteBack_Samples(benchmark::State& state) { ReadWriteAgainstMemcpy(state, 0); }
void BM_ReadAndWriteBack_LargestShared(benchmark::State& state) { ReadWriteAgainstMemcpy(state, 1); }
BENCHMARK(BM_ReadAndWriteBack_Samples)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_ReadAndWriteBack_LargestShared)->Unit(benchmark::kMillisecond)->UseManualTime();

// Fifty round trips in one process: the mean of the last ten against the
// mean of the first ten ("slowdown" 1.0 is none).
void Repeated(benchmark::State& state, int kind) {
    BigItem& big = BigItemOf(kind);
    if (!Ready(state, big)) return;
    constexpr int kTrips = 50, kWindow = 10;
    for (auto _ : state) {
        RARIvoSession session;
        ZervaRTItem item(&session);
        std::vector<double> times;
        for (int trip = 0; trip < kTrips; ++trip) {
            const double seconds = talix_bench::TimeStep([&] { return RoundTrip(big, &item); });
            if (seconds < 0) {
                state.SkipWithError("the round trip failed");
                return;
            }
            times.push_back(seconds);
        }
        double first = 0, last = 0;
        for (int i = 0; i < kWindow; ++i) {
            first += times[i];
            last += times[kTrips - kWindow + i];
        }
        state.counters["first10_ms"] = first * 1e3 / kWindow;
        state.counters["last10_ms"] = last * 1e3 / kWindow;
        state.counters["slowdown"] = last / first;
    }
}

void BM_FiftyRoundTrips_Samples(benchmark::State& state) { Repeated(state, 0); }
void BM_FiftyRoundTrips_LargestShared(benchmark::State& state) { Repeated(state, 1); }
BENCHMARK(BM_FiftyRoundTrips_Samples)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_FiftyRoundTrips_LargestShared)->Unit(benchmark::kMillisecond)->Iterations(1);

// The heap a record list of the item holds (what the read allocated and
// kept), against the item's size ("x_item").
void ListMemory(benchmark::State& state, int kind) {
    BigItem& big = BigItemOf(kind);
    if (!Ready(state, big)) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    for (auto _ : state) {
        const std::int64_t before = talix_bench::HeapBytesInUse();
        talix::STATUS status = 0;
        talix::ItemRecordList* list = talix::SIAR(&item, 0, nullptr, 0, 0, big.note, "Body", &status);
        const std::int64_t held = talix_bench::HeapBytesInUse() - before;
        const std::size_t footprint = talix::RecordListFootprint(list);
        talix::DeleteItemRecordList(&session, list);
        if (status != 0) {
            state.SkipWithError("read failed");
            break;
        }
        state.counters["list_MB"] = static_cast<double>(held) / 1e6;
        state.counters["x_item"] = static_cast<double>(held) / static_cast<double>(big.bytes.size());
        state.counters["footprint_x_item"] = static_cast<double>(footprint) / static_cast<double>(big.bytes.size());
    }
}

void BM_RecordListMemory_Samples(benchmark::State& state) { ListMemory(state, 0); }
void BM_RecordListMemory_LargestShared(benchmark::State& state) { ListMemory(state, 1); }
BENCHMARK(BM_RecordListMemory_Samples)->Iterations(1);
BENCHMARK(BM_RecordListMemory_LargestShared)->Iterations(1);

// The two halves alone on the samples' item: reading it into a record list
// (and freeing the list), and writing a list read once back.
void BM_ReadOnly(benchmark::State& state) {
    BigItem& big = BigItemOf(0);
    if (!Ready(state, big)) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    for (auto _ : state) {
        talix::STATUS status = 0;
        talix::ItemRecordList* list = talix::SIAR(&item, 0, nullptr, 0, 0, big.note, "Body", &status);
        talix::DeleteItemRecordList(&session, list);
        if (status != 0) {
            state.SkipWithError("read failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * big.bytes.size()));
}
BENCHMARK(BM_ReadOnly)->Unit(benchmark::kMillisecond);

void BM_WriteOnly(benchmark::State& state) {
    BigItem& big = BigItemOf(0);
    if (!Ready(state, big)) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    talix::STATUS status = 0;
    talix::ItemRecordList* list = talix::SIAR(&item, 0, nullptr, 0, 0, big.note, "Body", &status);
    if (list == nullptr || status != 0) {
        state.SkipWithError("read failed");
        talix::DeleteItemRecordList(&session, list);
        return;
    }
    list->itemName = "Copy";
    for (auto _ : state) {
        plat::ItemDelete(big.note, "Copy", 4);
        if (talix::WriteItemRecords(list, &item) != 0) {
            state.SkipWithError("write failed");
            break;
        }
    }
    talix::DeleteItemRecordList(&session, list);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * big.bytes.size()));
}
BENCHMARK(BM_WriteOnly)->Unit(benchmark::kMillisecond);

} // namespace
