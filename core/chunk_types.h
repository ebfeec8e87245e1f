// The element types a chunk-definition level can name, by number: their
// names and the look-up of a name.
#pragma once

#include <cstdint>

#include "talix/export.h"

namespace talix {

constexpr std::uint16_t kChunkTypeCount = 38;

// Element types named elsewhere in the engine.
enum ChunkType : std::uint16_t {
    kTypeEverything = 0, kTypeTable = 1, kTypeButton = 3, kTypeRow = 5, kTypeColumn = 6, kTypeDoclink = 8,
    kTypeOleObject = 13, kTypeAnchor = 14, kTypeGraphic = 15, kTypeField = 19, kTypeParagraph = 21, kTypeHR = 27,
    kTypeLayer = 29, kTypeImageMap = 32, kTypeGraphicHotspot = 33, kTypeParagraphList = 36,
};

// The name of a type ("Table"), or defaultText for a type of 38 or more.
const char* ChunkTypeName(std::uint16_t type, const char* defaultText);

// The type whose name begins the text, compared ignoring case ("Rows 3" is
// Row). Where several names begin the text the longest wins, so that
// "ParagraphList" is not taken for "Paragraph". 0 (Everything) when no name
// does.
std::uint16_t FindChunkType(const char* text);

} // namespace talix
