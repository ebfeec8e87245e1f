// The state of one HTML import, as far as the record gate and the record
// builders use it: the import's own record list, which receives every
// record built while the import runs, and what the hotspot builders read of
// the import's current text.
#pragma once

#include <cstdint>

#include "core/record_list.h"

class RARIvoSession;

namespace talix {

struct HTMLImportContext {
    RARIvoSession* session = nullptr;

    // The import's record list. When insertAfter is set, the next record is
    // linked directly after it and the cursor moves onto the new node;
    // otherwise records go to the end of the list.
    CDRecordNode* insertAfter = nullptr;
    CDRecordNode* listTail = nullptr;
    CDRecordNode* listHead = nullptr;
    CDRecordNode* lastAdded = nullptr;

    // The parser's text node whose font a hotspot's text takes, and the font
    // text of a hotspot (used instead of the item's URL font when not empty).
    void* listNodeCursor = nullptr;
    char fontColorText[64] = {};
};

} // namespace talix
