// Helpers of the generation's tests: items built from records with a chunk
// on them, the markup a generation leaves, and a generation context of the
// test's own for the output pieces.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fixture_items.h"
#include "core/statuses.h"
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

// Whether the text holds the part; how often it holds it (not
// overlapping); what lies between a document's body tags.
bool Has(const std::string& text, const std::string& part);
std::size_t Count(const std::string& text, const std::string& part);
std::string Body(const std::string& markup);

// Decodes quoted-printable text: soft line breaks vanish, escapes become
// their bytes, hard line ends (CR LF) stay.
std::string DecodeQuotedPrintable(const std::string& text);

// Records of the walk's tests, in host form.
using talix_test::FixtureRecord;
// A text run in a font: face, attribute bits, colour index, point size.
FixtureRecord TextRun(std::uint8_t face, std::uint8_t attributes, std::uint8_t colour, std::uint8_t size,
                  const std::string& lmbcs);
// A right-to-left run in the default font.
FixtureRecord BidiRun(const std::string& lmbcs);
FixtureRecord Colour(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint16_t flags = 1);
FixtureRecord Definition(std::uint16_t id, std::uint16_t justification = 0, std::uint16_t flags = 0,
                         std::uint16_t flags2 = 0);
// A paragraph definition of every field; with extension, 92 bytes that
// hold the margin words.
struct DefinitionFields {
    std::uint16_t id = 1;
    std::uint16_t justification = 0;
    std::uint16_t lineSpacing = 0, before = 0, after = 0;
    std::uint16_t left = 1440, right = 0, firstLine = 1440;
    std::uint16_t flags = 0, flags2 = 0;
    bool extension = false;
    std::uint16_t leftOffset = 0, leftPercent = 0, firstLineOffset = 0, firstLinePercent = 0, rightOffset = 0,
                  rightPercent = 0;
};
FixtureRecord Definition(const DefinitionFields& fields);
FixtureRecord Reference(std::uint16_t id);
FixtureRecord ParagraphBreak();
FixtureRecord HideMarker(bool on);
// A hide-when formula of a paragraph id, compiled.
FixtureRecord HideWhen(std::uint16_t id, const std::string& formula);
FixtureRecord Rule(std::uint32_t flags, std::uint16_t width, std::uint16_t height, std::uint16_t colour);
FixtureRecord Bracket(std::uint16_t signature, std::uint16_t inner);   // BEGIN (0xDD) or END (0xDE)
FixtureRecord Plain(std::uint16_t signature, std::uint32_t length);    // zero-filled
FixtureRecord Field(std::uint16_t dataType, const std::string& name);

// Renders records held in memory (not stored: damaged records too) as the
// walk renders a whole range, with a context and buffer of the test's
// own, and returns the text it leaves; *status gets the walk's status.
// first and last: the positions of the range's first and last records
// (the whole list by default).
std::string WalkRecords(RARIvoSession* session, ZervaRTItem* item, const Records& records, const char* options,
                        std::uint16_t format = talix::kFormatHTML, talix::STATUS* status = nullptr,
                        std::uint32_t capacity = 65406, std::size_t first = 0, std::size_t last = SIZE_MAX);

} // namespace htmlgen_test
