// Notes: held in memory while open; NoteUpdate writes what changed since
// the note was read.
#include <cstring>
#include <functional>
#include <mutex>
#include <string_view>
#include <unordered_set>

#include "notes_internal.h"
#include "status_codes.h"
#include "talix_platform/database.h"
#include "talix_platform/timedate.h"

namespace plat {

HandleTable<OpenNote>& Notes() {
    static auto* table = new HandleTable<OpenNote>;
    return *table;
}

size_t ItemHash(const ItemData& data) {
    const std::string_view bytes(reinterpret_cast<const char*>(data.value.data()), data.value.size());
    return std::hash<std::string_view>{}(bytes) ^ (static_cast<size_t>(data.flags) * 0x9E3779B97F4A7C15ull);
}

ORIGINATORID NewOriginatorId() {
    TIMEDATE now;
    CurrentTime(&now);
    ORIGINATORID oid;
    oid.File.Innards[0] = RandomDword();
    oid.File.Innards[1] = RandomDword();
    oid.Note = now;
    oid.Sequence = 1;
    oid.SequenceTime = now;
    return oid;
}

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

bool IsUnset(const TIMEDATE& time) { return time.Innards[0] == 0 && time.Innards[1] == 0; }

Store* FindStore(DBHANDLE db) {
    OpenDatabase* open = Databases().Find(db);
    return open == nullptr ? nullptr : open->store.get();
}

void AddLoadedItem(OpenNote& note, ItemData data, ItemRow row, size_t hash) {
    ItemHandle item(note.pool.Make());
    item->data = std::move(data);
    item->serial = note.nextSerial++;
    item->row = row;
    item->hash = hash;
    note.bySerial.Add(item->serial, item.get());
    note.items.push_back(std::move(item));
}

// Opens a stored note; the caller holds the lock. A note that does not fit
// in memory fails to open with ERR_NO_MEMORY.
STATUS OpenStoredNote(DBHANDLE db, Store& store, NOTEID id, NOTEHANDLE* note) {
    auto open = std::make_unique<OpenNote>();
    open->db = db;
    std::vector<StoredItem> items;
    STATUS status = store.ReadNote(id, &open->header, &items);
    if (status != NOERROR) return status;
    open->readId = id;
    open->read = NoteRevision{open->header.oid, open->header.modified};
    for (StoredItem& item : items) {
        open->readRows.emplace(item.row, item.data.name);
        const size_t hash = ItemHash(item.data);
        AddLoadedItem(*open, std::move(item.data), item.row, hash);
    }
    *note = Notes().Add(std::move(open));
    return NOERROR;
}

STATUS OpenStored(DBHANDLE db, Store& store, NOTEID id, NOTEHANDLE* note) {
    try {
        return OpenStoredNote(db, store, id, note);
    } catch (const std::bad_alloc&) {
        *note = NULLHANDLE;
        return ERR_NO_MEMORY;
    }
}

// What an update of the note writes: its items, each with the stored row
// that holds it unless it changed, and the names that changed since the
// read (items added or changed in place, and items removed).
NoteWrite ChangesOf(const OpenNote& open, WORD flags) {
    NoteWrite write;
    write.read = open.read;
    write.force = (flags & UPDATE_FORCE) != 0;
    // A note given another id is written whole, as a note not read.
    if (open.header.id != open.readId) {
        write.replaceAll = true;
        write.force = true;
    }
    write.items.reserve(open.items.size());
    std::unordered_set<ItemRow> present;
    for (const auto& item : open.items) {
        ItemRow row = item->row;
        if (row != 0 && ItemHash(item->data) != item->hash) row = 0;
        if (row == 0) write.changedNames.insert(FoldedItemName(item->data.name));
        if (row > 0) present.insert(row);
        write.items.push_back({row, &item->data});
    }
    for (const auto& [row, name] : open.readRows) {
        if (present.count(row) == 0) write.changedNames.insert(FoldedItemName(name));
    }
    return write;
}

} // namespace

STATUS NoteCreate(DBHANDLE db, NOTEHANDLE* note) {
    if (note == nullptr) return ERR_BAD_ARGUMENT;
    *note = NULLHANDLE;
    Lock lock(StorageMutex());
    if (FindStore(db) == nullptr) return ERR_INVALID_HANDLE;
    auto open = std::make_unique<OpenNote>();
    open->db = db;
    open->header.oid = NewOriginatorId();
    *note = Notes().Add(std::move(open));
    return NOERROR;
}

