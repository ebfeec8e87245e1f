// The grid of an HTML table as a rich-text table holds it. A rich-text table
// has a cell record for every position of a rectangle and expresses merged
// cells by flags on the covered positions and span counts on one position;
// HTML lists only the cells that exist, with rowspan and colspan. The grid
// measures an HTML table, records its spans per nesting level, tells where
// each HTML cell's content goes, and finds that cell in the import's record
// list once the table's skeleton is there (table_records.h).
//
// A grid holds at most 64 columns, what a table record can hold, and as
// many rows as keep its positions within kGridPositions. A cell numbers its
// row in a byte: rows past 255 are numbered from 0 again, as the record
// writer numbers the rows appended to a table, and a span covers at most
// 255 rows. Rows past the grid and cells past its last column are told
// apart (CellPlace), so that their content can be kept elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "htmlimport/html_import_context.h"

namespace talix {

struct CDRecordNode;
struct HtmlNode;

constexpr int kGridColumns = 64;
// The most positions (rows times columns) a grid takes: each is written as
// a cell of some 124 bytes, so that a table stays far within what an item
// holds, whatever the width of its widest row.
constexpr int kGridPositions = 262144;
// The most rows a span covers: the cell record keeps it in a byte.
constexpr int kGridSpan = 255;

// Flags of a grid position. The low byte becomes the cell record's flags:
// 4 hides a position merged away horizontally (covered by a column span,
// not in the cell's last column), 8 one merged away vertically (covered by
// a row span, not in the cell's last row); a position holding 8 never holds
// 4. 2 marks where a spanning HTML cell starts. The high byte is the grid's
// own: kGridTaken marks a position that a cell of an earlier row spans
// into, which the cells of this row go round.
constexpr std::uint16_t kGridSpanStart = 0x0002;
constexpr std::uint16_t kGridColumnCovered = 0x0004;
constexpr std::uint16_t kGridRowCovered = 0x0008;
constexpr std::uint16_t kGridTaken = 0x0100;

// The spans of one table level, row by row. A spanning cell's row and
// column spans are kept at its last row and last column: the position
// whose cell record carries the spans and receives the cell's content.
struct SpanGrid {
    struct Position {
        std::uint16_t flags = 0;
        std::uint8_t rowSpan = 0;
        std::uint8_t columnSpan = 0;
    };
    int rows = 0;
    int columns = 0;
    std::vector<Position> positions;

    // Empties the grid and makes room for a table of rows x columns.
    void Reset(int rowCount, int columnCount) {
        rows = rowCount;
        columns = columnCount;
        positions.assign(static_cast<std::size_t>(rows) * columns, Position{});
    }
    Position& At(int row, int column) { return positions[static_cast<std::size_t>(row) * columns + column]; }
    const Position& At(int row, int column) const {
        return positions[static_cast<std::size_t>(row) * columns + column];
    }
};

// Where an HTML row or cell lies: its row (the number of the table's rows
// before it, tab rows of a tabbed table left out), its first column and its
// spans as the grid keeps them (at least 1, cut to the grid). A tab row has
// row -1. Cells lying past the grid keep their row and column as counted.
struct GridPlace {
    int row = -1;
    int column = 0;
    int rowSpan = 1;
    int columnSpan = 1;
};

// The places of a table's rows and cells by their element, in one
// open-addressed block: a table's thousands of cells make no allocation
// each. Emptying keeps the block unless it is far larger than what it held.
class GridPlaces {
public:
    const GridPlace* Find(const HtmlNode* node) const;
    void Set(const HtmlNode* node, const GridPlace& place);
    void Reserve(std::size_t count);
    void Clear();
    std::size_t Size() const { return size_; }

private:
    struct Entry {
        const HtmlNode* node = nullptr;
        GridPlace place;
    };
    std::size_t SlotOf(const HtmlNode* node) const;
    void Rehash(std::size_t capacity);

