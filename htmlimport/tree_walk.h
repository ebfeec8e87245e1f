// The tree walk of an HTML import (ConvertHTMLTreeToRichText, declared with
// the import's entry points, drives it).
#pragma once

#include <cstdint>


namespace talix {

struct HTMLImportContext;
struct HtmlNode;
struct BuildContext;

// Walks the sibling list that starts at first, and below each node its
// children, level being the list's depth (1 for the document's root): for
// each node its start pass, its children unless the start pass says
// otherwise, and, for a start tag, its closing pass. At level 1 the style
// sheet the chunk carries is read first. The result is left in the
// import's status.
void HTMLNodeToRichText(BuildContext* context, HTMLImportContext* import, HtmlNode* first,
                                  std::uint16_t level);

} // namespace talix
