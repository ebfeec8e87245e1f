// Translation tables by character-set id: a loaded table is an ICU converter
// (or our own LMBCS codec) in a handle space of its own.
#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/uset.h>
#include <unicode/utf16.h>

#include "gb_with_gbk.h"
#include "lmbcs_codec.h"
#include "status_codes.h"
#include "talix_platform/text.h"

namespace plat {

namespace {

// Set ids and the converters that serve them. "" marks the platform's own
// set, LMBCS. Ids of the platform's name table that have no converter here
// (BASE64, T61, JIS variants of unclear meaning, VISCII, ...) fail to load.
struct CharsetEntry {
    WORD id;
    const char* converter;
    bool gbkCharacters = false;   // reads the characters GBK adds as well
};

const CharsetEntry kCharsets[] = {
    {31, "US-ASCII"},
    {32, "ISO-8859-1"},
    {160, "UTF-16LE"},  // two bytes per character, low byte first, no byte-order mark
    {170, "UTF-7"},
    {171, "UTF-8"},
    {256, ""},
    {257, ""},
    {258, ""},
    {80, "windows-1250"},
    {81, "windows-1251"},
    {82, "windows-1252"},
    {33, "ISO-8859-2"},
    {34, "ISO-8859-3"},
    {35, "ISO-8859-4"},
    {36, "ISO-8859-5"},
    {37, "ISO-8859-6"},
    {38, "ISO-8859-7"},
    {39, "ISO-8859-8"},
    {40, "ISO-8859-9"},
    {3311, "ISO-8859-10"},
    {3356, "ISO-8859-8-I"},
    {3357, "ISO-8859-8-E"},
    {3308, "KOI8-R"},
    {3303, "EUC-KR"},
    {26, "Big5"},
    {27, "GB2312"},
    {3304, "EUC-CN"},
    {28, "Shift_JIS"},
    {3301, "EUC-JP"},
    {3302, "EUC-TW"},
    {3276, "ISO-2022-JP"},
    {CHARSET_MAC_ROMAN, "macintosh"},
    {144, "windows-874"},
    {64, "ibm-37"},
    {3072, "ibm-856"},
    {3306, "ibm-921"},
    {3307, "ibm-922"},
    {3309, "ibm-720"},
    {3310, "ibm-1258"},
    {CHARSET_LATIN9, "ISO-8859-15"},
    {CHARSET_WINDOWS_1253, "windows-1253"},
    {CHARSET_WINDOWS_1254, "windows-1254"},
    {CHARSET_WINDOWS_1255, "windows-1255"},
    {CHARSET_WINDOWS_1256, "windows-1256"},
    {CHARSET_WINDOWS_1257, "windows-1257"},
    {CHARSET_WINDOWS_1258, "windows-1258"},
    {CHARSET_GBK, "GBK"},
    {CHARSET_GB18030, "GB18030"},
    {CHARSET_UTF16, "UTF-16"},
    {CHARSET_UTF16BE, "UTF-16BE"},
    {CHARSET_GB2312_GBK, "GB2312", true},
};

struct Table {
    WORD charsetId = 0;
    UConverter* converter = nullptr;  // null for LMBCS
    USet* representable = nullptr;    // what the converter maps both ways
    bool gbkCharacters = false;
};

// Loaded tables. ICU converters keep state, so one translation runs at a time.
struct Tables {
    std::mutex lock;
    std::map<CharsetHandle, Table> byHandle;
    CharsetHandle next = 1;
};

Tables& AllTables() {
    static Tables tables;
    return tables;
}

void CloseTable(Table& table) {
    if (table.converter != nullptr) ucnv_close(table.converter);
    if (table.representable != nullptr) uset_close(table.representable);
    table.converter = nullptr;
    table.representable = nullptr;
}

// Input bytes the set does not define become U+FFFD.
void ReplaceInvalidInput(const void*, UConverterToUnicodeArgs* args, const char*, int32_t,
                         UConverterCallbackReason reason, UErrorCode* error) {
    if (reason > UCNV_IRREGULAR) return;
    UChar replacement = 0xFFFD;
    *error = U_ZERO_ERROR;
    ucnv_cbToUWriteUChars(args, &replacement, 1, 0, error);
}

// LMBCS of UTF-16 units into out, whole characters only.
DWORD EncodeLmbcs(const std::u16string& units, char* out, DWORD limit) {
    DWORD written = 0;
    std::string one;
    size_t pos = 0;
    while (pos < units.size()) {
        one.clear();
        lmbcs::AppendCodePoint(one, lmbcs::NextUtf16(units, &pos));
        if (one.size() > limit - written) break;
        std::copy(one.begin(), one.end(), out + written);
        written += static_cast<DWORD>(one.size());
    }
    return written;
}

// Whole-text conversion of units[0, count) into the set; flushing each time
// keeps stateful sets (UTF-7, ISO-2022-JP) well-formed at the end.
bool ConvertPrefix(UConverter* converter, const std::u16string& units, size_t count, std::string* bytes) {
    int32_t capacity = UCNV_GET_MAX_BYTES_FOR_STRING(static_cast<int32_t>(count), ucnv_getMaxCharSize(converter));
    bytes->resize(static_cast<size_t>(capacity) + 1);
    UErrorCode error = U_ZERO_ERROR;
    int32_t length = ucnv_fromUChars(converter, bytes->data(), capacity + 1,
                                     reinterpret_cast<const UChar*>(units.data()), static_cast<int32_t>(count), &error);
    if (U_FAILURE(error)) return false;
    bytes->resize(static_cast<size_t>(length));
    return true;
}

// UTF-16 units into the loaded set, at most limit bytes cut after a whole
// character. A character the set cannot hold becomes "?".
STATUS EncodeSet(const Table& table, const std::u16string& units, char* out, DWORD limit, DWORD* outLength) {
    if (table.converter == nullptr) {
        *outLength = EncodeLmbcs(units, out, limit);
        return NOERROR;
    }
    std::u16string clean;
    std::vector<size_t> starts;  // where each character starts in clean
    clean.reserve(units.size());
    size_t pos = 0;
    while (pos < units.size()) {
        UChar32 c = lmbcs::NextUtf16(units, &pos);
        if (U_IS_SURROGATE(c) || !uset_contains(table.representable, c)) c = '?';
        starts.push_back(clean.size());
        if (U_IS_BMP(c)) {
            clean += static_cast<char16_t>(c);
        } else {
            clean += static_cast<char16_t>(U16_LEAD(c));
            clean += static_cast<char16_t>(U16_TRAIL(c));
        }
    }
    starts.push_back(clean.size());

    std::string bytes;
    if (clean.size() > 0x3FFFFFFF || !ConvertPrefix(table.converter, clean, clean.size(), &bytes)) {
        return ERR_TRANSLATE;
    }
    if (bytes.size() > limit) {
        // The most whole characters whose conversion fits.
        size_t low = 0;                    // fits (nothing always fits)
        size_t high = starts.size() - 1;   // does not fit
        while (high - low > 1) {
            size_t mid = low + (high - low) / 2;
            std::string part;
            if (!ConvertPrefix(table.converter, clean, starts[mid], &part)) return ERR_TRANSLATE;
            if (part.size() <= limit) {
                low = mid;
            } else {
                high = mid;
            }
        }
        if (!ConvertPrefix(table.converter, clean, starts[low], &bytes)) return ERR_TRANSLATE;
    }
    std::copy(bytes.begin(), bytes.end(), out);
    *outLength = static_cast<DWORD>(bytes.size());
    return NOERROR;
}

// Bytes of the loaded set into UTF-16.
STATUS DecodeSet(const Table& table, const char* src, DWORD length, std::u16string* units) {
    if (table.converter == nullptr) {
        *units = lmbcs::Decode(src, length);
        return NOERROR;
    }
    units->clear();
    if (length == 0) return NOERROR;
    if (length > 0x1FFFFFFF) return ERR_TRANSLATE;
    if (table.gbkCharacters) return gb::DecodeGb2312WithGbk(src, length, units) ? NOERROR : ERR_TRANSLATE;
    // No set here gives more than two UTF-16 units per input byte.
    units->resize(static_cast<size_t>(length) * 2 + 2);
    UErrorCode error = U_ZERO_ERROR;
    int32_t count = ucnv_toUChars(table.converter, reinterpret_cast<UChar*>(units->data()),
                                  static_cast<int32_t>(units->size()), src, static_cast<int32_t>(length), &error);
    if (U_FAILURE(error)) return ERR_TRANSLATE;
    units->resize(static_cast<size_t>(count));
    return NOERROR;
}

} // namespace

STATUS CharsetLoad(WORD charsetId, CharsetHandle* table) {
    if (table == nullptr) return ERR_BAD_ARGUMENT;
    *table = 0;
    const CharsetEntry* entry = nullptr;
    for (const CharsetEntry& candidate : kCharsets) {
        if (candidate.id == charsetId) entry = &candidate;
    }
    if (entry == nullptr) return ERR_CHARSET;

    Table loaded;
    loaded.charsetId = charsetId;
    loaded.gbkCharacters = entry->gbkCharacters;
    if (entry->converter[0] != '\0') {
        UErrorCode error = U_ZERO_ERROR;
        loaded.converter = ucnv_open(entry->converter, &error);  // an alias warning is no failure
        if (U_SUCCESS(error)) {
            ucnv_setToUCallBack(loaded.converter, ReplaceInvalidInput, nullptr, nullptr, nullptr, &error);
        }
        if (U_SUCCESS(error)) {
            loaded.representable = uset_openEmpty();
            ucnv_getUnicodeSet(loaded.converter, loaded.representable, UCNV_ROUNDTRIP_SET, &error);
        }
        if (U_FAILURE(error)) {
            CloseTable(loaded);
            return ERR_CHARSET;
        }
    }

    Tables& tables = AllTables();
    std::lock_guard<std::mutex> guard(tables.lock);
    CharsetHandle handle = tables.next++;
    if (tables.next == 0) tables.next = 1;
    tables.byHandle[handle] = loaded;
    *table = handle;
    return NOERROR;
}

STATUS CharsetUnload(CharsetHandle table) {
    Tables& tables = AllTables();
    std::lock_guard<std::mutex> guard(tables.lock);
    auto found = tables.byHandle.find(table);
    if (found == tables.byHandle.end()) return ERR_INVALID_HANDLE;
    CloseTable(found->second);
    tables.byHandle.erase(found);
    return NOERROR;
}

STATUS CharsetTranslate(CharsetHandle table, WORD mode, const char* src, DWORD length, char* out, DWORD limit,
                        DWORD* outLength) {
    if (outLength != nullptr) *outLength = 0;
    if (outLength == nullptr || (src == nullptr && length != 0) || (out == nullptr && limit != 0)) {
        return ERR_BAD_ARGUMENT;
    }
    Tables& tables = AllTables();
    std::lock_guard<std::mutex> guard(tables.lock);
    auto found = tables.byHandle.find(table);
    if (found == tables.byHandle.end()) return ERR_INVALID_HANDLE;
    const Table& loaded = found->second;

    switch (mode) {
    case XLATE_LMBCS_TO_SET:
        return EncodeSet(loaded, lmbcs::Decode(src, length), out, limit, outLength);
    case XLATE_SET_TO_LMBCS: {
        std::u16string units;
        STATUS status = DecodeSet(loaded, src, length, &units);
        if (status != NOERROR) return status;
        *outLength = EncodeLmbcs(units, out, limit);
        return NOERROR;
    }
    case XLATE_UNICODE_TO_SET: {
        if (length < 4) return ERR_BAD_ARGUMENT;
        const BYTE* bytes = reinterpret_cast<const BYTE*>(src);
        DWORD value = static_cast<DWORD>(bytes[0]) | static_cast<DWORD>(bytes[1]) << 8 |
                      static_cast<DWORD>(bytes[2]) << 16 | static_cast<DWORD>(bytes[3]) << 24;
        UChar32 c = value > 0x10FFFF || U_IS_SURROGATE(value) ? '?' : static_cast<UChar32>(value);
        std::u16string units;
        if (U_IS_BMP(c)) {
            units += static_cast<char16_t>(c);
        } else {
            units += static_cast<char16_t>(U16_LEAD(c));
            units += static_cast<char16_t>(U16_TRAIL(c));
        }
        return EncodeSet(loaded, units, out, limit, outLength);
    }
    default:
        return ERR_BAD_ARGUMENT;
    }
}

} // namespace plat
