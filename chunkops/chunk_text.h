// The text of a chunk without a cap.
#pragma once

#include <string>

#include "core/statuses.h"

class ZervaRTChunk;

namespace talix {

// The text GetText gives for the whole chunk with every run, collected whole
// (GetText stops at 65,340 bytes). Returns the chunk's last status; the text
// is empty when it is not 0.
STATUS GetWholeChunkText(ZervaRTChunk* chunk, std::string* text);

} // namespace talix
