// Markup handed on in pieces of the platform's character set, written to a
// file as UTF-8: each piece converted into one buffer of the writer's, the
// converted text written in large blocks. A piece that ends inside a
// character keeps its first bytes for the next one.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <string>

namespace talix {
class ReplacingFile;
}

namespace talix_cli {

class MarkupWriter {
public:
    explicit MarkupWriter(std::FILE* out = stdout) : out_(out) {}
    ~MarkupWriter();
    MarkupWriter(const MarkupWriter&) = delete;
    MarkupWriter& operator=(const MarkupWriter&) = delete;

    // Where the text goes from now on (what was converted before goes to
    // the file it was meant for first). With the output file it belongs
    // to, each block written is passed on to the disk at once, so that the
    // file's final sync has little left to wait for.
    void SetFile(std::FILE* out, talix::ReplacingFile* output = nullptr);
    void Write(const char* text, std::size_t length);
    // Converts what is left of a cut character as it stands, writes
    // everything and flushes the file.
    void Finish();
    // Whether a write or the flush failed.
    bool failed() const { return failed_; }
    // The error of the first write that failed (EIO when the stream gave none).
    int error() const { return error_; }

private:
    // Converts text a slice at a time, writing whole blocks as they fill;
    // returns the bytes converted (with wholeOnly, a character cut at the
    // end is left).
    std::size_t Convert(const char* text, std::size_t length, bool wholeOnly);
    // Writes the converted text: all of it, or the whole blocks it holds.
    void WriteConverted(bool all);

    std::FILE* out_;
    talix::ReplacingFile* output_ = nullptr;
    std::string pending_;       // the first bytes of a character the last piece cut
    char* native_ = nullptr;    // converted, not written yet: used_ bytes
    std::size_t used_ = 0;
    void Failed() {
        if (!failed_) error_ = errno != 0 ? errno : EIO;
        failed_ = true;
    }
    bool failed_ = false;
    int error_ = 0;
};

} // namespace talix_cli
