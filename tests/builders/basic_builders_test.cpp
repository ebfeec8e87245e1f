// The basic record builders, read back from the output record list, and the
// merge of paragraph-style strings into paragraph definitions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/built_records.h"
#include "core/item_work_state.h"
#include "core/paragraph_def.h"
#include "core/record_forms.h"
#include "core/signatures.h"
#include "support/record_fixture.h"
#include "support/structure_checker.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using talix::ReadDword;
using talix::ReadWord;

using talix::kSigText;

class BuilderTest : public ::testing::Test {
protected:
    BuilderTest() {
        output_.session = &session_;
        output_.item = &item_;
    }
    std::vector<const talix::CDRecordNode*> Nodes() { return talix_test::ListNodes(item_.work->output); }
    std::vector<std::uint8_t> Bytes(const talix::CDRecordNode* node) {
        return std::vector<std::uint8_t>(node->bytes, node->bytes + node->length);
    }
    // A record list of the given host-form records, owned by the test.
    talix::CDRecordNode* Saved(std::vector<talix_test::FixtureRecord> records) {
        saved_ = std::move(records);
        nodes_.assign(saved_.size(), talix::CDRecordNode{});
        for (std::size_t i = 0; i < saved_.size(); ++i) {
            nodes_[i].signature = saved_[i].signature;
            nodes_[i].length = static_cast<std::uint32_t>(saved_[i].bytes.size());
            nodes_[i].bytes = saved_[i].bytes.data();
            nodes_[i].next = i + 1 < saved_.size() ? &nodes_[i + 1] : nullptr;
        }
        return nodes_.empty() ? nullptr : &nodes_[0];
    }

    RARIvoSession session_;
    ZervaRTItem item_{&session_};
    talix::RecordOutput output_;
    std::vector<talix_test::FixtureRecord> saved_;
    std::vector<talix::CDRecordNode> nodes_;
};

TEST_F(BuilderTest, RecordsAreLaidOutAsStored) {
    ASSERT_EQ(talix::AppendTextRecord("Hello", 5, nullptr, &output_), 0);
    const talix::FontId courier{4, talix::kAttrBold, 2, 12};
    ASSERT_EQ(talix::AppendTextRecord("odd", 3, &courier, &output_), 0);
    ASSERT_EQ(talix::AppendTextRecord(nullptr, 0, nullptr, &output_), 0);
    ASSERT_EQ(talix::AppendBeginRecord(kSigText, 1, &output_), 0);
    ASSERT_EQ(talix::AppendColorRecord(0xD2, 0x00332211, 0, &output_), 0);
    ASSERT_EQ(talix::AppendEndRecord(kSigText, 1, &output_), 0);
    const std::string label(200, 'L');
    ASSERT_EQ(talix::AppendNamedRecord(2, label.data(), 200, &output_), 0);
    ASSERT_EQ(talix::AppendSmallFixedRecord(0x57, 3, 0x26FF7B, &output_), 0);

    const auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 8u);
    EXPECT_EQ(Bytes(nodes[0]), (std::vector<std::uint8_t>{0x85, 0xFF, 13, 0, 1, 0, 0, 10, 'H', 'e', 'l', 'l', 'o'}));
    EXPECT_EQ(Bytes(nodes[1]), (std::vector<std::uint8_t>{0x85, 0xFF, 11, 0, 4, 1, 2, 12, 'o', 'd', 'd'}));
    EXPECT_EQ(Bytes(nodes[2]), (std::vector<std::uint8_t>{0x85, 0xFF, 8, 0, 1, 0, 0, 10}));
    EXPECT_EQ(Bytes(nodes[3]), (std::vector<std::uint8_t>{0xDD, 6, 1, 0, 0x85, 0xFF}));
    EXPECT_EQ(Bytes(nodes[4]), (std::vector<std::uint8_t>{0xD2, 8, 1, 0, 0x11, 0x22, 0x33, 0}));
    EXPECT_EQ(Bytes(nodes[5]), (std::vector<std::uint8_t>{0xDE, 6, 1, 0, 0x85, 0xFF}));
    ASSERT_EQ(nodes[6]->length, 140u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(nodes[6]->bytes + 4)), std::string(127, 'L'));
    EXPECT_EQ(ReadWord(nodes[6]->bytes + 138), 2);
    EXPECT_EQ(Bytes(nodes[7]), (std::vector<std::uint8_t>{0x57, 20, 2, 0, 0x83, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0,
                                                            0x7B, 0xFF, 0x26, 0}));
    EXPECT_EQ(talix_test::CheckStructure(item_.work->output), "");
}

