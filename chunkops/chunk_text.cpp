// ZervaRTChunk::GetText: the text of a chunk's text runs, collected by the
// operation engine into the session's text result and copied to the
// caller's buffer.
#include <cstring>
#include <string>

#include "chunkops/chunk_text.h"
#include "core/item_internal.h"
#include "core/item_work_state.h"
#include "engine/chunk_definition.h"
#include "engine/chunk_work_state.h"
#include "engine/record_process.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

namespace {

constexpr std::uint16_t kPropertyText = 2332;

// Runs operation 9 over the chunk (narrowed to subDefinition when one is
// given) and keeps the chunk's last status: 0 on success (the engine's 1298
// included), else the failure. Nothing runs, successfully, when the item is
// neither in its note nor being created. The text goes to the session's
// text result, or whole to the string when one is given.
void RunGetText(ZervaRTChunk* chunk, const char* subDefinition, int allRuns, const char* separator,
                std::string* whole) {
    chunk->lastStatus = kOK;
    ZervaRTItem* item = chunk->item;
    if (item == nullptr || item->work == nullptr || chunk->work == nullptr) {
        chunk->lastStatus = kArgumentError;
        return;
    }
    const char* name = item->itemName;
    if (ItemStored(item) || item->work->mode == 2) {
        std::uint32_t single = chunk->work->singleTarget;
        ChunkDefInfo* extra = nullptr;
        if (subDefinition != nullptr && subDefinition[0] != '\0') {
            ChunkDefInfo* innermost = chunk->work->chain;
            while (innermost != nullptr && innermost->next != nullptr) innermost = innermost->next;
            std::uint32_t extraSingle = 0;
            extra = ParseChunkDefinition(chunk->session, 0, innermost, subDefinition, &extraSingle);
            if (extra == nullptr) {
                chunk->lastStatus = kArgumentError;
                return;
            }
            chunk->work->singleTarget = (single != 0 && extraSingle != 0) ? 1 : 0;
        }
        STATUS status = PerformChunkAction(chunk, item->noteHandle, name, 9, kPropertyText, allRuns != 0 ? 1 : 0, 0,
                                           0, separator, nullptr, whole, extra, nullptr);
        chunk->work->singleTarget = single;
        FreeChunkDefinition(extra);
        if (status != kOK && status != kOperationComplete) {
            chunk->lastStatus = status;
            return;
        }
    }
    if (chunk->lastStatus == kOperationComplete) {
        chunk->lastStatus = kOK;
    } else if (chunk->lastStatus == kOK && item->autoSave != 0) {
        plat::NoteUpdate(item->noteHandle, 1);
    }
}

} // namespace

std::uint32_t ZervaRTChunk::GetText(const char* subDefinition, char* buffer, std::uint32_t bufferSize, int allRuns,
                                    const char* separator) {
    if (buffer != nullptr && bufferSize > 0) buffer[0] = '\0';
    if (session == nullptr) return 0;
    session->messageBuffer[0] = '\0';
    session->textResult[0] = '\0';
    session->textResultLength = 0;

    RunGetText(this, subDefinition, allRuns, separator, nullptr);
    if (lastStatus != kOK) {
        // A failed run gives no text, not part of it.
        session->textResult[0] = '\0';
        session->textResultLength = 0;
    }
    if (buffer == nullptr || bufferSize == 0) return 0;
    std::uint32_t length = session->textResultLength;
    if (bufferSize <= length) {
        length = bufferSize - 1;
        session->textResultLength = static_cast<std::uint16_t>(length);
        session->textResult[length] = '\0';
    }
    std::memcpy(buffer, session->textResult, length);
    buffer[length] = '\0';
    return length;
}

namespace talix {

STATUS GetWholeChunkText(ZervaRTChunk* chunk, std::string* text) {
    if (chunk == nullptr || text == nullptr) return kArgumentError;
    text->clear();
    RunGetText(chunk, nullptr, 1, nullptr, text);
    if (chunk->lastStatus != kOK) text->clear();
    return chunk->lastStatus;
}

} // namespace talix
