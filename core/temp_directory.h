// Process-wide settings: the temporary directory fixed by the session
// set-up and the debug level of the conversion code, both safe to read and
// set from sessions on several threads; and the message-suppression switch,
// which a call sets and reads on its own thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace talix {

constexpr std::uint32_t kTempDirectorySize = 257;   // at most 256 characters and the terminator

// The directory for temporary and part files, ending in a path separator
// ("/tmp/" until a set-up fixes one): part-file names are built by appending
// to it. The text a caller is given stays valid and unchanged for the life
// of the process; a set-up that fixes another directory publishes a new one.
const std::string& TempDirectory();

// A level that threads may set and read at any time: each read sees a value
// some thread set, and orders nothing else (only trace lines depend on it).
class SharedLevel {
public:
    operator std::uint16_t() const { return value_.load(std::memory_order_relaxed); }
    SharedLevel& operator=(std::uint16_t value) {
        value_.store(value, std::memory_order_relaxed);
        return *this;
    }

private:
    std::atomic<std::uint16_t> value_{0};
};

// The debug level of the conversion and import code; trace lines are written
// above levels 2 and 3.
extern SharedLevel g_debugLevel;

// While set, some messages of the database and design-note look-ups are not
// shown. Copied from a new item's SuppressMessages word; each thread has its
// own, so that one session's items do not silence another's.
extern constinit thread_local std::uint16_t g_suppressMessages;

// Fixes the temporary directory: notes.ini "$TalixTempDirectory" as it
// stands, else the environment variable TEMP, then TMP, with a separator
// appended when the value lacks one, else "/tmp/". A value that does not fit
// is passed over.
void FixTempDirectory();

} // namespace talix
