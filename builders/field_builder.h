// Fields with event code: a field re-emitted from the records an earlier step
// of the same operation saved in the chunk's work state, with a name that is
// not yet used in the note (listed in "$Fields"), its LotusScript events
// (Entering, Exiting) written as the source item "$$<name>" and its
// JavaScript events written as event records.
#pragma once

#include <cstdint>

#include "core/statuses.h"

namespace talix {

struct BuildContext;

// The highest number tried when a field name is made unique.
constexpr std::uint32_t kMaxFieldNameNumber = 9999;
// The most characters of a field name that are used.
constexpr std::uint32_t kMaxFieldNameLength = 63;

// Writes the saved field of the chunk (context->chunk->work->savedFields)
// with the chunk's event texts (context->chunk->work->eventTexts).
//   fieldName: the name to give the field (null or empty: the saved
//     field's own name); at most 63 characters are used.
//   fontText: null keeps the field's font; otherwise the field takes the
//     font of the item's text-run template, with the font specification applied
//     when the text is not empty.
//   wrap: enclose the records in a CDBEGIN/CDEND pair and follow them with
//     an empty text run.
//   mode: "Modify" keeps the field's own name (fieldName is not used then);
//     any other mode gives the field the name, made unique in the note,
//     lists it in "$Fields" and adds an empty item of that name.
// The saved records are consumed: their saved lengths are 0 afterwards (the
// field record's bytes keep its new name).
// Returns 0, or the first failure: the status of the gate or of a note item
// write, 257 for an unrecognised JavaScript event (the other events are
// still written), 1028 when no field record is saved or it is damaged, and
// 257 when no free name is left (nothing appended then).
STATUS AppendEventCode(const char* fieldName, const char* fontText, int wrap, const char* mode,
                       BuildContext* context);

// The event code of a JavaScript event name (compared case-insensitively
// over the table name's length, "OnClick" 1 ... "OnSelect" 21), 0 when none.
std::uint16_t JavaScriptEventCode(const char* name);

// A JavaScript event record (0xFFF9, or 0xFF66 for common code) and its code
// record (0xFFDC, or 0xFF65) for code of the given length. asField: the
// field form (the code terminated, the event's code length counting the
// terminator, fixed word 16000) rather than the hotspot form (the code not
// terminated, fixed word 20000).
STATUS AppendJavaScriptEvent(std::uint16_t eventSignature, std::uint16_t codeSignature, std::uint16_t eventCode,
                             const char* code, std::uint32_t codeLength, bool asField,
                             BuildContext* context);

} // namespace talix
