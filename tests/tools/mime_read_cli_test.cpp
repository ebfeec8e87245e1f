// talix store-eml and from-mime, run as a user runs them: the test messages
// (made with Python's email package) stored and converted give the words
// the package finds in their HTML part and the files it finds in them; the
// HTML of mail shows what the sender wrote and runs none of it; what cannot
// be converted is refused with the MIME items kept.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace {

using talix_test::CliOutcome;
using talix_test::Has;

const std::filesystem::path kMessages = std::filesystem::path(TALIX_MIME_MESSAGES);

std::string Words(const std::string& text) {
    std::istringstream in(text);
    std::string word, joined;
    while (in >> word) joined += (joined.empty() ? "" : " ") + word;
    return joined;
}

// The words of each message's HTML part as Python's email package reads them.
std::map<std::string, std::string> PythonWords(const std::vector<std::string>& names) {
    std::string command = "cd '" + kMessages.string() + "' && python3 html_words.py";
    for (const std::string& name : names) command += " " + name;
    std::map<std::string, std::string> words;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return words;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string text(line);
        if (!text.empty() && text.back() == '\n') text.pop_back();
        const std::size_t tab = text.find('\t');
        if (tab != std::string::npos) words[text.substr(0, tab)] = text.substr(tab + 1);
    }
    ::pclose(pipe);
    return words;
}

std::string FileBytes(const std::filesystem::path& path) {
    std::string bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return "<missing>";
    char buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
    std::fclose(file);
    return bytes;
}

class MimeReadCommands : public talix_test::CliTest {
protected:
    std::string Message(const char* name) { return (kMessages / name).string(); }

    // The note's attachments, by stored name, each with its bytes as the
    // platform extracts them from the database object its "$FILE" names.
    std::map<std::string, std::string> NoteFiles(const std::string& noteId) {
        std::map<std::string, std::string> files;
        plat::DBHANDLE db = 0;
        plat::NOTEHANDLE note = 0;
        EXPECT_EQ(plat::DbOpen(db_.c_str(), &db), 0);
        EXPECT_EQ(plat::NoteOpen(db, static_cast<plat::NOTEID>(std::stoul(noteId, nullptr, 16)), 0, &note), 0);
        const plat::WORD descriptor = plat::StructStoredLength(58);
        plat::BLOCKID item, value;
        plat::DWORD length = 0;
        plat::STATUS status = plat::ItemInfo(note, "$FILE", 5, &item, nullptr, &value, &length);
        for (int n = 0; status == plat::NOERROR; ++n) {
            const auto* bytes = static_cast<const char*>(plat::BlockLock(value));
            const std::string name(bytes + 2 + descriptor, length - 2 - descriptor);
            plat::BlockUnlock(value);
            const std::string path = dir_.file("extracted" + std::to_string(n));
            EXPECT_EQ(plat::NoteExtractFile(note, item, path.c_str()), 0) << name;
            files[name] = FileBytes(path);
            status = plat::ItemInfoNext(note, item, "$FILE", 5, &item, nullptr, &value, &length);
        }
        plat::NoteClose(note);
        plat::DbClose(db);
        return files;
    }
};

