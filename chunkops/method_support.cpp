#include "chunkops/method_support.h"

#include <cstdio>
#include <cstring>

#include "core/host_message.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

std::uint16_t TextLength16(const char* text) {
    return text != nullptr ? static_cast<std::uint16_t>(strnlen(text, 0xFFFF)) : 0;
}

std::uint16_t CharactersToBytes(const char* text, std::uint16_t count) {
    const std::uint16_t bytes = TextLength16(text);
    if (bytes == 0) return 0;
    const plat::DWORD measured = plat::LmbcsByteLength(text, count, bytes);
    if (measured == 0 || measured > bytes) return bytes;
    return static_cast<std::uint16_t>(measured);
}

CompiledFormula::~CompiledFormula() {
    if (handle == 0) return;
    plat::MemUnlock(handle);
    plat::MemFree(handle);
}

STATUS CompileFormula(const char* text, std::uint16_t length, CompiledFormula* compiled) {
    plat::DHANDLE handle = 0;
    plat::WORD compiledLength = 0;
    const std::uint16_t used = static_cast<std::uint16_t>(strnlen(text, length));
    const plat::STATUS status = plat::FormulaCompile(text, used, &handle, &compiledLength);
    if (status != plat::NOERROR) {
        if (handle != 0) plat::MemFree(handle);
        return status;
    }
    compiled->handle = handle;
    compiled->bytes = plat::MemLock(handle);
    compiled->length = compiledLength;
    if (compiled->bytes == nullptr || compiledLength < 1) return kArgumentError;
    return kOK;
}

bool PutInTextResult(RARIvoSession* session, std::uint32_t offset, const void* bytes, std::uint32_t length) {
    if (offset > RARIvoSession::kTextResultCapacity || length > RARIvoSession::kTextResultCapacity - offset) {
        session->textResultLength = 0;
        session->textResult[0] = '\0';
        return false;
    }
    if (length > 0) std::memmove(session->textResult + offset, bytes, length);
    session->textResult[offset + length] = '\0';
    session->textResultLength = static_cast<std::uint16_t>(offset + length);
    return true;
}

void EmptyTextResult(RARIvoSession* session) {
    session->textResult[0] = '\0';
    session->textResultLength = 0;
}

void ReportPlatformStatus(RARIvoSession* session, STATUS status) {
    // The message is cut to fit the error text.
    char text[RARIvoSession::kStatusTextCapacity - 8];
    plat::StatusText(status & kStatusMask, text, sizeof text);
    std::snprintf(session->statusText, RARIvoSession::kStatusTextCapacity, "Talix: %s", text);
    ShowHostMessage(session->statusText);
}

} // namespace talix
