// Pictures rendered by a generation under each image handling: the URL
// into the document, files exported to a directory, MIME parts and the
// caller's substitutions; sizes, borders, alternative texts and stored
// attributes; and the key that names a picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "active_content_fixture.h"
#include "core/item_work_state.h"
#include "core/record_list.h"
#include "htmlgen/images.h"
#include "support/markup_validators.h"
#include "support/test_support.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace htmlgen_test {
namespace {

const std::string kUnid = "0123456789abcdef0123456789abcdef";

class ImagesTest : public ActiveContentTest {
protected:
    // The data directory lies apart from the test's database: by default it
    // is the current directory, under which the temporary folder may lie.
    talix_test::TempDir dataDirectory_;
    talix_test::IniOverride directory_{"Directory", dataDirectory_.path().string()};

    // The universal id of the note the chunk's item is in.
    std::string NoteUnid() {
        plat::ORIGINATORID oid;
        plat::NoteGetInfo(item_.noteHandle, plat::NOTE_FIELD_OID, &oid);
        char text[40];
        std::snprintf(text, sizeof text, "%.8x%.8x%.8x%.8x", oid.File.Innards[1], oid.File.Innards[0],
                      oid.Note.Innards[1], oid.Note.Innards[0]);
        return text;
    }
};

TEST_F(ImagesTest, SourcesByImageHandling) {
    const Bytes gif = GifBytes(301);
    Records records = {TextBytes("a")};
    const Records picture = Picture(gif);
    records.insert(records.end(), picture.begin(), picture.end());
    ZervaRTChunk* chunk = Define(records);
    // The picture's graphic record ends 2 + 10 (text) + 6 (BEGIN) + 32
    // bytes into its item, as the list holds the records: key 0x32.
    const std::string body = Body(chunk, nullptr);
    // The database lies outside the data directory: its whole path.
    const std::string path = db_.path();
    EXPECT_EQ(body, "a<img src=\"" + path + "/0/" + NoteUnid() +
                        "/Body/0.32?OpenElement&amp;FieldElemFormat=gif\" border=\"0\" height=\"100\" width=\"100\">");
    EXPECT_EQ(Body(chunk, "ImageHandling=IGNORE"), "a");
    EXPECT_EQ(Body(chunk, "SuppressImages=Yes"), "a");

    // Exported files: byte-equal to the picture's data; ImageOverwrite=No
    // leaves an existing file alone.
    talix_test::TempDir dir;
    const std::string options = "ImageHandling=DISK ImageDirectory=" + dir.file("pictures");
    // The src reaches the file as written: an absolute directory as a
    // file URL, a relative one as it is (relative to the page).
    EXPECT_EQ(Body(chunk, options.c_str()), "a<img src=\"file://" + dir.file("pictures") +
                                                "/Body_0_32.gif\" border=\"0\" height=\"100\" width=\"100\">");
    const std::string file = dir.file("pictures/Body_0_32.gif");
    EXPECT_EQ(talix_test::ReadFile(file), std::string(gif.begin(), gif.end()));
    {
        std::ofstream(file, std::ios::binary) << "old";
    }
    Body(chunk, (options + " ImageOverwrite=No").c_str());
    EXPECT_EQ(talix_test::ReadFile(file), "old");
    Body(chunk, options.c_str());
    EXPECT_EQ(talix_test::ReadFile(file), std::string(gif.begin(), gif.end()));
    EXPECT_EQ(Body(chunk, (options + " ImageURLDirectory=c:\\web ImageUNIDAsFolder=Yes UseUNID=" + kUnid).c_str()),
              "a<img src=\"file://c:/web/" + kUnid + "/Body_0_32.gif\" border=\"0\" height=\"100\" width=\"100\">");
    EXPECT_TRUE(std::filesystem::exists(dir.file("pictures/" + kUnid + "/Body_0_32.gif")));
    EXPECT_EQ(chunk->lastStatus, 0);

    // A directory that cannot be made (a file stands in its way): the
    // markup stands, no file is written, and the status says so.
    const std::string blocked = "ImageHandling=DISK ImageDirectory=" + file + "/sub";
    EXPECT_EQ(Body(chunk, blocked.c_str()),
              "a<img src=\"file://" + file + "/sub/Body_0_32.gif\" border=\"0\" height=\"100\" width=\"100\">");
    EXPECT_EQ(chunk->lastStatus, 1028);
}

TEST_F(ImagesTest, MimePartsAndSubstitutions) {
    const Records records = Picture(GifBytes(64), {}, 2);
    ZervaRTChunk* chunk = Define(records);
    std::vector<char> buffer(65406);
    auto render = [&](ZervaRTChunk::ImageOffsetInfo* images) {
        std::uint32_t capacity = static_cast<std::uint32_t>(buffer.size());
        char name[128] = {};
        int icons[4] = {};
        int collapse = 0;
        chunk->GenerateHTMLToMime(0, 1, "HTML", "UseUNID=0123456789ABCDEF00000000FEDCBA98", 0, buffer.data(), &capacity,
                                  0, name, nullptr, nullptr, nullptr, nullptr, icons, &collapse, images);
        std::string markup(buffer.data(), capacity);
        while (!markup.empty() && (markup.back() == '\n' || markup.back() == '\r')) markup.pop_back();
        return markup;
    };
    // A JPEG of the first item, key 0x28: its Content-ID in upper case.
    EXPECT_EQ(render(nullptr), "<img src=\"cid:_2_00000000002800000000FEDCBA98\" border=\"0\" height=\"100\" width=\"100\">");
    // A substitution for the picture whose image header is record 3 (from 0).
    ZervaRTChunk::ImageOffsetInfo other, mine;
    other.recordNumber = 7;
    other.source = "wrong";
    mine.recordNumber = 2;
    mine.source = "http://served/picture.jpeg";
    other.next = &mine;
    EXPECT_EQ(render(&other), "<img src=\"http://served/picture.jpeg\" border=\"0\" height=\"100\" width=\"100\">");
    // The substitution is a URL as HTML writes it: its "&amp;" stays as it
    // is; only a double quote is escaped.
    mine.source = "db/0/Body_M$/0.28?OpenElement&amp;FieldElemFormat=jpeg\"";
    EXPECT_EQ(render(&other), "<img src=\"db/0/Body_M$/0.28?OpenElement&amp;FieldElemFormat=jpeg&quot;\" border=\"0\" "
                              "height=\"100\" width=\"100\">");

    // Two pictures whose entries come in the other order each get their own
    // (side by side: a line end between them would show as a blank).
    Records two = Picture(GifBytes(64), {}, 2);
    const Records second = Picture(GifBytes(32), {}, 2);
    two.insert(two.end(), second.begin(), second.end());
    chunk = Define(two);
    other.source = "second";
    mine.source = "first";
    EXPECT_EQ(render(&other), "<img src=\"first\" border=\"0\" height=\"100\" width=\"100\">"
                              "<img src=\"second\" border=\"0\" height=\"100\" width=\"100\">");
}

TEST_F(ImagesTest, SizesBordersAltTextsAndStoredAttributes) {
    Records records = {Bracket(0xDD, 0x0099), Graphic(0, 1500, 1), ImageHeader(1, 40, 30, 10),
                       ImageSegment(GifBytes(10)), AltText("A & B"), Bracket(0xDE, 0x0099)};
    const Records pixels = {Bracket(0xDD, 0x0099), Graphic(20, 12, 1, 1), ImageHeader(1, 40, 30, 10),
                            ImageSegment(GifBytes(10)), AltText("blank"), Bracket(0xDE, 0x0099)};
    records.insert(records.end(), pixels.begin(), pixels.end());
    const Records stored = {Bracket(0xDD, 0x0099), Graphic(), ImageHeader(1, 0, 0, 10), ImageSegment(GifBytes(10)),
                            IdName({"pic", "", "", "", "src=\"/x.gif\" height=7 onclick=\"go()\"", ""}),
                            Bracket(0xDE, 0x0099)};
    records.insert(records.end(), stored.begin(), stored.end());
    ZervaRTChunk* chunk = Define(records);
    const std::string body = Body(chunk, "BlankAltString=blank");
    // A resize of 1,500 twips: 100 pixels; the header's width where the
    // graphic record gives none.
    EXPECT_NE(body.find("height=\"100\" width=\"40\" alt=\"A &amp; B\" border=\"0\">"), std::string::npos) << body;
    EXPECT_NE(body.find("height=\"12\" width=\"20\" alt=\"\" border=\"0\">"), std::string::npos) << body;
    // A stored source wins; the stored height is written once.
    EXPECT_NE(body.find("<img src=\"/x.gif\" height=\"7\" id=\"pic\" onclick=\"go()\" border=\"0\" width=\"100\">"),
              std::string::npos)
        << body;
    const std::string xhtml = Generate(chunk, "XHTML", "BlankAltString=blank");
    std::string report;
    EXPECT_TRUE(talix_test::XmlWellFormed(xhtml, &report)) << report << xhtml;
    EXPECT_EQ(talix_test::TidyErrors(Generate(chunk, "HTML", nullptr), &report), 0) << report;
    // XHTML requires an alt of every img: a picture without alternative
    // text gets an empty one, one with its own keeps it alone; HTML stays
    // as it was.
    EXPECT_TRUE(talix_test::XhtmlValid(xhtml, &report)) << report << xhtml;
    EXPECT_NE(xhtml.find("onclick=\"go()\" border=\"0\" width=\"100\" alt=\"\" />"), std::string::npos) << xhtml;
    EXPECT_EQ(Generate(chunk, "HTML", nullptr).find("alt=\"\" border"), std::string::npos);
    const std::string own = Generate(
        Define({Bracket(0xDD, 0x0099), Graphic(), ImageHeader(1, 0, 0, 10), ImageSegment(GifBytes(10)),
                IdName({"", "", "", "", "alt=\"Map\"", ""}), Bracket(0xDE, 0x0099)}),
        "XHTML", nullptr);
    EXPECT_TRUE(talix_test::XhtmlValid(own, &report)) << report << own;
    EXPECT_NE(own.find("alt=\"Map\""), std::string::npos) << own;
    EXPECT_EQ(own.find("alt=\"\""), std::string::npos) << own;
    const std::string described = Generate(chunk, "XHTML", "WAICompliant=Yes");
    EXPECT_TRUE(talix_test::XhtmlValid(described, &report)) << report << described;

    // A picture without image data writes nothing.
    ZervaRTChunk* empty = Define({TextBytes("x"), Bracket(0xDD, 0x0099), Graphic(), Bracket(0xDE, 0x0099)});
    EXPECT_EQ(Body(empty, nullptr), "x");
}

TEST_F(ImagesTest, NamesTakenFromRecordsStayInTheDirectory) {
    talix_test::TempDir dir;
    const Records records = Picture(GifBytes(20), {IdName({"", "", "", "", "", "../../escape"})});
    ZervaRTChunk* chunk = Define(records);
    const std::string options = "ImageHandling=DISK ImageUseName=Yes ImageDirectory=" + dir.file("in/here");
    EXPECT_EQ(Body(chunk, options.c_str()),
              "<img src=\"file://" + dir.file("in/here") +
                  "/escape.gif\" name=\"../../escape\" border=\"0\" height=\"100\" width=\"100\">");
    EXPECT_TRUE(std::filesystem::exists(dir.file("in/here/escape.gif")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("escape.gif")));
}

// A PNG picture named by its record without an extension is written as a
// .png file, as it is without ImageUseName.
TEST_F(ImagesTest, APngNamedByItsRecordIsWrittenAsAPngFile) {
    talix_test::TempDir dir;
    const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 1, 2, 3, 4};
    ZervaRTChunk* chunk = Define(Picture(png, {IdName({"", "", "", "", "", "logo"})}, 4));
    const std::string options = "ImageHandling=DISK ImageUseName=Yes ImageDirectory=" + dir.file("in");
    const std::string body = Body(chunk, options.c_str());
    EXPECT_NE(body.find("/logo.png\""), std::string::npos) << body;
    EXPECT_EQ(talix_test::ReadFile(dir.file("in/logo.png")), std::string(png.begin(), png.end()));
    EXPECT_FALSE(std::filesystem::exists(dir.file("in/logo.gif")));
}

