// A page of many like blocks: each block gets the border and the paragraph
// definition it gets when it is imported on its own, whether its border
// and margins repeat those of blocks before it or differ from them in one
// value only.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/signatures.h"
#include "htmlimport/walk_fixture.h"

namespace {

using import_test::Imported;
using import_test::ItemRecord;
using import_test::WalkTest;

std::vector<std::string> BytesOf(const Imported& imported, std::uint16_t signature) {
    std::vector<std::string> found;
    for (const ItemRecord& record : imported.records)
        if (record.signature == signature) found.push_back(record.bytes);
    return found;
}

// The definitions without their ids (the word after the header), which count up
// through a page.
std::vector<std::string> DefinitionsOf(const Imported& imported) {
    std::vector<std::string> found = BytesOf(imported, talix::kSigPabDefinition);
    for (std::string& bytes : found)
        if (bytes.size() >= 6) bytes[4] = bytes[5] = '\0';
    return found;
}

TEST_F(WalkTest, LikeBlocksGetTheBordersAndDefinitionsTheyGetAlone) {
    // Each style differs from the first in one value; the page repeats
    // them in turn, so that every one comes again after the others.
    const std::vector<std::string> styles = {
        "border: 1px solid #999999; padding-left: 4px",
        "border: 2px solid #999999; padding-left: 4px",
        "border: 1px dashed #999999; padding-left: 4px",
        "border: 1px solid #990000; padding-left: 4px",
        "border: 1px solid #999999; padding-left: 5px",
        "border: 1px solid #999999; padding-left: 4px; margin-left: 0.125in",
        "border: 1px solid #999999; padding-left: 4px; margin-left: 0.135in",
        "border-top: 3px double red",
        "border: 1px solid #999999; padding-left: 4px; margin-right: 1.005in",
    };
    std::vector<std::string> aloneBorders, aloneDefinitions;
    for (const std::string& style : styles) {
        const Imported alone = Import("<html><body><div style='" + style + "'>text</div></body></html>");
        ASSERT_EQ(alone.status, 0) << style;
        const std::vector<std::string> borders = BytesOf(alone, talix::kSigBorderInfo);
        const std::vector<std::string> definitions = DefinitionsOf(alone);
        ASSERT_EQ(borders.size(), 1u) << style;
        ASSERT_FALSE(definitions.empty()) << style;
        aloneBorders.push_back(borders.front());
        aloneDefinitions.push_back(definitions.back());
    }
    // Differing in one value is enough for another record: a border value
    // for another border, a margin for another definition.
    for (const std::size_t n : {1, 2, 3, 4, 7}) EXPECT_NE(aloneBorders[n], aloneBorders[0]) << styles[n];
    for (const std::size_t n : {5, 6, 8}) EXPECT_NE(aloneDefinitions[n], aloneDefinitions[0]) << styles[n];
    EXPECT_NE(aloneDefinitions[5], aloneDefinitions[6]);

    std::string body;
    constexpr int kRounds = 30;
    for (int round = 0; round < kRounds; ++round)
        for (const std::string& style : styles) body += "<div style='" + style + "'>text</div>";
    const Imported page = Import("<html><body>" + body + "</body></html>");
    ASSERT_EQ(page.status, 0);
    ASSERT_EQ(page.problem, "");
    const std::vector<std::string> borders = BytesOf(page, talix::kSigBorderInfo);
    ASSERT_EQ(borders.size(), styles.size() * kRounds);
    for (std::size_t n = 0; n < borders.size(); ++n)
        ASSERT_EQ(borders[n], aloneBorders[n % styles.size()]) << "block " << n;
    const std::vector<std::string> definitions = DefinitionsOf(page);
    for (const std::string& definition : definitions) {
        bool known = false;
        for (const std::string& alone : aloneDefinitions) known = known || definition == alone;
        EXPECT_TRUE(known) << "a definition no block makes alone";
    }
    for (const std::string& alone : aloneDefinitions) {
        bool used = false;
        for (const std::string& definition : definitions) used = used || definition == alone;
        EXPECT_TRUE(used) << "a block's own definition missing from the page";
    }
}

// Blocks whose parent, name and attributes repeat share their paragraph
// definition only while nothing else that decides it changes: the rules
// (a style element read between them), the box around them (a table cell)
// and the order of their attributes' values.
TEST_F(WalkTest, RepeatedBlocksKeepWhatTheirContextGivesThem) {
    auto definitions = [this](const std::string& body) {
        const Imported imported = Import("<html><body>" + body + "</body></html>");
        EXPECT_EQ(imported.status, 0) << body;
        return DefinitionsOf(imported);
    };
    const std::string plain = "<p class=c align=right>a</p>";
    const std::string moved = "<p class=c align=right style='margin-left:1in'>b</p>";
    // Two like paragraphs share one definition; a third differing in a
    // value of its own gets another, and the like one after it the first.
    const std::vector<std::string> like = definitions(plain + plain);
    const std::vector<std::string> mixed = definitions(plain + moved + plain);
    ASSERT_FALSE(like.empty());
    ASSERT_GE(mixed.size(), 2u);
    EXPECT_NE(mixed[0], mixed[1]);
    EXPECT_NE(std::find(mixed.begin(), mixed.end(), like.front()), mixed.end());

    // A rule read between two like paragraphs applies to the second.
    const std::vector<std::string> ruled =
        definitions(plain + "<style>p.c { margin-left: 2in }</style>" + plain + "<p class=c align=right>c</p>");
    const std::vector<std::string> ruledFirst =
        definitions("<style>p.c { margin-left: 2in }</style>" + plain);
    ASSERT_FALSE(ruledFirst.empty());
    EXPECT_NE(std::find(ruled.begin(), ruled.end(), ruledFirst.back()), ruled.end());

    // The same paragraph in a table cell has no page margin in its offset.
    const std::vector<std::string> boxed =
        definitions("<table><tr><td>" + plain + plain + "</td></tr></table>" + plain + plain);
    ASSERT_GE(boxed.size(), 2u);
    EXPECT_NE(boxed.front(), boxed.back());
    EXPECT_EQ(boxed.back(), like.back());
}

} // namespace
