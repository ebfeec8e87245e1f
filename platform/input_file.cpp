// Opening files read as input: regular files only, never waiting.
#include "talix_platform/input_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {

const char* FileKindText(mode_t mode) {
    if (S_ISREG(mode)) return "a regular file";
    if (S_ISLNK(mode)) return "a symbolic link";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a file";
}

namespace {

int Refuse(mode_t mode, std::string* why) {
    if (why != nullptr) *why = std::string("is ") + FileKindText(mode) + ", not a regular file";
    errno = EINVAL;
    return -1;
}

int Unreadable(int error, std::string* why) {
    if (why != nullptr) *why = std::string("cannot be read: ") + std::strerror(error);
    errno = error;
    return -1;
}

} // namespace

int OpenInputFile(const char* path, std::string* why) {
    if (path == nullptr || path[0] == '\0') return Unreadable(ENOENT, why);
    // Looked at first, so that no device or FIFO is opened at all; then
    // opened without waiting (a FIFO put there meanwhile does not block the
    // open) and looked at again through the descriptor.
    struct stat seen {};
    if (::stat(path, &seen) != 0) return Unreadable(errno, why);
    if (!S_ISREG(seen.st_mode)) return Refuse(seen.st_mode, why);
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return Unreadable(errno, why);
    struct stat opened {};
    if (::fstat(fd, &opened) != 0) {
        const int error = errno;
        ::close(fd);
        return Unreadable(error, why);
    }
    if (!S_ISREG(opened.st_mode)) {
        ::close(fd);
        return Refuse(opened.st_mode, why);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int error = errno;
        ::close(fd);
        return Unreadable(error, why);
    }
    return fd;
}

std::FILE* OpenInputStream(const char* path, std::string* why) {
    const int fd = OpenInputFile(path, why);
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        const int error = errno;
        ::close(fd);
        Unreadable(error, why);
    }
    return file;
}

} // namespace plat
