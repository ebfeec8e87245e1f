// The graphic operations: pictures and layers appended before or after a
// chunk, the graphic property codes, exporting a picture to a file, moving
// a picture's image into an attachment and back, the pixel size of a
// graphic's records and the equivalent paragraph definitions of a
// generation. Results are read back from the stored note.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/chunk_work_state.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "engine/graphic_utilities.h"
#include "engine/paragraph_equivalence.h"
#include "engine/record_process.h"
#include "graphic_fixtures.h"
#include "htmlgen/xml_gen_context.h"
#include "support/rich_text_items.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace {

using engine_test::FileHotspot;
using engine_test::Rec;
using engine_test::Records;
using engine_test::Signatures;
using graphic_test::Begin;
using graphic_test::BitmapHeader;
using graphic_test::Bytes;
using graphic_test::End;
using graphic_test::Find;
using graphic_test::GifData;
using graphic_test::GifPicture;
using graphic_test::Graphic;
using graphic_test::ImageHeader;
using graphic_test::ImageResource;
using graphic_test::ImageSegment;
using graphic_test::ItemTest;
using graphic_test::JpegData;
using talix::kSigBegin;
using talix::kSigBitmapHeader;
using talix::kSigBoxSize;
using talix::kSigEnd;
using talix::kSigGraphic;
using talix::kSigHref;
using talix::kSigImageSegment;
using talix::kSigPabDefinition;
using talix::kSigParagraph;
using talix::kSigPositioning;
using talix::kSigStorageLink;
using talix::kSigText;
using talix_test::FixtureRecord;
using talix_test::HostRecord;
using talix_test::Op;
using talix_test::Operation;

// Nodes of a record list made from host records, linked in order.
class NodeChain {
public:
    explicit NodeChain(const Records& records) : records_(records) {
        nodes_.resize(records_.size());
        for (std::size_t i = 0; i < records_.size(); ++i) {
            nodes_[i].signature = records_[i].signature;
            nodes_[i].bytes = records_[i].bytes.data();
            nodes_[i].length = static_cast<std::uint32_t>(records_[i].bytes.size());
            nodes_[i].index = static_cast<std::uint16_t>(i + 1);
            if (i > 0) {
                nodes_[i].prev = &nodes_[i - 1];
                nodes_[i - 1].next = &nodes_[i];
            }
        }
        list_.head = nodes_.empty() ? nullptr : &nodes_.front();
    }
    const talix::CDRecordNode* at(std::size_t i) const { return &nodes_[i]; }
    talix::ItemRecordList* list() { return &list_; }

private:
    Records records_;
    std::vector<talix::CDRecordNode> nodes_;
    talix::ItemRecordList list_;
};

std::pair<int, int> PixelSize(const Records& records, std::uint16_t width = 0, std::uint16_t height = 0) {
    NodeChain chain(records);
    EXPECT_EQ(talix::GetGraphicPixelSize(chain.at(0), &width, &height), 0);
    return {width, height};
}

TEST(GraphicPixelSize, ComesFromTheFirstSizeRecordOrTheImageData) {
    using Size = std::pair<int, int>;
    // No size records at all, and the caller's non-zero values kept.
    EXPECT_EQ(PixelSize({Graphic(), ImageResource("x.gif")}), Size(100, 100));
    EXPECT_EQ(PixelSize({Graphic()}, 7, 0), Size(7, 100));
    // A resized graphic's destination size; a bitmap header's size.
    EXPECT_EQ(PixelSize({Graphic(40, 30, 1), BitmapHeader(64, 32)}), Size(40, 30));
    EXPECT_EQ(PixelSize({Graphic(40, 30, 0), BitmapHeader(64, 32)}), Size(64, 32));
    // The data of a segment: a GIF of 300 x 2, a JPEG whose frame header
    // follows an application segment.
    EXPECT_EQ(PixelSize({Graphic(), ImageSegment(GifData(300, 2, 40))}), Size(300, 2));
    EXPECT_EQ(PixelSize({Graphic(), ImageSegment(JpegData(640, 480))}), Size(640, 480));
    // Segments whose lengths say 0 or 1 do not stop the scan from moving.
    Bytes stuck = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x00, 0xFF, 0xE2, 0x00, 0x01};
    stuck.resize(64, 0xFF);
    EXPECT_EQ(PixelSize({Graphic(), ImageSegment(stuck)}), Size(100, 100));
    // The records of the next picture are not this one's.
    EXPECT_EQ(PixelSize({Graphic(), Graphic(), BitmapHeader(64, 32)}), Size(100, 100));

    std::uint16_t width = 0;
    NodeChain chain({Graphic()});
    EXPECT_EQ(talix::GetGraphicPixelSize(chain.at(0), &width, nullptr), 1028);
}

