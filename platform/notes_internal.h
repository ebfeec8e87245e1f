// Open databases and open notes, shared by the database, note and item calls.
//
// One lock guards them all; it is recursive because the walks (ItemScan,
// DbScanNotes) call back into the platform while holding it.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "handles.h"
#include "item_pool.h"
#include "serial_index.h"
#include "store.h"

namespace plat {

struct OpenDatabase {
    std::shared_ptr<Store> store;   // shared by the handles of the file
    std::string shownPath;   // relative to the data directory when it lies below it
    int writeLocks = 0;      // DbWriteLock levels this handle holds
    std::string publishAs;   // DbCreateAside: the full path the file is made for
};

// The value bytes of an item that memory handles keep (BlockKeep): the
// item hands its bytes over when it goes while a handle still holds them.
struct KeptValue {
    std::vector<BYTE> bytes;
};

// An item of an open note. Its serial names it in block ids and is never
// reused within the note; its value bytes stay where they are until the item
// is deleted or changed, or the note closed, or, when kept, until the last
// handle that keeps them is freed.
struct NoteItem {
    ItemData data;
    DWORD serial = 0;
    std::shared_ptr<KeptValue> kept;
    // The stored row that holds the item as it was read or last written (0:
    // not stored; -1: unchanged, but another writer removed it), and the
    // hash of its flags and value then, which tells a change made in place.
    ItemRow row = 0;
    size_t hash = 0;
    // Where the item stood in its note's list when last looked for there: a
    // hint that the walks check before they trust it, so that stepping from
    // one item to the next costs no search of the list.
    size_t position = 0;
    ItemPool* pool = nullptr;   // the pool of the note that made it

    NoteItem() = default;
    NoteItem(const NoteItem&) = delete;
    NoteItem& operator=(const NoteItem&) = delete;
    // Moving the vector keeps its buffer, so kept addresses stay valid.
    ~NoteItem() {
        if (kept != nullptr && kept.use_count() > 1) kept->bytes = std::move(data.value);
    }
};

// What the last look-up of a name found: the index of its first item, or,
// not found, the number of items it looked at.
struct NamePlace {
    size_t index = 0;
    bool found = false;
};

struct OpenNote {
    DBHANDLE db = NULLHANDLE;
    NoteHeader header;
    bool modifiedSet = false;   // NOTE_FIELD_MODIFIED was set since the last update
    bool oidSet = false;        // NOTE_FIELD_OID was set since the last update
    // The note as it was read or last written: its id (0: never stored), its
    // revision, and the stored rows of its items with their names.
    NOTEID readId = 0;
    NoteRevision read;
    std::unordered_map<ItemRow, std::string> readRows;
    ItemPool pool;                   // before the items: it outlives them
    std::vector<ItemHandle> items;   // in stored order
    SerialIndex bySerial;
    DWORD nextSerial = 1;
    // The index of the item a look-up or walk of the items handed out last:
    // a hint, checked against the serial asked for before it is trusted, so
    // that the next step of a walk, and the value of the item just found,
    // are reached without a look-up in bySerial.
    size_t recent = 0;
    // Where the first item of a name (in small letters) stood when it was
    // last looked for, or, when no item had the name, how many items were
    // looked at: items are appended behind the others or replaced in place,
    // and a removal moves the places past the items it took; a place found
    // is checked against the item's name before it is trusted. A look-up of
    // a name then costs no walk past the items before it.
    std::unordered_map<std::string, NamePlace> firstOfName;
    // How many items were given a kept value (BlockKeep) while open.
    size_t keptValues = 0;
    // The objects that items made while the note was open named, each
    // counted once with its file's store: those never stored go when the
    // last open note that named them closes.
    std::unordered_set<DWORD> namedObjects;
    // Removes an item from the list (the hints of first places move with it).
    void EraseItemAt(size_t index);
};

// The hash NoteItem keeps of an item's flags and value.
size_t ItemHash(const ItemData& data);

// The index of an item in its open note's list (the item must be in it),
// from its position hint when that still holds; found once for every item
// of the list when it does not.
size_t PositionOf(OpenNote& note, NoteItem& item);

std::recursive_mutex& StorageMutex();
HandleTable<OpenDatabase>& Databases();
HandleTable<OpenNote>& Notes();

// A random 32-bit word, for replica and universal ids.
DWORD RandomDword();
// A new originator id: a random file part, the current time as the note part.
ORIGINATORID NewOriginatorId();

// A batch of writes to a database as one transaction (the DXL import): it
// takes the write lock at once (waiting up to the busy wait) and commits
// whole, or, abandoned, leaves the database as it was. Its writes join it as
// they are: after one fails, the batch can only be abandoned (its commit
// fails and leaves it to DbAbortBatch).
STATUS DbBeginBatch(DBHANDLE db);
STATUS DbCommitBatch(DBHANDLE db);
void DbAbortBatch(DBHANDLE db);

// Testing controls (testing.cpp).
int TakeInjectedUpdateFault();   // the pending fault, turned off once taken
bool ReadOnlyKeptValues();       // TestReadOnlyKeptValues is on
// Ends the process at once (as a kill does) at the note write notes.ini
// "TestKillAtNoteWrite" counts to, when set.
void TestKillPoint();
void CountDesignUpdateCall();
void CountProfileCall();
// A note opened by note id or universal id through the platform's interface
// is counted (TestNotesOpened); the stand-in's own reads (view indexes,
// searches, imports) open their notes uncounted.
void CountNoteOpened();
STATUS NoteOpenUncounted(DBHANDLE db, NOTEID id, WORD flags, NOTEHANDLE* note);
// Updates a note (as NoteUpdate) and closes it, whether or not the update
// succeeds; *id is the note's id once stored (the DXL import).
STATUS NoteUpdateAndClose(NOTEHANDLE note, WORD flags, NOTEID* id);
// Deletes every item of an open note (an import replacing a stored note's
// content).
STATUS ItemDeleteAll(NOTEHANDLE note);

} // namespace plat
