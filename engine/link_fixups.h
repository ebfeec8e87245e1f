// Copying rich text to another note or item, carrying its links along.
#pragma once

#include <cstdint>

#include "core/statuses.h"

class ZervaRTItem;

namespace talix {

// Replaces the target item's records by the source item's. sameNote says
// whether the target lies in the source's note. Returns 0 or the failure;
// on failure the target item is as it was.
STATUS CopyRichTextWithLinks(ZervaRTItem* source, ZervaRTItem* target, int sameNote, std::uint16_t unused);

} // namespace talix
