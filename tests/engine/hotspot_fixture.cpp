#include "hotspot_fixture.h"

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
    std::vector<Rec> records;
    EXPECT_EQ(ReadItemRecords(db_.path(), id_, "Body", /*checkStructure=*/false, &records), "");
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
