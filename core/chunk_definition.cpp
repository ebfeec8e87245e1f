// Chunk-definition texts such as "Table 1; Row 2-3,5; Column *",
// "Inside Section 2" or "Text Starts 'Hello' 2". A text is a list of parts
// separated by ";"; each part becomes one level: a relation, an element type,
// an optional match text and a list of occurrences. Parsing turns a text into
// a chain of levels, rendering writes a chain back as canonical text.
#include "core/chunk_definition.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>

#include "core/ascii.h"
#include "core/chunk_types.h"
#include "core/owned_text.h"
#include "core/text_compare.h"

namespace talix {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

struct Keyword {
    const char* word;
    std::uint16_t value;
};

// Relation words, tried in this order as prefixes of a part's first word.
constexpr Keyword kRelationWords[] = {
    {"EVERYTHING", kRelEverything}, {"CONTAINS", kRelPlain}, {"INSIDE", kRelInside},
    {"OUTSIDE", kRelOutside},       {"BEFORE", kRelBefore},  {"AFTER", kRelAfter},
    {"START", kRelStart},           {"END", kRelEnd},
};

// Type words, tried in this order as prefixes of the type word: where two
// words share a start the order decides. The longer of two such words comes
// first (GRAPHICHOTSPOT before GRAPHIC, PARAGRAPHLIST before PARAGRAPH), so
// that every type can be named. HR is the name a rule's level is written
// under, so that a written definition reads back.
constexpr Keyword kTypeWords[] = {
    {"EVERYTHING", 0},     {"TABLE", 1},           {"HOTSPOT", 2},        {"COLUMN", 6},
    {"ROW", 5},            {"BUTTON", 3},          {"SECTION", 4},        {"DOCLINK", 8},
    {"FILE", 7},           {"RECORD", 12},         {"STYLIZEDTEXT", 10},  {"RAWTEXT", 11},
    {"OLEOBJECT", 13},     {"ANCHOR", 14},         {"GRAPHICHOTSPOT", 33}, {"GRAPHIC", 15},
    {"HYPERLINK", 16},     {"POPUP", 18},          {"ACTIONHOTSPOT", 17}, {"FIELD", 19},
    {"EVENT", 20},         {"PARAGRAPHLIST", 36},  {"PARAGRAPH", 21},     {"XML", 22},
    {"HTML", 25},          {"XHTML", 26},          {"SUBFORM", 23},       {"COMPUTEDTEXT", 24},
    {"HORIZONTALRULE", 27}, {"HR", 27},            {"PASSTHRUHTML", 28},  {"LAYER", 29},
    {"LAYOUT", 30},        {"URLLINK", 31},        {"IMAGEHOTSPOT", 33},  {"IMAGEMAP", 32},
    {"IGNORE", 34},        {"DELIMITEDHTML", 37},  {"TEXT", 9},           {"NONBLANKTEXT", 35},
};

// Words in front of a match text that say how it is compared; any other word
// means an exact comparison.
constexpr Keyword kMatchWords[] = {
    {"STARTS", kMatchStarts}, {"ENDS", kMatchEnds}, {"SUBSTR", kMatchSubstring},
    {"ID", kMatchId},         {"NAME", kMatchName},
};

// The quotes a match text of a chunk definition may stand in.
bool IsDefinitionQuote(char c) { return c == '\'' || c == '"' || c == '|'; }

// A part of the text: the upper-cased copy for the keywords, the text as the
// caller wrote it for match texts, and the part's bounds in both.
struct Part {
    const char* upper;
    const char* original;
    std::size_t end;
    DefinitionFaultKind* fault;   // set where the part is refused
};

bool Refuse(const Part& part, DefinitionFaultKind kind) {
    *part.fault = kind;
    return false;
}

bool StartsWith(const Part& part, std::size_t at, const char* word) {
    std::size_t length = std::strlen(word);
    return at <= part.end && part.end - at >= length && std::memcmp(part.upper + at, word, length) == 0;
}

std::size_t FindBefore(const Part& part, std::size_t from, std::size_t to, char c) {
    for (std::size_t i = from; i < to; ++i)
        if (part.upper[i] == c) return i;
    return kNone;
}

std::size_t Find(const Part& part, std::size_t from, char c) { return FindBefore(part, from, part.end, c); }

std::size_t SkipBlanks(const Part& part, std::size_t at) {
    while (at < part.end && part.upper[at] == ' ') ++at;
    return at;
}

// A number as the runtime's decimal conversion reads it: leading blanks, then
// digits, 0 when there are none. Values past the 16-bit range are held at
// 65,535.
std::uint16_t ReadNumber(const char* text, std::size_t begin, std::size_t end) {
    std::size_t i = begin;
    while (i < end && IsAsciiSpace(text[i])) ++i;
    if (i < end && text[i] == '+') ++i;
    std::uint32_t value = 0;
    for (; i < end && IsAsciiDigit(text[i]); ++i) {
        value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
        if (value > 0xFFFF) value = 0xFFFF;
    }
    return static_cast<std::uint16_t>(value);
}

// Whether a negative number ("-" and a digit, blanks between allowed)
// begins at `at`, after any blanks. Occurrences count from 1: "Row -1" would
// otherwise be read as row 1 and act on a row the caller did not name.
bool NegativeNumberAt(const Part& part, std::size_t at, std::size_t end) {
    at = SkipBlanks(part, at);
    if (at >= end || part.upper[at] != '-') return false;
    at = SkipBlanks(part, at + 1);
    return at < end && IsAsciiDigit(part.upper[at]);
}

// Fills the level's occurrences from the list [begin, part.end): empty means
// the first occurrence, "*" anywhere means every occurrence, otherwise
// comma-separated entries "n" or "n-m". More entries than a level holds, and
// an entry or range end written as a negative number, fail.
bool ParseOccurrences(const Part& part, std::size_t begin, ChunkDefInfo* level) {
    if (begin >= part.end) {
        level->occurrenceCount = 1;
        level->occurrenceStart[0] = 1;
        return true;
    }
    if (Find(part, begin, '*') != kNone) {
        level->occurrenceCount = 0;
        return true;
    }
    std::uint16_t count = 0;
    std::size_t entry = begin;
    while (true) {
        std::size_t comma = Find(part, entry, ',');
        std::size_t entryEnd = comma == kNone ? part.end : comma;
        if (count == kMaxOccurrences) return Refuse(part, DefinitionFaultKind::kTooManyOccurrences);
        // A "-" that is the entry's first character is not a range mark.
        if (NegativeNumberAt(part, entry, entryEnd)) return Refuse(part, DefinitionFaultKind::kNegativeNumber);
        std::size_t dash = FindBefore(part, entry + 1, entryEnd, '-');
        if (dash != kNone && NegativeNumberAt(part, dash + 1, entryEnd))
            return Refuse(part, DefinitionFaultKind::kNegativeNumber);
        level->occurrenceStart[count] = ReadNumber(part.upper, entry, dash == kNone ? entryEnd : dash);
        level->occurrenceEnd[count] = dash == kNone ? 0 : ReadNumber(part.upper, dash + 1, entryEnd);
        ++count;
        if (comma == kNone) break;
        entry = comma + 1;
    }
    level->occurrenceCount = count;
    return true;
}

// Reads the optional match text and the occurrences that follow the type
// word at typeAt (*outOfMemory set when the text cannot be copied).
bool ParseMatchAndOccurrences(const Part& part, std::size_t typeAt, ChunkDefInfo* level, bool* outOfMemory) {
    std::size_t blank = Find(part, typeAt, ' ');
    if (blank == kNone) return ParseOccurrences(part, part.end, level);
    std::size_t rest = SkipBlanks(part, blank);
    if (rest >= part.end || IsAsciiDigit(part.upper[rest]) || part.upper[rest] == '*')
        return ParseOccurrences(part, rest, level);

    std::uint16_t kind = kMatchExact;
    if (!IsDefinitionQuote(part.upper[rest])) {
        for (const Keyword& word : kMatchWords) {
            if (StartsWith(part, rest, word.word)) {
                kind = word.value;
                break;
            }
        }
    }
    // The match text starts at the first quote character; a digit or "*"
    // before any quote means there is none and the occurrences begin there.
    std::size_t quote = kNone;
    std::size_t scan = rest;
    for (; scan < part.end; ++scan) {
        char c = part.upper[scan];
        if (IsDefinitionQuote(c)) {
            quote = scan;
            break;
        }
        if (IsAsciiDigit(c) || c == '*') break;
        if (c == '-' && NegativeNumberAt(part, scan, part.end))
            return Refuse(part, DefinitionFaultKind::kNegativeNumber);
    }
    // Words that reach the end of the part with neither a quote nor an
    // occurrence ("Table two") name nothing the parser can read: taken as
    // the first occurrence they would act on an element not asked for.
    if (quote == kNone && scan == part.end) return Refuse(part, DefinitionFaultKind::kStrayWords);
    if (quote == kNone) return ParseOccurrences(part, scan, level);

    std::size_t close = Find(part, quote + 1, part.upper[quote]);
    std::size_t textEnd = close == kNone ? part.end : close;
    level->matchText = CopyOwnedText(part.original + quote + 1, textEnd - quote - 1);
    if (level->matchText == nullptr) {
        *outOfMemory = true;
        return Refuse(part, DefinitionFaultKind::kOutOfMemory);
    }
    level->hasMatchText = 1;
    level->matchKind = kind;
    std::size_t after = close == kNone ? part.end : SkipBlanks(part, close + 1);
    return ParseOccurrences(part, after, level);
}

// A Column level must follow a Table or Row level, a Row level a Table or
// Column level; the level before is plain, or Inside ("Inside Table 1; Row 2"
// names the rows of that table).
bool RowColumnAllowed(std::uint16_t type, const ChunkDefInfo* previous) {
    if (type != kTypeRow && type != kTypeColumn) return true;
    if (previous == nullptr || (previous->relation != kRelPlain && previous->relation != kRelInside)) return false;
    std::uint16_t other = type == kTypeRow ? kTypeColumn : kTypeRow;
    return previous->elementType == kTypeTable || previous->elementType == other;
}

// Parses one part into a new level; null when it does not parse, or with
// *outOfMemory set when memory runs out.
ChunkDefInfo* ParsePart(const Part& part, std::size_t begin, const ChunkDefInfo* previous, bool* outOfMemory) {
    std::size_t start = SkipBlanks(part, begin);
    std::size_t blank = Find(part, start, ' ');
    if (blank == kNone && !StartsWith(part, start, "EVERYTHING")) {
        Refuse(part, start >= part.end ? DefinitionFaultKind::kBlankPart : DefinitionFaultKind::kNoOccurrence);
        return nullptr;
    }

    std::uint16_t relation = kRelPlain;
    bool relationWord = false;
    for (const Keyword& word : kRelationWords) {
        if (StartsWith(part, start, word.word)) {
            relation = word.value;
            relationWord = true;
            break;
        }
    }

    auto* level = new (std::nothrow) ChunkDefInfo();
    if (level == nullptr) {
        *outOfMemory = true;
        Refuse(part, DefinitionFaultKind::kOutOfMemory);
        return nullptr;
    }
    level->relation = relation;
    if (relation == kRelEverything) {
        level->elementType = kTypeEverything;
        level->occurrenceCount = 0;
        return level;
    }

    std::size_t typeAt = start;
    if (relationWord) {
        typeAt = SkipBlanks(part, blank);
        if ((relation == kRelStart || relation == kRelEnd) && StartsWith(part, typeAt, "WITH") &&
            (typeAt + 4 == part.end || part.upper[typeAt + 4] == ' '))
            typeAt = SkipBlanks(part, typeAt + 4);
    }
    bool typeFound = false;
    for (const Keyword& word : kTypeWords) {
        if (StartsWith(part, typeAt, word.word)) {
            level->elementType = word.value;
            typeFound = true;
            break;
        }
    }
    bool parsed = false;
    if (!typeFound)
        Refuse(part, DefinitionFaultKind::kUnknownType);
    else if (!RowColumnAllowed(level->elementType, previous))
        Refuse(part, level->elementType == kTypeRow ? DefinitionFaultKind::kMisplacedRow
                                                    : DefinitionFaultKind::kMisplacedColumn);
    else
        parsed = ParseMatchAndOccurrences(part, typeAt, level, outOfMemory);
    if (!parsed) {
        FreeChunkDefinition(level);
        return nullptr;
    }
    return level;
}

// Appends to a fixed buffer, cutting what does not fit; the text stays
// terminated. needed counts what the whole text takes, cut or not.
struct BoundedText {
    char* out;
    std::uint32_t size;
    std::uint32_t used = 0;
    std::size_t needed = 0;

