// Shared by the attachment and OLE-object calls: the file descriptor of a
// "$FILE" value, moving bytes between files on disk and database objects, and
// removing an item whose database object goes with it. DiskPath serves every
// call that takes a path on disk.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "talix_platform/types.h"

namespace plat {

constexpr WORD kFileObjectType = 58;          // structure type code of FILEOBJECT
constexpr DWORD kFileObjectStored = 36;       // its stored length
constexpr WORD kItemFlagsObjectFile = 0x0007; // sign, seal, summary: a "$FILE" naming a database object

// FILEOBJECT in host form (natural alignment), as StructRead and StructWrite
// take it.
struct FileObjectHost {
    WORD ObjectType = 0;   // header: OBJECT_FILE = 0
    DWORD RRV = 0;         // header: id of the database object holding the bytes
    WORD FileNameLength = 0;
    WORD HostType = 0;
    WORD CompressionType = 0;
    WORD FileAttributes = 0;
    WORD Flags = 0;
    DWORD FileSize = 0;
    TIMEDATE FileCreated;
    TIMEDATE FileModified;
};
static_assert(sizeof(FileObjectHost) == 40);
static_assert(offsetof(FileObjectHost, RRV) == 4 && offsetof(FileObjectHost, FileNameLength) == 8);
static_assert(offsetof(FileObjectHost, FileSize) == 20 && offsetof(FileObjectHost, FileModified) == 32);

// A path as given ("\" or "/" separators) in this system's form.
std::string DiskPath(const char* path);

// Copies a file on disk into a new database object of the database. On
// success *objectId names it, *size is its length and *modified the file's
// last change; on failure nothing is left in the database.
STATUS StoreFileAsObject(DBHANDLE db, const std::string& path, DWORD* objectId, DWORD* size, TIMEDATE* modified);

// Writes the bytes of a database object to a file on disk, replacing the file
// only once every byte is written: a failure leaves no partial file.
STATUS WriteObjectToFile(DBHANDLE db, DWORD objectId, const std::string& path);

// The database of an open note.
STATUS NoteDatabase(NOTEHANDLE note, DBHANDLE* db);

// Two stored names are the same: equal length, equal ignoring ASCII case.
bool SameFileName(std::string_view a, std::string_view b);

// The descriptor of a file-object item of an open note (by its item or value
// block id); ERR_FILE_OBJECT when the item is not one, or is damaged. name
// (may be null) receives the stored name.
STATUS ReadFileItem(NOTEHANDLE note, BLOCKID fileItem, FileObjectHost* header, std::string* name);

// The first "$FILE" item of an open note whose stored name is name;
// ERR_ITEM_NOT_FOUND when there is none.
STATUS FindFileItem(NOTEHANDLE note, std::string_view name, BLOCKID* item, FileObjectHost* header);

// Appends a file-object item: the descriptor (its FileNameLength set here)
// and the stored name.
STATUS AppendFileItem(NOTEHANDLE note, const char* itemName, WORD itemNameLength, FileObjectHost header,
                      std::string_view name);

// Removes one item of an open note by its block id (item or value block id).
// A database object it names is freed once the note is stored without it.
STATUS RemoveNoteItem(NOTEHANDLE note, BLOCKID item);

} // namespace plat
