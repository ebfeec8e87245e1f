// The imports of the append family run as the chunk methods run them: text
// files, pictures through an import filter, record files, HTML, file
// attachments with their hotspot, and image resources made inline.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/attachments.h"
#include "core/record_forms.h"
#include "core/session_work_area.h"
#include "edit_fixture.h"
#include "support/op_runner.h"
#include "support/record_fixture.h"
#include "talix/chunk.h"
#include "talix_platform.h"

namespace {

namespace fs = std::filesystem;
using engine_test::FontTable;
using engine_test::Rec;
using talix::ReadDword;
using talix::ReadWord;
using talix_test::FixtureRecord;
using talix_test::HostRecord;
using talix_test::Op;
using talix_test::Operation;

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// A record file: the word 1, then the records (host and stored forms are the
// same for the records used here), each padded to even length.
std::string RecordFile(const engine_test::Records& records) {
    std::string file("\x01\x00", 2);
    for (const FixtureRecord& record : records) {
        file.append(reinterpret_cast<const char*>(record.bytes.data()), record.bytes.size());
        if (record.bytes.size() % 2 != 0) file.push_back('\0');
    }
    return file;
}

class ImportOperations : public engine_test::EditTest {
protected:
    void SetUp() override {
        plat::IniSet("$TalixTempDirectory", (temp_.path().string() + "/").c_str());
        session_.SetUp();
    }
    void TearDown() override {
        for (const char* name : {"$TalixTempDirectory", "EDITIMP1", "LibraryDirectory"}) plat::IniSet(name, "");
        session_.SetUp();
    }
    Operation Import(const std::string& path, const char* type,
                     talix::OperationCode code = talix::kOpAppendImportFile) {
        path_ = path;
        Operation operation = Op(code, 0, 0, path_.c_str());
        operation.second = type;
        return operation;
    }
    // The files left in the temporary directory.
    std::size_t TemporaryFiles() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(temp_.path()), fs::directory_iterator()));
    }

    talix_test::TempDir temp_;
    talix_test::TempDir files_;
    std::string path_;
};

TEST_F(ImportOperations, TextFilesComeInLineByLine) {
    ZervaRTChunk* chunk = Open(engine_test::Runs({"Start"}));
    const std::string text = files_.file("lines.txt");
    WriteBytes(text, std::string(300, 'a') + "\r\nsecond\n");
    // A line length of 0 is not usable: lines of 132 characters are taken.
    ASSERT_EQ(talix_test::RunOperation(chunk, Import(text, "ZervaText LineLength=0 .TXT")), 0);
    const std::vector<Rec> records = Saved();
    EXPECT_EQ(engine_test::NonEmptyTexts(records),
              (std::vector<std::string>{"Start", std::string(132, 'a'), std::string(132, 'a'), std::string(36, 'a'),
                                        "second"}));

    // A missing file: 259, the error word 20032, the item as it was.
    const std::vector<std::string> before = db_.Stored(id_);
    EXPECT_EQ(talix_test::RunOperation(chunk, Import(files_.file("none.txt"), "Zerva.txt")), talix::kNoHtmlInput);
    EXPECT_EQ(chunk->errorWord, talix::kErrImportFileMissing);
    EXPECT_EQ(db_.Stored(id_), before);

    // No way to read the file: 1028 with the error word 20014.
    EXPECT_EQ(talix_test::RunOperation(chunk, Import(text, "Unknown")), talix::kArgumentError);
    EXPECT_EQ(chunk->errorWord, talix::kErrConversion);
}