STATUS NoteOpen(DBHANDLE db, NOTEID id, WORD flags, NOTEHANDLE* note) {
    const STATUS status = NoteOpenUncounted(db, id, flags, note);
    if (status == NOERROR) CountNoteOpened();
    return status;
}

STATUS NoteOpenUncounted(DBHANDLE db, NOTEID id, WORD flags, NOTEHANDLE* note) {
    if (note == nullptr) return ERR_BAD_ARGUMENT;
    *note = NULLHANDLE;
    Lock lock(StorageMutex());
    Store* store = FindStore(db);
    if (store == nullptr) return ERR_INVALID_HANDLE;
    if (id == 0) return ERR_NOTE_NOT_FOUND;
    // The reserved id of the default view names the view design note marked
    // as the database's default, whatever id it is stored under.
    if (id == NOTEID_DEFAULT_VIEW) {
        std::vector<std::pair<NOTEID, WORD>> notes;
        const STATUS listed = store->ListNotes(&notes);
        if (listed != NOERROR) return listed;
        id = 0;
        for (const auto& [stored, noteClass] : notes) {
            if (noteClass != (NOTE_CLASS_VIEW | NOTE_CLASS_DEFAULT)) continue;
            id = stored;
            break;
        }
        if (id == 0) return ERR_NOTE_NOT_FOUND;
    }
    return OpenStored(db, *store, id, note);
}

STATUS NoteOpenByUNID(DBHANDLE db, const UNID* unid, WORD flags, NOTEHANDLE* note) {
    if (note == nullptr || unid == nullptr) return ERR_BAD_ARGUMENT;
    *note = NULLHANDLE;
    Lock lock(StorageMutex());
    Store* store = FindStore(db);
    if (store == nullptr) return ERR_INVALID_HANDLE;
    NOTEID id = 0;
    STATUS status = store->FindUnid(*unid, &id);
    if (status != NOERROR) return status;
    status = OpenStored(db, *store, id, note);
    if (status == NOERROR) CountNoteOpened();
    return status;
}

namespace {

// Writes an open note; the caller holds the lock. Unless the note stays
// open (keep), the bookkeeping that only its later updates need (the rows
// and hashes of its items as stored) is left out.
STATUS WriteOpenNote(OpenNote* open, WORD flags, bool keep) {
    Store* store = FindStore(open->db);
    if (store == nullptr) return ERR_INVALID_HANDLE;

    // The dates go into a copy of the header, so that a failed update leaves
    // the note in memory as it was.
    NoteHeader header = open->header;
    TIMEDATE now;
    CurrentTime(&now);
    if (!open->modifiedSet) header.modified = now;
    if (IsUnset(header.created)) header.created = now;
    if (IsUnset(header.added)) header.added = now;
    if (IsUnset(header.accessed)) header.accessed = now;

    NoteWrite write = ChangesOf(*open, flags);
    // Unless the caller set the originator id, the update raises its
    // sequence number: how others tell that the note changed.
    if (!open->oidSet) write.sequenceTime = now;
    std::vector<ItemRow> rows;
    STATUS status = store->WriteNote(&header, write, TakeInjectedUpdateFault(), &rows);
    if (status != NOERROR) return status;
    open->header = header;
    if (!keep) return NOERROR;
    open->modifiedSet = false;
    open->oidSet = false;
    open->readId = header.id;
    open->read = NoteRevision{header.oid, header.modified};
    open->readRows.clear();
    for (size_t i = 0; i < open->items.size(); ++i) {
        NoteItem& item = *open->items[i];
        if (rows[i] != item.row || write.items[i].row == 0) item.hash = ItemHash(item.data);
        item.row = rows[i];
        if (item.row > 0) open->readRows.emplace(item.row, item.data.name);
    }
    return NOERROR;
}

// Takes an open note out of the table; the caller holds the lock. The new
// objects its items named and no update stored go with it, unless another
// open note of the file named them too: nothing else can store them, and
// kept they would stay in memory for as long as the file is open (a note
// made, given attachments and closed unsaved, again and again). A note
// whose database handle closed first lets go of nothing: its objects stay.
bool RemoveOpenNote(NOTEHANDLE note) {
    std::unique_ptr<OpenNote> closed = Notes().Remove(note);
    if (closed == nullptr) return false;
    Store* store = FindStore(closed->db);
    if (store == nullptr) return true;
    for (DWORD object : closed->namedObjects) store->OpenNoteLetGoOfObject(object);
    return true;
}

} // namespace

