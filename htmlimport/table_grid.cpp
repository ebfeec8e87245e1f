// The grid of an HTML table: counting, spans, and where each cell goes.
#include "htmlimport/table_grid.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <new>

#include "core/record_list.h"
#include "core/signatures.h"
#include "htmlimport/css_lengths.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/table_tabs.h"

namespace talix {

namespace {

bool IsCellElement(const HtmlNode* node) { return node->Is(HtmlTag::kTd) || node->Is(HtmlTag::kTh); }

bool IsRowGroup(const HtmlNode* node) {
    return node->Is(HtmlTag::kTbody) || node->Is(HtmlTag::kThead) || node->Is(HtmlTag::kTfoot) ||
           node->Is(HtmlTag::kColgroup);
}

// A span attribute: its whole number; missing, below 1 or no number counts
// as 1.
int Span(const HtmlNode* cell, const char* name) {
    const char* value = AttributeValue(cell, name);
    if (value == nullptr) return 1;
    const long number = LeadingInteger(value);
    return number < 1 ? 1 : static_cast<int>(std::min<long>(number, 0xFFFF));
}

// A row that holds nothing but one empty element.
bool SingleEmptyElement(const HtmlNode* row) {
    const HtmlNode* only = row->firstChild;
    return only != nullptr && only == row->lastChild && only->IsElement() && only->firstChild == nullptr;
}

// Calls visit for each cell of a row, up to a tr among them.
template <typename Visit>
void ForEachCell(const HtmlNode* row, const Visit& visit) {
    for (const HtmlNode* node = row->firstChild; node != nullptr; node = node->next) {
        if (node->Is(HtmlTag::kTr)) break;
        if (IsCellElement(node)) visit(node);
    }
}

bool Taken(const SpanGrid& grid, int row, int column) {
    return column < grid.columns && (grid.At(row, column).flags & kGridTaken) != 0;
}

// The first position of the row from column on that no cell of an earlier
// row takes.
int FreeFrom(const SpanGrid& grid, int row, int column) {
    while (column < kGridColumns && Taken(grid, row, column)) ++column;
    return column;
}

// How many positions of the row from column on, at most span, no cell of
// an earlier row takes (at least 1).
int FreeRun(const SpanGrid& grid, int row, int column, int span) {
    int run = 1;
    while (run < span && !Taken(grid, row, column + run)) ++run;
    return run;
}

// Marks a spanning cell whose first row and column are given, its spans cut
// to the table's grid (and its row span to what a cell record holds);
// returns the spans kept.
void MarkSpans(SpanGrid& grid, const ImportTableLevel& level, GridPlace* place) {
    const int row = place->row;
    const int first = place->column;
    const int lastRow = std::min(row + std::min(place->rowSpan, kGridSpan), level.rows) - 1;
    const int lastColumn = std::min(first + place->columnSpan, level.columns) - 1;
    place->rowSpan = lastRow - row + 1;
    place->columnSpan = lastColumn - first + 1;
    grid.At(row, first).flags |= kGridSpanStart;
    grid.At(lastRow, lastColumn).rowSpan = static_cast<std::uint8_t>(place->rowSpan);
    grid.At(lastRow, lastColumn).columnSpan = static_cast<std::uint8_t>(place->columnSpan);
    for (int r = row; r <= lastRow; ++r) {
        for (int c = first; c <= lastColumn; ++c) {
            std::uint16_t& flags = grid.At(r, c).flags;
            if (c < lastColumn && (flags & kGridRowCovered) == 0) flags |= kGridColumnCovered;
            if (r < lastRow) flags = static_cast<std::uint16_t>((flags | kGridRowCovered) & ~kGridColumnCovered);
            if (r > row) flags |= kGridTaken;
        }
    }
}

const GridPlace* PlaceOf(const ImportTableLevel& level, const HtmlNode* node) { return level.places.Find(node); }

// The last record of the grid cell at index: the record before the next
// cell record of the table, or before its end.
CDRecordNode* LastRecordOf(const ImportTableLevel& level, std::size_t index) {
    const CDRecordNode* next = index + 1 < level.cells.size() ? level.cells[index + 1] : level.tableEnd;
    return next != nullptr ? next->prev : nullptr;
}

// The last row and column of a row or cell of the level, cut to the grid;
// false when the node is none of the level's or is a tab row.
bool LastPosition(const ImportTableLevel& level, const HtmlNode* node, int* row, int* column) {
    const GridPlace* place = PlaceOf(level, node);
    if (place == nullptr || place->row < 0) return false;
    int first = place->column;
    int columnSpan = place->columnSpan;
    int rowSpan = place->rowSpan;
    if (node->Is(HtmlTag::kTr)) {
        // A row answers as its second position, with the spans of its
        // first cell.
        first = 0;
        if (place->row < level.rows && level.grid != nullptr)
            first = FreeFrom(*level.grid, place->row, FreeFrom(*level.grid, place->row, 0) + 1);
        const GridPlace* cell = node->firstChild != nullptr ? PlaceOf(level, node->firstChild) : nullptr;
        columnSpan = cell != nullptr ? cell->columnSpan : 1;
        rowSpan = cell != nullptr ? cell->rowSpan : 1;
    }
    *row = place->row + rowSpan - 1;
    *column = first + columnSpan - 1;
    return true;
}

} // namespace

ImportTableLevel* TableLevelAt(HTMLImportContext* import, int level) {
    if (import == nullptr || level < 1 || level > kImportTableLevels) return nullptr;
    if (import->tables == nullptr) {
        import->tables.reset(new (std::nothrow) ImportTables());
        if (import->tables == nullptr) return nullptr;
    }
    return &import->tables->levels[level];
}

ImportTableLevel* CurrentTableLevel(HTMLImportContext* import) {
    if (import == nullptr || import->tables == nullptr || import->tableLevel < 1 ||
        import->tableLevel > kImportTableLevels)
        return nullptr;
    ImportTableLevel* level = &import->tables->levels[import->tableLevel];
    return level->table != nullptr ? level : nullptr;
}

std::size_t GridPlaces::SlotOf(const HtmlNode* node) const {
    // Fibonacci hashing of the address; the low bits of an aligned address
    // carry nothing.
    const auto bits = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(node) >> 4);
    return static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> 32) & (entries_.size() - 1);
}

