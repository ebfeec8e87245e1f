// The SQLite layer: one database file per database.
//
// A file holds a table of database information (format, replica id, next
// note id), the notes (header fields), their items in order (name, flags,
// data type and the value exactly as stored: the data-type word first) and
// the database objects.
//
// Every write is one transaction: it lands whole or not at all, whatever
// happens to the process. A batch (BeginBatch ... CommitBatch) makes a
// series of writes one transaction of its own; the writes inside it are
// savepoints of it, and a batch begun inside another is a savepoint of the
// outer one. A batch that is only ever kept or abandoned whole (an import)
// has its writes join it as they are instead: one that fails spoils it, and
// its commit then fails (the caller abandons it, as after any failed
// commit). The write lock is waited for up to the busy wait (notes.ini
// "DatabaseBusyWait", in seconds); a database held longer gives
// ERR_DB_BUSY.
//
// A batch may also take the write lock only with its first write: until
// then it reads the database as it was at its first read, and others write
// freely. When another writer stored anything in the meantime, that first
// write cannot take the lock: it fails with ERR_DB_CHANGED, as do every
// later write and the commit, and the caller abandons the batch and starts
// its change again (nothing of it landed).
//
// A file this process can read but not write opens read-only: its reads
// work, every write fails with ERR_DB_READ_ONLY, and it leaves no log files
// of its own beside the file (it reads through those a writer keeps there,
// or the file alone when there are none).
//
// The handles of one file in a process share one store (one connection), so
// that a batch or write lock taken through one handle covers the writes made
// through the others instead of waiting for itself.
//
// A note update writes only what changed since the note was read: the
// items of the names changed, added or removed, and the header. Every
// update of a stored note raises its sequence number, so that an update
// knows whether another writer stored the note since it was read.
//
// Database objects are kept only while a stored note names them (a
// TYPE_OBJECT item whose descriptor carries the object id). A new object
// lives in memory, shared by the handles of its file in this process, until
// the update of a note that names it stores it with the note; one that no
// stored note names when the last handle closes is dropped. An object that a
// note update or delete leaves unnamed is freed in the same transaction.
#pragma once

#include <cstdint>
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

// The row of a stored item (0: not stored).
using ItemRow = std::int64_t;

// An item as read: its stored row with it.
struct StoredItem {
    ItemRow row = 0;
    ItemData data;
};

// An item of a note being written: unchanged since it was read (row is the
// stored row that holds it) or new (row 0: data is written).
struct ItemWrite {
    ItemRow row = 0;
    const ItemData* data = nullptr;
};

// An item name as names are compared (ASCII letters folded to lower case).
std::string FoldedItemName(const std::string& name);

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

// What identifies the stored state of a note: changed by every update.
struct NoteRevision {
    ORIGINATORID oid;
    TIMEDATE modified;
    bool operator==(const NoteRevision& other) const;
};

// A note update: the note's items in order, and what changed since the note
// was read (revision: as it was then).
struct NoteWrite {
    std::vector<ItemWrite> items;
    // Folded names of the items added, changed or removed since the read:
    // the stored items of these names give way to the note's.
    std::set<std::string> changedNames;
    NoteRevision read;
    // Stored since the read by another writer: the update fails with
    // ERR_NOTE_CONFLICT unless forced; a forced one replaces only the items
    // of the changed names and keeps the other writer's other items.
    bool force = false;
    // Every stored item gives way (the note is written whole).
    bool replaceAll = false;
    // Raise the sequence number past the stored one, with this time; unset
    // (zero): the originator id is written as the header gives it.
    TIMEDATE sequenceTime;
};

// A new database object, held in memory until a stored note names it.
struct PendingObject {
    WORD objClass = 0;
    std::vector<BYTE> bytes;
};
struct PendingObjects;

// How the writes within a batch join it: each as a savepoint of its own, so
// that one that fails takes back only itself; or as they are (for a batch
// abandoned whole when any write fails), sparing a savepoint per write.
enum class BatchWrites { Savepoints, Joined };
// When a batch takes the write lock: as it begins (waiting up to the busy
// wait), or with its first write (see above).
enum class BatchLock { Now, AtFirstWrite };

class StatementCache;

// True for an id a stored note can have: not 0, within 32 bits, and
// without the top bit, which marks the category entries of a view's
// collection (a note under such an id would read as a category there, and
// a category's id would open it).
bool NoteIdStorable(long long id);

