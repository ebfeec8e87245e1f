// The MIME export methods of ZervaRTItem (to a file, into the note, piece by
// piece into the caller's buffer) and the output procedures of the
// conversions.
#include "mime/mime_export.h"

#include <cstdio>
#include <cstring>

#include "chunkops/chunk_frame.h"
#include "core/item_work_state.h"
#include "core/operation_codes.h"
#include "core/session_work_area.h"
#include "core/text_compare.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix {

namespace {

constexpr const char* kEventRestart = "Event Restart";
constexpr std::uint32_t kJoinedPiecesLimit = 65404;

// The pieces of the output cache as a part answers them: part 0 joins the
// blocks that fit whole, part n is block n.
void AnswerPart(const SessionWorkArea* area, std::uint16_t part, char* buffer, std::uint32_t* size,
                std::uint32_t capacity) {
    *size = 0;
    if (capacity > 0) buffer[0] = '\0';
    if (capacity == 0) return;
    const std::uint32_t limit = capacity - 1 < kJoinedPiecesLimit ? capacity - 1 : kJoinedPiecesLimit;
    const OutputCacheBlock* block = area->outputCache;
    if (part == 0) {
        for (; block != nullptr; block = block->next) {
            if (block->used == 0 || block->data == nullptr || *size + block->used > limit) continue;
            std::memcpy(buffer + *size, block->data, block->used);
            *size += block->used;
            buffer[*size] = '\0';
        }
        return;
    }
    for (std::uint16_t n = 1; block != nullptr && n < part; ++n) block = block->next;
    if (block == nullptr || block->used == 0 || block->data == nullptr) return;
    const std::uint32_t length = block->used < capacity - 1 ? block->used : capacity - 1;
    std::memcpy(buffer, block->data, length);
    buffer[length] = '\0';
    *size = length;
}

} // namespace

std::uint16_t AppendToEventBuffer(ZervaRTChunk* chunk, char* data, std::uint16_t length) {
    if (chunk == nullptr || chunk->session == nullptr || chunk->session->workArea == nullptr) return 0;
    RARIvoSession* session = chunk->session;
    SessionWorkArea* area = session->workArea;
    if (area->outputCache == nullptr || StartsWithNoCase(area->eventMarker, kEventRestart))
        session->CreateCachedStuff();
    OutputCacheBlock* block = area->lastOutputCache;
    if (block == nullptr || data == nullptr) return 0;
    const std::uint32_t room = block->Reserve(length);
    const std::uint32_t take = length < room ? length : room;
    if (take == 0) return 0;
    std::memcpy(block->data + block->used, data, take);
    block->used += take;
    return 0;
}

std::uint16_t AppendLineToChunk(ZervaRTChunk* chunk, char* text, std::uint16_t length) {
    if (chunk == nullptr || chunk->session == nullptr || chunk->session->workArea == nullptr) return 0;
    SessionWorkArea* area = chunk->session->workArea;
    ZervaRTChunk* output = area->outputChunk;
    if (output == nullptr || text == nullptr || length == 0) return 0;
    if (area->pendingLines != nullptr) {
        area->pendingLines->emplace_back(text, strnlen(text, length));
        return 0;
    }
    if (output->AppendText(text, length, nullptr) != 0) return 0;
    output->AppendNewLines(1, 0);
    return 0;
}

STATUS AppendLinesToChunk(ZervaRTChunk* output, const std::vector<std::string>& lines) {
    if (lines.empty()) return kOK;
    if (!ChunkUsable(output)) return kArgumentError;
    ChunkOperation run;
    run.operation = kOpAppendLines;
    run.pointer = const_cast<std::vector<std::string>*>(&lines);
    ItemWorkState* state = output->item->work;
    STATUS status = RunChunkOperation(output, run);
    // Empty text runs the appends left inside a group are merged away, as
    // AppendText does after its run.
    if (status == kOK && state->emptyTextAppended != 0) status = RunChunkOperation(output, kOpCleanUp);
    state->emptyTextAppended = 0;
    return status;
}

} // namespace talix

using namespace talix;

void ZervaRTItem::ExportToMIME(const char* outputName, const char* htmlHeader, const char* plainHeader,
                               const char* kind, const char* mimeOptions, std::uint16_t mimeOptionsLength,
                               const char* htmlOptions, std::uint16_t htmlOptionsLength,
                               ZervaRTChunk::QueryLinkData queryLinkData) {
    SaveAsMimeInternal(outputName, htmlHeader, plainHeader, kind, mimeOptions, mimeOptionsLength, htmlOptions,
                       htmlOptionsLength, nullptr, nullptr, 1, 1, nullptr, queryLinkData);
}

void ZervaRTItem::ConvertToMIME(const char* outputName, const char* htmlHeader, const char* plainHeader,
                                const char* kind, const char* mimeOptions, std::uint16_t mimeOptionsLength,
                                const char* htmlOptions, std::uint16_t htmlOptionsLength,
                                ZervaRTChunk::QueryLinkData queryLinkData) {
    SaveAsMimeInternal(outputName, htmlHeader, plainHeader, kind, mimeOptions, mimeOptionsLength, htmlOptions,
                       htmlOptionsLength, nullptr, nullptr, 1, 0, nullptr, queryLinkData);
}

void ZervaRTItem::GenerateMIMEForRTItem(std::uint16_t part, const char* htmlHeader, const char* plainHeader,
                                        const char* kind, const char* mimeOptions, std::uint16_t mimeOptionsLength,
                                        const char* htmlOptions, std::uint16_t htmlOptionsLength, char* buffer,
                                        std::uint32_t* size, ZervaRTChunk::ActOnText actOnText,
                                        ZervaRTChunk::QueryLinkData queryLinkData) {
    if (buffer == nullptr || size == nullptr) return;
    if (session == nullptr || session->workArea == nullptr) {
        *size = 0;
        return;
    }
    const std::uint32_t capacity = *size;
    SessionWorkArea* area = session->workArea;
    // With its own procedure the writer runs for part 0, which fills the
    // output cache afresh; later parts answer from what part 0 left.
    const bool ownProcedure = actOnText == nullptr;
    const bool run = !ownProcedure || part == 0 || area->outputCache == nullptr;
    if (ownProcedure && part == 0) session->CleanUpCachedStuff();
    if (run) {
        char name[8];
        std::snprintf(name, sizeof name, "%u", static_cast<unsigned>(part));
        std::uint32_t left = capacity;
        SaveAsMimeInternal(name, htmlHeader, plainHeader, kind, mimeOptions, mimeOptionsLength, htmlOptions,
                           htmlOptionsLength, buffer, &left, 1, 0, ownProcedure ? AppendToEventBuffer : actOnText,
                           queryLinkData);
    }
    AnswerPart(area, part, buffer, size, capacity);
}