TEST_F(MimeReadCommands, StoredMessagesConvertToTheirWords) {
    const std::string note = Import(Sample("styledtext.xml"));
    CliOutcome stored = Talix({"store-eml", db_, note, "Mail", Message("qp_utf8.eml")});
    ASSERT_EQ(stored.status, 0) << stored.err;
    EXPECT_EQ(stored.out, "1\t0\n");
    EXPECT_TRUE(Has(Talix({"items", db_, note}).out, "Mail\t0x0019\t0x0003\t"));
    CliOutcome converted = Talix({"from-mime", db_, note, "Mail"});
    ASSERT_EQ(converted.status, 0) << converted.err;
    EXPECT_EQ(Talix({"text", db_, note, "Mail"}).out, "Hi \xC3\xA9\n");
    EXPECT_FALSE(Has(Talix({"items", db_, note}).out, "Mail\t0x0019"));
    // The name of the note's attachments is refused, the items as they were.
    const std::string items = Talix({"items", db_, note}).out;
    CliOutcome onFiles = Talix({"store-eml", db_, note, "$file", Message("qp_utf8.eml")});
    EXPECT_EQ(onFiles.status, 1);
    EXPECT_TRUE(Has(onFiles.err, "the name of the items that hold the note's attachments")) << onFiles.err;
    EXPECT_EQ(Talix({"items", db_, note}).out, items);

    const std::vector<std::string> convertible = {"ascii.eml",          "base64_bom.eml",  "latin1_binary.eml",
                                                  "latin1_qp.eml",      "mixed_attachments.eml", "qp_utf8.eml",
                                                  "related_gif_jpeg.eml"};
    const std::map<std::string, std::string> words = PythonWords(convertible);
    ASSERT_EQ(words.size(), convertible.size());
    for (const std::string& name : convertible) {
        SCOPED_TRACE(name);
        const std::string item = "M" + std::to_string(&name - convertible.data());
        ASSERT_EQ(Talix({"store-eml", db_, note, item, Message(name.c_str())}).status, 0);
        CliOutcome from = Talix({"from-mime", db_, note, item});
        ASSERT_EQ(from.status, 0) << from.err;
        EXPECT_EQ(Words(Talix({"text", db_, note, item}).out), words.at(name));
    }
    // The inline attachment of the mixed message is in the note.
    EXPECT_TRUE(Has(Talix({"items", db_, note}).out, "$FILE"));
}

