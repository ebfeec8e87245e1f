// Form fields of rich text as empty form controls: a rich-text field as a
// text area, a text or text-list field as a text input.
#pragma once

#include "core/statuses.h"
#include "htmlgen/xml_gen_context.h"

namespace talix {

// Writes the control for the field record at the context's current node
// (the walk passes over it afterwards). A field of another data type, or a
// record too short for its name, writes nothing. Returns 0.
STATUS WriteXMLField(XMLGenContext* context, int unused);

} // namespace talix