class Store {
public:
    // Creates a new database file (which must not exist) and opens it. The
    // file appears complete or not at all: a process that finds it can open
    // it.
    static STATUS Create(const std::string& path, const DBID& replicaId, std::shared_ptr<Store>* store);
    // Creates a new database for path (which must not exist) under a name of
    // its own beside it (*aside), the one a creation of path builds in, and
    // opens it: it takes path's name only with Publish. A process that ends
    // before then leaves it to the next creation of path to remove.
    static STATUS CreateAside(const std::string& path, const DBID& replicaId, std::string* aside,
                              std::shared_ptr<Store>* store);
    // Gives a database CreateAside made, which no store of this process has
    // open any more, the name path: ERR_DB_EXISTS when the name was taken
    // meanwhile. The file goes from its own name either way.
    static STATUS Publish(const std::string& aside, const std::string& path);
    // Removes a database CreateAside made, which no store of this process
    // has open any more, with its log files.
    static void DiscardAside(const std::string& aside);
    // Opens an existing file (the store of this process that has it open
    // already, when there is one); ERR_NOT_A_DATABASE when it is not one of
    // ours.
    static STATUS Open(const std::string& path, std::shared_ptr<Store>* store);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    const DBID& ReplicaId() const { return replicaId_; }
    // The full path the file was opened by.
    const std::string& Path() const { return path_; }
    // The files SQLite keeps beside the file at path while it is open (its
    // log, the log's index, a rollback journal): by the name given and, where
    // links lead elsewhere, by the name they lead to, which is where SQLite
    // makes them.
    static std::vector<std::string> LogFilesOf(const std::string& path);
    bool ReadOnly() const { return readOnly_; }
    bool InBatch() const { return batchDepth_ > 0; }

    // A batch: takes the write lock (waiting up to the busy wait; with
    // BatchLock::AtFirstWrite, when it first writes) and holds it until
    // CommitBatch or AbortBatch; nothing written in between is seen by
    // others before the commit, and an abort (or the end of the process)
    // leaves the file as it was. A batch begun inside another is part of
    // it and takes the lock as the outer one does.
    STATUS BeginBatch(BatchWrites writes = BatchWrites::Savepoints, BatchLock lock = BatchLock::Now);
    STATUS CommitBatch();
    // Abandons the innermost batch.
    void AbortBatch();

    // A note stored under an id no note can have (see NoteIdStorable) is
    // not found by ReadHeader, FindUnid and DeleteNote, nor listed by
    // ListNotes; only Check names it.
    STATUS ReadHeader(NOTEID id, NoteHeader* header);
    STATUS FindUnid(const UNID& unid, NOTEID* id);
    STATUS ReadItems(NOTEID id, std::vector<StoredItem>* items);
    // The header and the items of a note as one state of the database: read
    // in one read transaction (or in the open batch's), so that a writer in
    // another process cannot land between the two.
    STATUS ReadNote(NOTEID id, NoteHeader* header, std::vector<StoredItem>* items);
    // Writes a note in one transaction: a note of id 0 gets the next note id
    // and all its items; a stored one gets its header and the items that
    // changed (see NoteWrite), in the note's order. header->id and, when it
    // is raised, the sequence number of header->oid are written back only
    // on success, with the row of every item of the write in *rows. New
    // objects the items name are stored with them; objects only the items
    // that gave way named are freed. With failAfterItems >= 0 the write fails
    // (status ERR_INJECTED) after that many items and is rolled back.
    STATUS WriteNote(NoteHeader* header, const NoteWrite& write, int failAfterItems, std::vector<ItemRow>* rows);
    // Deletes a note with its items, and the objects no other note names.
    STATUS DeleteNote(NOTEID id);
    // Every stored note (id, class) in note-id order, of the notes whose
    // ids a note can have.
    STATUS ListNotes(std::vector<std::pair<NOTEID, WORD>>* notes);

    STATUS AllocObject(DWORD size, WORD objClass, DWORD* objectId);
    // A new object holding bytes, which the caller hands over.
    STATUS AllocObject(std::vector<BYTE> bytes, WORD objClass, DWORD* objectId);
    STATUS ObjectSize(DWORD objectId, DWORD* size);
    STATUS WriteObject(DWORD objectId, const void* data, DWORD offset, DWORD length);
    STATUS ReadObject(DWORD objectId, void* out, DWORD offset, DWORD length);
    STATUS FreeObject(DWORD objectId);
    // The open notes of the file that name an object, counted: an open note
    // whose item names it came (each note once), and one that did went.
    // When the last such note goes, an object still held in memory
    // (allocated and never stored) goes with it: nothing can store it any
    // more. Stored objects stay.
    void OpenNoteNamesObject(DWORD objectId);
    void OpenNoteLetGoOfObject(DWORD objectId);

