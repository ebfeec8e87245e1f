// LMBCS text: measuring, character classes and conversion from and to the
// native set (UTF-8).
//
// Decoding goes through ICU's "LMBCS-1" converter (optimisation group 1, code
// page 850), which accepts every group. Encoding is our own, because the
// platform prefers other forms than ICU's encoder picks: the single byte of
// the optimisation group first, then the group-1 exception forms (0x01 + a
// byte below 0x80), then the Unicode group (0x14 + the UTF-16 unit, high byte
// first).
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include "lmbcs_codec.h"
#include "talix_platform/text.h"

namespace plat {

namespace {

constexpr BYTE kGroupException = 0x01;  // group 1: exception forms below 0x80
constexpr BYTE kGroupControl = 0x0F;    // C0 and C1 controls
constexpr BYTE kGroupUnicode = 0x14;    // UTF-16 unit, high byte first
constexpr BYTE kUnicodeZeroLow = 0xF6;  // written first when the unit's low byte is 0

// Byte length of a character by its first byte, for the first bytes below
// 0x20 (every byte from 0x20 up is a character of its own). Bytes that cannot
// start a character count 1, so a walk always moves on.
constexpr std::array<BYTE, 0x20> kLengthBelow20 = {
    1,                 // 0x00 NUL
    2, 2, 2, 2, 2, 2,  // 0x01-0x06 single-byte groups
    1,                 // 0x07 invalid
    2,                 // 0x08 Turkish group
    1, 1,              // 0x09 TAB, 0x0A LF
    2,                 // 0x0B Thai group
    1,                 // 0x0C invalid
    1,                 // 0x0D CR
    1,                 // 0x0E invalid
    2,                 // 0x0F controls
    3, 3, 3, 3,        // 0x10-0x13 double-byte groups
    3,                 // 0x14 Unicode group
    1, 1, 1, 1,        // 0x15-0x18 invalid
    1,                 // 0x19 fixed single-byte marker
    1, 1, 1, 1, 1, 1,  // 0x1A-0x1F invalid
};

WORD FullLength(BYTE first) {
    return first < 0x20 ? kLengthBelow20[first] : 1;
}

// Bytes of the character at p within the available bytes, ending it early at
// a NUL among its trailing bytes (a broken character before the terminator).
DWORD StepLength(const BYTE* p, DWORD available) {
    DWORD length = LmbcsCharLength(p, available);
    for (DWORD i = 1; i < length; ++i) {
        if (p[i] == 0) return i;
    }
    return length;
}

// ---- Decoding ---------------------------------------------------------------

// ICU decodes the Unicode-group forms of U+FFFE and U+FFFF as errors; they are
// valid characters of the platform, so they are given back as themselves.
// Every other invalid sequence becomes U+FFFD.
void DecodeErrorCallback(const void*, UConverterToUnicodeArgs* args, const char* units, int32_t length,
                         UConverterCallbackReason reason, UErrorCode* error) {
    if (reason > UCNV_IRREGULAR) return;  // reset, close, clone: nothing to write
    UChar replacement = 0xFFFD;
    if (length == 3 && static_cast<BYTE>(units[0]) == kGroupUnicode && static_cast<BYTE>(units[1]) == 0xFF &&
        (static_cast<BYTE>(units[2]) == 0xFE || static_cast<BYTE>(units[2]) == 0xFF)) {
        replacement = static_cast<UChar>(0xFF00 | static_cast<BYTE>(units[2]));
    }
    *error = U_ZERO_ERROR;
    ucnv_cbToUWriteUChars(args, &replacement, 1, 0, error);
}

// One decoder per thread: ICU converters keep state and are not shared.
struct ThreadDecoder {
    UConverter* converter = nullptr;
    bool tried = false;
    ~ThreadDecoder() {
        if (converter != nullptr) ucnv_close(converter);
    }
};

UConverter* Decoder() {
    thread_local ThreadDecoder holder;
    if (!holder.tried) {
        holder.tried = true;
        UErrorCode error = U_ZERO_ERROR;
        UConverter* converter = ucnv_open("LMBCS-1", &error);  // sets an alias warning
        if (U_SUCCESS(error)) {
            ucnv_setToUCallBack(converter, DecodeErrorCallback, nullptr, nullptr, nullptr, &error);
        }
        if (U_FAILURE(error)) {
            if (converter != nullptr) ucnv_close(converter);
            converter = nullptr;
        }
        holder.converter = converter;
    }
    return holder.converter;
}

// The characters of a text that LmbcsAppendNative does not copy as they
// are, gathered for one decoding: each stretch of them with the bytes
// copied before it.
struct NativeStretch {
    size_t plainStart = 0, plainEnd = 0;   // the bytes copied before the stretch
    size_t packedStart = 0;                // where the stretch begins in the gathered bytes
};
struct NativeScratch {
    std::string packed;
    std::vector<NativeStretch> stretches;
    std::vector<UChar> units;
    std::vector<int32_t> offsets;   // for each unit, the gathered byte it came from
};

// Decodes the gathered bytes in one call (one byte never gives more than
// one unit), each unit with its offset; *count receives the units. False
// when the decoder fails.
bool DecodeWithOffsets(UConverter* decoder, NativeScratch& scratch, size_t* count) {
    const size_t length = scratch.packed.size();
    if (scratch.units.size() < length + 1) {
        scratch.units.resize(length + 1);
        scratch.offsets.resize(length + 1);
    }
    ucnv_resetToUnicode(decoder);
    UChar* target = scratch.units.data();
    const char* source = scratch.packed.data();
    UErrorCode error = U_ZERO_ERROR;
    ucnv_toUnicode(decoder, &target, scratch.units.data() + scratch.units.size(), &source, source + length,
                   scratch.offsets.data(), true, &error);
    *count = static_cast<size_t>(target - scratch.units.data());
    return U_SUCCESS(error);
}

// ---- Encoding tables ----------------------------------------------------------

// For each BMP code point from U+00A0 up: 0 (none), 0x00bb for the single
// byte bb of the optimisation group, or 0x01bb for the exception form 01 bb.
// Built once by asking ICU how it decodes those forms, so that whatever we
// write decodes back to the same character.
const std::vector<WORD>& ShortForms() {
    static const std::vector<WORD> table = [] {
        std::vector<WORD> forms(0x10000, 0);
        UConverter* decoder = Decoder();
        if (decoder == nullptr) return forms;
        auto decodeOne = [decoder](const char* bytes, int32_t length) -> int32_t {
            UChar units[4];
            UErrorCode error = U_ZERO_ERROR;
            int32_t count = ucnv_toUChars(decoder, units, 4, bytes, length, &error);
            if (U_FAILURE(error) || count != 1) return -1;
            return units[0];
        };
        for (int b = 0x80; b <= 0xFF; ++b) {
            char bytes[1] = {static_cast<char>(b)};
            int32_t c = decodeOne(bytes, 1);
            if (c >= 0xA0 && c != 0xFFFD && !U16_IS_SURROGATE(c) && forms[c] == 0) {
                forms[c] = static_cast<WORD>(b);
            }
        }
        for (int b = 0x00; b < 0x80; ++b) {
            char bytes[2] = {static_cast<char>(kGroupException), static_cast<char>(b)};
            int32_t c = decodeOne(bytes, 2);
            if (c >= 0xA0 && c != 0xFFFD && !U16_IS_SURROGATE(c) && forms[c] == 0) {
                forms[c] = static_cast<WORD>((kGroupException << 8) | b);
            }
        }
        return forms;
    }();
    return table;
}

// The Unicode group cannot hold U+F601-U+F6FF: a high byte of 0xF6 reads as
// the marker of a zero low byte. ICU's encoder writes those private-use
// characters in another group, and we take its forms for them.
const std::array<std::string, 0x100>& HighF6Forms() {
    static const std::array<std::string, 0x100> table = [] {
        std::array<std::string, 0x100> forms;
        UErrorCode error = U_ZERO_ERROR;
        UConverter* encoder = ucnv_open("LMBCS-1", &error);
        UConverter* decoder = Decoder();
        if (U_FAILURE(error) || decoder == nullptr) {
            if (encoder != nullptr) ucnv_close(encoder);
            return forms;
        }
        for (int low = 1; low <= 0xFF; ++low) {
            UChar unit = static_cast<UChar>(kUnicodeZeroLow << 8 | low);
            char bytes[8];
            error = U_ZERO_ERROR;
            int32_t length = ucnv_fromUChars(encoder, bytes, sizeof bytes, &unit, 1, &error);
            if (U_FAILURE(error) || length <= 0 || length > 3) continue;
            // Kept only when it reads back as the same character.
            UChar back[4];
            error = U_ZERO_ERROR;
            int32_t count = ucnv_toUChars(decoder, back, 4, bytes, length, &error);
            if (U_SUCCESS(error) && count == 1 && back[0] == unit) forms[low].assign(bytes, length);
        }
        ucnv_close(encoder);
        return forms;
    }();
    return table;
}

void AppendUnicodeUnit(std::string& out, UChar unit) {
    BYTE high = static_cast<BYTE>(unit >> 8);
    BYTE low = static_cast<BYTE>(unit & 0xFF);
    if (high == kUnicodeZeroLow && low != 0) {
        const std::string& form = HighF6Forms()[low];
        out += form.empty() ? std::string("?") : form;
        return;
    }
    out += static_cast<char>(kGroupUnicode);
    if (low == 0) {
        out += static_cast<char>(kUnicodeZeroLow);
        out += static_cast<char>(high);
    } else {
        out += static_cast<char>(high);
        out += static_cast<char>(low);
    }
}

// Walks UTF-8 one code point at a time; an ill-formed sequence gives -1 once
// for its longest invalid part.
// Whether a character below 0x80 is the same single byte in LMBCS: NUL,
// tab, line feed, carriage return and 0x20 to 0x7F (the other control
// characters take a group byte).
inline bool SameInLmbcs(unsigned char c) {
    return c >= 0x20 ? c <= 0x7F : (c == 0x00 || c == 0x09 || c == 0x0A || c == 0x0D);
}

// Whether the Unicode-group character at p (3 bytes) holds the first half
// of a character beyond 16 bits.
bool IsHighSurrogateUnit(const BYTE* p) {
    const BYTE high = p[1] == kUnicodeZeroLow ? p[2] : p[1];
    return p[0] == kGroupUnicode && U16_IS_LEAD(high << 8);
}

// The end of the run of such characters from pos, sixteen bytes tested at
// once where the processor can: markup is mostly such a run.
size_t PlainRunEnd(const BYTE* bytes, size_t pos, size_t length) {
#if defined(__SSE2__)
    // Printable ASCII alone, 32 bytes at a time: one signed comparison per
    // 16 bytes (the bytes from 0x80 up count as below 0x20).
    const __m128i belowBlank = _mm_set1_epi8(0x1F);
    while (pos + 32 <= length) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + pos));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + pos + 16));
        const __m128i printable = _mm_and_si128(_mm_cmpgt_epi8(a, belowBlank), _mm_cmpgt_epi8(b, belowBlank));
        if (_mm_movemask_epi8(printable) != 0xFFFF) break;
        pos += 32;
    }
    while (pos + 16 <= length) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + pos));
        // Signed: the bytes from 0x80 up count as below 0x20.
        __m128i same = _mm_cmpgt_epi8(v, _mm_set1_epi8(0x1F));
        same = _mm_or_si128(same, _mm_or_si128(_mm_cmpeq_epi8(v, _mm_setzero_si128()),
                                               _mm_cmpeq_epi8(v, _mm_set1_epi8('\t'))));
        same = _mm_or_si128(same, _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\n')),
                                               _mm_cmpeq_epi8(v, _mm_set1_epi8('\r'))));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(same));
        if (mask != 0xFFFF) return pos + static_cast<size_t>(std::countr_one(mask));
        pos += 16;
    }
