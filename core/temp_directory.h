// Process-wide settings: the temporary directory fixed by the session
// set-up, the debug level of the conversion code and the
// message-suppression switch. Written and read on the one thread of a call.
#pragma once

#include <cstdint>

namespace talix {

constexpr std::uint32_t kTempDirectorySize = 257;   // at most 256 characters and the terminator

// The directory for temporary and part files, ending in a path separator,
// and its length: part-file names are built by appending to it.
extern char g_tempDirectory[kTempDirectorySize];
extern std::uint16_t g_tempDirectoryLength;

// The debug level of the conversion and import code; trace lines are written
// above levels 2 and 3.
extern std::uint16_t g_debugLevel;

// While set, some messages of the database and design-note look-ups are not
// shown. Copied from a new item's SuppressMessages word.
extern std::uint16_t g_suppressMessages;

// Fixes the temporary directory: notes.ini "$TalixTempDirectory" as it
// stands, else the environment variable TEMP, then TMP, with a separator
// appended when the value lacks one, else "/tmp/". A value that does not fit
// is passed over.
void FixTempDirectory();

} // namespace talix
