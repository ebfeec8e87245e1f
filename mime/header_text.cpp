#include "mime/header_text.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/ascii.h"
#include "core/base64.h"
#include "core/text_compare.h"
#include "htmlimport/html_input.h"
#include "talix_platform.h"

namespace talix {

std::string EncodedBytes(char encoding, std::string_view encoded) {
    std::string bytes;
    if (encoding == 'B' || encoding == 'b') {
        bytes.resize(encoded.size() * 3 / 4 + 3);
        bytes.resize(DecodeBase64(encoded.data(), reinterpret_cast<std::uint8_t*>(bytes.data()),
                                  static_cast<std::uint32_t>(encoded.size()), static_cast<std::uint32_t>(bytes.size())));
        return bytes;
    }
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '_') {
            bytes += ' ';
        } else if (c == '=' && i + 2 < encoded.size() && IsHexDigit(encoded[i + 1]) && IsHexDigit(encoded[i + 2])) {
            bytes += static_cast<char>(HexDigitValue(encoded[i + 1]) * 16 + HexDigitValue(encoded[i + 2]));
            i += 2;
        } else {
            bytes += c;
        }
    }
    return bytes;
}

namespace {

constexpr std::size_t kFoldAt = 78;          // the line length RFC 5322 asks for
constexpr std::size_t kLongestWord = 900;    // a word a line of 998 characters holds with its field name
constexpr std::size_t kEncodedPiece = 45;    // bytes of one encoded word: 60 Base64 characters

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

std::string Trimmed(std::string_view text) {
    std::size_t from = 0, to = text.size();
    while (from < to && text[from] == ' ') ++from;
    while (to > from && text[to - 1] == ' ') --to;
    return std::string(text.substr(from, to - from));
}

std::size_t LongestWord(std::string_view text) {
    std::size_t longest = 0, current = 0;
    for (const char c : text) {
        current = c == ' ' ? 0 : current + 1;
        if (current > longest) longest = current;
    }
    return longest;
}

// Folds a header line before blanks so that its lines hold at most 78
// characters where the words allow; unfolding gives the line back.
std::string Fold(const std::string& line) {
    if (line.size() <= kFoldAt) return line;
    std::string out;
    out.reserve(line.size() + line.size() / kFoldAt + 1);
    std::size_t column = 0;
    std::size_t i = 0;
    int words = 0;
    while (i < line.size()) {
        std::size_t j = i;
        while (j < line.size() && line[j] == ' ') ++j;
        while (j < line.size() && line[j] != ' ') ++j;
        // The field name keeps the value's first word beside it.
        if (++words > 2 && line[i] == ' ' && column + (j - i) > kFoldAt) {
            out += '\n';
            column = 0;
        }
        out.append(line, i, j - i);
        column += j - i;
        i = j;
    }
    return out;
}

// UTF-8 text as encoded words of at most 75 characters, separated by
// blanks; pieces end on whole characters.
std::string EncodedWords(std::string_view text) {
    std::string words;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = at + kEncodedPiece < text.size() ? at + kEncodedPiece : text.size();
        while (end > at + 1 && end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
        if (!words.empty()) words += ' ';
        words += "=?UTF-8?B?";
        AppendBase64Lines(reinterpret_cast<const std::uint8_t*>(text.data() + at), end - at, 1, 0, &words);
        words += "?=";
        at = end;
    }
    return words;
}

bool IsAtext(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           (c != '\0' && std::strchr("!#$%&'*+-/=?^_`{|}~", c) != nullptr);
}

bool IsDotAtom(std::string_view text) {
    if (text.empty() || text.front() == '.' || text.back() == '.') return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '.' ? text[i + 1] == '.' : !IsAtext(text[i])) return false;
    }
    return true;
}

bool IsDomain(std::string_view text) {
    if (!IsDotAtom(text)) return false;
    for (const char c : text) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!letter && c != '-' && c != '.') return false;
    }
    return true;
}