const GridPlace* GridPlaces::Find(const HtmlNode* node) const {
    if (size_ == 0 || node == nullptr) return nullptr;
    for (std::size_t at = SlotOf(node);; at = (at + 1) & (entries_.size() - 1)) {
        const Entry& entry = entries_[at];
        if (entry.node == node) return &entry.place;
        if (entry.node == nullptr) return nullptr;
    }
}

void GridPlaces::Set(const HtmlNode* node, const GridPlace& place) {
    if (node == nullptr) return;
    if ((size_ + 1) * 2 > entries_.size()) Rehash(std::max<std::size_t>(16, entries_.size() * 2));
    for (std::size_t at = SlotOf(node);; at = (at + 1) & (entries_.size() - 1)) {
        Entry& entry = entries_[at];
        if (entry.node == nullptr) {
            entry.node = node;
            ++size_;
        }
        if (entry.node == node) {
            entry.place = place;
            return;
        }
    }
}

void GridPlaces::Reserve(std::size_t count) {
    const std::size_t wanted = std::bit_ceil(std::max<std::size_t>(16, count * 2));
    if (wanted > entries_.size()) Rehash(wanted);
}

void GridPlaces::Clear() {
    if (size_ == 0) return;
    // A block far larger than what it held is given back, so that emptying
    // costs what was put in.
    if (entries_.size() > 8 * size_ + 64) {
        std::vector<Entry>().swap(entries_);
    } else {
        std::fill(entries_.begin(), entries_.end(), Entry{});
    }
    size_ = 0;
}

void GridPlaces::Rehash(std::size_t capacity) {
    std::vector<Entry> old(capacity);
    old.swap(entries_);
    size_ = 0;
    for (const Entry& entry : old)
        if (entry.node != nullptr) Set(entry.node, entry.place);
}