// Definitions of ids 1 to count, each with a left margin of its own (so
// that none is like another), flagged with the left-offset extension.
Records DistinctDefinitions(int count) {
    Records records;
    for (int id = 1; id <= count; ++id) {
        FixtureRecord definition = HostRecord(kSigPabDefinition, 72);
        talix_test::PutWord(&definition, 4, static_cast<std::uint16_t>(id));
        talix_test::PutWord(&definition, 14, static_cast<std::uint16_t>(id * 10));
        talix_test::PutWord(&definition, 68, 0x0004);
        records.push_back(definition);
    }
    return records;
}

// The remap's pairs, in order.
std::vector<std::pair<std::uint16_t, std::uint16_t>> Pairs(const talix::GenerationWalkState* generation) {
    if (generation->remap == nullptr) return {};
    return generation->remap->pairs;
}

using IdPairs = std::vector<std::pair<std::uint16_t, std::uint16_t>>;

TEST(CollectPabDefinitions, PairsDefinitionsThatRenderAlikeHoweverMany) {
    auto context = std::make_unique<talix::RecordProcessContext>();
    auto generation = std::make_unique<talix::XMLGenContext>();

    // The 257th definition, like the first, maps onto it too.
    Records records = DistinctDefinitions(256);
    FixtureRecord twin = records[0];
    talix_test::PutWord(&twin, 4, 300);
    records.push_back(twin);
    records[2].bytes = records[0].bytes;   // definition 3 like definition 1
    talix_test::PutWord(&records[2], 4, 3);
    NodeChain chain(records);
    context->records = chain.list();
    talix::CollectPabDefinitions(context.get(), generation.get());
    EXPECT_EQ(Pairs(generation.get()), (IdPairs{{3, 1}, {300, 1}}));
    EXPECT_EQ(talix::RemappedPabId(generation.get(), 300), 1);
    EXPECT_EQ(talix::RemappedPabId(generation.get(), 2), 2);

    // Hidden paragraphs are alike only when the flags need not agree.
    Records hidden = DistinctDefinitions(2);
    hidden[1].bytes = hidden[0].bytes;
    talix_test::PutWord(&hidden[1], 4, 2);
    talix_test::PutWord(&hidden[1], 62, 0x0800);
    NodeChain hiddenChain(hidden);
    context->records = hiddenChain.list();
    talix::CollectPabDefinitions(context.get(), generation.get());
    EXPECT_EQ(Pairs(generation.get()), (IdPairs{{2, 1}}));
    generation->options = talix::kGenParagraphFlagsAgree;
    talix::CollectPabDefinitions(context.get(), generation.get());
    EXPECT_EQ(Pairs(generation.get()), IdPairs{});
    generation->options = 0;

    // Left offsets: equal ones agree, and ones below an inch whose
    // below-an-inch bits agree; an id maps where its earliest pair says,
    // also when a later definition of the id is like an earlier one first.
    auto offset = [](std::uint16_t id, std::uint16_t twips, std::uint16_t bit) {
        FixtureRecord definition = HostRecord(kSigPabDefinition, 92);
        talix_test::PutWord(&definition, 4, id);
        talix_test::PutWord(&definition, 68, static_cast<std::uint16_t>(0x0004 | bit));
        talix_test::PutWord(&definition, 72, twips);
        return definition;
    };
    NodeChain offsets({offset(1, 100, 0), offset(2, 200, 0x100), offset(3, 300, 0), offset(4, 200, 0),
                       offset(5, 1500, 0), offset(6, 1500, 0x100), offset(7, 1600, 0), offset(8, 250, 0x100),
                       offset(7, 90, 0), offset(9, 1500, 0)});
    context->records = offsets.list();
    talix::CollectPabDefinitions(context.get(), generation.get());
    EXPECT_EQ(Pairs(generation.get()), (IdPairs{{3, 1}, {4, 1}, {7, 1}, {8, 2}, {6, 5}, {9, 5}}));

    // An extension word whose bit is clear is not compared; with its bit
    // set, two positive values that differ keep the definitions apart.
    auto extended = [&](std::uint16_t id, std::uint16_t bits, std::uint16_t percent) {
        FixtureRecord definition = offset(id, 100, bits);
        talix_test::PutWord(&definition, 74, percent);
        return definition;
    };
    NodeChain words({extended(1, 0, 10), extended(2, 0, 20), extended(3, 0x08, 10), extended(4, 0x08, 20),
                     extended(5, 0x08, 10)});
    context->records = words.list();
    talix::CollectPabDefinitions(context.get(), generation.get());
    EXPECT_EQ(Pairs(generation.get()), (IdPairs{{2, 1}, {5, 3}}));

    // Fifty thousand alike definitions, and as many that are not.
    Records alike = DistinctDefinitions(1);
    for (int i = 1; i < 50000; ++i) {
        alike.push_back(alike[0]);
        talix_test::PutWord(&alike.back(), 4, static_cast<std::uint16_t>(i + 1));
    }
    NodeChain alikeChain(alike);
    context->records = alikeChain.list();
    talix::CollectPabDefinitions(context.get(), generation.get());
    ASSERT_NE(generation->remap, nullptr);
    EXPECT_EQ(generation->remap->pairs.size(), 49999u);
    EXPECT_EQ(talix::RemappedPabId(generation.get(), 50000), 1);
    Records distinct;
    for (int i = 0; i < 50000; ++i) {
        FixtureRecord definition = HostRecord(kSigPabDefinition, 72);
        talix_test::PutWord(&definition, 4, static_cast<std::uint16_t>(i + 1));
        talix_test::PutWord(&definition, 14, static_cast<std::uint16_t>(i));
        talix_test::PutWord(&definition, 68, 0x0004);
        distinct.push_back(definition);
    }
    NodeChain distinctChain(distinct);
    context->records = distinctChain.list();
    talix::CollectPabDefinitions(context.get(), generation.get());
    EXPECT_EQ(Pairs(generation.get()), IdPairs{});
    talix::ReleasePabRemap(generation.get());
}

