// One formula call from start to end: decoding the arguments, resolving
// the name, making the session on first use, addressing and connecting the
// document, applying the property strings, running the row's handler,
// saving, and handing back the status and the result block.
#pragma once

#include <cstdint>

#include "driver/driver_context.h"

namespace talix {

// Runs one call. function: 0 names the call "DBLookup", 2 takes the name
// from the first argument, any other code names it "DBColumn". On return
// *resultHandle holds the result block (0 when the call made none; the host
// frees it, also after a failure) and, on success, *resultLength the bytes
// of the typed result. Returns the status masked with 0x3fff.
STATUS PerformFunction(DriverContext* context, std::uint16_t argumentCount, const std::uint32_t* lengths,
                       const void* const* values, std::uint32_t* resultHandle,
                       std::uint32_t* resultLength, std::uint16_t function);

// The end of every call: after a failure the chunk, the item and the session
// are destroyed (the next call starts afresh); the call's values are freed;
// the result block is unlocked. Returns the status masked with 0x3fff.
STATUS CompleteCall(DriverContext* context, STATUS status, std::uint32_t* resultHandle,
                    std::uint32_t* resultLength);

// Destroys the call's chunk (clearing the item's default chunk first) and
// item (an item kept for the next look-ups stays), and with destroySession
// the kept item and the session too.
void DestroyCallObjects(DriverContext* context, bool destroySession);

} // namespace talix
