// The files that attached-file markers name, by their own names, and the
// names the note stores them under.
#include "htmlimport/marked_files.h"

#include <utility>

namespace talix {

namespace {

// One import at a time on a thread: the files of the import running.
thread_local std::vector<MarkedFile> g_files;

} // namespace

MarkedFilesScope::MarkedFilesScope(std::vector<MarkedFile> files) : before_(std::move(g_files)) {
    g_files = std::move(files);
}

MarkedFilesScope::~MarkedFilesScope() { g_files = std::move(before_); }

std::string TakeMarkedFile(std::string_view file) {
    for (auto at = g_files.begin(); at != g_files.end(); ++at) {
        if (at->file != file) continue;
        std::string stored = std::move(at->stored);
        g_files.erase(at);
        return stored;
    }
    return std::string();
}

} // namespace talix