class GraphicOperationTest : public ItemTest {};

// "a", a GIF of 320 x 200, "b", a resized bitmap of 2 x 1 inches, a
// reference to a JPEG image resource, "c".
Records ThreePictures(const Bytes& gif) {
    Records body = engine_test::Runs({"a"});
    for (const FixtureRecord& record : GifPicture(gif, 320, 200)) body.push_back(record);
    body.push_back(engine_test::Text("b"));
    for (const FixtureRecord& record :
         {Begin(kSigGraphic), Graphic(2880, 1440, 1, 0x02), BitmapHeader(64, 32), End(kSigGraphic)})
        body.push_back(record);
    for (const FixtureRecord& record :
         {Begin(kSigGraphic), Graphic(), ImageHeader(2, 0, 0, 0, 0), ImageResource("logo.jpg"), End(kSigGraphic)})
        body.push_back(record);
    body.push_back(engine_test::Text("c"));
    return body;
}

TEST_F(GraphicOperationTest, PropertyCodesReportSizeFormatUnitAndStorage) {
    const Bytes gif = GifData(320, 200, 300);
    ASSERT_NE(Open(ThreePictures(gif)), nullptr);

    EXPECT_EQ(Get("Graphic 1", talix::kOpGetGraphicWidth, 0, 3), "320");
    EXPECT_EQ(Get("Graphic 1", talix::kOpGetGraphicHeight, 0, 3), "200");
    EXPECT_EQ(Get("Graphic 1", talix::kOpGetGraphicRatio, 0, 3), "1.6000");
    EXPECT_EQ(Get("Graphic 1", talix::kOpGetGraphicUnit), "pixels");
    EXPECT_EQ(Get("Graphic 1", talix::kOpGetGraphicFormat), "GIF");
    EXPECT_EQ(Get("Graphic 1", talix::kOpGetImageInPixels), "FALSE");
    EXPECT_EQ(Get("Graphic 1", talix::kOpGetGraphicStorage), "Inline");
    const std::string offset = Get("Graphic 1", talix::kOpGetGraphicOffset);
    EXPECT_EQ(offset.rfind("0.", 0), 0u) << offset;
    const std::string name = Get("Graphic 1", talix::kOpGetGraphicName);
    EXPECT_EQ(name.rfind("_1_", 0), 0u) << name;
    EXPECT_EQ(name.find_first_of("abcdef"), std::string::npos) << name;

    // A resized graphic answers from its own record, in inches.
    EXPECT_EQ(Get("Graphic 2", talix::kOpGetGraphicWidth, 0, 3), "2.000");
    EXPECT_EQ(Get("Graphic 2", talix::kOpGetGraphicHeight, 0, 3), "1.000");
    EXPECT_EQ(Get("Graphic 2", talix::kOpGetGraphicUnit), "inches");
    EXPECT_EQ(Get("Graphic 2", talix::kOpGetGraphicFormat), "Notes Bitmap");
    EXPECT_EQ(Get("Graphic 2", talix::kOpGetGraphicRatio, 0, 3), "2.0000");
    EXPECT_EQ(Get("Graphic 2", talix::kOpGetGraphicStorage), "Undetermined");

    EXPECT_EQ(Get("Graphic 3", talix::kOpGetGraphicFormat), "JPEG Image Resource");
    EXPECT_EQ(Get("Graphic 3", talix::kOpGetGraphicOffset), "logo.jpg");
    EXPECT_EQ(Get("Graphic 3", talix::kOpGetGraphicName), "logo.jpg");
    EXPECT_EQ(Get("Graphic 3", talix::kOpGetGraphicStorage), "Image Resource");

    // Get codes change nothing.
    EXPECT_EQ(item_.modified, 0);
}

