// The session: the root of all work done through the library. It owns the
// items and chunks made on it, its output cache chain, its tracked memory
// pool and its work area.
#include "talix/session.h"

#include <cstdlib>
#include <new>

#include "core/link_matching_cache.h"
#include "core/pool.h"
#include "core/session_work_area.h"
#include "core/temp_directory.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/version.h"
#include "talix_platform.h"

using namespace talix;

// The constructor is the session's set-up, which gives the session the
// tables of the folders above core, and CreateDesignElement, which calls the
// chunk methods, is beside it: both live above the folders they call
// (setup/).

RARIvoSession::~RARIvoSession() {
    // Destructors unregister their objects, so the heads move on.
    while (items != nullptr) delete items;
    while (chunks != nullptr) delete chunks;
    if (workArea == nullptr) return;
    // The key cache of the matching operations gives its handles and pool
    // blocks back before the pool goes.
    delete workArea->linkMatching;
    workArea->linkMatching = nullptr;
    if (workArea->spareRunContext != nullptr && workArea->freeRunContext != nullptr)
        workArea->freeRunContext(workArea->spareRunContext);
    workArea->spareRunContext = nullptr;
    workArea->runningOptions = nullptr;
    CleanUpCachedStuff();
    ZervaDeallocateAll(this, 0);
    delete workArea;
    workArea = nullptr;
}

void RARIvoSession::SetUp() {
    plat::LONG trace = plat::IniGetInt("TalixDebug");
    FixTempDirectory();
    if (trace > 0) plat::LogLine(0, "TalixDebug: Temp directory='%s'", TempDirectory().c_str());
}

void RARIvoSession::AddToRTITEMList(ZervaRTItem* item) {
    if (item == nullptr) return;
    item->next = items;
    items = item;
}

void RARIvoSession::AddToRTCHUNKList(ZervaRTChunk* chunk) {
    if (chunk == nullptr) return;
    chunk->next = chunks;
    chunks = chunk;
}

void RARIvoSession::RemoveFromRTITEMList(ZervaRTItem* item) {
    for (ZervaRTItem** link = &items; *link != nullptr; link = &(*link)->next) {
        if (*link == item) {
            *link = item->next;
            item->next = nullptr;
            return;
        }
    }
}

void RARIvoSession::RemoveFromRTCHUNKList(ZervaRTChunk* chunk) {
    for (ZervaRTChunk** link = &chunks; *link != nullptr; link = &(*link)->next) {
        if (*link == chunk) {
            *link = chunk->next;
            chunk->next = nullptr;
            return;
        }
    }
}

namespace talix {

std::uint32_t OutputCacheBlock::Reserve(std::uint32_t length) {
    const std::uint32_t room = capacity > used ? capacity - used : 0;
    const std::uint32_t wanted = used + (length < room ? length : room);
    if (wanted > allocated) {
        // Doubling keeps the copies of a growing block linear.
        std::uint32_t size = allocated < 4096 ? 4096 : allocated;
        while (size < wanted) size = size > capacity / 2 ? capacity : size * 2;
        if (size > capacity) size = capacity;
        void* grown = std::realloc(data, size);
        if (grown == nullptr) return 0;
        data = static_cast<std::uint8_t*>(grown);
        allocated = size;
    }
    return allocated - used;
}

} // namespace talix

void RARIvoSession::CreateCachedStuff() {
    if (workArea == nullptr) return;
    auto* block = new (std::nothrow) OutputCacheBlock();
    if (block == nullptr) return;
    if (workArea->outputCache == nullptr) {
        workArea->outputCache = block;
    } else {
        OutputCacheBlock* last =
            workArea->lastOutputCache != nullptr ? workArea->lastOutputCache : workArea->outputCache;
        while (last->next != nullptr) last = last->next;
        last->next = block;
    }
    workArea->lastOutputCache = block;
}

void RARIvoSession::CleanUpCachedStuff() {
    if (workArea == nullptr) return;
    while (OutputCacheBlock* block = workArea->outputCache) {
        workArea->outputCache = block->next;
        std::free(block->data);
        delete block;
    }
    workArea->lastOutputCache = nullptr;
}