TEST_F(ImportOperations, APictureThroughItsFilterIsAGraphicWithAllItsBytesInSegments) {
    fs::copy_file(TALIX_TEST_FILTER_PATH, files_.path() / "_IJPEG.so");
    plat::IniSet("LibraryDirectory", files_.path().c_str());
    plat::IniSet("EDITIMP1", "JPEG Image,0,_IJPEG.dll,JPEG Image,.JPG");
    std::string jpeg(12000, '\x5A');
    jpeg[0] = '\xFF';
    jpeg[1] = '\xD8';
    const std::string picture = files_.file("photo.jpg");
    WriteBytes(picture, jpeg);

    ZervaRTChunk* chunk = Open(engine_test::Runs({"Start"}));
    Operation operation = Import(picture, nullptr);
    operation.a5 = 1;   // a graphic, as AppendGraphic asks
    operation.options = "AltText='A photo'";
    ASSERT_EQ(talix_test::RunOperation(chunk, operation), 0);
    EXPECT_EQ(TemporaryFiles(), 0u);

    const std::vector<Rec> records = Saved();
    std::vector<std::uint16_t> picturePart;
    std::string data;
    for (const Rec& record : records) {
        if (record.signature == 0xFF85 || record.signature == 0xFF82 || record.signature == 0x83) continue;
        picturePart.push_back(record.signature);
        if (record.signature == 0x7C)
            data.append(record.bytes.begin() + 12, record.bytes.begin() + 12 + record.Word(8));
        if (record.signature == 0x99) EXPECT_EQ(record.bytes[26], 2);
        if (record.signature == 0x7D) {
            EXPECT_EQ(record.Word(8), 2);
            EXPECT_EQ(ReadDword(record.bytes.data() + 16), 12000u);
        }
        if (record.signature == 0xFFCA)
            EXPECT_EQ(std::string(record.bytes.begin() + 12, record.bytes.end()), "A photo");
    }
    EXPECT_EQ(picturePart, (std::vector<std::uint16_t>{0xDD, 0x99, 0x7D, 0x7C, 0x7C, 0xFFCA, 0xDE}));
    EXPECT_EQ(data, jpeg);

    // A filter that does not load: refused, and the record file made for it
    // is gone too.
    plat::IniSet("EDITIMP1", "JPEG Image,0,_NOSUCH.dll,JPEG Image,.JPG");
    EXPECT_NE(talix_test::RunOperation(chunk, operation), 0);
    EXPECT_EQ(TemporaryFiles(), 0u);

    // A temporary folder that is not there: no record file, a failure.
    plat::IniSet("EDITIMP1", "JPEG Image,0,_IJPEG.dll,JPEG Image,.JPG");
    plat::IniSet("$TalixTempDirectory", (temp_.path().string() + "/gone/").c_str());
    session_.SetUp();
    EXPECT_EQ(talix_test::RunOperation(chunk, operation), talix::kOperationFailed);
}

TEST_F(ImportOperations, RecordFilesTakeTheItemsFacesAndParagraphIdsAboveItsBase) {
    // The note's own table has face 5 as "Arial Narrow"; the file's face 5
    // is "Courier New".
    id_ = db_.AddNote(engine_test::Runs({"Start"}));
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    ASSERT_EQ(plat::DbOpen(db_.path().c_str(), &db), plat::NOERROR);
    ASSERT_EQ(plat::NoteOpen(db, id_, 0, &note), plat::NOERROR);
    ASSERT_EQ(talix_test::StoreRichTextItem(note, "$Fonts", {FontTable(5, "Arial Narrow")}), plat::NOERROR);
    ASSERT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
    plat::NoteClose(note);
    plat::DbClose(db);
    ASSERT_EQ(item_.Connect("", db_.path().c_str(), id_, "Body", 0), 0);
    ZervaRTChunk* chunk = item_.DefineChunk("Everything");

    const std::string file = files_.file("converted.cd");
    WriteBytes(file, RecordFile({FontTable(5, "Courier New"), engine_test::Definition(1, 720),
                                 engine_test::ReferenceTo(1), talix_test::TextRecord(0x0A000005, "mono"),
                                 talix_test::TextRecord(0x0A000003, "plain")}));
    session_.workArea->copy.paragraphIdBase = 3;   // as operation 37 leaves it
    ASSERT_EQ(talix_test::RunOperation(chunk, Import(file, "")), 0);

    const std::vector<Rec> records = Saved();
    std::vector<std::uint16_t> ids;
    char face[64] = {};
    for (const Rec& record : records) {
        if (record.signature == 0xFF82 && record.Word(14) == 720) ids.push_back(record.Word(4));
        if (record.signature == 0x83) ids.push_back(record.Word(2));
        if (record.Text() == "mono") ASSERT_EQ(item_.FindFaceByID(record.bytes[4], face), 1);
        if (record.Text() == "plain") EXPECT_EQ(record.bytes[4], 3);
    }
    EXPECT_STREQ(face, "Courier New");
    EXPECT_NE(std::find(ids.begin(), ids.end(), 129), ids.end());
    EXPECT_EQ(std::count(ids.begin(), ids.end(), 1), 1);   // the item's own reference
    EXPECT_EQ(ids.size(), 3u);

    // A file without a font table keeps the note's faces: the first file's
    // mapping is not applied to it.
    const std::string plain = files_.file("plain.cd");
    WriteBytes(plain, RecordFile({talix_test::TextRecord(0x0A000005, "narrow")}));
    ASSERT_EQ(talix_test::RunOperation(chunk, Import(plain, "")), 0);
    for (const Rec& record : Saved())
        if (record.Text() == "narrow") ASSERT_EQ(item_.FindFaceByID(record.bytes[4], face), 1);
    EXPECT_STREQ(face, "Arial Narrow");
}

