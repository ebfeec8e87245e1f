// The SQLite layer of the databases: files, batches, notes and their items.
#include "store.h"

#include <atomic>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <map>
#include <mutex>
#include <new>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ascii_text.h"
#include "notes_internal.h"
#include "status_codes.h"
#include "store_sql.h"
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

// Finds the object items that name an object (FreeUnnamedObjects). Files
// made before it existed get it with their first write.
const char* const kObjectIndex =
    "CREATE INDEX IF NOT EXISTS items_by_object ON items(substr(value, 5, 4)) WHERE data_type = 3";

// Every statement the store runs against each table, prepared once at open to
// check that the file has our schema.
const char* const kSchemaChecks[] = {
    "SELECT note_id, unid, oid, class, created, modified, accessed, added, encrypted FROM notes LIMIT 0",
    "SELECT item_id, note_id, position, name, flags, data_type, value FROM items LIMIT 0",
    "SELECT object_id, class, bytes FROM objects LIMIT 0",
};

// Finds what a file of ours never holds: a part of its schema that runs
// code the file brings with it. A view can stand in a table's place and
// yield rows without end (a read that never finishes), a column computed as
// it is read can make a small file give values of any size, a virtual table
// reads through code of its own, and a trigger runs with every write and
// changes what it likes. Tables and their indexes alone are ours.
const char* const kForeignSchema =
    "SELECT name FROM sqlite_master WHERE type IN ('view', 'trigger')"
    " OR (type = 'table' AND sql LIKE 'CREATE VIRTUAL%')"
    " UNION ALL SELECT t.name FROM sqlite_master AS t, pragma_table_xinfo(t.name) AS c"
    " WHERE t.type = 'table' AND c.hidden <> 0 LIMIT 1";

// A write that leaves the file as it is (its user version is never set).
const char* const kKeepUserVersion = "PRAGMA user_version = 0";

bool ReservedNoteId(NOTEID id) { return id == NOTEID_DEFAULT_VIEW || id == NOTEID_DESIGN_COLLECTION; }

constexpr const char* kLogSuffixes[] = {"-journal", "-wal", "-shm"};
// The header of a write-ahead log; the writes it holds follow it.
constexpr off_t kLogHeaderBytes = 32;

void RemoveFiles(const std::string& path) {
    ::unlink(path.c_str());
    for (const char* suffix : kLogSuffixes) ::unlink((path + suffix).c_str());
}

// The size of a page of a new file. Pages of 16 KiB hold most items whole
// and make the writes of a transaction, and the log's folding into the
// file, fewer and larger than the default's 4 KiB; a file keeps the size it
// was made with.
const char* const kPageSize = "PRAGMA page_size = 16384";

// The pages a connection keeps in memory (KiB, SQLite's default), and the
// pages a batch of joined writes keeps: it writes many pages, and changed
// pages that no longer fit are written into the log before the commit and
// read back when they change again.
constexpr int kCacheKiB = 2000;
constexpr int kBatchCacheKiB = 32768;

// Write-ahead logging with normal syncing: every update stays atomic (a
// crash loses at most the last updates, never half of one) without a full
// sync of the file on every note update.
int UseWriteAheadLog(sqlite3* db) {
    return sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
}

// Whether a failed SQLite call (result rc, system error number systemErrno)
// failed for want of room: the disk or the user's quota is full, or the
// file would pass the size limit of the process. SQLite reports the full
// disk itself; the others come back as an I/O error of the write.
bool NoRoom(int rc, int systemErrno) {
    const int primary = rc & 0xFF;
    if (primary == SQLITE_FULL) return true;
    return primary == SQLITE_IOERR && (systemErrno == ENOSPC || systemErrno == EFBIG || systemErrno == EDQUOT);
}

// Whether a failed SQLite call failed because no file could be opened: the
// process, or the system, has as many files open as it may. SQLite reports
// it as a file it cannot open, or an I/O error of the open.
bool NoFilesLeft(int rc, int systemErrno) {
    const int primary = rc & 0xFF;
    return (primary == SQLITE_CANTOPEN || primary == SQLITE_IOERR) && (systemErrno == EMFILE || systemErrno == ENFILE);
}

// Whether a failed first read of a file failed for a reason that is not
// the file's: another writer holds it, memory ran out, or its log files
// cannot be opened or sized (no descriptor left, no room).
bool NotForTheFile(int rc, int systemErrno) {
    return (rc & 0xFF) == SQLITE_BUSY || rc == SQLITE_NOMEM || NoFilesLeft(rc, systemErrno) ||
           NoRoom(rc, systemErrno);
}

