// Program libraries: shared objects loaded with dlopen.
//
// A name ending ".dll" (any case) names a library by its stem: "x.dll", with
// or without a directory, is "x.so" in the library directory (notes.ini
// "LibraryDirectory", else the data directory). A name with a directory goes
// to dlopen as it is. A name without one is taken from the libraries the
// process already holds (so that a library the program links is not loaded
// a second time beside it), else from the program directory (the directory
// of this platform library), else through the system's search. The handles
// given out are remembered, so that a handle unloaded twice, or one never
// loaded, is refused instead of reaching dlclose. The import filters the
// platform comes with (import_filters.h) are served in-process when no
// library file of their name is found.
//
// A library may carry its own status texts by exporting
//     extern "C" WORD LibraryStatusText(WORD status, char* buf, WORD limit);
// which writes the terminated text of a status into buf and returns its
// length, 0 when it has none.
#include <dlfcn.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

#include "attach_internal.h"
#include "import_filters.h"
#include "status_codes.h"
#include "talix_platform/database.h"
#include "talix_platform/library.h"
#include "talix_platform/log.h"

namespace plat {

namespace {

constexpr const char* kEntryPointName = "MainEntryPoint";
constexpr const char* kStatusTextName = "LibraryStatusText";
constexpr size_t kDirectoryLimit = 4096;

using LibraryTextProc = WORD (*)(WORD status, char* buf, WORD limit);

struct Loaded {
    std::mutex mutex;
    std::unordered_map<void*, int> counts;   // dlopen handle -> loads not yet unloaded
};

Loaded& LoadedLibraries() {
    static auto* loaded = new Loaded;
    return *loaded;
}

bool EndsWithDll(const std::string& name) {
    if (name.size() < 4) return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return tail == ".dll";
}

// The file dlopen is given for a library name.
std::string LibraryFile(const char* name) {
    std::string path = DiskPath(name);
    if (!EndsWithDll(path)) return path;
    size_t slash = path.rfind('/');
    std::string stem = path.substr(slash == std::string::npos ? 0 : slash + 1);
    stem.resize(stem.size() - 4);
    char dir[kDirectoryLimit];
    std::string directory;
    if (IniGetText("LibraryDirectory", dir, sizeof dir) && dir[0] != '\0') {
        directory = DiskPath(dir);
    } else if (DataDirectory(dir, sizeof dir) > 0) {
        directory = dir;
    } else {
        directory = ".";
    }
    if (directory.back() != '/') directory += '/';
    return directory + stem + ".so";
}

// The directory of this platform library, ending in "/"; "" when unknown.
std::string ProgramDirectory() {
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&LibraryLoad), &info) == 0 || info.dli_fname == nullptr) return "";
    std::string path = info.dli_fname;
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// Opens a library file; *where gets the file opened, for the log.
void* OpenLibrary(const std::string& file, std::string* where) {
    *where = file;
    if (file.find('/') != std::string::npos) return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (void* held = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD)) {
        *where = file + ", already in the process,";
        return held;
    }
    std::string beside = ProgramDirectory() + file;
    if (beside != file && access(beside.c_str(), F_OK) == 0) {
        *where = beside;
        return dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
}

bool IsLoaded(void* module) {
    Loaded& loaded = LoadedLibraries();
    std::lock_guard<std::mutex> lock(loaded.mutex);
    return module != nullptr && loaded.counts.count(module) != 0;
}

STATUS LoadBuiltIn(const BuiltInLibrary* library, ModuleHandle* module, void** entryPoint) {
    void* handle = const_cast<BuiltInLibrary*>(library);
    {
        Loaded& loaded = LoadedLibraries();
        std::lock_guard<std::mutex> lock(loaded.mutex);
        ++loaded.counts[handle];
    }
    *module = handle;
    if (entryPoint != nullptr) *entryPoint = reinterpret_cast<void*>(library->entry);
    LogLine(0, "Program library %s served by the platform", library->name);
    return NOERROR;
}

} // namespace

STATUS LibraryLoad(const char* name, ModuleHandle* module, void** entryPoint) {
    if (module != nullptr) *module = nullptr;
    if (entryPoint != nullptr) *entryPoint = nullptr;
    if (name == nullptr || *name == '\0' || module == nullptr) return ERR_BAD_ARGUMENT;
    std::string file = LibraryFile(name);
    std::string where;
    void* handle = OpenLibrary(file, &where);
    if (handle == nullptr) {
        // A filter the platform comes with, when no library file of its
        // name is installed.
        if (const BuiltInLibrary* builtIn = FindBuiltInLibrary(name)) return LoadBuiltIn(builtIn, module, entryPoint);
        const char* why = dlerror();
        LogLine(ERR_LIBRARY_LOAD, "Cannot load program library %s: %s", file.c_str(), why != nullptr ? why : "");
        return ERR_LIBRARY_LOAD;
    }
    void* entry = nullptr;
    if (entryPoint != nullptr) {
        entry = dlsym(handle, kEntryPointName);
        if (entry == nullptr) {
            LogLine(ERR_LIBRARY_ENTRY, "Program library %s has no %s", file.c_str(), kEntryPointName);
            dlclose(handle);
            return ERR_LIBRARY_ENTRY;
        }
    }
    {
        Loaded& loaded = LoadedLibraries();
        std::lock_guard<std::mutex> lock(loaded.mutex);
        ++loaded.counts[handle];
    }
    *module = handle;
    if (entryPoint != nullptr) *entryPoint = entry;
    LogLine(0, "Program library %s loaded", where.c_str());
    return NOERROR;
}

void* LibraryProcedure(ModuleHandle module, const char* procedureName) {
    if (procedureName == nullptr || *procedureName == '\0' || !IsLoaded(module)) return nullptr;
    if (IsBuiltInLibrary(module)) {
        const auto* library = static_cast<const BuiltInLibrary*>(module);
        if (std::strcmp(procedureName, kEntryPointName) == 0) return reinterpret_cast<void*>(library->entry);
        if (std::strcmp(procedureName, kStatusTextName) == 0) return reinterpret_cast<void*>(library->statusText);
        return nullptr;
    }
    return dlsym(module, procedureName);
}

STATUS LibraryUnload(ModuleHandle module) {
    {
        Loaded& loaded = LoadedLibraries();
        std::lock_guard<std::mutex> lock(loaded.mutex);
        auto found = module == nullptr ? loaded.counts.end() : loaded.counts.find(module);
        if (found == loaded.counts.end()) return ERR_INVALID_HANDLE;
        if (--found->second == 0) loaded.counts.erase(found);
    }
    if (IsBuiltInLibrary(module)) return NOERROR;
    if (dlclose(module) != 0) return ERR_INVALID_HANDLE;
    return NOERROR;
}

WORD LibraryStatusText(ModuleHandle module, STATUS status, char* buf, WORD limit) {
    if (buf == nullptr || limit == 0) return 0;
    auto proc = reinterpret_cast<LibraryTextProc>(LibraryProcedure(module, kStatusTextName));
    if (proc != nullptr) {
        buf[0] = '\0';
        proc(static_cast<WORD>(status & ERR_MASK), buf, limit);
        buf[limit - 1] = '\0';   // whatever the library wrote, the text ends inside the buffer
        size_t length = std::strlen(buf);
        if (length > 0) return static_cast<WORD>(length);
    }
    return StatusText(status, buf, limit);
}

} // namespace plat
