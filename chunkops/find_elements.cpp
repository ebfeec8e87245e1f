// The chunk finders, FindTextChunk and FindNamedChunk: the chunk's target
// is located by one query run of the engine, then the item's record list is
// searched in one pass, comparing the record bytes in place, for the first
// text run whose font and text match, or the first table, button or layer
// whose name matches.

#include <cstdio>
#include <cstring>

#include "core/brackets.h"
#include "core/chunk_definition.h"
#include "core/chunk_types.h"
#include "core/chunk_work_state.h"
#include "core/font_match.h"
#include "core/font_spec.h"
#include "core/item_work_state.h"
#include "core/record_layouts.h"
#include "core/record_list.h"
#include "core/session_work_area.h"
#include "core/shared_services.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "engine/exec_handlers.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix {

namespace {

constexpr std::uint32_t kTextFontAt = 4;
constexpr std::uint32_t kIdNameTextAt = 26;
constexpr std::uint32_t kButtonTextAt = 16;

constexpr std::int16_t kTypeTable = 1, kTypeButton = 3, kTypeLayer = 29;

// Elements of a type opened inside one another that keep their own names.
constexpr int kDeepestElement = 32;


// Records numbered first to last (within not 0), or after last.
bool InRange(const CDRecordNode* node, int within, std::uint32_t first, std::uint32_t last) {
    if (within != 0) return node->index >= first && node->index <= last;
    return node->index > last;
}

TextSearchOptions SearchOptions(const ZervaRTChunk* chunk) {
    TextSearchOptions options;
    options.wildcards = chunk->textWildcards != 0 ? 1 : 0;
    options.ignoreCase = chunk->caseSensitive == 0 ? 1 : 0;
    options.ignoreAccents = chunk->accentSensitive == 0 ? 1 : 0;
    options.wholeWord = chunk->searchWordBoundaries != 0 ? 1 : 0;
    return options;
}

bool TextMatches(const ZervaRTChunk* chunk, const char* text, std::uint32_t length, const char* search,
                 std::uint16_t searchLength, std::uint16_t mode) {
    if (length > 0xFFFF) length = 0xFFFF;
    // An empty text holds no search text (only an empty one).
    if (length == 0 && search != nullptr && searchLength > 0 && mode >= 1 && mode <= 4) return false;
    // An empty search text stands at the start of every text, matching
    // nothing of it: every text starts with it and holds it; only an empty
    // text is it whole or ends where it does.
    if (search == nullptr || searchLength == 0) {
        if (mode == kPositionWhole || mode == kPositionEnd) return length == 0;
        return true;
    }
    return CompareTextPosition(text, static_cast<std::uint16_t>(length), search != nullptr ? search : "",
                               search != nullptr ? searchLength : 0, mode, SearchOptions(chunk), nullptr) != 0;
}

// The colour value of the first colour record after a text group's BEGIN,
// unless the group ends first.
bool GroupColor(const CDRecordNode* begin, ColorValue* color) {
    for (const CDRecordNode* node = begin->next; node != nullptr; node = node->next) {
        if (Brackets(node, kSigEnd, kSigText)) return false;
        if (node->signature != kSigColor) continue;
        if (node->bytes == nullptr || node->length < kColorValueAt + 5) return false;
        const std::uint8_t* at = node->bytes + kColorValueAt;
        color->flags = static_cast<std::uint16_t>(at[0] | (at[1] << 8));
        color->red = at[2];
        color->green = at[3];
        color->blue = at[4];
        return true;
    }
    return false;
}

std::uint16_t GroupSignatureOf(std::int16_t type) {
    switch (type) {
    case kTypeTable: return kSigPreTableBegin;
    case kTypeButton: return kSigButton;
    case kTypeLayer: return kSigLayer;
    default: return 0;
    }
}

// The name an element's record gives: the first text of an HTML-attribute
// record, its id (tables, layers), or a button record's bytes from its text
// on (buttons).
bool ElementName(const CDRecordNode* node, std::int16_t type, const char** text, std::uint32_t* length) {
    if (node->bytes == nullptr) return false;
    if (type == kTypeButton) {
        if (node->signature != kSigButton || node->length < kButtonTextAt) return false;
        *text = reinterpret_cast<const char*>(node->bytes + kButtonTextAt);
        *length = static_cast<std::uint32_t>(strnlen(*text, node->length - kButtonTextAt));
        return true;
    }
    if (node->signature != kSigIdName || node->length < kIdNameTextAt) return false;
    const std::uint32_t room = node->length - kIdNameTextAt;
    const std::uint16_t stated = NodeWord(node, kIdNameLengthsAt);
    *text = reinterpret_cast<const char*>(node->bytes + kIdNameTextAt);
    *length = stated < room ? stated : room;
    return true;
}

struct OpenElement {
    std::uint32_t ordinal = 0;
    bool inRange = false;
    bool named = false;
};

// The ordinal (counted from the item's first record) of the first text run
// whose font and text match, or of the first element of a type whose name
// matches. Records numbered first to last take part (within not 0), or only
// records after last (within 0); 0 when either bound is 0 or nothing
// qualifies. Match modes: 0 any, 1 whole text, 2 starts with, 3 ends with,
// 4 contains, 5 and above any.
std::uint32_t FindTextRun(ZervaRTChunk* chunk, int within, std::uint32_t first, std::uint32_t last,
                          const char* search, std::uint16_t searchLength, std::uint16_t matchMode,
                          const ParsedFontSpec* criteria, const FontSpecMask* mask) {
    if (first == 0 || last == 0 || chunk == nullptr || chunk->item == nullptr || chunk->item->work == nullptr)
        return 0;
    const ItemRecordList* list = chunk->item->work->current;
    if (list == nullptr) return 0;
    std::uint32_t count = 0;
    bool inGroup = false;
    bool groupHasColor = false;
    ColorValue groupColor;
    for (const CDRecordNode* node = list->head; node != nullptr; node = node->next) {
        if (Brackets(node, kSigBegin, kSigText)) {
            ++count;
            inGroup = true;
            groupHasColor = GroupColor(node, &groupColor);
            continue;
        }
        if (Brackets(node, kSigEnd, kSigText)) {
            inGroup = false;
            continue;
        }
        if (node->signature != kSigText) continue;
        // Runs inside a group are counted once, with their group.
        if (!inGroup) ++count;
        if (!InRange(node, within, first, last) || node->bytes == nullptr || node->length < kTextRunHeader) continue;
        if (criteria != nullptr && mask != nullptr) {
            const FontId font = ReadFontId(node->bytes + kTextFontAt);
            const ColorValue* color = inGroup && groupHasColor ? &groupColor : nullptr;
            if (MatchFontAttributes(font, color, *criteria, *mask) == 0) continue;
        }
        if (matchMode == 0) return count;
        const char* text = reinterpret_cast<const char*>(node->bytes + kTextRunHeader);
        if (TextMatches(chunk, text, node->length - kTextRunHeader, search, searchLength, matchMode)) return count;
    }
    return 0;
}

std::uint32_t FindNamedElement(ZervaRTChunk* chunk, int within, std::uint32_t first, std::uint32_t last,
                               const char* name, std::uint16_t nameLength, std::uint16_t matchMode,
                               std::int16_t chunkType) {
    const std::uint16_t group = GroupSignatureOf(chunkType);
    if (group == 0 || first == 0 || last == 0 || chunk == nullptr || chunk->item == nullptr ||
        chunk->item->work == nullptr)
        return 0;
    const ItemRecordList* list = chunk->item->work->current;
    if (list == nullptr) return 0;
    // Modes 0 and 5 and above take any element; the others its name.
    const bool anyElement = matchMode == 0 || matchMode > 4;
    OpenElement open[kDeepestElement];
    int depth = 0;      // elements open
    int tracked = 0;    // of which the innermost kDeepestElement are tracked
    std::uint32_t count = 0;
    for (const CDRecordNode* node = list->head; node != nullptr; node = node->next) {
        if (Brackets(node, kSigBegin, group)) {
            ++count;
            const bool inRange = InRange(node, within, first, last);
            if (inRange && anyElement) return count;
            ++depth;
            if (tracked < kDeepestElement) open[tracked++] = OpenElement{count, inRange, false};
            continue;
        }
        if (Brackets(node, kSigEnd, group)) {
            if (depth > 0) {
                if (tracked == depth) --tracked;
                --depth;
            }
            continue;
        }
        if (depth == 0) {
            // A record of the type outside a group is an element of its own:
            // a button record holds its label, which names it; a table or
            // layer record there has no name.
            if (node->signature == group) {
                ++count;
                if (!InRange(node, within, first, last)) continue;
                if (anyElement) return count;
                const char* text = nullptr;
                std::uint32_t length = 0;
                if (chunkType == kTypeButton && ElementName(node, chunkType, &text, &length) &&
                    TextMatches(chunk, text, length, name, nameLength, matchMode))
                    return count;
            }
            continue;
        }
        if (tracked != depth) continue;
        OpenElement& element = open[tracked - 1];
        if (element.named) continue;
        const char* text = nullptr;
        std::uint32_t length = 0;
        if (!ElementName(node, chunkType, &text, &length)) continue;
        element.named = true;
        if (element.inRange && TextMatches(chunk, text, length, name, nameLength, matchMode)) return element.ordinal;
    }
    return 0;
}

constexpr std::uint16_t kMaxOccurrence = 0xFFFF;
constexpr std::uint16_t kTypeText = 9;

// The finders search within one target: every level must be Everything, or
// plain or After with one occurrence, or Inside with one occurrence and a
// level inside it.
bool FinderChainUsable(const ChunkDefInfo* chain) {
    for (const ChunkDefInfo* level = chain; level != nullptr; level = level->next) {
        bool one = level->occurrenceCount == 1 && level->occurrenceEnd[0] <= level->occurrenceStart[0];
        switch (level->relation) {
        case kRelEverything: break;
        case kRelPlain:
        case kRelAfter:
            if (!one) return false;
            break;
        case kRelInside:
            if (!one || level->next == nullptr) return false;
            break;
        default: return false;
        }
    }
    return true;
}

// The match mode named at the start of a match-kind text.
std::uint16_t MatchModeFromText(const char* text) {
    if (text == nullptr) return 0;
    if (CompareNamesNoCase(text, "EXACT", 5) == 0 || CompareNamesNoCase(text, "ENTIRE", 5) == 0) return 1;
    if (CompareNamesNoCase(text, "STARTS", 6) == 0) return 2;
    if (CompareNamesNoCase(text, "ENDS", 4) == 0) return 3;
    if (CompareNamesNoCase(text, "SUBSTR", 6) == 0) return 4;
    if (CompareNamesNoCase(text, "EVENT", 5) == 0) return 5;
    return 0;
}

// Writes "<type> <ordinal>" into the caller's buffer and returns the ordinal
// as a word.
std::uint16_t FoundDefinition(std::uint32_t ordinal, std::uint16_t type, char* buffer, std::uint16_t size) {
    if (ordinal == 0) return 0;
    if (ordinal > kMaxOccurrence) ordinal = kMaxOccurrence;
    if (buffer != nullptr && size > 0)
        std::snprintf(buffer, size, "%s %u", ChunkTypeName(type, "Error"), static_cast<unsigned>(ordinal));
    return static_cast<std::uint16_t>(ordinal);
}

// Whether the chunk's definition suits a finder; else the chunk keeps the
// formula error word as its last status.
bool FinderUsable(ZervaRTChunk* chunk) {
    if (FinderChainUsable(chunk->work != nullptr ? chunk->work->chain : nullptr)) return true;
    chunk->lastStatus = kErrFormula;
    return false;
}

std::uint16_t TextLength(const char* text) {
    return text != nullptr ? static_cast<std::uint16_t>(::strnlen(text, 0xFFFF)) : 0;
}

} // namespace

} // namespace talix

