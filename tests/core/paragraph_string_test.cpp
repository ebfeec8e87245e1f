#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/paragraph_def.h"
#include "talix/item.h"
#include "talix/session.h"

using namespace talix;

namespace {

// Everything one call produces.
struct Parsed {
    std::uint16_t status = 0;
    CDPABDEFEXT def[2];
    std::uint16_t setClear[6] = {0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE};
    std::uint32_t listType[2] = {99, 99};
    std::uint32_t listClear[2] = {99, 99};
    std::int32_t shift[4] = {-1, -1, -1, -1};
    std::uint32_t mask[2][kParagraphMaskSize];

    std::uint16_t flagsSet() const { return setClear[0]; }
    std::uint16_t flagsClear() const { return setClear[1]; }
    std::uint16_t flags2Set() const { return setClear[2]; }
    std::uint16_t flags2Clear() const { return setClear[3]; }
    std::uint16_t flags3Set() const { return setClear[4]; }
    std::uint16_t flags3Clear() const { return setClear[5]; }
    // The mask bits of the first string that are set, as a bit set.
    std::uint32_t maskBits(int which = 0) const {
        std::uint32_t bits = 0;
        for (int i = 0; i < kParagraphMaskSize; ++i) {
            if (mask[which][i]) bits |= 1u << i;
        }
        return bits;
    }
};

constexpr std::uint32_t Bit(int maskIndex) { return 1u << maskIndex; }

class ParagraphStringTest : public ::testing::Test {
protected:
    Parsed Parse(const char* first, const char* second = nullptr, const CDPABDEFEXT& start = CDPABDEFEXT{}) {
        Parsed p;
        p.def[0] = start;
        p.def[1] = start;
        p.status = item->ParseParagraphString(first, second, &p.def[0], &p.def[1], &p.setClear[0], &p.setClear[1],
                                              &p.setClear[2], &p.setClear[3], &p.setClear[4], &p.setClear[5],
                                              &p.listType[0], &p.listType[1], &p.listClear[0], &p.listClear[1],
                                              &p.shift[0], &p.shift[1], &p.shift[2], &p.shift[3], p.mask[0],
                                              p.mask[1]);
        return p;
    }

