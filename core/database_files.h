// Whether a name the library is asked to write a file under belongs to a
// database this process has open: the database's file or one of the log
// files kept beside it. A file written there would destroy the database,
// or be taken for its log (what another writer logged lost, the output
// removed when the database closes).
#pragma once

#include <string>

#include "core/file_destination.h"

namespace talix {

enum class DatabaseFile { kNone, kDatabase, kLog };

struct DatabaseAt {
    DatabaseFile kind = DatabaseFile::kNone;
    std::string database;   // the database's path, when kind is not kNone
};

// What a file written where a name leads (written, as FindFileDestination
// found it) would write over: by the name or, for a file that exists, by
// the file itself (another name of it).
DatabaseAt DatabaseWrittenBy(const FileDestination& written);
// The same for a name, finding where it leads first (nothing for a name
// that leads nowhere: it cannot be written either).
DatabaseAt DatabaseWrittenBy(const std::string& path);

} // namespace talix
