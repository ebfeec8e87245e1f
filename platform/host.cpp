// The host's side of the database-driver interface: the registry of drivers
// by class name, the loading of a driver's program library on first use, and
// the calls that @DbLookup, @DbColumn and @DbCommand make (see host.h).
#include <memory>
#include <mutex>

#include "formula_eval.h"
#include "formula_value.h"
#include "status_codes.h"
#include "talix_platform/database.h"
#include "talix_platform/host.h"
#include "talix_platform/library.h"
#include "talix_platform/log.h"
#include "talix_platform/memory.h"
#include "talix_platform/text.h"

namespace plat {

namespace {

constexpr WORD kPathLimit = 512;      // the driver keeps at most 511 characters of it
constexpr WORD kStatusTextLimit = 1024;
constexpr size_t kClassNameLimit = 64;
constexpr WORD kLibraryNameLimit = 1024;

struct Driver {
    std::string foldedName;   // LMBCS, folded
    DriverBlock block;
    ModuleHandle library = nullptr;   // set when the host loaded the driver's library
    bool opened = false;
    void* context = nullptr;
};

// Driver calls do not overlap: one lock serves the registry and the calls.
// It is recursive so that a driver may evaluate formulas that call drivers.
struct Registry {
    std::recursive_mutex mutex;
    std::vector<std::unique_ptr<Driver>> drivers;
};

Registry& State() {
    static auto* registry = new Registry;   // never destroyed: drivers may be unregistered during exit
    return *registry;
}

Driver* FindDriver(const std::string& foldedName) {
    for (const auto& driver : State().drivers) {
        if (driver->foldedName == foldedName) return driver.get();
    }
    return nullptr;
}

void ShutDown(Driver* driver) {
    if (driver->opened && driver->block.close != nullptr) {
        reinterpret_cast<DBDCloseProc*>(driver->block.close)(nullptr, driver->context);
    }
    if (driver->block.term != nullptr) reinterpret_cast<DBDTermProc*>(driver->block.term)(nullptr);
    if (driver->library != nullptr) LibraryUnload(driver->library);
    driver->opened = false;
    driver->context = nullptr;
}

void RemoveDriver(const std::string& foldedName) {
    auto& drivers = State().drivers;
    for (auto it = drivers.begin(); it != drivers.end(); ++it) {
        if ((*it)->foldedName != foldedName) continue;
        ShutDown(it->get());
        drivers.erase(it);
        return;
    }
}

std::string DriverStatusText(const Driver& driver, STATUS status) {
    char text[kStatusTextLimit];
    if (driver.library != nullptr) LibraryStatusText(driver.library, status, text, sizeof text);
    else StatusText(status, text, sizeof text);
    return text;
}

// Initializes a driver and adds it; a driver of the same name goes first,
// since a driver may keep one state for the whole process.
STATUS AddDriver(const char* name, DriverInitProc init, void* module, ModuleHandle library) {
    if (name == nullptr || name[0] == '\0' || init == nullptr) return ERR_BAD_ARGUMENT;
    std::lock_guard<std::recursive_mutex> lock(State().mutex);
    auto driver = std::make_unique<Driver>();
    driver->foldedName = formula::FoldName(NativeToLmbcs(name));
    RemoveDriver(driver->foldedName);
    driver->block.module = module;
    STATUS status = init(&driver->block);
    if (status != NOERROR) return status;
    if (driver->block.open == nullptr || driver->block.setOpenContext == nullptr ||
        driver->block.performFunction == nullptr) {
        if (driver->block.term != nullptr) reinterpret_cast<DBDTermProc*>(driver->block.term)(nullptr);
        return ERR_DRIVER_ENTRY;
    }
    driver->library = library;
    State().drivers.push_back(std::move(driver));
    return NOERROR;
}

// The path of the database of the note a formula runs on ("" without one).
STATUS NoteDatabasePath(NOTEHANDLE note, std::string* path) {
    path->clear();
    if (note == NULLHANDLE) return NOERROR;
    DBHANDLE db = NULLHANDLE;
    STATUS status = NoteGetInfo(note, NOTE_FIELD_DB, &db);
    char text[kPathLimit];
    if (status == NOERROR) status = DbPath(db, text, sizeof text);
    if (status == NOERROR) *path = text;
    return status;
}

// Reads the driver's result block into a value and frees the block.
STATUS TakeResult(DHANDLE handle, DWORD length, formula::Value* result, std::string* message) {
    if (handle == NULLHANDLE) {
        *result = formula::Value::Text("");
        return NOERROR;
    }
    STATUS status = NOERROR;
    DWORD size = MemSize(handle);
    const void* bytes = MemLock(handle);
    if (bytes == nullptr || length > size) {
        status = ERR_DRIVER_RESULT;
    } else if (length < 2) {
        *result = formula::Value::Text("");
    } else if (formula::DecodeTypedValue(bytes, length, result) != formula::DecodeStatus::Ok) {
        status = ERR_DRIVER_RESULT;
    }
    if (bytes != nullptr) MemUnlock(handle);
    MemFree(handle);
    if (status != NOERROR) {
        char text[kStatusTextLimit];
        StatusText(status, text, sizeof text);
        *message = text;
    }
    return status;
}

// A class name can name a library file: ASCII letters, digits, "_" and "-".
bool IsClassName(std::string_view name) {
    if (name.empty() || name.size() > kClassNameLimit) return false;
    for (char c : name) {
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        bool digit = c >= '0' && c <= '9';
        if (!letter && !digit && c != '_' && c != '-') return false;
    }
    return true;
}

// The program library of a driver class: notes.ini "DBDriver_<class>", else
// "lib<class in lower case>.so".
std::string DriverLibraryName(const std::string& className) {
    std::string key = "DBDriver_" + className;
    char configured[kLibraryNameLimit];
    if (IniGetText(key.c_str(), configured, sizeof configured) && configured[0] != '\0') return configured;
    std::string name = "lib";
    for (char c : className) name += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return name + ".so";
}

} // namespace

STATUS RegisterDriver(const char* name, DriverInitProc init, void* module) {
    return AddDriver(name, init, module, nullptr);
}

STATUS RegisterDriverLibrary(const char* name, const char* libraryName) {
    if (name == nullptr || name[0] == '\0' || libraryName == nullptr) return ERR_BAD_ARGUMENT;
    ModuleHandle module = nullptr;
    STATUS status = LibraryLoad(libraryName, &module, nullptr);
    if (status != NOERROR) return status;
    auto init = reinterpret_cast<DriverInitProc>(LibraryProcedure(module, "DBDInit"));
    status = ERR_DRIVER_ENTRY;
    if (init != nullptr) status = AddDriver(name, init, module, module);
    if (status != NOERROR) LibraryUnload(module);
    return status;
}

void UnregisterDrivers() {
    std::lock_guard<std::recursive_mutex> lock(State().mutex);
    auto& drivers = State().drivers;
    while (!drivers.empty()) {
        ShutDown(drivers.back().get());
        drivers.pop_back();
    }
}

namespace formula {

namespace {

// Loads and registers the driver of a class that nobody registered (the
// rule is in host.h). The caller holds the registry lock.
STATUS LoadDriver(std::string_view driverName, std::string* message) {
    std::string className(driverName);
    if (!IsClassName(className)) {
        *message = "no database driver named '" + LmbcsToNative(driverName) + "' is registered";
        return ERR_DRIVER_UNKNOWN;
    }
    std::string library = DriverLibraryName(className);
    STATUS status = RegisterDriverLibrary(className.c_str(), library.c_str());
    if (status == NOERROR) {
        LogLine(0, "Database driver %s loaded from program library %s", className.c_str(), library.c_str());
        return NOERROR;
    }
    if (status == ERR_LIBRARY_LOAD) {
        *message = "no database driver named '" + className + "' is registered, and its program library " +
                   library + " cannot be loaded";
        return ERR_DRIVER_UNKNOWN;
    }
    if (status == ERR_DRIVER_ENTRY) {
        *message = "the program library " + library + " of database driver '" + className +
                   "' does not supply the driver's entry points";
        return status;
    }
    char text[kStatusTextLimit];
    StatusText(status, text, sizeof text);
    *message = "database driver '" + className + "' could not be initialized: " + text;
    return status;
}

} // namespace

STATUS CallDriver(std::string_view driverName, WORD function, const std::vector<Value>& arguments, NOTEHANDLE note,
                  Value* result, std::string* message) {
    std::lock_guard<std::recursive_mutex> lock(State().mutex);
    Driver* driver = FindDriver(FoldName(driverName));
    if (driver == nullptr) {
        STATUS status = LoadDriver(driverName, message);
        if (status != NOERROR) return status;
        driver = FindDriver(FoldName(driverName));
        if (driver == nullptr) return ERR_DRIVER_UNKNOWN;
    }
    if (arguments.size() > 0xFFFF) {
        *message = "too many arguments for the database driver";
        return ERR_FORMULA_EVAL;
    }
    std::vector<std::string> typed(arguments.size());
    std::vector<DWORD> lengths(arguments.size());
    std::vector<const void*> values(arguments.size());
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (!EncodeTypedValue(arguments[i], &typed[i])) {
            *message = "argument " + std::to_string(i + 2) + " is too large to pass to the database driver";
            return ERR_FORMULA_EVAL;
        }
        lengths[i] = static_cast<DWORD>(typed[i].size());
        values[i] = typed[i].data();
    }
    std::string path;
    STATUS status = NoteDatabasePath(note, &path);
    if (status == NOERROR && !driver->opened) {
        status = reinterpret_cast<DBDOpenProc*>(driver->block.open)(nullptr, &driver->context);
        driver->opened = status == NOERROR;
    }
    if (status == NOERROR) {
        status = reinterpret_cast<DBDSetOpenContextProc*>(driver->block.setOpenContext)(nullptr, driver->context,
                                                                                    path.c_str(), nullptr);
    }
    if (status != NOERROR) {
        *message = DriverStatusText(*driver, status);
        return status;
    }
    DWORD handle = NULLHANDLE;
    DWORD length = 0;
    status = reinterpret_cast<DBDPerformFunctionProc*>(driver->block.performFunction)(
        nullptr, driver->context, function, static_cast<WORD>(arguments.size()), lengths.data(), values.data(),
        &handle, &length);
    if (status != NOERROR) {
        // The driver may have handed out a result block before it failed.
        if (handle != NULLHANDLE) MemFree(handle);
        *message = DriverStatusText(*driver, status);
        return status;
    }
    return TakeResult(handle, length, result, message);
}

} // namespace formula

} // namespace plat
