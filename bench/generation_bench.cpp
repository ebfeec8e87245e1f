// The generation's output pieces over large texts: entity encoding of 1 MB
// of ASCII against 1 MB of text with 30% of its characters outside ASCII
// (Latin-1 letters and Greek), with named entities and with numeric
// references; and quoted-printable output cut into lines, 1 MB against
// 4 MB, handed to a file in pieces as the record walk hands them. And the
// HTML generation of a 10 MB item of prose, all ASCII and with 30% of its
// characters outside ASCII, against reading its records ("x_read"). And
// XHTML of an item whose one pass-through stretch holds markup made to be
// slow for the parser (hostile_markup.h), at 100,000 repetitions.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "hostile_markup.h"
#include "core/pool.h"
#include "core/record_io.h"
#include "htmlgen/entity_encoder.h"
#include "htmlgen/generation_options.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/xml_gen_context.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using talix_bench::kMegabyte;
constexpr std::size_t kPiece = 8000;   // what the walk hands on at a time in MIME mode

// An LMBCS text of about size bytes: words of ASCII letters, and with
// mixed, three characters in ten outside ASCII, half Latin-1 letters, half
// Greek letters (in the platform's own forms).
std::string SampleText(std::size_t size, bool mixed) {
    const std::string latin = plat::NativeToLmbcs("\xC3\xA9\xC3\xBC\xC3\xB1\xC3\xA0\xC3\xA7");
    const std::string greek = plat::NativeToLmbcs("\xCE\xB1\xCE\xB2\xCE\xB3\xCE\xB4\xCE\xB5");
    std::string text;
    text.reserve(size + 16);
    for (std::size_t i = 0; text.size() < size; ++i) {
        const std::size_t slot = i % 10;
        if (mixed && (slot == 2 || slot == 5 || slot == 8)) {
            if (slot == 5) {
                text += latin[i % latin.size()];
            } else {
                const std::size_t letter = (i / 10) % 5;
                text += greek.substr(letter * 3, 3);
            }
        } else {
            text += slot == 9 ? ' ' : static_cast<char>('a' + i % 26);
        }
    }
    return text;
}

// The text in pieces of about kPiece bytes, each ending on a whole
// character.
std::vector<std::string> Pieces(const std::string& text) {
    std::vector<std::string> pieces;
    std::size_t start = 0, at = 0;
    while (at < text.size()) {
        at += plat::LmbcsCharLength(reinterpret_cast<const plat::BYTE*>(text.data() + at),
                                    static_cast<plat::DWORD>(text.size() - at));
        if (at - start >= kPiece || at >= text.size()) {
            pieces.push_back(text.substr(start, at - start));
            start = at;
        }
    }
    return pieces;
}

// A context of the benchmark's own with a line buffer and options read.
struct BenchContext {
    RARIvoSession session;
    std::unique_ptr<talix::XMLGenContext> context = std::make_unique<talix::XMLGenContext>();
    std::vector<char> buffer = std::vector<char>(65406);
    std::string options;

    explicit BenchContext(const char* optionText) : options(optionText) {
        plat::LogSetEcho(false);
        context->session = &session;
        talix::UseCallerBuffer(context.get(), buffer.data(), static_cast<std::uint32_t>(buffer.size()));
        context->optionText = options.data();
        talix::ReadGenerationOptions(context.get());
    }
    ~BenchContext() {
        talix::ReleaseEncoderTables(context.get());
        talix::ReleaseGenerationOptions(context.get());
    }
};

