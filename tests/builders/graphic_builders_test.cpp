// The picture builders, read back from the output record list: images by
// URL, image-resource references and background references, and pictures
// whose data goes into the item from memory, files and attachments.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "builders/built_records.h"
#include "builders/graphic_builders.h"
#include "core/item_work_state.h"
#include "core/record_forms.h"
#include "engine/record_process.h"
#include "support/picture_files.h"
#include "support/structure_checker.h"
#include "support/test_support.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using talix::ReadDword;
using talix::ReadWord;

// Image data of a given size: a GIF or JPEG head, then a counting pattern.
std::vector<std::uint8_t> GifData(std::uint16_t width, std::uint16_t height, std::size_t size) {
    std::vector<std::uint8_t> data(size);
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>(i * 7 + 3);
    std::memcpy(data.data(), "GIF89a", 6);
    talix::WriteWord(data.data() + 6, width);
    talix::WriteWord(data.data() + 8, height);
    return data;
}

// A JPEG: SOI, an APP0 segment whose length is given, then a frame header
// of the marker given (or none), then filler.
std::vector<std::uint8_t> JpegData(std::uint8_t frameMarker, std::uint16_t app0Length) {
    std::vector<std::uint8_t> data = {0xFF, 0xD8, 0xFF, 0xE0, static_cast<std::uint8_t>(app0Length >> 8),
                                      static_cast<std::uint8_t>(app0Length)};
    data.resize(20, 0);
    if (frameMarker != 0) {
        const std::uint8_t frame[] = {0xFF, 0xFF, frameMarker, 0, 17, 8, 0x01, 0x2C, 0x02, 0x58};  // 600 x 300
        data.insert(data.end(), std::begin(frame), std::end(frame));
    }
    data.resize(data.size() + 40, 0x11);
    return data;
}

class GraphicBuilders : public ::testing::Test {
protected:
    GraphicBuilders() : context_(talix_test::OutputContext(&session_, &item_)) {}
    std::vector<const talix::CDRecordNode*> Nodes() const { return talix_test::ListNodes(item_.work->output); }
    std::vector<std::uint16_t> Signatures() const { return talix_test::ListSignatures(item_.work->output); }
    static std::string Text(const talix::CDRecordNode* node, std::size_t offset, std::size_t length) {
        return std::string(reinterpret_cast<const char*>(node->bytes + offset), length);
    }
    // The data of the image segments that follow the node, joined.
    static std::vector<std::uint8_t> SegmentData(const talix::CDRecordNode* node) {
        std::vector<std::uint8_t> data;
        for (node = node->next; node != nullptr && node->signature == 0x7C; node = node->next)
            data.insert(data.end(), node->bytes + 12, node->bytes + 12 + ReadWord(node->bytes + 8));
        return data;
    }

    RARIvoSession session_;
    ZervaRTItem item_{&session_};
    std::unique_ptr<talix::RecordProcessContext> context_;
    talix_test::TempDir dir_;
};

