// The font properties of a text run as text (Font, TextAttributes,
// FontColor, PointSize, FontFace), for the engine's property code 13, and
// the colour word they share with the horizontal rules.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/statuses.h"

class ZervaRTItem;

namespace talix {

// Writes the words of one property of a run into output (emptied first,
// terminated; it holds at least 4,096 bytes): fontId is the run's packed
// font id (face, attributes, colour index, point size from the low byte
// up), colorRecord the colour record that follows the run (host form, as
// long as its length byte says) or null, item the run's item (for its face
// names; may be null), propertyCode the property asked for: Font 2317
// (style words, colour, size and face: "Bold Red 12pt Arial"),
// TextAttributes 2333 (style words), FontColor 2318, PointSize 2328
// ("12pt"), FontFace 2319; any other code writes nothing. Returns 0.
STATUS WriteFontProperties(std::uint32_t fontId, const std::uint8_t* colorRecord, ZervaRTItem* item,
                           char* output, std::uint16_t propertyCode);

// The colour of a colour index as a word, told by the colour record that
// follows its owner (recordLength bytes, or null): a record of one colour
// value that holds the index's own standard colour names it; another
// record whose components are valid gives "RGB<r>,<g>,<b>" (and
// " GRADIENT<r>,<g>,<b>" when a gradient follows); otherwise the index's
// colour name ("COLOR<n>" above the sixteen standard colours). Written
// into out (size bytes with its terminator).
void WriteColorWord(std::uint16_t colorIndex, const std::uint8_t* colorRecord, std::uint32_t recordLength, char* out,
                    std::size_t size);

} // namespace talix
