// The local files an HTML import may read: pictures and style sheets its
// HTML names, only inside one directory.
//
// HTML imported from a file may read files in the file's own directory and
// below it; HTML from the data (an item, a mail, a text) reads none. The
// option "BasePathname=" names another directory for either. A name the
// HTML gives is read below that directory: an absolute name ("/...",
// "\\...", "c:...") is refused, and so is one that leaves the directory on
// the way, by ".." or by a symbolic link; what is not an ordinary file (a
// device, a pipe, a directory) is never opened for reading.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace talix {

enum class LocalRead {
    kRead,
    kNoDirectory,   // the import may read no local file
    kAbsolute,      // the name is absolute
    kOutside,       // the name leads out of the directory
    kNotAFile,      // a device, a pipe, a directory ...
    kMissing,       // nothing of that name
    kTooLarge,      // larger than the reader takes
    kFailed,        // it cannot be read
};

// The directory as the import keeps it: its full name without links, with
// a closing "/"; empty when it names no directory of this machine ("\" and
// "/" both separate).
std::string LocalDirectory(std::string_view directory);

// Reads the file the HTML names by name (a relative path, "/" or "\"
// separating; in the platform's character set, as the HTML's text is) below
// directory (as LocalDirectory gives it) into content, at most limit bytes.
LocalRead ReadLocalFile(const std::string& directory, std::string_view name, std::size_t limit,
                        std::string* content);

// Why a file was not read, for the log.
const char* LocalReadText(LocalRead result);

} // namespace talix
