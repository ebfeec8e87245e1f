// Reading the text of record lists for the HTML parser.
#include "htmlimport/record_source.h"

#include <new>

#include "core/record_layouts.h"
#include "core/record_list.h"
#include "core/signatures.h"
#include "talix_platform.h"

namespace talix {

namespace {

bool IsTextRun(const CDRecordNode* node) {
    return (node->signature == kSigText || node->signature == kSigBidiText) && node->length > kTextRunHeader;
}

// The text of a text run: its separately held text when it has one, else
// the bytes after its header.
std::string_view RunText(const CDRecordNode* node) {
    if (node->signature == kSigText && RecordExtra(node) != nullptr) {
        const auto* extra = static_cast<const TextExtra*>(RecordExtra(node));
        if (extra->text != nullptr) return std::string_view(extra->text, extra->length);
    }
    if (node->bytes == nullptr) return {};
    return std::string_view(reinterpret_cast<const char*>(node->bytes) + kTextRunHeader, node->length - kTextRunHeader);
}

} // namespace

bool RecordTextSource::Refill() {
    buffer_.clear();
    position_ = 0;
    while (buffer_.empty()) {
        if (!started_) {
            started_ = true;
            node_ = NextRecordNode(list_, nullptr);
            if (node_ == nullptr) return false;
            if (!IsTextRun(node_)) continue;
        } else {
            if (node_ == nullptr) return false;
            node_ = NextRecordNode(list_, node_);
            if (node_ == nullptr) return false;
            if (node_->signature == kSigParagraph) {
                buffer_ = " ";
                break;
            }
            if (!IsTextRun(node_)) continue;
        }
        const std::string_view text = RunText(node_);
        // LMBCS takes at least a third of the bytes of its UTF-8 form.
        buffer_.resize(text.size() * 3 + 4);
        const plat::DWORD written = plat::LmbcsToNativeBuf(text.data(), static_cast<plat::DWORD>(text.size()),
                                                           buffer_.data(), static_cast<plat::DWORD>(buffer_.size()));
        buffer_.resize(written);
    }
    return true;
}

// The parser calls in through C frames: nothing may be thrown past them.
bool RecordTextSource::SafeRefill() {
    if (failed_) return false;
    try {
        return Refill();
    } catch (const std::bad_alloc&) {
        failed_ = true;
        buffer_.clear();
        position_ = 0;
        return false;
    }
}

int RecordTextSource::NextByte() {
    if (!pushed_.empty()) {
        const auto byte = static_cast<unsigned char>(pushed_.back());
        pushed_.pop_back();
        return byte;
    }
    if (position_ >= buffer_.size() && !SafeRefill()) return -1;
    return static_cast<unsigned char>(buffer_[position_++]);
}

void RecordTextSource::Unget(std::uint8_t byte) {
    try {
        pushed_.push_back(static_cast<char>(byte));
    } catch (const std::bad_alloc&) {
        failed_ = true;
    }
}

bool RecordTextSource::AtEnd() {
    if (!pushed_.empty() || position_ < buffer_.size()) return false;
    return !SafeRefill();
}

void RecordTextSource::Measure(ItemRecordList* list, std::size_t* bytes) {
    *bytes = 0;
    for (CDRecordNode* node = NextRecordNode(list, nullptr); node != nullptr; node = NextRecordNode(list, node)) {
        if (node->signature == kSigParagraph) {
            *bytes += 1;
        } else if (IsTextRun(node)) {
            *bytes += RunText(node).size();
        }
    }
}

} // namespace talix
