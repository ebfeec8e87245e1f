// The line buffer of a generation: appending markup at the write position,
// and the flush sequence that measures the text, encodes it as
// quoted-printable, cuts it into lines and hands it to its destination:
// the caller's open file, a numbered part file in the temporary directory,
// the caller's ActOnText procedure, or nowhere (the text stays in memory).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/statuses.h"
#include "htmlgen/xml_gen_context.h"

namespace talix {

// Whether the write position is at the text's end, as it mostly is. The
// length and the move to the end below are asked before each record, run
// and tag: that case is answered in place, the rest out of line.
inline bool AtTextEnd(const XMLGenContext* context) {
    return context != nullptr && context->buffer != nullptr &&
           static_cast<std::size_t>(context->writePosition - context->buffer) < context->capacity &&
           *context->writePosition == '\0';
}
std::uint32_t MeasureTextLength(const XMLGenContext* context);
void SeekTextEnd(XMLGenContext* context);

// The length of the text in the line buffer: from its start to the first
// zero byte at or after the write position (line separators of the NL
// newline mode may lie before it).
inline std::uint32_t TextLength(const XMLGenContext* context) {
    return AtTextEnd(context) ? static_cast<std::uint32_t>(context->writePosition - context->buffer)
                              : MeasureTextLength(context);
}
// Moves the write position to the end of the text at it.
inline void MoveToTextEnd(XMLGenContext* context) {
    if (!AtTextEnd(context)) SeekTextEnd(context);
}

// Appends length bytes at the end of the text and moves the write position
// past them; the text stays zero-terminated. When they do not fit before the
// buffer's last byte nothing is written, the context's overflow mark is set
// and false returned: the run then ends with 263.
bool AppendOutputAtEnd(XMLGenContext* context, const char* text, std::size_t length);
// Copies a few bytes (at most 16) in two fixed moves that may overlap: a
// general copy of a few bytes costs more than the bytes.
inline void CopyShort(char* out, const char* text, std::size_t length) {
    if (length >= 8) {
        std::memcpy(out, text, 8);
        std::memcpy(out + length - 8, text + length - 8, 8);
    } else if (length >= 4) {
        std::memcpy(out, text, 4);
        std::memcpy(out + length - 4, text + length - 4, 4);
    } else {
        for (std::size_t k = 0; k < length; ++k) out[k] = text[k];
    }
}
// The same for at most 64 bytes (a tag, a font's markup).
inline void CopyFew(char* out, const char* text, std::size_t length) {
    if (length > 32) {
        std::memcpy(out, text, 32);
        std::memcpy(out + length - 32, text + length - 32, 32);
    } else if (length > 16) {
        std::memcpy(out, text, 16);
        std::memcpy(out + length - 16, text + length - 16, 16);
    } else {
        CopyShort(out, text, length);
    }
}
constexpr std::size_t kFewBytes = 64;

// The same; a write position at the text's end with room for the bytes, as
// it mostly is, is answered in place (a literal's bytes, and a few bytes of
// any length, then copied without a call), the rest out of line.
inline bool AppendOutput(XMLGenContext* context, const char* text, std::size_t length) {
    if (context != nullptr && context->buffer != nullptr) {
        char* const at = context->writePosition;
        const auto used = static_cast<std::size_t>(at - context->buffer);
        if (used < context->capacity && *at == '\0' && length < context->capacity - used) {
            if (length <= kFewBytes) {
                CopyFew(at, text, length);
            } else {
                std::memcpy(at, text, length);
            }
            at[length] = '\0';
            context->writePosition = at + length;
            context->measuredLength = 0;
            return true;
        }
    }
    return AppendOutputAtEnd(context, text, length);
}
// A zero-terminated text (null: nothing); in place, so that the length of a
// literal is known when compiled.
inline bool AppendOutput(XMLGenContext* context, const char* text) {
    return AppendOutput(context, text, text != nullptr ? std::strlen(text) : 0);
}
// The value of an option keyword appended as it stands (unencoded); false
// when the keyword is absent. A value that does not fit sets the overflow
// mark.
bool AppendOptionValue(XMLGenContext* context, const char* key);
// Empties the buffer: the write position at its start, a terminator there;
// a caller's buffer is zeroed over its capacity.
void ClearLineBuffer(XMLGenContext* context);
// To be called before a writer takes back text by a zero byte alone (the
// bytes after it stay): they are zeroed when the buffer is emptied.
inline void NoteTextCut(XMLGenContext* context) {
    const std::uint32_t end = TextLength(context) + 1;
    if (end > context->dirtyEnd) context->dirtyEnd = end < context->capacity ? end : context->capacity;
}
// To be called when a write that did not fit may have left bytes anywhere
// past the text.
inline void NoteBufferSpoilt(XMLGenContext* context) { context->dirtyEnd = context->capacity; }

// Stores the byte length of the text as the measured length. Returns 0.
STATUS MeasureXMLLineBuffer(XMLGenContext* context, int final);
// Encodes as quoted-printable the text not encoded yet: every character
// outside ASCII as the bytes of its form in the output character set
// (UTF-8 unless CharsetNum= or Charset= names another), "=", 0x7F and
// control bytes other than tab, each as "=" and two upper-case hexadecimal
// digits; a zero byte (a line separator) as "=0A" into the caller's file,
// "=0D=0A" elsewhere. Returns 0, or 263 when the encoded text would not fit
// the buffer (the buffer then stays as it was).
STATUS EncodeXMLLineBuffer(XMLGenContext* context, int final);
// Makes the caller's buffer of capacity bytes (kept and freed by the
// caller) the run's line buffer, cleared, the text starting at its
// beginning.
void UseCallerBuffer(XMLGenContext* context, char* buffer, std::uint32_t capacity);
// Hands the text on (see the header comment). final: the last flush of a
// run; it opens no part file and raises no event. The caller's file gets
// the text in the output character set; lines that leave (to a file or an
// event) end in a line feed in the NL mode, whose zero bytes separate the
// lines only of text kept in memory. Text written to a
// destination leaves the buffer; text with no destination stays, and a
// buffer without room for more then ends the run (the walk's checks).
// Returns 0, or 263 when the cut lines kept in memory would not fit the
// buffer (nothing is lost: the buffer stays as it was).
STATUS FlushXMLLineBuffer(XMLGenContext* context, int final);
// The flush sequence: measures when Translation is on, encodes under
// quoted-printable, then flushes. Returns the first failure.
STATUS FlushOutput(XMLGenContext* context, int final);

// Whether text is handed to the caller's ActOnText procedure as the
// buffer fills (OutputToEvent with a chunk size).
inline bool EventOutputOn(const XMLGenContext* context) { return context->eventChunkSize != 0; }

} // namespace talix
