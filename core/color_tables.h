// The colour tables shared by the font and colour parsers: the 240-entry
// palette (declared in core/font_spec.h), the named colours and the names
// of the sixteen standard colours.
#pragma once

#include <cstddef>

namespace talix {

// The six hex digits (red, green, blue) of a named colour, the name compared
// whole and ignoring case; null when the name is not in the table.
const char* NamedColorHex(const char* name);

// Writes the name of a colour index to out (size bytes): one of the sixteen
// standard colours by the client's names or the web's (the thread's client
// preference, core/thread_state.h),
// any other index as "COLOR<index>".
void StandardColorName(unsigned index, char* out, std::size_t size);

} // namespace talix
