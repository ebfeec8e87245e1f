// Images imported as graphic records: sizes as written, MIME parts of the
// message, files on disk, URLs, attachments of notes, the graphics of an
// item the generator's image URLs name, and the attachment icon's data.
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/chunk_work_state.h"
#include "builders/image_resource.h"
#include "core/pool.h"
#include "core/record_io.h"
#include "core/record_list.h"
#include "core/signatures.h"
#include "htmlimport/attachment_icon.h"
#include "htmlimport/css_lengths.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/image_sources.h"
#include "import_fixture.h"
#include "support/picture_files.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix_platform.h"
#include "walk_fixture.h"

namespace {

using import_test::First;
using import_test::Imported;
using import_test::ItemRecord;
using import_test::WalkTest;

const std::string kIcon(reinterpret_cast<const char*>(talix::kAttachmentIcon), talix::kAttachmentIconSize);

// Whether any record holds the text.
bool AnyRecordHolds(const Imported& imported, const std::string& text) {
    for (const ItemRecord& record : imported.records)
        if (record.bytes.find(text) != std::string::npos) return true;
    return false;
}

// The image data of the segments after the first image header.
std::string ImageData(const Imported& imported) {
    std::string data;
    for (const ItemRecord& record : imported.records)
        if (record.signature == talix::kSigImageSegment) data += record.bytes.substr(12, record.Word(8));
    return data;
}

class ImageImport : public WalkTest {
protected:
    void SetUp() override { plat::IniSet("ZelundaNoImageSkip", "1"); }
    void TearDown() override { plat::IniSet("ZelundaNoImageSkip", ""); }

    std::string WriteIcon(const std::string& name) {
        const std::string path = dir_.file(name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << kIcon;
        return path;
    }
    // The message of the next imports holds the icon as part "abc" (or the
    // bytes given, as a part of the kind its headers give).
    void WithInlinePart(const std::string& bytes = kIcon, std::uint16_t kind = 1) {
        beforeImport_ = [bytes, kind](ZervaRTItem*, ZervaRTChunk* chunk) {
            auto* part = new talix::MIMEInlineImage();
            part->data = static_cast<std::uint8_t*>(std::malloc(bytes.size()));
            std::memcpy(part->data, bytes.data(), bytes.size());
            part->length = static_cast<std::uint32_t>(bytes.size());
            part->kind = kind;
            part->contentId = strdup("abc");
            chunk->work->inlineImages = part;
        };
    }
    static bool Logged(const std::string& text) {
        for (const plat::LogEntry& entry : plat::LogRecent())
            if (entry.text.find(text) != std::string::npos) return true;
        return false;
    }
    static std::string Backslashed(std::string path) {
        for (char& c : path)
            if (c == '/') c = '\\';
        return path;
    }
};

TEST_F(ImageImport, ElementsWithoutPictureWriteNothing) {
    const Imported none = Import("<p>a<img>b<img src=\"cid:_a_tabletab\">c<img src=\"\">d</p>");
    ASSERT_EQ(none.status, 0);
    EXPECT_EQ(none.problem, "");
    EXPECT_EQ(none.Count(talix::kSigGraphic), 0u);
    EXPECT_EQ(none.Texts(), "a|b|c|d");

    // Notes, attachments and image resources that are not there.
    const Imported missing = Import(
        "<p><img src=\"/db.nsf/0/00000000000000000000000000000000/$File/x.gif\">"
        "<img src=\"/db.nsf/Files/key/$File/y.gif\">x</p>",
        "BasePathname=db.nsf ImageView=Files ResolveLocalResources=Yes");
    ASSERT_EQ(missing.status, 0);
    EXPECT_EQ(missing.problem, "");
    EXPECT_EQ(missing.Count(talix::kSigGraphic), 0u);
}

TEST_F(ImageImport, PicturesFromMimeParts) {
    WithInlinePart();
    const Imported part = Import("<p><img src=\"cid:abc\" alt=\"pic\" width=\"20\" height=\"10\" align=\"left\"></p>");
    ASSERT_EQ(part.status, 0);
    EXPECT_EQ(part.problem, "");
    EXPECT_EQ(ImageData(part), kIcon);
    const ItemRecord* header = First(part, talix::kSigImageHeader);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->Word(10), 20);
    EXPECT_EQ(header->Word(12), 10);
    EXPECT_NE(part.Layout().find("B #99"), std::string::npos) << part.Layout();
    const ItemRecord* alt = First(part, talix::kSigAltText);
    ASSERT_NE(alt, nullptr);
    EXPECT_EQ(alt->bytes.substr(12, 3), "pic");
    EXPECT_EQ(part.Count(talix::kSigFloatPosition), 1u);

