// Anchors in the walk. Links are not converted yet: the anchor's text is
// written as text in the anchor's font (underlined, in the link colour).
#include "htmlimport/walk_handlers.h"

namespace talix {

STATUS ConvertLinkFromHTML(RecordProcessContext*, HTMLImportContext*, HtmlNode*) { return kOK; }

} // namespace talix