// An address: a dot atom, "@" and a domain, of at most 254 characters (the
// longest path mail carries; a longer one is no address, and may not fit
// on a line).
bool IsAddrSpec(std::string_view text) {
    constexpr std::size_t kLongestAddress = 254;
    if (text.size() > kLongestAddress) return false;
    const std::size_t at = text.rfind('@');
    return at != std::string_view::npos && IsDotAtom(text.substr(0, at)) && IsDomain(text.substr(at + 1));
}

// The UTF-8 text with every character that some reader takes for a line
// end or a control (C0 and C1 controls, the line and paragraph separators)
// made a blank.
std::string WithoutControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        const auto third = i + 2 < text.size() ? static_cast<unsigned char>(text[i + 2]) : 0;
        if (b < 0x20 || b == 0x7F) {
            out += ' ';
        } else if (b == 0xC2 && next >= 0x80 && next <= 0x9F) {
            out += ' ';
            ++i;
        } else if (b == 0xE2 && next == 0x80 && (third == 0xA8 || third == 0xA9)) {
            out += ' ';
            i += 2;
        } else {
            out += static_cast<char>(b);
        }
    }
    return out;
}


// The ready-made encoded word ("=?charset?B?text?=" or with Q) that begins
// at text[at]: its length in *length and its text, decoded, in *decoded.
// False when none begins there, or its character set is one the platform
// cannot read.
bool ReadyMadeWord(std::string_view text, std::size_t at, std::size_t* length, std::string* decoded) {
    if (text.compare(at, 2, "=?") != 0) return false;
    const std::size_t charsetEnd = text.find('?', at + 2);
    if (charsetEnd == std::string_view::npos || charsetEnd + 2 >= text.size() || text[charsetEnd + 2] != '?')
        return false;
    const char encoding = text[charsetEnd + 1];
    if (std::strchr("BbQq", encoding) == nullptr) return false;
    const std::size_t textStart = charsetEnd + 3;
    const std::size_t end = text.find("?=", textStart);
    if (end == std::string_view::npos) return false;
    const std::string_view encoded = text.substr(textStart, end - textStart);
    if (encoded.find(' ') != std::string_view::npos) return false;
    // A language after "*" (RFC 2231) does not change the set.
    std::string charset(text.substr(at + 2, charsetEnd - at - 2));
    charset = charset.substr(0, charset.find('*'));
    const std::uint16_t id = MessageReadingCharsetId(charset);
    if (id == 0) return false;
    InputCharset set;
    set.encoding = HtmlEncoding::kCharset;
    set.charsetId = id;
    const std::string bytes = EncodedBytes(encoding, encoded);
    std::string_view utf8;
    if (InputAsUtf8(bytes, set, decoded, &utf8) != kOK) return false;
    if (utf8.data() != decoded->data()) decoded->assign(utf8);
    *length = end + 2 - at;
    return true;
}

// The name with each ready-made encoded word it holds decoded; a word that
// cannot be decoded stays as it is.
std::string WithReadyMadeWordsDecoded(std::string_view name) {
    std::string text;
    for (std::size_t at = 0; at < name.size();) {
        std::size_t length = 0;
        std::string decoded;
        if (name[at] == '=' && ReadyMadeWord(name, at, &length, &decoded)) {
            text += decoded;
            at += length;
        } else {
            text += name[at++];
        }
    }
    return text;
}

// A free text as a header value: itself, or encoded words where it holds
// more than US-ASCII, a word too long for a line, or what a reader could
// take for an encoded word. As in a display name, ready-made encoded words
// are decoded first and controls made blanks, so that no decoding of the
// value gives a line end.
std::string TextValue(const std::string& value) {
    const std::string text = WithoutControls(WithReadyMadeWordsDecoded(value));
    const bool asItIs = IsAscii(text) && LongestWord(text) <= kLongestWord && text.find("=?") == std::string::npos;
    return asItIs ? text : EncodedWords(text);
}

