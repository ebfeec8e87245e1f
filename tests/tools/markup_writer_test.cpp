// The program's markup writer: pieces of text in the platform's character
// set, cut anywhere, come out as the UTF-8 of the whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <fstream>
#include <string>

#include "core/replacing_file.h"
#include "support/test_support.h"
#include "talix_platform.h"
#include "tools/markup_writer.h"

namespace {

// What the writer makes of the text handed on in pieces of the given size.
std::string WrittenInPieces(const std::string& text, std::size_t piece, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return "<cannot write " + path + ">";
    talix_cli::MarkupWriter writer(file);
    for (std::size_t at = 0; at < text.size(); at += piece)
        writer.Write(text.data() + at, std::min(piece, text.size() - at));
    writer.Finish();
    const bool failed = writer.failed();
    std::fclose(file);
    return failed ? "<failed>" : talix_test::ReadFile(path);
}

TEST(MarkupWriter, PiecesCutAnywhereComeOutAsTheWhole) {
    talix_test::TempDir dir;
    const std::string path = dir.file("out.html");
    // Characters of one, two and three bytes, the two halves of a character
    // beyond 16 bits, controls and plain runs long and short.
    const std::string native = "<p>caf\xC3\xA9 \xE2\x82\xAC 5 \xE2\x84\xA2\t\xF0\x9F\x98\x80 " + std::string(40, 'x') +
                               "\xCE\xB1\xCE\xB2</p>\n";
    const std::string text = plat::NativeToLmbcs(native);
    ASSERT_NE(text.size(), native.size());
    for (std::size_t piece = 1; piece <= text.size(); ++piece)
        ASSERT_EQ(WrittenInPieces(text, piece, path), native) << "pieces of " << piece;
    // Much more than the writer holds before it writes.
    std::string large;
    while (large.size() < 300000) large += text;
    EXPECT_EQ(WrittenInPieces(large, 65000, path), plat::LmbcsToNative(large));
    // One piece larger than the writer converts at a time, and one larger
    // than all it holds: the characters it cuts there come out whole.
    EXPECT_EQ(WrittenInPieces(large, large.size(), path), plat::LmbcsToNative(large));
    std::string huge;
    while (huge.size() < 3000000) huge += large;
    EXPECT_EQ(WrittenInPieces(huge, huge.size(), path), plat::LmbcsToNative(huge));

    // A character cut by the last piece is written as it stands.
    const std::string cut = text.substr(0, text.find('\x14') + 2);
    EXPECT_EQ(WrittenInPieces(cut, 3, path), plat::LmbcsToNative(cut));
}

TEST(MarkupWriter, TellsOfAFileThatTakesNothing) {
    talix_test::TempDir dir;
    const std::string path = dir.file("kept.html");
    std::ofstream(path) << "kept";
    std::FILE* readOnly = std::fopen(path.c_str(), "rb");
    ASSERT_NE(readOnly, nullptr);
    talix_cli::MarkupWriter writer(readOnly);
    writer.Write("<p>text</p>", 11);
    writer.Finish();
    EXPECT_TRUE(writer.failed());
    std::fclose(readOnly);
    EXPECT_EQ(talix_test::ReadFile(path), "kept");

    // Text written before the writer turns to another file goes to the first.
    const std::string first = dir.file("first.html"), second = dir.file("second.html");
    std::FILE* a = std::fopen(first.c_str(), "wb");
    std::FILE* b = std::fopen(second.c_str(), "wb");
    ASSERT_TRUE(a != nullptr && b != nullptr);
    talix_cli::MarkupWriter moving(a);
    moving.Write("one \x82", 5);
    moving.SetFile(b);
    moving.Write("two", 3);
    moving.Finish();
    std::fclose(a);
    std::fclose(b);
    EXPECT_FALSE(moving.failed());
    EXPECT_EQ(talix_test::ReadFile(first), "one \xC3\xA9");
    EXPECT_EQ(talix_test::ReadFile(second), "two");
}

TEST(MarkupWriter, ManyBlocksPassedOnToTheDiskLandWholeUnderTheName) {
    talix_test::TempDir dir;
    const std::string path = dir.file("big.html");
    std::string piece;
    for (int i = 0; piece.size() < 60000; ++i) piece += "<p>paragraph " + std::to_string(i) + " caf\x82</p>\n";
    std::string native;
    // A new name, then the same name again over the file it now has.
    for (int round = 0; round < 2; ++round) {
        talix::ReplacingFile output;
        ASSERT_TRUE(output.Open(path, "wb"));
        talix_cli::MarkupWriter writer;
        writer.SetFile(output.file(), &output);
        native.clear();
        // About 4 MB: several blocks handed to the disk before the end.
        for (int i = 0; i < 64 + round; ++i) {
            writer.Write(piece.data(), piece.size());
            native += plat::LmbcsToNative(piece);
        }
        writer.Finish();
        ASSERT_FALSE(writer.failed());
        ASSERT_TRUE(output.Commit());
        EXPECT_EQ(talix_test::ReadFile(path), native) << "round " << round;
    }
    // Nothing but the file is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
}

} // namespace
