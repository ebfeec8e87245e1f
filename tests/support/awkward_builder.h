// The inside of the awkward-document generator (support/awkward_documents.h):
// the draws, and the builder that lays one item's records through the
// library's record builders and append gate. Each kind of content has its
// own file; they share this class.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/awkward_documents.h"

class RARIvoSession;
class ZervaRTItem;
class ZervaRTChunk;

namespace talix {
struct BuildContext;
}

namespace talix_test::awkward {

// The random draws: the caller's bytes first, then SplitMix64 from the seed.
class Choices {
public:
    Choices(std::uint64_t seed, const std::uint8_t* bytes, std::size_t count);
    // A number from 0 to n - 1 (0 when n is 0).
    std::uint32_t Below(std::uint32_t n);
    // A number from low to high, both included.
    std::uint32_t Between(std::uint32_t low, std::uint32_t high) { return low + Below(high - low + 1); }
    bool Percent(std::uint32_t percent) { return Below(100) < percent; }
    template <typename T, std::size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[Below(N)];
    }

private:
    std::uint64_t state_;
    const std::uint8_t* bytes_;
    std::size_t count_;
    std::size_t at_ = 0;
};

// Where a block goes, and what may go there.
struct Place {
    int tableLevel = 0;       // tables around the block (at most 6)
    int depth = 0;            // containers around it (cells, sections, list items, hotspots)
    bool inHotspot = false;   // no hotspot, link or section inside another hotspot
    bool inSection = false;
    bool shown = true;        // every rendering shows its text
    bool leading = false;     // the block opens a paragraph just started
};

// LMBCS of a UTF-8 text whose "\n" stand for line breaks (zero bytes).
std::string ToLmbcs(const std::string& utf8);

// A font of a text run.
struct RunFont {
    std::uint8_t face = 1;
    std::uint8_t attributes = 0;   // 0x01 bold ... 0x20 subscript
    std::uint8_t color = 0;        // colour index
    std::uint8_t size = 10;        // points
};

class Builder {
public:
    Builder(const AwkwardSpec& spec, AwkwardDocument* document);
    ~Builder();
    Builder(const Builder&) = delete;
    Builder& operator=(const Builder&) = delete;

    // Builds the item into the document.
    void Build();

    // ---- Shared by the parts -----------------------------------------------
    Choices& choose() { return choices_; }
    AwkwardDocument& document() { return *document_; }
    talix::BuildContext* context() { return context_.get(); }
    RARIvoSession* session() { return session_.get(); }
    ZervaRTChunk* chunk() { return chunk_.get(); }
    const AwkwardSpec& spec() const { return spec_; }
    bool Enabled(std::uint32_t kind) const { return (spec_.kinds & kind) != 0; }
    void Used(std::uint32_t kind) { document_->kinds |= kind; }
    // Whether building goes on (no failure so far).
    bool Ok() const { return document_->status == 0; }
    // Notes the first failure; false for a failure.
    bool Check(std::uint16_t status, const char* what);

    // A record laid out here, through the append gate.
    void Put(const FixtureRecord& record, const char* what);
    // The text with each "#" replaced by a number of its own: ids that are
    // unique in the item, as a document's ids must be.
    std::string Unique(std::string text);
    // Text: words drawn at random (UTF-8), noted as expected when counted.
    // Line breaks may stand between them unless the text goes to a builder
    // that takes it as a terminated string (breaks: false).
    std::string Words(int count, bool counted, bool breaks = true);
    // A text run of the UTF-8 text (LMBCS in the record).
    void Run(const std::string& utf8, const RunFont& font, const char* what = "text run");
    // A few runs of words in random fonts, colours, highlights and
    // effects, with line breaks, tabs and characters that need encoding.
    void Runs(const Place& place, int words);
    RunFont RandomFont();

    // Paragraph definitions, laid out field by field, and paragraphs of them.
    struct Definition {
        std::uint16_t justification = 0, lineSpacing = 0, before = 0, after = 0;
        std::uint16_t left = 0, right = 0, firstLine = 0;
        std::uint16_t flags = 0, flags2 = 0;
        std::uint16_t tabs = 0;
        bool extension = false;   // the six margin words (inches and percent)
        std::uint16_t leftOffset = 0, leftPercent = 0, firstLineOffset = 0, firstLinePercent = 0;
        std::uint16_t rightOffset = 0, rightPercent = 0;
    };
    // A definition of random justification, spacing, margins (inches and
    // percent), tabs, direction and flags (every flag but the list kinds),
    // now and then one that hides its paragraph or has a hide-when formula.
    Definition RandomDefinition();
    // A new definition, appended now (with its hide-when formula record
    // when its flags ask for one); returns its id.
    std::uint16_t Define(const Definition& definition);
    // A paragraph of the definition: a paragraph record and a reference.
    void StartParagraph(std::uint16_t id);
    // The plain definition every paragraph may fall back on.
    std::uint16_t PlainDefinition();
    // Whether the paragraph started last may be hidden (its text is then
    // not counted).
    bool paragraphHidden() const { return paragraphHidden_; }
    // A paragraph of plain text in the plain definition.
    void PlainParagraph(const Place& place, int words);

    // Formulas: compiled by the platform, or bytes it cannot read.
    std::string CompiledFormula(const std::string& source);
    std::string ForeignFormula();
    // A formula for a record: foreign when that kind is on and drawn,
    // else compiled from the source.
    std::string StoredFormula(const std::string& source, bool* foreign = nullptr);

    // Blocks: count blocks of random kinds for the place.
    void Blocks(const Place& place, int count);
    Place Inside(const Place& place) const;

    // The start of a hotspot or link: a paragraph before it unless it opens
    // one; inside another hotspot only text stands for it (false).
    bool StartClickable(const Place& place, std::uint32_t kind);

    // ---- The parts (each in its own file) ----------------------------------
    void Paragraph(const Place& place);       // awkward_paragraphs.cpp
    void List(const Place& place);
    void Rule(const Place& place);
    void Table(const Place& place);           // awkward_tables.cpp
    void Section(const Place& place);         // awkward_active.cpp
    void Hotspot(const Place& place);
    void Link(const Place& place);
    void Layer(const Place& place);
    void Picture(const Place& place);         // awkward_pictures.cpp
    void Passthrough(const Place& place);     // awkward_snippets.cpp

private:
    AwkwardSpec spec_;
    AwkwardDocument* document_;
    Choices choices_;
    std::unique_ptr<RARIvoSession> session_;
    std::unique_ptr<ZervaRTItem> item_;
    std::unique_ptr<ZervaRTChunk> chunk_;
    std::unique_ptr<talix::BuildContext> context_;
    std::uint16_t plainId_ = 0;
    std::vector<std::uint16_t> hiddenIds_;   // definitions that may hide their paragraphs
    bool paragraphHidden_ = false;
    std::uint32_t wordCount_ = 0;
    std::uint32_t idCount_ = 0;
    int blocksLeft_ = 0;
};

} // namespace talix_test::awkward
