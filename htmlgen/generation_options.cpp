// The keyword table of a generation: every keyword GenerateXML reads, in
// reading order, with its kind, the condition under which it is read, its
// default and its clamps. Kinds:
// - switch: "Yes" on, "No" off, anything else leaves it;
// - word switch: its word turns it on, another non-empty value off;
// - inverted switch: "No" on, "Yes" off;
// - flag: an int that "Yes" makes 1 from 0 and "No" makes 0 from 1;
// - text: a tracked copy (none when absent or empty, unless a default);
// - directory: a text that loses one trailing separator;
// - URL prefix: a text that loses one trailing separator and whose
//   backslashes become slashes;
// - graphic: a text that loses one trailing separator and falls back to a
//   built-in picture;
// - number and special: read by their own function, with the clamps of the
//   row.
#include "htmlgen/generation_options.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/charset_names.h"
#include "core/database_open.h"
#include "core/font_spec.h"
#include "core/host_message.h"
#include "core/options.h"
#include "core/pool.h"
#include "core/temp_directory.h"
#include "core/text_compare.h"
#include "htmlgen/document_addresses.h"
#include "htmlgen/entity_encoder.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr const char* kSourceName = "htmlgen";
constexpr std::uint32_t kDefaultEventChunk = 32703;
constexpr std::uint32_t kMimeEventChunk = 8192;
constexpr std::uint16_t kDefaultLineLength = 72;
constexpr std::uint16_t kQuotedPrintableLineLength = 76;
constexpr std::uint16_t kDefaultThresholds[6] = {8, 10, 12, 14, 18, 24};
constexpr std::size_t kFaceNameLength = 31;
constexpr std::int32_t kIgnore = -1;

struct OptionReader;
struct OptionRow;
using SpecialReader = STATUS (*)(OptionReader& reader, const OptionRow& row);

enum class Kind : std::uint8_t {
    Switch, WordSwitch, InvertedSwitch, Flag, Text, Directory, UrlPrefix, Trimmed, Graphic, Special,
};

// When a keyword is read at all.
enum class Gate : std::uint8_t {
    Always,
    EventKeyword,       // OutputToEvent= is present
    TabbedCSS,          // TabbedTablesInCSS is on
    RespectHidden,      // RespectHiddenFormulas is on
    StandardFonts,      // StandardFontTags is on
    NotStandardFonts,   // StandardFontTags is off
    Preset,             // a preset is in force
    ImageFiles,         // ImageHandling is DISK or RESOURCE
    ImageDirectory,     // LocalDominoSymbols is on or ImageHandling is DISK
    ImageResource,      // ImageHandling is RESOURCE
    AttachmentDisk,     // AttachmentHandling is DISK
    DelimitedMarks,     // MarkDelimitedHTML is on
    NotLocalSymbols,    // LocalDominoSymbols is off
};

// A number's clamps: values from low to high are taken; a smaller one (or
// text, which counts as 0) becomes below, a larger one above; kIgnore
// leaves the value as it was.
struct Clamp {
    std::int32_t low = 0;
    std::int32_t high = 0;
    std::int32_t below = kIgnore;
    std::int32_t above = kIgnore;
};

struct OptionRow {
    const char* keyword = nullptr;
    Kind kind = Kind::Switch;
    Gate gate = Gate::Always;
    GenSwitch bit{};
    int XMLGenContext::*flag = nullptr;
    char* GenTexts::*text = nullptr;
    // The word of a word switch; the default of a text; the built-in
    // picture of a graphic.
    const char* word = nullptr;
    // A graphic's fixed name under LocalDominoSymbols.
    const char* localName = nullptr;
    SpecialReader special = nullptr;
    Clamp clamp{};
    int index = 0;
};

constexpr OptionRow Switch(const char* keyword, GenSwitch bit, Gate gate = Gate::Always) {
    OptionRow row;
    row.keyword = keyword;
    row.bit = bit;
    row.gate = gate;
    return row;
}
constexpr OptionRow WordSwitch(const char* keyword, GenSwitch bit, const char* word) {
    OptionRow row = Switch(keyword, bit);
    row.kind = Kind::WordSwitch;
    row.word = word;
    return row;
}
constexpr OptionRow Inverted(const char* keyword, GenSwitch bit, Gate gate = Gate::Always) {
    OptionRow row = Switch(keyword, bit, gate);
    row.kind = Kind::InvertedSwitch;
    return row;
}
constexpr OptionRow Flag(const char* keyword, int XMLGenContext::*flag) {
    OptionRow row;
    row.keyword = keyword;
    row.kind = Kind::Flag;
    row.flag = flag;
    return row;
}
constexpr OptionRow Text(const char* keyword, char* GenTexts::*text, Gate gate = Gate::Always,
                         Kind kind = Kind::Text, const char* fallback = nullptr) {
    OptionRow row;
    row.keyword = keyword;
    row.kind = kind;
    row.text = text;
    row.gate = gate;
    row.word = fallback;
    return row;
}
constexpr OptionRow Graphic(const char* keyword, char* GenTexts::*text, const char* picture,
                            const char* localName = nullptr) {
    OptionRow row = Text(keyword, text, Gate::Always, Kind::Graphic, picture);
    row.localName = localName;
    return row;
}
constexpr OptionRow Special(const char* keyword, SpecialReader reader, Gate gate = Gate::Always, Clamp clamp = {},
                            int index = 0) {
    OptionRow row;
    row.keyword = keyword;
    row.kind = Kind::Special;
    row.special = reader;
    row.gate = gate;
    row.clamp = clamp;
    row.index = index;
    return row;
}

// The state of one reading: the options, a value buffer as long as the
// whole option text (so that no value is ever cut), and DefaultURLDirectory=,
// kept until the reading ends.
struct OptionReader {
    XMLGenContext* context = nullptr;
    const char* options = nullptr;
    std::vector<char> value;
    std::string defaultURLDirectory;
    bool hasDefaultURLDirectory = false;

    bool Get(const char* key) {
        value[0] = '\0';
        return options != nullptr && GetOptionValue(options, key, value.data(),
                                                    static_cast<std::uint32_t>(value.size())) != 0;
    }
    char* Value() { return value.data(); }
    std::uint32_t Size() const { return static_cast<std::uint32_t>(value.size()); }
};

// ---- Small helpers -----------------------------------------------------------

bool Equal(const char* a, const char* b) { return EqualNoCase(a, b); }

