// Input encodings of the HTML import and the conversions around the parser.
#include "htmlimport/html_input.h"

#include <algorithm>
#include <new>

#include "core/ascii.h"
#include "core/charset_labels.h"
#include "core/charset_names.h"
#include "core/options.h"
#include "core/text_compare.h"
#include "core/utf8.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr std::size_t kValueSize = 64;

// The platform set that stands for an encoding other than UTF-8 and LMBCS.
std::uint16_t SetOf(const InputCharset& charset) {
    switch (charset.encoding) {
    case HtmlEncoding::kAscii:
    case HtmlEncoding::kLatin1: return plat::CHARSET_LATIN1;
    case HtmlEncoding::kIso2022: return 3276;
    case HtmlEncoding::kMac: return plat::CHARSET_MAC_ROMAN;
    case HtmlEncoding::kCharset: return charset.charsetId;
    default: return 0;
    }
}

bool PlainAscii(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 || (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r')) return false;
    }
    return true;
}

// The set a name stands for when the platform can translate it, UTF-8
// otherwise. Names are read as pages and mail give them ("koi8-r",
// "Shift_JIS", "iso-8859-15") as well as by the platform's own spellings.
InputCharset NamedSet(const std::string& name) {
    if (CompareNamesNoCase(name.c_str(), "ascii") == 0 || CompareNamesNoCase(name.c_str(), "us-ascii") == 0)
        return {HtmlEncoding::kAscii, 0};
    if (CompareNamesNoCase(name.c_str(), "latin1") == 0) return {HtmlEncoding::kLatin1, 0};
    const std::uint16_t id = MessageReadingCharsetId(name);
    if (id == 0 || id == plat::CHARSET_UTF8) return {};
    plat::CharsetHandle table = 0;
    if (plat::CharsetLoad(id, &table) != plat::NOERROR) return {};
    plat::CharsetUnload(table);
    return {HtmlEncoding::kCharset, id};
}

// How far into a page its meta elements are looked for: a declaration
// further on comes after text it should have governed.
constexpr std::size_t kDeclarationReach = 4096;

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Where word begins in text at or after from, ignoring case; npos when not.
std::size_t FindFolded(std::string_view text, std::string_view word, std::size_t from) {
    for (std::size_t at = from; at + word.size() <= text.size(); ++at) {
        std::size_t k = 0;
        while (k < word.size() && LowerAscii(text[at + k]) == word[k]) ++k;
        if (k == word.size()) return at;
    }
    return std::string_view::npos;
}

// The set name the first meta element that names one gives: its charset
// attribute, or the "charset=" of its content type. Empty when none does.
std::string DeclaredName(std::string_view content) {
    const std::string_view head = content.substr(0, std::min(content.size(), kDeclarationReach));
    for (std::size_t meta = FindFolded(head, "<meta", 0); meta != std::string_view::npos;
         meta = FindFolded(head, "<meta", meta + 5)) {
        const std::size_t end = head.find('>', meta);
        const std::string_view tag = head.substr(meta, end == std::string_view::npos ? head.size() - meta : end - meta);
        for (std::size_t at = FindFolded(tag, "charset", 0); at != std::string_view::npos;
             at = FindFolded(tag, "charset", at + 7)) {
            std::size_t k = at + 7;
            while (k < tag.size() && (tag[k] == ' ' || tag[k] == '\t')) ++k;
            if (k >= tag.size() || tag[k] != '=') continue;
            ++k;
            while (k < tag.size() && (tag[k] == ' ' || tag[k] == '\t')) ++k;
            if (k < tag.size() && (tag[k] == '"' || tag[k] == '\'')) ++k;
            std::size_t stop = k;
            while (stop < tag.size() && (IsAsciiLetterOrDigit(tag[stop]) ||
                                         tag[stop] == '-' || tag[stop] == '_' || tag[stop] == '.' || tag[stop] == ':'))
                ++stop;
            if (stop > k && stop - k < kValueSize) return std::string(tag.substr(k, stop - k));
        }
    }
    return std::string();
}

} // namespace

bool ApplyCharEncodingValue(const char* value, InputCharset* charset) {
    static const struct {
        const char* name;
        HtmlEncoding encoding;
    } kNames[] = {
        {"raw", HtmlEncoding::kRaw},       {"ascii", HtmlEncoding::kAscii}, {"latin1", HtmlEncoding::kLatin1},
        {"utf8", HtmlEncoding::kUtf8},     {"utf-8", HtmlEncoding::kUtf8},  {"iso2022", HtmlEncoding::kIso2022},
        {"mac", HtmlEncoding::kMac},
    };
    if (value == nullptr) return false;
    for (const auto& row : kNames) {
        if (CompareNamesNoCase(value, row.name) == 0) {
            *charset = InputCharset{row.encoding, 0};
            return true;
        }
    }
    return false;
}

void ApplyCharEncodingOption(const char* options, InputCharset* charset) {
    char value[kValueSize] = {};
    if (GetOptionValue(options, "CharEncoding=", value, sizeof value) != 0) ApplyCharEncodingValue(value, charset);
}

