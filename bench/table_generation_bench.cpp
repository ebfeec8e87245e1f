// The generation of table-heavy items, streamed to a text event that does
// nothing: 50 tables of 20 x 10 cells with borders, colours, one cell in
// ten merged with its neighbour and a nested table each, plus one table of
// 255 x 64 cells, against four times that item (the scaling ratio); and
// the 255 x 64 table with every other 2 x 2 block merged against the same
// table unmerged. The records are held by the item, so the walk is
// measured on its own.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/pool.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using talix_bench::AppendWord;

// Records in stored form.
std::string ByteRecord(std::uint8_t signature, std::string body) {
    std::string out;
    out.push_back(static_cast<char>(signature));
    out.push_back(static_cast<char>(2 + body.size()));
    out += body;
    if (out.size() % 2 != 0) out.push_back('\0');
    return out;
}

std::string StoredTextRun(const std::string& text) {
    std::string body = std::string("\x01\x00\x00\x0A", 4) + text;
    if (body.size() % 2 != 0) body.push_back(' ');
    std::string out;
    AppendWord(&out, 0xFF85);
    AppendWord(&out, static_cast<std::uint16_t>(4 + body.size()));
    return out + body;
}

std::string Paragraph(const std::string& text) {
    return ByteRecord(0x81, "") + ByteRecord(0x83, std::string("\x01\x00", 2)) + StoredTextRun(text);
}

std::string TableBegin(bool nested) { return ByteRecord(nested ? 0xCF : 0xA3, std::string(12, '\0')); }
std::string TableEnd(bool nested) { return ByteRecord(nested ? 0xD1 : 0xA5, std::string(4, '\0')); }

struct CellFields {
    int row = 0, column = 0;
    bool hidden = false;
    int rowSpan = 1, columnSpan = 1;
    std::uint8_t borders = 0x55;
    std::uint16_t colour = 0;
};

std::string Cell(const CellFields& f, bool nested) {
    std::string body(16, '\0');
    body[0] = static_cast<char>(f.row);
    body[1] = static_cast<char>(f.column);
    const std::uint16_t left = static_cast<std::uint16_t>(f.column * 720), right = static_cast<std::uint16_t>(left + 720);
    body[2] = static_cast<char>(left & 0xFF);
    body[3] = static_cast<char>(left >> 8);
    body[4] = static_cast<char>(right & 0xFF);
    body[5] = static_cast<char>(right >> 8);
    body[8] = static_cast<char>(f.borders);
    body[9] = static_cast<char>(f.hidden ? 0x04 : 0);
    body[12] = static_cast<char>(f.rowSpan);
    body[13] = static_cast<char>(f.columnSpan);
    body[14] = static_cast<char>(f.colour & 0xFF);
    return ByteRecord(nested ? 0xD0 : 0xA4, body);
}

// A small nested table of 2 x 2 cells.
void NestedTable(std::vector<std::string>* records) {
    records->push_back(TableBegin(true));
    for (int i = 0; i < 4; ++i) {
        CellFields f;
        f.row = i / 2;
        f.column = i % 2;
        records->push_back(Cell(f, true) + Paragraph("n" + std::to_string(i)));
    }
    records->push_back(TableEnd(true));
}

// A table of 20 x 10 cells: borders, a colour in every third cell, one
// cell in ten merged with the cell to its right (the pair stored on the
// right one), a nested table in its first cell.
void FormTable(std::vector<std::string>* records, int number) {
    records->push_back(TableBegin(false));
    for (int row = 0; row < 20; ++row) {
        for (int column = 0; column < 10; ++column) {
            CellFields f;
            f.row = row;
            f.column = column;
            f.borders = static_cast<std::uint8_t>((row + column) % 3 == 0 ? 0xAA : 0x55);
            f.colour = static_cast<std::uint16_t>(column % 3 == 0 ? 1 + (row * 7 + column) % 200 : 0);
            const bool pairStart = column % 2 == 0 && (row * 5 + column / 2) % 5 == 0;
            const bool pairEnd = column % 2 == 1 && (row * 5 + column / 2) % 5 == 0;
            if (pairStart) f.hidden = true;
            if (pairEnd) f.columnSpan = 2;
            std::string cell = Cell(f, false);
            if (!f.hidden) cell += Paragraph("t" + std::to_string(number) + "r" + std::to_string(row) + "c" + std::to_string(column));
            records->push_back(cell);
            if (row == 0 && column == 0) NestedTable(records);
        }
    }
    records->push_back(TableEnd(false));
}

