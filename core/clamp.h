// A number brought into the range of a 16-bit word, the width of the
// records' fields and of the platform's text lengths.
#pragma once

#include <cstdint>
#include <type_traits>

namespace talix {

// value itself when it lies in 0-65,535; 0 below that range and 65,535 above
// it.
template <typename Number>
constexpr std::uint16_t ClampToWord(Number value) {
    static_assert(std::is_integral_v<Number>);
    if constexpr (std::is_signed_v<Number>) {
        if (value < 0) return 0;
    }
    return static_cast<std::uint64_t>(value) > 0xFFFF ? 0xFFFF : static_cast<std::uint16_t>(value);
}

} // namespace talix
