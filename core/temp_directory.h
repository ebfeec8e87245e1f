// The temporary directory fixed by the session set-up, safe to read and set
// from sessions on several threads.
#pragma once

#include <cstdint>
#include <string>

namespace talix {

constexpr std::uint32_t kTempDirectorySize = 257;   // at most 256 characters and the terminator

// The directory for temporary and part files, ending in a path separator
// ("/tmp/" until a set-up fixes one): part-file names are built by appending
// to it. The text a caller is given stays valid and unchanged for the life
// of the process; a set-up that fixes another directory publishes a new one.
const std::string& TempDirectory();

// Fixes the temporary directory: notes.ini "$TalixTempDirectory", else the
// environment variable TEMP, then TMP, else "/tmp/"; a separator is appended
// to the value when it lacks one. A value that does not fit with its
// separator is passed over.
void FixTempDirectory();

// Makes a new, empty file of the caller's own in the temporary directory,
// named "talix-PID-N-" and then name (its last path component), and returns
// its path. No other run or thread is given the same name, and the file is
// never one someone left under a name known ahead: it is made exclusively,
// without following a link. Empty (errno set) when none can be made, and
// the host is told so, as ShowTemporaryFileNotMade does.
std::string MakeOwnTemporaryFile(const std::string& name);

// Tells the host that no file could be made in the temporary directory and
// why (errno, which it leaves as it was): "cannot make a temporary file in
// DIR: why".
void ShowTemporaryFileNotMade();

} // namespace talix
