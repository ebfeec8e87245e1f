#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <list>
#include <string>
#include <vector>

#include "core/base64.h"
#include "core/charset_names.h"
#include "core/record_list.h"
#include "core_fixture.h"

using namespace talix;

namespace {

TEST(CharsetNames, NamesGiveTheirIds) {
    EXPECT_EQ(CharsetNameToId("utf-8", 0), 171u);
    EXPECT_EQ(CharsetNameToId("iso-8859-1", 0), 32u);
    EXPECT_EQ(CharsetNameToId("Windows-1251", 0), 81u);
    EXPECT_EQ(CharsetNameToId("cp1252", 0), 82u);
    EXPECT_EQ(CharsetNameToId("lmbcs", 0), 256u);
    EXPECT_EQ(CharsetNameToId("LMBCS12", 0), 258u);
    EXPECT_EQ(CharsetNameToId("iso88598i", 0), 3356u);
    for (const char* unknown : {"Shift_JIS", "UTF-88", "ISO-8859-2", "125", ""})
        EXPECT_EQ(CharsetNameToId(unknown, 7), 7u) << unknown;
    EXPECT_EQ(CharsetNameToId(nullptr, 7), 7u);
}

std::string Decode(const std::string& text, std::uint32_t outSize = 64) {
    std::vector<std::uint8_t> out(65, 0xEE);
    std::uint32_t n = DecodeBase64(text.data(), out.data(), static_cast<std::uint32_t>(text.size()), outSize);
    EXPECT_EQ(out[n], 0xEE);   // nothing written past the count
    return std::string(out.begin(), out.begin() + n);
}

TEST(Base64, DecodingSkipsEverythingOutsideTheAlphabet) {
    EXPECT_EQ(Decode("TWFu"), "Man");
    EXPECT_EQ(Decode("\r\n TW Fu\r\n"), "Man");
    EXPECT_EQ(Decode("TWE="), "Ma");
    EXPECT_EQ(Decode("TWFu=TWFu"), "ManMan");   // padding does not end the decoding
    // Pieces encoded one by one and joined, each with its padding.
    EXPECT_EQ(Decode("TWE=\r\nTWE=TQ==TWFu"), "MaMaMMan");
    EXPECT_EQ(Decode("TWFuTWFu", 4), "ManM");
}

// An image held in rich text: a header node followed by one node per segment
// (host form: data length at 8, data from 12).
struct Image {
    explicit Image(const std::vector<std::vector<std::uint8_t>>& segments, std::uint16_t first = 0x007D) {
        Add(first, std::vector<std::uint8_t>(32, 0));
        for (const auto& data : segments) {
            std::vector<std::uint8_t> bytes(12 + data.size(), 0);
            std::uint16_t dataLength = static_cast<std::uint16_t>(data.size());
            std::memcpy(&bytes[8], &dataLength, 2);
            std::memcpy(bytes.data() + 12, data.data(), data.size());
            Add(0x007C, bytes);
        }
    }
    void Add(std::uint16_t signature, std::vector<std::uint8_t> bytes) {
        storage.push_back(std::move(bytes));
        nodes.push_back(CDRecordNode{});
        CDRecordNode& node = nodes.back();
        node.signature = signature;
        node.length = static_cast<std::uint32_t>(storage.back().size());
        node.bytes = storage.back().data();
        if (nodes.size() > 1) std::prev(nodes.end(), 2)->next = &node;
    }
    CDRecordNode* header() { return &nodes.front(); }
    std::list<std::vector<std::uint8_t>> storage;
    std::list<CDRecordNode> nodes;
};

using core_test::Filled;

TEST(Base64, ImageDataEncodesInLinesOf76) {
    Image one({Filled(57, 1)});
    char out[200];
    EXPECT_EQ(EncodeImageBase64(out, sizeof out, one.header(), nullptr, 0, 0), 76u);
    EXPECT_EQ(std::strlen(out), 76u);
    EXPECT_EQ(EncodeImageBase64(out, sizeof out, one.header(), nullptr, 0, 1), 78u);
    EXPECT_EQ(std::string(out + 76), "\r\n");
    EXPECT_EQ(EncodeImageBase64(out, sizeof out, one.header(), nullptr, 1, 1), 77u);
    EXPECT_EQ(Base64ImageLength(one.header(), 1, 1), 77u);

    // Segments whose sizes are not multiples of three encode as one stream.
    std::vector<std::uint8_t> a = Filled(10, 3), b = Filled(51, 100);
    Image two({a, b});
    std::vector<char> text(Base64ImageLength(two.header(), 0, 1) + 1);
    EXPECT_EQ(EncodeImageBase64(text.data(), static_cast<std::uint32_t>(text.size()), two.header(), nullptr, 0, 1),
              text.size() - 1);
    EXPECT_EQ(std::string(text.data() + 76, 2), "\r\n");
    EXPECT_EQ(std::string(text.data() + text.size() - 5), "==\r\n");   // 61 bytes: the last group holds one
    std::vector<std::uint8_t> decoded(64);
    std::uint32_t n = DecodeBase64(text.data(), decoded.data(), static_cast<std::uint32_t>(text.size()), 64);
    a.insert(a.end(), b.begin(), b.end());
    EXPECT_EQ(std::vector<std::uint8_t>(decoded.begin(), decoded.begin() + n), a);

    // To a file: only the encoded characters are counted.
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(EncodeImageBase64(nullptr, 0, two.header(), file, 1, 1), 84u);
    EXPECT_EQ(std::ftell(file), 86L);
    std::fclose(file);
}

TEST(Base64, ImageEncodingRefusesWhatItCannotDoWhole) {
    char out[100];
    Image graphic({Filled(10, 1)}, 0x0099);
    EXPECT_EQ(EncodeImageBase64(out, sizeof out, graphic.header(), nullptr, 0, 1), 0u);
    Image empty({});
    EXPECT_EQ(EncodeImageBase64(out, sizeof out, empty.header(), nullptr, 0, 1), 0u);
    EXPECT_EQ(Base64ImageLength(empty.header(), 0, 1), 0u);

    // A buffer too small for the whole text gets nothing but a terminator.
    Image big({Filled(90, 1)});
    std::memset(out, 'G', sizeof out);
    EXPECT_EQ(EncodeImageBase64(out, 100, big.header(), nullptr, 0, 1), 0u);
    EXPECT_EQ(out[0], '\0');
    EXPECT_EQ(out[1], 'G');

    // A segment claiming more data than its record holds gives only what is there.
    Image damaged({Filled(6, 1)});
    std::uint16_t claimed = 5000;
    std::memcpy(damaged.header()->next->bytes + 8, &claimed, 2);
    EXPECT_EQ(EncodeImageBase64(out, sizeof out, damaged.header(), nullptr, 0, 0), 8u);
}

} // namespace
