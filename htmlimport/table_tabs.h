// Tabbed tables in HTML the system's own generator wrote: each tab is shown
// as a small table in a cell, holding a marker image ("cid:_a_tabletab",
// or the alt text "TableTab") and the tab's label. These calls recognise
// such tabs and read their labels.
#pragma once

#include <cstdint>

namespace talix {

struct HTMLImportContext;
struct HtmlNode;

// Room for a tab label: 127 bytes and the terminating zero.
constexpr std::uint32_t kTabLabelSize = 128;

// 1 when the children of node (a table or a row) hold a tab: a table that
// is the first child of a cell (or of a div that is the cell's first
// child), a marker image in that cell, and a non-empty text among the
// children of the cell's row, which is the tab's label. When node is a
// table whose first row (or node is itself such a row) has no attributes
// and starts with an empty cell, and the row after it has children, that
// row's children are looked at instead. With label given (size bytes, at
// least 1), the label is copied into it, cut without splitting a character
// and terminated. 0 otherwise.
int FindTableTabMarker(const HTMLImportContext* import, const HtmlNode* node, char* label, std::uint32_t size);

// 1 when table is the small table of a tab itself: a marker image among its
// children and their descendants whose parent's nearest table is this one,
// with a non-empty text among the children of the marker's parent, which
// is copied into label as FindTableTabMarker does. 0 otherwise.
int ReadTableTabLabel(const HTMLImportContext* import, const HtmlNode* table, char* label, std::uint32_t size);

} // namespace talix