#endif
    while (pos < length && SameInLmbcs(bytes[pos])) ++pos;
    return pos;
}

UChar32 NextUtf8(const char* text, int64_t length, int64_t* pos) {
    UChar32 c;
    int64_t i = *pos;
    U8_NEXT(text, i, length, c);
    *pos = i;
    return c;
}

// The UTF-8 form of one code point appended to out (a surrogate or a value
// that is no code point becomes U+FFFD).
template <typename Out>
void PutUtf8(Out& out, UChar32 c) {
    if (c < 0 || c > 0x10FFFF || U_IS_SURROGATE(c)) c = 0xFFFD;
    char bytes[4];
    int32_t length = 0;
    U8_APPEND_UNSAFE(bytes, length, c);
    out.append(bytes, static_cast<size_t>(length));
}

// A caller's buffer written like a string; the caller has made sure it has
// the room.
struct BufferOut {
    char* data;
    size_t used;
    void append(const char* bytes, size_t length) {
        std::memcpy(data + used, bytes, length);
        used += length;
    }
    void append(std::string_view text) { append(text.data(), text.size()); }
    size_t size() const { return used; }
    void reserve(size_t) {}
};

} // namespace

// ---- Codec used by the other text files ---------------------------------------

namespace lmbcs {

std::u16string Decode(const char* text, std::size_t length) {
    std::u16string units;
    if (text == nullptr || length == 0) return units;
    UConverter* decoder = Decoder();
    if (decoder == nullptr || length > 0x7FFFFFFE) {
        units.assign(length, u'\xFFFD');
        return units;
    }
    // One LMBCS byte never gives more than one UTF-16 unit.
    units.resize(length + 1);
    UErrorCode error = U_ZERO_ERROR;
    int32_t count = ucnv_toUChars(decoder, reinterpret_cast<UChar*>(units.data()),
                                  static_cast<int32_t>(units.size()), text, static_cast<int32_t>(length), &error);
    if (U_FAILURE(error) || count < 0) {
        units.assign(length, u'\xFFFD');
        return units;
    }
    units.resize(static_cast<size_t>(count));
    return units;
}

UChar32 NextUtf16(const std::u16string& units, size_t* pos) {
    UChar32 c = units[*pos];
    ++*pos;
    if (U16_IS_LEAD(c) && *pos < units.size() && U16_IS_TRAIL(units[*pos])) {
        c = U16_GET_SUPPLEMENTARY(c, units[*pos]);
        ++*pos;
    }
    return c;
}

void AppendCodePoint(std::string& out, UChar32 c) {
    if (c < 0 || c > 0x10FFFF) c = '?';
    if (c < 0x80 && SameInLmbcs(static_cast<unsigned char>(c))) {
        out += static_cast<char>(c);
    } else if (c < 0x20) {
        out += static_cast<char>(kGroupControl);
        out += static_cast<char>(c + 0x20);
    } else if (c < 0xA0) {
        out += static_cast<char>(kGroupControl);
        out += static_cast<char>(c);
    } else if (c <= 0xFFFF) {
        WORD form = ShortForms()[c];
        if (form > 0xFF) {
            out += static_cast<char>(form >> 8);
            out += static_cast<char>(form & 0xFF);
        } else if (form != 0) {
            out += static_cast<char>(form);
        } else {
            AppendUnicodeUnit(out, static_cast<UChar>(c));
        }
    } else {
        AppendUnicodeUnit(out, U16_LEAD(c));
        AppendUnicodeUnit(out, U16_TRAIL(c));
    }
}

void AppendUtf8(std::string& out, UChar32 c) { PutUtf8(out, c); }

} // namespace lmbcs

