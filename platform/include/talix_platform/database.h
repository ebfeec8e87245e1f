// Databases, database objects, notes and items.
//
// A database is one SQLite file. A note opened is held in memory: item calls
// work on that copy, and NoteUpdate writes back, in one transaction, the
// items that changed since the note was read. Paths are relative to the data directory (notes.ini
// "Directory", else the current directory) unless absolute; "\" and "/" are
// both accepted. An empty server, or the local one, means this machine.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "talix_platform/types.h"

namespace plat {

constexpr WORD MAXPATH = 256;

// A change of a database this process can read but not write (any write,
// the write lock, a batch).
constexpr STATUS ERR_DB_READ_ONLY = 15018;
// A write of a change that took the write lock with its first write (see
// DbWriteLockDeferred), after another process wrote to the database since
// the change read it: nothing of the change lands; it is to start again.
constexpr STATUS ERR_DB_CHANGED = 15019;
// A database is to be made under a name that another file has.
constexpr STATUS ERR_DB_EXISTS = 15012;

// ---- Paths and databases --------------------------------------------------

// Builds "server!!file" (or the file alone for an empty or local server) into
// out, which holds at least MAXPATH + 1 bytes.
TPLAT_API STATUS PathNetBuild(const char* server, const char* file, char* out);
// Splits "server!!file" or a plain file path. server and file each receive at
// most MAXPATH characters plus the terminator (either may be null).
TPLAT_API STATUS PathNetSplit(const char* path, char* server, char* file);

// Every write to a database (a note update or delete, an object written or
// freed) is one transaction: it lands whole or not at all, whatever happens
// to the process. A write waits for another process's write to end up to the
// busy wait: notes.ini "DatabaseBusyWait" in seconds, 30 when unset; a
// database held longer gives ERR_DB_BUSY and nothing is written.

// The database's write lock, for a change made of a read and the update that
// follows it: taken (waiting up to the busy wait, else ERR_DB_BUSY) before
// the note is read and held until it is saved, so that no other writer
// stores the note in between. Every handle of the file in this process
// shares it: what is written through any of them while it is held is part
// of it and lands when it is released (DbWriteUnlock's status says whether
// it did), or when the handle that took it is closed. Taken again while
// held, it nests.
TPLAT_API STATUS DbWriteLock(DBHANDLE db);
TPLAT_API STATUS DbWriteUnlock(DBHANDLE db);
// The write lock for a change that reads and works out much before it
// writes (parses its input, renders an item): taken with the change's
// first write instead of at once, so that no other writer waits while it
// reads and works. Until then, the process reads the database as it was at
// its first read after this call. When another process wrote to the
// database in the meantime, that first write cannot take the lock and fails
// with ERR_DB_CHANGED, as do every later write and DbWriteUnlock: nothing
// of the change lands, and the caller starts the change again (with a new
// read, since what it read may be out of date). Taken while a write lock is
// held, it nests in that one, which decides when the lock is taken.
TPLAT_API STATUS DbWriteLockDeferred(DBHANDLE db);
// Whether this process holds a write lock (taken or deferred) of the
// database, or a batch of its writes is open.
TPLAT_API bool DbWriteLockHeld(DBHANDLE db);
// Whether the database opened read-only: this process can read the file
// but not write it (every change then fails with ERR_DB_READ_ONLY).
TPLAT_API bool DbIsReadOnly(DBHANDLE db);

// Opens a database by path (or "server!!path"). A missing file, a file that
// is not a database or another server fail with a status of their own. A
// file this process can read but not write opens read-only (DbIsReadOnly).
TPLAT_API STATUS DbOpen(const char* path, DBHANDLE* db);
// Creates a new, empty database file and opens it. Fails when the file
// exists. The file appears whole: another process finds it complete or not
// at all.
TPLAT_API STATUS DbCreate(const char* path, DBHANDLE* db);
// Creates a new, empty database for path as DbCreate does, but under a name
// of its own beside it: path names nothing until DbPublish gives the
// database its name, so that a process that ends before then leaves nothing
// under path (what it leaves beside it goes with the next creation of path).
// *aside (when not null) gets the full path of the file it is in; SQLite's
// log files beside it end in "-wal", "-shm" and "-journal".
TPLAT_API STATUS DbCreateAside(const char* path, DBHANDLE* db, std::string* aside);
// Closes a database DbCreateAside made and gives it the name it was made
// for: ERR_DB_EXISTS, the database removed, when that name was taken
// meanwhile. ERR_BAD_ARGUMENT for a handle DbCreateAside did not give.
TPLAT_API STATUS DbPublish(DBHANDLE db);
// Closes a database DbCreateAside made and removes it.
TPLAT_API STATUS DbDiscard(DBHANDLE db);
TPLAT_API STATUS DbClose(DBHANDLE db);
// Deletes a database file, which every handle of this process must have
// closed: ERR_FILE_NOT_FOUND when there is none, ERR_NOT_A_DATABASE for a
// file that is not a database.
TPLAT_API STATUS DbDelete(const char* path);
// The path the database was opened with, relative to the data directory when
// it lies below it ("" when the handle is invalid); limit counts the
// terminator.
TPLAT_API STATUS DbPath(DBHANDLE db, char* out, WORD limit);
// The files of a database this process has open: the file, by the full
// path it was opened by (links in it not followed), and the names of the log
// files kept beside it while it is open, which may not exist. A file written
// over any of them would destroy the database or what it logged.
struct DatabaseFiles {
    std::string database;
    std::vector<std::string> logs;
};
// Each database this process has open, once.
TPLAT_API std::vector<DatabaseFiles> OpenDatabaseFiles();
// The 8-byte database identifier (replica id).
TPLAT_API STATUS DbReplicaId(DBHANDLE db, DBID* id);
// The data directory, without a trailing "/"; returns its length.
TPLAT_API WORD DataDirectory(char* out, WORD limit);

// One finding of DbCheck, about a note (note != 0), an object (object != 0)
// or the file itself.
struct DbProblem {
    NOTEID note = 0;
    DWORD object = 0;
    std::string what;
};
// Checks a database: the file's integrity, objects that no note names,
// objects named but missing, notes whose header or items do not read back.
// An empty list: nothing found.
TPLAT_API STATUS DbCheck(DBHANDLE db, std::vector<DbProblem>* problems);

// ---- Database objects (attachment contents) -------------------------------

// A database object is kept while a stored note names it (an item of type
// TYPE_OBJECT whose descriptor carries its id). A new object is stored with
// the first update of a note that names it; one that no stored note names
// is gone when the database is closed. An object a note update or delete
// leaves unnamed is freed with it.
constexpr WORD OBJECT_CLASS_FILE = 1;

TPLAT_API STATUS DbAllocObject(DBHANDLE db, DWORD size, WORD objClass, DWORD* objectId);
// Allocates an object holding bytes the caller hands over, without copying
// them (the DXL import's attachments, the files of a mail message).
TPLAT_API STATUS DbAllocObjectHolding(DBHANDLE db, std::vector<BYTE> bytes, WORD objClass, DWORD* objectId);
// Writes length bytes of a memory block's contents at offset into the object.
TPLAT_API STATUS DbWriteObject(DBHANDLE db, DWORD objectId, DHANDLE block, DWORD offset, DWORD length);
// Writes bytes from memory into the object (a convenience the importers use).
TPLAT_API STATUS DbWriteObjectBytes(DBHANDLE db, DWORD objectId, const void* data, DWORD offset, DWORD length);
// Reads length bytes from offset (length 0xFFFFFFFF: to the end) into a new
// memory block, which the caller frees.
TPLAT_API STATUS DbReadObject(DBHANDLE db, DWORD objectId, DWORD offset, DWORD length, DHANDLE* block);
TPLAT_API STATUS DbObjectSize(DBHANDLE db, DWORD objectId, DWORD* size);
TPLAT_API STATUS DbFreeObject(DBHANDLE db, DWORD objectId);

// ---- Notes ----------------------------------------------------------------

constexpr WORD OPEN_NOTE_DEFAULT = 0;
constexpr WORD OPEN_NOTE_SHARE = 0x0100;
constexpr WORD UPDATE_FORCE = 0x0001;
constexpr WORD DELETE_NOTE_DEFAULT = 0x0200;

// Header fields of an open note.
enum NoteField : WORD {
    NOTE_FIELD_DB = 0,        // DBHANDLE
    NOTE_FIELD_ID = 1,        // NOTEID (0 until a new note is updated)
    NOTE_FIELD_OID = 2,       // ORIGINATORID; its first 16 bytes are the UNID
    NOTE_FIELD_CLASS = 3,     // WORD
    NOTE_FIELD_MODIFIED = 4,  // TIMEDATE of the last update
    NOTE_FIELD_CREATED = 5,   // TIMEDATE the note was first stored
    NOTE_FIELD_ACCESSED = 6,  // TIMEDATE
    NOTE_FIELD_ADDED = 7,     // TIMEDATE added to this database
};

// Creates a note in memory (class document, a new originator id); it is
// stored by NoteUpdate.
TPLAT_API STATUS NoteCreate(DBHANDLE db, NOTEHANDLE* note);
// NOTEID_DEFAULT_VIEW opens the database's default view: the view design
// note stored with class NOTE_CLASS_VIEW | NOTE_CLASS_DEFAULT (not found when
// there is none).
TPLAT_API STATUS NoteOpen(DBHANDLE db, NOTEID id, WORD flags, NOTEHANDLE* note);
TPLAT_API STATUS NoteOpenByUNID(DBHANDLE db, const UNID* unid, WORD flags, NOTEHANDLE* note);
// Stores the note in one transaction. A new note gets its note id here; a
// note whose note id was set to 0 is stored as a new note. A stored note
// gets its header and the items that changed since it was read (added,
// changed or removed, by name); the other stored items stay as they are.
// When another writer stored the note since it was read, the update fails
// with ERR_NOTE_CONFLICT, unless UPDATE_FORCE is given: a forced update
// replaces only the items of the names it changed and keeps the other
// writer's. Every update raises the note's sequence number (part of the
// originator id) unless the caller set the originator id.
TPLAT_API STATUS NoteUpdate(NOTEHANDLE note, WORD flags);
TPLAT_API STATUS NoteClose(NOTEHANDLE note);
TPLAT_API STATUS NoteDelete(DBHANDLE db, NOTEID id, WORD flags);
// Reads or writes a header field; out/in point at the field's type.
TPLAT_API STATUS NoteGetInfo(NOTEHANDLE note, WORD field, void* out);
TPLAT_API STATUS NoteSetInfo(NOTEHANDLE note, WORD field, const void* in);
// Copies an open note, with all its items, into a new open note of the same
// database (same header fields).
TPLAT_API STATUS NoteCopy(NOTEHANDLE note, NOTEHANDLE* copy);
// A new originator id (new universal id) for the database.
TPLAT_API STATUS DbGenerateOID(DBHANDLE db, ORIGINATORID* oid);
// Information about a stored note without opening it.
TPLAT_API STATUS DbNoteInfo(DBHANDLE db, NOTEID id, ORIGINATORID* oid, TIMEDATE* modified, WORD* noteClass);
TPLAT_API STATUS DbNoteInfoByUNID(DBHANDLE db, const UNID* unid, NOTEID* id, ORIGINATORID* oid,
                                  TIMEDATE* modified, WORD* noteClass);
// Calls back once per stored note in note-id order; a non-zero result stops
// the walk and is returned.
TPLAT_API STATUS DbScanNotes(DBHANDLE db, const std::function<STATUS(NOTEID, WORD noteClass)>& callback);

// The encrypted mark of a note: selector 0 asks; NoteDecrypt clears the mark
// and fills key (may be null) with an opaque 8-byte key.
TPLAT_API bool NoteIsEncrypted(NOTEHANDLE note, WORD selector);
TPLAT_API STATUS NoteDecrypt(NOTEHANDLE note, WORD selector, void* key);
TPLAT_API STATUS NoteSetEncrypted(NOTEHANDLE note, bool encrypted);
// The call made before a design note is updated (recorded, no effect).
TPLAT_API STATUS NotePrepareDesignUpdate(NOTEHANDLE note);
// The profile-note call by name (recorded, no effect).
TPLAT_API STATUS NoteProfileCall(NOTEHANDLE note, const char* name, WORD length);

// ---- Items ----------------------------------------------------------------

// Finds the first item of a name (name compared ignoring case). Out pointers
// may be null. The value block id names the value starting with its
// data-type word; valueLength counts that word. Returns ERR_ITEM_NOT_FOUND
// when there is none.
TPLAT_API STATUS ItemInfo(NOTEHANDLE note, const char* name, WORD nameLength, BLOCKID* item,
                          WORD* dataType, BLOCKID* value, DWORD* valueLength);
// The next item of the same name after item; ERR_ITEM_NOT_FOUND at the end.
TPLAT_API STATUS ItemInfoNext(NOTEHANDLE note, BLOCKID after, const char* name, WORD nameLength,
                              BLOCKID* item, WORD* dataType, BLOCKID* value, DWORD* valueLength);
TPLAT_API bool ItemIsPresent(NOTEHANDLE note, const char* name, WORD nameLength);
// The name (terminated, at most limit bytes with the terminator), flags and
// value of an item by its block id. Out pointers may be null.
TPLAT_API STATUS ItemQuery(BLOCKID item, char* name, WORD limit, WORD* flags, WORD* dataType,
                           BLOCKID* value, DWORD* valueLength);
// Calls back once per item of an open note in stored order; a non-zero result
// stops the walk and is returned.
TPLAT_API STATUS ItemScan(NOTEHANDLE note, const std::function<STATUS(BLOCKID item)>& callback);

// Appends an item: value points at the value without its data-type word.
TPLAT_API STATUS ItemAppend(NOTEHANDLE note, WORD flags, const char* name, WORD nameLength, WORD dataType,
                            const void* value, DWORD valueLength);
// Appends an item whose value (data-type word first) is the first
// valueLength bytes of a memory block. The bytes are copied; the caller
// keeps and frees the block.
TPLAT_API STATUS ItemAppendByBlock(NOTEHANDLE note, WORD flags, const char* name, WORD nameLength,
                                   DHANDLE valueBlock, DWORD valueLength);
// Appends an item whose value (as stored: the data-type word first) the
// caller hands over, without copying it.
TPLAT_API STATUS ItemAppendValue(NOTEHANDLE note, WORD flags, std::string name, std::vector<BYTE> value);
// Deletes every item of a name; ERR_ITEM_NOT_FOUND when there is none.
TPLAT_API STATUS ItemDelete(NOTEHANDLE note, const char* name, WORD nameLength);
// An item taken out of its note: its flags and its value (data-type word
// first).
struct TakenItem {
    WORD flags = 0;
    std::vector<BYTE> value;
};
// Deletes every item of a name as ItemDelete does, handing their flags and
// values over in stored order after what taken holds: the values move out
// of the note without a copy (a value a BlockKeep handle still shows is
// copied). ERR_ITEM_NOT_FOUND when there is none; when memory runs out,
// ERR_NO_MEMORY with the note and taken as they were.
TPLAT_API STATUS ItemTake(NOTEHANDLE note, const char* name, WORD nameLength, std::vector<TakenItem>* taken);
// Copies an item (by its block id, possibly of another note) into a note.
TPLAT_API STATUS ItemCopy(NOTEHANDLE note, BLOCKID item);

// Typed items: text in the platform's character set (LMBCS).
TPLAT_API STATUS ItemSetText(NOTEHANDLE note, const char* name, const char* text, WORD length);
TPLAT_API STATUS ItemSetNumber(NOTEHANDLE note, const char* name, const NUMBER* number);
TPLAT_API STATUS ItemSetTime(NOTEHANDLE note, const char* name, const TIMEDATE* time);
// Text of a text item (the first entry of a text list), terminated and cut to
// limit bytes with the terminator; returns the length, 0 when missing.
TPLAT_API WORD ItemGetText(NOTEHANDLE note, const char* name, char* buf, WORD limit);
TPLAT_API bool ItemGetNumber(NOTEHANDLE note, const char* name, NUMBER* number);
TPLAT_API bool ItemGetTime(NOTEHANDLE note, const char* name, TIMEDATE* time);
// Appends an entry to a text-list item (created when missing; a text item
// becomes a list). allowDuplicate 0 skips an entry already present.
TPLAT_API STATUS ItemAppendTextList(NOTEHANDLE note, const char* name, const char* text, WORD length,
                                    bool allowDuplicate);
// Number of entries of a text or text-list item, and entry i of it.
TPLAT_API WORD ItemTextListCount(NOTEHANDLE note, const char* name);
TPLAT_API bool ItemTextListEntry(NOTEHANDLE note, const char* name, WORD index, char* buf, WORD limit,
                                 WORD* length);
// The value of an item as text, list entries joined by separator; numbers as
// "%g", times through TimeToText; an RFC 822 text item as its native value. Terminated, cut to limit bytes with the
// terminator; returns the length (0 when missing).
TPLAT_API WORD ItemConvertToText(NOTEHANDLE note, const char* name, char* buf, WORD limit, char separator);

} // namespace plat
