// The file form of the MIME writer as a mail reader sees it: the message
// Python's email package reads from the file, its header lines, levels,
// pictures, icons and attachments, and what goes wrong with bad input.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "builders/image_resource.h"
#include "core/item_work_state.h"
#include "core/mime_ids.h"
#include "core/record_io.h"
#include "core/replacing_file.h"
#include "core/temp_directory.h"
#include "mime_fixture.h"
#include "support/patterns.h"
#include "support/record_fixture.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace {

using namespace mime_test;
using engine_test::Join;
using graphic_test::GifData;
using graphic_test::GifPicture;
using graphic_test::JpegData;
using talix_test::FixtureRecord;
using talix_test::HostRecord;

std::string Token(plat::NOTEHANDLE note) {
    char token[talix::kNoteTokenSize] = {};
    EXPECT_EQ(talix::ReadNoteToken(note, token), 0);
    return token;
}

std::string FileText(const std::string& path) { return talix_test::ReadFile(path); }

class FileForm : public MimeTest {
public:
    // Stores a paragraph and two GIF pictures, then a picture of each image
    // resource named (each name followed by suffix), and saves each name as
    // an image resource of the database: the second name holds the second
    // picture, the others the first.
    void StoreImageResources(const std::vector<std::string>& names, const std::string& suffix,
                             const std::vector<std::uint8_t>& first, const std::vector<std::uint8_t>& second) {
        engine_test::Records records =
            Join({engine_test::Runs({"Pictures"}), GifPicture(first, 12, 9), GifPicture(second, 7, 5)});
        for (const std::string& name : names) {
            records.insert(records.end(), {graphic_test::Begin(0x99), graphic_test::Graphic(),
                                           graphic_test::ImageResource(plat::NativeToLmbcs(name) + suffix),
                                           graphic_test::End(0x99)});
        }
        Store(records);
        talix::STATUS status = 0;
        talix::ItemRecordList* list = talix::SIAR(&item_, 0, nullptr, 0, 0, 0, nullptr, &status);
        ASSERT_NE(list, nullptr);
        std::vector<const talix::CDRecordNode*> graphics;
        for (const talix::CDRecordNode* node = list->head; node != nullptr; node = node->next)
            if (node->signature == 0x99) graphics.push_back(node);
        ASSERT_GE(graphics.size(), 2u);
        for (std::size_t i = 0; i < names.size(); ++i)
            EXPECT_EQ(talix::SaveGraphicAsImageResource(&session_, plat::NativeToLmbcs(names[i]).c_str(),
                                                        graphics[i == 1 ? 1 : 0], item_.databaseHandle, 1),
                      0);
        talix::DeleteItemRecordList(&session_, list);
    }

    // What a reader finds of the image resources in the message the item
    // exports to: the message (read without defects), its text, the names
    // its one HTML part gives after "cid:" in order, and its GIF parts that
    // carry a file name.
    struct SentResources {
        std::string whole;
        ReadMessage message;
        std::vector<std::string> named;
        std::vector<const ReadPart*> resources;
    };
    void ExportResources(SentResources* sent) {
        const std::string path = Export();
        ASSERT_EQ(item_.lastStatus, 0);
        sent->whole = FileText(path);
        sent->message = ReadMessageFile(path);
        ASSERT_TRUE(sent->message.read);
        EXPECT_TRUE(sent->message.defects.empty()) << testing::PrintToString(sent->message.defects);
        const std::vector<const ReadPart*> htmlParts = sent->message.Parts("text/html");
        ASSERT_EQ(htmlParts.size(), 1u);
        for (const std::vector<std::string>& match :
             talix_test::FindAll(htmlParts[0]->payload, "src=\"cid:([^\"]+)\""))
            sent->named.push_back(match[1]);
        for (const ReadPart* part : sent->message.Parts("image/gif"))
            if (!part->filename.empty()) sent->resources.push_back(part);
    }
};

// The local day as mm/dd/yyyy.
std::string Today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char today[48];
    std::snprintf(today, sizeof today, "%.2d/%.2d/%.4d", local.tm_mon + 1, local.tm_mday, local.tm_year + 1900);
    return today;
}