    void Append(const char* text) {
        std::size_t length = std::strlen(text);
        needed += length;
        for (; *text != '\0' && used + 1 < size; ++text) out[used++] = *text;
        out[used] = '\0';
    }
    void AppendChar(char c) {
        char text[2] = {c, '\0'};
        Append(text);
    }
    void AppendNumber(unsigned value) {
        char text[16];
        std::snprintf(text, sizeof text, "%u", value);
        Append(text);
    }
};

const char* RelationText(std::uint16_t relation) {
    switch (relation) {
    case kRelEverything: return "Everything";
    case kRelPlain: return "";
    case kRelInside: return "Inside ";
    case kRelOutside: return "Outside ";
    case kRelBefore: return "Before ";
    case kRelAfter: return "After ";
    case kRelStart: return "Starts With ";
    case kRelEnd: return "Ends With ";
    default: return "Error ";
    }
}

// The word written before a match text; an id or a name keeps its word, so
// that the text reads back to the same comparison.
const char* MatchKindText(std::uint16_t kind) {
    switch (kind) {
    case kMatchStarts: return "Starts ";
    case kMatchEnds: return "Ends ";
    case kMatchSubstring: return "Substring ";
    case kMatchId: return "ID ";
    case kMatchName: return "Name ";
    default: return "";
    }
}

// Match texts are written in double quotes; a text that holds a double quote
// gets another quote character the parser knows, so the written definition
// reads back to the same text.
char QuoteFor(const char* text) {
    for (char quote : {'"', '\'', '|'})
        if (std::strchr(text, quote) == nullptr) return quote;
    return '"';
}

void RenderLevel(const ChunkDefInfo* level, BoundedText& out) {
    // A plain level of the type Everything keeps its relation word: written
    // "Everything 2" it would read back as the whole item.
    if (level->relation == kRelPlain && level->elementType == kTypeEverything) out.Append("Contains ");
    out.Append(RelationText(level->relation));
    if (!(level->relation == kRelEverything && level->elementType == kTypeEverything)) {
        out.Append(ChunkTypeName(level->elementType, "Error"));
        out.AppendChar(' ');
    }
    if (level->matchKind != kMatchNone && level->matchText != nullptr) {
        out.Append(MatchKindText(level->matchKind));
        char quote = QuoteFor(level->matchText);
        out.AppendChar(quote);
        out.Append(level->matchText);
        out.AppendChar(quote);
        out.AppendChar(' ');
    }
    if (level->relation == kRelEverything) return;
    if (level->occurrenceCount == 0) {
        out.AppendChar('*');
        return;
    }
    std::uint16_t count = level->occurrenceCount > kMaxOccurrences ? kMaxOccurrences : level->occurrenceCount;
    for (std::uint16_t i = 0; i < count; ++i) {
        if (i > 0) out.AppendChar(',');
        out.AppendNumber(level->occurrenceStart[i]);
        if (level->occurrenceEnd[i] > level->occurrenceStart[i]) {
            out.AppendChar('-');
            out.AppendNumber(level->occurrenceEnd[i]);
        }
    }
}

} // namespace

