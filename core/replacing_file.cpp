#include "core/replacing_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace talix {

ReplacingFile::~ReplacingFile() { Discard(); }

bool ReplacingFile::Open(const std::string& path, const char* mode) {
    Discard();
    static std::atomic<unsigned> count{0};
    // The new file gets the permissions a file made under the path would
    // get; it is created exclusively, so nothing is written through a name
    // someone else made.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary =
            path + ".talix-" + std::to_string(::getpid()) + "-" + std::to_string(count.fetch_add(1)) + ".tmp";
        const int fd = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        file_ = ::fdopen(fd, mode);
        if (file_ == nullptr) {
            const int error = errno;
            ::close(fd);
            ::unlink(temporary.c_str());
            errno = error;
            return false;
        }
        path_ = path;
        temporary_ = temporary;
        return true;
    }
    errno = EEXIST;
    return false;
}

bool ReplacingFile::Commit() {
    if (file_ == nullptr) return false;
    const bool flushed = std::fflush(file_) == 0 && ::fsync(::fileno(file_)) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!flushed || !closed || std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
        return false;
    }
    temporary_.clear();
    return true;
}

void ReplacingFile::Discard() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

} // namespace talix