// The leading decimal number of a text, 0 for text (and for values past
// 32 bits, which no clamp takes as they stand).
std::int64_t Number(const char* text) {
    std::int64_t value = 0;
    std::size_t i = 0;
    while (text[i] == ' ') ++i;
    for (; std::isdigit(static_cast<unsigned char>(text[i])) != 0 && value < 0x100000000LL; ++i)
        value = value * 10 + (text[i] - '0');
    return value;
}

std::int64_t Clamped(std::int64_t value, const Clamp& clamp, std::int64_t current) {
    if (value < clamp.low) return clamp.below == kIgnore ? current : clamp.below;
    if (value > clamp.high) return clamp.above == kIgnore ? current : clamp.above;
    return value;
}

void TrimOneSeparator(std::string* text, bool slashToo) {
    if (!text->empty() && (text->back() == '\\' || (slashToo && text->back() == '/'))) text->pop_back();
}

void Upper(std::string* text) {
    for (char& c : *text) c = UpperAscii(c);
}

// Replaces a text of the context by a tracked copy (none for null).
STATUS StoreText(XMLGenContext* context, char** slot, const char* text) {
    if (*slot != nullptr) ZervaDeallocate(context->session, *slot);
    *slot = nullptr;
    if (text == nullptr) return kOK;
    *slot = QuorbelAllocateString(context->session, __LINE__, kSourceName, text, 0);
    return *slot != nullptr ? kOK : kOutOfMemory;
}

bool GateOpen(Gate gate, OptionReader& reader) {
    XMLGenContext* context = reader.context;
    switch (gate) {
    case Gate::Always: return true;
    case Gate::EventKeyword: return reader.options != nullptr && reader.Get("OutputToEvent=");
    case Gate::TabbedCSS: return IsOn(context, sw::kTabbedTablesInCSS);
    case Gate::RespectHidden: return IsOn(context, sw::kRespectHiddenFormulas);
    case Gate::StandardFonts: return IsOn(context, sw::kStandardFontTags);
    case Gate::NotStandardFonts: return !IsOn(context, sw::kStandardFontTags);
    case Gate::Preset: return IsOn(context, sw::kPreset);
    case Gate::ImageFiles:
        return context->imageHandling == kHandlingDisk || context->imageHandling == kHandlingResource;
    case Gate::ImageDirectory: return context->localDominoSymbols != 0 || context->imageHandling == kHandlingDisk;
    case Gate::ImageResource: return context->imageHandling == kHandlingResource;
    case Gate::AttachmentDisk: return context->attachmentHandling == kHandlingDisk;
    case Gate::DelimitedMarks: return IsOn(context, sw::kMarkDelimitedHTML);
    case Gate::NotLocalSymbols: return context->localDominoSymbols == 0;
    }
    return false;
}

// ---- Readers of the ordinary kinds ---------------------------------------

STATUS ReadText(OptionReader& reader, const OptionRow& row) {
    XMLGenContext* context = reader.context;
    char** slot = &(context->texts.*row.text);
    const bool present = reader.Get(row.keyword) && reader.Value()[0] != '\0';
    std::string text = present ? reader.Value() : "";
    switch (row.kind) {
    case Kind::Directory:
        TrimOneSeparator(&text, true);
        break;
    case Kind::UrlPrefix:
        TrimOneSeparator(&text, true);
        for (char& c : text) {
            if (c == '\\') c = '/';
        }
        break;
    case Kind::Trimmed:
        TrimOneSeparator(&text, true);
        break;
    case Kind::Graphic:
        if (present) {
            TrimOneSeparator(&text, true);
        } else if (context->mimeMode != 0 && IsOn(context, sw::kMimeParts)) {
            text = std::string("cid:") + row.word;
        } else if (const char* replacement = ImageReplacement(context, row.word)) {
            text = replacement;
        }
        return StoreText(context, slot, text.empty() ? nullptr : text.c_str());
    default:
        break;
    }
    if (!present) return StoreText(context, slot, row.word);
    return StoreText(context, slot, text.c_str());
}

STATUS ReadRow(OptionReader& reader, const OptionRow& row) {
    XMLGenContext* context = reader.context;
    if (!GateOpen(row.gate, reader)) return kOK;
    switch (row.kind) {
    case Kind::Switch: {
        std::uint32_t& word = SwitchWord(context, row.bit.word);
        word = ApplyYesNoOption(reader.options, row.keyword, reader.Value(), reader.Size(), row.bit.mask, word);
        return kOK;
    }
    case Kind::WordSwitch: {
        std::uint32_t& word = SwitchWord(context, row.bit.word);
        word = ApplyFlagOption(reader.options, row.keyword, reader.Value(), reader.Size(), row.bit.mask, word,
                               row.word, nullptr);
        return kOK;
    }
    case Kind::InvertedSwitch: {
        std::uint32_t& word = SwitchWord(context, row.bit.word);
        word = ApplyFlagOption(reader.options, row.keyword, reader.Value(), reader.Size(), row.bit.mask, word, "No",
                               "Yes");
        return kOK;
    }
    case Kind::Flag: {
        int& flag = context->*row.flag;
        flag = static_cast<int>(GetYesNoOption(reader.options, row.keyword, reader.Value(), reader.Size(),
                                               flag != 0 ? 1u : 0u));
        return kOK;
    }
    case Kind::Special:
        return row.special(reader, row);
    default:
        return ReadText(reader, row);
    }
}

// ---- Every format ------------------------------------------------------------

STATUS ReadGeneration(OptionReader& reader, const OptionRow& row) {
    XMLGenContext* context = reader.context;
    std::uint32_t& word = SwitchWord(context, sw::kFragment.word);
    word = ApplyFlagOption(reader.options, row.keyword, reader.Value(), reader.Size(), sw::kFragment.mask, word,
                           "Fragment", nullptr);
    if (IsOn(context, sw::kFragment)) SetSwitch(context, sw::kMoveStylesInline, true);
    return kOK;
}

STATUS ReadCurlyBraces(OptionReader& reader, const OptionRow& row) {
    XMLGenContext* context = reader.context;
    const bool braces = reader.Get(row.keyword) && Equal(reader.Value(), "Yes");
    context->openBrace[0] = braces ? '{' : '\0';
    context->closeBrace[0] = braces ? '}' : '\0';
    return kOK;
}

STATUS ReadMaxLineLength(OptionReader& reader, const OptionRow& row) {
    XMLGenContext* context = reader.context;
    std::int64_t length = context->mimeMode != 0 ? kDefaultLineLength : 0;
    if (reader.Get(row.keyword)) length = Clamped(Number(reader.Value()), row.clamp, length);
    // Quoted-printable lines are at most 76 characters; "no wrapping" is no
    // exception.
    if (IsOn(context, sw::kQuotedPrintable) && (length == 0 || length > kQuotedPrintableLineLength))
        length = kQuotedPrintableLineLength;
    context->maxLineLength = static_cast<std::uint16_t>(length);
    return kOK;
}

