// Typed values as the driver decodes the host's arguments and encodes its
// results.
#include <gtest/gtest.h>

#include <cstring>
#include <list>
#include <memory>
#include <string>

#include "driver/arg_values.h"
#include "driver/perform_function.h"
#include "driver_calls.h"

namespace {

using namespace talix;
using talix_test::NumberArg;
using talix_test::NumberListArg;
using talix_test::TextArg;
using talix_test::TextListArg;
using talix_test::TypeWord;

std::string Encoded(const ArgValue& value) {
    std::uint8_t out[256];
    std::uint32_t length = 0;
    EXPECT_TRUE(EncodeResultValue(value, out, sizeof out, &length));
    return std::string(reinterpret_cast<const char*>(out), length);
}

// The host's argument bytes, which the decoded arguments point into.
std::list<std::string> g_hostBytes;

// Decodes the host's bytes into the next argument of the context.
void AddArg(DriverContext* context, const std::string& bytes) {
    const std::string& kept = g_hostBytes.emplace_back(bytes);
    ASSERT_EQ(DecodeArgValue(kept.data(), static_cast<std::uint32_t>(kept.size()), &context->args[context->argCount]),
              kOK);
    ++context->argCount;
}

TEST(TypedValues, SingleValuesBecomeListsAndOneEntryListsGoBackAsSingleValues) {
    ArgValue value;
    std::string number = NumberArg(2.5);
    ASSERT_EQ(DecodeArgValue(number.data(), static_cast<std::uint32_t>(number.size()), &value), kOK);
    EXPECT_EQ(value.type, kValueNumberList);
    ASSERT_EQ(value.count, 1);
    EXPECT_EQ(Encoded(value), number);   // 0x0300 and 8 bytes
    FreeArgValue(&value, false, true);

    std::string list = TextListArg({"only"});
    ASSERT_EQ(DecodeArgValue(list.data(), static_cast<std::uint32_t>(list.size()), &value), kOK);
    EXPECT_EQ(Encoded(value), TextArg("only"));
    FreeArgValue(&value, false, true);

    std::string two = TextListArg({"ab", "c"});
    ASSERT_EQ(DecodeArgValue(two.data(), static_cast<std::uint32_t>(two.size()), &value), kOK);
    EXPECT_EQ(Encoded(value), two);
    FreeArgValue(&value, false, true);

    // Empty lists and an empty result are a lone type word.
    std::string empty = TextListArg({});
    ASSERT_EQ(DecodeArgValue(empty.data(), static_cast<std::uint32_t>(empty.size()), &value), kOK);
    EXPECT_EQ(Encoded(value), TypeWord(plat::TYPE_TEXT));
    FreeArgValue(&value, false, true);
    EXPECT_EQ(Encoded(ArgValue()), TypeWord(0));

    // A time list of one 16-byte entry is a range, not a single time.
    std::string range = TypeWord(plat::TYPE_TIME_RANGE) + std::string("\x00\x00\x01\x00", 4) + std::string(16, 'r');
    ASSERT_EQ(DecodeArgValue(range.data(), static_cast<std::uint32_t>(range.size()), &value), kOK);
    EXPECT_EQ(value.count, 1);
    EXPECT_EQ(Encoded(value), range);
    FreeArgValue(&value, false, true);

    // A result that does not fit the block is refused whole.
    ASSERT_EQ(SetOwnedResultValue(&value, kValueText, "0123456789", 10), kOK);
    std::uint8_t small[8];
    std::uint32_t length = 99;
    EXPECT_FALSE(EncodeResultValue(value, small, sizeof small, &length));
    EXPECT_EQ(length, 99u);
    FreeArgValue(&value, true, true);
}

TEST(TypedValues, CountsAndLengthsAreCheckedAgainstTheValue) {
    const std::string damaged[] = {
        std::string("\x01", 1),                                            // shorter than a type word
        TypeWord(0x9999) + "abc",                                          // unknown type word
        TypeWord(plat::TYPE_NUMBER) + "1234",                              // a number of 4 bytes
        TypeWord(plat::TYPE_TEXT_LIST) + std::string("\x09\x00\x01\x00", 4),   // 9 entries in 4 bytes
        TypeWord(plat::TYPE_TEXT_LIST) + std::string("\x01\x00\x05\x00", 4) + "abc",   // entry past the end
        TypeWord(plat::TYPE_NUMBER_RANGE) + std::string("\x02\x00\x00\x00", 4) + std::string(8, 'n'),
        TypeWord(plat::TYPE_TIME_RANGE) + std::string("\x00\x00\x02\x00", 4) + std::string(16, 'r'),
        TypeWord(plat::TYPE_NOTEREF_LIST) + std::string("\x02\x00", 2) + std::string(16, 'u'),
    };
    for (const std::string& bytes : damaged) {
        ArgValue value;
        EXPECT_EQ(DecodeArgValue(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &value), kDrvUnknownValueType)
            << testing::PrintToString(bytes);
        EXPECT_EQ(value.entries, nullptr);
    }
    ArgValue value;
    EXPECT_EQ(DecodeArgValue(nullptr, 10, &value), kDrvUnknownValueType);
}

TEST(TypedValues, TheCursorReadsTextsNumbersAndDefaults) {
    auto context = std::make_unique<DriverContext>();
    AddArg(context.get(), TextArg("abcdefghijklmnopqrst"));
    AddArg(context.get(), NumberListArg({4, 7}));
    AddArg(context.get(), TextArg(""));
    AddArg(context.get(), NumberArg(-3.9));

    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(NextArgText(context.get(), nullptr, buffer, sizeof buffer), 8);   // cut: size is returned
    EXPECT_STREQ(buffer, "abcdefg");

    std::uint16_t words[3];
    NextArgWordList(context.get(), 99, words, 3);
    EXPECT_EQ(words[0], 4);
    EXPECT_EQ(words[1], 7);
    EXPECT_EQ(words[2], 99);

    // An empty text takes the default; a number in a text position is
    // consumed and the default stands in for it.
    char text[32];
    EXPECT_EQ(NextArgText(context.get(), "dflt", text, sizeof text), 4);
    EXPECT_STREQ(text, "dflt");
    EXPECT_TRUE(IsNextArgNumber(context.get()));
    EXPECT_EQ(NextArgText(context.get(), "other", text, sizeof text), 5);
    EXPECT_STREQ(text, "other");
    // With nothing left: defaults, and no default leaves the buffer alone.
    EXPECT_EQ(NextArgInt(context.get(), 12), 12);
    EXPECT_EQ(NextArgText(context.get(), nullptr, text, sizeof text), 0);
    EXPECT_STREQ(text, "other");
    EXPECT_EQ(context->argCursor, 4);

    // Fractions are dropped; values that no integer holds are clamped.
    context->argCursor = 3;
    EXPECT_EQ(NextArgInt(context.get(), 0), -3);
    for (auto& arg : context->args) FreeArgValue(&arg, false, true);
    context->argCount = context->argCursor = 0;
    AddArg(context.get(), NumberArg(1e300));
    AddArg(context.get(), NumberArg(70000));
    EXPECT_EQ(NextArgInt(context.get(), 0), 2147483647);
    EXPECT_EQ(NextArgWord(context.get(), 0), 70000 & 0xFFFF);
    for (auto& arg : context->args) FreeArgValue(&arg, false, true);
}

TEST(TypedValues, CompletingACallMasksTheStatusAndFreesEverything) {
    auto context = std::make_unique<DriverContext>();
    AddArg(context.get(), TextArg("x"));
    std::uint32_t handle = 0, length = 0;
    plat::DWORD live = plat::MemLiveCount();
    void* block = AllocResultValue(&handle, kValueNumber, kNumberResultSize);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(AllocResultValue(&handle, kValueNumber, kNumberResultSize), nullptr);   // one block at a time
    EXPECT_EQ(CompleteCall(context.get(), 0xC000 | 546, &handle, &length), 546);
    EXPECT_EQ(context->argCount, 0);
    EXPECT_EQ(context->args[0].entries, nullptr);
    EXPECT_FALSE(g_resultBlockLocked);
    // The block belongs to the host, which frees it.
    EXPECT_EQ(plat::MemFree(handle), plat::NOERROR);
    EXPECT_EQ(plat::MemLiveCount(), live);
}

} // namespace
