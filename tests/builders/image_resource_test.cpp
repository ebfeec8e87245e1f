// Image resources and image files: a graphic saved as an image resource
// and read back as Base64 and as a file, pictures of a record list written
// to files, and the image resource of real exported data.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "builders/built_records.h"
#include "builders/graphic_builders.h"
#include "builders/image_resource.h"
#include "core/base64.h"
#include "core/item_work_state.h"
#include "core/pool.h"
#include "core/record_forms.h"
#include "engine/record_process.h"
#include "support/record_fixture.h"
#include "support/test_support.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using talix::ReadWord;

std::vector<std::uint8_t> Gif77x55Data(std::size_t size) {
    std::vector<std::uint8_t> data(size);
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>(i * 13 + i / 256);
    std::memcpy(data.data(), "GIF89a", 6);
    talix::WriteWord(data.data() + 6, 77);
    talix::WriteWord(data.data() + 8, 55);
    return data;
}

std::vector<std::uint8_t> Decode(const std::string& text) {
    std::vector<std::uint8_t> out(text.size());
    out.resize(talix::DecodeBase64(text.data(), out.data(), static_cast<std::uint32_t>(text.size()),
                                   static_cast<std::uint32_t>(out.size())));
    return out;
}

class ImageResources : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(plat::DbCreate(path_.c_str(), &db_), 0);
        context_ = talix_test::OutputContext(&session_, &builder_);
    }
    void TearDown() override {
        if (db_ != 0) plat::DbClose(db_);
    }
    // A graphic of the data built into the builder item's output list:
    // its graphic record node.
    const talix::CDRecordNode* Graphic(const std::vector<std::uint8_t>& data, const char* alignment = nullptr) {
        const talix::ItemRecordList* list = builder_.work->output;
        const talix::CDRecordNode* last = list != nullptr ? list->tail : nullptr;
        EXPECT_EQ(talix::WriteImageBufferRecords(data.data(), static_cast<std::uint32_t>(data.size()),
                                                 talix::kImageTypeGif, &context_->output, 300, 200, alignment),
                  0);
        return last != nullptr ? last->next : builder_.work->output->head;
    }
    std::string Base64(const char* name, int lfOnly, int lineBreak) {
        std::uint32_t length = 0;
        char* text = nullptr;
        EXPECT_EQ(talix::EncodeImageResourceBase64(&session_, db_, name, &length, &text, lfOnly, lineBreak), 0);
        if (text == nullptr) return std::string();
        EXPECT_EQ(std::strlen(text), length);
        EXPECT_EQ(talix::MeasureImageResourceBase64(&session_, db_, name, lfOnly, lineBreak), length);
        std::string result(text, length);
        talix::ZervaDeallocate(&session_, text);
        return result;
    }
    plat::NOTEID Find(const char* name) {
        plat::NOTEID id = 0;
        plat::FindDesignNote(db_, name, plat::NOTE_CLASS_FORM, &id);
        return id;
    }

    talix_test::TempDir dir_;
    std::string path_ = dir_.file("images.nsf");
    plat::DBHANDLE db_ = 0;
    RARIvoSession session_;
    ZervaRTItem builder_{&session_};
    std::unique_ptr<talix::RecordProcessContext> context_;
};

