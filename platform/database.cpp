// Paths, databases and database objects.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <new>
#include <random>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "ascii_text.h"
#include "notes_internal.h"
#include "status_codes.h"
#include "store_sql.h"
#include "talix_platform/database.h"
#include "talix_platform/log.h"
#include "talix_platform/memory.h"
#include "talix_platform/timedate.h"

namespace plat {

std::recursive_mutex& StorageMutex() {
    static auto* mutex = new std::recursive_mutex;
    return *mutex;
}

HandleTable<OpenDatabase>& Databases() {
    static auto* table = new HandleTable<OpenDatabase>;
    return *table;
}

DWORD RandomDword() {
    static std::mutex mutex;
    static std::mt19937 engine{std::random_device{}()};
    std::lock_guard<std::mutex> lock(mutex);
    return static_cast<DWORD>(engine());
}

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

void CopyOut(const std::string& text, char* out) {
    std::memcpy(out, text.data(), text.size());
    out[text.size()] = '\0';
}

STATUS Split(const char* path, std::string* server, std::string* file) {
    if (path == nullptr) return ERR_BAD_ARGUMENT;
    std::string_view text(path);
    size_t bang = text.find("!!");
    std::string_view serverPart = bang == std::string_view::npos ? std::string_view() : text.substr(0, bang);
    std::string_view filePart = bang == std::string_view::npos ? text : text.substr(bang + 2);
    if (serverPart.size() > MAXPATH || filePart.size() > MAXPATH) return ERR_PATH_TOO_LONG;
    server->assign(serverPart);
    file->assign(filePart);
    return NOERROR;
}

// An empty server, or the one notes.ini "ServerName" names, is this machine.
bool IsLocalServer(const char* server) {
    if (server == nullptr || *server == '\0') return true;
    char local[MAXPATH + 1];
    return IniGetText("ServerName", local, sizeof local) && local[0] != '\0' && plat::CompareNoCase(local, server) == 0;
}

std::string DataDirectoryPath() {
    char configured[4096];
    std::string dir;
    if (IniGetText("Directory", configured, sizeof configured)) dir = configured;
    for (char& c : dir) {
        if (c == '\\') c = '/';
    }
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (dir.empty()) {
        std::error_code ec;
        dir = std::filesystem::current_path(ec).string();
        if (ec) dir = ".";
    }
    return dir;
}

// The file a path names, and the path as DbPath shows it.
STATUS ResolvePath(const char* path, std::string* full, std::string* shown) {
    std::string server, file;
    STATUS status = Split(path, &server, &file);
    if (status != NOERROR) return status;
    if (!IsLocalServer(server.c_str())) return ERR_SERVER_UNREACHABLE;
    for (char& c : file) {
        if (c == '\\') c = '/';
    }
    if (file.empty() || file.back() == '/') return ERR_BAD_PATH;
    std::string dir = DataDirectoryPath();
    std::filesystem::path resolved = file[0] == '/' ? std::filesystem::path(file)
                                                    : std::filesystem::path(dir) / file;
    *full = resolved.lexically_normal().string();
    std::string below = std::filesystem::path(dir).lexically_normal().string();
    if (below.empty() || below.back() != '/') below += '/';
    *shown = full->compare(0, below.size(), below) == 0 ? full->substr(below.size()) : *full;
    return NOERROR;
}

OpenDatabase* FindDatabase(DBHANDLE db) { return Databases().Find(db); }

STATUS Register(std::shared_ptr<Store> store, std::string shown, DBHANDLE* db) {
    auto open = std::make_unique<OpenDatabase>();
    open->store = std::move(store);
    open->shownPath = std::move(shown);
    Lock lock(StorageMutex());
    *db = Databases().Add(std::move(open));
    return NOERROR;
}

// Releases one level of the handle's write lock: what was written lands, or,
// when that fails, goes.
STATUS ReleaseWriteLock(OpenDatabase& open) {
    --open.writeLocks;
    const STATUS status = open.store->CommitBatch();
    if (status != NOERROR) open.store->AbortBatch();
    return status;
}

} // namespace

STATUS PathNetBuild(const char* server, const char* file, char* out) {
    if (file == nullptr || out == nullptr) return ERR_BAD_ARGUMENT;
    out[0] = '\0';
    std::string path = IsLocalServer(server) ? std::string(file) : std::string(server) + "!!" + file;
    if (path.size() > MAXPATH) return ERR_PATH_TOO_LONG;
    CopyOut(path, out);
    return NOERROR;
}

