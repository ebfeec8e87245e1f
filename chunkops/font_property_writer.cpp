// The words of the font properties are written by the chunk-property
// readers, which are not built yet: until then the answer is empty.
#include "chunkops/font_property_writer.h"

namespace talix {

STATUS WriteFontProperties(std::uint32_t, const std::uint8_t*, ZervaRTItem*, char* output, std::uint16_t) {
    if (output != nullptr) output[0] = '\0';
    return kOK;
}

} // namespace talix
