// Appending and removing through the chunk methods on the rich-text items
// of real exported notes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <string>
#include <vector>

#include "chunk_fixture.h"
#include "core/options.h"
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
    // Every rich-text item: the system's own ("$HTMLCode", "$FileData",
    // "$ImageData" ...) among them, some of which hold no records at all.
    ASSERT_EQ(talix_test::ImportRichTextItems(path_, talix_test::SampleAndSharedDxlFiles(), true, &items), 0);
    ASSERT_FALSE(items.empty());
    int withoutRecords = 0;
    for (const talix_test::NoteItem& each : items) {
        const char* name = each.second.c_str();
        const Body before = Stored(each.first, name);
        withoutRecords += before.signatures.empty() ? 1 : 0;
        // An item the structure checker finds fault with to begin with is
        // appended to all the same; only its structure is not judged after.
        const bool wellFormed = before.problem.empty();
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
        if (wellFormed) EXPECT_EQ(appended.problem, "") << each.first << " " << each.second;
        EXPECT_EQ(Tables(appended), Tables(before) + 1) << each.first << " " << each.second;
        EXPECT_EQ(appended.texts.empty() ? "" : appended.texts.back(), "appended") << each.first << " " << each.second;

        ZervaRTChunk* table = Chunk("Table 1");
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(table->Remove(), 0) << each.first << " " << each.second;
        delete table;
        ASSERT_EQ(item_->Save(), 0);
        const Body removed = Stored(each.first, name);
        if (wellFormed) EXPECT_EQ(removed.problem, "") << each.first << " " << each.second;
        EXPECT_LT(Tables(removed), Tables(appended)) << each.first << " " << each.second;
        EXPECT_EQ(removed.texts.empty() ? "" : removed.texts.back(), "appended") << each.first << " " << each.second;
    }
    EXPECT_GT(withoutRecords, 0);
}

// The keywords of a property text in order, each with its value: a word
// is a keyword, "=", and a value between two of one quote character or up
// to the next blank.
std::vector<std::pair<std::string, std::string>> Words(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> words;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && text[at] == ' ') ++at;
        const std::size_t equals = text.find('=', at);
        if (at >= text.size() || equals == std::string::npos) break;
        std::string keyword = text.substr(at, equals - at);
        std::size_t end = equals + 1;
        std::string value;
        if (end < text.size() && std::strchr("'\"|~", text[end]) != nullptr && text[end] != '\0') {
            const std::size_t close = text.find(text[end], end + 1);
            if (close == std::string::npos) break;
            value = text.substr(end + 1, close - end - 1);
            end = close + 1;
        } else {
            end = std::min(text.find(' ', end), text.size());
            value = text.substr(equals + 1, end - equals - 1);
        }
        words.emplace_back(keyword, value);
        at = end;
    }
    return words;
}

TEST_F(RealDataTest, PropertiesAndPropertyTextOfEveryRichTextItemAreRead) {
    std::vector<talix_test::NoteItem> items;
    path_ = dir_.file("real.nsf");
    ASSERT_EQ(talix_test::ImportRichTextItems(path_, talix_test::SampleAndSharedDxlFiles(), false, &items), 0);
    ASSERT_FALSE(items.empty());
    std::size_t tables = 0, texts = 0;
    char buffer[65536];
    for (const talix_test::NoteItem& each : items) {
        const char* name = each.second.c_str();
        if (!Stored(each.first, name).problem.empty()) continue;
        delete item_;
        item_ = new ZervaRTItem(&session_);
        ASSERT_EQ(item_->Connect("", path_.c_str(), each.first, name, 0), 0) << each.second;
        const std::string where = std::to_string(each.first) + " " + each.second;

        ZervaRTChunk* text = Chunk("Text 1");
        ASSERT_NE(text, nullptr);
        for (const char* property : {"Font", "FontColor", "ParagraphStyle"}) {
            text->GetPropertyText(property, buffer, sizeof buffer - 1);
            EXPECT_EQ(text->lastStatus, 0) << where << " " << property;
        }
        text->GetPropertyNumber("PointSize");
        EXPECT_EQ(text->lastStatus, 0) << where;
        texts += text->Exists() != 0 ? 1 : 0;
        delete text;

        ZervaRTChunk* everything = Chunk();
        for (const char* type : {"Table", "Graphic", "Layer", "HR"}) {
            const std::int16_t count = everything->GetCount(type);
            const std::string level = std::string(type) == "HR" ? "HorizontalRule" : type;
            for (std::int16_t n = 1; n <= count; ++n) {
                ZervaRTChunk* target = Chunk((level + " " + std::to_string(n)).c_str());
                ASSERT_NE(target, nullptr);
                const std::string words = std::string(type) == "Table" ? target->GetTableProperties(nullptr)
                                                                       : target->GetTargetProperties(type, nullptr);
                EXPECT_EQ(target->lastStatus, 0) << where << " " << type << " " << n;
                if (std::string(type) == "Table") {
                    ++tables;
                    EXPECT_FALSE(words.empty()) << where << " table " << n;
                    // Every word's keyword is found again, with its value.
                    for (const auto& [keyword, value] : Words(words)) {
                        char found[4096] = "";
                        EXPECT_EQ(talix::GetOptionValue(words.c_str(), (keyword + "=").c_str(), found, sizeof found),
                                  1)
                            << where << " " << keyword << " in " << words;
                        EXPECT_EQ(found, value) << where << " " << keyword << " in " << words;
                    }
                }
                delete target;
            }
        }
        delete everything;
    }
    EXPECT_GT(texts, 0u);
    EXPECT_GT(tables, 0u);
}

} // namespace
} // namespace chunkops_test
