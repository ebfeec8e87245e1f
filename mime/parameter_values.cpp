#include "mime/parameter_values.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "core/ascii.h"
#include "core/text_compare.h"
#include "htmlimport/html_input.h"
#include "mime/header_text.h"
#include "core/charset_labels.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr std::size_t kLongestParameterValue = 132;
// A file name longer than this is cut: no stored name holds as much.
constexpr std::size_t kLongestFileNameValue = 1024;

bool Blank(char c) { return c == ' ' || c == '\t'; }

// Where a parameter may start: the beginning of the text, or after a ";",
// a blank or a line end.
bool ParameterStart(std::string_view text, std::size_t at) {
    if (at == 0) return true;
    const char before = text[at - 1];
    return before == ';' || Blank(before) || before == '\r' || before == '\n';
}

// The value that starts at text[at] (after the "="), quoted or not; *at
// ends after it. A quoted value ends at its closing quote; "\"" and "\\" in
// it stand for the character escaped (any other backslash stands for
// itself, as in the Windows paths some programs send), and a folded line
// end in it goes. A value ends at a line end that does not fold, at NUL,
// and after limit bytes.
std::string ValueAt(std::string_view text, std::size_t* at, std::size_t limit) {
    std::size_t i = *at;
    char closing = '\0';
    if (i < text.size() && (text[i] == '"' || text[i] == '\'')) closing = text[i++];
    std::string value;
    while (i < text.size() && value.size() < limit) {
        const char c = text[i];
        if (c == '\0') break;
        if (c == '\r' || c == '\n') {
            // Inside quotes a line end followed by a blank only folds the line.
            std::size_t next = i + 1;
            if (c == '\r' && next < text.size() && text[next] == '\n') ++next;
            if (closing == '"' && next < text.size() && Blank(text[next])) {
                i = next;
                continue;
            }
            break;
        }
        if (closing == '\0' && c == ';') break;
        ++i;
        if (c == closing) break;
        if (closing == '"' && c == '\\' && i < text.size() && (text[i] == '"' || text[i] == '\\')) {
            value.push_back(text[i++]);
            continue;
        }
        value.push_back(c);
    }
    if (closing == '\0') {
        while (!value.empty() && Blank(value.back())) value.pop_back();
    }
    *at = i;
    return value;
}

struct Parameter {
    std::string name;    // as written, "filename*0*" for instance
    std::string value;   // quotes and escapes undone
};

// The parameters of a header value, after its first ";", in order.
std::vector<Parameter> ParametersOf(std::string_view text) {
    std::vector<Parameter> parameters;
    std::size_t at = text.find(';');
    while (at != std::string_view::npos && at < text.size()) {
        while (at < text.size() && (Blank(text[at]) || text[at] == ';' || text[at] == '\r' || text[at] == '\n')) ++at;
        const std::size_t nameStart = at;
        while (at < text.size() && text[at] != '=' && text[at] != ';' && text[at] != '\0') ++at;
        if (at >= text.size() || text[at] != '=') {
            if (at < text.size() && text[at] == '\0') break;
            continue;
        }
        std::string_view name = text.substr(nameStart, at - nameStart);
        while (!name.empty() && Blank(name.back())) name.remove_suffix(1);
        ++at;
        while (at < text.size() && Blank(text[at])) ++at;
        Parameter parameter{std::string(name), ValueAt(text, &at, kLongestFileNameValue)};
        parameters.push_back(std::move(parameter));
        // What follows a closing quote, up to the next ";", belongs to no value.
        while (at < text.size() && text[at] != ';') {
            if (text[at] == '\0') return parameters;
            ++at;
        }
    }
    return parameters;
}

// "%" and two hexadecimal digits as the byte they stand for; anything else
// as it stands.
std::string PercentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '%' && at + 2 < text.size() && HexDigitValue(text[at + 1]) >= 0 && HexDigitValue(text[at + 2]) >= 0) {
            out.push_back(static_cast<char>(HexDigitValue(text[at + 1]) * 16 + HexDigitValue(text[at + 2])));
            at += 2;
        } else {
            out.push_back(text[at]);
        }
    }
    return out;
}

// Bytes in the named character set as UTF-8. UTF-8, US-ASCII, no name and
// a set the platform does not know leave the bytes as they are.
std::string InUtf8(const std::string& bytes, std::string charset) {
    // "UTF-8*en": a language may follow the set's name.
    const std::size_t star = charset.find('*');
    if (star != std::string::npos) charset.resize(star);
    if (charset.empty() || bytes.empty()) return bytes;
    const std::uint16_t id = MessageReadingCharsetId(charset);
    if (id == 0 || id == plat::CHARSET_UTF8 || id == plat::CHARSET_ASCII) return bytes;
    InputCharset set;
    set.encoding = HtmlEncoding::kCharset;
    set.charsetId = id;
    std::string converted;
    std::string_view utf8;
    if (InputAsUtf8(bytes, set, &converted, &utf8) != kOK) return bytes;
    return std::string(utf8);
}

// A value that names its character set: "charset'language'%XX...".
std::string ExtendedValue(const std::string& value) {
    const std::size_t first = value.find('\'');
    const std::size_t second = first == std::string::npos ? std::string::npos : value.find('\'', first + 1);
    if (second == std::string::npos) return PercentDecoded(value);
    return InUtf8(PercentDecoded(std::string_view(value).substr(second + 1)), value.substr(0, first));
}

