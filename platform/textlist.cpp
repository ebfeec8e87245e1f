// Text lists in memory blocks: an optional data-type word (TYPE_TEXT_LIST),
// WORD count, count WORD lengths, then the texts one after another. A list
// never passes 65,535 bytes; adding an entry that would make it longer fails
// and leaves the list as it was.
#include <cstring>
#include <string_view>
#include <vector>

#include "byte_order.h"
#include "status_codes.h"
#include "talix_platform/lists.h"
#include "talix_platform/memory.h"

namespace plat {

namespace {

constexpr size_t kMaxListSize = 0xFFFF;

size_t PrefixSize(bool prefixDataType) { return prefixDataType ? 2 : 0; }

// The entries of a list of size bytes; false when the list does not fit in
// them (or its type word is not that of a text list).
bool ReadEntries(const BYTE* list, size_t size, bool prefixDataType, std::vector<std::string_view>* entries) {
    size_t at = PrefixSize(prefixDataType);
    if (size < at + 2) return false;
    if (prefixDataType && GetWord(list) != TYPE_TEXT_LIST) return false;
    size_t count = GetWord(list + at);
    at += 2;
    if (count > (size - at) / 2) return false;
    size_t text = at + 2 * count;
    entries->clear();
    entries->reserve(count);
    for (size_t i = 0; i < count; ++i) {
        size_t length = GetWord(list + at + 2 * i);
        if (length > size - text) return false;
        entries->emplace_back(reinterpret_cast<const char*>(list + text), length);
        text += length;
    }
    return true;
}

} // namespace

STATUS ListAllocate(WORD count, WORD size, bool prefixDataType, DHANDLE* list, void** address, WORD* listSize) {
    if (list == nullptr) return ERR_BAD_ARGUMENT;
    *list = NULLHANDLE;
    if (address != nullptr) *address = nullptr;
    if (listSize != nullptr) *listSize = 0;
    // Room for count entries (their lengths 0, for the caller to fill in) and
    // size bytes of text.
    size_t total = PrefixSize(prefixDataType) + 2 + 2 * static_cast<size_t>(count) + size;
    if (total > kMaxListSize) return ERR_LIST_FULL;
    DHANDLE block = NULLHANDLE;
    STATUS status = MemAlloc(static_cast<DWORD>(total), MEM_GROWABLE, &block);
    if (status != NOERROR) return status;
    auto* bytes = static_cast<BYTE*>(MemLock(block));
    if (bytes == nullptr) {
        MemFree(block);
        return ERR_INVALID_HANDLE;
    }
    if (prefixDataType) PutWord(bytes, TYPE_TEXT_LIST);
    PutWord(bytes + PrefixSize(prefixDataType), count);
    // The block stays locked when the caller takes its address.
    if (address != nullptr) {
        *address = bytes;
    } else {
        MemUnlock(block);
    }
    *list = block;
    if (listSize != nullptr) *listSize = static_cast<WORD>(total);
    return NOERROR;
}

WORD ListEntryCount(const void* list, bool prefixDataType) {
    if (list == nullptr) return 0;
    return GetWord(static_cast<const BYTE*>(list) + PrefixSize(prefixDataType));
}

STATUS ListGetText(const void* list, bool prefixDataType, WORD index, const char** text, WORD* length) {
    if (text != nullptr) *text = nullptr;
    if (length != nullptr) *length = 0;
    if (list == nullptr) return ERR_BAD_ARGUMENT;
    const auto* bytes = static_cast<const BYTE*>(list) + PrefixSize(prefixDataType);
    WORD count = GetWord(bytes);
    if (index >= count) return ERR_NO_SUCH_ENTRY;
    const BYTE* lengths = bytes + 2;
    size_t offset = 2 + 2 * static_cast<size_t>(count);
    for (WORD i = 0; i < index; ++i) offset += GetWord(lengths + 2 * i);
    if (text != nullptr) *text = reinterpret_cast<const char*>(bytes + offset);
    if (length != nullptr) *length = GetWord(lengths + 2 * index);
    return NOERROR;
}

STATUS ListAddEntry(DHANDLE list, bool prefixDataType, WORD* listSize, WORD index, const char* text, WORD length) {
    if (listSize == nullptr || (text == nullptr && length != 0)) return ERR_BAD_ARGUMENT;
    DWORD blockSize = MemSize(list);
    const auto* bytes = static_cast<const BYTE*>(MemLock(list));
    if (bytes == nullptr) return ERR_INVALID_HANDLE;
    std::vector<std::string_view> entries;
    bool valid = *listSize <= blockSize && ReadEntries(bytes, *listSize, prefixDataType, &entries);
    size_t textBytes = 0;
    for (std::string_view entry : entries) textBytes += entry.size();
    size_t newSize = PrefixSize(prefixDataType) + 2 + 2 * (entries.size() + 1) + textBytes + length;
    if (!valid || newSize > kMaxListSize) {
        MemUnlock(list);
        return valid ? ERR_LIST_FULL : ERR_BAD_ARGUMENT;
    }

    // The new list is built aside, then copied over the grown block.
    std::vector<BYTE> rebuilt(newSize);
    size_t at = PrefixSize(prefixDataType);
    if (prefixDataType) PutWord(rebuilt.data(), TYPE_TEXT_LIST);
    if (index > entries.size()) index = static_cast<WORD>(entries.size());
    entries.insert(entries.begin() + index, std::string_view(text == nullptr ? "" : text, length));
    PutWord(rebuilt.data() + at, static_cast<WORD>(entries.size()));
    at += 2;
    size_t textAt = at + 2 * entries.size();
    for (std::string_view entry : entries) {
        PutWord(rebuilt.data() + at, static_cast<WORD>(entry.size()));
        at += 2;
        if (!entry.empty()) std::memcpy(rebuilt.data() + textAt, entry.data(), entry.size());
        textAt += entry.size();
    }
    MemUnlock(list);

    STATUS status = MemRealloc(list, static_cast<DWORD>(newSize));
    if (status != NOERROR) return status;
    auto* out = static_cast<BYTE*>(MemLock(list));
    if (out == nullptr) return ERR_INVALID_HANDLE;
    std::memcpy(out, rebuilt.data(), newSize);
    MemUnlock(list);
    *listSize = static_cast<WORD>(newSize);
    return NOERROR;
}

} // namespace plat
