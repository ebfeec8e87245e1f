// The HTML attributes that rich text stores for a table, cell, layer,
// hotspot or image (an id/name record), written as attributes of the element
// being opened; and text-list values joined into one text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/statuses.h"
#include "htmlgen/xml_gen_context.h"

namespace talix {

// Appends at the end of the text: for each non-empty text of the record
// among id, name, class, style and title, ` id="..."` and so on, the text
// entity-encoded without line ends; then the record's extra attributes. With
// an extra text prepared by the caller (changed in place) or, when
// AutoQuoteHTMLParams is off, a copy of the record's, the keys Caption=,
// TalixDataTable=, TalixTH=, TalixTHEAD=, TalixTBODY=, TalixTFOOT= and src=
// are removed and the rest written after a blank. With AutoQuoteHTMLParams
// on the record's extra text is written with its unquoted values quoted; in
// XHTML every extra text is written quoted so. The extra text never ends the
// start tag (extra_attributes.h); in XHTML an attribute of it that the start
// tag already has, or that later (lower-case names) says the caller writes
// after it, is left out, so that each name stands once.
// record: the id/name record in host form, length bytes. Returns 0, 263 when
// a work block cannot be had (what comes before the extra text is written)
// or the output does not fit, 1028 for a record shorter than its fixed part.
STATUS WriteIDNameAttributes(const std::uint8_t* record, std::uint32_t length, XMLGenContext* context,
                             char* extraText, const std::vector<std::string>& later = {});

// The record's style text into *style, and a copy of the record without
// it: a writer that writes a style attribute of its own takes the stored
// style into that one (a start tag holds one style attribute) and writes
// the record's other attributes from the copy. A record too short for its
// texts comes back whole, with no style.
std::vector<std::uint8_t> TakeIDNameStyle(const std::uint8_t* record, std::uint32_t length, std::string* style);
// Appends a stored style text inside the style attribute being written:
// entity-encoded, without line ends, its last declaration ended by ";" and
// a blank.
void WriteStoredStyle(XMLGenContext* context, const std::string& style);

// Other attributes with every value in quotes (an unquoted one in double
// quotes up to the next white space, its quote characters as "&quot;"; one
// never closed closed), "<" and ">" as entities: HtmlQuotedAttributes.
std::string AutoQuoteAttributes(std::string_view text);

// Joins the entries of a text-list value (a 16-bit entry count, the 16-bit
// entry lengths, the entries; listSize bytes) with the separator into output
// (capacity bytes with the terminator). Returns the length of the joined
// text. An entry that cannot be read ends the join with the platform's
// status, masked with 0x3fff, as the result; output then holds what was
// joined so far. A list damaged beyond its size gives 1028, a joined text
// that does not fit 263 (output holds the entries that fit). *status (may
// be null) receives 0 or the failure, so that a failure is never taken for
// a length.
std::uint32_t JoinTextList(const void* list, std::uint32_t listSize, char* output,
                           std::uint32_t capacity, const char* separator, STATUS* status = nullptr);

} // namespace talix