TEST_F(FileForm, PlainItemIsAWellFormedMessage) {
    Store(engine_test::Runs({"Hello"}));
    // The day before and after the export: either is the day it wrote.
    const std::string dayBefore = Today();
    const std::string path = Export();
    const std::string dayAfter = Today();
    ASSERT_EQ(item_.lastStatus, 0);
    const std::string token = Token(item_.noteHandle);
    const ReadMessage message = ReadMessageFile(path);
    ASSERT_TRUE(message.read);
    EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);
    EXPECT_EQ(message.HeaderNames(),
              (std::vector<std::string>{"Received", "From", "To", "MIME-Version", "Subject", "Date", "Message-ID",
                                        "X-Priority", "X-MIMETrack", "X-Unsent", "X-MimeOLE", "Content-Type"}));
    std::string lower = token;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(message.Header("Subject"), "Export of Body from " + lower);
    EXPECT_EQ(message.Header("MIME-Version"), "1.0");
    EXPECT_EQ(message.Header("X-Priority"), "3");
    EXPECT_EQ(message.Header("X-Unsent"), "1");
    // The default sender and recipient: the text naming the system as the
    // display name of an address that cannot be delivered.
    const auto generated = [](const std::string& day) {
        return "\"Generated by Talix, " + day + " (mm/dd/yyyy)\" <talix@localhost.invalid>";
    };
    const std::string from = message.Header("From");
    EXPECT_TRUE(from == generated(dayBefore) || from == generated(dayAfter)) << from;
    EXPECT_EQ(message.Header("To"), from);

    ASSERT_EQ(message.parts.size(), 3u);
    EXPECT_EQ(message.parts[0].type, "multipart/related");
    EXPECT_EQ(message.parts[1].type, "multipart/alternative");
    EXPECT_EQ(message.parts[2].path, "0.1.1");
    EXPECT_EQ(message.parts[2].type, "text/html");
    EXPECT_NE(message.parts[2].payload.find("<html"), std::string::npos);
    // Every boundary ends in the note part of the token; lines end in LF.
    const std::string text = FileText(path);
    const std::string tail = token.substr(16);
    for (const char* level : {"related", "alternative"})
        EXPECT_NE(text.find(std::string("boundary=\"=_") + level + " " + tail + "_=\""), std::string::npos) << level;
    EXPECT_EQ(text.find('\r'), std::string::npos);
}

// A text with line ends of its own whose lines read as the entity's
// boundary lines, and a carriage return alone: the part goes
// quoted-printable, so that the message keeps its levels and every word,
// in the file and in the note alike.
TEST_F(FileForm, TextThatReadsAsBoundaryLinesCannotEndTheLevels) {
    Store(engine_test::Runs({"placeholder"}));
    const std::string tail = Token(item_.noteHandle).substr(16);
    const std::vector<std::string> lines = {"first",
                                            "--=_related " + tail + "_=--",
                                            "--=_alternative " + tail + "_=",
                                            "--=_mixed " + tail + "_=",
                                            "second\rthird",
                                            "last words"};
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
    ASSERT_EQ(talix_test::StoreRichTextItem(item_.noteHandle, "Tricky", engine_test::Runs({text})), 0);
    ASSERT_EQ(plat::NoteUpdate(item_.noteHandle, 0), plat::NOERROR);

    ZervaRTItem item(&session_);
    ASSERT_EQ(item.Connect("", path_.c_str(), noteId_, "Tricky", 0), 0);
    const std::string path = dir_.file("tricky.eml");
    item.ExportToMIME(path.c_str(), nullptr, nullptr, nullptr, "", 0, "", 0, nullptr);
    ASSERT_EQ(item.lastStatus, 0);
    const ReadMessage message = ReadMessageFile(path);
    ASSERT_TRUE(message.read);
    EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);
    const std::vector<const ReadPart*> html = message.Parts("text/html");
    ASSERT_EQ(html.size(), 1u);
    EXPECT_EQ(html[0]->path, "0.1.1");
    EXPECT_EQ(message.parts.size(), 3u);
    EXPECT_NE(html[0]->payload.find(text), std::string::npos) << html[0]->payload;

    // The stored parts: no line of a body begins as a boundary line.
    item.ConvertToMIME("Stored", nullptr, nullptr, nullptr, "MultiPart=Yes", 0, "", 0, nullptr);
    ASSERT_EQ(item.lastStatus, 0);
    const std::vector<std::string> values = talix_test::StoredValues(item.noteHandle, "Stored");
    ASSERT_GE(values.size(), 2u);
    for (const std::string& value : values) {
        EXPECT_EQ(value.find("\n--=_"), std::string::npos);
        EXPECT_EQ(value.find("\r--=_"), std::string::npos);
    }
    EXPECT_NE(values[1].find("Content-Transfer-Encoding: quoted-printable"), std::string::npos);
}

