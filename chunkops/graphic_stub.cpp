// Removing a chunk's content and appending a graphic need the operation
// engine's chunk operations; until they are built both refuse with 257 and
// leave the item untouched.
#include "core/statuses.h"
#include "talix/chunk.h"

std::uint16_t ZervaRTChunk::Remove() {
    lastStatus = talix::kOperationFailed;
    return lastStatus;
}

std::uint16_t ZervaRTChunk::AppendGraphic(const char* kind, const char* source, const char* options) {
    lastStatus = talix::kOperationFailed;
    return lastStatus;
}
