// The small helpers every folder reads records and texts with: numbers
// brought into a 16-bit field, hexadecimal digits, and BEGIN and END records
// with what they bracket, over fields that run past a record's end.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "core/ascii.h"
#include "core/brackets.h"
#include "core/clamp.h"
#include "core/options.h"

namespace {

TEST(RecordHelpers, NumbersAreClampedToAWordWhateverTheirType) {
    EXPECT_EQ(talix::ClampToWord(-1), 0);
    EXPECT_EQ(talix::ClampToWord(std::numeric_limits<std::int64_t>::min()), 0);
    EXPECT_EQ(talix::ClampToWord(0), 0);
    EXPECT_EQ(talix::ClampToWord(65535), 65535);
    EXPECT_EQ(talix::ClampToWord(65536), 65535);
    EXPECT_EQ(talix::ClampToWord(std::int16_t{-300}), 0);
    EXPECT_EQ(talix::ClampToWord(std::uint8_t{200}), 200);
    // A length from an unsigned subtraction that went below zero is large,
    // not negative.
    const std::uint32_t length = 4;
    EXPECT_EQ(talix::ClampToWord(length - 8u), 65535);
    EXPECT_EQ(talix::ClampToWord(std::numeric_limits<std::size_t>::max()), 65535);
}

TEST(RecordHelpers, HexadecimalDigitsAreReadUpToTheFirstOtherCharacter) {
    EXPECT_EQ(talix::HexDigitValue('0'), 0);
    EXPECT_EQ(talix::HexDigitValue('a'), 10);
    EXPECT_EQ(talix::HexDigitValue('F'), 15);
    for (char c : {'g', 'G', ' ', '\0', '/', ':', '@', '`'}) EXPECT_EQ(talix::HexDigitValue(c), -1) << c;
    EXPECT_EQ(talix::ReadHexDigits("00FFaa10", 8), 0x00FFAA10u);
    EXPECT_EQ(talix::ReadHexDigits("1A2B", 2), 0x1Au);
    // The terminator ends the reading: nothing past it is looked at.
    EXPECT_EQ(talix::ReadHexDigits("12", 8), 0x12u);
    EXPECT_EQ(talix::ReadHexDigits("12z4", 8), 0x12u);
    EXPECT_EQ(talix::ReadHexDigits("", 8), 0u);
}

TEST(RecordHelpers, OptionStringsAndDefinitionsQuoteWithTheirOwnCharacters) {
    char value[16] = "";
    ASSERT_EQ(talix::GetOptionValue("Text=~a b~ Next=1", "Text=", value, sizeof value), 1);
    EXPECT_STREQ(value, "a b");
    // A key right after a quote character is part of a quoted text.
    EXPECT_EQ(talix::GetOptionValue("Note=~Text=x~", "Text=", value, sizeof value), 0);
}

TEST(RecordHelpers, BracketsAreReadWithinTheRecord) {
    // A CDBEGIN around a text run, in host form: signature, length, version,
    // then the bracketed signature.
    std::vector<std::uint8_t> begin = {0xDD, 6, 0, 0, 0x85, 0xFF};
    EXPECT_EQ(talix::BracketedSignature(begin.data(), 6), talix::kSigText);
    EXPECT_TRUE(talix::Brackets(begin.data(), talix::kSigBegin, 6, talix::kSigBegin, talix::kSigText));
    EXPECT_FALSE(talix::Brackets(begin.data(), talix::kSigBegin, 6, talix::kSigEnd, talix::kSigText));
    EXPECT_TRUE(talix::IsTextBracket(begin.data(), talix::kSigBegin, 6));
    EXPECT_FALSE(talix::IsTextBracket(begin.data(), talix::kSigText, 6));
    // A record that ends before the bracketed signature brackets nothing.
    EXPECT_EQ(talix::BracketedSignature(begin.data(), 5), 0);
    EXPECT_FALSE(talix::IsTextBracket(begin.data(), talix::kSigBegin, 4));
    EXPECT_EQ(talix::BracketedSignature(nullptr, 6), 0);

    talix::CDRecordNode node;
    node.signature = talix::kSigEnd;
    node.length = 6;
    node.bytes = begin.data();
    EXPECT_TRUE(talix::Brackets(&node, talix::kSigEnd, talix::kSigText));
    EXPECT_FALSE(talix::Brackets(nullptr, talix::kSigEnd, talix::kSigText));
    node.bytes = nullptr;
    EXPECT_EQ(talix::BracketedSignature(&node), 0);
}

} // namespace
