// Quoted-printable text (RFC 2045): the escaping the line buffer applies to
// generated markup, and a whole text made quoted-printable for a MIME part
// whose lines would otherwise be too long to travel.
#pragma once

#include <cstddef>
#include <string>

namespace talix {

// Appends the text (LMBCS, length bytes) escaped: every byte of a multibyte
// character, "=", bytes from 0x7F up and control bytes other than tab as
// "=" and two upper-case hexadecimal digits; a zero byte (a line separator)
// as zeroByte; every other byte as it is.
void AppendQuotedPrintable(const char* text, std::size_t length, const char* zeroByte, std::string* out);

// The text (lines ended by LF or CR LF) as quoted-printable lines of at most
// 76 characters: each line escaped and cut with soft breaks, its line end
// kept (LF alone with lfOnly, else CR LF).
std::string QuotedPrintableText(const std::string& text, bool lfOnly);

} // namespace talix
