// Running a command that changes notes of a database: with the database's
// write lock taken with the command's first write, so that other writers
// of the database go on while the command reads its input, parses it and
// works out what it writes. When another writer changed the database in
// the meantime, nothing of the command lands and it runs again (its output
// held back until a run stands); the last run holds the lock from before it
// reads anything, so that two commands changing one note take turns instead
// of one undoing the other.
#include "cli.h"
#include "core/database_write_lock.h"
#include "held_output.h"

namespace talix_cli {

int ReadOnlyDatabase(const std::string& path) {
    return Fail("the database %s is read-only: this user cannot write it", path.c_str());
}

int RunChange(const Command& command, const std::vector<std::string>& args, bool writesOnRequest) {
    const std::string& path = args[0];
    talix::WriteAttempts attempts;
    for (;;) {
        const talix::DatabaseWriteLock::When when = attempts.NextLock();
        // What a run prints is held until its changes land: the output of
        // changes that did not land (a note id that was never stored) goes.
        HeldOutput held;
        talix::DatabaseWriteLock lock;
        const plat::STATUS locked = lock.Take(path.c_str(), when);
        if (locked == plat::ERR_DB_READ_ONLY) {
            // A command that writes only when asked to reads as it is; what
            // it is asked to write fails on its own.
            if (writesOnRequest) return command.run(command, args);
            return ReadOnlyDatabase(path);
        }
        if (locked != plat::NOERROR)
            return Fail("cannot change %s: %s", path.c_str(), StatusMessage(locked).c_str());
        int status = command.run(command, args);
        const plat::STATUS released = lock.Release();
        if (attempts.Again(released, lock)) {
            held.Drop();
            continue;
        }
        if (released != plat::NOERROR && status == kExitOk) {
            held.KeepErrorsOnly();
            status = Fail("the changes to %s did not land: %s", path.c_str(), StatusMessage(released).c_str());
        }
        held.Keep();
        return status;
    }
}

} // namespace talix_cli
