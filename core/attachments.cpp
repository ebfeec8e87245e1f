// Attachment look-ups over a note's "$FILE" items. A "$FILE" value is the
// data-type word, the file descriptor in stored form (structure type 58) and
// the stored file name, not terminated, of the length the descriptor gives.
#include "core/attachments.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "core/base64.h"
#include "core/folder_file.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/surrogate_pairs.h"
#include "core/text_compare.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr const char* kFileItem = "$FILE";
constexpr plat::WORD kFileItemLength = 5;
constexpr plat::WORD kFileObjectType = 58;

constexpr std::size_t kMaxStoredName = 255;
constexpr std::size_t kLongestExtension = 32;   // with its dot: what a cut name keeps of its end
constexpr std::size_t kShortBase = 24;     // bases this long or longer give "attN.ext"
constexpr int kLastSuffix = 999;
constexpr std::uint32_t kExtractPiece = 1u << 20;

struct Attachment {
    plat::BLOCKID item;
    plat::BLOCKID value;
    std::uint8_t descriptor[kFileDescriptorHostSize] = {};
    std::string name;
};

bool SameName(const std::string& stored, const char* wanted, std::size_t wantedLength) {
    if (stored.size() != wantedLength) return false;
    for (std::size_t i = 0; i < wantedLength; ++i) {
        if (LowerAscii(stored[i]) != LowerAscii(wanted[i])) return false;
    }
    return true;
}

// Reads the descriptor and the name of a "$FILE" value; false when the value
// is too short for them.
bool ReadFileValue(plat::BLOCKID value, plat::DWORD length, Attachment* out) {
    const std::uint32_t storedSize = plat::StructStoredLength(kFileObjectType);
    if (storedSize == 0 || plat::StructHostLength(kFileObjectType) != kFileDescriptorHostSize ||
        length < 2 + storedSize)
        return false;
    const auto* bytes = static_cast<const std::uint8_t*>(plat::BlockLock(value));
    if (bytes == nullptr) return false;
    const void* src = bytes + 2;
    bool ok = plat::StructRead(&src, kFileObjectType, out->descriptor) == plat::NOERROR;
    std::uint32_t nameLength = ReadWord(out->descriptor + kFileDescriptorNameLengthAt);
    ok = ok && nameLength <= length - 2 - storedSize;
    if (ok) out->name.assign(reinterpret_cast<const char*>(bytes) + 2 + storedSize, nameLength);
    plat::BlockUnlock(value);
    return ok;
}

// Finds the first attachment whose stored name matches (any attachment for
// a null name). Returns 0 or the status that ended the walk (546).
plat::STATUS FindAttachment(plat::NOTEHANDLE note, const char* name, Attachment* found) {
    const std::size_t nameLength = name != nullptr ? std::strlen(name) : 0;
    plat::BLOCKID item, value;
    plat::WORD type = 0;
    plat::DWORD length = 0;
    plat::STATUS status = plat::ItemInfo(note, kFileItem, kFileItemLength, &item, &type, &value, &length);
    while (status == plat::NOERROR) {
        Attachment candidate;
        candidate.item = item;
        candidate.value = value;
        if (ReadFileValue(value, length, &candidate) &&
            (name == nullptr || SameName(candidate.name, name, nameLength))) {
            *found = candidate;
            return plat::NOERROR;
        }
        status = plat::ItemInfoNext(note, item, kFileItem, kFileItemLength, &item, &type, &value, &length);
    }
    return status;
}

bool HasAttachment(plat::NOTEHANDLE note, const char* name) {
    Attachment ignored;
    return FindAttachment(note, name, &ignored) == plat::NOERROR;
}

void CopyName(const std::string& name, char* out, std::uint32_t outSize) {
    if (out == nullptr || outSize == 0) return;
    std::size_t length = name.size() < outSize - 1 ? name.size() : outSize - 1;
    std::memcpy(out, name.data(), length);
    out[length] = '\0';
}

