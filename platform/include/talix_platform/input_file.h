// Files read as input (a DXL export, a mail file, HTML, a picture, an
// attachment's contents).
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string>

#include "talix_platform/types.h"

namespace plat {

// Opens a file to be read as input: a regular file only (a link to one
// included). A FIFO, a device, a directory or a socket is refused without
// ever being opened for reading, so that nothing waits for a writer that
// never comes and no device acts on being opened. Returns the descriptor
// (blocking reads, closed on exec), or -1 with errno set (EINVAL for a file
// that is not a regular one) and *why, when given, saying what is wrong in
// words that follow the file's name ("is a FIFO, not a regular file",
// "cannot be read: No such file or directory").
TPLAT_API int OpenInputFile(const char* path, std::string* why = nullptr);
// The same as a stream ("rb"); null as above.
TPLAT_API std::FILE* OpenInputStream(const char* path, std::string* why = nullptr);

// What a file of the mode (a stat's st_mode; an lstat's for a link) is, in
// words for messages: "a regular file", "a symbolic link", "a FIFO", "a
// character device", "a block device", "a directory", "a socket", else "not
// a file".
TPLAT_API const char* FileKindText(mode_t mode);

} // namespace plat
