// Tests and values of single ASCII characters: digits, letters, blanks and
// hexadecimal digits. Every character set the library reads (LMBCS, UTF-8,
// the option strings and definitions its callers write) keeps these
// characters as they are, and no byte of a longer character is one of them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talix {

constexpr bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr bool IsAsciiLetterOrDigit(char c) { return IsAsciiDigit(c) || IsAsciiLetter(c); }
// A blank as the C locale has it: space, tab, line feed, vertical tab, form
// feed, carriage return.
constexpr bool IsAsciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The value of a hexadecimal digit of either case, or -1 for any other
// character.
constexpr int HexDigitValue(char c) {
    if (IsAsciiDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
constexpr bool IsHexDigit(char c) { return HexDigitValue(c) >= 0; }

// The number the hexadecimal digits at the start of text make, at most
// count of them: the reading stops at the first character that is no
// hexadecimal digit (a terminator among them). More than eight digits keep
// the last eight.
constexpr std::uint32_t ReadHexDigits(const char* text, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const int digit = HexDigitValue(text[i]);
        if (digit < 0) break;
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return value;
}

} // namespace talix
