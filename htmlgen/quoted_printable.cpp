#include "htmlgen/quoted_printable.h"

#include <cstdint>
#include <cstdio>

#include "htmlgen/entity_encoder.h"
#include "htmlgen/line_cutter.h"

namespace talix {

namespace {

constexpr std::uint16_t kQuotedPrintableLine = 76;

// Sets whose bytes are not ASCII with more above it, or that keep a state
// from one character to the next: text cannot be put into them a character
// at a time beside ASCII written as it is.
bool TakesCharacterByCharacter(std::uint16_t id) {
    switch (id) {
    case 0:
    case plat::CHARSET_ASCII:   // what a part of ASCII alone is labelled; other text goes in UTF-8
    case plat::CHARSET_UTF8:
    case plat::CHARSET_UNICODE:
    case plat::CHARSET_UTF16:
    case plat::CHARSET_UTF16BE:
    case plat::CHARSET_UTF7:
    case plat::CHARSET_LMBCS:
    case plat::CHARSET_LMBCS + 1:
    case plat::CHARSET_LMBCS + 2:
    case 64:      // EBCDIC
    case 3276:    // ISO-2022-JP: shifts between sets
        return false;
    default:
        return true;
    }
}

// The code point of a UTF-8 character (the first of the text).
std::uint32_t FirstCodePoint(const std::string& utf8) {
    if (utf8.empty()) return 0xFFFD;
    const auto b = [&](std::size_t i) { return static_cast<std::uint8_t>(utf8[i]); };
    const std::uint8_t first = b(0);
    std::size_t length = first < 0x80 ? 1 : first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 0;
    if (length == 0 || length > utf8.size()) return 0xFFFD;
    std::uint32_t code = length == 1 ? first : first & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) code = (code << 6) | (b(i) & 0x3F);
    return code;
}

void AppendEscaped(std::uint8_t b, std::string* out) {
    static const char kHex[] = "0123456789ABCDEF";
    *out += '=';
    *out += kHex[b >> 4];
    *out += kHex[b & 0x0F];
}

// A byte of text as it is, or escaped when it must be: "=", 0x7F and up,
// and control bytes other than tab.
void AppendByte(std::uint8_t b, std::string* out) {
    if (b == '=' || b >= 0x7F || (b < 0x20 && b != '\t')) AppendEscaped(b, out);
    else *out += static_cast<char>(b);
}

// Whether the LMBCS character of n bytes at text (first byte b) lies outside
// ASCII.
bool OutsideAscii(std::uint8_t b, std::size_t n) { return n > 1 || b >= 0x80; }

} // namespace

OutputCharset::OutputCharset(std::uint16_t id) {
    if (!TakesCharacterByCharacter(id)) return;
    loaded_ = plat::CharsetLoad(id, &table_) == plat::NOERROR;
}

OutputCharset::~OutputCharset() {
    if (loaded_) plat::CharsetUnload(table_);
}

void OutputCharset::Append(std::string_view lmbcs, std::string* out) const {
    if (!loaded_) {
        *out += plat::LmbcsToNative(lmbcs);
        return;
    }
    for (std::size_t i = 0; i < lmbcs.size();) {
        std::size_t n = LmbcsCharBytes(lmbcs.data() + i, lmbcs.size() - i);
        // A character beyond the 16-bit range is two characters of the text
        // (a surrogate pair), and one of the output: apart, each half would
        // be no character at all.
        const auto* start = reinterpret_cast<const std::uint8_t*>(lmbcs.data() + i);
        if (StartsSurrogatePair(start, static_cast<std::uint16_t>(n), lmbcs.size() - i) &&
            LmbcsCharBytes(lmbcs.data() + i + 3, lmbcs.size() - i - 3) == 3)
            n = 6;
        const std::string_view character = lmbcs.substr(i, n);
        char bytes[16];
        plat::DWORD written = 0;
        const std::string native = plat::LmbcsToNative(character);
        const bool translated = plat::CharsetTranslate(table_, plat::XLATE_LMBCS_TO_SET, character.data(),
                                                       static_cast<plat::DWORD>(n), bytes, sizeof bytes,
                                                       &written) == plat::NOERROR &&
                                written > 0;
        if (translated && !(written == 1 && bytes[0] == '?' && native != "?")) {
            out->append(bytes, written);
        } else {
            char reference[16];
            std::snprintf(reference, sizeof reference, "&#%u;", static_cast<unsigned>(FirstCodePoint(native)));
            *out += reference;
        }
        i += n;
    }
}

void AppendQuotedPrintable(const char* text, std::size_t length, const char* zeroByte, const OutputCharset& charset,
                           std::string* out) {
    std::string converted;
    for (std::size_t i = 0; i < length;) {
        const auto b = static_cast<std::uint8_t>(text[i]);
        std::size_t n = LmbcsCharBytes(text + i, length - i);
        if (OutsideAscii(b, n)) {
            // A run of characters outside ASCII, put into the output set
            // together (a reference to one the set lacks is ASCII).
            std::size_t end = i + n;
            while (end < length) {
                const std::size_t next = LmbcsCharBytes(text + end, length - end);
                if (!OutsideAscii(static_cast<std::uint8_t>(text[end]), next)) break;
                end += next;
            }
            converted.clear();
            charset.Append(std::string_view(text + i, end - i), &converted);
            for (const char c : converted) AppendByte(static_cast<std::uint8_t>(c), out);
            i = end;
            continue;
        }
        if (b == 0) *out += zeroByte;
        else AppendByte(b, out);
        i += n;
    }
}

std::string QuotedPrintableText(const std::string& text, bool lfOnly, bool lmbcs) {
    LineCutSettings settings;
    settings.maxLineLength = kQuotedPrintableLine;
    settings.newlines = NewlineMode::CRLF;
    settings.quotedPrintable = true;
    settings.toCallerFile = lfOnly;
    const char* end = lfOnly ? "\n" : "\r\n";
    const OutputCharset utf8;
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    std::size_t at = 0;
    std::string encoded;
    while (at < text.size()) {
        std::size_t next = text.find('\n', at);
        const bool ended = next != std::string::npos;
        if (!ended) next = text.size();
        std::size_t stop = next;
        if (ended && stop > at && text[stop - 1] == '\r') --stop;
        encoded.clear();
        if (lmbcs) {
            AppendQuotedPrintable(text.data() + at, stop - at, "=00", utf8, &encoded);
        } else {
            // Native text: each byte as it is or escaped.
            for (std::size_t i = at; i < stop; ++i) AppendByte(static_cast<std::uint8_t>(text[i]), &encoded);
        }
        LineCutState state;
        if (encoded.empty()) {
            out += end;
        } else {
            CutIntoLines(settings, encoded.data(), encoded.size(), true, &state, &out);
        }
        at = ended ? next + 1 : next;
    }
    return out;
}

} // namespace talix
