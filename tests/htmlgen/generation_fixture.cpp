#include "generation_fixture.h"

#include <cstring>

#include "core/pool.h"
#include "core/record_forms.h"
#include "core/record_list.h"
#include "core/signatures.h"
#include "engine/paragraph_equivalence.h"
#include "htmlgen/close_tag_stack.h"
#include "htmlgen/entity_encoder.h"
#include "htmlgen/generation_options.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/paragraph_definitions.h"
#include "htmlgen/style_rules.h"
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
    talix::UseCallerBuffer(context_.get(), buffer_.data(), capacity);
}

Context::~Context() {
    talix::ReleaseCloseTags(context_.get());
    talix::ReleaseStyleRules(context_.get());
    talix::ReleaseUsedPABDefinitions(context_.get());
    talix::ReleasePabRemap(context_.get());
    talix::ReleaseEncoderTables(context_.get());
    talix::ReleaseGenerationOptions(context_.get());
}

std::uint16_t Context::Read(const char* options, std::uint16_t format, int mimeMode) {
    talix::ReleaseCloseTags(context_.get());
    talix::ReleaseEncoderTables(context_.get());
    talix::ReleaseGenerationOptions(context_.get());
    talix::ReleaseStyleRules(context_.get());
    talix::ReleaseUsedPABDefinitions(context_.get());
    talix::ReleasePabRemap(context_.get());
    talix::XMLGenContext* context = context_.get();
    const auto files = std::make_pair(context->callerFile, context->callerFileName);
    const auto images = context->images;
    *context = talix::XMLGenContext();
    context->session = session_;
    talix::UseCallerBuffer(context, buffer_.data(), static_cast<std::uint32_t>(buffer_.size()));
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

FixtureRecord TextRun(std::uint8_t face, std::uint8_t attributes, std::uint8_t colour, std::uint8_t size,
                  const std::string& lmbcs) {
    const std::uint32_t font = face | (attributes << 8) | (colour << 16) | (static_cast<std::uint32_t>(size) << 24);
    return talix_test::TextRecord(font, lmbcs);
}

FixtureRecord BidiRun(const std::string& lmbcs) {
    FixtureRecord run = TextRun(1, 0, 0, 12, lmbcs);
    run.signature = 0xFFE4;
    talix_test::PutWord(&run, 0, 0xFFE4);
    return run;
}

FixtureRecord Colour(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint16_t flags) {
    FixtureRecord record = talix_test::HostRecord(0x00D2, 8);
    talix_test::PutWord(&record, 2, flags);
    record.bytes[4] = red;
    record.bytes[5] = green;
    record.bytes[6] = blue;
    return record;
}

FixtureRecord Definition(std::uint16_t id, std::uint16_t justification, std::uint16_t flags, std::uint16_t flags2) {
    FixtureRecord record = talix_test::HostRecord(0xFF82, 72);
    talix_test::PutWord(&record, 4, id);
    talix_test::PutWord(&record, 6, justification);
    talix_test::PutWord(&record, 14, 1440);
    talix_test::PutWord(&record, 18, 1440);
    talix_test::PutWord(&record, 62, flags);
    talix_test::PutWord(&record, 68, flags2);
    return record;
}

FixtureRecord Definition(const DefinitionFields& f) {
    FixtureRecord record = talix_test::HostRecord(0xFF82, f.extension ? 92 : 72);
    const std::pair<std::size_t, std::uint16_t> words[] = {
        {4, f.id},     {6, f.justification}, {8, f.lineSpacing}, {10, f.before}, {12, f.after},
        {14, f.left},  {16, f.right},        {18, f.firstLine},  {62, f.flags},  {68, f.flags2}};
    for (const auto& [at, value] : words) talix_test::PutWord(&record, at, value);
    if (f.extension) {
        const std::pair<std::size_t, std::uint16_t> margins[] = {{72, f.leftOffset},      {74, f.leftPercent},
                                                                 {76, f.firstLineOffset}, {78, f.firstLinePercent},
                                                                 {80, f.rightOffset},     {82, f.rightPercent}};
        for (const auto& [at, value] : margins) talix_test::PutWord(&record, at, value);
    }
    return record;
}

FixtureRecord Reference(std::uint16_t id) {
    FixtureRecord record = talix_test::HostRecord(0x0083, 4);
    talix_test::PutWord(&record, 2, id);
    return record;
}

FixtureRecord ParagraphBreak() { return talix_test::HostRecord(0x0081, 2); }

FixtureRecord HideMarker(bool on) {
    FixtureRecord record = talix_test::HostRecord(0xFF68, 16);
    record.bytes[6] = on ? 1 : 0;
    return record;
}

FixtureRecord HideWhen(std::uint16_t id, const std::string& formula) {
    plat::DHANDLE compiled = 0;
    plat::WORD length = 0;
    EXPECT_EQ(plat::FormulaCompile(formula.data(), static_cast<plat::WORD>(formula.size()), &compiled, &length), 0);
    FixtureRecord record = talix_test::HostRecord(0xFFBB, 14u + length);
    talix_test::PutWord(&record, 4, id);
    std::memcpy(record.bytes.data() + 14, plat::MemLock(compiled), length);
    plat::MemUnlock(compiled);
    plat::MemFree(compiled);
    return record;
}

FixtureRecord Rule(std::uint32_t flags, std::uint16_t width, std::uint16_t height, std::uint16_t colour) {
    FixtureRecord record = talix_test::HostRecord(0xFFC9, 16);
    talix_test::PutDword(&record, 4, flags);
    talix_test::PutWord(&record, 8, width);
    talix_test::PutWord(&record, 10, height);
    talix_test::PutWord(&record, 12, colour);
    return record;
}

FixtureRecord Bracket(std::uint16_t signature, std::uint16_t inner) {
    FixtureRecord record = talix_test::HostRecord(signature, 6);
    talix_test::PutWord(&record, 4, inner);
    return record;
}

FixtureRecord Plain(std::uint16_t signature, std::uint32_t length) { return talix_test::HostRecord(signature, length); }

FixtureRecord Field(std::uint16_t dataType, const std::string& name) {
    FixtureRecord record = talix_test::HostRecord(0xFF8A, static_cast<std::uint32_t>(40 + name.size()));
    talix_test::PutWord(&record, 6, dataType);
    talix_test::PutWord(&record, 32, static_cast<std::uint16_t>(name.size()));
    std::memcpy(record.bytes.data() + 40, name.data(), name.size());
    return record;
}

std::string WalkRecords(RARIvoSession* session, ZervaRTItem* item, const Records& records, const char* options,
                        std::uint16_t format, talix::STATUS* status, std::uint32_t capacity, std::size_t first,
                        std::size_t last) {
    Context context(session, capacity);
    context.Read(options, format);
    context->item = item;
    // The records as a list of nodes over copies of their bytes.
    std::vector<std::vector<std::uint8_t>> bytes;
    std::vector<talix::CDRecordNode> nodes(records.size());
    bytes.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        bytes.push_back(records[i].bytes);
        bytes.back().push_back(0);
        talix::CDRecordNode& node = nodes[i];
        node.signature = records[i].signature;
        node.length = static_cast<std::uint32_t>(records[i].bytes.size());
        node.index = static_cast<std::uint16_t>(i + 1);
        node.bytes = bytes.back().data();
        node.prev = i > 0 ? &nodes[i - 1] : nullptr;
        node.next = i + 1 < records.size() ? &nodes[i + 1] : nullptr;
        if (node.signature == talix::kSigPabDefinition && context->definitionCount < talix::kGenRecordListSize)
            context->definitions[context->definitionCount++] = &node;
        if (node.signature == talix::kSigStyleName && context->record166Count < talix::kGenRecordListSize)
            context->records166[context->record166Count++] = &node;
    }
    if (last >= nodes.size()) last = nodes.size() - 1;
    context->node = nodes.empty() || first >= nodes.size() ? nullptr : &nodes[first];
    context->endNode = nodes.empty() ? nullptr : &nodes[last];
    const talix::STATUS walked = talix::PrXMLStr(context.get(), 0, 0, 0);
    if (status != nullptr) *status = walked;
    return context.Text();
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

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

std::string Body(const std::string& markup) {
    const std::size_t tag = markup.find("<body");
    const std::size_t end = markup.rfind("</body>");
    if (tag == std::string::npos || end == std::string::npos) return markup;
    const std::size_t start = markup.find('>', tag) + 1;
    return markup.substr(start, end - start);
}

} // namespace htmlgen_test