// A record file that cannot be taken is refused for what is wrong with it:
// only a file that is not there is a missing one. Nothing of a refused file
// lands, and paragraph ids never wrap round onto the item's own.
TEST_F(ImportOperations, RecordFilesThatCannotBeTakenAreRefusedWithTheirReason) {
    ZervaRTChunk* chunk = Open(engine_test::Runs({"Start"}));
    const std::vector<std::string> before = db_.Stored(id_);
    talix_test::g_messages.clear();
    plat::RegisterMessageProc(talix_test::CollectMessage);
    const auto refused = [&](const std::string& bytes, std::uint16_t base) {
        const std::string file = files_.file("refused.cd");
        WriteBytes(file, bytes);
        session_.workArea->copy.paragraphIdBase = base;
        talix_test::g_messages.clear();
        return talix_test::RunOperation(chunk, Import(file, ""));
    };
    const auto said = [](const std::string& part) {
        return talix_test::g_messages.size() == 1 && talix_test::g_messages[0].find(part) != std::string::npos;
    };
    const std::string definition = RecordFile({engine_test::Definition(20, 720), engine_test::ReferenceTo(20),
                                               talix_test::TextRecord(0x0A000000, "moved")});

    EXPECT_EQ(talix_test::RunOperation(chunk, Import(files_.file("none.cd"), "")), 15154);
    EXPECT_EQ(chunk->errorWord, talix::kErrImportFileMissing);

    // A record longer than the rest of the file.
    EXPECT_NE(refused(definition.substr(0, definition.size() - 3), 3), 0);
    EXPECT_EQ(chunk->errorWord, talix::kErrConversion);
    EXPECT_TRUE(said("refused.cd': The record file is cut short")) << ::testing::PrintToString(talix_test::g_messages);

    // A record longer than an item's record may be.
    EXPECT_EQ(refused(RecordFile({talix_test::TextRecord(0x0A000000, std::string(65000, 'a'))}), 3),
              talix::kArgumentError);
    EXPECT_EQ(chunk->errorWord, talix::kErrConversion);
    EXPECT_TRUE(said("of 65008 bytes, more than the 64382 bytes")) << ::testing::PrintToString(talix_test::g_messages);

    // Ids moved above an item's ids near the top: 20 + 65,400 + 125 would
    // wrap round to 9.
    EXPECT_EQ(refused(definition, 65400), talix::kArgumentError);
    EXPECT_EQ(chunk->errorWord, talix::kErrConversion);
    EXPECT_TRUE(said("paragraph id 20, moved above the item's paragraph ids, would pass the last paragraph id, 65535"))
        << ::testing::PrintToString(talix_test::g_messages);
    EXPECT_EQ(db_.Stored(id_), before);

    // Ids that still fit are moved up to the last one; a file without
    // paragraph ids comes in whatever the item's ids.
    EXPECT_EQ(refused(definition, 65390), 0);
    EXPECT_EQ(refused(RecordFile({talix_test::TextRecord(0x0A000000, "plain")}), 65535), 0);
    plat::RegisterMessageProc(nullptr);
    EXPECT_TRUE(talix_test::g_messages.empty());
    std::vector<std::uint16_t> ids;
    for (const Rec& record : Saved()) {
        if (record.signature == 0xFF82) ids.push_back(record.Word(4));
        if (record.signature == 0x83) ids.push_back(record.Word(2));
    }
    EXPECT_EQ(std::count(ids.begin(), ids.end(), 65535), 2) << ::testing::PrintToString(ids);
    EXPECT_EQ(engine_test::NonEmptyTexts(Saved()), (std::vector<std::string>{"Start", "moved", "plain"}));
}

TEST_F(ImportOperations, HtmlIsParsedAndItsFailuresReported) {
    ZervaRTChunk* chunk = Open(engine_test::Runs({"Start"}));
    const std::vector<std::string> before = db_.Stored(id_);
    EXPECT_EQ(talix_test::RunOperation(chunk, Op(talix::kOpAppendHtml, 3, 0, "<p>Hello</p>")), 0);
    EXPECT_EQ(chunk->errorWord, 0);
    // A parse error imports nothing; no text is no input.
    EXPECT_EQ(talix_test::RunOperation(chunk, Op(talix::kOpAppendHtml, 3, 0, "<p>Hello<!-- unclosed")),
              talix::kHtmlTreeLost);
    EXPECT_EQ(chunk->errorWord, talix::kErrConversion);
    EXPECT_EQ(talix_test::RunOperation(chunk, Op(talix::kOpAppendHtml, 3, 0, nullptr)), talix::kNoHtmlInput);
    EXPECT_EQ(chunk->errorWord, talix::kErrImportFileMissing);
    EXPECT_EQ(talix_test::RunOperation(chunk, Op(talix::kOpAppendHtml, 3, 0, "<img src=\"http://h/a.gif\">")),
              talix::kRenderingSkipped);
    EXPECT_EQ(chunk->errorWord, talix::kRenderingSkipped);
    EXPECT_EQ(db_.Stored(id_), before);
    // The URL kind does nothing.
    EXPECT_EQ(talix_test::RunOperation(chunk, Op(talix::kOpAppendHtml, 2, 0, "http://x")), 0);
    EXPECT_EQ(chunk->errorWord, 0);
}

