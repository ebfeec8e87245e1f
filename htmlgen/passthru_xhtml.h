// Pass-through HTML in an XHTML document: the author's markup is parsed with
// the HTML import's parser (HTML Tidy, into the import's own tree) and
// written back as XHTML, so that the document stays well-formed whatever
// the stored HTML holds.
#pragma once

#include <string>
#include <string_view>

#include "htmlgen/xml_gen_context.h"

namespace talix {

// The pass-through text (LMBCS, as the stretch's records hold it) as
// well-formed XHTML (LMBCS, for the line buffer): element and attribute
// names in lower case, every attribute quoted and given a value, empty
// elements closed, script and style contents in CDATA sections, comments,
// processing instructions and the like as comments, characters outside
// ASCII as the document's other text writes them. The tree's own html,
// head and body elements (the parser's frame around a fragment) and an
// empty title are left out; an element or attribute whose name XML does
// not allow leaves its content or is dropped. Text that cannot be parsed,
// or is past a bound of the parser (markup_bounds.h: nesting, attributes,
// fonts opened again; logged), is written as escaped text. Never fails: the
// result is always appended to *out. *holdsBlock (when given) tells whether
// the result holds a block element or one of a head (a paragraph, division,
// list, table, heading, style and the like): no inline element may hold it.
void PassthruAsXhtml(XMLGenContext* context, std::string_view html, std::string* out, bool* holdsBlock = nullptr);

} // namespace talix