// A label longer than its record holds loses whole characters at its end:
// a character of three bytes, or a character beyond 16 bits (two units of
// three bytes), is never cut in half.
TEST_F(BuilderTest, LongLabelsKeepWholeCharacters) {
    std::string cjk;
    for (int i = 0; i < 42; ++i) cjk += "\x14\x4F\x26";
    const std::string emoji = plat::NativeToLmbcs("\U0001F600");
    ASSERT_EQ(emoji.size(), 6u);
    const std::vector<std::string> labels = {"ab" + cjk, "a" + cjk, "abcd" + cjk.substr(0, 120) + emoji,
                                             std::string(127, 'L') + "\x14\x4F\x26"};
    for (const std::string& label : labels)
        ASSERT_EQ(talix::AppendNamedRecord(0, label.data(), static_cast<std::uint32_t>(label.size()), &output_), 0);
    const auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), labels.size());
    std::vector<std::string> kept;
    for (const auto* node : nodes) kept.emplace_back(reinterpret_cast<const char*>(node->bytes + 4));
    EXPECT_EQ(kept[0], "ab" + cjk.substr(0, 123));
    EXPECT_EQ(kept[1], "a" + cjk);
    EXPECT_EQ(kept[2], "abcd" + cjk.substr(0, 120));
    EXPECT_EQ(kept[3], std::string(127, 'L'));
    for (const std::string& text : kept) EXPECT_EQ(plat::LmbcsToNative(text).find("\uFFFD"), std::string::npos);
}

TEST_F(BuilderTest, TextRunsNeverOutgrowTheirLengthField) {
    // Texts whose run would not fit an output segment, or wrap the 16-bit
    // length field, are refused with nothing appended.
    std::string text(65530, 'x');
    EXPECT_EQ(talix::AppendTextRecord(text.data(), 65528, nullptr, &output_), talix::kArgumentError);
    EXPECT_EQ(talix::AppendTextRecord(text.data(), talix::kMaxTextRunLength + 1, nullptr, &output_),
              talix::kArgumentError);
    EXPECT_EQ(talix::AppendTextRecord(nullptr, 4, nullptr, &output_), talix::kArgumentError);
    EXPECT_TRUE(Nodes().empty());
    ASSERT_EQ(talix::AppendTextRecord(text.data(), talix::kMaxTextRunLength, nullptr, &output_), 0);
    ASSERT_EQ(Nodes().size(), 1u);
    EXPECT_EQ(Nodes()[0]->length, talix::kMaxTextRunLength + 8);
    EXPECT_EQ(ReadWord(Nodes()[0]->bytes + 2), talix::kMaxTextRunLength + 8);
}

TEST_F(BuilderTest, WrappedRunsAreWrittenAgainAroundNewText) {
    using talix_test::HostRecord;
    auto wrapper = [](std::uint8_t signature) {
        talix_test::FixtureRecord record = HostRecord(signature, 6);
        talix_test::PutWord(&record, 4, kSigText);
        return record;
    };
    talix_test::FixtureRecord effect = HostRecord(0xFFC3, 8);
    talix_test::FixtureRecord colour = HostRecord(0xD2, 8);
    colour.bytes[4] = 0xFF;
    const talix::CDRecordNode* run =
        Saved({effect, wrapper(0xDD), talix_test::TextRecord(0x0A000001, "old"), colour, wrapper(0xDE),
               talix_test::TextRecord(0x0A000001, "next")});
    ASSERT_EQ(talix::AppendWrappedRecords(run, &output_), 0);
    ASSERT_EQ(talix::AppendWrappedText(run, "new", 3, nullptr, &output_), 0);
    const auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 10u);
    for (int copy = 0; copy < 2; ++copy) {
        const int at = copy * 5;
        EXPECT_EQ(nodes[at]->signature, 0xFFC3);
        EXPECT_EQ(nodes[at + 1]->signature, 0xDD);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(nodes[at + 2]->bytes + 8), 3), copy == 0 ? "old" : "new");
        EXPECT_EQ(nodes[at + 3]->bytes[4], 0xFF);
        EXPECT_EQ(nodes[at + 4]->signature, 0xDE);
    }
    EXPECT_EQ(talix_test::CheckStructure(item_.work->output), "");

    // A run without a wrapper: only the text is replaced.
    const talix::CDRecordNode* plain = Saved({talix_test::TextRecord(0x0A000001, "x"), colour});
    const talix::FontId big{1, 0, 0, 24};
    ASSERT_EQ(talix::AppendWrappedText(plain, "yz", 2, &big, &output_), 0);
    EXPECT_EQ(Nodes().size(), 11u);
    EXPECT_EQ(Nodes().back()->bytes[7], 24);
    EXPECT_EQ(talix::AppendWrappedRecords(nullptr, &output_), 0);
    EXPECT_EQ(Nodes().size(), 11u);
}