    // A content id the message does not hold writes nothing.
    const Imported missing = Import("<p><img src=\"cid:zzz\">x</p>");
    ASSERT_EQ(missing.status, 0);
    EXPECT_EQ(missing.Count(talix::kSigGraphic), 0u);
    EXPECT_EQ(missing.Texts(), "x");
}

// A part whose headers give another kind than its bytes are is kept as
// the kind its bytes are, of the size its header gives.
TEST_F(ImageImport, MimePartsKeepTheKindTheirBytesAre) {
    const struct {
        std::string bytes;
        std::uint16_t labelled, type, width, height;
    } parts[] = {{talix_test::JpegPicture(13, 14), 1, 2, 13, 14}, {talix_test::GifPicture(11, 12), 2, 1, 11, 12}};
    for (const auto& part : parts) {
        WithInlinePart(part.bytes, part.labelled);
        const Imported read = Import("<p><img src=\"cid:abc\"></p>");
        ASSERT_EQ(read.status, 0) << part.type;
        EXPECT_EQ(read.problem, "") << part.type;
        EXPECT_EQ(ImageData(read), part.bytes) << part.type;
        const ItemRecord* header = First(read, talix::kSigImageHeader);
        ASSERT_NE(header, nullptr) << part.type;
        EXPECT_EQ(header->Word(8), part.type);
        EXPECT_EQ(header->Word(10), part.width);
        EXPECT_EQ(header->Word(12), part.height);
    }
}

TEST_F(ImageImport, PicturesFromDiskAndUrls) {
    // A base path that names a directory of this machine (or a drive) makes
    // the source a file in it.
    WriteIcon("pictures/icon.gif");
    const std::string base = Backslashed(dir_.file("pictures")) + "\\";
    const Imported file = Import("<p><img src=\"icon.gif\"></p>", ("BasePathname='" + base + "'").c_str());
    ASSERT_EQ(file.status, 0);
    EXPECT_EQ(file.problem, "");
    EXPECT_EQ(ImageData(file), kIcon);
    const ItemRecord* header = First(file, talix::kSigImageHeader);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->Word(10), 13);
    EXPECT_EQ(header->Word(12), 11);

    const Imported missing = Import("<p><img src=\"none.gif\">x</p>", "BasePathname='c:\\nowhere\\'");
    ASSERT_EQ(missing.status, 0);
    EXPECT_EQ(missing.Count(talix::kSigGraphic), 0u);

    // An http source is a picture loaded later from its URL, whatever the
    // base path.
    for (const char* options : {"", "BasePathname='c:\\nowhere\\'"}) {
        const Imported url = Import("<p><img src=\"http://x.com/p.gif\" width=\"30\"></p>", options);
        ASSERT_EQ(url.status, 0) << options;
        EXPECT_EQ(url.problem, "");
        EXPECT_EQ(url.Count(talix::kSigGraphic), 1u);
        const ItemRecord* link = First(url, talix::kSigStorageLink);
        ASSERT_NE(link, nullptr);
        EXPECT_EQ(link->Word(4), 4);   // a URL
        EXPECT_EQ(link->Word(6), 2);   // loaded when shown
        EXPECT_NE(link->bytes.find("http://x.com/p.gif"), std::string::npos);
        const ItemRecord* bitmap = First(url, talix::kSigBitmapHeader);
        ASSERT_NE(bitmap, nullptr);
        EXPECT_EQ(bitmap->Word(24), 30);
    }
    // Its alternative text stays with it, quotes and all; none is made up
    // for a picture without one.
    const Imported described = Import("<p><img src=\"http://x.com/p.gif\" alt=\"Tom's &quot;view&quot;\"></p>");
    ASSERT_EQ(described.status, 0);
    EXPECT_EQ(described.problem, "");
    const ItemRecord* alt = First(described, talix::kSigAltText);
    ASSERT_NE(alt, nullptr);
    EXPECT_EQ(alt->Word(4), 12);
    EXPECT_EQ(alt->bytes.substr(12, 12), "Tom's \"view\"");
    EXPECT_EQ(Import("<p><img src=\"http://x.com/p.gif\"></p>").Count(talix::kSigAltText), 0u);

