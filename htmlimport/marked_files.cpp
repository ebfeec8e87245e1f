// The files that attached-file markers name, by their own names, and the
// names the note stores them under.
#include "htmlimport/marked_files.h"

#include <utility>

namespace talix {

MarkedFilesScope::MarkedFilesScope(std::vector<MarkedFile> files) : before_(std::move(ThisThread().markedFiles)) {
    ThisThread().markedFiles = std::move(files);
}

MarkedFilesScope::~MarkedFilesScope() { ThisThread().markedFiles = std::move(before_); }

std::string TakeMarkedFile(std::string_view file) {
    std::vector<MarkedFile>& files = ThisThread().markedFiles;
    for (auto at = files.begin(); at != files.end(); ++at) {
        if (at->file != file) continue;
        std::string stored = std::move(at->stored);
        files.erase(at);
        return stored;
    }
    return std::string();
}

} // namespace talix
