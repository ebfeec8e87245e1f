// Passes over stored records (item text, file-resource data, check text)
// and attachment look-ups by file name.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/attachments.h"
#include "core/walkers.h"
#include "support/record_fixture.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace {

using talix_test::FixtureRecord;
using talix_test::HostRecord;
using talix_test::TextRecord;

class Walkers : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(plat::DbCreate(dir_.file("w.nsf").c_str(), &db_), 0);
        ASSERT_EQ(plat::NoteCreate(db_, &note_), 0);
    }
    void TearDown() override {
        for (plat::NOTEHANDLE note : {other_, note_}) {
            if (note != 0) plat::NoteClose(note);
        }
        plat::DbClose(db_);
    }
    // The result of MeasureItemContent as a string; its status in *status.
    std::string Measure(const char* name, int paragraphFlag, int mode, talix::STATUS* status) {
        char* text = nullptr;
        std::uint32_t length = 0xFFFF;
        *status = talix::MeasureItemContent(note_, name, &text, &length, paragraphFlag, mode);
        if (text == nullptr) return "<null>";
        EXPECT_EQ(text[length], '\0');
        std::string result(text, length);
        std::free(text);
        return result;
    }
    // Adds a "$FILE" item holding bytes under a stored name, as the
    // platform stores attachments.
    void Attach(plat::NOTEHANDLE note, const std::string& name, const std::string& bytes, plat::DWORD recordedSize) {
        plat::DWORD object = 0;
        ASSERT_EQ(plat::DbAllocObject(db_, static_cast<plat::DWORD>(bytes.size()), plat::OBJECT_CLASS_FILE, &object), 0);
        ASSERT_EQ(plat::DbWriteObjectBytes(db_, object, bytes.data(), 0, static_cast<plat::DWORD>(bytes.size())), 0);
        std::uint8_t descriptor[40] = {};
        std::memcpy(descriptor + 4, &object, 4);
        std::uint16_t nameLength = static_cast<std::uint16_t>(name.size());
        std::memcpy(descriptor + 8, &nameLength, 2);
        std::memcpy(descriptor + 20, &recordedSize, 4);
        std::string value(plat::StructStoredLength(58), '\0');
        void* dst = value.data();
        ASSERT_EQ(plat::StructWrite(&dst, 58, descriptor), 0);
        value += name;
        ASSERT_EQ(plat::ItemAppend(note, plat::ITEM_SUMMARY, "$FILE", 5, plat::TYPE_OBJECT, value.data(),
                                   static_cast<plat::DWORD>(value.size())), 0);
    }
    std::string Content(plat::NOTEHANDLE note, const char* name) {
        char* data = nullptr;
        std::uint32_t size = 0;
        if (talix::ReadAttachmentToMemory(note, name, &data, &size) != 0) return "<none>";
        std::string result(data, size);
        EXPECT_EQ(data[size], '\0');
        std::free(data);
        return result;
    }

    talix_test::TempDir dir_;
    plat::DBHANDLE db_ = 0;
    plat::NOTEHANDLE note_ = 0;
    plat::NOTEHANDLE other_ = 0;
};

FixtureRecord Paragraph() { return HostRecord(0x0081, 2); }

// A file header recording the file's size, and a file segment of data.
FixtureRecord FileHeader(std::uint32_t size) {
    FixtureRecord record = HostRecord(0x0061, 28);
    talix_test::PutDword(&record, 12, size);
    return record;
}
FixtureRecord FileSegment(const std::string& data) {
    FixtureRecord record = HostRecord(0x0060, static_cast<std::uint32_t>(20 + data.size()));
    talix_test::PutWord(&record, 8, static_cast<std::uint16_t>(data.size()));
    std::memcpy(record.bytes.data() + 20, data.data(), data.size());
    return record;
}

