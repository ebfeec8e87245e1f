// What a MIME message carries so that mail readers show it whole: every
// picture the HTML names is a part of the message (pictures that cannot be
// handed over stand as their alternative text), HTML lines that cannot be cut
// without changing a value travel quoted-printable, and tabbed tables get the
// tab picture their tab rows name.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "mime_fixture.h"
#include "support/patterns.h"
#include "table_records.h"
#include "talix_platform.h"

namespace {

using namespace mime_test;
using engine_test::Join;
using graphic_test::BitmapHeader;
using graphic_test::GifData;
using graphic_test::GifPicture;
using graphic_test::IdName;
using graphic_test::ImageHeader;
using graphic_test::ImageSegment;

// An alternative-text record: its length, then the text.
talix_test::FixtureRecord AltText(const std::string& text) {
    talix_test::FixtureRecord record = talix_test::HostRecord(0xFFCA, static_cast<std::uint32_t>(12 + text.size()));
    talix_test::PutWord(&record, 4, static_cast<std::uint16_t>(text.size()));
    std::copy(text.begin(), text.end(), record.bytes.begin() + 12);
    return record;
}

// A picture of the image-header kind with its data in one segment.
Records HeaderPicture(std::uint16_t type, const Bytes& data, const Records& extra = {}) {
    using namespace graphic_test;
    Records records = {Begin(kSigGraphic), Graphic(), ImageHeader(type, 10, 10, static_cast<std::uint32_t>(data.size()), 1),
                       ImageSegment(data)};
    records.insert(records.end(), extra.begin(), extra.end());
    records.push_back(End(kSigGraphic));
    return records;
}

// A picture stored as a bitmap (header and segment, no image header).
Records BitmapPicture(const Records& extra) {
    using namespace graphic_test;
    talix_test::FixtureRecord segment = talix_test::HostRecord(0x0096, 40);
    Records records = {Begin(kSigGraphic), Graphic(), BitmapHeader(16, 16), segment};
    records.insert(records.end(), extra.begin(), extra.end());
    records.push_back(End(kSigGraphic));
    return records;
}

std::set<std::string> ContentIds(const ReadMessage& message) {
    std::set<std::string> ids;
    for (const ReadPart& part : message.parts) {
        if (part.id.size() > 2) ids.insert(part.id.substr(1, part.id.size() - 2));
    }
    return ids;
}

std::vector<std::string> CidsOf(const std::string& html) {
    std::vector<std::string> cids;
    for (const std::vector<std::string>& match : talix_test::FindAll(html, "cid:([^\"'\\s>)]+)"))
        cids.push_back(match[1]);
    return cids;
}

class Transport : public MimeTest {};

TEST_F(Transport, EveryPictureTheHtmlNamesIsAPartOrItsAlternativeText) {
    // A GIF, a JPEG, a PNG; a bitmap and a BMP image header with alternative
    // texts; an image header that records data it does not hold.
    const Bytes gif = GifData(10, 10, 60);
    const Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0};
    Store(Join({engine_test::Runs({"Pictures"}), GifPicture(gif, 10, 10), JpegPicture(graphic_test::JpegData(8, 8), 8, 8),
                HeaderPicture(4, png), BitmapPicture({AltText("old & logo")}), HeaderPicture(3, gif, {AltText("bmp")}),
                Records{graphic_test::Begin(graphic_test::kSigGraphic), graphic_test::Graphic(), ImageHeader(1, 5, 5, 99, 1),
                        graphic_test::End(graphic_test::kSigGraphic)}}));
    plat::LogClearRecent();
    const std::string path = Export();
    ASSERT_EQ(item_.lastStatus, 0);
    const ReadMessage message = ReadMessageFile(path);
    ASSERT_TRUE(message.read);
    EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);
    const std::vector<const ReadPart*> html = message.Parts("text/html");
    ASSERT_EQ(html.size(), 1u);
    const std::set<std::string> ids = ContentIds(message);
    const std::vector<std::string> cids = CidsOf(html[0]->payload);
    EXPECT_EQ(cids.size(), 3u) << html[0]->payload;
    for (const std::string& cid : cids) EXPECT_EQ(ids.count(cid), 1u) << cid;
    EXPECT_EQ(message.Parts("image/gif").size(), 1u);
    EXPECT_EQ(message.Parts("image/jpeg").size(), 1u);
    ASSERT_EQ(message.Parts("image/png").size(), 1u);
    EXPECT_EQ(message.Parts("image/png")[0]->payload, std::string(png.begin(), png.end()));
    // The pictures that cannot travel: their alternative texts, a log line
    // each.
    // (A line may end before a blank of a text.)
    std::string payload = html[0]->payload;
    payload.erase(std::remove(payload.begin(), payload.end(), '\n'), payload.end());
    EXPECT_NE(payload.find("old &amp; logo"), std::string::npos) << html[0]->payload;
    EXPECT_NE(payload.find("bmp"), std::string::npos) << html[0]->payload;
    std::size_t logged = 0;
    for (const plat::LogEntry& entry : plat::LogRecent()) {
        if (entry.text.find("cannot be handed over") != std::string::npos) ++logged;
    }
    EXPECT_EQ(logged, 3u);

    // Exported to disk: files for the three, none and no img for the others.
    talix_test::TempDir pictures;
    ZervaRTChunk* chunk = item_.DefineChunk("Everything");
    ASSERT_NE(chunk, nullptr);
    const std::string options = "ImageHandling=DISK ImageDirectory=" + pictures.file("img");
    char* markup = chunk->GenerateHTML(nullptr, "HTML", options.c_str(), 0, nullptr, nullptr);
    ASSERT_NE(markup, nullptr);
    const std::string page = markup;
    std::size_t images = 0;
    for (std::size_t at = page.find("<img "); at != std::string::npos; at = page.find("<img ", at + 1)) ++images;
    EXPECT_EQ(images, 3u) << page;
    EXPECT_NE(page.find("old &amp; logo"), std::string::npos);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(pictures.file("img"))) {
        if (entry.is_regular_file()) ++files;
    }
    EXPECT_EQ(files, 3u);

    // Under RESOURCE the bitmap, which has no image data to store, is
    // placed as by default: its alternative text, no Content-ID that names
    // no part.
    Store(Join({engine_test::Runs({"Bitmap"}), BitmapPicture({AltText("old & logo")})}));
    const std::string resourcePath = Export("", "ImageHandling=RESOURCE", "resource.eml");
    ASSERT_EQ(item_.lastStatus, 0);
    const ReadMessage resource = ReadMessageFile(resourcePath);
    ASSERT_TRUE(resource.read);
    ASSERT_EQ(resource.Parts("text/html").size(), 1u);
    std::string resourceHtml = resource.Parts("text/html")[0]->payload;
    resourceHtml.erase(std::remove(resourceHtml.begin(), resourceHtml.end(), '\n'), resourceHtml.end());
    EXPECT_NE(resourceHtml.find("old &amp; logo"), std::string::npos) << resourceHtml;
    const std::set<std::string> resourceIds = ContentIds(resource);
    for (const std::string& cid : CidsOf(resourceHtml)) EXPECT_EQ(resourceIds.count(cid), 1u) << cid;
}

