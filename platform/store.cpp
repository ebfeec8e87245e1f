// The SQLite layer of the databases.
#include "store.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include "status_codes.h"
#include "talix_platform/log.h"

namespace plat {

static_assert(std::endian::native == std::endian::little,
              "identifiers are stored by copying their little-endian words");

namespace {

// Marks a file as one of ours (SQLite's application id, "Talx").
constexpr int kApplicationId = 0x54616C78;
constexpr int kFormat = 1;
constexpr NOTEID kFirstNoteId = 0x100;
constexpr NOTEID kNoteIdStep = 4;
// Note ids with the top bit set mark category entries in view reads.
constexpr NOTEID kNoteIdLimit = 0x80000000;
constexpr int kBusyTimeoutMs = 5000;

const char* const kSchema =
    "CREATE TABLE dbinfo(id INTEGER PRIMARY KEY CHECK (id = 1), format INTEGER NOT NULL,"
    " replica BLOB NOT NULL, next_note_id INTEGER NOT NULL);"
    "CREATE TABLE notes(note_id INTEGER PRIMARY KEY, unid BLOB NOT NULL UNIQUE, oid BLOB NOT NULL,"
    " class INTEGER NOT NULL, created BLOB NOT NULL, modified BLOB NOT NULL, accessed BLOB NOT NULL,"
    " added BLOB NOT NULL, encrypted INTEGER NOT NULL);"
    "CREATE TABLE items(item_id INTEGER PRIMARY KEY, note_id INTEGER NOT NULL, position INTEGER NOT NULL,"
    " name BLOB NOT NULL, flags INTEGER NOT NULL, data_type INTEGER NOT NULL, value BLOB NOT NULL);"
    "CREATE UNIQUE INDEX items_by_note ON items(note_id, position);"
    "CREATE TABLE objects(object_id INTEGER PRIMARY KEY AUTOINCREMENT, class INTEGER NOT NULL,"
    " bytes BLOB NOT NULL);";

// Every statement the store runs against each table, prepared once at open to
// check that the file has our schema.
const char* const kSchemaChecks[] = {
    "SELECT note_id, unid, oid, class, created, modified, accessed, added, encrypted FROM notes LIMIT 0",
    "SELECT item_id, note_id, position, name, flags, data_type, value FROM items LIMIT 0",
    "SELECT object_id, class, bytes FROM objects LIMIT 0",
};

class Statement {
public:
    Statement(sqlite3* db, const char* sql) { rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    int prepareStatus() const { return rc_; }
    sqlite3_stmt* get() const { return stmt_; }
    int Step() { return sqlite3_step(stmt_); }
    void Reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    void Int(int index, sqlite3_int64 value) { sqlite3_bind_int64(stmt_, index, value); }
    void Blob(int index, const void* data, size_t size) {
        // A zero-length blob still needs a non-null pointer to be a blob rather than NULL.
        static const BYTE empty = 0;
        sqlite3_bind_blob64(stmt_, index, size == 0 ? &empty : data, size, SQLITE_STATIC);
    }
    sqlite3_int64 ColumnInt(int column) const { return sqlite3_column_int64(stmt_, column); }
    // Copies a blob column of exactly size bytes; false when its size differs.
    bool ColumnFixed(int column, void* out, size_t size) const {
        const void* data = sqlite3_column_blob(stmt_, column);
        if (static_cast<size_t>(sqlite3_column_bytes(stmt_, column)) != size) return false;
        if (size != 0) std::memcpy(out, data, size);
        return true;
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int rc_ = SQLITE_OK;
};

// Rolls back unless committed.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : db_(db) {}
    ~Transaction() {
        if (open_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    int Begin() {
        int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        open_ = rc == SQLITE_OK;
        return rc;
    }
    int Commit() {
        int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) open_ = false;
        return rc;
    }

private:
    sqlite3* db_;
    bool open_ = false;
};

bool ReservedNoteId(NOTEID id) { return id == NOTEID_DEFAULT_VIEW || id == NOTEID_DESIGN_COLLECTION; }

void RemoveFiles(const std::string& path) {
    ::unlink(path.c_str());
    ::unlink((path + "-journal").c_str());
    ::unlink((path + "-wal").c_str());
    ::unlink((path + "-shm").c_str());
}

// Write-ahead logging with normal syncing: every update stays atomic (a
// crash loses at most the last updates, never half of one) without a full
// sync of the file on every note update.
int UseWriteAheadLog(sqlite3* db) {
    return sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
}

} // namespace

Store::~Store() { sqlite3_close_v2(db_); }

STATUS Store::Fail(int rc, const char* what) {
    LogLine(NOERROR, "Database %s: %s failed: %s", path_.c_str(), what, sqlite3_errmsg(db_));
    return rc == SQLITE_NOMEM ? ERR_NO_MEMORY : ERR_DB_IO;
}

STATUS Store::Open(const std::string& path, std::unique_ptr<Store>* store) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        return rc == SQLITE_NOMEM ? ERR_NO_MEMORY : ERR_DB_IO;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    std::unique_ptr<Store> opened(new Store(db, path));
    STATUS status = opened->LoadInfo();
    if (status != NOERROR) return status;
    if ((rc = UseWriteAheadLog(db)) != SQLITE_OK) return opened->Fail(rc, "open");
    *store = std::move(opened);
    return NOERROR;
}

STATUS Store::LoadInfo() {
    {
        Statement id(db_, "PRAGMA application_id");
        if (id.prepareStatus() != SQLITE_OK) {
            int rc = sqlite3_errcode(db_);
            if (rc == SQLITE_BUSY || rc == SQLITE_NOMEM) return Fail(rc, "open");
            return ERR_NOT_A_DATABASE;
        }
        int rc = id.Step();
        if (rc == SQLITE_BUSY || rc == SQLITE_NOMEM) return Fail(rc, "open");
        if (rc != SQLITE_ROW || id.ColumnInt(0) != kApplicationId) return ERR_NOT_A_DATABASE;
    }
    Statement info(db_, "SELECT format, replica FROM dbinfo WHERE id = 1");
    if (info.prepareStatus() != SQLITE_OK || info.Step() != SQLITE_ROW) return ERR_NOT_A_DATABASE;
    if (info.ColumnInt(0) != kFormat || !info.ColumnFixed(1, &replicaId_, sizeof replicaId_)) {
        return ERR_NOT_A_DATABASE;
    }
    for (const char* sql : kSchemaChecks) {
        Statement check(db_, sql);
        if (check.prepareStatus() != SQLITE_OK) return ERR_NOT_A_DATABASE;
    }
    return NOERROR;
}

STATUS Store::Create(const std::string& path, const DBID& replicaId, std::unique_ptr<Store>* store) {
    // Claim the name first, so that two creators cannot both succeed.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        switch (errno) {
        case EEXIST: return ERR_DB_EXISTS;
        case ENOENT:
        case ENOTDIR: return ERR_BAD_PATH;
        case ENAMETOOLONG: return ERR_PATH_TOO_LONG;
        default: return ERR_DB_IO;
        }
    }
    ::close(fd);

    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        RemoveFiles(path);
        return ERR_DB_IO;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    std::unique_ptr<Store> created(new Store(db, path));
    created->replicaId_ = replicaId;