TEST_F(GraphicOperationTest, SettingTheSizeRewritesOnlyTheGraphicRecord) {
    ASSERT_NE(Open(ThreePictures(GifData(320, 200, 300))), nullptr);
    ZervaRTChunk* chunk = Chunk("Graphic 2");
    chunk->work->sizeInPixels = 1;
    EXPECT_EQ(talix_test::RunOperation(chunk, Op(talix::kOpSetGraphicHeight, 0, 120)), 0);
    EXPECT_EQ(Run("Graphic 1", Op(talix::kOpSetGraphicWidth, 0, 0)), 0);
    EXPECT_EQ(Run("Graphic 1", Op(talix::kOpSetImageInPixels, 0, 1)), 0);
    const std::vector<Rec> records = Saved();
    const Rec* first = Find(records, kSigGraphic);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Word(8), 0);
    EXPECT_EQ(first->Word(24), 0);
    EXPECT_EQ(first->bytes[27], 0x01);
    const Rec* second = Find(records, kSigGraphic, static_cast<std::size_t>(first - records.data()) + 1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->Word(8), 2880);
    EXPECT_EQ(second->Word(10), 120);
    EXPECT_EQ(second->Word(24), 1);
    EXPECT_EQ(second->bytes[27], 0x03);   // in pixels; the wrap flag stays
    EXPECT_EQ(Get("Graphic 2", talix::kOpGetGraphicHeight, 0, 3), "120");
}