// Two pictures of one name are written to files of their own: the first
// under its name, the later one under a name that keeps the extension, and
// each src names its own file.
TEST_F(ImagesTest, PicturesOfOneNameAreWrittenToFilesOfTheirOwn) {
    talix_test::TempDir dir;
    const Bytes first = GifBytes(20), second = GifBytes(30);
    Records records = Picture(first, {IdName({"", "", "", "", "", "dir/pic"})});
    const Records other = Picture(second, {IdName({"", "", "", "", "", "pic"})});
    records.insert(records.end(), other.begin(), other.end());
    ZervaRTChunk* chunk = Define(records);
    const std::string options = "ImageHandling=DISK ImageUseName=Yes ImageURLDirectory=http://pics ImageDirectory=" +
                                dir.file("in");
    const std::string body = Body(chunk, options.c_str());
    EXPECT_EQ(chunk->lastStatus, 0) << body;
    std::vector<std::string> files;
    for (std::size_t at = body.find("src=\"http://pics/"); at != std::string::npos;
         at = body.find("src=\"http://pics/", at + 1)) {
        const std::size_t begin = at + std::strlen("src=\"http://pics/");
        files.push_back(body.substr(begin, body.find('"', begin) - begin));
    }
    ASSERT_EQ(files.size(), 2u) << body;
    EXPECT_EQ(files[0], "pic.gif");
    EXPECT_NE(files[1], files[0]);
    EXPECT_EQ(files[1].substr(files[1].size() - 4), ".gif") << files[1];
    EXPECT_EQ(talix_test::ReadFile(dir.file("in/" + files[0])), std::string(first.begin(), first.end()));
    EXPECT_EQ(talix_test::ReadFile(dir.file("in/" + files[1])), std::string(second.begin(), second.end()));
}

