#include "htmlgen/quoted_printable.h"

#include <cstdint>

#include "htmlgen/line_cutter.h"

namespace talix {

namespace {

constexpr std::uint16_t kQuotedPrintableLine = 76;

} // namespace

void AppendQuotedPrintable(const char* text, std::size_t length, const char* zeroByte, std::string* out) {
    static const char kHex[] = "0123456789ABCDEF";
    auto escape = [out](std::uint8_t b) {
        *out += '=';
        *out += kHex[b >> 4];
        *out += kHex[b & 0x0F];
    };
    for (std::size_t i = 0; i < length;) {
        const auto b = static_cast<std::uint8_t>(text[i]);
        const std::size_t n = LmbcsCharBytes(text + i, length - i);
        if (n > 1) {
            for (std::size_t k = 0; k < n && i + k < length; ++k) escape(static_cast<std::uint8_t>(text[i + k]));
        } else if (b == 0) {
            *out += zeroByte;
        } else if (b == '=' || b >= 0x7F || (b < 0x20 && b != '\t')) {
            escape(b);
        } else {
            *out += static_cast<char>(b);
        }
        i += n;
    }
}

std::string QuotedPrintableText(const std::string& text, bool lfOnly) {
    LineCutSettings settings;
    settings.maxLineLength = kQuotedPrintableLine;
    settings.newlines = NewlineMode::CRLF;
    settings.quotedPrintable = true;
    settings.toCallerFile = lfOnly;
    const char* end = lfOnly ? "\n" : "\r\n";
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t next = text.find('\n', at);
        const bool ended = next != std::string::npos;
        if (!ended) next = text.size();
        std::size_t stop = next;
        if (ended && stop > at && text[stop - 1] == '\r') --stop;
        std::string encoded;
        AppendQuotedPrintable(text.data() + at, stop - at, "=00", &encoded);
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
