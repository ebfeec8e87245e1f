// Reading a chunk's text with ZervaRTChunk::GetText, over items built from
// records and over every rich-text item of the exported notes.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "chunkops/chunk_text.h"
#include "core/record_io.h"
#include "fixture_items.h"
#include "support/rich_text_items.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using engine_test::FixtureDatabase;
using engine_test::Join;
using engine_test::Paragraph;
using engine_test::Records;
using engine_test::Runs;
using engine_test::TablesItem;
using engine_test::Text;

using ChunkPtr = std::unique_ptr<ZervaRTChunk>;

constexpr std::uint32_t kTextCap = 65340;

// The whole text GetText gives, with a buffer larger than any result.
std::string All(ZervaRTChunk* chunk, int allRuns, const char* separator, const char* sub = nullptr) {
    std::vector<char> buffer(kTextCap + 100, '?');
    std::uint32_t length = chunk->GetText(sub, buffer.data(), static_cast<std::uint32_t>(buffer.size()), allRuns,
                                          separator);
    EXPECT_EQ(buffer[length], '\0');
    return std::string(buffer.data(), length);
}

class GetTextTest : public ::testing::Test {
protected:
    ChunkPtr Define(const Records& records, const char* definition = "Everything") {
        EXPECT_EQ(item_.Connect("", db_.path().c_str(), db_.AddNote(records), "Body", 0), 0);
        return ChunkPtr(item_.DefineChunk(definition));
    }

    FixtureDatabase db_;
    RARIvoSession session_;
    ZervaRTItem item_{&session_};
};

TEST_F(GetTextTest, JoinsTheRunsOfTheChunk) {
    Records records = Runs({"", "a"});
    for (auto record : {Paragraph(), Text("b"), Text(""), Text("c")}) records.push_back(record);
    ChunkPtr chunk = Define(records);
    EXPECT_EQ(All(chunk.get(), 1, ", "), "a, b, c");
    EXPECT_EQ(chunk->lastStatus, 0);
    EXPECT_EQ(All(chunk.get(), 1, nullptr), "abc");
    EXPECT_EQ(All(chunk.get(), 0, ", "), "a");   // the first run that holds text

    // The caller's buffer bounds the copy.
    char small[4] = "xyz";
    EXPECT_EQ(chunk->GetText(nullptr, small, 4, 1, ", "), 3u);
    EXPECT_STREQ(small, "a, ");
    EXPECT_EQ(chunk->GetText(nullptr, small, 1, 1, ", "), 0u);
    EXPECT_STREQ(small, "");
    EXPECT_EQ(All(Define(Runs({""})).get(), 1, ", "), "");
}

// A right-to-left run: a text run under the other signature.
talix_test::FixtureRecord RightToLeft(std::string_view text) {
    talix_test::FixtureRecord run = Text(text);
    run.signature = 0xFFE4;
    run.bytes[0] = 0xE4;
    return run;
}

TEST_F(GetTextTest, RightToLeftRunsGiveTheirText) {
    Records records = Runs({"a"});
    for (auto record : {RightToLeft("b"), Paragraph(), RightToLeft(""), Text("c")}) records.push_back(record);
    ChunkPtr chunk = Define(records);
    EXPECT_EQ(All(chunk.get(), 1, ", "), "a, b, c");
    std::string whole;
    EXPECT_EQ(talix::GetWholeChunkText(chunk.get(), &whole, true), 0);
    EXPECT_EQ(whole, std::string("ab\0c", 4));

    // The first run that holds text, when it runs right to left.
    ChunkPtr first = Define(Join({Runs({""}), {RightToLeft("b"), Text("c")}}));
    EXPECT_EQ(All(first.get(), 0, nullptr), "b");
}

TEST_F(GetTextTest, ParagraphTargetsAreSeparatedAsTheWholeItem) {
    // Paragraphs "a", empty, "b", "c".
    Records records = Runs({"a"});
    for (auto record : {Paragraph(), Text(""), Paragraph(), Text("b"), Paragraph(), Text("c")})
        records.push_back(record);
    ChunkPtr everything = Define(records);
    std::string whole, paragraphs;
    ASSERT_EQ(talix::GetWholeChunkText(everything.get(), &whole, true), 0);
    EXPECT_EQ(whole, std::string("a\0\0b\0c", 6));
    ChunkPtr all = Define(records, "Paragraph *");
    ASSERT_EQ(talix::GetWholeChunkText(all.get(), &paragraphs, true), 0);
    EXPECT_EQ(paragraphs, whole);
    // A range has its own paragraphs separated, and GetText still joins runs
    // with the caller's separator only.
    ChunkPtr range = Define(records, "Paragraph 3-4");
    ASSERT_EQ(talix::GetWholeChunkText(range.get(), &paragraphs, true), 0);
    EXPECT_EQ(paragraphs, std::string("b\0c", 3));
    EXPECT_EQ(All(all.get(), 1, nullptr), "abc");
}

TEST_F(GetTextTest, StopsAtTheCap) {
    // Seven runs of 10,000 bytes: 70,000 in all.
    std::vector<std::string> runs;
    std::string joined, separated;
    for (char c = 'a'; c < 'h'; ++c) {
        runs.emplace_back(10000, c);
        joined += runs.back();
        separated += (separated.empty() ? "" : "--") + runs.back();
    }
    ChunkPtr chunk = Define(Runs(runs));
    EXPECT_EQ(All(chunk.get(), 1, nullptr), joined.substr(0, kTextCap));
    EXPECT_EQ(All(chunk.get(), 1, "--"), separated.substr(0, kTextCap));

    // A separator that no longer fits ends the text without a piece of it.
    std::string big(64000, 'a'), fill(1337, 'b');
    ChunkPtr full = Define(Runs({big, fill, "c"}));
    EXPECT_EQ(All(full.get(), 1, "--"), big + "--" + fill);
}