    STATUS status = NOERROR;
    {
        Transaction transaction(db);
        std::string pragma = "PRAGMA application_id = " + std::to_string(kApplicationId);
        rc = transaction.Begin();
        if (rc == SQLITE_OK) rc = sqlite3_exec(db, pragma.c_str(), nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) rc = sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) {
            Statement insert(db, "INSERT INTO dbinfo(id, format, replica, next_note_id) VALUES (1, ?, ?, ?)");
            insert.Int(1, kFormat);
            insert.Blob(2, &replicaId, sizeof replicaId);
            insert.Int(3, kFirstNoteId);
            rc = insert.prepareStatus() == SQLITE_OK ? insert.Step() : insert.prepareStatus();
            if (rc == SQLITE_DONE) rc = SQLITE_OK;
        }
        if (rc == SQLITE_OK) rc = transaction.Commit();
        if (rc == SQLITE_OK) rc = UseWriteAheadLog(db);
        if (rc != SQLITE_OK) status = created->Fail(rc, "create");
    }
    if (status != NOERROR) {
        created.reset();
        RemoveFiles(path);
        return status;
    }
    *store = std::move(created);
    return NOERROR;
}

STATUS Store::ReadHeader(NOTEID id, NoteHeader* header) {
    Statement select(db_, "SELECT oid, class, created, modified, accessed, added, encrypted FROM notes"
                          " WHERE note_id = ?");
    if (select.prepareStatus() != SQLITE_OK) return Fail(select.prepareStatus(), "read note");
    select.Int(1, id);
    int rc = select.Step();
    if (rc == SQLITE_DONE) return ERR_NOTE_NOT_FOUND;
    if (rc != SQLITE_ROW) return Fail(rc, "read note");
    NoteHeader read;
    read.id = id;
    read.noteClass = static_cast<WORD>(select.ColumnInt(1));
    read.encrypted = select.ColumnInt(6) != 0;
    if (!select.ColumnFixed(0, &read.oid, sizeof read.oid) || !select.ColumnFixed(2, &read.created, 8) ||
        !select.ColumnFixed(3, &read.modified, 8) || !select.ColumnFixed(4, &read.accessed, 8) ||
        !select.ColumnFixed(5, &read.added, 8)) {
        LogLine(ERR_DB_IO, "Database %s: note 0x%X has a damaged header", path_.c_str(), id);
        return ERR_DB_IO;
    }
    *header = read;
    return NOERROR;
}

