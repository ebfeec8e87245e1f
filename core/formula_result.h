// A formula's typed result (a value of the platform: data-type word first)
// as text.
#pragma once

#include <cstdint>
#include <string>

namespace talix {

// The result as text, at most maxLength bytes: a text as it is, list
// entries joined by ";", a number with "%g" (of a number list its first),
// times and time ranges as the platform writes them (a time list: its
// times, then its ranges, joined by ";"). Any other type, or damaged bytes,
// give "".
std::string FormulaResultText(const std::uint8_t* value, std::uint32_t length, std::uint32_t maxLength);

} // namespace talix