TEST_F(Walkers, ItemTextJoinsTheRunsOfEveryItem) {
    ASSERT_EQ(talix_test::StoreRichTextItem(note_, "Body", {Paragraph(), TextRecord(0, "ab")}), 0);
    ASSERT_EQ(talix_test::StoreRichTextItem(note_, "Body", {Paragraph(), TextRecord(0x0A010000, "c")}), 0);
    talix::STATUS status = 1;
    EXPECT_EQ(Measure("Body", 1, 0, &status), " ab c");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Measure("Body", 0, 0, &status), "abc");
    EXPECT_EQ(Measure("Missing", 1, 0, &status), "");
    EXPECT_EQ(status, 0);

    ASSERT_EQ(plat::ItemSetText(note_, "Subject", "text", 4), 0);
    Measure("Subject", 0, 0, &status);
    EXPECT_EQ(status, talix::kOperationFailed);
    std::string damaged("\x85\xFF\x40\x00", 4);
    ASSERT_EQ(plat::ItemAppend(note_, 0, "Bad", 3, plat::TYPE_COMPOSITE, damaged.data(), 4), 0);
    EXPECT_EQ(Measure("Bad", 0, 0, &status), "<null>");
    EXPECT_EQ(status, talix::kOperationFailed);
    EXPECT_EQ(talix::MeasureItemContent(note_, "Body", nullptr, nullptr, 0, 0), talix::kOutOfMemory);
}

TEST_F(Walkers, FileResourceDataIsReadAndExported) {
    const std::string first(3000, 'x'), second = "the end";
    ASSERT_EQ(talix_test::StoreRichTextItem(note_, "$FileData", {FileHeader(3007), FileSegment(first)}), 0);
    ASSERT_EQ(talix_test::StoreRichTextItem(note_, "$FileData", {FileSegment(second)}), 0);
    talix::STATUS status = 1;
    EXPECT_EQ(Measure("$FileData", 0, 1, &status), first + second);
    EXPECT_EQ(status, 0);

    std::string path = dir_.file("out.bin");
    EXPECT_EQ(talix::ExportFileData(note_, path.c_str()), 0);
    EXPECT_EQ(talix_test::ReadFile(path), first + second);
    EXPECT_EQ(talix::ExportFileData(note_, ""), talix::kOperationFailed);
    EXPECT_EQ(talix::ExportFileData(note_, dir_.file("no/such/dir/out.bin").c_str()), talix::kOperationFailed);

    // Without a file header there is no data; a header that records less
    // than the segments hold bounds what is read.
    ASSERT_EQ(talix_test::StoreRichTextItem(note_, "NoHeader", {FileSegment(second)}), 0);
    EXPECT_EQ(Measure("NoHeader", 0, 1, &status), "");
    ASSERT_EQ(talix_test::StoreRichTextItem(note_, "Short", {FileHeader(4), FileSegment(second)}), 0);
    EXPECT_EQ(Measure("Short", 0, 1, &status), "the ");
}

TEST_F(Walkers, CheckTextHoldsTheRightmostDigitsOfLengthAndSums) {
    // Three values of 123,456 bytes in all (data-type words included).
    std::vector<std::string> values = {std::string(48998, '\0'), std::string(48998, '\0'), std::string(25454, '\0')};
    unsigned long long sum = 0, weighted = 0;
    for (std::size_t v = 0; v < values.size(); ++v) {
        for (std::size_t i = 0; i < values[v].size(); ++i) values[v][i] = static_cast<char>((i * 31 + v) % 251);
        ASSERT_EQ(plat::ItemAppend(note_, 0, "Body", 4, plat::TYPE_COMPOSITE, values[v].data(),
                                   static_cast<plat::DWORD>(values[v].size())), 0);
        std::string stored = "\x01" + std::string(1, '\0') + values[v];
        for (std::size_t i = 0; i < stored.size(); ++i) {
            unsigned byte = static_cast<unsigned char>(stored[i]);
            sum += byte;
            if (v == 0) weighted += byte * (i & 127);
        }
    }
    auto rightmost = [](unsigned long long n, std::size_t width) {
        std::string digits = std::to_string(n);
        if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
        return digits.substr(digits.size() - width);
    };
    char out[32];
    ASSERT_EQ(talix::FormatItemCRC(note_, "Body", out, sizeof out, 4, 5), 0);
    EXPECT_EQ(std::string(out), "3456" + rightmost(sum, 5) + rightmost(weighted, 5));
    ASSERT_EQ(talix::FormatItemCRC(note_, "Body", out, sizeof out, 8, 0), 0);
    EXPECT_EQ(std::string(out), "00123456");
    ASSERT_EQ(talix::FormatItemCRC(note_, "Body", out, sizeof out, 0, 3), 0);
    EXPECT_EQ(std::string(out), "000000");
    EXPECT_EQ(talix::FormatItemCRC(note_, "Body", out, 9, 4, 3), talix::kArgumentError);
    EXPECT_EQ(std::string(out), "");
}

