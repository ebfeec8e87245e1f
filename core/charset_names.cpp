// The character-set name table: whole names compared ignoring case, in table
// order, the first match winning; the three Windows code-page rows match any
// name of at least four characters that contains their number.
#include "core/charset_names.h"

#include <cstring>

#include "core/options.h"
#include "core/text_compare.h"

namespace talix {

namespace {

struct CharsetName {
    const char* name;
    std::uint32_t id;
    bool contains;   // the name only has to contain this text
};

const CharsetName kCharsetNames[] = {
    {"UTF8", 171, false},      {"UTF-8", 171, false},      {"ISO88591", 32, false},
    {"ISO-8859-1", 32, false}, {"ISO646", 31, false},      {"ASCII", 31, false},
    {"UTF7", 170, false},      {"UTF-7", 170, false},      {"BASE64", 3299, false},
    {"ISOKR", 3303, false},    {"EUCK", 3303, false},      {"EUC-KR", 3303, false},
    {"1252", 82, true},        {"1251", 81, true},         {"1250", 80, true},
    {"EUC", 23, false},        {"TCA", 25, false},         {"BIG5", 26, false},
    {"GB", 27, false},         {"NECESJIS", 28, false},    {"ISO88592", 33, false},
    {"ISO88593", 34, false},   {"ISO88594", 35, false},    {"ISO88595", 36, false},
    {"ISO88596", 37, false},   {"ISO88597", 38, false},    {"IBMCP813", 38, false},
    {"ISO88598", 39, false},   {"ISO88599", 40, false},    {"IBMCP37", 64, false},
    {"ANSI", 82, false},       {"THAI", 144, false},       {"UNICODE", 160, false},
    {"ISO10646", 160, false},  {"LMBCS10", 256, false},    {"LMBCS11", 257, false},
    {"LMBCS12", 258, false},   {"LMBCS", 256, false},      {"T61", 2816, false},
    {"T50", 2817, false},      {"ASN1", 2832, false},      {"IBMCP856", 3072, false},
    {"EACC", 3275, false},     {"ISO2022JP", 3276, false}, {"JIS", 3277, false},
    {"CCCII", 3278, false},    {"JIS2", 3300, false},      {"EUCJ", 3301, false},
    {"EUCT", 3302, false},     {"EUCC", 3304, false},      {"IA5JIS", 3305, false},
    {"IBMCP921", 3306, false}, {"IBMCP922", 3307, false},  {"KOI8", 3308, false},
    {"IBMCP720", 3309, false}, {"IBMCP1258", 3310, false}, {"ISO885910", 3311, false},
    {"JP1TEXT", 3312, false},  {"VIQRI", 3313, false},     {"VISCII", 3314, false},
    {"VISCII1", 3315, false},  {"VISCII2", 3316, false},   {"VISCII3", 3338, false},
    {"TCVN3", 3338, false},    {"ISO88598i", 3356, false}, {"ISO88598e", 3357, false},
    {"ISCII", 3358, false},
};

} // namespace

std::uint32_t CharsetNameToId(const char* name, std::uint32_t defaultId) {
    if (name == nullptr || name[0] == '\0') return defaultId;
    std::size_t length = std::strlen(name);
    for (const CharsetName& row : kCharsetNames) {
        bool match = row.contains ? (length >= 4 && std::strstr(name, row.name) != nullptr)
                                  : EqualNoCase(name, row.name);
        if (match) return row.id;
    }
    return defaultId;
}

} // namespace talix
