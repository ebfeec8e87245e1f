// RARIvoSession: the root object of every piece of work. It owns the items and
// chunks created on it, the shared text buffers, the output cache chain, the
// tracked memory pool and the work area.
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
    RARIvoSession();
    ~RARIvoSession();
    RARIvoSession(const RARIvoSession&) = delete;
    RARIvoSession& operator=(const RARIvoSession&) = delete;

    // Reads the trace level and fixes the process-wide temporary directory.
    void SetUp();

    void AddToRTITEMList(ZervaRTItem* item);
    void AddToRTCHUNKList(ZervaRTChunk* chunk);
    void RemoveFromRTITEMList(ZervaRTItem* item);
    void RemoveFromRTCHUNKList(ZervaRTChunk* chunk);

    // The chain of 1 MiB output cache blocks used by the MIME writer.
    void CreateCachedStuff();
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