STATUS Store::FindUnid(const UNID& unid, NOTEID* id) {
    Statement select(db_, "SELECT note_id FROM notes WHERE unid = ?");
    if (select.prepareStatus() != SQLITE_OK) return Fail(select.prepareStatus(), "find note");
    select.Blob(1, &unid, sizeof unid);
    int rc = select.Step();
    if (rc == SQLITE_DONE) return ERR_UNID_NOT_FOUND;
    if (rc != SQLITE_ROW) return Fail(rc, "find note");
    *id = static_cast<NOTEID>(select.ColumnInt(0));
    return NOERROR;
}

STATUS Store::ReadItems(NOTEID id, std::vector<ItemData>* items) {
    Statement select(db_, "SELECT name, flags, value FROM items WHERE note_id = ? ORDER BY position");
    if (select.prepareStatus() != SQLITE_OK) return Fail(select.prepareStatus(), "read items");
    select.Int(1, id);
    std::vector<ItemData> read;
    int rc;
    while ((rc = select.Step()) == SQLITE_ROW) {
        ItemData item;
        auto* name = static_cast<const char*>(sqlite3_column_blob(select.get(), 0));
        int nameLength = sqlite3_column_bytes(select.get(), 0);
        auto* value = static_cast<const BYTE*>(sqlite3_column_blob(select.get(), 2));
        int valueLength = sqlite3_column_bytes(select.get(), 2);
        if (nameLength < 1 || nameLength > 255 || valueLength < 2) {
            LogLine(ERR_DB_IO, "Database %s: note 0x%X has a damaged item", path_.c_str(), id);
            return ERR_DB_IO;
        }
        item.name.assign(name, static_cast<size_t>(nameLength));
        item.flags = static_cast<WORD>(select.ColumnInt(1));
        item.value.assign(value, value + valueLength);
        read.push_back(std::move(item));
    }
    if (rc != SQLITE_DONE) return Fail(rc, "read items");
    *items = std::move(read);
    return NOERROR;
}

STATUS Store::NextNoteId(NOTEID* id) {
    Statement select(db_, "SELECT next_note_id FROM dbinfo WHERE id = 1");
    int rc = select.prepareStatus() == SQLITE_OK ? select.Step() : select.prepareStatus();
    if (rc != SQLITE_ROW) return Fail(rc, "assign a note id");
    sqlite3_int64 next = select.ColumnInt(0);
    while (next < kNoteIdLimit && ReservedNoteId(static_cast<NOTEID>(next))) next += kNoteIdStep;
    if (next < kFirstNoteId || next >= kNoteIdLimit) {
        LogLine(ERR_NOTE_UPDATE, "Database %s: no note ids left", path_.c_str());
        return ERR_NOTE_UPDATE;
    }
    Statement update(db_, "UPDATE dbinfo SET next_note_id = ? WHERE id = 1");
    update.Int(1, next + kNoteIdStep);
    rc = update.prepareStatus() == SQLITE_OK ? update.Step() : update.prepareStatus();
    if (rc != SQLITE_DONE) return Fail(rc, "assign a note id");
    *id = static_cast<NOTEID>(next);
    return NOERROR;
}

