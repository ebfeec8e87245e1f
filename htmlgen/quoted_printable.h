// Quoted-printable text (RFC 2045): the escaping the line buffer applies to
// generated markup, and a whole text made quoted-printable for a MIME part
// whose lines would otherwise be too long to travel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "talix_platform/text.h"

namespace talix {

// The character set text leaves the generation in: UTF-8, or another set the
// platform knows. A character the set cannot hold is written as a numeric
// character reference, so that nothing is lost.
class OutputCharset {
public:
    // 0, UTF-8 or US-ASCII: UTF-8. A set the platform does not know, or
    // cannot write into a character at a time beside ASCII: UTF-8.
    explicit OutputCharset(std::uint16_t id = 0);
    ~OutputCharset();
    OutputCharset(const OutputCharset&) = delete;
    OutputCharset& operator=(const OutputCharset&) = delete;

    bool IsUtf8() const { return !loaded_; }
    // Appends the LMBCS text in the set.
    void Append(std::string_view lmbcs, std::string* out) const;

private:
    plat::CharsetHandle table_ = 0;
    bool loaded_ = false;
};

// Appends the text (LMBCS, length bytes) escaped: every character outside
// ASCII as the bytes of its form in the output character set, each as "="
// and two upper-case hexadecimal digits; "=", 0x7F and control bytes other
// than tab the same way; a zero byte (a line separator) as zeroByte; every
// other byte as it is.
void AppendQuotedPrintable(const char* text, std::size_t length, const char* zeroByte, const OutputCharset& charset,
                           std::string* out);

// The text (lines ended by LF or CR LF) as quoted-printable lines of at most
// 76 characters: each line escaped and cut with soft breaks, its line end
// kept (LF alone with lfOnly, else CR LF). The text is in the native
// character set (UTF-8) and escaped byte by byte, or with lmbcs in the
// platform's and escaped in UTF-8.
std::string QuotedPrintableText(const std::string& text, bool lfOnly, bool lmbcs);

} // namespace talix
