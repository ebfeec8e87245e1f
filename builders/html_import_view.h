// What the record builders read of a running HTML import. The import's own
// context (htmlimport/html_import_context.h) starts with it; the record
// output points at it while an import runs, so that every record built goes
// to the import (builders/builder_hooks.h).
#pragma once

namespace talix {

struct HTMLImportView {
    // The parser's text node whose font a hotspot's text takes, and the font
    // text of a hotspot (used instead of the item's URL font when not empty).
    void* listNodeCursor = nullptr;
    char fontColorText[64] = {};
};

} // namespace talix