STATUS PathNetSplit(const char* path, char* server, char* file) {
    if (server != nullptr) server[0] = '\0';
    if (file != nullptr) file[0] = '\0';
    std::string serverPart, filePart;
    STATUS status = Split(path, &serverPart, &filePart);
    if (status != NOERROR) return status;
    if (server != nullptr) CopyOut(serverPart, server);
    if (file != nullptr) CopyOut(filePart, file);
    return NOERROR;
}

WORD DataDirectory(char* out, WORD limit) {
    if (out == nullptr || limit == 0) return 0;
    std::string dir = DataDirectoryPath();
    size_t length = dir.size() < static_cast<size_t>(limit - 1) ? dir.size() : limit - 1;
    std::memcpy(out, dir.data(), length);
    out[length] = '\0';
    return static_cast<WORD>(length);
}

STATUS DbOpen(const char* path, DBHANDLE* db) {
    if (db == nullptr) return ERR_BAD_ARGUMENT;
    *db = NULLHANDLE;
    std::string full, shown;
    STATUS status = ResolvePath(path, &full, &shown);
    if (status != NOERROR) return status;
    struct stat info;
    if (::stat(full.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return ERR_FILE_NOT_FOUND;
        if (errno == EACCES) return ERR_DB_NO_ACCESS;
        return errno == ENAMETOOLONG ? ERR_PATH_TOO_LONG : ERR_DB_IO;
    }
    if (!S_ISREG(info.st_mode)) return ERR_NOT_A_DATABASE;
    std::shared_ptr<Store> store;
    status = Store::Open(full, &store);
    if (status != NOERROR) return status;
    return Register(std::move(store), std::move(shown), db);
}

namespace {

// A replica id for a new database: random, with the creation time beside it.
DBID NewReplicaId() {
    TIMEDATE now;
    CurrentTime(&now);
    DBID replica;
    replica.Innards[0] = RandomDword();
    replica.Innards[1] = now.Innards[1];
    return replica;
}

// A new database for path, made by create (given the full path and a new
// replica id) and registered under a handle; *full is the full path.
template <typename Create>
STATUS CreateDatabase(const char* path, DBHANDLE* db, std::string* full, Create create) {
    if (db == nullptr) return ERR_BAD_ARGUMENT;
    *db = NULLHANDLE;
    std::string shown;
    STATUS status = ResolvePath(path, full, &shown);
    if (status != NOERROR) return status;
    std::shared_ptr<Store> store;
    status = create(*full, NewReplicaId(), &store);
    if (status != NOERROR) return status;
    return Register(std::move(store), std::move(shown), db);
}

} // namespace

STATUS DbCreate(const char* path, DBHANDLE* db) {
    std::string full;
    return CreateDatabase(path, db, &full, Store::Create);
}

STATUS DbCreateAside(const char* path, DBHANDLE* db, std::string* asidePath) {
    std::string full, aside;
    bool made = false;
    const STATUS status = CreateDatabase(path, db, &full,
                                         [&](const std::string& target, const DBID& replica,
                                             std::shared_ptr<Store>* store) {
                                             const STATUS created = Store::CreateAside(target, replica, &aside, store);
                                             made = created == NOERROR;
                                             return created;
                                         });
    if (status != NOERROR) {
        // Only a database this call made goes: a failed creation may have
        // met another's under the same name.
        if (made) Store::DiscardAside(aside);
        return status;
    }
    Lock lock(StorageMutex());
    FindDatabase(*db)->publishAs = full;
    if (asidePath != nullptr) *asidePath = aside;
    return NOERROR;
}

namespace {

// Closes a handle DbCreateAside gave; the database's file (not yet under its
// name) in *aside and the path it was made for in *target.
STATUS CloseAside(DBHANDLE db, std::string* aside, std::string* target) {
    {
        Lock lock(StorageMutex());
        OpenDatabase* open = FindDatabase(db);
        if (open == nullptr) return ERR_INVALID_HANDLE;
        if (open->publishAs.empty()) return ERR_BAD_ARGUMENT;
        *aside = open->store->Path();
        *target = open->publishAs;
    }
    return DbClose(db);
}

} // namespace

STATUS DbPublish(DBHANDLE db) {
    std::string aside, target;
    STATUS status = CloseAside(db, &aside, &target);
    if (status == ERR_INVALID_HANDLE || status == ERR_BAD_ARGUMENT) return status;
    if (status != NOERROR) {
        Store::DiscardAside(aside);
        return status;
    }
    Lock lock(StorageMutex());
    return Store::Publish(aside, target);
}

STATUS DbDiscard(DBHANDLE db) {
    std::string aside, target;
    const STATUS status = CloseAside(db, &aside, &target);
    if (status == ERR_INVALID_HANDLE || status == ERR_BAD_ARGUMENT) return status;
    Lock lock(StorageMutex());
    Store::DiscardAside(aside);
    return status;
}

STATUS DbClose(DBHANDLE db) {
    Lock lock(StorageMutex());
    OpenDatabase* open = FindDatabase(db);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    // A write lock the handle still holds lands with it.
    STATUS status = NOERROR;
    while (open->writeLocks > 0) {
        const STATUS released = ReleaseWriteLock(*open);
        if (status == NOERROR) status = released;
    }
    Databases().Remove(db);
    return status;
}

STATUS DbWriteLock(DBHANDLE db) {
    Lock lock(StorageMutex());
    OpenDatabase* open = FindDatabase(db);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    const STATUS status = open->store->BeginBatch();
    if (status == NOERROR) ++open->writeLocks;
    return status;
}

STATUS DbWriteLockDeferred(DBHANDLE db) {
    Lock lock(StorageMutex());
    OpenDatabase* open = FindDatabase(db);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    const STATUS status = open->store->BeginBatch(BatchWrites::Savepoints, BatchLock::AtFirstWrite);
    if (status == NOERROR) ++open->writeLocks;
    return status;
}

bool DbWriteLockHeld(DBHANDLE db) {
    Lock lock(StorageMutex());
    OpenDatabase* open = FindDatabase(db);
    return open != nullptr && open->store->InBatch();
}

bool DbIsReadOnly(DBHANDLE db) {
    Lock lock(StorageMutex());
    OpenDatabase* open = FindDatabase(db);
    return open != nullptr && open->store->ReadOnly();
}

STATUS DbWriteUnlock(DBHANDLE db) {
    Lock lock(StorageMutex());
    OpenDatabase* open = FindDatabase(db);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    if (open->writeLocks == 0) return ERR_BAD_ARGUMENT;
    return ReleaseWriteLock(*open);
}

STATUS DbDelete(const char* path) {
    std::string full, shown;
    STATUS status = ResolvePath(path, &full, &shown);
    if (status != NOERROR) return status;
    struct stat info;
    if (::stat(full.c_str(), &info) != 0) return errno == ENOENT || errno == ENOTDIR ? ERR_FILE_NOT_FOUND : ERR_DB_IO;
    if (!S_ISREG(info.st_mode)) return ERR_NOT_A_DATABASE;
    Lock lock(StorageMutex());
    {
        // Only a database of ours is deleted; opening it tells.
        std::shared_ptr<Store> store;
        status = Store::Open(full, &store);
        if (status != NOERROR) return status;
    }
    // Connections kept for the file close while it is there, taking its log
    // files with them.
    CloseSpareConnections(full);
    if (::unlink(full.c_str()) == 0) return NOERROR;
    return errno == ENOENT ? ERR_FILE_NOT_FOUND : ERR_DB_IO;
}

STATUS DbPath(DBHANDLE db, char* out, WORD limit) {
    if (out == nullptr || limit == 0) return ERR_BAD_ARGUMENT;
    out[0] = '\0';
    Lock lock(StorageMutex());
    OpenDatabase* open = FindDatabase(db);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    if (open->shownPath.size() >= limit) return ERR_PATH_TOO_LONG;
    CopyOut(open->shownPath, out);
    return NOERROR;
}

std::vector<DatabaseFiles> OpenDatabaseFiles() {
    std::vector<std::string> paths;
    {
        Lock lock(StorageMutex());
        Databases().ForEach([&](const OpenDatabase& open) {
            const std::string& path = open.store->Path();
            if (std::find(paths.begin(), paths.end(), path) == paths.end()) paths.push_back(path);
        });
    }
    std::vector<DatabaseFiles> files;
    for (std::string& path : paths) files.push_back({path, Store::LogFilesOf(path)});
    return files;
}

STATUS DbReplicaId(DBHANDLE db, DBID* id) {
    if (id == nullptr) return ERR_BAD_ARGUMENT;
    Lock lock(StorageMutex());
    OpenDatabase* open = FindDatabase(db);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    *id = open->store->ReplicaId();
    return NOERROR;
}

STATUS DbCheck(DBHANDLE db, std::vector<DbProblem>* problems) {
    if (problems == nullptr) return ERR_BAD_ARGUMENT;
    problems->clear();
    Lock lock(StorageMutex());
    OpenDatabase* open = FindDatabase(db);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    try {
        return open->store->Check(problems);
    } catch (const std::bad_alloc&) {
        // The findings did not fit in memory: the check fails, and says so.
        problems->clear();
        return ERR_NO_MEMORY;
    }
}

STATUS DbBeginBatch(DBHANDLE db) {
    Lock lock(StorageMutex());
    OpenDatabase* open = FindDatabase(db);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    return open->store->BeginBatch(BatchWrites::Joined);
}

STATUS DbCommitBatch(DBHANDLE db) {
    Lock lock(StorageMutex());
    OpenDatabase* open = FindDatabase(db);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    return open->store->CommitBatch();
}

void DbAbortBatch(DBHANDLE db) {
    Lock lock(StorageMutex());
    OpenDatabase* open = FindDatabase(db);
    if (open != nullptr) open->store->AbortBatch();
}

// ---- Database objects ------------------------------------------------------

STATUS DbAllocObject(DBHANDLE db, DWORD size, WORD objClass, DWORD* objectId) {
    if (objectId == nullptr) return ERR_BAD_ARGUMENT;
    *objectId = 0;
    Lock lock(StorageMutex());
    OpenDatabase* open = FindDatabase(db);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    return open->store->AllocObject(size, objClass, objectId);
}

STATUS DbAllocObjectHolding(DBHANDLE db, std::vector<BYTE> bytes, WORD objClass, DWORD* objectId) {
    if (objectId == nullptr) return ERR_BAD_ARGUMENT;
    *objectId = 0;
    Lock lock(StorageMutex());
    OpenDatabase* open = FindDatabase(db);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    return open->store->AllocObject(std::move(bytes), objClass, objectId);
}

STATUS DbWriteObjectBytes(DBHANDLE db, DWORD objectId, const void* data, DWORD offset, DWORD length) {
    if (data == nullptr && length != 0) return ERR_BAD_ARGUMENT;
    Lock lock(StorageMutex());
    OpenDatabase* open = FindDatabase(db);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    return open->store->WriteObject(objectId, data, offset, length);
}

STATUS DbWriteObject(DBHANDLE db, DWORD objectId, DHANDLE block, DWORD offset, DWORD length) {
    void* data = MemLock(block);
    if (data == nullptr) return ERR_INVALID_HANDLE;
    STATUS status = ERR_BAD_ARGUMENT;
    if (length <= MemSize(block)) status = DbWriteObjectBytes(db, objectId, data, offset, length);
    MemUnlock(block);
    return status;
}

STATUS DbReadObject(DBHANDLE db, DWORD objectId, DWORD offset, DWORD length, DHANDLE* block) {
    if (block == nullptr) return ERR_BAD_ARGUMENT;
    *block = NULLHANDLE;
    Lock lock(StorageMutex());
    OpenDatabase* open = FindDatabase(db);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    DWORD size = 0;
    STATUS status = open->store->ObjectSize(objectId, &size);
    if (status != NOERROR) return status;
    if (offset > size) return ERR_OBJECT_RANGE;
    if (length == 0xFFFFFFFF) length = size - offset;
    if (length > size - offset) return ERR_OBJECT_RANGE;
    DHANDLE read = NULLHANDLE;
    status = MemAlloc(length, MEM_GROWABLE, &read);
    if (status != NOERROR) return status;
    status = open->store->ReadObject(objectId, MemLock(read), offset, length);
    MemUnlock(read);
    if (status != NOERROR) {
        MemFree(read);
        return status;
    }
    *block = read;
    return NOERROR;
}

STATUS DbObjectSize(DBHANDLE db, DWORD objectId, DWORD* size) {
    if (size == nullptr) return ERR_BAD_ARGUMENT;
    *size = 0;
    Lock lock(StorageMutex());
    OpenDatabase* open = FindDatabase(db);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    return open->store->ObjectSize(objectId, size);
}

STATUS DbFreeObject(DBHANDLE db, DWORD objectId) {
    Lock lock(StorageMutex());
    OpenDatabase* open = FindDatabase(db);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    return open->store->FreeObject(objectId);
}

} // namespace plat
