// The small records the writers keep ready to append, written in host form:
// a paragraph, a reference to a paragraph definition and the header of a
// text run (an item's text template is one, with no text); and the header
// of any record, in the form its signature calls for.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/font_spec.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signatures.h"

namespace talix {

// A record's header in host form: the signature (one byte for byte-form
// signatures, a word otherwise) and the length where the signature's form
// keeps it. The record must hold the whole header.
inline void WriteRecordHeader(std::uint8_t* out, std::uint16_t signature, std::uint32_t length) {
    const HeaderForm form = LengthFieldForm(signature);
    if (form == HeaderForm::Byte) out[0] = static_cast<std::uint8_t>(signature);
    else WriteWord(out, signature);
    SetLengthFieldOf(out, form, length);
}

// A paragraph record (kParagraphLength bytes).
inline void WriteParagraphRecord(std::uint8_t* out) {
    out[0] = static_cast<std::uint8_t>(kSigParagraph);
    out[1] = static_cast<std::uint8_t>(kParagraphLength);
}

// A reference to the paragraph definition of an id (kParagraphReferenceLength
// bytes).
inline void WriteParagraphReference(std::uint8_t* out, std::uint16_t id) {
    out[0] = static_cast<std::uint8_t>(kSigPabReference);
    out[1] = static_cast<std::uint8_t>(kParagraphReferenceLength);
    WriteWord(out + 2, id);
}

// The header of a text run (kTextRunHeader bytes): its signature (kSigText
// or kSigBidiText), its length with the text and its font.
inline void WriteTextRunHeader(std::uint8_t* out, std::uint16_t signature, std::uint32_t length, const FontId& font) {
    WriteWord(out, signature);
    WriteWord(out + 2, static_cast<std::uint16_t>(length));
    WriteFontId(out + 4, font);
}

// An item's text template taken from a text run: the run's header with the
// length of a run without text.
inline void TakeTextTemplate(std::uint8_t* textTemplate, const std::uint8_t* run) {
    std::memcpy(textTemplate, run, kTextRunHeader);
    WriteWord(textTemplate + 2, static_cast<std::uint16_t>(kTextRunHeader));
}

} // namespace talix
