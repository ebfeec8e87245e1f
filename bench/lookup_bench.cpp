// The table look-ups through the driver entry point, against one read of
// the same item's records by the record reader alone: tables of 10, 100,
// 200, 250 and 1,000 rows x 5 columns of about 20 characters a cell. A warm
// @DbLookup (the driver's session made, and the note read, by an earlier
// call), @DbColumn of every row, the cold first call (a new driver
// context), and @DbLookup reading every cell on its own are measured, each
// iteration timing the call and then one read of the item's records
// ("x_read": the ratio of the sums). The scaling runs time a warm call on
// 1,000 rows against the same call on 250 ("x_250").
//
// Rows are numbered by a byte of their cell records: the 1,000-row table
// counts 256 rows, and the key is in the last row the table counts (row
// 256 there, the last row of the smaller tables); the look-up still walks
// every record of the item.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/record_list.h"
#include "driver/table_cells.h"
#include "driver/table_lookup.h"
#include "talix/driver.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

constexpr int kColumns = 5;

using talix_bench::HostRecord;

std::string CellText(int row, int column) {
    char text[32];
    std::snprintf(text, sizeof text, "row %04d column %d ..", row, column);   // 20 characters
    return text;
}

// The table's records in stored form: a paragraph, then the table.
std::vector<std::string> TableRecords(int rows) {
    RARIvoSession session;
    ZervaRTItem converter(&session);
    std::vector<std::string> stored;
    auto add = [&](const std::vector<std::uint8_t>& record, std::uint16_t signature) {
        std::uint32_t length = static_cast<std::uint32_t>(record.size());
        const void* bytes = converter.ConvertToCanonicalData(record.data(), signature, &length);
        if (bytes == nullptr) return;
        std::string value(static_cast<const char*>(bytes), length);
        if (value.size() % 2 != 0) value.push_back('\0');
        stored.push_back(value);
    };
    std::vector<std::uint8_t> definition = HostRecord(0xFF82, 72);
    definition[4] = 1;
    std::vector<std::uint8_t> reference = HostRecord(0x0083, 4);
    reference[2] = 1;
    add(definition, 0xFF82);
    add(reference, 0x0083);
    add(HostRecord(0x00A3, 14), 0x00A3);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            std::vector<std::uint8_t> cell = HostRecord(0x00A4, 18);
            cell[2] = static_cast<std::uint8_t>(row);
            cell[3] = static_cast<std::uint8_t>(column);
            add(cell, 0x00A4);
            add(reference, 0x0083);
            const std::string text = CellText(row + 1, column + 1);
            std::vector<std::uint8_t> run = HostRecord(0xFF85, static_cast<std::uint32_t>(8 + text.size()));
            talix::WriteDword(run.data() + 4, 0x0A000001);
            std::memcpy(run.data() + 8, text.data(), text.size());
            add(run, 0xFF85);
        }
    }
    add(HostRecord(0x00A5, 8), 0x00A5);
    return stored;
}

// One database with a note per table size.
struct LookUpTables {
    talix_bench::ScratchDir directory;
    std::string path;
    std::map<int, plat::NOTEID> notes;
    bool ready = false;

    LookUpTables() {
        plat::LogSetEcho(false);
        if (directory.path().empty()) return;
        path = directory.File("lookup.nsf");
        plat::DBHANDLE db = 0;
        if (plat::DbCreate(path.c_str(), &db) != 0) return;
        ready = true;
        for (int rows : {10, 100, 200, 250, 1000}) {
            plat::NOTEHANDLE note = 0;
            plat::NOTEID id = 0;
            if (plat::NoteCreate(db, &note) != 0) {
                ready = false;
                break;
            }
            talix_bench::StoreRecordItems(note, "Body", TableRecords(rows));
            ready = ready && plat::NoteUpdate(note, 0) == 0 && plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id) == 0;
            notes[rows] = id;
            plat::NoteClose(note);
        }
        plat::DbClose(db);
    }
};

LookUpTables& Tables() {
    static LookUpTables tables;
    return tables;
}

