// Values of formula evaluation, and their typed form: the data-type word
// followed by the data, as items store them, as evaluation results are
// handed out and as database drivers receive and return them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "talix_platform/types.h"

namespace plat::formula {

enum class ValueType : BYTE { Text, Number, Time };

// A text, number or time, or a list of them. Texts are LMBCS. Time ranges
// read from a stored value are kept beside the list entries so that they
// come back out unchanged; operators work on the list entries alone.
struct Value {
    ValueType type = ValueType::Text;
    std::vector<std::string> texts;
    std::vector<double> numbers;
    std::vector<TIMEDATE> times;
    std::vector<TIMEDATE_PAIR> ranges;

    static Value Text(std::string text);
    static Value Number(double number);
    static Value Time(const TIMEDATE& time);

    // Entries of the list (ranges not counted).
    size_t Count() const;
    // The bytes its entries hold: the texts' bytes, 8 for a number or a
    // time, 16 for a range.
    size_t Bytes() const;
    // A value with no entries and no ranges is the empty text, so that every
    // value has at least one entry.
    void MakeNonEmpty();
};

const char* TypeName(ValueType type);

// Appends the typed form of a value: a single entry as 0x0500, 0x0300 or
// 0x0400, anything else as 0x0501, 0x0301 or 0x0401. False when a count or
// a text length does not fit its 16-bit field.
bool EncodeTypedValue(const Value& value, std::string* out);

enum class DecodeStatus : BYTE {
    Ok,
    Unsupported,   // a data type that is not a text, number or time (rich text, ...)
    Damaged,       // counts or lengths that do not fit the bytes
};

// Reads a typed value of length bytes (data-type word included). Also
// accepts note-reference lists (0x0004, given as texts of their universal
// ids) and a lone type word 0 (the empty text).
DecodeStatus DecodeTypedValue(const void* data, size_t length, Value* value);

// The 32 hexadecimal digits of a universal id.
std::string UnidText(const UNID& unid);

} // namespace plat::formula
