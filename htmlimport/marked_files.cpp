// The files that attached-file markers name, by their own names, and the
// names the note stores them under.
#include "htmlimport/marked_files.h"

#include <algorithm>
#include <utility>

namespace talix {

MarkedFilesScope::MarkedFilesScope(std::vector<MarkedFile> files) : before_(std::move(ThisThread().markedFiles)) {
    ThisThread().markedFiles = std::move(files);
}

MarkedFilesScope::~MarkedFilesScope() { ThisThread().markedFiles = std::move(before_); }

namespace {

bool WhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

// Whether the names are the same once each run of white space in either is
// one blank.
bool SameButForWhiteSpace(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (WhiteSpace(a[i]) && WhiteSpace(b[j])) {
            while (i < a.size() && WhiteSpace(a[i])) ++i;
            while (j < b.size() && WhiteSpace(b[j])) ++j;
            continue;
        }
        if (a[i] != b[j]) return false;
        ++i;
        ++j;
    }
    return i == a.size() && j == b.size();
}

std::vector<MarkedFile>::iterator FindMarkedFile(std::vector<MarkedFile>& files, std::string_view file) {
    auto found = std::find_if(files.begin(), files.end(), [&](const MarkedFile& at) { return at.file == file; });
    if (found == files.end())
        found = std::find_if(files.begin(), files.end(),
                             [&](const MarkedFile& at) { return SameButForWhiteSpace(at.file, file); });
    return found;
}

} // namespace

bool HasMarkedFile(std::string_view file) {
    std::vector<MarkedFile>& files = ThisThread().markedFiles;
    return FindMarkedFile(files, file) != files.end();
}

MarkedFile TakeMarkedFile(std::string_view file) {
    std::vector<MarkedFile>& files = ThisThread().markedFiles;
    const auto found = FindMarkedFile(files, file);
    if (found == files.end()) return MarkedFile();
    MarkedFile taken = std::move(*found);
    files.erase(found);
    return taken;
}

} // namespace talix
