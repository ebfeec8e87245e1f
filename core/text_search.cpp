// The wildcard text search and the rewrite of a text with every occurrence
// of a search text replaced.
//
// The search steps through the text character by character (LMBCS
// characters are one to three bytes), so a match never starts or ends in
// the middle of a character and a replacement never splits one.
#include "core/text_search.h"

#include <cstring>

#include "core/ascii.h"
#include "core/clamp.h"
#include "core/operation_request.h"
#include "core/text_compare.h"
#include "talix/chunk.h"
#include "talix/session.h"
#include "talix_platform/text.h"

namespace talix {

namespace {

bool IsAscii(char c) { return (static_cast<unsigned char>(c) & 0x80u) == 0; }

struct SearchMode {
    bool wildcards = false;
    bool ignoreCase = false;
    bool ignoreAccents = false;
    bool wholeWord = false;
};

// The switches of a search as its callers pass them.
SearchMode ModeOf(std::uint32_t wildcards, std::uint32_t ignoreCase, std::uint32_t ignoreAccents,
                  std::uint32_t wholeWord) {
    SearchMode mode;
    mode.wildcards = wildcards != 0;
    mode.ignoreCase = ignoreCase != 0;
    mode.ignoreAccents = ignoreAccents != 0;
    mode.wholeWord = wholeWord != 0;
    return mode;
}

// Two characters compared under the collation the mode asks for. Plain
// ASCII characters are compared directly (only letters differ by case):
// the collation would also take control characters for equal.
bool CharsEqual(const char* a, std::uint32_t aLength, const char* b, std::uint32_t bLength, const SearchMode& mode) {
    if (aLength == bLength && std::memcmp(a, b, aLength) == 0) return true;
    if (aLength == 1 && bLength == 1 && IsAscii(*a) && IsAscii(*b)) {
        return mode.ignoreCase && LowerAscii(*a) == LowerAscii(*b);
    }
    return plat::Collate(a, aLength, b, bLength, mode.ignoreCase, mode.ignoreAccents) == 0;
}

// A word boundary: the character at p is no letter and no digit.
bool IsBoundary(const char* p, std::uint32_t available) {
    if (IsAscii(*p)) return !IsAsciiLetterOrDigit(*p);
    const plat::WORD kind = plat::LmbcsCharClass(reinterpret_cast<const plat::BYTE*>(p), available);
    return kind != plat::CHAR_CLASS_ALPHA && kind != plat::CHAR_CLASS_DIGIT;
}

bool EndsWord(const char* text, std::uint32_t length, std::uint32_t at) {
    return at >= length || IsBoundary(text + at, length - at);
}

// Matches the pattern part [part, part + partLength) at text position at;
// returns the text position after it, or -1. "?" matches any one character
// when wildcards are on.
std::int32_t MatchPart(const char* text, std::uint32_t length, std::uint32_t at, const char* part,
                       std::uint32_t partLength, const SearchMode& mode) {
    std::uint32_t p = 0;
    while (p < partLength) {
        if (at >= length) return -1;
        const std::uint32_t textChar = CharLength(text + at, length - at);
        const std::uint32_t partChar = CharLength(part + p, partLength - p);
        const bool any = mode.wildcards && partChar == 1 && part[p] == '?';
        if (!any && !CharsEqual(part + p, partChar, text + at, textChar, mode)) return -1;
        at += textChar;
        p += partChar;
        // "?" takes a character beyond 16 bits whole: both of its units.
        if (any && IsFirstHalfOfPair(text + at - textChar, textChar) && at < length)
            at += CharLength(text + at, length - at);
    }
    return static_cast<std::int32_t>(at);
}

// The first place from position from on where the tail matches whole; the
// text position after it, or -1.
std::int32_t FindTail(const char* text, std::uint32_t length, std::uint32_t from, const char* tail,
                      std::uint32_t tailLength, const SearchMode& mode) {
    for (std::uint32_t at = from; at < length; at += CharLength(text + at, length - at)) {
        const std::int32_t end = MatchPart(text, length, at, tail, tailLength, mode);
        if (end < 0) continue;
        if (!mode.wholeWord || EndsWord(text, length, static_cast<std::uint32_t>(end))) return end;
    }
    return -1;
}

// The position of the first "*" of the pattern (at a character start), or
// the pattern's length when it has none.
std::uint32_t FindStar(const char* pattern, std::uint32_t length) {
    for (std::uint32_t at = 0; at < length; at += CharLength(pattern + at, length - at)) {
        if (pattern[at] == '*') return at;
    }
    return length;
}

// Printable ASCII alone: every byte is a character of its own, compared
// without the collation.
bool PlainAscii(const char* text, std::uint32_t length) {
    for (std::uint32_t at = 0; at < length; ++at) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x20 || byte >= 0x80) return false;
    }
    return true;
}

