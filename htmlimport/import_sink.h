// The HTML import as the rest of the system calls it: the record list that
// collects every record built through the record output while an import
// runs, the hand-on of those records to the item, and the import's entry
// points.
#pragma once

#include <cstdint>

#include "core/record_list.h"
#include "core/statuses.h"
#include "htmlimport/html_import_context.h"

namespace talix {

struct BuildContext;
struct RecordOutput;

// Makes the import the collector of the record output: every record built
// through it goes to the import's record list (AddImportRecord) and none
// passes the append gate. Detaching takes the import off again (nothing
// when another import, or none, is set).
void AttachImport(RecordOutput* output, HTMLImportContext* import);
void DetachImport(RecordOutput* output, const HTMLImportContext* import);

// Links a new node holding its own copy of the record (one zero byte more
// when the length is odd; the node keeps the odd length) into the import's
// record list: after the insertion cursor, which then moves onto it, or at
// the end of the list. Returns 0, 263 when memory runs out (the list is
// unchanged, "Out of memory at <line> in html" is logged, and the context
// keeps 263 as its failure), or 1028 for a null context or record.
STATUS AddImportRecord(const void* record, std::uint16_t signature, std::uint32_t length,
                                 HTMLImportContext* import);

// The two steps of AddImportRecord, for records an import lays out in
// place: a node owning zeroed bytes of the length (one more when it is odd),
// or null when memory runs out (logged, and kept as the context's
// failure); and the linking of a node by the list's rule (after
// the cursor, which moves onto it, else at the end), which also makes it
// the context's lastAdded.
CDRecordNode* NewImportNode(std::uint16_t signature, std::uint32_t length, HTMLImportContext* import);
void LinkImportNode(CDRecordNode* node, HTMLImportContext* import);

// Takes a node out of the import's record list and frees it; a cursor or
// an end of the list resting on it moves to the node before it; a list
// level whose saved definition it was has none.
void RemoveImportRecord(CDRecordNode* node, HTMLImportContext* import);

// Gives a node of the import's record list new bytes (a copy of length
// bytes of record). False, with the node unchanged, when memory runs out.
bool ReplaceImportRecordBytes(CDRecordNode* node, const void* record, std::uint32_t length,
                                        HTMLImportContext* import);

// Frees every node of the import's record list with its bytes (the
// import's record store) and empties the list (no list level keeps a
// definition of it).
void FreeImportRecords(HTMLImportContext* import);

// Hands the import's records to the item, at the end of an import: numbers
// them 1, 2, 3 ... in list order, sets the item's AutoMergeText to 0, detaches
// the import from the record output (whose restart flag becomes the
// import's first-block flag for the first record only), and passes every
// record, in order and padded to an even length, through the append gate,
// then freeing the nodes. Every record is handed on; the first failure of the
// gate is returned (0 when there is none) and kept as the context's
// handOnStatus. The list is empty afterwards.
STATUS HandOnImportRecords(BuildContext* context, HTMLImportContext* import);

// Converts the parsed tree of the import into records and hands them on,
// then releases the tree. The first failure of the conversion (out of
// memory, a record or a conversion that could not be made; a style sheet
// that cannot be read is left out instead) ends it: its records are
// dropped and nothing reaches the item or the note. Returns 2 when the
// parser counted errors (nothing is converted), else that failure, else the
// first failure of the hand-on, else 1 when the parser counted warnings,
// else 0. With the parser keyword "errors" nothing is converted either.
std::uint32_t ConvertHTMLTreeToRichText(const char* parserOptions, BuildContext* context,
                                        HTMLImportContext* import);

// The import entry points. Each makes its import context (or, for the text
// import, takes the caller's), reads its options, parses, converts and
// releases. Results: 0; 257 when the parser counted errors or the tree lost
// its integrity; 259 when there is no input (the run's error word becomes
// 20032); 263 when memory runs out; 14409 when a text holds URL images;
// 14410 for HTML past a bound of the parser's work; 1028 for a path option
// longer than its buffer; any failure of the record gate as it comes.
//
// An HTML file.
STATUS ImportHTMLFile(const char* filePath, const char* options, BuildContext* context);
// HTML text of length bytes (0: a terminated text). Mode 0 imports; mode 1
// only parses into the caller's context (which is emptied first and then
// keeps the tree and the option text until ReleaseImportContext) and
// returns the parse's status.
STATUS ImportHTMLText(const char* text, std::uint32_t length, const char* options,
                      BuildContext* context, HTMLImportContext* import, std::uint16_t mode);
// The HTML held in the text records of a record list; auxiliary is the
// value kept beside the list, which the image conversion reads.
STATUS ImportHTMLFromItem(ItemRecordList* source, void* auxiliary, const char* options,
                          BuildContext* context);
// Writes the text of an import's text node as text runs in the fonts its
// HTML ancestry gives.
STATUS CalcFontFromHTML(BuildContext* context, HTMLImportContext* import, void* textNode);

} // namespace talix
