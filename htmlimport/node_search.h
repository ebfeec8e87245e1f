// Searches of the import's tree that the table, section, link and image
// conversions share: elements by name or by an attribute's value, text
// nodes, and a text node's text as a terminated native text.
//
// None of them changes the tree; each visits a node at most once, so a
// search costs no more than the part of the tree it covers.
#pragma once

#include <cstdint>

namespace talix {

struct HTMLImportContext;
struct HtmlNode;

// The first element named name or second (second may be null) among the
// siblings from first on and their descendants, in this order: every node
// of a sibling list first, then, for each of them in turn, the same search
// over its children (so all siblings of a level are looked at before any of
// their descendants). Names are compared exactly (the parser lower-cases
// them).
//
// With after given, matches are ignored until after has been met (after
// itself never matches): *passed (may be null) is set to 1 when it is met,
// at whatever depth, and a *passed already 1 on entry counts as met. Null
// when nothing matches.
const HtmlNode* FindHTMLElementByName(const HtmlNode* first, const char* name, const char* second,
                                      const HtmlNode* after, int* passed);

// The first element named element whose first attribute named attribute
// (compared without regard to case) has exactly the value given, searched
// in the order of FindHTMLElementByName from first on. Null when none.
const HtmlNode* FindElementWithAttr(const HtmlNode* first, const char* element, const char* attribute,
                                    const char* value);

// The first text node holding text (its end offset above its start offset)
// in the subtree of node, node itself first, in document order. With pass
// given, the search goes on after pass (pass itself is skipped; when pass
// lies outside the subtree the whole subtree is searched); with
// minimumEnd above 0, text nodes that end at or before that offset are
// skipped. So a caller reads consecutive texts of an element with
// FindTextNode(element, previous, previous's end). Null when there is none.
const HtmlNode* FindTextNode(const HtmlNode* node, const HtmlNode* pass, std::uint32_t minimumEnd);

// The text of a text node as a terminated text of the platform's own
// character set (the tree holds its text in that set already) in buffer,
// cut to capacity - 1 bytes without splitting a character. Without a text
// node, the default text (empty when null), cut the same way. Returns the
// length written; 0 and nothing written when capacity is 0.
std::uint32_t NodeTextToNative(const HTMLImportContext* import, const HtmlNode* textNode, char* buffer,
                               std::uint32_t capacity, const char* defaultText);

} // namespace talix
