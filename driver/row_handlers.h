// The handlers that the rows of the function tables name: item functions
// and item properties (AM_RTItemFunction), chunk functions and chunk
// properties (AM_RTChunkFunction), and the chunk command dispatcher.
#pragma once

#include <cstdint>

#include "driver/driver_context.h"

namespace talix {

// Shapes the answer of an item function or item property: the work itself
// (connecting, creating, property strings, saving) is the call sequence's.
// Returns 0, or 12572 when no connected item is there.
STATUS AM_RTItemFunction(DriverContext* context);

// Runs a chunk function or reads or sets a chunk property through
// PerformChunkCommand and turns a look-up's text list into the result.
STATUS AM_RTChunkFunction(DriverContext* context);

// Checks the call's objects and dispatches on the operation: 1 and 2 are
// the table look-ups (DBColumn and DBLookup), 59 reads and 60 sets the
// chunk property named by the call; any other operation answers 12550.
STATUS PerformChunkCommand(DriverContext* context, std::uint32_t operation, std::uint32_t unused1,
                           std::uint32_t unused2);

} // namespace talix
