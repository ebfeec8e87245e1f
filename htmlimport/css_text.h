// Small text helpers of the style code: blanks and the words of a CSS value.
// They work on views, never past the view's end; the comparisons without
// regard to case are core/text_compare.h's.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/ascii.h"
#include "core/text_compare.h"

namespace talix::css {

// Blanks of CSS text: space, tab, line feed, carriage return and form feed.
inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
using talix::IsAsciiDigit;
using talix::IsAsciiLetter;
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
