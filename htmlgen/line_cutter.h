// Cutting generated markup into lines of about a given length, at places
// where a line break changes nothing a reader sees: before a blank, or at a
// tag beside white space or where the flow breaks anyway, preferably after
// a closing tag; inside a tag only between attributes, never inside an
// attribute value, never inside a word.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "htmlgen/xml_gen_context.h"

namespace talix {

// The bytes of the LMBCS character at p (of available bytes): every byte
// from 0x20 up is one character; below, the platform knows the groups.
std::size_t LmbcsCharBytes(const char* p, std::size_t available);

struct LineCutSettings {
    std::uint16_t maxLineLength = 72;        // characters; not 0
    NewlineMode newlines = NewlineMode::None;
    bool quotedPrintable = false;            // the text is quoted-printable: keep escapes whole, soft breaks
    bool toCallerFile = false;               // CRLF mode writes a line feed alone
};

// Appends the text (LMBCS, length bytes) to out as lines, each followed by
// its line end. state says where the text handed on before left off (a line
// it left open goes on here) and is updated; last ends the line open at the
// end of the text, else it stays open for the next text.
//
// A line ends at the last preferred break point (after the ">" of a closing
// tag, or of a tag followed by a start tag) fewer than maxLineLength
// characters from its start, else at the last ordinary one once the line
// reaches maxLineLength characters. Ordinary break points: before a blank
// outside a tag; before "<" and after ">" where the line end shows as no
// more than white space: the text before or after the tags there is white
// space, a tag among them breaks the flow (a block, a line break, a list
// item or table part), or they are in the head; a picture or control counts
// as text there, as white space beside it shows. So a line end never parts
// or joins words (after the ";" of a character reference a line ends only
// where a blank or "<" follows). Without a break point the line runs on; a
// tag is cut before a blank between two of its attributes only where the
// line would pass 998 characters. An attribute value is never cut. A line
// feed restarts the count. Characters are never split; a blank at a cut
// begins the next line.
//
// Quoted-printable text may be cut anywhere but inside an escape ("=" and
// two hexadecimal digits); every line, its soft break "=" included, has at
// most maxLineLength characters. A line followed by more text ends in a soft
// break; a blank that would end a line becomes "=20" before it, so that the
// decoded text is the text as it was.
void CutIntoLines(const LineCutSettings& settings, const char* text, std::size_t length, bool last,
                  LineCutState* state, std::string* out);

} // namespace talix
