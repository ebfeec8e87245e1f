// The import filters the platform comes with: served without a library
// file, listed in notes.ini, turning pictures into record files of their
// size and refusing what they cannot read with a text that says so.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform_fixture.h"
#include "status_codes.h"
#include "support/picture_files.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace {

using namespace plat;
using platform_test::FilterEntry;
using platform_test::FilterRequest;

// A record the filter wrote, as the walk hands it over.
struct WrittenRecord {
    WORD signature;
    std::string host;
};

STATUS Collect(const void* record, WORD signature, DWORD length, void* context) {
    static_cast<std::vector<WrittenRecord>*>(context)->push_back(
        {signature, std::string(static_cast<const char*>(record), length)});
    return NOERROR;
}

WORD HostWord(const std::string& host, size_t at) {
    return static_cast<WORD>(static_cast<unsigned char>(host[at]) | static_cast<unsigned char>(host[at + 1]) << 8);
}

class ImportFilters : public testing::Test {
protected:
    // No library file of any name: the platform's own filters serve.
    ImportFilters() : libraries_("LibraryDirectory", dir_.path().string()) {}

    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = dir_.file(name);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    // Runs a filter library over the file; the records it wrote, or the
    // filter's status and text.
    STATUS Run(const char* library, const std::string& source, std::vector<WrittenRecord>* records, std::string* text) {
        ModuleHandle module = nullptr;
        void* entry = nullptr;
        STATUS status = LibraryLoad(library, &module, &entry);
        if (status != NOERROR) return status;
        FilterRequest request;
        const std::string output = dir_.file("out.cd");
        std::strncpy(request.output, output.c_str(), sizeof request.output - 1);
        status = reinterpret_cast<FilterEntry>(entry)(&request, 3, module, nullptr, source.c_str());
        if (status == NOERROR) {
            EXPECT_EQ(EnumRecordFile(output.c_str(), Collect, records), NOERROR);
        } else {
            char buffer[512];
            LibraryStatusText(module, status, buffer, sizeof buffer);
            *text = buffer;
        }
        EXPECT_EQ(LibraryUnload(module), NOERROR);
        EXPECT_NE(LibraryUnload(module), NOERROR);   // once loaded, once unloaded
        return status;
    }

    talix_test::TempDir dir_;
    talix_test::IniOverride libraries_;
};

TEST_F(ImportFilters, ServedWithoutALibraryFileTheyRefuseWhatTheyCannotReadAndSayWhy) {
    std::vector<WrittenRecord> records;
    std::string text;
    // A picture becomes a record file of a graphic record and its picture.
    ASSERT_EQ(Run("_IGIF.dll", Write("logo.gif", talix_test::GifPicture(24, 12)), &records, &text), NOERROR) << text;
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].signature, 0x0099);
    EXPECT_EQ(HostWord(records[1].host, 24), 24);   // a bitmap header of the picture's size
    EXPECT_EQ(HostWord(records[1].host, 26), 12);
    records.clear();
    EXPECT_EQ(Run("_IGIF", Write("fake.gif", "plain text, not a picture"), &records, &text), ERR_NOT_A_PICTURE);
    EXPECT_EQ(text, "The file is not a GIF picture");
    EXPECT_EQ(Run("_IJPEG", Write("fake.jpg", talix_test::GifPicture(2, 2)), &records, &text), ERR_NOT_A_PICTURE);
    EXPECT_EQ(text, "The file is not a JPEG picture");
    EXPECT_EQ(Run("_IPNG", dir_.file("missing.png"), &records, &text), ERR_DISK_FILE_OPEN);
    EXPECT_EQ(Run("_IOTHER", Write("letter.doc", "words"), &records, &text), ERR_NO_IMPORT_FILTER);
    EXPECT_NE(text.find("GIF, JPEG and PNG"), std::string::npos) << text;
    EXPECT_TRUE(records.empty());
    ModuleHandle module = nullptr;
    EXPECT_EQ(LibraryLoad("_INOSUCH", &module, nullptr), ERR_LIBRARY_LOAD);
}

TEST_F(ImportFilters, NotesIniListsThemUnlessItNamesTheirEntriesItself) {
    char entry[256];
    const struct {
        const char* name;
        const char* library;
        const char* extension;
    } listed[] = {{"EDITIMP96", "_IGIF", ".GIF"},
                  {"EDITIMP97", "_IJPEG", ".JPG"},
                  {"EDITIMP98", "_IPNG", ".PNG"},
                  {"EDITIMP99", "_IOTHER", ".BMP"}};
    for (const auto& each : listed) {
        ASSERT_TRUE(IniGetText(each.name, entry, sizeof entry)) << each.name;
        EXPECT_NE(std::strstr(entry, each.library), nullptr) << entry;
        EXPECT_NE(std::strstr(entry, each.extension), nullptr) << entry;
    }
    IniSet("EDITIMP96", "Mine,0,_IMINE,Mine,.GIF");
    ASSERT_TRUE(IniGetText("EDITIMP96", entry, sizeof entry));
    EXPECT_STREQ(entry, "Mine,0,_IMINE,Mine,.GIF");
    IniReload();
    EXPECT_FALSE(IniGetText("EDITIMP95", entry, sizeof entry));
}

} // namespace
