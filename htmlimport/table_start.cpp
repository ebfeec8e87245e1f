// The start of tables, rows and cells in the walk. Tables are not converted
// yet: their rows and cells are walked like other elements, so that their
// text is kept.
#include "htmlimport/walk_handlers.h"

namespace talix {

StartAction StartTableFromHTML(RecordProcessContext*, HTMLImportContext*, HtmlNode*) {
    return StartAction::kWalkChildren;
}

StartAction StartTableRowFromHTML(RecordProcessContext*, HTMLImportContext*, HtmlNode*) {
    return StartAction::kWalkChildren;
}

StartAction StartTableCellFromHTML(RecordProcessContext*, HTMLImportContext*, HtmlNode*) {
    return StartAction::kWalkChildren;
}

std::uint16_t TableColumnRightMargin(const RecordProcessContext*, const HTMLImportContext*, std::uint16_t,
                                     std::uint16_t) {
    return 0;
}

} // namespace talix
