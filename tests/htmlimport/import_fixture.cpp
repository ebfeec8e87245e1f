#include "import_fixture.h"

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "core/record_forms.h"
#include "core/record_io.h"
#include "htmlimport/import_options.h"
#include "htmlimport/parser_drivers.h"
#include "support/record_fixture.h"
#include "talix/chunk.h"
#include "talix_platform.h"

namespace import_test {

using talix::HtmlNode;
using talix::HtmlNodeType;

ListRecord Text(const std::string& text) { return {0xFF85, text}; }
ListRecord Paragraph() { return {0x0081, {}}; }
ListRecord Bare(std::uint16_t signature) { return {signature, {}}; }

namespace {

void DumpOne(const talix::HtmlDocument& document, const HtmlNode* node, std::string* out) {
    switch (node->type) {
    case HtmlNodeType::kText: *out += "'" + std::string(document.Text(node)) + "'"; return;
    case HtmlNodeType::kComment: *out += "<!" + std::string(document.Text(node)) + ">"; return;
    case HtmlNodeType::kSection: *out += "<![" + std::string(document.Text(node)) + "]>"; return;
    case HtmlNodeType::kStartTag:
    case HtmlNodeType::kStartEndTag: break;
    default: *out += "#" + std::to_string(static_cast<int>(node->type)); return;
    }
    *out += node->name;
    if (node->attributes != nullptr) {
        *out += "[";
        for (const talix::HtmlAttr* attr = node->attributes; attr != nullptr; attr = attr->next) {
            if (attr != node->attributes) *out += " ";
            *out += attr->name;
            if (attr->value != nullptr) *out += std::string("=") + attr->value;
        }
        *out += "]";
    }
    if (node->firstChild == nullptr) return;
    *out += "(";
    for (const HtmlNode* child = node->firstChild; child != nullptr; child = child->next) {
        if (child != node->firstChild) *out += " ";
        DumpOne(document, child, out);
    }
    *out += ")";
}

} // namespace

std::string Dump(const talix::HtmlDocument& document, const HtmlNode* node) {
    std::string out;
    if (node != nullptr) DumpOne(document, node, &out);
    return out;
}

const HtmlNode* Body(const talix::HtmlDocument& document) {
    for (const HtmlNode* node = document.Root()->firstChild; node != nullptr; node = node->next) {
        if (!node->Is(talix::HtmlTag::kHtml)) continue;
        for (const HtmlNode* child = node->firstChild; child != nullptr; child = child->next)
            if (child->Is(talix::HtmlTag::kBody)) return child;
    }
    return nullptr;
}

void ImportTest::SetUp() {
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    plat::NOTEID id = 0;
    ASSERT_EQ(plat::DbCreate(dir_.file("t.nsf").c_str(), &db), 0);
    ASSERT_EQ(plat::NoteCreate(db, &note), 0);
    ASSERT_EQ(talix_test::StoreRichTextItem(note, "Body", {talix_test::TextRecord(0x0A000001, "x")}), 0);
    ASSERT_EQ(plat::NoteUpdate(note, 0), 0);
    ASSERT_EQ(plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id), 0);
    plat::NoteClose(note);
    plat::DbClose(db);
    ASSERT_EQ(item_.Connect("", dir_.file("t.nsf").c_str(), id, "Body", 0), 0);

    context_->session = &session_;
    context_->chunk = item_.DefineChunk("Everything");
    ASSERT_NE(context_->chunk, nullptr);
    context_->output.session = &session_;
    context_->output.item = &item_;
    ASSERT_EQ(talix::StartOutputSegment(&context_->output), 0);
    import_ = NewImport();
    plat::LogClearRecent();
}

void ImportTest::TearDown() {
    talix::ReleaseImportContext(import_.get(), context_.get());
    for (talix::ItemRecordList* list : lists_) {
        talix::DeleteItemRecordList(&session_, list);
    }
    talix::DeleteItemRecordList(&session_, item_.work->output);
    item_.work->output = nullptr;
}

std::unique_ptr<talix::HTMLImportContext> ImportTest::NewImport() {
    auto import = std::make_unique<talix::HTMLImportContext>();
    import->session = &session_;
    return import;
}

std::uint16_t ImportTest::ParseBuffer(const std::string& html, const char* options) {
    talix::ReleaseImportContext(import_.get(), context_.get());
    import_ = NewImport();
    EXPECT_EQ(talix::CopyImportOptionText(import_.get(), options, talix::ImportSource::kText), 0);
    return talix::ParseHTMLBuffer(html.data(), static_cast<std::uint32_t>(html.size()), "indent", import_.get(),
                                  context_.get());
}

std::string ImportTest::BodyDump() const {
    if (import_->document == nullptr) return "<no tree>";
    const HtmlNode* body = Body(*import_->document);
    return body != nullptr ? Dump(*import_->document, body) : "<no body>";
}

talix::ItemRecordList* ImportTest::MakeList(const std::vector<ListRecord>& records) {
    auto* list = new talix::ItemRecordList();
    lists_.push_back(list);
    for (const ListRecord& record : records) {
        auto* node = new talix::CDRecordNode();
        const bool byteForm = record.signature < 0x100;
        const std::uint32_t length = byteForm ? 2 : static_cast<std::uint32_t>(8 + record.text.size());
        node->bytes = static_cast<std::uint8_t*>(std::calloc(talix::EvenLength(length), 1));
        if (byteForm) {
            node->bytes[0] = static_cast<std::uint8_t>(record.signature);
            node->bytes[1] = static_cast<std::uint8_t>(length);
        } else {
            talix::WriteWord(node->bytes, record.signature);
            talix::WriteWord(node->bytes + 2, static_cast<std::uint16_t>(length));
            node->bytes[4] = 1;
            node->bytes[7] = 10;
            std::memcpy(node->bytes + 8, record.text.data(), record.text.size());
        }
        node->signature = record.signature;
        node->length = length;
        node->flags = talix::kNodeOwnsBytes;
        node->prev = list->tail;
        if (list->tail != nullptr) list->tail->next = node;
        else list->head = node;
        list->tail = node;
    }
    return list;
}

std::vector<std::string> ImportTest::ListContent(talix::ItemRecordList* list) {
    std::vector<std::string> content;
    for (talix::CDRecordNode* node = list->head; node != nullptr; node = node->next) {
        switch (node->signature) {
        case 0xFF85: content.emplace_back(reinterpret_cast<const char*>(node->bytes) + 8, node->length - 8); break;
        case 0x0081: content.emplace_back("P"); break;
        case 0xFFCC: content.emplace_back("B"); break;
        case 0xFFCD: content.emplace_back("E"); break;
        default: content.emplace_back("?"); break;
        }
    }
    return content;
}

std::vector<std::uint16_t> ImportTest::OutputSignatures() const {
    std::vector<std::uint16_t> signatures;
    if (item_.work->output == nullptr) return signatures;
    for (const talix::CDRecordNode* node = item_.work->output->head; node != nullptr; node = node->next)
        signatures.push_back(node->signature);
    return signatures;
}

std::string ImportTest::WriteFile(const std::string& name, const std::string& content) const {
    const std::string path = dir_.file(name);
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

} // namespace import_test
