// Well-formed UTF-8: what the program takes from its arguments and what the
// HTML import reads as UTF-8 when a page says nothing else.
#pragma once

#include <cstddef>
#include <string_view>

namespace talix {

// The length of the well-formed UTF-8 character that starts text at i, or 0
// when the bytes there are none (a stray continuation byte, an overlong
// form, a surrogate, a code point past U+10FFFF, a cut sequence).
std::size_t Utf8CharLength(std::string_view text, std::size_t i);

// Whether text is well-formed UTF-8 throughout.
bool IsUtf8(std::string_view text);

} // namespace talix