// The text of one encoded word "=?charset?B?text?=" or "=?charset?Q?text?="
// that starts at text[at]: its character set and bytes; *end after it.
// False when no encoded word starts there.
bool EncodedWordAt(std::string_view text, std::size_t at, std::string* charset, std::string* bytes,
                   std::size_t* end) {
    if (text.substr(at, 2) != "=?") return false;
    const std::size_t q1 = text.find('?', at + 2);
    if (q1 == std::string_view::npos || q1 + 2 >= text.size() || text[q1 + 2] != '?') return false;
    const char kind = LowerAscii(text[q1 + 1]);
    if (kind != 'b' && kind != 'q') return false;
    const std::size_t close = text.find("?=", q1 + 3);
    if (close == std::string_view::npos) return false;
    const std::string_view encoded = text.substr(q1 + 3, close - q1 - 3);
    if (encoded.find_first_of(" \t\r\n") != std::string_view::npos) return false;
    charset->assign(text.substr(at + 2, q1 - at - 2));
    *bytes = EncodedBytes(kind, encoded);
    *end = close + 2;
    return true;
}

// A text with its encoded words decoded. Blanks between two encoded words
// go; the bytes of neighbouring words in one character set are joined
// before they are read, so that a character split over two words is whole.
std::string EncodedWordsDecoded(std::string_view text) {
    if (text.find("=?") == std::string_view::npos) return std::string(text);
    std::string out;
    std::string pendingCharset, pendingBytes;
    bool pending = false;
    auto flush = [&] {
        if (pending) out += InUtf8(pendingBytes, pendingCharset);
        pending = false;
        pendingBytes.clear();
    };
    std::size_t at = 0;
    while (at < text.size()) {
        std::string charset, bytes;
        std::size_t end = 0;
        if (EncodedWordAt(text, at, &charset, &bytes, &end)) {
            if (pending && !EqualNoCase(charset, pendingCharset)) flush();
            pending = true;
            pendingCharset = charset;
            pendingBytes += bytes;
            at = end;
            continue;
        }
        if (pending && Blank(text[at])) {
            // Blanks that only separate two encoded words.
            std::size_t next = at;
            while (next < text.size() && Blank(text[next])) ++next;
            std::size_t wordEnd = 0;
            std::string nextCharset, nextBytes;
            if (next < text.size() && EncodedWordAt(text, next, &nextCharset, &nextBytes, &wordEnd)) {
                at = next;
                continue;
            }
        }
        flush();
        out.push_back(text[at++]);
    }
    flush();
    return out;
}

} // namespace

std::string MimeParameterValue(std::string_view text, std::string_view key) {
    std::size_t found = FindNoCaseIn(text, key);
    while (found != std::string_view::npos && !ParameterStart(text, found)) {
        const std::size_t next = FindNoCaseIn(text.substr(found + 1), key);
        found = next == std::string_view::npos ? next : found + 1 + next;
    }
    if (found == std::string_view::npos) return "";
    std::size_t at = found + key.size();
    return ValueAt(text, &at, kLongestParameterValue);
}

std::string MimeFileNameParameter(std::string_view value, std::string_view name) {
    const std::vector<Parameter> parameters = ParametersOf(value);
    std::string plain;
    bool plainFound = false;
    // The pieces of a continued name by number: the value and whether it
    // is written with "%" escapes.
    std::map<unsigned, std::pair<std::string, bool>> pieces;
    for (const Parameter& parameter : parameters) {
        const std::string_view given = parameter.name;
        if (given.size() < name.size() || !StartsWithNoCase(given, name)) continue;
        const std::string_view rest = given.substr(name.size());
        if (rest.empty()) {
            if (!plainFound) plain = parameter.value;
            plainFound = true;
        } else if (rest == "*") {
            return ExtendedValue(parameter.value);
        } else if (rest[0] == '*' && rest.size() > 1) {
            const bool extended = rest.back() == '*';
            const std::string_view digits = rest.substr(1, rest.size() - 1 - (extended ? 1 : 0));
            if (digits.empty() || digits.size() > 4 || digits.find_first_not_of("0123456789") != std::string_view::npos)
                continue;
            const unsigned number = static_cast<unsigned>(std::stoul(std::string(digits)));
            pieces.emplace(number, std::make_pair(parameter.value, extended));
        }
    }
    if (pieces.count(0) != 0) {
        // The first piece names the character set when it has escapes.
        std::string charset, bytes;
        for (unsigned number = 0; pieces.count(number) != 0 && bytes.size() < kLongestFileNameValue; ++number) {
            const auto& [text, extended] = pieces[number];
            if (!extended) {
                bytes += text;
                continue;
            }
            std::string_view encoded = text;
            if (number == 0) {
                const std::size_t first = text.find('\'');
                const std::size_t second = first == std::string::npos ? first : text.find('\'', first + 1);
                if (second != std::string::npos) {
                    charset = text.substr(0, first);
                    encoded.remove_prefix(second + 1);
                }
            }
            bytes += PercentDecoded(encoded);
        }
        return InUtf8(bytes, charset);
    }
    return EncodedWordsDecoded(plain);
}

} // namespace talix