TEST_F(GetTextTest, CutsOnlyBetweenWholeCharacters) {
    // A Greek letter takes several bytes; a text cut to a buffer or at the cap
    // keeps whole characters only.
    const std::string e = plat::NativeToLmbcs("\xCE\xB1");
    ASSERT_GT(e.size(), 1u);
    ChunkPtr chunk = Define(Runs({"ab" + e + "c"}));
    char buffer[8] = {};
    const std::uint32_t length = chunk->GetText(nullptr, buffer, 2 + e.size(), 1, nullptr);
    EXPECT_EQ(std::string(buffer, length), "ab");
    EXPECT_EQ(buffer[length], '\0');
    EXPECT_EQ(chunk->GetText(nullptr, buffer, 3 + e.size(), 1, nullptr), 2 + e.size());
    EXPECT_EQ(std::string(buffer), "ab" + e);

    // A character that straddles the cap is left out whole.
    const std::string fill(kTextCap - 1, 'a');
    ChunkPtr full = Define(Runs({fill.substr(0, 40000), fill.substr(40000), e + "z"}));
    EXPECT_EQ(All(full.get(), 1, nullptr), fill);
    // With separators: the last one fits, the character after it does not.
    const std::string a(40000, 'a'), b(kTextCap - 40001 - e.size(), 'b');
    ChunkPtr separated = Define(Runs({a, b, e + "z"}));
    EXPECT_EQ(All(separated.get(), 1, "-"), a + "-" + b + "-");
}

TEST_F(GetTextTest, SubDefinitionsNarrowTheChunk) {
    ChunkPtr table = Define(TablesItem(), "Table 1");
    EXPECT_EQ(All(table.get(), 1, " ", "Row 3"), "r3c1 r3c2 r3c3");
    EXPECT_EQ(All(table.get(), 1, " ", "Row 2; Column 2"), "r2c2 n11 n12 n21 n22");
    EXPECT_EQ(All(table.get(), 1, " ", ""), All(table.get(), 1, " "));
    EXPECT_STREQ(table->definition, "Table 1");
    EXPECT_EQ(All(table.get(), 1, " ", "Bogus 2"), "");
    EXPECT_EQ(table->lastStatus, 1028);
    EXPECT_EQ(All(table.get(), 1, " ", "Row 9"), "");
    EXPECT_EQ(table->lastStatus, 0);
}

// The text of every text run of an item as the record reader holds it, cut
// at the cap; false when the item cannot be read to its end.
bool ExpectedText(ZervaRTItem* item, std::string* text) {
    talix::STATUS status = 0;
    talix::ItemRecordList* list = talix::SIAR(item, 0, nullptr, 0, 0, 0, nullptr, &status);
    if (list == nullptr) return false;
    for (const talix::CDRecordNode* node = list->head; node != nullptr; node = node->next) {
        if ((node->signature == 0xFF85 || node->signature == 0xFFE4) && node->length > 8)
            text->append(reinterpret_cast<const char*>(node->bytes) + 8, node->length - 8);
    }
    talix::DeleteItemRecordList(item->session, list);
    if (text->size() > kTextCap) text->resize(kTextCap);
    return status == 0;
}

TEST(GetTextRealData, EveryItemYieldsItsTextAndCounts) {
    talix_test::TempDir dir;
    std::string path = dir.file("real.nsf");
    std::vector<talix_test::NoteItem> targets;
    const auto files = talix_test::SampleAndSharedDxlFiles();
    ASSERT_EQ(talix_test::ImportRichTextItems(path, files, /*withImageData=*/true, &targets), plat::NOERROR);

    RARIvoSession session;
    int withText = 0, withTables = 0;
    for (const auto& [id, name] : targets) {
        SCOPED_TRACE("note " + std::to_string(id) + " item " + name);
        ZervaRTItem item(&session);
        // An item whose note's font table is damaged still connects.
        item.Connect("", path.c_str(), id, name.c_str(), 0);
        ASSERT_EQ(item.connected, 1);
        std::string expected;
        bool whole = ExpectedText(&item, &expected);
        ChunkPtr everything(item.DefineChunk("Everything"));
        std::string text = All(everything.get(), 1, nullptr);
        if (whole) {
            EXPECT_EQ(everything->lastStatus, 0);
            EXPECT_EQ(text, expected);
        } else {
            EXPECT_NE(everything->lastStatus, 0);   // damaged records are reported, not read past
            EXPECT_EQ(text, "");
        }
        withText += expected.empty() ? 0 : 1;
        for (const char* type : {"Table", "Section", "Hotspot"}) EXPECT_GE(everything->GetCount(type), 0) << type;
        if (everything->GetCount("Table") > 0) {
            ++withTables;
            ChunkPtr table(item.DefineChunk("Table 1"));
            EXPECT_GT(table->GetCount("Row"), 0);
            EXPECT_GT(table->GetCount("Column"), 0);
        }
    }
    EXPECT_GT(targets.size(), 10u);
    EXPECT_GT(withText, 5);
    EXPECT_GT(withTables, 0);
}

} // namespace
