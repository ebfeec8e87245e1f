// What a chunk property set that changed nothing says about the chunk.
#pragma once

#include "core/properties.h"

class ZervaRTChunk;

namespace talix {

// Whether a set of the row that left the item unmodified found nothing in
// the chunk that takes the property (a button text set on a text run, a
// picture's storage set on a chunk without a picture), rather than a value
// already as asked (a picture already in the storage asked for).
bool UnmodifiedSetFoundNothing(ZervaRTChunk* chunk, const PropertyTableEntry* row);

} // namespace talix
