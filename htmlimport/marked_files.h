// The files that the attached-file markers of an import name, where the
// note keeps them under stored names of their own (several files of one
// name are kept apart so). A conversion that knows them (a MIME message
// whose parts name the note's own attachments) sets them for the length of
// its import; each marker then takes the first file of its name not yet
// taken.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/thread_state.h"

namespace talix {

// Sets the files for the scope's life; what was set before comes back at
// its end.
class MarkedFilesScope {
public:
    explicit MarkedFilesScope(std::vector<MarkedFile> files);
    ~MarkedFilesScope();
    MarkedFilesScope(const MarkedFilesScope&) = delete;
    MarkedFilesScope& operator=(const MarkedFilesScope&) = delete;

private:
    std::vector<MarkedFile> before_;
};

// The first file named `file` not yet taken, now taken: its own name and
// the name the note stores it under (both empty when there is none). A
// name the marker gives with a run of white space where the file's name
// has another (HTML makes each such run one blank) names that file when no
// file has the name exactly.
MarkedFile TakeMarkedFile(std::string_view file);

// Whether a file not yet taken is named `file`, as TakeMarkedFile finds it.
bool HasMarkedFile(std::string_view file);

} // namespace talix