// The part's header and its text agree on the transfer encoding whichever
// of the two options asks for it: text the generation writes
// quoted-printable is labelled so, and text the header calls
// quoted-printable is encoded, so that "=41" in the text stays "=41".
TEST_F(FileForm, TheHeaderAndTheTextAgreeOnQuotedPrintable) {
    Store(engine_test::Runs({"x=41y a=3Db end"}));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "ContentTransferEncoding=quoted-printable"},
        {"QuotedPrintable=Yes", "ContentTransferEncoding=none"},
        {"QuotedPrintable=Yes", ""},
        {"", ""},
    };
    for (const auto& [options, htmlOptions] : cases) {
        const ReadMessage message = ReadMessageFile(Export(options, htmlOptions));
        ASSERT_EQ(item_.lastStatus, 0);
        ASSERT_TRUE(message.read);
        EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);
        const std::vector<const ReadPart*> html = message.Parts("text/html");
        ASSERT_EQ(html.size(), 1u);
        EXPECT_NE(html[0]->text.find("x=41y a=3Db end"), std::string::npos)
            << options << " / " << htmlOptions << ": " << html[0]->payload;
    }
}

TEST_F(FileForm, PicturesIconsAndImageResourcesArePartsOfTheirOwn) {
    const std::vector<std::uint8_t> gif = GifData(12, 9, 300), jpeg = JpegData(20, 10);
    Store(Join({engine_test::Runs({"Pictures"}), GifPicture(gif, 12, 9), JpegPicture(jpeg, 20, 10),
                {TableTab(), engine_test::Text("tab"), TableTab(), CheckList(true), CheckList(false),
                 CheckList(true)},
                {graphic_test::Begin(0x99), graphic_test::Graphic(), graphic_test::ImageResource("logo.gif"),
                 graphic_test::End(0x99)},
                {graphic_test::Begin(0x99), graphic_test::Graphic(), graphic_test::ImageResource("pic.png"),
                 graphic_test::End(0x99)},
                {graphic_test::Begin(0x99), graphic_test::Graphic(), graphic_test::ImageResource("missing.gif"),
                 graphic_test::End(0x99)},
                {graphic_test::Begin(0x99), graphic_test::Graphic(), graphic_test::ImageResource("logo.gif"),
                 graphic_test::End(0x99)}}));
    // The image resource "logo.gif" holds the GIF too.
    {
        talix::STATUS status = 0;
        talix::ItemRecordList* list = talix::SIAR(&item_, 0, nullptr, 0, 0, 0, nullptr, &status);
        ASSERT_NE(list, nullptr);
        const talix::CDRecordNode* graphic = list->head;
        while (graphic != nullptr && graphic->signature != 0x99) graphic = graphic->next;
        ASSERT_NE(graphic, nullptr);
        EXPECT_EQ(talix::SaveGraphicAsImageResource(&session_, "logo.gif", graphic, item_.databaseHandle, 1), 0);
        talix::DeleteItemRecordList(&session_, list);
    }

    const ReadMessage message = ReadMessageFile(Export());
    ASSERT_EQ(item_.lastStatus, 0);
    ASSERT_TRUE(message.read);
    EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);
    const std::string tail = Token(item_.noteHandle).substr(16);
    const std::vector<const ReadPart*> htmlParts = message.Parts("text/html");
    ASSERT_EQ(htmlParts.size(), 1u);
    const std::vector<const ReadPart*> gifs = message.Parts("image/gif");
    const std::vector<const ReadPart*> jpegs = message.Parts("image/jpeg");
    ASSERT_EQ(jpegs.size(), 1u);
    EXPECT_TRUE(talix_test::FullMatch(jpegs[0]->id, "<_2_[0-9]{6}[0-9A-F]{6,}" + tail + ">")) << jpegs[0]->id;
    EXPECT_EQ(jpegs[0]->payload, std::string(jpeg.begin(), jpeg.end()));
    ASSERT_EQ(gifs.size(), 5u);
    EXPECT_TRUE(talix_test::FullMatch(gifs[0]->id, "<_1_[0-9]{6}[0-9A-F]{6,}" + tail + ">")) << gifs[0]->id;
    // The picture, the table tab and the two boxes once each, the GIF image
    // resource once; the PNG resource and the one that is missing are left
    // out.
    std::vector<std::string> gifIds;
    for (const ReadPart* part : gifs) gifIds.push_back(part->id);
    EXPECT_EQ(gifIds, (std::vector<std::string>{gifs[0]->id, "<_a_tabletab>", "<_a_checked>", "<_a_unchecked>",
                                                "<logo.gif>"}));
    for (const ReadPart* part : gifs) {
        EXPECT_EQ(part->payload.substr(0, 6), "GIF89a") << part->id;
        EXPECT_NE(htmlParts[0]->path.substr(0, 3), part->path.substr(0, 3) + ".") << "not in the alternative level";
    }
    EXPECT_EQ(gifs[0]->payload, std::string(gif.begin(), gif.end()));
    EXPECT_EQ(gifs[4]->payload, std::string(gif.begin(), gif.end()));
    EXPECT_EQ(gifs[1]->filename, "tabletab.gif");

    // The generation names the pictures and the resource by the writer's
    // Content-IDs; every cid: in the HTML is a part, but for the resources
    // left out.
    const std::string& html = htmlParts[0]->payload;
    std::set<std::string> parts;
    for (const ReadPart& part : message.parts) {
        if (!part.id.empty()) parts.insert(part.id.substr(1, part.id.size() - 2));
    }
    std::set<std::string> named;
    for (const std::vector<std::string>& match : talix_test::FindAll(html, "src=\"cid:([^\"]+)\""))
        named.insert(match[1]);
    for (const std::string& id : {gifs[0]->id, jpegs[0]->id, std::string("<logo.gif>")})
        EXPECT_EQ(named.count(id.substr(1, id.size() - 2)), 1u) << id << " in " << html;
    for (const std::string& id : named) {
        if (id != "pic.png" && id != "missing.gif") EXPECT_EQ(parts.count(id), 1u) << id;
    }
}

