// The text of a chunk without a cap.
#pragma once

#include <string>

#include "core/statuses.h"

class ZervaRTChunk;

namespace talix {

// The text GetText gives for the whole chunk with every run, collected whole
// (GetText stops at 65,340 bytes), in the platform's character set with a
// zero byte for each line end; with paragraphLineEnds, a line end also
// stands between the text of two paragraphs (where GetText runs them
// together). Returns the chunk's last status; the text is empty when it is
// not 0.
STATUS GetWholeChunkText(ZervaRTChunk* chunk, std::string* text, bool paragraphLineEnds = false);

} // namespace talix
