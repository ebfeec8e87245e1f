// Records of links, hotspots, sections and pictures for the generation's
// tests (host form), and a test base that stores them with the other items
// a note may need ("$Links", attachments).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "generation_fixture.h"

namespace htmlgen_test {

using Bytes = std::vector<std::uint8_t>;

// ---- Hotspots ----------------------------------------------------------------
// A hotspot begin (0xFFAD, 0xFFA9 or 0xFF7E): type, flags, data.
FixtureRecord HotspotBegin(std::uint16_t signature, std::uint16_t type, std::uint32_t flags, const Bytes& data);
Bytes TextData(const std::string& text);            // the text and its terminator
Bytes CompiledFormula(const std::string& formula);  // a formula compiled by the platform
FixtureRecord HotspotEnd(std::uint16_t signature = 0x00AE);
FixtureRecord Target(const std::string& target);
// An id/name record of the six texts: id, class, style, title, extra, name.
FixtureRecord IdName(const std::vector<std::string>& texts);
// A JavaScript event (type, action type 4) and the code pieces of its code.
Records Event(std::uint16_t type, const std::string& code);
// A URL link resource, and a note link resource (the link held in it).
FixtureRecord URLResource(const std::string& url);
FixtureRecord NoteLinkResource(const Bytes& link, const std::string& anchor);
// A URL hotspot around a text: BEGIN, hotspot, text, extra records, end, END.
Records URLHotspot(const std::string& url, const std::string& text, const Records& extra = {});
// A file hotspot around a text, naming a note's attachment (stored name)
// and, when not empty, the file name it was attached under.
Records FileHotspot(const std::string& attachment, const std::string& fileName, const std::string& text);

// ---- Notes links ----------------------------------------------------------------
// The 40-byte note link: replica id words, view id (file pair, note pair),
// document id (file pair, note pair).
Bytes NoteLink(std::uint32_t replica0, std::uint32_t replica1, const std::uint32_t view[4],
               const std::uint32_t document[4]);
// A link record holding the link (0xFF92), and one by "$Links" index (0xFF91).
FixtureRecord ExportedLink(const Bytes& link, const std::string& comment, const std::string& hint,
                           const std::string& anchor = "");
FixtureRecord IndexedLink(std::uint16_t index, const std::string& comment);
// A "$Links" value: the data-type word, the count, the links.
std::string LinkTable(const std::vector<Bytes>& links);

// ---- Sections ----------------------------------------------------------------
// A section record: flags (border style in the top bits), title font, title.
FixtureRecord SectionBar(std::uint32_t flags, const std::string& title, std::uint32_t font = 0x0A000001);

// ---- Pictures ------------------------------------------------------------------
Bytes GifBytes(std::size_t size);
FixtureRecord Graphic(std::uint16_t width = 0, std::uint16_t height = 0, std::uint16_t resize = 0,
                      std::uint8_t flags = 0);
FixtureRecord ImageHeader(std::uint16_t type, std::uint16_t width, std::uint16_t height, std::uint32_t dataSize);
FixtureRecord ImageSegment(const Bytes& data);
FixtureRecord AltText(const std::string& text);
// A picture: BEGIN, graphic record, image header, one segment, extra
// records, END.
Records Picture(const Bytes& data, const Records& extra = {}, std::uint16_t type = 1, std::uint16_t width = 0,
                std::uint16_t height = 0);

// ---- The test base ------------------------------------------------------------
// Items a note holds besides its body: name and value (data-type word
// first).
struct ExtraItem {
    std::string name;
    std::string value;
};

class ActiveContentTest : public GenerationTest {
protected:
    // Stores the records as a new note's "Body" with the extra items, and
    // files attached to the note (stored name, content); defines a chunk.
    ZervaRTChunk* DefineWith(const Records& records, const std::vector<ExtraItem>& items,
                             const std::vector<std::pair<std::string, std::string>>& files = {});
    // The markup of a chunk, its body only (between "<body>" and "</body>").
    std::string Body(ZervaRTChunk* chunk, const char* options, const char* format = "HTML");
};

// The text between "<body>" and "</body>" of a document.
std::string BodyOf(const std::string& markup);

} // namespace htmlgen_test