bool HasWildcard(const char* pattern, std::uint32_t length) {
    return std::memchr(pattern, '?', length) != nullptr || std::memchr(pattern, '*', length) != nullptr;
}

bool PlainByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x20 && byte < 0x80;
}

// The search below for a pattern of printable ASCII without wildcards, over
// the text's printable ASCII: the same first match, found byte by byte. The
// text is found printable as far as the search reads it, not beyond: a
// search from each match on to the next reads each byte of the text about
// once. Returns the match's position, -1 for none in a text that is
// printable ASCII throughout, or -2 with *resume the first start that the
// search below must try (a match from there would reach a byte that is
// not printable ASCII).
std::int32_t FindPlainAscii(const char* text, std::uint32_t textLength, const char* pattern,
                            std::uint32_t patternLength, const SearchMode& mode, std::uint32_t* resume) {
    std::uint32_t checked = 0;   // text[0, checked) is printable ASCII
    for (std::uint32_t at = 0; at < textLength; ++at) {
        const std::uint32_t reach = at + patternLength < textLength ? at + patternLength : textLength;
        while (checked < reach) {
            if (!PlainByte(text[checked])) {
                *resume = at;
                return -2;
            }
            ++checked;
        }
        if (at + patternLength > textLength) return -1;
        if (mode.wholeWord && at > 0 && IsAsciiLetterOrDigit(text[at - 1])) continue;
        std::uint32_t p = 0;
        if (mode.ignoreCase) {
            while (p < patternLength && LowerAscii(text[at + p]) == LowerAscii(pattern[p])) ++p;
        } else {
            while (p < patternLength && text[at + p] == pattern[p]) ++p;
        }
        if (p < patternLength) continue;
        if (mode.wholeWord && !EndsWord(text, textLength, at + patternLength)) continue;
        return static_cast<std::int32_t>(at);
    }
    return -1;
}

// The number of characters in length bytes of text, counted up to limit.
std::uint32_t CountCharsUpTo(const char* text, std::uint32_t length, std::uint32_t limit) {
    std::uint32_t count = 0;
    for (std::uint32_t at = 0; at < length && count < limit; at += CharLength(text + at, length - at)) ++count;
    return count;
}

bool Append(char* out, std::uint32_t capacity, std::uint32_t* used, const char* bytes, std::uint32_t length) {
    if (length > capacity - *used) return false;
    if (length > 0) std::memcpy(out + *used, bytes, length);
    *used += length;
    return true;
}

} // namespace

std::uint32_t CharLength(const char* p, std::uint32_t available) {
    const plat::WORD length = plat::LmbcsCharLength(reinterpret_cast<const plat::BYTE*>(p), available);
    return length == 0 ? 1 : length;
}

bool IsFirstHalfOfPair(const char* p, std::uint32_t length) {
    // The Unicode group byte, then the unit high byte first; a unit whose
    // low byte is zero is written with a marker before its high byte.
    constexpr unsigned char kGroupUnicode = 0x14;
    constexpr unsigned char kZeroLowMarker = 0xF6;
    if (p == nullptr || length != 3 || static_cast<unsigned char>(p[0]) != kGroupUnicode) return false;
    const auto second = static_cast<unsigned char>(p[1]);
    const auto high = second == kZeroLowMarker ? static_cast<unsigned char>(p[2]) : second;
    return high >= 0xD8 && high <= 0xDB;
}

std::uint32_t WholeCharsWithin(const char* text, std::uint32_t length, std::uint32_t limit) {
    if (length <= limit) return length;
    std::uint32_t at = 0;
    std::uint32_t last = 0;   // where the last character kept starts
    while (at < length) {
        const std::uint32_t next = at + CharLength(text + at, length - at);
        if (next > limit) break;
        last = at;
        at = next;
    }
    if (at > 0 && IsFirstHalfOfPair(text + last, at - last)) at = last;
    return at;
}

