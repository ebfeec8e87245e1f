// DXL values into stored bytes: base64 decoded piece by piece through a
// table, numbers and dates in their stored form, text into LMBCS.
#include "dxl_values.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#define TALIX_BASE64_BLOCKS 1
#endif

#include "talix_platform/log.h"
#include "talix_platform/text.h"

namespace plat {

namespace {

constexpr size_t kQuoteLimit = 40;   // longest piece of input quoted in a message

// What each byte is in base64 text: a value (0 to 63), or one of these.
constexpr std::uint8_t kBase64Space = 64, kBase64Pad = 65, kBase64Invalid = 66;

constexpr std::array<std::uint8_t, 256> MakeBase64Table() {
    std::array<std::uint8_t, 256> table{};
    for (auto& entry : table) entry = kBase64Invalid;
    for (int i = 0; i < 26; ++i) {
        table['A' + i] = static_cast<std::uint8_t>(i);
        table['a' + i] = static_cast<std::uint8_t>(26 + i);
    }
    for (int i = 0; i < 10; ++i) table['0' + i] = static_cast<std::uint8_t>(52 + i);
    table['+'] = 62;
    table['/'] = 63;
    table['='] = kBase64Pad;
    for (char c : {' ', '\t', '\r', '\n'}) table[static_cast<unsigned char>(c)] = kBase64Space;
    return table;
}

constexpr std::array<std::uint8_t, 256> kBase64Table = MakeBase64Table();

// The same, with each data character's six bits already in their place in a
// group of four (first character highest); every other character has
// kNotData set, whatever its place.
constexpr DWORD kNotData = 0x80000000;

constexpr std::array<std::array<DWORD, 256>, 4> MakeBase64Places() {
    std::array<std::array<DWORD, 256>, 4> places{};
    for (int place = 0; place < 4; ++place) {
        for (int c = 0; c < 256; ++c) {
            const std::uint8_t value = kBase64Table[static_cast<std::size_t>(c)];
            places[place][c] = value < 64 ? DWORD{value} << (18 - 6 * place) : kNotData;
        }
    }
    return places;
}

constexpr std::array<std::array<DWORD, 256>, 4> kBase64Places = MakeBase64Places();

// The group of four characters at in, or a value with kNotData set.
inline DWORD Base64Group(const unsigned char* in) {
    return kBase64Places[0][in[0]] | kBase64Places[1][in[1]] | kBase64Places[2][in[2]] | kBase64Places[3][in[3]];
}

// Writes the three bytes of a group, and one byte more that the next write
// replaces (the caller's buffer has room for it).
inline BYTE* PutBase64Group(BYTE* to, DWORD group) {
    const DWORD bytes = __builtin_bswap32(group << 8);   // the three bytes first, in order
    std::memcpy(to, &bytes, sizeof bytes);
    return to + 3;
}

#if defined(TALIX_BASE64_BLOCKS)
// Sixteen characters a step with the processor's byte shuffles (SSSE3),
// where it has them. A character is a data character when the bit of its
// high nibble is set in the row of its low nibble; its value is the
// character plus the offset of its high nibble's range ('/' apart, the one
// character whose offset differs from its row's).
using Row16 = std::array<std::uint8_t, 16>;

constexpr Row16 MakeDataBitsByLowNibble() {
    Row16 rows{};
    for (int c = 0; c < 0x80; ++c) {
        if (kBase64Table[static_cast<std::size_t>(c)] < 64) rows[c & 0xF] |= static_cast<std::uint8_t>(1u << (c >> 4));
    }
    return rows;
}

constexpr Row16 MakeBitOfHighNibble() {
    Row16 bits{};   // no bit for 0x80 and up: never data
    for (int high = 0; high < 8; ++high) bits[high] = static_cast<std::uint8_t>(1u << high);
    return bits;
}

constexpr int OffsetOf(int c) { return kBase64Table[static_cast<std::size_t>(c)] - c; }

constexpr Row16 MakeOffsetOfHighNibble() {
    Row16 offsets{};
    for (int c = 0x7F; c >= 0; --c) {
        if (kBase64Table[static_cast<std::size_t>(c)] < 64 && c != '/') {
            offsets[c >> 4] = static_cast<std::uint8_t>(OffsetOf(c));
        }
    }
    return offsets;
}

constexpr Row16 kDataBitsByLowNibble = MakeDataBitsByLowNibble();
constexpr Row16 kBitOfHighNibble = MakeBitOfHighNibble();
constexpr Row16 kOffsetOfHighNibble = MakeOffsetOfHighNibble();
constexpr int kSlashCorrection = OffsetOf('/') - static_cast<std::int8_t>(kOffsetOfHighNibble['/' >> 4]);

// Every data character's offset is its row's ('/' with its correction).
constexpr bool OffsetsHold() {
    for (int c = 0; c < 0x80; ++c) {
        if (kBase64Table[static_cast<std::size_t>(c)] >= 64) continue;
        const int offset = static_cast<std::int8_t>(kOffsetOfHighNibble[c >> 4]) + (c == '/' ? kSlashCorrection : 0);
        if (offset != OffsetOf(c)) return false;
    }
    return true;
}
static_assert(OffsetsHold());

inline __m128i Load16(const Row16& row) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(row.data())); }

