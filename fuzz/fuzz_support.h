// A database for the fuzz targets that store what they read: made once in a
// fresh directory under /tmp and kept for the whole run. A target cannot
// run without it, so failing to make it aborts.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "talix_platform.h"

namespace talix_fuzz {

struct ScratchDatabase {
    plat::DBHANDLE db = 0;
    std::string directory;

    ScratchDatabase() {
        plat::LogSetEcho(false);
        char dir[] = "/tmp/talix-fuzz-XXXXXX";
        if (mkdtemp(dir) == nullptr) abort();
        directory = dir;
        if (plat::DbCreate((directory + "/fuzz.nsf").c_str(), &db) != 0) abort();
    }
    ~ScratchDatabase() {
        plat::DbClose(db);
        std::filesystem::remove_all(directory);
    }
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;
};

} // namespace talix_fuzz
