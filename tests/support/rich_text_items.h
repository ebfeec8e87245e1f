// The rich-text items of exported notes, for the tests that run over real
// data: DXL files imported into a database of the test's own, and the
// names of the rich-text items of its notes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "talix_platform/types.h"

namespace talix_test {

// A rich-text item: its note and its name.
using NoteItem = std::pair<plat::NOTEID, std::string>;

// The names of the rich-text items of an open note, each once, sorted.
std::vector<std::string> RichTextItemNames(plat::NOTEHANDLE note);

// Creates a database at path, imports the files into it (what an import
// refuses is passed over; the importer's own tests judge that) and lists
// the rich-text items of every note, note by note; "$ImageData" items are
// left out unless withImageData. The database is closed again. Returns 0
// or the failure to create the database.
plat::STATUS ImportRichTextItems(const std::string& path, const std::vector<std::filesystem::path>& files,
                                 bool withImageData, std::vector<NoteItem>* items);

} // namespace talix_test