std::vector<const HtmlNode*> TableRows(const HtmlNode* firstChild) {
    std::vector<const HtmlNode*> rows;
    for (const HtmlNode* node = firstChild; node != nullptr; node = node->next) {
        if (node->Is(HtmlTag::kTr)) {
            rows.push_back(node);
        } else if (IsRowGroup(node)) {
            for (const HtmlNode* child = node->firstChild; child != nullptr; child = child->next)
                if (child->Is(HtmlTag::kTr)) rows.push_back(child);
        }
    }
    return rows;
}

void CountTableGrid(const HTMLImportContext* import, const HtmlNode* firstChild, int* rows, int* columns) {
    const bool tabbed = FindTableTabMarker(import, firstChild, nullptr, 0) != 0;
    int rowCount = 0;
    int widest = 1;
    int spannedRows = 0;   // rows the last counted row still spans into
    // The last row (by the rows' numbers, as the grid is filled) that a
    // cell of an earlier row takes in each column: the cells of a row go
    // round those positions, so that they may reach further right than
    // their own spans add up to.
    int takenUntil[kGridColumns];
    std::fill(std::begin(takenUntil), std::end(takenUntil), -1);
    int rowIndex = -1;
    for (const HtmlNode* row : TableRows(firstChild)) {
        if (tabbed && FindTableTabMarker(import, row, nullptr, 0) != 0) continue;
        ++rowIndex;
        if (spannedRows > 1 && SingleEmptyElement(row)) {
            --spannedRows;
            continue;
        }
        int width = 0;
        int height = 0;
        ForEachCell(row, [&](const HtmlNode* cell) {
            while (width < kGridColumns && takenUntil[width] >= rowIndex) ++width;
            const int span = Span(cell, "rowspan");
            const int end = std::min(width + Span(cell, "colspan"), kGridColumns);
            // The cell takes its positions up to one an earlier row takes.
            for (int column = width; column < end && (column == width || takenUntil[column] < rowIndex); ++column)
                takenUntil[column] = rowIndex + span - 1;
            width = end;
            height = height == 0 ? span : std::min(height, span);
        });
        if (height == 0) height = 1;
        widest = std::max(widest, width);
        rowCount = std::min(rowCount + height, kGridPositions);
        spannedRows = height;
    }
    if (rows != nullptr) *rows = std::min(rowCount, kGridPositions / widest);
    if (columns != nullptr) *columns = widest;
}

void FillTableSpans(HTMLImportContext* import, const HtmlNode* firstChild) {
    ImportTableLevel* level = CurrentTableLevel(import);
    if (level == nullptr || level->grid == nullptr) return;
    SpanGrid& grid = *level->grid;
    int index = 0;
    const std::vector<const HtmlNode*> rows = TableRows(firstChild);
    // Room for every row and cell, made once. Counted rather than taken
    // from the grid's width, which one wide or spanning row sets for all.
    std::size_t cells = 0;
    for (const HtmlNode* row : rows) ForEachCell(row, [&cells](const HtmlNode*) { ++cells; });
    level->places.Reserve(level->places.Size() + rows.size() + cells);
    for (const HtmlNode* row : rows) {
        if (level->tabbed && FindTableTabMarker(import, row, nullptr, 0) != 0) {
            level->places.Set(row, GridPlace{});
            continue;
        }
        const int rowIndex = index++;
        level->places.Set(row, GridPlace{rowIndex, 0, 1, 1});
        const bool inGrid = rowIndex < level->rows;
        int position = 0;
        ForEachCell(row, [&](const HtmlNode* cell) {
            GridPlace place{rowIndex, position, Span(cell, "rowspan"), Span(cell, "colspan")};
            const int columnSpan = place.columnSpan;
            if (inGrid) {
                place.column = FreeFrom(grid, rowIndex, position);
                // A column span that runs into a position an earlier row's
                // cell takes ends before it: the cells do not overlap, and
                // the cell's text does not go where that span hides it.
                place.columnSpan = FreeRun(grid, rowIndex, place.column, columnSpan);
                if (place.column < level->columns && (place.rowSpan > 1 || place.columnSpan > 1))
                    MarkSpans(grid, *level, &place);
            }
            // The next cell goes after the whole span the HTML gives.
            position = std::min(place.column + columnSpan, kGridColumns + 1);
            level->places.Set(cell, place);
        });
    }
    // For each row, the row that shows the text of its cells past the last
    // column: itself, or the last row of a span that hides its last
    // position. Worked out once, from the bottom up, rather than down the
    // span for each such cell.
    level->pastColumnRows.assign(static_cast<std::size_t>(std::max(level->rows, 0)), 0);
    const int last = level->columns - 1;
    for (int row = level->rows; row-- > 0;) {
        const bool covered = last >= 0 && (grid.At(row, last).flags & kGridRowCovered) != 0;
        level->pastColumnRows[static_cast<std::size_t>(row)] =
            covered && row + 1 < level->rows ? level->pastColumnRows[static_cast<std::size_t>(row) + 1] : row;
    }
}