TEST_F(ImagesTest, PicturesOfOneNameAreStoredAsImageResourcesOfTheirOwn) {
    // Two pictures whose names give one image resource's name: each is
    // stored under a name of its own and its src names it, where the
    // second replaced the first and both pictures showed it.
    const Bytes first = GifBytes(20), second = GifBytes(30);
    Records records = Picture(first, {IdName({"", "", "", "", "", "pic"})});
    const Records other = Picture(second, {IdName({"", "", "", "", "", "pic.gif"})});
    records.insert(records.end(), other.begin(), other.end());
    ZervaRTChunk* chunk = Define(records);
    const std::string body = Body(chunk, "ImageHandling=RESOURCE ImageUseName=Yes");
    EXPECT_EQ(chunk->lastStatus, 0) << body;
    std::vector<std::string> names;
    for (std::size_t at = body.find("src=\"/"); at != std::string::npos; at = body.find("src=\"/", at + 1)) {
        const std::size_t begin = at + std::strlen("src=\"/");
        names.push_back(body.substr(begin, body.find("?OpenImageResource", begin) - begin));
    }
    ASSERT_EQ(names.size(), 2u) << body;
    EXPECT_EQ(names[0], "pic.gif");
    EXPECT_NE(names[1], names[0]);
    // Each resource holds its own picture, as a picture that refers to it
    // exports it.
    talix_test::TempDir dir;
    const std::string options = "ImageHandling=DISK ImageResourceToDisk=Yes ImageDirectory=" + dir.file("res");
    const Bytes* pictures[] = {&first, &second};
    for (std::size_t i = 0; i < names.size(); ++i) {
        talix_test::FixtureRecord reference =
            talix_test::HostRecord(0xFFF6, static_cast<std::uint32_t>(36 + names[i].size()));
        talix_test::PutWord(&reference, 8, 3);
        talix_test::PutWord(&reference, 10, 19);
        talix_test::PutWord(&reference, 12, static_cast<std::uint16_t>(names[i].size()));
        std::copy(names[i].begin(), names[i].end(), reference.bytes.begin() + 36);
        Body(Define({Bracket(0xDD, 0x0099), Graphic(), reference, Bracket(0xDE, 0x0099)}), options.c_str());
        EXPECT_EQ(talix_test::ReadFile(dir.file("res/" + names[i])),
                  std::string(pictures[i]->begin(), pictures[i]->end())) << names[i];
    }
}