std::string Typed(plat::WORD type, const void* data, std::size_t size) {
    std::string value(2 + size, '\0');
    talix::WriteWord(reinterpret_cast<std::uint8_t*>(value.data()), type);
    if (size > 0) std::memcpy(value.data() + 2, data, size);
    return value;
}
std::string TextValue(const std::string& text) { return Typed(plat::TYPE_TEXT, text.data(), text.size()); }
std::string NumberValue(double number) { return Typed(plat::TYPE_NUMBER, &number, sizeof number); }

// The host's side of the driver: a driver block, an open context pointed
// at the tables' database, and calls whose result blocks are freed.
struct DriverHost {
    void* block[8] = {};
    void* context = nullptr;

    explicit DriverHost(const std::string& path) {
        DBDInit(block);
        DBDOpen(nullptr, &context);
        DBDSetOpenContext(nullptr, context, path.c_str(), nullptr);
    }
    ~DriverHost() {
        DBDClose(nullptr, context);
        DBDTerm(nullptr);
    }
    // One call; the result's byte length, or -1 when the call failed.
    long Call(plat::WORD function, const std::vector<std::string>& args) {
        std::vector<std::uint32_t> lengths;
        std::vector<const void*> values;
        for (const std::string& arg : args) {
            lengths.push_back(static_cast<std::uint32_t>(arg.size()));
            values.push_back(arg.data());
        }
        std::uint32_t handle = 0, length = 0;
        const std::uint16_t status = DBDPerformFunction(nullptr, context, function, static_cast<std::uint16_t>(args.size()),
                                                        lengths.data(), values.data(), &handle, &length);
        if (handle != 0) plat::MemFree(handle);
        return status == 0 ? static_cast<long>(length) : -1;
    }
};

// The last row the table counts (its rows are numbered by one byte).
int KeyRow(int rows) {
    const int counted = static_cast<int>(talix::kTablePositions);
    return rows < counted ? rows : counted;
}

std::vector<std::string> LookupArgs(plat::NOTEID id, int rows) {
    char note[16];
    std::snprintf(note, sizeof note, "N%X", static_cast<unsigned>(id));
    return {TextValue(""), TextValue(note), TextValue("Body"), TextValue(CellText(KeyRow(rows), 1)),
            NumberValue(kColumns), TextValue("")};
}

std::vector<std::string> ColumnArgs(plat::NOTEID id) {
    char note[16];
    std::snprintf(note, sizeof note, "N%X", static_cast<unsigned>(id));
    return {TextValue(""), TextValue(note), TextValue("Body"), NumberValue(kColumns), TextValue("")};
}

bool Ready(benchmark::State& state, int rows) {
    return talix_bench::SkipUnless(state, Tables().ready && Tables().notes.count(rows) != 0, "cannot build the tables");
}

// One read of the item's records into a list of their own, freed outside
// the timing; its seconds, or -1 when it fails.
struct RecordRead {
    RARIvoSession session;
    ZervaRTItem item{&session};
    bool connected = false;

    RecordRead(benchmark::State& state, int rows)
        : connected(talix_bench::ConnectBody(state, &item, Tables().path, Tables().notes[rows])) {}

    double operator()() {
        talix::STATUS status = 0;
        talix::ItemRecordList* list = nullptr;
        const double seconds = talix_bench::TimeStep([&] {
            list = talix::SIAR(&item, 0, nullptr, 1, 0, 0, nullptr, &status);
            return list != nullptr && status == 0;
        });
        if (list != nullptr) talix::DeleteItemRecordList(&session, list);
        return seconds;
    }
};

// The record reader alone: the item's records read into a list and freed.
void BM_ReadRecords(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    if (!Ready(state, rows)) return;
    RecordRead read(state, rows);
    if (!read.connected) return;
    for (auto _ : state) {
        const double seconds = read();
        if (seconds < 0) {
            state.SkipWithError("read failed");
            break;
        }
        state.SetIterationTime(seconds);
    }
}

// A timed call that must succeed with a result of at least the given bytes
// (a look-up that finds its row holds the value's 20 characters).
double TimedCall(DriverHost& host, plat::WORD function, const std::vector<std::string>& args, long atLeast) {
    long length = -1;
    const double seconds = talix_bench::TimeStep([&] { return (length = host.Call(function, args)) >= atLeast; });
    return seconds;
}

