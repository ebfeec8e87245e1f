#include "core/charset_labels.h"

#include "core/charset_names.h"
#include "core/text_compare.h"
#include "talix_platform.h"

namespace talix {

namespace {

struct MailCharsetName {
    const char* name;
    std::uint16_t id;
    bool registered;   // the name mail labels text of the set with
};

// Names mail gives sets that the platform's own table spells otherwise
// ("KOI8", "EUCJ", "NECESJIS", "GB" ...) or not at all: the registered
// names, one to a set the writer labels text with, and the aliases mail
// programs use. A set without a registered row is one mail readers know by
// no name (EUC-TW, the IBM code pages without a registered name ...) or
// not all of them read: Hebrew in logical order (ISO-8859-8-I, -E) is
// read, but written in UTF-8.
// GB2312 labels EUC-CN too: it is the registered name of that encoding, and
// a message naming it is read as the platform's GB set, the row before.
const MailCharsetName kMailCharsetNames[] = {
    {"US-ASCII", 31, true},      {"ISO-8859-1", 32, true},    {"ISO-8859-2", 33, true},
    {"ISO-8859-3", 34, true},    {"ISO-8859-4", 35, true},    {"ISO-8859-5", 36, true},
    {"ISO-8859-6", 37, true},    {"ISO-8859-7", 38, true},    {"ISO-8859-8", 39, true},
    {"ISO-8859-9", 40, true},    {"ISO-8859-10", 3311, true}, {"ISO-8859-8-I", 3356, false},
    {"ISO-8859-8-E", 3357, false}, {"windows-1250", 80, true}, {"windows-1251", 81, true},
    {"windows-1252", 82, true},  {"KOI8-R", 3308, true},      {"EUC-KR", 3303, true},
    {"Big5", 26, true},          {"GB2312", 27, true},        {"GB2312", 3304, true},
    {"Shift_JIS", 28, true},     {"EUC-JP", 3301, true},      {"ISO-2022-JP", 3276, true},
    {"TIS-620", 144, true},      {"macintosh", plat::CHARSET_MAC_ROMAN, true},
    {"UTF-8", 171, true},        {"UTF-7", 170, true},        {"UTF-16LE", 160, true},
    {"latin1", 32, false},       {"l1", 32, false},           {"iso-ir-100", 32, false},
    {"cp819", 32, false},        {"ibm819", 32, false},       {"us", 31, false},
    {"ansi_x3.4-1968", 31, false}, {"iso646-us", 31, false},  {"cp367", 31, false},
    {"ibm367", 31, false},       {"koi8r", 3308, false},      {"cskoi8r", 3308, false},
    {"eucjp", 3301, false},      {"x-euc-jp", 3301, false},   {"euc-cn", 3304, false},
    {"euc-tw", 3302, false},     {"csgb2312", 27, false},     {"shift-jis", 28, false},
    {"sjis", 28, false},         {"x-sjis", 28, false},       {"ms_kanji", 28, false},
    {"csshiftjis", 28, false},   {"windows-31j", 28, false},  {"cp932", 28, false},
    {"ks_c_5601-1987", 3303, false}, {"ksc5601", 3303, false}, {"korean", 3303, false},
    {"cseuckr", 3303, false},    {"big5-hkscs", 26, false},   {"cn-big5", 26, false},
    {"x-x-big5", 26, false},     {"csbig5", 26, false},       {"windows-874", 144, false},
    {"cp874", 144, false},       {"mac", plat::CHARSET_MAC_ROMAN, false},
    {"x-mac-roman", plat::CHARSET_MAC_ROMAN, false},          {"csiso2022jp", 3276, false},
    {"ISO-8859-15", plat::CHARSET_LATIN9, true},             {"windows-1253", plat::CHARSET_WINDOWS_1253, true},
    {"windows-1254", plat::CHARSET_WINDOWS_1254, true},       {"windows-1255", plat::CHARSET_WINDOWS_1255, true},
    {"windows-1256", plat::CHARSET_WINDOWS_1256, true},       {"windows-1257", plat::CHARSET_WINDOWS_1257, true},
    {"windows-1258", plat::CHARSET_WINDOWS_1258, true},       {"GBK", plat::CHARSET_GBK, true},
    {"GB18030", plat::CHARSET_GB18030, true},                 {"UTF-16", plat::CHARSET_UTF16, true},
    {"UTF-16BE", plat::CHARSET_UTF16BE, true},
    {"latin9", plat::CHARSET_LATIN9, false},                  {"latin-9", plat::CHARSET_LATIN9, false},
    {"iso_8859-15", plat::CHARSET_LATIN9, false},             {"iso8859-15", plat::CHARSET_LATIN9, false},
    {"cp1253", plat::CHARSET_WINDOWS_1253, false},            {"cp1254", plat::CHARSET_WINDOWS_1254, false},
    {"cp1255", plat::CHARSET_WINDOWS_1255, false},            {"cp1256", plat::CHARSET_WINDOWS_1256, false},
    {"cp1257", plat::CHARSET_WINDOWS_1257, false},            {"cp1258", plat::CHARSET_WINDOWS_1258, false},
    {"cp936", plat::CHARSET_GBK, false},                      {"ms936", plat::CHARSET_GBK, false},
    {"windows-936", plat::CHARSET_GBK, false},                {"x-gbk", plat::CHARSET_GBK, false},
    {"utf16", plat::CHARSET_UTF16, false},
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

std::uint16_t MessageReadingCharsetId(const std::string& name) {
    const std::uint16_t id = MessageCharsetId(name);
    // Mail labelled GB2312 is often GBK: its added characters are read too.
    if (id == 27 || id == 3304) return plat::CHARSET_GB2312_GBK;
    return id;
}

const char* MessageCharsetLabel(std::uint16_t id) {
    if (id == 0) return nullptr;
    for (const MailCharsetName& row : kMailCharsetNames) {
        if (row.registered && row.id == id) return row.name;
    }
    return nullptr;
}

} // namespace talix