// A picture's name and the image directory outside ASCII: the file is
// written under both in UTF-8, and the src names it whole.
TEST_F(ImagesTest, NamesOutsideAsciiNameTheFilesWritten) {
    talix_test::TempDir dir;
    const std::string name = "Gr\u00FC\u00DFe \U0001F600 \u4F26\u05E9";
    const Records records = Picture(GifBytes(20), {IdName({"", "", "", "", "", plat::NativeToLmbcs(name)})});
    ZervaRTChunk* chunk = Define(records);
    const std::string folder = dir.file("\u00E4/in");
    const std::string options = "ImageHandling=DISK ImageUseName=Yes ImageDirectory=" + plat::NativeToLmbcs(folder);
    const std::string html = plat::LmbcsToNative(Body(chunk, options.c_str()));
    EXPECT_EQ(html.rfind("<img src=\"file://" + folder + "/" + name + ".gif\"", 0), 0u) << html;
    EXPECT_TRUE(std::filesystem::exists(folder + "/" + name + ".gif"));
    EXPECT_EQ(chunk->lastStatus, 0);
    // Without ImageUseName the file is named after the item.
    const std::string unnamed = plat::LmbcsToNative(Body(chunk, ("ImageHandling=DISK ImageDirectory=" +
                                                                 plat::NativeToLmbcs(folder)).c_str()));
    EXPECT_NE(unnamed.find("file://" + folder + "/Body_0_"), std::string::npos) << unnamed;
    EXPECT_EQ(chunk->lastStatus, 0);
}

