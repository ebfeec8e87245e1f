// Converting single records between their stored and host forms.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core_fixture.h"
#include "talix/item.h"
#include "talix/session.h"

namespace {

using core_test::Bytes;
using core_test::Filled;

class Canonical : public testing::Test {
protected:
    // Converts and returns the result with its new length; an empty result
    // for null.
    Bytes ToHost(const Bytes& stored, std::uint16_t signature) { return Run(stored, signature, false); }
    Bytes ToStored(const Bytes& host, std::uint16_t signature) { return Run(host, signature, true); }

    Bytes Run(const Bytes& in, std::uint16_t signature, bool toStored) {
        std::uint32_t length = static_cast<std::uint32_t>(in.size());
        const Bytes before = in;
        void* out = toStored ? item_.ConvertToCanonicalData(in.data(), signature, &length)
                             : item_.ConvertFromCanonicalData(in.data(), signature, &length);
        EXPECT_EQ(in, before) << "the caller's record changed";
        if (out == nullptr) {
            EXPECT_EQ(length, in.size()) << "a failure changed the length";
            return {};
        }
        const auto* bytes = static_cast<const std::uint8_t*>(out);
        return Bytes(bytes, bytes + length);
    }

    RARIvoSession session_;
    ZervaRTItem item_{&session_};
};

void PutWord(Bytes& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutDword(Bytes& bytes, std::size_t at, std::uint32_t value) {
    PutWord(bytes, at, static_cast<std::uint16_t>(value));
    PutWord(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}

std::uint32_t Dword(const Bytes& bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

TEST_F(Canonical, RecordsWithoutLayoutDifferencesAreCopied) {
    // A text run: its 8-byte fixed part is the same in both forms, the text
    // is copied as it is.
    Bytes text = {0x85, 0xFF, 13, 0, 1, 2, 3, 4, 'h', 'e', 'l', 'l', 'o'};
    EXPECT_EQ(ToHost(text, 0xFF85), text);
    EXPECT_EQ(ToStored(text, 0xFF85), text);

    // A signature outside the table, records without a published layout,
    // and a record shorter than its fixed part come back unchanged.
    Bytes unknown = Filled(37, 3);
    EXPECT_EQ(ToHost(unknown, 0xFF53), unknown);
    EXPECT_EQ(ToStored(unknown, 0x0052), unknown);
    Bytes metafile = Filled(21, 9);
    PutWord(metafile, 0, 0xFF87);
    PutWord(metafile, 2, 21);
    EXPECT_EQ(ToHost(metafile, 0xFF87), metafile);
    EXPECT_EQ(ToStored(metafile, 0xFF88), metafile);
    Bytes shortDefinition = Filled(30, 1);
    EXPECT_EQ(ToHost(shortDefinition, 0xFF82), shortDefinition);

    // The alternate-text record is 12 bytes in both forms.
    Bytes altText = Filled(20, 5);
    PutWord(altText, 0, 0xFFCA);
    PutWord(altText, 2, 20);
    EXPECT_EQ(ToHost(altText, 0xFFCA), altText);
}

TEST_F(Canonical, TooLongOrMissingLengthGivesNull) {
    EXPECT_TRUE(ToHost(Bytes(64383, 0), 0xFF85).empty());
    EXPECT_TRUE(ToStored(Bytes(64383, 0), 0xFF53).empty());
    EXPECT_EQ(ToStored(Bytes(64382, 0), 0xFF53).size(), 64382u);
    Bytes record(8, 0);
    EXPECT_EQ(item_.ConvertToCanonicalData(record.data(), 0xFF85, nullptr), nullptr);
    EXPECT_EQ(item_.ConvertFromCanonicalData(record.data(), 0xFF85, nullptr), nullptr);
}

TEST_F(Canonical, ParagraphDefinitionsWithAndWithoutExtensions) {
    // 72 host bytes: the fixed part alone; its two tail pad bytes are not
    // stored.
    Bytes host(72, 0);
    for (std::size_t i = 4; i < 70; ++i) host[i] = static_cast<std::uint8_t>(i);
    PutWord(host, 0, 0xFF82);
    PutWord(host, 2, 72);
    Bytes stored = ToStored(host, 0xFF82);
    ASSERT_EQ(stored.size(), 70u);
    EXPECT_EQ(stored[2], 70);
    EXPECT_TRUE(std::equal(host.begin() + 4, host.begin() + 70, stored.begin() + 4));
    EXPECT_EQ(ToHost(stored, 0xFF82), host);

    // 92 host bytes: the margin words and both extension words follow the
    // fixed part directly in stored form.
    Bytes full = host;
    for (std::uint8_t i = 0; i < 20; ++i) full.push_back(static_cast<std::uint8_t>(0xA0 + i));
    PutWord(full, 2, 92);
    stored = ToStored(full, 0xFF82);
    ASSERT_EQ(stored.size(), 90u);
    EXPECT_EQ(stored[2], 90);
    EXPECT_TRUE(std::equal(full.begin() + 72, full.end(), stored.begin() + 70));
    EXPECT_EQ(ToHost(stored, 0xFF82), full);

    // Lengths between the steps (here the words and half of a double word)
    // convert what is there and copy the rest.
    Bytes partial(full.begin(), full.begin() + 86);
    PutWord(partial, 2, 86);
    stored = ToStored(partial, 0xFF82);
    ASSERT_EQ(stored.size(), 84u);
    EXPECT_EQ(ToHost(stored, 0xFF82), partial);
}

TEST_F(Canonical, HeaderFormsKeepTheLengthWhereTheyHoldIt) {
    // A long-form record: stored length at offset 2, host length at offset
    // 4 behind two zero bytes.
    Bytes graphic = Filled(40, 11);   // 28-byte fixed part and 12 bytes of data
    PutWord(graphic, 0, 0x0099);
    PutDword(graphic, 2, 40);
    Bytes host = ToHost(graphic, 0x0099);
    ASSERT_EQ(host.size(), 44u);
    EXPECT_EQ(host[2], 0);
    EXPECT_EQ(host[3], 0);
    EXPECT_EQ(Dword(host, 4), 44u);
    EXPECT_TRUE(std::equal(graphic.begin() + 28, graphic.end(), host.begin() + 32));
    EXPECT_EQ(ToStored(host, 0x0099), graphic);

    // The action record's structure starts with a long header too.
    Bytes action = Filled(30, 2);
    PutWord(action, 0, 0xFFBE);
    PutDword(action, 2, 30);
    host = ToHost(action, 0xFFBE);
    ASSERT_EQ(host.size(), 32u);
    EXPECT_EQ(Dword(host, 4), 32u);
    EXPECT_EQ(ToStored(host, 0xFFBE), action);

    // A byte-form record keeps its length in its second byte: a decoded
    // signature below 0x100 is not taken for a long-form one.
    Bytes styleName = Filled(44, 4);
    styleName[0] = 0xA6;
    styleName[1] = 44;
    host = ToHost(styleName, 0x00A6);
    ASSERT_EQ(host.size(), 48u);
    EXPECT_EQ(host[1], 48);
    EXPECT_EQ(ToStored(host, 0x00A6), styleName);
}

TEST_F(Canonical, VariablePartsStayWithinTheRecord) {
    // A style name with a few bytes after its fixed part: fewer than the six
    // words the part may hold.
    Bytes styleName = Filled(47, 6);
    styleName[0] = 0xA6;
    styleName[1] = 47;
    Bytes host = ToHost(styleName, 0x00A6);
    ASSERT_EQ(host.size(), 51u);
    EXPECT_EQ(ToStored(host, 0x00A6), styleName);

    // A link resource whose note link is a 2-byte index into the link list.
    Bytes resource(26, 0);
    PutWord(resource, 0, 0xFF71);
    PutDword(resource, 4, 0);            // not inline
    PutWord(resource, 8, 2);             // note link
    PutWord(resource, 12, 3);            // anchor length
    PutWord(resource, 14, 2);            // server hint length
    PutWord(resource, 16, 1);            // file hint length
    for (int b : {int('s'), int('v'), int('f'), 7, 0, int('a'), int('n'), int('c')}) resource.push_back(static_cast<std::uint8_t>(b));
    PutWord(resource, 2, static_cast<std::uint16_t>(resource.size()));
    host = ToHost(resource, 0xFF71);
    ASSERT_EQ(host.size(), resource.size() + 2);
    EXPECT_TRUE(std::equal(resource.begin() + 26, resource.end(), host.begin() + 28));
    EXPECT_EQ(ToStored(host, 0xFF71), resource);

    // Lengths that claim more than the record holds are not followed.
    PutWord(resource, 12, 5000);
    PutWord(resource, 14, 4000);
    host = ToHost(resource, 0xFF71);
    ASSERT_EQ(host.size(), resource.size() + 2);
    EXPECT_EQ(ToStored(host, 0xFF71), resource);
    Bytes inlineLink = resource;
    PutWord(inlineLink, 12, 0);
    PutWord(inlineLink, 14, 0);
    PutDword(inlineLink, 4, 2);          // an inline note link of 40 bytes, cut short
    host = ToHost(inlineLink, 0xFF71);
    EXPECT_EQ(ToStored(host, 0xFF71), inlineLink);
}

} // namespace
