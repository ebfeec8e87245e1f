// Small text helpers of the style code: blanks, comparisons without regard to
// the case of ASCII letters, and the words of a CSS value. They work on views,
// never past the view's end.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace talix::css {

// Blanks of CSS text: space, tab, line feed, carriage return and form feed.
inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
inline bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
inline char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

inline bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

inline bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// The position of the first occurrence of needle, compared without regard to
// case, or npos. An empty needle is found at 0.
inline std::size_t FindNoCaseIn(std::string_view text, std::string_view needle) {
    if (needle.size() > text.size()) return std::string_view::npos;
    for (std::size_t at = 0; at + needle.size() <= text.size(); ++at)
        if (EqualsNoCase(text.substr(at, needle.size()), needle)) return at;
    return std::string_view::npos;
}

inline bool ContainsNoCase(std::string_view text, std::string_view needle) {
    return FindNoCaseIn(text, needle) != std::string_view::npos;
}

inline std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

inline std::string LowerCopy(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = LowerAscii(c);
    return lower;
}

// The first at most `count` blank-separated words of a value; words beyond
// are left out. Returns how many were found.
inline std::size_t SplitWords(std::string_view text, std::string_view* words, std::size_t count) {
    std::size_t found = 0;
    std::size_t at = 0;
    while (found < count) {
        while (at < text.size() && IsBlank(text[at])) ++at;
        if (at == text.size()) break;
        const std::size_t start = at;
        while (at < text.size() && !IsBlank(text[at])) ++at;
        words[found++] = text.substr(start, at - start);
    }
    return found;
}

} // namespace talix::css