// A picture's name too long in UTF-8 for a file name (255 bytes): the file
// is written under a shorter name that keeps the extension, and the src
// names that file; two such names with the same beginning stay apart.
TEST_F(ImagesTest, NamesTooLongForAFileNameTheShorterFilesWritten) {
    talix_test::TempDir dir;
    const std::string options = "ImageHandling=DISK ImageUseName=Yes ImageDirectory=" + dir.file("in");
    std::string accented;
    for (int i = 0; i < 150; ++i) accented += "\u00E9";
    std::string written[2];
    for (int i = 0; i < 2; ++i) {
        const std::string name = accented + (i == 0 ? "a" : "b");
        ZervaRTChunk* chunk = Define(Picture(GifBytes(20), {IdName({"", "", "", "", "", plat::NativeToLmbcs(name)})}));
        const std::string html = plat::LmbcsToNative(Body(chunk, options.c_str()));
        EXPECT_EQ(chunk->lastStatus, 0) << html;
        const std::string start = "<img src=\"file://" + dir.file("in") + "/";
        ASSERT_EQ(html.rfind(start, 0), 0u) << html;
        written[i] = html.substr(start.size(), html.find('"', start.size()) - start.size());
        EXPECT_LE(written[i].size(), 255u);
        EXPECT_EQ(written[i].substr(written[i].size() - 4), ".gif");
        EXPECT_EQ(written[i].rfind("\u00E9\u00E9", 0), 0u) << written[i];
        EXPECT_TRUE(std::filesystem::exists(dir.file("in/" + written[i]))) << written[i];
    }
    EXPECT_NE(written[0], written[1]);
}

// A picture's name, an image resource's name and the image directory that
// hold "#", "?" or "%": the files are written under them, and the src
// escapes those marks, so that a browser asks for the very file written and
// not a fragment or query of another.
TEST_F(ImagesTest, SourcesOfFilesWithMarksOfAddressesNameThoseFiles) {
    talix_test::TempDir dir;
    const Records records = Picture(GifBytes(20), {IdName({"", "", "", "", "", "a#b?c%d"})});
    ZervaRTChunk* chunk = Define(records);
    const std::string options = "ImageHandling=DISK ImageUseName=Yes ImageDirectory=" + dir.file("p#1");
    const std::string html = Body(chunk, options.c_str());
    EXPECT_EQ(html.rfind("<img src=\"file://" + dir.file("p%231") + "/a%23b%3Fc%25d.gif\"", 0), 0u) << html;
    EXPECT_TRUE(std::filesystem::exists(dir.file("p#1/a#b?c%d.gif")));
    const std::string unnamed = Body(chunk, ("ImageHandling=DISK ImageDirectory=" + dir.file("q?")).c_str());
    EXPECT_EQ(unnamed.rfind("<img src=\"file://" + dir.file("q%3F") + "/Body_0_", 0), 0u) << unnamed;
    EXPECT_EQ(chunk->lastStatus, 0);
    // Given as a URL, the directory stays as it is.
    const std::string url = Body(chunk, (options + " ImageURLDirectory=http://h/%7Ex").c_str());
    EXPECT_EQ(url.rfind("<img src=\"http://h/%7Ex/a%23b%3Fc%25d.gif\"", 0), 0u) << url;
}

// A picture shown from a file attached to the document: the file's name
// in its address has "#", "?" and "%" escaped, so that the server is asked
// for that very attachment; other names stay as they are.
TEST_F(ImagesTest, PicturesOfAttachedFilesNameThoseFiles) {
    auto attached = [](const std::string& file) {
        talix_test::FixtureRecord record = talix_test::HostRecord(0xFFC4, static_cast<std::uint32_t>(24 + file.size()));
        talix_test::PutWord(&record, 4, 1);
        talix_test::PutWord(&record, 10, static_cast<std::uint16_t>(file.size()));
        std::copy(file.begin(), file.end(), record.bytes.begin() + 24);
        return record;
    };
    const std::string options = "UseUNID=0123456789abcdef0123456789abcdef ImageRelativeToPage=Yes";
    EXPECT_EQ(Body(Define({Bracket(0xDD, 0x0099), Graphic(), attached("logo b.gif"), Bracket(0xDE, 0x0099)}),
                   options.c_str()),
              "<img src=\"0123456789abcdef0123456789abcdef/$File/logo b.gif/logo b.gif.gif?OpenElement\" border=\"0\" "
              "height=\"100\" width=\"100\">");
    const std::string marked = Body(
        Define({Bracket(0xDD, 0x0099), Graphic(), attached("a#b?c%d&.gif"), Bracket(0xDE, 0x0099)}), options.c_str());
    EXPECT_NE(marked.find("/$File/a%23b%3Fc%25d&amp;.gif/a%23b%3Fc%25d&amp;.gif.gif?OpenElement\""), std::string::npos)
        << marked;
}

