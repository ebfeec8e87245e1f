// Small helpers the chunk methods share: measuring texts, turning a
// character count into bytes, compiling a formula and placing bytes in the
// session's text result, where the engine and the builders read them.
#pragma once

#include <cstdint>

#include "core/statuses.h"

class RARIvoSession;

namespace talix {

// The byte length of a zero-terminated text, at most 65,535.
std::uint16_t TextLength16(const char* text);

// The byte length of the first count characters of text (count 0: the
// whole text), in the platform's character set; the text's byte length
// when the measure gives nothing.
std::uint16_t CharactersToBytes(const char* text, std::uint16_t count);

// A compiled formula in a platform memory handle, unlocked and freed with
// the object.
struct CompiledFormula {
    std::uint32_t handle = 0;
    const void* bytes = nullptr;
    std::uint16_t length = 0;
    CompiledFormula() = default;
    CompiledFormula(const CompiledFormula&) = delete;
    CompiledFormula& operator=(const CompiledFormula&) = delete;
    ~CompiledFormula();
};

// Compiles length bytes of formula text. Returns 0 (with *compiled locked
// and its length above 0), the platform's failure, or 1028 for a formula
// that compiles to nothing.
STATUS CompileFormula(const char* text, std::uint16_t length, CompiledFormula* compiled);

// Copies length bytes to the session's text result at offset, terminates
// them and sets the result's length word to offset + length. False, with
// the result emptied, when they do not fit.
bool PutInTextResult(RARIvoSession* session, std::uint32_t offset, const void* bytes, std::uint32_t length);

// Empties the session's text result (its text and its length).
void EmptyTextResult(RARIvoSession* session);

// "Talix: " and the platform's text for status, in the session's error
// text and passed to the host's message procedure.
void ReportPlatformStatus(RARIvoSession* session, STATUS status);

} // namespace talix