// A display name as a quoted string, or as encoded words outside US-ASCII
// or where a word of it is too long for a line.
// No decoding of what is written gives a line end: ready-made encoded
// words in the name are decoded here and written again as encoded words
// of ours, and a name that still holds what a reader could take for an
// encoded word goes as encoded words of ours too, which a reader decodes
// once, to the text itself.
std::string DisplayName(const std::string& given) {
    const std::string name = WithoutControls(WithReadyMadeWordsDecoded(given));
    if (!IsAscii(name) || name.find("=?") != std::string::npos || LongestWord(name) > kLongestWord)
        return EncodedWords(name);
    std::string quoted = "\"";
    for (const char c : name) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

// A quoted display name without its quotes and escapes; other text as it is.
std::string Unquoted(const std::string& text) {
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') return text;
    std::string plain;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] == '\\' && i + 2 < text.size()) ++i;
        plain += text[i];
    }
    return plain;
}

// The display name and address of a text that is an address, with or
// without a display name; false for any other text.
bool ReadMailbox(const std::string& text, std::string* display, std::string* address) {
    if (IsAddrSpec(text)) {
        display->clear();
        *address = text;
        return true;
    }
    const std::size_t open = text.rfind('<');
    if (text.empty() || text.back() != '>' || open == std::string::npos ||
        !IsAddrSpec(std::string_view(text).substr(open + 1, text.size() - open - 2)))
        return false;
    *address = text.substr(open + 1, text.size() - open - 2);
    *display = Unquoted(Trimmed(std::string_view(text).substr(0, open)));
    return true;
}

// Where the comment that ends the text opens: the "(" that matches its last
// ")", a comment within it counted as part of it; the last "(" when none
// matches (npos when there is none).
std::size_t CommentOpening(const std::string& text) {
    int depth = 0;
    for (std::size_t at = text.size(); at-- > 0;) {
        if (text[at] == ')') ++depth;
        else if (text[at] == '(' && --depth == 0) return at;
    }
    return text.rfind('(');
}

// One entry as a mailbox: an address with or without a display name as it
// is, and so with a comment after it (the older "address (Name)" form: the
// comment is the name, or is added to it); any other text as the display
// name of the undeliverable address.
std::string Mailbox(const std::string& entry) {
    const std::string text = Trimmed(entry);
    if (text.empty()) return "";
    std::string display, address;
    if (!ReadMailbox(text, &display, &address)) {
        const std::size_t open = CommentOpening(text);
        std::string comment;
        if (text.back() == ')' && open != std::string::npos && open > 0 &&
            ReadMailbox(Trimmed(std::string_view(text).substr(0, open)), &display, &address)) {
            comment = Trimmed(std::string_view(text).substr(open + 1, text.size() - open - 2));
            if (!comment.empty()) display = display.empty() ? comment : display + " (" + comment + ")";
        } else {
            display = text;
            address = kUndeliverableAddress;
        }
    }
    return display.empty() ? address : DisplayName(display) + " <" + address + ">";
}

// The addresses of an entry: split at the commas outside quotes, angle
// brackets and comments (a "(" that no ")" closes opens none).
std::vector<std::string> SplitAddresses(const std::string& entry, bool comments = true) {
    std::vector<std::string> parts(1);
    bool quoted = false;
    int angle = 0, comment = 0;
    for (std::size_t i = 0; i < entry.size(); ++i) {
        const char c = entry[i];
        if (quoted && c == '\\' && i + 1 < entry.size()) {
            parts.back() += c;
            parts.back() += entry[++i];
            continue;
        }
        if (c == '"' && comment == 0) quoted = !quoted;
        else if (!quoted && c == '<') ++angle;
        else if (!quoted && c == '>' && angle > 0) --angle;
        else if (comments && !quoted && c == '(') ++comment;
        else if (!quoted && c == ')' && comment > 0) --comment;
        if (c == ',' && !quoted && angle == 0 && comment == 0) {
            parts.emplace_back();
            continue;
        }
        parts.back() += c;
    }
    if (comment != 0) return SplitAddresses(entry, false);
    return parts;
}

