// What comes before a block's paragraph (reply sections, writing direction,
// layers) and the start of pass-thru spans. None of these is recognised
// yet: every block makes its paragraph and every span is an ordinary one.
#include "htmlimport/walk_handlers.h"

namespace talix {

BlockPreamble RunBlockPreamble(RecordProcessContext*, HTMLImportContext*, HtmlNode*) {
    return BlockPreamble::kMakeParagraph;
}

void StartPassthruSpan(RecordProcessContext*, HTMLImportContext*, HtmlNode*) {}

} // namespace talix
