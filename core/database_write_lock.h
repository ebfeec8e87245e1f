// The write lock of a database, for a change made of a read of a note and
// the save that follows: taken by the database's path before the read and
// held until the change is done, so that no other writer stores the note in
// between (the platform's DbWriteLock, shared by every handle of the file in
// this process).
#pragma once

#include "talix_platform/types.h"

namespace talix {

class DatabaseWriteLock {
public:
    DatabaseWriteLock() = default;
    ~DatabaseWriteLock() { Release(); }
    DatabaseWriteLock(const DatabaseWriteLock&) = delete;
    DatabaseWriteLock& operator=(const DatabaseWriteLock&) = delete;

    // Opens the database at path and takes its lock, waiting as long as any
    // write waits. 0 also when the database does not open (what opens it
    // next says why); else the platform's status (the database is busy).
    plat::STATUS Take(const char* path);
    bool Held() const { return db_ != 0; }
    // What was written while it was held lands; the status says whether it
    // did (0 when nothing was held).
    plat::STATUS Release();

private:
    plat::DBHANDLE db_ = 0;
};

} // namespace talix
