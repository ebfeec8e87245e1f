// HTML that rich text carries to reach the output untouched: the stretch
// between an HTML-begin and an HTML-end record is copied without encoding;
// and, before a generation, text that authors typed between "[<" and ">]"
// is turned into such stretches, with marker texts around it.
#pragma once

#include <cstdint>

#include "core/record_list.h"
#include "core/statuses.h"
#include "htmlgen/xml_gen_context.h"

class RARIvoSession;

namespace talix {

// Copies the text records after the HTML-begin record at the context's
// current node, unencoded (a zero byte as a line end), up to the HTML-end
// record or the range's end, where it leaves the current node; a paragraph
// record adds a line end with NewlineOnParagraph. With OutputToEvent the
// text is handed on as it grows. Returns 0, or the status of a hand-on that
// failed (the output's overflow mark is set when text does not fit).
STATUS WriteXMLPassthru(XMLGenContext* context, int unused);

// What MarkDelimitedHTML changed in a record list, so that it can be put
// back once the generation is done: the list is the item's own, which a
// later save would otherwise write with the markers in it.
struct DelimitedMarks;

// Marks the list: a text record of exactly "[<" gets an HTML-begin record
// before it and becomes the start marker (default "<!--DelimitedStart-->")
// followed by "<"; inside such a stretch a text record of exactly ">]"
// becomes ">" and the end marker (default "<!--DelimitedEnd-->") with an
// HTML-end record after it; a stretch still open at the list's end is
// closed by an HTML-end record there. A bracket record shares the number
// of the record it stands next to. A marker longer than 55 bytes is
// refused for the default. Each change is complete before the next begins;
// a node that cannot be allocated ends the marking. Returns 0; *marks
// (may be null) receives what to undo, or null when nothing changed.
STATUS MarkDelimitedHTML(RARIvoSession* session, ItemRecordList* list, const char* startMarker,
                                   const char* endMarker, DelimitedMarks** marks);

// Puts the list back as it was before MarkDelimitedHTML and releases the
// record of the changes.
void UnmarkDelimitedHTML(ItemRecordList* list, DelimitedMarks* marks);
// Releases the record of the changes of a list that is gone.
void DropDelimitedMarks(DelimitedMarks* marks);

} // namespace talix
