// Connections kept after their store closes, for the next open of the same
// file in this process.
//
// Opening a file costs far more than the reads that follow: SQLite opens the
// file, makes its log and shared-memory files, reads and parses the schema,
// and closing the last connection folds the log back into the file and
// removes those files again. A store that closes hands its connection here
// instead; the next open of the same file takes it back, with its parsed
// schema, its prepared statements and the pages it read, and checks the
// file's mark, information and tables again through it.
//
// A connection is kept only while it holds the file as a closing last
// connection would leave it: everything written is folded into the file and
// the log is empty, so the file on disk is complete and others (a copy, a
// process of its own) see all of it. It is handed out again only while the
// file is the same one, unchanged outside SQLite: device, inode, size,
// change times and the 100-byte header as they were when it was kept.
// Anything else closes it and the file is opened afresh.
//
// A kept connection whose file is gone or replaced is closed without
// removing its log files by name, since those names may belong to another
// file by now; one that may share them with a newer file at its path is
// left alone (never closed).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "store_sql.h"

namespace plat {

namespace {

constexpr size_t kMaxSpares = 4;
constexpr size_t kHeaderBytes = 100;

// What the file and its log files are while a connection is kept.
struct FileState {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};
    unsigned char header[kHeaderBytes] = {};
    ino_t logInode = 0;      // 0: no such file
    ino_t sharedInode = 0;