const char* DefinitionTypeWord(std::uint16_t type) {
    for (const Keyword& word : kTypeWords) {
        if (word.value == type) return word.word;
    }
    return nullptr;
}

ChunkDefInfo* ParseChunkDefinition(RARIvoSession* session, std::uint16_t unused, const ChunkDefInfo* outer,
                                   const char* text, std::uint32_t* singleTarget, bool* outOfMemory,
                                   DefinitionFault* fault) {
    bool memoryShort = false;
    if (outOfMemory == nullptr) outOfMemory = &memoryShort;
    *outOfMemory = false;
    DefinitionFault unreported;
    if (fault == nullptr) fault = &unreported;
    *fault = DefinitionFault{};
    if (singleTarget != nullptr) *singleTarget = 1;
    if (text == nullptr || text[0] == '\0') {
        fault->kind = DefinitionFaultKind::kEmpty;
        return nullptr;
    }

    std::size_t length = std::strlen(text);
    char* upper = CopyOwnedText(text, length);
    if (upper == nullptr) {
        *outOfMemory = true;
        fault->kind = DefinitionFaultKind::kOutOfMemory;
        return nullptr;
    }
    for (std::size_t i = 0; i < length; ++i)
        upper[i] = UpperAscii(upper[i]);

    ChunkDefInfo* head = nullptr;
    ChunkDefInfo* last = nullptr;
    bool failed = false;
    std::size_t begin = 0;
    while (begin < length) {
        const char* separator = static_cast<const char*>(std::memchr(upper + begin, ';', length - begin));
        std::size_t end = separator == nullptr ? length : static_cast<std::size_t>(separator - upper);
        if (end > begin) {   // consecutive separators give no part
            Part part{upper, text, end, &fault->kind};
            ChunkDefInfo* level = ParsePart(part, begin, last != nullptr ? last : outer, outOfMemory);
            if (level == nullptr) {
                fault->partBegin = begin;
                fault->partEnd = end;
                failed = true;
                break;
            }
            if (last == nullptr) head = level; else last->next = level;
            last = level;
            bool single = level->relation == kRelPlain && level->occurrenceCount == 1 &&
                          level->occurrenceEnd[0] <= level->occurrenceStart[0];
            if (!single && singleTarget != nullptr) *singleTarget = 0;
        }
        begin = end + 1;
    }
    std::free(upper);
    if (!failed && head == nullptr) fault->kind = DefinitionFaultKind::kEmpty;
    if (failed || head == nullptr) {
        FreeChunkDefinition(head);
        return nullptr;
    }
    return head;
}

