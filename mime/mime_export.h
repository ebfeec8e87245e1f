// The output procedures the conversions hand to the generation: collecting
// the pieces of a MIME entity in the session's output cache, and appending
// generated text as lines to a rich-text chunk.
#pragma once

#include <cstdint>

class ZervaRTChunk;

namespace talix {

// Appends length bytes of data to the last block of the session's output
// cache chain; a new block is started first when there is none or the
// session's event marker reads "Event Restart" (ignoring case). What does
// not fit the block is dropped. Returns 0.
std::uint16_t AppendToEventBuffer(ZervaRTChunk* chunk, char* data, std::uint16_t length);

// Appends the text, then one new line, to the session's current output
// chunk; nothing for an empty text or without an output chunk. Returns 0.
std::uint16_t AppendLineToChunk(ZervaRTChunk* chunk, char* text, std::uint16_t length);

} // namespace talix
