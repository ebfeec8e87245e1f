// ZervaRTChunk: a located part of a rich-text item, defined by a chain of
// definition levels ("Table 1; Row 2").
#pragma once

#include <cstdint>

#include "talix/export.h"

class RARIvoSession;
class ZervaRTItem;

namespace talix {
struct ChunkWorkState;
}

class TALIX_API ZervaRTChunk {
public:
    ZervaRTChunk(RARIvoSession* session, ZervaRTItem* item);
    ~ZervaRTChunk();
    ZervaRTChunk(const ZervaRTChunk&) = delete;
    ZervaRTChunk& operator=(const ZervaRTChunk&) = delete;

    static constexpr int kEventReturnStrings = 6;

    RARIvoSession* session = nullptr;
    ZervaRTItem* item = nullptr;
    ZervaRTChunk* next = nullptr;
    char* definition = nullptr;            // canonical text of the whole chain
    char* unzoomedDefinition = nullptr;    // kept from the first ZoomIn to the next ZoomOut
    std::uint16_t targetType = 0;          // element type of the innermost level
    std::uint16_t lastStatus = 0;
    std::uint16_t errorWord = 0;
    std::uint16_t accentSensitive = 1;
    std::uint16_t caseSensitive = 0;
    std::uint16_t regularExpression = 0;
    std::uint16_t searchWordBoundaries = 0;
    std::uint16_t setImpliedProperties = 0;
    std::uint16_t textWildcards = 0;
    std::uint32_t appendAtEnd = 1;
    char* eventReturn[kEventReturnStrings] = {};
    talix::ChunkWorkState* work = nullptr;
};