using namespace talix;

std::uint16_t ZervaRTChunk::FindTextChunk(int n, char* buffer, std::uint16_t bufferSize, const char* matchKind,
                                          const char* fontSpec, const char* searchText) {
    if (!FinderUsable(this)) return 0;
    std::uint16_t mode = MatchModeFromText(matchKind);
    ParsedFontSpec spec;
    FontSpecMask mask;
    if (ParseFontSpec(fontSpec, nullptr, item, &spec, nullptr, &mask, nullptr) != kOK) return 0;
    if (RunExistenceTest(this, kQueryFinders) == 0) return 0;
    const SessionWorkArea* area = session->workArea;
    std::uint32_t ordinal = FindTextRun(this, n, area->foundFirstRecord, area->foundLastRecord, searchText,
                                        TextLength(searchText), mode, &spec, &mask);
    return FoundDefinition(ordinal, kTypeText, buffer, bufferSize);
}

std::uint16_t ZervaRTChunk::FindNamedChunk(int n, const char* typeName, char* buffer, std::uint16_t bufferSize,
                                           const char* matchKind, const char* name) {
    if (!FinderUsable(this)) return 0;
    std::uint16_t mode = MatchModeFromText(matchKind);
    std::uint16_t type = FindChunkType(typeName);
    if (RunExistenceTest(this, kQueryFinders) == 0) return 0;
    const SessionWorkArea* area = session->workArea;
    std::uint32_t ordinal = FindNamedElement(this, n, area->foundFirstRecord, area->foundLastRecord, name,
                                             TextLength(name), mode, static_cast<std::int16_t>(type));
    return FoundDefinition(ordinal, type, buffer, bufferSize);
}