std::uint32_t CountChars(const char* text, std::uint32_t length) {
    std::uint32_t count = 0;
    for (std::uint32_t at = 0; at < length; at += CharLength(text + at, length - at)) ++count;
    return count;
}

bool SearchCharsEqual(const char* a, std::uint32_t aLength, const char* b, std::uint32_t bLength,
                      bool ignoreCase, bool ignoreAccents) {
    SearchMode mode;
    mode.ignoreCase = ignoreCase;
    mode.ignoreAccents = ignoreAccents;
    return CharsEqual(a, aLength, b, bLength, mode);
}

std::int32_t FindTextWildcard(const char* text, std::uint16_t textLength, const char* pattern,
                              std::uint16_t patternLength, std::uint32_t wildcards, std::uint32_t ignoreCase,
                              std::uint32_t ignoreAccents, std::uint32_t wholeWord, std::uint16_t* matchLength) {
    if (matchLength != nullptr) *matchLength = patternLength;
    if (text == nullptr || pattern == nullptr || textLength == 0 || patternLength == 0) return -1;
    const SearchMode mode = ModeOf(wildcards, ignoreCase, ignoreAccents, wholeWord);

    // Where the character search starts: the text's start, or the first
    // start the printable ASCII search could not try.
    std::uint32_t from = 0;
    if (PlainAscii(pattern, patternLength) && !(mode.wildcards && HasWildcard(pattern, patternLength))) {
        const std::int32_t found = FindPlainAscii(text, textLength, pattern, patternLength, mode, &from);
        if (found != -2) return found;
    }

    // A text of fewer characters than the pattern needs holds no match; the
    // text is counted only as far as that question reads.
    const std::uint32_t patternChars = CountChars(pattern, patternLength);
    const std::uint32_t textChars = CountCharsUpTo(text + from, textLength - from, patternChars + 1);
    if (!mode.wildcards && patternChars > textChars) return -1;
    if (mode.wildcards && textChars + 1 < patternChars) return -1;

    // With wildcards the pattern is a head, and after the first "*" a tail.
    const std::uint32_t star = mode.wildcards ? FindStar(pattern, patternLength) : patternLength;
    const bool hasStar = star < patternLength;
    const char* tail = pattern + star + 1;
    const std::uint32_t tailLength = hasStar ? patternLength - star - 1 : 0;

    // The start of the text counts as a boundary; a later start follows a
    // printable ASCII character.
    bool afterBoundary = from == 0 || !IsAsciiLetterOrDigit(text[from - 1]);
    for (std::uint32_t at = from; at < textLength; at += CharLength(text + at, textLength - at)) {
        const bool startCounts = !mode.wholeWord || afterBoundary;
        afterBoundary = IsBoundary(text + at, textLength - at);
        if (!startCounts) continue;
        const std::int32_t headEnd = MatchPart(text, textLength, at, pattern, star, mode);
        if (headEnd < 0) continue;
        std::int32_t end = -1;
        if (!hasStar) {
            if (!mode.wholeWord || EndsWord(text, textLength, static_cast<std::uint32_t>(headEnd))) end = headEnd;
        } else if (tailLength == 0) {
            end = textLength;
        } else {
            end = FindTail(text, textLength, static_cast<std::uint32_t>(headEnd), tail, tailLength, mode);
        }
        if (end < 0) continue;
        if (matchLength != nullptr) *matchLength = static_cast<std::uint16_t>(static_cast<std::uint32_t>(end) - at);
        return static_cast<std::int32_t>(at);
    }
    return -1;
}

