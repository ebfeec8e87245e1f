// The chunk object: construction, destruction and registration with its
// session, and setting its definition from a text.
//
// A chunk's heap texts (definition texts, event-return strings, saved
// strings) and its two further owned blocks come from malloc and are freed
// with free; saved-string nodes are made with new.
#include "talix/chunk.h"

#include <cstdlib>
#include <new>

#include "core/chunk_definition.h"
#include "core/chunk_setup.h"
#include "core/chunk_work_state.h"
#include "core/owned_text.h"
#include "core/pool.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

ZervaRTChunk::ZervaRTChunk(RARIvoSession* owner, ZervaRTItem* of) : session(owner), item(of) {
    work = new (std::nothrow) ChunkWorkState();
    if (session != nullptr) session->AddToRTCHUNKList(this);
}

ZervaRTChunk::~ZervaRTChunk() {
    if (item != nullptr && item->defaultChunk == this) item->defaultChunk = nullptr;
    EmptyChunk(this);
    if (work != nullptr) {
        std::free(work->ownedBlock1);
        std::free(work->ownedBlock2);
        for (std::uint32_t& handle : work->fieldBlocks) {
            if (handle != 0) plat::MemFree(handle);
            handle = 0;
        }
        if (work->sortKeys != nullptr && session != nullptr) ZervaDeallocate(session, work->sortKeys);
        FreeInlineImages(work->inlineImages);
        if (work->walkResume != nullptr && work->freeWalkResume != nullptr) work->freeWalkResume(work->walkResume);
        std::free(work->styleSheetText);
        for (SavedString* saved = work->savedStrings; saved != nullptr;) {
            SavedString* next = saved->next;
            std::free(saved->text);
            delete saved;
            saved = next;
        }
        delete work;
        work = nullptr;
    }
    if (session != nullptr) session->RemoveFromRTCHUNKList(this);
}

namespace talix {

void FreeInlineImages(MIMEInlineImage* first) {
    while (first != nullptr) {
        MIMEInlineImage* next = first->next;
        std::free(first->data);
        std::free(first->contentId);
        delete first;
        first = next;
    }
}

void EmptyChunk(ZervaRTChunk* chunk) {
    if (chunk == nullptr) return;
    if (chunk->work != nullptr) {
        FreeChunkDefinition(chunk->work->chain);
        chunk->work->chain = nullptr;
    }
    FreeOwnedText(chunk->definition);
    FreeOwnedText(chunk->unzoomedDefinition);
    for (char*& text : chunk->eventReturn) FreeOwnedText(text);
}

STATUS SetChunkDefinition(ZervaRTChunk* chunk, const char* text, const ChunkDefInfo* outer) {
    if (chunk == nullptr || chunk->work == nullptr) return kOutOfMemory;
    std::uint32_t single = 0;
    bool outOfMemory = false;
    ChunkDefInfo* chain = ParseChunkDefinition(chunk->session, 0, outer, text, &single, &outOfMemory);
    if (chain == nullptr) return outOfMemory ? kOutOfMemory : kArgumentError;
    char* definition = RenderChunkDefinition(chain);
    if (definition == nullptr) {
        FreeChunkDefinition(chain);
        return kOutOfMemory;
    }
    FreeChunkDefinition(chunk->work->chain);
    chunk->work->chain = chain;
    chunk->work->singleTarget = single;
    FreeOwnedText(chunk->definition);
    chunk->definition = definition;
    const ChunkDefInfo* innermost = chain;
    while (innermost->next != nullptr) innermost = innermost->next;
    chunk->targetType = innermost->elementType;
    return kOK;
}

} // namespace talix