STATUS Store::WriteNote(NoteHeader* header, const std::vector<const ItemData*>& items, int failAfterItems) {
    Transaction transaction(db_);
    int rc = transaction.Begin();
    if (rc != SQLITE_OK) return Fail(rc, "update note");

    UNID unid;
    unid.File = header->oid.File;
    unid.Note = header->oid.Note;
    NOTEID holder = 0;
    STATUS status = FindUnid(unid, &holder);
    if (status == NOERROR && holder != header->id) return ERR_UNID_EXISTS;
    if (status != NOERROR && status != ERR_UNID_NOT_FOUND) return status;

    NOTEID id = header->id;
    if (id == 0) {
        status = NextNoteId(&id);
        if (status != NOERROR) return status;
    }
    {
        const char* sql = header->id == 0
            ? "INSERT INTO notes(unid, oid, class, created, modified, accessed, added, encrypted, note_id)"
              " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"
            : "UPDATE notes SET unid = ?, oid = ?, class = ?, created = ?, modified = ?, accessed = ?,"
              " added = ?, encrypted = ? WHERE note_id = ?";
        Statement write(db_, sql);
        if (write.prepareStatus() != SQLITE_OK) return Fail(write.prepareStatus(), "update note");
        write.Blob(1, &unid, sizeof unid);
        write.Blob(2, &header->oid, sizeof header->oid);
        write.Int(3, header->noteClass);
        write.Blob(4, &header->created, sizeof(TIMEDATE));
        write.Blob(5, &header->modified, sizeof(TIMEDATE));
        write.Blob(6, &header->accessed, sizeof(TIMEDATE));
        write.Blob(7, &header->added, sizeof(TIMEDATE));
        write.Int(8, header->encrypted ? 1 : 0);
        write.Int(9, id);
        rc = write.Step();
        if (rc != SQLITE_DONE) return Fail(rc, "update note");
        if (header->id != 0 && sqlite3_changes(db_) == 0) return ERR_NOTE_DELETED;
    }
    {
        Statement erase(db_, "DELETE FROM items WHERE note_id = ?");
        if (erase.prepareStatus() != SQLITE_OK) return Fail(erase.prepareStatus(), "update note");
        erase.Int(1, id);
        rc = erase.Step();
        if (rc != SQLITE_DONE) return Fail(rc, "update note");
    }
    Statement insert(db_, "INSERT INTO items(note_id, position, name, flags, data_type, value)"
                          " VALUES (?, ?, ?, ?, ?, ?)");
    if (insert.prepareStatus() != SQLITE_OK) return Fail(insert.prepareStatus(), "update note");
    for (size_t position = 0;; ++position) {
        if (failAfterItems >= 0 &&
            (position == static_cast<size_t>(failAfterItems) || position == items.size())) {
            LogLine(ERR_INJECTED, "Database %s: update of a note stopped after %zu items", path_.c_str(),
                    position);
            return ERR_INJECTED;
        }
        if (position == items.size()) break;
        const ItemData& item = *items[position];
        insert.Reset();
        insert.Int(1, id);
        insert.Int(2, static_cast<sqlite3_int64>(position));
        insert.Blob(3, item.name.data(), item.name.size());
        insert.Int(4, item.flags);
        insert.Int(5, item.value[0] | (item.value[1] << 8));
        insert.Blob(6, item.value.data(), item.value.size());
        rc = insert.Step();
        if (rc == SQLITE_TOOBIG) return ERR_ITEM_TOO_LARGE;
        if (rc != SQLITE_DONE) return Fail(rc, "update note");
    }
    rc = transaction.Commit();
    if (rc != SQLITE_OK) return Fail(rc, "update note");
    header->id = id;
    return NOERROR;
}

STATUS Store::DeleteNote(NOTEID id) {
    Transaction transaction(db_);
    int rc = transaction.Begin();
    if (rc != SQLITE_OK) return Fail(rc, "delete note");
    Statement note(db_, "DELETE FROM notes WHERE note_id = ?");
    Statement items(db_, "DELETE FROM items WHERE note_id = ?");
    if (note.prepareStatus() != SQLITE_OK) return Fail(note.prepareStatus(), "delete note");
    if (items.prepareStatus() != SQLITE_OK) return Fail(items.prepareStatus(), "delete note");
    note.Int(1, id);
    rc = note.Step();
    if (rc != SQLITE_DONE) return Fail(rc, "delete note");
    if (sqlite3_changes(db_) == 0) return ERR_NOTE_NOT_FOUND;
    items.Int(1, id);
    rc = items.Step();
    if (rc != SQLITE_DONE) return Fail(rc, "delete note");
    rc = transaction.Commit();
    return rc == SQLITE_OK ? NOERROR : Fail(rc, "delete note");
}

