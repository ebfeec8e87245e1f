// Layers from HTML: a positioned element becomes a layer, a positioned and
// stacked box of rich text, whose position, size and background come from
// the element's inline style and the document's style rules.
#pragma once

#include <string>

#include "core/statuses.h"

namespace talix {

struct HTMLImportContext;
struct HtmlNode;
struct BuildContext;

// 1 when the element is to become a layer: it has a z-index other than 999,
// or any of position, left, top, bottom and right; else 0 (1 for a null
// node).
int CalcLayerPosition(const HTMLImportContext* import, const HtmlNode* node);

// The layer option text of the element: "name='value' " for each of
// position, left, top, right, bottom, width, height and background-color
// it has, then "LayerHTMLClass=" and "LayerHTMLID=" for its class and id
// attributes. A value holding an apostrophe is enclosed in the first of
// the double quote, the vertical bar and the tilde that it does not hold; a
// value holding all four quote characters is left out.
std::string LayerOptionText(const HTMLImportContext* import, const HtmlNode* node);

// Writes the layer of the element (its z-index as the stacking order, 0
// without one; its option text; a paragraph in the element's paragraph
// style). Returns the status of the layer's records, 263 when memory runs
// out.
STATUS ConvertLayerFromHTML(BuildContext* context, HTMLImportContext* import, const HtmlNode* node);

} // namespace talix
