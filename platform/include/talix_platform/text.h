// Text in the platform's character set (LMBCS): measuring, conversion from
// and to the native set (UTF-8), translation tables of character-set ids,
// character classes and collation.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "talix_platform/types.h"

namespace plat {

// Character-set ids.
constexpr WORD CHARSET_ASCII = 31;
constexpr WORD CHARSET_LATIN1 = 32;
constexpr WORD CHARSET_UNICODE = 160;   // two bytes per character, low byte first
constexpr WORD CHARSET_UTF7 = 170;
constexpr WORD CHARSET_UTF8 = 171;
constexpr WORD CHARSET_LMBCS = 256;
// The stand-in's own id for the Macintosh Roman set, which no character-set
// name maps to: the HTML import reads "mac" input through it.
constexpr WORD CHARSET_MAC_ROMAN = 3400;
// The stand-in's own ids for sets mail is written in that the platform's
// name table does not list: mail names them ("ISO-8859-15", "GBK" ...).
constexpr WORD CHARSET_LATIN9 = 3401;          // ISO-8859-15
constexpr WORD CHARSET_WINDOWS_1253 = 3402;    // Greek
constexpr WORD CHARSET_WINDOWS_1254 = 3403;    // Turkish
constexpr WORD CHARSET_WINDOWS_1255 = 3404;    // Hebrew
constexpr WORD CHARSET_WINDOWS_1256 = 3405;    // Arabic
constexpr WORD CHARSET_WINDOWS_1257 = 3406;    // Baltic
constexpr WORD CHARSET_WINDOWS_1258 = 3407;    // Vietnamese
constexpr WORD CHARSET_GBK = 3408;
constexpr WORD CHARSET_GB18030 = 3409;
constexpr WORD CHARSET_UTF16 = 3410;           // a byte-order mark says the order, else high byte first
constexpr WORD CHARSET_UTF16BE = 3411;         // two bytes per character, high byte first
// GB2312 as mail programs write it: read with the characters GBK adds,
// written as GB2312.
constexpr WORD CHARSET_GB2312_GBK = 3412;

// Translation modes.
constexpr WORD XLATE_LMBCS_TO_SET = 144;     // LMBCS into the loaded set
constexpr WORD XLATE_SET_TO_LMBCS = 8;       // the loaded set into LMBCS
constexpr WORD XLATE_UNICODE_TO_SET = 64;    // a code point (4 bytes LE + 2 zero bytes) into the loaded set

// Byte length of the LMBCS character at p (1 to 3), looking at no more than
// available bytes; 1 for a byte that cannot start a character, 0 when
// available is 0.
TPLAT_API WORD LmbcsCharLength(const BYTE* p, DWORD available = 3);
// Number of characters of an LMBCS text of length bytes (up to a NUL).
TPLAT_API DWORD LmbcsCharCount(const char* text, DWORD length);
// Byte length of the first count characters (count 0 means 65,535), at most
// limit bytes and never past a NUL.
TPLAT_API DWORD LmbcsByteLength(const char* text, DWORD count, DWORD limit);
// True when the byte starts a multibyte character.
TPLAT_API bool LmbcsIsLeadByte(BYTE b);

// Character classes, for word boundaries.
enum CharClass : WORD { CHAR_CLASS_OTHER = 0, CHAR_CLASS_ALPHA = 1, CHAR_CLASS_DIGIT = 2,
                        CHAR_CLASS_SPACE = 3, CHAR_CLASS_PUNCT = 4 };
// Class of the LMBCS character at p. Letters and digits of any script are
// word characters; everything else is a boundary.
TPLAT_API WORD LmbcsCharClass(const BYTE* p, DWORD available);

// Native (UTF-8) to LMBCS and back. Invalid input bytes become "?" (UTF-8)
// or U+FFFD; the result is never cut in the middle of a character.
TPLAT_API std::string NativeToLmbcs(std::string_view utf8);
TPLAT_API std::string LmbcsToNative(std::string_view lmbcs);
// LmbcsToNative's result appended to out. With wholeOnly, a character cut
// short at the end of the text is left out, and so is the first half of a
// character beyond 16 bits there: text handed on in pieces converts as the
// whole. Returns the bytes converted.
TPLAT_API size_t LmbcsAppendNative(std::string_view lmbcs, std::string& out, bool wholeOnly = false);
// The same into a buffer of capacity bytes, from out + *used on (not
// terminated); *used grows by what was written. The room left must hold
// three bytes for each byte of the text (no character takes more): with
// less, nothing is converted and 0 is returned.
TPLAT_API size_t LmbcsAppendNative(std::string_view lmbcs, char* out, size_t capacity, size_t* used,
                                   bool wholeOnly = false);
// The same into a caller's buffer (terminated, at most limit bytes with the
// terminator); returns the length written.
TPLAT_API DWORD NativeToLmbcsBuf(const char* utf8, DWORD length, char* out, DWORD limit);
TPLAT_API DWORD LmbcsToNativeBuf(const char* lmbcs, DWORD length, char* out, DWORD limit);

// Translation tables by character-set id.
using CharsetHandle = DWORD;
// Fails with a status for a set the platform does not know.
TPLAT_API STATUS CharsetLoad(WORD charsetId, CharsetHandle* table);
TPLAT_API STATUS CharsetUnload(CharsetHandle table);
// Translates length bytes of src by mode into out (at most limit bytes, not
// terminated); *outLength gets the bytes written. A character the target
// cannot represent becomes "?".
TPLAT_API STATUS CharsetTranslate(CharsetHandle table, WORD mode, const char* src, DWORD length, char* out,
                                  DWORD limit, DWORD* outLength);

// Compares two LMBCS texts in collation order: negative, 0 or positive.
TPLAT_API int Collate(const char* a, DWORD aLength, const char* b, DWORD bLength, bool ignoreCase,
                      bool ignoreAccents);

} // namespace plat
