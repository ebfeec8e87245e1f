// An item of more than 70,000 records, whose record indexes pass 65,535:
// navigation, the removal of a range and the row operations near its end
// act on the records they name.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/session_work_area.h"
#include "core/signatures.h"
#include "edit_fixture.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace {

using engine_test::Rec;
using talix::kSigTableCell;
using talix::kSigTableEnd;
using talix::kSigText;
using ChunkPtr = std::unique_ptr<ZervaRTChunk>;

constexpr int kParagraphs = 23500;   // three records each

class LargeItemTest : public engine_test::EditTest {
protected:
    // A paragraph definition and its reference, then paragraphs "p1" ...,
    // then a table of three rows and two columns "r<row>c<column>".
    void SetUp() override {
        engine_test::Records records = engine_test::Runs({});
        for (int i = 1; i <= kParagraphs; ++i) {
            records.push_back(engine_test::Paragraph());
            records.push_back(engine_test::ReferenceTo(1));
            records.push_back(engine_test::Text("p" + std::to_string(i)));
        }
        ASSERT_NE(Open(records), nullptr);
        ChunkPtr everything(item_.DefineChunk("Everything"));
        ASSERT_EQ(everything->AppendTable(3, 2, 0, nullptr, nullptr), 0);
        for (int row = 1; row <= 3; ++row) {
            for (int column = 1; column <= 2; ++column) {
                const std::string cell = "Table 1; Row " + std::to_string(row) + "; Column " + std::to_string(column);
                const std::string text = "r" + std::to_string(row) + "c" + std::to_string(column);
                ASSERT_EQ(everything->SetText(cell.c_str(), text.c_str(), 0, nullptr), 0) << cell;
            }
        }
        ASSERT_EQ(item_.Save(), 0);
    }

    std::string Text(ZervaRTChunk* chunk) {
        char buffer[256];
        chunk->GetText(nullptr, buffer, sizeof buffer, 1, " ");
        return buffer;
    }

    const talix::SessionWorkArea& Area() const { return *session_.workArea; }

    // The saved item: its non-empty texts, and the cells of its first table
    // row by row.
    void ReadBack(std::vector<std::string>* texts, std::vector<std::vector<std::string>>* cells) {
        const std::vector<Rec> records = Saved();
        ASSERT_GT(records.size(), 70000u);
        *texts = engine_test::NonEmptyTexts(records);
        bool inTable = false;
        for (const Rec& record : records) {
            if (record.signature == kSigTableCell) {
                inTable = true;
                if (record.bytes[3] == 0) cells->emplace_back();
                cells->back().emplace_back();
            } else if (record.signature == kSigText && inTable && !record.Text().empty()) {
                cells->back().back() += record.Text();
            } else if (record.signature == kSigTableEnd) {
                break;
            }
        }
    }
};

