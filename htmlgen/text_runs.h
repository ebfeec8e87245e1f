// Text runs as HTML text: the run's style mappings and font markup, its
// characters with entities for the markup characters and those outside
// ASCII, line breaks, tabs, preserved blanks and automatic links for web,
// mail and telephony addresses; the same-font runs that follow it continue
// it.
#pragma once

#include <cstdint>

#include "core/statuses.h"
#include "htmlgen/xml_gen_context.h"

namespace talix {

// Writes the text run at (or the first one after) the context's current
// node, and leaves the current node on the record after it. kind: the
// signature of the record the caller works on (a text signature when the
// caller renders a bracketed run: the current node then moves on to its
// END). emptyLineBreak: a run without text that stands alone in its
// paragraph is written as a line break. Returns 0 (a write that does not
// fit sets the context's overflow mark).
STATUS ProcessXMLText(XMLGenContext* context, std::uint16_t kind, int emptyLineBreak);

} // namespace talix