STATUS ReadCharsetNumber(OptionReader& reader, const OptionRow& row) {
    XMLGenContext* context = reader.context;
    if (reader.Get(row.keyword)) {
        context->charsetId = static_cast<std::uint16_t>(Clamped(Number(reader.Value()), row.clamp, 32));
        context->outputCharset = context->charsetId;
    } else if (reader.Get("Charset=")) {
        context->charsetId = static_cast<std::uint16_t>(CharsetNameToId(reader.Value(), 32));
        // A name the table does not know leaves the output in UTF-8.
        context->outputCharset = static_cast<std::uint16_t>(CharsetNameToId(reader.Value(), 0));
    }
    return kOK;
}

STATUS ReadAddNewlines(OptionReader& reader, const OptionRow& row) {
    XMLGenContext* context = reader.context;
    if (reader.Get(row.keyword)) {
        const char* value = reader.Value();
        bool known = true;
        if (Equal(value, "Yes") || Equal(value, "NL")) {
            context->newlines = NewlineMode::NL;
        } else if (Equal(value, "CRLF")) {
            context->newlines = NewlineMode::CRLF;
        } else {
            known = false;
        }
        if (known && context->maxLineLength == 0) context->maxLineLength = kDefaultLineLength;
    }
    // MIME output and quoted-printable lines end in CRLF.
    if (context->mimeMode != 0 || IsOn(context, sw::kQuotedPrintable)) context->newlines = NewlineMode::CRLF;
    return kOK;
}

// ---- HTML and XHTML ------------------------------------------------------

// A number keyword that also takes "Yes" and "No"; 0 (and text) stays 0,
// other numbers are clamped. False when the keyword is absent.
bool ReadNumberOrYesNo(OptionReader& reader, const OptionRow& row, std::int64_t yes, std::int64_t no,
                       std::int64_t* value) {
    if (!reader.Get(row.keyword)) return false;
    const char* text = reader.Value();
    if (Equal(text, "Yes")) {
        *value = yes;
    } else if (Equal(text, "No")) {
        *value = no;
    } else {
        const std::int64_t number = Number(text);
        *value = number == 0 ? 0 : Clamped(number, row.clamp, number);
    }
    return true;
}

STATUS ReadOutputToEvent(OptionReader& reader, const OptionRow& row) {
    std::int64_t chunk = 0;
    if (ReadNumberOrYesNo(reader, row, kMimeEventChunk, 0, &chunk))
        reader.context->eventChunkSize = static_cast<std::uint32_t>(chunk);
    return kOK;
}

// A value longer than the path's buffer is refused, with a message, rather
// than cut into another path.
STATUS ReadBasePathname(OptionReader& reader, const OptionRow& row) {
    XMLGenContext* context = reader.context;
    if (!reader.Get(row.keyword)) return kOK;
    const std::size_t length = std::strlen(reader.Value());
    if (length >= sizeof context->basePathname) {
        ReportRefusal(context->session, "the option %s is longer than the %zu bytes it may have; nothing generated",
                      row.keyword, sizeof context->basePathname - 1);
        return kArgumentError;
    }
    std::memcpy(context->basePathname, reader.Value(), length + 1);
    return kOK;
}

// Words that turn on the switches whose word they contain; "All" turns on
// the first three.
struct WordBit {
    const char* word;
    GenSwitch bit;
};

void ApplyWords(XMLGenContext* context, const char* value, const WordBit* words, int count, int allCount) {
    if (FindNoCase(value, "All") != nullptr) {
        for (int i = 0; i < allCount; ++i) SetSwitch(context, words[i].bit, true);
        return;
    }
    for (int i = 0; i < count; ++i) {
        if (FindNoCase(value, words[i].word) != nullptr) SetSwitch(context, words[i].bit, true);
    }
}

STATUS ReadAutoTag(OptionReader& reader, const OptionRow& row) {
    static const WordBit kWords[] = {
        {"Table", sw::kAutoTagTable}, {"Row", sw::kAutoTagRow}, {"Cell", sw::kAutoTagCell}};
    if (reader.Get(row.keyword)) ApplyWords(reader.context, reader.Value(), kWords, 3, 3);
    return kOK;
}

STATUS ReadAutoClass(OptionReader& reader, const OptionRow& row) {
    static const WordBit kWords[] = {{"Table", sw::kAutoClassTable},
                                     {"Row", sw::kAutoClassRow},
                                     {"Column", sw::kAutoClassColumn},
                                     {"Section", sw::kAutoClassSection}};
    if (reader.Get(row.keyword)) ApplyWords(reader.context, reader.Value(), kWords, 4, 3);
    return kOK;
}

STATUS ReadPreserveTabs(OptionReader& reader, const OptionRow& row) {
    std::int64_t spaces = 0;
    if (ReadNumberOrYesNo(reader, row, 3, 0, &spaces)) reader.context->tabSpaces = static_cast<std::uint16_t>(spaces);
    return kOK;
}

STATUS ReadRaiseLinkEvent(OptionReader& reader, const OptionRow& row) {
    XMLGenContext* context = reader.context;
    if (!reader.Get(row.keyword)) return kOK;
    const char* value = reader.Value();
    const bool all = StartsWithNoCase(value, "All");
    if (all || StartsWithNoCase(value, "Doc")) SetSwitch(context, sw::kRaiseDocLinkEvents, true);
    if (all || StartsWithNoCase(value, "URL")) SetSwitch(context, sw::kRaiseURLLinkEvents, true);
    return kOK;
}

STATUS ReadSuppressFonts(OptionReader& reader, const OptionRow& row) {
    XMLGenContext* context = reader.context;
    if (!reader.Get(row.keyword)) return kOK;
    const char* value = reader.Value();
    const bool all = Equal(value, "all");
    if (all || FindNoCase(value, "face") != nullptr) SetSwitch(context, sw::kSuppressFontFace, true);
    if (all || FindNoCase(value, "attr") != nullptr) SetSwitch(context, sw::kSuppressFontAttributes, true);
    if (all || FindNoCase(value, "color") != nullptr || FindNoCase(value, "colour") != nullptr)
        SetSwitch(context, sw::kSuppressFontColor, true);
    if (all || FindNoCase(value, "size") != nullptr) SetSwitch(context, sw::kSuppressFontSize, true);
    return kOK;
}

