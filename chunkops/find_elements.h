// The searches behind ZervaRTChunk::FindTextChunk and FindNamedChunk: the
// ordinal (counted from the item's first record) of the first text run whose
// font and text match, or of the first element of a type whose name
// matches. Records numbered first to last take part (within not 0), or only
// records after last (within 0); 0 when either bound is 0 or nothing
// qualifies.
#pragma once

#include <cstdint>

class ZervaRTChunk;

namespace talix {

struct ParsedFontSpec;
struct FontSpecMask;

// Match modes: 0 any, 1 whole text, 2 starts with, 3 ends with, 4 contains,
// 5 and above any.
std::uint32_t FindTextRun(ZervaRTChunk* chunk, int within, std::uint32_t first, std::uint32_t last,
                          const char* search, std::uint16_t searchLength, std::uint16_t matchMode,
                          const ParsedFontSpec* criteria, const FontSpecMask* mask);
std::uint32_t FindNamedElement(ZervaRTChunk* chunk, int within, std::uint32_t first, std::uint32_t last,
                               const char* name, std::uint16_t nameLength, std::uint16_t matchMode,
                               std::int16_t chunkType);

} // namespace talix
