// The generator's core: the draws, the builder's state (a session, item and
// chunk of its own whose record output collects what is built), text runs,
// paragraph definitions, formulas and the choice of blocks.
#include "support/awkward_builder.h"

#include <cstdio>
#include <cstring>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/build_context.h"
#include "core/font_spec.h"
#include "core/item_work_state.h"
#include "core/record_forms.h"
#include "core/record_list.h"
#include "core/signatures.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix_test {

namespace awkward {

Choices::Choices(std::uint64_t seed, const std::uint8_t* bytes, std::size_t count)
    : state_(seed), bytes_(bytes), count_(bytes != nullptr ? count : 0) {}

std::uint32_t Choices::Below(std::uint32_t n) {
    if (n <= 1) return 0;
    if (at_ < count_) {
        // Two bytes a draw, so that a fuzzer's byte changes one choice.
        std::uint32_t value = bytes_[at_++];
        if (at_ < count_) value = value << 8 | bytes_[at_++];
        return value % n;
    }
    // SplitMix64.
    state_ += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<std::uint32_t>(z % n);
}

namespace {

// Definition flags: the list kinds and those that hide a paragraph.
constexpr std::uint16_t kListFlags = 0x0400 | 0x1000;
constexpr std::uint16_t kHideFlags = 0x0010 | 0x0040 | 0x8000;
constexpr std::uint16_t kHideWhenFlag = 0x0800;
constexpr std::uint16_t kHideFlags2 = 0x0001;
constexpr std::uint16_t kListStyles2 = 0x3802;
constexpr std::uint16_t kExtendedFlags2 = 0x8000;

// Letters of words outside ASCII, appended to a word's own letters.
const char* const kAccents[] = {"", "", "", "é", "ñ", "ß", "Ω", "ж", "漢", "ü"};
// Alphabets of the letters that end foreign words.
const char* const kCyrillic[] = {"а", "б", "в", "г", "д", "е", "ж", "з", "и", "к", "л", "м", "н", "о", "п",
                                 "р", "с", "т", "у", "ф", "я", "ё", "Л", "С", "Н"};
const char* const kGreek[] = {"α", "β", "γ", "δ", "ε", "ζ", "η", "θ", "ι", "κ", "λ", "μ", "ν", "ά", "ώ", "Ε", "Ω"};
const char* const kLatin[] = {"á", "é", "í", "ó", "ú", "ñ", "ü", "ç", "à", "è", "ô", "ß", "a", "n", "r", "Ñ"};
// What stands between words: blanks, characters the markup must encode,
// tabs, line breaks (a zero byte) and symbols.
const char* const kSeparators[] = {" ", " ", " ", " ", " ", " & ", " < ", " > ", " \" ", "\t", "  ", " — ",
                                   " ™ ", " € ", " © ", "\n"};

std::string Base26(std::uint32_t n) {
    std::string letters;
    do {
        letters.insert(letters.begin(), static_cast<char>('a' + n % 26));
        n /= 26;
    } while (n > 0);
    return letters;
}

} // namespace

std::string ToLmbcs(const std::string& utf8) {
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = utf8.find('\n'); ; at = utf8.find('\n', from)) {
        const std::size_t end = at == std::string::npos ? utf8.size() : at;
        out += plat::NativeToLmbcs(std::string_view(utf8).substr(from, end - from));
        if (at == std::string::npos) break;
        out.push_back('\0');
        from = at + 1;
    }
    return out;
}

Builder::Builder(const AwkwardSpec& spec, AwkwardDocument* document)
    : spec_(spec),
      document_(document),
      choices_(spec.seed, spec.choices, spec.choiceCount),
      session_(std::make_unique<RARIvoSession>()),
      item_(std::make_unique<ZervaRTItem>(session_.get())),
      chunk_(std::make_unique<ZervaRTChunk>(session_.get(), item_.get())),
      context_(std::make_unique<talix::BuildContext>()) {
    context_->session = session_.get();
    context_->chunk = chunk_.get();
    context_->output.session = session_.get();
    context_->output.item = item_.get();
}

