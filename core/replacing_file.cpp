#include "core/replacing_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <exception>
#include <string_view>

#include "core/background_sync.h"
#include "core/database_files.h"
#include "core/file_destination.h"
#include "core/folder_file.h"
#include "core/temp_directory.h"

namespace talix {

namespace {

constexpr int kTemporaryTries = 100;
constexpr const char* kTemporaryMark = ".talix-";
constexpr const char* kTemporaryEnd = ".tmp";

// ---- Temporary files a signal removes -----------------------------------

// An entry is free (0), being filled (1), names a file (2) or a folder
// whose entries go with it (3). The states
// are lock-free atomics and the paths fixed arrays, so that a signal handler
// may read them at any moment.
constexpr int kPendingEntries = 32;
struct PendingEntry {
    std::atomic<int> state{0};
    char path[PATH_MAX];
};
PendingEntry g_pending[kPendingEntries];

// A temporary name for name in folder: "NAME.talix-PID-N.tmp".
std::string TemporaryName(const std::string& folder, const std::string& name) {
    static std::atomic<unsigned> count{0};
    return JoinFolderAndName(folder, name + kTemporaryMark + std::to_string(::getpid()) + "-" +
                                         std::to_string(count.fetch_add(1)) + kTemporaryEnd);
}

// The process id in a temporary name of name left in a folder ("NAME.talix-
// PID-N.tmp"), or 0 when the entry is no such name.
pid_t TemporaryOwner(std::string_view entry, const std::string& name) {
    const std::string prefix = name + kTemporaryMark;
    const std::size_t end = std::strlen(kTemporaryEnd);
    if (entry.size() <= prefix.size() + end || entry.substr(0, prefix.size()) != prefix ||
        entry.substr(entry.size() - end) != kTemporaryEnd)
        return 0;
    const std::string_view middle = entry.substr(prefix.size(), entry.size() - prefix.size() - end);
    const std::size_t dash = middle.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == middle.size() || dash > 9) return 0;
    pid_t pid = 0;
    for (std::size_t i = 0; i < middle.size(); ++i) {
        const char c = middle[i];
        if (i == dash) continue;
        if (c < '0' || c > '9') return 0;
        if (i < dash) pid = pid * 10 + (c - '0');
    }
    return pid;
}

// Removes the temporary files of name that runs no longer alive left in
// the folder (killed before they could remove them).
void RemoveLeftTemporaries(const std::string& folder, const std::string& name) {
    // Closed however the walk ends (a name's test may run out of memory).
    struct CloseListing {
        void operator()(DIR* listing) const { ::closedir(listing); }
    };
    const std::unique_ptr<DIR, CloseListing> listing(::opendir(folder.c_str()));
    if (listing == nullptr) return;
    const int descriptor = ::dirfd(listing.get());
    while (const dirent* entry = ::readdir(listing.get())) {
        const pid_t owner = TemporaryOwner(entry->d_name, name);
        if (owner <= 0 || owner == ::getpid()) continue;
        if (::kill(owner, 0) == 0 || errno != ESRCH) continue;
        struct stat info {};
        if (::fstatat(descriptor, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode))
            ::unlinkat(descriptor, entry->d_name, 0);
    }
}

// An unnamed file for text that is passed on whole at the end.
int ScratchFile() {
    const std::string& folder = !TempDirectory().empty() ? TempDirectory() : std::string("/tmp/");
#ifdef O_TMPFILE
    const int unnamed = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (unnamed >= 0) return unnamed;
#endif
    std::string pattern = JoinFolderAndName(FolderOfPath(folder + "x"), "talix-scratch-XXXXXX");
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(pattern.c_str());
    return fd;
}

// Copies what the scratch file holds to the descriptor.
bool PassOn(std::FILE* scratch, int to) {
    if (std::fflush(scratch) != 0 || std::fseek(scratch, 0, SEEK_SET) != 0) return false;
    char buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, scratch)) > 0) {
        if (!WriteAll(to, buffer, n)) return false;
    }
    return std::ferror(scratch) == 0;
}

// The mode fdopen takes for a descriptor opened write-only or for reading
// too: the caller's text without "+" for the first.
std::string StreamMode(const char* mode, bool readable) {
    std::string text;
    for (const char* c = mode; *c != '\0'; ++c) {
        if (*c != '+' || readable) text += *c;
    }
    return text;
}

bool PermissionDenied(int error) { return error == EACCES || error == EPERM || error == EROFS; }

} // namespace

// ---- Pending outputs ----------------------------------------------------

