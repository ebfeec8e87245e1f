// Small readers of table option words shared by the table builder and the
// table property parsers.
#pragma once

#include <cstdint>

class RARIvoSession;

namespace talix {

// The longest value of a table option word other than names and texts.
constexpr std::uint32_t kTableWordCapacity = 256;

// Reads the value of key (with its "=") into value (kTableWordCapacity
// bytes). Returns true when the key is present.
bool TableWord(const char* options, const char* key, char* value);
// True when key (with its "=") is present.
bool HasTableWord(const char* options, const char* key);
// True when a key beginning with prefix is present ("BorderThickness"
// finds "BorderThicknessTop=").
bool HasKeyStartingWith(const char* options, const char* prefix);
// Whole-value comparison ignoring case.
bool ValueIs(const char* value, const char* word);
// True when value begins with prefix, ignoring case.
bool ValueStartsWith(const char* value, const char* prefix);
// A length in inches as twips (x 1,440, truncated), kept within 0 to 65,535.
std::uint16_t InchesToTwips(const char* value);
// A whole number, kept within 0 to 65,535.
std::uint16_t WordNumber(const char* value);

// The whole value of key in a block of the session's tracked pool (tag of
// the given source file), terminated, with its length; null when the key
// is absent or memory runs out (*outOfMemory then set).
char* CopyTableWord(RARIvoSession* session, const char* file, const char* options, const char* key,
                    std::uint32_t* length, bool* outOfMemory);

} // namespace talix