TEST_F(FileForm, FileHotspotsMakeAMixedLevelWithTheirAttachments) {
    std::string content = "PK\x03\x04";
    for (int i = 0; i < 600; ++i) content += static_cast<char>(i * 37);
    Store(Join({engine_test::Runs({"Files"}), FileHotspot("report.bin", "C:\\docs\\report.bin"),
                FileHotspot("gone.bin", "gone.bin")}),
          {{"report.bin", content}});

    // An attachment that is gone loses its part, and the log says so.
    plat::LogClearRecent();
    ReadMessage message = ReadMessageFile(Export());
    EXPECT_EQ(item_.lastStatus, 0);
    std::size_t logged = 0;
    for (const plat::LogEntry& entry : plat::LogRecent()) logged += entry.text.find("'gone.bin'") != std::string::npos;
    EXPECT_GE(logged, 1u);
    ASSERT_TRUE(message.read);
    EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);
    ASSERT_FALSE(message.parts.empty());
    EXPECT_EQ(message.parts[0].type, "multipart/mixed");
    EXPECT_EQ(message.parts[1].type, "multipart/related");
    const std::vector<const ReadPart*> files = message.Parts("application/octet-stream");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0]->path, "0.2");
    EXPECT_EQ(files[0]->filename, "C:\\docs\\report.bin");
    EXPECT_EQ(files[0]->payload, content);

    // Files other than ".eml" take attachments only with FileHandling=PLACE;
    // ".eml" files leave them out with FileHandling=DISK.
    message = ReadMessageFile(Export("", "", "out.mht"));
    EXPECT_EQ(message.parts[0].type, "multipart/mixed");
    EXPECT_TRUE(message.Parts("application/octet-stream").empty());
    message = ReadMessageFile(Export("FileHandling=PLACE", "", "placed.mht"));
    EXPECT_EQ(message.Parts("application/octet-stream").size(), 1u);
    message = ReadMessageFile(Export("FileHandling=DISK", "", "disk.eml"));
    EXPECT_TRUE(message.Parts("application/octet-stream").empty());
    EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);
}

// The folder an export makes for the attachments it extracts goes with the
// run when a termination request ends it while it writes the HTML part,
// files and all, as it does when the export ends of itself.
std::vector<std::string> ScratchFolders(const std::filesystem::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_directory() && entry.path().filename().string().rfind("talix-", 0) == 0)
            found.push_back(entry.path().filename().string());
    return found;
}

// Seen by the link event: the scratch folder's files at that moment; then
// the process is asked to end.
std::filesystem::path g_scratchRoot;
std::uint16_t EndDuringGeneration(ZervaRTChunk*, std::uint16_t, char*, std::uint16_t, void*, void*, void*, char*,
                                  std::uint16_t, char*, std::uint16_t, char*, std::uint16_t) {
    int files = 0;
    for (const std::string& name : ScratchFolders(g_scratchRoot))
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(g_scratchRoot / name)) ++files;
    // Exit code 5: the folder or its extracted file was not there to remove.
    if (files == 0) ::_exit(5);
    ::raise(SIGTERM);
    return 0;
}

void RemoveOutputsAndEnd(int) {
    talix::RemovePendingOutputs();
    ::_exit(3);
}

