// The SQLite layer: one database file per database.
//
// A file holds a table of database information (format, replica id, next
// note id), the notes (header fields), their items in order (name, flags,
// data type and the value exactly as stored: the data-type word first) and
// the database objects.
//
// Every write is one transaction: it lands whole or not at all, whatever
// happens to the process. A batch (BeginBatch ... CommitBatch) makes a
// series of writes one transaction of its own; the writes inside it join it
// as they are, and one that fails spoils the batch, which can then only be
// abandoned (its commit rolls it back and fails). The write lock is waited for up to the busy wait
// (notes.ini "DatabaseBusyWait", in seconds); a database held longer gives
// ERR_DB_BUSY.
//
// Database objects are kept only while a stored note names them (a
// TYPE_OBJECT item whose descriptor carries the object id). A new object
// lives in memory, shared by the handles of its file in this process, until
// the update of a note that names it stores it with the note; one that no
// stored note names when the last handle closes is dropped. An object that a
// note update or delete leaves unnamed is freed in the same transaction.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "talix_platform/database.h"
#include "talix_platform/types.h"

struct sqlite3;

namespace plat {

// The largest item value or database object the store keeps, in bytes.
constexpr DWORD kMaxStoredBytes = 0x10000000;
// How long a write waits for another process's write lock, unless notes.ini
// "DatabaseBusyWait" says otherwise.
constexpr int kDefaultBusyWaitSeconds = 30;

// The busy wait in force, in seconds.
int BusyWaitSeconds();

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

// A new database object, held in memory until a stored note names it.
struct PendingObject {
    WORD objClass = 0;
    std::vector<BYTE> bytes;
};
struct PendingObjects;
class StatementCache;

class Store {
public:
    // Creates a new database file (which must not exist) and opens it. The
    // file appears complete or not at all: a process that finds it can open
    // it.
    static STATUS Create(const std::string& path, const DBID& replicaId, std::unique_ptr<Store>* store);
    // Opens an existing file; ERR_NOT_A_DATABASE when it is not one of ours.
    static STATUS Open(const std::string& path, std::unique_ptr<Store>* store);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    const DBID& ReplicaId() const { return replicaId_; }

    // A batch: takes the write lock (waiting up to the busy wait) and holds
    // it until CommitBatch or AbortBatch; nothing written in between is seen
    // by others before the commit, and an abort (or the end of the process)
    // leaves the file as it was.
    STATUS BeginBatch();
    STATUS CommitBatch();
    void AbortBatch();

    STATUS ReadHeader(NOTEID id, NoteHeader* header);
    STATUS FindUnid(const UNID& unid, NOTEID* id);
    STATUS ReadItems(NOTEID id, std::vector<ItemData>* items);
    // Writes the header and all the items of a note in one transaction,
    // replacing what was stored under its note id; a note of id 0 gets the
    // next note id (written into header->id only on success). New objects
    // the items name are stored with them; objects only the old content
    // named are freed. With failAfterItems >= 0 the write fails (status
    // ERR_INJECTED) after that many items and is rolled back.
    STATUS WriteNote(NoteHeader* header, const std::vector<const ItemData*>& items, int failAfterItems);
    // Deletes a note with its items, and the objects no other note names.
    STATUS DeleteNote(NOTEID id);
    // Every stored note (id, class) in note-id order.
    STATUS ListNotes(std::vector<std::pair<NOTEID, WORD>>* notes);

    STATUS AllocObject(DWORD size, WORD objClass, DWORD* objectId);
    STATUS ObjectSize(DWORD objectId, DWORD* size);
    STATUS WriteObject(DWORD objectId, const void* data, DWORD offset, DWORD length);
    STATUS ReadObject(DWORD objectId, void* out, DWORD offset, DWORD length);
    STATUS FreeObject(DWORD objectId);

    // Checks the file: SQLite's integrity check, objects no note names,
    // objects named but missing, notes whose header or items do not read.
    STATUS Check(std::vector<DbProblem>* problems);

private:
    class WriteScope;
    friend class WriteScope;

    Store(sqlite3* db, std::string path, std::unique_ptr<StatementCache> statements);
    // Checks that the file is one of ours and reads its information. A
    // connection kept from an earlier open runs the table checks too, so
    // that a schema changed since is seen.
    STATUS LoadInfo(bool reused);
    STATUS Fail(int rc, const char* what);
    // Makes a new database's write-ahead log (its first write).
    STATUS StartLog();
    // The memory the connection keeps pages in, in KiB.
    void SetCacheSize(int kib);
    // Runs a statement of the cache that returns no rows (one whose text
    // lives as long as the program); an SQLite result code.
    int Run(const char* sql);
    STATUS NextNoteId(NOTEID* id);
    // Objects: the ids the object items of a stored note name; stores the
    // pending objects of a new content; frees those left unnamed.
    STATUS NamedObjects(NOTEID id, std::set<DWORD>* objects);
    STATUS StorePendingObjects(const std::set<DWORD>& named, std::vector<DWORD>* stored);
    STATUS FreeUnnamedObjects(const std::set<DWORD>& candidates);
    // After a commit: the pending objects stored leave memory. After a
    // batch was abandoned: those stored in it are pending again, those
    // allocated in it are dropped.
    void ObjectsStored(const std::vector<DWORD>& stored);
    void ObjectsRolledBack();
    STATUS ReserveObjectId(DWORD* objectId);
    STATUS StoredObjectSize(DWORD objectId, DWORD* size);
    // ERR_OBJECT_RANGE unless offset and length lie within the object;
    // *pending is the object while it is held in memory, else null.
    STATUS LocateBytes(DWORD objectId, DWORD offset, DWORD length, PendingObject** pending);

    sqlite3* db_;
    std::unique_ptr<StatementCache> statements_;
    std::string path_;
    DBID replicaId_;
    bool batchOpen_ = false;
    bool batchSpoiled_ = false;       // a write within the batch failed half done
    bool keepConnection_ = false;     // opened whole: kept for the next open when closed
    bool objectIndexReady_ = false;   // the object index is known to be there
    bool indexBeforeBatch_ = false;
    std::shared_ptr<PendingObjects> pending_;
    // Within a batch: the objects allocated in it (dropped when it is
    // abandoned) and the pending objects stored in it (pending again then).
    std::vector<DWORD> batchAllocated_;
    std::vector<std::pair<DWORD, PendingObject>> batchStored_;
};

// The object a TYPE_OBJECT value (data-type word first) names; false when
// the value is too short to name one.
bool ObjectNamedBy(const BYTE* value, size_t length, DWORD* objectId);

} // namespace plat