using talix_test::CollectMessage;
using talix_test::g_messages;

TEST_F(ImagesTest, FilesOnDiskAreNeverWrittenThroughWhatStandsUnderTheirNames) {
    talix_test::TempDir dir;
    const std::string outside = dir.file("outside.txt");
    { std::ofstream(outside) << "outside"; }
    Records records;
    for (const std::size_t size : {20, 30}) {
        const Records picture = Picture(GifBytes(size));
        records.insert(records.end(), picture.begin(), picture.end());
    }
    ZervaRTChunk* chunk = Define(records);
    const std::string folder = dir.file("pictures");
    const std::string options = "ImageHandling=DISK ImageDirectory=" + folder;
    Body(chunk, options.c_str());
    ASSERT_EQ(chunk->lastStatus, 0);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().string());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 2u);

    plat::RegisterMessageProc(CollectMessage);
    g_messages.clear();
    // A link to a file outside under one picture's name: the run fails
    // naming the file, nothing outside changes, and the other picture,
    // which the run made, goes too.
    for (const std::string& name : names) std::filesystem::remove(name);
    std::filesystem::create_symlink(outside, names[1]);
    Body(chunk, options.c_str());
    EXPECT_NE(chunk->lastStatus, 0);
    EXPECT_FALSE(std::filesystem::exists(names[0]));
    EXPECT_TRUE(std::filesystem::is_symlink(names[1]));
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0], "cannot write the file '" + names[1] + "': it is a symbolic link");
    EXPECT_EQ(talix_test::ReadFile(outside), "outside");

    // A picture that was there before is replaced whole and stays when the
    // run fails elsewhere.
    { std::ofstream(names[0]) << "older"; }
    Body(chunk, options.c_str());
    EXPECT_NE(chunk->lastStatus, 0);
    EXPECT_EQ(talix_test::ReadFile(names[0]).size(), 20u);

    // A link planted where the run makes the document's sub-folder: nothing
    // is written through it, and the run says which folder.
    const std::string elsewhere = dir.file("elsewhere");
    std::filesystem::create_directory(elsewhere);
    std::filesystem::create_directory_symlink(elsewhere, dir.file("pictures/sub"));
    g_messages.clear();
    Body(chunk, (options + " DefaultSubdirectory=sub").c_str());
    EXPECT_NE(chunk->lastStatus, 0);
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
    ASSERT_FALSE(g_messages.empty());
    EXPECT_EQ(g_messages[0], "cannot write in the folder '" + dir.file("pictures/sub") + "': it is a symbolic link");
    std::filesystem::remove(dir.file("pictures/sub"));
    Body(chunk, (options + " DefaultSubdirectory=sub").c_str());
    EXPECT_EQ(chunk->lastStatus, 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.file("pictures/sub")),
                            std::filesystem::directory_iterator()),
              2);

    // An attachment extracted to disk: a link under its name is refused too.
    ZervaRTChunk* attached = DefineWith(FileHotspot("ATT1", "x.txt", "file"), {}, {{"ATT1", "attachment bytes"}});
    std::filesystem::create_directory(dir.file("files"));
    std::filesystem::create_symlink(outside, dir.file("files/x.txt"));
    g_messages.clear();
    Body(attached, ("AttachmentHandling=DISK AttachmentDirectory=" + dir.file("files")).c_str());
    EXPECT_NE(attached->lastStatus, 0);
    EXPECT_EQ(talix_test::ReadFile(outside), "outside");
    ASSERT_FALSE(g_messages.empty());
    EXPECT_NE(g_messages[0].find("x.txt': it is a symbolic link"), std::string::npos) << g_messages[0];
    std::filesystem::remove(dir.file("files/x.txt"));
    Body(attached, ("AttachmentHandling=DISK AttachmentDirectory=" + dir.file("files")).c_str());
    EXPECT_EQ(attached->lastStatus, 0);
    EXPECT_EQ(talix_test::ReadFile(dir.file("files/x.txt")), "attachment bytes");

    // An attachment whose stored name is no file name: nothing extracted,
    // the run fails and says which attachment.
    Bytes dots = TextData("ATT1");
    const Bytes dotsName = TextData("..");
    dots.insert(dots.end(), dotsName.begin(), dotsName.end());
    ZervaRTChunk* unnamed = DefineWith({Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFA9, 4, 0, dots), TextBytes("file"),
                                        HotspotEnd(0x00AA), Bracket(0xDE, 0x00AA)},
                                       {}, {{"ATT1", "attachment bytes"}});
    g_messages.clear();
    Body(unnamed, ("AttachmentHandling=DISK AttachmentDirectory=" + dir.file("files/in")).c_str());
    EXPECT_NE(unnamed->lastStatus, 0);
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("files/in")));
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0], "cannot extract the attachment '..' into '" + dir.file("files/in") +
                              "': its name is no file name");
    plat::RegisterMessageProc(nullptr);
}