    bool Unchanged(const FileState& other) const {
        return device == other.device && inode == other.inode && size == other.size && modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec && changed.tv_sec == other.changed.tv_sec &&
               changed.tv_nsec == other.changed.tv_nsec && std::memcmp(header, other.header, kHeaderBytes) == 0;
    }
};

ino_t InodeOf(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// Whether path names the file a connection was kept for.
bool StillNames(const std::string& path, const FileState& file) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && info.st_dev == file.device && info.st_ino == file.inode;
}

// Whether the connection's file was removed or replaced under the name it
// was opened by since the connection opened it.
bool FileMoved(sqlite3* db) {
    int moved = 0;
    return sqlite3_file_control(db, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK && moved != 0;
}

// Whether the path now leads to another file than the connection's: the
// file moved, or the path is a symbolic link pointed elsewhere since. The
// path's identity would then describe the other file, not the one the
// connection reads and writes.
bool PathNamesAnotherFile(sqlite3* db, const std::string& path) {
    if (FileMoved(db)) return true;
    // The name the connection opened, its links resolved.
    const char* opened = sqlite3_db_filename(db, "main");
    struct stat named, own;
    return opened != nullptr && opened[0] != '\0' && ::stat(path.c_str(), &named) == 0 && ::stat(opened, &own) == 0 &&
           (named.st_dev != own.st_dev || named.st_ino != own.st_ino);
}

// The file's identity and header; false when it cannot be read, or when the
// path no longer names the connection's file. The header
// is read through the connection's own handle of the file: opening and
// closing another one would end every lock this process holds on the file
// (such locks belong to the process and go with any of its handles), and
// another process could then fold and remove the log this one still uses.
bool ReadFileState(sqlite3* db, const std::string& path, FileState* state) {
    struct stat info;
    if (PathNamesAnotherFile(db, path) || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || file == nullptr ||
        file->pMethods == nullptr ||
        file->pMethods->xRead(file, state->header, static_cast<int>(kHeaderBytes), 0) != SQLITE_OK)
        return false;
    state->device = info.st_dev;
    state->inode = info.st_ino;
    state->size = info.st_size;
    state->modified = info.st_mtim;
    state->changed = info.st_ctim;
    return true;
}

struct Spare {
    std::string path;
    pid_t process = 0;
    sqlite3* db = nullptr;
    std::unique_ptr<StatementCache> statements;
    FileState file;
};

struct SparePool {
    std::mutex mutex;
    std::vector<Spare> spares;           // oldest first
    std::vector<Spare> leftAlone;        // never closed (see CloseSpare)
    bool exiting = false;
};

void CloseConnection(sqlite3* db, std::unique_ptr<StatementCache> statements) {
    statements.reset();
    sqlite3_close_v2(db);
}

// Closes a kept connection. Closing the last connection of a file removes
// its log files by name, which is right only while the path still names
// this file.
void CloseSpare(SparePool& pool, Spare spare) {
    // A process made by fork shares the connection's file locks with its
    // parent only in part: the child leaves it alone.
    if (spare.process != ::getpid()) {
        pool.leftAlone.push_back(std::move(spare));
        return;
    }
    if (StillNames(spare.path, spare.file)) {
        CloseConnection(spare.db, std::move(spare.statements));
        return;
    }
    // The file was removed or replaced. Its log files, if their names still
    // hold them, may serve a newer file at the path: leave them be.
    if ((spare.file.logInode != 0 && InodeOf(spare.path + "-wal") == spare.file.logInode) ||
        (spare.file.sharedInode != 0 && InodeOf(spare.path + "-shm") == spare.file.sharedInode)) {
        pool.leftAlone.push_back(std::move(spare));
        return;
    }
    int persist = 1;
    sqlite3_file_control(spare.db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    CloseConnection(spare.db, std::move(spare.statements));
}

SparePool& Pool();

// Closes the kept connections when the process ends, so that no log files
// stay beside the databases.
struct CloseAtExit {
    ~CloseAtExit() {
        SparePool& pool = Pool();
        std::lock_guard<std::mutex> lock(pool.mutex);
        pool.exiting = true;
        std::vector<Spare> spares = std::move(pool.spares);
        pool.spares.clear();
        for (Spare& spare : spares) CloseSpare(pool, std::move(spare));
    }
};

SparePool& Pool() {
    // Never destroyed: connections left alone stay reachable.
    static auto* pool = new SparePool;
    static CloseAtExit closer;
    return *pool;
}

// Folds the log into the file and empties it, without waiting for anyone;
// false when others are reading or writing (the connection is then closed
// as it always was).
bool FoldLog(sqlite3* db) {
    sqlite3_busy_timeout(db, 0);
    int frames = -1, folded = -1;
    int rc = sqlite3_wal_checkpoint_v2(db, "main", SQLITE_CHECKPOINT_PASSIVE, &frames, &folded);
    if (rc == SQLITE_OK && frames > 0)
        rc = sqlite3_wal_checkpoint_v2(db, "main", SQLITE_CHECKPOINT_TRUNCATE, &frames, &folded);
    return rc == SQLITE_OK && frames == 0;
}

} // namespace

bool TakeSpareConnection(const std::string& path, sqlite3** db, std::unique_ptr<StatementCache>* statements) {
    SparePool& pool = Pool();
    std::lock_guard<std::mutex> lock(pool.mutex);
    for (auto it = pool.spares.begin(); it != pool.spares.end(); ++it) {
        if (it->path != path) continue;
        Spare spare = std::move(*it);
        pool.spares.erase(it);
        FileState now;
        if (spare.process == ::getpid() && ReadFileState(spare.db, path, &now) && now.Unchanged(spare.file)) {
            *db = spare.db;
            *statements = std::move(spare.statements);
            return true;
        }
        CloseSpare(pool, std::move(spare));
        return false;
    }
    return false;
}

void CloseSpareConnections(const std::string& path) {
    SparePool& pool = Pool();
    std::lock_guard<std::mutex> lock(pool.mutex);
    for (auto it = pool.spares.begin(); it != pool.spares.end();) {
        if (it->path != path) {
            ++it;
            continue;
        }
        Spare spare = std::move(*it);
        it = pool.spares.erase(it);
        CloseSpare(pool, std::move(spare));
    }
}

void KeepConnection(const std::string& path, sqlite3* db, std::unique_ptr<StatementCache> statements) {
    Spare spare;
    spare.path = path;
    spare.process = ::getpid();
    spare.db = db;
    spare.statements = std::move(statements);
    // The name the connection opened (its links resolved), which its log
    // files are named after.
    const char* opened = sqlite3_db_filename(db, "main");
    const std::string own = opened != nullptr && opened[0] != '\0' ? opened : path;
    struct stat info;
    if (FileMoved(db) && ::stat(own.c_str(), &info) == 0) {
        // Its file was replaced while it was open: kept, it would be handed
        // out for the file at the path now. Its log is not folded (the log
        // files under its name may be the newer file's); it is closed as a
        // kept connection whose file went. (A file removed with nothing in
        // its place is closed below, as it always was.)
        spare.path = own;
        spare.file.logInode = InodeOf(own + "-wal");
        spare.file.sharedInode = InodeOf(own + "-shm");
        SparePool& pool = Pool();
        std::lock_guard<std::mutex> lock(pool.mutex);
        CloseSpare(pool, std::move(spare));
        return;
    }
    if (!FoldLog(db) || !ReadFileState(db, path, &spare.file)) {
        CloseConnection(db, std::move(spare.statements));
        return;
    }
    spare.file.logInode = InodeOf(path + "-wal");
    spare.file.sharedInode = InodeOf(path + "-shm");

    SparePool& pool = Pool();
    std::lock_guard<std::mutex> lock(pool.mutex);
    if (pool.exiting) {
        CloseSpare(pool, std::move(spare));
        return;
    }
    for (auto it = pool.spares.begin(); it != pool.spares.end(); ++it) {
        if (it->path == path) {
            Spare older = std::move(*it);
            pool.spares.erase(it);
            CloseSpare(pool, std::move(older));
            break;
        }
    }
    if (pool.spares.size() >= kMaxSpares) {
        Spare oldest = std::move(pool.spares.front());
        pool.spares.erase(pool.spares.begin());
        CloseSpare(pool, std::move(oldest));
    }
    pool.spares.push_back(std::move(spare));
}

} // namespace plat