TEST(ParagraphPairEqual, IgnoresLengthIdAndUnusedTabs) {
    talix::CDPABDEFEXT a, b;
    a.length = b.length = 72;
    a.pabId = 1;
    b.pabId = 7;
    a.tabs = b.tabs = 1;
    a.tab[0] = b.tab[0] = 720;
    a.tab[3] = 99;                       // beyond the tab count
    const auto* pa = reinterpret_cast<const std::uint8_t*>(&a);
    const auto* pb = reinterpret_cast<const std::uint8_t*>(&b);
    EXPECT_EQ(talix::ParagraphPairEqual(pa, pb, 1), 1);
    b.length = 84;
    EXPECT_EQ(talix::ParagraphPairEqual(pa, pb, 1), 0);
    EXPECT_EQ(talix::ParagraphPairEqual(pa, pb, 0), 1);
    b.leftMargin = 10;
    EXPECT_EQ(talix::ParagraphPairEqual(pa, pb, 0), 0);
}

// A plain paragraph definition, 72 bytes, id 1, with the given flags.
talix::CDPABDEFEXT PlainDefinition(std::uint16_t flags = 0, std::uint16_t left = 0) {
    talix::CDPABDEFEXT definition;
    definition.length = 72;
    definition.pabId = 1;
    definition.leftMargin = left;
    definition.tab[0] = 720;
    definition.flags = flags;
    return definition;
}

// Parses a paragraph-style string and merges it into the definition the way
// the executors do.
void ApplyStyle(ZervaRTItem* item, const char* text, talix::CDPABDEFEXT* definition, int optionMode = 1,
                int markExtension = 0) {
    talix::CDPABDEFEXT style1, style2;
    std::uint16_t flagsSet = 0, flagsClear = 0, flags2Set = 0, flags2Clear = 0, flags3Set = 0, flags3Clear = 0;
    std::uint32_t list1 = 0, list2 = 0, clear1 = 0, clear2 = 0;
    std::int32_t shiftLeft = 0, shiftRight = 0, shiftLeftPercent = 0, shiftRightPercent = 0;
    std::uint32_t mask1[talix::kParagraphMaskSize] = {}, mask2[talix::kParagraphMaskSize] = {};
    ASSERT_EQ(item->ParseParagraphString(text, nullptr, &style1, &style2, &flagsSet, &flagsClear, &flags2Set,
                                         &flags2Clear, &flags3Set, &flags3Clear, &list1, &list2, &clear1, &clear2,
                                         &shiftLeft, &shiftRight, &shiftLeftPercent, &shiftRightPercent, mask1,
                                         mask2),
              0);
    ASSERT_EQ(talix::SetParagraphDefinition(reinterpret_cast<std::uint8_t*>(definition), &style1, flagsSet,
                                            flagsClear, flags2Set, flags2Clear, flags3Set, flags3Clear, list1,
                                            clear1, shiftLeft, shiftRight, shiftLeftPercent, shiftRightPercent,
                                            mask1, optionMode, markExtension),
              0);
}