namespace {

constexpr int kNamesFile = 2;
constexpr int kNamesFolder = 3;

int RememberPending(const char* path, int kind) {
    if (path == nullptr || std::strlen(path) >= PATH_MAX) return -1;
    for (int i = 0; i < kPendingEntries; ++i) {
        int free = 0;
        if (!g_pending[i].state.compare_exchange_strong(free, 1)) continue;
        std::strcpy(g_pending[i].path, path);
        g_pending[i].state.store(kind);
        return i;
    }
    return -1;
}

// Removes the entries of a folder (not those of folders in it) and then the
// folder, with system calls alone, as a signal handler may: no directory
// stream, no memory taken.
void RemoveFolder(const char* path) {
    const int folder = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder >= 0) {
        alignas(8) char buffer[4096];
        // Each pass reads the folder from its start and removes what it
        // reads; a pass that removes nothing ends the work.
        for (bool removed = true; removed && ::lseek(folder, 0, SEEK_SET) == 0;) {
            removed = false;
            long got = 0;
            while ((got = ::syscall(SYS_getdents64, folder, buffer, sizeof buffer)) > 0) {
                for (long at = 0; at + 19 < got;) {
                    // A linux_dirent64: inode (8), offset (8), record
                    // length (2), type (1), then the name.
                    unsigned short length = 0;
                    std::memcpy(&length, buffer + at + 16, sizeof length);
                    if (length == 0) break;
                    const char* name = buffer + at + 19;
                    if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0 &&
                        ::unlinkat(folder, name, 0) == 0)
                        removed = true;
                    at += length;
                }
            }
        }
        ::close(folder);
    }
    ::rmdir(path);
}

} // namespace

int RememberPendingOutput(const char* path) { return RememberPending(path, kNamesFile); }

int RememberPendingFolder(const char* path) { return RememberPending(path, kNamesFolder); }

void ForgetPendingOutput(int entry) {
    if (entry >= 0 && entry < kPendingEntries) g_pending[entry].state.store(0);
}

void RemovePendingOutputs() {
    for (PendingEntry& entry : g_pending) {
        const int state = entry.state.load();
        if (state == kNamesFile) ::unlink(entry.path);
        else if (state == kNamesFolder) RemoveFolder(entry.path);
    }
}

// ---- The output file ----------------------------------------------------

ReplacingFile::ReplacingFile() = default;

ReplacingFile::~ReplacingFile() { Discard(); }

bool ReplacingFile::Open(const std::string& path, const char* mode) {
    Discard();
    if (path.empty()) {
        errno = ENOENT;
        return false;
    }
    const bool readBack = std::strchr(mode, '+') != nullptr;
    FileDestination found;
    if (!FindFileDestination(path, &found)) return false;
    // Never over a database this process has open, nor the log files kept
    // beside it.
    if (DatabaseWrittenBy(found).kind != DatabaseFile::kNone) {
        errno = EBUSY;
        return false;
    }
    if (found.throughProc || (found.exists && !S_ISREG(found.info.st_mode)))
        return OpenDirect(path, mode, readBack, readBack ? Way::kGathered : Way::kThrough);
    RemoveLeftTemporaries(FolderOfPath(found.path), NameOfPath(found.path));
    if (!found.exists) return OpenReplacing(found.path, mode);
    // A file that has other names, or another owner the program cannot
    // give it back to, is written where it is.
    const bool ownerKept = ::geteuid() == 0 || found.info.st_uid == ::geteuid();
    if (found.info.st_nlink > 1 || !ownerKept) return OpenDirect(found.path, mode, readBack, Way::kInPlace);
    // A file its owner made read-only is not replaced behind its back: it
    // is refused as writing into it would be.
    if (WriteProtected(found.path)) return false;
    if (OpenReplacing(found.path, mode)) {
        // The new file takes the old one's owner and permissions (the owner
        // first: a change of owner clears set-id bits).
        const int fd = ::fileno(file_);
        if (::geteuid() == 0) {
            if (::fchown(fd, found.info.st_uid, found.info.st_gid) != 0) { /* kept as made */ }
        } else if (found.info.st_gid != ::getegid()) {
            if (::fchown(fd, static_cast<uid_t>(-1), found.info.st_gid) != 0) { /* not a group of the user's */ }
        }
        if (::fchmod(fd, found.info.st_mode & 07777) != 0) {
            const int error = errno;
            Discard();
            errno = error;
            return false;
        }
        return true;
    }
    // A folder the program may not write in: the file itself may still be
    // writable.
    if (PermissionDenied(errno)) return OpenDirect(found.path, mode, readBack, Way::kInPlace);
    return false;
}

bool ReplacingFile::OpenReplacing(const std::string& target, const char* mode) {
    const std::string folder = FolderOfPath(target), name = NameOfPath(target);
    for (int attempt = 0; attempt < kTemporaryTries; ++attempt) {
        const std::string temporary = TemporaryName(folder, name);
        const std::string mustOpen = StreamMode(mode, true);
        // Both names are kept before the file exists: nothing that may fail
        // for want of memory comes between its creation and the record that
        // has it removed.
        target_ = target;
        temporary_ = temporary;
        // Named for the signal handler before it exists: a signal between
        // the file's creation and its registration would leave it behind.
        pending_ = RememberPendingOutput(temporary.c_str());
        const int fd = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            const int error = errno;
            // Not ours to remove: the name may be another run's file.
            temporary_.clear();
            target_.clear();
            ForgetPendingOutput(pending_);
            pending_ = -1;
            errno = error;
            if (errno == EEXIST) continue;
            return false;
        }
        file_ = ::fdopen(fd, mustOpen.c_str());
        if (file_ == nullptr) {
            const int error = errno;
            ::close(fd);
            ::unlink(temporary.c_str());
            temporary_.clear();
            target_.clear();
            ForgetPendingOutput(pending_);
            pending_ = -1;
            errno = error;
            return false;
        }
        way_ = Way::kReplace;
        return true;
    }
    errno = EEXIST;
    return false;
}

