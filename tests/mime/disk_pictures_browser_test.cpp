// Pictures exported to disk beside a page, as a browser shows them: a GIF,
// a JPEG and an image resource become files whose src the page resolves from
// its own folder, a bitmap (which no file a browser reads can hold) its
// alternative text; headless Chromium loads every picture with its size.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "builders/image_resource.h"
#include "core/base64.h"
#include "core/record_io.h"
#include "core/record_list.h"
#include "core/signatures.h"
#include "mime_fixture.h"
#include "support/headless_browser.h"
#include "support/patterns.h"
#include "talix_platform.h"

namespace {

using namespace mime_test;

// Pictures a browser decodes: a GIF of 1 x 1 (kOnePixelGif) and a JPEG of
// 4 x 3 pixels.
constexpr const char* kJpegBase64 = "/9j/4AAQSkZJRgABAQAAAQABAAD/4gHYSUNDX1BST0ZJTEUAAQEAAAHIAAAAAAQwAABtbnRyUkdCIFhZWiAH4AABAAEAAAAAAABhY3NwAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAQAA9tYAAQAAAADTLQAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAlkZXNjAAAA8AAAACRyWFlaAAABFAAAABRnWFlaAAABKAAAABRiWFlaAAABPAAAABR3dHB0AAABUAAAABRyVFJDAAABZAAAAChnVFJDAAABZAAAAChiVFJDAAABZAAAAChjcHJ0AAABjAAAADxtbHVjAAAAAAAAAAEAAAAMZW5VUwAAAAgAAAAcAHMAUgBHAEJYWVogAAAAAAAAb6IAADj1AAADkFhZWiAAAAAAAABimQAAt4UAABjaWFlaIAAAAAAAACSgAAAPhAAAts9YWVogAAAAAAAA9tYAAQAAAADTLXBhcmEAAAAAAAQAAAACZmYAAPKnAAANWQAAE9AAAApbAAAAAAAAAABtbHVjAAAAAAAAAAEAAAAMZW5VUwAAACAAAAAcAEcAbwBvAGcAbABlACAASQBuAGMALgAgADIAMAAxADb/2wBDABALDA4MChAODQ4SERATGCgaGBYWGDEjJR0oOjM9PDkzODdASFxOQERXRTc4UG1RV19iZ2hnPk1xeXBkeFxlZ2P/2wBDARESEhgVGC8aGi9jQjhCY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2P/wAARCAADAAQDASIAAhEBAxEB/8QAFQABAQAAAAAAAAAAAAAAAAAAAAX/xAAUEAEAAAAAAAAAAAAAAAAAAAAA/8QAFQEBAQAAAAAAAAAAAAAAAAAABAX/xAAUEQEAAAAAAAAAAAAAAAAAAAAA/9oADAMBAAIRAxEAPwCaAtAP/9k=";

Bytes Jpeg() {
    const std::string text = kJpegBase64;
    Bytes data(text.size());
    data.resize(talix::DecodeBase64(text.data(), data.data(), static_cast<std::uint32_t>(text.size()),
                                    static_cast<std::uint32_t>(data.size())));
    return data;
}

// Reports the natural width of every picture once the page has loaded.
constexpr const char* kMeasure =
    "<script>window.addEventListener('load', function () {"
    "var w = []; document.querySelectorAll('img').forEach(function (i) { w.push(i.naturalWidth); });"
    "var p = document.createElement('pre'); p.id = 'talix-widths'; p.textContent = 'WIDTHS ' + w.join(' ');"
    "document.body.appendChild(p); });</script>";

class DiskPicturesBrowser : public MimeTest {};

TEST_F(DiskPicturesBrowser, FilesBesideThePageLoadInABrowser) {
    // The image resource: the GIF of a picture of another note saved as one.
    Store(graphic_test::GifPicture(kOnePixelGif, 1, 1));
    {
        talix::STATUS status = 0;
        talix::ItemRecordList* list = talix::SIAR(&item_, 0, nullptr, 1, 0, 0, nullptr, &status);
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(status, 0);
        std::unique_ptr<talix::ItemRecordList, std::function<void(talix::ItemRecordList*)>> held(
            list, [this](talix::ItemRecordList* l) { talix::DeleteItemRecordList(&session_, l); });
        const talix::CDRecordNode* graphic = list->head;
        while (graphic != nullptr && graphic->signature != talix::kSigGraphic) graphic = graphic->next;
        ASSERT_NE(graphic, nullptr);
        plat::DBHANDLE db = 0;
        ASSERT_EQ(plat::DbOpen(path_.c_str(), &db), 0);
        ASSERT_EQ(talix::SaveGraphicAsImageResource(&session_, "logo.gif", graphic, db, 1), 0);
        plat::DbClose(db);
    }
    const Records resource = {graphic_test::Begin(graphic_test::kSigGraphic), graphic_test::Graphic(),
                              graphic_test::ImageResource("logo.gif"), graphic_test::End(graphic_test::kSigGraphic)};
    talix_test::FixtureRecord alt = talix_test::HostRecord(0xFFCA, 12 + 8);
    talix_test::PutWord(&alt, 4, 8);
    std::string altText = "old logo";
    std::copy(altText.begin(), altText.end(), alt.bytes.begin() + 12);
    const Records bitmap = {graphic_test::Begin(graphic_test::kSigGraphic), graphic_test::Graphic(),
                            graphic_test::BitmapHeader(16, 16), talix_test::HostRecord(0x0096, 40), alt,
                            graphic_test::End(graphic_test::kSigGraphic)};
    Records records = engine_test::Runs({"Pictures"});
    for (const Records& part : {graphic_test::GifPicture(kOnePixelGif, 1, 1), JpegPicture(Jpeg(), 4, 3), resource, bitmap})
        records.insert(records.end(), part.begin(), part.end());
    Store(records);

    const std::string folder = dir_.file("site");
    std::filesystem::create_directories(folder);
    const std::string page = folder + "/page.htm";
    plat::LogClearRecent();
    item_.ExportToHTML(page.c_str(), "HTML", "ImageHandling=DISK ImageDirectory=img", 0, nullptr);
    ASSERT_EQ(item_.lastStatus, 0);
    const std::string markup = talix_test::ReadFile(page);

    // Three files under img/, three img elements whose src resolve from the
    // page's folder; the bitmap as its alternative text, with a log line.
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder + "/img"))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 3u);
    std::size_t images = 0;
    for (const std::vector<std::string>& source : talix_test::FindAll(markup, "<img src=\"([^\"]+)\"")) {
        ++images;
        EXPECT_TRUE(std::filesystem::is_regular_file(folder + "/" + source[1])) << source[1];
    }
    EXPECT_EQ(images, 3u) << markup;
    EXPECT_NE(markup.find("old logo"), std::string::npos);
    std::size_t logged = 0;
    for (const plat::LogEntry& entry : plat::LogRecent()) logged += entry.text.find("a bitmap") != std::string::npos;
    EXPECT_EQ(logged, 1u);

    const std::string chromium = talix_test::ChromiumPath();
    if (chromium.empty()) {
        if (talix_test::BrowserRequired()) FAIL() << "no Chromium here";
        GTEST_SKIP() << "no Chromium here";
    }
    std::string shown = markup;
    const std::size_t end = shown.rfind("</body>");
    shown.insert(end == std::string::npos ? shown.size() : end, kMeasure);
    std::ofstream(folder + "/shown.htm", std::ios::binary) << shown;
    const std::vector<std::string> documents = talix_test::DumpDocuments(chromium, {folder + "/shown.htm"}, 1, 60);
    ASSERT_EQ(documents.size(), 1u);
    std::vector<std::string> widths;
    ASSERT_TRUE(talix_test::Search(documents[0], "<pre id=\"talix-widths\">WIDTHS ([0-9 ]*)</pre>", &widths))
        << documents[0];
    EXPECT_EQ(widths[1], "1 4 1");
}

} // namespace
