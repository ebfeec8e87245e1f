#include "mime/mime_charsets.h"

#include "core/charset_names.h"
#include "core/text_compare.h"
#include "talix_platform.h"

namespace talix {

namespace {

struct MailCharsetName {
    const char* name;
    std::uint16_t id;
};

// Names mail gives sets that the platform's own table spells otherwise
// ("KOI8", "EUCJ", "NECESJIS", "GB" ...) or not at all: the registered
// names and the aliases mail programs use.
const MailCharsetName kMailCharsetNames[] = {
    {"latin1", 32},        {"l1", 32},            {"iso-ir-100", 32},       {"cp819", 32},
    {"ibm819", 32},        {"us", 31},            {"ansi_x3.4-1968", 31},   {"iso646-us", 31},
    {"cp367", 31},         {"ibm367", 31},        {"koi8-r", 3308},         {"koi8r", 3308},
    {"cskoi8r", 3308},     {"euc-jp", 3301},      {"eucjp", 3301},          {"x-euc-jp", 3301},
    {"euc-cn", 3304},      {"euc-tw", 3302},      {"gb2312", 27},           {"csgb2312", 27},
    {"shift_jis", 28},     {"shift-jis", 28},     {"sjis", 28},             {"x-sjis", 28},
    {"ms_kanji", 28},      {"csshiftjis", 28},    {"windows-31j", 28},      {"cp932", 28},
    {"ks_c_5601-1987", 3303}, {"ksc5601", 3303},  {"korean", 3303},         {"cseuckr", 3303},
    {"big5-hkscs", 26},    {"cn-big5", 26},       {"x-x-big5", 26},         {"csbig5", 26},
    {"tis-620", 144},      {"windows-874", 144},  {"cp874", 144},           {"macintosh", plat::CHARSET_MAC_ROMAN},
    {"mac", plat::CHARSET_MAC_ROMAN}, {"x-mac-roman", plat::CHARSET_MAC_ROMAN}, {"utf-16le", 160},
    {"csiso2022jp", 3276},
};

} // namespace

std::uint16_t MimeCharsetId(const std::string& name) {
    if (EqualNoCase(name.c_str(), "us-ascii")) return plat::CHARSET_ASCII;
    std::uint32_t id = CharsetNameToId(name.c_str(), 0);
    if (id == 0) {
        // "ISO-8859-5" as the platform's table writes it, "ISO88595".
        std::string squeezed;
        for (const char c : name) {
            if (c != '-' && c != '_') squeezed += c;
        }
        id = CharsetNameToId(squeezed.c_str(), 0);
    }
    return static_cast<std::uint16_t>(id <= 0xFFFF ? id : 0);
}

std::uint16_t MessageCharsetId(const std::string& name) {
    const std::uint16_t id = MimeCharsetId(name);
    if (id != 0) return id;
    for (const MailCharsetName& row : kMailCharsetNames) {
        if (EqualNoCase(name.c_str(), row.name)) return row.id;
    }
    return 0;
}

} // namespace talix