STATUS ReadSparseTable(OptionReader& reader, const OptionRow& row) {
    XMLGenContext* context = reader.context;
    if (reader.Get(row.keyword) && Equal(reader.Value(), "Width")) {
        SetSwitch(context, sw::kSparseTable, true);
        SetSwitch(context, sw::kSparseWidth, true);
        return kOK;
    }
    std::uint32_t& word = SwitchWord(context, sw::kSparseTable.word);
    word = ApplyYesNoOption(reader.options, row.keyword, reader.Value(), reader.Size(), sw::kSparseTable.mask, word);
    return kOK;
}

STATUS ReadFontThreshold(OptionReader& reader, const OptionRow& row) {
    XMLGenContext* context = reader.context;
    if (!reader.Get(row.keyword)) return kOK;
    std::uint16_t& threshold = context->fontSizeThresholds[row.index];
    threshold = static_cast<std::uint16_t>(Clamped(Number(reader.Value()), row.clamp, threshold));
    return kOK;
}

// The five static faces: their names and the CSS family lists made from
// the notes.ini faces (cut at "|" and at 32 characters) and a generic family.
void FillStaticFaces(XMLGenContext* context) {
    struct FaceSource {
        const char* name;
        const char* variable;
        const char* generic;
    };
    static const FaceSource kSources[kStaticFaces] = {
        {"Default Sans Serif", "StaticFont1", "sans-serif"},
        {"Default Serif", "StaticFont0", "serif"},
        {"Default Monospace", "StaticFont4", "monospace"},
        {"Default MultiLingual", "StaticFont2", "sans-serif"},
        {"Default User Interface", nullptr, "sans-serif"},
    };
    for (int i = 0; i < kStaticFaces; ++i) {
        StaticFace& face = context->faces[i];
        std::snprintf(face.name, sizeof face.name, "%s", kSources[i].name);
        char configured[64] = {};
        if (kSources[i].variable != nullptr) plat::IniGetText(kSources[i].variable, configured, sizeof configured);
        configured[std::strcspn(configured, "|")] = '\0';
        const std::string cut(configured, strnlen(configured, 32));
        if (!cut.empty()) {
            const std::string families = cut + "," + kSources[i].generic;
            std::snprintf(face.families, sizeof face.families, "%s", families.c_str());
        } else {
            std::snprintf(face.families, sizeof face.families, "%s", kSources[i].generic);
        }
    }
}

STATUS ReadInitialFont(OptionReader& reader, const OptionRow& row) {
    XMLGenContext* context = reader.context;
    // The faces are filled before the first of their keywords is read.
    if (row.index == 0) FillStaticFaces(context);
    if (reader.Get(row.keyword) && reader.Value()[0] != '\0') {
        char* name = context->faces[row.index].name;
        std::snprintf(name, kFaceNameLength + 1, "%s", reader.Value());
    }
    return kOK;
}

STATUS ReadSubstituteFont(OptionReader& reader, const OptionRow& row) {
    XMLGenContext* context = reader.context;
    if (reader.Get(row.keyword) && reader.Value()[0] != '\0') {
        char* families = context->faces[row.index].families;
        std::snprintf(families, kFaceNameLength + 1, "%s", reader.Value());
    }
    return kOK;
}

// Whether the font words select anything a header cell's font is
// matched by: words that name no face, size, colour or attribute would match
// every font.
bool SelectsHeaderFont(const FontSpecMask& mask) {
    return mask.face != 0 || mask.size != 0 || mask.color != 0 || mask.attributes != 0 || mask.attributesSet != 0 ||
           mask.attributesClear != 0;
}

STATUS ReadAutoTHFont(OptionReader& reader, const OptionRow& row) {
    XMLGenContext* context = reader.context;
    if (!reader.Get(row.keyword) || reader.Value()[0] == '\0') return kOK;
    if (ParseFontSpec(reader.Value(), nullptr, context->item, &context->headerCellFont, nullptr,
                      &context->headerCellFontMask, nullptr) == kOK &&
        SelectsHeaderFont(context->headerCellFontMask)) {
        SetSwitch(context, sw::kAutoTHFont, true);
    }
    return kOK;
}

// IGNORE, else DISK, else the third word (NAME or RESOURCE), else the
// default, found in the upper-cased value.
std::uint16_t HandlingFromWords(std::string value, const char* thirdWord) {
    Upper(&value);
    if (value.find("IGNORE") != std::string::npos) return kHandlingIgnore;
    if (value.find("DISK") != std::string::npos) return kHandlingDisk;
    if (value.find(thirdWord) != std::string::npos) return kHandlingName;   // = kHandlingResource
    return kHandlingDefault;
}

STATUS ReadAttachmentHandling(OptionReader& reader, const OptionRow& row) {
    if (reader.Get(row.keyword)) reader.context->attachmentHandling = HandlingFromWords(reader.Value(), "NAME");
    return kOK;
}

STATUS ReadImageHandling(OptionReader& reader, const OptionRow& row) {
    if (reader.Get(row.keyword)) reader.context->imageHandling = HandlingFromWords(reader.Value(), "RESOURCE");
    return kOK;
}

STATUS ReadImageResourceToDisk(OptionReader& reader, const OptionRow& row) {
    XMLGenContext* context = reader.context;
    SetSwitch(context, sw::kImageResourceToDisk, true);
    std::uint32_t& word = SwitchWord(context, sw::kImageResourceToDisk.word);
    word = ApplyYesNoOption(reader.options, row.keyword, reader.Value(), reader.Size(), sw::kImageResourceToDisk.mask,
                            word);
    return kOK;
}

// The image database: the item's own for an empty path, else the one
// ImageServer= and ImageFilePath= name; one that cannot be opened is the
// chunk's error 20017 (the body is then not generated).
STATUS ReadImageDatabase(OptionReader& reader, const OptionRow& row) {
    XMLGenContext* context = reader.context;
    std::string server = reader.Get("ImageServer=") ? reader.Value() : "";
    std::string path = reader.Get(row.keyword) ? reader.Value() : "";
    if (path.empty()) {
        context->imageDatabase = context->item != nullptr ? context->item->databaseHandle : 0;
        return kOK;
    }
    plat::DBHANDLE db = 0;
    if (OpenDatabaseByName(context->session, server.c_str(), path.c_str(), &db) != kOK) {
        if (context->chunk != nullptr) context->chunk->errorWord = kErrFormula;
        return kOK;
    }
    context->imageDatabase = db;
    context->imageDatabaseOpened = 1;
    return kOK;
}

