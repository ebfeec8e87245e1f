// The start of a visible paragraph in the record walk: what the previous
// paragraph opened is closed (its division or paragraph element, its list
// item and the lists the new paragraph does not continue, its paragraph
// style mapping), then what the new one needs is opened: an item style
// mapping that matches it, a list item, or a division (or paragraph)
// element with its class or inline style, border spacing and alignment.
#pragma once

#include <cstdint>

#include "htmlgen/xml_gen_context.h"

namespace talix {

// At the paragraph reference at the current node (remappedId: the id of its
// definition once equivalent definitions are merged; the context's current
// definition is set). Also decides whether a table that follows gets a line
// break before it. Passes over the reference.
void WriteParagraphStart(XMLGenContext* context, std::uint16_t remappedId);

// At the reference of a hidden paragraph whose content goes on with a block
// that is written all the same (a table): the previous paragraph's
// division or paragraph element ends there, as at a paragraph that shows,
// so the block does not lie in it. The lists stay as they are.
void EndPreviousParagraphElement(XMLGenContext* context, const CDRecordNode* reference);

} // namespace talix