// The status of a connection that could not be opened (result rc).
STATUS OpenFailure(sqlite3* db, int rc, const std::string& path) {
    const int systemErrno = db != nullptr && sqlite3_system_errno(db) != 0 ? sqlite3_system_errno(db) : errno;
    if (rc == SQLITE_NOMEM) return ERR_NO_MEMORY;
    if (NoFilesLeft(rc, systemErrno)) {
        LogLine(ERR_TOO_MANY_FILES, "Database %s: open failed: %s", path.c_str(), std::strerror(systemErrno));
        return ERR_TOO_MANY_FILES;
    }
    return ERR_DB_IO;
}

} // namespace

int BusyWaitSeconds() {
    char text[32];
    if (!IniGetText("DatabaseBusyWait", text, sizeof text)) return kDefaultBusyWaitSeconds;
    char* end = nullptr;
    errno = 0;
    long seconds = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || seconds < 0) return kDefaultBusyWaitSeconds;
    constexpr long kLongest = INT_MAX / 1000;
    return static_cast<int>(seconds > kLongest ? kLongest : seconds);
}

Store::Store(sqlite3* db, std::string path, std::unique_ptr<StatementCache> statements)
    : db_(db),
      statements_(statements != nullptr ? std::move(statements) : std::make_unique<StatementCache>(db)),
      path_(std::move(path)),
      pending_(SharedPendingObjects(path_)) {
    sqlite3_busy_timeout(db_, BusyWaitSeconds() * 1000);
}

Store::~Store() {
    while (batchDepth_ > 0) AbortBatch();
    if (keepConnection_) {
        KeepConnection(path_, db_, std::move(statements_));
        return;
    }
    statements_.reset();
    sqlite3_close_v2(db_);
}

bool Store::ChangedSinceRead(int rc) const {
    return (rc & 0xFF) == SQLITE_BUSY && lockAtFirstWrite_ && batchDepth_ > 0 &&
           (changedSinceRead_ || sqlite3_txn_state(db_, "main") == SQLITE_TXN_READ);
}

STATUS Store::Fail(int rc, const char* what) {
    // The system's reason for a failed write: SQLite keeps it only for some
    // calls, and what it does after a failed write (taking the transaction
    // back) leaves errno as the write left it.
    const int systemErrno = sqlite3_system_errno(db_) != 0 ? sqlite3_system_errno(db_) : errno;
    int primary = rc & 0xFF;
    if (rc == SQLITE_READONLY || (readOnly_ && primary == SQLITE_READONLY)) {
        LogLine(ERR_DB_READ_ONLY, "Database %s: %s: the database is read-only", path_.c_str(), what);
        return ERR_DB_READ_ONLY;
    }
    // A write of a batch that read the database before taking the write
    // lock: another writer holds the lock or has changed the database since
    // (what the batch read may be out of date), so it cannot take it.
    if (ChangedSinceRead(rc)) {
        changedSinceRead_ = true;
        LogLine(ERR_DB_CHANGED, "Database %s: %s: another process wrote to the database since this change read it",
                path_.c_str(), what);
        return ERR_DB_CHANGED;
    }
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
        LogLine(ERR_DB_BUSY, "Database %s: %s: another process held the write lock for %d seconds", path_.c_str(),
                what, BusyWaitSeconds());
        return ERR_DB_BUSY;
    }
    if (NoFilesLeft(rc, systemErrno)) {
        LogLine(ERR_TOO_MANY_FILES, "Database %s: %s failed: %s", path_.c_str(), what, std::strerror(systemErrno));
        return ERR_TOO_MANY_FILES;
    }
    if (NoRoom(rc, systemErrno)) {
        LogLine(ERR_DB_FULL, "Database %s: %s failed: %s", path_.c_str(), what,
                primary == SQLITE_FULL ? sqlite3_errmsg(db_) : std::strerror(systemErrno));
        return ERR_DB_FULL;
    }
    LogLine(NOERROR, "Database %s: %s failed: %s", path_.c_str(), what, sqlite3_errmsg(db_));
    return rc == SQLITE_NOMEM ? ERR_NO_MEMORY : ERR_DB_IO;
}

int Store::Run(const char* sql) {
    Statement statement(*statements_, sql);
    int rc = statement.Step();
    return rc == SQLITE_DONE || rc == SQLITE_ROW ? SQLITE_OK : rc;
}

