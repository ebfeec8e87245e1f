// Comparing texts without regard to the case of ASCII letters.
#include "core/text_compare.h"

#include <cstring>

namespace talix {

namespace {

bool SameBytes(const char* a, const char* b, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

} // namespace

bool EqualNoCase(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return false;
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (LowerAscii(*a) != LowerAscii(*b)) return false;
    }
    return *a == *b;
}

bool EqualNoCase(const char* text, std::size_t length, const char* word) {
    return text != nullptr && word != nullptr && std::strlen(word) == length && SameBytes(text, word, length);
}

bool StartsWithNoCase(const char* text, const char* prefix) {
    if (text == nullptr || prefix == nullptr) return false;
    for (; *prefix != '\0'; ++text, ++prefix) {
        if (LowerAscii(*text) != LowerAscii(*prefix)) return false;   // the text's end differs too
    }
    return true;
}

bool StartsWithNoCase(const char* text, std::size_t length, const char* prefix) {
    if (text == nullptr || prefix == nullptr) return false;
    const std::size_t n = std::strlen(prefix);
    return n <= length && SameBytes(text, prefix, n);
}

bool EndsWithNoCase(const char* text, std::size_t length, const char* suffix) {
    if (text == nullptr || suffix == nullptr) return false;
    const std::size_t n = std::strlen(suffix);
    return n <= length && SameBytes(text + (length - n), suffix, n);
}

bool ContainsNoCase(const char* text, std::size_t length, const char* part) {
    if (text == nullptr || part == nullptr) return false;
    const std::size_t n = std::strlen(part);
    for (std::size_t at = 0; at + n <= length; ++at) {
        if (SameBytes(text + at, part, n)) return true;
    }
    return false;
}

const char* FindNoCase(const char* text, const char* pattern) {
    if (text == nullptr || pattern == nullptr) return nullptr;
    if (pattern[0] == '\0') return text;
    for (const char* start = text; *start != '\0'; ++start) {
        std::size_t i = 0;
        while (pattern[i] != '\0' && start[i] != '\0' && LowerAscii(start[i]) == LowerAscii(pattern[i])) ++i;
        if (pattern[i] == '\0') return start;
        if (start[i] == '\0') return nullptr;   // the rest of the text is shorter than the pattern
    }
    return nullptr;
}

} // namespace talix
