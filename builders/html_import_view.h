// What the record builders read of a running HTML import. The import's own
// context (htmlimport/html_import_context.h) starts with it; the record
// output points at it while an import runs, so that every record built goes
// to the import (builders/builder_hooks.h).
#pragma once

namespace talix {

// The longest colour a font element or a link gives the font text; the
// font text has room for that colour and the words a link adds after it
// (decoration, size, style and weight).
constexpr int kFontColorChars = 63;
constexpr int kFontColorTextSize = 128;

struct HTMLImportView {
    // The parser's text node whose font a hotspot's text takes, and the font
    // text of a hotspot (used instead of the item's URL font when not empty).
    void* listNodeCursor = nullptr;
    char fontColorText[kFontColorTextSize] = {};
};

} // namespace talix
