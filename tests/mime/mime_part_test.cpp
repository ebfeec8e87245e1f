// Stored MIME part values: assembled in their stored form, taken apart
// again, and damaged values refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mime/mime_part.h"

namespace {

using talix::MimePartTexts;

TEST(MimePartValue, AssembledInStoredFormAndTakenApart) {
    std::vector<std::uint8_t> value(200, 0xEE);
    std::uint32_t length = 0;
    const MimePartTexts texts{"--=_b_=\r\n", "Content-Type: text/html\r\n\r\n", "\r\n<p>x</p>"};
    ASSERT_EQ(talix::AssembleMimePart(3, talix::kPartBody, texts, value.data(), 200, &length), 0);
    ASSERT_EQ(talix::MimePartHeaderLength(), 20u);
    EXPECT_EQ(length, 2u + 20 + 9 + 27 + 10);
    // The stored header: version, flags, part type, spare, the three
    // lengths, 8 spare bytes.
    const std::vector<std::uint8_t> head = {0x19, 0, 2, 0, 3, 0, 0, 0, 2, 0, 46, 0, 9, 0, 27, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(value.begin(), value.begin() + 22), head);
    EXPECT_EQ(std::string(value.begin() + 22, value.begin() + length), "--=_b_=\r\nContent-Type: text/html\r\n\r\n\r\n<p>x</p>");
    EXPECT_EQ(value[length], 0xEE);

    talix::MIMEPartHeader header;
    MimePartTexts read;
    ASSERT_EQ(talix::ParseMimePart(value.data(), length, &header, &read), 0);
    EXPECT_EQ(header.flags, 3u);
    EXPECT_EQ(header.partType, talix::kPartBody);
    EXPECT_EQ(read.boundary, texts.boundary);
    EXPECT_EQ(read.headers, texts.headers);
    EXPECT_EQ(read.body, texts.body);

    // A part with no boundary has its headers straight after the header.
    ASSERT_EQ(talix::AssembleMimePart(2, talix::kPartBody, {"", "H: 1\r\n\r\n", "b"}, value.data(), 200, &length), 0);
    ASSERT_EQ(talix::ParseMimePart(value.data(), length, &header, &read), 0);
    EXPECT_EQ(read.boundary, "");
    EXPECT_EQ(read.headers, "H: 1\r\n\r\n");
    EXPECT_EQ(read.body, "b");
}

TEST(MimePartValue, DamagedOrOversizedValuesAreRefused) {
    std::vector<std::uint8_t> value(100, 0);
    std::uint32_t length = 0;
    ASSERT_EQ(talix::AssembleMimePart(3, 2, {"--b\r\n", "H: 1\r\n\r\n", "body"}, value.data(), 100, &length), 0);
    talix::MIMEPartHeader header;
    MimePartTexts texts;
    // Cut off before the texts end, inside the header, or with lengths that
    // disagree: nothing is read past the value.
    EXPECT_EQ(talix::ParseMimePart(value.data(), length - 1, &header, &texts), 257);
    EXPECT_EQ(talix::ParseMimePart(value.data(), 10, &header, &texts), 257);
    std::vector<std::uint8_t> damaged(value.begin(), value.begin() + length);
    damaged[12] = 200;   // the boundary length passes the byte count
    EXPECT_EQ(talix::ParseMimePart(damaged.data(), length, &header, &texts), 257);
    damaged = std::vector<std::uint8_t>(value.begin(), value.begin() + length);
    damaged[0] = 1;      // rich text, not a MIME part
    EXPECT_EQ(talix::ParseMimePart(damaged.data(), length, &header, &texts), 257);
    EXPECT_EQ(talix::ParseMimePart(nullptr, 0, &header, &texts), 257);

    // A part longer than a part can be, or than the block, is not written.
    const std::string large(70000, 'x');
    std::vector<std::uint8_t> block(80000, 0xEE);
    EXPECT_EQ(talix::AssembleMimePart(2, 2, {"", "", large}, block.data(), 80000, &length), 1028);
    EXPECT_EQ(talix::AssembleMimePart(2, 2, {"", "H\r\n\r\n", "body"}, value.data(), 30, &length), 1028);
    EXPECT_EQ(block[0], 0xEE);
    EXPECT_EQ(block[30], 0xEE);
}

} // namespace