TEST_F(FileForm, AnInterruptedExportLeavesNoFolderBehind) {
    std::string content(4096, 'x');
    talix_test::FixtureRecord link = talix_test::HostRecord(0xFF92, 44 + 4);
    const std::string link40(40, '\x11');
    std::memcpy(link.bytes.data() + 4, link40.data(), link40.size());
    Store(Join({engine_test::Runs({"Files"}), FileHotspot("report.bin", "report.bin"),
                {link}, engine_test::Runs({"after"})}),
          {{"report.bin", content}});
    // The export's temporary folder is the fixture's.
    g_scratchRoot = talix::TempDirectory();
    ASSERT_TRUE(ScratchFolders(g_scratchRoot).empty());

    const std::string path = dir_.file("ended.eml");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGTERM, RemoveOutputsAndEnd);
        item_.ExportToMIME(path.c_str(), nullptr, nullptr, nullptr, "", 0, "RaiseLinkEvent=Doc", 0,
                           EndDuringGeneration);
        ::_exit(4);   // the link event never came
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
    EXPECT_TRUE(ScratchFolders(g_scratchRoot).empty()) << testing::PrintToString(ScratchFolders(g_scratchRoot));

    // The same export run to its end leaves none either.
    item_.ExportToMIME(path.c_str(), nullptr, nullptr, nullptr, "", 0, "", 0, nullptr);
    EXPECT_EQ(item_.lastStatus, 0);
    EXPECT_TRUE(ScratchFolders(g_scratchRoot).empty());
}

// Names outside US-ASCII travel in the extended parameter form of the mail
// standards: the header stays US-ASCII, and a reader gets each name whole,
// a long one put together from its pieces.
TEST_F(FileForm, AttachmentNamesOutsideAsciiReachTheReaderWhole) {
    const std::string shortName = "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80 \"x\";%.txt";
    std::string longName = "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D ";
    for (int i = 0; i < 12; ++i) longName += "e\xCC\x81\xF0\x9D\x90\x80 \xE6\x97\xA5";
    longName += ".bin";
    Store(Join({engine_test::Runs({"Files"}), FileHotspot(plat::NativeToLmbcs(shortName), plat::NativeToLmbcs("C:\\in\\" + shortName)),
                FileHotspot(plat::NativeToLmbcs(longName), plat::NativeToLmbcs(longName))}),
          {{plat::NativeToLmbcs(shortName), "one"}, {plat::NativeToLmbcs(longName), "two"}});
    const std::string path = Export();
    ASSERT_EQ(item_.lastStatus, 0);
    const std::string whole = FileText(path);
    const std::string text = whole.substr(whole.find("Content-Type: application/octet-stream"));
    for (const char c : text) ASSERT_LT(static_cast<unsigned char>(c), 0x80u) << text;
    for (std::size_t at = 0, end; at < text.size(); at = end + 1) {
        end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        EXPECT_LE(end - at, 78u) << text.substr(at, end - at);
    }
    EXPECT_NE(text.find("name*=UTF-8''Gr%C3%BC%C3%9Fe%20%F0%9F%98%80%20%22x%22%3B%25.txt"), std::string::npos);
    EXPECT_NE(text.find("filename*1*="), std::string::npos);

    const ReadMessage message = ReadMessageFile(path);
    ASSERT_TRUE(message.read);
    EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);
    const std::vector<const ReadPart*> files = message.Parts("application/octet-stream");
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0]->filename, "C:\\in\\" + shortName);
    EXPECT_EQ(files[0]->payload, "one");
    EXPECT_EQ(files[1]->filename, longName);
    EXPECT_EQ(files[1]->payload, "two");
}

TEST_F(FileForm, ImageResourceNamesOutsideAsciiReachTheReaderWhole) {
    // Two resources whose names differ only outside ASCII, and ones whose
    // names hold a "%", "#" or "?": each travels under a Content-ID of
    // ASCII that the HTML names, with its name in UTF-8. A cid: address
    // holds no bare "%", "#" or "?", which would make it name another part.
    const std::vector<std::uint8_t> gif = GifData(12, 9, 300), other = GifData(7, 5, 40);
    const std::vector<std::string> names = {"Bild-\xC3\xA4.gif", "Bild-\xC3\xB6.gif", "50%.gif", "R#1?.gif"};
    StoreImageResources(names, "", gif, other);
    if (HasFatalFailure()) return;

    SentResources sent;
    ExportResources(&sent);
    if (HasFatalFailure()) return;
    const std::string& whole = sent.whole;
    const std::string text = whole.substr(whole.find("\n\n"));
    for (const char c : text) ASSERT_LT(static_cast<unsigned char>(c), 0x80u) << text;
    const std::set<std::string> named(sent.named.begin(), sent.named.end());
    const std::vector<const ReadPart*>& resources = sent.resources;
    ASSERT_EQ(resources.size(), names.size()) << whole;
    std::set<std::string> ids;
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(resources[i]->filename, names[i]);
        const std::vector<std::uint8_t>& content = i == 1 ? other : gif;
        EXPECT_EQ(resources[i]->payload, std::string(content.begin(), content.end())) << names[i];
        const std::string& id = resources[i]->id;
        ASSERT_GE(id.size(), 2u);
        EXPECT_EQ(id.find_first_of("%#?"), std::string::npos) << id;
        ids.insert(id);
        EXPECT_EQ(named.count(id.substr(1, id.size() - 2)), 1u) << id << " in " << whole;
    }
    EXPECT_EQ(ids.size(), names.size());
}

