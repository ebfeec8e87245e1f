// The calls of core into higher folders (see core/layer_hooks.h).
#pragma once

#include <cstdint>

#include "core/statuses.h"

class ZervaRTItem;

namespace talix {

// Filled by the engine (InstallEngineHooks) at session set-up.
struct ItemCopyHooks {
    // engine/link_fixups.h: copies the records of every item of the
    // source's name into the target item (ZervaRTItem::CopyBackend).
    STATUS (*CopyRichTextWithLinks)(ZervaRTItem* source, ZervaRTItem* target, int sameNote,
                                    std::uint16_t unused) = nullptr;
};
extern ItemCopyHooks g_itemCopyHooks;

} // namespace talix
