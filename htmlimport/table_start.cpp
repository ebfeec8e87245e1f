// The start of tables and rows in the walk: a table is counted, its grid
// filled and its skeleton written (with the table's temporary option words)
// before its rows and cells are walked; tab headers of tabbed tables and
// the header tables of collapsed sections are left out.
#include <algorithm>
#include <string>

#include "builders/build_context.h"
#include "builders/record_output.h"
#include "core/ascii.h"
#include "core/options.h"
#include "core/record_forms.h"
#include "core/session_work_area.h"
#include "htmlimport/html_borders.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/import_paragraphs.h"
#include "htmlimport/section_recognition.h"
#include "htmlimport/table_grid.h"
#include "htmlimport/table_records.h"
#include "htmlimport/table_tabs.h"
#include "htmlimport/walk_handlers.h"
#include "talix/session.h"

namespace talix {

static_assert(kImportTableLevels == kTableLevels - 1, "the import converts the table levels the writer keeps");
static_assert(kGridColumns == kColumnSlots, "a column right margin for every column of the grid");

namespace {

constexpr std::uint32_t kOptionValueSize = 256;

// The option text of one table: the import's option text with the table's
// cell border words after it, in place of the import's own while the table
// is converted; the import's own text is untouched and back afterwards.
class TableOptionText {
public:
    TableOptionText(HTMLImportContext* import, const std::string& words)
        : import_(import), saved_(import->optionText), savedSize_(import->optionTextSize) {
        text_ = saved_ != nullptr ? saved_ : "";
        text_ += words;
        import_->optionText = text_.data();
        import_->optionTextSize = static_cast<std::uint32_t>(text_.size() + 1);
    }
    ~TableOptionText() {
        import_->optionText = saved_;
        import_->optionTextSize = savedSize_;
    }
    TableOptionText(const TableOptionText&) = delete;
    TableOptionText& operator=(const TableOptionText&) = delete;

private:
    HTMLImportContext* import_;
    char* saved_;
    std::uint32_t savedSize_;
    std::string text_;
};

// The cell border words of a table: its cells' border colour and style, and
// with a border attribute the four sides of every cell ("CellBorder=",
// unless the options give one).
std::string CellBorderWords(const HTMLImportContext* import, const HtmlNode* table) {
    std::string cells;
    CalcCellBorderFromHTML(import, table, &cells);
    const char* border = AttributeValue(table, "border");
    if (border == nullptr) return " " + cells;
    char given[kOptionValueSize] = {};
    if (GetOptionValue(import->optionText, "CellBorder=", given, sizeof given) != 0)
        return std::string(" ") + given + " " + cells;
    // The attribute's first character stands for every side; one that
    // cannot stand in a quoted option value counts as a border of 1.
    char side = border[0] != '\0' ? border[0] : '1';
    if (!IsAsciiLetterOrDigit(side)) side = '1';
    return std::string(" CellBorder='") + std::string(4, side) + "' " + cells;
}

void StartLevel(HTMLImportContext* import, ImportTableLevel* level, const HtmlNode* table) {
    if (level->grid == nullptr) level->grid = std::make_unique<SpanGrid>();
    level->grid->Reset(import->tableRows, import->tableColumns);
    level->table = table;
    level->rows = import->tableRows;
    level->columns = import->tableColumns;
    level->tabbed = FindTableTabMarker(import, table->firstChild, nullptr, 0) != 0;
    level->places.Clear();
    level->cells.clear();
    level->pastColumnRows.clear();
    level->tableEnd = nullptr;
    level->currentCell = nullptr;
    level->afterTable = nullptr;
    level->inRowPastGrid = false;
    level->askedRow = nullptr;
}

} // namespace

StartAction StartTableFromHTML(BuildContext* context, HTMLImportContext* import, HtmlNode* node,
                               ElementMemo* memo) {
    // The small table of a tab, and the header of a collapsed section, are
    // left out with everything in them.
    if (import->tableLevel >= 1 && ReadTableTabLabel(import, node, nullptr, 0) != 0) return StartAction::kSkipElement;
    if (ConvertSectionFromHTML(import, node, nullptr, nullptr, nullptr) != 0) return StartAction::kSkipElement;

    if (context->session != nullptr && context->session->workArea != nullptr)
        context->session->workArea->table.fitToWindow = 0;
    CountTableGrid(import, node->firstChild, &import->tableRows, &import->tableColumns);
    // A table nested deeper than the record writer keeps (counting the
    // tables of the item around the place the HTML goes into), or one
    // without rows, writes no table: its content goes where the walk is.
    if (import->tableLevel + std::max(context->output.tableLevel, 0) >= kImportTableLevels || import->tableRows == 0)
        return StartAction::kWalkChildren;
    ImportTableLevel* level = TableLevelAt(import, import->tableLevel + 1);
    if (level == nullptr) {
        // (The table levels could not be made: memory ran out.)
        if (import->tables == nullptr) KeepFailure(import, kOutOfMemory);
        return StartAction::kWalkChildren;
    }

    ++import->tableLevel;
    import->savedTablePab[import->tableLevel] = CurrentReferenceId(context);
    StartLevel(import, level, node);
    memo->tableConverted = true;
    FillTableSpans(import, node->firstChild);
    {
        const TableOptionText options(import, CellBorderWords(import, node));
        KeepFailure(import, ConvertTableFromHTML(import->tableColumns, import->tableRows, import, context, node));
    }
    import->insertAfter = import->lastAdded;
    return StartAction::kWalkChildren;
}

StartAction StartTableRowFromHTML(BuildContext*, HTMLImportContext* import, HtmlNode* node) {
    // The rows of the current table were told apart when its grid was
    // filled; any other row is asked.
    const ImportTableLevel* level = CurrentTableLevel(import);
    if (level != nullptr && level->tabbed) {
        if (const GridPlace* place = level->places.Find(node))
            return place->row < 0 ? StartAction::kSkipElement : StartAction::kWalkChildren;
    }
    return FindTableTabMarker(import, node, nullptr, 0) != 0 ? StartAction::kSkipElement : StartAction::kWalkChildren;
}

std::uint16_t TableColumnRightMargin(const BuildContext* context, const HTMLImportContext*,
                                     std::uint16_t depth, std::uint16_t column) {
    if (context == nullptr || depth < 1 || depth > kImportTableLevels || column >= kColumnSlots) return 0;
    return ReadWord(context->output.columnSlots[depth][column] + 16);
}

} // namespace talix
