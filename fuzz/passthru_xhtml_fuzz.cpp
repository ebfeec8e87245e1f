// Feeds arbitrary bytes to the writer of pass-through HTML in XHTML output
// as the stretch's text (the platform's character set, as the records hold
// it). Whatever the input, the writer returns, within the parser's bounds,
// and what it appends stands in an XHTML document that stays well-formed.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "htmlgen/entity_encoder.h"
#include "htmlgen/generation_options.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/passthru_xhtml.h"
#include "htmlgen/xml_gen_context.h"
#include "support/markup_validators.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

constexpr const char* kDocumentStart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
    "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n"
    "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>t</title></head><body><div>";
constexpr const char* kDocumentEnd = "</div></body></html>";

// A generation context as the generation of an XHTML document sets it up.
struct Generation {
    RARIvoSession session;
    std::unique_ptr<talix::XMLGenContext> context = std::make_unique<talix::XMLGenContext>();
    std::vector<char> buffer = std::vector<char>(65406);

    Generation() {
        plat::LogSetEcho(false);
        context->session = &session;
        talix::UseCallerBuffer(context.get(), buffer.data(), static_cast<std::uint32_t>(buffer.size()));
        context->format = talix::kFormatXHTML;
        if (talix::ReadGenerationOptions(context.get()) != 0) abort();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Generation* generation = new Generation();
    const std::string_view html(reinterpret_cast<const char*>(data), size);
    std::string written;
    talix::PassthruAsXhtml(generation->context.get(), html, &written);
    // As a generation does at its end: the character set tables the writer
    // loaded are given back (the context outlives every input).
    talix::ReleaseEncoderTables(generation->context.get());
    const std::string document = kDocumentStart + plat::LmbcsToNative(written) + kDocumentEnd;
    std::string report;
    // (The parser's bounds let elements nest past libxml2's own default.)
    if (!talix_test::XmlWellFormed(document, &report, true)) {
        std::fprintf(stderr, "%s\n", report.c_str());
        abort();
    }
    return 0;
}
