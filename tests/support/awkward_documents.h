// A generator of awkward rich-text items, the oracle-driven tests' source of
// input: from a seed (and, for a fuzz target, bytes that take the place of
// the first random draws) it builds one item of random content with the
// library's own record builders, through the append gate, and says what
// went in: the words every rendering must show, the kinds of content used
// and the faults the item's pass-through HTML carries itself.
//
// The same seed, kinds and size give the same records, on every machine:
// the draws come from a generator of our own, not from the standard
// library's distributions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/address_sanitizer.h"
#include "support/record_fixture.h"
#include "talix_platform/types.h"

namespace talix_test {

// Of a generated set, a test renders every item in the plain build and every
// fourth under the address sanitizer, which looks for memory faults rather
// than for more cases (and runs several times slower).
#if defined(TALIX_ADDRESS_SANITIZER)
inline constexpr int kAwkwardSampleStride = 4;
#else
inline constexpr int kAwkwardSampleStride = 1;
#endif

// The kinds of content an item may hold; each enabled kind is drawn at
// random, block by block.
enum AwkwardKind : std::uint32_t {
    // Paragraph definitions with every flag, margins in inches and in
    // percent, spacing, direction and hide-when formulas; empty paragraphs,
    // line breaks, tabs, rules, text in every font, colour and highlight.
    kAwkwardParagraphs = 1u << 0,
    // Bulleted and numbered lists of every list style, nested up to 8 levels.
    kAwkwardLists = 1u << 1,
    // Tables nested up to 6 levels with merged cells, borders, colours,
    // tabbed and animated tables and cell attributes.
    kAwkwardTables = 1u << 2,
    // Collapsible sections of every border style.
    kAwkwardSections = 1u << 3,
    // Pop-ups, action and event hotspots, buttons; their code holds line ends.
    kAwkwardHotspots = 1u << 4,
    // URL hotspots, resource links, document, view, database and anchor
    // links, attachment hotspots and named anchors.
    kAwkwardLinks = 1u << 5,
    // Positioned layers.
    kAwkwardLayers = 1u << 6,
    // Pictures of every stored kind (AwkwardPicture).
    kAwkwardPictures = 1u << 7,
    // Pass-through HTML drawn from AwkwardSnippets().
    kAwkwardPassthrough = 1u << 8,
    // Formulas stored in a form the platform cannot read (compiled by
    // another system), wherever a formula is stored.
    kAwkwardForeignFormulas = 1u << 9,
    kAwkwardEverything = (1u << 10) - 1,
};

// The stored kinds of pictures, one bit each in AwkwardDocument::pictures.
enum AwkwardPicture : std::uint32_t {
    kPictureGif = 0,            // a graphic with a GIF image header and segments
    kPictureJpeg,               // the same with JPEG data
    kPicturePng,                // the same with PNG data
    kPictureBitmap,             // a graphic with a bitmap header and bitmap segments
    kPictureUrl,                // an image reference to a URL
    kPictureAttachment,         // an image reference to a file attachment of the note
    kPictureResource,           // a reference to a named image resource
    kPictureResourceFormula,    // the same, named by a compiled formula
    kPictureWithoutData,        // a graphic record and nothing after it
    kPictureKinds,
};

struct AwkwardSpec {
    std::uint64_t seed = 1;
    std::uint32_t kinds = kAwkwardEverything;
    // Blocks at the top level; nested content (cells, list levels, section
    // bodies) comes on top and shrinks with depth.
    std::uint32_t size = 12;
    // Words of Cyrillic, Greek and accented Latin letters after their
    // ASCII start, and pass-through HTML that opens with a paragraph of
    // such words (characters the markup and the mail carry outside ASCII).
    bool foreignWords = false;
    // Bytes that take the place of the first draws (a fuzz target's input);
    // the seed's draws follow once they are used up.
    const std::uint8_t* choices = nullptr;
    std::size_t choiceCount = 0;
};

// What the generator put into an item.
struct AwkwardDocument {
    // The item's records in host form, in order; empty when building failed.
    std::vector<FixtureRecord> records;
    // 0, or the status of the builder or append that failed (a fault of the
    // generator or of the builders: the item is not usable).
    std::uint16_t status = 0;
    std::string failure;         // what was being built when it failed
    // The words (UTF-8) of the text runs outside pass-through HTML whose
    // paragraphs cannot be hidden and whose content every rendering shows.
    std::vector<std::string> words;
    std::uint32_t kinds = 0;     // AwkwardKind bits of the content used
    std::uint32_t pictures = 0;  // 1 << AwkwardPicture of the pictures used
    // The faults (AwkwardFault bits) of the snippets used, and their indexes.
    std::uint32_t passthroughFaults = 0;
    std::vector<std::size_t> snippets;
    int deepestList = 0;         // list levels and table levels reached
    int deepestTable = 0;
};

// Faults a pass-through snippet carries itself; in HTML 4.01 it is copied
// as it stands, so its faults show in the document.
enum AwkwardFault : std::uint32_t {
    kFaultUnclosed = 1u << 0,     // elements it leaves open or ends out of order
    kFaultInvalid = 1u << 1,      // what a validating reader reports as an error
    kFaultSwallows = 1u << 2,     // swallows the text after it (an open comment, script, ...)
};

struct AwkwardSnippet {
    const char* html;             // UTF-8; "\n" may stand where the stored text has a zero byte
    std::uint32_t faults;
};

// The awkward pass-through snippets (at least 40): upper-case tags,
// unclosed and misnested elements, "&&" and "<" in scripts, comments,
// entities, CDATA sections, processing instructions, stray end tags.
const std::vector<AwkwardSnippet>& AwkwardSnippets();

// Builds one item.
AwkwardDocument MakeAwkwardDocument(const AwkwardSpec& spec);

// Stores the item as the rich-text item of the name in a new note of the
// open database and saves the note; *id receives its note id. Returns 0 or
// the first failure.
plat::STATUS StoreAwkwardDocument(plat::DBHANDLE db, const AwkwardDocument& document, const char* itemName,
                                  plat::NOTEID* id);

// "seed=... kinds=0x... size=..." for a failure message.
std::string DescribeAwkwardSpec(const AwkwardSpec& spec);

} // namespace talix_test
