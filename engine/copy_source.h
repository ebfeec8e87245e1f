// Copying rich text from elsewhere into the item an operation run builds:
// a chunk of another item (2356), a whole item of another note (2357), the
// body of a subform, form or page (2358, 2808, 2809), the item of a matched
// note (2386), an image resource made inline (2424), a row of the chunk's
// table (2355) and the rows of a table in a new order (2396).
// AppendSourceRichText finds and reads the source and walks its records;
// CopySourceRecords decides for each record what is written: the record as
// it is, a changed copy, a replacement, or nothing. Everything written goes
// through the append gate.
#pragma once

#include <cstdint>

#include "builders/record_output.h"
#include "core/statuses.h"
#include "talix_platform/types.h"

class ZervaRTChunk;

namespace talix {

struct BuildContext;
struct RecordProcessContext;
struct CopyWork;
struct CDRecordNode;

// What the caller of AppendSourceRichText sets in the run's context before
// the copy (zero in a fresh context).
struct CopyInputs {
    // The records of the source to copy, by 1-based index; 0 and 0 copy all.
    // Operations 2355, 2356 and 2396 set the range themselves.
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    // The note of the matched document (2386); the item is the argument text.
    plat::DBHANDLE sourceDatabase = 0;
    plat::NOTEHANDLE sourceNote = 0;
    // The design element (2358, 2808, 2809, 2424) or the matched note's item
    // (2386) when set; else the run's argument text names it.
    const char* sourceName = nullptr;
    // The options of an image resource made inline (2424): "ImageWidth=",
    // "ImageHeight=", "WrapText=".
    const char* makeInlineOptions = nullptr;
    // The node of the run's own records at position first, when the caller
    // knows it: the copy starts there instead of walking up to it.
    CDRecordNode* firstNode = nullptr;
};

// What the row operations keep within one run (engine/exec_rows.cpp): the
// first table met inside the chunk, the column of the last cell walked, and
// the once-per-run steps of the row append and the reorder.
struct RowRunState {
    std::uint32_t tableKnown = 0;       // the first table inside the chunk was met
    std::int32_t tableLevel = 0;        // its table level
    std::uint32_t tableDone = 0;        // and it has ended
    std::uint16_t column = 0;           // column of the last cell of that table (or of any cell, for 2)
    std::uint16_t row = 0;              // row of that cell
    std::uint32_t extensionSeen = 0;    // 2355: the table's extension record was passed
    std::uint32_t rowsWritten = 0;      // 2355, 2396: the rows are copied
};

// Copies the source of the run's operation into the output at the point the
// walk has reached, and restores the walk's record counter and current node
// afterwards. paragraphIdBase 0 keeps the source's paragraph-definition ids;
// otherwise every copied id is renumbered above it (base + 1 + old id),
// except that a definition equal to one of the target reuses that one's id.
// Returns 0, 1028 for a null chunk, an operation without a source or a
// source chunk that was not located (2356), the
// status of a failing source look-up (nothing is copied then), 257 with the
// output's error word 20017 for a row with a row-spanned cell (2355), or
// the first failing append.
STATUS AppendSourceRichText(ZervaRTChunk* chunk, RecordProcessContext* context,
                            std::uint16_t paragraphIdBase);

// A graphic made inline (what a run hands the builders as their
// appendImageResourceInline, builders/build_context.h): copies the records of the named image resource
// with the given options ("ImageWidth=", "ImageHeight=", "WrapText=") at the
// point the walk has reached, as AppendSourceRichText does. context is the
// builders' view of an engine run, whose context it is. Returns as
// AppendSourceRichText does.
STATUS AppendImageResourceInline(BuildContext* context, const char* resourceName, const char* options);

// Writes one source record of a running copy (its node is the copy's
// current node). Returns 0 (written, changed, replaced or skipped), 546 when
// the record lies past the end of the source range, or a failure.
STATUS CopySourceRecords(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                         RecordProcessContext* context);

// Operation 37, the prologue of the copies: the highest paragraph-definition
// id of the chunk's item (50 when it has none) goes to the session's copy
// request (paragraphIdBase), where the copying operations take it from.
// Nothing else changes. Returns 0, or the failure of reading the item.
STATUS FindCopyParagraphIdBase(ZervaRTChunk* chunk);

// A Notes link held as an index into the source note's link table ("$Links",
// else "$FormLinks"; formLinksOnly: "$FormLinks" alone, for design notes)
// written as a self-contained link in place of the indexed one: a link
// record (0xFF91) becomes 0xFF92 with the 40-byte link after its header; a
// resource reference (0xFF5A, 0xFF78, 0xFF71, 0xFFF6) of type 2 without its
// inline flag gets the flag and the link in place of its 2-byte index.
// *handled is set when the record is such a link: it was then appended in
// its inline form, or dropped with the host message "TALIX: Broken $Links
// reference" when its index lies outside the table (status 0). Any other
// record is left to the caller (*handled clear). Returns 0, a failing
// append, or 263 after "TALIX: Memory allocation error" (the output's error
// word becomes 20024).
STATUS AppendInlineLink(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                        plat::NOTEHANDLE sourceNote, bool formLinksOnly, RecordOutput* output,
                        bool* handled);

} // namespace talix