bool IsHeaderLine(const std::string& line) {
    const std::size_t colon = line.find(':');
    if (colon == 0 || colon == std::string::npos) return false;
    for (std::size_t i = 0; i < colon; ++i) {
        if (line[i] < '!' || line[i] > '~') return false;
    }
    return true;
}

// Whether the header line says what the message's body is (its type, its
// transfer encoding, how it is shown): those lines are the writer's own,
// and a second one, which readers may take in place of the writer's, would
// make them read the entity as something else and lose its parts.
bool DescribesTheBody(const std::string& line) { return StartsWithNoCase(line.c_str(), "Content-"); }

} // namespace

std::string HeaderValue(std::string_view lmbcs) {
    const std::string native = plat::LmbcsToNative(lmbcs);
    std::string value;
    value.reserve(native.size());
    for (const char c : native) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            // A line end (CR LF, CR, LF) and every control character: a blank.
            if (!value.empty() && value.back() == ' ' && (c == '\n' || c == '\r')) continue;
            value += ' ';
        } else {
            value += c;
        }
    }
    return Trimmed(value);
}

std::string TextHeader(const char* name, std::string_view lmbcs) {
    const std::string value = HeaderValue(lmbcs);
    if (value.empty()) return "";
    return Fold(std::string(name) + ": " + TextValue(value));
}

std::string AddressHeader(const char* name, const std::vector<std::string>& entries) {
    std::string list;
    for (const std::string& entry : entries) {
        for (const std::string& part : SplitAddresses(HeaderValue(entry))) {
            const std::string mailbox = Mailbox(part);
            if (mailbox.empty()) continue;
            if (!list.empty()) list += ", ";
            list += mailbox;
        }
    }
    return list.empty() ? "" : Fold(std::string(name) + ": " + list);
}

std::string NamedAddressHeader(const char* name, const std::string& displayName) {
    return Fold(std::string(name) + ": " + DisplayName(HeaderValue(displayName)) + " <" + kUndeliverableAddress + ">");
}

std::string WholeHeaderLine(const char* name, std::string_view lmbcs) {
    std::string line = HeaderValue(lmbcs);
    if (line.empty()) return "";
    if (!IsHeaderLine(line) || DescribesTheBody(line)) line = std::string(name) + ": " + line;
    const std::size_t colon = line.find(':');
    // A field name alone gives no line, as an empty option does.
    const std::string value = Trimmed(std::string_view(line).substr(colon + 1));
    if (value.empty()) return "";
    return Fold(line.substr(0, colon + 1) + " " + TextValue(value));
}

std::string MessageIdHeader(std::string_view lmbcs) {
    const std::string value = HeaderValue(lmbcs);
    const std::size_t at = value.rfind('@');
    // An id too long for a line is none.
    if (value.size() < 5 || value.size() > kLongestWord || value.front() != '<' || value.back() != '>' ||
        at == std::string::npos ||
        !IsDotAtom(std::string_view(value).substr(1, at - 1)) ||
        !IsDotAtom(std::string_view(value).substr(at + 1, value.size() - at - 2)))
        return "";
    return Fold("Message-ID: " + value);
}

std::string GeneratedHeader(const char* name, const std::string& value) {
    return Fold(std::string(name) + ": " + value);
}

std::string NewMessageId(const char* token) {
    static std::atomic<unsigned> count{0};
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    char id[160];
    std::snprintf(id, sizeof id, "<%s.%llx.%lx.%x@localhost.invalid>", token != nullptr && token[0] != '\0' ? token : "0",
                  static_cast<unsigned long long>(now.tv_sec) * 1000000000ull + static_cast<unsigned long long>(now.tv_nsec),
                  static_cast<long>(::getpid()), count.fetch_add(1));
    return id;
}

} // namespace talix