    // A source of 1 MB is refused by the builder; the import neither
    // crashes nor writes half a picture.
    const Imported huge = Import("<p><img src=\"data:image/gif;base64," + std::string(1 << 20, 'A') + "\">x</p>");
    EXPECT_EQ(huge.problem, "");
    EXPECT_EQ(huge.Count(talix::kSigGraphic), 0u);
}

// Pictures and style sheets of HTML from the data are read only in the
// directory the options name, never by an absolute name, never out of it
// (by "..", or a link) and never from a device or a pipe; each one left out
// is named in the log.
TEST_F(ImageImport, PicturesAndStyleSheetsAreReadOnlyInTheirDirectory) {
    namespace fs = std::filesystem;
    WriteIcon("inside/icon.gif");
    fs::create_directories(dir_.file("inside/sub"));
    fs::create_directories(dir_.file("outside"));
    const std::string canary = dir_.file("outside/canary.gif");
    std::ofstream(canary, std::ios::binary) << kIcon << "CANARY";
    std::ofstream(dir_.file("outside/canary.css")) << "p { color: red }";
    fs::create_symlink("../outside/canary.gif", dir_.file("inside/out.gif"));
    fs::create_symlink("icon.gif", dir_.file("inside/in.gif"));
    fs::create_symlink("/dev/zero", dir_.file("inside/zero.gif"));
    ASSERT_EQ(mkfifo(dir_.file("inside/fifo.gif").c_str(), 0600), 0);
    const std::string inside = dir_.file("inside");
    const std::string options = "BasePathname='" + inside + "/'";

    for (const char* name : {"icon.gif", "sub/../icon.gif", "in.gif", "sub\\..\\icon.gif"}) {
        const Imported read = Import(std::string("<p><img src=\"") + name + "\"></p>", options.c_str());
        ASSERT_EQ(read.status, 0) << name;
        EXPECT_EQ(ImageData(read), kIcon) << name;
    }
    const std::string left[] = {"../outside/canary.gif", "sub/../../outside/canary.gif", canary, Backslashed(canary),
                                "out.gif", "zero.gif", "fifo.gif", "none.gif"};
    for (const std::string& name : left) {
        const Imported refused = Import("<p><img src=\"" + name + "\">x</p>", options.c_str());
        ASSERT_EQ(refused.status, 0) << name;
        EXPECT_EQ(refused.Count(talix::kSigGraphic), 0u) << name;
        EXPECT_FALSE(AnyRecordHolds(refused, "CANARY")) << name;
        EXPECT_TRUE(Logged("Picture '" + name + "' left out: ")) << name;
    }
    // Without a directory named for it, HTML from the data reads no file.
    for (const std::string& name : {std::string("icon.gif"), Backslashed(dir_.file("inside/icon.gif"))}) {
        const Imported none = Import("<p><img src=\"" + name + "\">x</p>", "");
        EXPECT_EQ(none.Count(talix::kSigImageSegment), 0u) << name;
    }
    EXPECT_TRUE(Logged("the import reads no local file (no directory is named for it)") ||
                Logged("an absolute name is not read"));

    // Style sheets likewise: the one inside is read, the ones out of it are not.
    std::ofstream(dir_.file("inside/site.css")) << "p { color: blue }";
    const Imported sheets = Import("<link rel=stylesheet href='../outside/canary.css'><link rel=stylesheet href='" +
                                       dir_.file("outside/canary.css") + "'><link rel=stylesheet href='site.css'>"
                                       "<p>styled</p>",
                                   options.c_str());
    ASSERT_EQ(sheets.status, 0);
    EXPECT_TRUE(Logged("Style sheet '../outside/canary.css' left out: the name leads out of the directory"));
    EXPECT_TRUE(Logged("Style sheet '" + dir_.file("outside/canary.css") + "' left out: an absolute name"));
    EXPECT_EQ(sheets.Run("styled").Font().color, 4);   // blue, not red
}