Builder::~Builder() {
    talix::ItemRecordList* list = item_->work != nullptr ? item_->work->output : nullptr;
    if (list != nullptr) {
        item_->work->output = nullptr;
        talix::DeleteItemRecordList(session_.get(), list);
    }
    // The builders read their inputs from the session: none of ours outlives the build.
    session_->workArea->runningOptions = nullptr;
}

bool Builder::Check(std::uint16_t status, const char* what) {
    if (status != 0 && document_->status == 0) {
        document_->status = status;
        document_->failure = what;
    }
    return status == 0;
}

void Builder::Put(const FixtureRecord& record, const char* what) {
    if (!Ok()) return;
    Check(talix::AppendRecord(record.bytes.data(), record.signature, static_cast<std::uint32_t>(record.bytes.size()),
                              &context_->output),
          what);
}

std::string Builder::Unique(std::string text) {
    for (std::size_t at = text.find('#'); at != std::string::npos; at = text.find('#', at))
        text.replace(at, 1, std::to_string(++idCount_));
    return text;
}

std::string Builder::Words(int count, bool counted, bool breaks) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            const std::string separator = choices_.Pick(kSeparators);
            text += !breaks && separator == "\n" ? " " : separator;
        }
        std::string word = "zq" + Base26(wordCount_++);
        if (spec_.foreignWords) {
            // Letters of one alphabet, two to nine of them.
            const std::uint32_t alphabet = choices_.Below(3);
            for (std::uint32_t n = 2 + choices_.Below(8); n > 0; --n) {
                word += alphabet == 0 ? choices_.Pick(kCyrillic) : alphabet == 1 ? choices_.Pick(kGreek)
                                                                                 : choices_.Pick(kLatin);
            }
        } else {
            word += choices_.Pick(kAccents);
        }
        if (choices_.Percent(5)) word[0] = 'Z';
        if (counted) document_->words.push_back(word);
        text += word;
    }
    return text;
}

RunFont Builder::RandomFont() {
    RunFont font;
    if (choices_.Percent(40)) return font;
    font.face = static_cast<std::uint8_t>(choices_.Below(5));
    font.attributes = choices_.Percent(50) ? static_cast<std::uint8_t>(choices_.Below(64)) : 0;
    font.color = static_cast<std::uint8_t>(choices_.Percent(60) ? 0 : choices_.Below(16));
    const std::uint8_t sizes[] = {6, 8, 9, 10, 10, 10, 12, 14, 18, 24, 36, 72};
    font.size = choices_.Pick(sizes);
    return font;
}

void Builder::Run(const std::string& utf8, const RunFont& font, const char* what) {
    if (!Ok()) return;
    const std::string lmbcs = ToLmbcs(utf8);
    const talix::FontId id{font.face, font.attributes, font.color, font.size};
    Check(talix::AppendTextRecord(lmbcs.data(), static_cast<std::uint32_t>(lmbcs.size()), &id, &context_->output),
          what);
}

void Builder::Runs(const Place& place, int words) {
    const bool counted = place.shown && !paragraphHidden_;
    talix::RecordOutput* output = &context_->output;
    while (words > 0 && Ok()) {
        const int count = static_cast<int>(choices_.Between(1, words < 6 ? words : 6));
        words -= count;
        const RunFont font = RandomFont();
        std::string text = Words(count, counted);
        if (choices_.Percent(10)) text = "\n" + text;
        if (choices_.Percent(10)) text += " ";
        if (choices_.Percent(4)) text += " http://zq.example.com/a?b=1&c=2, ";
        if (choices_.Percent(3)) text += " [<b>] ";
        const std::uint32_t rgb = choices_.Below(0x1000000);
        const std::uint16_t highlights[] = {0, 0, 0, 0x8000, 0x4000, 0x2000};
        switch (choices_.Below(10)) {
        case 6:   // a run and its colour
            Run(text, font);
            if (Ok()) Check(talix::AppendColorRecord(talix::kSigColor, rgb, choices_.Pick(highlights), output), "colour");
            break;
        case 7:   // runs wrapped with their colour
            if (Check(talix::AppendBeginRecord(talix::kSigText, 0, output), "text wrapper")) {
                Run(text, font);
                if (choices_.Percent(30)) Run(" " + Words(1, counted), RandomFont());
                if (Ok()) Check(talix::AppendColorRecord(talix::kSigColor, rgb, choices_.Pick(highlights), output), "colour");
                if (Ok()) Check(talix::AppendEndRecord(talix::kSigText, 0, output), "text wrapper end");
            }
            break;
        case 8: {   // right-to-left text
            const std::string lmbcs = ToLmbcs(text);
            FixtureRecord run = HostRecord(talix::kSigBidiText, static_cast<std::uint32_t>(8 + lmbcs.size()));
            run.bytes[4] = font.face;
            run.bytes[5] = font.attributes;
            run.bytes[6] = font.color;
            run.bytes[7] = font.size;
            std::memcpy(run.bytes.data() + 8, lmbcs.data(), lmbcs.size());
            Put(run, "right-to-left run");
            break;
        }
        case 9:   // one font over several records, empty ones between
            Run(text, font);
            Run("", font);
            Run(" " + Words(1, counted), font);
            break;
        default:
            Run(text, font);
            break;
        }
    }
}