// Decodes blocks of sixteen data characters from in (length characters) to
// *to, three bytes for four, up to the first block holding anything else,
// and that block's whole groups before its first other character (a line's
// last groups before its line break); returns the characters decoded. Each
// block writes sixteen bytes: the caller's buffer has room for sixteen past
// the bytes of all the groups the text can hold.
__attribute__((target("ssse3"))) size_t DecodeBase64Blocks(const unsigned char* in, size_t length, BYTE** to) {
    const __m128i dataBits = Load16(kDataBitsByLowNibble), highBit = Load16(kBitOfHighNibble);
    const __m128i offsets = Load16(kOffsetOfHighNibble);
    const __m128i nibble = _mm_set1_epi8(0x0F), slash = _mm_set1_epi8('/');
    const __m128i slashCorrection = _mm_set1_epi8(static_cast<char>(kSlashCorrection));
    // Two values to twelve bits in each 16-bit lane (the first higher), two
    // such to a group's 24 bits in each 32-bit lane, and its three bytes
    // first to last.
    const __m128i pairWeights = _mm_set1_epi32(0x01400140), groupWeights = _mm_set1_epi32(0x00011000);
    const __m128i order = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    BYTE* out = *to;
    size_t at = 0;
    for (; at + 16 <= length; at += 16) {
        const __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + at));
        const __m128i high = _mm_and_si128(_mm_srli_epi32(text, 4), nibble);
        const __m128i low = _mm_and_si128(text, nibble);
        const __m128i bit = _mm_and_si128(_mm_shuffle_epi8(dataBits, low), _mm_shuffle_epi8(highBit, high));
        const unsigned other = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bit, _mm_setzero_si128())));
        __m128i offset = _mm_shuffle_epi8(offsets, high);
        offset = _mm_add_epi8(offset, _mm_and_si128(_mm_cmpeq_epi8(text, slash), slashCorrection));
        const __m128i values = _mm_add_epi8(text, offset);
        const __m128i groups = _mm_madd_epi16(_mm_maddubs_epi16(values, pairWeights), groupWeights);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(groups, order));
        if (other != 0) {
            const unsigned whole = static_cast<unsigned>(__builtin_ctz(other)) / 4;   // groups before it
            out += 3 * whole;
            at += 4 * whole;
            break;
        }
        out += 12;
    }
    *to = out;
    return at;
}

bool HasBlockDecoder() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}
#endif

} // namespace

bool DxlIsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view DxlTrim(std::string_view text) {
    while (!text.empty() && DxlIsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && DxlIsSpace(text.back())) text.remove_suffix(1);
    return text;
}

std::string DxlQuote(std::string_view text) {
    if (text.size() <= kQuoteLimit) return std::string(text);
    size_t cut = kQuoteLimit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return std::string(text.substr(0, cut)) + "...";
}

bool DxlParseHex(std::string_view text, size_t maxDigits, unsigned long long* value) {
    if (text.empty() || text.size() > maxDigits) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value, 16);
    return ec == std::errc() && end == text.data() + text.size();
}

bool DxlParseDword(std::string_view text, DWORD* value) {
    const char* end = text.data() + text.size();
    auto [stop, ec] = std::from_chars(text.data(), end, *value, 10);
    return !text.empty() && ec == std::errc() && stop == end;
}

bool DxlParseNumber(std::string_view text, double* number) {
    std::string_view digits = DxlTrim(text);
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), *number);
    return !digits.empty() && ec == std::errc() && end == digits.data() + digits.size() && std::isfinite(*number);
}

void DxlAppendBytes(std::vector<BYTE>* out, const void* data, size_t length) {
    const auto* bytes = static_cast<const BYTE*>(data);
    out->insert(out->end(), bytes, bytes + length);
}

void DxlAppendLmbcs(std::string_view utf8, std::vector<BYTE>* out) {
    for (;;) {
        const size_t end = utf8.find('\0');
        const std::string piece = NativeToLmbcs(utf8.substr(0, end));
        DxlAppendBytes(out, piece.data(), piece.size());
        if (end == std::string_view::npos) break;
        out->push_back(0);
        utf8.remove_prefix(end + 1);
    }
}

