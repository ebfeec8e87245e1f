#include "markup_writer.h"

#include "core/replacing_file.h"
#include "talix_platform.h"

namespace talix_cli {

namespace {

// Converted text is written in blocks of this size (what is left over
// waits for the next one), so that a file is written at block boundaries.
constexpr std::size_t kWriteSize = 1 << 20;
// Room for the text beyond a block: a piece of at most 64 KB, converted, at
// most doubles.
constexpr std::size_t kPieceRoom = 2 * 65536 + 64;

} // namespace

MarkupWriter::MarkupWriter(std::FILE* out) : out_(out) {
    // Reserved once: grown piece by piece, the text would be copied and
    // fresh memory faulted in at each doubling.
    native_.reserve(kWriteSize + kPieceRoom);
}

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
        const std::size_t converted = plat::LmbcsAppendNative(std::string_view(text, length), native_, true);
        pending_.assign(text + converted, length - converted);
    } else {
        pending_.append(text, length);
        const std::size_t converted = plat::LmbcsAppendNative(pending_, native_, true);
        pending_.erase(0, converted);
    }
    if (native_.size() >= kWriteSize) WriteConverted(false);
}

void MarkupWriter::Finish() {
    if (!pending_.empty()) {
        plat::LmbcsAppendNative(pending_, native_);
        pending_.clear();
    }
    WriteConverted(true);
    if (std::fflush(out_) != 0) Failed();
}

void MarkupWriter::WriteConverted(bool all) {
    const std::size_t size = all ? native_.size() : native_.size() - native_.size() % kWriteSize;
    if (size == 0) return;
    if (std::fwrite(native_.data(), 1, size, out_) != size) Failed();
    native_.erase(0, size);
    if (output_ != nullptr) output_->StartWriteBack();
}

} // namespace talix_cli
