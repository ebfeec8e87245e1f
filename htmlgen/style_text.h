// Composing style text: formatted pieces appended to a string, lengths in
// twips as inches, and writing a string to the output.
#pragma once

#include <cstdint>
#include <string>

#include "htmlgen/xml_gen_context.h"

namespace talix {

// Appends printf-formatted text.
void AppendFormat(std::string* out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Appends a declaration whose value is a length in twips written in inches
// with two decimals: name, ": ", the value, "in; ".
void AppendInches(std::string* out, const char* name, long twips);

// Appends the text to the output (see AppendOutput).
bool AppendOutput(XMLGenContext* context, const std::string& text);

// Puts text at the write position without moving it: a start tag that a
// later step may still change or cancel.
void PutWaiting(XMLGenContext* context, const char* text);

// Removes the text from the end of the line buffer's text when it ends
// with it; false when it does not.
bool CutTrailing(XMLGenContext* context, const char* text);

// Cuts the line buffer's text back to the given length (nothing when it is
// not longer) and moves the write position to its end.
void CutOutputTo(XMLGenContext* context, std::uint32_t length);

} // namespace talix
