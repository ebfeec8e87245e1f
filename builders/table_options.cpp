// Readers of table option words: values, presence, inches and numbers.
#include "builders/table_options.h"

#include <cstdlib>
#include <cstring>

#include "core/ascii.h"
#include "core/options.h"
#include "core/pool.h"
#include "core/text_compare.h"
#include "talix_platform/c_locale.h"

namespace talix {

bool TableWord(const char* options, const char* key, char* value) {
    value[0] = '\0';
    return GetOptionValue(options, key, value, kTableWordCapacity) != 0;
}

bool HasTableWord(const char* options, const char* key) {
    char value[kTableWordCapacity];
    return TableWord(options, key, value);
}

bool HasKeyStartingWith(const char* options, const char* prefix) {
    if (options == nullptr || prefix == nullptr || prefix[0] == '\0') return false;
    for (const char* at = FindNoCase(options, prefix); at != nullptr; at = FindNoCase(at + 1, prefix)) {
        if (at == options) return true;
        const char before = at[-1];
        if (!IsAsciiLetterOrDigit(before) && !IsOptionQuote(before)) return true;
    }
    return false;
}

bool ValueIs(const char* value, const char* word) { return value != nullptr && CompareNamesNoCase(value, word) == 0; }

bool ValueStartsWith(const char* value, const char* prefix) {
    return value != nullptr && CompareNamesNoCase(value, prefix, std::strlen(prefix)) == 0;
}

std::uint16_t InchesToTwips(const char* value) {
    const double twips = plat::ReadNumber(value != nullptr ? value : "", nullptr) * 1440.0;
    if (!(twips > 0.0)) return 0;   // also a value that is not a number
    if (twips >= 65535.0) return 65535;
    return static_cast<std::uint16_t>(twips);
}

std::uint16_t WordNumber(const char* value) {
    const long number = std::strtol(value != nullptr ? value : "", nullptr, 10);
    if (number < 0) return 0;
    return number > 65535 ? 65535 : static_cast<std::uint16_t>(number);
}

char* CopyTableWord(RARIvoSession* session, const char* file, const char* options, const char* key,
                    std::uint32_t* length, bool* outOfMemory) {
    *length = 0;
    *outOfMemory = false;
    if (options == nullptr || !HasTableWord(options, key)) return nullptr;
    // A value is never longer than the options that hold it.
    const std::uint32_t capacity = static_cast<std::uint32_t>(std::strlen(options)) + 1;
    auto* value = static_cast<char*>(QuorbelAllocate(session, __LINE__, file, capacity, 1));
    if (value == nullptr) {
        *outOfMemory = true;
        return nullptr;
    }
    GetOptionValue(options, key, value, capacity);
    *length = static_cast<std::uint32_t>(std::strlen(value));
    return value;
}

} // namespace talix