int Store::WriteScope::Begin() {
    sqlite3* db = store_->db_;
    if (store_->readOnly_) return SQLITE_READONLY;
    // Once a write of the batch found the database changed, no later one
    // lands (SQLite may read afresh after such a failure).
    if (store_->changedSinceRead_) return SQLITE_BUSY_SNAPSHOT;
    if (store_->JoinedBatch()) {
        open_ = true;
        joined_ = true;
        return SQLITE_OK;
    }
    int rc;
    if (store_->batchDepth_ > 0) {
        rc = store_->Run(kSavepoint);
    } else {
        sqlite3_busy_timeout(db, BusyWaitSeconds() * 1000);
        rc = store_->Run(kBeginWrite);
    }
    if (rc != SQLITE_OK) return rc;
    open_ = true;
    if (!store_->objectIndexReady_) rc = sqlite3_exec(db, kObjectIndex, nullptr, nullptr, nullptr);
    return rc;
}

namespace {

// The stores open in this process, by the file they hold (device and inode,
// so that two paths of one file find one store).
struct LiveStores {
    std::mutex mutex;
    std::map<std::pair<dev_t, ino_t>, std::weak_ptr<Store>> stores;
};

LiveStores& Live() {
    static auto* live = new LiveStores;
    return *live;
}

} // namespace

STATUS Store::Open(const std::string& path, std::shared_ptr<Store>* store) {
    LiveStores& live = Live();
    std::lock_guard<std::mutex> lock(live.mutex);
    struct stat info {};
    const bool known = ::stat(path.c_str(), &info) == 0;
    const std::pair<dev_t, ino_t> key{info.st_dev, info.st_ino};
    if (known) {
        for (auto it = live.stores.begin(); it != live.stores.end();) {
            it = it->second.expired() ? live.stores.erase(it) : std::next(it);
        }
        auto found = live.stores.find(key);
        if (found != live.stores.end()) {
            if (std::shared_ptr<Store> shared = found->second.lock()) {
                *store = std::move(shared);
                return NOERROR;
            }
        }
    }
    std::shared_ptr<Store> opened;
    const STATUS status = OpenConnection(path, &opened);
    if (status != NOERROR) return status;
    if (known) live.stores[key] = opened;
    *store = std::move(opened);
    return NOERROR;
}

namespace {

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }
bool WritableByUs(const std::string& path) { return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0; }

// Whether this process can write the database at path: the file, and its
// log files, which it makes in the file's folder or finds there.
bool WritableDatabase(const std::string& path) {
    if (!WritableByUs(path)) return false;
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    return WritableByUs(folder) || (WritableByUs(path + "-wal") && WritableByUs(path + "-shm"));
}

// A path as an SQLite URI names it ("file:" and the path, with every byte
// but letters, digits and "/._-~" escaped).
std::string FileUri(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (unsigned char c : path) {
        if (plat::IsAsciiAlnum(static_cast<char>(c)) || std::strchr("/._-~", c) != nullptr) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 0xF];
        }
    }
    return uri;
}

} // namespace

std::vector<std::string> Store::LogFilesOf(const std::string& path) {
    std::vector<std::string> names;
    for (const char* suffix : kLogSuffixes) names.push_back(path + suffix);
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved != nullptr && path != resolved) {
        for (const char* suffix : kLogSuffixes) names.push_back(resolved + std::string(suffix));
    }
    std::free(resolved);
    return names;
}

STATUS Store::OpenReadOnly(const std::string& path, std::shared_ptr<Store>* store) {
    // With log files beside it (a writer has the file open, or left them),
    // the file is read through them, as any reader does. Without them, the
    // file alone holds the whole database, and it is read as it is
    // (immutable): a reader that made them would leave log files that it
    // owns and others cannot write.
    const bool logs = Exists(path + "-wal") && Exists(path + "-shm");
    // A log that holds writes (more than its header) without its index (the
    // file was copied without it, or the index was removed) cannot be read
    // without making the index, and the file alone would show the database
    // as it was before those writes.
    struct stat wal {};
    if (!logs && ::stat((path + "-wal").c_str(), &wal) == 0 && wal.st_size > kLogHeaderBytes) {
        LogLine(ERR_DB_LOG_UNINDEXED, "Database %s: its log %s-wal holds writes and its index %s-shm is missing",
                path.c_str(), path.c_str(), path.c_str());
        return ERR_DB_LOG_UNINDEXED;
    }
    const std::string uri = FileUri(path) + (logs ? "?mode=ro" : "?mode=ro&immutable=1");
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    if (rc != SQLITE_OK) {
        const STATUS status = OpenFailure(db, rc, path);
        sqlite3_close_v2(db);
        return status;
    }
    std::shared_ptr<Store> opened(new Store(db, path, nullptr));
    opened->readOnly_ = true;
    const STATUS status = opened->LoadInfo(false);
    if (status != NOERROR) return status;
    *store = std::move(opened);
    return NOERROR;
}