namespace {

void RenderChain(const ChunkDefInfo* chain, BoundedText& text) {
    text.out[0] = '\0';
    if (chain == nullptr) {
        text.Append("Everything");
        return;
    }
    for (const ChunkDefInfo* level = chain; level != nullptr; level = level->next) {
        if (level != chain) text.Append("; ");
        RenderLevel(level, text);
    }
}

} // namespace

void CalculateDefinition(const ChunkDefInfo* chain, char* out, std::uint32_t outSize) {
    if (out == nullptr || outSize == 0) return;
    BoundedText text{out, outSize};
    RenderChain(chain, text);
}

char* RenderChunkDefinition(const ChunkDefInfo* chain) {
    // Measured first, then written whole: a long match text or many levels
    // are not cut, so that the text reads back to the same chain.
    char probe[1];
    BoundedText measure{probe, sizeof probe};
    RenderChain(chain, measure);
    if (measure.needed >= 0xFFFFFFFFu) return nullptr;
    auto* out = static_cast<char*>(std::malloc(measure.needed + 1));
    if (out == nullptr) return nullptr;
    BoundedText text{out, static_cast<std::uint32_t>(measure.needed + 1)};
    RenderChain(chain, text);
    return out;
}

void FreeChunkDefinition(ChunkDefInfo* chain) {
    while (chain != nullptr) {
        ChunkDefInfo* next = chain->next;
        std::free(chain->matchText);
        delete chain;
        chain = next;
    }
}

ChunkDefInfo* CopyChunkLevel(const ChunkDefInfo* level) {
    if (level == nullptr) return nullptr;
    auto* copy = new (std::nothrow) ChunkDefInfo(*level);
    if (copy == nullptr) return nullptr;
    copy->next = nullptr;
    // The walk's state belongs to the walk over the original level.
    copy->walk = LevelWalkState();
    if (level->matchText != nullptr) {
        copy->matchText = CopyOwnedText(level->matchText);
        if (copy->matchText == nullptr) {
            copy->hasMatchText = 0;
            FreeChunkDefinition(copy);
            return nullptr;
        }
    }
    return copy;
}

} // namespace talix
