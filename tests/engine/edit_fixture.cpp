#include "edit_fixture.h"

#include "core/record_forms.h"
#include "core/record_io.h"
#include "support/structure_checker.h"
#include "talix_platform.h"

namespace engine_test {

using talix_test::FixtureRecord;
using talix_test::HostRecord;
using talix_test::PutDword;
using talix_test::PutWord;

std::uint16_t Rec::Word(std::size_t offset) const {
    return offset + 2 <= bytes.size() ? talix::ReadWord(bytes.data() + offset) : 0;
}

std::string Rec::Text() const {
    return signature == 0xFF85 && bytes.size() > 8 ? std::string(bytes.begin() + 8, bytes.end()) : std::string();
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

std::vector<std::uint16_t> Signatures(const std::vector<Rec>& records) {
    std::vector<std::uint16_t> signatures;
    for (const Rec& record : records) signatures.push_back(record.signature);
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

std::vector<Rec> EditTest::Saved() {
    EXPECT_EQ(item_.Save(), 0);
    RARIvoSession session;
    ZervaRTItem reader(&session);
    EXPECT_EQ(reader.Connect("", db_.path().c_str(), id_, "Body", 0), 0);
    talix::STATUS status = 0;
    talix::ItemRecordList* list = talix::SIAR(&reader, 0, nullptr, 0, 0, 0, nullptr, &status);
    EXPECT_EQ(status, 0);
    std::vector<Rec> records;
    if (list == nullptr) return records;
    EXPECT_EQ(talix_test::CheckStructure(list), "");
    for (const talix::CDRecordNode* node = list->head; node != nullptr; node = node->next)
        records.push_back({node->signature, std::vector<std::uint8_t>(node->bytes, node->bytes + node->length)});
    talix::FreeItemRecordList(&session, list);
    delete list;
    return records;
}

} // namespace engine_test