TEST_F(MimeReadCommands, RefusalsKeepTheMimeItemsAndSayWhy) {
    const std::string note = Import(Sample("styledtext.xml"));
    const struct {
        std::string file;
        const char* reason;
    } refused[] = {
        {Message("related_png.eml"), "rendering skipped"},
        {Message("remote_image.eml"), "pictures from outside the message"},
        // The same in UTF-16: its bytes are looked at as the characters they are.
        {Write("remote_utf16.eml", "MIME-Version: 1.0\r\nContent-Type: text/html; charset=utf-16\r\n"
                                   "Content-Transfer-Encoding: base64\r\n\r\n"
                                   "//48AHAAPgB4ADwAaQBtAGcAIABzAHIAYwA9ACIAaAB0AHQAcAA6AC8ALwBlAHgAYQBtAHAAbABlAC4A"
                                   "YwBvAG0ALwBhAC4AZwBpAGYAIgA+ADwALwBwAD4A\r\n"),
         "pictures from outside the message"},
        {Message("plain_only.eml"), "it has no text/html part"},
        {Write("headers_only.eml", "Subject: no MIME headers\r\n\r\nplain words\r\n"), "it is not a MIME message"},
        {Write("boundary.eml", "MIME-Version: 1.0\nContent-Type: multipart/related; boundary=\"XYZ\"\n\n--ABC\n"
                               "Content-Type: text/html\n\n<p>hi</p>\n--ABC--\n"),
         "no part of it begins with the boundary its header names"},
    };
    for (const auto& each : refused) {
        SCOPED_TRACE(each.file);
        ASSERT_EQ(Talix({"store-eml", db_, note, "Mail", each.file}).status, 0);
        CliOutcome from = Talix({"from-mime", db_, note, "Mail"});
        EXPECT_EQ(from.status, 1);
        EXPECT_TRUE(Has(from.err, each.reason)) << from.err;
        EXPECT_TRUE(Has(Talix({"items", db_, note}).out, "Mail\t0x0019"));
    }
    // A file with no header line is no mail: refused when it is stored, with
    // the reason, and the items stored before are kept.
    const std::string stored = Talix({"items", db_, note}).out;
    const std::string mail = Talix({"value", db_, note, "Mail"}).out;
    const struct {
        std::string file;
        const char* reason;
    } notMail[] = {
        {Write("empty.eml", ""), "it is empty"},
        {Write("garbage.eml", std::string("no mail at all\0\x01\x02", 17)), "it has no header line"},
        {Write("blank_first.eml", "\nSubject: after the blank line\n"), "it has no header line"},
        {Write("no_name.eml", ": no name\nword\n\nbody\n"), "it has no header line"},
    };
    for (const auto& each : notMail) {
        SCOPED_TRACE(each.file);
        CliOutcome run = Talix({"store-eml", db_, note, "Mail", each.file});
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(Has(run.err, "is not a mail message: " + std::string(each.reason))) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(Talix({"items", db_, note}).out, stored);
        EXPECT_EQ(Talix({"value", db_, note, "Mail"}).out, mail);
    }
    // Header lines past what an item holds are refused as such, in a message
    // of one part and in a part of a multipart one.
    std::string pad;
    for (int i = 0; i < 1000; ++i) pad += "X-Pad-" + std::to_string(i) + ": " + std::string(70, 'a') + "\n";
    const std::string longHeaders[] = {
        Write("long_headers.eml", "MIME-Version: 1.0\nContent-Type: text/plain\n" + pad + "\nbody\n"),
        Write("long_part_headers.eml", "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"B\"\n\n--B\n" +
                                           pad + "\nbody\n--B--\n"),
    };
    for (const std::string& file : longHeaders) {
        SCOPED_TRACE(file);
        CliOutcome run = Talix({"store-eml", db_, note, "Mail", file});
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(Has(run.err, "its header lines are too long")) << run.err;
        EXPECT_EQ(Talix({"value", db_, note, "Mail"}).out, mail);
    }
    // An mbox "From " line before the headers does not hide them.
    EXPECT_EQ(Talix({"store-eml", db_, note, "Kept", Write("mbox.eml", "From someone Mon\nSubject: hi\n\nbody\n")})
                  .status,
              0);
    // No MIME items of the name: refused, and no item made.
    const std::string items = Talix({"items", db_, note}).out;
    CliOutcome none = Talix({"from-mime", db_, note, "Nothing"});
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(Has(none.err, "has no MIME items named 'Nothing'")) << none.err;
    EXPECT_EQ(Talix({"items", db_, note}).out, items);
    // A rich-text item is not MIME; bad usage.
    EXPECT_EQ(Talix({"from-mime", db_, note, "Body"}).status, 1);
    EXPECT_EQ(Talix({"from-mime", db_, note}).status, 2);
    EXPECT_EQ(Talix({"store-eml", db_, note, "Mail"}).status, 2);
    EXPECT_EQ(Talix({"store-eml", db_, note, "Mail", dir_.file("missing.eml")}).status, 1);
    // A file with LF line ends is stored with CR LF and converts.
    const std::string lf = Write("lf.eml", "Content-Type: text/html\n\n<p>Line\nfeeds</p>\n");
    ASSERT_EQ(Talix({"store-eml", db_, note, "Lf", lf}).status, 0);
    ASSERT_EQ(Talix({"from-mime", db_, note, "Lf", "--options", "PixelMultiplier=15"}).status, 0);
    EXPECT_EQ(Words(Talix({"text", db_, note, "Lf"}).out), "Line feeds");
}

TEST_F(MimeReadCommands, MailFilesWhoseLinesEndInCarriageReturnsAloneKeepTheirPartsAndFiles) {
    // As some programs keep mail: each line ends in a CR and nothing else.
    const std::string note = Import(Sample("styledtext.xml"));
    const std::map<std::string, std::string> before = NoteFiles(note);
    const std::string cr = Write("cr.eml",
                                 "Subject: lines\rMIME-Version: 1.0\rContent-Type: multipart/mixed; boundary=\"B\"\r\r"
                                 "--B\rContent-Type: text/html\r\r<p>Carriage\rreturns</p>\r--B\r"
                                 "Content-Type: application/octet-stream; name=\"f.txt\"\r\rfile body\r--B--\r");
    CliOutcome stored = Talix({"store-eml", db_, note, "Cr", cr});
    ASSERT_EQ(stored.status, 0) << stored.err;
    EXPECT_EQ(stored.out, "4\t0\n");
    CliOutcome converted = Talix({"from-mime", db_, note, "Cr"});
    ASSERT_EQ(converted.status, 0) << converted.err;
    EXPECT_EQ(Words(Talix({"text", db_, note, "Cr"}).out), "Carriage returns");
    std::map<std::string, std::string> files = NoteFiles(note);
    for (const auto& [name, bytes] : before) files.erase(name);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files.begin()->first, "f.txt");
    EXPECT_EQ(files.begin()->second, "file body");
}

