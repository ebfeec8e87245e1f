// The rules of a range's style sheet, kept for the range's walk: one rule
// per paragraph definition rendered as a class (written into the style
// element, or put inline where MoveStylesInline asks) and one per cell
// border code met. The head pass fills them; the paragraph start, the lists
// and the table writer look them up; both tables are emptied at the end of
// every outermost walk.
#pragma once

#include <cstdint>

#include "htmlgen/xml_gen_context.h"

namespace talix {

// Stores a copy of the rule of paragraph definition id. A full table
// (kMaxClassRules) drops the rule and returns true; false when memory is
// exhausted.
bool AddClassRule(XMLGenContext* context, std::uint16_t id, const char* text);

// The rule for a paragraph definition id: the first stored with the id,
// else null (a paragraph whose definition has no rule is a plain one).
const char* FindClassRule(const XMLGenContext* context, std::uint16_t id);

// Whether a border code has a rule; storing a copy of a new code's rule
// (a full table drops it and returns true; false when memory is
// exhausted).
bool HasBorderRule(const XMLGenContext* context, const char* code);
bool AddBorderRule(XMLGenContext* context, const char* code, const char* text);

// The rule of a border code, or null.
const char* FindBorderRule(const XMLGenContext* context, const char* code);

// Releases every rule text and empties both tables.
void ReleaseStyleRules(XMLGenContext* context);

} // namespace talix