void DxlAppendWord(std::vector<BYTE>* out, WORD value) {
    out->push_back(static_cast<BYTE>(value & 0xFF));
    out->push_back(static_cast<BYTE>(value >> 8));
}

void DxlAppendTime(std::vector<BYTE>* out, const TIMEDATE& time) {
    for (DWORD part : time.Innards) {
        DxlAppendWord(out, static_cast<WORD>(part & 0xFFFF));
        DxlAppendWord(out, static_cast<WORD>(part >> 16));
    }
}

void DxlAppendNumber(std::vector<BYTE>* out, double value) {
    static_assert(sizeof(double) == 8);
    DxlAppendBytes(out, &value, 8);   // the host is little-endian, as the stored form
}

bool Base64Decoder::Feed(std::string_view text, std::vector<BYTE>* out, std::string* why) {
    // Room for every group the piece can complete (with the characters of
    // a group begun before it), and for the bytes past the last group that
    // PutBase64Group and DecodeBase64Blocks write.
    const size_t start = out->size();
    out->resize(start + (static_cast<size_t>(filled_) + text.size()) / 4 * 3 + 16);
    BYTE* to = out->data() + start;
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    bool ok = true;
#if defined(TALIX_BASE64_BLOCKS)
    const bool blocks = HasBlockDecoder();
#endif
    for (std::size_t at = 0; at < text.size(); ++at) {
        // Whole groups of four data characters at once, sixteen characters
        // or two groups a step while they last (a line of text is many
        // groups); anything else (whitespace, padding, a bad character, a
        // group split between pieces) goes one by one below.
        if (filled_ == 0 && padding_ == 0) {
#if defined(TALIX_BASE64_BLOCKS)
            if (blocks) at += DecodeBase64Blocks(in + at, text.size() - at, &to);
#endif
            while (at + 8 <= text.size()) {
                const DWORD first = Base64Group(in + at), second = Base64Group(in + at + 4);
                if (((first | second) & kNotData) != 0) break;
                to = PutBase64Group(PutBase64Group(to, first), second);
                at += 8;
            }
            while (at + 4 <= text.size()) {
                const DWORD group = Base64Group(in + at);
                if ((group & kNotData) != 0) break;
                to = PutBase64Group(to, group);
                at += 4;
            }
        }
        if (at >= text.size()) break;
        const std::uint8_t value = kBase64Table[in[at]];
        if (value < 64 && padding_ == 0 && filled_ < 4) {
            quad_ = (quad_ << 6) | value;
            if (++filled_ == 4) {
                to[0] = static_cast<BYTE>((quad_ >> 16) & 0xFF);
                to[1] = static_cast<BYTE>((quad_ >> 8) & 0xFF);
                to[2] = static_cast<BYTE>(quad_ & 0xFF);
                to += 3;
                quad_ = 0;
                filled_ = 0;
            }
            continue;
        }
        if (value == kBase64Space) continue;
        if (value == kBase64Pad) {
            if (filled_ < 2 || filled_ + padding_ >= 4) {
                *why = "misplaced '=' in base64 data";
                ok = false;
                break;
            }
            ++padding_;
            if (filled_ + padding_ == 4) {
                if (filled_ == 2) {          // 12 bits: one byte
                    *to++ = static_cast<BYTE>((quad_ >> 4) & 0xFF);
                } else {                     // 18 bits: two bytes
                    *to++ = static_cast<BYTE>((quad_ >> 10) & 0xFF);
                    *to++ = static_cast<BYTE>((quad_ >> 2) & 0xFF);
                }
                filled_ = 4;   // the data is complete: only whitespace may follow
            }
            continue;
        }
        *why = value == kBase64Invalid ? "invalid character '" + DxlQuote(text.substr(at, 1)) + "' in base64 data"
                                       : std::string("base64 data continues after its end");
        ok = false;
        break;
    }
    out->resize(static_cast<size_t>(to - out->data()));
    return ok;
}

bool Base64Decoder::End(std::string* why) const {
    if ((padding_ > 0 && filled_ != 4) || (padding_ == 0 && filled_ != 0)) {
        *why = "truncated base64 data";
        return false;
    }
    return true;
}

bool DxlFailure::Set(STATUS failed, const std::string& file, long line, const std::string& what) {
    status = failed;
    message = file + ":" + std::to_string(line) + ": " + what;
    return false;
}

bool DxlFailure::SetStatus(STATUS failed, const std::string& file, long line, const char* what) {
    char text[256];
    StatusText(failed, text, sizeof text);
    status = failed;
    message.clear();
    if (!file.empty()) {
        message = file;
        if (line > 0) message.append(":").append(std::to_string(line));
        message.append(": ");
    }
    message.append(what).append(": ").append(text);
    return false;
}

} // namespace plat