TEST_F(MimeReadCommands, TheFilesOfAMessageAreAttachedByteForByte) {
    // The message and its files as Python's email package decodes them.
    const std::filesystem::path expected = dir_.file("expected");
    std::filesystem::create_directory(expected);
    const std::string eml = dir_.file("files.eml");
    ASSERT_EQ(std::system(("python3 '" + (kMessages / "file_parts.py").string() + "' '" + eml + "' '" +
                           expected.string() + "'")
                              .c_str()),
              0);
    const std::string note = Import(Sample("styledtext.xml"));
    const std::map<std::string, std::string> before = NoteFiles(note);
    CliOutcome stored = Talix({"store-eml", db_, note, "Mail", eml});
    ASSERT_EQ(stored.status, 0) << stored.err;
    EXPECT_EQ(stored.out.substr(stored.out.find('\t')), "\t1\n");   // the PDF's body in an attachment

    CliOutcome converted = Talix({"from-mime", db_, note, "Mail"});
    ASSERT_EQ(converted.status, 0) << converted.err;
    std::map<std::string, std::string> files = NoteFiles(note);
    for (const auto& [name, bytes] : before) files.erase(name);
    ASSERT_EQ(files.size(), 2u);   // the PDF and the notes; no picture, no plain version, no body kept apart
    EXPECT_TRUE(files.at("report.pdf") == FileBytes(expected / "report.pdf"));
    EXPECT_EQ(files.at("notes.txt"), FileBytes(expected / "notes.txt"));
    EXPECT_EQ(Words(Talix({"text", db_, note, "Mail"}).out), "See the files");
    const std::string records = Talix({"records", db_, note, "Mail"}).out;
    // The picture: its 43 bytes in one segment (10 bytes of header, the
    // data rounded up to even).
    EXPECT_EQ(FileBytes(expected / "picture.gif").size(), 43u);
    EXPECT_TRUE(Has(records, "CD_GRAPHIC") && Has(records, "CD_IMAGESEGMENT\t54")) << records;
    EXPECT_FALSE(Has(Talix({"items", db_, note}).out, "Mail\t0x0019"));

    // Stored again under another item, the same files go in beside the
    // first ones, under names of their own.
    ASSERT_EQ(Talix({"store-eml", db_, note, "Again", eml}).status, 0);
    CliOutcome again = Talix({"from-mime", db_, note, "Again"});
    ASSERT_EQ(again.status, 0) << again.err;
    files = NoteFiles(note);
    EXPECT_EQ(files.at("report_2.pdf"), files.at("report.pdf"));
    EXPECT_EQ(files.at("notes_2.txt"), FileBytes(expected / "notes.txt"));
    EXPECT_EQ(files.size(), before.size() + 4);

    // File names in the sets mail names them in: GBK under the label
    // GB2312 as an encoded word, windows-1253 as a parameter value, UTF-16.
    const std::string named = Write(
        "named.eml",
        "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"B\"\r\n\r\n--B\r\n"
        "Content-Type: text/html; charset=utf-8\r\n\r\n<p>Files</p>\r\n--B\r\n"
        "Content-Type: application/octet-stream\r\n"
        "Content-Disposition: attachment; filename=\"=?gb2312?B?zsS8/vbOiNIudHh0?=\"\r\n\r\none\r\n--B\r\n"
        "Content-Type: application/octet-stream\r\n"
        "Content-Disposition: attachment; filename*=windows-1253''%C5%EB%EB%E7%ED%E9%EA%DC.txt\r\n\r\ntwo\r\n--B\r\n"
        "Content-Type: application/octet-stream\r\n"
        "Content-Disposition: attachment; filename=\"=?utf-16?B?//5oiC4AdAB4AHQA?=\"\r\n\r\nthree\r\n--B--\r\n");
    ASSERT_EQ(Talix({"store-eml", db_, note, "Named", named}).status, 0);
    ASSERT_EQ(Talix({"from-mime", db_, note, "Named"}).status, 0);
    files = NoteFiles(note);
    EXPECT_EQ(files[plat::NativeToLmbcs("\u6587\u4EF6\u946B\u5803.txt")], "one");
    EXPECT_EQ(files[plat::NativeToLmbcs("\u0395\u03BB\u03BB\u03B7\u03BD\u03B9\u03BA\u03AC.txt")], "two");
    EXPECT_EQ(files[plat::NativeToLmbcs("\u8868.txt")], "three");
}