TEST_F(FileForm, ImageResourcesNamedWithBlanksOrFoldersTravel) {
    // Resources whose stored names hold a blank or a backslash are found
    // under those names; each travels under a Content-ID the HTML names,
    // the file name keeping its blank.
    const std::vector<std::uint8_t> gif = GifData(12, 9, 300), other = GifData(7, 5, 40);
    const std::vector<std::string> names = {"Untitled 2.gif", "Bild \xC3\xA4.gif", "Icons\\logo.gif",
                                            "Untitled_2.gif"};
    StoreImageResources(names, "|alias", gif, other);
    if (HasFatalFailure()) return;

    SentResources sent;
    ExportResources(&sent);
    if (HasFatalFailure()) return;
    const std::vector<std::string>& named = sent.named;
    const std::vector<const ReadPart*>& resources = sent.resources;
    ASSERT_EQ(resources.size(), 4u) << sent.whole;
    const std::vector<std::string> files = {"Untitled 2.gif", "Bild \xC3\xA4.gif", "Icons_logo.gif", "Untitled_2.gif"};
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(resources[i]->filename, files[i]);
        const std::vector<std::uint8_t>& content = i == 1 ? other : gif;
        EXPECT_EQ(resources[i]->payload, std::string(content.begin(), content.end())) << files[i];
        const std::string& id = resources[i]->id;
        ASSERT_GE(id.size(), 2u);
        EXPECT_EQ(id.find(' '), std::string::npos) << id;
        EXPECT_NE(std::find(named.begin(), named.end(), id.substr(1, id.size() - 2)), named.end())
            << id << " in " << sent.whole;
    }
    ASSERT_EQ(named.size(), 6u) << sent.whole;
}

TEST_F(FileForm, ImageResourcesWhoseContentIdsWouldMeetTravelApart) {
    // "a b.gif" and "a_b.gif" come to the same Content-ID form, and so do
    // "50%.gif" and "50=25.gif": each resource is a part of its own under a
    // Content-ID of its own that its picture names, the name that is its
    // Content-ID keeping it. A name that meets no other keeps its own.
    const std::vector<std::uint8_t> gif = GifData(12, 9, 300), other = GifData(7, 5, 40);
    const std::vector<std::string> names = {"a_b.gif", "a b.gif", "50%.gif", "50=25.gif", "logo x.gif"};
    StoreImageResources(names, "", gif, other);
    if (HasFatalFailure()) return;

    SentResources sent;
    ExportResources(&sent);
    if (HasFatalFailure()) return;
    const std::vector<std::string>& named = sent.named;
    ASSERT_EQ(named.size(), 7u) << sent.whole;
    const std::vector<const ReadPart*>& resources = sent.resources;
    ASSERT_EQ(resources.size(), 5u) << sent.whole;
    std::set<std::string> ids;
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(resources[i]->filename, names[i]);
        const std::vector<std::uint8_t>& content = i == 1 ? other : gif;
        EXPECT_EQ(resources[i]->payload, std::string(content.begin(), content.end())) << names[i];
        EXPECT_EQ(resources[i]->id, "<" + named[2 + i] + ">") << names[i];
        ids.insert(resources[i]->id);
    }
    EXPECT_EQ(ids.size(), names.size());
    EXPECT_EQ(resources[0]->id, "<a_b.gif>");
    EXPECT_EQ(resources[3]->id, "<50=25.gif>");
    EXPECT_EQ(resources[4]->id, "<logo_x.gif>");
}

