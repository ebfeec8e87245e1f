// Stored formulas the platform cannot read (compiled by another system):
// a generation takes each as giving nothing, says how many in one log
// line, and renders the rest of the document; a formula the platform reads
// but cannot evaluate still fails the run.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "active_content_fixture.h"
#include "support/record_fixture.h"
#include "talix_platform.h"

namespace htmlgen_test {
namespace {

// Bytes that no formula of this platform begins with.
const Bytes kForeign(24, 0xEE);

// A hide-when formula record of a paragraph id holding the bytes as they stand.
FixtureRecord HideWhenBytes(std::uint16_t id, const Bytes& formula) {
    FixtureRecord record = talix_test::HostRecord(0xFFBB, static_cast<std::uint32_t>(14 + formula.size()));
    talix_test::PutWord(&record, 4, id);
    std::memcpy(record.bytes.data() + 14, formula.data(), formula.size());
    return record;
}

Records Hotspot(std::uint16_t signature, std::uint16_t type, std::uint32_t flags, const Bytes& data,
                const std::string& text) {
    return {Bracket(0xDD, 0xFFAD), HotspotBegin(signature, type, flags, data), TextBytes(text), HotspotEnd(),
            Bracket(0xDE, 0x00AE)};
}

std::vector<std::string> FormulaLogLines() {
    std::vector<std::string> lines;
    for (const plat::LogEntry& entry : plat::LogRecent()) {
        if (entry.text.find("compiled by another system") != std::string::npos) lines.push_back(entry.text);
    }
    return lines;
}

class UnreadableFormulas : public ActiveContentTest {};

TEST_F(UnreadableFormulas, GiveNothingOnceLoggedAndTheDocumentComesOutWhole) {
    Records records = {Definition(1), Definition(2, 0, 0x800), HideWhenBytes(2, kForeign), Reference(1),
                       TextBytes("before ")};
    for (const Records& hotspot : {Hotspot(0xFFA9, 1, 0x10, kForeign, "tip"),           // pop-up text
                                   Hotspot(0xFFAD, 11, 0x1010, kForeign, "link"),        // URL
                                   Hotspot(0xFFA9, 1, 0x40010, kForeign, "in place")})  // result shown in place
        records.insert(records.end(), hotspot.begin(), hotspot.end());
    records.push_back(Reference(2));
    records.push_back(TextBytes("shown"));
    ZervaRTChunk* chunk = Define(records);

    for (const char* format : {"HTML", "XHTML"}) {
        plat::LogClearRecent();
        const std::string body = Body(chunk, "RespectHiddenFormulas=Yes", format);
        EXPECT_EQ(chunk->lastStatus, 0) << format;
        // The pop-up's title is empty, the URL hotspot writes no anchor, the
        // paragraph the formula would hide is shown.
        EXPECT_NE(body.find("before <a onclick=\"return false;\" title=\"\""), std::string::npos) << body;
        EXPECT_NE(body.find(">tip</a>link"), std::string::npos) << body;
        EXPECT_NE(body.find("in place"), std::string::npos) << body;
        EXPECT_NE(body.find("shown</div>"), std::string::npos) << body;
        const std::vector<std::string> lines = FormulaLogLines();
        ASSERT_EQ(lines.size(), 1u) << format;
        EXPECT_NE(lines[0].find("item \"Body\""), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find(": 4 stored formula"), std::string::npos) << lines[0];
    }

    // Without hide-when formulas asked for, three; a document without such
    // formulas logs nothing.
    plat::LogClearRecent();
    Body(chunk, nullptr);
    ASSERT_EQ(FormulaLogLines().size(), 1u);
    EXPECT_NE(FormulaLogLines()[0].find(": 3 stored formula"), std::string::npos);
    plat::LogClearRecent();
    Body(Define({TextBytes("plain")}), nullptr);
    EXPECT_TRUE(FormulaLogLines().empty());
}

TEST_F(UnreadableFormulas, OtherFormulaFailuresStillFail) {
    // Readable, but its evaluation fails (a sign before a text): a pop-up's
    // status is the run's.
    ZervaRTChunk* chunk = Define(Hotspot(0xFFA9, 1, 0x10, CompiledFormula("-\"a\""), "tip"));
    plat::LogClearRecent();
    EXPECT_NE(Body(chunk, nullptr).find(">tip</a>"), std::string::npos);
    EXPECT_NE(chunk->lastStatus, 0);
    EXPECT_TRUE(FormulaLogLines().empty());

    // A readable hide-when formula that fails leaves its paragraph shown,
    // as before.
    ZervaRTChunk* hidden = Define({Definition(1, 0, 0x800), HideWhen(1, "-\"a\""), Reference(1), TextBytes("x")});
    EXPECT_NE(Body(hidden, "RespectHiddenFormulas=Yes").find(">x</div>"), std::string::npos);
}

} // namespace
} // namespace htmlgen_test
