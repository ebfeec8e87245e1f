// Pathological input at the limits of the walk: BEGIN records nested deeper
// than the walk tracks, tables nested past the tracked depth, and records as
// large as an output segment. Each ends with a result or a clear status,
// never a crash, and a refused run leaves the stored item as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "change_font.h"
#include "core/record_io.h"
#include "core/signatures.h"
#include "core/statuses.h"
#include "edit_fixture.h"
#include "support/op_runner.h"
#include "support/record_fixture.h"
#include "talix_platform.h"
#include "talix/chunk.h"
#include "talix/item.h"

namespace {

using engine_test::Bracket;
using engine_test::ChangeFont;
using engine_test::Count;
using engine_test::EditTest;
using engine_test::NonEmptyTexts;
using engine_test::Rec;
using engine_test::Records;
using engine_test::Runs;
using engine_test::Text;
using talix::kSigBegin;
using talix::kSigEnd;
using talix::kSigText;
using talix_test::HostRecord;
using talix_test::Op;
using talix_test::RunOperation;

class WalkLimits : public EditTest {};

TEST_F(WalkLimits, BeginRecordsNestedPastTheTrackedDepthAreWalkedAndKept) {
    // 60 nested brackets around a text run: the walk tracks 50 of them.
    Records body = Runs({"before"});
    for (int i = 0; i < 60; ++i) body.push_back(Bracket(kSigBegin, 0x0099));
    body.push_back(Text("deep"));
    for (int i = 0; i < 60; ++i) body.push_back(Bracket(kSigEnd, 0x0099));
    body.push_back(Text("after"));
    ASSERT_NE(Open(body), nullptr);
    EXPECT_EQ(TextOf("Everything"), "beforedeepafter");
    EXPECT_EQ(TextOf("Text 2"), "deep");

    EXPECT_EQ(Run("Everything", ChangeFont("+BOLD")), 0);
    std::vector<Rec> records = Saved();
    EXPECT_EQ(NonEmptyTexts(records), (std::vector<std::string>{"before", "deep", "after"}));
    EXPECT_EQ(Count(records, kSigBegin), 60u);
    EXPECT_EQ(Count(records, kSigEnd), 60u);
    for (const Rec& record : records)
        if (record.signature == kSigText && !record.Text().empty()) EXPECT_EQ(record.bytes[5] & 0x01, 0x01);

    // The text inside goes; every bracket stays.
    EXPECT_EQ(Run("Text 2", Op(talix::kOpRemove)), 0);
    records = Saved();
    EXPECT_EQ(NonEmptyTexts(records), (std::vector<std::string>{"before", "after"}));
    EXPECT_EQ(Count(records, kSigBegin), 60u);
}

TEST_F(WalkLimits, TablesNestedPastTheTrackedDepthAreReadAndARefusedChangeLeavesThemAsTheyWere) {
    // Twelve tables, each in the only cell of the one around it.
    Records body = Runs({"intro"});
    const int depth = 12;
    for (int level = 0; level < depth; ++level) {
        body.push_back(HostRecord(level == 0 ? 0xA3 : 0xCF, 14));
        talix_test::FixtureRecord cell = HostRecord(level == 0 ? 0xA4 : 0xD0, 18);
        cell.bytes[14] = cell.bytes[15] = 1;
        body.push_back(cell);
        body.push_back(Text("level" + std::to_string(level + 1)));
    }
    for (int level = depth - 1; level >= 0; --level) body.push_back(HostRecord(level == 0 ? 0xA5 : 0xD1, 8));
    body.push_back(Text("outro"));
    ZervaRTChunk* all = Open(body);
    ASSERT_NE(all, nullptr);
    std::string expected = "intro";
    for (int level = 1; level <= depth; ++level) expected += "level" + std::to_string(level);
    EXPECT_EQ(TextOf("Everything"), expected + "outro");
    EXPECT_EQ(TextOf("Table 1; Row 1; Column 1; Table 1; Row 1; Column 1"), expected.substr(5 + 6));
    EXPECT_EQ(all->GetCount("Table"), 1);

    // A change that writes the tables back meets more levels than a body
    // may hold (nine): it is refused as a structure error and the stored
    // item stays as it was.
    const std::vector<std::string> before = db_.Stored(id_);
    EXPECT_EQ(Run("Everything", ChangeFont("+BOLD")), talix::kBodyStructureError);
    EXPECT_EQ(db_.Stored(id_), before);
    // Nine levels are written back whole.
    Records nine(body.begin(), body.begin() + 3 + 3 * 9);
    for (int level = 8; level >= 0; --level) nine.push_back(HostRecord(level == 0 ? 0xA5 : 0xD1, 8));
    ASSERT_NE(Open(nine), nullptr);
    EXPECT_EQ(Run("Everything", ChangeFont("+BOLD")), 0);
    const std::vector<Rec> records = Saved();
    EXPECT_EQ(Count(records, 0xCF), 8u);
    EXPECT_EQ(Count(records, 0xD1), 8u);
    ASSERT_NE(Open(body), nullptr);
    EXPECT_EQ(TextOf("Everything"), expected + "outro");
}

TEST_F(WalkLimits, RecordsAsLargeAsASegmentAreKeptAndOneLargerIsRefused) {
    // A text run exactly as long as an output segment holds.
    const std::string large(talix::kOutputSegmentCapacity - 8, 'L');
    Records body = Runs({"small"});
    body.push_back(talix_test::TextRecord(0x0A000001, large));
    body.push_back(Text("end"));
    ASSERT_NE(Open(body), nullptr);
    EXPECT_EQ(TextOf("Text 3"), "end");

    EXPECT_EQ(Run("Everything", ChangeFont("+ITALIC")), 0);
    const std::vector<Rec> records = Saved();
    const std::vector<std::string> texts = NonEmptyTexts(records);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_TRUE(texts[1] == large);
    // It is stored in an item of its own.
    const std::vector<std::string> stored = db_.Stored(id_);
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[1].size(), 2 + talix::kOutputSegmentCapacity);

    // One byte more than a segment holds (stored as real data would hold
    // it): the item is not read, every run over it fails, and nothing is
    // written.
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    ASSERT_EQ(plat::DbOpen(db_.path().c_str(), &db), plat::NOERROR);
    ASSERT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
    const std::string tooLarge = talix_test::StoredRecord(talix_test::StoredHeader::Word, kSigText,
                                                          talix_test::StoredDword(0x0A000001) + large + "X");
    ASSERT_EQ(talix_test::StoreStoredItems(note, "Body", {{tooLarge}}), plat::NOERROR);
    ASSERT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
    plat::NOTEID tooLargeId = 0;
    plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &tooLargeId);
    plat::NoteClose(note);
    plat::DbClose(db);
    const std::vector<std::string> kept = db_.Stored(tooLargeId);
    ZervaRTItem item(&session_);
    ASSERT_EQ(item.Connect("", db_.path().c_str(), tooLargeId, "Body", 0), 0);
    ZervaRTChunk* all = item.DefineChunk("Everything");
    EXPECT_NE(RunOperation(all, ChangeFont("+ITALIC")), 0);
    EXPECT_NE(RunOperation(all, Op(talix::kOpQuery, 2321)), 0);
    delete all;
    EXPECT_EQ(item.Save(), 0);
    EXPECT_EQ(db_.Stored(tooLargeId), kept);
}

} // namespace
