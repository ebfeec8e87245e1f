#include "htmlimport/local_files.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "talix_platform.h"

namespace talix {

namespace {

std::string WithSlashes(std::string_view name) {
    std::string path(name);
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

bool IsDriveLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A descriptor that closes itself.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Opens path below the directory open as directoryFd (named directory),
// following no link out of it and no ".." above it. Kernels without that
// kind of open get the same rule from the name's target without links.
int OpenBelow(int directoryFd, const std::string& directory, const std::string& path, int flags) {
    open_how how{};
    how.flags = static_cast<std::uint64_t>(flags);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, directoryFd, path.c_str(), &how, sizeof how);
    if (fd >= 0 || errno != ENOSYS) return static_cast<int>(fd);
    char resolved[PATH_MAX];
    if (::realpath((directory + path).c_str(), resolved) == nullptr) return -1;
    if (std::strncmp(resolved, directory.c_str(), directory.size()) != 0) {
        errno = EXDEV;
        return -1;
    }
    return ::open(resolved, flags | O_NOFOLLOW);
}

LocalRead OpenFailure(int error) {
    switch (error) {
    case EXDEV:
    case ELOOP: return LocalRead::kOutside;
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG: return LocalRead::kMissing;
    default: return LocalRead::kFailed;
    }
}

} // namespace

std::string LocalDirectory(std::string_view directory) {
    std::string path = WithSlashes(directory);
    // A drive letter names nothing on this machine: the path after it does.
    if (path.size() >= 2 && path[1] == ':' && IsDriveLetter(path[0])) path.erase(0, 2);
    if (path.empty()) return "";
    char resolved[PATH_MAX];
    struct stat info {};
    if (::realpath(path.c_str(), resolved) == nullptr || ::stat(resolved, &info) != 0 || !S_ISDIR(info.st_mode))
        return "";
    std::string kept = resolved;
    if (kept.back() != '/') kept.push_back('/');
    return kept;
}

LocalRead ReadLocalFile(const std::string& directory, std::string_view name, std::size_t limit,
                        std::string* content) {
    content->clear();
    // The HTML's text is in the platform's character set, the file
    // system's names are not.
    const std::string path = WithSlashes(plat::LmbcsToNative(name));
    if (!path.empty() && (path[0] == '/' || (path.size() >= 2 && path[1] == ':' && IsDriveLetter(path[0]))))
        return LocalRead::kAbsolute;
    if (directory.empty()) return LocalRead::kNoDirectory;
    if (path.empty()) return LocalRead::kMissing;
    const Descriptor below(::open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (below.get() < 0) return LocalRead::kNoDirectory;

    // What the name leads to is looked at before it is opened for reading,
    // so that no device or pipe is ever opened; the file then opened must
    // be the one looked at.
    const Descriptor looked(OpenBelow(below.get(), directory, path, O_PATH | O_CLOEXEC));
    if (looked.get() < 0) return OpenFailure(errno);
    struct stat seen {};
    if (::fstat(looked.get(), &seen) != 0) return LocalRead::kFailed;
    if (!S_ISREG(seen.st_mode)) return LocalRead::kNotAFile;
    if (static_cast<std::uint64_t>(seen.st_size) > limit) return LocalRead::kTooLarge;
    const Descriptor file(OpenBelow(below.get(), directory, path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0) return OpenFailure(errno);
    struct stat opened {};
    if (::fstat(file.get(), &opened) != 0 || opened.st_dev != seen.st_dev || opened.st_ino != seen.st_ino)
        return LocalRead::kFailed;
    try {
        content->resize(static_cast<std::size_t>(opened.st_size));
        std::size_t got = 0;
        for (;;) {
            if (got == content->size()) {
                if (content->size() >= limit) break;
                content->resize(std::min(limit, content->size() + 65536));
            }
            const ssize_t read = ::read(file.get(), content->data() + got, content->size() - got);
            if (read < 0 && errno == EINTR) continue;
            if (read < 0) return LocalRead::kFailed;
            if (read == 0) break;
            got += static_cast<std::size_t>(read);
        }
        // A file that grew past the limit while it was read.
        char more = 0;
        if (got == limit && ::read(file.get(), &more, 1) > 0) return LocalRead::kTooLarge;
        content->resize(got);
    } catch (const std::bad_alloc&) {
        content->clear();
        return LocalRead::kFailed;
    }
    return LocalRead::kRead;
}

const char* LocalReadText(LocalRead result) {
    switch (result) {
    case LocalRead::kRead: return "read";
    case LocalRead::kNoDirectory: return "the import reads no local file (no directory is named for it)";
    case LocalRead::kAbsolute: return "an absolute name is not read";
    case LocalRead::kOutside: return "the name leads out of the directory the import may read";
    case LocalRead::kNotAFile: return "it is not a file (a device, a pipe or a directory)";
    case LocalRead::kMissing: return "there is no such file";
    case LocalRead::kTooLarge: return "the file is too large";
    case LocalRead::kFailed: return "the file cannot be read";
    }
    return "the file cannot be read";
}

} // namespace talix
