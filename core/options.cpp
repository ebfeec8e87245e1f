// Option strings: the readers of keyword=value pairs and flag words, their
// removal, and the case-insensitive substring search they are built on.
#include "core/options.h"
#include "core/ascii.h"
#include "core/text_compare.h"
#include "core/text_search.h"

#include <cstddef>
#include <cstring>

namespace talix {

namespace {

// The most bytes a stored character takes.
constexpr std::size_t kLongestChar = 3;

// Whether a byte separates entries: a blank, or the tab or line end of an
// option string written over several lines.
bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Where the first byte that matches stands in the text, stepping over whole
// characters: a byte inside a character of several bytes (the euro sign,
// dashes and typographic quotes hold a blank) is part of that character,
// not a separator or quote. Null when there is none.
template <typename Match>
const char* FindWholeCharWhere(const char* text, Match match) {
    for (const char* at = text; *at != '\0';) {
        if (match(*at)) return at;
        // Only a byte below the blank starts a character of several bytes;
        // it is measured up to the text's end at most.
        const auto b = static_cast<unsigned char>(*at);
        at += b >= 0x20 ? 1 : CharLength(at, static_cast<std::uint32_t>(strnlen(at, kLongestChar)));
    }
    return nullptr;
}

const char* FindWholeChar(const char* text, char c) {
    return FindWholeCharWhere(text, [c](char each) { return each == c; });
}

const char* FindSeparator(const char* text) { return FindWholeCharWhere(text, IsSeparator); }

// Where the value of a key starts and how long it is. A keyword counts at
// the start of the string or after a character that is neither a letter, a
// digit nor a quote character; the first one that counts is used.
bool FindValue(const char* options, const char* key, const char** value, std::size_t* length) {
    if (options == nullptr || key == nullptr || key[0] == '\0') return false;
    std::size_t keyLength = std::strlen(key);
    for (const char* at = FindNoCase(options, key); at != nullptr; at = FindNoCase(at + 1, key)) {
        if (at != options && (IsAsciiLetterOrDigit(at[-1]) || IsOptionQuote(at[-1]))) continue;
        const char* start = at + keyLength;
        if (IsOptionQuote(*start)) {
            const char* close = FindWholeChar(start + 1, *start);
            *value = start + 1;
            *length = close != nullptr ? static_cast<std::size_t>(close - (start + 1)) : std::strlen(start + 1);
        } else {
            const char* blank = FindSeparator(start);
            *value = start;
            *length = blank != nullptr ? static_cast<std::size_t>(blank - start) : std::strlen(start);
        }
        return true;
    }
    return false;
}

// Reads a key as GetOptionValue does; *value and *length describe the whole
// value even when the copy in the buffer had to be cut.
bool ReadValue(const char* options, const char* key, char* buffer, std::uint32_t bufferSize, const char** value,
               std::size_t* length) {
    if (!FindValue(options, key, value, length)) return false;
    if (buffer != nullptr && bufferSize > 0) {
        // A value cut to the buffer keeps whole characters (what lies past
        // the buffer's size is never kept, nor needed to tell them).
        const std::size_t copy =
            *length < bufferSize ? *length : WholeCharsWithin(*value, bufferSize, bufferSize - 1);
        std::memmove(buffer, *value, copy);
        buffer[copy] = '\0';
    }
    return true;
}

} // namespace

int GetOptionValue(const char* options, const char* key, char* out, std::uint32_t outSize) {
    const char* value = nullptr;
    std::size_t length = 0;
    return ReadValue(options, key, out, outSize, &value, &length) ? 1 : 0;
}

const char* FindOptionKey(const char* options, const char* flagWord) {
    if (options == nullptr || flagWord == nullptr || flagWord[0] == '\0') return nullptr;
    std::size_t wordLength = std::strlen(flagWord);
    for (const char* at = FindNoCase(options, flagWord); at != nullptr; at = FindNoCase(at + 1, flagWord)) {
        if (at != options && (IsAsciiLetterOrDigit(at[-1]) || at[-1] == '_')) continue;
        if (IsAsciiLetterOrDigit(at[wordLength])) continue;
        return at;
    }
    return nullptr;
}

int RemoveOption(char* options, const char* key) {
    if (options == nullptr || key == nullptr || key[0] == '\0') return 0;
    std::size_t keyLength = std::strlen(key);
    char* at = nullptr;
    for (const char* found = FindNoCase(options, key); found != nullptr; found = FindNoCase(found + 1, key)) {
        if (found == options || !IsAsciiLetterOrDigit(found[-1])) {
            at = options + (found - options);
            break;
        }
    }
    if (at == nullptr) return 0;

    char* after = at + keyLength;
    if (IsOptionQuote(*after)) {
        // A quoted value is blanked with its key so the other entries keep their places.
        const char* close = FindWholeChar(after + 1, *after);
        char* end = close != nullptr ? after + (close - after) + 1 : after;
        std::memset(at, ' ', static_cast<std::size_t>(end - at));
    } else if (IsSeparator(*after) || *after == '\0') {
        std::memset(at, ' ', keyLength);
    } else if (const char* blank = FindSeparator(after)) {
        std::memmove(at, blank + 1, std::strlen(blank + 1) + 1);
    } else {
        *at = '\0';
    }

    std::size_t length = std::strlen(options);
    while (length > 0 && IsSeparator(options[length - 1])) --length;
    options[length] = '\0';
    return 1;
}

std::uint32_t ApplyYesNoOption(const char* options, const char* key, char* buffer, std::uint32_t bufferSize,
                               std::uint32_t mask, std::uint32_t flags) {
    return ApplyFlagOption(options, key, buffer, bufferSize, mask, flags, "Yes", "No");
}

std::uint32_t ApplyFlagOption(const char* options, const char* key, char* buffer, std::uint32_t bufferSize,
                              std::uint32_t mask, std::uint32_t flags, const char* yesWord, const char* noWord) {
    const char* value = nullptr;
    std::size_t length = 0;
    if (!ReadValue(options, key, buffer, bufferSize, &value, &length) || length == 0) return flags;
    if (EqualNoCase(value, length, yesWord != nullptr ? yesWord : "Yes")) return flags | mask;
    if (noWord == nullptr || EqualNoCase(value, length, noWord)) return flags & ~mask;
    return flags;
}

std::uint32_t GetYesNoOption(const char* options, const char* key, char* buffer, std::uint32_t bufferSize,
                             std::uint32_t defaultValue) {
    const char* value = nullptr;
    std::size_t length = 0;
    if (!ReadValue(options, key, buffer, bufferSize, &value, &length) || length == 0) return defaultValue;
    if (defaultValue == 0) return EqualNoCase(value, length, "Yes") ? 1 : 0;
    return EqualNoCase(value, length, "No") ? 0 : defaultValue;
}

} // namespace talix
