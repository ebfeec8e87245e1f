// The wildcard text search and the rewrite of a text with every occurrence
// of an operation's search text replaced.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "core/text_search.h"
#include "engine/record_process.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

enum : std::uint32_t { kWild = 1, kNoCase = 2, kNoAccents = 4, kWord = 8 };

// The offset and length of the first match; {-1, 0} for none.
std::pair<int, int> Find(const std::string& text, const std::string& pattern, std::uint32_t mode = 0) {
    std::uint16_t length = 0;
    const std::int32_t at = talix::FindTextWildcard(
        text.data(), static_cast<std::uint16_t>(text.size()), pattern.data(), static_cast<std::uint16_t>(pattern.size()),
        mode & kWild, mode & kNoCase, mode & kNoAccents, mode & kWord, &length);
    return {at, at < 0 ? 0 : length};
}
using Match = std::pair<int, int>;

TEST(FindTextWildcard, WildcardsAndSwitchesDecideWhatMatchesAndHowMuch) {
    EXPECT_EQ(Find("xxabbbcx", "a*c", kWild), Match(2, 5));
    EXPECT_EQ(Find("abc", "a?c", kWild), Match(0, 3));
    EXPECT_EQ(Find("xxabyy", "ab*", kWild), Match(2, 4));
    EXPECT_EQ(Find("ab", "ab*", kWild), Match(0, 2));
    EXPECT_EQ(Find("a1b2b3", "a*b?", kWild), Match(0, 4));
    EXPECT_EQ(Find("abc a?c", "a?c"), Match(4, 3));   // without wildcards "?" is a character
    EXPECT_EQ(Find("xxab", "a*c", kWild), Match(-1, 0));
    EXPECT_EQ(Find("ab", "abc"), Match(-1, 0));
    EXPECT_EQ(Find("", "a"), Match(-1, 0));
    EXPECT_EQ(Find("abc", ""), Match(-1, 0));

    EXPECT_EQ(Find("Hello WORLD", "world"), Match(-1, 0));
    EXPECT_EQ(Find("Hello WORLD", "world", kNoCase), Match(6, 5));
    EXPECT_EQ(Find("Xabc Abc", "A*c", kWild), Match(5, 3));
    EXPECT_EQ(Find("Xabc Abc", "A*c", kWild | kNoCase), Match(1, 3));
    EXPECT_EQ(Find("concat cats cat.", "cat", kWord), Match(12, 3));
    EXPECT_EQ(Find("concatenate", "cat", kWord), Match(-1, 0));
    EXPECT_EQ(Find("a cb cx c", "c*x", kWild | kWord), Match(2, 5));

    // A letter of more than one byte: the match covers the text's bytes,
    // and "?" takes the whole character.
    const std::string word = plat::NativeToLmbcs("sz\xC5\x91r");   // o with double acute
    const int length = static_cast<int>(word.size());
    ASSERT_GT(length, 4);
    EXPECT_EQ(Find("a " + word, "szor"), Match(-1, 0));
    EXPECT_EQ(Find("a " + word, "szor", kNoAccents), Match(2, length));
    EXPECT_EQ(Find("a " + word, "sz?r", kWild), Match(2, length));

    // So does a character beyond 16 bits, stored as two units.
    const std::string face = plat::NativeToLmbcs("\U0001F600");
    ASSERT_EQ(face.size(), 6u);
    EXPECT_EQ(Find("a" + face + "b", "a?b", kWild), Match(0, 8));
    EXPECT_EQ(Find("a" + face + "b", "a??b", kWild), Match(-1, 0));
    EXPECT_EQ(Find("x" + face, "x?", kWild), Match(0, 7));
    EXPECT_EQ(Find(face + face + "b", "?b", kWild), Match(6, 7));
    EXPECT_EQ(Find("a" + face + "b", "a*b", kWild), Match(0, 8));
}

TEST(FindTextWildcard, PlainAsciiIsSearchedAsTextWithOtherCharacters) {
    // A text of printable ASCII alone is searched byte by byte; with a
    // character of more bytes after it, character by character under the
    // collation. Both find the same first match in the ASCII part.
    const std::string tail = " " + plat::NativeToLmbcs("sz\xC5\x91r");
    struct Case {
        const char* text;
        const char* pattern;
        std::uint32_t mode;
    };
    const Case cases[] = {
        {"row 0001 column 1 ..", "row 1000 column 1 ..", 0}, {"row 1000 column 1 ..", "ROW 1000 column 1 ..", kNoCase},
        {"row 1000 column 1 ..", "ROW 1000 column 1 ..", 0},  {"abab", "ab", kNoCase},
        {"abab", "BA", kNoCase | kWord},                      {"ab ab", "AB", kNoCase | kWord},
        {"cab ab.", "ab", kWord},                             {"a.b", "a.b", kWild},
        {"a?b a.b", "a.b", 0},                                {"ab", "abc", kWild},
        {"Abc", "aBC", kNoCase | kNoAccents},                  {"x", "x", kWord},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Find(c.text, c.pattern, c.mode), Find(c.text + tail, c.pattern, c.mode)) << c.text << " / " << c.pattern;
    }
    EXPECT_EQ(Find("abab", "BA", kNoCase), Match(1, 2));
    EXPECT_EQ(Find("cab ab.", "ab", kWord), Match(4, 2));
    EXPECT_EQ(Find("row 1000 column 1 ..", "ROW 1000 column 1 ..", 0), Match(-1, 0));
}

