// The text-run and named-element searches find nothing until the chunk
// operations that walk for them are built.
#include "chunkops/find_elements.h"

namespace talix {

std::uint32_t FindTextRun(ZervaRTChunk*, int, std::uint16_t, std::uint16_t, const char*, std::uint16_t,
                          std::uint16_t, const ParsedFontSpec*, const FontSpecMask*) {
    return 0;
}

std::uint32_t FindNamedElement(ZervaRTChunk*, int, std::uint16_t, std::uint16_t, const char*, std::uint16_t,
                               std::uint16_t, std::int16_t) {
    return 0;
}

} // namespace talix
