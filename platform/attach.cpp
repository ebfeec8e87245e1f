// Attachments: a "$FILE" item (data type 3) holds a FILEOBJECT in stored form
// followed by the stored file name; the FILEOBJECT's RRV names the database
// object that holds the file's bytes.
//
// Attaching copies the file into a new database object and appends the item
// to the note in memory; the object is stored with the note's next update
// (and dropped when no update stores it). Detaching removes the item at once;
// its object is freed when the note is next stored without it, so a note
// closed without saving keeps its attachment whole.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "attach_internal.h"
#include "notes_internal.h"
#include "status_codes.h"
#include "talix_platform/attach.h"
#include "talix_platform/database.h"
#include "talix_platform/input_file.h"
#include "talix_platform/log.h"
#include "talix_platform/memory.h"
#include "talix_platform/structures.h"
#include "talix_platform/text.h"
#include "talix_platform/timedate.h"

namespace plat {

namespace {

constexpr DWORD kCopyChunk = 1 << 20;   // bytes moved between a file and an object at a time
constexpr WORD kHostTypeMask = 0xFF00;
constexpr WORD kHostTypeLocal = 0x0F00;  // "this machine's kind": an argument only, never stored
constexpr WORD kHostTypeStream = 0x0900; // a plain byte stream, as files are here
constexpr const char* kFileItemName = "$FILE";
constexpr WORD kFileItemNameLength = 5;

TIMEDATE FileTime(const struct stat& info) {
    TIMEDATE time;
    struct tm parts {};
    if (gmtime_r(&info.st_mtim.tv_sec, &parts) == nullptr) return time;
    TimeFields fields;
    fields.year = parts.tm_year + 1900;
    fields.month = parts.tm_mon + 1;
    fields.day = parts.tm_mday;
    fields.hour = parts.tm_hour;
    fields.minute = parts.tm_min;
    fields.second = parts.tm_sec;
    fields.hundredth = static_cast<int>(info.st_mtim.tv_nsec / 10000000);
    if (TimeFromFields(&fields, &time) != NOERROR) time = TIMEDATE{};
    return time;
}

// The last part of a path.
std::string BaseName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

// ---- Shared with the OLE-object calls ------------------------------------------

std::string DiskPath(const char* path) {
    std::string result = path == nullptr ? std::string() : std::string(path);
    for (char& c : result) {
        if (c == '\\') c = '/';
    }
    return result;
}

STATUS NoteDatabase(NOTEHANDLE note, DBHANDLE* db) {
    *db = NULLHANDLE;
    return NoteGetInfo(note, NOTE_FIELD_DB, db);
}

bool SameFileName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

STATUS ReadFileItem(NOTEHANDLE note, BLOCKID fileItem, FileObjectHost* header, std::string* name) {
    if (fileItem.pool != note) return ERR_INVALID_HANDLE;
    std::lock_guard<std::recursive_mutex> lock(StorageMutex());   // the value stays put while read
    WORD dataType = 0;
    BLOCKID value;
    DWORD length = 0;
    STATUS status = ItemQuery(fileItem, nullptr, 0, nullptr, &dataType, &value, &length);
    if (status != NOERROR) return status;
    if (dataType != TYPE_OBJECT || length < 2 + kFileObjectStored) return ERR_FILE_OBJECT;
    if (StructStoredLength(kFileObjectType) != kFileObjectStored) return ERR_UNKNOWN_STRUCT;
    const auto* bytes = static_cast<const BYTE*>(BlockLock(value));
    if (bytes == nullptr) return ERR_INVALID_HANDLE;
    const void* src = bytes + 2;
    status = StructRead(&src, kFileObjectType, header);
    if (status == NOERROR && header->FileNameLength > length - 2 - kFileObjectStored) status = ERR_FILE_OBJECT;
    if (status == NOERROR && name != nullptr) {
        name->assign(reinterpret_cast<const char*>(bytes + 2 + kFileObjectStored), header->FileNameLength);
    }
    BlockUnlock(value);
    return status;
}

STATUS FindFileItem(NOTEHANDLE note, std::string_view name, BLOCKID* item, FileObjectHost* header) {
    std::lock_guard<std::recursive_mutex> lock(StorageMutex());
    BLOCKID current;
    STATUS status = ItemInfo(note, kFileItemName, kFileItemNameLength, &current, nullptr, nullptr, nullptr);
    while (status == NOERROR) {
        std::string stored;
        // Items that are not file objects, or damaged ones, are passed over.
        if (ReadFileItem(note, current, header, &stored) == NOERROR && SameFileName(stored, name)) {
            *item = current;
            return NOERROR;
        }
        status = ItemInfoNext(note, current, kFileItemName, kFileItemNameLength, &current, nullptr, nullptr, nullptr);
    }
    return status;
}

STATUS AppendFileItem(NOTEHANDLE note, const char* itemName, WORD itemNameLength, FileObjectHost header,
                      std::string_view name) {
    if (name.empty() || name.size() > 0xFFFF) return ERR_BAD_ARGUMENT;
    if (StructStoredLength(kFileObjectType) != kFileObjectStored) return ERR_UNKNOWN_STRUCT;
    header.FileNameLength = static_cast<WORD>(name.size());
    std::vector<BYTE> value(kFileObjectStored + name.size());
    void* dest = value.data();
    STATUS status = StructWrite(&dest, kFileObjectType, &header);
    if (status != NOERROR) return status;
    std::memcpy(value.data() + kFileObjectStored, name.data(), name.size());
    return ItemAppend(note, kItemFlagsObjectFile, itemName, itemNameLength, TYPE_OBJECT, value.data(),
                      static_cast<DWORD>(value.size()));
}

STATUS StoreFileAsObject(DBHANDLE db, const std::string& path, DWORD* objectId, DWORD* size, TIMEDATE* modified) {
    *objectId = 0;
    *size = 0;
    std::string why;
    std::FILE* file = OpenInputStream(path.c_str(), &why);
    if (file == nullptr) {
        LogLine(ERR_DISK_FILE_OPEN, "Attachment %s %s", path.c_str(), why.c_str());
        return ERR_DISK_FILE_OPEN;
    }
    struct stat info {};
    if (::fstat(::fileno(file), &info) != 0) {
        std::fclose(file);
        return ERR_DISK_FILE_OPEN;
    }
    if (info.st_size < 0 || static_cast<unsigned long long>(info.st_size) > kMaxStoredBytes) {
        std::fclose(file);
        return ERR_FILE_TOO_LARGE;
    }
    DWORD total = static_cast<DWORD>(info.st_size);
    DWORD id = 0;
    STATUS status = DbAllocObject(db, total, OBJECT_CLASS_FILE, &id);
    if (status != NOERROR) {
        std::fclose(file);
        return status;
    }
    std::vector<BYTE> chunk(std::min(total, kCopyChunk));
    for (DWORD offset = 0; offset < total && status == NOERROR;) {
        DWORD want = std::min(total - offset, kCopyChunk);
        if (std::fread(chunk.data(), 1, want, file) != want) {
            status = ERR_DISK_FILE_IO;   // a read error, or the file shrank meanwhile
            break;
        }
        status = DbWriteObjectBytes(db, id, chunk.data(), offset, want);
        offset += want;
    }
    std::fclose(file);
    if (status != NOERROR) {
        DbFreeObject(db, id);
        return status;
    }
    *objectId = id;
    *size = total;
    *modified = FileTime(info);
    return NOERROR;
}

STATUS WriteObjectToFile(DBHANDLE db, DWORD objectId, const std::string& path) {
    if (path.empty()) return ERR_BAD_ARGUMENT;
    DWORD total = 0;
    STATUS status = DbObjectSize(db, objectId, &total);
    if (status != NOERROR) return status;
    // Written beside the target under a name of its own, then renamed over it.
    static std::atomic<unsigned> counter{0};
    std::string partial = path + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    std::FILE* file = std::fopen(partial.c_str(), "wbx");
    if (file == nullptr) return ERR_DISK_FILE_OPEN;
    for (DWORD offset = 0; offset < total && status == NOERROR;) {
        DWORD want = std::min(total - offset, kCopyChunk);
        DHANDLE block = NULLHANDLE;
        status = DbReadObject(db, objectId, offset, want, &block);
        if (status != NOERROR) break;
        if (std::fwrite(MemLock(block), 1, want, file) != want) status = ERR_DISK_FILE_IO;
        MemUnlock(block);
        MemFree(block);
        offset += want;
    }
    if (std::fclose(file) != 0 && status == NOERROR) status = ERR_DISK_FILE_IO;
    if (status == NOERROR && std::rename(partial.c_str(), path.c_str()) != 0) status = ERR_DISK_FILE_OPEN;
    if (status != NOERROR) std::remove(partial.c_str());
    return status;
}

STATUS RemoveNoteItem(NOTEHANDLE note, BLOCKID item) {
    std::lock_guard<std::recursive_mutex> lock(StorageMutex());
    OpenNote* open = Notes().Find(note);
    if (open == nullptr || item.pool != note) return ERR_INVALID_HANDLE;
    NoteItem* found = open->bySerial.Find(item.block / 2);
    if (found == nullptr) return ERR_INVALID_HANDLE;
    const size_t position = PositionOf(*open, *found);
    open->bySerial.Erase(item.block / 2);
    open->EraseItemAt(position);
    return NOERROR;
}

// ---- Attachments -------------------------------------------------------------------

// The attach flags' high byte is recorded as the descriptor's host type; the
// low byte (a compression request) is not acted on: files are stored as they
// are.
STATUS NoteAttachFile(NOTEHANDLE note, const char* itemName, WORD itemNameLength, const char* path,
                      const char* storedName, WORD flags) {
    if (itemName == nullptr || path == nullptr || *path == '\0') return ERR_BAD_ARGUMENT;
    DBHANDLE db = NULLHANDLE;
    STATUS status = NoteDatabase(note, &db);
    if (status != NOERROR) return status;
    std::string diskPath = DiskPath(path);
    std::string name = storedName != nullptr ? std::string(storedName) : NativeToLmbcs(BaseName(diskPath));
    if (name.empty() || name.size() > 0xFFFF) return ERR_BAD_ARGUMENT;

    FileObjectHost header;
    status = StoreFileAsObject(db, diskPath, &header.RRV, &header.FileSize, &header.FileModified);
    if (status != NOERROR) return status;
    header.FileCreated = header.FileModified;
    header.HostType = static_cast<WORD>(flags & kHostTypeMask);
    if (header.HostType == kHostTypeLocal) header.HostType = kHostTypeStream;
    status = AppendFileItem(note, itemName, itemNameLength, header, name);
    if (status != NOERROR) DbFreeObject(db, header.RRV);
    return status;
}

namespace {

// The database of an open note and the database object its file item names.
STATUS FileItemObject(NOTEHANDLE note, BLOCKID fileItem, DBHANDLE* db, DWORD* objectId) {
    STATUS status = NoteDatabase(note, db);
    if (status != NOERROR) return status;
    FileObjectHost header;
    status = ReadFileItem(note, fileItem, &header, nullptr);
    if (status == NOERROR) *objectId = header.RRV;
    return status;
}

} // namespace

STATUS NoteExtractFile(NOTEHANDLE note, BLOCKID fileItem, const char* path) {
    if (path == nullptr || *path == '\0') return ERR_BAD_ARGUMENT;
    DBHANDLE db = NULLHANDLE;
    DWORD objectId = 0;
    STATUS status = FileItemObject(note, fileItem, &db, &objectId);
    if (status != NOERROR) return status;
    return WriteObjectToFile(db, objectId, DiskPath(path));
}

STATUS NoteReadAttachment(NOTEHANDLE note, BLOCKID fileItem, DHANDLE* data, DWORD* size) {
    if (data == nullptr || size == nullptr) return ERR_BAD_ARGUMENT;
    *data = NULLHANDLE;
    *size = 0;
    DBHANDLE db = NULLHANDLE;
    DWORD objectId = 0;
    STATUS status = FileItemObject(note, fileItem, &db, &objectId);
    if (status != NOERROR) return status;
    status = DbReadObject(db, objectId, 0, 0xFFFFFFFF, data);
    if (status == NOERROR) *size = MemSize(*data);
    return status;
}

STATUS NoteDetachFile(NOTEHANDLE note, BLOCKID fileItem) {
    FileObjectHost header;
    STATUS status = ReadFileItem(note, fileItem, &header, nullptr);
    if (status != NOERROR) return status;
    return RemoveNoteItem(note, fileItem);
}

} // namespace plat
