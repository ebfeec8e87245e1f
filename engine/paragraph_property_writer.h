// A paragraph definition as property text (ParagraphStyle and
// SimpleParagraphStyle of the engine's property code 14).
#pragma once

#include "core/paragraph_def.h"

namespace talix {

// Writes the definition into output (overwritten from its start,
// terminated; it holds at least 4,096 bytes). Form 0 gives the property
// form, the keyword="value" words of paragraph-style strings
// (LeftMargin="1.00" ... Justify="LEFT" and the flag words); any other form
// the attribute form (leftmargin='1.00in' ... Justify=LEFT and the flag
// words). skipDefaults leaves out the property-form words whose value is
// the default. Lengths are written in inches.
void PABToPropertyText(int form, const CDPABDEFEXT* definition, char* output, int skipDefaults);

} // namespace talix
