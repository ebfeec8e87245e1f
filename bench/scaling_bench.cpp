// Operations that touch every paragraph or row, on an item of N and of 4N:
// changing the paragraph style of "Everything" (N = 3,000 paragraphs, each
// with a definition of its own), sorting the rows of a table (N = 250 rows;
// a row past the 255 of one append comes by copying a row) and copying an
// item into another (N = 2.5 MB) and generating the HTML of an item of
// prose, all ASCII or with 30% of its characters outside ASCII (N = 2.5 MB,
// the records read for each run), also stored as a new rich-text item of
// its note. Each iteration times both sizes; "x_4n"
// is the ratio of the sums.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
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

// A paragraph with a definition of its own (id number, margins varying),
// a paragraph record, a reference to the definition and a text run; in
// stored form.
std::string DefinedParagraph(std::uint16_t number) {
    std::string out;
    AppendWord(&out, 0xFF82);
    AppendWord(&out, 72);
    AppendWord(&out, number);                                   // id
    out += std::string(8, '\0');                                // justification, spacing
    AppendWord(&out, static_cast<std::uint16_t>(1440 + number % 7 * 72));   // left margin
    AppendWord(&out, 0);                                        // right margin
    AppendWord(&out, 1440);                                     // first-line left margin
    out += std::string(72 - out.size(), '\0');
    out += std::string{'\x81', '\x02', '\x83', '\x04'};
    AppendWord(&out, number);
    std::string text = "Paragraph " + std::to_string(number) + " of the item.";
    if (text.size() % 2 != 0) text.push_back(' ');
    AppendWord(&out, 0xFF85);
    AppendWord(&out, static_cast<std::uint16_t>(8 + text.size()));
    out += std::string("\x01\x00\x00\x0A", 4);
    out += text;
    return out;
}

// A note of its own in a database of its own whose "Body" holds the
// records (none: no item).
struct Note : talix_bench::OneNoteDatabase {
    explicit Note(const std::vector<std::string>& records) : OneNoteDatabase("scaling.nsf") {
        if (ready && !records.empty()) ready = talix_bench::StoreBody(path, id, records);
    }
};

std::vector<std::string> Paragraphs(std::uint16_t count) {
    std::vector<std::string> records;
    for (std::uint16_t number = 1; number <= count; ++number) records.push_back(DefinedParagraph(number));
    return records;
}

// Times one step on the large and the small case in each iteration.
void Scaling(benchmark::State& state, const std::function<bool(int)>& step) {
    talix_bench::RatioOfSteps(state, [&] { return talix_bench::TimeStep([&] { return step(1); }); },
                              [&] { return talix_bench::TimeStep([&] { return step(0); }); }, "n_ms", "x_4n");
}

// The paragraphs' left margins changed, on the whole item; the item is
// written back by each change.
void BM_ChangeParagraphEverything(benchmark::State& state) {
    Note small(Paragraphs(3000)), large(Paragraphs(12000));
    if (!talix_bench::SkipUnless(state, small.ready && large.ready, "cannot build the items")) return;
    RARIvoSession session;
    ZervaRTItem items[2] = {ZervaRTItem(&session), ZervaRTItem(&session)};
    if (!talix_bench::ConnectBody(state, &items[0], small.path, small.id)) return;
    if (!talix_bench::ConnectBody(state, &items[1], large.path, large.id)) return;
    int turn = 0;
    Scaling(state, [&](int which) {
        std::unique_ptr<ZervaRTChunk> everything(items[which].DefineChunk("Everything"));
        const char* style = (turn++ / 2) % 2 == 0 ? "LeftMargin=1.5" : "LeftMargin=1";
        return everything->ChangeParagraph(style, nullptr, 0) == 0;
    });
}
BENCHMARK(BM_ChangeParagraphEverything)->Unit(benchmark::kMillisecond)->UseManualTime();

// A table of rows x 5 columns whose first column holds keys in a scrambled
// order.
struct SortNote : Note {
    explicit SortNote(std::uint16_t rows) : Note({}) {
        if (ready) ready = Fill(rows);
    }
    bool Fill(std::uint16_t rows) {
        RARIvoSession session;
        ZervaRTItem item(&session);
        if (item.Connect("", path.c_str(), id, "Body", 1) != 0) return false;
        const char* options[] = {"Text='c0'", "Text='c1'", "Text='c2'", "Text='c3'", "Text='c4'"};
        std::unique_ptr<ZervaRTChunk> everything(item.DefineChunk("Everything"));
        const std::uint16_t first = rows < 255 ? rows : 255;
        bool ok = everything->AppendTable(first, 5, 0, nullptr, options) == 0;
        std::unique_ptr<ZervaRTChunk> table(item.DefineChunk("Table 1"));
        for (std::uint16_t row = first; ok && row < rows; ++row) ok = table->AppendRow(1, 1, nullptr) == 0;
        // Keys by row number: rows past the 256th share their number with
        // an earlier one (a cell numbers its row in a byte).
        for (std::uint16_t row = 1; ok && row <= first; ++row) {
            const std::string cell = "Row " + std::to_string(row) + "; Column 1";
            const std::string key = "key" + std::to_string((row * 7919u) % 100003u);
            ok = table->SetText(cell.c_str(), key.c_str(), 0, nullptr) == 0;
        }
        return ok && item.Save() == 0;
    }
};

