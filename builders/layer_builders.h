// Layers: positioned boxes with their own paragraph and text, optionally
// with a background image and colour. Their lengths follow the box model
// of style sheets (pixels, percent, inches, em, ex, ch, "auto", "inherit").
#pragma once

#include <cstdint>

#include "core/record_layouts.h"
#include "core/statuses.h"

namespace talix {

struct BuildContext;

constexpr std::uint8_t kUnitNone = 0;
constexpr std::uint8_t kUnitTwips = 1;
constexpr std::uint8_t kUnitPixels = 2;
constexpr std::uint8_t kUnitPercent = 3;
constexpr std::uint8_t kUnitEm = 4;
constexpr std::uint8_t kUnitEx = 5;
constexpr std::uint8_t kUnitCh = 6;

// Reads one length text into the 24-byte length value at lengthValue.
// "auto" anywhere sets the auto flag, "inherit" the inherit flag; a flagged
// length has unit none. Otherwise the number is read and the first unit
// word found decides the unit ("px", "%", "in" as twips, "ch", "em", "ex");
// without one, keepUnit 0 makes it pixels and keepUnit 1 keeps the unit the
// value had. Null arguments change nothing.
void ParseLayerLength(std::uint8_t* lengthValue, const char* text, std::uint32_t keepUnit);

// Writes a layer at the output of the run: CDBEGIN, the layer record, the
// optional id/name record, the positioning record (z-index, scheme, edges),
// the box size record, an optional background colour and background image,
// then the layer's paragraph (a new paragraph definition in the operation's
// paragraph style, with the hide formula the session's text result holds),
// its text run and CDEND. The position text holds top, left, width and
// height separated by ";" and may be null. Returns 0, 1028 for a null
// context, or the first failing append.
STATUS AppendLayerRecords(std::uint32_t zIndex, BuildContext* context, const char* options,
                                    const char* position);

} // namespace talix
