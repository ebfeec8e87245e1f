// notes.ini: a text file of Name=value lines, names compared ignoring case.
//
// The file (environment variable NOTES_INI, else ./notes.ini) is read on first
// use and kept in memory, so a read is a map look-up: some callers read a
// variable on every call. IniSet changes the values in memory only.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <unordered_map>

#include "import_filters.h"
#include "talix_platform/log.h"

namespace plat {

namespace {

struct IniState {
    std::mutex mutex;
    bool loaded = false;
    std::unordered_map<std::string, std::string> values;   // by lower-case name
};

IniState& State() {
    static auto* state = new IniState;
    return *state;
}

std::string LowerName(const char* name) {
    std::string key(name);
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return key;
}

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return std::string();
    size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

// Reads the file into the map; the caller holds the lock. A name given twice
// keeps its first value, as a reader scanning the file from the top would.
void LoadLocked(IniState& state) {
    state.loaded = true;
    state.values.clear();
    const char* env = std::getenv("NOTES_INI");
    std::string path = (env != nullptr && *env != '\0') ? env : "notes.ini";
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (in && std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t equals = line.find('=');
        if (equals == std::string::npos) continue;   // section headers, blank lines
        std::string name = Trim(line.substr(0, equals));
        if (name.empty() || name[0] == ';' || name[0] == '#') continue;
        state.values.emplace(LowerName(name.c_str()), line.substr(equals + 1));
    }
    // The platform's own import filters, unless the file gives their
    // entries values of its own.
    for (const auto& [name, value] : DefaultImportEntries()) state.values.emplace(LowerName(name.c_str()), value);
}

// The value of a variable, or null; the caller holds the lock.
const std::string* FindLocked(IniState& state, const char* name) {
    if (!state.loaded) LoadLocked(state);
    auto it = state.values.find(LowerName(name));
    return it == state.values.end() ? nullptr : &it->second;
}

} // namespace

LONG IniGetInt(const char* name) {
    if (name == nullptr || *name == '\0') return 0;
    IniState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    const std::string* value = FindLocked(state, name);
    if (value == nullptr) return 0;
    const char* text = value->c_str();
    char* end = nullptr;
    errno = 0;
    long number = std::strtol(text, &end, 10);
    if (end == text) return 0;
    if (number > INT32_MAX) return INT32_MAX;
    if (number < INT32_MIN) return INT32_MIN;
    return static_cast<LONG>(number);
}

bool IniGetText(const char* name, char* buf, WORD limit, WORD* length) {
    if (length != nullptr) *length = 0;
    if (buf != nullptr && limit > 0) buf[0] = '\0';
    if (name == nullptr || *name == '\0') return false;
    IniState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    const std::string* value = FindLocked(state, name);
    if (value == nullptr) return false;
    if (buf != nullptr && limit > 0) {
        size_t copied = value->size() < static_cast<size_t>(limit - 1) ? value->size() : limit - 1;
        std::memcpy(buf, value->data(), copied);
        buf[copied] = '\0';
        if (length != nullptr) *length = static_cast<WORD>(copied);
    }
    return true;
}

void IniSet(const char* name, const char* value) {
    if (name == nullptr || *name == '\0') return;
    IniState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!state.loaded) LoadLocked(state);
    std::string key = LowerName(name);
    if (value == nullptr || *value == '\0') {
        state.values.erase(key);
    } else {
        state.values[key] = value;
    }
}

void IniReload() {
    IniState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.loaded = false;
    state.values.clear();
}

} // namespace plat
