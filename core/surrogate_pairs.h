// Characters beyond the 16-bit range in stored text: the Unicode group
// (first byte 0x14) holds such a character as two characters of three
// bytes, the first holding the high half. Whoever cuts, copies or encodes
// stored text one character at a time takes the two together.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talix {

// Whether the Unicode-group character at p (3 bytes) holds a high
// surrogate. A unit whose low byte is 0 is written with 0xF6 first.
inline bool HighSurrogate(const std::uint8_t* p) {
    const std::uint8_t high = p[1] == 0xF6 ? p[2] : p[1];
    return p[0] == 0x14 && high >= 0xD8 && high <= 0xDB;
}

// Whether the character at bytes (n bytes) is the first half of a
// character beyond the 16-bit range that the next three bytes complete;
// available: the bytes readable from bytes.
inline bool StartsSurrogatePair(const std::uint8_t* bytes, std::size_t n, std::size_t available) {
    return n == 3 && available >= 6 && HighSurrogate(bytes) && bytes[3] == 0x14;
}

} // namespace talix