TEST_F(ImportOperations, FileAttachmentsGetAFreeNameAndAHotspotWithTheirIcon) {
    ZervaRTChunk* chunk = Open(engine_test::Runs({"Start"}));
    const std::string file = files_.file("report.txt");
    WriteBytes(file, "contents");
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(talix_test::RunOperation(chunk, Import(file, nullptr, talix::kOpAppendFileAttachment)), 0);
    for (const char* name : {"report.txt", "Att0.txt", "Att1.txt"}) {
        plat::BLOCKID found;
        EXPECT_EQ(talix::FindAttachmentItem(item_.noteHandle, name, &found, 0), 0) << name;
    }

    std::vector<Rec> records = Saved();
    std::vector<std::string> names;
    std::size_t icons = 0;
    for (const Rec& record : records) {
        if (record.signature == 0xFFA9) {
            EXPECT_EQ(record.Word(4), 4);
            names.emplace_back(reinterpret_cast<const char*>(record.bytes.data() + 16));
            EXPECT_STREQ(reinterpret_cast<const char*>(record.bytes.data() + 17 + names.back().size()), "report.txt");
        }
        if (record.signature == 0x7D && record.Word(10) == 23 && record.Word(12) == 32) ++icons;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"report.txt", "Att0.txt", "Att1.txt"}));
    EXPECT_EQ(icons, 3u);
    EXPECT_EQ(engine_test::Count(records, 0xAA), 3u);
    EXPECT_EQ(engine_test::NonEmptyTexts(records).back(), " - report.txt");

    // Already attached, without a picture and with a text: no new attachment,
    // no icon, no caption.
    Operation bare = Import(file, "shown.txt", talix::kOpAppendFileAttachment);
    bare.options = "AlreadyAttached=yes UseGraphic= UseText='see here'";
    ASSERT_EQ(talix_test::RunOperation(chunk, bare), 0);
    plat::BLOCKID found;
    EXPECT_EQ(talix::FindAttachmentItem(item_.noteHandle, "shown.txt", &found, 0), talix::kItemNotFound);
    records = Saved();
    EXPECT_EQ(engine_test::NonEmptyTexts(records).back(), "see here");
    EXPECT_EQ(engine_test::Count(records, 0x7D), 3u);

    // A file that cannot be attached writes nothing.
    const std::vector<std::string> before = db_.Stored(id_);
    EXPECT_NE(talix_test::RunOperation(chunk, Import(files_.file("none.txt"), nullptr, talix::kOpAppendFileAttachment)),
              0);
    EXPECT_EQ(db_.Stored(id_), before);
}

TEST_F(ImportOperations, AnImageResourceMadeInlineBringsItsOwnImageRecords) {
    ZervaRTChunk* chunk = Open(engine_test::Runs({"Start"}));
    ZervaRTItem* resource = session_.CreateDesignElement("Image Resource", "", db_.path().c_str(), "logo.gif", "");
    ASSERT_NE(resource, nullptr);
    FixtureRecord graphic = HostRecord(0x99, 32), header = HostRecord(0x7D, 32), segment = HostRecord(0x7C, 12 + 20);
    graphic.bytes[26] = 2;
    talix_test::PutWord(&header, 8, 1);
    talix_test::PutDword(&header, 16, 20);
    talix_test::PutDword(&header, 20, 1);
    talix_test::PutWord(&segment, 8, 20);
    talix_test::PutWord(&segment, 10, 20);
    plat::ItemDelete(resource->noteHandle, "$ImageData", 10);
    ASSERT_EQ(talix_test::StoreRichTextItem(resource->noteHandle, "$ImageData", {graphic, header, segment}), 0);
    ASSERT_EQ(resource->Save(), 0);
    delete resource;

    Operation operation = Op(talix::kOpAppendGraphicReference, 3, 19, "logo.gif?OpenImageResource");
    operation.second = "MakeInLine=Yes ImageWidth=7 AltText='Logo'";
    ASSERT_EQ(talix_test::RunOperation(chunk, operation), 0);
    std::vector<std::uint16_t> picture;
    for (const Rec& record : Saved()) {
        if (record.signature == 0xFF85 || record.signature == 0xFF82 || record.signature == 0x83 ||
            record.signature == 0x81)
            continue;
        picture.push_back(record.signature);
        if (record.signature == 0x7D) EXPECT_EQ(record.Word(10), 7);
    }
    EXPECT_EQ(picture, (std::vector<std::uint16_t>{0xDD, 0x99, 0x7D, 0x7C, 0xFFCA, 0xDE}));
}

} // namespace