TEST_F(MimeReadCommands, PicturesTheHtmlDoesNotShowComeThroughAsFiles) {
    // A PNG screenshot and a BMP attached, an SVG inline under its own file
    // name: the rich text holds none of them, but the HTML shows none of
    // them either, so the message converts and they become its files.
    const std::filesystem::path expected = dir_.file("expected");
    std::filesystem::create_directory(expected);
    const std::string eml = dir_.file("pictures.eml");
    ASSERT_EQ(std::system(("python3 '" + (kMessages / "attached_pictures.py").string() + "' '" + eml + "' '" +
                           expected.string() + "'")
                              .c_str()),
              0);
    const std::string note = Import(Sample("styledtext.xml"));
    const std::map<std::string, std::string> before = NoteFiles(note);
    ASSERT_EQ(Talix({"store-eml", db_, note, "Mail", eml}).status, 0);
    CliOutcome converted = Talix({"from-mime", db_, note, "Mail"});
    ASSERT_EQ(converted.status, 0) << converted.err;
    EXPECT_EQ(Words(Talix({"text", db_, note, "Mail"}).out), "Here is the screenshot you asked for");
    EXPECT_TRUE(Has(Talix({"records", db_, note, "Mail"}).out, "CD_GRAPHIC"));   // the GIF the HTML shows
    EXPECT_FALSE(Has(Talix({"items", db_, note}).out, "Mail\t0x0019"));
    std::map<std::string, std::string> files = NoteFiles(note);
    for (const auto& [name, bytes] : before) files.erase(name);
    ASSERT_EQ(files.size(), 3u);
    for (const char* name : {"screenshot.png", "drawing.bmp", "diagram.svg"})
        EXPECT_EQ(files[name], FileBytes(expected / name)) << name;

    // A PNG the HTML shows by its Content-ID is still refused, attached or
    // not, and the items are kept.
    std::string shown = FileBytes(eml);
    shown.replace(shown.find("cid:dot1"), 8, "cid:shot");
    shown.insert(shown.find("Content-Disposition: attachment; filename=\"screenshot.png\""), "Content-ID: <shot>\r\n");
    ASSERT_EQ(Talix({"store-eml", db_, note, "Shown", Write("shown.eml", shown)}).status, 0);
    CliOutcome refused = Talix({"from-mime", db_, note, "Shown"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(Has(refused.err, "rendering skipped")) << refused.err;
    EXPECT_TRUE(Has(Talix({"items", db_, note}).out, "Shown\t0x0019"));
}

// Lines "name<TAB>field<TAB>..." of a command's output by name, the
// fields after the name.
std::map<std::string, std::vector<std::string>> TabbedLines(const std::string& command) {
    std::map<std::string, std::vector<std::string>> lines;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return lines;
    std::string text;
    char buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    ::pclose(pipe);
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::size_t at = 0;
        for (std::size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', at)) {
            fields.push_back(line.substr(at, tab - at));
            at = tab + 1;
        }
        fields.push_back(line.substr(at));
        const std::string name = fields.front();
        fields.erase(fields.begin());
        lines[name] = fields;
    }
    return lines;
}

TEST_F(MimeReadCommands, FilesOfOneNameComeBackEachToItsOwnHotspot) {
    // Three files of one name attached to an item (the note keeps them
    // apart under stored names of their own), stored as MIME part items
    // and read back: each hotspot opens its own file, the message written
    // from the rich text holds each file's content once.
    const std::string note = Import(Sample("styledtext.xml"));
    const std::vector<std::string> contents = {"first file\n", "second file\n", "third file\n"};
    for (std::size_t i = 0; i < contents.size(); ++i) {
        const std::filesystem::path folder = dir_.file("f" + std::to_string(i));
        std::filesystem::create_directory(folder);
        std::ofstream(folder / "same.txt", std::ios::binary) << contents[i];
        ASSERT_EQ(Talix({"append", db_, note, "Files", "attachment", (folder / "same.txt").string()}).status, 0);
    }
    const std::string before = Talix({"records", db_, note, "Files", "--host"}).out;
    ASSERT_EQ(Talix({"to-mime", db_, note, "Files", "--options", "Overwrite=Yes"}).status, 0);
    CliOutcome converted = Talix({"from-mime", db_, note, "Files"});
    ASSERT_EQ(converted.status, 0) << converted.err;
    const auto hotspots = [](const std::string& records) {
        std::vector<std::string> lines;
        std::istringstream in(records);
        for (std::string line; std::getline(in, line);)
            if (Has(line, "CD_HOTSPOTBEGIN")) lines.push_back(line.substr(line.find('\t')));
        return lines;
    };
    const std::string value = Talix({"value", db_, note, "Files"}).out;
    EXPECT_EQ(hotspots(Talix({"records", db_, note, "Files", "--host"}).out), hotspots(before));
    // Each hotspot names its stored attachment, then the file's name.
    for (const std::string stored : {"same.txt", "Att0.txt", "Att1.txt"})
        EXPECT_TRUE(Has(value, stored + '\0' + "same.txt")) << stored;
    CliOutcome message = Talix({"mime", db_, note, "Files"});
    ASSERT_EQ(message.status, 0) << message.err;
    // "Zmlyc3QgZmlsZQo=" and the others: each content's Base64, once.
    for (const char* base64 : {"Zmlyc3QgZmlsZQo=", "c2Vjb25kIGZpbGUK", "dGhpcmQgZmlsZQo="}) {
        const std::size_t at = message.out.find(base64);
        EXPECT_NE(at, std::string::npos) << base64 << message.out;
        EXPECT_EQ(message.out.find(base64, at + 1), std::string::npos) << base64;
    }
}

TEST_F(MimeReadCommands, FilesOfAwkwardNamesComeBackToTheirHotspots) {
    // "two  blanks.txt" beside "two blanks.txt": the HTML of the stored
    // message shows each name with one blank, and each file still comes
    // back to a hotspot of its own, named as it was; and so does a file
    // whose name is longer than a note of attached files is taken to be.
    const std::string note = Import(Sample("styledtext.xml"));
    const std::string longName = std::string(160, 'n') + ".txt";
    const std::vector<std::pair<std::string, std::string>> files = {
        {"two  blanks.txt", "double\n"}, {"two blanks.txt", "single\n"}, {longName, "long\n"}};
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::filesystem::path folder = dir_.file("b" + std::to_string(i));
        std::filesystem::create_directory(folder);
        std::ofstream(folder / files[i].first, std::ios::binary) << files[i].second;
        ASSERT_EQ(Talix({"append", db_, note, "Files", "attachment", (folder / files[i].first).string()}).status, 0);
    }
    ASSERT_EQ(Talix({"to-mime", db_, note, "Files", "--options", "Overwrite=Yes"}).status, 0);
    CliOutcome converted = Talix({"from-mime", db_, note, "Files"});
    ASSERT_EQ(converted.status, 0) << converted.err;
    const std::string value = Talix({"value", db_, note, "Files"}).out;
    for (const auto& [name, content] : files) EXPECT_TRUE(Has(value, name + '\0' + name)) << name;
    CliOutcome message = Talix({"mime", db_, note, "Files"});
    ASSERT_EQ(message.status, 0) << message.err;
    EXPECT_TRUE(Has(message.out, "filename=\"two  blanks.txt\"")) << message.out;
    // "ZG91YmxlCg==" and "c2luZ2xlCg==": the contents' Base64.
    EXPECT_TRUE(Has(message.out, "ZG91YmxlCg==")) << message.out;
    EXPECT_TRUE(Has(message.out, "c2luZ2xlCg==")) << message.out;
    EXPECT_TRUE(Has(message.out, "bG9uZwo=")) << message.out;
}

