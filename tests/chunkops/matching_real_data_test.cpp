// Link matching over the rich-text items of real exported notes, against a
// key database of 1,000 words taken from their own texts.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "chunk_fixture.h"
#include "core/signatures.h"
#include "platform/view_index.h"
#include "support/rich_text_items.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace chunkops_test {
namespace {

constexpr std::size_t kWords = 1000;

class MatchingRealDataTest : public ChunkTest {
protected:
    // The whole text of an item of the real database, runs joined as they stand.
    std::string WholeText(plat::NOTEID id, const char* name) {
        delete item_;
        item_ = new ZervaRTItem(&session_);
        if (item_->Connect("", path_.c_str(), id, name, 0) != 0) return "<not connected>";
        return TextOf("Everything", "");
    }

    // A key database whose view "Terms" lists one document per word.
    void MakeKeys(const std::string& path, const std::set<std::string>& words) {
        plat::DBHANDLE db = 0;
        ASSERT_EQ(plat::DbCreate(path.c_str(), &db), plat::NOERROR);
        plat::NOTEID view = 0;
        ASSERT_EQ(plat::ViewNoteCreate(db, plat::ViewDefinition{"Terms", "", {"Term"}, {"sorted"}}, &view),
                  plat::NOERROR);
        for (const std::string& word : words) {
            plat::NOTEHANDLE note = 0;
            ASSERT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
            plat::ItemSetText(note, "Term", word.data(), static_cast<plat::WORD>(word.size()));
            ASSERT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
            plat::NoteClose(note);
        }
        plat::DbClose(db);
    }
};

TEST_F(MatchingRealDataTest, EveryItemStaysWellFormedAndKeepsItsText) {
    std::vector<talix_test::NoteItem> items;
    path_ = dir_.file("real.nsf");
    ASSERT_EQ(talix_test::ImportRichTextItems(path_, talix_test::SampleAndSharedDxlFiles(), false, &items), 0);
    ASSERT_FALSE(items.empty());

    // The items to match (well formed to begin with) and their texts; the
    // words of those texts (ASCII letters, 4 to 12 of them) are keys.
    struct Item {
        plat::NOTEID id;
        std::string name;
        std::string text;
    };
    std::vector<Item> work;
    std::set<std::string> words;
    for (const talix_test::NoteItem& each : items) {
        const char* name = each.second.c_str();
        if (name[0] == '$' && each.second != "$Body") continue;
        if (!Stored(each.first, name).problem.empty()) continue;
        work.push_back({each.first, each.second, WholeText(each.first, name)});
        std::string word;
        for (const char c : work.back().text + " ") {
            if (std::isalpha(static_cast<unsigned char>(c)) != 0) {
                word += c;
                continue;
            }
            if (word.size() >= 4 && word.size() <= 12 && words.size() < kWords) words.insert(word);
            word.clear();
        }
    }
    ASSERT_FALSE(work.empty());
    // Made-up words fill the rest.
    for (int n = 0; words.size() < kWords; ++n) words.insert("word" + std::to_string(n));
    const std::string keys = dir_.file("keys.nsf");
    MakeKeys(keys, words);

    std::size_t links = 0;
    for (const Item& each : work) {
        const std::string where = std::to_string(each.id) + " " + each.name;
        delete item_;
        item_ = new ZervaRTItem(&session_);
        ASSERT_EQ(item_->Connect("", path_.c_str(), each.id, each.name.c_str(), 0), 0) << where;
        ZervaRTChunk* chunk = Chunk();
        ASSERT_NE(chunk, nullptr);
        EXPECT_EQ(chunk->LinkMatching("", keys.c_str(), "Terms", "Term", nullptr, nullptr, 0), 0) << where;
        delete chunk;
        ASSERT_EQ(item_->Save(), 0) << where;
        const Body matched = Stored(each.id, each.name.c_str());
        EXPECT_EQ(matched.problem, "") << where;
        links += matched.Count(talix::kSigLinkExport2);
        EXPECT_EQ(WholeText(each.id, each.name.c_str()), each.text) << where;
    }
    EXPECT_GT(links, 0u);
    std::printf("%zu items matched against %zu words: %zu links\n", work.size(), words.size(), links);
}

} // namespace
} // namespace chunkops_test