// Reads the whole database object of an attachment into a new memory block.
plat::STATUS ReadObject(plat::NOTEHANDLE note, const Attachment& attachment, plat::DHANDLE* block,
                        std::uint32_t* size) {
    plat::DBHANDLE db = 0;
    plat::STATUS status = plat::NoteGetInfo(note, plat::NOTE_FIELD_DB, &db);
    const std::uint32_t objectId = ReadDword(attachment.descriptor + kFileDescriptorObjectIdAt);
    plat::DWORD objectSize = 0;
    if (status == plat::NOERROR) status = plat::DbObjectSize(db, objectId, &objectSize);
    if (status == plat::NOERROR) status = plat::DbReadObject(db, objectId, 0, 0xFFFFFFFF, block);
    if (status != plat::NOERROR) return status;
    *size = objectSize < plat::MemSize(*block) ? objectSize : plat::MemSize(*block);
    return plat::NOERROR;
}

// The name the copy of fileName gets in the target note; empty when every
// candidate is taken.
std::string ChooseStoredName(plat::NOTEHANDLE target, const char* fileName) {
    std::string name = FitStoredName(fileName, kMaxStoredName);
    if (!HasAttachment(target, name.c_str())) return name;
    const char* dot = std::strrchr(fileName, '.');
    const std::size_t baseLength = dot != nullptr ? static_cast<std::size_t>(dot - fileName) : std::strlen(fileName);
    const char* extension = dot != nullptr ? dot : "";
    char candidate[kMaxStoredName + 1];
    for (int n = 2; n <= kLastSuffix; ++n) {
        if (baseLength < kShortBase) {
            std::snprintf(candidate, sizeof candidate, "%.*s_%d%s", static_cast<int>(baseLength), fileName, n, extension);
        } else {
            std::snprintf(candidate, sizeof candidate, "att%d%s", n, extension);
        }
        if (!HasAttachment(target, candidate)) return candidate;
    }
    return std::string();
}

} // namespace

std::string FreeStoredName(plat::NOTEHANDLE note, const char* fileName) {
    return fileName != nullptr ? ChooseStoredName(note, fileName) : std::string();
}

std::string FitStoredName(std::string_view name, std::size_t limit) {
    if (name.size() <= limit) return std::string(name);
    // Where each character starts, and the last "." that is a character of
    // its own (not a later byte of a character of several).
    std::vector<std::size_t> starts;
    std::size_t dot = std::string_view::npos;
    for (std::size_t at = 0; at < name.size();) {
        starts.push_back(at);
        if (name[at] == '.') dot = at;
        const std::size_t length = plat::LmbcsCharLength(reinterpret_cast<const plat::BYTE*>(name.data() + at),
                                                         static_cast<plat::DWORD>(name.size() - at));
        // A character beyond 16 bits goes whole, never cut between its halves.
        const bool pair = StartsSurrogatePair(reinterpret_cast<const std::uint8_t*>(name.data() + at), length,
                                              name.size() - at);
        at += pair ? 6 : length == 0 ? 1 : length;
    }
    const bool extension = dot != std::string_view::npos && dot > 0 && name.size() - dot <= kLongestExtension &&
                           name.size() - dot < limit;
    const std::string_view suffix = extension ? name.substr(dot) : std::string_view();
    const std::size_t end = extension ? dot : name.size();
    const std::size_t room = limit - suffix.size();
    // The most whole characters of the base that leave room for the suffix.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < starts.size() && starts[i] < end; ++i) {
        const std::size_t next = i + 1 < starts.size() ? std::min(starts[i + 1], end) : end;
        if (next > room) break;
        kept = next;
    }
    return std::string(name.substr(0, kept)) + std::string(suffix);
}

