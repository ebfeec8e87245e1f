// Appending a text file as paragraphs through the record output of a run.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "builders/basic_builders.h"
#include "builders/build_context.h"
#include "core/item_work_state.h"
#include "core/record_io.h"
#include "support/record_fixture.h"
#include "support/test_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

class TextFileLines : public testing::Test {
protected:
    void SetUp() override {
        plat::DBHANDLE db = 0;
        plat::NOTEHANDLE note = 0;
        plat::NOTEID id = 0;
        ASSERT_EQ(plat::DbCreate(dir_.file("t.nsf").c_str(), &db), 0);
        ASSERT_EQ(plat::NoteCreate(db, &note), 0);
        ASSERT_EQ(talix_test::StoreRichTextItem(note, "Body", {talix_test::TextRecord(0x0A000001, "x")}), 0);
        ASSERT_EQ(plat::NoteUpdate(note, 0), 0);
        ASSERT_EQ(plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id), 0);
        plat::NoteClose(note);
        plat::DbClose(db);
        ASSERT_EQ(item_.Connect("", dir_.file("t.nsf").c_str(), id, "Body", 0), 0);

        context_->session = &session_;
        context_->chunk = item_.DefineChunk("Everything");
        ASSERT_NE(context_->chunk, nullptr);
        context_->output.session = &session_;
        context_->output.item = &item_;
        const std::uint8_t paragraph[2] = {0x81, 2}, reference[4] = {0x83, 4, 1, 0};
        std::memcpy(context_->paragraphRecord, paragraph, 2);
        std::memcpy(context_->paragraphReference, reference, 4);
        ASSERT_EQ(talix::StartOutputSegment(&context_->output), 0);
    }
    void TearDown() override {
        talix::DeleteItemRecordList(&session_, item_.work->output);
        item_.work->output = nullptr;
    }

    // The output's records: a text run as its text, others as "P" and "R".
    std::vector<std::string> Output() const {
        std::vector<std::string> records;
        for (const talix::CDRecordNode* node = item_.work->output->head; node != nullptr; node = node->next) {
            if (node->signature == 0xFF85) {
                records.emplace_back(reinterpret_cast<const char*>(node->bytes) + 8, node->length - 8);
            } else {
                records.emplace_back(node->signature == 0x81 ? "P" : node->signature == 0x83 ? "R" : "?");
            }
        }
        return records;
    }

    std::string File(const std::string& content) {
        const std::string path = dir_.file("lines.txt");
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    talix_test::TempDir dir_;
    RARIvoSession session_;
    ZervaRTItem item_{&session_};
    std::unique_ptr<talix::BuildContext> context_ = std::make_unique<talix::BuildContext>();
};

TEST_F(TextFileLines, EachLineIsARunAndParagraphsStandBetweenThem) {
    EXPECT_EQ(talix::AppendTextFileLines(File("one\r\ntwo\nthree\n").c_str(), 132, context_.get()), 0);
    EXPECT_EQ(Output(), (std::vector<std::string>{"one", "P", "R", "two", "P", "R", "three"}));
}

TEST_F(TextFileLines, LongLinesGoOnAsTheNextLine) {
    EXPECT_EQ(talix::AppendTextFileLines(File("abcdefg\nabcd\r\nz").c_str(), 4, context_.get()), 0);
    EXPECT_EQ(Output(), (std::vector<std::string>{"abcd", "P", "R", "efg", "P", "R", "abcd", "P", "R", "z"}));
}

// The file's text is in the system's character set (UTF-8) and the runs'
// in the item's: its letters outside ASCII read back as they were, and a
// line cut at the longest length keeps its last character whole.
TEST_F(TextFileLines, TextOutsideAsciiReadsBackWhole) {
    const std::string text = "h\xC3\xA9llo \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80";
    EXPECT_EQ(talix::AppendTextFileLines(File(text + "\nz\xC3\xA9").c_str(), 132, context_.get()), 0);
    std::vector<std::string> output = Output();
    ASSERT_EQ(output.size(), 4u);
    EXPECT_EQ(plat::LmbcsToNative(output[0]), text);
    EXPECT_EQ(plat::LmbcsToNative(output[3]), "z\xC3\xA9");

    TearDown();
    ASSERT_EQ(talix::StartOutputSegment(&context_->output), 0);
    EXPECT_EQ(talix::AppendTextFileLines(File("ab\xC3\xA9\xE6\x97\xA5x").c_str(), 3, context_.get()), 0);
    output = Output();
    ASSERT_EQ(output.size(), 7u);
    EXPECT_EQ(plat::LmbcsToNative(output[0]), "ab\xC3\xA9");
    EXPECT_EQ(plat::LmbcsToNative(output[3]), "\xE6\x97\xA5");
    EXPECT_EQ(plat::LmbcsToNative(output[6]), "x");
}

TEST_F(TextFileLines, AMissingFileSetsTheChunksErrorWord) {
    EXPECT_EQ(talix::AppendTextFileLines(dir_.file("none.txt").c_str(), 132, context_.get()), talix::kNoHtmlInput);
    EXPECT_EQ(context_->chunk->errorWord, talix::kErrImportFileMissing);
    EXPECT_EQ(item_.work->output->head, nullptr);
}

} // namespace
