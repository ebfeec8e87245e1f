#include "chunk_fixture.h"

#include <cstring>

#include "core/record_io.h"
#include "core/record_list.h"
#include "core/signatures.h"
#include "support/structure_checker.h"
#include "talix_platform.h"

namespace chunkops_test {

using talix_test::FixtureRecord;
using talix_test::HostRecord;

std::size_t Body::Count(std::uint16_t signature) const {
    std::size_t count = 0;
    for (std::uint16_t each : signatures) count += each == signature ? 1 : 0;
    return count;
}

std::uint16_t Body::Word(std::uint16_t signature, std::size_t n, std::size_t offset) const {
    for (std::size_t i = 0; i < signatures.size(); ++i) {
        if (signatures[i] != signature) continue;
        if (n-- > 0) continue;
        const std::string& bytes = records[i];
        if (offset + 2 > bytes.size()) return 0;
        return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[offset]) |
                                          (static_cast<std::uint8_t>(bytes[offset + 1]) << 8));
    }
    return 0;
}

bool Body::Holds(const std::string& text) const {
    for (const std::string& bytes : records) {
        if (bytes.find(text) != std::string::npos) return true;
    }
    return false;
}

std::string Body::Joined() const {
    std::string joined;
    for (const std::string& text : texts) joined += (joined.empty() ? "" : "|") + text;
    return joined;
}

ChunkTest::ChunkTest() : path_(dir_.file("chunks.nsf")) {
    plat::DBHANDLE db = 0;
    EXPECT_EQ(plat::DbCreate(path_.c_str(), &db), plat::NOERROR);
    plat::DbClose(db);
}

ChunkTest::~ChunkTest() { delete item_; }

plat::NOTEID ChunkTest::NewNote(const std::vector<FixtureRecord>& body) {
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    plat::NOTEID id = 0;
    EXPECT_EQ(plat::DbOpen(path_.c_str(), &db), plat::NOERROR);
    EXPECT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
    if (!body.empty()) EXPECT_EQ(talix_test::StoreRichTextItem(note, "Body", body), plat::NOERROR);
    plat::ItemSetText(note, "Form", "Memo", 4);
    EXPECT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
    plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id);
    plat::NoteClose(note);
    plat::DbClose(db);
    return id;
}

void ChunkTest::Open(plat::NOTEID id, const char* itemName) {
    delete item_;
    item_ = new ZervaRTItem(&session_);
    id_ = id;
    ASSERT_EQ(item_->Connect("", path_.c_str(), id, itemName, 1), 0);
}

ZervaRTChunk* ChunkTest::Chunk(const char* definition) { return item_->DefineChunk(definition); }

void ChunkTest::Save() { ASSERT_EQ(item_->Save(), 0); }

Body ChunkTest::Stored(plat::NOTEID id, const char* itemName) const {
    Body body;
    RARIvoSession session;
    ZervaRTItem item(&session);
    if (item.Connect("", path_.c_str(), id, itemName, 0) != 0 || item.connected == 0) {
        body.problem = "<not connected>";
        return body;
    }
    talix::STATUS status = 0;
    talix::ItemRecordList* list = talix::SIAR(&item, 0, nullptr, 0, 0, 0, nullptr, &status);
    if (list == nullptr || status != 0) {
        body.problem = "<unreadable>";
    } else {
        body.problem = talix_test::CheckStructure(list);
        for (const talix::CDRecordNode* node = list->head; node != nullptr; node = node->next) {
            body.signatures.push_back(node->signature);
            body.records.emplace_back(reinterpret_cast<const char*>(node->bytes), node->length);
            if (node->signature == talix::kSigText && node->length > 8)
                body.texts.emplace_back(reinterpret_cast<const char*>(node->bytes) + 8, node->length - 8);
        }
    }
    talix::DeleteItemRecordList(&session, list);
    return body;
}

std::string ChunkTest::TextOf(const char* definition, const char* separator) {
    ZervaRTChunk* chunk = Chunk(definition);
    if (chunk == nullptr) return "<no chunk>";
    std::vector<char> buffer(70000);
    chunk->GetText(nullptr, buffer.data(), static_cast<std::uint32_t>(buffer.size()), 1, separator);
    delete chunk;
    return buffer.data();
}

FixtureRecord TextRun(const std::string& text, bool bold) {
    // Face 1, 10 points; attribute bit 1 bold.
    return talix_test::TextRecord(bold ? 0x0A000101 : 0x0A000001, text);
}

std::vector<FixtureRecord> ParagraphStart() {
    FixtureRecord definition = HostRecord(0xFF82, 72);
    talix_test::PutWord(&definition, 4, 1);      // id
    talix_test::PutWord(&definition, 14, 1440);  // left margin
    FixtureRecord reference = HostRecord(0x0083, 4);
    talix_test::PutWord(&reference, 2, 1);
    return {definition, reference};
}

} // namespace chunkops_test
