#include "markup_writer.h"

#include "core/replacing_file.h"
#include "talix_platform.h"

namespace talix_cli {

namespace {

// Converted text is written once it reaches this size.
constexpr std::size_t kWriteSize = 1 << 20;

} // namespace

void MarkupWriter::SetFile(std::FILE* out, talix::ReplacingFile* output) {
    WriteConverted();
    out_ = out;
    output_ = output;
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
    if (native_.size() >= kWriteSize) WriteConverted();
}

void MarkupWriter::Finish() {
    if (!pending_.empty()) {
        plat::LmbcsAppendNative(pending_, native_);
        pending_.clear();
    }
    WriteConverted();
    if (std::fflush(out_) != 0) Failed();
}

void MarkupWriter::WriteConverted() {
    if (native_.empty()) return;
    if (std::fwrite(native_.data(), 1, native_.size(), out_) != native_.size()) Failed();
    native_.clear();
    if (output_ != nullptr) output_->StartWriteBack();
}

} // namespace talix_cli