STATUS ReadAttachmentToMemory(plat::NOTEHANDLE note, const char* fileName, char** data, std::uint32_t* size) {
    if (fileName == nullptr || data == nullptr || size == nullptr) return kArgumentError;
    *data = nullptr;
    *size = 0;
    Attachment attachment;
    plat::STATUS status = FindAttachment(note, fileName, &attachment);
    plat::DHANDLE block = 0;
    std::uint32_t objectSize = 0;
    if (status == plat::NOERROR) status = ReadObject(note, attachment, &block, &objectSize);
    if (status != plat::NOERROR) return status;
    char* buffer = static_cast<char*>(std::malloc(static_cast<std::size_t>(objectSize) + 1));
    const void* bytes = plat::MemLock(block);
    if (buffer != nullptr && bytes != nullptr) {
        std::memcpy(buffer, bytes, objectSize);
        buffer[objectSize] = '\0';
    }
    if (bytes != nullptr) plat::MemUnlock(block);
    plat::MemFree(block);
    if (buffer == nullptr || bytes == nullptr) {
        std::free(buffer);
        return kOutOfMemory;
    }
    *data = buffer;
    *size = objectSize;
    return kOK;
}

STATUS ExtractAttachmentFile(plat::NOTEHANDLE note, const char* fileName, const std::string& path) {
    if (fileName == nullptr || path.empty()) return kArgumentError;
    Attachment attachment;
    plat::DBHANDLE db = 0;
    plat::STATUS status = FindAttachment(note, fileName, &attachment);
    if (status == plat::NOERROR) status = plat::NoteGetInfo(note, plat::NOTE_FIELD_DB, &db);
    const std::uint32_t objectId = ReadDword(attachment.descriptor + kFileDescriptorObjectIdAt);
    plat::DWORD total = 0;
    if (status == plat::NOERROR) status = plat::DbObjectSize(db, objectId, &total);
    if (status != plat::NOERROR) return status & kStatusMask;
    FolderFile file;
    if (!file.Create(path, 0666)) return kOperationFailed;
    // Read and written a piece at a time: an attachment may be far larger
    // than is worth holding in memory.
    for (std::uint32_t offset = 0; offset < total;) {
        const std::uint32_t want = total - offset < kExtractPiece ? total - offset : kExtractPiece;
        plat::DHANDLE block = 0;
        status = plat::DbReadObject(db, objectId, offset, want, &block);
        if (status != plat::NOERROR) return status & kStatusMask;
        const void* bytes = plat::MemLock(block);
        const bool written = bytes != nullptr && file.Write(bytes, want);
        if (bytes != nullptr) plat::MemUnlock(block);
        plat::MemFree(block);
        if (!written) return bytes == nullptr ? kOutOfMemory : kOperationFailed;
        offset += want;
    }
    return file.Finish() ? kOK : kOperationFailed;
}

STATUS FindAttachmentItem(plat::NOTEHANDLE note, const char* fileName, plat::BLOCKID* block, std::uint32_t which) {
    if (fileName == nullptr || block == nullptr) return kArgumentError;
    Attachment attachment;
    plat::STATUS status = FindAttachment(note, fileName, &attachment);
    if (status == plat::NOERROR) *block = which != 0 ? attachment.value : attachment.item;
    return status;
}

STATUS GetAttachmentSize(plat::DBHANDLE db, plat::NOTEHANDLE note, const char* fileName, std::uint32_t* size,
                         std::uint32_t fromObject) {
    if (size == nullptr) return kOK;
    *size = 0;
    if (fileName == nullptr) return kArgumentError;
    Attachment attachment;
    plat::STATUS status = FindAttachment(note, fileName, &attachment);
    if (status != plat::NOERROR) return status;
    if (fromObject == 0) {
        *size = ReadDword(attachment.descriptor + kFileDescriptorFileSizeAt);
        return kOK;
    }
    plat::DWORD objectSize = 0;
    status = plat::DbObjectSize(db, ReadDword(attachment.descriptor + kFileDescriptorObjectIdAt), &objectSize);
    if (status == plat::NOERROR) *size = objectSize;
    return status;
}

STATUS GetAttachmentStoredName(plat::NOTEHANDLE note, const char* fileName, char* storedName,
                               std::uint32_t storedNameSize) {
    if (fileName == nullptr || storedName == nullptr || storedNameSize == 0) return kArgumentError;
    Attachment attachment;
    plat::STATUS status = FindAttachment(note, fileName, &attachment);
    if (status == plat::NOERROR) CopyName(attachment.name, storedName, storedNameSize);
    return status;
}