// ---- Measuring ------------------------------------------------------------------

WORD LmbcsCharLength(const BYTE* p, DWORD available) {
    if (p == nullptr || available == 0) return 0;
    WORD length = FullLength(p[0]);
    return length <= available ? length : static_cast<WORD>(available);
}

DWORD LmbcsCharCount(const char* text, DWORD length) {
    if (text == nullptr) return 0;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text);
    DWORD count = 0;
    DWORD pos = 0;
    while (pos < length && bytes[pos] != 0) {
        pos += StepLength(bytes + pos, length - pos);
        ++count;
    }
    return count;
}

DWORD LmbcsByteLength(const char* text, DWORD count, DWORD limit) {
    if (text == nullptr) return 0;
    if (count == 0) count = 65535;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text);
    DWORD pos = 0;
    for (DWORD n = 0; n < count && pos < limit && bytes[pos] != 0; ++n) {
        // A character that does not fit within the limit is left out whole.
        if (FullLength(bytes[pos]) > limit - pos) break;
        pos += StepLength(bytes + pos, limit - pos);
    }
    return pos;
}

bool LmbcsIsLeadByte(BYTE b) {
    return FullLength(b) > 1;
}

// ---- Character classes ------------------------------------------------------------

WORD LmbcsCharClass(const BYTE* p, DWORD available) {
    WORD length = LmbcsCharLength(p, available);
    if (length == 0) return CHAR_CLASS_OTHER;
    std::u16string units = lmbcs::Decode(reinterpret_cast<const char*>(p), length);
    if (units.empty()) return CHAR_CLASS_OTHER;
    size_t pos = 0;
    UChar32 c = lmbcs::NextUtf16(units, &pos);
    if (c == 0xFFFD) return CHAR_CLASS_OTHER;
    if (u_isdigit(c)) return CHAR_CLASS_DIGIT;
    // Combining marks belong to the letter they follow, so they do not break
    // a word.
    if (u_isalpha(c) || (U_GET_GC_MASK(c) & U_GC_M_MASK) != 0) return CHAR_CLASS_ALPHA;
    if (u_isUWhiteSpace(c)) return CHAR_CLASS_SPACE;
    if (u_ispunct(c)) return CHAR_CLASS_PUNCT;
    return CHAR_CLASS_OTHER;
}

