// The calls of core into higher folders (see core/layer_hooks.h).
#pragma once

#include <cstdint>

#include "core/statuses.h"

class RARIvoSession;
class ZervaRTChunk;
class ZervaRTItem;

namespace talix {

struct CoreHooks {
    // engine/link_fixups.h: copies the records of every item of the
    // source's name into the target item (ZervaRTItem::CopyBackend).
    STATUS (*CopyRichTextWithLinks)(ZervaRTItem* source, ZervaRTItem* target, int sameNote,
                                    std::uint16_t unused) = nullptr;
    // ZervaRTItem::ConvertFromMIMEBackend (mime): a MIME item met while
    // connecting is converted into rich text with no options.
    std::uint16_t (*ConvertFromMIME)(ZervaRTItem* item) = nullptr;
    // The chunk methods the design-element set-up calls on an image
    // resource's graphic: ZervaRTChunk::Exists (engine), ZervaRTChunk::Remove
    // and ZervaRTChunk::AppendGraphic (chunkops).
    int (*ChunkExists)(ZervaRTChunk* chunk) = nullptr;
    STATUS (*RemoveChunk)(ZervaRTChunk* chunk) = nullptr;
    STATUS (*AppendGraphic)(ZervaRTChunk* chunk, const char* kind, const char* source, const char* options) = nullptr;
};

// The core table of the session (an empty one when it has none).
const CoreHooks& CoreHooksOf(const RARIvoSession* session);

} // namespace talix