std::uint16_t Builder::Define(const Definition& d) {
    // Numbered above every id the gate has seen, as the builders number theirs.
    const std::uint16_t id = talix::NextParagraphId(&context_->output);
    const bool extended = (d.flags2 & kExtendedFlags2) != 0;
    const std::uint32_t length = extended ? 92 : d.extension ? 84 : 72;
    FixtureRecord record = HostRecord(talix::kSigPabDefinition, length);
    const std::pair<std::size_t, std::uint16_t> words[] = {
        {4, id},           {6, d.justification}, {8, d.lineSpacing}, {10, d.before}, {12, d.after},
        {14, d.left},      {16, d.right},        {18, d.firstLine},  {20, d.tabs},   {62, d.flags},
        {68, d.flags2}};
    for (const auto& [at, value] : words) PutWord(&record, at, value);
    for (std::uint16_t tab = 0; tab < d.tabs && tab < 20; ++tab)
        PutWord(&record, 22 + 2 * tab, static_cast<std::uint16_t>(720 * (tab + 1)));
    if (d.tabs > 0) PutDword(&record, 64, choices_.Below(0x10000));
    if (length >= 84) {
        const std::pair<std::size_t, std::uint16_t> margins[] = {
            {72, d.leftOffset},  {74, d.leftPercent},  {76, d.firstLineOffset},
            {78, d.firstLinePercent}, {80, d.rightOffset}, {82, d.rightPercent}};
        for (const auto& [at, value] : margins) PutWord(&record, at, value);
    }
    if (extended) {
        PutDword(&record, 84, 1);
        PutDword(&record, 88, choices_.Below(2));
    }
    Put(record, "paragraph definition");
    bool hidden = (d.flags & kHideFlags) != 0 || (d.flags2 & kHideFlags2) != 0;
    if ((d.flags & kHideWhenFlag) != 0) {
        // A hide-when formula that hides nothing (or one the platform cannot
        // read, which hides nothing either), or one that hides.
        const char* const sources[] = {"0", "1=2", "@False", "@If(1 < 2; 0; 1)", "1"};
        const char* source = choices_.Pick(sources);
        bool foreign = false;
        const std::string formula = StoredFormula(source, &foreign);
        if (!foreign && std::strcmp(source, "1") == 0) hidden = true;
        FixtureRecord hide = HostRecord(talix::kSigPabHide, static_cast<std::uint32_t>(14 + formula.size()));
        PutWord(&hide, 4, id);
        std::memcpy(hide.bytes.data() + 14, formula.data(), formula.size());
        Put(hide, "hide-when formula");
    }
    if (hidden) hiddenIds_.push_back(id);
    return id;
}

void Builder::StartParagraph(std::uint16_t id) {
    if (!Ok()) return;
    Put(HostRecord(talix::kSigParagraph, 2), "paragraph");
    FixtureRecord reference = HostRecord(talix::kSigPabReference, 4);
    PutWord(&reference, 2, id);
    Put(reference, "paragraph reference");
    paragraphHidden_ = false;
    for (std::uint16_t hiddenId : hiddenIds_) paragraphHidden_ = paragraphHidden_ || hiddenId == id;
}

