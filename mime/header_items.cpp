#include "mime/header_items.h"

#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "core/record_forms.h"
#include "mime/rfc822_text.h"
#include "talix_platform.h"
#include "talix_platform/c_locale.h"

namespace talix {

namespace {

constexpr plat::WORD kTimeTextSize = 80;
constexpr plat::WORD kRangeTextSize = 163;
constexpr std::uint16_t kLookupTextSize = 4096;

plat::TIMEDATE TimeAt(const std::uint8_t* at) {
    plat::TIMEDATE time;
    time.Innards[0] = ReadDword(at);
    time.Innards[1] = ReadDword(at + 4);
    return time;
}

void AppendTime(const plat::TIMEDATE& time, std::string* out) {
    char text[kTimeTextSize] = {};
    plat::WORD length = 0;
    if (plat::TimeToText(&time, text, sizeof text, &length) == plat::NOERROR) out->append(text, length);
}

void AppendRange(const plat::TIMEDATE_PAIR& range, std::string* out) {
    char text[kRangeTextSize] = {};
    plat::WORD length = 0;
    if (plat::TimeRangeToText(&range, text, sizeof text, &length) == plat::NOERROR) out->append(text, length);
}

// The entries of a text list (data after the type word); false when its
// counts run past the value.
bool AppendTextList(const std::uint8_t* data, std::size_t size, const char* separator, std::string* out) {
    if (size < 2) return false;
    const std::size_t count = ReadWord(data);
    std::size_t offset = 2 + 2 * count;
    if (offset > size) return false;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t length = ReadWord(data + 2 + 2 * i);
        if (length > size - offset) return false;
        if (i != 0) out->append(separator);
        out->append(reinterpret_cast<const char*>(data + offset), length);
        offset += length;
    }
    return true;
}

// Times and time ranges of a time list (data after the type word).
bool AppendTimeList(const std::uint8_t* data, std::size_t size, const char* separator, std::string* out) {
    if (size < 4) return false;
    const std::size_t times = ReadWord(data), ranges = ReadWord(data + 2);
    if (times * 8 + ranges * 16 > size - 4) return false;
    for (std::size_t i = 0; i < times + ranges; ++i) {
        if (i != 0) out->append(separator);
        if (i < times) {
            AppendTime(TimeAt(data + 4 + i * 8), out);
        } else {
            const std::uint8_t* pair = data + 4 + times * 8 + (i - times) * 16;
            AppendRange(plat::TIMEDATE_PAIR{TimeAt(pair), TimeAt(pair + 8)}, out);
        }
    }
    return true;
}

void AppendValue(const std::uint8_t* value, std::size_t length, const char* listSeparator, const char* fallback,
                 std::string* out) {
    const std::uint16_t type = length >= 2 ? ReadWord(value) : plat::TYPE_INVALID;
    const std::uint8_t* data = value + 2;
    const std::size_t size = length >= 2 ? length - 2 : 0;
    bool done = false;
    switch (type) {
    case plat::TYPE_TEXT:
        out->append(reinterpret_cast<const char*>(data), size);
        done = true;
        break;
    case plat::TYPE_TEXT_LIST:
        done = AppendTextList(data, size, listSeparator, out);
        break;
    case plat::TYPE_NUMBER:
        if (size >= 8) {
            double number;
            std::memcpy(&number, data, sizeof number);
            char text[64];
            plat::FormatText(text, sizeof text, "%g", number);
            out->append(text);
            done = true;
        }
        break;
    case plat::TYPE_TIME:
        if (size >= 8) {
            AppendTime(TimeAt(data), out);
            done = true;
        }
        break;
    case plat::TYPE_TIME_RANGE:
        done = AppendTimeList(data, size, listSeparator, out);
        break;
    case plat::TYPE_RFC822_TEXT:
    {
        std::string_view native;
        done = Rfc822NativeValue(data, size, &native);
        if (done) out->append(native);
        break;
    }
    default:
        break;
    }
    if (!done && fallback != nullptr) out->append(fallback);
}

} // namespace

STATUS ItemValuesAsText(plat::NOTEHANDLE note, const char* itemName, const char* listSeparator,
                        const char* fallback, std::vector<std::string>* values) {
    if (itemName == nullptr || values == nullptr) return kArgumentError;
    const auto nameLength = static_cast<plat::WORD>(strnlen(itemName, 0xFFFF));
    plat::BLOCKID item, value;
    plat::DWORD length = 0;
    plat::STATUS status = plat::ItemInfo(note, itemName, nameLength, &item, nullptr, &value, &length);
    while (status == plat::NOERROR) {
        const auto* bytes = static_cast<const std::uint8_t*>(plat::BlockLock(value));
        if (bytes == nullptr) return kOutOfMemory;
        values->emplace_back();
        AppendValue(bytes, length, listSeparator != nullptr ? listSeparator : "", fallback, &values->back());
        plat::BlockUnlock(value);
        status = plat::ItemInfoNext(note, item, itemName, nameLength, &item, nullptr, &value, &length);
    }
    if (status == plat::ERR_ITEM_NOT_FOUND || status == plat::ERR_WALK_RESTART) return kOK;
    return status;
}

STATUS WriteItemsAsHeaders(plat::NOTEHANDLE note, const char* itemName, const char* prefix,
                           const char* listSeparator, const char* lineSeparator, const char* fallback,
                           std::string* out) {
    if (out == nullptr) return kArgumentError;
    std::vector<std::string> values;
    const STATUS status = ItemValuesAsText(note, itemName, listSeparator, fallback, &values);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i != 0 && lineSeparator != nullptr) out->append(lineSeparator);
        if (prefix != nullptr) out->append(prefix);
        out->append(values[i]);
    }
    return status;
}

STATUS LookupDirectoryItem(const char* server, const char* nameSpace, const char* itemName, const char* name,
                           char* out, std::uint16_t outSize) {
    if (out == nullptr || outSize == 0) return kArgumentError;
    std::snprintf(out, outSize, "%s", name != nullptr ? name : "");
    if (name == nullptr || name[0] == '\0' || itemName == nullptr) return kArgumentError;
    std::vector<char> text(kLookupTextSize);
    const char* space = nameSpace != nullptr && nameSpace[0] != '\0' ? nameSpace : "$Users";
    if (plat::NameLookupItem(server, space, name, itemName, text.data(), kLookupTextSize) != plat::NOERROR)
        return kArgumentError;
    std::snprintf(out, outSize, "%s", text.data());
    return kOK;
}

} // namespace talix
