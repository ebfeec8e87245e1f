// Freeing the key cache of the matching operations.
#include "core/link_matching_cache.h"

#include "core/pool.h"
#include "talix_platform/memory.h"

namespace talix {

LinkMatchingCache::~LinkMatchingCache() {
    for (plat::DHANDLE& list : keyLists) {
        if (list == 0) break;
        plat::MemFree(list);
        list = 0;
    }
    // Freeing a block ends its locks too.
    if (noteIdTable != 0) plat::MemFree(noteIdTable);
    noteIdTable = 0;
    noteIds = nullptr;
    ZervaDeallocate(session, keyUsedFlags);
    ZervaDeallocate(session, keyFirstLetters);
    keyUsedFlags = nullptr;
    keyFirstLetters = nullptr;
}

} // namespace talix