TEST_F(MimeReadCommands, AFileHotspotKeepsOneCaptionOverRoundTrips) {
    // Text, a file hotspot and text, stored as MIME part items and read back
    // three times: the text keeps the hotspot's caption once, and the item
    // one hotspot whose caption is the one text that names the file.
    const std::string note = Import(Sample("styledtext.xml"));
    const std::filesystem::path file = dir_.file("report.txt");
    std::ofstream(file, std::ios::binary) << "report\n";
    ASSERT_EQ(Talix({"append", db_, note, "Files", "text", "Before"}).status, 0);
    ASSERT_EQ(Talix({"append", db_, note, "Files", "attachment", file.string()}).status, 0);
    ASSERT_EQ(Talix({"append", db_, note, "Files", "text", "After"}).status, 0);
    const std::string before = Talix({"text", db_, note, "Files"}).out;
    ASSERT_TRUE(Has(before, "report.txt")) << before;
    const auto count = [](const std::string& text, const std::string& what) {
        std::size_t found = 0;
        for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++found;
        return found;
    };
    for (int trip = 1; trip <= 3; ++trip) {
        ASSERT_EQ(Talix({"to-mime", db_, note, "Files", "--options", "Overwrite=Yes"}).status, 0) << trip;
        const CliOutcome converted = Talix({"from-mime", db_, note, "Files"});
        ASSERT_EQ(converted.status, 0) << converted.err;
        EXPECT_EQ(Words(Talix({"text", db_, note, "Files"}).out), Words(before)) << "trip " << trip;
        const std::string records = Talix({"records", db_, note, "Files"}).out;
        EXPECT_EQ(count(records, "CD_HOTSPOTBEGIN"), 1u) << "trip " << trip << records;
        EXPECT_EQ(count(records, "report.txt"), 1u) << "trip " << trip << records;
    }
}