InputCharset BufferInputCharset(std::string_view content, const char* importOptions, const char* parserOptions) {
    InputCharset charset;
    char value[kValueSize] = {};
    if (GetOptionValue(importOptions, "Charset=", value, sizeof value) != 0) {
        if (CompareNamesNoCase(value, "ascii") == 0 || CompareNamesNoCase(value, "us-ascii") == 0)
            return {HtmlEncoding::kAscii, 0};
        if (CompareNamesNoCase(value, "latin1") == 0) return {HtmlEncoding::kLatin1, 0};
        // A set the platform can translate is read as that set; every other
        // name leaves UTF-8.
        const auto id = static_cast<std::uint16_t>(CharsetNameToId(value, plat::CHARSET_UTF8));
        plat::CharsetHandle table = 0;
        if (id != plat::CHARSET_UTF8 && plat::CharsetLoad(id, &table) == plat::NOERROR) {
            plat::CharsetUnload(table);
            return {HtmlEncoding::kCharset, id};
        }
        return charset;
    }
    char encoding[kValueSize] = {};
    if (GetOptionValue(importOptions, "CharEncoding=", encoding, sizeof encoding) != 0 &&
        ApplyCharEncodingValue(encoding, &charset))
        return charset;
    if (GetOptionValue(parserOptions, "CharEncoding=", encoding, sizeof encoding) != 0) {
        ApplyCharEncodingValue(encoding, &charset);
        return charset;
    }
    // HTML that is not UTF-8 is read in the set it declares, as a file is:
    // read as UTF-8 it would lose every character outside ASCII. HTML that
    // is UTF-8 stays UTF-8 whatever its meta element says.
    if (IsUtf8(content)) return charset;
    const std::string declared = DeclaredName(content);
    return declared.empty() ? charset : NamedSet(declared);
}

InputCharset FileInputCharset(std::string_view content, const char* importOptions, const char* parserOptions) {
    InputCharset charset;
    char value[kValueSize] = {};
    const bool encodingGiven = GetOptionValue(parserOptions, "CharEncoding=", value, sizeof value) != 0 ||
                               GetOptionValue(importOptions, "CharEncoding=", value, sizeof value) != 0;
    if (encodingGiven) {
        ApplyCharEncodingOption(parserOptions, &charset);
        ApplyCharEncodingOption(importOptions, &charset);
        return charset;
    }
    if (GetOptionValue(importOptions, "Charset=", value, sizeof value) != 0) return NamedSet(value);
    if (content.substr(0, 3) == "\xEF\xBB\xBF") return charset;
    if (content.substr(0, 2) == "\xFF\xFE" || content.substr(0, 2) == "\xFE\xFF") {
        // The set reads the mark and drops it.
        InputCharset twoByte = NamedSet("UTF-16");
        return twoByte.encoding == HtmlEncoding::kCharset ? twoByte : charset;
    }
    const std::string declared = DeclaredName(content);
    if (declared.empty()) return charset;
    const InputCharset named = NamedSet(declared);
    // A page of ASCII bytes cannot be in a set of two bytes to a character
    // (it names one as a browser's save would): it is read as UTF-8.
    if (named.encoding == HtmlEncoding::kCharset &&
        (named.charsetId == plat::CHARSET_UTF16 || named.charsetId == plat::CHARSET_UTF16BE ||
         named.charsetId == plat::CHARSET_UNICODE))
        return charset;
    return named;
}

STATUS InputAsUtf8(std::string_view input, InputCharset charset, std::string* storage, std::string_view* utf8) {
    try {
        if (charset.encoding == HtmlEncoding::kUtf8 || input.empty()) {
            *utf8 = input;
            return kOK;
        }
        if (charset.encoding == HtmlEncoding::kRaw || SetOf(charset) == plat::CHARSET_LMBCS) {
            *storage = plat::LmbcsToNative(input);
            *utf8 = *storage;
            return kOK;
        }
        // Every character of a set becomes at most three bytes of LMBCS, and
        // the platform counts them in 32 bits.
        if (input.size() > (0xFFFFFFFFu - 16) / 3) return kOutOfMemory;
        plat::CharsetHandle table = 0;
        if (plat::CharsetLoad(SetOf(charset), &table) != plat::NOERROR) return kHtmlTreeLost;
        std::string lmbcs(input.size() * 3 + 16, '\0');
        plat::DWORD length = 0;
        const plat::STATUS status =
            plat::CharsetTranslate(table, plat::XLATE_SET_TO_LMBCS, input.data(), static_cast<plat::DWORD>(input.size()),
                                   lmbcs.data(), static_cast<plat::DWORD>(lmbcs.size()), &length);
        plat::CharsetUnload(table);
        if (status != plat::NOERROR) return kHtmlTreeLost;
        lmbcs.resize(length);
        *storage = plat::LmbcsToNative(lmbcs);
        *utf8 = *storage;
        return kOK;
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}

void AppendNativeText(std::string_view utf8, std::string* out) {
    if (PlainAscii(utf8)) {
        out->append(utf8);
        return;
    }
    std::string spaced;
    spaced.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size(); ++at) {
        if (static_cast<unsigned char>(utf8[at]) == 0xC2 && at + 1 < utf8.size() &&
            static_cast<unsigned char>(utf8[at + 1]) == 0xA0) {
            spaced.push_back(' ');
            ++at;
        } else {
            spaced.push_back(utf8[at]);
        }
    }
    // A character of UTF-8 never takes more than twice its bytes in LMBCS.
    const std::size_t old = out->size();
    const std::size_t limit = spaced.size() * 2 + 4;
    out->resize(old + limit);
    const plat::DWORD written = plat::NativeToLmbcsBuf(spaced.data(), static_cast<plat::DWORD>(spaced.size()),
                                                       out->data() + old, static_cast<plat::DWORD>(limit));
    out->resize(old + written);
}

} // namespace talix