void Encode(benchmark::State& state, bool mixed, const char* options) {
    const std::string text = SampleText(kMegabyte, mixed);
    BenchContext bench(options);
    std::vector<char> output(12 * kMegabyte);
    for (auto _ : state) {
        output[0] = '\0';
        const auto status = talix::WriteXMLEncodedTextTo(bench.context.get(), text.data(),
                                                         static_cast<std::uint32_t>(text.size()), output.data(),
                                                         static_cast<std::uint32_t>(output.size()), 0, 0, 0, 0);
        if (status != 0) state.SkipWithError("the output did not fit");
        benchmark::DoNotOptimize(output.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_EncodeAscii(benchmark::State& state) { Encode(state, false, ""); }
void BM_EncodeMixed(benchmark::State& state) { Encode(state, true, ""); }
void BM_EncodeMixedNumeric(benchmark::State& state) { Encode(state, true, "UseXMLEntities=Yes"); }
BENCHMARK(BM_EncodeAscii)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeMixed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeMixedNumeric)->Unit(benchmark::kMillisecond);

// Quoted-printable lines of 76 characters into a file, the text handed on
// in pieces.
void BM_QuotedPrintableLines(benchmark::State& state) {
    const std::size_t size = static_cast<std::size_t>(state.range(0)) * kMegabyte;
    const std::string text = SampleText(size, true);
    const std::vector<std::string> pieces = Pieces(text);
    BenchContext bench("ContentTransferEncoding=quoted-printable");
    std::FILE* sink = std::fopen("/dev/null", "w");
    if (sink == nullptr) {
        state.SkipWithError("no /dev/null");
        return;
    }
    bench.context->callerFile = sink;
    for (auto _ : state) {
        for (const std::string& piece : pieces) {
            talix::AppendOutput(bench.context.get(), piece.data(), piece.size());
            if (talix::FlushOutput(bench.context.get(), 0) != 0) state.SkipWithError("flush failed");
        }
    }
    std::fclose(sink);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_QuotedPrintableLines)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

// Each iteration: the HTML of the whole item, streamed to an event that
// does nothing, with the records read afresh; then the bare read of the
// records ("x_read" is the ratio of the sums).
void GenerationAgainstRead(benchmark::State& state, bool mixed) {
    talix_bench::ProseItem& big = talix_bench::ProseItemOf(10 * kMegabyte, mixed);
    if (!talix_bench::SkipUnless(state, big.ready, "cannot build the item")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (!talix_bench::ConnectBody(state, &item, big.path, big.id)) return;
    std::unique_ptr<ZervaRTChunk> chunk(item.DefineChunk("Everything"));
    auto generate = [&] {
        talix_bench::ForgetRecords(&item);
        return talix_bench::TimeStep([&] {
            char* block = chunk->GenerateHTML(nullptr, "HTML", "OutputToEvent=Yes", 0, talix_bench::DiscardText,
                                              nullptr);
            const bool ok = block != nullptr && chunk->lastStatus == 0;
            if (block != nullptr) talix::ZervaDeallocate(&session, block);
            return ok;
        });
    };
    auto read = [&] { return talix_bench::TimeFreshRead(&item, 1); };
    talix_bench::RatioOfSteps(state, generate, read, "read_ms", "x_read");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * big.bytes));
}

void BM_GenerationTextAgainstRead(benchmark::State& state) { GenerationAgainstRead(state, false); }
void BM_GenerationMixedAgainstRead(benchmark::State& state) { GenerationAgainstRead(state, true); }
BENCHMARK(BM_GenerationTextAgainstRead)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_GenerationMixedAgainstRead)->Unit(benchmark::kMillisecond)->UseManualTime();

// A database of its own whose note's "Body" holds a paragraph of one
// pass-through stretch: the markup in text runs of 30,000 bytes.
struct PassthroughItem : talix_bench::OneNoteDatabase {
    explicit PassthroughItem(const std::string& markup) : OneNoteDatabase("passthrough.nsf") {
        std::vector<std::string> records = {std::string("\x81\x02\x83\x04\x01\x00", 6),
                                            std::string("\xCC\xFF\x08\x00\x00\x00\x00\x00", 8)};
        for (std::size_t at = 0; at < markup.size(); at += 30000) {
            std::string text = markup.substr(at, 30000);
            if (text.size() % 2 != 0) text.push_back(' ');
            const auto length = static_cast<std::uint16_t>(8 + text.size());
            records.push_back(std::string{'\x85', '\xFF', static_cast<char>(length & 0xFF),
                                          static_cast<char>(length >> 8)} +
                              std::string("\x01\x00\x00\x0A", 4) + text);
        }
        records.push_back(std::string("\xCD\xFF\x08\x00\x00\x00\x00\x00", 8));
        if (ready) ready = talix_bench::StoreBody(path, id, records);
    }
};

// The XHTML of the item, streamed to an event that does nothing: the
// stretch is written back as elements, or as text past a bound.
void BM_PassthroughHostileAsXhtml(benchmark::State& state) {
    const talix_bench::HostileMarkup& input = talix_bench::HostileMarkups()[static_cast<std::size_t>(state.range(0))];
    const std::string markup = plat::NativeToLmbcs(input.html);
    PassthroughItem note(markup);
    if (!talix_bench::SkipUnless(state, note.ready, "cannot build the item")) return;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (!talix_bench::ConnectBody(state, &item, note.path, note.id)) return;
    std::unique_ptr<ZervaRTChunk> chunk(item.DefineChunk("Everything"));
    state.SetLabel(input.label);
    for (auto _ : state) {
        char* block = chunk->GenerateHTML(nullptr, "XHTML", "OutputToEvent=Yes", 0, talix_bench::DiscardText, nullptr);
        if (block != nullptr) talix::ZervaDeallocate(&session, block);
        if (!talix_bench::SkipUnless(state, chunk->lastStatus == 0, "the generation failed")) break;
    }
}
BENCHMARK(BM_PassthroughHostileAsXhtml)
    ->DenseRange(0, static_cast<int>(talix_bench::HostileMarkups().size()) - 1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

} // namespace
