// Chunk properties by name need the chunk-property table, which holds no
// rows yet: every name is unknown, so nothing is read and nothing is set.
#include "talix/chunk.h"

std::uint16_t ZervaRTChunk::GetPropertyText(const char* name, char* buffer, std::uint16_t size) {
    if (buffer != nullptr && size > 0) buffer[0] = '\0';
    return 0;
}

double ZervaRTChunk::GetPropertyNumber(const char* name) { return 0.0; }

int ZervaRTChunk::SetPropertyText(const char* name, const char* value, std::uint16_t length) { return 0; }

int ZervaRTChunk::SetPropertyNumber(const char* name, double value) { return 0; }
