#include "core/folder_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/database_files.h"
#include "core/host_message.h"
#include "talix_platform/input_file.h"

namespace talix {

namespace {

// What stands under a name that is not a regular file, in words.
std::string KindOf(mode_t mode) { return std::string("it is ") + plat::FileKindText(mode); }

} // namespace

void ShowFileNotWritten(const std::string& path, const char* why) {
    const std::string text = "cannot write the file '" + path + "': " + why;
    ShowHostMessage(text.c_str());
}

FolderFile::~FolderFile() {
    failed_ = true;
    Finish();
}

int MakeFolderFile(const std::string& path, mode_t permissions, bool* madeNew) {
    // Never over a database this process has open, nor the log files kept
    // beside it (a file taken from a document may bear such a name).
    const DatabaseAt database = DatabaseWrittenBy(path);
    if (database.kind != DatabaseFile::kNone) {
        ShowFileNotWritten(path, (database.kind == DatabaseFile::kDatabase
                                      ? "it is the open database " + database.database
                                      : "the open database " + database.database + " keeps its log there")
                                     .c_str());
        errno = EBUSY;
        return -1;
    }
    struct stat info {};
    const bool free = ::lstat(path.c_str(), &info) != 0;
    if (madeNew != nullptr) *madeNew = free;
    if (!free && !S_ISREG(info.st_mode)) {
        ShowFileNotWritten(path, KindOf(info.st_mode).c_str());
        errno = EEXIST;
        return -1;
    }
    if (!free && WriteProtected(path)) {
        const int error = errno;
        ShowFileNotWritten(path, std::strerror(error));
        errno = error;
        return -1;
    }
    if (!free && ::unlink(path.c_str()) != 0 && errno != ENOENT) {
        const int error = errno;
        ShowFileNotWritten(path, std::strerror(error));
        errno = error;
        return -1;
    }
    // Made exclusively: whatever took the name meanwhile is never opened
    // (O_EXCL follows no link), and what is opened is the new regular file.
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY |
                                                    O_CLOEXEC, permissions);
    if (descriptor < 0) {
        const int error = errno;
        ShowFileNotWritten(path, error == EEXIST ? "something else took the name meanwhile" : std::strerror(error));
        errno = error;
    }
    return descriptor;
}

bool FolderFile::Create(const std::string& path, mode_t permissions) {
    failed_ = true;
    Finish();
    failed_ = false;
    path_ = path;
    descriptor_ = MakeFolderFile(path, permissions, &madeNew_);
    return descriptor_ >= 0;
}

bool FolderFile::Write(const void* data, std::size_t size) {
    if (descriptor_ < 0 || failed_) return false;
    if (WriteAll(descriptor_, data, size)) return true;
    ShowFileNotWritten(path_, std::strerror(errno));
    failed_ = true;
    return false;
}

bool FolderFile::Finish() {
    if (descriptor_ < 0) return false;
    const bool closed = ::close(descriptor_) == 0;
    descriptor_ = -1;
    if (!closed && !failed_) ShowFileNotWritten(path_, std::strerror(errno));
    if (failed_ || !closed) {
        ::unlink(path_.c_str());
        return false;
    }
    return true;
}

bool WriteAll(int descriptor, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t done = ::write(descriptor, bytes, size);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            if (done == 0) errno = EIO;
            return false;
        }
        bytes += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

bool NameTaken(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool WriteProtected(const std::string& path) {
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT;
}

bool SafeFileName(std::string_view name, std::string* safe) {
    safe->clear();
    const std::size_t cut = name.find_last_of("/\\");
    if (cut != std::string_view::npos) name.remove_prefix(cut + 1);
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0) break;
        *safe += byte < 0x20 || byte == 0x7F || c == ':' ? '_' : c;
    }
    if (safe->empty() || *safe == "." || *safe == "..") {
        safe->clear();
        return false;
    }
    return true;
}

std::string FittingFileName(std::string_view name) {
    constexpr std::size_t kLongestFileName = 255;
    constexpr std::size_t kLongestExtension = 32;
    if (name.size() <= kLongestFileName) return std::string(name);
    std::uint32_t hash = 2166136261u;
    for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    char mark[16];
    std::snprintf(mark, sizeof mark, "~%08x", static_cast<unsigned>(hash));
    const std::size_t dot = name.rfind('.');
    const bool extension = dot != std::string_view::npos && dot > 0 && name.size() - dot <= kLongestExtension;
    const std::string_view suffix = extension ? name.substr(dot) : std::string_view();
    std::size_t room = kLongestFileName - suffix.size() - std::strlen(mark);
    // Back to the first byte of a character.
    while (room > 0 && (static_cast<unsigned char>(name[room]) & 0xC0) == 0x80) --room;
    return std::string(name.substr(0, room)) + mark + std::string(suffix);
}

std::string JoinFilePath(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    const char last = directory.back();
    return last == '/' || last == '\\' ? directory + name : directory + "/" + name;
}

} // namespace talix
