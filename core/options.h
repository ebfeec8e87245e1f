// Option strings: keyword=value pairs and flag words, and the readers every
// subsystem uses on them.
#pragma once

#include <cstdint>

class RARIvoSession;

namespace talix {

// The characters that may quote a value in an option string.
constexpr bool IsOptionQuote(char c) { return c == '\'' || c == '"' || c == '|' || c == '~'; }

// The value of key (which includes its "=") copied into out, terminated and
// cut to outSize bytes with the terminator. Returns 1 when the key is
// present (the value may be empty), 0 when it is absent or a text is null
// (out untouched).
int GetOptionValue(const char* options, const char* key, char* out, std::uint32_t outSize);
const char* FindOptionKey(const char* options, const char* flagWord);
int RemoveOption(char* options, const char* key);
std::uint32_t ApplyYesNoOption(const char* options, const char* key, char* buffer,
                               std::uint32_t bufferSize, std::uint32_t mask, std::uint32_t flags);
std::uint32_t ApplyFlagOption(const char* options, const char* key, char* buffer,
                              std::uint32_t bufferSize, std::uint32_t mask, std::uint32_t flags,
                              const char* yesWord, const char* noWord);
std::uint32_t GetYesNoOption(const char* options, const char* key, char* buffer,
                             std::uint32_t bufferSize, std::uint32_t defaultValue);

} // namespace talix
