// The append gate: the one way into the item an operation run writes. Every
// record that is built, copied or kept on its way into the item passes
// AppendRecordToItem once, which turns it into a node at the end of the
// item's output record list, numbers paragraph definitions, merges repeated
// paragraph references, drops records the item must not hold and checks the
// structure of tables, layout regions and file hotspots as the body grows.
// Builders hand their records to the record output (AppendRecord,
// builders/record_output.h), which passes them here unless a collector
// has taken the output over; the collector's owner hands what it collected
// to the gate afterwards.
//
// The output record list is the only output: what the gate adds of its own
// (the paragraph before a table, a paragraph definition put back before its
// first reference) becomes a node like every other record. The segment
// buffers only count the bytes of the records appended to them.
#pragma once

#include <cstdint>

#include "builders/record_output.h"
#include "core/record_list.h"
#include "core/statuses.h"

namespace talix {

struct SessionWorkArea;

// The most pending paragraph definitions a session holds.
constexpr std::uint16_t kPendingParagraphLimit = 1000;

// Appends one record given in host form to the item, whether or not a
// collector is set on the output. A record of odd length may be
// handed over one zero byte longer while its own length field keeps the odd
// length; otherwise the record's length field is made to agree with the
// length given. The caller's bytes are never changed.
// Returns 0 (appended, or dropped by a rule of the gate), 1027 after a
// structure error (the output's error word becomes 20025 and the message
// goes to the host's message callback; nothing is appended), 263 when memory
// runs out, 1028 for a null output or record, an output without its
// session or item, or a record shorter than its header (or a byte-form
// record longer than 255 bytes), 257 for a record longer than an output
// segment holds, or the status of the segment switch.
STATUS AppendRecordToItem(const void* record, std::uint16_t signature, std::uint32_t length,
                          RecordOutput* output);

// Appends a copy of a node of a record list read from an item, as
// AppendRecord does; when it goes to the item, the new node keeps the pad
// byte the record was stored with, so that a record kept unchanged is
// written back byte for byte.
STATUS AppendRecordNode(const CDRecordNode* node, RecordOutput* output);

// Whether an empty text run appended now would be dropped: the item being
// written already ends in one (a text bracket opened since does not
// count). A writer that would wrap such a run in a bracket of its own
// leaves the bracket out too, or the bracket would be left holding no text.
bool DropsEmptyText(const RecordOutput* output);

// Takes back the item's opening paragraph while it holds nothing: its
// reference and the empty text runs after it, when only paragraph
// definitions come before them in the output. An HTML import whose first
// block restarts the body calls it before that block's own reference: the
// two references would otherwise stand for two paragraphs, the first an
// empty line the document never had. The definitions stay (a later
// reference may name them). Does nothing to an output holding anything else.
void DropEmptyOpeningParagraph(RecordOutput* output);

// The id the gate gives the next paragraph definition that comes without
// one: one above the highest id of the item being written and above the
// last id given. Does not use the id up.
std::uint16_t NextParagraphId(RecordOutput* output);

// The first paragraph definition of a cell of a table's first row is
// remembered for the cell's column (with the cell's bounds as its margins),
// as the gate does for the definitions that pass it; an operation that takes
// such a definition out of the item keeps it remembered this way. Does
// nothing at any other point of the output.
void RememberColumnDefinition(RecordOutput* output, const std::uint8_t* definition, std::uint32_t length);

// The session's pending paragraph definitions: definitions an operation took
// out of use, put back by the gate before the first paragraph reference that
// names their id (a definition with that id passing the gate removes it).
// Saves a copy of a definition (at most 92 bytes; its length field is made
// to agree with the bytes kept). Returns 0, 263, or 1028 when the session
// already holds kPendingParagraphLimit definitions or the definition is
// shorter than its header.
STATUS SavePendingParagraph(SessionWorkArea* work, const std::uint8_t* definition,
                            std::uint32_t length);
// Frees the pending paragraph definitions; the count becomes 0.
void FreePendingParagraphs(SessionWorkArea* work);

} // namespace talix
