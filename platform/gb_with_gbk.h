// GB2312 text as mail programs write it: the GB2312 codes as GB2312 maps
// them, and the characters GBK adds (two-byte codes of any lead from 0x81,
// and the codes GB2312 leaves unassigned) as GBK maps them.
#pragma once

#include <cstddef>
#include <string>

namespace plat::gb {

// Decodes length bytes into UTF-16. A byte that starts no character of
// either set becomes U+FFFD. False when ICU lacks either table.
bool DecodeGb2312WithGbk(const char* bytes, std::size_t length, std::u16string* units);

} // namespace plat::gb
