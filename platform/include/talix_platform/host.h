// The host's side of the database-driver interface: drivers registered under
// a name are called by the formula functions @DbLookup, @DbColumn and
// @DbCommand.
#pragma once

#include "talix_platform/types.h"

namespace plat {

// The driver block the host hands to a driver's DBDInit: 8-byte slots; the
// driver writes its six entry points.
struct DriverBlock {
    void* reserved = nullptr;
    void* module = nullptr;
    void* init = nullptr;
    void* term = nullptr;
    void* open = nullptr;
    void* close = nullptr;
    void* setOpenContext = nullptr;
    void* performFunction = nullptr;
};
static_assert(sizeof(DriverBlock) == 64);

using DriverInitProc = STATUS (*)(DriverBlock* block);

// Registers a driver under a name (compared ignoring case) by its DBDInit,
// which is called at once. Replaces a driver of that name.
TPLAT_API STATUS RegisterDriver(const char* name, DriverInitProc init, void* module = nullptr);
// Registers a driver from a program library that exports "DBDInit".
TPLAT_API STATUS RegisterDriverLibrary(const char* name, const char* libraryName);
// Calls DBDTerm of every registered driver and forgets them.
TPLAT_API void UnregisterDrivers();

} // namespace plat