std::uint16_t Builder::PlainDefinition() {
    if (plainId_ == 0) plainId_ = Define(Definition{});
    return plainId_;
}

void Builder::PlainParagraph(const Place& place, int words) {
    StartParagraph(PlainDefinition());
    Runs(place, words);
}

Builder::Definition Builder::RandomDefinition() {
    Definition d;
    d.justification = static_cast<std::uint16_t>(choices_.Below(6));
    d.lineSpacing = static_cast<std::uint16_t>(choices_.Below(3));
    d.before = static_cast<std::uint16_t>(choices_.Below(3));
    d.after = static_cast<std::uint16_t>(choices_.Below(3));
    d.left = static_cast<std::uint16_t>(choices_.Below(5) * 360);
    d.firstLine = static_cast<std::uint16_t>(choices_.Percent(70) ? d.left : choices_.Below(5) * 360);
    d.right = static_cast<std::uint16_t>(choices_.Percent(50) ? 0 : choices_.Between(720, 14400));
    d.tabs = static_cast<std::uint16_t>(choices_.Percent(80) ? 0 : choices_.Between(1, 20));
    // Every flag, the list kinds and the hiding ones aside (drawn below).
    d.flags = static_cast<std::uint16_t>(choices_.Percent(50) ? choices_.Below(0x10000) : 0);
    d.flags &= static_cast<std::uint16_t>(~(kListFlags | kHideFlags | kHideWhenFlag));
    d.flags2 = static_cast<std::uint16_t>(choices_.Percent(50) ? choices_.Below(0x10000) : 0);
    d.flags2 &= static_cast<std::uint16_t>(~(kListStyles2 | kHideFlags2 | kExtendedFlags2));
    if (choices_.Percent(6)) d.flags |= static_cast<std::uint16_t>(choices_.Percent(50) ? 0x0010 : 0x8000);
    if (choices_.Percent(3)) d.flags |= 0x0040;
    if (choices_.Percent(3)) d.flags2 |= kHideFlags2;
    if (choices_.Percent(15)) d.flags |= kHideWhenFlag;
    if (choices_.Percent(15)) d.flags2 |= 0x4000;   // right to left
    if (choices_.Percent(40)) {
        // Margins in inches and in percent.
        d.extension = true;
        d.leftOffset = static_cast<std::uint16_t>(choices_.Below(4) * 360);
        d.leftPercent = static_cast<std::uint16_t>(choices_.Below(60));
        d.firstLineOffset = static_cast<std::uint16_t>(choices_.Below(4) * 360);
        d.firstLinePercent = static_cast<std::uint16_t>(choices_.Below(40));
        d.rightOffset = static_cast<std::uint16_t>(choices_.Below(4) * 360);
        d.rightPercent = static_cast<std::uint16_t>(choices_.Percent(20) ? 99 : choices_.Below(100));
        d.flags2 |= static_cast<std::uint16_t>(choices_.Below(0x100) & 0x00FC);
        if (choices_.Percent(20)) d.flags2 |= kExtendedFlags2;
    }
    return d;
}

std::string Builder::CompiledFormula(const std::string& source) {
    plat::DHANDLE compiled = 0;
    plat::WORD length = 0;
    if (!Check(plat::FormulaCompile(source.data(), static_cast<plat::WORD>(source.size()), &compiled, &length),
               "formula"))
        return {};
    const auto* bytes = static_cast<const char*>(plat::MemLock(compiled));
    std::string formula(bytes, length);
    plat::MemUnlock(compiled);
    plat::MemFree(compiled);
    return formula;
}

std::string Builder::ForeignFormula() {
    // What another system's compiler leaves: a header of its own, then
    // operators and operands the platform does not know.
    std::string formula = {'\x00', '\x00', '\x07', '\x00'};
    const std::uint32_t length = choices_.Between(4, 40);
    for (std::uint32_t i = 0; i < length; ++i) formula.push_back(static_cast<char>(choices_.Below(256)));
    if (formula.size() % 2 != 0) formula.push_back('\0');
    return formula;
}