std::string LastHostMessage;
void RecordHostMessage(const char* text, plat::WORD) { LastHostMessage = text; }

TEST_F(GraphicOperationTest, ExportWritesTheImageDataToAFileNamedForItsType) {
    const Bytes gif = GifData(320, 200, 25000);
    Records body = engine_test::Runs({"a"});
    // 25,000 bytes in segments of 10,240, 10,240 and 4,520 bytes.
    Records picture = {Begin(kSigGraphic), Graphic(), ImageHeader(1, 320, 200, 25000, 3)};
    for (std::size_t start = 0; start < gif.size(); start += 10240) {
        const std::size_t end = std::min(gif.size(), start + 10240);
        picture.push_back(ImageSegment(Bytes(gif.begin() + start, gif.begin() + end)));
    }
    picture.push_back(End(kSigGraphic));
    body.insert(body.end(), picture.begin(), picture.end());
    body.push_back(engine_test::Text("b"));
    for (const FixtureRecord& record : {Begin(kSigGraphic), Graphic(), BitmapHeader(64, 32), End(kSigGraphic)})
        body.push_back(record);
    ASSERT_NE(Open(body), nullptr);
    talix_test::TempDir dir;

    const std::string named = dir.file("picture.JPG");
    EXPECT_EQ(Run("Graphic 1", Op(talix::kOpExportGraphic, 0, 0, named.c_str())), 0);
    EXPECT_EQ(talix_test::ReadFile(named), std::string(gif.begin(), gif.end()));
    EXPECT_STREQ(session_.messageBuffer, "");

    // Without a name: the item's default file name, ".cd" replaced.
    const std::string base = dir.file("default.cd");
    ASSERT_EQ(item_.SetPropertyText("ImportExportFile", base.c_str(), static_cast<std::uint16_t>(base.size())), 1);
    EXPECT_EQ(Run("Graphic 1", Op(talix::kOpExportGraphic)), 0);
    EXPECT_EQ(talix_test::ReadFile(dir.file("default.gif")).size(), gif.size());
    const std::string plain = dir.file("plain");
    EXPECT_EQ(Run("Graphic 1", Op(talix::kOpExportGraphic, 0, 0, plain.c_str())), 0);
    EXPECT_TRUE(std::filesystem::exists(plain + ".gif"));

    // A bitmap is refused with its message; a chunk without a picture too.
    plat::RegisterMessageProc(RecordHostMessage);
    ZervaRTChunk* bitmap = Chunk("Graphic 2");
    EXPECT_EQ(talix_test::RunOperation(bitmap, Op(talix::kOpExportGraphic, 0, 0, dir.file("bitmap.gif").c_str())), 259);
    plat::RegisterMessageProc(nullptr);
    EXPECT_EQ(bitmap->errorWord, 20034);
    EXPECT_EQ(LastHostMessage,
              "TALIX: ExportGraphic method for bitmaps requires Notes 6.0.2 or later, and appropriate Talix version");
    EXPECT_FALSE(std::filesystem::exists(dir.file("bitmap.gif")));
    EXPECT_EQ(Run("Text 1", Op(talix::kOpExportGraphic, 0, 0, dir.file("none.gif").c_str())), 1028);
}

