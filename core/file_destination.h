// Where a file name leads once its symbolic links are followed, and the
// folder and last name of a path, for the code that writes files under
// names it is given.
#pragma once

#include <sys/stat.h>

#include <string>

namespace talix {

struct FileDestination {
    std::string path;      // the final name, its folder without links
    struct stat info {};   // what the final name is (not followed), when it exists
    bool exists = false;
    bool throughProc = false;   // a link into /proc: the name of an open file, written through as it stands
};

// Follows the links of path one by one (a link's folder made free of links
// first, so that a relative link is read from where it stands). False
// (errno set) when a folder on the way is missing or the links go round.
bool FindFileDestination(const std::string& path, FileDestination* found);

// The folder of a path ("." for a bare name, "/" for one in the root) and
// its last name.
std::string FolderOfPath(const std::string& path);
std::string NameOfPath(const std::string& path);
// A folder without a trailing "/" and a name in it.
std::string JoinFolderAndName(const std::string& folder, const std::string& name);

} // namespace talix
