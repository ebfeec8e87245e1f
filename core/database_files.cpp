#include "core/database_files.h"

#include <sys/stat.h>

#include <vector>

#include "talix_platform/database.h"

namespace talix {

namespace {

bool SameFile(const FileDestination& a, const FileDestination& b) {
    return a.exists && b.exists && a.info.st_dev == b.info.st_dev && a.info.st_ino == b.info.st_ino;
}

// Whether name, its links followed, is the file written leads to.
bool Names(const std::string& name, const FileDestination& written) {
    FileDestination file;
    if (!FindFileDestination(name, &file)) return false;
    return (!written.throughProc && file.path == written.path) || SameFile(file, written);
}

} // namespace

DatabaseAt DatabaseWrittenBy(const FileDestination& written) {
    for (const plat::DatabaseFiles& open : plat::OpenDatabaseFiles()) {
        if (Names(open.database, written)) return {DatabaseFile::kDatabase, open.database};
        for (const std::string& log : open.logs) {
            if (Names(log, written)) return {DatabaseFile::kLog, open.database};
        }
    }
    return {};
}

DatabaseAt DatabaseWrittenBy(const std::string& path) {
    FileDestination written;
    if (!FindFileDestination(path, &written)) return {};
    return DatabaseWrittenBy(written);
}

} // namespace talix
