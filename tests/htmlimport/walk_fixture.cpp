#include "walk_fixture.h"

#include <cstdio>
#include <fstream>
#include <memory>

#include "core/pool.h"
#include "core/record_io.h"
#include "core/record_list.h"
#include "core/signatures.h"
#include "support/structure_checker.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace import_test {

namespace {

// The records a blank item opens with: a definition, its reference and an
// empty run. An import whose first block opens a paragraph of its own takes
// the place of the reference and the run.
bool BlankOpening(const talix::CDRecordNode* node, std::size_t index) {
    switch (index) {
    case 0: return node->signature == talix::kSigPabDefinition;
    case 1: return node->signature == talix::kSigPabReference && node->length >= 4 && node->bytes[2] == 1;
    case 2: return node->signature == talix::kSigText && node->length == 8 && node->prev != nullptr &&
                   node->prev->signature == talix::kSigPabReference && node->prev->bytes[2] == 1;
    default: return false;
    }
}

std::string Hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", value);
    return text;
}

} // namespace

std::uint16_t ItemRecord::Word(std::size_t offset) const {
    if (offset + 2 > bytes.size()) return 0;
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[offset]) |
                                      static_cast<std::uint8_t>(bytes[offset + 1]) << 8);
}

std::uint32_t ItemRecord::Dword(std::size_t offset) const {
    return Word(offset) | static_cast<std::uint32_t>(Word(offset + 2)) << 16;
}

std::string ItemRecord::Text() const { return bytes.size() > 8 ? bytes.substr(8) : std::string(); }

talix::FontId ItemRecord::Font() const {
    if (bytes.size() < 8) return {};
    return talix::ReadFontId(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 4);
}

std::string Imported::Layout() const {
    std::string layout;
    for (const ItemRecord& record : records) {
        std::string token;
        switch (record.signature) {
        case talix::kSigParagraph: token = "P"; break;
        case talix::kSigPabReference: token = "R" + std::to_string(record.Word(2)); break;
        case talix::kSigPabDefinition: token = "D" + std::to_string(record.Word(4)); break;
        case talix::kSigText: token = "'" + record.Text() + "'"; break;
        case talix::kSigBidiText: token = "<" + record.Text() + ">"; break;
        case talix::kSigHorizontalRule: token = "HR"; break;
        case talix::kSigBegin: token = "B"; break;
        case talix::kSigEnd: token = "E"; break;
        case talix::kSigColor: token = "C" + Hex(record.Word(2)); break;
        case talix::kSigBorderInfo: token = "BORDER"; break;
        default: token = "#" + Hex(record.signature); break;
        }
        layout += (layout.empty() ? "" : " ") + token;
    }
    return layout;
}

std::string Imported::Texts() const {
    std::string texts;
    for (const ItemRecord& record : records) {
        if ((record.signature != talix::kSigText && record.signature != talix::kSigBidiText) || record.bytes.size() <= 8)
            continue;
        texts += (texts.empty() ? "" : "|") + record.Text();
    }
    return texts;
}

const ItemRecord& Imported::Run(const std::string& text) const {
    static const ItemRecord kNone;
    for (const ItemRecord& record : records)
        if ((record.signature == talix::kSigText || record.signature == talix::kSigBidiText) && record.Text() == text)
            return record;
    ADD_FAILURE() << "no run '" << text << "' in " << Layout();
    return kNone;
}

std::string Shown(const Imported& imported) {
    std::string layout = imported.Layout();
    for (char& c : layout)
        if (c == '\0') c = '~';
    return layout;
}

const ItemRecord* Definition(const Imported& imported, std::uint16_t id) {
    for (const ItemRecord& record : imported.records)
        if (record.signature == talix::kSigPabDefinition && record.Word(4) == id) return &record;
    return nullptr;
}

const ItemRecord* First(const Imported& imported, std::uint16_t signature) {
    for (const ItemRecord& record : imported.records)
        if (record.signature == signature) return &record;
    return nullptr;
}

std::size_t Imported::Count(std::uint16_t signature) const {
    std::size_t count = 0;
    for (const ItemRecord& record : records) count += record.signature == signature ? 1 : 0;
    return count;
}

