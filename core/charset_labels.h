// Character-set names as mail and web pages label text with them.
#pragma once

#include <cstdint>
#include <string>

namespace talix {

// The platform's id of a character-set name as MIME writes it ("us-ascii",
// "ISO-8859-5", "windows-1251" ...), 0 for a set it does not know.
std::uint16_t MimeCharsetId(const std::string& name);

// The id of the set a message names, by the names mail programs give sets
// too ("koi8-r", "Shift_JIS", "ks_c_5601-1987" ...); 0 for a set the
// platform does not know.
std::uint16_t MessageCharsetId(const std::string& name);

// The set a message's text named so is read with: MessageCharsetId's,
// but GB2312 (and EUC-CN) read with the characters GBK adds, which mail
// labelled GB2312 often holds.
std::uint16_t MessageReadingCharsetId(const std::string& name);

// The registered name mail labels text of the set with ("KOI8-R" for the
// set the platform calls "KOI8"), null for 0 and for a set mail readers know
// by no name.
const char* MessageCharsetLabel(std::uint16_t id);

} // namespace talix
