// The LMBCS codec shared by the text calls, the translation tables and the
// collation: decoding through ICU, encoding of our own.
#pragma once

#include <cstddef>
#include <string>

#include <unicode/umachine.h>

namespace plat::lmbcs {

// Decodes length bytes of LMBCS into UTF-16. Every group is accepted; an
// invalid or truncated sequence becomes U+FFFD.
std::u16string Decode(const char* text, std::size_t length);

// The code point of the UTF-16 units at *pos (an unpaired surrogate comes
// as itself), moving *pos past it; *pos must lie within the units.
UChar32 NextUtf16(const std::u16string& units, size_t* pos);

// Appends the LMBCS form of one code point: the single byte of the
// optimisation group, else a group-1 exception form, else the Unicode group
// (two triples for a supplementary character). A value that is no code point
// becomes "?".
void AppendCodePoint(std::string& out, UChar32 c);

// Appends the UTF-8 form of one code point (a surrogate or a value that is no
// code point becomes U+FFFD).
void AppendUtf8(std::string& out, UChar32 c);

} // namespace plat::lmbcs
