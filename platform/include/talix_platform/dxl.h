// Import of exported notes (DXL, "binary" form) into a database.
#pragma once

#include <string>
#include <vector>

#include "talix_platform/types.h"

namespace plat {

struct DxlImportResult {
    std::vector<NOTEID> notes;   // note ids created, in import order
    std::vector<std::string> files;   // beside each note: the file (as named) it came from
    std::string error;           // what was wrong, when the import failed
};

// Imports every note of a DXL file: the <note> and <document> elements (one
// as the root, or several inside a <database> element), with their
// <noteinfo> and items. Items keep their names, flags and values byte for
// byte, same-named items apart and in order. The file is imported whole or
// not at all: on failure nothing is stored and result->error says why.
TPLAT_API STATUS DxlImportFile(DBHANDLE db, const char* path, DxlImportResult* result);
// The same for several files at once: the notes of all of them are stored
// together, all or none (a note of a later file with a UNID an earlier one
// also holds replaces it, as a later import would).
TPLAT_API STATUS DxlImportFiles(DBHANDLE db, const std::vector<std::string>& paths, DxlImportResult* result);
// The same for DXL text in memory; name is used in messages.
TPLAT_API STATUS DxlImportText(DBHANDLE db, const char* text, size_t length, const char* name,
                               DxlImportResult* result);

} // namespace plat