WalkTest::WalkTest() : path_(dir_.file("walk.nsf")) {
    plat::DBHANDLE db = 0;
    EXPECT_EQ(plat::DbCreate(path_.c_str(), &db), plat::NOERROR);
    plat::DbClose(db);
}

plat::NOTEID WalkTest::NewNote() {
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    plat::NOTEID id = 0;
    EXPECT_EQ(plat::DbOpen(path_.c_str(), &db), plat::NOERROR);
    EXPECT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
    EXPECT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
    plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id);
    plat::NoteClose(note);
    plat::DbClose(db);
    return id;
}

plat::NOTEID WalkTest::NoteWithAttachment(const std::string& name) {
    const std::string file = dir_.file(name);
    std::ofstream(file) << "report";
    const plat::NOTEID id = NewNote();
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    EXPECT_EQ(plat::DbOpen(path_.c_str(), &db), plat::NOERROR);
    EXPECT_EQ(plat::NoteOpen(db, id, 0, &note), plat::NOERROR);
    EXPECT_EQ(plat::NoteAttachFile(note, "$FILE", 5, file.c_str(), name.c_str(), plat::ATTACH_DEFAULT), plat::NOERROR);
    EXPECT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
    plat::NoteClose(note);
    plat::DbClose(db);
    return id;
}

Imported WalkTest::Import(const std::string& html, const char* options, plat::NOTEID note) {
    Imported result;
    result.note = note != 0 ? note : NewNote();

    {
        ZervaRTItem item(&session_);
        EXPECT_EQ(item.Connect("", path_.c_str(), result.note, "Body", 1), 0);
        std::unique_ptr<ZervaRTChunk> chunk(item.DefineChunk("Everything"));
        if (beforeImport_) beforeImport_(&item, chunk.get());
        result.status = chunk->AppendHTML("Inline", html.c_str(), options);
        result.errorWord = chunk->errorWord;
        if (result.status == 0) EXPECT_EQ(item.Save(), 0);
    }

    ZervaRTItem item(&session_);
    if (item.Connect("", path_.c_str(), result.note, "Body", 0) != 0) {
        result.problem = "<not connected>";
        return result;
    }
    talix::STATUS status = 0;
    talix::ItemRecordList* list = talix::SIAR(&item, 0, nullptr, 0, 0, 0, nullptr, &status);
    if (list == nullptr || status != 0) {
        result.problem = "<unreadable>";
    } else {
        result.problem = talix_test::CheckStructure(list);
        std::size_t index = 0;
        bool opening = true;
        for (const talix::CDRecordNode* node = list->head; node != nullptr; node = node->next, ++index) {
            opening = opening && BlankOpening(node, index);
            if (opening) continue;
            result.records.push_back(
                ItemRecord{node->signature, std::string(reinterpret_cast<const char*>(node->bytes), node->length)});
        }
    }
    talix::DeleteItemRecordList(&session_, list);
    return result;
}

std::string WalkTest::BodyText(plat::NOTEID note) {
    ZervaRTItem item(&session_);
    if (item.Connect("", path_.c_str(), note, "Body", 0) != 0) return "<not connected>";
    std::unique_ptr<ZervaRTChunk> chunk(item.DefineChunk("Everything"));
    if (chunk == nullptr) {
        ADD_FAILURE() << "note " << note << " has no Body to read";
        return "<no body>";
    }
    std::vector<char> buffer(1 << 20);
    const std::uint32_t length =
        chunk->GetText(nullptr, buffer.data(), static_cast<std::uint32_t>(buffer.size()), 1, nullptr);
    std::string text(buffer.data(), length);
    for (char& c : text)
        if (c == '\0') c = '\n';
    return plat::LmbcsToNative(text);
}

std::string WalkTest::BodyHtml(plat::NOTEID note) {
    ZervaRTItem item(&session_);
    if (item.Connect("", path_.c_str(), note, "Body", 0) != 0) return "<not connected>";
    std::unique_ptr<ZervaRTChunk> chunk(item.DefineChunk("Everything"));
    char* block = chunk->GenerateHTML(nullptr, "HTML", nullptr, 0, nullptr, nullptr);
    if (block == nullptr) return "<no html>";
    std::string html = plat::LmbcsToNative(std::string(block, chunk->session->textResultLength));
    talix::ZervaDeallocate(chunk->session, block);
    return html;
}

} // namespace import_test
