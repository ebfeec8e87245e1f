// talix text, count and rewrite over every rich-text item of the real data
// (the project's samples, and the shared set when present), checked against
// what the stored values hold, read here without the library; and talix
// html over every one of them in both formats. Under the address sanitizer,
// where each run of the program costs several times as much, every fourth
// item (with every action bar and every item with tables): that run looks
// for memory faults in the program rather than for more cases.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "core/address_sanitizer.h"
#include "support/markup_validators.h"
#include "support/record_fixture.h"
#include "support/rich_text_items.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace {

using talix_test::CliOutcome;

#if defined(TALIX_ADDRESS_SANITIZER)
constexpr std::size_t kItemStride = 4;
#else
constexpr std::size_t kItemStride = 1;
#endif

// What the stored records of an item hold: the words of four letters or
// more of its text runs that hold ASCII only, and its tables that no other
// table holds.
struct StoredContent {
    std::set<std::string> words;
    int topLevelTables = 0;
};

std::uint32_t Little(const std::string& bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

void AddWords(const std::string& text, std::set<std::string>* words) {
    for (unsigned char c : text)
        if (c >= 0x80) return;
    std::string word;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const bool letter = i < text.size() && std::isalpha(static_cast<unsigned char>(text[i])) != 0;
        if (letter) {
            word += text[i];
            continue;
        }
        if (word.size() >= 4) words->insert(word);
        word.clear();
    }
}

// Reads the records of the stored values (each with its data-type word
// first): a record's header is a word signature with a word length (high
// byte 0xFF), a byte signature with a byte length, or (first word below
// 0x100) a word signature with a double-word length.
StoredContent ReadStored(const std::vector<std::string>& values) {
    StoredContent content;
    int depth = 0;
    for (const std::string& value : values) {
        for (std::size_t at = 2; at + 2 <= value.size();) {
            const std::uint32_t first = Little(value, at, 2);
            std::uint32_t signature = first, length = 0;
            if (first < 0x100) {
                if (at + 6 > value.size()) break;
                length = Little(value, at + 2, 4);
            } else if ((first >> 8) == 0xFF) {
                if (at + 4 > value.size()) break;
                length = Little(value, at + 2, 2);
            } else {
                signature = first & 0xFF;
                length = first >> 8;
            }
            if (length == 0 || at + length > value.size()) break;
            if (signature == 0xFF85 && length > 8) AddWords(value.substr(at + 8, length - 8), &content.words);
            if (signature == 0xA3 || signature == 0xCF) {
                if (depth == 0) ++content.topLevelTables;
                ++depth;
            } else if ((signature == 0xA5 || signature == 0xD1) && depth > 0) {
                --depth;
            }
            at += length + (length & 1u);
        }
    }
    return content;
}

// The records of stored values, joined: each value without its data-type
// word, padded to even length before the next (a writer may split the
// records into items differently).
std::string Joined(const std::vector<std::string>& values) {
    std::string joined;
    for (const std::string& value : values) {
        if (joined.size() % 2 != 0) joined.push_back('\0');
        joined += value.substr(2);
    }
    return joined;
}

class RealDataCli : public talix_test::CliTest {
protected:
    std::vector<std::string> Stored(plat::NOTEID id, const std::string& name) {
        plat::DBHANDLE db = 0;
        plat::NOTEHANDLE note = 0;
        std::vector<std::string> values;
        if (plat::DbOpen(db_.c_str(), &db) != plat::NOERROR) return values;
        if (plat::NoteOpen(db, id, 0, &note) == plat::NOERROR) {
            values = talix_test::StoredValues(note, name);
            plat::NoteClose(note);
        }
        plat::DbClose(db);
        return values;
    }
};

TEST_F(RealDataCli, TextAndCountOfEveryRichTextItemAgreeWithItsStoredRecords) {
    std::vector<talix_test::NoteItem> items;
    ASSERT_EQ(talix_test::ImportRichTextItems(db_, talix_test::SampleAndSharedDxlFiles(), true, &items), 0);
    ASSERT_FALSE(items.empty());
    int withWords = 0, withTables = 0, actionBars = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const auto& [id, name] = items[i];
        const std::string note = std::to_string(id);
        const std::string where = note + " " + name;
        const StoredContent content = ReadStored(Stored(id, name));
        if (i % kItemStride != 0 && content.topLevelTables == 0 && name != "$V5ACTIONS") continue;

        const CliOutcome text = Talix({"text", db_, note, name});
        ASSERT_EQ(text.status, 0) << where << ": " << text.err;
        for (const std::string& word : content.words)
            EXPECT_NE(text.out.find(word), std::string::npos) << where << ": " << word;
        withWords += content.words.empty() ? 0 : 1;

        const CliOutcome count = Talix({"count", db_, note, name, "Table"});
        ASSERT_EQ(count.status, 0) << where << ": " << count.err;
        EXPECT_EQ(count.out, std::to_string(content.topLevelTables) + "\n") << where;
        withTables += content.topLevelTables > 0 ? 1 : 0;

        // The action bar of a view (whose note keeps its fonts as a text
        // list) is read and written back as it was.
        if (name != "$V5ACTIONS") continue;
        ++actionBars;
        const std::string before = Joined(Stored(id, name));
        const CliOutcome rewrite = Talix({"rewrite", db_, note, name});
        EXPECT_EQ(rewrite.status, 0) << where << ": " << rewrite.err;
        EXPECT_TRUE(Joined(Stored(id, name)) == before) << where;
    }
    EXPECT_GT(withWords, 0);
    EXPECT_GT(withTables, 0);
    EXPECT_GT(actionBars, 0);
}

TEST_F(RealDataCli, HtmlOfEveryRichTextItemIsWholeInBothFormats) {
    std::vector<talix_test::NoteItem> items;
    ASSERT_EQ(talix_test::ImportRichTextItems(db_, talix_test::SampleAndSharedDxlFiles(), true, &items), 0);
    ASSERT_FALSE(items.empty());
    for (std::size_t i = 0; i < items.size(); i += kItemStride) {
        const auto& [id, name] = items[i];
        const std::string where = std::to_string(id) + " " + name;
        for (const char* format : {"html", "xhtml"}) {
            const CliOutcome html = Talix({"html", db_, std::to_string(id), name, "--format", format});
            ASSERT_EQ(html.status, 0) << where << " " << format << ": " << html.err;
            EXPECT_EQ(html.err, "") << where << " " << format;
            const std::size_t end = html.out.rfind("</html>");
            EXPECT_TRUE(end != std::string::npos && end + 7 == html.out.size()) << where << " " << format;
            std::string report;
            if (std::string(format) == "xhtml")
                EXPECT_TRUE(talix_test::XmlWellFormed(html.out, &report)) << where << "\n" << report;
        }
    }
}

} // namespace
