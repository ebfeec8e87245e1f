// The container that holds a formula in a compiled-formula item (data type
// 0x0600) written by this platform: WORD 0x5446, WORD version 1, WORD length
// of the LMBCS source, the source bytes, and one zero pad byte when the total
// is odd. The formula compiler builds on it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "talix_platform/types.h"

namespace plat {

constexpr WORD FORMULA_CONTAINER_MAGIC = 0x5446;
constexpr WORD FORMULA_CONTAINER_VERSION = 1;

// The container bytes (without the item's data-type word) for an LMBCS
// source of at most 65,535 bytes; an empty string when the source is longer.
TPLAT_API std::string FormulaContainerEncode(std::string_view lmbcsSource);

// Reads the LMBCS source back out of length bytes of a container. Returns
// false, leaving *lmbcsSource untouched, when the bytes are not a well-formed
// container of this version (short, wrong mark or version, a source length
// past the end, a non-zero pad byte, or bytes left over).
TPLAT_API bool FormulaContainerDecode(const void* data, size_t length, std::string* lmbcsSource);

} // namespace plat
