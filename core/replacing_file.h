// A file written under a name of its own in the directory of the file it is
// to become, and renamed to that name only once all of it is written: a
// failure leaves no file behind, and a file of that name as it was.
#pragma once

#include <cstdio>
#include <string>

namespace talix {

class ReplacingFile {
public:
    ReplacingFile() = default;
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the temporary file beside path, opened with the mode ("w",
    // "w+", "wb"); false (errno set) when it cannot be made.
    bool Open(const std::string& path, const char* mode);
    std::FILE* file() const { return file_; }
    // Flushes and closes the file and gives it the path's name; false when
    // any of that fails, and then nothing is left of it.
    bool Commit();
    // Closes and removes the temporary file (as the destructor does when
    // Commit was not called).
    void Discard();

private:
    std::FILE* file_ = nullptr;
    std::string path_;
    std::string temporary_;
};

} // namespace talix