// A picture or style sheet whose name holds letters outside ASCII is read
// from the file of that name.
TEST_F(ImageImport, FilesNamedOutsideASCIIAreRead) {
    WriteIcon("bilder/Grüße Bild.gif");
    std::ofstream(dir_.file("bilder/Stil-ä.css")) << "p { color: blue }";
    const std::string options = "BasePathname='" + dir_.file("bilder") + "/'";
    const Imported read = Import("<meta charset=\"utf-8\"><link rel=stylesheet href=\"Stil-ä.css\">"
                                 "<p>styled <img src=\"Grüße Bild.gif\"></p>",
                                 options.c_str());
    ASSERT_EQ(read.status, 0);
    EXPECT_EQ(read.problem, "");
    EXPECT_EQ(ImageData(read), kIcon);
    EXPECT_EQ(read.Run("styled ").Font().color, 4);   // blue
}

// A picture file is kept as the kind its bytes are, whatever its name says,
// and of the size its header gives.
TEST_F(ImageImport, PictureFilesKeepTheirKindAndSize) {
    const struct {
        const char* name;
        std::string bytes;
        std::uint16_t type, width, height;
    } files[] = {{"photo.png", talix_test::PngPicture(30, 20), 4, 30, 20},
                 {"jpeg.gif", talix_test::JpegPicture(13, 14), 2, 13, 14},
                 {"gif.jpg", talix_test::GifPicture(11, 12), 1, 11, 12}};
    const std::string options = "BasePathname='" + dir_.file("kinds") + "/'";
    std::filesystem::create_directories(dir_.file("kinds"));
    for (const auto& file : files) {
        std::ofstream(dir_.file(std::string("kinds/") + file.name), std::ios::binary) << file.bytes;
        const Imported read = Import(std::string("<p><img src=\"") + file.name + "\"></p>", options.c_str());
        ASSERT_EQ(read.status, 0) << file.name;
        EXPECT_EQ(read.problem, "") << file.name;
        EXPECT_EQ(ImageData(read), file.bytes) << file.name;
        const ItemRecord* header = First(read, talix::kSigImageHeader);
        ASSERT_NE(header, nullptr) << file.name;
        EXPECT_EQ(header->Word(8), file.type) << file.name;
        EXPECT_EQ(header->Word(10), file.width) << file.name;
        EXPECT_EQ(header->Word(12), file.height) << file.name;
    }
}

TEST_F(ImageImport, GraphicsOfAnItemComeBackWithTheElementsSize) {
    // A note whose body holds a picture (in a wrapper with its alt text),
    // rendered by the generator.
    WithInlinePart();
    const Imported original = Import("<p><img src=\"cid:abc\" alt=\"orig\"></p>");
    ASSERT_EQ(original.status, 0);
    beforeImport_ = nullptr;
    std::string html;
    {
        ZervaRTItem item(&session_);
        ASSERT_EQ(item.Connect("", path_.c_str(), original.note, "Body", 0), 0);
        std::unique_ptr<ZervaRTChunk> chunk(item.DefineChunk("Everything"));
        char* block = chunk->GenerateHTML(nullptr, "HTML", nullptr, 0, nullptr, nullptr);
        ASSERT_NE(block, nullptr);
        html.assign(block, session_.textResultLength);
        talix::ZervaDeallocate(&session_, block);
    }
    const std::size_t at = html.find("src=\"");
    ASSERT_NE(at, std::string::npos) << html;
    std::string src = html.substr(at + 5, html.find('"', at + 5) - at - 5);
    for (std::size_t amp; (amp = src.find("&amp;")) != std::string::npos;) src.replace(amp, 5, "&");
    ASSERT_NE(src.find("FieldElemFormat"), std::string::npos) << src;

    const Imported copied = Import("<p><img src=\"" + src + "\" width=\"20\" height=\"10\" alt=\"hello\"></p>");
    ASSERT_EQ(copied.status, 0);
    EXPECT_EQ(copied.problem, "");
    EXPECT_EQ(ImageData(copied), kIcon);
    const ItemRecord* graphic = First(copied, talix::kSigGraphic);
    ASSERT_NE(graphic, nullptr);
    EXPECT_EQ(graphic->Word(8), 20);
    EXPECT_EQ(graphic->Word(10), 10);
    const ItemRecord* alt = First(copied, talix::kSigAltText);
    ASSERT_NE(alt, nullptr);
    EXPECT_EQ(alt->bytes.substr(12, 5), "hello");

    // A key that names no graphic of the item: a picture by URL instead.
    std::string other = src;
    other.replace(other.find('?') - 1, 1, "9");
    const Imported unknown = Import("<p><img src=\"" + other + "\"></p>");
    ASSERT_EQ(unknown.status, 0);
    EXPECT_EQ(ImageData(unknown), "");
    EXPECT_TRUE(AnyRecordHolds(unknown, "OpenElement"));
}