TEST_F(GraphicBuilders, AnImageByUrlStoresItsRecordsInOrder) {
    ASSERT_EQ(talix::AppendBitmapImage(talix::kImageSourceUrl, "http://host/logo.gif",
                                       "WrapText=WRAP_AROUND Caption= LoadType=deferred ImageWidth=320",
                                       context_.get()),
              0);
    // An empty run, the begin, the graphic, the URL, the bitmap header, the
    // wrap record and the end; the empty caption adds nothing.
    EXPECT_EQ(Signatures(),
              (std::vector<std::uint16_t>{0xFF85, 0xDD, 0x99, 0xFFC4, 0x95, 0xDF, 0xDE}));
    auto nodes = Nodes();
    EXPECT_EQ(nodes[2]->bytes[27], 0x02);   // text flows round it
    EXPECT_EQ(ReadWord(nodes[3]->bytes + 4), 4);
    EXPECT_EQ(ReadWord(nodes[3]->bytes + 6), 2);
    EXPECT_EQ(ReadWord(nodes[3]->bytes + 10), 20);
    EXPECT_EQ(Text(nodes[3], 24, 20), "http://host/logo.gif");
    EXPECT_EQ(ReadWord(nodes[4]->bytes + 24), 320);
    EXPECT_EQ(ReadWord(nodes[4]->bytes + 26), 100);
    EXPECT_EQ(ReadWord(nodes[5]->bytes + 2), 2);
    EXPECT_EQ(talix_test::CheckStructure(item_.work->output), "");

    // An attachment as source, with alt text, a caption in a font, a float
    // and HTML attributes.
    ASSERT_EQ(talix::AppendBitmapImage(talix::kImageSourceAttachment, "pic.jpg",
                                       "AltText='A picture' Caption='Below it' CaptionPosition=Center "
                                       "CaptionFont='RED 12' WrapText=WRAP_FLOAT_RIGHT LoadType=Now "
                                       "ImageHTMLID='p1' ImageHTMLOther=\"a='b'\" ImageHTMLName=|",
                                       context_.get()),
              0);
    nodes = Nodes();
    ASSERT_EQ(nodes.size(), 17u);
    const auto* source = nodes[10];
    EXPECT_EQ(ReadWord(source->bytes + 4), 1);
    EXPECT_EQ(ReadWord(source->bytes + 6), 1);
    const auto* alt = nodes[12];
    ASSERT_EQ(alt->signature, 0xFFCA);
    EXPECT_EQ(Text(alt, 12, 9), "A picture");
    const auto* caption = nodes[13];
    ASSERT_EQ(caption->signature, 0xFF76);
    EXPECT_EQ(caption->bytes[6], 1);                       // centred
    EXPECT_EQ(caption->bytes[10], 2);                      // colour index red
    EXPECT_EQ(caption->bytes[11], 12);                     // point size
    EXPECT_EQ(ReadWord(caption->bytes + 12), 1);           // RGB colour
    EXPECT_EQ(caption->bytes[14], 0xFF);
    EXPECT_EQ(Text(caption, 32, 8), "Below it");
    EXPECT_EQ(nodes[14]->signature, 0xE0);
    EXPECT_EQ(ReadWord(nodes[14]->bytes + 2), 2);
    const auto* names = nodes[15];
    ASSERT_EQ(names->signature, 0xFF7A);
    EXPECT_EQ(ReadWord(names->bytes + 4), 2);      // id
    EXPECT_EQ(ReadWord(names->bytes + 12), 5);     // other
    EXPECT_EQ(ReadWord(names->bytes + 14), 0);     // an unclosed name counts as absent
    EXPECT_EQ(Text(names, 26, 7), "p1a='b'");
    EXPECT_EQ(talix_test::CheckStructure(item_.work->output), "");

    // No source: refused, nothing appended.
    EXPECT_EQ(talix::AppendBitmapImage(talix::kImageSourceUrl, nullptr, nullptr, context_.get()), talix::kArgumentError);
    EXPECT_EQ(Nodes().size(), 17u);
}

