// The frame every chunk method runs its operations in.
//
// A chunk method changes or reads its item by asking the operation engine
// (PerformChunkAction) to run one numbered operation over it. Around that
// one call the frame:
//   1. sets the chunk's last status to 0;
//   2. runs nothing, successfully, when the item is neither in its note nor
//      being created (the note is still updated when AutoSave is on);
//   3. keeps the chunk's single-target flag across the run (narrowed for the
//      run by a sub-definition, when one is given);
//   4. stores any engine status other than 0 and 1298 as the last status and
//      returns it, without updating the note;
//   5. reports the engine's completion status 1298 (a query that found its
//      target) as 0, without updating the note;
//   6. otherwise updates the note at once when the item's AutoSave is on.
// Memory that runs out during a run (std::bad_alloc) fails it with 263 and
// leaves the item as it was.
// Every public chunk method goes through RunChunkOperation (or its exported
// form ZervaRTChunk::AlterRichText); a method that runs several operations
// calls it once per operation.
#pragma once

#include <cstdint>

#include "core/statuses.h"

class ZervaRTChunk;

namespace talix {

// One run of the engine as a chunk method asks for it: the operation, its
// words and texts (what each means is the operation's), the sub-definition
// that narrows the run (null or empty: the chunk itself), the source chunk
// of the copying operations and what the run fills (operation 9: a
// std::string taking the whole text).
struct ChunkOperation {
    std::uint16_t operation = 0;
    std::uint16_t op2 = 0;
    std::uint16_t a3 = 0;
    std::uint16_t a4 = 0;
    std::uint16_t a5 = 0;
    const char* argument = nullptr;
    const char* second = nullptr;
    const char* subDefinition = nullptr;
    ZervaRTChunk* source = nullptr;
    void* pointer = nullptr;
};

// The frame (see above). Returns the chunk's status: 0 on success. A chunk
// without its session, item or work state gives 1028; a sub-definition
// that does not parse gives 1028 and runs nothing.
STATUS RunChunkOperation(ZervaRTChunk* chunk, const ChunkOperation& run);

// The frame around one operation without a sub-definition.
STATUS RunChunkOperation(ZervaRTChunk* chunk, std::uint16_t operation, std::uint16_t op2 = 0, std::uint16_t a3 = 0,
                         std::uint16_t a4 = 0, std::uint16_t a5 = 0, const char* argument = nullptr,
                         const char* second = nullptr, ZervaRTChunk* source = nullptr);

// The frame with an option string handed to the engine as the running
// operation's options: a tracked copy of a non-empty string is made for the
// run (263 when it cannot be, nothing run) and released after it; the
// running options are restored to what they were on every path.
STATUS RunChunkOperationWithOptions(ZervaRTChunk* chunk, const ChunkOperation& run, const char* options);

// True when the chunk has what every method needs: its session (with its
// work area), its item (with its work state) and its own work state.
bool ChunkUsable(const ZervaRTChunk* chunk);

// Sets the chunk's last status and returns it (for methods that refuse
// before the frame).
STATUS Refuse(ZervaRTChunk* chunk, STATUS status);

// Passes the text to the host's message procedure, formatted into the
// session's error text (cut to fit).
void ReportToHost(ZervaRTChunk* chunk, const char* text);

// The tag of the tracked blocks the chunk methods take.
inline constexpr const char* kChunkMethodsTag = "rtchunki";

} // namespace talix
