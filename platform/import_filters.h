// The import filters the platform comes with, served in-process as program
// libraries of their own names: "_IGIF", "_IJPEG" and "_IPNG" turn pictures
// into record files, "_IOTHER" stands for the filters of the other kinds of
// file that notes.ini lists by default and refuses them. notes.ini lists
// them as its last import entries ("EDITIMP96" to "EDITIMP99") unless it
// gives those names values of its own.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "talix_platform/types.h"

namespace plat {

// A filter library served by the platform: its entry point and its status
// texts, with the ABI of a program library's "MainEntryPoint" and
// "LibraryStatusText".
struct BuiltInLibrary {
    const char* name;   // the library's name without directory or extension
    STATUS (*entry)(void* request, WORD command, void* module, const void* parameter, const char* source);
    WORD (*statusText)(WORD status, char* buf, WORD limit);
};

// The built-in library a library name (with or without a directory and a
// ".dll" or ".so" extension, ignoring case) stands for, or null.
const BuiltInLibrary* FindBuiltInLibrary(const char* name);
// Whether a module handle is one of the built-in libraries.
bool IsBuiltInLibrary(const void* module);

// The notes.ini entries of the built-in filters, as (name, value).
const std::vector<std::pair<std::string, std::string>>& DefaultImportEntries();

} // namespace plat
