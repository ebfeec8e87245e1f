// The formula driver's function tables and the resolution of a call's name:
// an alias table, the item functions, the item properties, the chunk
// functions and the chunk properties, searched in that order.
#pragma once

#include <cstdint>

#include "driver/driver_context.h"

namespace talix {

using DriverHandler = STATUS (*)(DriverContext* context);

// One row of a function table; tables are sorted by name ignoring case and
// end with a row whose name is null.
struct DriverFunctionRow {
    const char* name;
    std::uint32_t saveAfter;   // save the item after a successful handler
    std::uint16_t minArgs;     // declared argument counts after the name (not enforced)
    std::uint16_t maxArgs;
    std::uint16_t typeMask;    // allowed argument kinds (all; not consulted)
    std::uint16_t resultKind;  // 0 no result block, 1 a number, else a list-capable block
    DriverHandler handler;
    std::uint32_t operationId; // what the handler dispatches on
};

// Operation numbers the call sequence and the handlers test.
enum DriverOperation : std::uint32_t {
    kOpDBColumn = 1,
    kOpDBLookup = 2,
    kOpDisconnect = 12,
    kOpGetItemProperty = 57,
    kOpSetItemProperty = 58,
    kOpGetChunkProperty = 59,
    kOpSetChunkProperty = 60,
    kOpItemNoop = 112,
    kOpCopy = 2105,
    kOpCreate = 2107,
    kOpCreateBackend = 2108,
    kOpDefineChunk = 2109,
    kOpSave = 2113,
    kOpConvertToMime = 2128,
    kOpExportToMIME = 2129,
    kOpExportToHTML = 2130,
    kOpGenerateMIME = 2134,
};

enum class FoundKind : std::uint8_t {
    None = 0,
    ItemProperty = 1,
    ItemFunction = 2,
    ChunkProperty = 3,
    ChunkFunction = 4,
};

// A name field holds at most 31 characters and the terminator.
constexpr std::size_t kFunctionNameSize = 32;

struct NameResolution {
    FoundKind kind = FoundKind::None;
    const DriverFunctionRow* row = nullptr;         // the function's row; null for a property
    const PropertyTableEntry* property = nullptr;   // the property's row
};

// Resolves a name: an alias first replaces name (a kFunctionNameSize field) by
// its target, then the item functions, item properties, chunk functions and
// chunk properties are searched; the first hit wins.
NameResolution ResolveFunctionName(char* name);

// The row that runs for a property name: an item property reads when fewer
// than two arguments follow the name and sets otherwise; a chunk property
// sets when an argument is left after the addressing arguments and reads
// otherwise.
const DriverFunctionRow* PropertyFunctionRow(FoundKind kind, const DriverContext* context);

} // namespace talix