TEST_F(ImageResources, AGraphicSavedAsResourceComesBackWhole) {
    const auto data = Gif77x55Data(60000);
    const talix::CDRecordNode* graphic = Graphic(data, "left");
    ASSERT_EQ(talix::SaveGraphicAsImageResource(&session_, "sky.gif", graphic, db_, 0), 0);
    const plat::NOTEID id = Find("sky.gif");
    ASSERT_NE(id, 0u);

    // The records, in stored form, as items of whole records.
    plat::NOTEHANDLE note = 0;
    ASSERT_EQ(plat::NoteOpen(db_, id, 0, &note), 0);
    const auto values = talix_test::StoredValues(note, "$ImageData");
    ASSERT_EQ(values.size(), 2u);
    std::size_t records = 0;
    for (const std::string& value : values) {
        EXPECT_LE(value.size() - 2, 49022u);
        EXPECT_EQ(ReadWord(reinterpret_cast<const std::uint8_t*>(value.data())), plat::TYPE_COMPOSITE);
        std::size_t at = 2;
        while (at < value.size()) {
            // Stored headers of picture records: a word signature below
            // 0x100 and a 32-bit length after it.
            const auto* record = reinterpret_cast<const std::uint8_t*>(value.data()) + at;
            ASSERT_LT(ReadWord(record), 0x100);
            at += talix::EvenLength(talix::ReadDword(record + 2));
            ++records;
        }
        EXPECT_EQ(at, value.size());
    }
    EXPECT_EQ(records, 2u + 6);
    // The stored graphic record keeps no destination size or resize word.
    const auto* stored = reinterpret_cast<const std::uint8_t*>(values[0].data()) + 2;
    EXPECT_EQ(ReadWord(stored + 6), 0);
    EXPECT_EQ(ReadWord(stored + 8), 0);
    EXPECT_EQ(ReadWord(stored + 22), 0);
    char flags[32] = {};
    plat::ItemGetText(note, "$Flags", flags, sizeof flags);
    EXPECT_STREQ(flags, "34CiQP");
    plat::NoteClose(note);

    // Base64 with CR LF and with LF line ends, 76 characters a line.
    const std::string crlf = Base64("sky.gif", 0, 1);
    EXPECT_EQ(Decode(crlf), data);
    EXPECT_EQ(crlf.substr(76, 2), "\r\n");
    EXPECT_EQ(crlf.find('\r'), 76u);
    const std::string lf = Base64("sky.gif", 1, 1);
    EXPECT_EQ(lf.find('\n'), 76u);
    EXPECT_EQ(lf.find('\r'), std::string::npos);
    EXPECT_EQ(Decode(lf), data);
    EXPECT_EQ(Base64("sky.gif", 0, 0).find('\n'), std::string::npos);

    // Its picture written to a file.
    const std::string file = dir_.file("sky.gif");
    ASSERT_EQ(talix::WriteImageResourceFile(&session_, "", path_.c_str(), "sky.gif", file.c_str()), 0);
    const std::string written = talix_test::ReadFile(file);
    EXPECT_EQ(std::vector<std::uint8_t>(written.begin(), written.end()), data);

    // The same name again: kept without the replace switch, replaced with it.
    const auto other = Gif77x55Data(500);
    const talix::CDRecordNode* second = Graphic(other);
    ASSERT_EQ(talix::SaveGraphicAsImageResource(&session_, "sky.gif", second, db_, 0), 0);
    EXPECT_EQ(Find("sky.gif"), id);
    ASSERT_EQ(talix::SaveGraphicAsImageResource(&session_, "sky.gif", second, db_, 1), 0);
    EXPECT_NE(Find("sky.gif"), id);
    EXPECT_EQ(Decode(Base64("sky.gif", 0, 1)), other);

    // What cannot be read gives nothing.
    EXPECT_EQ(talix::MeasureImageResourceBase64(&session_, db_, "none.gif", 0, 1), 0u);
    std::uint32_t length = 1;
    char* text = reinterpret_cast<char*>(&length);
    EXPECT_NE(talix::EncodeImageResourceBase64(&session_, db_, "none.gif", &length, &text, 0, 1), 0);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(length, 0u);
    EXPECT_NE(talix::WriteImageResourceFile(&session_, "", path_.c_str(), "none.gif", dir_.file("none").c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(dir_.file("none")));
    EXPECT_EQ(talix::SaveGraphicAsImageResource(&session_, "bad", graphic->next, db_, 1), talix::kArgumentError);
}

TEST_F(ImageResources, PicturesOfARecordListAreWrittenToFiles) {
    const auto data = Gif77x55Data(12000);
    const talix::CDRecordNode* graphic = Graphic(data);
    const std::string file = dir_.file("out.gif");
    ASSERT_EQ(talix::WriteImageSegmentsToFile(file.c_str(), graphic), 0);
    const std::string written = talix_test::ReadFile(file);
    EXPECT_EQ(std::vector<std::uint8_t>(written.begin(), written.end()), data);

    // Text before the image, or a bitmap: no file.
    ASSERT_EQ(talix::AppendBitmapImage(talix::kImageSourceUrl, "x.gif", nullptr, context_.get()), 0);
    const talix::CDRecordNode* text = graphic->next->next->next->next;
    ASSERT_EQ(text->signature, 0xFF85);
    const std::string none = dir_.file("none.gif");
    EXPECT_EQ(talix::WriteImageSegmentsToFile(none.c_str(), text->next), talix::kArgumentError);
    EXPECT_EQ(talix::WriteImageSegmentsToFile(none.c_str(), text), talix::kArgumentError);
    EXPECT_FALSE(std::filesystem::exists(none));

    EXPECT_EQ(talix::WriteBufferToFile(file.c_str(), "abc", 3), 0);
    EXPECT_EQ(talix_test::ReadFile(file), "abc");
    EXPECT_EQ(talix::WriteBufferToFile(dir_.file("no/such/dir").c_str(), "abc", 3), talix::kArgumentError);
}

TEST_F(ImageResources, TheImageResourceOfRealDataExportsItsPicture) {
    const auto source = talix_test::SampleDxlDir() / "imageres-untitled2.xml";
    plat::DxlImportResult result;
    ASSERT_EQ(plat::DxlImportFile(db_, source.string().c_str(), &result), 0) << result.error;
    const std::string file = dir_.file("untitled.gif");
    ASSERT_EQ(talix::WriteImageResourceFile(&session_, "", path_.c_str(), "Untitled 2.gif", file.c_str()), 0);
    const std::string picture = talix_test::ReadFile(file);
    ASSERT_EQ(picture.size(), 890u);
    EXPECT_EQ(picture.substr(0, 6), "GIF89a");
    EXPECT_EQ(ReadWord(reinterpret_cast<const std::uint8_t*>(picture.data()) + 6), 39);
    EXPECT_EQ(ReadWord(reinterpret_cast<const std::uint8_t*>(picture.data()) + 8), 31);
    EXPECT_EQ(picture.back(), ';');
    const std::string encoded = Base64("Untitled 2.gif", 0, 1);
    const auto decoded = Decode(encoded);
    EXPECT_EQ(std::string(decoded.begin(), decoded.end()), picture);
}

} // namespace