TEST_F(GraphicBuilders, ImageResourceAndBackgroundReferences) {
    char name[] = "logo.gif?Open";
    ASSERT_EQ(talix::AppendGraphicRecords(3, 19, name,
                                          "ReplicaID=0123456789abcdef ImageType=JPEG GraphicWidth=64 ImageHeight=48",
                                          0, context_.get(), 0, 0, nullptr, "left", "4", "5", "2"),
              0);
    EXPECT_STREQ(name, "logo.gif?Open");
    EXPECT_EQ(Signatures(),
              (std::vector<std::uint16_t>{0xDD, 0x99, 0x7D, 0xFFFC, 0xE0, 0xFFF6, 0xFF7A, 0xDE}));
    auto nodes = Nodes();
    EXPECT_EQ(nodes[1]->bytes[27], 0x03);
    EXPECT_EQ(ReadWord(nodes[2]->bytes + 8), 2);     // JPEG
    EXPECT_EQ(ReadWord(nodes[2]->bytes + 10), 64);
    EXPECT_EQ(ReadWord(nodes[2]->bytes + 12), 48);
    EXPECT_EQ(ReadWord(nodes[3]->bytes + 10), 2);    // border widths
    EXPECT_EQ(ReadWord(nodes[4]->bytes + 2), 1);     // float left
    const auto* reference = nodes[5];
    EXPECT_EQ(ReadWord(reference->bytes + 2), 36 + 8);
    EXPECT_EQ(ReadWord(reference->bytes + 10), 19);
    EXPECT_EQ(ReadWord(reference->bytes + 12), 8);
    EXPECT_EQ(ReadDword(reference->bytes + 28), 0x89abcdefu);
    EXPECT_EQ(ReadDword(reference->bytes + 32), 0x01234567u);
    EXPECT_EQ(Text(reference, 36, 8), "logo.gif");
    EXPECT_EQ(Text(nodes[6], 26, ReadWord(nodes[6]->bytes + 12)), "hspace='4' vspace='5' ");

    // A name cut at "!", a file hint, a name of odd length, an alignment
    // word and the size given by the caller.
    ASSERT_EQ(talix::AppendGraphicRecords(3, 19, "a.gif!x", "FilePath=img/ ImageHTMLTitle='t'", 0, context_.get(),
                                          30, 20, "alt", "middle", nullptr, nullptr, nullptr),
              0);
    nodes = Nodes();
    ASSERT_EQ(nodes.size(), 16u);
    EXPECT_EQ(nodes[9]->bytes[27], 0x01);
    EXPECT_EQ(ReadWord(nodes[10]->bytes + 10), 30);
    EXPECT_EQ(nodes[12]->signature, 0xDF);
    EXPECT_EQ(ReadWord(nodes[12]->bytes + 2), 1);
    const auto* fileReference = nodes[13];
    EXPECT_EQ(ReadWord(fileReference->bytes + 2), 36 + 5 + 4);   // odd: kept in the length field
    EXPECT_EQ(fileReference->length, 45u);
    EXPECT_EQ(ReadDword(fileReference->bytes + 4), 8u);
    EXPECT_EQ(ReadWord(fileReference->bytes + 10), 8);
    EXPECT_EQ(Text(fileReference, 28, 4), "img/");
    EXPECT_EQ(Text(fileReference, 40, 5), "a.gif");
    EXPECT_EQ(Text(nodes[14], 26, 1), "t");
    EXPECT_EQ(talix_test::CheckStructure(item_.work->output), "");

    // Another class, and a copy made inline outside a run on a chunk, are
    // refused with nothing appended.
    EXPECT_EQ(talix::AppendGraphicRecords(3, 20, "x", nullptr, 0, context_.get(), 0, 0, nullptr, nullptr, nullptr,
                                          nullptr, nullptr),
              talix::kArgumentError);
    EXPECT_EQ(talix::AppendGraphicRecords(3, 19, "x", "MakeInLine=Yes", 0, context_.get(), 0, 0, nullptr, nullptr,
                                          nullptr, nullptr, nullptr),
              talix::kArgumentError);
    EXPECT_EQ(Nodes().size(), 16u);

    // Background references carry their repeat; one kept in the database
    // has type 6, class 8 and no replica id.
    ASSERT_EQ(talix::AppendGraphicRecords(3, 19, "bg.gif", "Repeat=CENTER ReplicaID=0000000100000002", 1,
                                          context_.get(), 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr),
              0);
    ASSERT_EQ(talix::AppendGraphicRecords(3, 19, "bg.gif", "BackgroundStorage=1 FilePath=c:/x", 1, context_.get(), 0,
                                          0, nullptr, nullptr, nullptr, nullptr, nullptr),
              0);
    const auto all = Signatures();
    EXPECT_EQ(std::vector<std::uint16_t>(all.begin() + 16, all.end()),
              (std::vector<std::uint16_t>{0xFF5A, 0xFFEE, 0xFF5A, 0xFFEE}));
    nodes = Nodes();
    EXPECT_EQ(ReadWord(nodes[16]->bytes + 2), 36 + 6);
    EXPECT_EQ(ReadDword(nodes[16]->bytes + 28), 2u);
    EXPECT_EQ(ReadDword(nodes[16]->bytes + 32), 1u);
    EXPECT_EQ(nodes[17]->bytes[4], 6);
    EXPECT_EQ(ReadWord(nodes[18]->bytes + 2), 28 + 6 + 4);
    EXPECT_EQ(ReadWord(nodes[18]->bytes + 8), 6);
    EXPECT_EQ(ReadWord(nodes[18]->bytes + 10), 8);
    EXPECT_EQ(Text(nodes[18], 28, 10), "c:/xbg.gif");
    EXPECT_EQ(nodes[19]->bytes[4], 4);

    // Spacing taken from the data keeps only what a length holds: it can
    // neither close its quote nor add an attribute of its own.
    ASSERT_EQ(talix::AppendGraphicRecords(3, 19, "b.gif", "", 0, context_.get(), 0, 0, nullptr, nullptr,
                                          "4' onerror='alert(1)", "5%\" x=\"", nullptr),
              0);
    const auto spaced = Nodes();
    const auto* idName = spaced[spaced.size() - 2];
    EXPECT_EQ(Text(idName, 26, ReadWord(idName->bytes + 12)), "hspace='4onerroralert1' vspace='5%x' ");
}