std::int32_t FindTextWildcardToEnd(const char* text, std::uint16_t textLength, const char* pattern,
                                   std::uint16_t patternLength, std::uint32_t wildcards, std::uint32_t ignoreCase,
                                   std::uint32_t ignoreAccents, std::uint32_t wholeWord, bool startOnly,
                                   std::uint16_t* matchLength) {
    if (matchLength != nullptr) *matchLength = 0;
    if (text == nullptr || pattern == nullptr || textLength == 0 || patternLength == 0) return -1;
    const SearchMode mode = ModeOf(wildcards, ignoreCase, ignoreAccents, wholeWord);
    const std::uint32_t star = mode.wildcards ? FindStar(pattern, patternLength) : patternLength;
    const bool hasStar = star < patternLength;
    const char* tail = pattern + star + 1;
    const std::uint32_t tailLength = hasStar ? patternLength - star - 1 : 0;

    // With a "*", a head that ends at or before the last place from which
    // the tail reaches the end of the text matches up to it.
    std::int64_t lastTail = textLength;
    if (hasStar && tailLength > 0) {
        lastTail = -1;
        for (std::uint32_t at = 0; at < textLength; at += CharLength(text + at, textLength - at))
            if (MatchPart(text, textLength, at, tail, tailLength, mode) == static_cast<std::int32_t>(textLength))
                lastTail = at;
        if (lastTail < 0) return -1;
    }
    bool afterBoundary = true;
    for (std::uint32_t at = 0; at < textLength; at += CharLength(text + at, textLength - at)) {
        const bool startCounts = !mode.wholeWord || afterBoundary;
        afterBoundary = IsBoundary(text + at, textLength - at);
        if (startCounts) {
            const std::int32_t headEnd = MatchPart(text, textLength, at, pattern, star, mode);
            if (headEnd >= 0 && (hasStar ? headEnd <= lastTail : headEnd == static_cast<std::int32_t>(textLength))) {
                if (matchLength != nullptr) *matchLength = static_cast<std::uint16_t>(textLength - at);
                return static_cast<std::int32_t>(at);
            }
        }
        if (startOnly) break;
    }
    return -1;
}

const char* RunSearchText(const OperationRequest* context, std::uint16_t* length) {
    const char* search = context->secondArgument;
    *length = 0;
    if (search == nullptr) return nullptr;
    if (context->a3 > 0) {
        *length = context->a3;
    } else {
        *length = ClampToWord(std::strlen(search));
    }
    return search;
}

std::int32_t FindRunSearchText(const char* text, std::uint16_t textLength, const OperationRequest* context,
                               std::uint16_t* matchLength) {
    std::uint16_t searchLength = 0;
    const char* search = RunSearchText(context, &searchLength);
    const ZervaRTChunk* chunk = context->chunk;
    // The chunk's switches say what the search is sensitive to; the search
    // takes what it may ignore.
    return FindTextWildcard(text, textLength, search, searchLength, context->textWildcards,
                            chunk->caseSensitive == 0 ? 1 : 0, chunk->accentSensitive == 0 ? 1 : 0,
                            chunk->searchWordBoundaries != 0 ? 1 : 0, matchLength);
}

void KeepMatchedText(const char* match, std::uint32_t length, OperationRequest* context) {
    char* buffer = context->session->messageBuffer;
    if (length > RARIvoSession::kMessageCapacity - 1) length = RARIvoSession::kMessageCapacity - 1;
    std::memcpy(buffer, match, length);
    buffer[length] = '\0';
}

const char* RunReplacement(const OperationRequest* context, std::uint32_t matchLength, std::uint32_t* length) {
    const char* replacement = context->argumentText != nullptr ? context->argumentText : "";
    if (context->replacementCutToMatch != 0) {
        // The match's own length, but never more than the argument holds.
        const std::uint32_t available = std::strlen(replacement);
        *length = matchLength < available ? matchLength : available;
    } else {
        *length = context->operation2 > 0 && context->argumentText != nullptr ? context->operation2
                                                                              : std::strlen(replacement);
    }
    return replacement;
}

std::int32_t FindSearchTextInRun(const char* text, std::uint32_t textLength, OperationRequest* context) {
    char* out = context->session->optionValue;
    const std::uint32_t capacity = RARIvoSession::kOptionValueCapacity - 1;   // room for the terminator
    std::uint32_t used = 0;
    if (text == nullptr) textLength = 0;
    if (textLength > 0xFFFF) textLength = 0xFFFF;

    std::uint32_t at = 0;
    while (at < textLength) {
        std::uint16_t matchLength = 0;
        const std::int32_t found = FindRunSearchText(text + at, static_cast<std::uint16_t>(textLength - at), context,
                                                     &matchLength);
        if (found < 0 || matchLength == 0) break;
        const std::uint32_t start = at + static_cast<std::uint32_t>(found);
        if (!Append(out, capacity, &used, text + at, start - at)) return -1;
        KeepMatchedText(text + start, matchLength, context);
        std::uint32_t written = 0;
        const char* replacement = RunReplacement(context, matchLength, &written);
        if (!Append(out, capacity, &used, replacement, written)) return -1;
        at = start + matchLength;
    }
    if (!Append(out, capacity, &used, text + at, textLength - at)) return -1;
    out[used] = '\0';
    return static_cast<std::int32_t>(used);
}

} // namespace talix
