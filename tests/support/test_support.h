// Helpers shared by the test programs.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "talix_platform/types.h"

namespace talix_test {

// A fresh, empty directory under the system's temporary directory, removed
// with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// The start of a shell command line (empty, or ending in a blank) that runs
// the program at PATH without the power to pass over file permissions:
// nothing for a user other than the superuser; for the superuser, setpriv as
// user 65534 when that user can run the program where it lies, else setpriv as
// the superuser without the capabilities that override permissions (a clone
// in a folder closed to others). False when the superuser has no setpriv.
bool UnprivilegedPrefix(const std::string& path, std::string* prefix);

// The project's own DXL fixtures (always present).
std::filesystem::path SampleDxlDir();
// The folder of real exported notes, from TALIX_DXL_DIR or beside the
// project; empty when it is absent (the real-data tests then run over the
// project's own samples alone). Where the environment says the shared set
// belongs (TALIX_REQUIRE_SHARED_DXL set and not "0", as in CI), its absence
// throws, failing the test that asked.
std::filesystem::path SharedDxlDir();
// Every .xml file below a folder, sorted.
std::vector<std::filesystem::path> DxlFilesBelow(const std::filesystem::path& dir);
// The project's fixtures, then the shared folder's files (when present).
std::vector<std::filesystem::path> SampleAndSharedDxlFiles();
// The whole content of a file.
std::string ReadFile(const std::filesystem::path& path);
// Bytes as base64 text in one run, padded (as DXL values are written).
std::string Base64Encode(const std::string& bytes);

// The texts of the messages shown while CollectMessage is the registered
// message procedure (plat::RegisterMessageProc), in order; a test clears
// them before it registers it.
extern std::vector<std::string> g_messages;
void CollectMessage(const char* text, plat::WORD code);

// Sets a notes.ini variable (in memory) for the length of a test.
class IniOverride {
public:
    IniOverride(const char* name, const std::string& value);
    ~IniOverride();
    IniOverride(const IniOverride&) = delete;
    IniOverride& operator=(const IniOverride&) = delete;

private:
    const char* name_;
};

} // namespace talix_test
