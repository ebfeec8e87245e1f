#include "core/temp_directory.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

#include "core/folder_file.h"
#include "core/host_message.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr const char* kFallbackDirectory = "/tmp/";

// Every directory fixed so far, each kept for the life of the process so
// that a text handed out never changes under its reader, and the current
// one. Set-ups publish under the lock; readers take the current one without
// it.
struct TempDirectories {
    std::mutex lock;
    std::set<std::string> texts;
    std::atomic<const std::string*> current{nullptr};
};

TempDirectories& Directories() {
    static TempDirectories directories;
    return directories;
}

// Keeps the directory, with a separator appended when it lacks one.
void Store(const char* directory) {
    std::string text = JoinFilePath(directory, "");
    TempDirectories& directories = Directories();
    const std::lock_guard<std::mutex> lock(directories.lock);
    const std::string& kept = *directories.texts.insert(std::move(text)).first;
    directories.current.store(&kept, std::memory_order_release);
}

// An environment value that is set, not empty, and fits with a separator.
const char* UsableEnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] == '\0') return nullptr;
    if (std::strlen(value) + 1 > kTempDirectorySize - 1) return nullptr;
    return value;
}

} // namespace

const std::string& TempDirectory() {
    static const std::string kFallback = kFallbackDirectory;
    const std::string* current = Directories().current.load(std::memory_order_acquire);
    return current != nullptr ? *current : kFallback;
}

void FixTempDirectory() {
    // Read into a larger buffer so that a value too long for the directory is
    // recognised instead of being cut into another path.
    char configured[1024];
    plat::WORD length = 0;
    // Every name built on the directory appends to it, so that a value
    // written without its final separator ("/tmp/x") is given one: without
    // it the files would be made beside the folder ("/tmp/xNAME").
    if (plat::IniGetText("$TalixTempDirectory", configured, sizeof configured, &length) && length > 0 &&
        JoinFilePath(configured, "").size() < kTempDirectorySize) {
        Store(configured);
        return;
    }
    if (const char* temp = UsableEnvironmentValue("TEMP")) {
        Store(temp);
        return;
    }
    if (const char* tmp = UsableEnvironmentValue("TMP")) {
        Store(tmp);
        return;
    }
    Store(kFallbackDirectory);
}

std::string MakeOwnTemporaryFile(const std::string& name) {
    static std::atomic<unsigned> count{0};
    const std::size_t slash = name.find_last_of("\\/");
    const std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
    const std::string prefix = TempDirectory() + "talix-" + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path = prefix + std::to_string(count.fetch_add(1)) + "-" + last;
        const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (descriptor >= 0) {
            ::close(descriptor);
            return path;
        }
        if (errno != EEXIST) break;
    }
    ShowTemporaryFileNotMade();
    return std::string();
}

void ShowTemporaryFileNotMade() {
    const int error = errno;
    const std::string text = "cannot make a temporary file in " + TempDirectory() + ": " + std::strerror(error);
    ShowHostMessage(text.c_str());
    errno = error;
}

} // namespace talix
