// Counting the targets of a chunk without a cap.
#pragma once

#include <cstdint>

class ZervaRTChunk;

namespace talix {

// The number of targets of a type (such as "Table" or "Record") within the
// chunk: the answer GetCount gives, found in one walk and without its
// 16-bit cap. -1 when the type cannot be counted within the chunk; a walk
// that fails leaves its status in the chunk's lastStatus (0 on success).
std::int64_t CountChunkTargets(ZervaRTChunk* chunk, const char* typeText);

} // namespace talix
