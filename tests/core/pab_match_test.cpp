// The comparison of two paragraph definitions: each switch of the criteria
// compares its group of fields and only its group; the list-kind masks test
// the first definition's kind.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "core/pab_match.h"

namespace {

using talix::CDPABDEFEXT;
using talix::PABMatchCriteria;

struct Switch {
    const char* name;
    std::uint32_t PABMatchCriteria::*field;
    std::function<void(CDPABDEFEXT*)> change;   // a change the switch must notice
};

TEST(ParagraphDefinitionsMatch, EachSwitchComparesItsOwnFields) {
    const std::vector<Switch> switches = {
        {"left margin", &PABMatchCriteria::leftMargin, [](CDPABDEFEXT* d) { d->leftMargin = 720; }},
        {"right margin", &PABMatchCriteria::rightMargin, [](CDPABDEFEXT* d) { d->rightMargin = 100; }},
        {"first line", &PABMatchCriteria::firstLineMargin, [](CDPABDEFEXT* d) { d->firstLineLeftMargin = 720; }},
        {"before", &PABMatchCriteria::spacingBefore, [](CDPABDEFEXT* d) { d->spacingBefore = 1; }},
        {"after", &PABMatchCriteria::spacingAfter, [](CDPABDEFEXT* d) { d->spacingAfter = 2; }},
        {"line spacing", &PABMatchCriteria::lineSpacing, [](CDPABDEFEXT* d) { d->lineSpacing = 1; }},
        {"tab stops", &PABMatchCriteria::tabStops, [](CDPABDEFEXT* d) { d->tab[1] = 999; }},
        {"justification", &PABMatchCriteria::justification, [](CDPABDEFEXT* d) { d->justifyMode = 3; }},
        {"flags", &PABMatchCriteria::flags, [](CDPABDEFEXT* d) { d->flags = 0x0002; }},
        {"left extension", &PABMatchCriteria::leftExtension, [](CDPABDEFEXT* d) { d->leftMarginOffset = 10; }},
        {"right extension", &PABMatchCriteria::rightExtension, [](CDPABDEFEXT* d) { d->rightMarginPercent = 5; }},
        {"first-line extension", &PABMatchCriteria::firstLineExtension,
         [](CDPABDEFEXT* d) { d->firstLinePercent = 5; }},
    };
    CDPABDEFEXT base;
    base.leftMargin = 1440;
    base.firstLineLeftMargin = 1440;
    base.tabs = 2;
    base.tab[0] = 720;
    base.tab[1] = 1440;
    base.flags2 = 0x0004 | 0x0080 | 0x0020;   // offsets and percentages in use
    for (const Switch& tested : switches) {
        CDPABDEFEXT other = base;
        tested.change(&other);
        PABMatchCriteria on;
        on.*tested.field = 1;
        EXPECT_EQ(talix::PABDefinitionsMatch(&base, &base, 0, 0, &on), 1) << tested.name;
        EXPECT_EQ(talix::PABDefinitionsMatch(&base, &other, 0, 0, &on), 0) << tested.name;
        // Every other switch on: the change goes unnoticed.
        PABMatchCriteria others;
        for (const Switch& other_switch : switches) others.*other_switch.field = 1;
        others.*tested.field = 0;
        if (tested.field != &PABMatchCriteria::tabStops) {
            EXPECT_EQ(talix::PABDefinitionsMatch(&base, &other, 0, 0, &others), 1) << tested.name;
        }
    }

    // The tab interval: the first tab word of definitions without tab
    // stops.
    CDPABDEFEXT evenly = base;
    evenly.tabs = 0;
    CDPABDEFEXT wider = evenly;
    wider.tab[0] = 360;
    PABMatchCriteria interval;
    interval.tabInterval = 1;
    EXPECT_EQ(talix::PABDefinitionsMatch(&evenly, &evenly, 0, 0, &interval), 1);
    EXPECT_EQ(talix::PABDefinitionsMatch(&evenly, &wider, 0, 0, &interval), 0);
    EXPECT_EQ(talix::PABDefinitionsMatch(&base, &base, 0, 0, &interval), 0);
    // Stops beyond the count are not compared.
    CDPABDEFEXT beyond = base;
    beyond.tab[5] = 42;
    PABMatchCriteria stops;
    stops.tabStops = 1;
    EXPECT_EQ(talix::PABDefinitionsMatch(&base, &beyond, 0, 0, &stops), 1);
    // A margin given another way (offset against percentage) differs.
    CDPABDEFEXT percent = base;
    percent.flags2 = 0x0008 | 0x0080 | 0x0020;
    PABMatchCriteria left;
    left.leftExtension = 1;
    EXPECT_EQ(talix::PABDefinitionsMatch(&base, &percent, 0, 0, &left), 0);
}

TEST(ParagraphDefinitionsMatch, ListKindsOfTheFirstDefinition) {
    CDPABDEFEXT circle, plain, roman;
    circle.flags = 0x0400;
    circle.flags2 = 0x0800;
    roman.flags = 0x1000;
    roman.flags2 = 0x0802;
    PABMatchCriteria required, excluded;
    required.listKindsRequired = 1;
    excluded.listKindsExcluded = 1;
    EXPECT_EQ(talix::PABDefinitionsMatch(&circle, &plain, 0x010, 0, &required), 1);
    EXPECT_EQ(talix::PABDefinitionsMatch(&circle, &plain, 0x001, 0, &required), 1);
    EXPECT_EQ(talix::PABDefinitionsMatch(&circle, &plain, 0x002, 0, &required), 0);
    EXPECT_EQ(talix::PABDefinitionsMatch(&circle, &plain, 0, 0x010, &excluded), 0);
    EXPECT_EQ(talix::PABDefinitionsMatch(&circle, &plain, 0, 0x001 | 0x020, &excluded), 1);
    EXPECT_EQ(talix::PABDefinitionsMatch(&roman, &plain, 0x400, 0, &required), 1);
    EXPECT_EQ(talix::PABDefinitionsMatch(&roman, &plain, 0x100, 0, &required), 0);
    EXPECT_EQ(talix::PABDefinitionsMatch(&plain, &circle, 0x001, 0, &required), 0);
    // Masks count only when their switch is on.
    EXPECT_EQ(talix::PABDefinitionsMatch(&plain, &circle, 0x001, 0x7FE, &excluded), 1);
    PABMatchCriteria none;
    EXPECT_EQ(talix::PABDefinitionsMatch(&plain, &circle, 0x002, 0x002, &none), 1);
}

} // namespace
