// Little-endian reads and writes of unaligned words and double words, the
// byte order of every stored value.
#pragma once

#include <string>

#include "talix_platform/types.h"

namespace plat {

inline WORD GetWord(const BYTE* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }

inline DWORD GetDword(const BYTE* p) { return GetWord(p) | (static_cast<DWORD>(GetWord(p + 2)) << 16); }

inline void PutWord(BYTE* p, WORD value) {
    p[0] = static_cast<BYTE>(value & 0xFF);
    p[1] = static_cast<BYTE>(value >> 8);
}

inline void PutDword(BYTE* p, DWORD value) {
    PutWord(p, static_cast<WORD>(value & 0xFFFF));
    PutWord(p + 2, static_cast<WORD>(value >> 16));
}

// Appends the value's bytes to out.
inline void PutWord(std::string* out, WORD value) {
    out->push_back(static_cast<char>(value & 0xFF));
    out->push_back(static_cast<char>(value >> 8));
}

inline void PutDword(std::string* out, DWORD value) {
    PutWord(out, static_cast<WORD>(value & 0xFFFF));
    PutWord(out, static_cast<WORD>(value >> 16));
}

} // namespace plat
