// The words of a paragraph definition are written by the chunk-property
// readers, which are not built yet: until then the answer is empty.
#include "chunkops/paragraph_property_writer.h"

namespace talix {

void PABToPropertyText(int, const CDPABDEFEXT*, char* output, int) {
    if (output != nullptr) output[0] = '\0';
}

} // namespace talix
