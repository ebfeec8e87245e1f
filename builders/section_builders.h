// Collapsible sections: the title paragraph with the section bar (title,
// border style, expand and collapse rules, title font) and the start of the
// section's body. The records that close the section are the caller's.
#pragma once

#include "core/statuses.h"

namespace talix {

struct BuildContext;

// Opens a section. The title is the operation's argument text, the options
// are the session's running option text, the title font the item's font for
// new text changed by the operation's font specification. Returns 0 or the
// first failing status of the paragraph records, the text runs, the section
// records or the closing of the bar.
STATUS AppendSectionRecords(BuildContext* context);

} // namespace talix