TEST_F(ImagesTest, TheKeyIsTheOneTheReaderKeeps) {
    // Pictures in two stored items: the writer splits the records into
    // items of at most 49,022 bytes.
    Records records;
    for (int i = 0; i < 6; ++i) {
        const Records picture = Picture(GifBytes(20000 + 17 * i));
        records.insert(records.end(), picture.begin(), picture.end());
        records.push_back(TextBytes("t"));
    }
    ZervaRTChunk* chunk = Define(records);
    Generate(chunk, "HTML", nullptr);
    const talix::ItemRecordList* list = item_.work->current;
    ASSERT_NE(list, nullptr);
    int graphics = 0;
    for (const talix::CDRecordNode* node = list->head; node != nullptr; node = node->next) {
        if (node->signature != 0x0099) continue;
        const auto* kept = static_cast<const talix::GraphicExtra*>(talix::RecordExtra(node));
        ASSERT_NE(kept, nullptr);
        const talix::OutputSegment* segment = list->firstSegment;
        while (segment != nullptr && segment->number != kept->segment) segment = segment->next;
        ASSERT_NE(segment, nullptr);
        EXPECT_EQ(talix::GraphicNameKey(&item_, segment, node), static_cast<std::uint16_t>(kept->key));
        ++graphics;
    }
    EXPECT_EQ(graphics, 6);
    EXPECT_NE(list->firstSegment->next, nullptr);
}

