#include "htmlgen/encoding_table.h"

#include <cstring>
#include <new>

namespace talix {

EncodingTable::~EncodingTable() {
    for (StoredEncoding* page : pages_) delete[] page;
}

void EncodingTable::Keep(const std::uint8_t* bytes, std::uint16_t n, const char* text, std::size_t length) {
    if (length > sizeof(StoredEncoding::text)) return;
    // Only the forms a character of that length can have: a page is never
    // shared by characters of different lengths.
    if (n == 2 && (bytes[0] == 0 || bytes[0] >= 0x20)) return;
    if (n == 3 && (bytes[0] < 0x10 || bytes[0] > 0x17)) return;
    if (n < 1 || n > 3) return;
    StoredEncoding*& page = pages_[PageOf(bytes, n)];
    if (page == nullptr) {
        page = new (std::nothrow) StoredEncoding[256]();
        if (page == nullptr) return;
    }
    StoredEncoding& entry = page[bytes[n - 1]];
    std::memcpy(entry.text, text, length);
    entry.size = static_cast<std::uint8_t>(length + 1);
}

} // namespace talix
