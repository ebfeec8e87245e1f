// The SQLite layer: one database file per database.
//
// A file holds a table of database information (format, replica id, next
// note id), the notes (header fields), their items in order (name, flags,
// data type and the value exactly as stored: the data-type word first) and
// the database objects. Writing a note is one transaction.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "talix_platform/types.h"

struct sqlite3;

namespace plat {

// The largest item value or database object the store keeps, in bytes.
constexpr DWORD kMaxStoredBytes = 0x10000000;

struct ItemData {
    std::string name;          // LMBCS, 1 to 255 bytes
    WORD flags = 0;
    std::vector<BYTE> value;   // data-type word first, so at least 2 bytes
};

struct NoteHeader {
    NOTEID id = 0;             // 0: not stored yet
    ORIGINATORID oid;          // the first 16 bytes are the universal id
    WORD noteClass = NOTE_CLASS_DOCUMENT;
    TIMEDATE modified;
    TIMEDATE created;
    TIMEDATE accessed;
    TIMEDATE added;
    bool encrypted = false;
};

class Store {
public:
    // Creates a new database file (which must not exist) and opens it.
    static STATUS Create(const std::string& path, const DBID& replicaId, std::unique_ptr<Store>* store);
    // Opens an existing file; ERR_NOT_A_DATABASE when it is not one of ours.
    static STATUS Open(const std::string& path, std::unique_ptr<Store>* store);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    const DBID& ReplicaId() const { return replicaId_; }

    STATUS ReadHeader(NOTEID id, NoteHeader* header);
    STATUS FindUnid(const UNID& unid, NOTEID* id);
    STATUS ReadItems(NOTEID id, std::vector<ItemData>* items);
    // Writes the header and all the items of a note in one transaction,
    // replacing what was stored under its note id; a note of id 0 gets the
    // next note id (written into header->id only on success). With
    // failAfterItems >= 0 the write fails (status ERR_INJECTED) after that
    // many items and is rolled back.
    STATUS WriteNote(NoteHeader* header, const std::vector<const ItemData*>& items, int failAfterItems);
    STATUS DeleteNote(NOTEID id);
    // Every stored note (id, class) in note-id order.
    STATUS ListNotes(std::vector<std::pair<NOTEID, WORD>>* notes);

    STATUS AllocObject(DWORD size, WORD objClass, DWORD* objectId);
    STATUS ObjectSize(DWORD objectId, DWORD* size);
    STATUS WriteObject(DWORD objectId, const void* data, DWORD offset, DWORD length);
    STATUS ReadObject(DWORD objectId, void* out, DWORD offset, DWORD length);
    STATUS FreeObject(DWORD objectId);

private:
    Store(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}
    STATUS LoadInfo();
    STATUS Fail(int rc, const char* what);
    STATUS NextNoteId(NOTEID* id);

    sqlite3* db_;
    std::string path_;
    DBID replicaId_;
};

} // namespace plat