TEST_F(Transport, LinesThatCannotBeCutTravelQuotedPrintable) {
    // A title of 1,500 characters with blanks: the tag cannot be cut
    // without changing the value.
    std::string title;
    while (title.size() < 1500) title += "word \"q\" ";
    const Records picture = GifPicture(GifData(10, 10, 40), 10, 10, {IdName({"", "", "", "", "title='" + title + "'", ""})});
    Store(Join({engine_test::Runs({"Long"}), picture}));
    const std::string path = Export();
    ASSERT_EQ(item_.lastStatus, 0);
    const ReadMessage message = ReadMessageFile(path);
    EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);
    const std::vector<const ReadPart*> html = message.Parts("text/html");
    ASSERT_EQ(html.size(), 1u);
    // Decoded, the value is whole; every line of the file is short.
    EXPECT_NE(html[0]->payload.find(title.substr(0, 1400)), std::string::npos);
    const std::string text = talix_test::ReadFile(path);
    EXPECT_NE(text.find("Content-Transfer-Encoding: quoted-printable"), std::string::npos);
    std::size_t start = 0, longest = 0;
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', start)) {
        longest = std::max(longest, at - start);
        start = at + 1;
    }
    EXPECT_LE(longest, 998u);

    // An ordinary item keeps the us-ascii part without a transfer encoding.
    MimeTest::Store(engine_test::Runs({"Short"}));
    EXPECT_EQ(talix_test::ReadFile(Export()).find("quoted-printable"), std::string::npos);
}

TEST_F(Transport, TabRowsGetTheTabPicture) {
    // A tabbed table without tab labels: its tab rows still name the picture.
    Records tabbed = htmlgen_test::Table(htmlgen_test::Grid(2, 1));
    tabbed.insert(tabbed.begin(), htmlgen_test::PreTable(0, 4));
    Store(Join({engine_test::Runs({"Tabs"}), tabbed}));
    const ReadMessage message = ReadMessageFile(Export("", "ZelundaTabs=Yes"));
    EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);
    const std::vector<const ReadPart*> html = message.Parts("text/html");
    ASSERT_EQ(html.size(), 1u);
    const std::vector<std::string> cids = CidsOf(html[0]->payload);
    ASSERT_FALSE(cids.empty()) << html[0]->payload;
    for (const std::string& cid : cids) EXPECT_EQ(cid, "_a_tabletab");
    EXPECT_EQ(ContentIds(message).count("_a_tabletab"), 1u);

    // Stored in the note: the related level holds it too.
    item_.ConvertToMIME("Mime", nullptr, nullptr, nullptr, "", 0, "ZelundaTabs=Yes", 0, nullptr);
    ASSERT_EQ(item_.lastStatus, 0);
    bool found = false;
    for (const std::string& value : Values("Mime")) found = found || value.find("Content-ID: <_a_tabletab>") != std::string::npos;
    EXPECT_TRUE(found);
}

} // namespace