TEST_F(MimeReadCommands, MailInEachCharacterSetKeepsEveryWord) {
    // Messages Python's email package wrote in each set: every letter of
    // the set, and what it lacks as character references.
    const std::string script = (kMessages / "charset_messages.py").string();
    const std::map<std::string, std::vector<std::string>> written =
        TabbedLines("python3 '" + script + "' '" + dir_.path().string() + "'");
    ASSERT_EQ(written.size(), 15u);
    const std::string note = Import(Sample("styledtext.xml"));
    for (const auto& [file, fields] : written) {
        SCOPED_TRACE(file);
        const std::string item = file.substr(0, file.find('.'));
        ASSERT_EQ(Talix({"store-eml", db_, note, item, dir_.file(file)}).status, 0);
        CliOutcome from = Talix({"from-mime", db_, note, item});
        ASSERT_EQ(from.status, 0) << from.err;
        EXPECT_EQ(Words(Talix({"text", db_, note, item}).out), fields.at(0));
    }

    // Written in the set again, as the part's header names it: a reader
    // decodes the same words. A set whose text is not ASCII with more
    // above it, and Hebrew in logical order, which not every reader knows
    // by its name, go in UTF-8.
    const struct {
        const char* item;
        const char* option;
        const char* label;   // as the reader gives it
    } sets[] = {
        {"latin9", "charset=ISO-8859-15", "iso-8859-15"},
        {"greek", "charset=windows-1253 QuotedPrintable=Yes", "windows-1253"},
        {"turkish", "charset=cp1254", "windows-1254"},
        {"hebrew", "charset=windows-1255", "windows-1255"},
        {"arabic", "charset=windows-1256 QuotedPrintable=Yes", "windows-1256"},
        {"baltic", "charset=windows-1257", "windows-1257"},
        {"vietnamese", "charset=windows-1258", "windows-1258"},
        {"gbk", "charset=GBK QuotedPrintable=Yes", "gbk"},
        {"gb2312_gbk", "charset=gb2312", "gb2312"},   // GBK's characters as references
        {"gb18030", "charset=GB18030", "gb18030"},
        {"utf16", "charset=utf-16", "utf-8"},
        {"utf16le", "charset=UTF-16LE QuotedPrintable=Yes", "utf-8"},
        {"utf16be", "charset=UTF-16BE", "utf-8"},
        {"hebrew_logical", "charset=ISO-8859-8-I", "utf-8"},
    };
    std::string command = "python3 '" + script + "' --read";
    for (const auto& set : sets) {
        const std::string out = dir_.file(std::string("out_") + set.item + ".eml");
        ASSERT_EQ(Talix({"mime", db_, note, set.item, "--out", out, "--options", set.option}).status, 0) << set.item;
        command += " '" + out + "'";
    }
    const std::map<std::string, std::vector<std::string>> read = TabbedLines(command);
    for (const auto& set : sets) {
        SCOPED_TRACE(set.item);
        const auto found = read.find(dir_.file(std::string("out_") + set.item + ".eml"));
        ASSERT_NE(found, read.end());
        ASSERT_EQ(found->second.size(), 2u);
        EXPECT_EQ(found->second[0], set.label);
        EXPECT_EQ(found->second[1], Words(Talix({"text", db_, note, set.item}).out));
    }
}