int FindAttachmentName(plat::NOTEHANDLE note, char* name, std::uint32_t nameSize, std::uint32_t takeFirst) {
    if (name == nullptr || nameSize == 0) return 0;
    Attachment attachment;
    if (name[0] != '\0') {
        // A name that fills the buffer without a terminator is cut there.
        std::string wanted(name, strnlen(name, nameSize));
        return FindAttachment(note, wanted.c_str(), &attachment) == plat::NOERROR ? 1 : 0;
    }
    if (takeFirst == 0 || FindAttachment(note, nullptr, &attachment) != plat::NOERROR) return 0;
    CopyName(attachment.name, name, nameSize);
    return 1;
}

STATUS AttachImportedFile(plat::DBHANDLE db, plat::NOTEHANDLE sourceNote, plat::NOTEHANDLE targetNote,
                          const char* fileName, char* storedName, std::uint32_t storedNameSize) {
    if (storedName != nullptr && storedNameSize > 0) storedName[0] = '\0';
    if (fileName == nullptr) return kArgumentError;
    Attachment source;
    plat::STATUS status = FindAttachment(sourceNote, fileName, &source);
    if (status != plat::NOERROR) return status & kStatusMask;

    std::string name = ChooseStoredName(targetNote, fileName);
    if (name.empty()) return kOperationFailed;

    plat::WORD itemFlags = 0;
    status = plat::ItemQuery(source.item, nullptr, 0, &itemFlags, nullptr, nullptr, nullptr);
    plat::DHANDLE content = 0;
    std::uint32_t size = 0;
    if (status == plat::NOERROR) status = ReadObject(sourceNote, source, &content, &size);
    if (status != plat::NOERROR) return status & kStatusMask;

    plat::DWORD objectId = 0;
    status = plat::DbAllocObject(db, size, plat::OBJECT_CLASS_FILE, &objectId);
    const bool allocated = status == plat::NOERROR;
    if (status == plat::NOERROR && size > 0) status = plat::DbWriteObject(db, objectId, content, 0, size);
    plat::MemFree(content);

    // The new value: the data-type word, the source's descriptor naming the
    // new object and the new name, then the name.
    const std::uint32_t storedSize = plat::StructStoredLength(kFileObjectType);
    const std::uint32_t valueLength = 2 + storedSize + static_cast<std::uint32_t>(name.size());
    plat::DHANDLE valueBlock = 0;
    if (status == plat::NOERROR) status = plat::MemAlloc(valueLength, plat::MEM_GROWABLE, &valueBlock);
    if (status == plat::NOERROR) {
        auto* value = static_cast<std::uint8_t*>(plat::MemLock(valueBlock));
        WriteWord(value, plat::TYPE_OBJECT);
        std::uint8_t descriptor[kFileDescriptorHostSize];
        std::memcpy(descriptor, source.descriptor, sizeof descriptor);
        WriteDword(descriptor + kFileDescriptorObjectIdAt, objectId);
        WriteWord(descriptor + kFileDescriptorNameLengthAt, static_cast<std::uint16_t>(name.size()));
        void* dst = value + 2;
        status = plat::StructWrite(&dst, kFileObjectType, descriptor);
        std::memcpy(value + 2 + storedSize, name.data(), name.size());
        plat::MemUnlock(valueBlock);
        if (status == plat::NOERROR)
            status = plat::ItemAppendByBlock(targetNote, itemFlags, kFileItem, kFileItemLength, valueBlock, valueLength);
        plat::MemFree(valueBlock);
    }
    if (status != plat::NOERROR) {
        if (allocated) plat::DbFreeObject(db, objectId);
        return status & kStatusMask;
    }
    CopyName(name, storedName, storedNameSize);
    return kOK;
}

