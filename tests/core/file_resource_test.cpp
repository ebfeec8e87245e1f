// File-resource content written from buffers and files, text replaced in
// it, and items exported to files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/record_fixture.h"
#include "support/test_support.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

std::uint32_t At(const std::string& bytes, std::size_t offset, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes.at(offset + i));
    return value;
}

// The stored "$FileData" items taken apart.
struct FileData {
    std::uint32_t headerLength = 0, fileSize = 0, segments = 0;
    std::string extension, data;
    std::vector<std::uint32_t> dataSizes, segmentSizes;
    std::size_t largestValue = 0, values = 0;
};

FileData Parse(plat::NOTEHANDLE note) {
    FileData parsed;
    for (const std::string& value : talix_test::StoredValues(note, "$FileData")) {
        ++parsed.values;
        parsed.largestValue = std::max(parsed.largestValue, value.size());
        EXPECT_EQ(At(value, 0, 2), 1u);
        for (std::size_t at = 2; at < value.size();) {
            std::uint32_t length = At(value, at + 2, 4);
            if (At(value, at, 2) == 0x61) {
                parsed.headerLength = length;
                parsed.fileSize = At(value, at + 8, 4);
                parsed.segments = At(value, at + 12, 4);
                parsed.extension = value.substr(at + 24, At(value, at + 6, 2));
            } else {
                EXPECT_EQ(At(value, at, 2), 0x60u);
                parsed.dataSizes.push_back(At(value, at + 6, 2));
                parsed.segmentSizes.push_back(At(value, at + 8, 2));
                parsed.data += value.substr(at + 18, parsed.dataSizes.back());
            }
            at += length + length % 2;
        }
    }
    return parsed;
}

class FileResource : public testing::Test {
protected:
    void SetUp() override {
        plat::DBHANDLE db = 0;
        ASSERT_EQ(plat::DbCreate(path_.c_str(), &db), plat::NOERROR);
        for (const char* file : {"fileres-test.xml", "form-layout.xml"}) {
            plat::DxlImportResult result;
            ASSERT_EQ(plat::DxlImportFile(db, (talix_test::SampleDxlDir() / file).c_str(), &result), 0)
                << result.error;
        }
        plat::DbClose(db);
        ASSERT_EQ(item_.ConnectFileResource("", path_.c_str(), "test.txt", nullptr), 0);
    }
    std::string Content() {
        std::string out = dir_.file("content.out");
        EXPECT_EQ(item_.Export(out.c_str(), nullptr), 0);
        return talix_test::ReadFile(out);
    }

    talix_test::TempDir dir_;
    std::string path_ = dir_.file("res.nsf");
    RARIvoSession session_;
    ZervaRTItem item_{&session_};
};

