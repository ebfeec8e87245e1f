// OLE objects of a note, by name.
//
// An OLE object is stored as real notes store one: its bytes are an
// attachment (a "$FILE" item, host type OLE, whose stored name is the
// object's name), and an "$OLEOBJINFO" item describes it. That item is rich
// text (data type 1) holding one CDOLEOBJ_INFO record (signature 0xFFC1) in
// stored form, followed by the object's name (FileObjNameLength bytes) and
// its description (DescriptionNameLength bytes); the record's Flags hold the
// flags the object was written with, every other field is zero. Objects are
// found by name ignoring case, as attachments are.
#include <cstddef>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "attach_internal.h"
#include "notes_internal.h"
#include "status_codes.h"
#include "talix_platform/attach.h"
#include "talix_platform/database.h"
#include "talix_platform/memory.h"
#include "talix_platform/structures.h"

namespace plat {

namespace {

constexpr WORD kOleInfoType = 379;        // structure type code of CDOLEOBJ_INFO
constexpr WORD kOleInfoStored = 48;       // its stored length (the same in host form)
constexpr WORD kSigOleObjInfo = 0xFFC1;
constexpr WORD kHostTypeOle = 0x0100;
constexpr const char* kFileItemName = "$FILE";
constexpr WORD kFileItemNameLength = 5;
constexpr const char* kInfoItemName = "$OLEOBJINFO";
constexpr WORD kInfoItemNameLength = 11;

// CDOLEOBJ_INFO in host form.
struct OleInfoHost {
    WORD Signature = kSigOleObjInfo;
    WORD Length = 0;
    WORD FileObjNameLength = 0;
    WORD DescriptionNameLength = 0;
    WORD FieldNameLength = 0;
    WORD TextIndexObjNameLength = 0;
    BYTE OleObjClass[16] = {};
    WORD StorageFormat = 0;
    WORD DisplayFormat = 0;
    DWORD Flags = 0;
    WORD StorageFormatAppearedIn = 0;
    WORD HTMLDataLength = 0;
    WORD AssociatedFILEsLength = 0;
    WORD Reserved3 = 0;
    DWORD Reserved4 = 0;
};
static_assert(sizeof(OleInfoHost) == 48);
static_assert(offsetof(OleInfoHost, Flags) == 32 && offsetof(OleInfoHost, Reserved4) == 44);

// The object name an "$OLEOBJINFO" value describes; false when the value is
// not of the form above (such items are passed over).
bool InfoName(const BYTE* value, DWORD length, std::string_view* name) {
    if (length < 2 + kOleInfoStored || (value[0] | (value[1] << 8)) != TYPE_COMPOSITE) return false;
    OleInfoHost info;
    const void* src = value + 2;
    if (StructRead(&src, kOleInfoType, &info) != NOERROR || info.Signature != kSigOleObjInfo) return false;
    DWORD names = DWORD{info.FileObjNameLength} + info.DescriptionNameLength;
    if (info.Length < kOleInfoStored + names || info.Length > length - 2) return false;
    *name = std::string_view(reinterpret_cast<const char*>(value + 2 + kOleInfoStored), info.FileObjNameLength);
    return true;
}

// Every "$OLEOBJINFO" item of an open note that describes the named object.
std::vector<BLOCKID> FindInfoItems(NOTEHANDLE note, std::string_view name) {
    std::vector<BLOCKID> found;
    BLOCKID item, value;
    DWORD length = 0;
    STATUS status = ItemInfo(note, kInfoItemName, kInfoItemNameLength, &item, nullptr, &value, &length);
    while (status == NOERROR) {
        const auto* bytes = static_cast<const BYTE*>(BlockLock(value));
        std::string_view described;
        if (bytes != nullptr && InfoName(bytes, length, &described) && SameFileName(described, name)) {
            found.push_back(item);
        }
        BlockUnlock(value);
        status = ItemInfoNext(note, item, kInfoItemName, kInfoItemNameLength, &item, nullptr, &value, &length);
    }
    return found;
}

// The block id of the last item of an open note; the caller holds the lock.
BLOCKID LastItem(NOTEHANDLE note) {
    OpenNote* open = Notes().Find(note);
    if (open == nullptr || open->items.empty()) return BLOCKID{};
    return BLOCKID{note, open->items.back()->serial * 2};
}

// The "$OLEOBJINFO" value describing an object.
STATUS InfoValue(std::string_view name, std::string_view description, WORD flags, std::vector<BYTE>* value) {
    size_t recordLength = kOleInfoStored + name.size() + description.size();
    if (recordLength > 0xFFFF) return ERR_BAD_ARGUMENT;
    if (StructStoredLength(kOleInfoType) != kOleInfoStored) return ERR_UNKNOWN_STRUCT;
    OleInfoHost info;
    info.Length = static_cast<WORD>(recordLength);
    info.FileObjNameLength = static_cast<WORD>(name.size());
    info.DescriptionNameLength = static_cast<WORD>(description.size());
    info.Flags = flags;
    value->assign(recordLength + recordLength % 2, 0);   // an odd record is padded to even
    void* dest = value->data();
    STATUS status = StructWrite(&dest, kOleInfoType, &info);
    if (status != NOERROR) return status;
    std::memcpy(value->data() + kOleInfoStored, name.data(), name.size());
    if (!description.empty()) {
        std::memcpy(value->data() + kOleInfoStored + name.size(), description.data(), description.size());
    }
    return NOERROR;
}

// Removes the object's attachment (its bytes freed when the note is stored)
// and every description of it. ERR_ITEM_NOT_FOUND when the note has neither.
STATUS RemoveObject(NOTEHANDLE note, std::string_view name) {
    BLOCKID fileItem;
    FileObjectHost header;
    STATUS status = FindFileItem(note, name, &fileItem, &header);
    if (status != NOERROR && status != ERR_ITEM_NOT_FOUND) return status;
    bool removed = false;
    if (status == NOERROR) {
        status = RemoveNoteItem(note, fileItem);
        if (status != NOERROR) return status;
        removed = true;
    }
    for (BLOCKID info : FindInfoItems(note, name)) {
        status = RemoveNoteItem(note, info);
        if (status != NOERROR) return status;
        removed = true;
    }
    return removed ? NOERROR : ERR_ITEM_NOT_FOUND;
}

} // namespace

STATUS NoteRemoveOleObject(NOTEHANDLE note, const char* name) {
    if (name == nullptr || *name == '\0') return ERR_BAD_ARGUMENT;
    std::lock_guard<std::recursive_mutex> lock(StorageMutex());
    return RemoveObject(note, name);
}

STATUS NoteExtractOleObject(NOTEHANDLE note, const char* name, const char* path) {
    if (name == nullptr || *name == '\0' || path == nullptr || *path == '\0') return ERR_BAD_ARGUMENT;
    DBHANDLE db = NULLHANDLE;
    STATUS status = NoteDatabase(note, &db);
    if (status != NOERROR) return status;
    BLOCKID fileItem;
    FileObjectHost header;
    status = FindFileItem(note, name, &fileItem, &header);
    if (status != NOERROR) return status;
    return WriteObjectToFile(db, header.RRV, DiskPath(path));
}

// An object of the same name is replaced, once the new one is in place.
STATUS NoteWriteOleObject(NOTEHANDLE note, const char* path, const char* name, const char* description,
                          WORD flags) {
    if (name == nullptr || *name == '\0' || path == nullptr || *path == '\0') return ERR_BAD_ARGUMENT;
    std::string_view objectName(name);
    std::string_view text = description == nullptr ? std::string_view() : std::string_view(description);
    std::vector<BYTE> info;
    STATUS status = InfoValue(objectName, text, flags, &info);
    if (status != NOERROR) return status;
    DBHANDLE db = NULLHANDLE;
    status = NoteDatabase(note, &db);
    if (status != NOERROR) return status;

    std::lock_guard<std::recursive_mutex> lock(StorageMutex());
    BLOCKID oldFile;
    FileObjectHost oldHeader;
    STATUS old = FindFileItem(note, objectName, &oldFile, &oldHeader);
    if (old != NOERROR && old != ERR_ITEM_NOT_FOUND) return old;
    std::vector<BLOCKID> oldInfo = FindInfoItems(note, objectName);

    FileObjectHost header;
    status = StoreFileAsObject(db, DiskPath(path), &header.RRV, &header.FileSize, &header.FileModified);
    if (status != NOERROR) return status;
    header.FileCreated = header.FileModified;
    header.HostType = kHostTypeOle;
    status = AppendFileItem(note, kFileItemName, kFileItemNameLength, header, objectName);
    if (status != NOERROR) {
        DbFreeObject(db, header.RRV);
        return status;
    }
    status = ItemAppend(note, kItemFlagsObjectFile, kInfoItemName, kInfoItemNameLength, TYPE_COMPOSITE,
                        info.data(), static_cast<DWORD>(info.size()));
    if (status != NOERROR) {
        RemoveNoteItem(note, LastItem(note));   // the attachment just appended
        DbFreeObject(db, header.RRV);
        return status;
    }
    if (old == NOERROR) RemoveNoteItem(note, oldFile);
    for (BLOCKID each : oldInfo) RemoveNoteItem(note, each);
    return NOERROR;
}

} // namespace plat
