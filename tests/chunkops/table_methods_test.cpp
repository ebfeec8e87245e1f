// AppendTable (counts, column widths and options), AppendRow and SortByRow.
#include <string>
#include <vector>

#include "chunk_fixture.h"
#include "core/signatures.h"

namespace chunkops_test {
namespace {

class TableMethodsTest : public ChunkTest {
protected:
    // A new item holding one table of the cell texts (row by row).
    void TableOf(const std::vector<std::vector<std::string>>& cells) {
        Open(NewNote());
        ZervaRTChunk* everything = Chunk();
        ASSERT_EQ(everything->AppendTable(static_cast<std::uint16_t>(cells.size()),
                                          static_cast<std::uint16_t>(cells[0].size()), 0, nullptr, nullptr),
                  0);
        delete everything;
        ZervaRTChunk* table = Chunk("Table 1");
        ASSERT_NE(table, nullptr);
        for (std::size_t row = 0; row < cells.size(); ++row) {
            for (std::size_t column = 0; column < cells[row].size(); ++column) {
                const std::string cell = "Row " + std::to_string(row + 1) + "; Column " + std::to_string(column + 1);
                ASSERT_EQ(table->SetText(cell.c_str(), cells[row][column].c_str(), 0, nullptr), 0) << cell;
            }
        }
        delete table;
    }
    // The texts of column 1, row by row, joined by ",".
    std::string Column(int column, int rows) {
        std::string joined;
        for (int row = 1; row <= rows; ++row) {
            const std::string cell = "Table 1; Row " + std::to_string(row) + "; Column " + std::to_string(column);
            joined += (row > 1 ? "," : "") + TextOf(cell.c_str(), "");
        }
        return joined;
    }
    std::uint16_t Sort(std::uint16_t column, int titleRow, int numeric, int reverse, const char* options) {
        ZervaRTChunk* table = Chunk("Table 1");
        const std::uint16_t status = table->SortByRow(column, titleRow, numeric, reverse, options);
        delete table;
        return status;
    }
};

TEST_F(TableMethodsTest, CountsOutOfRangeAreRefusedWithNothingAppended) {
    const plat::NOTEID id = NewNote();
    Open(id);
    ZervaRTChunk* chunk = Chunk();
    // Each refusal keeps its status and tells the host which count is wrong.
    talix_test::g_messages.clear();
    plat::RegisterMessageProc(talix_test::CollectMessage);
    for (auto [rows, columns] : {std::pair<int, int>{0, 2}, {256, 2}, {2, 0}, {2, 65}}) {
        EXPECT_EQ(chunk->AppendTable(static_cast<std::uint16_t>(rows), static_cast<std::uint16_t>(columns), 0,
                                     nullptr, nullptr),
                  20017);
        EXPECT_EQ(chunk->lastStatus, 20017);
    }
    plat::RegisterMessageProc(nullptr);
    EXPECT_EQ(talix_test::g_messages,
              (std::vector<std::string>{"TALIX: Invalid row count 0 for AppendTable: a table has 1 to 255 rows",
                                        "TALIX: Invalid row count 256 for AppendTable: a table has 1 to 255 rows",
                                        "TALIX: Invalid column count 0 for AppendTable: a table has 1 to 64 columns",
                                        "TALIX: Invalid column count 65 for AppendTable: a table has 1 to 64 columns"}));
    EXPECT_EQ(chunk->AppendTable(255, 1, 0, nullptr, nullptr), 0);
    EXPECT_EQ(chunk->AppendTable(1, 64, 0, nullptr, nullptr), 0);
    delete chunk;
    Save();
    const Body body = Stored(id);
    EXPECT_EQ(body.problem, "");
    EXPECT_EQ(body.Count(talix::kSigTableBegin), 2u);
    EXPECT_EQ(body.Count(talix::kSigTableCell), 255u + 64u);
}

TEST_F(TableMethodsTest, ColumnWidthsComeFromTheColumnOptions) {
    const plat::NOTEID id = NewNote();
    Open(id);
    ZervaRTChunk* chunk = Chunk();
    // 25 columns: the first three with widths, 21-25 always the equal share.
    std::vector<const char*> options(25, nullptr);
    options[0] = "Width=-1.5";
    options[1] = "Width=120px CellColor=red";
    options[2] = "Width=50%";
    options[3] = "";
    for (int i = 4; i < 25; ++i) options[i] = "Width=0.5";
    EXPECT_EQ(chunk->AppendTable(1, 25, 0, nullptr, options.data()), 0);
    // A pixel multiplier out of range is taken as 96.
    const char* wide[] = {"Width=96px"};
    EXPECT_EQ(chunk->AppendTable(1, 1, 0, "PixelMultiplier=1000", wide), 0);
    EXPECT_EQ(chunk->AppendTable(1, 1, 0, "PixelMultiplier=48", wide), 0);
    delete chunk;
    Save();
    const Body body = Stored(id);
    ASSERT_EQ(body.problem, "");
    auto width = [&](std::size_t cell) {
        return body.Word(talix::kSigTableCell, cell, 6) - body.Word(talix::kSigTableCell, cell, 4);
    };
    EXPECT_EQ(width(0), 2160);
    EXPECT_EQ(width(1), 1800);
    EXPECT_EQ(width(2), 4320);
    EXPECT_EQ(width(3), 8640 / 25);
    for (std::size_t cell = 4; cell < 20; ++cell) EXPECT_EQ(width(cell), 720) << cell;
    for (std::size_t cell = 20; cell < 25; ++cell) EXPECT_EQ(width(cell), 8640 / 25) << cell;
    EXPECT_EQ(width(25), 1440);
    EXPECT_EQ(width(26), 2880);
    // The web width the pixel column adds to its own options.
    EXPECT_TRUE(body.Holds("width='120'"));
    EXPECT_TRUE(body.Holds("width='50%'"));
}

TEST_F(TableMethodsTest, AppendRowCopiesARowOfATableOnly) {
    TableOf({{"a1", "a2"}, {"b1", "b2"}});
    ZervaRTChunk* table = Chunk("Table 1");
    EXPECT_EQ(table->AppendRow(1, 2, nullptr), 0);
    delete table;
    EXPECT_EQ(Column(1, 3), "a1,b1,b1");
    EXPECT_EQ(Column(2, 3), "a2,b2,b2");

    table = Chunk("Table 1");
    const char* cells[] = {"new1", "Text=new2"};
    EXPECT_EQ(table->AppendRow(0, 1, cells, 2), 0);
    // A row that is not there: nothing appended.
    EXPECT_EQ(table->AppendRow(1, 40, nullptr), 0);
    delete table;
    EXPECT_EQ(Column(1, 5), "a1,b1,b1,new1,");

    ZervaRTChunk* text = Chunk("Text 1");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->AppendRow(1, 1, nullptr), 20016);
    delete text;
    Save();
    EXPECT_EQ(Stored(id_).problem, "");
}

TEST_F(TableMethodsTest, RowsPastTheStoredRowNumberAreRefused) {
    // A cell keeps its row in one byte: 260 rows number their last four
    // 0 to 3 again, and a row definition reaches rows 1 to 256 only.
    TableOf({{"first"}, {"second"}});
    ZervaRTChunk* table = Chunk("Table 1");
    for (int row = 3; row <= 260; ++row) ASSERT_EQ(table->AppendRow(1, 2, nullptr), 0) << row;
    // Past the last reachable row: refused, with nothing changed.
    for (const char* beyond : {"Row 257", "Row 300", "Row 1000", "Row 2-257", "Row 3,257"}) {
        EXPECT_EQ(table->SetText(beyond, "lost", 0, nullptr), 20017) << beyond;
        EXPECT_EQ(table->errorWord, 20017) << beyond;
    }
    EXPECT_EQ(table->AppendRow(1, 257, nullptr), 20017);
    // The reachable rows still change, and only they.
    EXPECT_EQ(table->SetText("Row 256", "last", 0, nullptr), 0);
    EXPECT_EQ(table->SetText("Row 1", "one", 0, nullptr), 0);
    delete table;
    Save();
    const Body body = Stored(id_);
    EXPECT_EQ(body.problem, "");
    EXPECT_EQ(body.Count(talix::kSigTableCell), 260u);
    std::string texts;
    for (const std::string& text : body.texts) texts += text + ",";
    EXPECT_EQ(texts.find("lost"), std::string::npos) << texts;
    EXPECT_EQ(texts.find("one,second,"), 0u) << texts;
    EXPECT_EQ(texts.find("one", 1), std::string::npos) << texts;
    EXPECT_NE(texts.find("last,"), std::string::npos) << texts;
}

TEST_F(TableMethodsTest, SortByRowOrdersBelowTheTitleRows) {
    TableOf({{"Title", "x"}, {"c", "1"}, {"a", "2"}, {"b", "3"}});
    EXPECT_EQ(Sort(1, 1, 0, 0, nullptr), 0);
    EXPECT_EQ(Column(1, 4), "Title,a,b,c");
    EXPECT_EQ(Column(2, 4), "x,2,3,1");
    EXPECT_EQ(Sort(1, 1, 0, 1, nullptr), 0);
    EXPECT_EQ(Column(1, 4), "Title,c,b,a");
    // No title rows: the title sorts with the rest.
    EXPECT_EQ(Sort(1, 1, 0, 0, "TitleRows=0"), 0);
    EXPECT_EQ(Column(1, 4), "a,b,c,Title");
    Save();
    EXPECT_EQ(Stored(id_).problem, "");

    TableOf({{"10", "a"}, {"9", "b"}, {"100", "c"}});
    EXPECT_EQ(Sort(1, 0, 1, 0, nullptr), 0);
    EXPECT_EQ(Column(1, 3), "9,10,100");
    EXPECT_EQ(Sort(1, 0, 0, 0, nullptr), 0);
    EXPECT_EQ(Column(1, 3), "10,100,9");
}

TEST_F(TableMethodsTest, SecondaryKeysOrderTiesOfThePrimaryKey) {
    TableOf({{"k", "s"}, {"x", "1"}, {"y", "5"}, {"x", "3"}, {"y", "2"}, {"x", "2"}});
    EXPECT_EQ(Sort(1, 1, 0, 0, "SecondaryCol2=2 SecondaryReverse2=Yes"), 0);
    EXPECT_EQ(Column(1, 6), "k,x,x,x,y,y");
    EXPECT_EQ(Column(2, 6), "s,3,2,1,5,2");
    // A secondary column with nothing to sort does not stop the primary key.
    EXPECT_EQ(Sort(1, 1, 0, 1, "SecondaryCol1=9"), 0);
    EXPECT_EQ(Column(1, 6), "k,y,y,x,x,x");
    Save();
    EXPECT_EQ(Stored(id_).problem, "");
}

TEST_F(TableMethodsTest, SortingNeedsATableWithRowsToSort) {
    TableOf({{"Title", "t"}, {"only", "1"}});
    EXPECT_EQ(Sort(1, 1, 0, 0, nullptr), 0);
    EXPECT_EQ(Column(1, 2), "Title,only");
    ZervaRTChunk* text = Chunk("Everything");
    EXPECT_EQ(text->SortByRow(1, 0, 0, 0, nullptr), 20023);
    EXPECT_EQ(text->lastStatus, 20023);
    delete text;
}

TEST_F(TableMethodsTest, TheStoredRowCountFollowsRowsRemovedAndCopied) {
    TableOf({{"a"}, {"b"}, {"c"}, {"d"}});
    const auto rowCount = [&] {
        Save();
        const Body body = Stored(id_);
        EXPECT_EQ(body.problem, "");
        return body.Word(talix::kSigPreTableBegin, 0, 8) & 0xFF;
    };
    ASSERT_EQ(rowCount(), 4);
    ZervaRTChunk* rows = Chunk("Table 1; Row 2-3");
    EXPECT_EQ(rows->Remove(), 0);
    delete rows;
    EXPECT_EQ(Column(1, 2), "a,d");
    EXPECT_EQ(rowCount(), 2);
    ZervaRTChunk* last = Chunk("Table 1; Row 2");
    EXPECT_EQ(last->Remove(), 0);
    delete last;
    EXPECT_EQ(rowCount(), 1);
    ZervaRTChunk* table = Chunk("Table 1");
    EXPECT_EQ(table->AppendRow(1, 1, nullptr), 0);
    delete table;
    EXPECT_EQ(Column(1, 2), "a,a");
    EXPECT_EQ(rowCount(), 2);
}

} // namespace
} // namespace chunkops_test