TEST_F(FileResource, LargeContentIsSplitIntoSegmentsAcrossItemsAndExportsBack) {
    std::string buffer(100000, '\0');
    for (std::size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<char>(i * 7 + i / 251);
    ASSERT_EQ(item_.CreateFileResourceRichTextItemFromBuffer("txt", buffer.data(), 100000), 0);
    ASSERT_EQ(item_.Save(), 0);

    ZervaRTItem stored(&session_);
    ASSERT_EQ(stored.ConnectFileResource("", path_.c_str(), "test.txt", nullptr), 0);
    FileData parsed = Parse(stored.noteHandle);
    EXPECT_EQ(parsed.headerLength, 28u);   // 24, the extension and one pad byte
    EXPECT_EQ(parsed.extension + std::to_string(parsed.fileSize) + "/" + std::to_string(parsed.segments), "txt100000/10");
    std::vector<std::uint32_t> sizes(9, 10240);
    sizes.push_back(7840);
    EXPECT_EQ(parsed.dataSizes, sizes);
    EXPECT_EQ(parsed.segmentSizes, sizes);
    EXPECT_GT(parsed.values, 1u);
    EXPECT_LE(parsed.largestValue, 65406u);
    EXPECT_TRUE(parsed.data == buffer);
    plat::NUMBER size = 0;
    EXPECT_TRUE(plat::ItemGetNumber(stored.noteHandle, "$FileSize", &size) && size == 100000);

    std::string out = dir_.file("large.out");
    ASSERT_EQ(stored.Export(out.c_str(), nullptr), 0);
    EXPECT_TRUE(talix_test::ReadFile(out) == buffer);
}

TEST_F(FileResource, OddSegmentsArePaddedAndFailuresLeaveTheContent) {
    std::string buffer(10241, 'x');
    ASSERT_EQ(item_.CreateFileResourceRichTextItemFromBuffer("js", buffer.data(), 10241), 0);
    FileData two = Parse(item_.noteHandle);
    EXPECT_EQ(two.headerLength, 26u);
    EXPECT_EQ(two.dataSizes, (std::vector<std::uint32_t>{10240, 1}));
    EXPECT_EQ(two.segmentSizes, (std::vector<std::uint32_t>{10240, 2}));
    ASSERT_EQ(item_.CreateFileResourceRichTextItemFromBuffer("txt", "kept", 4), 0);

    EXPECT_EQ(item_.CreateFileResourceRichTextItem("txt", dir_.file("missing").c_str()), 259);
    std::string longExtension(65400, 'e');
    EXPECT_EQ(item_.CreateFileResourceRichTextItemFromBuffer(longExtension.c_str(), "x", 1), 1028);
    EXPECT_EQ(Content(), "kept");
    ZervaRTItem unconnected(&session_);
    EXPECT_EQ(unconnected.CreateFileResourceRichTextItemFromBuffer("txt", "x", 1), 1028);
}

TEST_F(FileResource, ReplacesEveryOccurrenceAndKeepsTheExtension) {
    ASSERT_EQ(item_.CreateFileResourceRichTextItemFromBuffer("xyz", "a.b.aaa", 7), 0);
    EXPECT_EQ(item_.ReplaceTextInFileResource("a", "ab"), 0);
    EXPECT_EQ(Content(), "ab.b.ababab");
    EXPECT_EQ(item_.ReplaceTextInFileResource("abab", "-"), 0);
    EXPECT_EQ(Content(), "ab.b.-ab");
    EXPECT_EQ(Parse(item_.noteHandle).extension, "xyz");
    EXPECT_EQ(item_.ReplaceTextInFileResource("", "x"), 1028);
    EXPECT_EQ(Content(), "ab.b.-ab");

    // An item that holds no file is refused and kept as it is.
    ZervaRTItem form(&session_);
    ASSERT_EQ(form.ConnectForm("", path_.c_str(), "Layout Form", nullptr), 0);
    const std::vector<std::string> body = talix_test::StoredValues(form.noteHandle, "$Body");
    EXPECT_EQ(form.ReplaceTextInFileResource("a", "b"), 1028);
    EXPECT_EQ(talix_test::StoredValues(form.noteHandle, "$Body"), body);
}

TEST_F(FileResource, ExportWritesRawRecordsOnlyForCdFilesAndReportsFailures) {
    EXPECT_NE(item_.Export(dir_.file("no/such/dir/out").c_str(), nullptr), 0);

    ZervaRTItem form(&session_);
    ASSERT_EQ(form.ConnectForm("", path_.c_str(), "Layout Form", nullptr), 0);
    std::string expected("\x01\x00", 2);
    for (const char* name : {"$Fonts", "$Body"})
        for (const std::string& value : talix_test::StoredValues(form.noteHandle, name)) expected += value.substr(2);

    for (auto [file, type] : {std::pair{"body.cd", ""}, std::pair{"body.bin", "raw.CD"}}) {
        EXPECT_EQ(form.Export(dir_.file(file).c_str(), type), 0);
        EXPECT_TRUE(talix_test::ReadFile(dir_.file(file)) == expected);
    }
    std::string text = dir_.file("body.txt");
    // No filter takes ".txt": refused, and no file is written.
    EXPECT_EQ(form.Export(text.c_str(), nullptr), 1028);
    EXPECT_FALSE(std::filesystem::exists(text));
    EXPECT_NE(form.Export(dir_.file("no/such/dir/body.cd").c_str(), nullptr), 0);
}

} // namespace
