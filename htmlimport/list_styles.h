// The list kinds of HTML lists as paragraph-style keywords: the style value
// an ol, ul or li gives its list, and the keyword a value names.
#pragma once

#include <cstdint>

#include "htmlimport/style_lookup.h"

namespace talix {

struct HTMLImportContext;

// The list style of an element: its CSS "list-style-type", else its CSS
// "list-style", else its "type" attribute; none when it has none of them.
StyleValue ListStyleValue(const HTMLImportContext* import, const HtmlNode* node);

// The keyword of the first list kind a style value names (searched without
// regard to case, in a fixed order: "_a_checked", "_a_unchecked", "disc",
// "circle", "square", "decimal", "upper-roman", "lower-roman",
// "upper-latin" or "upper-alpha", "lower-latin" or "lower-alpha"), such as
// "+SQUARE_LIST"; null when it names none.
const char* NamedListKeyword(std::string_view value);

// The keyword of a list level without a kind of its own: circles at the
// second level, bullets at every other.
const char* LevelListKeyword(std::uint16_t level);

// The keyword of a numbered list's type letters: "a", "A", "i" and "I"
// (with case) number by letters or roman numerals; any other value by
// numbers.
const char* OrderedListKeyword(std::string_view value);

} // namespace talix