TEST(FindTextWildcard, ACharacterOutsideAsciiAnywhereLeavesTheMatchesOfTheAsciiAroundIt) {
    // A letter outside ASCII (e acute) and a character the word search takes
    // for no letter (o with double acute), each of more than one byte or
    // of a byte above ASCII.
    const std::string letter = plat::NativeToLmbcs("\xC3\xA9");
    const std::string other = plat::NativeToLmbcs("\xC5\x91");
    const int l = static_cast<int>(letter.size());
    const int o = static_cast<int>(other.size());
    ASSERT_GT(o, 1);
    // Before, right after and long after a match, at a word's end and start.
    EXPECT_EQ(Find(letter + " ab", "ab"), Match(l + 1, 2));
    EXPECT_EQ(Find(letter + "ab", "ab", kWord), Match(-1, 0));
    EXPECT_EQ(Find(other + "ab", "ab", kWord), Match(o, 2));
    EXPECT_EQ(Find("xab" + letter, "ab"), Match(1, 2));
    EXPECT_EQ(Find("x ab" + letter, "ab", kWord), Match(-1, 0));
    EXPECT_EQ(Find("x ab" + other, "ab", kWord), Match(2, 2));
    EXPECT_EQ(Find("x ab" + letter + " ab", "ab", kWord), Match(l + 5, 2));
    EXPECT_EQ(Find("x ab " + letter, "AB", kWord | kNoCase), Match(2, 2));
    EXPECT_EQ(Find("xa" + other + "b ab", "ab"), Match(o + 4, 2));
    EXPECT_EQ(Find("ab" + other, "abx"), Match(-1, 0));
    EXPECT_EQ(Find(std::string(3000, 'a') + other + "b", "ab"), Match(-1, 0));
    EXPECT_EQ(Find(std::string(3000, 'a') + other + "ab", "ab"), Match(3000 + o, 2));
    EXPECT_EQ(Find("a" + other + "b", "a?b", kWild), Match(0, o + 2));
}

class SearchInRunTest : public ::testing::Test {
protected:
    SearchInRunTest() {
        context_->session = &session_;
        context_->chunk = &chunk_;
    }
    // The rewrite, or "<refused>" when it does not fit.
    std::string Rewrite(const std::string& text, const char* search, const char* replacement, std::uint16_t length = 0) {
        context_->secondArgument = search;
        context_->a3 = static_cast<std::uint16_t>(std::strlen(search));
        context_->argumentText = replacement;
        context_->operation2 = length;
        const std::int32_t size =
            talix::FindSearchTextInRun(text.data(), static_cast<std::uint32_t>(text.size()), context_.get());
        return size < 0 ? "<refused>" : std::string(session_.optionValue);
    }

    RARIvoSession session_;
    ZervaRTItem item_{&session_};
    ZervaRTChunk chunk_{&session_, &item_};
    std::unique_ptr<talix::RecordProcessContext> context_ = std::make_unique<talix::RecordProcessContext>();
};

TEST_F(SearchInRunTest, EveryOccurrenceIsReplacedUnderTheChunksSwitches) {
    EXPECT_EQ(Rewrite("one two One", "one", "1"), "1 two 1");
    EXPECT_STREQ(session_.messageBuffer, "One");   // the last match
    EXPECT_EQ(Rewrite("aaaa", "aa", "b"), "bb");
    EXPECT_EQ(Rewrite("a-b-c", "-", nullptr), "abc");
    EXPECT_EQ(Rewrite("a-b", "-", "+++", 2), "a++b");
    chunk_.caseSensitive = 1;
    chunk_.searchWordBoundaries = 1;
    EXPECT_EQ(Rewrite("one ones One one", "one", "1"), "1 ones One 1");
    context_->textWildcards = 1;
    EXPECT_EQ(Rewrite("http://a/x.gif http://b/y.gif", "http*gif", "img"), "img img");
    // Restyling takes the match's length, never more than the argument holds.
    context_->replacementCutToMatch = 1;
    EXPECT_EQ(Rewrite("x word y", "word", "WORDS"), "x WORD y");
    EXPECT_EQ(Rewrite("x word y", "word", "WO"), "x WO y");
}

TEST_F(SearchInRunTest, EveryOccurrenceOfALongTextIsReplacedAroundCharactersOfMoreBytes) {
    const std::string wide = plat::NativeToLmbcs("\xC5\x91");
    const std::string letter = plat::NativeToLmbcs("\xC3\xA9");
    std::string text, expected;
    for (int i = 0; i < 1500; ++i) {
        text += i % 500 == 250 ? "ab1" + wide + " " : "ab1 ";
        expected += i % 500 == 250 ? "ab2" + wide + " " : "ab2 ";
    }
    EXPECT_EQ(Rewrite(text, "1", "2"), expected);
    chunk_.searchWordBoundaries = 1;
    std::string words;
    for (int i = 0; i < 1500; ++i) words += i % 500 == 250 ? "ab1" + letter + " " : "ab1 ";
    std::string wordsExpected = words;
    for (std::size_t at = 0; (at = wordsExpected.find("ab1 ", at)) != std::string::npos; at += 2)
        wordsExpected.replace(at, 4, "X ");
    EXPECT_EQ(Rewrite(words, "ab1", "X"), wordsExpected);
    // "ab" before a letter is no whole word.
    EXPECT_EQ(Rewrite("ab" + letter + " ab", "ab", "Y"), "ab" + letter + " Y");
}

TEST_F(SearchInRunTest, ARewriteThatOutgrowsTheBufferIsRefused) {
    // 1,000 matches of 8 bytes fill 8,000 of the 8,191 bytes the buffer
    // holds; 9 bytes each would not fit.
    const std::string text(1000, 'a');
    std::string expected;
    for (int i = 0; i < 1000; ++i) expected += "12345678";
    EXPECT_EQ(Rewrite(text, "a", "12345678"), expected);
    EXPECT_EQ(Rewrite(text, "a", "123456789"), "<refused>");
}

} // namespace