TEST_F(FileForm, BadOutputAndInputEndWithAStatus) {
    Store(engine_test::Runs({"Text"}));
    talix_test::g_messages.clear();
    plat::RegisterMessageProc(talix_test::CollectMessage);
    const std::string missing = dir_.file("no/such/dir/out.eml");
    item_.ExportToMIME(missing.c_str(), nullptr, nullptr, nullptr, "", 0, "", 0, nullptr);
    plat::RegisterMessageProc(nullptr);
    EXPECT_EQ(item_.lastStatus, 546);
    EXPECT_EQ(item_.ownError, 546);
    EXPECT_EQ(talix_test::g_messages, std::vector<std::string>{"TALIX: Export to MIME filename '" + missing + "' invalid"});

    // An unterminated quote runs to the end; a long charset (of no set the
    // platform writes) makes a quoted-printable part in UTF-8 that still
    // reads.
    const std::string charset(300, 'x');
    ReadMessage message = ReadMessageFile(Export("ExpSubject='Half quoted charset=" + charset, ""));
    EXPECT_EQ(item_.lastStatus, 0);
    std::string subject = message.Header("Subject");
    subject.erase(std::remove(subject.begin(), subject.end(), '\n'), subject.end());
    EXPECT_EQ(subject, "Half quoted charset=" + charset);
    message = ReadMessageFile(Export("charset=|" + charset + "|"));
    EXPECT_EQ(item_.lastStatus, 0);
    ASSERT_EQ(message.Parts("text/html").size(), 1u);
    EXPECT_NE(FileText(dir_.file("out.eml")).find("charset=\"utf-8\"\nContent-Transfer-Encoding: quoted-printable"),
              std::string::npos);
    EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);

    // An item without records still makes a whole message.
    ZervaRTItem empty(&session_);
    ASSERT_EQ(empty.Connect("", path_.c_str(), noteId_, "NoSuchItem", 1), 0);
    empty.ExportToMIME(dir_.file("empty.eml").c_str(), nullptr, nullptr, nullptr, "", 0, "", 0, nullptr);
    EXPECT_EQ(empty.lastStatus, 0);
    message = ReadMessageFile(dir_.file("empty.eml"));
    EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);

    // An unconnected item is refused.
    ZervaRTItem unconnected(&session_);
    unconnected.ExportToMIME(dir_.file("none.eml").c_str(), nullptr, nullptr, nullptr, "", 0, "", 0, nullptr);
    EXPECT_EQ(unconnected.lastStatus, 1028);
    EXPECT_EQ(unconnected.ownError, 20014);
}

TEST_F(FileForm, FiveThousandPictures) {
    Store(ManyPictures(5000));
    const ReadMessage message = ReadMessageFile(Export());
    EXPECT_EQ(item_.lastStatus, 0);
    EXPECT_TRUE(message.defects.empty());
    const std::vector<const ReadPart*> gifs = message.Parts("image/gif");
    ASSERT_EQ(gifs.size(), 5000u);
    EXPECT_EQ(gifs[4999]->payload.size(), 24u + 4999 % 7);
}

TEST_F(FileForm, AStoredMimeItemIsCopiedPartByPart) {
    Store(engine_test::Runs({"Stored"}));
    plat::ItemSetText(item_.noteHandle, "Subject", "Kept subject", 12);
    plat::ItemSetText(item_.noteHandle, "From", "jo@example.com", 14);
    plat::ItemSetText(item_.noteHandle, "SendTo", "al@example.com", 14);
    item_.ConvertToMIME("Body", nullptr, nullptr, nullptr, "Overwrite=Yes MultiPart=Yes", 0, "", 0, nullptr);
    ASSERT_EQ(item_.lastStatus, 0);
    const ReadMessage message = ReadMessageFile(Export("UseMailFields=Yes"));
    EXPECT_EQ(item_.lastStatus, 0);
    ASSERT_TRUE(message.read);
    EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);
    EXPECT_EQ(message.Header("Subject"), "Kept subject");
    EXPECT_EQ(message.Header("MIME-Version"), "1.0");
    ASSERT_EQ(message.parts.size(), 2u);
    EXPECT_EQ(message.parts[0].type, "multipart/alternative");
    EXPECT_EQ(message.parts[1].type, "text/html");
}

// Stored parts with pictures and attachments, some kept in attachments of
// the note, are copied whole.
TEST_F(FileForm, StoredPicturesAndAttachmentsAreCopiedWhole) {
    const std::vector<std::uint8_t> gif = GifData(200, 200, 30000), jpeg = JpegData(20, 10);
    const std::string content = "PK\x03\x04" + std::string(400, 'z');
    Store(Join({engine_test::Runs({"Stored"}), GifPicture(gif, 200, 200), JpegPicture(jpeg, 20, 10),
                FileHotspot("report.bin", "report.bin")}),
          {{"report.bin", content}});
    plat::ItemSetText(item_.noteHandle, "From", "jo@example.com", 14);
    plat::ItemSetText(item_.noteHandle, "SendTo", "al@example.com", 14);
    item_.ConvertToMIME("Body", nullptr, nullptr, nullptr, "Overwrite=Yes", 0, "", 0, nullptr);
    ASSERT_EQ(item_.lastStatus, 0);
    const ReadMessage message = ReadMessageFile(Export("UseMailFields=Yes"));
    EXPECT_EQ(item_.lastStatus, 0);
    ASSERT_TRUE(message.read);
    EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);
    ASSERT_EQ(message.Parts("image/gif").size(), 1u);
    EXPECT_EQ(message.Parts("image/gif")[0]->payload, std::string(gif.begin(), gif.end()));
    ASSERT_EQ(message.Parts("image/jpeg").size(), 1u);
    EXPECT_EQ(message.Parts("image/jpeg")[0]->payload, std::string(jpeg.begin(), jpeg.end()));
    ASSERT_EQ(message.Parts("application/octet-stream").size(), 1u);
    EXPECT_EQ(message.Parts("application/octet-stream")[0]->payload, content);
}