TEST_F(GraphicBuilders, ImageDataIsSizedAndCutIntoSegments) {
    const auto gif = GifData(320, 200, 25000);
    ASSERT_EQ(talix::WriteImageBufferRecords(gif.data(), 25000, talix::kImageTypeGif, &context_->output, 0, 0, "right"),
              0);
    auto nodes = Nodes();
    ASSERT_EQ(Signatures(), (std::vector<std::uint16_t>{0x99, 0x7D, 0x7C, 0x7C, 0x7C}));
    EXPECT_EQ(nodes[0]->bytes[27], 0x02);
    EXPECT_EQ(ReadWord(nodes[1]->bytes + 10), 320);
    EXPECT_EQ(ReadWord(nodes[1]->bytes + 12), 200);
    EXPECT_EQ(ReadDword(nodes[1]->bytes + 16), 25000u);
    EXPECT_EQ(ReadDword(nodes[1]->bytes + 20), 3u);
    EXPECT_EQ(ReadWord(nodes[4]->bytes + 8), 4520);
    EXPECT_EQ(SegmentData(nodes[1]), gif);

    // An odd last segment is padded, and its segment size says so; a size
    // given by the caller wins over the data's.
    const auto odd = GifData(320, 200, 10241);
    ASSERT_EQ(talix::WriteImageBufferRecords(odd.data(), 10241, talix::kImageTypeGif, &context_->output, 50, 0, nullptr),
              0);
    nodes = Nodes();
    ASSERT_EQ(nodes.size(), 9u);
    EXPECT_EQ(ReadWord(nodes[6]->bytes + 10), 50);
    EXPECT_EQ(ReadWord(nodes[6]->bytes + 12), 200);
    EXPECT_EQ(ReadWord(nodes[8]->bytes + 8), 1);
    EXPECT_EQ(ReadWord(nodes[8]->bytes + 10), 2);
    EXPECT_EQ(nodes[8]->length, 14u);

    // JPEG: sized from its first frame header (SOF2), even behind a segment
    // whose damaged length would stop a scan; without one (only SOF5) and
    // for too little data, nothing is appended.
    auto jpeg = JpegData(0xC2, 0);
    ASSERT_EQ(talix::WriteImageBufferRecords(jpeg.data(), static_cast<std::uint32_t>(jpeg.size()),
                                             talix::kImageTypeJpeg, &context_->output, 0, 0, nullptr),
              0);
    nodes = Nodes();
    ASSERT_EQ(nodes.size(), 12u);
    EXPECT_EQ(ReadWord(nodes[10]->bytes + 10), 600);
    EXPECT_EQ(ReadWord(nodes[10]->bytes + 12), 300);
    jpeg = JpegData(0xC5, 16);
    EXPECT_EQ(talix::WriteImageBufferRecords(jpeg.data(), static_cast<std::uint32_t>(jpeg.size()),
                                             talix::kImageTypeJpeg, &context_->output, 0, 0, nullptr),
              talix::kOperationFailed);
    EXPECT_EQ(talix::WriteImageBufferRecords(gif.data(), 9, talix::kImageTypeGif, &context_->output, 0, 0, nullptr),
              talix::kOutOfMemory);
    EXPECT_EQ(Nodes().size(), 12u);
}

