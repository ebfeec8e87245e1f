// A paragraph definition as property text (ParagraphStyle and
// SimpleParagraphStyle of the engine's property code 14).
#pragma once

#include "core/paragraph_def.h"

namespace talix {

// Writes the definition into output (overwritten from its start,
// terminated; it holds at least 4,096 bytes): form 0 gives the property
// form (LeftMargin="1.00" ...), any other form the attribute form;
// skipDefaults leaves out the words whose value is the default (property
// form only).
void PABToPropertyText(int form, const CDPABDEFEXT* definition, char* output, int skipDefaults);

} // namespace talix
