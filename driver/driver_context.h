// The formula driver's state: the one driver context of the process, the
// decoded typed values it holds, and the process-wide values kept between
// calls. The entry points take the driver's lock (DriverLock) for as long as
// they run, so that calls from several threads take turns over them.
#pragma once

#include <cstdint>
#include <mutex>

#include "core/properties.h"
#include "core/statuses.h"

class RARIvoSession;
class ZervaRTItem;
class ZervaRTChunk;

namespace talix {

// Type words of typed values.
constexpr std::uint16_t kValueNone = 0x0000;        // a result with nothing in it
constexpr std::uint16_t kValueNoteRefs = 0x0004;    // universal note ids
constexpr std::uint16_t kValueNumber = 0x0300;
constexpr std::uint16_t kValueNumberList = 0x0301;  // list entries, then range pairs
constexpr std::uint16_t kValueTime = 0x0400;
constexpr std::uint16_t kValueTimeList = 0x0401;    // list entries, then range pairs
constexpr std::uint16_t kValueText = 0x0500;
constexpr std::uint16_t kValueTextList = 0x0501;

constexpr std::uint16_t kMaxDriverArgs = 64;
constexpr std::uint32_t kScratchTextSize = 8192;
constexpr std::uint32_t kDesignNameSize = 256;
constexpr std::uint32_t kDefaultPathSize = 512;
// Result blocks: a number, or anything else.
constexpr std::uint32_t kNumberResultSize = 10;
constexpr std::uint32_t kListResultSize = kWorkBufferSize;

// One entry of a value: for arguments it points into the host's bytes; a
// result's entries may own their data.
struct ArgEntry {
    const std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    bool owned = false;
};

// One decoded typed value.
struct ArgValue {
    std::uint16_t type = kValueNone;   // after promotion of single values to lists
    std::uint32_t length = 0;          // byte length given by the host, plus the promotion allowance
    std::uint16_t count = 0;
    std::uint8_t* raw = nullptr;       // arguments: the host's bytes; results: an owned ready-made list
    ArgEntry* entries = nullptr;       // count entries, owned
};

struct DriverFunctionRow;
struct WarmLookUp;

// How the look-ups of a driver context read their cells (the tests and
// benchmarks compare the routes): in a single pass over the item wherever
// the chunk and the options allow it (the default: a single table by a
// direct scan of its records where the scan covers it, else by the engine's
// walk), in a single pass always made by the engine's walk, or every cell
// with a chunk read of its own ("Row %d; Column %d" through GetText, the
// row's label through ZoomIn and GetPropertyText). Every-cell is the
// reference the single pass must agree with, and the way of what it does
// not cover: chunks that are not a table or that name every occurrence,
// "KeyChunk=", "ColumnChunk=", and "KeyProperty=" TabLabel or RowLabel.
enum class LookUpRoute : std::uint8_t { SingleWalk, EngineWalk, EveryCell };

// The one driver state of the process, made by DBDInit.
struct DriverContext {
    char scratchText[kScratchTextSize] = {};   // host messages and the argument being read
    char designElementName[kDesignNameSize] = {};
    char propertyText[kWorkBufferSize] = {};   // a chunk property's text
    std::uint16_t argCount = 0;                // arguments after the function name
    ArgValue args[kMaxDriverArgs];
    std::uint16_t argCursor = 0;
    ArgValue result;
    ArgValue name;                             // entries: name, pre-properties, post-properties
    const PropertyTableEntry* propertyRow = nullptr;
    char* preProperties = nullptr;             // owned
    char* postProperties = nullptr;            // owned
    std::uint16_t resultListSize = 0;
    std::uint32_t resultListHandle = 0;
    void* resultListPointer = nullptr;
    RARIvoSession* session = nullptr;          // kept across calls until one fails
    ZervaRTItem* item = nullptr;               // only during a call
    ZervaRTChunk* chunk = nullptr;             // only during a call
    const char* chunkDefinition = nullptr;     // the call's chunk definition, while its handler runs
    std::uint16_t opened = 0;
    LookUpRoute lookUpRoute = LookUpRoute::SingleWalk;
    WarmLookUp* warm = nullptr;                // the item the last look-up read, kept open (owned)
};

// Process-wide values of the driver.
extern char g_defaultDatabasePath[kDefaultPathSize];   // set by DBDSetOpenContext
extern std::uint32_t g_currentOperationId;             // of the row whose handler runs
extern double g_numericResult;                         // what handlers copy into a number result
extern bool g_resultBlockLocked;                       // the call's result block is locked

// The lock every entry point holds while it runs: the context and the
// values above are the process's one set. It is recursive, so that a
// formula a call evaluates may call the driver again on the same thread.
std::recursive_mutex& DriverLock();

} // namespace talix
