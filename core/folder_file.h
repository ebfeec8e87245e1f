// Files the library makes in a folder of its own choosing or of an option's
// (pictures exported to disk, extracted attachments, part files): always a
// new regular file under a name confined to the folder, never written
// through a symbolic link, a FIFO or a device that someone left under that
// name. An existing regular file of the name is replaced: it is removed
// first and the name made anew, so that no other name of that file (a hard
// link elsewhere) changes; one this process may not write is refused. A failure is shown as a message that names the
// file, and a file that cannot be written whole is removed.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace talix {

class FolderFile {
public:
    FolderFile() = default;
    // A file that was not finished is removed.
    ~FolderFile();
    FolderFile(const FolderFile&) = delete;
    FolderFile& operator=(const FolderFile&) = delete;

    // Makes path a new regular file with the permissions given (less the
    // umask). False (errno set, message shown) when something other than a
    // regular file has the name, or the file cannot be made.
    bool Create(const std::string& path, mode_t permissions);
    // Writes all of the bytes; false (message shown) when they cannot be.
    bool Write(const void* data, std::size_t size);
    // Closes the file; false when a write or the closing failed, and then
    // the file is removed.
    bool Finish();
    // Whether nothing had the name before Create.
    bool madeNew() const { return madeNew_; }

private:
    int descriptor_ = -1;
    bool failed_ = false;
    bool madeNew_ = false;
    std::string path_;
};

// Makes path a new regular file as FolderFile::Create does and returns its
// descriptor (opened for writing), or -1 (errno set, message shown).
// *madeNew (may be null) tells whether nothing had the name before.
int MakeFolderFile(const std::string& path, mode_t permissions, bool* madeNew);

// Writes all of the bytes to the descriptor (a write cut short goes on,
// one a signal interrupted is made again); false (errno set) when they
// cannot be written.
bool WriteAll(int descriptor, const void* data, std::size_t size);

// Whether something (a file, a link, anything) has the name; links are not
// followed.
bool NameTaken(const std::string& path);

// Whether the existing file at path is one this process may not write (its
// owner made it read-only, or it is another's that it may not write); errno
// then says why. Such a file is refused, as writing into it would be, and
// never replaced behind its owner's back.
bool WriteProtected(const std::string& path);

// A file name taken from a record, made safe to create in a folder the
// caller names: only its last path component is kept (after the last "/" or
// "\\"), control characters and ":" become "_". False (and an empty name)
// for a name that is then empty, "." or "..".
bool SafeFileName(std::string_view name, std::string* safe);

// A file name (UTF-8) as a file system takes it for its length: one of up
// to 255 bytes as it is; a longer one cut at a whole character of its base
// to make room for "~", eight hexadecimal digits drawn from the whole name
// (so that two long names with the same beginning stay apart) and its
// extension, which it keeps, all within 255 bytes.
std::string FittingFileName(std::string_view name);

// Shows the message of a file the library could not write: "cannot write
// the file 'PATH': " and why.
void ShowFileNotWritten(const std::string& path, const char* why);

// A directory and a file name joined with one "/" between them.
std::string JoinFilePath(const std::string& directory, const std::string& name);

} // namespace talix
