// The one encoder of document text put into markup: LMBCS text becomes
// markup-safe text. The four markup characters become entities, characters
// outside ASCII named entities of HTML 4.01 or numeric references, blanks
// and tabs may become non-breaking spaces, and the text may first be
// evaluated as a formula on the chunk's note.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/statuses.h"
#include "core/surrogate_pairs.h"
#include "htmlgen/encoding_table.h"
#include "htmlgen/xml_gen_context.h"
#include "talix_platform.h"

namespace talix {

// Appends the encoded text at the write position and moves the write
// position to its end. dropLineEnds: carriage returns and line feeds leave
// no trace; allSpacesNonBreaking: every blank becomes "&nbsp;";
// evaluateFormula: the text is a formula whose result is encoded (its own
// text when it does not compile or evaluate). Returns 0, or 263 when the
// encoded text does not fit (nothing of it is written, the run reports 263).
STATUS WriteXMLEncodedText(XMLGenContext* context, const char* text, std::uint16_t length,
                           int dropLineEnds, int allSpacesNonBreaking, int evaluateFormula);

// The same for a value whose characters are read back as they stand (the
// code of an event, a name that links point to): blanks are written as
// they are and tabs as "&#9;", whatever PreserveSpaces and PreserveTabs
// say, so that no blank of it turns into another character.
STATUS WriteXMLEncodedValue(XMLGenContext* context, const char* text, std::uint16_t length, int dropLineEnds);

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

// The bytes of the LMBCS character whose first byte is the index, as the
// platform measures it (its length depends on that byte alone): a table
// made once.
inline const std::uint8_t* LmbcsLengths() {
    static const auto lengths = [] {
        std::array<std::uint8_t, 256> table{};
        for (unsigned b = 0; b < 256; ++b) {
            const plat::BYTE probe[4] = {static_cast<plat::BYTE>(b), 0, 0, 0};
            table[b] = static_cast<std::uint8_t>(plat::LmbcsCharLength(probe, 4));
        }
        return table;
    }();
    return lengths.data();
}
inline std::uint16_t LmbcsLengthOf(std::uint8_t first) { return LmbcsLengths()[first]; }
// The bytes of the character at text[i], never past the text's end: one
// from 0x20 up, else its LMBCS length, so that no later byte of a character
// of several is taken for a mark (a comma, quote or "&") of its own.
inline std::size_t CharacterBytesAt(std::string_view text, std::size_t i) {
    const auto b = static_cast<std::uint8_t>(text[i]);
    if (b >= 0x20) return 1;
    const std::size_t n = LmbcsLengthOf(b) == 0 ? 1 : LmbcsLengthOf(b);
    return n < text.size() - i ? n : text.size() - i;
}

// Whether an XML document may hold a code point: not the C0 controls but
// tab and the line ends, nor surrogates, U+FFFE and U+FFFF.
inline bool XmlAllows(std::uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// The LMBCS text as it stands but for the characters an XML document may not
// hold, and a last character the text's end cuts short, which leave nothing:
// for a comment or a CDATA section, which cannot refer to a character, and
// for record texts written into markup as they stand.
std::string KeptInXml(std::string_view text);

// The table of what characters were written as under the context's
// switches (xmlEntities: UseXMLEntities), made on first need; null when
// memory runs out.
EncodingTable* EncodingsFor(XMLGenContext* context, bool xmlEntities);

// Unloads the translation tables the encoder loaded for the run and drops
// what it kept of the characters it wrote.
void ReleaseEncoderTables(XMLGenContext* context);

} // namespace talix
