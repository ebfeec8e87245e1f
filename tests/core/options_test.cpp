#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/html_attributes.h"
#include "core/options.h"
#include "core/text_compare.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

namespace {

TEST(OptionValues, KeywordsQuotesAndCutValues) {
    struct Case {
        const char* options;
        const char* key;
        std::uint32_t size;
        const char* expected;   // null: absent, the buffer untouched
    };
    const Case cases[] = {
        {"Width=5 TableWidth=7", "TableWidth=", 64, "7"},
        {"Width=5 TableWidth=7", "Width=", 64, "5"},
        {"TableWidth=7", "Width=", 64, nullptr},
        {"tablewidth=7", "TableWidth=", 64, "7"},
        {"'Width=3 Width=4", "Width=", 64, "4"},    // a quote in front disqualifies
        {"Width=1 Width=2", "Width=", 64, "1"},     // the first one counts
        {nullptr, "Width=", 64, nullptr},
        {"Text='a b' Next=1", "Text=", 64, "a b"},
        {"Text='a b' Next=1", "Next=", 64, "1"},
        {"Text=|it's| X=1", "Text=", 64, "it's"},
        {"Text=~a|b~ X=1", "Text=", 64, "a|b"},
        {"Text='never closed X=1", "Text=", 64, "never closed X=1"},
        {"Flag= Other=2", "Flag=", 64, ""},
        {"Flag='' Other=2", "Flag=", 64, ""},
        {"Text='a Next=1'", "Next=", 64, "1'"},     // a blank in front counts, even inside quotes
        {"Long=abcdefgh Next=1", "Long=", 4, "abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options != nullptr ? c.options : "(null)");
        char buffer[80];
        std::memset(buffer, 'G', sizeof buffer);
        int found = GetOptionValue(c.options, c.key, buffer, c.size);
        EXPECT_EQ(found, c.expected != nullptr ? 1 : 0);
        if (c.expected != nullptr) {
            EXPECT_STREQ(buffer, c.expected);
        }
        EXPECT_EQ(buffer[c.expected != nullptr ? c.size : 0], 'G');   // nothing written past the size
    }
}

// A value cut to the buffer ends on a whole character: a character of
// three bytes, or one beyond 16 bits (two units of three bytes), is left
// out whole rather than cut.
TEST(OptionValues, ValuesCutToTheBufferKeepWholeCharacters) {
    const std::string cjk = "\x14\x4F\x26";
    const std::string emoji = plat::NativeToLmbcs("\U0001F600");
    const std::string options = "Label=ab" + cjk + cjk + " Pair=abcd" + emoji + " Plain=abcdefgh";
    char buffer[16];
    ASSERT_EQ(GetOptionValue(options.c_str(), "Label=", buffer, 8), 1);
    EXPECT_EQ(std::string(buffer), "ab" + cjk);
    ASSERT_EQ(GetOptionValue(options.c_str(), "Label=", buffer, 9), 1);
    EXPECT_EQ(std::string(buffer), "ab" + cjk + cjk);
    ASSERT_EQ(GetOptionValue(options.c_str(), "Pair=", buffer, 10), 1);
    EXPECT_EQ(std::string(buffer), "abcd");
    ASSERT_EQ(GetOptionValue(options.c_str(), "Pair=", buffer, 11), 1);
    EXPECT_EQ(std::string(buffer), "abcd" + emoji);
    ASSERT_EQ(GetOptionValue(options.c_str(), "Plain=", buffer, 5), 1);
    EXPECT_EQ(std::string(buffer), "abcd");
}

// A character whose bytes hold a blank or a quote character (the euro
// sign, typographic quotes and dashes do) belongs to the value it stands
// in: it neither ends an unquoted value nor closes a quoted one, and a
// removed option takes it whole.
TEST(OptionValues, CharactersHoldingABlankOrAQuoteStayInTheirValue) {
    const std::string euro = plat::NativeToLmbcs("\u20AC");
    const std::string dot = plat::NativeToLmbcs("\u2027");
    ASSERT_NE(euro.find(' '), std::string::npos);
    ASSERT_NE(dot.find('\''), std::string::npos);
    const std::string options = "Price=5" + euro + " Note='a" + dot + "b' Last=" + euro;
    char buffer[64];
    ASSERT_EQ(GetOptionValue(options.c_str(), "Price=", buffer, sizeof buffer), 1);
    EXPECT_EQ(std::string(buffer), "5" + euro);
    ASSERT_EQ(GetOptionValue(options.c_str(), "Note=", buffer, sizeof buffer), 1);
    EXPECT_EQ(std::string(buffer), "a" + dot + "b");
    ASSERT_EQ(GetOptionValue(options.c_str(), "Last=", buffer, sizeof buffer), 1);
    EXPECT_EQ(std::string(buffer), euro);

    std::string removed = options;
    ASSERT_EQ(RemoveOption(removed.data(), "Price="), 1);
    EXPECT_EQ(std::string(removed.c_str()), "Note='a" + dot + "b' Last=" + euro);
    ASSERT_EQ(RemoveOption(removed.data(), "Note="), 1);
    EXPECT_EQ(std::string(removed.c_str()), std::string(9 + dot.size(), ' ') + " Last=" + euro);
}

TEST(OptionValues, YesNoSwitches) {
    char buffer[64];
    EXPECT_EQ(GetYesNoOption("Clean=yes", "Clean=", buffer, sizeof buffer, 0), 1u);
    EXPECT_EQ(GetYesNoOption("Clean=maybe", "Clean=", buffer, sizeof buffer, 1), 1u);
    EXPECT_EQ(GetYesNoOption("Clean=No", "Clean=", buffer, sizeof buffer, 1), 0u);
    EXPECT_EQ(GetYesNoOption("Clean= X=1", "Clean=", buffer, sizeof buffer, 5), 5u);
    EXPECT_EQ(GetYesNoOption("X=1", "Clean=", buffer, sizeof buffer, 5), 5u);
    // A value is compared whole, even when the buffer can only hold its start.
    EXPECT_EQ(GetYesNoOption("Clean=Yesterday", "Clean=", buffer, 4, 0), 0u);
    EXPECT_EQ(GetYesNoOption("Clean=Nothing", "Clean=", buffer, 3, 1), 1u);

    EXPECT_EQ(ApplyYesNoOption("Bold=YES", "Bold=", buffer, sizeof buffer, 0x4, 0x1), 0x5u);
    EXPECT_EQ(ApplyYesNoOption("Bold=no", "Bold=", buffer, sizeof buffer, 0x4, 0x5), 0x1u);
    EXPECT_EQ(ApplyYesNoOption("Bold=other", "Bold=", buffer, sizeof buffer, 0x4, 0x5), 0x5u);

    EXPECT_EQ(ApplyFlagOption("Mode=On", "Mode=", buffer, sizeof buffer, 2, 0, "on", "off"), 2u);
    EXPECT_EQ(ApplyFlagOption("Mode=Off", "Mode=", buffer, sizeof buffer, 2, 3, "on", "off"), 1u);
    EXPECT_EQ(ApplyFlagOption("Mode=Half", "Mode=", buffer, sizeof buffer, 2, 3, "on", "off"), 3u);
    // Without a no word every other value clears; without a yes word "Yes" sets.
    EXPECT_EQ(ApplyFlagOption("Mode=Half", "Mode=", buffer, sizeof buffer, 2, 3, "on", nullptr), 1u);
    EXPECT_EQ(ApplyFlagOption("Mode=yes", "Mode=", buffer, sizeof buffer, 2, 0, nullptr, nullptr), 2u);
}

TEST(OptionStrings, FlagWordsAndSearch) {
    EXPECT_EQ(FindOptionKey("HIDE_PREVIEW_READ", "HIDE_READ"), nullptr);
    EXPECT_EQ(FindOptionKey("HIDE_READX", "HIDE_READ"), nullptr);
    const char* text = "clean HIDE_READ=1";
    EXPECT_EQ(FindOptionKey(text, "HIDE_READ"), text + 6);
    EXPECT_EQ(FindOptionKey(text, "Clean"), text);
    const char* words = "X_HIDE_READ HIDE_READ";
    EXPECT_EQ(FindOptionKey(words, "HIDE_READ"), words + 12);

    const char* hay = "Hello World";
    EXPECT_EQ(FindNoCase(hay, "WORLD"), hay + 6);
    EXPECT_EQ(FindNoCase(hay, ""), hay);
    EXPECT_EQ(FindNoCase(hay, "worlds"), nullptr);
    EXPECT_EQ(FindNoCase(nullptr, "a"), nullptr);
}

TEST(OptionStrings, RemoveOption) {
    auto removed = [](const char* options, const char* key) {
        char buffer[128];
        std::strcpy(buffer, options);
        int found = RemoveOption(buffer, key);
        return std::to_string(found) + ":" + buffer;
    };
    EXPECT_EQ(removed("One=1 Two=2 Three=3", "Two="), "1:One=1 Three=3");
    EXPECT_EQ(removed("One=1 Two=2 Three=3", "Three="), "1:One=1 Two=2");
    EXPECT_EQ(removed("One=1 Two='x y' Three=3", "Two="), "1:One=1           Three=3");
    EXPECT_EQ(removed("One=1 Two='x y Three=3", "Two="), "1:One=1     'x y Three=3");
    EXPECT_EQ(removed("Two= One=1", "Two="), "1:     One=1");
    EXPECT_EQ(removed("TwoTwo=1 Two=2", "Two="), "1:TwoTwo=1");
}

// An option string written over several lines, or with tabs between its
// entries, keeps each value to its own entry: a line end or a tab ends a
// value as a blank does, and taking one entry out leaves the others.
TEST(OptionStrings, LineEndsAndTabsSeparateEntries) {
    auto value = [](const char* options, const char* key) {
        char buffer[64] = "absent";
        GetOptionValue(options, key, buffer, sizeof buffer);
        return std::string(buffer);
    };
    EXPECT_EQ(value("Caption=Sales\nborder=1", "Caption="), "Sales");
    EXPECT_EQ(value("Caption=Sales\r\nborder=1", "Caption="), "Sales");
    EXPECT_EQ(value("Caption=Sales\r\nborder=1", "border="), "1");
    EXPECT_EQ(value("Width=5\tHeight=3", "Width="), "5");
    EXPECT_EQ(value("Flag=\nOther=2", "Flag="), "");
    EXPECT_EQ(value("Title='two\nlines' X=1", "Title="), "two\nlines");   // quoted: kept whole
    char buffer[64] = "";
    EXPECT_EQ(GetYesNoOption("Clean=Yes\nWrap=No", "Clean=", buffer, sizeof buffer, 0), 1u);

    auto removed = [](const char* options, const char* key) {
        char text[128];
        std::strcpy(text, options);
        int found = RemoveOption(text, key);
        return std::to_string(found) + ":" + text;
    };
    EXPECT_EQ(removed("border=1\tCaption=Sales\tdata-x=y", "Caption="), "1:border=1\tdata-x=y");
    EXPECT_EQ(removed("Caption=Sales\nborder=1", "Caption="), "1:border=1");
    EXPECT_EQ(removed("border=1\nCaption=Sales\r\n", "Caption="), "1:border=1");
    EXPECT_EQ(removed("Caption=\nborder=1", "Caption="), "1:        \nborder=1");
}

class HtmlAttributes : public testing::Test {
protected:
    void SetUp() override { session = std::make_unique<RARIvoSession>(); }
    // The six texts of a record, joined by "|".
    static std::string Texts(const std::uint8_t* record) {
        std::uint16_t length;
        std::memcpy(&length, record + 2, 2);
        std::string joined;
        std::uint32_t position = kIdNameFixedLength;
        for (int i = 0; i < 6; ++i) {
            std::uint16_t textLength;
            std::memcpy(&textLength, record + 4 + 2 * i, 2);
            joined += std::string(reinterpret_cast<const char*>(record + position), textLength);
            if (i < 5) joined += "|";
            position += textLength;
        }
        EXPECT_EQ(position, length);
        return joined;
    }
    std::unique_ptr<RARIvoSession> session;
    std::uint8_t record[512] = {0x7A, 0xFF};
};

TEST_F(HtmlAttributes, OptionsFillTheRecordAndOldTextsAreKept) {
    const char* options = "ImageHTMLID=pic ImageHTMLClass='a b' HTMLStyle=ignored ImageName=logo";
    EXPECT_EQ(ApplyHTMLAttributeOptions(session.get(), record, sizeof record, nullptr, "Image", options, nullptr), 1);
    EXPECT_EQ(Texts(record), "pic|a b||||logo");
    EXPECT_EQ(record[0], 0x7A);

    // Against that record: one option changes, the rest is kept.
    std::uint8_t next[512] = {0x7A, 0xFF};
    EXPECT_EQ(ApplyHTMLAttributeOptions(session.get(), next, sizeof next, record, "Image", "ImageHTMLTitle=T",
                                        "onclick=go()"),
              1);
    EXPECT_EQ(Texts(next), "pic|a b||T| onclick=go()|logo");
    EXPECT_EQ(ApplyHTMLAttributeOptions(session.get(), next, sizeof next, record, "Image", "Other=1", nullptr), 0);
    EXPECT_EQ(Texts(next), "pic|a b||||logo");

    // An empty value clears an old text; HTMLName= wins over Name=; in place works.
    EXPECT_EQ(ApplyHTMLAttributeOptions(session.get(), record, sizeof record, record, "Image",
                                        "ImageHTMLID= ImageHTMLName=n1 ImageName=n2", nullptr),
              1);
    EXPECT_EQ(Texts(record), "|a b||||n1");
    EXPECT_EQ(ApplyHTMLAttributeOptions(session.get(), next, sizeof next, nullptr, "", "HTMLClass=", nullptr), 0);
}

TEST_F(HtmlAttributes, TextsAreCutToTheCapacity) {
    std::uint8_t small[40] = {0x7A, 0xFF};
    std::memset(small + 32, 'G', 8);
    EXPECT_EQ(ApplyHTMLAttributeOptions(session.get(), small, 32, nullptr, "", "HTMLID=abcd HTMLClass=efgh", nullptr),
              1);
    EXPECT_EQ(Texts(small), "abcd|ef||||");
    EXPECT_EQ(small[32], 'G');
    EXPECT_EQ(ApplyHTMLAttributeOptions(session.get(), small, 20, nullptr, "", "HTMLID=x", nullptr), 0);
}

} // namespace
