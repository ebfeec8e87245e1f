// Parsing HTML for an import: the buffer driver (the parser, the copy into
// the import's own tree and the clean-up passes) against the parser's own
// parse of the same bytes (its document released, nothing copied), on
// generated documents of 256 KB and 1 MB: prose with fonts, entities and
// links, tables and lists.
#include <benchmark/benchmark.h>
#include <tidy/tidy.h>
#include <tidy/tidybuffio.h>

#include <cstdint>
#include <memory>
#include <string>

#include "htmlimport/html_import_context.h"
#include "htmlimport/import_options.h"
#include "htmlimport/parser_drivers.h"
#include "talix/session.h"

namespace {

std::string Document(std::size_t size) {
    std::string html = "<!DOCTYPE html><html><head><title>Bench</title><style>p.x{color:red}</style></head><body>";
    for (std::size_t n = 0; html.size() < size; ++n) {
        const std::string k = std::to_string(n);
        html += "<p class=x>Paragraph " + k + " has <b>bold</b>, <i>italic</i> and <font face=Arial size=3>font"
                "</font> text with caf&eacute; &amp; &nbsp;entities and a <a href=\"http://example.com/" + k +
                "\">link</a>.</p>\n";
        if (n % 8 == 0) {
            html += "<table border=1><tr><td>cell " + k + "<br></td><td rowspan=2>span</td></tr>"
                    "<tr><td><div><p>inner</p></div></td></tr></table>\n";
        }
        if (n % 5 == 0) html += "<ul><li>item one<br></li><li>item <b><b>two</b></b></li></ul>\n";
    }
    return html + "</body></html>";
}

Bool TIDY_CALL Silence(TidyDoc, TidyReportLevel, uint, uint, ctmbstr) { return no; }

void BM_ParserOwnParse(benchmark::State& state) {
    const std::string html = Document(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        TidyDoc doc = tidyCreate();
        tidySetReportFilter(doc, Silence);
        tidyOptSetBool(doc, TidyQuiet, yes);
        tidySetInCharEncoding(doc, "utf8");
        TidyBuffer input;
        tidyBufInit(&input);
        tidyBufAttach(&input, reinterpret_cast<byte*>(const_cast<char*>(html.data())),
                      static_cast<uint>(html.size()));
        benchmark::DoNotOptimize(tidyParseBuffer(doc, &input));
        tidyBufDetach(&input);
        tidyRelease(doc);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * html.size()));
}

void BM_ParseAndPasses(benchmark::State& state) {
    const std::string html = Document(static_cast<std::size_t>(state.range(0)));
    RARIvoSession session;
    for (auto _ : state) {
        talix::HTMLImportContext import;
        import.session = &session;
        const auto status = talix::ParseHTMLBuffer(html.data(), static_cast<std::uint32_t>(html.size()), "indent",
                                                   &import, nullptr);
        if (status != 0) state.SkipWithError("the parse failed");
        talix::ReleaseImportContext(&import, nullptr);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * html.size()));
}

BENCHMARK(BM_ParserOwnParse)->Arg(256 * 1024)->Arg(1024 * 1024)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ParseAndPasses)->Arg(256 * 1024)->Arg(1024 * 1024)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
