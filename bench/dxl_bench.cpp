// DXL import and read-back: every file of the shared set imported into a
// fresh database, then every item of every note read back (ItemScan and
// BlockLock of each value); and the import of the whole set, with its
// database's close, against libxml2's own parse of the same files in the
// same iteration (the database made outside the timing). The shared files
// are found as the tests find them; without them the benchmarks say so and
// stop.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <sys/resource.h>

#include <algorithm>
#include <random>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "talix_platform.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> DxlFiles() { return talix_bench::DxlFilesBelow(talix_bench::SharedDxlDir()); }

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
    ~ScratchDb() { Close(); }
    plat::DBHANDLE db() const { return db_; }
    // Closes the database (its log folded into the file); false when that fails.
    bool Close() {
        const bool closed = db_ == 0 || plat::DbClose(db_) == plat::NOERROR;
        db_ = 0;
        return closed;
    }

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
    if (!talix_bench::SkipUnless(state, !files.empty(), talix_bench::kNoSharedData)) return;
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
    const std::vector<std::string> files = DxlFiles();
    if (!talix_bench::SkipUnless(state, !files.empty(), talix_bench::kNoSharedData)) return;
    ScratchDb scratch;
    if (scratch.db() == 0 || !ImportAll(scratch.db(), files, state)) {
        if (scratch.db() == 0) state.SkipWithError("cannot create the database");
        return;
    }
    double items = 0, bytes = 0;
    for (auto _ : state) ReadAll(scratch.db(), &items, &bytes);
    SetCounters(state, items, bytes);
}
BENCHMARK(BM_DxlReadBack)->Unit(benchmark::kMillisecond)->UseRealTime();

// Each iteration times, in an order drawn at random, the import of the
// whole set as "talix import" makes it (every file in one batch, into a new
// database made outside the timing), the close of that database (its log
// folded into the file, synced) and libxml2 parsing the same files from
// memory, with the importer's parse options, into trees it frees. The
// iteration's time is the import's and the close's. Counters: the means of
// each ("import_ms", "close_ms", "libxml2_ms") and the ratios of the sums,
// "x_libxml2" (import and close against the parse) and "x_libxml2_open"
// (the import alone).
void BM_DxlImportAgainstLibxml2(benchmark::State& state) {
    plat::LogSetEcho(false);
    const std::vector<std::string> files = DxlFiles();
    if (!talix_bench::SkipUnless(state, !files.empty(), talix_bench::kNoSharedData)) return;
    std::vector<std::string> texts;
    for (const std::string& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        texts.push_back(out.str());
    }
    auto parse = [&] {
        return talix_bench::TimeStep([&] {
            for (const std::string& text : texts) {
                xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                                                  XML_PARSE_BIG_LINES | XML_PARSE_NOCDATA);
                if (doc == nullptr) return false;
                xmlFreeDoc(doc);
            }
            return true;
        });
    };
    std::mt19937 draw(45);
    double imports = 0, closes = 0, parses = 0;
    for (auto _ : state) {
        const bool parseFirst = (draw() & 1) != 0;
        double parsed = parseFirst ? parse() : 0;
        ScratchDb scratch;
        if (scratch.db() == 0) {
            state.SkipWithError("cannot create the database");
            return;
        }
        const double imported = talix_bench::TimeStep([&] {
            plat::DxlImportResult result;
            if (plat::DxlImportFiles(scratch.db(), files, &result) == plat::NOERROR) return true;
            state.SkipWithError(result.error.c_str());
            return false;
        });
        const double closed = imported >= 0 ? talix_bench::TimeStep([&] { return scratch.Close(); }) : -1;
        if (!parseFirst) parsed = parse();
        if (imported < 0 || closed < 0 || parsed < 0) {
            if (imported >= 0) state.SkipWithError("a step failed");
            return;
        }
        imports += imported;
        closes += closed;
        parses += parsed;
        state.SetIterationTime(imported + closed);
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["import_ms"] = imports * 1e3 / iterations;
    state.counters["close_ms"] = closes * 1e3 / iterations;
    state.counters["libxml2_ms"] = parses * 1e3 / iterations;
    state.counters["x_libxml2"] = (imports + closes) / parses;
    state.counters["x_libxml2_open"] = imports / parses;
    state.counters["files"] = static_cast<double>(files.size());
}
BENCHMARK(BM_DxlImportAgainstLibxml2)->Unit(benchmark::kMillisecond)->UseManualTime();

// The close of a new database that nothing was imported into: what the
// syncs of any close cost on this machine at the time, whatever the
// database holds (set beside "close_ms" above).
void BM_DxlNewDatabaseClose(benchmark::State& state) {
    plat::LogSetEcho(false);
    for (auto _ : state) {
        ScratchDb scratch;
        const double closed = talix_bench::TimeStep([&] { return scratch.db() != 0 && scratch.Close(); });
        if (closed < 0) {
            state.SkipWithError("cannot create or close the database");
            return;
        }
        state.SetIterationTime(closed);
    }
}
BENCHMARK(BM_DxlNewDatabaseClose)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace
