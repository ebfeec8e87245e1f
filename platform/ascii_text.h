// ASCII case mapping and tests of the stand-in's own: only A-Z and a-z are
// letters and change case, whatever locale the program that loads the
// library has set (strcasecmp and tolower follow it: under Turkish rules
// "I" and "i" are no pair).
#pragma once

#include <cstddef>

namespace plat {

constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr bool IsAsciiAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// strcasecmp as the C locale has it: the difference of the first bytes that
// differ with ASCII letters in lower case, 0 for texts alike.
constexpr int CompareNoCase(const char* left, const char* right) {
    for (;; ++left, ++right) {
        const int a = static_cast<unsigned char>(AsciiLower(*left));
        const int b = static_cast<unsigned char>(AsciiLower(*right));
        if (a != b || a == 0) return a - b;
    }
}

} // namespace plat
