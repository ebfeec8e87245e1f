// The write lock of a database, for a change made of a read of a note and
// the save that follows: taken by the database's path before the read and
// held until the change is done, so that no other writer stores the note in
// between (the platform's DbWriteLock, shared by every handle of the file in
// this process). A change that reads and works out much before it writes
// (parses its input, renders an item) takes it with its first write
// instead, and is made again when another writer changed the database
// meanwhile (WriteAttempts).
#pragma once

#include <string>

#include "talix_platform/types.h"

namespace talix {

class DatabaseWriteLock {
public:
    // When Take takes the lock: at once (waiting as long as any write
    // waits), or with the change's first write (plat::DbWriteLockDeferred).
    enum class When { Now, AtFirstWrite };

    DatabaseWriteLock() = default;
    ~DatabaseWriteLock() { Release(); }
    DatabaseWriteLock(const DatabaseWriteLock&) = delete;
    DatabaseWriteLock& operator=(const DatabaseWriteLock&) = delete;

    // Opens the database at path and takes its lock. 0 also when the
    // database does not open (what opens it next says why); else the
    // platform's status (the database is busy, or read-only).
    plat::STATUS Take(const char* path, When when = When::Now);
    bool Held() const { return db_ != 0; }
    // Whether no other write lock of the database was held in this process
    // when it was taken: only such a lock's change can be made again.
    bool Outermost() const { return outermost_; }
    const std::string& path() const { return path_; }
    // What was written while it was held lands; the status says whether it
    // did (0 when nothing was held; ERR_DB_CHANGED when it was taken with
    // the first write and another writer changed the database meanwhile).
    plat::STATUS Release();

private:
    plat::DBHANDLE db_ = 0;
    bool outermost_ = false;
    std::string path_;
};

// The attempts at one change of a database. The first ones take the write
// lock with their first write, so that other writers go on while the change
// reads and works out what it writes; one whose lock comes back
// ERR_DB_CHANGED (another writer changed the database since it read) is
// made again, and the last takes the lock at once, so that a change that
// other writers keep outdating still lands in the end.
class WriteAttempts {
public:
    // How the next attempt takes the lock.
    DatabaseWriteLock::When NextLock() const;
    // After an attempt whose lock (the outermost of its database) was
    // released with status released: whether the change is to be made
    // again. If so, it first waits until no other process holds the
    // database's write lock (at most the busy wait).
    bool Again(plat::STATUS released, const DatabaseWriteLock& lock);

private:
    int made_ = 0;
};

} // namespace talix