// A PNG picture (image type 4) is exported as a .png file, under a name
// that ends in ".png" as given.
TEST_F(GraphicOperationTest, APngIsExportedAsAPngFile) {
    const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 1, 2, 3, 4, 5, 6, 7};
    Records body = {Begin(kSigGraphic), Graphic(), ImageHeader(4, 30, 20, static_cast<std::uint32_t>(png.size()), 1),
                    ImageSegment(png), End(kSigGraphic)};
    ASSERT_NE(Open(body), nullptr);
    talix_test::TempDir dir;
    const std::string plain = dir.file("plain");
    EXPECT_EQ(Run("Graphic 1", Op(talix::kOpExportGraphic, 0, 0, plain.c_str())), 0);
    EXPECT_EQ(talix_test::ReadFile(plain + ".png"), std::string(png.begin(), png.end()));
    EXPECT_FALSE(std::filesystem::exists(plain + ".jpg"));
    const std::string named = dir.file("named.PNG");
    EXPECT_EQ(Run("Graphic 1", Op(talix::kOpExportGraphic, 0, 0, named.c_str())), 0);
    EXPECT_EQ(talix_test::ReadFile(named), std::string(png.begin(), png.end()));
}

TEST_F(GraphicOperationTest, StorageMovesTheImageIntoAnAttachmentAndInlineBringsItBack) {
    const Bytes gif = GifData(320, 200, 301);
    Records body = engine_test::Runs({"a"});
    const Records picture = GifPicture(gif, 320, 200);
    body.insert(body.end(), picture.begin(), picture.end());
    body.push_back(engine_test::Text("b"));
    ASSERT_NE(Open(body), nullptr);
    const std::vector<Rec> before = Saved();

    EXPECT_EQ(Run("Graphic 1", Op(talix::kOpSetGraphicStorage, 0, 0, "storage")), 0);
    std::vector<Rec> records = Saved();
    ASSERT_GE(records.size(), 9u);
    EXPECT_EQ(Signatures(records, 3), (std::vector<std::uint16_t>{kSigBegin, kSigGraphic, kSigStorageLink,
                                                                  kSigBitmapHeader, kSigEnd, kSigText, kSigText}));
    EXPECT_EQ(records[8].bytes, before[8].bytes);
    EXPECT_EQ(records[5].Word(4), 1);                                    // an attachment
    EXPECT_EQ(records[5].Text(10, 24), "Graphic");
    EXPECT_EQ(records[6].Word(24), 320);
    EXPECT_EQ(records[6].Word(26), 200);
    EXPECT_FALSE(Attachment("Graphic").empty());
    EXPECT_EQ(Get("Graphic 1", talix::kOpGetGraphicStorage), "Storage Link Attachment");

    // Back inline: the same records as before.
    EXPECT_EQ(Run("Graphic 1", Op(talix::kOpSetGraphicStorage, 0, 0, "inline")), 0);
    records = Saved();
    ASSERT_EQ(records.size(), before.size() + 1);   // and the empty run that ends a rebuilt item
    for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(records[i].bytes, before[i].bytes) << i;

    // The next move takes the next free name.
    EXPECT_EQ(Run("Graphic 1", Op(talix::kOpSetGraphicStorage, 0, 0, "storage")), 0);
    records = Saved();
    const Rec* link = Find(records, kSigStorageLink);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->Text(10, 24), "Graphic0");
}

TEST_F(GraphicOperationTest, FileHotspotsGiveTheirAttachmentAndTheSumOfTheirSizes) {
    Records body = engine_test::Runs({"a"});
    body.push_back(FileHotspot("one.txt"));
    body.push_back(engine_test::Text("one"));
    body.push_back(HostRecord(0xAA, 2));
    body.push_back(FileHotspot("two.txt"));
    body.push_back(engine_test::Text("two"));
    body.push_back(HostRecord(0xAA, 2));
    ASSERT_NE(Open(body), nullptr);
    talix_test::TempDir dir;
    for (const auto& [file, size] : {std::pair{"one.txt", 10}, std::pair{"two.txt", 25}}) {
        std::FILE* out = std::fopen(dir.file(file).c_str(), "wb");
        ASSERT_NE(out, nullptr);
        std::fwrite(std::string(size, 'x').data(), 1, size, out);
        std::fclose(out);
        ASSERT_EQ(plat::NoteAttachFile(item_.noteHandle, "$FILE", 5, dir.file(file).c_str(), file,
                                       plat::ATTACH_DEFAULT),
                  plat::NOERROR);
    }
    EXPECT_EQ(Get("Everything", talix::kOpGetAttachmentSizes, 2629, 3), "35");
    EXPECT_EQ(Get("Everything", talix::kOpFindHotspotAttachment, 2621), "one.txt");
    EXPECT_NE(session_.workArea->attachmentBlock.block, 0u);
}