STATUS NoteUpdate(NOTEHANDLE note, WORD flags) {
    Lock lock(StorageMutex());
    OpenNote* open = Notes().Find(note);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    return WriteOpenNote(open, flags, true);
}

STATUS NoteUpdateAndClose(NOTEHANDLE note, WORD flags, NOTEID* id) {
    Lock lock(StorageMutex());
    OpenNote* open = Notes().Find(note);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    const STATUS status = WriteOpenNote(open, flags, false);
    if (status == NOERROR && id != nullptr) *id = open->header.id;
    RemoveOpenNote(note);
    return status;
}

STATUS NoteClose(NOTEHANDLE note) {
    Lock lock(StorageMutex());
    return RemoveOpenNote(note) ? NOERROR : ERR_INVALID_HANDLE;
}

STATUS NoteDelete(DBHANDLE db, NOTEID id, WORD flags) {
    Lock lock(StorageMutex());
    Store* store = FindStore(db);
    if (store == nullptr) return ERR_INVALID_HANDLE;
    return store->DeleteNote(id);
}

STATUS NoteGetInfo(NOTEHANDLE note, WORD field, void* out) {
    if (out == nullptr) return ERR_BAD_ARGUMENT;
    Lock lock(StorageMutex());
    OpenNote* open = Notes().Find(note);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    const NoteHeader& header = open->header;
    switch (field) {
    case NOTE_FIELD_DB: std::memcpy(out, &open->db, sizeof open->db); break;
    case NOTE_FIELD_ID: std::memcpy(out, &header.id, sizeof header.id); break;
    case NOTE_FIELD_OID: std::memcpy(out, &header.oid, sizeof header.oid); break;
    case NOTE_FIELD_CLASS: std::memcpy(out, &header.noteClass, sizeof header.noteClass); break;
    case NOTE_FIELD_MODIFIED: std::memcpy(out, &header.modified, sizeof(TIMEDATE)); break;
    case NOTE_FIELD_CREATED: std::memcpy(out, &header.created, sizeof(TIMEDATE)); break;
    case NOTE_FIELD_ACCESSED: std::memcpy(out, &header.accessed, sizeof(TIMEDATE)); break;
    case NOTE_FIELD_ADDED: std::memcpy(out, &header.added, sizeof(TIMEDATE)); break;
    default: return ERR_BAD_ARGUMENT;
    }
    return NOERROR;
}

STATUS NoteSetInfo(NOTEHANDLE note, WORD field, const void* in) {
    if (in == nullptr) return ERR_BAD_ARGUMENT;
    Lock lock(StorageMutex());
    OpenNote* open = Notes().Find(note);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    NoteHeader& header = open->header;
    switch (field) {
    case NOTE_FIELD_ID: std::memcpy(&header.id, in, sizeof header.id); break;
    case NOTE_FIELD_OID:
        std::memcpy(&header.oid, in, sizeof header.oid);
        open->oidSet = true;   // written as given by the next update
        break;
    case NOTE_FIELD_CLASS: std::memcpy(&header.noteClass, in, sizeof header.noteClass); break;
    case NOTE_FIELD_MODIFIED:
        std::memcpy(&header.modified, in, sizeof(TIMEDATE));
        open->modifiedSet = true;   // kept by the next update instead of the current time
        break;
    case NOTE_FIELD_CREATED: std::memcpy(&header.created, in, sizeof(TIMEDATE)); break;
    case NOTE_FIELD_ACCESSED: std::memcpy(&header.accessed, in, sizeof(TIMEDATE)); break;
    case NOTE_FIELD_ADDED: std::memcpy(&header.added, in, sizeof(TIMEDATE)); break;
    default: return ERR_BAD_ARGUMENT;   // the database of a note cannot be changed
    }
    return NOERROR;
}

STATUS NoteCopy(NOTEHANDLE note, NOTEHANDLE* copy) {
    if (copy == nullptr) return ERR_BAD_ARGUMENT;
    *copy = NULLHANDLE;
    Lock lock(StorageMutex());
    OpenNote* open = Notes().Find(note);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    auto duplicate = std::make_unique<OpenNote>();
    duplicate->db = open->db;
    duplicate->header = open->header;
    duplicate->modifiedSet = open->modifiedSet;
    duplicate->oidSet = open->oidSet;
    duplicate->readId = open->readId;
    duplicate->read = open->read;
    duplicate->readRows = open->readRows;
    for (const auto& item : open->items) AddLoadedItem(*duplicate, item->data, item->row, item->hash);
    *copy = Notes().Add(std::move(duplicate));
    return NOERROR;
}