TEST_F(GraphicBuilders, ImageFilesAreTakenWhole) {
    for (std::size_t size : {std::size_t{65534}, std::size_t{65535}}) {
        const auto gif = GifData(16, 8, size);
        const std::size_t before = Nodes().size();
        ASSERT_EQ(talix::WriteImageFileRecords(gif.data(), static_cast<std::uint32_t>(gif.size()), talix::kImageTypeGif,
                                               context_.get(), 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr,
                                               nullptr),
                  0);
        const auto nodes = Nodes();
        ASSERT_EQ(nodes.size(), before + 2 + 7);
        EXPECT_EQ(ReadDword(nodes[before + 1]->bytes + 16), size);
        EXPECT_EQ(ReadWord(nodes[before + 1]->bytes + 10), 16);
        EXPECT_EQ(SegmentData(nodes[before + 1]), gif);
    }

    // With alt text, spacing, an alignment and border options: the picture
    // is wrapped, and the border options are applied to the border record.
    const auto gif = GifData(2, 3, 40);
    const std::size_t before = Nodes().size();
    ASSERT_EQ(talix::WriteImageFileRecords(gif.data(), static_cast<std::uint32_t>(gif.size()), talix::kImageTypeGif,
                                           context_.get(), 0, 0, "alt", "top", "1", nullptr, "3",
                                           "BorderStyle=DOUBLE"),
              0);
    const auto all = Signatures();
    const std::vector<std::uint16_t> tail(all.begin() + static_cast<long>(before), all.end());
    EXPECT_EQ(tail, (std::vector<std::uint16_t>{0xDD, 0x99, 0x7D, 0x7C, 0xFFCA, 0xFFFC, 0xFF7A, 0xDF, 0xDE}));
    const auto nodes = Nodes();
    EXPECT_EQ(ReadWord(nodes[before + 5]->bytes + 8), 2);     // DOUBLE
    EXPECT_EQ(ReadWord(nodes[before + 5]->bytes + 10), 3);
    EXPECT_EQ(Text(nodes[before + 6], 26, ReadWord(nodes[before + 6]->bytes + 12)), "hspace='1' ");
    EXPECT_EQ(ReadWord(nodes[before + 7]->bytes + 2), 2);
    EXPECT_EQ(talix_test::CheckStructure(item_.work->output), "");

    // Too few bytes for a picture: nothing is written.
    EXPECT_EQ(talix::WriteImageFileRecords(gif.data(), 9, talix::kImageTypeGif, context_.get(), 0, 0, nullptr, nullptr,
                                           nullptr, nullptr, nullptr, nullptr),
              talix::kOutOfMemory);
    EXPECT_EQ(Nodes().size(), before + 9);
}