// A table of 255 x 64 cells; with merged, every other 2 x 2 block is one
// cell (stored on its bottom-right cell, the others hidden).
void LargeTable(std::vector<std::string>* records, bool merged) {
    records->push_back(TableBegin(false));
    for (int row = 0; row < 255; ++row) {
        for (int column = 0; column < 64; ++column) {
            CellFields f;
            f.row = row;
            f.column = column;
            const bool inMergedBlock = merged && row < 254 && ((row / 2) + (column / 2)) % 2 == 0;
            const bool owner = inMergedBlock && row % 2 == 1 && column % 2 == 1;
            if (inMergedBlock && !owner) f.hidden = true;
            if (owner) f.rowSpan = f.columnSpan = 2;
            std::string cell = Cell(f, false);
            if (!f.hidden) cell += Paragraph("c");
            records->push_back(cell);
        }
    }
    records->push_back(TableEnd(false));
}

// A note whose "Body" item holds the records.
struct TableItem {
    talix_bench::ScratchDir directory;
    std::string path;
    plat::NOTEID id = 0;
    bool ready = false;

    explicit TableItem(const std::vector<std::string>& records) {
        plat::LogSetEcho(false);
        if (directory.path().empty()) return;
        path = directory.File("tables.nsf");
        plat::DBHANDLE db = 0;
        plat::NOTEHANDLE note = 0;
        if (plat::DbCreate(path.c_str(), &db) != 0) return;
        if (plat::NoteCreate(db, &note) == 0) {
            talix_bench::StoreRecordItems(note, "Body", records);
            ready = plat::NoteUpdate(note, 0) == 0 && plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id) == 0;
            plat::NoteClose(note);
        }
        plat::DbClose(db);
    }
};

enum class Kind { Heavy, Merged, Unmerged };

TableItem& Item(Kind kind, int copies) {
    static std::map<std::pair<Kind, int>, std::unique_ptr<TableItem>> items;
    auto& item = items[{kind, copies}];
    if (item == nullptr) {
        std::vector<std::string> records = {Paragraph("start")};
        for (int copy = 0; copy < copies; ++copy) {
            if (kind == Kind::Heavy) {
                for (int table = 0; table < 50; ++table) FormTable(&records, table);
                LargeTable(&records, false);
            } else {
                LargeTable(&records, kind == Kind::Merged);
            }
            records.push_back(Paragraph("between"));
        }
        item = std::make_unique<TableItem>(records);
    }
    return *item;
}

void Generate(benchmark::State& state, Kind kind, int copies) {
    TableItem& tables = Item(kind, copies);
    if (!talix_bench::SkipUnless(state, tables.ready, "cannot build the item")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (!talix_bench::ConnectBody(state, &item, tables.path, tables.id)) return;
    ZervaRTChunk* chunk = item.DefineChunk("Everything");
    for (auto _ : state) {
        char* block = chunk->GenerateHTML(nullptr, "HTML", "OutputToEvent=Yes CSSBorders=Yes", 0,
                                          talix_bench::DiscardText, nullptr);
        if (block == nullptr || chunk->lastStatus != 0) {
            state.SkipWithError("generation failed");
            break;
        }
        talix::ZervaDeallocate(&session, block);
    }
    delete chunk;
}

void BM_TablesHeavyN(benchmark::State& state) { Generate(state, Kind::Heavy, 1); }
BENCHMARK(BM_TablesHeavyN)->Unit(benchmark::kMillisecond);

void BM_TablesHeavy4N(benchmark::State& state) { Generate(state, Kind::Heavy, 4); }
BENCHMARK(BM_TablesHeavy4N)->Unit(benchmark::kMillisecond);

void BM_TableLargeUnmerged(benchmark::State& state) { Generate(state, Kind::Unmerged, 1); }
BENCHMARK(BM_TableLargeUnmerged)->Unit(benchmark::kMillisecond);

void BM_TableLargeMerged(benchmark::State& state) { Generate(state, Kind::Merged, 1); }
BENCHMARK(BM_TableLargeMerged)->Unit(benchmark::kMillisecond);

} // namespace
