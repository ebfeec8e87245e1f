// The tabs of tabbed tables: the marker image and the label of each tab.
#include "htmlimport/table_tabs.h"

#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/node_search.h"

namespace talix {

namespace {

constexpr const char* kMarkerSource = "cid:_a_tabletab";
constexpr const char* kMarkerAlt = "TableTab";

// A row without attributes whose first child is an empty cell.
bool IsLeadingEmptyRow(const HtmlNode* node) {
    if (node == nullptr || !node->Is(HtmlTag::kTr) || node->attributes != nullptr) return false;
    const HtmlNode* first = node->firstChild;
    return first != nullptr && first->Is(HtmlTag::kTd) && first->firstChild == nullptr;
}

// The marker image among the nodes from first on and their descendants.
const HtmlNode* FindMarker(const HtmlNode* first) {
    if (const HtmlNode* image = FindElementWithAttr(first, "img", "src", kMarkerSource)) return image;
    return FindElementWithAttr(first, "img", "alt", kMarkerAlt);
}

// False when the parse made no img element: without one no row holds the
// marker, so no table is tabbed.
bool MayHoldMarker(const HTMLImportContext* import) {
    return import == nullptr || import->document == nullptr || import->document->MayHold(HtmlTag::kImg);
}

// The first non-empty text among the children from first on, each searched
// with its descendants.
const HtmlNode* FirstText(const HtmlNode* first) {
    for (const HtmlNode* child = first; child != nullptr; child = child->next)
        if (const HtmlNode* text = FindTextNode(child, nullptr, 0)) return text;
    return nullptr;
}

int WithLabel(const HTMLImportContext* import, const HtmlNode* text, char* label, std::uint32_t size) {
    if (text == nullptr) return 0;
    if (label != nullptr && size > 0) {
        std::uint32_t length =
            NodeTextToNative(import, text, label, size < kTabLabelSize ? size : kTabLabelSize, nullptr);
        // The tab row writes a no-break space after its label: it is not
        // part of the label.
        if (length > 0 && label[length - 1] == ' ') label[length - 1] = '\0';
    }
    return 1;
}

} // namespace

int FindTableTabMarker(const HTMLImportContext* import, const HtmlNode* node, char* label, std::uint32_t size) {
    if (node == nullptr || !MayHoldMarker(import)) return 0;
    const HtmlNode* list = node->firstChild;
    const HtmlNode* leading = node->Is(HtmlTag::kTable) ? node->firstChild : node;
    if (IsLeadingEmptyRow(leading) && leading->next != nullptr && leading->next->firstChild != nullptr)
        list = leading->next->firstChild;
    if (list == nullptr) return 0;

    const HtmlNode* inner = FindHTMLElementByName(list, "table", nullptr, nullptr, nullptr);
    if (inner == nullptr || inner->prev != nullptr) return 0;
    // The tab cell: the inner table's parent, or the parent of a div that
    // holds the table first and is its cell's first child.
    const HtmlNode* cell = inner->parent;
    if (cell != nullptr && cell->Is(HtmlTag::kDiv) && cell->prev == nullptr) cell = cell->parent;
    if (cell == nullptr || !cell->Is(HtmlTag::kTd)) return 0;
    if (FindMarker(cell->firstChild) == nullptr || cell->parent == nullptr) return 0;
    return WithLabel(import, FirstText(cell->parent->firstChild), label, size);
}

int ReadTableTabLabel(const HTMLImportContext* import, const HtmlNode* table, char* label, std::uint32_t size) {
    if (table == nullptr || !table->Is(HtmlTag::kTable) || !MayHoldMarker(import)) return 0;
    const HtmlNode* marker = FindMarker(table->firstChild);
    if (marker == nullptr || marker->parent == nullptr) return 0;
    if (FindAncestorElement(marker->parent, "table", nullptr) != table) return 0;
    return WithLabel(import, FirstText(marker->parent->firstChild), label, size);
}

} // namespace talix
