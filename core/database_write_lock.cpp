#include "core/database_write_lock.h"

#include "talix_platform.h"

namespace talix {

namespace {

// The attempts that take the lock with their first write, before the one
// that takes it at once.
constexpr int kAttemptsAtFirstWrite = 3;

} // namespace

plat::STATUS DatabaseWriteLock::Take(const char* path, When when) {
    if (db_ != 0) return plat::NOERROR;
    plat::DBHANDLE db = 0;
    if (plat::DbOpen(path, &db) != plat::NOERROR) return plat::NOERROR;
    const bool outermost = !plat::DbWriteLockHeld(db);
    const plat::STATUS status = when == When::Now ? plat::DbWriteLock(db) : plat::DbWriteLockDeferred(db);
    if (status != plat::NOERROR) {
        plat::DbClose(db);
        return status;
    }
    db_ = db;
    outermost_ = outermost;
    path_ = path;
    return plat::NOERROR;
}

plat::STATUS DatabaseWriteLock::Release() {
    if (db_ == 0) return plat::NOERROR;
    const plat::STATUS status = plat::DbWriteUnlock(db_);
    plat::DbClose(db_);
    db_ = 0;
    return status;
}

DatabaseWriteLock::When WriteAttempts::NextLock() const {
    return made_ < kAttemptsAtFirstWrite ? DatabaseWriteLock::When::AtFirstWrite : DatabaseWriteLock::When::Now;
}

bool WriteAttempts::Again(plat::STATUS released, const DatabaseWriteLock& lock) {
    ++made_;
    if (released != plat::ERR_DB_CHANGED || !lock.Outermost()) return false;
    // The writer that changed it may hold it still: the next attempt's
    // write would find it changed again.
    DatabaseWriteLock wait;
    wait.Take(lock.path().c_str());
    wait.Release();
    return true;
}

} // namespace talix
