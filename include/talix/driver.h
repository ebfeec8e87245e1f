// The database-driver entry points through which the host's formula language
// (@DbLookup, @DbColumn, @DbCommand naming the driver class "Talix") reaches
// the library. The host loads the library, calls DBDInit with its driver
// block and from then on calls the entry points that DBDInit wrote into it.
// Every entry point returns a 16-bit status, 0 for success.
//
// The function types below are also declared by the host's side
// (talix_platform/host.h); the driver's sources check that both agree.
#pragma once

#include <cstdint>

#include "talix/export.h"

extern "C" {

// Writes the six entry points into the driver block (8-byte slots at
// offsets 16 to 56; offset 8 holds the library's module handle) and makes
// the one driver context of the process. Returns 0, or 12583 when memory is
// short.
typedef std::uint16_t DBDInitProc(void* driverBlock);
// Frees the driver context, with the session it still holds, once every
// DBDInit has had its DBDTerm. Returns 0.
typedef std::uint16_t DBDTermProc(void* reserved);
// Gives the driver context to the host (the same on every open). Returns 0,
// or 12572 before DBDInit.
typedef std::uint16_t DBDOpenProc(void* reserved, void** context);
// Ends one open; the context lives on until DBDTerm. Returns 0.
typedef std::uint16_t DBDCloseProc(void* reserved, void* context);
// Records the path ("server!!file" or "file") of the database the formula
// runs in: the database of every call that names none. Returns 0, or 1028
// for a path longer than 511 characters (no path is kept then).
typedef std::uint16_t DBDSetOpenContextProc(void* reserved, void* context, const char* path, void* reserved2);
// Runs one formula call: function 0 @DbLookup, 1 @DbColumn, 2 @DbCommand;
// the arguments are typed values (type word first) of the given byte
// lengths. On return *resultHandle holds the memory handle of the result
// block (0 when there is none; the host frees it) and *resultLength the
// length of the typed result. Returns the status masked with 0x3fff.
typedef std::uint16_t DBDPerformFunctionProc(void* reserved, void* context, std::uint16_t function,
                                             std::uint16_t argumentCount, const std::uint32_t* lengths,
                                             const void* const* values, std::uint32_t* resultHandle,
                                             std::uint32_t* resultLength);

TALIX_API DBDInitProc DBDInit;
TALIX_API DBDTermProc DBDTerm;
TALIX_API DBDOpenProc DBDOpen;
TALIX_API DBDCloseProc DBDClose;
TALIX_API DBDSetOpenContextProc DBDSetOpenContext;
TALIX_API DBDPerformFunctionProc DBDPerformFunction;

} // extern "C"
