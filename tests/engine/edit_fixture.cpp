#include "edit_fixture.h"

#include <cstring>

#include "core/record_forms.h"
#include "core/record_io.h"
#include "support/structure_checker.h"
#include "talix/chunk.h"
#include "talix_platform.h"

namespace engine_test {

using talix_test::FixtureRecord;
using talix_test::HostRecord;
using talix_test::PutDword;
using talix_test::PutWord;

std::uint16_t Rec::Word(std::size_t offset) const {
    return offset + 2 <= bytes.size() ? talix::ReadWord(bytes.data() + offset) : 0;
}

std::uint32_t Rec::Dword(std::size_t offset) const {
    return offset + 4 <= bytes.size() ? talix::ReadDword(bytes.data() + offset) : 0;
}

double Rec::Double(std::size_t offset) const {
    double value = 0;
    if (offset + sizeof value <= bytes.size()) std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

std::string Rec::Text() const {
    return signature == 0xFF85 && bytes.size() > 8 ? std::string(bytes.begin() + 8, bytes.end()) : std::string();
}

std::string Rec::Text(std::size_t lengthAt, std::size_t textAt) const {
    const std::size_t length = Word(lengthAt);
    if (textAt + length > bytes.size()) return "<cut>";
    return std::string(bytes.begin() + textAt, bytes.begin() + textAt + length);
}

std::string ReadItemRecords(const std::string& path, plat::NOTEID id, const char* name, bool checkStructure,
                            std::vector<Rec>* records) {
    RARIvoSession session;
    ZervaRTItem reader(&session);
    if (reader.Connect("", path.c_str(), id, name, 0) != 0) return "<unreadable>";
    talix::STATUS status = 0;
    talix::ItemRecordList* list = talix::SIAR(&reader, 0, nullptr, 0, 0, 0, nullptr, &status);
    if (list == nullptr) return "<unreadable>";
    for (const talix::CDRecordNode* node = list->head; node != nullptr; node = node->next)
        records->push_back({node->signature, std::vector<std::uint8_t>(node->bytes, node->bytes + node->length)});
    const std::string problem =
        status != 0 ? "<unreadable>" : checkStructure ? talix_test::CheckStructure(list) : std::string();
    talix::DeleteItemRecordList(&session, list);
    return problem;
}

FixtureRecord With(std::uint16_t signature, std::uint32_t length, std::size_t offset, std::uint16_t word) {
    FixtureRecord record = HostRecord(signature, length);
    if (offset != 0) PutWord(&record, offset, word);
    return record;
}

FixtureRecord Definition(std::uint16_t id, std::uint16_t leftMargin) {
    FixtureRecord record = With(0xFF82, 72, 4, id);
    PutWord(&record, 14, leftMargin);
    return record;
}

FixtureRecord ReferenceTo(std::uint16_t id) { return With(0x0083, 4, 2, id); }

FixtureRecord Bracket(std::uint16_t signature, std::uint16_t inner) { return With(signature, 6, 4, inner); }

FixtureRecord Hotspot(std::uint16_t signature, std::uint16_t type, std::uint32_t flags, std::string_view data) {
    FixtureRecord record = HostRecord(signature, static_cast<std::uint32_t>(16 + data.size()));
    PutWord(&record, 4, type);
    PutDword(&record, 8, flags);
    PutWord(&record, 12, static_cast<std::uint16_t>(data.size()));
    std::copy(data.begin(), data.end(), record.bytes.begin() + 16);
    return record;
}

FixtureRecord FileHotspot(const std::string& name) {
    return Hotspot(0xFFA9, 4, 0, name + '\0' + name + '\0');
}

std::vector<std::uint16_t> Signatures(const std::vector<Rec>& records, std::size_t from, std::size_t to) {
    std::vector<std::uint16_t> signatures;
    for (std::size_t i = from; i < records.size() && i < to; ++i) signatures.push_back(records[i].signature);
    return signatures;
}

std::vector<std::string> NonEmptyTexts(const std::vector<Rec>& records) {
    std::vector<std::string> texts;
    for (const Rec& record : records)
        if (!record.Text().empty()) texts.push_back(record.Text());
    return texts;
}

std::size_t Count(const std::vector<Rec>& records, std::uint16_t signature) {
    std::size_t count = 0;
    for (const Rec& record : records) count += record.signature == signature ? 1 : 0;
    return count;
}

ZervaRTChunk* EditTest::Open(const Records& records, const char* definition) {
    id_ = db_.AddNote(records);
    EXPECT_EQ(item_.Connect("", db_.path().c_str(), id_, "Body", 0), 0);
    return item_.DefineChunk(definition);
}

std::uint16_t EditTest::Run(const char* definition, const talix_test::Operation& operation,
                            std::uint32_t appendAtEnd) {
    ZervaRTChunk* chunk = item_.DefineChunk(definition);
    if (chunk == nullptr) return 0xFFFF;
    chunk->appendAtEnd = appendAtEnd;
    const std::uint16_t status = talix_test::RunOperation(chunk, operation);
    delete chunk;
    return status;
}

std::string EditTest::TextOf(const char* definition) {
    ZervaRTChunk* chunk = item_.DefineChunk(definition);
    char buffer[512] = {};
    if (chunk != nullptr) chunk->GetText(nullptr, buffer, sizeof buffer, 1, nullptr);
    delete chunk;
    return buffer;
}

std::vector<Rec> EditTest::Saved() {
    EXPECT_EQ(item_.Save(), 0);
    std::vector<Rec> records;
    EXPECT_EQ(ReadItemRecords(db_.path(), id_, "Body", /*checkStructure=*/true, &records), "");
    return records;
}

} // namespace engine_test
