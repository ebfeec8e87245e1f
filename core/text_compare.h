// Comparing texts without regard to case, the one definition of each. Only
// the ASCII letters A-Z and a-z are taken alike; every other byte (the bytes
// of LMBCS multibyte characters too) must be equal. A null text matches
// nothing.
#pragma once

#include <cstddef>
#include <string_view>

namespace talix {

// An ASCII letter in lower or upper case; every other byte as it is.
constexpr char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The zero-terminated texts are equal.
bool EqualNoCase(const char* a, const char* b);
// The first length bytes of text are the whole of the zero-terminated word.
bool EqualNoCase(const char* text, std::size_t length, const char* word);
// The zero-terminated text begins with prefix.
bool StartsWithNoCase(const char* text, const char* prefix);
// The first length bytes of text (not zero-terminated) begin with prefix.
bool StartsWithNoCase(const char* text, std::size_t length, const char* prefix);
// The text begins with prefix.
inline bool StartsWithNoCase(std::string_view text, const char* prefix) {
    return StartsWithNoCase(text.data(), text.size(), prefix);
}
// The first length bytes of text (not zero-terminated) end with suffix.
bool EndsWithNoCase(const char* text, std::size_t length, const char* suffix);
// The first length bytes of text (not zero-terminated) hold part anywhere.
bool ContainsNoCase(const char* text, std::size_t length, const char* part);
// Where pattern first occurs in the zero-terminated text; the text itself
// for an empty pattern; null when it does not occur.
const char* FindNoCase(const char* text, const char* pattern);
// The order of sorted tables of names: byte by byte, ASCII letters compared
// as lower case. Negative, 0 or positive as a sorts before, with or after b.
constexpr int CompareNamesNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char x = static_cast<unsigned char>(*a);
        unsigned char y = static_cast<unsigned char>(*b);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y || x == 0) return x < y ? -1 : (x > y ? 1 : 0);
    }
}

} // namespace talix