STATUS ListAttachments(plat::NOTEHANDLE note, std::vector<NoteAttachment>* attachments) {
    if (attachments == nullptr) return kArgumentError;
    attachments->clear();
    plat::BLOCKID item, value;
    plat::DWORD length = 0;
    plat::STATUS status = plat::ItemInfo(note, kFileItem, kFileItemLength, &item, nullptr, &value, &length);
    while (status == plat::NOERROR) {
        Attachment found;
        if (ReadFileValue(value, length, &found))
            attachments->push_back(
                NoteAttachment{std::move(found.name), item, ReadDword(found.descriptor + kFileDescriptorObjectIdAt),
                               ReadWord(found.descriptor + kFileDescriptorHostTypeAt)});
        status = plat::ItemInfoNext(note, item, kFileItem, kFileItemLength, &item, nullptr, &value, &length);
    }
    return status == plat::ERR_ITEM_NOT_FOUND ? kOK : status & kStatusMask;
}

STATUS DetachAttachments(plat::NOTEHANDLE note, const std::vector<NoteAttachment>& attachments, bool freeObjects) {
    plat::DBHANDLE db = 0;
    if (freeObjects) plat::NoteGetInfo(note, plat::NOTE_FIELD_DB, &db);
    STATUS first = kOK;
    // The last first: the items a run appended stand at the end of the
    // note, and taking them from there moves none of the others.
    for (auto at = attachments.rbegin(); at != attachments.rend(); ++at) {
        plat::STATUS status = plat::NoteDetachFile(note, at->item);
        if (status == plat::NOERROR && freeObjects) status = plat::DbFreeObject(db, at->objectId);
        if (status != plat::NOERROR && first == kOK) first = status & kStatusMask;
    }
    return first;
}

STATUS SetupBase64Alphabet(plat::NOTEHANDLE note, int unused, const char* attachmentName, const char* fileFields,
                           std::FILE* file, int lfOnly) {
    (void)unused;
    (void)fileFields;
    if (attachmentName == nullptr || attachmentName[0] == '\0' || file == nullptr) return kArgumentError;
    char* data = nullptr;
    std::uint32_t size = 0;
    STATUS status = ReadAttachmentToMemory(note, attachmentName, &data, &size);
    if (status != kOK) return status;
    std::string text;
    try {
        AppendBase64Lines(reinterpret_cast<const std::uint8_t*>(data), size, lfOnly, 1, &text);
    } catch (const std::bad_alloc&) {
        status = kOutOfMemory;
    }
    std::free(data);
    if (status == kOK && std::fwrite(text.data(), 1, text.size(), file) != text.size()) status = kOperationFailed;
    return status;
}

bool FindOleObjectInfo(plat::NOTEHANDLE note, std::string_view name, std::string* description, plat::WORD* flags) {
    plat::BLOCKID item, value;
    plat::DWORD length = 0;
    plat::STATUS status = plat::ItemInfo(note, "$OLEOBJINFO", 11, &item, nullptr, &value, &length);
    for (; status == plat::NOERROR;
         status = plat::ItemInfoNext(note, item, "$OLEOBJINFO", 11, &item, nullptr, &value, &length)) {
        if (length < 2 + kOleObjectInfoFixedLength) continue;
        const auto* bytes = static_cast<const std::uint8_t*>(plat::BlockLock(value));
        if (bytes == nullptr) continue;
        // The value's data-type word, then the record.
        const std::uint8_t* info = bytes + 2;
        const std::uint32_t nameLength = ReadWord(info + kOleInfoNameLengthAt);
        const std::uint32_t descriptionLength = ReadWord(info + kOleInfoDescriptionLengthAt);
        const char* text = reinterpret_cast<const char*>(info + kOleObjectInfoFixedLength);
        bool found = false;
        if (2 + kOleObjectInfoFixedLength + nameLength + descriptionLength <= length &&
            EqualNoCase(std::string_view(text, nameLength), name)) {
            description->assign(text + nameLength, descriptionLength);
            *flags = static_cast<plat::WORD>(ReadDword(info + kOleInfoFlagsAt));
            found = true;
        }
        plat::BlockUnlock(value);
        if (found) return true;
    }
    return false;
}

} // namespace talix
