#include "hotspot_fixture.h"

#include "core/record_io.h"
#include "talix_platform.h"

namespace engine_test {

namespace {

void CollectMessage(const char* text, plat::WORD) { HotspotTest::messages.emplace_back(text); }

bool IsHotspotBegin(std::uint16_t inner) { return inner == 0xFFAD || inner == 0xFFA9 || inner == 0xFF7E; }
bool IsHotspotEnd(std::uint16_t inner) { return inner == 0x00AE || inner == 0x00AA || inner == 0x007F; }

} // namespace

std::vector<std::string> HotspotTest::messages;

HotspotTest::HotspotTest() {
    messages.clear();
    plat::RegisterMessageProc(CollectMessage);
}

HotspotTest::~HotspotTest() { plat::RegisterMessageProc(nullptr); }

std::vector<Rec> HotspotTest::Stored() {
    EXPECT_EQ(item_.Save(), 0);
    RARIvoSession session;
    ZervaRTItem reader(&session);
    EXPECT_EQ(reader.Connect("", db_.path().c_str(), id_, "Body", 0), 0);
    talix::STATUS status = 0;
    talix::ItemRecordList* list = talix::SIAR(&reader, 0, nullptr, 0, 0, 0, nullptr, &status);
    EXPECT_EQ(status, 0);
    std::vector<Rec> records;
    if (list == nullptr) return records;
    for (const talix::CDRecordNode* node = list->head; node != nullptr; node = node->next)
        records.push_back({node->signature, std::vector<std::uint8_t>(node->bytes, node->bytes + node->length)});
    talix::FreeItemRecordList(&session, list);
    delete list;
    EXPECT_EQ(BracketProblem(records), "");
    return records;
}

std::string BracketProblem(const std::vector<Rec>& records) {
    std::vector<std::uint16_t> open;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Rec& record = records[i];
        if (record.signature != 0xDD && record.signature != 0xDE) continue;
        const std::uint16_t inner = record.Word(4);
        if (record.signature == 0xDD) {
            open.push_back(inner);
            continue;
        }
        if (open.empty() || !(open.back() == inner || (IsHotspotBegin(open.back()) && IsHotspotEnd(inner))))
            return "record " + std::to_string(i + 1) + ": END without its BEGIN";
        open.pop_back();
    }
    return open.empty() ? "" : "a BEGIN record is not closed";
}

} // namespace engine_test