STATUS DbGenerateOID(DBHANDLE db, ORIGINATORID* oid) {
    if (oid == nullptr) return ERR_BAD_ARGUMENT;
    Lock lock(StorageMutex());
    if (FindStore(db) == nullptr) return ERR_INVALID_HANDLE;
    *oid = NewOriginatorId();
    return NOERROR;
}

STATUS DbNoteInfo(DBHANDLE db, NOTEID id, ORIGINATORID* oid, TIMEDATE* modified, WORD* noteClass) {
    Lock lock(StorageMutex());
    Store* store = FindStore(db);
    if (store == nullptr) return ERR_INVALID_HANDLE;
    NoteHeader header;
    STATUS status = store->ReadHeader(id, &header);
    if (status != NOERROR) return status;
    if (oid != nullptr) *oid = header.oid;
    if (modified != nullptr) *modified = header.modified;
    if (noteClass != nullptr) *noteClass = header.noteClass;
    return NOERROR;
}

STATUS DbNoteInfoByUNID(DBHANDLE db, const UNID* unid, NOTEID* id, ORIGINATORID* oid, TIMEDATE* modified,
                        WORD* noteClass) {
    if (unid == nullptr) return ERR_BAD_ARGUMENT;
    Lock lock(StorageMutex());
    Store* store = FindStore(db);
    if (store == nullptr) return ERR_INVALID_HANDLE;
    NOTEID found = 0;
    STATUS status = store->FindUnid(*unid, &found);
    if (status != NOERROR) return status;
    status = DbNoteInfo(db, found, oid, modified, noteClass);
    if (status == NOERROR && id != nullptr) *id = found;
    return status;
}

STATUS DbScanNotes(DBHANDLE db, const std::function<STATUS(NOTEID, WORD noteClass)>& callback) {
    if (!callback) return ERR_BAD_ARGUMENT;
    Lock lock(StorageMutex());
    Store* store = FindStore(db);
    if (store == nullptr) return ERR_INVALID_HANDLE;
    // The list is read first, so the callback may open, update or delete notes.
    std::vector<std::pair<NOTEID, WORD>> notes;
    STATUS status = store->ListNotes(&notes);
    if (status != NOERROR) return status;
    for (const auto& [id, noteClass] : notes) {
        status = callback(id, noteClass);
        if (status != NOERROR) return status;
    }
    return NOERROR;
}

// ---- Encryption mark and recorded calls ------------------------------------

bool NoteIsEncrypted(NOTEHANDLE note, WORD selector) {
    Lock lock(StorageMutex());
    OpenNote* open = Notes().Find(note);
    return open != nullptr && open->header.encrypted;
}

STATUS NoteDecrypt(NOTEHANDLE note, WORD selector, void* key) {
    Lock lock(StorageMutex());
    OpenNote* open = Notes().Find(note);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    if (!open->header.encrypted) return ERR_NOT_ENCRYPTED;
    open->header.encrypted = false;
    // The key is opaque to callers; the note part of the universal id serves.
    if (key != nullptr) std::memcpy(key, &open->header.oid.Note, sizeof(TIMEDATE));
    return NOERROR;
}

STATUS NoteSetEncrypted(NOTEHANDLE note, bool encrypted) {
    Lock lock(StorageMutex());
    OpenNote* open = Notes().Find(note);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    open->header.encrypted = encrypted;
    return NOERROR;
}

STATUS NotePrepareDesignUpdate(NOTEHANDLE note) {
    Lock lock(StorageMutex());
    if (Notes().Find(note) == nullptr) return ERR_INVALID_HANDLE;
    CountDesignUpdateCall();
    return NOERROR;
}

STATUS NoteProfileCall(NOTEHANDLE note, const char* name, WORD length) {
    if (name == nullptr && length != 0) return ERR_BAD_ARGUMENT;
    Lock lock(StorageMutex());
    if (Notes().Find(note) == nullptr) return ERR_INVALID_HANDLE;
    CountProfileCall();
    return NOERROR;
}

} // namespace plat
