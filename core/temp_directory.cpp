#include "core/temp_directory.h"

#include <cstdlib>
#include <cstring>

#include "talix_platform.h"

namespace talix {

char g_tempDirectory[kTempDirectorySize] = "/tmp/";
std::uint16_t g_tempDirectoryLength = 5;
std::uint16_t g_debugLevel = 0;
std::uint16_t g_suppressMessages = 0;

namespace {

constexpr const char* kFallbackDirectory = "/tmp/";

void Store(const char* directory, bool addSeparator) {
    std::size_t length = std::strlen(directory);
    std::memcpy(g_tempDirectory, directory, length);
    if (addSeparator && length > 0 && directory[length - 1] != '/' && directory[length - 1] != '\\')
        g_tempDirectory[length++] = '/';
    g_tempDirectory[length] = '\0';
    g_tempDirectoryLength = static_cast<std::uint16_t>(length);
}

// An environment value that is set, not empty, and fits with a separator.
const char* UsableEnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] == '\0') return nullptr;
    if (std::strlen(value) + 1 > kTempDirectorySize - 1) return nullptr;
    return value;
}

} // namespace

void FixTempDirectory() {
    // Read into a larger buffer so that a value too long for the directory is
    // recognised instead of being cut into another path.
    char configured[1024];
    plat::WORD length = 0;
    if (plat::IniGetText("$TalixTempDirectory", configured, sizeof configured, &length) && length > 0 &&
        length < kTempDirectorySize) {
        Store(configured, false);
        return;
    }
    if (const char* temp = UsableEnvironmentValue("TEMP")) {
        Store(temp, true);
        return;
    }
    if (const char* tmp = UsableEnvironmentValue("TMP")) {
        Store(tmp, true);
        return;
    }
    Store(kFallbackDirectory, true);
}

} // namespace talix
