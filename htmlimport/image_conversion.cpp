// Images in the walk. Images are not converted yet: an img writes nothing.
#include "htmlimport/walk_handlers.h"

namespace talix {

STATUS ConvertImageFromHTML(RecordProcessContext*, HTMLImportContext*, HtmlNode*) { return kOK; }

} // namespace talix
