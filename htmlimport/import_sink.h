// The record sink of an HTML import and the import's entry points. The
// entry points fail with 257 (nothing converted, nothing appended) until the
// HTML import is built.
#pragma once

#include <cstdint>

#include "builders/html_import_context.h"
#include "core/record_list.h"
#include "core/statuses.h"

namespace talix {

struct BuildContext;
struct RecordProcessContext;

// Links a new node holding its own copy of the record (one zero byte more
// when the length is odd) into the import's record list: after the
// insertion cursor, which then moves onto it, or at the end of the list.
// Returns 0, 263 when memory runs out (the list is unchanged), or 1028 for
// a null context or record.
STATUS AddImportRecord(const void* record, std::uint16_t signature, std::uint32_t length,
                       HTMLImportContext* import);

// Frees every node of the import's record list with the bytes it owns and
// empties the list.
void FreeImportRecords(HTMLImportContext* import);

// Converts an HTML file, HTML text or the HTML held in the text records of
// a record list into records appended through the context's record output.
STATUS ImportHTMLFile(const char* filePath, const char* options, RecordProcessContext* context);
STATUS ImportHTMLText(const char* text, std::uint32_t length, const char* options, RecordProcessContext* context,
                      HTMLImportContext* import, std::uint16_t mode);
STATUS ImportHTMLFromItem(ItemRecordList* source, void* auxiliary, const char* options,
                          RecordProcessContext* context);
// Writes the text of an import's text node as text runs in the fonts its
// HTML ancestry gives.
STATUS CalcFontFromHTML(BuildContext* context, HTMLImportContext* import, void* textNode);

} // namespace talix
