// Cutting generated markup into lines of about a given length, at places
// where a line break changes nothing: before a blank or a tag, after a tag
// or an entity, preferably after a closing tag.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "htmlgen/xml_gen_context.h"

namespace talix {

struct LineCutSettings {
    std::uint16_t maxLineLength = 72;        // characters; not 0
    NewlineMode newlines = NewlineMode::None;
    bool quotedPrintable = false;            // the text is quoted-printable: keep escapes whole, soft breaks
    bool toCallerFile = false;               // CRLF mode writes a line feed alone
};

// Appends the text (LMBCS, length bytes) to out as lines, each followed by
// its line end. A line ends at the last preferred break point (after the ">"
// of a closing tag, or of a tag followed by a start tag) fewer than
// maxLineLength characters from its start, else at the last ordinary one
// (before a blank or "<" outside a tag, after ">", after ";" outside a
// tag) once the line reaches maxLineLength characters; without any, after
// the last blank or after maxLineLength characters. A line feed restarts
// the count. Characters are never split; a blank at a cut begins the next
// line. Under quoted-printable a blank at a cut ends the line instead and
// becomes "=20=", an escape is never split, and other lines followed by more
// text that does not begin with a blank end in a soft break "=", so that
// the decoded text is the text as it was.
void CutIntoLines(const LineCutSettings& settings, const char* text, std::size_t length, std::string* out);

} // namespace talix