TEST_F(ImageImport, ImageResourcesAreReferredTo) {
    // Two image resources made of an imported picture of 13 x 11 pixels.
    WithInlinePart();
    const Imported original = Import("<p><img src=\"cid:abc\"></p>");
    ASSERT_EQ(original.status, 0);
    beforeImport_ = nullptr;
    {
        ZervaRTItem item(&session_);
        ASSERT_EQ(item.Connect("", path_.c_str(), original.note, "Body", 0), 0);
        talix::STATUS status = 0;
        talix::ItemRecordList* list = talix::SIAR(&item, 0, nullptr, 0, 0, 0, nullptr, &status);
        ASSERT_NE(list, nullptr);
        const talix::CDRecordNode* graphic = list->head;
        while (graphic != nullptr && graphic->signature != talix::kSigGraphic) graphic = graphic->next;
        ASSERT_NE(graphic, nullptr);
        for (const char* name : {"icons/fileatt.gif", "logo.gif"})
            EXPECT_EQ(talix::SaveGraphicAsImageResource(&session_, name, graphic, item.databaseHandle, 1), 0);
        talix::DeleteItemRecordList(&session_, list);
    }
    // The resource's size where the element gives none.
    const std::string resolved = "ResolveLocalResources=Yes";
    ASSERT_EQ(talix::ReadImageResourceSize(&session_, 0, "", nullptr, nullptr), 0);
    const Imported icon =
        Import("<p><a href=\"http://x.com/\"><img src=\"/icons/fileatt.gif\" height=\"5\">f</a></p>", resolved.c_str());
    ASSERT_EQ(icon.status, 0);
    EXPECT_EQ(icon.problem, "");
    EXPECT_TRUE(AnyRecordHolds(icon, "icons/fileatt.gif"));
    EXPECT_EQ(ImageData(icon), "");
    const ItemRecord* graphic = First(icon, talix::kSigGraphic);
    ASSERT_NE(graphic, nullptr);
    EXPECT_EQ(graphic->Word(8), 13);
    EXPECT_EQ(graphic->Word(10), 5);

    // Under the local resource prefix: the name after the prefix; a name
    // no resource has is a picture by URL.
    const Imported logo = Import("<p><img src=\"/images/logo.gif\"><img src=\"/images/none.gif\"></p>", resolved.c_str());
    ASSERT_EQ(logo.status, 0);
    EXPECT_EQ(logo.problem, "");
    EXPECT_EQ(logo.Count(talix::kSigGraphic), 2u);
    EXPECT_TRUE(AnyRecordHolds(logo, "logo.gif"));
    const ItemRecord* byUrl = First(logo, talix::kSigStorageLink);
    ASSERT_NE(byUrl, nullptr);
    EXPECT_NE(byUrl->bytes.find("/images/none.gif"), std::string::npos);
}

class ImageLengths : public import_test::ImportTest {};

