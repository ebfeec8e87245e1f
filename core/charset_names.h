// Character-set names, as found in options, MIME headers and HTML meta tags,
// turned into the platform's character-set ids.
#pragma once

#include <cstdint>

namespace talix {

// The id of a character-set name (compared ignoring case); defaultId for a
// null, empty or unrecognised name.
std::uint32_t CharsetNameToId(const char* name, std::uint32_t defaultId);

} // namespace talix
