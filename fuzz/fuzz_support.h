// Scratch space for the fuzz targets that store what they read: a fresh
// directory in the temporary folder ($TMPDIR, else /tmp) kept for the whole
// run, and a database in it, removed when the run ends. A target cannot run
// without them, so failing to make them aborts.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "talix_platform.h"

namespace talix_fuzz {

// The scratch directories alive: those that targets keep for the whole run
// (never destroyed) are removed when the process exits.
inline std::vector<std::string>& LiveDirectories() {
    static auto* live = new std::vector<std::string>();
    return *live;
}

inline void RemoveLiveDirectories() {
    for (const std::string& directory : LiveDirectories()) {
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
    }
    LiveDirectories().clear();
}

struct ScratchDirectory {
    std::string directory;

    ScratchDirectory() {
        plat::LogSetEcho(false);
        const char* base = getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/talix-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) abort();
        directory = pattern;
        static const bool removedAtExit = std::atexit(RemoveLiveDirectories) == 0;
        (void)removedAtExit;
        LiveDirectories().push_back(directory);
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
        auto& live = LiveDirectories();
        live.erase(std::remove(live.begin(), live.end(), directory), live.end());
    }
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
// to the end (the targets' statics may use it until then).
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