TEST_F(Walkers, AttachmentsAreFoundByTheirWholeNameIgnoringCase) {
    Attach(note_, "report.pdf", "PDF bytes", 9);
    Attach(note_, "report.pdf.bak", "old", 3);
    Attach(note_, "Notes.TXT", "", 0);

    char name[64] = {};
    EXPECT_EQ(talix::GetAttachmentStoredName(note_, "Report.PDF", name, sizeof name), 0);
    EXPECT_STREQ(name, "report.pdf");
    EXPECT_EQ(talix::GetAttachmentStoredName(note_, "notes.txt", name, 4), 0);
    EXPECT_STREQ(name, "Not");
    EXPECT_EQ(talix::GetAttachmentStoredName(note_, "report", name, sizeof name), talix::kItemNotFound);

    EXPECT_EQ(Content(note_, "REPORT.PDF"), "PDF bytes");
    EXPECT_EQ(Content(note_, "report.pdf.BAK"), "old");
    EXPECT_EQ(Content(note_, "notes.txt"), "");
    EXPECT_EQ(Content(note_, "report.pd"), "<none>");

    plat::BLOCKID value;
    ASSERT_EQ(talix::FindAttachmentItem(note_, "report.pdf.bak", &value, 1), 0);
    const auto* bytes = static_cast<const char*>(plat::BlockLock(value));
    EXPECT_EQ(std::string(bytes + 2 + plat::StructStoredLength(58), 14), "report.pdf.bak");
    plat::BlockUnlock(value);

    std::uint32_t size = 0;
    Attach(note_, "claims.bin", "four", 4000);
    EXPECT_EQ(talix::GetAttachmentSize(db_, note_, "CLAIMS.bin", &size, 0), 0);
    EXPECT_EQ(size, 4000u);
    EXPECT_EQ(talix::GetAttachmentSize(db_, note_, "CLAIMS.bin", &size, 1), 0);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(talix::GetAttachmentSize(db_, note_, "missing", &size, 0), talix::kItemNotFound);
    EXPECT_EQ(talix::GetAttachmentSize(db_, note_, "missing", nullptr, 0), 0);

    char buffer[8] = "NOTES.T";
    EXPECT_EQ(talix::FindAttachmentName(note_, buffer, sizeof buffer, 0), 0);
    std::strcpy(buffer, "");
    EXPECT_EQ(talix::FindAttachmentName(note_, buffer, sizeof buffer, 0), 0);
    EXPECT_EQ(talix::FindAttachmentName(note_, buffer, sizeof buffer, 1), 1);
    EXPECT_STREQ(buffer, "report.");   // the first attachment's name, cut to the buffer
}

TEST_F(Walkers, ImportedAttachmentsFromRealNotesAreReadable) {
    plat::DxlImportResult imported;
    ASSERT_EQ(plat::DxlImportFile(db_, (talix_test::SampleDxlDir() / "form-testls.xml").string().c_str(), &imported), 0);
    ASSERT_EQ(imported.notes.size(), 1u);
    ASSERT_EQ(plat::NoteOpen(db_, imported.notes[0], 0, &other_), 0);
    std::string jar = Content(other_, "SomeJar.JAR");
    EXPECT_EQ(jar.size(), 3905u);
    EXPECT_EQ(jar.substr(0, 2), "PK");
    std::uint32_t size = 0;
    EXPECT_EQ(talix::GetAttachmentSize(db_, other_, "somejar.jar", &size, 0), 0);
    EXPECT_EQ(size, 3905u);

    // Copied into another note under its own name, then under free names.
    char stored[256];
    ASSERT_EQ(talix::AttachImportedFile(db_, other_, note_, "somejar.jar", stored, sizeof stored), 0);
    EXPECT_STREQ(stored, "somejar.jar");
    EXPECT_EQ(Content(note_, "somejar.jar"), jar);
    EXPECT_EQ(talix::AttachImportedFile(db_, other_, note_, "missing.jar", stored, sizeof stored), talix::kItemNotFound);
    EXPECT_STREQ(stored, "");
}