TEST_F(LargeItemTest, NavigationFindsTheTargetsPastTheSixteenBitIndexes) {
    // The text runs near the end, one after the other and back.
    ChunkPtr text(item_.DefineChunk(("Text " + std::to_string(kParagraphs - 1)).c_str()));
    EXPECT_EQ(text->Exists(), 1);
    EXPECT_EQ(Text(text.get()), "p" + std::to_string(kParagraphs - 1));
    const std::uint32_t before = Area().foundFirstRecord;
    EXPECT_GT(before, 65535u);
    EXPECT_EQ(text->GetNextTarget(0), 1);
    EXPECT_EQ(Text(text.get()), "p" + std::to_string(kParagraphs));
    EXPECT_EQ(Area().foundFirstRecord, before + 3);   // a paragraph record and a reference between
    // On into the table: its first cell's text comes after the empty runs
    // that open it.
    int steps = 0;
    while (Text(text.get()) != "r1c1" && steps < 10 && text->GetNextTarget(0) == 1) ++steps;
    EXPECT_EQ(Text(text.get()), "r1c1");
    for (int back = 0; back < steps; ++back) EXPECT_EQ(text->GetPreviousTarget(), 1);
    EXPECT_EQ(Text(text.get()), "p" + std::to_string(kParagraphs));

    // Counts over the whole item (every text run) and within the table.
    ChunkPtr everything(item_.DefineChunk("Everything"));
    const std::size_t runs = engine_test::Count(Saved(), kSigText);
    EXPECT_GT(runs, static_cast<std::size_t>(kParagraphs));
    EXPECT_EQ(everything->GetCount("Text"), static_cast<std::int16_t>(runs));
    EXPECT_EQ(everything->GetCount("Table"), 1);
    ChunkPtr table(item_.DefineChunk("Table 1"));
    EXPECT_EQ(table->GetCount("Row"), 3);

    // The table's rows, walked row by row, and its last one.
    ChunkPtr row(item_.DefineChunk("Table 1; Row 1"));
    EXPECT_EQ(Text(row.get()), "r1c1 r1c2");
    EXPECT_EQ(row->GetNextTarget(0), 1);
    EXPECT_EQ(Text(row.get()), "r2c1 r2c2");
    EXPECT_EQ(row->GetLastTarget(), 1);
    EXPECT_EQ(Text(row.get()), "r3c1 r3c2");
    EXPECT_GT(Area().foundFirstRecord, before);

    // The largest occurrence a definition names has no next one: a loop
    // moving on while a target is found ends there.
    ChunkPtr last(item_.DefineChunk("Record 65535"));
    EXPECT_EQ(last->Exists(), 1);
    int moves = 0;
    while (moves < 3 && last->GetNextTarget(0) == 1) ++moves;
    EXPECT_EQ(moves, 0);
    EXPECT_STREQ(last->definition, "Record 65535");
    EXPECT_EQ(last->GetPreviousTarget(), 1);
    EXPECT_STREQ(last->definition, "Record 65534");
}

TEST_F(LargeItemTest, ARangeNearTheEndIsRemovedAndNothingElse) {
    const int first = kParagraphs - 10, last = kParagraphs - 5;
    ChunkPtr range(item_.DefineChunk(("Text " + std::to_string(first) + "-" + std::to_string(last)).c_str()));
    ASSERT_EQ(range->Remove(), 0);
    std::vector<std::string> texts;
    std::vector<std::vector<std::string>> cells;
    ReadBack(&texts, &cells);
    ASSERT_EQ(texts.size(), static_cast<std::size_t>(kParagraphs - (last - first + 1) + 6));
    EXPECT_EQ(texts[0], "p1");
    EXPECT_EQ(texts[first - 2], "p" + std::to_string(first - 1));
    EXPECT_EQ(texts[first - 1], "p" + std::to_string(last + 1));
    EXPECT_EQ(cells, (std::vector<std::vector<std::string>>{{"r1c1", "r1c2"}, {"r2c1", "r2c2"}, {"r3c1", "r3c2"}}));
}

TEST_F(LargeItemTest, RowOperationsNearTheEndTakeTheRowsTheyName) {
    ChunkPtr table(item_.DefineChunk("Table 1"));
    // A copy of the second row, with its contents, at the table's end.
    ASSERT_EQ(table->AppendRow(1, 2, nullptr), 0);
    std::vector<std::string> texts;
    std::vector<std::vector<std::string>> cells;
    ReadBack(&texts, &cells);
    EXPECT_EQ(cells, (std::vector<std::vector<std::string>>{
                         {"r1c1", "r1c2"}, {"r2c1", "r2c2"}, {"r3c1", "r3c2"}, {"r2c1", "r2c2"}}));
    EXPECT_EQ(texts.size(), static_cast<std::size_t>(kParagraphs + 8));

    // The rows sorted by their first column, last first.
    ASSERT_EQ(table->SortByRow(1, 0, 0, 1, nullptr), 0);
    cells.clear();
    ReadBack(&texts, &cells);
    EXPECT_EQ(cells, (std::vector<std::vector<std::string>>{
                         {"r3c1", "r3c2"}, {"r2c1", "r2c2"}, {"r2c1", "r2c2"}, {"r1c1", "r1c2"}}));
    EXPECT_EQ(texts.front(), "p1");
}

} // namespace