STATUS ReadDefaultSubdirectory(OptionReader& reader, const OptionRow& row) {
    XMLGenContext* context = reader.context;
    std::string directory;
    if (reader.Get(row.keyword)) {
        directory = reader.Value();
        TrimOneSeparator(&directory, true);
    } else if (!IsOn(context, sw::kImageUNIDAsFolder) && context->callerFile != nullptr &&
               context->callerFileName != nullptr) {
        const char* name = context->callerFileName;
        const char* slash = std::strrchr(name, '/');
        const char* backslash = std::strrchr(name, '\\');
        const char* last = slash > backslash ? slash : backslash;
        directory = last != nullptr ? last + 1 : name;
        directory = directory.substr(0, directory.find('.'));
    }
    return StoreText(context, &context->texts.defaultSubdirectory, directory.empty() ? nullptr : directory.c_str());
}

STATUS ReadUseUnid(OptionReader& reader, const OptionRow& row) {
    XMLGenContext* context = reader.context;
    if (!reader.Get(row.keyword)) return kOK;
    const char* value = reader.Value();
    bool valid = std::strlen(value) == 32;
    for (std::size_t i = 0; valid && i < 32; ++i) valid = std::isxdigit(static_cast<unsigned char>(value[i])) != 0;
    if (!valid) {
        ShowHostMessage("UseUNID property pair specifies invalid UNID.  Ignored!");
        return kOK;
    }
    for (int i = 0; i < 4; ++i) {
        const std::string part(value + 8 * i, 8);
        context->unidWords[i] = static_cast<std::uint32_t>(std::strtoul(part.c_str(), nullptr, 16));
    }
    context->useUnid = 1;
    return kOK;
}

std::string UrlPrefix(std::string text) {
    TrimOneSeparator(&text, true);
    for (char& c : text) {
        if (c == '\\') c = '/';
    }
    return text;
}

STATUS ReadDefaultURLDirectory(OptionReader& reader, const OptionRow& row) {
    if (reader.Get(row.keyword) && reader.Value()[0] != '\0') {
        reader.defaultURLDirectory = UrlPrefix(reader.Value());
        reader.hasDefaultURLDirectory = true;
    }
    return kOK;
}

// A URL prefix whose default is DefaultURLDirectory=; row.index 1: held even
// when empty; "*NONE*" gives an empty text for InPlaceImageURLDirectory=.
STATUS ReadDirectoryURL(OptionReader& reader, const OptionRow& row) {
    XMLGenContext* context = reader.context;
    char** slot = &(context->texts.*row.text);
    if (reader.Get(row.keyword) && reader.Value()[0] != '\0') {
        if (row.word != nullptr && std::strcmp(reader.Value(), row.word) == 0) return StoreText(context, slot, "");
        return StoreText(context, slot, UrlPrefix(reader.Value()).c_str());
    }
    if (reader.hasDefaultURLDirectory) return StoreText(context, slot, reader.defaultURLDirectory.c_str());
    return StoreText(context, slot, row.index == 1 ? "" : nullptr);
}

STATUS ReadAttachmentDirectory(OptionReader& reader, const OptionRow& row) {
    XMLGenContext* context = reader.context;
    // Kept as the native path the files are made under, as the temporary
    // directory is: the option is text in the platform's character set.
    std::string directory = reader.Get(row.keyword) && reader.Value()[0] != '\0' ? plat::LmbcsToNative(reader.Value())
                                                                                : TempDirectory();
    TrimOneSeparator(&directory, true);
    return StoreText(context, &context->texts.attachmentDirectory, directory.c_str());
}

STATUS ReadLinkURLDirectory(OptionReader& reader, const OptionRow& row) {
    XMLGenContext* context = reader.context;
    std::string directory;
    if (reader.Get(row.keyword) && reader.Value()[0] != '\0') {
        directory = UrlPrefix(reader.Value());
    } else if (context->mimeMode != 0) {
        directory = "notes://";
    } else if (reader.hasDefaultURLDirectory) {
        directory = reader.defaultURLDirectory;
    } else {
        directory = "/";
    }
    return StoreText(context, &context->texts.linkURLDirectory, directory.c_str());
}

// The built-in link graphics under LocalDominoSymbols have fixed names.
STATUS ReadLinkGraphic(OptionReader& reader, const OptionRow& row) {
    if (reader.context->localDominoSymbols != 0)
        return StoreText(reader.context, &(reader.context->texts.*row.text), row.localName);
    // Otherwise read as any graphic with a built-in fallback.
    OptionRow graphic = row;
    graphic.kind = Kind::Graphic;
    return ReadText(reader, graphic);
}

// A part of an address: backslashes as "/" (and, when asked, blanks as
// "+"); the characters that would end a quoted attribute or script string,
// or begin a query, fragment or escape, as "%XX". A character of several
// bytes goes whole, whatever its later bytes look like.
std::string UrlPathText(const std::string& text, bool blanksAsPlus) {
    return EscapedAddressPart(text, AddressEscapes{"\"'<>&#?%`\r\n", false, true, blanksAsPlus ? 0 : SIZE_MAX});
}

// The URL prefix of wiki links: the database's path under the data
// directory, and the form given by Form=, the note's Form item, or
// "Document".
STATUS ReadResolveWiki(OptionReader& reader, const OptionRow& row) {
    XMLGenContext* context = reader.context;
    if (reader.Get(row.keyword) && reader.Value()[0] != '\0')
        return StoreText(context, &context->texts.resolveWiki, reader.Value());

    std::string database = "/";
    database += context->item != nullptr && context->item->databasePath != nullptr ? context->item->databasePath : "";
    char dataDirectory[512] = {};
    const std::size_t dataLength = plat::DataDirectory(dataDirectory, sizeof dataDirectory);
    if (dataLength > 0 && database.size() > dataLength &&
        StartsWithNoCase(database.c_str() + 1, std::string(dataDirectory, dataLength).c_str())) {
        database = database.substr(1 + dataLength);
    }
    // A database outside the data directory has an absolute path of its
    // own: the part begins with one slash, as a path on the host that
    // serves the page; two would name the path's first folder as a host.
    while (database.size() > 1 && database[0] == '/' && database[1] == '/') database.erase(0, 1);
    std::string form;
    if (reader.Get("Form=") && reader.Value()[0] != '\0') {
        form = reader.Value();
    } else {
        char item[257] = {};
        const plat::NOTEHANDLE note = context->item != nullptr ? context->item->noteHandle : 0;
        if (note != 0 && plat::ItemGetText(note, "Form", item, sizeof item) > 0) form = item;
    }
    if (form.empty()) form = "Document";
    // The path and the form name are the database's and the note's: a
    // character that would end the attribute or the script string the
    // prefix is written into, or change what the address says, is written
    // as its escape.
    database = UrlPathText(database, false);
    form = UrlPathText(form, true);
    const bool javaScript = reader.Get("UseJavaScript=") && !Equal(reader.Value(), "no");
    const std::string url = javaScript ? database + "/" + form + "?OpenForm"
                                       : database + "/ResolveWikiLink?OpenAgent&Form=" + form + "&WikiText=";
    return StoreText(context, &context->texts.resolveWiki, url.c_str());
}

