// The output procedures the conversions hand to the generation: collecting
// the pieces of a MIME entity in the session's output cache, and appending
// generated text as lines to a rich-text chunk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/statuses.h"

class ZervaRTChunk;

namespace talix {

// Appends length bytes of data to the last block of the session's output
// cache chain; a new block is started first when there is none or the
// session's event marker reads "Event Restart" (ignoring case). What does
// not fit the block is dropped. Returns 0.
std::uint16_t AppendToEventBuffer(ZervaRTChunk* chunk, char* data, std::uint16_t length);

// Appends the text, then one new line, to the session's current output
// chunk; nothing for an empty text or without an output chunk. While the
// session keeps pending lines, the text (up to a zero byte) is added to
// them instead. Returns 0.
std::uint16_t AppendLineToChunk(ZervaRTChunk* chunk, char* text, std::uint16_t length);

// Appends the lines to the end of the chunk, each followed by one new line,
// as AppendLineToChunk appends each one, in one run over the item. Returns
// 0 or the status of the run (the chunk is left as it was when it fails).
STATUS AppendLinesToChunk(ZervaRTChunk* output, const std::vector<std::string>& lines);

} // namespace talix
