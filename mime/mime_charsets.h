// Character-set names as mail labels its text with them.
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

} // namespace talix