    std::vector<Entry> entries_;   // a power of two long, at most half full
    std::size_t size_ = 0;
};

// What the cells of one parent (their row) ask of the elements above them,
// asked once for the row: its border and background properties, the table
// around it, and the vertical alignment the row or table gives. Kept while
// the style rules stay as they are.
struct ImportRowStyle {
    const HtmlNode* parent = nullptr;     // the cells' parent the answers are for
    std::uint64_t ruleVersions[2] = {};
    const HtmlNode* row = nullptr;        // the nearest tr
    const HtmlNode* table = nullptr;      // the nearest table
    const HtmlNode* rowTable = nullptr;   // the nearest table above the row
    bool rowBorders = false;              // the row may declare a border property
    std::optional<std::string> rowWidths[4];   // top, bottom, left, right (with rowBorders)
    std::optional<std::string> rowBackground;
    std::optional<std::string> tableBackground;
    std::optional<std::string> valign;   // of the row, else of the table
    std::optional<long> tableBorder;     // the width the table's border attribute gives
    std::optional<std::string> rowBgcolor;     // the bgcolor attributes of the row and of rowTable
    std::optional<std::string> tableBgcolor;
};

// What the walk keeps of the table converted at one nesting level. A later
// table at the same level starts it afresh; the span grid is allocated the
// first time a table of the level starts.
struct ImportTableLevel {
    const HtmlNode* table = nullptr;     // the table element converted at this level
    int rows = 0;                        // the grid's size
    int columns = 0;
    bool tabbed = false;                 // a tabbed table of the system's own HTML
    std::unique_ptr<SpanGrid> grid;
    // The rows (tr) and cells (td, th) of the table and where they lie.
    GridPlaces places;
    // The cell records of the skeleton, row by row, and the table end.
    std::vector<CDRecordNode*> cells;
    CDRecordNode* tableEnd = nullptr;
    // Widths in twips: the table's and its columns'.
    std::uint16_t width = 0;
    std::uint16_t columnWidths[kGridColumns] = {};
    // The cell record of the last cell started in the grid.
    CDRecordNode* currentCell = nullptr;
    // The last row asked whether it is a tab row, and the answer (the cells
    // of a row ask one after the other).
    const HtmlNode* askedRow = nullptr;
    bool askedRowIsTab = false;
    // The answers of the row of the cell started last.
    ImportRowStyle rowStyle;
    // The content of rows past the grid goes after the table: where the
    // next such row goes, and whether the last cell started was one.
    CDRecordNode* afterTable = nullptr;
    bool inRowPastGrid = false;
    // For each row, the row whose last cell shows the text of cells past
    // the grid's last column (the spanning cell's last row where a span
    // hides that position), made with the grid.
    std::vector<int> pastColumnRows;
};

// The tables being converted, by nesting level (1 the outermost).
struct ImportTables {
    ImportTableLevel levels[kImportTableLevels + 1];
};

// The state of the table at the import's current level, or null outside
// converted tables.
ImportTableLevel* CurrentTableLevel(HTMLImportContext* import);
// The state of a level (1 to kImportTableLevels), made on first use; null
// for any other level or when memory runs out.
ImportTableLevel* TableLevelAt(HTMLImportContext* import, int level);

// The rows of a table, from its first child: the tr elements among the
// siblings and among the children of row groups (tbody, thead, tfoot,
// colgroup), in document order.
std::vector<const HtmlNode*> TableRows(const HtmlNode* firstChild);

// Counts the table whose first child is given: its rows (each tr adds the
// smallest row span of its cells; a tr that follows a row spanning h > 1
// rows and holds nothing but one empty element is taken into that row,
// h - 1 times at most) and its columns (the widest row: where its last
// cell ends, its cells going round the positions that cells of earlier
// rows span into, as the grid places them). Tab rows of a tabbed table are
// not counted. Spans below 1 or not numbers count as 1. Both counts are
// held within the grid (64 columns, kGridPositions in all); columns is at
// least 1.
void CountTableGrid(const HTMLImportContext* import, const HtmlNode* firstChild, int* rows, int* columns);

// Fills the grid of the import's current table level from the table's
// first child, for a table counted as rows x columns: numbers the table's
// rows, places every cell (each goes to the first position of its row that
// neither an earlier cell of the row nor a cell of an earlier row takes),
// and marks the spans. The level's state must have its table, rows,
// columns and tabbed set and its grid allocated.
void FillTableSpans(HTMLImportContext* import, const HtmlNode* firstChild);

// Where the content of a cell (td or th) or row (tr) of the current table
// goes: the cell's last row and last column. With row or column given,
// stores them (cut to the grid) and returns null. Otherwise returns the
// last record of that grid cell in the import's record list (the record
// before the next cell record of the table or its end), or null when the
// node is no row or cell of the current table or lies past its grid. A
// row answers as its second position does. The place of every node is
// kept when the grid is filled, so an answer costs no walk.
CDRecordNode* ComputeCellColumn(const HtmlNode* node, HTMLImportContext* import, std::uint8_t* row,
                                std::uint8_t* column);

// Where the start of a cell puts the cell's content.
enum class CellTarget : std::uint8_t {
    kNone,          // no cell of the current table: its content goes where the walk is
    kGrid,          // its grid cell
    kRowPastGrid,   // a row past the grid: after the table
    kPastLastColumn // a cell past the grid's last column: the end of its row's last cell,
                    // or of the spanning cell that shows in place of a hidden one
};
struct CellPlace {
    CellTarget target = CellTarget::kNone;
    int row = 0;                        // the grid cell (kGrid, kPastLastColumn)
    int column = 0;
    CDRecordNode* cell = nullptr;       // its cell record
    CDRecordNode* last = nullptr;       // its last record
};
CellPlace PlaceCell(const HtmlNode* cell, HTMLImportContext* import);

// The last record of a table and what follows it in the cell around it:
// the end of its skeleton, or, after rows past its grid, the end of their
// content.
CDRecordNode* EndOfTable(const ImportTableLevel& level, const HTMLImportContext* import);

// The grid cell record at a position of the current table, or null.
CDRecordNode* GridCellRecord(HTMLImportContext* import, int row, int column);

} // namespace talix
