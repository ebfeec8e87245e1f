// Marking pass-thru HTML in the text records that an item import reads:
// the text between the caller's start and end markers reaches the parser as
// escaped text in brackets, not as markup.
#pragma once

#include "core/statuses.h"

namespace talix {

struct HTMLImportContext;
struct ItemRecordList;

// Rewrites, in place, the text runs of the list between the context's
// pass-thru markers: the start marker becomes "[" (followed by "<!-- -->"
// when the marked text does not begin with "<"), the end marker "]", and in
// between "&", "<", ">" and the double quote become entities. A marked
// region may run on over several records. A region that starts while an
// HTML-begin record is open closes it (an HTML-end record after the
// record) and opens it again where the region ends (an HTML-begin record
// before that record). A rewritten text longer than one record holds goes
// on in further text runs of the same font. Returns 0, or 263 when memory
// runs out.
STATUS MarkPassthruHTML(ItemRecordList* list, HTMLImportContext* import);

} // namespace talix
