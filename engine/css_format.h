// Colour indexes and layout lengths as text: the colour of a standard
// colour index as a name (property text), as "rgb(r,g,b)" or as "#rrggbb"
// (style sheets), and a length value of a layout record (auto and inherit
// switches, a number and a unit) as a style-sheet length.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/statuses.h"

namespace talix {

// The room ColorToCSS needs: its longest text ("rgb(255,255,255)") and the
// terminator.
constexpr std::size_t kCSSColorSize = 18;

// Colour modes of ColorToCSS.
constexpr int kColorAsName = 0;   // "Red", or "COLOR20" above the sixteen standard colours
constexpr int kColorAsRGB = 1;    // "rgb(255,0,0)"; negative modes too
constexpr int kColorAsHex = 2;    // "#ff0000"; modes above 2 too

// Overwrites output (at least kCSSColorSize bytes) with the colour of a
// colour index. Mode 0 names the sixteen standard colours by the client's
// or the web's names (the thread's client preference) and writes any
// other index as "COLOR<index>"; the rgb and hex forms give the standard
// colours their values and any other index black. Returns 0.
STATUS ColorToCSS(std::uint16_t index, char* output, int mode);
// Overwrites output (at least kCSSColorSize bytes) with "rgb(r,g,b)".
void FormatCSSRGB(std::uint8_t red, std::uint8_t green, std::uint8_t blue, char* output);

// Appends a length value (24 bytes in host form: u16 flags at 0, bit 0
// auto and bit 1 inherit; the f64 number at 8; the u8 unit at 16) to the
// zero-terminated text in output (capacity bytes with its terminator):
// "auto " and "inherit " by the flags, then the number by its unit (1
// twips, written in inches "%fin"; 2 "px", 3 "%", 4 "em", 5 "ex", 6 "ch",
// each of the number cut toward zero; any other unit writes no number),
// then, for a flagged value, one trailing blank of the text removed. What
// does not fit is left out.
void FormatCSSLength(const std::uint8_t* lengthValue, char* output, std::size_t capacity);

// A stored number cut toward zero as lengths and offsets are written: held
// at the ends of the 32-bit range, NaN as 0.
long CutTowardZero(double number);

} // namespace talix
