// Helpers of the generation's tests: items built from records with a chunk
// on them, the markup a generation leaves, and a generation context of the
// test's own for the output pieces.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fixture_items.h"
#include "htmlgen/xml_gen_context.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace htmlgen_test {

using engine_test::Records;

// A text run of LMBCS bytes in face 1, 10 points.
talix_test::FixtureRecord TextBytes(const std::string& lmbcs);

class GenerationTest : public testing::Test {
protected:
    // Stores the records as a new note's "Body", connects the item to it and
    // defines a chunk (owned by the test).
    ZervaRTChunk* Define(const Records& records, const char* definition = "Everything");
    // GenerateHTML's markup: the block's text of the session's result length.
    std::string Generate(ZervaRTChunk* chunk, const char* format, const char* options,
                         const char* extraDefinition = nullptr, ZervaRTChunk::ActOnText actOnText = nullptr);

    engine_test::FixtureDatabase db_;
    RARIvoSession session_;
    ZervaRTItem item_{&session_};
    std::vector<std::unique_ptr<ZervaRTChunk>> chunks_;
};

// A context with a line buffer of the test's own, as GenerateXML prepares
// one; its option texts are released with it.
class Context {
public:
    explicit Context(RARIvoSession* session, std::uint32_t capacity = 65406);
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    talix::XMLGenContext* operator->() { return context_.get(); }
    talix::XMLGenContext* get() { return context_.get(); }
    // Reads the options as GenerateXML does for a format and MIME mode.
    std::uint16_t Read(const char* options, std::uint16_t format = talix::kFormatHTML, int mimeMode = 0);
    // The text in the line buffer (its measured extent), and replacing it.
    std::string Text();
    void SetText(const std::string& text);

private:
    RARIvoSession* session_;
    std::unique_ptr<talix::XMLGenContext> context_;
    std::vector<char> buffer_;
    std::string options_;
};

// Decodes quoted-printable text: soft line breaks vanish, escapes become
// their bytes, hard line ends (CR LF) stay.
std::string DecodeQuotedPrintable(const std::string& text);

} // namespace htmlgen_test