// ---- The table ---------------------------------------------------------

// A URL prefix whose default is DefaultURLDirectory=; heldEmpty: an empty
// text rather than none without either; noneWord: the value that stands for
// an empty text.
OptionRow DirectoryURL(const char* keyword, char* GenTexts::*text, const char* noneWord = nullptr,
                       bool heldEmpty = false) {
    OptionRow row = Special(keyword, ReadDirectoryURL, Gate::Always, {}, heldEmpty ? 1 : 0);
    row.text = text;
    row.word = noneWord;
    return row;
}

OptionRow LinkGraphic(const char* keyword, char* GenTexts::*text, const char* picture, const char* localName) {
    OptionRow row = Graphic(keyword, text, picture, localName);
    row.kind = Kind::Special;
    row.special = ReadLinkGraphic;
    return row;
}

// Read in every format.
const OptionRow kEveryFormat[] = {
    Special("Generation=", ReadGeneration),
    Switch("Translation=", sw::kTranslation),
    Switch("MakeURLHotspots=", sw::kMakeURLHotspots),
    WordSwitch("ContentTransferEncoding=", sw::kQuotedPrintable, "quoted-printable"),
    Special("UseCurlyBracesInline=", ReadCurlyBraces),
    Special("MaxLineLength=", ReadMaxLineLength, Gate::Always, {20, 65535, kDefaultLineLength, 65535}),
    Flag("NewlineOnParagraph=", &XMLGenContext::newlineOnParagraph),
    Special("CharsetNum=", ReadCharsetNumber, Gate::Always, {1, 65535, 32, 32}),
    Switch("ForceParagraphs=", sw::kForceParagraphs),
    Special("AddNewlines=", ReadAddNewlines),
};

