// Cell widths through HTML and back: a table imported, written as HTML,
// and that HTML imported again keeps the widths its cells were given.
#include <regex>
#include <string>
#include <vector>

#include "core/signatures.h"
#include "walk_fixture.h"

namespace {

using import_test::Imported;
using import_test::WalkTest;

// The width attributes of the cells, in order.
std::vector<std::string> WrittenCellWidths(const std::string& html) {
    static const std::regex cell("<td[^>]* width='([^']*)'");
    std::vector<std::string> widths;
    for (auto at = std::sregex_iterator(html.begin(), html.end(), cell); at != std::sregex_iterator(); ++at)
        widths.push_back((*at)[1]);
    return widths;
}

TEST_F(WalkTest, CellWidthsSurviveRoundTripsThroughHtml) {
    // Widths whose pixels come back from the float arithmetic a shade under
    // their twips (100 pixels as 1,499.9999 twips), with and without
    // borders of one and more pixels.
    const std::vector<std::pair<std::string, std::vector<std::string>>> tables = {
        {"<table><tr><td width='100'>a</td><td width='200'>b</td><td width='37'>c</td></tr></table>",
         {"100", "200", "37"}},
        {"<table border='1'><tr><td width='100'>a</td><td width='97'>b</td></tr><tr><td>c</td><td>d</td></tr></table>",
         {"100", "97", "100", "97"}},
        {"<table><tr><td style='width: 120px; border-left: 3px solid red'>a</td>"
         "<td style='width: 80px; border: 2px solid blue'>b</td></tr></table>",
         {"120", "80"}},
    };
    for (const auto& [html, expected] : tables) {
        std::string page = html;
        for (int round = 1; round <= 3; ++round) {
            const Imported imported = Import(page);
            ASSERT_EQ(imported.status, 0) << page;
            EXPECT_EQ(imported.problem, "") << page;
            page = BodyHtml(imported.note);
            EXPECT_EQ(WrittenCellWidths(page), expected) << "round " << round << ": " << html;
        }
    }

    // A cell's border, as a left border in the written HTML takes it off the
    // width, is part of the column: the rich-text cell of a 100-pixel cell
    // with a 2-pixel border is 102 pixels (1,530 twips) wide.
    const Imported bordered = Import("<table><tr><td style='width: 100px; border: 2px solid'>x</td></tr></table>");
    ASSERT_EQ(bordered.status, 0);
    const import_test::ItemRecord* cell = import_test::First(bordered, talix::kSigTableCell);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->Word(6) - cell->Word(4), 1530);
    // A width in per cent is a share of the table and takes no border.
    const Imported shared =
        Import("<table width='600'><tr><td width='50%' style='border: 2px solid'>x</td><td>y</td></tr></table>");
    const import_test::ItemRecord* half = import_test::First(shared, talix::kSigTableCell);
    ASSERT_NE(half, nullptr);
    EXPECT_EQ(half->Word(6) - half->Word(4), 4500);
}

} // namespace
