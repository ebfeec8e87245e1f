// The pieces of the table writer (WriteXMLTable, htmlgen/walk_writers.h):
// the table's start tag, its cells and rows, merged blocks, and the tabbed
// and animated forms. They share the state of one call and the per-level
// state of the generation context.
#pragma once

#include <cstdint>
#include <string>

#include "core/record_list.h"
#include "core/statuses.h"
#include "htmlgen/xml_gen_context.h"

namespace talix {

// What one call of the table writer holds: the table's id/name and border
// records met before its begin record, the other text of the id/name record
// (keywords the writer reads removed) and the caption.
struct TableCall {
    const CDRecordNode* idName = nullptr;
    const CDRecordNode* border = nullptr;
    bool haveOther = false;
    std::string other;
    std::string caption;
};

// Cell record fields.
constexpr std::uint32_t kCellRowAt = 2, kCellColumnAt = 3, kCellLeftAt = 4, kCellRightAt = 6,
                        kCellBordersAt = 10, kCellFlagsAt = 11, kCellWideBordersAt = 12, kCellRowSpanAt = 14,
                        kCellColumnSpanAt = 15, kCellColourAt = 16;
constexpr std::uint8_t kCellWideBorders = 0x02, kCellHidden = 0x04 | 0x08, kCellMiddle = 0x20,
                       kCellBottom = 0x80;
// Table begin flags.
constexpr std::uint16_t kTableFitToWindow = 0x0001, kTableEmbossed = 0x0004, kTableExtruded = 0x0008,
                        kTableRightToLeft = 0x0010;
// Pre-table record fields.
constexpr std::uint32_t kPreFlagsAt = 4, kPreColumnsAt = 12, kPreMoreColumnsAt = 16, kPreKindAt = 20,
                        kPreColourAAt = 28, kPreColourBAt = 32, kPreBorderColourFlagsAt = 36,
                        kPreBorderColourAt = 38;
constexpr std::uint32_t kPreFitToWindow = 0x41;
// Display kinds that change how a table is written: tabs and animated. Any
// other kind (one picked by a field among them) is written as a plain table
// showing every row.
constexpr std::uint8_t kPreTabbed = 4, kPreAnimated = 8;

// The four border widths of a cell, in pixels.
struct CellBorders {
    unsigned top = 0, right = 0, bottom = 0, left = 0;
    bool All(unsigned width) const { return top == width && right == width && bottom == width && left == width; }
};
CellBorders ReadCellBorders(const CDRecordNode* cell);

// Appends formatted text at the write position.
void AppendPrintf(XMLGenContext* context, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Closes the innermost open lists inside the current cell or row (open
// above the barrier tags), dropping a list level for each.
void CloseListsAbove(XMLGenContext* context, const char* barrier1, const char* barrier2);

// Where the table writer lets go of a call's other text and caption: the
// places the debug log names ("Cleaned up html_other_buffer #2a" ...).
struct CleanUpPlace {
    const char* other;
    const char* caption;
};
constexpr CleanUpPlace kCleanUpTableIdName{"#1", nullptr};     // a table id/name record replaces the other text
constexpr CleanUpPlace kCleanUpCellIdName{"#3", nullptr};      // a cell id/name record replaces it
constexpr CleanUpPlace kCleanUpNoLaterCell{"#2a", "#2a"};      // a cell with no later cell in the range
constexpr CleanUpPlace kCleanUpSkippedToEnd{"#2b", "#2b"};     // a skipped cell followed by the table end
constexpr CleanUpPlace kCleanUpOwnerNoLaterCell{"#2c", "#2c"}; // owner search without a later cell
constexpr CleanUpPlace kCleanUpOwnerAtEnd{"#d", "#2d"};        // owner search reaching the table end
constexpr CleanUpPlace kCleanUpResumeAtEnd{"#2e", "#2e"};      // table end with a resume record
constexpr CleanUpPlace kCleanUpKindEnded{"#2f", "#2f"};        // the END of the given kind after a walk call
constexpr CleanUpPlace kCleanUpEndRecord{"#2g", "#2g"};        // an END record
constexpr CleanUpPlace kCleanUpRangeEnd{"#4", "#4"};           // the range's end or a failed walk call
// Lets go of the call's other text and caption; with a debug level other
// than 0 each one held is named in the log with its place.
void ReleaseCallTexts(TableCall* call, const CleanUpPlace& place);

// Whether the other text of the call holds the attribute a keyword names
// ("width=": an attribute width with a value; any case), by whole attribute
// names: "data-width=5" holds no width.
bool OtherHas(const TableCall& call, const char* keyword);

// Takes an id/name record's other text into the call: the caption is taken
// out of it and trailing blanks trimmed.
void TakeOtherText(TableCall* call, const CDRecordNode* idName);

// RespectHiddenFormulas: whether every paragraph of the table that begins
// at begin (nested tables included) is hidden; *end gets the table's end.
// False when the table does not end within the range.
bool TableHidden(XMLGenContext* context, CDRecordNode* begin, CDRecordNode** end);

// The table start at a table-begin record: the start tag with its
// attributes, the caption; the level rises. Leaves the current node after
// the begin record, or after the table's end when the table is hidden.
STATUS StartTable(XMLGenContext* context, TableCall* call);

// A cell met by the writer: the cell to write there (merged blocks), the
// row start and the cell element. Leaves the current node after the cell
// record written, or on the table end (or none) when no cell is left.
STATUS ArriveAtCell(XMLGenContext* context, TableCall* call, bool firstOfCall);

// EncapsulateTable: the table element for a range that begins at a cell
// inside a table (once per generation).
void EncapsulateTable(XMLGenContext* context, TableCall* call, CDRecordNode* cell);

// Tables across ranges (htmlgen/table_ranges.cpp).
// At the end of the range inside a table: the table (the outermost open)
// is left open for the next range, and the row when one is open.
void NoteTableLeftOpen(XMLGenContext* context);
// At the start of the next range: when it begins at a cell of the table
// left open, the closing tags the previous range ended with are cut
// ("</table>", and "</tr>" when the range goes on in the open row);
// otherwise the table is forgotten, its closing tags standing.
void PrepareTableContinuation(XMLGenContext* context);
// At the first cell of such a range: the table is taken up again at its
// level (its closing tags back on the stack, a row opened when the cell
// is not a row's first); false when no table is left open.
bool ContinueOpenTable(XMLGenContext* context, const CDRecordNode* cell);

// The id/name record in front of a table begin (or the cell the writer was
// entered at) when the call has none, and the border record.
void LookBackForTableRecords(XMLGenContext* context, TableCall* call, const CDRecordNode* from);

// Releases the merged-block owners of a level.
void ReleaseSpanOwners(TableLevelState* level);

// Releases what the table writer holds for the run (at its end).
void ReleaseTableState(XMLGenContext* context);

// Tabbed and animated tables (htmlgen/tabbed_tables.cpp).
// A colour option of the CSS tabs as the page's style attributes and tab
// script take it: the given text when it holds only what a colour is
// written with (letters, digits, "#", parentheses, commas, dots, "%", "-"
// and blanks), else the fallback, so that no quote, "<" or backslash of an
// option ends an attribute, a script string or the script.
const char* TabColour(const char* given, const char* fallback);
// The CSS tab strip before a tabbed table, at its pre-table record.
void WriteCSSTabStrip(XMLGenContext* context, const CDRecordNode* preTable);
// The division of a row of a CSS tabbed table, after its first cell's tag.
void WriteCSSTabbedRow(XMLGenContext* context, const CDRecordNode* cell);
// The tab header row written before a row of a tabbed table.
void WriteTabRow(XMLGenContext* context, const CDRecordNode* cell);
// The accordion's opening, each row's panel, and the closing.
void WriteAccordionStart(XMLGenContext* context);
void WriteAccordionRow(XMLGenContext* context, const CDRecordNode* cell, bool firstRow);
void WriteAccordionEnd(XMLGenContext* context);

// The colour a cell gets (its colour record, palette index or the table's
// colour style) as an attribute text (" bgcolor=..."), empty when none, and
// the colour value alone in *value.
std::string CellColourAttribute(XMLGenContext* context, const CDRecordNode* cell, std::string* value);

// The first tab label of a cell (after the cell record, nested tables
// skipped, up to the next cell or the table's end); anywhere in the rest
// of the table when restOfTable. Null when none.
const CDRecordNode* FindTabLabel(const CDRecordNode* cell, bool restOfTable);
// The text of a tab label record (up to 128 bytes, up to its terminator).
std::string TabLabelText(const CDRecordNode* label);

} // namespace talix
