#include "generation_fixture.h"

#include <cstring>

#include "core/pool.h"
#include "htmlgen/entity_encoder.h"
#include "htmlgen/generation_options.h"
#include "htmlgen/line_buffer.h"
#include "support/record_fixture.h"
#include "talix_platform.h"

namespace htmlgen_test {

talix_test::FixtureRecord TextBytes(const std::string& lmbcs) { return talix_test::TextRecord(0x0A000001, lmbcs); }

ZervaRTChunk* GenerationTest::Define(const Records& records, const char* definition) {
    EXPECT_EQ(item_.Connect("", db_.path().c_str(), db_.AddNote(records), "Body", 0), 0);
    chunks_.emplace_back(item_.DefineChunk(definition));
    return chunks_.back().get();
}

std::string GenerationTest::Generate(ZervaRTChunk* chunk, const char* format, const char* options,
                                     const char* extraDefinition, ZervaRTChunk::ActOnText actOnText) {
    char* block = chunk->GenerateHTML(extraDefinition, format, options, 0, actOnText, nullptr);
    if (block == nullptr) return "<none>";
    std::string markup(block, session_.textResultLength);
    EXPECT_EQ(block[session_.textResultLength], '\0');
    talix::ZervaDeallocate(&session_, block);
    return markup;
}

Context::Context(RARIvoSession* session, std::uint32_t capacity)
    : session_(session), context_(std::make_unique<talix::XMLGenContext>()), buffer_(capacity, '\0') {
    context_->session = session;
    context_->buffer = buffer_.data();
    context_->capacity = capacity;
    context_->callerBuffer = 1;
    context_->writePosition = buffer_.data();
}

Context::~Context() {
    talix::ReleaseEncoderTables(context_.get());
    talix::ReleaseGenerationOptions(context_.get());
}

std::uint16_t Context::Read(const char* options, std::uint16_t format, int mimeMode) {
    talix::ReleaseEncoderTables(context_.get());
    talix::ReleaseGenerationOptions(context_.get());
    talix::XMLGenContext* context = context_.get();
    const auto files = std::make_pair(context->callerFile, context->callerFileName);
    const auto images = context->images;
    *context = talix::XMLGenContext();
    context->session = session_;
    context->buffer = buffer_.data();
    context->capacity = static_cast<std::uint32_t>(buffer_.size());
    context->callerBuffer = 1;
    context->writePosition = buffer_.data();
    context->callerFile = files.first;
    context->callerFileName = files.second;
    context->images = images;
    options_ = options != nullptr ? options : "";
    context->optionText = options != nullptr ? options_.data() : nullptr;
    context->format = format;
    context->mimeMode = mimeMode;
    return talix::ReadGenerationOptions(context);
}

std::string Context::Text() { return std::string(buffer_.data(), talix::TextLength(context_.get())); }

void Context::SetText(const std::string& text) {
    std::memset(buffer_.data(), 0, buffer_.size());
    std::memcpy(buffer_.data(), text.data(), text.size());
    context_->writePosition = buffer_.data() + text.size();
    context_->measuredLength = 0;
    context_->encodedLength = 0;
    context_->wrappedLength = 0;
    context_->flushMark = 0;
}

std::string DecodeQuotedPrintable(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '=') {
            out += text[i];
        } else if (i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n') {
            i += 2;
        } else if (i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        }
    }
    return out;
}

} // namespace htmlgen_test
