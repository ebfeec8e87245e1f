// One table of every one- and two-byte code, built once from ICU's GB2312
// and GBK converters: the GB2312 character where GB2312 assigns one, else
// GBK's. ICU's GB2312 gives private-use characters for the codes it leaves
// unassigned; GBK assigns most of them real characters.
#include "gb_with_gbk.h"

#include <vector>

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

namespace plat::gb {

namespace {

constexpr char16_t kNone = 0;
constexpr char16_t kReplacement = 0xFFFD;

// The single character the bytes decode to, kNone when they are not one
// whole character of the set.
char16_t DecodeOne(UConverter* converter, const char* bytes, int32_t length) {
    UChar units[4];
    UErrorCode error = U_ZERO_ERROR;
    const int32_t count = ucnv_toUChars(converter, units, 4, bytes, length, &error);
    if (U_FAILURE(error) || count != 1) return kNone;
    return units[0];
}

bool IsPrivateUse(char16_t c) { return c >= 0xE000 && c <= 0xF8FF; }

struct CodeTable {
    bool complete = false;
    std::vector<char16_t> single = std::vector<char16_t>(0x100, kNone);
    std::vector<char16_t> pair = std::vector<char16_t>(0x10000, kNone);   // by lead << 8 | trail
};

UConverter* OpenStrict(const char* name) {
    UErrorCode error = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(name, &error);
    if (U_SUCCESS(error)) {
        ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
    }
    if (U_FAILURE(error)) {
        if (converter != nullptr) ucnv_close(converter);
        return nullptr;
    }
    return converter;
}

CodeTable Build() {
    CodeTable table;
    UConverter* gb2312 = OpenStrict("GB2312");
    UConverter* gbk = OpenStrict("GBK");
    if (gb2312 != nullptr && gbk != nullptr) {
        for (int b = 0; b < 0x80; ++b) table.single[b] = static_cast<char16_t>(b);
        // Of the single bytes above ASCII GBK gives only 0x80 a character
        // (the euro sign); the rest it maps to private use, as none.
        for (int b = 0x80; b <= 0xFF; ++b) {
            const char byte = static_cast<char>(b);
            const char16_t c = DecodeOne(gbk, &byte, 1);
            table.single[b] = IsPrivateUse(c) ? kNone : c;
        }
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                if (trail == 0x7F) continue;
                const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                char16_t c = kNone;
                if (lead >= 0xA1 && trail >= 0xA1) {
                    c = DecodeOne(gb2312, bytes, 2);
                    if (IsPrivateUse(c)) c = kNone;
                }
                if (c == kNone) c = DecodeOne(gbk, bytes, 2);
                table.pair[lead << 8 | trail] = c;
            }
        }
        table.complete = true;
    }
    if (gb2312 != nullptr) ucnv_close(gb2312);
    if (gbk != nullptr) ucnv_close(gbk);
    return table;
}

const CodeTable& Table() {
    static const CodeTable table = Build();
    return table;
}

} // namespace

bool DecodeGb2312WithGbk(const char* bytes, std::size_t length, std::u16string* units) {
    const CodeTable& table = Table();
    if (!table.complete) return false;
    units->clear();
    units->reserve(length);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    for (std::size_t at = 0; at < length;) {
        if (at + 1 < length) {
            const char16_t c = table.pair[p[at] << 8 | p[at + 1]];
            if (c != kNone) {
                units->push_back(c);
                at += 2;
                continue;
            }
        }
        const char16_t c = table.single[p[at]];
        units->push_back(c != kNone ? c : kReplacement);
        ++at;
    }
    return true;
}

} // namespace plat::gb
