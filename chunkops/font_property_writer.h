// The font properties of a text run as text (Font, TextAttributes,
// FontColor, PointSize, FontFace), for the engine's property code 13.
#pragma once

#include <cstdint>

#include "core/statuses.h"

class ZervaRTItem;

namespace talix {

// Writes the words of one property of a run into output (emptied first,
// terminated; it holds at least 4,096 bytes): fontId is the run's packed
// font id, colorRecord the colour record that follows the run (host form)
// or null, item the run's item (for its face names), propertyCode the
// property asked for (Font 2317, FontColor 2318, FontFace 2319, PointSize
// 2328, TextAttributes 2333). Returns 0.
STATUS WriteFontProperties(std::uint32_t fontId, const std::uint8_t* colorRecord, ZervaRTItem* item, char* output,
                           std::uint16_t propertyCode);

} // namespace talix
