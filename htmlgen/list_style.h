// The indent of a list element as CSS: how far its list lies in from the
// list it nests in (or from the page or cell when it nests in none), as
// padding and margin on the element's style attribute.
#pragma once

#include "core/statuses.h"
#include "htmlgen/xml_gen_context.h"

namespace talix {

// Writes the padding-left and margin-left declarations of the list opened
// for the paragraph reference, leaving out each the style text given
// (the rule already written for the element, or null) holds. When the
// element's start tag waits at the write position it is completed there
// (a checkbox bullet list gets its type); when nothing waits, the
// declarations go into a style attribute of their own. Returns 0, or 1028
// when there is no reference or its definition is not a list (nothing
// written). With both declarations in the style text, nothing is written.
STATUS WriteXMLListStyle(XMLGenContext* context, const CDRecordNode* reference, const char* styleText);

} // namespace talix