bool ReplacingFile::OpenDirect(const std::string& target, const char* mode, bool readBack, Way way) {
    // A regular file is opened for reading too when the caller reads back;
    // a FIFO or device never is (what is read there is not what was
    // written): the caller's text is gathered apart instead.
    const bool readable = readBack && way == Way::kInPlace;
    int flags = (readable ? O_RDWR : O_WRONLY) | O_CLOEXEC | O_NOCTTY;
    flags |= way == Way::kInPlace ? O_TRUNC | O_NOFOLLOW : O_CREAT | O_TRUNC;
    const int fd = ::open(target.c_str(), flags, 0666);
    if (fd < 0) return false;
    if (way == Way::kGathered) {
        const int scratch = ScratchFile();
        file_ = scratch >= 0 ? ::fdopen(scratch, StreamMode(mode, true).c_str()) : nullptr;
        if (file_ == nullptr) {
            const int error = errno;
            if (scratch >= 0) ::close(scratch);
            ::close(fd);
            errno = error;
            return false;
        }
        through_ = fd;
    } else {
        file_ = ::fdopen(fd, StreamMode(mode, readable).c_str());
        if (file_ == nullptr) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return false;
        }
    }
    way_ = way;
    target_ = target;
    return true;
}

bool ReplacingFile::Commit() {
    if (file_ == nullptr) {
        errno = EBADF;
        return false;
    }
    // A write that failed before (a full disk, a device that takes nothing)
    // leaves the stream's error mark even when nothing is left to flush.
    errno = 0;
    bool ok = std::fflush(file_) == 0 && std::ferror(file_) == 0;
    int error = ok ? 0 : (errno != 0 ? errno : EIO);
    if (ok && way_ == Way::kGathered) {
        ok = PassOn(file_, through_);
        if (!ok) error = errno;
    }
    // A sync made on the way that failed fails the output: the failure is
    // not told again to the sync below.
    if (syncer_ != nullptr) {
        const int syncError = syncer_->Stop();
        syncer_.reset();
        if (ok && syncError != 0) {
            ok = false;
            error = syncError;
        }
    }
    // A regular file is on the disk before it takes the name (or before the
    // command says it is written); a FIFO or device has nothing to sync.
    if (ok && (way_ == Way::kReplace || way_ == Way::kInPlace) && ::fsync(::fileno(file_)) != 0) {
        ok = false;
        error = errno;
    }
    if (std::fclose(file_) != 0 && ok) {
        ok = false;
        error = errno;
    }
    file_ = nullptr;
    if (through_ >= 0 && ::close(through_) != 0 && ok) {
        ok = false;
        error = errno;
    }
    through_ = -1;
    if (ok && way_ == Way::kReplace && std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok && way_ == Way::kReplace) ::unlink(temporary_.c_str());
    ForgetPendingOutput(pending_);
    pending_ = -1;
    temporary_.clear();
    way_ = Way::kNone;
    writtenBack_ = 0;
    if (!ok) errno = error;
    return ok;
}

void ReplacingFile::StartWriteBack() {
    if (file_ == nullptr || (way_ != Way::kReplace && way_ != Way::kInPlace)) return;
    if (std::fflush(file_) != 0) return;
    const int fd = ::fileno(file_);
    const off_t end = ::lseek(fd, 0, SEEK_CUR);
    if (end <= writtenBack_) return;
    const off_t from = writtenBack_;
    writtenBack_ = end;
    if (syncer_ == nullptr) {
        try {
            syncer_ = std::make_unique<BackgroundSync>(fd);
        } catch (const std::exception&) {
            // No thread: the write-back is only started, and Commit's sync
            // waits for the rest.
        }
    }
    if (syncer_ != nullptr) {
        syncer_->Request();
        return;
    }
    // Only a request: where the system does not take it, Commit's sync
    // writes everything as before.
    ::sync_file_range(fd, from, end - from, SYNC_FILE_RANGE_WRITE);
}

void ReplacingFile::Discard() {
    const int error = errno;
    syncer_.reset();
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    if (through_ >= 0) ::close(through_);
    through_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
    ForgetPendingOutput(pending_);
    pending_ = -1;
    way_ = Way::kNone;
    writtenBack_ = 0;
    errno = error;
}

} // namespace talix
