#include "htmlgen/line_cutter.h"

#include "talix_platform.h"

namespace talix {

namespace {

// Bytes of the LMBCS character at p: every byte from 0x20 up is one
// character; below, the platform knows the groups.
std::size_t CharLength(const char* p, std::size_t available) {
    if (static_cast<std::uint8_t>(*p) >= 0x20) return 1;
    const std::size_t length =
        plat::LmbcsCharLength(reinterpret_cast<const plat::BYTE*>(p), static_cast<plat::DWORD>(available));
    return length == 0 ? 1 : length;
}

void AppendLineEnd(const LineCutSettings& settings, std::string* out) {
    switch (settings.newlines) {
    case NewlineMode::CRLF:
        if (!settings.toCallerFile) *out += '\r';
        *out += '\n';
        break;
    case NewlineMode::NL:
        *out += '\0';
        break;
    case NewlineMode::None:
        break;
    }
}

void AppendLine(const LineCutSettings& settings, const char* text, std::size_t from, std::size_t to,
                std::size_t length, std::string* out) {
    const std::size_t start = out->size();
    out->append(text + from, to - from);
    if (settings.newlines == NewlineMode::NL) {
        for (std::size_t i = start; i < out->size(); ++i) {
            if ((*out)[i] == '\n') (*out)[i] = '\0';
        }
    }
    if (settings.quotedPrintable) {
        const bool more = to < length;
        if (out->size() > start && out->back() == ' ') {
            out->pop_back();
            *out += "=20=";
        } else if ((out->size() == start || out->back() != '=') && more && text[to] != ' ') {
            *out += '=';
        }
    }
    AppendLineEnd(settings, out);
}

} // namespace

void CutIntoLines(const LineCutSettings& settings, const char* text, std::size_t length, std::string* out) {
    const std::size_t max = settings.maxLineLength > 0 ? settings.maxLineLength : 72;
    std::size_t pos = 0;
    while (pos < length) {
        const std::size_t lineStart = pos;
        std::size_t i = pos, column = 0;
        std::size_t ordinary = 0, preferred = 0, preferredColumn = 0, blank = 0, atMax = 0;
        bool inTag = false, closingTag = false, stopped = false;
        while (i < length) {
            const char c = text[i];
            const std::size_t n = CharLength(text + i, length - i);
            if (c == '\n') {
                column = 0;
                atMax = 0;
            } else {
                if (c == ' ') {
                    if (!inTag && i > lineStart) ordinary = i;
                    blank = i;
                } else if (c == '<') {
                    if (i > lineStart) ordinary = i;
                    inTag = true;
                    closingTag = i + 1 < length && text[i + 1] == '/';
                } else if (c == '>') {
                    ordinary = i + 1;
                    const bool beforeStartTag = i + 2 < length && text[i + 1] == '<' && text[i + 2] != '/';
                    if ((inTag && closingTag) || beforeStartTag) {
                        preferred = i + 1;
                        preferredColumn = column + 1;
                    }
                    inTag = false;
                    closingTag = false;
                } else if (c == ';' && !inTag) {
                    ordinary = i + 1;
                }
                ++column;
                if (column == max) atMax = i + n;
            }
            i += n;
            const bool breakKnown = ordinary > lineStart || preferred > lineStart;
            if ((column >= max && breakKnown) || column >= 2 * max || i - lineStart >= max + 1000) {
                stopped = true;
                break;
            }
        }

        // The rest of the text is the last line when it fits.
        std::size_t cut = i;
        if (stopped || column > max) {
            if (preferred > lineStart && preferredColumn < max) {
                cut = preferred;
            } else if (ordinary > lineStart) {
                cut = ordinary;
            } else if (blank > lineStart && length - lineStart > max) {
                cut = blank + 1;
            } else if (atMax > lineStart) {
                cut = atMax;
            }
            if (settings.quotedPrintable) {
                // A blank at the cut ends the line, so that it becomes a
                // soft break and the decoded text keeps its blanks as they
                // were.
                if (cut < length && text[cut] == ' ') ++cut;
                // An escape ("=" and two digits) stays on one line.
                if (cut >= lineStart + 2 && text[cut - 1] == '=') {
                    cut -= 1;
                } else if (cut >= lineStart + 3 && text[cut - 2] == '=') {
                    cut -= 2;
                }
            }
        }
        AppendLine(settings, text, lineStart, cut, length, out);
        pos = cut;
    }
}

} // namespace talix
