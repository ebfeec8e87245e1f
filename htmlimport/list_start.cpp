// Lists in the walk. Lists are not converted yet: their items are walked
// like other elements, so that their text is kept.
#include "htmlimport/walk_handlers.h"

namespace talix {

StartAction StartListFromHTML(RecordProcessContext*, HTMLImportContext*, HtmlNode*) {
    return StartAction::kWalkChildren;
}

StartAction StartListItemFromHTML(RecordProcessContext*, HTMLImportContext*, HtmlNode*) {
    return StartAction::kWalkChildren;
}

void CloseListFromHTML(RecordProcessContext*, HTMLImportContext*, HtmlNode*) {}

} // namespace talix