STATUS Store::ListNotes(std::vector<std::pair<NOTEID, WORD>>* notes) {
    Statement select(db_, "SELECT note_id, class FROM notes ORDER BY note_id");
    if (select.prepareStatus() != SQLITE_OK) return Fail(select.prepareStatus(), "list notes");
    notes->clear();
    int rc;
    while ((rc = select.Step()) == SQLITE_ROW) {
        notes->emplace_back(static_cast<NOTEID>(select.ColumnInt(0)), static_cast<WORD>(select.ColumnInt(1)));
    }
    return rc == SQLITE_DONE ? NOERROR : Fail(rc, "list notes");
}

STATUS Store::AllocObject(DWORD size, WORD objClass, DWORD* objectId) {
    if (size > kMaxStoredBytes) return ERR_BAD_ARGUMENT;
    Statement insert(db_, "INSERT INTO objects(class, bytes) VALUES (?, zeroblob(?))");
    if (insert.prepareStatus() != SQLITE_OK) return Fail(insert.prepareStatus(), "allocate object");
    insert.Int(1, objClass);
    insert.Int(2, size);
    int rc = insert.Step();
    if (rc != SQLITE_DONE) return Fail(rc, "allocate object");
    sqlite3_int64 id = sqlite3_last_insert_rowid(db_);
    if (id <= 0 || id > 0xFFFFFFFF) {
        FreeObject(static_cast<DWORD>(id));
        return ERR_DB_IO;
    }
    *objectId = static_cast<DWORD>(id);
    return NOERROR;
}

STATUS Store::ObjectSize(DWORD objectId, DWORD* size) {
    Statement select(db_, "SELECT length(bytes) FROM objects WHERE object_id = ?");
    if (select.prepareStatus() != SQLITE_OK) return Fail(select.prepareStatus(), "read object");
    select.Int(1, objectId);
    int rc = select.Step();
    if (rc == SQLITE_DONE) return ERR_OBJECT_NOT_FOUND;
    if (rc != SQLITE_ROW) return Fail(rc, "read object");
    *size = static_cast<DWORD>(select.ColumnInt(0));
    return NOERROR;
}

STATUS Store::WriteObject(DWORD objectId, const void* data, DWORD offset, DWORD length) {
    DWORD size = 0;
    STATUS status = ObjectSize(objectId, &size);
    if (status != NOERROR) return status;
    if (offset > size || length > size - offset) return ERR_OBJECT_RANGE;
    if (length == 0) return NOERROR;
    sqlite3_blob* blob = nullptr;
    int rc = sqlite3_blob_open(db_, "main", "objects", "bytes", objectId, 1, &blob);
    if (rc == SQLITE_OK) rc = sqlite3_blob_write(blob, data, static_cast<int>(length), static_cast<int>(offset));
    int closed = sqlite3_blob_close(blob);
    if (rc == SQLITE_OK) rc = closed;
    return rc == SQLITE_OK ? NOERROR : Fail(rc, "write object");
}

STATUS Store::ReadObject(DWORD objectId, void* out, DWORD offset, DWORD length) {
    DWORD size = 0;
    STATUS status = ObjectSize(objectId, &size);
    if (status != NOERROR) return status;
    if (offset > size || length > size - offset) return ERR_OBJECT_RANGE;
    if (length == 0) return NOERROR;
    sqlite3_blob* blob = nullptr;
    int rc = sqlite3_blob_open(db_, "main", "objects", "bytes", objectId, 0, &blob);
    if (rc == SQLITE_OK) rc = sqlite3_blob_read(blob, out, static_cast<int>(length), static_cast<int>(offset));
    int closed = sqlite3_blob_close(blob);
    if (rc == SQLITE_OK) rc = closed;
    return rc == SQLITE_OK ? NOERROR : Fail(rc, "read object");
}

STATUS Store::FreeObject(DWORD objectId) {
    Statement erase(db_, "DELETE FROM objects WHERE object_id = ?");
    if (erase.prepareStatus() != SQLITE_OK) return Fail(erase.prepareStatus(), "free object");
    erase.Int(1, objectId);
    int rc = erase.Step();
    if (rc != SQLITE_DONE) return Fail(rc, "free object");
    if (sqlite3_changes(db_) == 0) return ERR_OBJECT_NOT_FOUND;
    return NOERROR;
}

} // namespace plat
