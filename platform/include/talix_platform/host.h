// The host's side of the database-driver interface: the formula functions
// @DbLookup, @DbColumn and @DbCommand call the driver of the class their
// first argument names.
//
// A class that nobody registered is loaded on first use from a program
// library: the library named by notes.ini "DBDriver_<class>" when that is
// set, else "lib<class in lower case>.so" (class "Talix": libtalix.so). A
// class name is made of letters, digits, "_" and "-" only. The library is
// loaded through LibraryLoad (library.h), which takes a name without a
// directory from the libraries the process already holds, then from the
// program directory (the directory of the platform library), then through
// the system's search; a program that links the library itself therefore
// shares its one instance with the host. The host calls the library's
// exported DBDInit with a driver block.
#pragma once

#include "talix_platform/types.h"

namespace plat {

// The driver block the host hands to a driver's DBDInit: 8-byte slots; the
// host fills the module handle, the driver writes its six entry points.
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

// The six entry points of a driver, extern "C" in the driver, each returning
// a 16-bit status. The host calls DBDInit when the driver is registered or
// loaded, DBDOpen once at the driver's first call, then for every call
// DBDSetOpenContext with the path of the database the formula runs in and
// DBDPerformFunction; DBDClose and DBDTerm when the drivers are
// unregistered. Arguments and the result are typed values (data-type word
// first); the host frees the result handle, also after a failure.
using DBDInitProc = STATUS(void* driverBlock);
using DBDTermProc = STATUS(void* reserved);
using DBDOpenProc = STATUS(void* reserved, void** context);
using DBDCloseProc = STATUS(void* reserved, void* context);
using DBDSetOpenContextProc = STATUS(void* reserved, void* context, const char* path, void* reserved2);
using DBDPerformFunctionProc = STATUS(void* reserved, void* context, WORD function, WORD argumentCount,
                                      const DWORD* lengths, const void* const* values, DWORD* resultHandle,
                                      DWORD* resultLength);

using DriverInitProc = DBDInitProc*;

// Registers a driver under a class name (compared ignoring case) by its
// DBDInit, which is called at once. Replaces a driver of that name.
TPLAT_API STATUS RegisterDriver(const char* name, DriverInitProc init, void* module = nullptr);
// Registers a driver from a program library that exports "DBDInit".
TPLAT_API STATUS RegisterDriverLibrary(const char* name, const char* libraryName);
// Calls DBDClose and DBDTerm of every registered or loaded driver, unloads
// the libraries the host loaded and forgets them all.
TPLAT_API void UnregisterDrivers();

} // namespace plat
