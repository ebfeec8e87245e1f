// Feeds arbitrary bytes to the generation's output pieces: the bytes are
// read as a generation option string (in each format, in and out of MIME
// mode), then written as LMBCS text through the entity encoder, and the
// line buffer is encoded and cut into lines as its options say.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "htmlgen/document_addresses.h"
#include "htmlgen/entity_encoder.h"
#include "htmlgen/generation_options.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/xml_gen_context.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto* session = [] {
        plat::LogSetEcho(false);
        return new RARIvoSession;
    }();
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string options = text.c_str();   // a NUL ends the option string
    std::vector<char> buffer(4096);
    for (std::uint16_t format : {kFormatText, kFormatHTML, kFormatXHTML}) {
        for (int mime = 0; mime < 2; ++mime) {
            auto context = std::make_unique<XMLGenContext>();
            context->session = session;
            UseCallerBuffer(context.get(), buffer.data(), static_cast<std::uint32_t>(buffer.size()));
            context->optionText = options.data();
            context->format = format;
            context->mimeMode = mime;
            if (ReadGenerationOptions(context.get()) == kOK) {
                const auto length = static_cast<std::uint16_t>(size > 0xFFFF ? 0xFFFF : size);
                WriteXMLEncodedText(context.get(), text.data(), length, mime, format == kFormatText, 0);
                FlushOutput(context.get(), 1);
            }
            ReleaseEncoderTables(context.get());
            ReleaseGenerationOptions(context.get());
            ReleaseResourceContentIds(context.get());
        }
    }
    return 0;
}
