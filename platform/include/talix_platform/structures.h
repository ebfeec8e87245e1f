// Structures by type code: the stored (packed little-endian) form and the
// in-memory (host, naturally aligned) form of every structure the system
// reads or writes, and conversion between them.
#pragma once

#include "talix_platform/types.h"

namespace plat {

// Structure type codes of the base types.
constexpr WORD ODS_WORD = 0;
constexpr WORD ODS_DWORD = 1;
constexpr WORD ODS_NUMBER = 2;

// The stored (packed) length of one structure of a type; 0 for an unknown
// type code.
TPLAT_API WORD StructStoredLength(WORD type);
// The in-memory (host) length of one structure of a type; 0 for an unknown
// type code.
TPLAT_API WORD StructHostLength(WORD type);

// Reads count structures of a type from stored form at *src into host form
// at dest and advances *src past them. Padding bytes in dest are zeroed.
// Returns 0, or a failure status for an unknown type code (nothing is
// written, *src does not move).
TPLAT_API STATUS StructRead(const void** src, WORD type, void* dest, WORD count = 1);
// Writes count structures of a type from host form at src into stored form at
// *dest and advances *dest past them.
TPLAT_API STATUS StructWrite(void** dest, WORD type, const void* src, WORD count = 1);

// The name of a structure type ("CDTEXT"), or null for an unknown code.
TPLAT_API const char* StructName(WORD type);

// The structure type code and the name of a rich-text record signature as
// records carry it (byte-form signatures as 0x00nn). Returns false for a
// signature the platform does not know. type may be 0xFFFF for a known
// signature whose structure has no published layout.
TPLAT_API bool SignatureInfo(WORD signature, WORD* type, const char** name);

} // namespace plat
