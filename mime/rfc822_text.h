// Values of RFC 822 text items (data type 1282): the item descriptor in
// stored form (structure type 675, through the platform's structure calls),
// then the native value, the header name, the delimiter and the body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/statuses.h"

namespace talix {

// The descriptor in host form, as the platform's structure calls take it.
struct RFC822ItemDesc {
    std::uint16_t version = 0;   // written as the descriptor's own stored length
    std::uint32_t flags = 0;
    std::uint16_t nativeLength = 0;
    std::uint16_t nameLength = 0;
    std::uint16_t delimiterLength = 0;
    std::uint16_t bodyLength = 0;
};

// The value (without its data-type word) of an RFC 822 text item: the
// descriptor with flags 10, then the four texts. Returns 0, 1028 for texts
// longer than 65,535 bytes, or 257 when the platform lacks the structure.
STATUS BuildRfc822Value(std::string_view native, std::string_view name, std::string_view delimiter,
                        std::string_view body, std::vector<std::uint8_t>* value);

// The native value of an RFC 822 text item's value (size bytes after the
// data-type word); false when the descriptor or the text runs past it.
bool Rfc822NativeValue(const std::uint8_t* data, std::size_t size, std::string_view* native);

} // namespace talix
