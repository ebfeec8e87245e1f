// Export filters named in notes.ini, the raw export of an item with the
// note's font table, and the event procedures of a caller's program library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/statuses.h"

class RARIvoSession;
class ZervaRTItem;
class ZervaRTChunk;

namespace talix {

// The request block a filter library's entry point is handed with command 3:
// the output file name in its first 100 bytes, then a mark word, then the
// library handle.
constexpr std::uint16_t kFilterCommand = 3;
constexpr std::size_t kFilterRequestNameSize = 100;
constexpr std::uint32_t kFilterRequestMark = 0x0A000001;
struct FilterRequest {
    char name[kFilterRequestNameSize] = {};
    std::uint32_t mark = kFilterRequestMark;
    void* module = nullptr;
};
static_assert(offsetof(FilterRequest, mark) == kFilterRequestNameSize);
using FilterEntryPoint = std::uint16_t (*)(void* request, std::uint16_t command, void* module,
                                           const void* parameter, const char* source);

// Finds the filter that serves an extension among the notes.ini entries
// "EDITIMP1".."EDITIMP99" (import) or "EDITEXP1".."EDITEXP99" (export). An
// entry is a comma-separated text with at least four commas that contains
// the extension (ignoring case); its third field is the library name and its
// fourth the filter's display name, both copied (cut to their sizes) into
// the out texts. With isExtension 0 the extension is the part of fileName
// from its last "." on, and that part is upper-cased in fileName itself;
// pass a copy when the name must stay as it is. Returns 1 when an entry was
// found, 0 otherwise (no "." in the name, no serving entry).
int FindEditFilter(RARIvoSession* session, char* fileName, char* libraryName, std::size_t librarySize,
                   char* filterName, std::size_t filterSize, int import, int isExtension);

// Runs an export filter: loads the library, hands it a request block holding
// name (the proposed output file name, at most 99 bytes), the filter
// parameter fileName and exportData (the file the filter reads, normally the
// raw record file written by ExportItemWithFonts), and unloads it. On success
// the output name the filter settled on is copied (cut to outNameSize) into
// outName and 0 is returned. A library that does not load returns its
// status; a filter failure is shown through the host's message procedure as
// "TALIX: " and the library's own text for the status, and returned; a name
// too long for the request block gives 1028.
STATUS ExportThroughFilter(RARIvoSession* session, const char* exportData, const char* libraryName,
                           const char* fileName, char* outName, std::size_t outNameSize,
                           const char* name);

// Writes the item's raw records with the note's font table to a file: the
// word 1, the value of "$Fonts" without its type word (when the note has
// one), then the value of every item of the item's name without its type
// word, in order, back to back. Returns 0; 1028 for an item without a note
// or name or an empty path; 257 when the file cannot be written, "$Fonts" is
// not rich text, or an item of the name is not rich text (then the item's
// own error is 20029); or a platform status. On failure no file is left.
STATUS ExportItemWithFonts(ZervaRTItem* item, const char* filePath);

// Looks up an event procedure in a loaded program library and stores it
// with the chunk: kind "ActOnText" or "QueryLinkData" (ignoring case), the
// procedure named procedureName or, when it is null or empty, the one named
// like the kind. A procedure that is not found leaves a null callback. A
// chunk without a work state, a null module or an empty kind change
// nothing; other kinds are ignored.
void SetChunkCallbacks(ZervaRTChunk* chunk, void* module, const char* kind, const char* procedureName);

} // namespace talix
