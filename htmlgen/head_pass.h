// The head of an HTML or XHTML document, written by the outermost walk of
// each range before its first record: the style element with one class
// rule per paragraph definition (and the cell-border rules), the
// document's dominant font as a body rule, the scripts and styles some
// options ask for, the end of the head and the body's start tag.
#pragma once

#include "core/statuses.h"
#include "htmlgen/range_fonts.h"
#include "htmlgen/xml_gen_context.h"

namespace talix {

// The head pass over the range from the context's current node (which it
// does not move). It fills the range's style rules and the used list
// definitions, and notes the fonts of the range's text runs in fonts; the
// first range of a generation also writes the head's end and the body tag,
// later ranges only rebuild the rules. Returns 0, or 263 when a rule cannot
// be stored.
STATUS WriteHeadPass(XMLGenContext* context, RangeFonts* fonts);

} // namespace talix
