// Setting a chunk's definition from a text and emptying a chunk: used by the
// item when it hands out chunks and when it disconnects.
#pragma once

#include <cstdint>

#include "core/statuses.h"

class ZervaRTChunk;

namespace talix {

struct ChunkDefInfo;

// Parses text into the chunk's definition chain (outer, may be null, is the
// level the text continues), renders the chain as the chunk's definition
// text and takes the target type from the innermost level. Returns 0, 1028
// when the text does not parse or 263 when memory is short; on failure the
// chunk is unchanged.
STATUS SetChunkDefinition(ZervaRTChunk* chunk, const char* text, const ChunkDefInfo* outer);

// Frees the chunk's definition chain, its definition texts and its
// event-return strings.
void EmptyChunk(ZervaRTChunk* chunk);

} // namespace talix
