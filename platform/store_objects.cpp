// Database objects of the store: new ones held in memory until a stored note
// names them, stored ones as rows of the objects table, freed when the last
// note that named them lets go.
#include <map>
#include <mutex>
#include <new>
#include <unordered_map>

#include "byte_order.h"
#include "status_codes.h"
#include "store.h"
#include "store_sql.h"
#include "talix_platform/log.h"

namespace plat {

struct PendingObjects {
    std::unordered_map<DWORD, PendingObject> objects;
    // How many open notes of the file name each object.
    std::unordered_map<DWORD, unsigned> openNotesNaming;
};

namespace {

// Where the object id lies in a TYPE_OBJECT value: after the data-type word
// and the descriptor's object-type word.
constexpr size_t kObjectIdOffset = 4;

std::mutex& RegistryMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::map<std::string, std::weak_ptr<PendingObjects>>& Registry() {
    static auto* registry = new std::map<std::string, std::weak_ptr<PendingObjects>>;
    return *registry;
}

} // namespace

std::shared_ptr<PendingObjects> SharedPendingObjects(const std::string& path) {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    auto& registry = Registry();
    // Entries of files no longer open go as others are looked up.
    for (auto it = registry.begin(); it != registry.end();) {
        it = it->second.expired() ? registry.erase(it) : std::next(it);
    }
    std::shared_ptr<PendingObjects> shared = registry[path].lock();
    if (!shared) {
        shared = std::make_shared<PendingObjects>();
        registry[path] = shared;
    }
    return shared;
}

bool ObjectNamedBy(const BYTE* value, size_t length, DWORD* objectId) {
    if (value == nullptr || length < kObjectIdOffset + 4 || GetWord(value) != TYPE_OBJECT) return false;
    *objectId = GetDword(value + kObjectIdOffset);
    return true;
}

STATUS Store::NamedObjects(NOTEID id, std::set<DWORD>* objects) {
    Statement select(*statements_, "SELECT value FROM items WHERE note_id = ? AND data_type = 3");
    select.Int(1, id);
    int rc;
    while ((rc = select.Step()) == SQLITE_ROW) {
        DWORD object = 0;
        if (ObjectNamedBy(select.ColumnBlob(0), select.ColumnBytes(0), &object)) objects->insert(object);
    }
    return rc == SQLITE_DONE ? NOERROR : Fail(rc, "read the objects of a note");
}

STATUS Store::StorePendingObjects(const std::set<DWORD>& named, std::vector<DWORD>* stored) {
    Statement insert(*statements_, "INSERT INTO objects(object_id, class, bytes) VALUES (?, ?, ?)");
    for (DWORD object : named) {
        auto found = pending_->objects.find(object);
        if (found == pending_->objects.end()) continue;
        insert.Reset();
        insert.Int(1, object);
        insert.Int(2, found->second.objClass);
        insert.Blob(3, found->second.bytes.data(), found->second.bytes.size());
        int rc = insert.Step();
        if (rc == SQLITE_TOOBIG) return ERR_ITEM_TOO_LARGE;
        if (rc != SQLITE_DONE) return Fail(rc, "store an object");
        stored->push_back(object);
    }
    return NOERROR;
}

// Frees each stored object of candidates that no item of any stored note
// names any more. Runs within the scope of the write that let go of them.
STATUS Store::FreeUnnamedObjects(const std::set<DWORD>& candidates) {
    if (candidates.empty()) return NOERROR;
    Statement named(*statements_, "SELECT 1 FROM items WHERE data_type = 3 AND substr(value, 5, 4) = ? LIMIT 1");
    Statement erase(*statements_, "DELETE FROM objects WHERE object_id = ?");
    for (DWORD object : candidates) {
        BYTE id[4];
        PutDword(id, object);
        named.Reset();
        named.Blob(1, id, sizeof id);
        int rc = named.Step();
        if (rc == SQLITE_ROW) continue;
        if (rc != SQLITE_DONE) return Fail(rc, "free an object");
        erase.Reset();
        erase.Int(1, object);
        if ((rc = erase.Step()) != SQLITE_DONE) return Fail(rc, "free an object");
    }
    return NOERROR;
}

void Store::ObjectsStored(const std::vector<DWORD>& stored) {
    for (DWORD object : stored) {
        auto found = pending_->objects.find(object);
        if (found == pending_->objects.end()) continue;
        if (batchDepth_ > 0) batchStored_.emplace_back(object, std::move(found->second));
        pending_->objects.erase(found);
    }
}

void Store::ObjectsRolledBack() {
    const size_t allocatedMark = batchMarks_.empty() ? 0 : batchMarks_.back().allocated;
    const size_t storedMark = batchMarks_.empty() ? 0 : batchMarks_.back().stored;
    std::set<DWORD> allocated(batchAllocated_.begin() + static_cast<std::ptrdiff_t>(allocatedMark),
                              batchAllocated_.end());
    for (size_t at = storedMark; at < batchStored_.size(); ++at) {
        auto& [object, pending] = batchStored_[at];
        if (allocated.count(object) == 0) pending_->objects[object] = std::move(pending);
    }
    // Their ids were given back with the batch: another process may take them.
    for (DWORD object : allocated) pending_->objects.erase(object);
    batchAllocated_.resize(allocatedMark);
    batchStored_.resize(storedMark);
}

int Store::RaiseObjectSequence(std::int64_t atLeast, int more) {
    Statement raise(*statements_, "UPDATE sqlite_sequence SET seq = max(seq, ?) + ? WHERE name = 'objects'");
    raise.Int(1, atLeast);
    raise.Int(2, more);
    int rc = raise.Step();
    if (rc != SQLITE_DONE) return rc;
    if (sqlite3_changes(db_) != 0) return SQLITE_OK;
    Statement first(*statements_, "INSERT INTO sqlite_sequence(name, seq)"
                         " SELECT 'objects', max(coalesce(max(object_id), 0), ?) + ? FROM objects");
    first.Int(1, atLeast);
    first.Int(2, more);
    rc = first.Step();
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

// Object ids come from the objects table's sequence, raised in a write of
// its own (within a batch, in the batch) so that no other process, nor this
// one, gives out the same id again. Outside a batch the raise reserves a
// run of ids that later objects take without a write: 1, then twice as
// many each time up to kLargestIdReserve, so that a run of many objects
// writes seldom and one of a few leaves few ids unused. Within a batch one
// id is raised at a time (an abandoned batch gives its raise back). A batch
// that has not taken the write lock yet gives ids out from the sequence as
// it read it, without a write: another writer's write before the batch's
// first makes the whole batch fail (ERR_DB_CHANGED), so no id it gave out
// can be another's; the batch raises the sequence past them with its first
// write of one, or its commit.
STATUS Store::ReserveObjectId(DWORD* objectId) {
    auto noIdsLeft = [this] {
        LogLine(ERR_DB_IO, "Database %s: no object ids left", path_.c_str());
        return ERR_DB_IO;
    };
    if (reservedNext_ != 0 && reservedNext_ < reservedEnd_) {
        *objectId = static_cast<DWORD>(reservedNext_++);
        return NOERROR;
    }
    int rc = SQLITE_OK;
    if (lockAtFirstWrite_ && batchDepth_ > 0 && sqlite3_txn_state(db_, "main") != SQLITE_TXN_WRITE) {
        sqlite3_int64 last = unwrittenObjectId_;
        if (last == 0) {
            Statement read(*statements_, "SELECT max(coalesce((SELECT seq FROM sqlite_sequence WHERE name = 'objects'),"
                                         " 0), coalesce((SELECT max(object_id) FROM objects), 0))");
            if ((rc = read.Step()) != SQLITE_ROW) return Fail(rc, "allocate an object");
            last = read.ColumnInt(0);
        }
        if (last < 0 || last >= 0xFFFFFFFF) return noIdsLeft();
        unwrittenObjectId_ = last + 1;
        *objectId = static_cast<DWORD>(unwrittenObjectId_);
        return NOERROR;
    }
    const sqlite3_int64 count = batchDepth_ > 0 ? 1 : reserveSize_;
    WriteScope scope(this);
    rc = scope.Begin();
    if (rc == SQLITE_OK) rc = RaiseObjectSequence(unwrittenObjectId_, static_cast<int>(count));
    if (rc != SQLITE_OK) return Fail(rc, "allocate an object");
    Statement read(*statements_, "SELECT seq FROM sqlite_sequence WHERE name = 'objects'");
    if ((rc = read.Step()) != SQLITE_ROW) return Fail(rc, "allocate an object");
    const sqlite3_int64 last = read.ColumnInt(0);
    if (last - count + 1 <= 0 || last > 0xFFFFFFFF) return noIdsLeft();
    if ((rc = scope.Commit()) != SQLITE_OK) return Fail(rc, "allocate an object");
    unwrittenObjectId_ = 0;
    *objectId = static_cast<DWORD>(last - count + 1);
    if (count > 1) {
        reservedNext_ = last - count + 2;
        reservedEnd_ = last + 1;
    }
    if (batchDepth_ == 0 && reserveSize_ < kLargestIdReserve) reserveSize_ *= 2;
    return NOERROR;
}

STATUS Store::AllocObject(DWORD size, WORD objClass, DWORD* objectId) {
    if (size > kMaxStoredBytes) return ERR_BAD_ARGUMENT;
    std::vector<BYTE> bytes;
    try {
        bytes.assign(size, 0);
    } catch (const std::bad_alloc&) {
        return ERR_NO_MEMORY;
    }
    return AllocObject(std::move(bytes), objClass, objectId);
}

STATUS Store::AllocObject(std::vector<BYTE> bytes, WORD objClass, DWORD* objectId) {
    if (bytes.size() > kMaxStoredBytes) return ERR_BAD_ARGUMENT;
    PendingObject object;
    object.objClass = objClass;
    object.bytes = std::move(bytes);
    DWORD id = 0;
    STATUS status = ReserveObjectId(&id);
    if (status != NOERROR) return status;
    pending_->objects[id] = std::move(object);
    if (batchDepth_ > 0) batchAllocated_.push_back(id);
    *objectId = id;
    return NOERROR;
}

STATUS Store::StoredObjectSize(DWORD objectId, DWORD* size) {
    Statement select(*statements_, "SELECT length(bytes) FROM objects WHERE object_id = ?");
    select.Int(1, objectId);
    int rc = select.Step();
    if (rc == SQLITE_DONE) return ERR_OBJECT_NOT_FOUND;
    if (rc != SQLITE_ROW) return Fail(rc, "read object");
    *size = static_cast<DWORD>(select.ColumnInt(0));
    return NOERROR;
}

STATUS Store::ObjectSize(DWORD objectId, DWORD* size) {
    auto found = pending_->objects.find(objectId);
    if (found == pending_->objects.end()) return StoredObjectSize(objectId, size);
    *size = static_cast<DWORD>(found->second.bytes.size());
    return NOERROR;
}

STATUS Store::LocateBytes(DWORD objectId, DWORD offset, DWORD length, PendingObject** pending) {
    *pending = nullptr;
    DWORD size = 0;
    STATUS status = ObjectSize(objectId, &size);
    if (status != NOERROR) return status;
    if (offset > size || length > size - offset) return ERR_OBJECT_RANGE;
    auto found = pending_->objects.find(objectId);
    if (found != pending_->objects.end()) *pending = &found->second;
    return NOERROR;
}

STATUS Store::WriteObject(DWORD objectId, const void* data, DWORD offset, DWORD length) {
    PendingObject* pending = nullptr;
    STATUS status = LocateBytes(objectId, offset, length, &pending);
    if (status != NOERROR || length == 0) return status;
    if (pending != nullptr) {
        std::memcpy(pending->bytes.data() + offset, data, length);
        return NOERROR;
    }
    WriteScope scope(this);
    int rc = scope.Begin();
    sqlite3_blob* blob = nullptr;
    if (rc == SQLITE_OK) rc = sqlite3_blob_open(db_, "main", "objects", "bytes", objectId, 1, &blob);
    if (rc == SQLITE_OK) rc = sqlite3_blob_write(blob, data, static_cast<int>(length), static_cast<int>(offset));
    int closed = sqlite3_blob_close(blob);
    if (rc == SQLITE_OK) rc = closed;
    if (rc == SQLITE_OK) rc = scope.Commit();
    return rc == SQLITE_OK ? NOERROR : Fail(rc, "write object");
}

STATUS Store::ReadObject(DWORD objectId, void* out, DWORD offset, DWORD length) {
    PendingObject* pending = nullptr;
    STATUS status = LocateBytes(objectId, offset, length, &pending);
    if (status != NOERROR || length == 0) return status;
    if (pending != nullptr) {
        std::memcpy(out, pending->bytes.data() + offset, length);
        return NOERROR;
    }
    sqlite3_blob* blob = nullptr;
    int rc = sqlite3_blob_open(db_, "main", "objects", "bytes", objectId, 0, &blob);
    if (rc == SQLITE_OK) rc = sqlite3_blob_read(blob, out, static_cast<int>(length), static_cast<int>(offset));
    int closed = sqlite3_blob_close(blob);
    if (rc == SQLITE_OK) rc = closed;
    return rc == SQLITE_OK ? NOERROR : Fail(rc, "read object");
}

void Store::OpenNoteNamesObject(DWORD objectId) { ++pending_->openNotesNaming[objectId]; }

void Store::OpenNoteLetGoOfObject(DWORD objectId) {
    auto found = pending_->openNotesNaming.find(objectId);
    if (found == pending_->openNotesNaming.end() || --found->second != 0) return;
    pending_->openNotesNaming.erase(found);
    pending_->objects.erase(objectId);
}

STATUS Store::FreeObject(DWORD objectId) {
    if (pending_->objects.erase(objectId) != 0) return NOERROR;
    WriteScope scope(this);
    int rc = scope.Begin();
    if (rc != SQLITE_OK) return Fail(rc, "free object");
    Statement erase(*statements_, "DELETE FROM objects WHERE object_id = ?");
    erase.Int(1, objectId);
    rc = erase.Step();
    if (rc != SQLITE_DONE) return Fail(rc, "free object");
    if (sqlite3_changes(db_) == 0) return ERR_OBJECT_NOT_FOUND;
    rc = scope.Commit();
    return rc == SQLITE_OK ? NOERROR : Fail(rc, "free object");
}

} // namespace plat