TEST_F(MimeReadCommands, TheHtmlOfMailShowsWhatItSaysAndRunsNothing) {
    const std::string note = Import(Sample("styledtext.xml"));
    const std::string html =
        "<p>Hi <span class=\"NotesPassthruHTML\">&lt;script&gt;alert(3)&lt;/script&gt;</span></p>"
        "<p><a href=\"javascript:alert(document.cookie)\">run</a> <a href=\" JaVa&#x09;Script:x()\">tabbed</a> "
        "<a href=\"vbscript:msgbox\">vb</a> <a href=\"data:text/html;base64,PHNjcmlwdD4=\">inline</a> "
        "<a href=\"&#x01;&#x1F; &#x0C;javascript:y()\">ctl</a> <a href=\"http://example.com/page\">web</a></p>";
    const std::string eml = Write("passthru.eml", "MIME-Version: 1.0\r\nContent-Type: text/html\r\n\r\n" + html + "\r\n");
    ASSERT_EQ(Talix({"store-eml", db_, note, "Mail", eml}).status, 0);
    CliOutcome converted = Talix({"from-mime", db_, note, "Mail"});
    ASSERT_EQ(converted.status, 0) << converted.err;
    const std::string page = Talix({"html", db_, note, "Mail"}).out;
    EXPECT_FALSE(Has(page, "<script")) << page;
    EXPECT_TRUE(Has(page, "&lt;script&gt;alert(3)&lt;/script&gt;")) << page;
    for (const char* scheme : {"javascript", "JaVa", "vbscript", "data:"}) EXPECT_FALSE(Has(page, scheme)) << scheme;
    EXPECT_TRUE(Has(page, "href=\"http://example.com/page\"")) << page;
    EXPECT_EQ(Words(Talix({"text", db_, note, "Mail"}).out), "Hi <script>alert(3)</script> run tabbed vb inline ctl web");

    // The same HTML imported from a file keeps its pass-thru HTML and links.
    const std::string file = Write("page.html", html);
    ASSERT_EQ(Talix({"import-html", db_, note, "Page", file}).status, 0);
    const std::string imported = Talix({"html", db_, note, "Page"}).out;
    EXPECT_TRUE(Has(imported, "<script>alert(3)</script>")) << imported;
    EXPECT_TRUE(Has(imported, "javascript:alert")) << imported;
}

} // namespace