TEST_F(ImageLengths, UnitsAndDefaults) {
    talix::HTMLImportContext* import = import_.get();
    const auto length = [&](const char* text) { return talix::ParseHTMLLength(import, text, 100); };
    EXPECT_EQ(length("50%"), 100);
    EXPECT_EQ(length("1in"), 96);
    EXPECT_EQ(length("12pt"), 16);
    EXPECT_EQ(length("2.54cm"), 96);
    EXPECT_EQ(length("25.4mm"), 96);
    EXPECT_EQ(length("10px"), 10);
    EXPECT_EQ(length("1em"), 14);
    EXPECT_EQ(length("40"), 40);
    EXPECT_EQ(length("-5"), 100);
    EXPECT_EQ(length("abc"), 100);
    EXPECT_EQ(length(nullptr), 100);
    EXPECT_EQ(length("99999999"), 65535);
    EXPECT_EQ(length("0"), 100);
    import->allowZeroSize = 1;
    EXPECT_EQ(length("0"), 0);
    import->pixelMultiplier = 20;
    EXPECT_EQ(length("1in"), 72);
}

// Reads the icon as a GIF decoder does: the header and screen, the colour
// table, extension blocks, the image and its LZW data, the trailer.
TEST(AttachmentIcon, IsAGifOfThirteenByElevenPixels) {
    const std::uint8_t* gif = talix::kAttachmentIcon;
    const std::size_t size = talix::kAttachmentIconSize;
    ASSERT_EQ(size, 139u);
    ASSERT_EQ(std::string(reinterpret_cast<const char*>(gif), 6), "GIF89a");
    const int width = gif[6] | gif[7] << 8, height = gif[8] | gif[9] << 8;
    EXPECT_EQ(width, 13);
    EXPECT_EQ(height, 11);
    ASSERT_NE(gif[10] & 0x80, 0);
    std::size_t at = 13 + 3 * (2u << (gif[10] & 7));
    while (at < size && gif[at] == 0x21) {
        at += 2;
        while (at < size && gif[at] != 0) at += gif[at] + 1u;
        ++at;
    }
    ASSERT_LT(at + 10, size);
    ASSERT_EQ(gif[at], 0x2C);
    EXPECT_EQ(gif[at + 5] | gif[at + 6] << 8, 13);
    EXPECT_EQ(gif[at + 7] | gif[at + 8] << 8, 11);
    at += 10;
    const int minimum = gif[at++];
    std::vector<std::uint8_t> data;
    while (at < size && gif[at] != 0) {
        data.insert(data.end(), gif + at + 1, gif + at + 1 + gif[at]);
        at += gif[at] + 1u;
    }
    ASSERT_EQ(at + 2, size);
    EXPECT_EQ(gif[at + 1], 0x3B);

    const int clear = 1 << minimum, end = clear + 1;
    int codeSize = minimum + 1;
    std::size_t bit = 0;
    auto read = [&]() {
        int code = 0;
        for (int i = 0; i < codeSize; ++i, ++bit)
            if (bit / 8 < data.size() && (data[bit / 8] >> (bit % 8) & 1) != 0) code |= 1 << i;
        return code;
    };
    std::vector<std::vector<int>> table;
    std::vector<int> pixels;
    int previous = -1;
    for (int guard = 0; guard < 1000; ++guard) {
        const int code = read();
        if (code == clear) {
            table.clear();
            for (int i = 0; i < clear + 2; ++i) table.push_back({i});
            codeSize = minimum + 1;
            previous = -1;
            continue;
        }
        if (code == end) break;
        ASSERT_FALSE(table.empty());
        std::vector<int> entry;
        if (code < static_cast<int>(table.size())) {
            entry = table[code];
            if (previous >= 0) {
                std::vector<int> added = table[previous];
                added.push_back(entry[0]);
                table.push_back(added);
            }
        } else {
            ASSERT_GE(previous, 0);
            entry = table[previous];
            entry.push_back(entry[0]);
            table.push_back(entry);
        }
        pixels.insert(pixels.end(), entry.begin(), entry.end());
        previous = code;
        if (static_cast<int>(table.size()) == 1 << codeSize && codeSize < 12) ++codeSize;
    }
    ASSERT_EQ(pixels.size(), 13u * 11u);
    for (const int pixel : pixels) EXPECT_LT(pixel, 4);
    // A page: its left edge drawn from top to bottom, its corner folded.
    for (int row = 0; row < 11; ++row) EXPECT_EQ(pixels[row * 13 + 2], 1) << row;
    EXPECT_EQ(pixels[0], 0);
}

} // namespace
