// The text of a style-sheet rule: the class rule of a paragraph definition
// (margins, indent, direction, list style and spacing; with
// MoveStylesInline the declarations alone, to be put inline) and the rule of
// a table cell's border code.
#pragma once

#include <cstddef>
#include <string>

#include "htmlgen/xml_gen_context.h"

namespace talix {

// The rule of a paragraph definition, composed as the head pass meets the
// definition (inside the tables and layers it has counted so far). A list
// definition is recorded as used. listImageSeen: an earlier definition of
// the pass had a list image (set when this one has). Marks the output
// right-to-left once a right-to-left definition is met.
std::string ComposeClassRule(XMLGenContext* context, CDRecordNode* definition, bool* listImageSeen);

// The border code of a table cell: the widths in pixels of its top, right,
// bottom and left borders, each written in decimal (one digit for widths
// below 10).
std::string CellBorderCode(const CDRecordNode* cell);

// The rule of a cell's border code (without its closing brace); with
// MoveStylesInline the declarations alone.
std::string ComposeBorderRule(const XMLGenContext* context, const CDRecordNode* cell);

// The spacing declarations of a paragraph definition (line height, margins
// above and below): 2 is double, 1 one and a half; list items (anyOther)
// take every other value but 0 as one and a half too.
std::string SpacingDeclarations(const XMLGenContext* context, std::uint16_t lineSpacing,
                                std::uint16_t spacingBefore, std::uint16_t spacingAfter, bool anyOther);

} // namespace talix
