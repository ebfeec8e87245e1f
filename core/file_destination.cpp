#include "core/file_destination.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

namespace talix {

namespace {

constexpr int kLinkHops = 40;   // as many links as the system follows in one name

bool InProc(const std::string& folder) { return folder == "/proc" || folder.rfind("/proc/", 0) == 0; }

} // namespace

std::string FolderOfPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOfPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JoinFolderAndName(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

bool FindFileDestination(const std::string& path, FileDestination* found) {
    std::string current = path;
    for (int hop = 0; hop < kLinkHops; ++hop) {
        // Freed however the copy ends (it may run out of memory).
        const std::unique_ptr<char, decltype(&std::free)> folder(::realpath(FolderOfPath(current).c_str(), nullptr),
                                                                 &std::free);
        if (folder == nullptr) return false;
        const std::string realFolder = folder.get();
        if (InProc(realFolder)) {
            found->throughProc = true;
            found->path = path;
            found->exists = ::stat(path.c_str(), &found->info) == 0;
            return true;
        }
        const std::string name = NameOfPath(current);
        found->path = name.empty() ? realFolder : JoinFolderAndName(realFolder, name);
        if (::lstat(found->path.c_str(), &found->info) != 0) {
            if (errno != ENOENT) return false;
            found->exists = false;
            return true;
        }
        if (!S_ISLNK(found->info.st_mode)) {
            found->exists = true;
            return true;
        }
        std::string link(PATH_MAX, '\0');
        const ssize_t length = ::readlink(found->path.c_str(), link.data(), link.size());
        if (length < 0) return false;
        link.resize(static_cast<std::size_t>(length));
        current = !link.empty() && link[0] == '/' ? link : JoinFolderAndName(realFolder, link);
    }
    errno = ELOOP;
    return false;
}

} // namespace talix
