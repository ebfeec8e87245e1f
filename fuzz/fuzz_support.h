// Scratch space for the fuzz targets that store what they read: a fresh
// directory under /tmp kept for the whole run, and a database in it. A
// target cannot run without them, so failing to make them aborts.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "talix_platform.h"

namespace talix_fuzz {

struct ScratchDirectory {
    std::string directory;

    ScratchDirectory() {
        plat::LogSetEcho(false);
        char dir[] = "/tmp/talix-fuzz-XXXXXX";
        if (mkdtemp(dir) == nullptr) abort();
        directory = dir;
    }
    ~ScratchDirectory() { std::filesystem::remove_all(directory); }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
};

struct ScratchDatabase : ScratchDirectory {
    plat::DBHANDLE db = 0;

    ScratchDatabase() {
        if (plat::DbCreate((directory + "/fuzz.nsf").c_str(), &db) != 0) abort();
    }
    ~ScratchDatabase() { plat::DbClose(db); }
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;
};

// The database of the whole run, made with its first input.
inline ScratchDatabase& RunDatabase() {
    static ScratchDatabase* database = new ScratchDatabase();
    return *database;
}

// A new note of the run's database for one input; a run that cannot make
// one aborts.
inline plat::NOTEHANDLE NewNote() {
    plat::NOTEHANDLE note = 0;
    if (plat::NoteCreate(RunDatabase().db, &note) != 0) abort();
    return note;
}

} // namespace talix_fuzz