    // Checks the file: SQLite's integrity check, objects no note names,
    // objects named but missing, notes whose header or items do not read.
    STATUS Check(std::vector<DbProblem>* problems);

private:
    class WriteScope;
    friend class WriteScope;

    Store(sqlite3* db, std::string path, std::unique_ptr<StatementCache> statements);
    // Opens a connection of its own (a kept one when there is one).
    static STATUS OpenConnection(const std::string& path, std::shared_ptr<Store>* store);
    // Opens a connection that only reads, for a file this process cannot
    // write.
    static STATUS OpenReadOnly(const std::string& path, std::shared_ptr<Store>* store);
    // Checks that the file is one of ours and reads its information. A
    // connection kept from an earlier open runs the table checks too, so
    // that a schema changed since is seen.
    STATUS LoadInfo(bool reused);
    STATUS Fail(int rc, const char* what);
    // Makes a new database's write-ahead log (its first write).
    STATUS StartLog();
    // The memory the connection keeps pages in, in KiB.
    void SetCacheSize(int kib);
    // Whether a write failed because the open batch, whose write lock was
    // to be taken with its first write, read the database before another
    // writer changed it (rc is the write's SQLite result).
    bool ChangedSinceRead(int rc) const;
    // Raises the objects' id sequence to at least atLeast, then by more;
    // an SQLite result code. Within a write scope.
    int RaiseObjectSequence(std::int64_t atLeast, int more);
    // Whether the innermost open batch has its writes join it as they are.
    bool JoinedBatch() const { return batchDepth_ > 0 && batchMarks_.back().joined; }
    // Whether any open batch has its writes join it (it keeps the large
    // cache of pages).
    bool InJoinedBatch() const;
    // Drops the innermost batch's mark as it ends, and the large cache of
    // pages with the last joined batch.
    void PopBatchMark();
    // Runs a statement of the cache that returns no rows (one whose text
    // lives as long as the program); an SQLite result code.
    int Run(const char* sql);
    STATUS NextNoteId(NOTEID* id);
    // The parts of WriteNote: a new note's items; a stored note's changes.
    STATUS InsertItem(NOTEID id, size_t position, const ItemData& item, ItemRow* row);
    STATUS WriteChanges(NOTEID id, const NoteWrite& write, int failAfterItems, std::vector<ItemRow>* rows,
                        std::set<DWORD>* named, std::set<DWORD>* released);
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
    int batchDepth_ = 0;              // batches open, the outer one first
    bool keepConnection_ = false;     // opened whole: kept for the next open when closed
    bool objectIndexReady_ = false;   // the object index is known to be there
    bool indexBeforeBatch_ = false;
    bool readOnly_ = false;           // the file opened read-only
    bool lockAtFirstWrite_ = false;   // the open batch takes the write lock with its first write
    bool changedSinceRead_ = false;   // ... and found the database changed by another writer
    // The last object id the open batch gave out before it took the write
    // lock (0: none): the sequence is raised past it when the batch writes.
    std::int64_t unwrittenObjectId_ = 0;
    std::shared_ptr<PendingObjects> pending_;
    // Within a batch: the objects allocated in it (dropped when it is
    // abandoned) and the pending objects stored in it (pending again then);
    // per open batch, how many of each there were when it began.
    std::vector<DWORD> batchAllocated_;
    std::vector<std::pair<DWORD, PendingObject>> batchStored_;
    struct BatchMark {
        size_t allocated = 0;   // batchAllocated_.size() when the batch began
        size_t stored = 0;      // batchStored_.size() when the batch began
        bool joined = false;    // its writes join it as they are
        bool spoiled = false;   // one of them failed half done
    };
    std::vector<BatchMark> batchMarks_;
    // Object ids reserved outside a batch and not given out yet (from
    // reservedNext_ up to reservedEnd_), and how many the next reservation
    // takes (ReserveObjectId).
    static constexpr long long kLargestIdReserve = 256;
    long long reservedNext_ = 0;
    long long reservedEnd_ = 0;
    long long reserveSize_ = 1;
};

// The object a TYPE_OBJECT value (data-type word first) names; false when
// the value is too short to name one.
bool ObjectNamedBy(const BYTE* value, size_t length, DWORD* objectId);

} // namespace plat
