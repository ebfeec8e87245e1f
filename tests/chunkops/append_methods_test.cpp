// The appends: small appends, copies from other notes, graphics, HTML,
// hotspots, links and layers; and the removal of a chunk.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "chunk_fixture.h"
#include "core/attachments.h"
#include "core/statuses.h"
#include "core/chunk_work_state.h"
#include "core/signatures.h"
#include "support/picture_files.h"
#include "talix_platform.h"

namespace chunkops_test {
namespace {

class AppendMethodsTest : public ChunkTest {
protected:
    AppendMethodsTest() {
        g_messages.clear();
        plat::RegisterMessageProc(CollectMessage);
    }
    ~AppendMethodsTest() override { plat::RegisterMessageProc(nullptr); }

    // A note whose body holds the text "x"; item_ connected to it.
    void OpenText() {
        std::vector<talix_test::FixtureRecord> records = ParagraphStart();
        records.push_back(TextRun("x"));
        Open(NewNote(records));
    }
    std::string WriteGif(const std::string& name) {
        const std::string path = dir_.file(name);
        std::vector<char> gif(200, 0);
        std::memcpy(gif.data(), "GIF89a", 6);
        gif[6] = 4;   // 4 x 3
        gif[8] = 3;
        for (std::size_t i = 10; i < gif.size(); ++i) gif[i] = static_cast<char>(i * 7);
        std::ofstream(path, std::ios::binary).write(gif.data(), static_cast<std::streamsize>(gif.size()));
        return path;
    }
    bool NoteHolds(const char* attachment) {
        char stored[300];
        return talix::GetAttachmentStoredName(item_->noteHandle, attachment, stored, sizeof stored) == 0;
    }
};

TEST_F(AppendMethodsTest, NewLinesAndTabsOfAnyCountAreWrittenInFull) {
    OpenText();
    ZervaRTChunk* chunk = Chunk();
    EXPECT_EQ(chunk->AppendNewLines(70, 0), 0);
    EXPECT_EQ(chunk->AppendTabs(40), 0);
    EXPECT_EQ(chunk->AppendTabs(3), 0);
    EXPECT_EQ(chunk->AppendPageBreak(), 0);
    EXPECT_EQ(chunk->AppendAnchor("place", 200), 0);   // a length past the name is cut to it
    delete chunk;
    Save();
    const Body body = Stored(id_);
    ASSERT_EQ(body.problem, "");
    std::size_t newLines = 0, tabs = 0;
    for (const std::string& text : body.texts) {
        for (char c : text) {
            newLines += c == '\0' ? 1 : 0;
            tabs += c == '\t' ? 1 : 0;
        }
    }
    EXPECT_EQ(newLines, 70u);
    EXPECT_EQ(tabs, 43u);
    EXPECT_TRUE(body.Holds("place"));
}

// Any count is written in one pass over the item: runs of at most 32
// characters, one after another, where a pass a run left an empty run
// between each two (and took time growing with the square of the count).
TEST_F(AppendMethodsTest, ManyNewLinesAndTabsAreWrittenInOnePass) {
    OpenText();
    ZervaRTChunk* chunk = Chunk();
    EXPECT_EQ(chunk->AppendTabs(65535), 0);
    EXPECT_EQ(chunk->AppendNewLines(100, 1), 0);
    delete chunk;
    Save();
    const Body body = Stored(id_);
    ASSERT_EQ(body.problem, "");
    std::size_t tabs = 0, newLines = 0, shortRuns = 0, emptyRuns = 0;
    for (const std::string& text : body.texts) {
        const bool tabRun = text.find_first_not_of('\t') == std::string::npos;
        const bool lineRun = text.find_first_not_of('\0') == std::string::npos;
        if (!tabRun && !lineRun) continue;
        (tabRun ? tabs : newLines) += text.size();
        EXPECT_LE(text.size(), 32u);
        shortRuns += text.size() < 32 ? 1 : 0;
    }
    for (std::size_t i = 0; i < body.records.size() && i < body.signatures.size(); ++i)
        emptyRuns += body.signatures[i] == talix::kSigText && body.records[i].size() == 8 ? 1 : 0;
    EXPECT_EQ(tabs, 65535u);
    EXPECT_EQ(newLines, 100u);
    EXPECT_EQ(shortRuns, 2u);   // the last run of each count
    EXPECT_LE(emptyRuns, 3u);
    // The new paragraph follows the last new line.
    const std::vector<std::uint16_t>& signatures = body.signatures;
    ASSERT_GE(signatures.size(), 2u);
    EXPECT_EQ(signatures.back() == talix::kSigText ? signatures[signatures.size() - 2] : signatures.back(),
              talix::kSigPabReference);
}

TEST_F(AppendMethodsTest, ParagraphsTablePropertiesAndFieldBlocks) {
    OpenText();
    ZervaRTChunk* chunk = Chunk();
    EXPECT_EQ(chunk->AppendParagraph("LeftMargin=\"2.00\"", nullptr, "Form = \"Memo\"", 13), 0);
    EXPECT_EQ(chunk->AppendParagraph(nullptr, nullptr, "Form = (", 8), 257);
    EXPECT_EQ(chunk->lastStatus, 257);
    EXPECT_EQ(chunk->AppendTable(2, 2, 0, nullptr, nullptr), 0);
    // Blocks taken once for the chunk, freed with it (the test main
    // counts handles left over).
    EXPECT_EQ(chunk->AppendField("a", 1, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0), 0);
    EXPECT_EQ(chunk->AppendField(nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0), 0);
    delete chunk;

    ZervaRTChunk* table = Chunk("Table 1");
    char properties[] = "TableBorderColor=red BogusTail";
    EXPECT_EQ(table->ChangeTable(properties, 20), 0);
    EXPECT_STREQ(properties, "TableBorderColor=red BogusTail");
    EXPECT_EQ(table->ChangeTable(nullptr, 5), 0);
    EXPECT_EQ(table->ChangeTable(properties, 0), 0);
    EXPECT_EQ(table->HighlightText(nullptr, 0), 20017);
    delete table;
    Save();
    const Body body = Stored(id_);
    EXPECT_EQ(body.problem, "");
    EXPECT_EQ(body.Count(talix::kSigTableBegin), 1u);
}

TEST_F(AppendMethodsTest, RemoveTakesTheChunkAndLeavesTheRest) {
    OpenText();
    ZervaRTChunk* chunk = Chunk();
    ASSERT_EQ(chunk->AppendTable(2, 2, 0, nullptr, nullptr), 0);
    ASSERT_EQ(chunk->AppendText("after", 0, nullptr), 0);
    delete chunk;
    ZervaRTChunk* table = Chunk("Table 1");
    EXPECT_EQ(table->Remove(), 0);
    delete table;
    Save();
    const Body body = Stored(id_);
    EXPECT_EQ(body.problem, "");
    EXPECT_EQ(body.Count(talix::kSigTableBegin), 0u);
    EXPECT_EQ(body.Joined(), "x|after");
}

TEST_F(AppendMethodsTest, RichTextComesFromAnotherNotesChunkOrItem) {
    // The source: a note with a table.
    OpenText();
    const plat::NOTEID source = id_;
    ZervaRTChunk* chunk = Chunk();
    ASSERT_EQ(chunk->AppendTable(2, 3, 0, nullptr, nullptr), 0);
    delete chunk;
    Save();

    OpenText();
    chunk = Chunk();
    EXPECT_EQ(chunk->AppendRTChunk("", path_.c_str(), source, "Body", "Table 1", 0), 0);
    EXPECT_EQ(chunk->AppendRTChunk("", path_.c_str(), source, "Body", "Table 7", 0), 546);
    EXPECT_EQ(chunk->AppendRTChunk("", path_.c_str(), 999999, "Body", "Table 1", 0), chunk->lastStatus);
    EXPECT_NE(chunk->lastStatus, 0);
    // A missing item matches nothing; a definition that does not parse is
    // refused as the chunk's own would be.
    EXPECT_EQ(chunk->AppendRTChunk("", path_.c_str(), source, "NoSuchItem", "Table 1", 0), 546);
    EXPECT_EQ(chunk->AppendRTChunk("", path_.c_str(), source, "Body", "Bogus 1", 0), 1028);
    EXPECT_EQ(chunk->AppendRTItem("", path_.c_str(), source, "NoSuchItem"), 1028);
    EXPECT_EQ(chunk->AppendRTItem("", nullptr, source, "Body"), 20017);
    EXPECT_EQ(chunk->AppendRTItem("", path_.c_str(), source, ""), 20017);
    EXPECT_EQ(chunk->AppendRTItem("", path_.c_str(), source, "Body"), 0);
    // Design-element bodies: a missing name does nothing.
    EXPECT_EQ(chunk->AppendSubformBody(nullptr), 0);
    delete chunk;
    Save();
    const Body body = Stored(id_);
    EXPECT_EQ(body.problem, "");
    EXPECT_EQ(body.Count(talix::kSigTableBegin), 2u);
    EXPECT_EQ(body.Count(talix::kSigTableCell), 12u);
}

TEST_F(AppendMethodsTest, GraphicsAreAttachedUnderAFreeNameOrImported) {
    // Pictures are imported through the import filter of their extension.
    talix_test::TempDir library;
    std::filesystem::copy_file(TALIX_TEST_FILTER_PATH, library.path() / "_IGIF.so");
    plat::IniSet("LibraryDirectory", library.path().c_str());
    plat::IniSet("EDITIMP1", "GIF Image,0,_IGIF.dll,GIF Image,.GIF");
    OpenText();
    const std::string gif = WriteGif("a.gif");
    ASSERT_EQ(plat::NoteAttachFile(item_->noteHandle, "$FILE", 5, gif.c_str(), "a.gif", plat::ATTACH_DEFAULT), 0);
    ASSERT_EQ(plat::NoteAttachFile(item_->noteHandle, "$FILE", 5, gif.c_str(), "Att0.gif", plat::ATTACH_DEFAULT), 0);
    ZervaRTChunk* chunk = Chunk();
    EXPECT_EQ(chunk->AppendGraphic("FILE", gif.c_str(), "Attach=Yes"), 0);
    EXPECT_TRUE(NoteHolds("Att1.gif"));
    EXPECT_EQ(chunk->AppendGraphic("file", gif.c_str(), "Attach=no"), 0);
    EXPECT_FALSE(NoteHolds("Att2.gif"));
    EXPECT_EQ(chunk->AppendGraphic("ATTACHMENT", gif.c_str(), nullptr), 0);
    EXPECT_EQ(chunk->AppendGraphic("Picture", gif.c_str(), nullptr), 1028);
    EXPECT_EQ(chunk->AppendGraphic("FILE", nullptr, nullptr), 1028);
    // A file that cannot be attached: nothing attached, nothing appended.
    EXPECT_NE(chunk->AppendGraphic("FILE", dir_.file("missing.gif").c_str(), "Attach=Yes"), 0);
    EXPECT_FALSE(NoteHolds("missing.gif"));
    EXPECT_EQ(chunk->ExportGraphic(nullptr, nullptr), 1028);
    delete chunk;
    Save();
    const Body body = Stored(id_);
    EXPECT_EQ(body.problem, "");
    EXPECT_EQ(body.Count(talix::kSigGraphic), 2u);
    for (const char* name : {"EDITIMP1", "LibraryDirectory"}) plat::IniSet(name, "");
}

TEST_F(AppendMethodsTest, PicturesAreImportedOfTheirOwnSizeWithoutAnyFilterSetUp) {
    OpenText();
    const std::string gif = dir_.file("a.gif"), jpeg = dir_.file("b.jpeg"), png = dir_.file("c.png");
    const std::string pngBytes = talix_test::PngPicture(500, 48);   // three segments
    std::ofstream(gif, std::ios::binary) << talix_test::GifPicture(24, 12);
    std::ofstream(jpeg, std::ios::binary) << talix_test::JpegPicture(33, 17);
    std::ofstream(png, std::ios::binary) << pngBytes;
    ZervaRTChunk* chunk = Chunk();
    for (const std::string& path : {gif, jpeg, png}) EXPECT_EQ(chunk->AppendGraphic("FILE", path.c_str(), nullptr), 0);
    // A file of no picture kind, or of a kind nothing imports, is refused
    // with the reason.
    const std::string text = dir_.file("d.gif");
    std::ofstream(text, std::ios::binary) << "words, not a picture";
    EXPECT_NE(chunk->AppendGraphic("FILE", text.c_str(), nullptr), 0);
    EXPECT_EQ(g_messages.back(), "The file is not a GIF picture");
    const std::string bitmap = dir_.file("e.bmp");
    std::ofstream(bitmap, std::ios::binary) << "BM";
    EXPECT_NE(chunk->AppendGraphic("FILE", bitmap.c_str(), nullptr), 0);
    EXPECT_NE(g_messages.back().find("cannot import files of this kind"), std::string::npos) << g_messages.back();
    const std::string unknown = dir_.file("f.xyz");
    std::ofstream(unknown, std::ios::binary) << "?";
    EXPECT_EQ(chunk->AppendImportFile(unknown.c_str(), nullptr), talix::kArgumentError);
    EXPECT_EQ(g_messages.back(), "TALIX: No import filter for '" + unknown + "'");
    delete chunk;
    Save();

    const Body body = Stored(id_);
    EXPECT_EQ(body.problem, "");
    ASSERT_EQ(body.Count(talix::kSigImageHeader), 3u);
    const std::uint16_t sizes[3][3] = {{1, 24, 12}, {2, 33, 17}, {4, 500, 48}};   // type, width, height
    for (std::size_t n = 0; n < 3; ++n) {
        EXPECT_EQ(body.Word(talix::kSigImageHeader, n, 8), sizes[n][0]) << n;
        EXPECT_EQ(body.Word(talix::kSigImageHeader, n, 10), sizes[n][1]) << n;
        EXPECT_EQ(body.Word(talix::kSigImageHeader, n, 12), sizes[n][2]) << n;
    }
    // The PNG's bytes are its segments', whole.
    std::string segments;
    for (std::size_t i = 0; i < body.signatures.size(); ++i) {
        if (body.signatures[i] == talix::kSigImageSegment) segments += body.records[i].substr(12);
    }
    EXPECT_NE(segments.find(pngBytes), std::string::npos);
}

TEST_F(AppendMethodsTest, AnAttachedPictureTakesItsSizeFromItsFileUnlessTheOptionsGiveIt) {
    OpenText();
    const std::string gif = dir_.file("logo.gif");
    std::ofstream(gif, std::ios::binary) << talix_test::GifPicture(24, 12);
    ZervaRTChunk* chunk = Chunk();
    EXPECT_EQ(chunk->AppendGraphic("FILE", gif.c_str(), "Attach=Yes"), 0);
    EXPECT_EQ(chunk->AppendGraphic("FILE", gif.c_str(), "Attach=Yes ImageWidth=50"), 0);
    delete chunk;
    Save();
    // The file keeps its own name; the second one, that name taken, the
    // numbered one with its extension.
    EXPECT_TRUE(NoteHolds("logo.gif"));
    EXPECT_TRUE(NoteHolds("Att0.gif"));
    const Body body = Stored(id_);
    ASSERT_EQ(body.Count(talix::kSigBitmapHeader), 2u);
    EXPECT_EQ(body.Word(talix::kSigBitmapHeader, 0, 24), 24);
    EXPECT_EQ(body.Word(talix::kSigBitmapHeader, 0, 26), 12);
    EXPECT_EQ(body.Word(talix::kSigBitmapHeader, 1, 24), 50);
    EXPECT_EQ(body.Word(talix::kSigBitmapHeader, 1, 26), 12);
}

// A path is the file system's (UTF-8); the note keeps the attachment's
// name, and the picture its reference, in the platform's character set.
TEST_F(AppendMethodsTest, AnAttachedPictureNamedOutsideASCIIKeepsItsName) {
    OpenText();
    const std::string native = "Grüße Bild.gif";
    const std::string gif = dir_.file(native);
    std::ofstream(gif, std::ios::binary) << talix_test::GifPicture(24, 12);
    ZervaRTChunk* chunk = Chunk();
    EXPECT_EQ(chunk->AppendGraphic("FILE", gif.c_str(), "Attach=Yes"), 0);
    delete chunk;
    Save();
    const std::string stored = plat::NativeToLmbcs(native);
    ASSERT_NE(stored, native);
    EXPECT_TRUE(NoteHolds(stored.c_str()));
    EXPECT_FALSE(NoteHolds(native.c_str()));
    const Body body = Stored(id_);
    ASSERT_EQ(body.Count(talix::kSigStorageLink), 1u);
    for (std::size_t i = 0; i < body.signatures.size(); ++i) {
        if (body.signatures[i] == talix::kSigStorageLink)
            EXPECT_EQ(body.records[i].substr(24, body.Word(talix::kSigStorageLink, 0, 10)), stored);
    }
}

// A name longer than a stored name may be loses the end of its base, never
// its extension nor part of a character.
TEST_F(AppendMethodsTest, ALongAttachmentNameKeepsItsExtensionAndWholeCharacters) {
    OpenText();
    const std::string file = WriteGif("c.gif");
    const std::string alpha = "\x02\xD6";   // two bytes of LMBCS
    std::string greek = "ab";
    for (int i = 0; i < 200; ++i) greek += alpha;
    ZervaRTChunk* chunk = Chunk();
    const std::string pdf = std::string(300, 'n') + ".pdf";
    EXPECT_EQ(chunk->AppendFileAttachment(file.c_str(), pdf.c_str(), 0, nullptr), 0);
    EXPECT_EQ(chunk->AppendFileAttachment(file.c_str(), greek.c_str(), 0, nullptr), 0);
    EXPECT_EQ(chunk->AppendFileAttachment(file.c_str(), (greek + ".txt").c_str(), 0, nullptr), 0);
    delete chunk;
    Save();
    std::vector<talix::NoteAttachment> attachments;
    ASSERT_EQ(talix::ListAttachments(item_->noteHandle, &attachments), 0);
    ASSERT_EQ(attachments.size(), 3u);
    EXPECT_EQ(attachments[0].name, std::string(251, 'n') + ".pdf");
    std::string kept = "ab";
    for (int i = 0; i < 126; ++i) kept += alpha;
    EXPECT_EQ(attachments[1].name, kept);
    EXPECT_EQ(attachments[2].name, kept.substr(0, kept.size() - 4) + ".txt");
    // A name within the limit stays as it is.
    OpenText();
    chunk = Chunk();
    const std::string fits = std::string(251, 'm') + ".pdf";
    EXPECT_EQ(chunk->AppendFileAttachment(file.c_str(), fits.c_str(), 0, nullptr), 0);
    // A "." inside a character of several bytes is no extension's dot.
    const std::string dotted = "\x14\x33\x2E";   // U+332E, written in the Unicode group
    std::string wide = "c";
    for (int i = 0; i < 100; ++i) wide += dotted;
    EXPECT_EQ(chunk->AppendFileAttachment(file.c_str(), wide.c_str(), 0, nullptr), 0);
    delete chunk;
    EXPECT_TRUE(NoteHolds(fits.c_str()));
    ASSERT_EQ(talix::ListAttachments(item_->noteHandle, &attachments), 0);
    ASSERT_EQ(attachments.size(), 2u);
    EXPECT_EQ(attachments[1].name, wide.substr(0, 1 + 84 * 3));
}

// A file said to be attached already (AlreadyAttached=Yes) is the note's
// attachment of its name: its hotspot names that attachment, where it took
// a free name (Att0.gif) that no attachment had.
TEST_F(AppendMethodsTest, AFileAlreadyAttachedIsTheAttachmentOfItsName) {
    OpenText();
    const std::string file = WriteGif("d.gif");
    ZervaRTChunk* chunk = Chunk();
    EXPECT_EQ(chunk->AppendFileAttachment(file.c_str(), "d.gif", 0, nullptr), 0);
    EXPECT_EQ(chunk->AppendFileAttachment(file.c_str(), "d.gif", 0, "AlreadyAttached=yes"), 0);
    delete chunk;
    Save();
    std::vector<talix::NoteAttachment> attachments;
    ASSERT_EQ(talix::ListAttachments(item_->noteHandle, &attachments), 0);
    ASSERT_EQ(attachments.size(), 1u);
    EXPECT_EQ(attachments[0].name, "d.gif");
    const Body body = Stored(id_);
    EXPECT_EQ(body.problem, "");
    EXPECT_EQ(body.Count(talix::kSigHotspotBegin), 2u);
    EXPECT_FALSE(body.Holds("Att0"));
}

TEST_F(AppendMethodsTest, AGraphicWithEveryNumberedNameTakenIsRefused) {
    OpenText();
    const std::string gif = WriteGif("b.gif");
    ASSERT_EQ(plat::NoteAttachFile(item_->noteHandle, "$FILE", 5, gif.c_str(), "b.gif", plat::ATTACH_DEFAULT), 0);
    for (int n = 0; n < 1000; ++n) {
        const std::string name = "Att" + std::to_string(n) + ".gif";
        ASSERT_EQ(plat::NoteAttachFile(item_->noteHandle, "$FILE", 5, gif.c_str(), name.c_str(),
                                       plat::ATTACH_DEFAULT),
                  0);
    }
    ZervaRTChunk* chunk = Chunk();
    EXPECT_EQ(chunk->AppendGraphic("FILE", gif.c_str(), "Attach=Yes"), 1028);
    delete chunk;
    Save();
    const Body body = Stored(id_);
    EXPECT_EQ(body.Count(talix::kSigGraphic), 0u);
    EXPECT_EQ(body.Joined(), "x");
}

TEST_F(AppendMethodsTest, HTMLKindsAndTheConversionsFailureWord) {
    OpenText();
    ZervaRTChunk* chunk = Chunk();
    EXPECT_EQ(chunk->AppendHTML("url", "http://example.org/", nullptr), 0);
    EXPECT_EQ(chunk->AppendHTML("Markup", "<p>a</p>", nullptr), 1028);
    // Nothing of a document the parser found errors in lands.
    EXPECT_EQ(chunk->AppendHTML("Inline", "<p>a<!-- b</p>", nullptr), 257);
    EXPECT_EQ(chunk->errorWord, 20014);
    delete chunk;
    EXPECT_EQ(TextOf("Everything", ""), "x");
    chunk = Chunk();
    EXPECT_EQ(chunk->AppendHTML("Inline", "<p>a</p>", nullptr), 0);
    EXPECT_EQ(chunk->errorWord, 0);
    delete chunk;
}

TEST_F(AppendMethodsTest, HotspotsCarryTheirCodeOrAreRefused) {
    OpenText();
    ZervaRTChunk* chunk = Chunk();
    EXPECT_EQ(chunk->AppendHotspot("BUTTON LOTUSSCRIPT", "Print 1", 7, nullptr, "Press", 5), 0);
    EXPECT_EQ(chunk->AppendHotspot("ACTION FORMULA", "@Command([FileSave])", 0, nullptr, nullptr, 0), 0);
    EXPECT_EQ(chunk->AppendHotspot("POPUP JAVASCRIPT", "alert(1)", 8, nullptr, "p", 1), 1028);
    ASSERT_FALSE(g_messages.empty());
    EXPECT_EQ(g_messages.back(), "Talix: Error in argument #1");
    EXPECT_EQ(chunk->errorWord, 20017);
    EXPECT_EQ(chunk->AppendHotspot("SUBFORM", "\"Sub\"", 5, nullptr, "s", 1), 1028);
    EXPECT_EQ(g_messages.back(), "Talix: Attempt to add subform to data document failed");
    // An action or a button with no code to run: written, it held neither
    // its code nor its text.
    for (const char* kind : {"BUTTON TEXT", "ACTION TEXT", "ACTION FILEUPLOAD", "BUTTON SUBFORM"}) {
        chunk->errorWord = 0;
        EXPECT_EQ(chunk->AppendHotspot(kind, "code", 4, nullptr, "Codeless", 8), 1028) << kind;
        EXPECT_EQ(g_messages.back(), "Talix: Error in argument #1") << kind;
        EXPECT_EQ(chunk->errorWord, 20017) << kind;
    }
    EXPECT_EQ(chunk->AppendHotspot("FILEUPLOAD", nullptr, 0, nullptr, "u", 1), 1028);
    EXPECT_EQ(chunk->AppendHotspot("LINK", nullptr, 0, nullptr, "l", 1), 1028);
    EXPECT_EQ(chunk->AppendHotspot("ACTION FORMULA", "Form = (", 8, nullptr, "a", 1), 1028);
    EXPECT_EQ(chunk->errorWord, 20017);
    // Code the text result cannot hold after the builder's bytes is refused.
    const std::string longCode(65500, 'a');
    EXPECT_EQ(chunk->AppendHotspot("BUTTON JAVASCRIPT", longCode.c_str(), 65500, nullptr, "j", 1), 1028);
    EXPECT_EQ(chunk->AppendHotspot("BUTTON JAVASCRIPT", longCode.c_str(), 60000, nullptr, "j", 1), 0);
    // Code the text result holds but no record can is refused with the
    // reason, not left to fail as a damaged record: the script's event
    // frame counts.
    chunk->errorWord = 0;
    EXPECT_EQ(chunk->AppendHotspot("BUTTON LOTUSSCRIPT", longCode.c_str(), 64000, nullptr, "Big", 3), 1028);
    EXPECT_EQ(chunk->errorWord, 20017);
    EXPECT_NE(g_messages.back().find("The hotspot's code is "), std::string::npos) << g_messages.back();
    EXPECT_NE(g_messages.back().find("with its event frame, and its record holds at most 64366"), std::string::npos)
        << g_messages.back();
    EXPECT_EQ(chunk->AppendHotspot("BUTTON JAVASCRIPT", longCode.c_str(), 64364, nullptr, "j", 1), 1028);
    EXPECT_EQ(chunk->AppendHotspot("BUTTON JAVASCRIPT", longCode.c_str(), 64363, nullptr, "j", 1), 0);
    delete chunk;
    Save();
    const Body body = Stored(id_);
    EXPECT_EQ(body.problem, "");
    EXPECT_TRUE(body.Holds("'++LotusScript Development Environment:2:5:(Options):0:66\n\n"));
    EXPECT_TRUE(body.Holds("Sub Click(Source As Button)\nPrint 1\nEnd Sub"));
    EXPECT_TRUE(body.Holds("Action Hotspot"));
    EXPECT_TRUE(body.Holds("Press"));
    EXPECT_FALSE(body.Holds("alert(1)"));
    EXPECT_FALSE(body.Holds("Codeless"));
    EXPECT_FALSE(body.Holds("Big"));
}

TEST_F(AppendMethodsTest, LinksNeedATargetWithAColon) {
    OpenText();
    ZervaRTChunk* chunk = Chunk();
    chunk->SetEventRetString(2, "kept?", 5);
    EXPECT_EQ(chunk->AppendLink("site", 4, "nocolon", nullptr, nullptr, nullptr, 0, nullptr, 0, nullptr, 0), 1028);
    EXPECT_EQ(chunk->eventReturn[1], nullptr);
    EXPECT_EQ(chunk->AppendLink("site", 4, "http://example.org/", nullptr, nullptr, nullptr, 0, nullptr, 0,
                                nullptr, 0),
              0);
    EXPECT_EQ(chunk->work->linkRequest.target, nullptr);
    EXPECT_EQ(chunk->work->linkRequest.kind, 0);
    delete chunk;
    Save();
    const Body body = Stored(id_);
    EXPECT_EQ(body.problem, "");
    EXPECT_TRUE(body.Holds("http://example.org/"));
    EXPECT_FALSE(body.Holds("nocolon"));
}

TEST_F(AppendMethodsTest, LayersTakeTheirDefaultGeometryAndRefuseBlanks) {
    OpenText();
    ZervaRTChunk* chunk = Chunk();
    EXPECT_EQ(chunk->AppendLayer(nullptr, "10px", "1 px", nullptr, 0, nullptr, nullptr, nullptr, 0), 20017);
    ASSERT_FALSE(g_messages.empty());
    EXPECT_EQ(g_messages.back(), "TALIX: Invalid 'height' for AppendLayer. No spaces or semicolons!");
    EXPECT_EQ(chunk->AppendLayer("1;2", nullptr, nullptr, nullptr, 0, nullptr, nullptr, nullptr, 0), 20017);
    EXPECT_EQ(chunk->AppendLayer(nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr, nullptr, 0), 0);
    EXPECT_EQ(chunk->AppendLayer("auto", "auto", "150px", "250px", 0, nullptr, nullptr, nullptr, 0), 0);
    EXPECT_EQ(chunk->AppendLayer("auto", "auto", "150px", "250px", 0, nullptr, nullptr, "Form = \"Memo\"", 13), 0);
    EXPECT_NE(chunk->AppendLayer("auto", "auto", "150px", "250px", 0, nullptr, nullptr, "Form = (", 8), 0);
    delete chunk;
    Save();
    const Body body = Stored(id_);
    EXPECT_EQ(body.problem, "");
    // The default geometry is the explicit one: width 250px, height 150px.
    std::vector<std::string> boxes;
    for (std::size_t i = 0; i < body.signatures.size(); ++i) {
        if (body.signatures[i] == talix::kSigBoxSize) boxes.push_back(body.records[i]);
    }
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0], boxes[1]);
}

} // namespace
} // namespace chunkops_test
