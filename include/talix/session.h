// RARIvoSession: the root object of every piece of work. It owns the items and
// chunks created on it, the shared text buffers, the output cache chain, the
// tracked memory pool and the work area.
//
// Threads: one session per thread. A session and everything made on it are
// used by one thread at a time (a session may pass to another thread between
// calls, never during one). Sessions on different threads may run any of
// their calls at the same time, each on databases of its own; what they
// share (the temporary directory, the debug level, notes.ini, the platform
// log) is safe to use from several threads. The client preference and the
// message-suppression switch are kept per thread.
#pragma once

#include <cstdint>

#include "talix/export.h"
#include "talix/version.h"

class ZervaRTItem;
class ZervaRTChunk;

namespace talix {
struct SessionWorkArea;
}

class TALIX_API RARIvoSession {
public:
    // Makes a session with its work area (see IsUsable).
    RARIvoSession();
    // Deletes the items and chunks still made on the session and frees all it holds.
    ~RARIvoSession();
    RARIvoSession(const RARIvoSession&) = delete;
    RARIvoSession& operator=(const RARIvoSession&) = delete;

    // Reads the trace level and fixes the process-wide temporary directory.
    void SetUp();

    // Registers an item with the session (its constructor does); the session deletes what is registered.
    void AddToRTITEMList(ZervaRTItem* item);
    // Registers a chunk with the session (its constructor does).
    void AddToRTCHUNKList(ZervaRTChunk* chunk);
    // Takes an item off the session's list (its destructor does); nothing when it is not on it.
    void RemoveFromRTITEMList(ZervaRTItem* item);
    // Takes a chunk off the session's list (its destructor does); nothing when it is not on it.
    void RemoveFromRTCHUNKList(ZervaRTChunk* chunk);

    // Adds one 1 MiB block to the output cache chain the MIME writer uses (nothing when memory is short).
    void CreateCachedStuff();
    // Frees every block of the output cache chain.
    void CleanUpCachedStuff();

    // Creates (or, with overwrite, empties) the design element kind "Form",
    // "Page", "Subform", "Shared Field", "Image Resource" or "File Resource"
    // named name and returns an item connected to its content; null on
    // failure. The item belongs to the session like any other.
    ZervaRTItem* CreateDesignElement(const char* kind, const char* server, const char* path, const char* name,
                                     const char* options);

    // True when the work area was allocated; a session without one refuses work.
    bool IsUsable() const { return workArea != nullptr; }

    static constexpr std::uint32_t kTextResultCapacity = 65342;
    static constexpr std::uint32_t kStatusTextCapacity = 512;
    static constexpr std::uint32_t kMessageCapacity = 4096;
    static constexpr std::uint32_t kOptionValueCapacity = 8192;
    static constexpr std::uint32_t kMessagePrefixCapacity = 16;

    double version = TALIX_VERSION_NUMBER;
    // The last text result of a method (its length first): in the platform's
    // character set with zero bytes for line ends, as every text the library
    // gives (see talix/chunk.h).
    std::uint16_t textResultLength = 0;
    char textResult[kTextResultCapacity + 2] = {};
    char statusText[kStatusTextCapacity] = {};
    char messageBuffer[kMessageCapacity] = {};
    // Its two 4,096-byte halves are the second and third scratch buffers of
    // the operations inside a chunk (the message buffer is the first).
    char optionValue[kOptionValueCapacity] = {};
    char messagePrefix[kMessagePrefixCapacity] = "Talix";
    ZervaRTItem* items = nullptr;
    ZervaRTChunk* chunks = nullptr;
    talix::SessionWorkArea* workArea = nullptr;
};