constexpr long kFoundValue = 20;

void Warm(benchmark::State& state, plat::WORD function, talix::LookUpRoute route) {
    const int rows = static_cast<int>(state.range(0));
    if (!Ready(state, rows)) return;
    const plat::NOTEID id = Tables().notes[rows];
    const std::vector<std::string> args = function == 0 ? LookupArgs(id, rows) : ColumnArgs(id);
    DriverHost host(Tables().path);
    static_cast<talix::DriverContext*>(host.context)->lookUpRoute = route;
    if (host.Call(function, args) < kFoundValue) {
        state.SkipWithError("the first call failed or found nothing");
        return;
    }
    RecordRead read(state, rows);
    if (!read.connected) return;
    talix_bench::RatioOfSteps(state, [&] { return TimedCall(host, function, args, kFoundValue); }, [&] { return read(); }, "read_ms",
                              "x_read");
}

void BM_DbLookupWarm(benchmark::State& state) { Warm(state, 0, talix::LookUpRoute::SingleWalk); }
void BM_DbColumnWarm(benchmark::State& state) { Warm(state, 1, talix::LookUpRoute::SingleWalk); }
void BM_DbLookupEveryCell(benchmark::State& state) { Warm(state, 0, talix::LookUpRoute::EveryCell); }

// The first call of a new driver context: it makes the session and opens
// the database and the note.
void BM_DbLookupCold(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    if (!Ready(state, rows)) return;
    const std::vector<std::string> args = LookupArgs(Tables().notes[rows], rows);
    RecordRead read(state, rows);
    if (!read.connected) return;
    auto cold = [&] {
        auto host = std::make_unique<DriverHost>(Tables().path);
        const double seconds = TimedCall(*host, 0, args, kFoundValue);
        return seconds;
    };
    talix_bench::RatioOfSteps(state, cold, [&] { return read(); }, "read_ms", "x_read");
}

// A warm call on the 1,000-row table against the same call on the 250-row
// one, in the same iteration. The driver has one context, which keeps the
// note of its last look-up: an untimed call on each table warms it first.
void Scaling(benchmark::State& state, plat::WORD function) {
    if (!Ready(state, 250) || !Ready(state, 1000)) return;
    const plat::NOTEID small = Tables().notes[250], large = Tables().notes[1000];
    const auto smallArgs = function == 0 ? LookupArgs(small, 250) : ColumnArgs(small);
    const auto largeArgs = function == 0 ? LookupArgs(large, 1000) : ColumnArgs(large);
    DriverHost host(Tables().path);
    auto warmAndTime = [&](const std::vector<std::string>& args) {
        return host.Call(function, args) >= kFoundValue ? TimedCall(host, function, args, kFoundValue) : -1.0;
    };
    talix_bench::RatioOfSteps(
        state, [&] { return warmAndTime(largeArgs); }, [&] { return warmAndTime(smallArgs); }, "rows250_ms", "x_250");
}
void BM_DbLookupWarmScaling(benchmark::State& state) { Scaling(state, 0); }
void BM_DbColumnWarmScaling(benchmark::State& state) { Scaling(state, 1); }

void Sizes(benchmark::internal::Benchmark* bench) {
    bench->Arg(10)->Arg(100)->Arg(200)->Arg(1000)->Repetitions(5)->ReportAggregatesOnly(true)->UseManualTime()->Unit(
        benchmark::kMillisecond);
}
void Once(benchmark::internal::Benchmark* bench) {
    bench->Repetitions(5)->ReportAggregatesOnly(true)->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_ReadRecords)->Apply(Sizes);
BENCHMARK(BM_DbLookupWarm)->Apply(Sizes);
BENCHMARK(BM_DbColumnWarm)->Apply(Sizes);
BENCHMARK(BM_DbLookupCold)->Apply(Sizes);
BENCHMARK(BM_DbLookupEveryCell)->Apply(Sizes);
BENCHMARK(BM_DbLookupWarmScaling)->Apply(Once);
BENCHMARK(BM_DbColumnWarmScaling)->Apply(Once);

} // namespace
