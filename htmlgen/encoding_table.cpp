#include "htmlgen/encoding_table.h"

#include <cstring>
#include <new>

namespace talix {

// Never written: Keep gives a page its own entries before it keeps one.
StoredEncoding EncodingTable::none_[256];

EncodingTable::EncodingTable(const std::uint8_t* lengths) {
    for (StoredEncoding*& page : pages_) page = none_;
    for (unsigned b = 0; b < 256; ++b) {
        const std::uint8_t first[3] = {static_cast<std::uint8_t>(b), 0, 0};
        const std::uint16_t n = lengths[b] >= 1 && lengths[b] <= 3 ? lengths[b] : 1;
        firsts_[b].page = static_cast<std::uint16_t>(PageOf(first, n));
        firsts_[b].secondMask = n == 3 ? 0xFF : 0;
        firsts_[b].last = static_cast<std::uint8_t>(n - 1);
    }
}

EncodingTable::~EncodingTable() {
    for (StoredEncoding* page : pages_) {
        if (page != none_) delete[] page;
    }
}

void EncodingTable::Keep(const std::uint8_t* bytes, std::uint16_t n, const char* text, std::size_t length) {
    if (length == 0 || length > sizeof(StoredEncoding::text) || n < 1 || n > 3) return;
    // A character the writer of text runs writes otherwise (ASCII from the
    // blank up, the zero byte, tab and the line ends) is not kept: an entry
    // always stands for an entity or reference.
    const std::uint8_t first = bytes[0];
    if (n == 1 && (first >= 0x20 ? first < 0x80 : first == 0 || first == '\t' || first == '\n' || first == '\r'))
        return;
    // Only the forms a character of that length can have: a page is never
    // shared by characters of different lengths.
    if (n == 2 && (bytes[0] == 0 || bytes[0] >= 0x20)) return;
    if (n == 3 && (bytes[0] < 0x10 || bytes[0] > 0x17)) return;
    StoredEncoding*& page = pages_[PageOf(bytes, n)];
    if (page == none_) {
        StoredEncoding* made = new (std::nothrow) StoredEncoding[256]();
        if (made == nullptr) return;
        page = made;
    }
    StoredEncoding& entry = page[bytes[n - 1]];
    std::memcpy(entry.text, text, length);
    entry.length = static_cast<std::uint8_t>(length);
}

} // namespace talix