void BM_SortRows(benchmark::State& state) {
    SortNote small(250), large(1000);
    if (!talix_bench::SkipUnless(state, small.ready && large.ready, "cannot build the tables")) return;
    RARIvoSession session;
    ZervaRTItem items[2] = {ZervaRTItem(&session), ZervaRTItem(&session)};
    if (!talix_bench::ConnectBody(state, &items[0], small.path, small.id)) return;
    if (!talix_bench::ConnectBody(state, &items[1], large.path, large.id)) return;
    int turn = 0;
    Scaling(state, [&](int which) {
        std::unique_ptr<ZervaRTChunk> table(items[which].DefineChunk("Table 1"));
        return table->SortByRow(1, 0, 0, (turn++ / 2) % 2, nullptr) == 0;
    });
}
BENCHMARK(BM_SortRows)->Unit(benchmark::kMillisecond)->UseManualTime();

// A whole item of paragraphs copied into the empty "Body" of another note
// (made blank again before each copy).
void BM_CopyItem(benchmark::State& state) {
    talix_bench::ParagraphsNote small(2621440), large(10485760);
    Note target({});
    if (!talix_bench::SkipUnless(state, small.ready && large.ready && target.ready, "cannot build the items")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (!talix_bench::ConnectBody(state, &item, target.path, target.id, 1)) return;
    const std::string sources[2] = {small.path, large.path};
    const plat::NOTEID ids[2] = {small.id, large.id};
    Scaling(state, [&](int which) {
        if (item.CreateBlankRichTextItem() != 0) return false;
        std::unique_ptr<ZervaRTChunk> everything(item.DefineChunk("Everything"));
        return everything->AppendRTItem("", sources[which].c_str(), ids[which], "Body") == 0;
    });
}
BENCHMARK(BM_CopyItem)->Unit(benchmark::kMillisecond)->UseManualTime();

// The HTML of a whole item of prose, streamed to an event that does
// nothing, its records read afresh each time.
// The items of prose of N and 4N, connected in items[0] and items[1];
// false (the benchmark skipped) when they cannot be.
bool ConnectProse(benchmark::State& state, bool mixed, ZervaRTItem (&items)[2]) {
    talix_bench::ProseItem& small = talix_bench::ProseItemOf(2621440, mixed);
    talix_bench::ProseItem& large = talix_bench::ProseItemOf(10485760, mixed);
    if (!talix_bench::SkipUnless(state, small.ready && large.ready, "cannot build the items")) return false;
    return talix_bench::ConnectBody(state, &items[0], small.path, small.id) &&
           talix_bench::ConnectBody(state, &items[1], large.path, large.id);
}

void GenerateProse(benchmark::State& state, bool mixed) {
    RARIvoSession session;
    ZervaRTItem items[2] = {ZervaRTItem(&session), ZervaRTItem(&session)};
    if (!ConnectProse(state, mixed, items)) return;
    Scaling(state, [&](int which) {
        talix_bench::ForgetRecords(&items[which]);
        std::unique_ptr<ZervaRTChunk> everything(items[which].DefineChunk("Everything"));
        char* block = everything->GenerateHTML(nullptr, "HTML", "OutputToEvent=Yes", 0, talix_bench::DiscardText,
                                               nullptr);
        const bool ok = block != nullptr && everything->lastStatus == 0;
        if (block != nullptr) talix::ZervaDeallocate(&session, block);
        return ok;
    });
}

void BM_GenerateProseText(benchmark::State& state) { GenerateProse(state, false); }
void BM_GenerateProseMixed(benchmark::State& state) { GenerateProse(state, true); }
BENCHMARK(BM_GenerateProseText)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_GenerateProseMixed)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace

// The HTML of a whole item of prose stored as a new rich-text item of its
// note, a line per piece the generation hands on.
void BM_ConvertToHtmlItem(benchmark::State& state) {
    RARIvoSession session;
    ZervaRTItem items[2] = {ZervaRTItem(&session), ZervaRTItem(&session)};
    if (!ConnectProse(state, false, items)) return;
    Scaling(state, [&](int which) {
        items[which].ConvertToHTML("Converted", nullptr, "Overwrite=Yes", 0, nullptr);
        return items[which].lastStatus == 0;
    });
}
BENCHMARK(BM_ConvertToHtmlItem)->Unit(benchmark::kMillisecond)->UseManualTime();
