// Paragraphs whose definition is a bulleted or numbered list, at their
// paragraph start: closing the lists the new paragraph does not continue,
// and for a list paragraph finding its level (lists nest by the first-line
// margins of their definitions), opening a new list when needed and
// writing the list item with its type, spacing and the look of its text.
// The context keeps the definition open at each level, 1 up to
// kMaxListLevel.
#pragma once

#include <cstdint>

#include "htmlgen/xml_gen_context.h"

namespace talix {

// The closing of the open numbered (respectively bulleted) lists at the
// paragraph reference, unless the new paragraph continues them.
void CloseNumberedLists(XMLGenContext* context, const CDRecordNode* reference, std::uint16_t rawId,
                        std::uint16_t remappedId);
void CloseBulletedLists(XMLGenContext* context, const CDRecordNode* reference, std::uint16_t rawId,
                        std::uint16_t remappedId);

// The list level follows the close-tag stack: the levels whose lists were
// closed since (by a cell, row, table or section end, a list's own closing,
// or the end of a range) are left, and forget their definitions. The list
// steps and the table writer ask for it after they close elements.
void SyncListLevel(XMLGenContext* context);

// A list paragraph at the reference: definition is its used list
// definition, numbered whether it is a numbered list (else bulleted).
void WriteListParagraph(XMLGenContext* context, const CDRecordNode* reference, const CDRecordNode* definition,
                        bool numbered, std::uint16_t remappedId);

} // namespace talix
