// Typed values of the formula driver: decoding, the argument cursor and the
// result block.
#include "driver/arg_values.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "core/host_message.h"
#include "core/record_forms.h"
#include "talix_platform.h"
#include "talix_platform/c_locale.h"

namespace talix {

char g_defaultDatabasePath[kDefaultPathSize] = {};
std::uint32_t g_currentOperationId = 0;
double g_numericResult = 0.0;
bool g_resultBlockLocked = false;

std::recursive_mutex& DriverLock() {
    static std::recursive_mutex lock;
    return lock;
}

namespace {

constexpr std::uint32_t kNumberSize = 8;
constexpr std::uint32_t kUnidSize = 16;
constexpr std::uint32_t kRangeSize = 16;
constexpr std::uint32_t kWordLimit = 0xFFFF;

// Points count entries of size bytes each, one after another from offset.
void PointFixed(ArgEntry* entries, std::uint32_t count, const std::uint8_t* bytes, std::uint32_t offset,
                std::uint32_t size) {
    for (std::uint32_t i = 0; i < count; ++i) {
        entries[i].data = bytes + offset + i * size;
        entries[i].size = size;
    }
}

const ArgValue* Current(const DriverContext* context) {
    return context->argCursor < context->argCount ? &context->args[context->argCursor] : nullptr;
}

void Advance(DriverContext* context) {
    if (context->argCursor < context->argCount) ++context->argCursor;
}

bool IsNumber(const ArgValue* value) {
    return value != nullptr && (value->type == kValueNumber || value->type == kValueNumberList);
}

// Entry k of a number value.
double NumberAt(const ArgValue& value, std::uint16_t k) {
    double number = 0.0;
    if (value.entries[k].size >= kNumberSize) std::memcpy(&number, value.entries[k].data, kNumberSize);
    return number;
}

// A double truncated to an int: not a number gives 0, values beyond the
// range their nearest end.
int TruncateToInt(double number) {
    if (std::isnan(number)) return 0;
    if (number <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
    if (number >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    return static_cast<int>(number);
}

std::uint16_t TruncateToWord(double number) { return static_cast<std::uint16_t>(TruncateToInt(number)); }

// Copies length bytes of text into buffer under NextArgText's rule.
std::uint16_t CopyText(const char* text, std::size_t length, char* buffer, std::uint16_t size) {
    if (buffer == nullptr || size == 0) return 0;
    if (length < size) {
        std::memcpy(buffer, text, length);
        buffer[length] = '\0';
        return static_cast<std::uint16_t>(length);
    }
    std::memcpy(buffer, text, size - 1u);
    buffer[size - 1] = '\0';
    return size;
}

// The bytes a value takes once encoded (type word included), for the
// type word written; false when an entry does not fit its length word.
bool EncodedSize(const ArgValue& value, std::uint16_t written, std::uint64_t* size) {
    std::uint64_t total = 2;
    for (std::uint16_t i = 0; i < value.count; ++i) total += value.entries[i].size;
    switch (written) {
    case kValueTextList:
        total += 2 + 2u * value.count;
        for (std::uint16_t i = 0; i < value.count; ++i)
            if (value.entries[i].size > kWordLimit) return false;
        break;
    case kValueNoteRefs: total += 2; break;
    case kValueNumberList:
    case kValueTimeList: total += 4; break;
    default: break;
    }
    *size = total;
    return true;
}

} // namespace

STATUS DecodeArgValue(const void* value, std::uint32_t length, ArgValue* out) {
    *out = ArgValue();
    if (value == nullptr || length < 2) return kDrvUnknownValueType;
    const auto* bytes = static_cast<const std::uint8_t*>(value);
    const std::uint32_t size = length - 2;   // bytes after the type word
    const std::uint16_t type = ReadWord(bytes);

    // The entry count, checked against the length.
    std::uint32_t count = 0;
    std::uint32_t listEntries = 0, rangePairs = 0;
    switch (type) {
    case kValueText: count = 1; break;
    case kValueNumber:
    case kValueTime:
        if (size < kNumberSize) return kDrvUnknownValueType;
        count = 1;
        break;
    case kValueTextList:
    case kValueNoteRefs: {
        if (size < 2) return kDrvUnknownValueType;
        count = ReadWord(bytes + 2);
        std::uint64_t needed = type == kValueTextList ? 2 + 2ull * count : 2 + std::uint64_t(kUnidSize) * count;
        if (needed > size) return kDrvUnknownValueType;
        break;
    }
    case kValueNumberList:
    case kValueTimeList: {
        if (size < 4) return kDrvUnknownValueType;
        listEntries = ReadWord(bytes + 2);
        rangePairs = ReadWord(bytes + 4);
        if (4 + std::uint64_t(kNumberSize) * listEntries + std::uint64_t(kRangeSize) * rangePairs > size)
            return kDrvUnknownValueType;
        count = type == kValueNumberList ? listEntries : listEntries + rangePairs;
        if (count > kWordLimit) return kDrvUnknownValueType;
        break;
    }
    default: return kDrvUnknownValueType;
    }

    ArgEntry* entries = nullptr;
    if (count > 0) {
        entries = static_cast<ArgEntry*>(std::calloc(count, sizeof(ArgEntry)));
        if (entries == nullptr) return kDrvOutOfMemory;
    }
    switch (type) {
    case kValueText:
    case kValueNumber:
    case kValueTime: PointFixed(entries, 1, bytes, 2, size); break;
    case kValueNoteRefs: PointFixed(entries, count, bytes, 4, kUnidSize); break;
    case kValueNumberList: PointFixed(entries, count, bytes, 6, kNumberSize); break;
    case kValueTimeList:
        PointFixed(entries, listEntries, bytes, 6, kNumberSize);
        PointFixed(entries + listEntries, rangePairs, bytes, 6 + kNumberSize * listEntries, kRangeSize);
        break;
    case kValueTextList: {
        std::uint32_t offset = 4 + 2 * count;   // from the type word
        for (std::uint32_t i = 0; i < count; ++i) {
            std::uint32_t entry = ReadWord(bytes + 4 + 2 * i);
            if (entry > length - offset) {
                std::free(entries);
                return kDrvUnknownValueType;
            }
            entries[i].data = bytes + offset;
            entries[i].size = entry;
            offset += entry;
        }
        break;
    }
    default: break;
    }

    out->type = type;
    out->length = length;
    out->count = static_cast<std::uint16_t>(count);
    out->raw = const_cast<std::uint8_t*>(bytes);
    out->entries = entries;
    // Single values become lists, so that handlers test one type per family.
    if (type == kValueText) {
        out->type = kValueTextList;
        out->length += 2;
    } else if (type == kValueNumber || type == kValueTime) {
        out->type = type == kValueNumber ? kValueNumberList : kValueTimeList;
        out->length += 4;
    }
    return kOK;
}

STATUS SetTextArgValue(const char* text, std::uint32_t length, ArgValue* out) {
    *out = ArgValue();
    auto* entry = static_cast<ArgEntry*>(std::calloc(1, sizeof(ArgEntry)));
    if (entry == nullptr) return kDrvOutOfMemory;
    entry->data = reinterpret_cast<const std::uint8_t*>(text);
    entry->size = length;
    out->type = kValueText;
    out->length = length + 2;
    out->count = 1;
    out->entries = entry;
    return kOK;
}

STATUS SetOwnedResultValue(ArgValue* result, std::uint16_t type, const void* data, std::uint32_t size) {
    FreeArgValue(result, true, true);
    auto* entry = static_cast<ArgEntry*>(std::calloc(1, sizeof(ArgEntry)));
    auto* copy = static_cast<std::uint8_t*>(std::malloc(size > 0 ? size : 1));
    if (entry == nullptr || copy == nullptr) {
        std::free(entry);
        std::free(copy);
        return kDrvOutOfMemory;
    }
    if (size > 0) std::memcpy(copy, data, size);
    entry->data = copy;
    entry->size = size;
    entry->owned = true;
    result->type = type;
    result->length = size + 2;
    result->count = 1;
    result->entries = entry;
    return kOK;
}

STATUS SetOwnedNumberList(ArgValue* result, const double* numbers, std::uint16_t count) {
    FreeArgValue(result, true, true);
    result->type = kValueNumberList;
    result->length = 6;
    if (count == 0) return kOK;
    // One block holds every number; the first entry owns it.
    auto* entries = static_cast<ArgEntry*>(std::calloc(count, sizeof(ArgEntry)));
    auto* block = static_cast<std::uint8_t*>(std::malloc(std::size_t{count} * kNumberSize));
    if (entries == nullptr || block == nullptr) {
        std::free(entries);
        std::free(block);
        return kDrvOutOfMemory;
    }
    std::memcpy(block, numbers, std::size_t{count} * kNumberSize);
    for (std::uint16_t i = 0; i < count; ++i) {
        entries[i].data = block + std::size_t{i} * kNumberSize;
        entries[i].size = kNumberSize;
    }
    entries[0].owned = true;
    result->length += std::uint32_t{count} * kNumberSize;
    result->count = count;
    result->entries = entries;
    return kOK;
}

void FreeArgValue(ArgValue* value, bool freeRaw, bool clear) {
    if (value == nullptr) return;
    if (value->entries != nullptr) {
        for (std::uint16_t i = 0; i < value->count; ++i)
            if (value->entries[i].owned) std::free(const_cast<std::uint8_t*>(value->entries[i].data));
        std::free(value->entries);
        value->entries = nullptr;
        value->count = 0;
    }
    if (freeRaw) {
        std::free(value->raw);
        value->raw = nullptr;
    }
    if (clear) *value = ArgValue();
}

// ---- The argument cursor ------------------------------------------------------

bool IsNextArgNumber(const DriverContext* context) { return IsNumber(Current(context)); }

bool IsNextArgNoteRef(const DriverContext* context) {
    const ArgValue* value = Current(context);
    return value != nullptr && value->type == kValueNoteRefs;
}

bool IsNextArgText(const DriverContext* context) {
    const ArgValue* value = Current(context);
    return value != nullptr && (value->type == kValueText || value->type == kValueTextList);
}

std::uint16_t NextArgCount(const DriverContext* context) {
    const ArgValue* value = Current(context);
    return value != nullptr ? value->count : 0;
}

int NextArgInt(DriverContext* context, int defaultValue) {
    const ArgValue* value = Current(context);
    int result = IsNumber(value) && value->count > 0 ? TruncateToInt(NumberAt(*value, 0)) : defaultValue;
    Advance(context);
    return result;
}

double NextArgDouble(DriverContext* context, double defaultValue) {
    const ArgValue* value = Current(context);
    double result = IsNumber(value) && value->count > 0 ? NumberAt(*value, 0) : defaultValue;
    Advance(context);
    return result;
}

void NextArgNumbers(DriverContext* context, std::vector<double>* numbers) {
    numbers->clear();
    const ArgValue* value = Current(context);
    if (IsNumber(value))
        for (std::uint16_t k = 0; k < value->count; ++k) numbers->push_back(NumberAt(*value, k));
    Advance(context);
}

std::uint16_t NextArgWord(DriverContext* context, std::uint16_t defaultValue) {
    const ArgValue* value = Current(context);
    std::uint16_t result = IsNumber(value) && value->count > 0 ? TruncateToWord(NumberAt(*value, 0)) : defaultValue;
    Advance(context);
    return result;
}

void NextArgWordList(DriverContext* context, std::uint16_t defaultValue, std::uint16_t* words, std::uint16_t n) {
    const ArgValue* value = Current(context);
    std::uint16_t available = IsNumber(value) ? value->count : 0;
    for (std::uint16_t k = 0; k < n; ++k) words[k] = k < available ? TruncateToWord(NumberAt(*value, k)) : defaultValue;
    Advance(context);
}

std::uint16_t NextArgText(DriverContext* context, const char* defaultText, char* buffer, std::uint16_t size) {
    const ArgValue* value = Current(context);
    bool text = value != nullptr && (value->type == kValueText || value->type == kValueTextList);
    Advance(context);
    if (text && value->count > 0 && (value->entries[0].size > 0 || defaultText == nullptr))
        return CopyText(reinterpret_cast<const char*>(value->entries[0].data), value->entries[0].size, buffer, size);
    if (defaultText == nullptr) return 0;
    return CopyText(defaultText, std::strlen(defaultText), buffer, size);
}

std::string NextArgWholeText(DriverContext* context) {
    const ArgValue* value = Current(context);
    bool text = value != nullptr && (value->type == kValueText || value->type == kValueTextList);
    Advance(context);
    if (!text || value->count == 0) return std::string();
    return std::string(reinterpret_cast<const char*>(value->entries[0].data), value->entries[0].size);
}

// ---- The result block ------------------------------------------------------------

void* AllocResultValue(std::uint32_t* handle, std::uint16_t type, std::uint32_t size) {
    if (g_resultBlockLocked || size < 2) return nullptr;
    plat::DHANDLE block = plat::NULLHANDLE;
    if (plat::MemAlloc(size, plat::MEM_GROWABLE, &block) != plat::NOERROR) return nullptr;
    auto* address = static_cast<std::uint8_t*>(plat::MemLock(block));
    if (address == nullptr) {
        plat::MemFree(block);
        return nullptr;
    }
    std::memset(address, 0, size);
    WriteWord(address, type);
    g_resultBlockLocked = true;
    *handle = block;
    return address;
}

void FreeResultList(DriverContext* context) {
    if (context->resultListHandle != 0) {
        if (context->resultListPointer != nullptr) plat::MemUnlock(context->resultListHandle);
        plat::MemFree(context->resultListHandle);
    }
    context->resultListHandle = 0;
    context->resultListPointer = nullptr;
    context->resultListSize = 0;
}

void ReleaseResultValue(std::uint32_t handle) {
    plat::MemUnlock(handle);
    g_resultBlockLocked = false;
}

STATUS StoreResultValue(DriverContext* context, void* block, std::uint32_t capacity) {
    ArgValue& result = context->result;
    auto* out = static_cast<std::uint8_t*>(block);
    STATUS status = kOK;
    if (result.type == kValueNone && result.length != 0 && result.raw != nullptr) {
        // A ready-made list, type word included.
        std::uint32_t length = result.length;
        if (length <= capacity) {
            std::memcpy(out, result.raw, length);
            result.length = length;
        } else {
            status = kDrvOutOfMemory;
        }
    } else {
        std::uint32_t written = 0;
        if (EncodeResultValue(result, out, capacity, &written))
            result.length = written;
        else
            status = kDrvOutOfMemory;
    }
    std::free(result.raw);
    result.raw = nullptr;
    return status;
}

bool EncodeResultValue(const ArgValue& value, std::uint8_t* out, std::uint32_t capacity, std::uint32_t* length) {
    std::uint16_t written = value.type;
    if (value.type == kValueTextList && value.count < 2)
        written = kValueText;
    else if (value.type == kValueTimeList && value.count == 1 && value.entries[0].size == kNumberSize)
        written = kValueTime;
    else if (value.type == kValueNumberList && value.count == 1)
        written = kValueNumber;

    std::uint64_t size = 0;
    if (!EncodedSize(value, written, &size) || size > capacity) return false;

    std::uint8_t* at = out;
    WriteWord(at, written);
    at += 2;
    auto put = [&at](const ArgEntry& entry) {
        if (entry.size > 0) std::memcpy(at, entry.data, entry.size);
        at += entry.size;
    };
    switch (written) {
    case kValueTextList:
        WriteWord(at, value.count);
        at += 2;
        for (std::uint16_t i = 0; i < value.count; ++i, at += 2)
            WriteWord(at, static_cast<std::uint16_t>(value.entries[i].size));
        for (std::uint16_t i = 0; i < value.count; ++i) put(value.entries[i]);
        break;
    case kValueNoteRefs:
        WriteWord(at, value.count);
        at += 2;
        for (std::uint16_t i = 0; i < value.count; ++i) put(value.entries[i]);
        break;
    case kValueNumberList:
        WriteWord(at, value.count);
        WriteWord(at + 2, 0);
        at += 4;
        for (std::uint16_t i = 0; i < value.count; ++i) put(value.entries[i]);
        break;
    case kValueTimeList: {
        // The list entries come first, then the 16-byte range pairs, as the
        // header says.
        std::uint8_t* header = at;
        at += 4;
        std::uint16_t entries = 0, ranges = 0;
        for (std::uint16_t i = 0; i < value.count; ++i)
            if (value.entries[i].size != kRangeSize) {
                put(value.entries[i]);
                ++entries;
            }
        for (std::uint16_t i = 0; i < value.count; ++i)
            if (value.entries[i].size == kRangeSize) {
                put(value.entries[i]);
                ++ranges;
            }
        WriteWord(header, entries);
        WriteWord(header + 2, ranges);
        break;
    }
    default:
        for (std::uint16_t i = 0; i < value.count; ++i) put(value.entries[i]);
        break;
    }
    *length = static_cast<std::uint32_t>(at - out);
    return true;
}

bool EntryHoldsZero(const ArgEntry& entry) {
    return entry.size > 0 && std::memchr(entry.data, 0, entry.size) != nullptr;
}

STATUS RefuseArguments(DriverContext* context, STATUS status, const char* format, ...) {
    const int prefix = std::snprintf(context->scratchText, kScratchTextSize, "@Talix: ");
    va_list args;
    va_start(args, format);
    plat::FormatTextV(context->scratchText + prefix, kScratchTextSize - static_cast<std::size_t>(prefix), format, args);
    va_end(args);
    // The names and texts a message quotes are the host's arguments, in the
    // platform's character set.
    ShowLmbcsHostMessage(context->scratchText);
    return status;
}

} // namespace talix