// An attachment is stored as the kind its bytes are, whatever its name made
// the caller take it for, with the size its header gives.
TEST_F(GraphicBuilders, AttachedImagesKeepTheKindTheirBytesAre) {
    plat::DBHANDLE db = 0;
    ASSERT_EQ(plat::DbCreate(dir_.file("kinds.nsf").c_str(), &db), 0);
    plat::NOTEHANDLE note = 0;
    ASSERT_EQ(plat::NoteCreate(db, &note), 0);
    const struct {
        const char* name;
        std::string bytes;
        std::uint16_t given, type, width, height;
    } files[] = {{"shot.jpg", talix_test::PngPicture(30, 20), talix::kImageTypeJpeg, 4, 30, 20},
                 {"anim.jpg", talix_test::GifPicture(11, 12), talix::kImageTypeJpeg, 1, 11, 12},
                 {"photo.gif", talix_test::JpegPicture(13, 14), talix::kImageTypeGif, 2, 13, 14}};
    for (const auto& file : files) {
        const std::string path = dir_.file(file.name);
        std::FILE* out = std::fopen(path.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        std::fwrite(file.bytes.data(), 1, file.bytes.size(), out);
        std::fclose(out);
        ASSERT_EQ(plat::NoteAttachFile(note, "$FILE", 5, path.c_str(), file.name, 0), 0);
        const std::size_t before = Nodes().size();
        ASSERT_EQ(talix::WriteAttachedImageRecords(db, note, file.name, file.given, context_.get(), 0, 0, nullptr,
                                                   nullptr, nullptr, nullptr, nullptr),
                  0);
        const auto nodes = Nodes();
        ASSERT_GE(nodes.size(), before + 3) << file.name;
        const auto* header = nodes[before + 1];
        EXPECT_EQ(ReadWord(header->bytes + 8), file.type) << file.name;
        EXPECT_EQ(ReadWord(header->bytes + 10), file.width) << file.name;
        EXPECT_EQ(ReadWord(header->bytes + 12), file.height) << file.name;
        const auto data = SegmentData(header);
        EXPECT_EQ(std::string(data.begin(), data.end()), file.bytes) << file.name;
    }
    plat::NoteClose(note);
    plat::DbClose(db);
}

TEST_F(GraphicBuilders, AttachedImagesAndStorage) {
    const std::string dbPath = dir_.file("images.nsf");
    plat::DBHANDLE db = 0;
    ASSERT_EQ(plat::DbCreate(dbPath.c_str(), &db), 0);
    plat::NOTEHANDLE note = 0;
    ASSERT_EQ(plat::NoteCreate(db, &note), 0);
    const std::string path = dir_.file("photo.jpg");
    const auto jpeg = JpegData(0xC5, 16);   // no frame header the builders read
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(jpeg.data(), 1, jpeg.size(), file);
    std::fclose(file);
    ASSERT_EQ(plat::NoteAttachFile(note, "$FILE", 5, path.c_str(), "Photo.JPG", 0), 0);

    // An attachment without a size in its data takes the size given.
    ASSERT_EQ(talix::WriteAttachedImageRecords(db, note, "photo.jpg", talix::kImageTypeJpeg, context_.get(), 40, 0,
                                               nullptr, "right", nullptr, nullptr, "1"),
              0);
    EXPECT_EQ(Signatures(), (std::vector<std::uint16_t>{0xDD, 0x99, 0x7D, 0x7C, 0xFFFC, 0xE0, 0xDE}));
    auto nodes = Nodes();
    EXPECT_EQ(nodes[1]->bytes[27], 0x03);
    EXPECT_EQ(ReadWord(nodes[1]->bytes + 24), 1);
    EXPECT_EQ(ReadWord(nodes[2]->bytes + 10), 40);
    EXPECT_EQ(ReadWord(nodes[2]->bytes + 12), 100);
    EXPECT_EQ(SegmentData(nodes[2]), jpeg);
    EXPECT_EQ(ReadWord(nodes[4]->bytes + 44), 1);     // black, as RGB
    EXPECT_EQ(talix::WriteAttachedImageRecords(db, note, "other.jpg", talix::kImageTypeJpeg, context_.get(), 0, 0,
                                               nullptr, nullptr, nullptr, nullptr, nullptr),
              talix::kArgumentError);

    // Pictures survive storage: written as an item and read back, every
    // record comes back as it was built.
    ASSERT_EQ(talix::AppendBitmapImage(talix::kImageSourceUrl, "u.gif", "AltText=x Caption=c ImageHTMLID='i'",
                                       context_.get()),
              0);
    ASSERT_EQ(talix::AppendGraphicRecords(3, 19, "odd.gif", "ReplicaID=0123456789abcdef", 0, context_.get(), 0, 0,
                                          nullptr, nullptr, "1", nullptr, "1"),
              0);
    ASSERT_EQ(talix::AppendGraphicRecords(3, 19, "bg", nullptr, 1, context_.get(), 0, 0, nullptr, nullptr, nullptr,
                                          nullptr, nullptr),
              0);
    talix_test::ExpectStoredAsBuilt(&item_, note);
    plat::NoteClose(note);
    plat::DbClose(db);
}

} // namespace
