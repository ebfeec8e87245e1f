// What the record builders see of a running HTML import, and the sink
// through which it takes their records. The import's own context
// (htmlimport/html_import_context.h) starts with the view; the import sets
// the sink on the record output it builds through when it starts and takes
// it off when it hands its records on, so that every record built meanwhile
// goes to the import instead of the item. Nothing of it is process-wide.
#pragma once

#include <cstdint>

#include "core/statuses.h"

namespace talix {

struct BuildContext;

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

// The import a record output hands its records to (import null: none, the
// records go to the item).
struct ImportSink {
    HTMLImportView* import = nullptr;
    // Takes one record into the import's own record list (the append gate
    // hands it every record and returns its status).
    STATUS (*addRecord)(HTMLImportView* import, const void* record, std::uint16_t signature,
                        std::uint32_t length) = nullptr;
    // Writes the text of the import's text node in the fonts its HTML
    // ancestry gives (the hotspot builders ask for a link's visible text).
    STATUS (*writeNodeText)(BuildContext* context, HTMLImportView* import, void* textNode) = nullptr;
};

} // namespace talix
