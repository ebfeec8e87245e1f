// Pictures, layers and links for the tests of the graphic and target
// property operations: host-form records to build items from, and a test
// base that stores an item, runs operations on its chunks and reads the
// saved body back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "edit_fixture.h"
#include "fixture_items.h"
#include "talix/chunk.h"

namespace graphic_test {

using engine_test::Rec;
using engine_test::Records;
using engine_test::Signatures;
using talix_test::FixtureRecord;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kSigGraphic = 0x99, kSigImageHeader = 0x7D, kSigImageSegment = 0x7C,
                        kSigBitmapHeader = 0x95, kSigBegin = 0xDD, kSigEnd = 0xDE, kSigText = 0xFF85,
                        kSigStorageLink = 0xFFC4, kSigAltText = 0xFFCA, kSigCaption = 0xFF76, kSigIdName = 0xFF7A,
                        kSigHref = 0xFFF6, kSigBorder = 0xFFFC, kSigTarget = 0xFFF2, kSigUrlBegin = 0xFFAD,
                        kSigUrlEnd = 0xAE, kSigLayer = 0x6C, kSigPositioning = 0x6B, kSigBoxSize = 0x6A,
                        kSigBackground = 0x63, kSigRule = 0xFFC9, kSigReference = 0x83, kSigParagraph = 0x81,
                        kSigDefinition = 0xFF82, kSigFileHotspot = 0xFFA9, kSigField = 0xFF8A;

// A GIF of the given size (its data, size bytes long), and a JPEG whose
// frame header (after an application segment) gives the size.
Bytes GifData(std::uint16_t width, std::uint16_t height, std::size_t size);
Bytes JpegData(std::uint16_t width, std::uint16_t height);

FixtureRecord Begin(std::uint16_t inner);
FixtureRecord End(std::uint16_t inner);
// A graphic record: destination size, resize word and flags byte.
FixtureRecord Graphic(std::uint16_t width = 0, std::uint16_t height = 0, std::uint16_t resize = 0,
                      std::uint8_t flags = 0);
FixtureRecord ImageHeader(std::uint16_t type, std::uint16_t width, std::uint16_t height, std::uint32_t dataSize,
                          std::uint32_t segments);
FixtureRecord ImageSegment(const Bytes& data);
FixtureRecord BitmapHeader(std::uint16_t width, std::uint16_t height);
// A reference to the image resource of the name (formula flag when set).
FixtureRecord ImageResource(const std::string& name, std::uint32_t flags = 0);
using talix_test::HeadAndText;
// An id/name record of the six texts.
FixtureRecord IdName(const std::vector<std::string>& texts);
// The records of a GIF picture in its bracket: begin, graphic, header,
// one segment, then the extra records, end.
Records GifPicture(const Bytes& gif, std::uint16_t width, std::uint16_t height, const Records& extra = {});

// The first record of a signature at or after from; null when there is none.
const Rec* Find(const std::vector<Rec>& records, std::uint16_t signature, std::size_t from = 0);

// Stores an item, opens it through a ZervaRTItem and runs operations on
// chunks of it.
class ItemTest : public engine_test::EditTest {
protected:
    ZervaRTChunk* Chunk(const char* definition) { return item_.DefineChunk(definition); }
    // A get code's answer: the run's scratch buffer (1 or 3) after it.
    std::string Get(const char* definition, talix::OperationCode code, std::uint16_t op2 = 0, int scratch = 1);
    // The bytes of an attachment of the stored note ("" when it has none).
    std::string Attachment(const char* name);
};

} // namespace graphic_test
