// Program libraries (shared objects): loading, looking up entry points,
// unloading. A name ending ".dll" finds the ".so" of the same stem in the
// directory named by notes.ini "LibraryDirectory" (else the data directory,
// else the current directory). A name without a directory is taken from the
// libraries the process already holds, else from the program directory (the
// directory of the platform library), else through the system's search; the
// import filters the platform comes with ("_IGIF", "_IJPEG", "_IPNG" for
// pictures, "_IOTHER" refusing other kinds of file, listed in notes.ini as
// "EDITIMP96" to "EDITIMP99" unless it names them itself) are served by the
// platform when no library file of their name is found.
#pragma once

#include "talix_platform/types.h"

namespace plat {

using ModuleHandle = void*;

// Loads a library and returns its default entry point ("MainEntryPoint")
// when entryPoint is not null.
TPLAT_API STATUS LibraryLoad(const char* name, ModuleHandle* module, void** entryPoint);
TPLAT_API void* LibraryProcedure(ModuleHandle module, const char* procedureName);
TPLAT_API STATUS LibraryUnload(ModuleHandle module);
// The status text of a library's own message table ("LibraryStatusText" in
// the library), falling back to StatusText.
TPLAT_API WORD LibraryStatusText(ModuleHandle module, STATUS status, char* buf, WORD limit);

} // namespace plat