// A file whose name is longer than 31 bytes, stored as a MIME part that
// names it, stays with the message: copied, read back and converted.
TEST_F(FileForm, StoredAttachmentsOfLongNamesAreKept) {
    const std::string name = "Quarterly figures for the northern region.bin";
    const std::string content = "PK\x03\x04" + std::string(200, 'q');
    Store(Join({engine_test::Runs({"Stored"}), FileHotspot(name, name)}), {{name, content}});
    item_.ConvertToMIME("Body", nullptr, nullptr, nullptr, "Overwrite=Yes", 0, "", 0, nullptr);
    ASSERT_EQ(item_.lastStatus, 0);
    for (const char* options : {"UseMailFields=Yes", ""}) {
        const ReadMessage message = ReadMessageFile(Export(options));
        EXPECT_EQ(item_.lastStatus, 0) << options;
        ASSERT_TRUE(message.read);
        EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);
        const std::vector<const ReadPart*> files = message.Parts("application/octet-stream");
        ASSERT_EQ(files.size(), 1u) << options;
        EXPECT_EQ(files[0]->filename, name);
        EXPECT_EQ(files[0]->payload, content);
    }
}

} // namespace

namespace {

// A stored mail message read into rich text when an item connects to it:
// the files of the message go to the note, and a MIME entity of the item
// carries them as the entity of rich text carries its file hotspots'.
TEST_F(FileForm, TheFilesOfAStoredMessageTravelWithIt) {
    Store(engine_test::Runs({"Before"}), {{"own.bin", "OWN"}});
    const std::string zip = "PK\x03\x04" + std::string(300, '\x01') + std::string("\r\n\0\xFF", 4);
    const std::string message =
        "From: a@example.com\r\nSubject: files\r\nMIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
        "--b\r\nContent-Type: text/html; charset=utf-8\r\n\r\n<p>Hello</p>\r\n"
        "--b\r\nContent-Type: application/zip; name=\"report.zip\"\r\n"
        "Content-Disposition: attachment; filename=\"report.zip\"\r\nContent-Transfer-Encoding: binary\r\n\r\n" +
        zip +
        "\r\n--b\r\nContent-Type: text/plain\r\nContent-Disposition: attachment; filename=\"notes.txt\"\r\n\r\n"
        "plain notes\r\n--b--\r\n";
    ASSERT_EQ(plat::MimeStoreMessage(item_.noteHandle, "Mail", 4, message.data(), message.size()), 0);
    ASSERT_EQ(plat::NoteUpdate(item_.noteHandle, plat::UPDATE_FORCE), 0);

    ZervaRTItem mail(&session_);
    ASSERT_EQ(mail.Connect("", path_.c_str(), noteId_, "Mail", 0), 0);
    ASSERT_EQ(mail.connected, 1);
    for (const char* options : {"", "UseMailFields=Yes"}) {
        const std::string file = dir_.file("mail.eml");
        mail.ExportToMIME(file.c_str(), nullptr, nullptr, nullptr, options, 0, "", 0, nullptr);
        ASSERT_EQ(mail.lastStatus, 0) << options;
        const ReadMessage read = ReadMessageFile(file);
        ASSERT_TRUE(read.read);
        EXPECT_TRUE(read.defects.empty()) << testing::PrintToString(read.defects);
        EXPECT_EQ(read.parts[0].type, "multipart/mixed");
        // The message's two files, whole, and not the note's own file that
        // the message never held.
        const std::vector<const ReadPart*> files = read.Parts("application/octet-stream");
        ASSERT_EQ(files.size(), 2u) << options;
        EXPECT_EQ(files[0]->filename, "report.zip");
        EXPECT_EQ(files[0]->payload, zip);
        EXPECT_EQ(files[1]->filename, "notes.txt");
        EXPECT_EQ(files[1]->payload, "plain notes");
    }

    // Connected to rich text again, the item carries no file of the message.
    ASSERT_EQ(mail.Connect("", path_.c_str(), noteId_, "Body", 0), 0);
    const std::string plain = dir_.file("body.eml");
    mail.ExportToMIME(plain.c_str(), nullptr, nullptr, nullptr, "", 0, "", 0, nullptr);
    ASSERT_EQ(mail.lastStatus, 0);
    EXPECT_TRUE(ReadMessageFile(plain).Parts("application/octet-stream").empty());
}

} // namespace
