// Pieces the store's source files share: prepared statements and the scope
// of one write.
#pragma once

#include <sqlite3.h>

#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>

#include "store.h"

namespace plat {

// The pending objects of a file, shared by every store of this process that
// has it open (path as the store was opened with).
std::shared_ptr<PendingObjects> SharedPendingObjects(const std::string& path);

// The statements of one connection, each prepared once and kept (by the
// address of its text, so only for texts that live as long as the program).
class StatementCache {
public:
    explicit StatementCache(sqlite3* db) : db_(db) {}
    ~StatementCache() {
        for (auto& [sql, entry] : entries_) sqlite3_finalize(entry.stmt);
    }
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;

    // The statement of sql, ready to run, or null (with *rc set) when it
    // cannot be prepared. One in use already gives a new one of its own
    // (*owned set): the caller finalizes that one.
    sqlite3_stmt* Take(const char* sql, int* rc, bool* owned) {
        *owned = false;
        Entry& entry = entries_[sql];
        if (entry.stmt != nullptr && entry.inUse) {
            sqlite3_stmt* stmt = nullptr;
            *rc = sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr);
            *owned = true;
            return stmt;
        }
        if (entry.stmt == nullptr) {
            *rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &entry.stmt, nullptr);
            if (*rc != SQLITE_OK) {
                sqlite3_finalize(entry.stmt);
                entry.stmt = nullptr;
                return nullptr;
            }
        }
        *rc = SQLITE_OK;
        entry.inUse = true;
        return entry.stmt;
    }
    // Gives a statement back: reset, its bindings cleared, so that it holds
    // no read of the file open.
    void Give(const char* sql, sqlite3_stmt* stmt) {
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        entries_[sql].inUse = false;
    }

private:
    struct Entry {
        sqlite3_stmt* stmt = nullptr;
        bool inUse = false;
    };
    sqlite3* db_;
    std::unordered_map<const char*, Entry> entries_;
};

// A connection kept from an earlier store of the file at path (an
// unchanged file), with its statements; false when there is none.
bool TakeSpareConnection(const std::string& path, sqlite3** db, std::unique_ptr<StatementCache>* statements);
// Keeps the connection of a store that closes for the next open of its
// file, or closes it.
void KeepConnection(const std::string& path, sqlite3* db, std::unique_ptr<StatementCache> statements);
// Closes the connections kept for the file at path (before it is deleted,
// so that closing them still removes its log files).
void CloseSpareConnections(const std::string& path);

class Statement {
public:
    // A statement of its own, finalized with the object.
    Statement(sqlite3* db, const char* sql) { rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
    // A statement of the cache, given back with the object.
    Statement(StatementCache& cache, const char* sql) : cache_(&cache), sql_(sql) {
        bool owned = false;
        stmt_ = cache.Take(sql, &rc_, &owned);
        if (owned) cache_ = nullptr;
    }
    ~Statement() {
        if (cache_ != nullptr && stmt_ != nullptr) {
            cache_->Give(sql_, stmt_);
        } else {
            sqlite3_finalize(stmt_);
        }
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    int prepareStatus() const { return rc_; }
    sqlite3_stmt* get() const { return stmt_; }
    // Runs the statement (or reports why it could not be prepared).
    int Step() { return rc_ == SQLITE_OK ? sqlite3_step(stmt_) : rc_; }
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
    const BYTE* ColumnBlob(int column) const { return static_cast<const BYTE*>(sqlite3_column_blob(stmt_, column)); }
    size_t ColumnBytes(int column) const { return static_cast<size_t>(sqlite3_column_bytes(stmt_, column)); }
    // Copies a blob column of exactly size bytes; false when its size differs.
    bool ColumnFixed(int column, void* out, size_t size) const {
        const void* data = sqlite3_column_blob(stmt_, column);
        if (ColumnBytes(column) != size) return false;
        if (size != 0) std::memcpy(out, data, size);
        return true;
    }

private:
    StatementCache* cache_ = nullptr;
    const char* sql_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
    int rc_ = SQLITE_OK;
};

// The statements that open and close transactions, run through the store's
// statement cache (Store::Run) so that they are prepared once per connection.
inline constexpr const char* kBeginWrite = "BEGIN IMMEDIATE";
// A transaction that reads first and takes the write lock with its first
// write.
inline constexpr const char* kBeginRead = "BEGIN DEFERRED";
inline constexpr const char* kCommit = "COMMIT";
inline constexpr const char* kRollback = "ROLLBACK";
inline constexpr const char* kSavepoint = "SAVEPOINT write";
inline constexpr const char* kRollbackToSavepoint = "ROLLBACK TO write";
inline constexpr const char* kReleaseSavepoint = "RELEASE write";
// A batch begun inside another.
inline constexpr const char* kBatchSavepoint = "SAVEPOINT batch";
inline constexpr const char* kRollbackToBatch = "ROLLBACK TO batch";
inline constexpr const char* kReleaseBatch = "RELEASE batch";

// The transaction of one write: a transaction of its own that takes the
// write lock at once, or, inside a batch, a savepoint of the batch, or the
// batch's own transaction when its writes join it. Rolled back unless
// committed; a joined write, which cannot be taken back alone, spoils its
// batch instead.
class Store::WriteScope {
public:
    explicit WriteScope(Store* store) : store_(store) {}
    ~WriteScope() {
        if (!open_) return;
        if (joined_) {
            store_->batchMarks_.back().spoiled = true;
        } else if (store_->batchDepth_ > 0) {
            store_->Run(kRollbackToSavepoint);
            store_->Run(kReleaseSavepoint);
        } else {
            store_->Run(kRollback);
        }
    }
    WriteScope(const WriteScope&) = delete;
    WriteScope& operator=(const WriteScope&) = delete;

    int Begin();
    int Commit() {
        if (joined_) {
            open_ = false;
            return SQLITE_OK;
        }
        int rc = store_->Run(store_->batchDepth_ > 0 ? kReleaseSavepoint : kCommit);
        if (rc == SQLITE_OK) {
            open_ = false;
            if (store_->batchDepth_ == 0) store_->objectIndexReady_ = true;
        }
        return rc;
    }

private:
    Store* store_;
    bool open_ = false;
    bool joined_ = false;   // joins its batch as it is
};

} // namespace plat
