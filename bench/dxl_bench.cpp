// DXL import and read-back: every file of the shared set (else the samples)
// imported into a fresh database, then every item of every note read back
// (ItemScan and BlockLock of each value).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "talix_platform.h"

namespace {

namespace fs = std::filesystem;

fs::path DxlDir() {
    if (const char* env = std::getenv("TALIX_DXL_DIR"); env != nullptr && fs::is_directory(env)) return env;
    fs::path shared = fs::path(TALIX_SOURCE_DIR).parent_path() / "shared" / "data" / "dxl";
    return fs::is_directory(shared) ? shared : fs::path(TALIX_SOURCE_DIR) / "samples" / "dxl";
}

std::vector<std::string> DxlFiles() {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(DxlDir())) {
        if (entry.is_regular_file() && entry.path().extension() == ".xml") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

double PeakResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss);
}

// A fresh database file in a directory of its own, removed afterwards.
class ScratchDb {
public:
    ScratchDb() {
        if (dir_.path().empty() || plat::DbCreate(dir_.File("bench.db").c_str(), &db_) != plat::NOERROR) db_ = 0;
    }
    ~ScratchDb() {
        if (db_ != 0) plat::DbClose(db_);
    }
    plat::DBHANDLE db() const { return db_; }

private:
    talix_bench::ScratchDir dir_;
    plat::DBHANDLE db_ = 0;
};

bool ImportAll(plat::DBHANDLE db, const std::vector<std::string>& files, benchmark::State& state) {
    for (const auto& file : files) {
        plat::DxlImportResult result;
        if (plat::DxlImportFile(db, file.c_str(), &result) != plat::NOERROR) {
            state.SkipWithError(result.error.c_str());
            return false;
        }
    }
    return true;
}

// Reads every value of every note; adds the items and bytes read.
void ReadAll(plat::DBHANDLE db, double* items, double* bytes) {
    std::vector<plat::NOTEID> ids;
    plat::DbScanNotes(db, [&](plat::NOTEID id, plat::WORD) -> plat::STATUS {
        ids.push_back(id);
        return plat::NOERROR;
    });
    for (plat::NOTEID id : ids) {
        plat::NOTEHANDLE note = 0;
        if (plat::NoteOpen(db, id, plat::OPEN_NOTE_DEFAULT, &note) != plat::NOERROR) continue;
        plat::ItemScan(note, [&](plat::BLOCKID item) -> plat::STATUS {
            plat::BLOCKID value;
            plat::DWORD length = 0;
            if (plat::ItemQuery(item, nullptr, 0, nullptr, nullptr, &value, &length) != plat::NOERROR) return plat::NOERROR;
            const auto* data = static_cast<const unsigned char*>(plat::BlockLock(value));
            if (data != nullptr) {
                unsigned sum = 0;
                for (plat::DWORD i = 0; i < length; ++i) sum += data[i];
                benchmark::DoNotOptimize(sum);
                plat::BlockUnlock(value);
            }
            *items += 1;
            *bytes += length;
            return plat::NOERROR;
        });
        plat::NoteClose(note);
    }
}

void SetCounters(benchmark::State& state, double items, double bytes) {
    state.counters["items/s"] = benchmark::Counter(items, benchmark::Counter::kIsRate);
    state.counters["bytes/s"] = benchmark::Counter(bytes, benchmark::Counter::kIsRate);
    state.counters["peak_rss_kb"] = PeakResidentKb();
}

// Import of the whole set into a fresh database, then the read-back.
void BM_DxlImportAndReadBack(benchmark::State& state) {
    plat::LogSetEcho(false);
    std::vector<std::string> files = DxlFiles();
    double items = 0, bytes = 0;
    for (auto _ : state) {
        ScratchDb scratch;
        if (scratch.db() == 0) {
            state.SkipWithError("cannot create the database");
            break;
        }
        if (!ImportAll(scratch.db(), files, state)) break;
        ReadAll(scratch.db(), &items, &bytes);
    }
    state.counters["files"] = static_cast<double>(files.size());
    SetCounters(state, items, bytes);
}
BENCHMARK(BM_DxlImportAndReadBack)->Unit(benchmark::kMillisecond)->UseRealTime();

// The read-back alone, from a database imported once.
void BM_DxlReadBack(benchmark::State& state) {
    plat::LogSetEcho(false);
    ScratchDb scratch;
    if (scratch.db() == 0 || !ImportAll(scratch.db(), DxlFiles(), state)) {
        if (scratch.db() == 0) state.SkipWithError("cannot create the database");
        return;
    }
    double items = 0, bytes = 0;
    for (auto _ : state) ReadAll(scratch.db(), &items, &bytes);
    SetCounters(state, items, bytes);
}
BENCHMARK(BM_DxlReadBack)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