// Read for HTML and XHTML only.
const OptionRow kMarkupOnly[] = {
    Special("OutputToEvent=", ReadOutputToEvent, Gate::Always, {80, 64382, 80, 64382}),
    Switch("OutputAllToEvent=", sw::kOutputAllToEvent, Gate::EventKeyword),
    Special("BasePathname=", ReadBasePathname),
    Switch("ConsolidatePABIDS=", sw::kConsolidatePABIDS),
    Switch("PreserveSpaces=", sw::kPreserveSpaces),
    Switch("WAICompliant=", sw::kWAICompliant),
    Switch("MoveStylesInline=", sw::kMoveStylesInline),
    Switch("TabbedTablesInCSS=", sw::kTabbedTablesInCSS),
    Inverted("ExtendedSpecialCharacters=", sw::kExtendedSpecialCharacters),
    Text("CSSTabNoSelBackgroundColor=", &GenTexts::cssTabNoSelBackground, Gate::TabbedCSS),
    Text("CSSTabNoSelTextColor=", &GenTexts::cssTabNoSelText, Gate::TabbedCSS),
    Text("CSSTabSelBackgroundColor=", &GenTexts::cssTabSelBackground, Gate::TabbedCSS),
    Text("CSSTabSelTextColor=", &GenTexts::cssTabSelText, Gate::TabbedCSS),
    Text("DoclinkText=", &GenTexts::doclinkText, Gate::Always, Kind::Text, "Link"),
    Special("AutoTag=", ReadAutoTag),
    Special("AutoClass=", ReadAutoClass),
    Switch("UsePTags=", sw::kUsePTags),
    Switch("AllowEmptyDivs=", sw::kAllowEmptyDivs),
    Switch("RelativeIndents=", sw::kRelativeIndents),
    Switch("SectionsInCSS=", sw::kSectionsInCSS),
    Switch("ImageRelativeToPage=", sw::kImageRelativeToPage),
    Switch("DoclinksRelative=", sw::kDoclinksRelative),
    Flag("LocalDominoSymbols=", &XMLGenContext::localDominoSymbols),
    Switch("FillEmptyTableCells=", sw::kFillEmptyTableCells),
    Switch("UseXMLEntities=", sw::kUseXMLEntities),
    Switch("EncapsulateTable=", sw::kEncapsulateTable),
    Switch("RespectHiddenFormulas=", sw::kRespectHiddenFormulas),
    Switch("PreviewMode=", sw::kPreviewMode, Gate::RespectHidden),
    Switch("WebMode=", sw::kWebMode, Gate::RespectHidden),
    Special("PreserveTabs=", ReadPreserveTabs, Gate::Always, {0, 80, 0, 80}),
    Special("RaiseLinkEvent=", ReadRaiseLinkEvent),
    Special("SuppressFonts=", ReadSuppressFonts),
    Switch("SuppressImages=", sw::kSuppressImages),
    Switch("SuppressAttachments=", sw::kSuppressAttachments),
    Switch("SuppressLinks=", sw::kSuppressLinks),
    Switch("SuppressDivInfo=", sw::kSuppressDivInfo),
    Special("SparseTable=", ReadSparseTable),
    Switch("HybridFontTags=", sw::kHybridFontTags),
    Switch("StandardFontTags=", sw::kStandardFontTags),
    Special("Font1=", ReadFontThreshold, Gate::StandardFonts, {1, 71}, 0),
    Special("Font2=", ReadFontThreshold, Gate::StandardFonts, {1, 71}, 1),
    Special("Font3=", ReadFontThreshold, Gate::StandardFonts, {1, 71}, 2),
    Special("Font4=", ReadFontThreshold, Gate::StandardFonts, {1, 71}, 3),
    Special("Font5=", ReadFontThreshold, Gate::StandardFonts, {1, 71}, 4),
    Special("Font6=", ReadFontThreshold, Gate::StandardFonts, {1, 72}, 5),
    Switch("CSSBorders=", sw::kCSSBorders, Gate::NotStandardFonts),
    Flag("ForceFontSize=", &XMLGenContext::forceFontSize),
    Flag("ForceFontFace=", &XMLGenContext::forceFontFace),
    Flag("ForceFontColor=", &XMLGenContext::forceFontColor),
    Flag("ForceDirection=", &XMLGenContext::forceDirection),
    Special("InitialFont1=", ReadInitialFont, Gate::Always, {}, 0),
    Special("InitialFont2=", ReadInitialFont, Gate::Always, {}, 1),
    Special("InitialFont3=", ReadInitialFont, Gate::Always, {}, 2),
    Special("InitialFont4=", ReadInitialFont, Gate::Always, {}, 3),
    Special("InitialFont5=", ReadInitialFont, Gate::Always, {}, 4),
    Special("SubstituteFont1=", ReadSubstituteFont, Gate::Always, {}, 0),
    Special("SubstituteFont2=", ReadSubstituteFont, Gate::Always, {}, 1),
    Special("SubstituteFont3=", ReadSubstituteFont, Gate::Always, {}, 2),
    Special("SubstituteFont4=", ReadSubstituteFont, Gate::Always, {}, 3),
    Special("SubstituteFont5=", ReadSubstituteFont, Gate::Always, {}, 4),
    Switch("SupportRico=", sw::kSupportRico),
    Switch("SupportDojo=", sw::kSupportDojo),
    Switch("OpenFormData=", sw::kOpenFormData),
    Switch("ZelundaSections=", sw::kZelundaSections),
    Switch("ZelundaTabs=", sw::kZelundaTabs),
    Text("SeeAttachedMsg=", &GenTexts::seeAttachedMsg, Gate::Preset),
    Special("AutoTHFont=", ReadAutoTHFont),
    Special("AttachmentHandling=", ReadAttachmentHandling),
    Special("ImageHandling=", ReadImageHandling),
    Inverted("ImageOverwrite=", sw::kImageOverwrite, Gate::ImageFiles),
    Switch("ImageUseName=", sw::kImageUseName, Gate::ImageFiles),
    Special("ImageResourceToDisk=", ReadImageResourceToDisk, Gate::ImageFiles),
    Switch("ImageUNIDAsFolder=", sw::kImageUNIDAsFolder, Gate::ImageFiles),
    Text("ImageDirectory=", &GenTexts::imageDirectory, Gate::ImageDirectory, Kind::Directory),
    Special("ImageFilePath=", ReadImageDatabase, Gate::ImageResource),
    Special("DefaultSubdirectory=", ReadDefaultSubdirectory),
    Special("UseUNID=", ReadUseUnid),
    Special("DefaultURLDirectory=", ReadDefaultURLDirectory),
    DirectoryURL("ImageURLDirectory=", &GenTexts::imageURLDirectory, nullptr, true),
    Text("DBResource=", &GenTexts::dbResource, Gate::Always, Kind::UrlPrefix),
    DirectoryURL("InPlaceImageURLDirectory=", &GenTexts::inPlaceImageURLDirectory, "*NONE*"),
    Special("AttachmentDirectory=", ReadAttachmentDirectory, Gate::AttachmentDisk),
    DirectoryURL("AttachmentURLDirectory=", &GenTexts::attachmentURLDirectory),
    DirectoryURL("InPlaceAttachmentURLDirectory=", &GenTexts::inPlaceAttachmentURLDirectory),
    Switch("URLEncodeFilenames=", sw::kURLEncodeFilenames),
    Switch("AutoQuoteHTMLParams=", sw::kAutoQuoteHTMLParams),
    Switch("MarkDelimitedHTML=", sw::kMarkDelimitedHTML),
    Text("DelimitedHTMLStart=", &GenTexts::delimitedHTMLStart, Gate::DelimitedMarks),
    Text("DelimitedHTMLEnd=", &GenTexts::delimitedHTMLEnd, Gate::DelimitedMarks),
    Special("LinkURLDirectory=", ReadLinkURLDirectory),
    Flag("AttachmentTextInLink=", &XMLGenContext::attachmentTextInLink),
    Text("AttachmentGraphic=", &GenTexts::attachmentGraphic),
    Text("CSSBulletGraphic=", &GenTexts::cssBulletGraphic),
    Text("CSSCircleBulletGraphic=", &GenTexts::cssCircleBulletGraphic),
    Text("CSSSquareBulletGraphic=", &GenTexts::cssSquareBulletGraphic),
    Text("CSSCheckBulletGraphic=", &GenTexts::cssCheckBulletGraphic),
    LinkGraphic("DBLinkGraphic=", &GenTexts::dbLinkGraphic, "_a_dblink", "dblink.gif"),
    LinkGraphic("ViewLinkGraphic=", &GenTexts::viewLinkGraphic, "_a_viewlink", "viewlink.gif"),
    LinkGraphic("DoclinkGraphic=", &GenTexts::doclinkGraphic, "_a_doclink", "doclink.gif"),
    LinkGraphic("AnchorLinkGraphic=", &GenTexts::anchorLinkGraphic, "_an_anchorlink", "textlink.gif"),
    Text("BrokenLinkGraphic=", &GenTexts::brokenLinkGraphic, Gate::Always, Kind::Trimmed),
    Text("BrokenLinkURL=", &GenTexts::brokenLinkURL, Gate::Always, Kind::Trimmed),
    Text("ExpandGraphic=", &GenTexts::expandGraphic, Gate::Always, Kind::Trimmed),
    Graphic("CollapseGraphic=", &GenTexts::collapseGraphic, "_a_collapse"),
    Graphic("TabGraphic=", &GenTexts::tabGraphic, "_a_tabletab"),
    Special("ResolveWiki=", ReadResolveWiki),
    Text("OpenDatabaseString=", &GenTexts::openDatabaseString),
    Text("OpenViewString=", &GenTexts::openViewString),
    Text("OpenDocumentString=", &GenTexts::openDocumentString),
    Text("OpenImageResourceString=", &GenTexts::openImageResourceString),
    Text("OpenElementString=", &GenTexts::openElementString),
    Text("BlankAltString=", &GenTexts::blankAltString),
    Text("FileNamesFld=", &GenTexts::fileNamesField),
};

// The start values, then what MIME mode changes.
void SetStartValues(XMLGenContext* context) {
    context->imageHandling = kHandlingDefault;
    context->attachmentHandling = kHandlingDefault;
    context->attachmentTextInLink = 1;
    context->charsetId = 32;
    context->outputCharset = 0;
    std::memcpy(context->fontSizeThresholds, kDefaultThresholds, sizeof kDefaultThresholds);
    SetSwitch(context, sw::kAllowEmptyDivs, true);
    context->eventChunkSize = context->mimeMode != 0 ? kMimeEventChunk : kDefaultEventChunk;
    if (context->mimeMode == 0) return;
    SetSwitch(context, sw::kTranslation, true);
    if (context->callerFile == nullptr) {
        SetSwitch(context, sw::kFragment, true);
        SetSwitch(context, sw::kMoveStylesInline, true);
        SetSwitch(context, sw::kMimeParts, true);
        context->attachmentHandling = kHandlingMimeParts;
    } else if (context->callerFileName != nullptr && FindNoCase(context->callerFileName, ".eml") != nullptr) {
        context->attachmentHandling = kHandlingDisk;
    }
}

