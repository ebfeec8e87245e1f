// Comparing texts without regard to case, the one definition of each. Only
// the ASCII letters A-Z and a-z are taken alike; every other byte (the bytes
// of LMBCS multibyte characters too) must be equal.
//
// Texts come in two forms whose meanings differ: views (a pointer and a
// length, never read past their end, not zero-terminated) and zero-terminated
// texts, which may be null (a null text matches nothing).
#pragma once

#include <cstddef>
#include <string_view>

namespace talix {

// An ASCII letter in lower or upper case; every other byte as it is.
constexpr char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// ---- Views --------------------------------------------------------------------
// The two views are equal.
bool EqualNoCase(std::string_view a, std::string_view b);
// The view begins with prefix.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
// The view ends with suffix.
bool EndsWithNoCase(std::string_view text, std::string_view suffix);
// The position of the first occurrence of part in the view (0 for an empty
// part), or std::string_view::npos.
std::size_t FindNoCaseIn(std::string_view text, std::string_view part);
// The view holds part anywhere.
inline bool ContainsNoCase(std::string_view text, std::string_view part) {
    return FindNoCaseIn(text, part) != std::string_view::npos;
}

// ---- Zero-terminated texts --------------------------------------------------
// The texts are equal.
bool EqualNoCase(const char* a, const char* b);
// The text begins with prefix.
bool StartsWithNoCase(const char* text, const char* prefix);
// Where pattern first occurs in the text; the text itself for an empty
// pattern; null when it does not occur.
const char* FindNoCase(const char* text, const char* pattern);

// ---- A counted text and a zero-terminated word -----------------------------
// The length bytes at text are the whole word.
inline bool EqualNoCase(const char* text, std::size_t length, const char* word) {
    return text != nullptr && word != nullptr && EqualNoCase(std::string_view(text, length), std::string_view(word));
}
// The length bytes at text begin with prefix.
inline bool StartsWithNoCase(const char* text, std::size_t length, const char* prefix) {
    return text != nullptr && prefix != nullptr && StartsWithNoCase(std::string_view(text, length), prefix);
}
// The length bytes at text end with suffix.
inline bool EndsWithNoCase(const char* text, std::size_t length, const char* suffix) {
    return text != nullptr && suffix != nullptr && EndsWithNoCase(std::string_view(text, length), suffix);
}
// The length bytes at text hold part anywhere.
inline bool ContainsNoCase(const char* text, std::size_t length, const char* part) {
    return text != nullptr && part != nullptr && ContainsNoCase(std::string_view(text, length), part);
}

// The order of sorted tables of names: byte by byte, ASCII letters compared
// as lower case. Negative, 0 or positive as a sorts before, with or after b.
constexpr int CompareNamesNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        const auto x = static_cast<unsigned char>(LowerAscii(*a));
        const auto y = static_cast<unsigned char>(LowerAscii(*b));
        if (x != y || x == 0) return x < y ? -1 : (x > y ? 1 : 0);
    }
}
// The same for at most count bytes of each.
constexpr int CompareNamesNoCase(const char* a, const char* b, std::size_t count) {
    for (; count > 0; --count, ++a, ++b) {
        const auto x = static_cast<unsigned char>(LowerAscii(*a));
        const auto y = static_cast<unsigned char>(LowerAscii(*b));
        if (x != y || x == 0) return x < y ? -1 : (x > y ? 1 : 0);
    }
    return 0;
}

} // namespace talix
