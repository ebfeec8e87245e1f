#include "core/database_write_lock.h"

#include "talix_platform.h"

namespace talix {

plat::STATUS DatabaseWriteLock::Take(const char* path) {
    if (db_ != 0) return plat::NOERROR;
    plat::DBHANDLE db = 0;
    if (plat::DbOpen(path, &db) != plat::NOERROR) return plat::NOERROR;
    const plat::STATUS status = plat::DbWriteLock(db);
    if (status != plat::NOERROR) {
        plat::DbClose(db);
        return status;
    }
    db_ = db;
    return plat::NOERROR;
}

plat::STATUS DatabaseWriteLock::Release() {
    if (db_ == 0) return plat::NOERROR;
    const plat::STATUS status = plat::DbWriteUnlock(db_);
    plat::DbClose(db_);
    db_ = 0;
    return status;
}

} // namespace talix
