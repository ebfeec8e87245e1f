// Import through the test filter library: the record file it writes, and
// pictures rebuilt from their image file as records in stored form.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "builders/built_records.h"
#include "builders/filter_import.h"
#include "core/record_forms.h"
#include "engine/record_process.h"
#include "support/test_support.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

namespace fs = std::filesystem;
using talix::ReadWord;

using talix_test::CollectMessage;
using talix_test::g_messages;

struct FileRecord {
    plat::WORD signature;
    std::vector<std::uint8_t> bytes;
};

plat::STATUS Collect(const void* record, plat::WORD signature, plat::DWORD length, void* state) {
    const auto* bytes = static_cast<const std::uint8_t*>(record);
    static_cast<std::vector<FileRecord>*>(state)->push_back({signature, {bytes, bytes + length}});
    return plat::NOERROR;
}

// The entries of a folder whose names end with the text.
std::vector<std::string> NamesEndingWith(const fs::path& folder, const std::string& end) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.size() >= end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0)
            names.push_back(name);
    }
    return names;
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class FilterImport : public ::testing::Test {
protected:
    FilterImport() : context_(talix_test::OutputContext(&session_, &item_)) {
        // The test filter under a name that marks it as the JPEG filter.
        fs::copy_file(TALIX_TEST_FILTER_PATH, dir_.path() / "_IJPEG.so");
        plat::IniSet("LibraryDirectory", dir_.path().c_str());
        plat::IniSet("$TalixTempDirectory", (dir_.path().string() + "/").c_str());
        session_.SetUp();
        plat::RegisterMessageProc(&CollectMessage);
        g_messages.clear();
    }
    ~FilterImport() override {
        plat::RegisterMessageProc(nullptr);
        plat::IniSet("LibraryDirectory", "");
        plat::IniSet("$TalixTempDirectory", "");
        session_.SetUp();
    }
    talix::STATUS Import(const std::string& source, const char* library, const std::string& proposed,
                         std::int16_t graphic) {
        result_[0] = '\0';
        return talix::ImportFileThroughFilter(context_.get(), source.c_str(), library, "Picture", result_,
                                              sizeof result_, graphic, proposed.c_str());
    }

    talix_test::TempDir dir_;
    RARIvoSession session_;
    ZervaRTItem item_{&session_};
    std::unique_ptr<talix::RecordProcessContext> context_;
    char result_[512] = {};
};

TEST_F(FilterImport, APictureBecomesItsGraphicRecordAnImageHeaderAndTheWholeFileInSegments) {
    std::vector<std::uint8_t> jpeg(25000);
    for (std::size_t i = 0; i < jpeg.size(); ++i) jpeg[i] = static_cast<std::uint8_t>(i * 13 + 1);
    jpeg[0] = 0xFF;
    jpeg[1] = 0xD8;
    const std::string picture = dir_.file("photo.jpg"), proposed = dir_.file("filtered.cd");
    WriteBytes(picture, jpeg);

    ASSERT_EQ(Import(picture, "_IJPEG.dll", proposed, 1), 0);
    // The wrapped picture is a file of this import's own in the temporary
    // directory: another import leaves it as it is.
    const std::string wrapped = result_;
    EXPECT_EQ(fs::path(wrapped).parent_path(), dir_.path());
    EXPECT_EQ(NamesEndingWith(dir_.path(), "CONVRTED.CD").size(), 1u);
    EXPECT_FALSE(fs::exists(proposed));
    const std::string other = dir_.file("other.jpg");
    WriteBytes(other, {0xFF, 0xD8, 1, 2, 3});
    ASSERT_EQ(Import(other, "_IJPEG.dll", proposed, 1), 0);
    EXPECT_NE(std::string(result_), wrapped);
    EXPECT_EQ(fs::file_size(result_), 2u + 28 + 28 + 10 + 6);
    fs::remove(result_);

    // Stored form throughout: the mark, a 28-byte graphic record of version
    // 2, a 28-byte JPEG image header, and segments of a 10-byte header and
    // their data, read back whole.
    const std::string file = talix_test::ReadFile(wrapped);
    ASSERT_EQ(file.size(), 2u + 28 + 28 + 2 * (10 + 10240) + (10 + 4520));
    EXPECT_EQ(file[2 + 24], 2);
    EXPECT_EQ(ReadWord(reinterpret_cast<const std::uint8_t*>(file.data()) + 2 + 28 + 6), 2);
    std::vector<FileRecord> records;
    ASSERT_EQ(plat::EnumRecordFile(wrapped.c_str(), Collect, &records), plat::NOERROR);
    std::vector<std::uint8_t> joined;
    for (const FileRecord& record : records) {
        if (record.signature != 0x7C) continue;
        const auto data = record.bytes.begin() + 12;
        joined.insert(joined.end(), data, data + ReadWord(record.bytes.data() + 8));
    }
    EXPECT_EQ(joined, jpeg);

    // A filter that is neither the JPEG nor the GIF one keeps its own output.
    const std::string text = dir_.file("notes.txt");
    WriteBytes(text, {'a', 'b', '\n'});
    ASSERT_EQ(Import(text, TALIX_TEST_FILTER_PATH, proposed, 1), 0);
    EXPECT_EQ(std::string(result_), proposed);
    EXPECT_EQ(talix_test::ReadFile(proposed).substr(0, 4), std::string("\x01\x00\x81\x02", 4));
}

TEST_F(FilterImport, FailuresAreReportedAndLeaveNoFilesBehind) {
    const std::string empty = dir_.file("empty.jpg"), proposed = dir_.file("filtered.cd");
    WriteBytes(empty, {});
    // An empty picture cannot be wrapped: the filter's own file stays the
    // result.
    EXPECT_EQ(Import(empty, "_IJPEG.dll", proposed, 1), 0);
    EXPECT_EQ(std::string(result_), proposed);
    EXPECT_TRUE(fs::exists(proposed));
    EXPECT_TRUE(NamesEndingWith(dir_.path(), "CONVRTED.CD").empty());
    EXPECT_EQ(talix::WrapImageAsCDFile(empty.c_str(), proposed.c_str(), dir_.file("x.cd").c_str(), 2),
              talix::kArgumentError);
    EXPECT_FALSE(fs::exists(dir_.file("x.cd")));

    // The filter's failure, in its own words; its output is not kept.
    EXPECT_EQ(Import(dir_.file("none.jpg"), "_IJPEG.dll", proposed, 1), 15902);
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0], "Test filter: cannot read the source file");
    EXPECT_FALSE(fs::exists(proposed));

    // A name that does not fit the request block, and a library that does
    // not load.
    EXPECT_EQ(Import(empty, "_IJPEG.dll", std::string(100, 'n'), 1), talix::kArgumentError);
    EXPECT_NE(Import(empty, "_NOSUCH.dll", proposed, 1), 0);
    EXPECT_EQ(result_[0], '\0');
}

} // namespace