// ---- Native (UTF-8) to LMBCS and back -------------------------------------------------

std::string NativeToLmbcs(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + utf8.size() / 2);
    int64_t length = static_cast<int64_t>(utf8.size());
    int64_t pos = 0;
    while (pos < length) {
        // A run of characters that are the same byte in both goes in one
        // copy; each other character is converted on its own.
        int64_t run = pos;
        while (run < length && SameInLmbcs(static_cast<unsigned char>(utf8[static_cast<size_t>(run)]))) ++run;
        if (run > pos) {
            out.append(utf8.data() + pos, static_cast<size_t>(run - pos));
            pos = run;
            if (pos == length) break;
        }
        UChar32 c = NextUtf8(utf8.data(), length, &pos);
        lmbcs::AppendCodePoint(out, c < 0 ? '?' : c);
    }
    return out;
}

std::string LmbcsToNative(std::string_view text) {
    std::string out;
    LmbcsAppendNative(text, out);
    return out;
}

namespace {

template <typename Out>
size_t AppendNative(std::string_view text, Out& out, bool wholeOnly) {
    const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
    size_t length = text.size();
    size_t pos = PlainRunEnd(bytes, 0, length);
    if (pos == length) {
        out.append(text);
        return length;
    }
    // A character cut short at the end is left out when asked, and so is
    // the first half of a character beyond 16 bits that ends the text: its
    // second half may follow.
    if (wholeOnly) {
        size_t end = pos, last = pos;
        while (end < length) {
            if (SameInLmbcs(bytes[end])) {
                end = PlainRunEnd(bytes, end, length);
                last = end - 1;
                continue;
            }
            const size_t n = FullLength(bytes[end]);
            if (n > length - end) break;
            last = end;
            end += n;
        }
        if (end - last == 3 && IsHighSurrogateUnit(bytes + last)) end = last;
        length = end;
        text = text.substr(0, length);
    }
    // Without the decoder, or when it fails, the text is decoded whole (as
    // it gives U+FFFD for every byte then).
    auto decodeWhole = [&] {
        const std::u16string units = lmbcs::Decode(text.data(), length);
        size_t at = 0;
        while (at < units.size()) PutUtf8(out, lmbcs::NextUtf16(units, &at));
        return length;
    };
    UConverter* decoder = Decoder();
    if (decoder == nullptr || length > 0x7FFFFFFE) return decodeWhole();
    // The text in stretches: characters that are the same byte in both (a
    // byte of its own each) are copied as they are; the others, gathered
    // one stretch after the other, are decoded in one call, whose offsets
    // say which stretch each unit came from. A character is never cut, so
    // the decoder reads each as it would within the whole text.
    thread_local NativeScratch scratch;
    scratch.packed.clear();
    scratch.stretches.clear();
    size_t plainStart = 0;
    while (pos < length) {
        const size_t start = pos;
        while (pos < length && !SameInLmbcs(bytes[pos]))
            pos += std::min<size_t>(FullLength(bytes[pos]), length - pos);
        scratch.stretches.push_back({plainStart, start, scratch.packed.size()});
        scratch.packed.append(text.data() + start, pos - start);
        plainStart = pos;
        pos = PlainRunEnd(bytes, pos, length);
    }
    size_t units = 0;
    if (!DecodeWithOffsets(decoder, scratch, &units)) return decodeWhole();
    out.reserve(out.size() + length + length / 2);
    size_t unit = 0;
    for (size_t s = 0; s < scratch.stretches.size(); ++s) {
        const NativeStretch& stretch = scratch.stretches[s];
        out.append(text.data() + stretch.plainStart, stretch.plainEnd - stretch.plainStart);
        const size_t packedEnd =
            s + 1 < scratch.stretches.size() ? scratch.stretches[s + 1].packedStart : scratch.packed.size();
        // The units of the stretch; a surrogate pair is joined only within it.
        size_t end = unit;
        while (end < units && (scratch.offsets[end] < 0 || static_cast<size_t>(scratch.offsets[end]) < packedEnd))
            ++end;
        while (unit < end) {
            UChar32 c = scratch.units[unit++];
            if (U16_IS_LEAD(c) && unit < end && U16_IS_TRAIL(scratch.units[unit]))
                c = U16_GET_SUPPLEMENTARY(c, scratch.units[unit++]);
            PutUtf8(out, c);
        }
    }
    out.append(text.data() + plainStart, length - plainStart);
    return length;
}

} // namespace