TEST(SetParagraphDefinition, AppliesEveryKeywordForm) {
    using D = talix::CDPABDEFEXT;
    struct Case {
        const char* style;
        D start;
        std::vector<std::pair<std::uint16_t D::*, std::uint16_t>> expect;
        std::uint16_t length;
    };
    const D plain = PlainDefinition();
    D tabbed = plain;
    tabbed.tabs = 3;
    const std::vector<Case> cases = {
        {"LeftMargin=1in", plain,
         {{&D::leftMargin, 1440}, {&D::firstLineLeftMargin, 1440}, {&D::leftMarginOffset, 1440},
          {&D::firstLineOffset, 1440}, {&D::rightMarginPercent, 100}, {&D::flags, 0x0100}},
         84},
        {"RIGHTMARGIN=0.5", plain, {{&D::rightMargin, 720}, {&D::rightMarginOffset, 720}, {&D::leftMargin, 0}}, 84},
        {"LEFTMARGINFIRST=0.25", plain,
         {{&D::firstLineLeftMargin, 360}, {&D::leftMargin, 360}, {&D::firstLineOffset, 360}}, 84},
        {"Above=DOUBLE Below=single InterLine=1.5 Justify=CENTER", plain,
         {{&D::spacingBefore, 2}, {&D::spacingAfter, 0}, {&D::lineSpacing, 1}, {&D::justifyMode, 3}}, 84},
        {"Tabs=L1,R2.5;C4", plain, {{&D::tabs, 3}, {&D::flags, 0x0100}}, 84},
        {"TabInterval=0.25", tabbed, {{&D::tabs, 0}}, 84},
        {"HIDE_READ HIDE_PRINT", PlainDefinition(0x0020), {{&D::flags, 0x0150}}, 84},
        {"+HIDE_READ -HIDE_EDIT", PlainDefinition(0x0020), {{&D::flags, 0x0110}}, 84},
        {"BULLET", plain, {{&D::flags, 0x0500}, {&D::leftMargin, 360}}, 84},
        {"-BULLET", PlainDefinition(0x0400, 360), {{&D::flags, 0x0100}, {&D::leftMargin, 0}}, 84},
        {"NUMBERED_LIST", plain, {{&D::flags, 0x1100}, {&D::leftMargin, 360}}, 84},
        {"LOWER_ALPHA_LIST", plain, {{&D::flags, 0x1100}, {&D::flags2, 0x1802}}, 84},
        {"LeftMarginPercent=10", plain,
         {{&D::leftMarginPercent, 10}, {&D::leftMargin, 1202}, {&D::firstLineLeftMargin, 1202}}, 84},
        {"RightMarginPercent=0", plain, {{&D::rightMarginPercent, 100}}, 84},
        {"ShiftLeftOffset=0.5", PlainDefinition(0, 100), {{&D::leftMargin, 820}}, 84},
    };
    RARIvoSession session;
    ZervaRTItem item(&session);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        D definition = c.start;
        ApplyStyle(&item, c.style, &definition);
        for (const auto& [field, value] : c.expect) EXPECT_EQ(definition.*field, value);
        EXPECT_EQ(definition.length, c.length);
        EXPECT_EQ(definition.pabId, 1);
    }

    // The bits that say which extension words are used.
    D left = plain;
    ApplyStyle(&item, "LeftMargin=1in", &left);
    EXPECT_EQ(left.flags2 & 0x00FC, 0x0014);
    D percent = plain;
    ApplyStyle(&item, "LeftMarginPercent=10", &percent);
    EXPECT_EQ(percent.flags2 & 0x000C, 0x0008);
    D tabs = plain;
    ApplyStyle(&item, "Tabs=L1,R2.5;C4", &tabs);
    EXPECT_EQ(tabs.tab[1], 3600);
    EXPECT_EQ(tabs.tabTypes, 0x34u);
    ApplyStyle(&item, "TabInterval=0.25", &tabs);
    EXPECT_EQ(tabs.tab[0], 360);
}

TEST(SetParagraphDefinition, ModesAndTheExtensionMark) {
    RARIvoSession session;
    ZervaRTItem item(&session);
    // Outside option-string mode a margin is only the margin.
    talix::CDPABDEFEXT definition = PlainDefinition();
    ApplyStyle(&item, "LeftMargin=1in", &definition, 0);
    EXPECT_EQ(definition.leftMargin, 1440);
    EXPECT_EQ(definition.firstLineLeftMargin, 0);
    EXPECT_EQ(definition.length, 72);
    EXPECT_EQ(definition.flags2, 0);

    // Marking the extension makes the definition whole; a later merge
    // keeps the mark.
    ApplyStyle(&item, "Justify=RIGHT", &definition, 0, 1);
    EXPECT_EQ(definition.length, 92);
    EXPECT_EQ(definition.flags2 & 0x8000, 0x8000);
    EXPECT_EQ(ReadDword(definition.unused2) & 1u, 1u);
    EXPECT_EQ(definition.flags3, 4u);
    ApplyStyle(&item, "HIDE_READ", &definition, 1);
    EXPECT_EQ(definition.length, 92);
    EXPECT_EQ(definition.flags2 & 0x8000, 0x8000);
    EXPECT_EQ(definition.flags, 0x0110);

    // In-place flag words keep a list the paragraph has.
    talix::CDPABDEFEXT bulleted = PlainDefinition(0x0400 | 0x0020, 360);
    ApplyStyle(&item, "HIDE_READ", &bulleted);
    EXPECT_EQ(bulleted.flags, 0x0510);

    // Bytes beyond a short definition's length do not leak in.
    talix::CDPABDEFEXT dirty = PlainDefinition();
    dirty.leftMarginPercent = 77;
    ApplyStyle(&item, "Justify=LEFT", &dirty);
    EXPECT_EQ(dirty.leftMarginPercent, 0);
    EXPECT_EQ(talix::SetParagraphDefinition(nullptr, nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0),
              talix::kArgumentError);
}

} // namespace