std::string Builder::StoredFormula(const std::string& source, bool* foreign) {
    const bool other = Enabled(kAwkwardForeignFormulas) && choices_.Percent(40);
    if (foreign != nullptr) *foreign = other;
    if (!other) return CompiledFormula(source);
    Used(kAwkwardForeignFormulas);
    return ForeignFormula();
}

Place Builder::Inside(const Place& place) const {
    Place inner = place;
    ++inner.depth;
    return inner;
}

void Builder::Blocks(const Place& place, int count) {
    using Part = void (Builder::*)(const Place&);
    struct Choice {
        std::uint32_t kind;
        Part part;
        std::uint32_t weight;
    };
    const Choice choices[] = {
        {kAwkwardParagraphs, &Builder::Paragraph, 6}, {kAwkwardParagraphs, &Builder::Rule, 1},
        {kAwkwardLists, &Builder::List, 3},           {kAwkwardTables, &Builder::Table, 3},
        {kAwkwardSections, &Builder::Section, 2},     {kAwkwardHotspots, &Builder::Hotspot, 3},
        {kAwkwardLinks, &Builder::Link, 3},           {kAwkwardLayers, &Builder::Layer, 1},
        {kAwkwardPictures, &Builder::Picture, 3},     {kAwkwardPassthrough, &Builder::Passthrough, 3},
    };
    for (int i = 0; i < count && Ok(); ++i) {
        if (blocksLeft_ <= 0) {
            PlainParagraph(place, 2);
            continue;
        }
        --blocksLeft_;
        std::uint32_t total = 0;
        for (const Choice& choice : choices) {
            if (Enabled(choice.kind)) total += choice.weight;
        }
        if (total == 0) {
            PlainParagraph(place, 3);
            continue;
        }
        std::uint32_t draw = choices_.Below(total);
        for (const Choice& choice : choices) {
            if (!Enabled(choice.kind)) continue;
            if (draw < choice.weight) {
                (this->*choice.part)(place);
                break;
            }
            draw -= choice.weight;
        }
    }
}

void Builder::Build() {
    blocksLeft_ = static_cast<int>(spec_.size) * 4;
    Place top;
    // Every item starts with a paragraph, as stored items do.
    PlainParagraph(top, 3);
    Blocks(top, static_cast<int>(spec_.size));
    if (!Ok()) return;
    const talix::ItemRecordList* list = item_->work != nullptr ? item_->work->output : nullptr;
    for (const talix::CDRecordNode* node = list != nullptr ? list->head : nullptr; node != nullptr; node = node->next)
        document_->records.push_back(FixtureRecord{node->signature, {node->bytes, node->bytes + node->length}});
}

} // namespace awkward

AwkwardDocument MakeAwkwardDocument(const AwkwardSpec& spec) {
    AwkwardDocument document;
    {
        awkward::Builder builder(spec, &document);
        builder.Build();
    }
    if (document.status != 0) document.records.clear();
    return document;
}

plat::STATUS StoreAwkwardDocument(plat::DBHANDLE db, const AwkwardDocument& document, const char* itemName,
                                  plat::NOTEID* id) {
    plat::NOTEHANDLE note = 0;
    plat::STATUS status = plat::NoteCreate(db, &note);
    if (status != plat::NOERROR) return status;
    status = StoreRichTextItem(note, itemName, document.records);
    if (status == plat::NOERROR) status = plat::NoteUpdate(note, 0);
    if (status == plat::NOERROR) plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, id);
    plat::NoteClose(note);
    return status;
}

std::string DescribeAwkwardSpec(const AwkwardSpec& spec) {
    char text[96];
    std::snprintf(text, sizeof text, "seed=%llu kinds=0x%x size=%u%s", static_cast<unsigned long long>(spec.seed),
                  spec.kinds, spec.size, spec.choiceCount > 0 ? " (with chosen bytes)" : "");
    return text;
}

} // namespace talix_test