TEST_F(GraphicOperationTest, PicturesAndLayersAreAppendedAroundTheChunk) {
    ZervaRTChunk* chunk = Open(engine_test::Runs({"a"}));
    ASSERT_NE(chunk, nullptr);
    Operation url = Op(talix::kOpAppendGraphic, 2, 0, "http://example.com/logo.gif");
    url.second = "WrapText=WRAP_AROUND Caption=''";
    EXPECT_EQ(talix_test::RunOperation(chunk, url), 0);
    std::vector<Rec> records = Saved();
    ASSERT_GE(records.size(), 10u);
    EXPECT_EQ(Signatures(records, 2), (std::vector<std::uint16_t>{kSigText, kSigText, kSigBegin, kSigGraphic,
                                                                  kSigStorageLink, kSigBitmapHeader, 0xDF, kSigEnd,
                                                                  kSigText}));
    EXPECT_EQ(records[3].bytes.size(), 8u);          // an empty run first
    EXPECT_EQ(records[5].bytes[27], 0x02);           // text wraps round it
    EXPECT_EQ(records[6].Word(4), 4);                // a URL
    EXPECT_EQ(records[6].Text(10, 24), "http://example.com/logo.gif");
    EXPECT_EQ(records[7].Word(24), 100);
    EXPECT_EQ(records[7].Word(26), 100);

    // An image resource named with a query part, appended before the item's
    // first record: a paragraph and an empty run come first.
    char name[] = "logo.gif?Open";
    chunk = Open(engine_test::Runs({"a"}));
    chunk->appendAtEnd = 0;
    EXPECT_EQ(talix_test::RunOperation(chunk, Op(talix::kOpAppendGraphicReference, 3, 19, name)), 0);
    EXPECT_STREQ(name, "logo.gif?Open");
    records = Saved();
    EXPECT_EQ(records[0].signature, kSigParagraph);
    EXPECT_EQ(records[1].signature, kSigText);
    const Rec* resource = Find(records, kSigHref);
    ASSERT_NE(resource, nullptr);
    EXPECT_EQ(resource->Text(12, 36), "logo.gif");

    // A layer at the position auto;150px;250px;auto.
    chunk = Open(engine_test::Runs({"a"}));
    Operation layer = Op(talix::kOpAppendLayer, 5, 0, "Text='inside'");
    layer.second = "auto;150px;250px;auto";
    EXPECT_EQ(talix_test::RunOperation(chunk, layer), 0);
    records = Saved();
    const Rec* position = Find(records, kSigPositioning);
    const Rec* box = Find(records, kSigBoxSize);
    ASSERT_NE(position, nullptr);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(position->Dword(4), 5u);
    EXPECT_EQ(position->Word(8) & 1, 1);             // top: auto
    EXPECT_EQ(position->bytes[24], 0);
    EXPECT_EQ(position->Double(40), 150.0);          // left: 150 pixels
    EXPECT_EQ(position->bytes[48], 2);
    EXPECT_EQ(box->Double(16), 250.0);               // width: 250 pixels
    EXPECT_EQ(box->Word(32) & 1, 1);                 // height: auto
}