TEST_F(Walkers, CopiedAttachmentsGetTheFirstFreeName) {
    ASSERT_EQ(plat::NoteCreate(db_, &other_), 0);
    Attach(other_, "photo.jpg", "jpeg data", 9);
    const std::string longName = "a-rather-long-file-base-name.jpg";   // a base of 28 characters
    Attach(other_, longName, "long", 4);
    Attach(note_, "photo.jpg", "taken", 5);
    Attach(note_, "photo_2.jpg", "taken", 5);
    Attach(note_, longName, "taken", 5);

    char stored[256];
    ASSERT_EQ(talix::AttachImportedFile(db_, other_, note_, "PHOTO.jpg", stored, sizeof stored), 0);
    EXPECT_STREQ(stored, "PHOTO_3.jpg");
    EXPECT_EQ(Content(note_, "photo_3.jpg"), "jpeg data");
    EXPECT_EQ(Content(note_, "photo.jpg"), "taken");
    ASSERT_EQ(talix::AttachImportedFile(db_, other_, note_, longName.c_str(), stored, sizeof stored), 0);
    EXPECT_STREQ(stored, "att2.jpg");
    EXPECT_EQ(Content(note_, "att2.jpg"), "long");
    // A name longer than a stored one is cut at the end of its base.
    const std::string longest = std::string(300, 'p') + ".jpg";
    Attach(other_, longest, "longest", 7);
    ASSERT_EQ(talix::AttachImportedFile(db_, other_, note_, longest.c_str(), stored, sizeof stored), 0);
    EXPECT_EQ(std::string(stored), std::string(251, 'p') + ".jpg");
    EXPECT_EQ(Content(note_, stored), "longest");

    // The copy is a note's own attachment: its item flags are the source's
    // and its content survives the source.
    plat::WORD flags = 0;
    plat::BLOCKID item;
    ASSERT_EQ(talix::FindAttachmentItem(note_, "att2.jpg", &item, 0), 0);
    ASSERT_EQ(plat::ItemQuery(item, nullptr, 0, &flags, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(flags, plat::ITEM_SUMMARY);
    plat::BLOCKID source;
    ASSERT_EQ(talix::FindAttachmentItem(other_, longName.c_str(), &source, 0), 0);
    ASSERT_EQ(plat::NoteDetachFile(other_, source), 0);
    EXPECT_EQ(Content(note_, "att2.jpg"), "long");
}

// A name cut to fit keeps whole characters: a character beyond 16 bits
// (two units in the stored form) is kept or dropped whole, never halved.
TEST(FitStoredName, CutsNoCharacterInTwo) {
    std::string emoji;
    for (int i = 0; i < 100; ++i) emoji += "\xF0\x9F\x98\x80";
    for (const std::string& base : {emoji, "a" + emoji, "ab" + emoji}) {
        const std::string fitted = talix::FitStoredName(plat::NativeToLmbcs(base + ".txt"), 255);
        EXPECT_LE(fitted.size(), 255u);
        const std::string back = plat::LmbcsToNative(fitted);
        EXPECT_EQ(back.find("\xEF\xBF\xBD"), std::string::npos) << back;   // no U+FFFD
        ASSERT_GT(back.size(), 4u);
        EXPECT_EQ(back.substr(back.size() - 4), ".txt");
        EXPECT_EQ(base.compare(0, back.size() - 4, back, 0, back.size() - 4), 0) << back;
    }
}

} // namespace