    std::unique_ptr<RARIvoSession> session = std::make_unique<RARIvoSession>();
    ZervaRTItem* item = new ZervaRTItem(session.get());   // owned by the session
};

TEST_F(ParagraphStringTest, KeywordFormsProduceParagraphDefinitions) {
    struct Row {
        const char* text;
        std::function<void(const Parsed&)> check;
    };
    const Row rows[] = {
        {"LEFTMARGIN=1.5 RIGHTMARGIN=0.25 LEFTMARGINFIRST=0.7", [](const Parsed& p) {
             EXPECT_EQ(p.def[0].leftMargin, 2160);
             EXPECT_EQ(p.def[0].rightMargin, 360);
             EXPECT_EQ(p.def[0].firstLineLeftMargin, 1008);
             EXPECT_EQ(p.maskBits(), Bit(kPmLeftMargin) | Bit(kPmRightMargin) | Bit(kPmFirstLineMargin));
         }},
        {"LEFTMARGIN=100 RIGHTMARGIN=abc", [](const Parsed& p) {
             EXPECT_EQ(p.def[0].leftMargin, 65535);   // too large for the field: the largest it holds
             EXPECT_EQ(p.def[0].rightMargin, 0);
         }},
        // Past any whole number: still the largest (or smallest) the field holds.
        {"LEFTMARGIN=1000000000000000000000000000000 RIGHTMARGIN=-1000000000000000000000000000000 "
         "LeftMarginPercent=99999999999999999999999999 Tabs=L1000000000000000000000,-1000000000000000000000",
         [](const Parsed& p) {
             EXPECT_EQ(p.def[0].leftMargin, 65535);
             EXPECT_EQ(p.def[0].rightMargin, 0);
             EXPECT_EQ(p.def[0].leftMarginPercent, 65535);
             EXPECT_EQ(p.def[0].tabs, 1);
             EXPECT_EQ(p.def[0].tab[0], 32767);
         }},
        {"Tabs=L1,R2.5;C4", [](const Parsed& p) {
             EXPECT_EQ(p.def[0].tabs, 3);
             EXPECT_EQ((std::vector<int>{p.def[0].tab[0], p.def[0].tab[1], p.def[0].tab[2]}),
                       (std::vector<int>{1440, 3600, 5760}));
             EXPECT_EQ(p.def[0].tabTypes, 0x34u);
             EXPECT_EQ(p.maskBits(), Bit(kPmTabs));
         }},
        {"Tabs=\"d0.5  c1\" Justify=RIGHT", [](const Parsed& p) {
             EXPECT_EQ(p.def[0].tabs, 2);
             EXPECT_EQ(p.def[0].tab[1], 1440);
             EXPECT_EQ(p.def[0].tabTypes, 0x0Eu);
             EXPECT_EQ(p.def[0].justifyMode, 1);
         }},
        // The list ends at an entry that is no tab, and after 20 entries.
        {"Tabs=1,2,X,4", [](const Parsed& p) { EXPECT_EQ(p.def[0].tabs, 2); }},
        {"Tabs=1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22", [](const Parsed& p) {
             EXPECT_EQ(p.def[0].tabs, 20);
             EXPECT_EQ(p.def[0].tab[19], 28800);
         }},
        {"TabInterval=0.5", [](const Parsed& p) {
             EXPECT_EQ(p.def[0].tabs, 0);
             EXPECT_EQ(p.def[0].tab[0], 720);
             EXPECT_EQ(p.maskBits(), Bit(kPmTabInterval));
         }},
        {"Above=DOUBLE Below=single InterLine=1.5", [](const Parsed& p) {
             EXPECT_EQ(p.def[0].spacingBefore, 2);
             EXPECT_EQ(p.def[0].spacingAfter, 0);
             EXPECT_EQ(p.def[0].lineSpacing, 1);
             EXPECT_EQ(p.maskBits(), Bit(kPmSpacingAbove) | Bit(kPmSpacingBelow) | Bit(kPmLineSpacing));
         }},
        {"Justify=center", [](const Parsed& p) { EXPECT_EQ(p.def[0].justifyMode, 3); }},
        {"+HIDE_READ -HIDE_EDIT", [](const Parsed& p) {
             EXPECT_EQ(p.def[0].flags, 0);
             EXPECT_EQ(p.flagsSet(), 0x10);
             EXPECT_EQ(p.flagsClear(), 0x20);
             EXPECT_EQ(p.maskBits(), Bit(kPmFlagsSet) | Bit(kPmFlagsClear));
         }},
        {"HIDE_READ HIDE_PRINT", [](const Parsed& p) {
             EXPECT_EQ(p.def[0].flags, 0x50);
             EXPECT_EQ(p.maskBits(), Bit(kPmFlagsInPlace));
         }},
        {"TABLE_FLAGS HIDE_IF DISPLAY_RIGHT HIDE_COPY PAGINATE_BEFORE PROPAGATE HIDE_NOTES",
         [](const Parsed& p) { EXPECT_EQ(p.def[0].flags, 0x8A8F); }},
        {"LM_PERCENT", [](const Parsed& p) {
             EXPECT_EQ(p.def[0].flags2, 0x08);
             EXPECT_EQ(p.flags2Clear(), 0x04);
             EXPECT_EQ(p.maskBits(), Bit(kPmFlagsInPlace) | Bit(kPmFlagsClear));
         }},
        {"+RM_OFFSET -LMF_PERCENT", [](const Parsed& p) {
             EXPECT_EQ(p.flags2Set(), 0x40);
             EXPECT_EQ(p.flags2Clear(), 0xA0);
         }},
        {"HIDE_WEB RTL +HIDE_MOBILE -LAYER_USES_RM HIDE_EMBEDDED", [](const Parsed& p) {
             EXPECT_EQ(p.def[0].flags2, 0x4001);
             EXPECT_EQ(p.def[0].flags3, 0x1u);
             EXPECT_EQ(p.flags3Set(), 0x2);
             EXPECT_EQ(p.flags3Clear(), 0x4);
         }},
        {"BULLET NUMBERED_LIST", [](const Parsed& p) { EXPECT_EQ(p.listType[0], 4u); }},
        {"BULLET +NUMBERED_LIST", [](const Parsed& p) { EXPECT_EQ(p.listType[0], 6u); }},
        {"+LIST_TYPE CIRCLE_LIST", [](const Parsed& p) { EXPECT_EQ(p.listType[0], 16u); }},
        {"-BULLET -UPPER_ROMAN_LIST", [](const Parsed& p) {
             EXPECT_EQ(p.listClear[0], 1026u);
             EXPECT_EQ(p.maskBits(), Bit(kPmListClear));
         }},
        {"LEFTMARGINOFFSET=0.5 LEFTMARGINPERCENT=20", [](const Parsed& p) {
             EXPECT_EQ(p.def[0].leftMarginOffset, 720);
             EXPECT_EQ(p.def[0].leftMarginPercent, 20);
             EXPECT_EQ(p.def[0].flags2, 0x08);   // the percent wins
             EXPECT_EQ(p.flags2Set(), 0x0C);
             EXPECT_EQ(p.flags2Clear(), 0x0C);
             EXPECT_EQ(p.maskBits(), Bit(kPmLeftExtension) | Bit(kPmFlagsSet) | Bit(kPmFlagsClear));
         }},
        {"FirstLineLeftMarginOffset=0.25 RightMarginOffset=0.5", [](const Parsed& p) {
             EXPECT_EQ(p.def[0].firstLineOffset, 360);
             EXPECT_EQ(p.def[0].rightMarginOffset, 720);
             EXPECT_EQ(p.def[0].flags2, 0x50);
             EXPECT_EQ(p.flags2Clear(), 0x4A0);
             EXPECT_EQ(p.def[0].leftMarginOffset, 0);
         }},
        {"RightMarginPercent=0", [](const Parsed& p) {
             EXPECT_EQ(p.def[0].rightMarginPercent, 100);
             EXPECT_EQ(p.def[0].flags2, 0x80);
             EXPECT_EQ(p.flags2Clear(), 0x440);
         }},
        {"HIDE_READ NO_FLAGS", [](const Parsed& p) { EXPECT_EQ(p.def[0].flags, 0); }},
        {"ShiftLeftOffset=0.5 ShiftRightPercent=12.7 ShiftRightOffset=-1", [](const Parsed& p) {
             EXPECT_EQ(p.shift[0], 720);
             EXPECT_EQ(p.shift[1], -1440);
             EXPECT_EQ(p.shift[2], -1);   // not given: left as it was
             EXPECT_EQ(p.shift[3], 12);
         }},
        {"Unknown=3 words", [](const Parsed& p) { EXPECT_EQ(p.maskBits() + p.flagsSet() + p.listType[0], 0u); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        Parsed p = Parse(row.text);
        EXPECT_EQ(p.status, 0);
        row.check(p);
    }
}

TEST_F(ParagraphStringTest, OnlyNamedFieldsChange) {
    CDPABDEFEXT start;
    start.leftMargin = 999;
    start.tabs = 2;
    start.tabTypes = 0xF;
    start.flags = start.flags2 = 0xFFFF;
    start.flags3 = 0x100;

    Parsed p = Parse("Justify=RIGHT", nullptr, start);
    EXPECT_EQ(p.def[0].justifyMode, 1);
    EXPECT_EQ(p.def[0].leftMargin, 999);
    EXPECT_EQ(p.def[0].tabs, 2);
    EXPECT_EQ(p.def[0].flags, 0);      // the flag words are always cleared
    EXPECT_EQ(p.def[0].flags2, 0);
    EXPECT_EQ(p.def[0].flags3, 0x100u);

    // A new tab list brings its own tab types.
    p = Parse("Tabs=1,2", nullptr, start);
    EXPECT_EQ(p.def[0].tabTypes, 0u);
}

TEST_F(ParagraphStringTest, TwoStringsInOneCall) {
    CDPABDEFEXT start;
    start.leftMargin = 77;
    Parsed p = Parse("+HIDE_READ LEFTMARGIN=1", "-HIDE_READ +HIDE_EDIT BULLET ShiftLeftOffset=1", start);
    ASSERT_EQ(p.status, 0);
    EXPECT_EQ(p.def[0].leftMargin, 1440);
    EXPECT_EQ(p.def[1].leftMargin, 77);
    // The set and clear words gather both strings; lists and masks stay apart.
    EXPECT_EQ(p.flagsSet(), 0x30);
    EXPECT_EQ(p.flagsClear(), 0x10);
    EXPECT_EQ(p.listType[0], 0u);
    EXPECT_EQ(p.listType[1], 2u);
    EXPECT_EQ(p.maskBits(0), Bit(kPmLeftMargin) | Bit(kPmFlagsSet));
    EXPECT_EQ(p.maskBits(1), Bit(kPmFlagsSet) | Bit(kPmFlagsClear) | Bit(kPmListType));
    EXPECT_EQ(p.shift[0], -1);   // shifts are read from the first string only

    // An empty first string is skipped; the second is still read.
    p = Parse("", "Justify=FULL", start);
    EXPECT_EQ(p.status, 0);
    EXPECT_EQ(p.maskBits(0), 0u);
    EXPECT_EQ(p.def[1].justifyMode, 2);

    p = Parse(nullptr, "Justify=FULL", start);
    EXPECT_EQ(p.status, 1028);
}

} // namespace
