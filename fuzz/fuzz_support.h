// Scratch space for the fuzz targets that store what they read: a fresh
// directory in the temporary folder ($TMPDIR, else /tmp) kept for the whole
// run, and a database in it, removed when the run ends. A target cannot run
// without them, so failing to make them aborts.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "talix_platform.h"

namespace talix_fuzz {

struct ScratchDirectory {
    std::string directory;

    ScratchDirectory() {
        plat::LogSetEcho(false);
        const char* base = getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/talix-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) abort();
        directory = pattern;
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

// The database of the whole run, made with its first input. It stays open
// to the end (the targets' statics may use it until then); its directory is
// removed as the process exits.
inline ScratchDatabase* g_runDatabase = nullptr;
inline ScratchDatabase& RunDatabase() {
    static ScratchDatabase* database = [] {
        g_runDatabase = new ScratchDatabase();
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(g_runDatabase->directory, ignored);
        });
        return g_runDatabase;
    }();
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