TEST(RealGraphics, EveryGraphicReportsItsSizeAndFormatAndAnImageResourceExportsItsData) {
    talix_test::TempDir dir;
    const std::string path = dir.file("real.nsf");
    plat::DBHANDLE db = 0;
    ASSERT_EQ(plat::DbCreate(path.c_str(), &db), plat::NOERROR);
    int graphics = 0;
    std::vector<std::pair<plat::NOTEID, std::string>> items;
    plat::NOTEID imageResource = 0;
    for (const std::filesystem::path& file : talix_test::SampleAndSharedDxlFiles()) {
        plat::DxlImportResult result;
        if (plat::DxlImportFile(db, file.string().c_str(), &result) != plat::NOERROR) continue;
        for (plat::NOTEID id : result.notes) {
            plat::NOTEHANDLE note = 0;
            if (plat::NoteOpen(db, id, 0, &note) != plat::NOERROR) continue;
            for (const std::string& name : talix_test::RichTextItemNames(note)) items.emplace_back(id, name);
            plat::NoteClose(note);
            if (file.filename() == "imageres-untitled2.xml") imageResource = id;
        }
    }
    plat::DbClose(db);

    const std::set<std::string> formats = {"GIF", "JPEG", "Notes Bitmap", "GIF Image Resource",
                                           "JPEG Image Resource", "GIF Image Resource (formula)",
                                           "JPEG Image Resource (formula)"};
    for (const auto& [id, name] : items) {
        RARIvoSession session;
        ZervaRTItem item(&session);
        if (item.Connect("", path.c_str(), id, name.c_str(), 0) != 0) continue;
        for (int n = 1;; ++n) {
            const std::string definition = "Graphic " + std::to_string(n);
            ZervaRTChunk* chunk = item.DefineChunk(definition.c_str());
            ASSERT_NE(chunk, nullptr);
            if (chunk->Exists() == 0) break;
            ++graphics;
            session.messageBuffer[0] = '\0';
            EXPECT_EQ(talix_test::RunOperation(chunk, Op(talix::kOpGetGraphicFormat)), 0);
            const std::string format = session.messageBuffer;
            EXPECT_EQ(formats.count(format), 1u) << format;
            // A reference to an image resource may carry no size of its
            // own; a picture with its data or a bitmap always does.
            if (format.find("Image Resource") != std::string::npos) continue;
            for (talix::OperationCode code : {talix::kOpGetGraphicHeight, talix::kOpGetGraphicWidth}) {
                session.optionValue[4096] = '\0';
                EXPECT_EQ(talix_test::RunOperation(chunk, Op(code)), 0);
                EXPECT_GT(std::atof(session.optionValue + 4096), 0.0) << name << " " << definition;
            }
        }
    }
    EXPECT_GT(graphics, 0);

    // The image resource's picture, exported, is exactly its image data.
    ASSERT_NE(imageResource, 0u);
    RARIvoSession session;
    ZervaRTItem item(&session);
    ASSERT_EQ(item.Connect("", path.c_str(), imageResource, "$ImageData", 0), 0);
    talix::STATUS status = 0;
    talix::ItemRecordList* list = talix::SIAR(&item, 0, nullptr, 0, 0, 0, nullptr, &status);
    ASSERT_NE(list, nullptr);
    std::string data;
    for (const talix::CDRecordNode* node = list->head; node != nullptr; node = node->next) {
        if (node->signature == kSigImageSegment)
            data.append(reinterpret_cast<const char*>(node->bytes) + 12, talix::ReadWord(node->bytes + 8));
    }
    talix::DeleteItemRecordList(&session, list);
    const std::string file = dir.file("resource.gif");
    ZervaRTChunk* chunk = item.DefineChunk("Graphic 1");
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(talix_test::RunOperation(chunk, Op(talix::kOpExportGraphic, 0, 0, file.c_str())), 0);
    EXPECT_FALSE(data.empty());
    EXPECT_EQ(talix_test::ReadFile(file), data);
}

} // namespace
