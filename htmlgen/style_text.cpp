#include "htmlgen/style_text.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "htmlgen/entity_encoder.h"
#include "htmlgen/line_buffer.h"
#include "talix_platform/c_locale.h"

namespace talix {

void AppendFormat(std::string* out, const char* format, ...) {
    char piece[256];
    va_list args;
    va_start(args, format);
    const int written = plat::FormatTextV(piece, sizeof piece, format, args);
    va_end(args);
    if (written < 0) return;
    if (static_cast<std::size_t>(written) < sizeof piece) {
        out->append(piece, static_cast<std::size_t>(written));
        return;
    }
    std::vector<char> whole(static_cast<std::size_t>(written) + 1);
    va_start(args, format);
    plat::FormatTextV(whole.data(), whole.size(), format, args);
    va_end(args);
    out->append(whole.data(), static_cast<std::size_t>(written));
}

void AppendInches(std::string* out, const char* name, long twips) {
    AppendFormat(out, "%s: %4.2fin; ", name, static_cast<double>(twips) / 1440.0);
}

namespace {

bool IsAsciiLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// The first place of the character c (a mark below 0x80) at or after
// from, by whole characters; the text's size when there is none.
std::size_t FindMark(std::string_view text, char c, std::size_t from) {
    for (std::size_t i = from; i < text.size(); i += CharacterBytesAt(text, i)) {
        if (text[i] == c) return i;
    }
    return text.size();
}

// A character CSS takes in an identifier: letters, digits, "-", "_" and
// every character past ASCII (one of several bytes whole, and a byte below
// the blank that starts none).
bool IsNameCharacter(std::string_view character) {
    const auto c = static_cast<unsigned char>(character[0]);
    return IsAsciiLetter(c) || IsDigit(c) || c == '-' || c == '_' || c >= 0x80 || character.size() > 1 ||
           (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f');
}

// A run of CSS identifiers separated by single blanks.
bool IsIdentifierRun(std::string_view family) {
    if (family.empty()) return false;
    std::size_t at = 0;
    while (at < family.size()) {
        const std::size_t end = FindMark(family, ' ', at);
        const std::string_view word = family.substr(at, end - at);
        if (word.empty()) return false;
        const auto first = static_cast<unsigned char>(word[0]);
        const auto second = word.size() > 1 ? static_cast<unsigned char>(word[1]) : 0;
        if (IsDigit(first) || (first == '-' && (word.size() == 1 || IsDigit(second) || second == '-'))) return false;
        for (std::size_t i = 0; i < word.size();) {
            const std::size_t n = CharacterBytesAt(word, i);
            if (!IsNameCharacter(word.substr(i, n))) return false;
            i += n;
        }
        at = end + 1;
    }
    return family.back() != ' ';
}

void AppendCssString(std::string* out, std::string_view text) {
    out->push_back('\'');
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = CharacterBytesAt(text, i);
        const char c = text[i];
        if (n == 1 && c != '\0' && std::strchr("'\"\\\n\r\f;{}<>&", c) != nullptr) {
            AppendFormat(out, "\\%x ", static_cast<unsigned>(static_cast<unsigned char>(c)));
        } else {
            out->append(text.substr(i, n));
        }
        i += n;
    }
    out->push_back('\'');
}

} // namespace

void AppendFontFamilies(std::string* out, std::string_view families) {
    std::size_t at = 0;
    while (at < families.size()) {
        // Blanks and commas between families stay as they are.
        const char c = families[at];
        if (c == ' ' || c == '\t' || c == ',') {
            out->push_back(c);
            ++at;
            continue;
        }
        std::string_view family;
        if (c == '\'' || c == '"') {
            const std::size_t end = FindMark(families, c, at + 1);
            family = families.substr(at + 1, end - at - 1);
            at = std::min(end + 1, families.size());
            AppendCssString(out, family);
            continue;
        }
        std::size_t end = FindMark(families, ',', at);
        while (end > at && (families[end - 1] == ' ' || families[end - 1] == '\t')) --end;
        family = families.substr(at, end - at);
        at = end;
        if (IsIdentifierRun(family)) {
            out->append(family);
        } else {
            AppendCssString(out, family);
        }
    }
}

bool AppendOutput(XMLGenContext* context, const std::string& text) {
    return AppendOutput(context, text.data(), text.size());
}

void PutWaiting(XMLGenContext* context, const char* text) {
    MoveToTextEnd(context);
    char* at = context->writePosition;
    if (AppendOutput(context, text)) context->writePosition = at;
}

bool CutTrailing(XMLGenContext* context, const char* text) {
    MoveToTextEnd(context);
    const std::uint32_t length = TextLength(context);
    const std::size_t cut = std::strlen(text);
    if (length < cut || std::memcmp(context->buffer + length - cut, text, cut) != 0) return false;
    CutOutputTo(context, static_cast<std::uint32_t>(length - cut));
    return true;
}

void CutOutputTo(XMLGenContext* context, std::uint32_t length) {
    MoveToTextEnd(context);
    const std::uint32_t end = TextLength(context);
    if (length < end) {
        std::memset(context->buffer + length, 0, end - length);
        context->measuredLength = 0;
    }
    context->writePosition = context->buffer + (length < end ? length : end);
}

} // namespace talix