CDRecordNode* ComputeCellColumn(const HtmlNode* node, HTMLImportContext* import, std::uint8_t* row,
                                std::uint8_t* column) {
    const ImportTableLevel* level = CurrentTableLevel(import);
    int lastRow = 0, lastColumn = 0;
    const bool known = level != nullptr && node != nullptr && LastPosition(*level, node, &lastRow, &lastColumn);
    if (row != nullptr || column != nullptr) {
        if (row != nullptr) *row = known ? static_cast<std::uint8_t>(std::min(lastRow, 255)) : 0;
        if (column != nullptr) *column = known ? static_cast<std::uint8_t>(std::min(lastColumn, 255)) : 0;
        return nullptr;
    }
    if (!known || lastRow >= level->rows || lastColumn >= level->columns) return nullptr;
    return LastRecordOf(*level, static_cast<std::size_t>(lastRow) * level->columns + lastColumn);
}

CellPlace PlaceCell(const HtmlNode* cell, HTMLImportContext* import) {
    CellPlace result;
    const ImportTableLevel* level = CurrentTableLevel(import);
    if (level == nullptr || level->cells.empty()) return result;
    const GridPlace* place = PlaceOf(*level, cell);
    if (place == nullptr || place->row < 0 || !IsCellElement(cell)) return result;
    if (place->row >= level->rows) {
        result.target = CellTarget::kRowPastGrid;
        return result;
    }
    if (place->column >= level->columns) {
        result.target = CellTarget::kPastLastColumn;
        result.row = place->row;
        result.column = level->columns - 1;
        // A last cell that a span of an earlier row hides passes the text
        // on down to the spanning cell's last row, where its text is shown.
        if (static_cast<std::size_t>(result.row) < level->pastColumnRows.size())
            result.row = level->pastColumnRows[static_cast<std::size_t>(result.row)];
    } else {
        result.target = CellTarget::kGrid;
        result.row = place->row + place->rowSpan - 1;
        result.column = place->column + place->columnSpan - 1;
    }
    const std::size_t index = static_cast<std::size_t>(result.row) * level->columns + result.column;
    if (index >= level->cells.size()) return CellPlace{};
    result.cell = level->cells[index];
    result.last = LastRecordOf(*level, index);
    return result;
}

CDRecordNode* EndOfTable(const ImportTableLevel& level, const HTMLImportContext* import) {
    return level.inRowPastGrid ? import->insertAfter : level.afterTable;
}

CDRecordNode* GridCellRecord(HTMLImportContext* import, int row, int column) {
    const ImportTableLevel* level = CurrentTableLevel(import);
    if (level == nullptr || row < 0 || column < 0 || row >= level->rows || column >= level->columns) return nullptr;
    const std::size_t index = static_cast<std::size_t>(row) * level->columns + column;
    return index < level->cells.size() ? level->cells[index] : nullptr;
}

} // namespace talix
