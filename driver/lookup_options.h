// The option text of the table look-ups (@DbLookup and @DbColumn): the
// driver's reader of keyword=value pairs and the case-insensitive search it
// stands on, and the options a look-up reads from it.
#pragma once

#include <cstdint>
#include <string>

#include "talix/export.h"

namespace talix {

// The first occurrence of pattern in text, compared without regard to the
// case of ASCII letters; null when there is none, and for a null or empty
// text.
const char* FindTextNoCase(const char* text, const char* pattern);

// The value of keyword (with its "=") in the option text, copied into value
// (size bytes with the terminator, cut to fit). The keyword counts at the
// start of the text or after a character that is neither a letter, a digit
// nor one of the quotes ' " | ~. A value that starts with one of those
// quotes runs to the next same quote (to the end of the text when there is
// none); any other value runs to the next blank. Returns 1 when the keyword
// is present (its value may be empty), 0 when it is absent or a text is
// null (value untouched).
int DriverGetOptionValue(const char* options, const char* keyword, char* value, std::uint32_t size);

// Match modes of the key against its cell.
constexpr std::uint16_t kKeyExact = 1, kKeyStarts = 2, kKeyEnds = 3, kKeySubstring = 4;

// The options of one look-up. The key options are read only with a key
// text; SkipTitle= is read when the rows are known.
struct LookUpOptions {
    bool numbers = false;            // Format=Number or Currency: a number list
    bool raiseError = false;         // a missing chunk fails with 546
    bool sideways = false;           // records are columns, fields are rows
    bool completeText = false;       // every text run of a cell, not the first
    std::string separator;           // between the runs of a complete text
    std::uint16_t keyColumn = 1;     // 1 to 64
    std::string keyChunk;            // what to read in the key cell (empty: its first non-blank text)
    std::string keyProperty;         // a chunk property compared instead of a cell
    bool rowLabel = false;           // TabLabel or RowLabel: the row's label is compared
    std::uint16_t keyMatch = kKeyExact;
    std::string columnChunk;         // what to read in the value cell (empty: the whole cell)
};

// Reads Format= and RaiseError=: what a look-up needs before it knows
// whether its chunk exists.
void ReadResultOptions(const std::string& options, LookUpOptions* out);
// Reads the rest; the key options only when withKey is set.
void ReadCellOptions(const std::string& options, bool withKey, LookUpOptions* out);
// The rows SkipTitle= drops from count rows: "yes" 1, a number N the
// first N, "no", a missing keyword and anything else none. N not below the
// count drops every row; a number below 1 drops none.
std::int32_t TitleRows(const std::string& options, std::int32_t count);

} // namespace talix
