// Applying the property strings of a driver call to its item and chunk.
//
// The string follows the option-string rules: a name counts at the start of
// the string or after a character that is neither a letter, a digit nor a
// quote; its value is enclosed in one of the quotes ' " | ~ or runs to the
// next blank.
#include "driver/property_strings.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/ascii.h"
#include "core/options.h"
#include "core/properties.h"
#include "core/text_compare.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix_platform/c_locale.h"

namespace talix {

namespace {

constexpr std::size_t kValueLimit = 0xFFFF;   // the setters take a 16-bit length

// Calls apply(name, value) for every Name=value pair of the text, in order.
template <typename Apply>
void ForEachPair(const char* text, Apply apply) {
    if (text == nullptr) return;
    const char* at = text;
    while (*at != '\0') {
        bool starts = IsAsciiLetterOrDigit(*at) && (at == text || (!IsAsciiLetterOrDigit(at[-1]) && !IsOptionQuote(at[-1])));
        if (!starts) {
            ++at;
            continue;
        }
        const char* nameStart = at;
        while (IsAsciiLetterOrDigit(*at)) ++at;
        if (*at != '=') continue;
        std::string name(nameStart, at);
        ++at;
        const char* valueStart = at;
        const char* valueEnd = nullptr;
        if (IsOptionQuote(*at)) {
            valueStart = at + 1;
            const char* close = std::strchr(valueStart, *at);
            valueEnd = close != nullptr ? close : valueStart + std::strlen(valueStart);
            at = close != nullptr ? close + 1 : valueEnd;
        } else {
            const char* blank = std::strchr(at, ' ');
            valueEnd = blank != nullptr ? blank : at + std::strlen(at);
            at = valueEnd;
        }
        apply(name, std::string(valueStart, valueEnd));
    }
}

// The number a value gives a number property: a decimal number, or Yes (1)
// and No (0). False for anything else.
bool NumberValue(const std::string& value, double* number) {
    if (EqualNoCase(value.c_str(), "Yes")) {
        *number = 1.0;
        return true;
    }
    if (EqualNoCase(value.c_str(), "No")) {
        *number = 0.0;
        return true;
    }
    const char* start = value.c_str();
    while (*start == ' ') ++start;
    if (*start == '\0') return false;
    char* end = nullptr;
    double read = plat::ReadNumber(start, &end);
    while (*end == ' ') ++end;
    if (*end != '\0' || !std::isfinite(read)) return false;
    *number = read;
    return true;
}

// Applies the pairs that name a row of a property table through the
// owner's text and number setters.
template <typename Find, typename SetText, typename SetNumber>
void ApplyPairs(const char* properties, Find find, SetText setText, SetNumber setNumber) {
    ForEachPair(properties, [&](const std::string& name, const std::string& value) {
        const PropertyTableEntry* row = find(name.c_str());
        if (row == nullptr) return;
        if (row->valueType == kPropertyNumber) {
            double number = 0.0;
            if (NumberValue(value, &number)) setNumber(row->name, number);
        } else if (value.size() <= kValueLimit) {
            setText(row->name, value.c_str(), static_cast<std::uint16_t>(value.size()));
        }
    });
}

} // namespace

void ApplyItemProperties(ZervaRTItem* item, const char* properties) {
    if (item == nullptr) return;
    ApplyPairs(
        properties, FindItemProperty,
        [item](const char* name, const char* value, std::uint16_t length) {
            item->SetPropertyText(name, value, length);
        },
        [item](const char* name, double number) { item->SetPropertyNumber(name, number); });
}

void ApplyChunkProperties(ZervaRTChunk* chunk, const char* properties) {
    if (chunk == nullptr) return;
    ApplyPairs(
        properties, FindChunkProperty,
        [chunk](const char* name, const char* value, std::uint16_t length) {
            chunk->SetPropertyText(name, value, length);
        },
        [chunk](const char* name, double number) { chunk->SetPropertyNumber(name, number); });
}

} // namespace talix
