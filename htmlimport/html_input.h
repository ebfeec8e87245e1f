// The character encoding of HTML input and its conversion to UTF-8, the only
// encoding the parser is given. Input named "raw" and the text of rich-text
// records are the platform's own text (LMBCS).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/statuses.h"

namespace talix {

enum class HtmlEncoding : std::uint8_t {
    kRaw = 0,       // LMBCS
    kAscii = 1,     // bytes above 127 are read as Latin-1 characters
    kLatin1 = 2,
    kUtf8 = 3,
    kIso2022 = 4,   // ISO-2022-JP
    kMac = 5,       // Macintosh Roman
    kCharset = 6,   // a set of the platform, by id
};

struct InputCharset {
    HtmlEncoding encoding = HtmlEncoding::kUtf8;
    std::uint16_t charsetId = 0;   // kCharset only
};

// The largest input the parser is given, in bytes of UTF-8 (or, for the
// text of rich-text records, bytes of record text). The parser ends the
// process when its memory runs out, and dense markup takes a few hundred
// bytes per tag, so larger inputs are refused with 263 before parsing.
constexpr std::size_t kMaxHtmlInput = 16u * 1024u * 1024u;

// Applies a "CharEncoding=" value: "raw", "ascii", "latin1", "utf8" or
// "utf-8", "iso2022" or "mac", compared without regard to case. Returns
// false, leaving charset as it was, for any other value.
bool ApplyCharEncodingValue(const char* value, InputCharset* charset);

// Applies "CharEncoding=" of an option text, when the option is present
// and its value is one of the above.
void ApplyCharEncodingOption(const char* options, InputCharset* charset);

// The encoding of a buffer import: "Charset=" of the import options when
// present ("ascii" or "us-ascii", "latin1", or the name of a set the
// platform translates; UTF-8 for any other name), else "CharEncoding=" of
// the import options, else of the parser options; else, for content that
// is not UTF-8, the set it declares in a meta element (as for a file);
// else UTF-8.
InputCharset BufferInputCharset(std::string_view content, const char* importOptions, const char* parserOptions);

// The encoding of a file import, from what the file and the options say:
// "CharEncoding=" of the parser options or the import options when either
// holds one (the import options' winning); else "Charset=" of the import
// options; else a byte-order mark (UTF-8, UTF-16); else the set the page
// declares in a meta element among its first bytes (charset="..." or a
// content type's "charset=", by the names pages and mail give sets); else
// UTF-8. A set the platform cannot translate leaves UTF-8.
InputCharset FileInputCharset(std::string_view content, const char* importOptions, const char* parserOptions);

// The input as UTF-8: the input itself when it is UTF-8 already, else its
// conversion, kept in storage. Returns 0, 257 when the platform cannot
// translate the set, or 263 when memory runs out.
STATUS InputAsUtf8(std::string_view input, InputCharset charset, std::string* storage, std::string_view* utf8);

// Text taken out of the parser's tree (UTF-8) appended to out in the
// platform's own text (LMBCS). A non-breaking space becomes a plain space:
// the parser keeps it where it drops other white space, which is all a hard
// space has to do.
void AppendNativeText(std::string_view utf8, std::string* out);

} // namespace talix