STATUS Store::OpenConnection(const std::string& path, std::shared_ptr<Store>* store) {
    // A file this user may not read is said to be so, rather than failing
    // as a read that went wrong.
    if (::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) != 0 && errno == EACCES) {
        LogLine(ERR_DB_NO_ACCESS, "Database %s: this user may not read the file", path.c_str());
        return ERR_DB_NO_ACCESS;
    }
    // So is a log file beside it that this user may not read (another
    // user's, with the database open or left so): the database cannot be
    // read without it.
    for (const char* suffix : {"-wal", "-shm"}) {
        const std::string log = path + suffix;
        if (::faccessat(AT_FDCWD, log.c_str(), R_OK, AT_EACCESS) != 0 && errno == EACCES) {
            LogLine(ERR_DB_LOG_NO_ACCESS, "Database %s: this user may not read its log file %s", path.c_str(),
                    log.c_str());
            return ERR_DB_LOG_NO_ACCESS;
        }
    }
    if (!WritableDatabase(path)) return OpenReadOnly(path, store);
    sqlite3* db = nullptr;
    std::unique_ptr<StatementCache> statements;
    if (TakeSpareConnection(path, &db, &statements)) {
        // Already in write-ahead logging. A file that no longer passes the
        // checks is opened afresh below, and fails there as it would have.
        std::shared_ptr<Store> reused(new Store(db, path, std::move(statements)));
        if (reused->LoadInfo(true) == NOERROR) {
            reused->keepConnection_ = true;
            *store = std::move(reused);
            return NOERROR;
        }
        reused.reset();
        db = nullptr;
    }
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        const STATUS status = OpenFailure(db, rc, path);
        sqlite3_close_v2(db);
        return status;
    }
    std::shared_ptr<Store> opened(new Store(db, path, nullptr));
    STATUS status = opened->LoadInfo(false);
    if (status != NOERROR) return status;
    if ((rc = UseWriteAheadLog(db)) != SQLITE_OK) return opened->Fail(rc, "open");
    opened->keepConnection_ = true;
    *store = std::move(opened);
    return NOERROR;
}

STATUS Store::LoadInfo(bool reused) {
    {
        // The first read opens the file's log files: one that cannot be
        // opened or sized (for want of descriptors or of room) says so, not
        // that the file is no database.
        Statement id(*statements_, "PRAGMA application_id");
        if (id.prepareStatus() != SQLITE_OK) {
            int rc = sqlite3_errcode(db_);
            if (NotForTheFile(rc, sqlite3_system_errno(db_))) return Fail(rc, "open");
            return ERR_NOT_A_DATABASE;
        }
        int rc = id.Step();
        if (NotForTheFile(rc, sqlite3_system_errno(db_))) return Fail(rc, "open");
        if (rc != SQLITE_ROW || id.ColumnInt(0) != kApplicationId) return ERR_NOT_A_DATABASE;
    }
    {
        Statement foreign(*statements_, kForeignSchema);
        const int rc = foreign.Step();
        if ((rc & 0xFF) == SQLITE_BUSY || rc == SQLITE_NOMEM) return Fail(rc, "open");
        if (rc == SQLITE_ROW) {
            const BYTE* name = foreign.ColumnBlob(0);
            LogLine(ERR_NOT_A_DATABASE, "Database %s: its schema holds code of its own (a view, a trigger, a virtual "
                    "table or a computed column) in '%.*s'", path_.c_str(), static_cast<int>(foreign.ColumnBytes(0)),
                    name != nullptr ? reinterpret_cast<const char*>(name) : "");
            return ERR_NOT_A_DATABASE;
        }
        if (rc != SQLITE_DONE) {
            LogLine(ERR_NOT_A_DATABASE, "Database %s: its schema cannot be read", path_.c_str());
            return ERR_NOT_A_DATABASE;
        }
    }
    Statement info(*statements_, "SELECT format, replica FROM dbinfo WHERE id = 1");
    if (info.prepareStatus() != SQLITE_OK || info.Step() != SQLITE_ROW) return ERR_NOT_A_DATABASE;
    if (info.ColumnInt(0) != kFormat || !info.ColumnFixed(1, &replicaId_, sizeof replicaId_)) {
        return ERR_NOT_A_DATABASE;
    }
    for (const char* sql : kSchemaChecks) {
        Statement check(*statements_, sql);
        if (check.prepareStatus() != SQLITE_OK) return ERR_NOT_A_DATABASE;
        // A kept statement is prepared again against a changed schema when
        // it runs, and fails when its table no longer fits.
        if (reused && check.Step() != SQLITE_DONE) return ERR_NOT_A_DATABASE;
    }
    return NOERROR;
}

