// The one encoder of document text put into markup: LMBCS text becomes
// markup-safe text. The four markup characters become entities, characters
// outside ASCII named entities of HTML 4.01 or numeric references, blanks
// and tabs may become non-breaking spaces, and the text may first be
// evaluated as a formula on the chunk's note.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/statuses.h"
#include "htmlgen/xml_gen_context.h"

namespace talix {

// Appends the encoded text at the write position and moves the write
// position to its end. dropLineEnds: carriage returns and line feeds leave
// no trace; allSpacesNonBreaking: every blank becomes "&nbsp;";
// evaluateFormula: the text is a formula whose result is encoded (its own
// text when it does not compile or evaluate). Returns 0, or 263 when the
// encoded text does not fit (nothing of it is written, the run reports 263).
STATUS WriteXMLEncodedText(XMLGenContext* context, const char* text, std::uint16_t length,
                           int dropLineEnds, int allSpacesNonBreaking, int evaluateFormula);

// The same, appended to the zero-terminated text in output (capacity bytes
// with the terminator). urlMode: "&" and blanks stay as they are. Returns 0,
// or 263 when the result does not fit (output then unchanged).
STATUS WriteXMLEncodedTextTo(XMLGenContext* context, const char* text, std::uint32_t length, char* output,
                             std::uint32_t capacity, int dropLineEnds, int allSpacesNonBreaking,
                             int evaluateFormula, int urlMode);

// Encodes one character of text (available bytes) that is neither
// printable ASCII nor a tab, as text writers that handle the other
// characters themselves need: its named entity (a control character's
// always, another's unless UseXMLEntities is on), else its numeric
// reference (none, in XHTML, for a code point XML forbids). Writes at most
// room bytes at out (no terminator) and their count to *written. Returns
// the bytes of text it took (its character, or two that make one code
// point), or 0 when the reference does not fit (nothing written).
std::size_t EncodeCharacter(XMLGenContext* context, const char* text, std::size_t available, char* out,
                            std::size_t room, std::size_t* written);

// Unloads the translation tables the encoder loaded for the run.
void ReleaseEncoderTables(XMLGenContext* context);

} // namespace talix
