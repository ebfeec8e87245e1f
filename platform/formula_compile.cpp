// Compiling formula text and giving it back. The compiled form is the
// formula container of formula_codec.h: it keeps the source exactly as it
// was given, so decompiling gives back the compiled text byte for byte, and
// a formula is parsed again when an evaluation context is opened on it.
#include <cstring>

#include "formula_ast.h"
#include "formula_codec.h"
#include "formula_eval.h"
#include "status_codes.h"
#include "talix_platform/formula.h"
#include "talix_platform/memory.h"

namespace plat {

namespace formula {

namespace {

thread_local std::string lastError;

constexpr size_t kContainerHeader = 6;

// A new memory block holding bytes (plus a terminating zero when asked).
STATUS CopyToBlock(const std::string& bytes, bool terminate, DHANDLE* block) {
    STATUS status = MemAlloc(static_cast<DWORD>(bytes.size() + (terminate ? 1 : 0)), MEM_GROWABLE, block);
    if (status != NOERROR) return status;
    auto* data = static_cast<char*>(MemLock(*block));
    if (data == nullptr) {
        MemFree(*block);
        *block = NULLHANDLE;
        return ERR_NO_MEMORY;
    }
    std::memcpy(data, bytes.data(), bytes.size());
    MemUnlock(*block);
    return NOERROR;
}

} // namespace

void SetLastError(std::string text) { lastError = std::move(text); }

bool ReadCompiledSource(const void* compiled, std::string* source) {
    if (compiled == nullptr) return false;
    const auto* bytes = static_cast<const unsigned char*>(compiled);
    if ((bytes[0] | (bytes[1] << 8)) != FORMULA_CONTAINER_MAGIC) return false;
    size_t length = kContainerHeader + static_cast<size_t>(bytes[4] | (bytes[5] << 8));
    if (length % 2 != 0) ++length;
    return FormulaContainerDecode(compiled, length, source);
}

} // namespace formula

STATUS FormulaCompile(const char* text, WORD length, DHANDLE* compiled, WORD* compiledLength, WORD* errorOffset) {
    formula::SetLastError("");
    if (errorOffset != nullptr) *errorOffset = 0;
    if (compiled == nullptr || compiledLength == nullptr || (text == nullptr && length != 0)) {
        formula::SetLastError("no formula text or no place for the compiled formula");
        return ERR_BAD_ARGUMENT;
    }
    *compiled = NULLHANDLE;
    *compiledLength = 0;
    std::string_view source(text == nullptr ? "" : text, length);
    if (source.size() > formula::kMaxSourceLength) {
        if (errorOffset != nullptr) *errorOffset = static_cast<WORD>(formula::kMaxSourceLength);
        formula::SetLastError("the formula is " + std::to_string(source.size()) + " bytes long; at most " +
                              std::to_string(formula::kMaxSourceLength) + " bytes can be compiled");
        return ERR_FORMULA_TOO_LONG;
    }
    formula::Formula parsed;
    formula::SyntaxError error;
    if (!formula::Parse(source, &parsed, &error)) {
        if (errorOffset != nullptr) *errorOffset = static_cast<WORD>(error.offset);
        formula::SetLastError(error.message + " at offset " + std::to_string(error.offset));
        return ERR_FORMULA_SYNTAX;
    }
    std::string container = FormulaContainerEncode(source);
    STATUS status = formula::CopyToBlock(container, false, compiled);
    if (status != NOERROR) return status;
    *compiledLength = static_cast<WORD>(container.size());
    return NOERROR;
}

const char* FormulaLastError() { return formula::lastError.c_str(); }

STATUS FormulaDecompile(const void* compiled, WORD length, DHANDLE* text, WORD* textLength) {
    if (text == nullptr || textLength == nullptr || compiled == nullptr) return ERR_BAD_ARGUMENT;
    *text = NULLHANDLE;
    *textLength = 0;
    std::string source;
    if (!FormulaContainerDecode(compiled, length, &source)) return ERR_FORMULA_INVALID;
    STATUS status = formula::CopyToBlock(source, true, text);
    if (status != NOERROR) return status;
    *textLength = static_cast<WORD>(source.size());
    return NOERROR;
}

} // namespace plat