// Zelunda=Yes, else Duzuvore= with any value; without either
// EncapsulateTable is on.
void ApplyPresets(OptionReader& reader) {
    XMLGenContext* context = reader.context;
    context->zelunda = static_cast<int>(GetYesNoOption(reader.options, "Zelunda=", reader.Value(), reader.Size(), 0));
    const bool duzuvore = context->zelunda == 0 && reader.Get("Duzuvore=");
    if (context->zelunda == 0 && !duzuvore) {
        SetSwitch(context, sw::kEncapsulateTable, true);
        return;
    }
    for (GenSwitch bit : {sw::kForceParagraphs, sw::kFragment, sw::kPreserveSpaces, sw::kCSSBorders,
                          sw::kMoveStylesInline, sw::kFillEmptyTableCells, sw::kAllowEmptyDivs, sw::kZelundaSections,
                          sw::kZelundaTabs, sw::kPreset}) {
        SetSwitch(context, bit, true);
    }
    context->forceFontSize = 1;
    context->forceFontFace = 1;
    context->tabSpaces = 3;
    SetSwitch(context, sw::kStandardFontTags, false);
    if (context->zelunda != 0) {
        SetSwitch(context, sw::kWAICompliant, true);
        SetSwitch(context, sw::kHybridFontTags, false);
    } else {
        SetSwitch(context, sw::kDoclinksRelative, true);
        context->forceFontColor = 1;
    }
}

// The switches of a span the options fix (see XMLGenContext).
std::uint16_t FixedSpanSwitches(const XMLGenContext* context) {
    return static_cast<std::uint16_t>(
        (IsOn(context, sw::kSuppressFontFace) ? 1 : 0) | (IsOn(context, sw::kSuppressFontSize) ? 2 : 0) |
        (IsOn(context, sw::kSuppressFontAttributes) ? 4 : 0) | (IsOn(context, sw::kSuppressFontColor) ? 8 : 0) |
        (context->forceFontSize != 0 ? 16 : 0) | (context->forceFontColor != 0 ? 32 : 0) |
        (context->forceFontFace != 0 ? 64 : 0) | (IsOn(context, sw::kWAICompliant) ? 2048 : 0));
}

char* GenTexts::*const kAllTexts[] = {
    &GenTexts::doclinkText, &GenTexts::seeAttachedMsg, &GenTexts::cssTabNoSelBackground,
    &GenTexts::cssTabNoSelText, &GenTexts::cssTabSelBackground, &GenTexts::cssTabSelText,
    &GenTexts::imageDirectory, &GenTexts::defaultSubdirectory, &GenTexts::imageURLDirectory,
    &GenTexts::dbResource, &GenTexts::inPlaceImageURLDirectory, &GenTexts::attachmentDirectory,
    &GenTexts::attachmentURLDirectory, &GenTexts::inPlaceAttachmentURLDirectory, &GenTexts::linkURLDirectory,
    &GenTexts::attachmentGraphic, &GenTexts::cssBulletGraphic, &GenTexts::cssCircleBulletGraphic,
    &GenTexts::cssSquareBulletGraphic, &GenTexts::cssCheckBulletGraphic, &GenTexts::dbLinkGraphic,
    &GenTexts::viewLinkGraphic, &GenTexts::doclinkGraphic, &GenTexts::anchorLinkGraphic,
    &GenTexts::brokenLinkGraphic, &GenTexts::brokenLinkURL, &GenTexts::expandGraphic, &GenTexts::collapseGraphic,
    &GenTexts::tabGraphic, &GenTexts::resolveWiki, &GenTexts::openDatabaseString, &GenTexts::openViewString,
    &GenTexts::openDocumentString, &GenTexts::openImageResourceString, &GenTexts::openElementString,
    &GenTexts::blankAltString, &GenTexts::fileNamesField, &GenTexts::delimitedHTMLStart,
    &GenTexts::delimitedHTMLEnd,
};
static_assert(sizeof(kAllTexts) / sizeof(kAllTexts[0]) * sizeof(char*) == sizeof(GenTexts),
              "every option text is released");

} // namespace

STATUS ReadGenerationOptions(XMLGenContext* context) {
    if (context == nullptr) return kArgumentError;
    OptionReader reader;
    reader.context = context;
    reader.options = context->optionText;
    reader.value.assign(reader.options != nullptr ? std::strlen(reader.options) + 1 : 1, '\0');

    SetStartValues(context);
    for (FaceNameMemo& memo : context->faceNameMemos) memo = FaceNameMemo{};
    for (SpanMemo& memo : context->spanMemos) memo = SpanMemo{};
    for (FontChangeMemo& memo : context->fontChangeMemos) memo = FontChangeMemo{};
    ApplyPresets(reader);
    for (const OptionRow& row : kEveryFormat) {
        const STATUS status = ReadRow(reader, row);
        if (status != kOK) return status;
    }
    if (context->format != kFormatText) {
        for (const OptionRow& row : kMarkupOnly) {
            const STATUS status = ReadRow(reader, row);
            if (status != kOK) return status;
        }
    }
    context->fixedSpanSwitches = FixedSpanSwitches(context);
    return kOK;
}

bool GenerationOption(const XMLGenContext* context, const char* key, std::string* value) {
    value->clear();
    if (context == nullptr || context->optionText == nullptr) return false;
    std::string text(std::strlen(context->optionText) + 1, '\0');
    if (GetOptionValue(context->optionText, key, text.data(), static_cast<std::uint32_t>(text.size())) == 0)
        return false;
    value->assign(text.c_str());
    return true;
}

void ReleaseGenerationOptions(XMLGenContext* context) {
    if (context == nullptr) return;
    for (char* GenTexts::*text : kAllTexts) {
        if (context->texts.*text != nullptr) ZervaDeallocate(context->session, context->texts.*text);
        context->texts.*text = nullptr;
    }
    if (context->imageDatabaseOpened != 0 && context->imageDatabase != 0) plat::DbClose(context->imageDatabase);
    context->imageDatabase = 0;
    context->imageDatabaseOpened = 0;
}

const char* ImageReplacement(const XMLGenContext* context, const char* picture) {
    for (const ZervaRTChunk::ImageOffsetInfo* node = context->images; node != nullptr; node = node->next) {
        if (node->name == picture) return node->source.c_str();
    }
    return nullptr;
}

} // namespace talix
