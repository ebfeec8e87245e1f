// The option text of an item rebuilt from HTML another item holds.
#pragma once

#include <cstdint>
#include <string>

namespace talix {

// The import options of ZervaRTItem::ConvertFromHTMLBackend: the caller's
// as they are without a prefix (prefixLength 0); with one, the first
// optionsLength characters of the options (all of them when 0), a blank
// and "LocalResourcePrefix='<prefix>'" (the keyword alone without
// options). False when the composed text is longer than 4,095 bytes.
bool ComposeHTMLImportOptions(const char* options, std::uint16_t optionsLength, const char* prefix,
                              std::uint16_t prefixLength, std::string* composed);

} // namespace talix
