// The character entity references of HTML 4.01, shared by the HTML import
// (entity names to characters) and the HTML generation (characters to entity
// names).
#pragma once

#include <cstdint>

namespace talix {

// One entity: its name, its code point and its native form, the character's
// bytes in the platform's own character set (LMBCS), zero-terminated; null
// for "nbsp", "quot", "amp", "lt" and "gt", which have none.
struct EntityRow {
    const char* name = nullptr;
    std::uint64_t codePoint = 0;
    const char* native = nullptr;
};

// The number of rows: the Latin-1 set ("nbsp" to "yuml", 96 rows), the
// symbols ("fnof" to "diams", 124 rows) and the special characters ("quot"
// to "euro", 32 rows), in that order and in the standard's order within each
// set. "nbsp" has the code point 32.
constexpr int kEntityCount = 252;

// The table, built on first use and kept for the life of the process.
const EntityRow* EntityTable();

// The name of the entity whose native form is the character of length bytes
// (one LMBCS character): the first row whose native form has the same bytes,
// or, among forms of another length, the first one that is the same
// character written another way. Failing that, for a one-byte character, the
// row whose native form is the two bytes 0x01 and that byte (the group-1
// form of a control byte). Null when no row matches. characterSet names the
// set the bytes are in; the platform's own set is the only one there is, so
// it may be null.
const char* FindEntityByNativeText(const void* characterSet, const char* character,
                                   std::uint16_t length);

// The same look-up giving the row's index in the table, or -1.
int FindEntityRow(const void* characterSet, const char* character, std::uint16_t length);

// The code point of one LMBCS character of length bytes (0xFFFD for bytes
// that are no character), or -1 when they are not exactly one character.
std::int32_t LmbcsCodePoint(const char* character, std::uint16_t length);

} // namespace talix