TEST_F(ImagesTest, ImageResourcesAreStoredReferredToAndExported) {
    // RESOURCE: the picture becomes an image resource of the database.
    const Bytes gif = GifBytes(77);
    Records records = {TextBytes("a")};
    const Records picture = Picture(gif);
    records.insert(records.end(), picture.begin(), picture.end());
    ZervaRTChunk* stored = Define(records);
    const std::string name = NoteUnid() + "_Body_0_32.gif";
    const std::string saved = Body(stored, "ImageHandling=RESOURCE");
    EXPECT_NE(saved.find(name + "?OpenImageResource\""), std::string::npos) << saved;
    EXPECT_EQ(stored->lastStatus, 0);

    // A picture that names the resource ("|" ends the name): a URL to it,
    // or with ImageResourceToDisk its data exported under its name.
    auto reference = [](const std::string& resource) {
        talix_test::FixtureRecord record =
            talix_test::HostRecord(0xFFF6, static_cast<std::uint32_t>(36 + resource.size()));
        talix_test::PutWord(&record, 8, 3);
        talix_test::PutWord(&record, 10, 19);
        talix_test::PutWord(&record, 12, static_cast<std::uint16_t>(resource.size()));
        std::copy(resource.begin(), resource.end(), record.bytes.begin() + 36);
        return record;
    };
    ZervaRTChunk* chunk =
        Define({Bracket(0xDD, 0x0099), Graphic(), reference(name + "|alias"), Bracket(0xDE, 0x0099)});
    EXPECT_EQ(Body(chunk, nullptr),
              "<img src=\"" + db_.path() + "/" + name + "?OpenImageResource\" border=\"0\" height=\"100\" width=\"100\">");
    talix_test::TempDir dir;
    const std::string options = "ImageHandling=DISK ImageResourceToDisk=Yes ImageDirectory=" + dir.file("res");
    EXPECT_EQ(Body(chunk, options.c_str()),
              "<img src=\"file://" + dir.file("res/" + name) + "\" border=\"0\" height=\"100\" width=\"100\">");
    EXPECT_EQ(talix_test::ReadFile(dir.file("res/" + name)), std::string(gif.begin(), gif.end()));
    EXPECT_EQ(chunk->lastStatus, 0);

    // Names holding "#", "?" or "%" are escaped in the addresses, so that
    // the server is asked for that very resource: one saved under the
    // picture's name, and one a picture refers to.
    ZervaRTChunk* named = Define(Picture(gif, {IdName({"", "", "", "", "", "a#b?c%d"})}));
    const std::string byName = Body(named, "ImageHandling=RESOURCE ImageUseName=Yes");
    EXPECT_NE(byName.find("src=\"/a%23b%3Fc%25d.gif?OpenImageResource\""), std::string::npos) << byName;
    EXPECT_EQ(named->lastStatus, 0);
    const std::string marked = "r#1?" + name;
    Body(Define(Picture(gif, {IdName({"", "", "", "", "", marked})})),
         "ImageHandling=RESOURCE ImageUseName=Yes");
    ZervaRTChunk* referring = Define({Bracket(0xDD, 0x0099), Graphic(), reference(marked), Bracket(0xDE, 0x0099)});
    EXPECT_EQ(Body(referring, nullptr), "<img src=\"" + db_.path() + "/r%231%3F" + name +
                                            "?OpenImageResource\" border=\"0\" height=\"100\" width=\"100\">");
    EXPECT_EQ(Body(referring, options.c_str()), "<img src=\"file://" + dir.file("res/r%231%3F" + name) +
                                                    "\" border=\"0\" height=\"100\" width=\"100\">");
    EXPECT_EQ(talix_test::ReadFile(dir.file("res/" + marked)), std::string(gif.begin(), gif.end()));
    EXPECT_EQ(referring->lastStatus, 0);
}

TEST_F(ImagesTest, PicturesWithoutImageHeaderKeepTheirPlaceUnderEveryHandling) {
    // A picture kept as a bitmap (16 by 8 pixels), and one taken from a web
    // page: the URL it refers to and a bitmap header of its size.
    talix_test::FixtureRecord bitmap = talix_test::HostRecord(0x0095, 40);
    talix_test::PutWord(&bitmap, 24, 16);
    talix_test::PutWord(&bitmap, 26, 8);
    const std::string url = "http://host/logo.gif";
    talix_test::FixtureRecord link = talix_test::HostRecord(0xFFC4, static_cast<std::uint32_t>(24 + url.size() + 1));
    talix_test::PutWord(&link, 4, 4);
    talix_test::PutWord(&link, 10, static_cast<std::uint16_t>(url.size()));
    std::copy(url.begin(), url.end(), link.bytes.begin() + 24);
    ZervaRTChunk* stored = Define({TextBytes("a"), Bracket(0xDD, 0x0099), Graphic(), bitmap,
                                   talix_test::HostRecord(0x0096, 40), Bracket(0xDE, 0x0099)});
    const std::string bitmapPage = Body(stored, nullptr);
    EXPECT_NE(bitmapPage.find("FieldElemFormat=gif\" height=\"8\" width=\"16\" border=\"0\">"), std::string::npos)
        << bitmapPage;
    // RESOURCE stores the data of an image header; these have none, and
    // stay where the default handling places them.
    EXPECT_EQ(Body(stored, "ImageHandling=RESOURCE"), bitmapPage);
    EXPECT_EQ(stored->lastStatus, 0);

    ZervaRTChunk* web = Define({TextBytes("b"), Bracket(0xDD, 0x0099), Graphic(), link, bitmap, Bracket(0xDE, 0x0099)});
    const std::string webPage = Body(web, nullptr);
    EXPECT_EQ(webPage, "b<img src=\"" + url + "\" height=\"8\" width=\"16\" border=\"0\">");
    EXPECT_EQ(Body(web, "ImageHandling=RESOURCE"), webPage);
    // DISK exports no file for a URL: the page still shows the picture.
    talix_test::TempDir dir;
    EXPECT_EQ(Body(web, ("ImageHandling=DISK ImageDirectory=" + dir.file("pictures")).c_str()), webPage);
    EXPECT_EQ(web->lastStatus, 0);
}

} // namespace
} // namespace htmlgen_test