namespace {

// Writes the schema and the database information into a new, empty file,
// which no one else sees yet: without syncs, the caller syncs it once made.
int WriteSchema(sqlite3* db, const DBID& replicaId) {
    std::string pragma = "PRAGMA application_id = " + std::to_string(kApplicationId);
    int rc = sqlite3_exec(db, kPageSize, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
    rc = sqlite3_exec(db, "PRAGMA synchronous=OFF; BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
    rc = sqlite3_exec(db, pragma.c_str(), nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, kObjectIndex, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        Statement insert(db, "INSERT INTO dbinfo(id, format, replica, next_note_id) VALUES (1, ?, ?, ?)");
        insert.Int(1, kFormat);
        insert.Blob(2, &replicaId, sizeof replicaId);
        insert.Int(3, kFirstNoteId);
        rc = insert.Step();
        if (rc == SQLITE_DONE) rc = SQLITE_OK;
    }
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return rc;
    }
    return sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
}

// Syncs a file to disk; false when it fails.
bool SyncFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// Whether name is that of a file a creation of the database named base
// builds it in, or of SQLite's files beside it: base ".new-" PID "-" N, and
// perhaps a log suffix. *pid is the creating process.
bool BuildingFileName(const std::string& name, const std::string& base, long* pid) {
    const std::string prefix = base + ".new-";
    if (name.compare(0, prefix.size(), prefix) != 0) return false;
    const char* at = name.c_str() + prefix.size();
    auto digits = [&at] {
        const char* start = at;
        while (*at >= '0' && *at <= '9') ++at;
        return at > start && at - start <= 10;
    };
    const char* pidStart = at;
    if (!digits() || *at != '-') return false;
    *pid = std::strtol(pidStart, nullptr, 10);
    ++at;
    if (!digits()) return false;
    if (*at == '\0') return true;
    for (const char* suffix : kLogSuffixes) {
        if (std::strcmp(at, suffix) == 0) return true;
    }
    return false;
}

// Removes the files that creations of the database at path left when their
// process ended before they were done (killed): no one links them any more.
// Those of processes still running are theirs.
void RemoveAbandonedBuilds(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = ::readdir(dir)) {
        long pid = 0;
        if (!BuildingFileName(entry->d_name, base, &pid) || pid <= 0 || pid == ::getpid()) continue;
        if (pid > INT_MAX || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

STATUS CreateStatus(int error) {
    switch (error) {
    case EEXIST: return ERR_DB_EXISTS;
    case ENOENT:
    case ENOTDIR: return ERR_BAD_PATH;
    case ENAMETOOLONG: return ERR_PATH_TOO_LONG;
    case EACCES:
    case EROFS: return ERR_DB_CREATE_DENIED;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return ERR_DB_FULL;
    case EMFILE:
    case ENFILE: return ERR_TOO_MANY_FILES;
    default: return ERR_DB_IO;
    }
}

// A name of its own beside path for a file that is to take path's name:
// path ".new-" PID "-" N.
std::string BuildingName(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return path + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

// Makes the new file building (which must not exist) with the schema, its
// log folded into it and synced. Files under its name are left for the
// caller to remove on a failure.
STATUS BuildFile(const std::string& building, const std::string& path, const DBID& replicaId) {
    // Readable and writable as the umask allows, as any new file.
    int fd = ::open(building.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return CreateStatus(errno == EEXIST ? EIO : errno);
    ::close(fd);

    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(building.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK) rc = WriteSchema(db, replicaId);
    const int systemErrno = sqlite3_system_errno(db) != 0 ? sqlite3_system_errno(db) : errno;
    if (rc != SQLITE_OK) LogLine(NOERROR, "Database %s: create failed: %s", path.c_str(), sqlite3_errmsg(db));
    // Closing the only connection folds the log into the file.
    if (sqlite3_close(db) != SQLITE_OK && rc == SQLITE_OK) rc = SQLITE_IOERR;
    if (rc != SQLITE_OK) {
        if (rc == SQLITE_NOMEM) return ERR_NO_MEMORY;
        if (NoFilesLeft(rc, systemErrno)) return ERR_TOO_MANY_FILES;
        return NoRoom(rc, systemErrno) ? ERR_DB_FULL : ERR_DB_IO;
    }
    if (!SyncFile(building)) return CreateStatus(errno);
    return NOERROR;
}

} // namespace

// The file is built complete under a name of its own beside the target and
// then linked to the target's name, which fails when the name is taken: two
// creators cannot both succeed, and no one ever opens a file half made.
STATUS Store::Create(const std::string& path, const DBID& replicaId, std::shared_ptr<Store>* store) {
    if (::access(path.c_str(), F_OK) == 0) return ERR_DB_EXISTS;
    RemoveAbandonedBuilds(path);
    std::string building = BuildingName(path);
    STATUS status = BuildFile(building, path, replicaId);
    if (status == NOERROR && ::link(building.c_str(), path.c_str()) != 0) status = CreateStatus(errno);
    RemoveFiles(building);
    if (status != NOERROR) return status;
    status = Open(path, store);
    if (status == NOERROR) status = (*store)->StartLog();
    if (status != NOERROR) store->reset();
    return status;
}

// The file is built under the name a creation of path builds in, and stays
// there, open, until Publish.
STATUS Store::CreateAside(const std::string& path, const DBID& replicaId, std::string* aside,
                          std::shared_ptr<Store>* store) {
    if (::access(path.c_str(), F_OK) == 0) return ERR_DB_EXISTS;
    RemoveAbandonedBuilds(path);
    *aside = BuildingName(path);
    STATUS status = BuildFile(*aside, path, replicaId);
    if (status == NOERROR) status = Open(*aside, store);
    if (status == NOERROR) status = (*store)->StartLog();
    if (status != NOERROR) {
        store->reset();
        DiscardAside(*aside);
    }
    return status;
}

STATUS Store::Publish(const std::string& aside, const std::string& path) {
    // A connection kept for the file closes first: everything written is
    // then in the file, and its log files go with it.
    CloseSpareConnections(aside);
    STATUS status = NOERROR;
    if (!SyncFile(aside)) {
        status = CreateStatus(errno);
    } else if (::link(aside.c_str(), path.c_str()) != 0) {
        status = CreateStatus(errno);
    }
    RemoveFiles(aside);
    return status;
}

void Store::DiscardAside(const std::string& aside) {
    CloseSpareConnections(aside);
    RemoveFiles(aside);
}

// The first write after the log is made writes the log's header and syncs
// it, with the directory that now holds the log (and the file's new name).
// A new database does that here, with a write that changes nothing (the
// user version SQLite keeps, set to what it is), so that a new database is
// on disk under its name when created and its first update costs what any
// other does.
STATUS Store::StartLog() {
    int rc = Run(kBeginWrite);
    if (rc == SQLITE_OK) rc = Run(kKeepUserVersion);
    if (rc == SQLITE_OK) rc = Run(kCommit);
    if (rc == SQLITE_OK) return NOERROR;
    STATUS status = Fail(rc, "create");
    Run(kRollback);
    return status;
}

void Store::SetCacheSize(int kib) {
    const std::string pragma = "PRAGMA cache_size = -" + std::to_string(kib);
    sqlite3_exec(db_, pragma.c_str(), nullptr, nullptr, nullptr);   // only a setting: the batch works without it
}

STATUS Store::BeginBatch(BatchWrites writes, BatchLock lock) {
    if (readOnly_) {
        LogLine(ERR_DB_READ_ONLY, "Database %s: start a batch of writes: the database is read-only", path_.c_str());
        return ERR_DB_READ_ONLY;
    }
    const bool joined = writes == BatchWrites::Joined;
    // A batch of joined writes is a large one (an import): it keeps more
    // pages, until the outermost such batch ends.
    const bool growCache = joined && !InJoinedBatch();
    if (growCache) SetCacheSize(kBatchCacheKiB);
    if (batchDepth_ > 0) {
        // Inside another batch: a savepoint of it.
        const int rc = Run(kBatchSavepoint);
        if (rc != SQLITE_OK) {
            if (growCache) SetCacheSize(kCacheKiB);
            return Fail(rc, "start a batch of writes");
        }
        batchMarks_.push_back({batchAllocated_.size(), batchStored_.size(), joined, false});
        ++batchDepth_;
        return NOERROR;
    }
    sqlite3_busy_timeout(db_, BusyWaitSeconds() * 1000);
    const bool atFirstWrite = lock == BatchLock::AtFirstWrite;
    // A batch that takes the lock with its first write makes the object
    // index, when it is missing, with its first write too.
    int rc = Run(atFirstWrite ? kBeginRead : kBeginWrite);
    if (rc == SQLITE_OK && !objectIndexReady_ && !atFirstWrite) {
        rc = sqlite3_exec(db_, kObjectIndex, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) Run(kRollback);
    }
    if (rc != SQLITE_OK) {
        if (growCache) SetCacheSize(kCacheKiB);
        return Fail(rc, "start a batch of writes");
    }
    batchDepth_ = 1;
    lockAtFirstWrite_ = atFirstWrite;
    changedSinceRead_ = false;
    unwrittenObjectId_ = 0;
    // The index made in the batch goes if the batch is abandoned.
    indexBeforeBatch_ = objectIndexReady_;
    if (!atFirstWrite) objectIndexReady_ = true;
    batchAllocated_.clear();
    batchStored_.clear();
    batchMarks_.assign(1, {0, 0, joined, false});
    return NOERROR;
}

STATUS Store::CommitBatch() {
    if (batchDepth_ == 0) return ERR_BAD_ARGUMENT;
    // A batch in which a joined write failed half done cannot be kept: like
    // any batch whose commit fails, it stays open for its caller to abandon.
    if (batchMarks_.back().spoiled) {
        LogLine(ERR_DB_IO, "Database %s: a batch of writes in which a write failed cannot be kept", path_.c_str());
        return ERR_DB_IO;
    }
    if (changedSinceRead_) {
        LogLine(ERR_DB_CHANGED, "Database %s: a batch of writes that read the database before another process "
                "wrote to it cannot be kept", path_.c_str());
        return ERR_DB_CHANGED;
    }
    if (batchDepth_ > 1) {
        // What the inner batch stored stays the outer one's to give back.
        const int rc = Run(kReleaseBatch);
        if (rc != SQLITE_OK) return Fail(rc, "commit a batch of writes");
        PopBatchMark();
        --batchDepth_;
        return NOERROR;
    }
    // Object ids given out before the batch wrote anything: the sequence
    // goes past them, so that no one gives them out again.
    if (unwrittenObjectId_ != 0) {
        WriteScope scope(this);
        int rc = scope.Begin();
        if (rc == SQLITE_OK) rc = RaiseObjectSequence(unwrittenObjectId_, 0);
        if (rc == SQLITE_OK) rc = scope.Commit();
        if (rc != SQLITE_OK) return Fail(rc, "commit a batch of writes");
        unwrittenObjectId_ = 0;
    }
    int rc = Run(kCommit);
    if (rc != SQLITE_OK) return Fail(rc, "commit a batch of writes");
    PopBatchMark();
    batchDepth_ = 0;
    lockAtFirstWrite_ = false;
    batchAllocated_.clear();
    batchStored_.clear();
    batchMarks_.clear();
    return NOERROR;
}

void Store::AbortBatch() {
    if (batchDepth_ == 0) return;
    if (batchDepth_ > 1) {
        Run(kRollbackToBatch);
        Run(kReleaseBatch);
    } else {
        Run(kRollback);
        objectIndexReady_ = indexBeforeBatch_;
        lockAtFirstWrite_ = false;
        changedSinceRead_ = false;
        unwrittenObjectId_ = 0;
    }
    ObjectsRolledBack();
    PopBatchMark();
    --batchDepth_;
}

void Store::PopBatchMark() {
    const bool joined = batchMarks_.back().joined;
    batchMarks_.pop_back();
    if (joined && !InJoinedBatch()) SetCacheSize(kCacheKiB);
}

bool Store::InJoinedBatch() const {
    for (const BatchMark& mark : batchMarks_) {
        if (mark.joined) return true;
    }
    return false;
}

bool NoteIdStorable(long long id) { return id >= 1 && id < kNoteIdLimit; }

STATUS Store::ReadHeader(NOTEID id, NoteHeader* header) {
    if (!NoteIdStorable(id)) return ERR_NOTE_NOT_FOUND;
    Statement select(*statements_, "SELECT oid, class, created, modified, accessed, added, encrypted FROM notes"
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
    Statement select(*statements_, "SELECT note_id FROM notes WHERE unid = ?");
    if (select.prepareStatus() != SQLITE_OK) return Fail(select.prepareStatus(), "find note");
    select.Blob(1, &unid, sizeof unid);
    int rc = select.Step();
    if (rc == SQLITE_DONE) return ERR_UNID_NOT_FOUND;
    if (rc != SQLITE_ROW) return Fail(rc, "find note");
    const sqlite3_int64 found = select.ColumnInt(0);
    if (!NoteIdStorable(found)) return ERR_UNID_NOT_FOUND;
    *id = static_cast<NOTEID>(found);
    return NOERROR;
}

STATUS Store::ReadItems(NOTEID id, std::vector<StoredItem>* items) {
    Statement select(*statements_, "SELECT name, flags, value, item_id FROM items WHERE note_id = ? ORDER BY position");
    if (select.prepareStatus() != SQLITE_OK) return Fail(select.prepareStatus(), "read items");
    select.Int(1, id);
    std::vector<StoredItem> read;
    int rc;
    // Items that do not fit in memory fail the read (ERR_NO_MEMORY): every
    // reader of a note's items (an open, the check) then reports it.
    try {
        while ((rc = select.Step()) == SQLITE_ROW) {
            StoredItem item;
            const BYTE* name = select.ColumnBlob(0);
            size_t nameLength = select.ColumnBytes(0);
            const BYTE* value = select.ColumnBlob(2);
            size_t valueLength = select.ColumnBytes(2);
            if (nameLength < 1 || nameLength > 255 || valueLength < 2) {
                LogLine(ERR_DB_IO, "Database %s: note 0x%X has a damaged item", path_.c_str(), id);
                return ERR_DB_IO;
            }
            item.row = select.ColumnInt(3);
            item.data.name.assign(reinterpret_cast<const char*>(name), nameLength);
            item.data.flags = static_cast<WORD>(select.ColumnInt(1));
            item.data.value.assign(value, value + valueLength);
            read.push_back(std::move(item));
        }
    } catch (const std::bad_alloc&) {
        return ERR_NO_MEMORY;
    }
    if (rc != SQLITE_DONE) return Fail(rc, "read items");
    *items = std::move(read);
    return NOERROR;
}

STATUS Store::ReadNote(NOTEID id, NoteHeader* header, std::vector<StoredItem>* items) {
    // Inside a transaction (a batch) the reads share its view already.
    const bool own = sqlite3_get_autocommit(db_) != 0;
    if (own) {
        const int rc = Run(kBeginRead);
        if (rc != SQLITE_OK) return Fail(rc, "read note");
    }
    STATUS status = NOERROR;
    try {
        status = ReadHeader(id, header);
        if (status == NOERROR) status = ReadItems(id, items);
    } catch (const std::bad_alloc&) {
        // The items did not fit in memory: the read fails, and the
        // transaction it began ends below all the same.
        status = ERR_NO_MEMORY;
    }
    if (own) {
        // A transaction that only read has nothing to keep: ending it cannot
        // lose anything, and it frees the log for others to fold.
        const int rc = Run(kCommit);
        if (rc != SQLITE_OK) Run(kRollback);
    }
    return status;
}

STATUS Store::NextNoteId(NOTEID* id) {
    Statement select(*statements_, "SELECT next_note_id FROM dbinfo WHERE id = 1");
    int rc = select.Step();
    if (rc != SQLITE_ROW) return Fail(rc, "assign a note id");
    sqlite3_int64 next = select.ColumnInt(0);
    while (next < kNoteIdLimit && ReservedNoteId(static_cast<NOTEID>(next))) next += kNoteIdStep;
    if (next < kFirstNoteId || next >= kNoteIdLimit) {
        LogLine(ERR_NOTE_UPDATE, "Database %s: no note ids left", path_.c_str());
        return ERR_NOTE_UPDATE;
    }
    Statement update(*statements_, "UPDATE dbinfo SET next_note_id = ? WHERE id = 1");
    update.Int(1, next + kNoteIdStep);
    rc = update.Step();
    if (rc != SQLITE_DONE) return Fail(rc, "assign a note id");
    *id = static_cast<NOTEID>(next);
    return NOERROR;
}

STATUS Store::DeleteNote(NOTEID id) {
    if (!NoteIdStorable(id)) return ERR_NOTE_NOT_FOUND;
    WriteScope scope(this);
    int rc = scope.Begin();
    if (rc != SQLITE_OK) return Fail(rc, "delete note");
    std::set<DWORD> named;
    STATUS status = NamedObjects(id, &named);
    if (status != NOERROR) return status;
    Statement note(*statements_, "DELETE FROM notes WHERE note_id = ?");
    note.Int(1, id);
    rc = note.Step();
    if (rc != SQLITE_DONE) return Fail(rc, "delete note");
    if (sqlite3_changes(db_) == 0) return ERR_NOTE_NOT_FOUND;
    Statement items(*statements_, "DELETE FROM items WHERE note_id = ?");
    items.Int(1, id);
    rc = items.Step();
    if (rc != SQLITE_DONE) return Fail(rc, "delete note");
    status = FreeUnnamedObjects(named);
    if (status != NOERROR) return status;
    rc = scope.Commit();
    return rc == SQLITE_OK ? NOERROR : Fail(rc, "delete note");
}

STATUS Store::ListNotes(std::vector<std::pair<NOTEID, WORD>>* notes) {
    Statement select(*statements_, "SELECT note_id, class FROM notes WHERE note_id BETWEEN 1 AND ? ORDER BY note_id");
    if (select.prepareStatus() != SQLITE_OK) return Fail(select.prepareStatus(), "list notes");
    select.Int(1, kNoteIdLimit - 1);
    notes->clear();
    int rc;
    while ((rc = select.Step()) == SQLITE_ROW) {
        notes->emplace_back(static_cast<NOTEID>(select.ColumnInt(0)), static_cast<WORD>(select.ColumnInt(1)));
    }
    return rc == SQLITE_DONE ? NOERROR : Fail(rc, "list notes");
}

} // namespace plat