size_t LmbcsAppendNative(std::string_view text, std::string& out, bool wholeOnly) {
    return AppendNative(text, out, wholeOnly);
}

size_t LmbcsAppendNative(std::string_view text, char* out, size_t capacity, size_t* used, bool wholeOnly) {
    // No character takes more than three bytes of UTF-8 for each of its
    // bytes in LMBCS (a lone byte that is no character gives U+FFFD).
    if (out == nullptr || used == nullptr || *used > capacity || (capacity - *used) / 3 < text.size()) return 0;
    BufferOut buffer{out, *used};
    const size_t converted = AppendNative(text, buffer, wholeOnly);
    *used = buffer.used;
    return converted;
}

DWORD NativeToLmbcsBuf(const char* utf8, DWORD length, char* out, DWORD limit) {
    if (out == nullptr || limit == 0) return 0;
    DWORD written = 0;
    std::string one;
    int64_t pos = 0;
    while (utf8 != nullptr && pos < length) {
        UChar32 c = NextUtf8(utf8, length, &pos);
        one.clear();
        lmbcs::AppendCodePoint(one, c < 0 ? '?' : c);
        if (one.size() > limit - 1 - written) break;  // never half a character
        std::memcpy(out + written, one.data(), one.size());
        written += static_cast<DWORD>(one.size());
    }
    out[written] = '\0';
    return written;
}

DWORD LmbcsToNativeBuf(const char* text, DWORD length, char* out, DWORD limit) {
    if (out == nullptr || limit == 0) return 0;
    std::u16string units = lmbcs::Decode(text, length);
    DWORD written = 0;
    std::string one;
    size_t pos = 0;
    while (pos < units.size()) {
        one.clear();
        lmbcs::AppendUtf8(one, lmbcs::NextUtf16(units, &pos));
        if (one.size() > limit - 1 - written) break;  // never half a character
        std::memcpy(out + written, one.data(), one.size());
        written += static_cast<DWORD>(one.size());
    }
    out[written] = '\0';
    return written;
}

} // namespace plat
