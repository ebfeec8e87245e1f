#include "core/record_layouts.h"
#include "core/shared_services.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "core/chunk_work_state.h"
#include "core/record_forms.h"
#include "core/text_search.h"
#include "talix/chunk.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr plat::WORD kFileObjectType = 58;
// The "$FILE" item refers to a database object.
constexpr plat::WORD kFileItemFlags = 7;
constexpr std::size_t kLongestFileName = 255;
constexpr std::size_t kLongestPath = 256;

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Makes one directory; true when it exists afterwards.
bool MakeDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0) return true;
    return errno == EEXIST && IsDirectory(path);
}

} // namespace

STATUS AttachBufferAsFile(plat::DBHANDLE db, plat::NOTEHANDLE note, const char* fileName, const void* buffer,
                          std::uint32_t size) {
    if (db == 0 || note == 0 || fileName == nullptr || fileName[0] == '\0' || (buffer == nullptr && size > 0))
        return kArgumentError;
    const std::size_t nameLength = std::strlen(fileName);
    const std::uint32_t storedSize = plat::StructStoredLength(kFileObjectType);
    if (nameLength > kLongestFileName || storedSize == 0 ||
        plat::StructHostLength(kFileObjectType) != kFileDescriptorHostSize)
        return kArgumentError;

    // The bytes and the value are handed over to the database and the note
    // as they are built, without a copy on the way.
    plat::DWORD objectId = 0;
    plat::STATUS status = plat::NOERROR;
    try {
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        status = plat::DbAllocObjectHolding(db, std::vector<std::uint8_t>(bytes, bytes + size), plat::OBJECT_CLASS_FILE,
                                            &objectId);
        if (status != plat::NOERROR) return status & kStatusMask;
        // The value: the data-type word, the descriptor in stored form, the name.
        std::vector<std::uint8_t> value(2 + storedSize + nameLength);
        std::uint8_t descriptor[kFileDescriptorHostSize] = {};
        WriteDword(descriptor + kFileDescriptorObjectIdAt, objectId);
        WriteWord(descriptor + kFileDescriptorNameLengthAt, static_cast<std::uint16_t>(nameLength));
        WriteDword(descriptor + kFileDescriptorFileSizeAt, size);
        WriteWord(value.data(), plat::TYPE_OBJECT);
        void* dest = value.data() + 2;
        status = plat::StructWrite(&dest, kFileObjectType, descriptor);
        std::memcpy(value.data() + 2 + storedSize, fileName, nameLength);
        if (status == plat::NOERROR) status = plat::ItemAppendValue(note, kFileItemFlags, "$FILE", std::move(value));
    } catch (const std::bad_alloc&) {
        status = kOutOfMemory;
    }
    if (status != plat::NOERROR) {
        if (objectId != 0) plat::DbFreeObject(db, objectId);
        return status & kStatusMask;
    }
    return kOK;
}

int CreateDirectoryPath(const char* path) {
    if (path == nullptr || path[0] == '\0') return 0;
    // Paths are built with "/" here; "\\" separates parts as well.
    std::string full(path);
    for (char& c : full) {
        if (c == '\\') c = '/';
    }
    if (IsDirectory(full) || MakeDirectory(full)) return 1;
    if (full.size() > kLongestPath) return 0;
    // Each prefix up to a separator, from the left, is made when missing.
    for (std::size_t i = 1; i < full.size(); ++i) {
        if (full[i] != '/') continue;
        const std::string prefix = full.substr(0, i);
        if (!IsDirectory(prefix) && !MakeDirectory(prefix)) return 0;
    }
    return IsDirectory(full) || MakeDirectory(full) ? 1 : 0;
}

int CompareTextPosition(const char* text, std::uint16_t textLength, const char* pattern, std::uint16_t patternLength,
                        std::uint16_t mode, const TextSearchOptions& options, std::uint16_t* matchLength) {
    std::uint16_t length = 0;
    if (matchLength != nullptr) *matchLength = 0;
    if (mode == kPositionAny) return 1;
    std::int32_t at = 0;
    if (text != nullptr && textLength > 0) {
        at = FindTextWildcard(text, textLength, pattern, patternLength, options.wildcards, options.ignoreCase,
                              options.ignoreAccents, options.wholeWord, &length);
        if (at < 0) length = 0;
    }
    if (matchLength != nullptr) *matchLength = length;
    // The first match may end before the text does where a later one, or a
    // longer run of its "*", reaches the end.
    auto toEnd = [&](bool startOnly) {
        std::uint16_t reach = 0;
        if (FindTextWildcardToEnd(text, textLength, pattern, patternLength, options.wildcards, options.ignoreCase,
                                  options.ignoreAccents, options.wholeWord, startOnly, &reach) < 0)
            return 0;
        if (matchLength != nullptr) *matchLength = reach;
        return 1;
    };
    switch (mode) {
    case kPositionWhole:
        if (at == 0 && length >= textLength) return 1;
        return at >= 0 ? toEnd(true) : 0;
    case kPositionStart: return at == 0 ? 1 : 0;
    case kPositionEnd:
        if (at >= 0 && static_cast<std::uint32_t>(at) + length == textLength) return 1;
        return at >= 0 ? toEnd(false) : 0;
    case kPositionInside: return at >= 0 ? 1 : 0;
    default: return 1;
    }
}

ChunkDefInfo* GetChunkDefChain(const ZervaRTChunk* chunk) {
    if (chunk == nullptr || chunk->work == nullptr) return nullptr;
    return chunk->work->chain;
}

} // namespace talix
