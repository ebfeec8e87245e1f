// The small shared services: a buffer attached as a file, directory paths
// made with their parents, where a text search matched.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/attachments.h"
#include "core/shared_services.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace {

namespace fs = std::filesystem;

TEST(SharedServices, BuffersBecomeAttachmentsOfTheNote) {
    talix_test::TempDir dir;
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    ASSERT_EQ(plat::DbCreate(dir.file("a.nsf").c_str(), &db), plat::NOERROR);
    ASSERT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
    const std::string data = "twelve bytes";
    EXPECT_EQ(talix::AttachBufferAsFile(db, note, "data.bin", data.data(), 12), 0);
    EXPECT_EQ(talix::AttachBufferAsFile(db, note, "empty.bin", nullptr, 0), 0);
    EXPECT_EQ(talix::AttachBufferAsFile(db, note, std::string(256, 'n').c_str(), data.data(), 12),
              talix::kArgumentError);
    ASSERT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);

    char* read = nullptr;
    std::uint32_t size = 0;
    ASSERT_EQ(talix::ReadAttachmentToMemory(note, "data.bin", &read, &size), 0);
    EXPECT_EQ(std::string(read, size), data);
    std::free(read);
    ASSERT_EQ(talix::GetAttachmentSize(db, note, "empty.bin", &size, 0), 0);
    EXPECT_EQ(size, 0u);
    plat::NoteClose(note);
    plat::DbClose(db);
}

TEST(SharedServices, DirectoryPathsAreMadeWithTheirMissingParents) {
    talix_test::TempDir dir;
    const std::string deep = (dir.path() / "one" / "two").string() + "\\three";
    EXPECT_EQ(talix::CreateDirectoryPath(deep.c_str()), 1);
    EXPECT_TRUE(fs::is_directory(dir.path() / "one" / "two" / "three"));
    EXPECT_EQ(talix::CreateDirectoryPath(deep.c_str()), 1);   // already there

    // A file in the way, and paths too long or empty.
    const std::string file = dir.file("plain");
    std::fclose(std::fopen(file.c_str(), "w"));
    EXPECT_EQ(talix::CreateDirectoryPath((file + "/below").c_str()), 0);
    EXPECT_EQ(talix::CreateDirectoryPath((dir.path().string() + "/" + std::string(260, 'x')).c_str()), 0);
    EXPECT_EQ(talix::CreateDirectoryPath(""), 0);
}

TEST(SharedServices, TextPositionsAreTestedByMode) {
    const talix::TextSearchOptions options;
    std::uint16_t length = 9;
    auto holds = [&](const char* text, const char* pattern, std::uint16_t mode) {
        return talix::CompareTextPosition(text, static_cast<std::uint16_t>(std::strlen(text)), pattern,
                                          static_cast<std::uint16_t>(std::strlen(pattern)), mode, options, &length);
    };
    EXPECT_EQ(holds("Report 2010", "2010", talix::kPositionEnd), 1);
    EXPECT_EQ(length, 4);
    EXPECT_EQ(holds("Report 2010", "2010", talix::kPositionStart), 0);
    EXPECT_EQ(holds("Report 2010", "Report", talix::kPositionStart), 1);
    EXPECT_EQ(holds("Report 2010", "port", talix::kPositionInside), 1);
    EXPECT_EQ(holds("Report 2010", "Report", talix::kPositionWhole), 0);
    EXPECT_EQ(holds("Report", "report", talix::kPositionWhole), 0);   // case counts unless ignored
    EXPECT_EQ(holds("Report", "none", talix::kPositionInside), 0);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(holds("Report", "none", talix::kPositionAny), 1);
    EXPECT_EQ(holds("Report", "none", 9), 1);

    talix::TextSearchOptions loose;
    loose.ignoreCase = 1;
    loose.wildcards = 1;
    EXPECT_EQ(talix::CompareTextPosition("Report", 6, "rep*", 4, talix::kPositionWhole, loose, &length), 1);
    EXPECT_EQ(length, 6);
    // An empty text is not searched and counts as matched at its start.
    EXPECT_EQ(talix::CompareTextPosition("", 0, "x", 1, talix::kPositionStart, options, &length), 1);

    // A text ends with a pattern that also occurs earlier in it.
    EXPECT_EQ(holds("banana", "na", talix::kPositionEnd), 1);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(holds("2010 Report 2010", "2010", talix::kPositionEnd), 1);
    EXPECT_EQ(holds("banana", "an", talix::kPositionEnd), 0);
    EXPECT_EQ(holds("nab", "na", talix::kPositionEnd), 0);
    // A "*" takes as much of the text as the rest of the pattern leaves.
    auto loosely = [&](const char* text, const char* pattern, std::uint16_t mode) {
        return talix::CompareTextPosition(text, static_cast<std::uint16_t>(std::strlen(text)), pattern,
                                          static_cast<std::uint16_t>(std::strlen(pattern)), mode, loose, &length);
    };
    EXPECT_EQ(loosely("banana", "b*a", talix::kPositionWhole), 1);
    EXPECT_EQ(length, 6);
    EXPECT_EQ(loosely("banana", "b*n", talix::kPositionWhole), 0);
    EXPECT_EQ(loosely("banana", "*a", talix::kPositionEnd), 1);
    EXPECT_EQ(loosely("xyy", "x*y", talix::kPositionEnd), 1);
    EXPECT_EQ(loosely("abxyy", "x*y", talix::kPositionEnd), 1);
    EXPECT_EQ(length, 3);
    EXPECT_EQ(loosely("xyyz", "x*y", talix::kPositionEnd), 0);
    EXPECT_EQ(loosely("banana", "?a", talix::kPositionEnd), 1);
}

} // namespace
