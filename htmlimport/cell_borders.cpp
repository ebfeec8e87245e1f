// Cell border widths from HTML, and the row answers the cells of a row
// share.
#include "htmlimport/cell_borders.h"

#include <algorithm>
#include <string>
#include <utility>

#include "core/text_compare.h"
#include "htmlimport/css_lengths.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/style_lookup.h"
#include "htmlimport/table_grid.h"

namespace talix {

namespace {

constexpr long kMaxSideWidth = 15;   // a side's width has four bits

// The sides of a cell's border: their properties and the shift of their
// width in the border word; the row's widths are kept in this order.
struct Side {
    const char* style;
    const char* width;
    int shift;
};
constexpr Side kSides[4] = {{"border-top-style", "border-top-width", 8},
                            {"border-bottom-style", "border-bottom-width", 12},
                            {"border-left-style", "border-left-width", 0},
                            {"border-right-style", "border-right-width", 4}};

StyleValue OwnStyle(const HTMLImportContext* import, const HtmlNode* node, const char* property) {
    return FindStyleValue(node, property, &import->styleRules1, &import->styleRules2);
}

} // namespace

// The row's answers for a cell: those kept when the cell has the same
// parent as the cell before it and the rules are unchanged, else asked;
// the answers of the tables are kept from the row before while its tables
// are the same.
const ImportRowStyle& RowStyleOf(const HTMLImportContext* import, ImportTableLevel* level, const HtmlNode* cell) {
    ImportRowStyle& kept = level->rowStyle;
    const std::uint64_t versions[2] = {import->styleRules1.Version(), import->styleRules2.Version()};
    const bool sameRules = kept.ruleVersions[0] == versions[0] && kept.ruleVersions[1] == versions[1];
    if (kept.parent != nullptr && kept.parent == cell->parent && sameRules) return kept;
    ImportRowStyle fresh;
    fresh.parent = cell->parent;
    fresh.ruleVersions[0] = versions[0];
    fresh.ruleVersions[1] = versions[1];
    fresh.row = FindAncestorElement(cell, "tr", nullptr);
    fresh.table = FindAncestorElement(cell, "table", nullptr);
    if (fresh.row != nullptr) {
        fresh.rowTable = FindAncestorElement(fresh.row, "table", nullptr);
        fresh.rowBorders = StyleMayBeDeclared(fresh.row, "border", &import->styleRules1, &import->styleRules2);
        if (fresh.rowBorders)
            for (int side = 0; side < 4; ++side) fresh.rowWidths[side] = OwnStyle(import, fresh.row, kSides[side].width);
        fresh.rowBackground = OwnStyle(import, fresh.row, "background-color");
        if (const char* bgcolor = AttributeValue(fresh.row, "bgcolor")) fresh.rowBgcolor = std::string(bgcolor);
        if (fresh.rowTable != nullptr && sameRules && kept.rowTable == fresh.rowTable) {
            fresh.tableBackground = kept.tableBackground;
            fresh.tableBgcolor = kept.tableBgcolor;
        } else if (fresh.rowTable != nullptr) {
            fresh.tableBackground = OwnStyle(import, fresh.rowTable, "background-color");
            if (const char* bgcolor = AttributeValue(fresh.rowTable, "bgcolor")) fresh.tableBgcolor = std::string(bgcolor);
        }
    }
    if (fresh.table != nullptr && kept.table == fresh.table) {
        fresh.tableBorder = kept.tableBorder;
    } else if (const char* border = fresh.table != nullptr ? AttributeValue(fresh.table, "border") : nullptr) {
        fresh.tableBorder = border[0] != '\0' ? LeadingInteger(border) : 1;
    }
    // The vertical alignment a cell without its own takes: its row's, else
    // that of the table around the row (or around the cell without a row).
    const HtmlNode* above = fresh.row != nullptr ? fresh.row : fresh.table;
    if (const char* valign = above != nullptr ? AttributeValue(above, "valign") : nullptr) {
        fresh.valign = std::string(valign);
    } else if (fresh.row != nullptr && fresh.rowTable != nullptr) {
        if (const char* tableValign = AttributeValue(fresh.rowTable, "valign")) fresh.valign = std::string(tableValign);
    }
    kept = std::move(fresh);
    return kept;
}

std::uint16_t CellBorderWord(const HTMLImportContext* import, const HtmlNode* cell, const ImportRowStyle& row) {
    std::uint16_t word = 0;
    bool given = false;
    auto setSide = [&](long width, int shift) {
        const auto kept = static_cast<std::uint16_t>(std::clamp<long>(width, 0, kMaxSideWidth));
        word = static_cast<std::uint16_t>(word | (kept << shift));
        given = true;
    };
    long fallback = 0;
    if (import->isWord2000Document != 0) {
        if (const char* border = AttributeValue(cell, "border")) fallback = border[0] != '\0' ? LeadingInteger(border) : 1;
    }
    // Border properties are asked of the cell and the row only when they
    // may declare one.
    const bool cellBorders = StyleMayBeDeclared(cell, "border", &import->styleRules1, &import->styleRules2);
    auto border = [&](const char* property) { return cellBorders ? OwnStyle(import, cell, property) : StyleValue(); };
    for (int at = 0; at < 4; ++at) {
        const Side& side = kSides[at];
        bool toWidth = false;
        if (side.shift == 0) {
            StyleValue left = border("border-left");
            if (left.has_value() && CompareNamesNoCase(left->c_str(), "none") == 0) {
                given = true;
                toWidth = true;
            }
        }
        if (!toWidth) {
            StyleValue style = border(side.style);
            if (style.has_value() && CompareNamesNoCase(style->c_str(), "none") == 0) {
                setSide(fallback, side.shift);
                continue;
            }
        }
        StyleValue width = border(side.width);
        if (!width.has_value() && row.row != nullptr && row.rowBorders) width = row.rowWidths[at];
        if (!width.has_value()) {
            if (fallback != 0) setSide(fallback, side.shift);
            continue;
        }
        if (CompareNamesNoCase(width->c_str(), "none") == 0) {
            setSide(fallback, side.shift);
            continue;
        }
        long pixels = LeadingInteger(*width);
        if (pixels == 0) {
            if (ContainsNoCase(*width, "thin")) pixels = 1;
            else if (ContainsNoCase(*width, "medium")) pixels = 2;
            else if (ContainsNoCase(*width, "thick")) pixels = 4;
        }
        setSide(pixels, side.shift);
    }
    if (!given && row.tableBorder.has_value())
        for (int shift : {8, 12, 0, 4}) setSide(*row.tableBorder, shift);
    return word;
}

} // namespace talix
