// The pieces of DXL text that become stored bytes: base64 decoded a piece at
// a time, numbers, dates and texts in the platform's stored form, and the
// failure an import reports.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "talix_platform/types.h"

namespace plat {

bool DxlIsSpace(char c);
std::string_view DxlTrim(std::string_view text);
// A piece of input for a message: cut (on a character boundary) so that a
// huge value cannot flood the message.
std::string DxlQuote(std::string_view text);
// Hexadecimal digits, at most maxDigits of them; false for anything else.
bool DxlParseHex(std::string_view text, size_t maxDigits, unsigned long long* value);
// Decimal digits that fit a DWORD; false for anything else.
bool DxlParseDword(std::string_view text, DWORD* value);
// A number as DXL writes it (blanks around it and a leading '+' allowed);
// false unless it is a finite number.
bool DxlParseNumber(std::string_view text, double* number);
// Converts XML text (UTF-8, where a NUL stands for a <break/>) to LMBCS with
// a 0x00 byte for each break, appended to out.
void DxlAppendLmbcs(std::string_view utf8, std::vector<BYTE>* out);

void DxlAppendBytes(std::vector<BYTE>* out, const void* data, size_t length);
void DxlAppendWord(std::vector<BYTE>* out, WORD value);
void DxlAppendTime(std::vector<BYTE>* out, const TIMEDATE& time);
void DxlAppendNumber(std::vector<BYTE>* out, double value);

// Base64 text decoded as it arrives, in pieces of any size (whitespace
// anywhere is ignored), straight onto the end of a byte buffer.
class Base64Decoder {
public:
    // Decodes the next piece of text; false, with *why saying what is wrong,
    // on bad input (what was decoded before stays in *out).
    bool Feed(std::string_view text, std::vector<BYTE>* out, std::string* why);
    // Whether the text ended where the data may end; false, with *why, when
    // it stopped within a group.
    bool End(std::string* why) const;

private:
    DWORD quad_ = 0;    // the bits of the group being filled
    int filled_ = 0;    // its characters so far (4 once padding closed the data)
    int padding_ = 0;   // '=' characters seen
};

// What stopped an import: a status and a message that names the file and,
// where it has one, the line.
struct DxlFailure {
    STATUS status = NOERROR;
    std::string message;

    // "file:line: what"; always false, for the caller to return.
    bool Set(STATUS failed, const std::string& file, long line, const std::string& what);
    // "file[:line]: what: <status text>" (no line when line is 0, no file
    // when file is empty); false.
    bool SetStatus(STATUS failed, const std::string& file, long line, const char* what);
};

} // namespace plat
