// What each stored character outside ASCII was written as in markup, found
// straight from its bytes: text outside ASCII repeats a few characters, and
// a character met once is then copied rather than encoded again. A page of
// 256 characters is made the first time one of them is met, so the table
// costs only the pages a text uses.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talix {

// What a character was written as: the bytes, then their count (0: not
// met yet; nothing written as nothing is kept). Sixteen bytes in all, so
// that an entry is copied in one move by those who have room past what
// they write.
struct StoredEncoding {
    char text[15] = {};
    std::uint8_t length = 0;
};

class EncodingTable {
public:
    // lengths: the byte count of a character by its first byte.
    explicit EncodingTable(const std::uint8_t* lengths);
    ~EncodingTable();
    EncodingTable(const EncodingTable&) = delete;
    EncodingTable& operator=(const EncodingTable&) = delete;

    // What the character of n bytes (1 to 3) at bytes was written as, or
    // null when it was not kept.
    const StoredEncoding* Find(const std::uint8_t* bytes, std::uint16_t n) const {
        const StoredEncoding& entry = pages_[PageOf(bytes, n)][bytes[n - 1]];
        return entry.length != 0 ? &entry : nullptr;
    }

    // The same for the whole character at bytes (its length by its first
    // byte), three bytes being readable there: no test of the length.
    const StoredEncoding* FindWhole(const std::uint8_t* bytes) const {
        // A character of one byte from 0x80 up, and one of the Unicode group
        // (which holds most characters outside Latin-1), found without the
        // table of first bytes.
        const StoredEncoding* entry;
        if (bytes[0] >= 0x80) {
            entry = &pages_[0][bytes[0]];
        } else if (bytes[0] == kUnicodeGroup) {
            entry = &pages_[kUnicodePages + bytes[1]][bytes[2]];
        } else {
            const FirstByte& first = firsts_[bytes[0]];
            entry = &pages_[first.page + (bytes[1] & first.secondMask)][bytes[first.last]];
        }
        return entry->length != 0 ? entry : nullptr;
    }

    // Keeps what the character of n bytes at bytes was written as (the
    // caller keeps none whose writing depends on what follows it). An
    // encoding too long for an entry or empty is not kept, nor a character
    // of ASCII from the blank up, the zero byte, a tab or a line end (an
    // entry always stands for an entity or reference); nor anything when
    // memory runs out.
    void Keep(const std::uint8_t* bytes, std::uint16_t n, const char* text, std::size_t length);

private:
    // Characters of one byte share page 0; those of two bytes have a page
    // per first byte (below 0x20); those of three a page per first two
    // bytes (first byte 0x10 up to 0x17).
    static constexpr std::size_t kTriplePages = 8 * 256;
    static constexpr std::uint8_t kUnicodeGroup = 0x14;
    static constexpr std::size_t kUnicodePages = 32 + ((kUnicodeGroup - 0x10) << 8);
    static constexpr std::size_t kPages = 32 + kTriplePages;
    static std::size_t PageOf(const std::uint8_t* bytes, std::uint16_t n) {
        if (n == 1) return 0;
        if (n == 2) return bytes[0] & 0x1F;
        return 32 + ((static_cast<std::size_t>(bytes[0] - 0x10) & 7) << 8) + bytes[1];
    }

    // Where a whole character's page is by its first byte: the page, the
    // mask of the second byte added to it, and the place of the byte that
    // picks the entry (each as wide as it is used, so that nothing is
    // widened on the way).
    struct FirstByte {
        std::uint32_t page = 0;
        std::uint16_t secondMask = 0;
        std::uint16_t last = 0;
    };
    FirstByte firsts_[256];
    // A page not made yet is the shared page of no entries, so that a
    // look-up needs no test of the page.
    static StoredEncoding none_[256];
    StoredEncoding* pages_[kPages];
};

} // namespace talix
