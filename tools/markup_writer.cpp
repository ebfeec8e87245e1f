#include "markup_writer.h"

#include <algorithm>
#include <cstring>

#include "core/kept_blocks.h"
#include "core/replacing_file.h"
#include "talix_platform.h"

namespace talix_cli {

namespace {

// Converted text is written in blocks of this size (what is left over
// waits for the next one), so that a file is written at block boundaries.
constexpr std::size_t kWriteSize = 1 << 20;
// The text is converted in slices of at most this many bytes: each takes
// at most three times as many converted.
constexpr std::size_t kSlice = 1 << 16;
// The converted text's buffer: a block and a slice converted past it fit.
// Of the largest kept size, it is taken in a few large pages where the
// system has them, not faulted in page by page.
constexpr std::size_t kBufferSize = talix::kLargestKeptBlock;
static_assert(kWriteSize + 3 * kSlice <= kBufferSize);

} // namespace

MarkupWriter::~MarkupWriter() { talix::GiveBackKeptBlock(native_, kBufferSize); }

void MarkupWriter::SetFile(std::FILE* out, talix::ReplacingFile* output) {
    WriteConverted(true);
    out_ = out;
    output_ = output;
    // The blocks go to the file as they are, not through the stream's own
    // small buffer (which would split each into unaligned writes).
    if (output_ != nullptr) std::setvbuf(out_, nullptr, _IONBF, 0);
}

void MarkupWriter::Write(const char* text, std::size_t length) {
    if (pending_.empty()) {
        const std::size_t converted = Convert(text, length, true);
        pending_.assign(text + converted, length - converted);
    } else {
        pending_.append(text, length);
        const std::size_t converted = Convert(pending_.data(), pending_.size(), true);
        pending_.erase(0, converted);
    }
}

void MarkupWriter::Finish() {
    if (!pending_.empty()) {
        Convert(pending_.data(), pending_.size(), false);
        pending_.clear();
    }
    WriteConverted(true);
    if (std::fflush(out_) != 0) Failed();
}

std::size_t MarkupWriter::Convert(const char* text, std::size_t length, bool wholeOnly) {
    if (native_ == nullptr && length > 0) {
        native_ = static_cast<char*>(talix::TakeKeptBlock(kBufferSize));
        if (native_ == nullptr) {
            errno = ENOMEM;
            Failed();
        }
    }
    // Without a buffer the text is taken and lost, the failure noted.
    if (native_ == nullptr) return length;
    std::size_t done = 0;
    while (done < length) {
        const std::size_t slice = std::min(length - done, kSlice);
        const bool last = done + slice == length;
        // Only the text's end may leave a cut character: a slice that
        // ends inside one leaves it to the next slice.
        const std::size_t converted = plat::LmbcsAppendNative(std::string_view(text + done, slice), native_,
                                                              kBufferSize, &used_, last ? wholeOnly : true);
        done += converted;
        if (used_ >= kWriteSize) WriteConverted(false);
        // A slice that converts nothing (no room) ends the conversion too:
        // the rest is left to the caller rather than looped over.
        if (converted < slice && (last || converted == 0)) break;
    }
    return done;
}

void MarkupWriter::WriteConverted(bool all) {
    const std::size_t size = all ? used_ : used_ - used_ % kWriteSize;
    if (size == 0) return;
    if (std::fwrite(native_, 1, size, out_) != size) Failed();
    std::memmove(native_, native_ + size, used_ - size);
    used_ -= size;
    if (output_ != nullptr) output_->StartWriteBack();
}

} // namespace talix_cli
