// The colour tables shared by the font and colour parsers: the 240-entry
// palette (declared in core/font_spec.h) and the named colours.
#pragma once

namespace talix {

// The six hex digits (red, green, blue) of a named colour, the name compared
// whole and ignoring case; null when the name is not in the table.
const char* NamedColorHex(const char* name);

} // namespace talix
