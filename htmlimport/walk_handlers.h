// The element handlers of the tree walk that convert tables, lists, links,
// images, layers, reply sections and pass-thru spans, each in the form the
// walk calls it in.
#pragma once

#include <cstdint>

#include "core/statuses.h"
#include "htmlimport/element_walk.h"

namespace talix {

// table, tr, and td or th: the start passes of a table, a row and a cell.
// The table's memo tells its closing pass whether the table was converted.
StartAction StartTableFromHTML(BuildContext* context, HTMLImportContext* import, HtmlNode* node,
                               ElementMemo* memo);
StartAction StartTableRowFromHTML(BuildContext* context, HTMLImportContext* import,
                                            HtmlNode* node);
StartAction StartTableCellFromHTML(BuildContext* context, HTMLImportContext* import,
                                             HtmlNode* node);
// The right margin a paragraph opened in a cell of that column of a table
// at that depth takes when it has none of its own; 0 when none is known.
std::uint16_t TableColumnRightMargin(const BuildContext* context, const HTMLImportContext* import,
                                               std::uint16_t depth, std::uint16_t column);

// ul and ol, li, and the closing of ul and ol.
StartAction StartListFromHTML(BuildContext* context, HTMLImportContext* import, HtmlNode* node);
StartAction StartListItemFromHTML(BuildContext* context, HTMLImportContext* import,
                                            HtmlNode* node);
void CloseListFromHTML(BuildContext* context, HTMLImportContext* import, HtmlNode* node);

// What the preamble of a block (div, p, blockquote, center) leaves for its
// paragraph: made as usual, none (the children are walked), or the block
// is skipped with its children.
enum class BlockPreamble : std::uint8_t { kMakeParagraph, kNoParagraph, kSkipBlock };
// The preamble of a block: reply sections, writing direction, layers.
BlockPreamble RunBlockPreamble(BuildContext* context, HTMLImportContext* import, HtmlNode* node);
// The start of a span: pass-thru HTML.
void StartPassthruSpan(BuildContext* context, HTMLImportContext* import, HtmlNode* node);

// An a element (named anchors, links, hotspots), and an img element (or a
// v:imagedata); each returns the status of its last record.
STATUS ConvertLinkFromHTML(BuildContext* context, HTMLImportContext* import, HtmlNode* node);
STATUS ConvertImageFromHTML(BuildContext* context, HTMLImportContext* import, HtmlNode* node);

} // namespace talix
