// Composing style text: formatted pieces appended to a string, lengths in
// twips as inches, and writing a string to the output.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "htmlgen/xml_gen_context.h"

namespace talix {

// Appends printf-formatted text.
void AppendFormat(std::string* out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Appends a declaration whose value is a length in twips written in inches
// with two decimals: name, ": ", the value, "in; ".
void AppendInches(std::string* out, const char* name, long twips);

// Appends a font-family value: the families of the list (separated by
// commas; a family may be quoted), each as it stands when it is a run of
// CSS identifiers (letters, digits, "-", "_", characters past ASCII, blanks
// between), else as a CSS string in apostrophes in which every character
// that could end it, the declaration, the rule or the markup around it
// ("'", quote, backslash, line ends, ";", "{", "}", "<", ">", "&") is an
// escape ("\3b "). Whatever a face name holds, it stays one value of one
// declaration.
void AppendFontFamilies(std::string* out, std::string_view families);

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
