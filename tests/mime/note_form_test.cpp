// The note form of the MIME writer: the part items and note-level items it
// stores, each read back field by field, the refusal of an existing target,
// the save rules, and a failed run that leaves the note as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "core/attachments.h"
#include "core/base64.h"
#include "core/mime_ids.h"
#include "mime/mime_part.h"
#include "mime_fixture.h"
#include "platform/testing.h"
#include "support/patterns.h"
#include "support/record_fixture.h"
#include "talix_platform.h"

namespace {

using namespace mime_test;

struct StoredPart {
    talix::MIMEPartHeader header;
    std::string boundary, headers, body;
};

// The parts of the open note's items of a name, each taken apart.
std::vector<StoredPart> Parts(const std::vector<std::string>& values) {
    std::vector<StoredPart> parts;
    for (const std::string& value : values) {
        StoredPart part;
        talix::MimePartTexts texts;
        EXPECT_EQ(talix::ParseMimePart(reinterpret_cast<const std::uint8_t*>(value.data()),
                                       static_cast<std::uint32_t>(value.size()), &part.header, &texts),
                  0);
        part.boundary = texts.boundary;
        part.headers = texts.headers;
        part.body = texts.body;
        parts.push_back(part);
    }
    return parts;
}

plat::WORD ItemFlags(plat::NOTEHANDLE note, const char* name) {
    plat::BLOCKID item;
    plat::WORD flags = 0;
    EXPECT_EQ(plat::ItemInfo(note, name, static_cast<plat::WORD>(std::strlen(name)), &item, nullptr, nullptr, nullptr),
              0);
    plat::ItemQuery(item, nullptr, 0, &flags, nullptr, nullptr, nullptr);
    return flags;
}

class NoteForm : public MimeTest {
protected:
    void Convert(const char* name, const std::string& options, const char* kind = nullptr) {
        item_.ConvertToMIME(name, nullptr, nullptr, kind, options.c_str(), 0, "", 0, nullptr);
    }
    std::string Tail() {
        char token[talix::kNoteTokenSize] = {};
        talix::ReadNoteToken(item_.noteHandle, token);
        return std::string(token + 16);
    }
};

TEST_F(NoteForm, ASinglePartAndTheItemsOfANativeMimeNote) {
    Store(engine_test::Runs({"One part"}));
    Convert("MimeBody", "");
    ASSERT_EQ(item_.lastStatus, 0);
    const std::vector<StoredPart> parts = Parts(Values("MimeBody"));
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].header.version, 2);
    EXPECT_EQ(parts[0].header.flags, 2u);
    EXPECT_EQ(parts[0].header.partType, 2);
    EXPECT_EQ(parts[0].boundary, "");
    EXPECT_EQ(parts[0].headers, "Content-Type: text/html; charset=\"us-ascii\"\r\n\r\n");
    EXPECT_EQ(parts[0].body.substr(0, 2), "\r\n");
    EXPECT_EQ(ItemFlags(item_.noteHandle, "MimeBody"), 3);

    // "MIME_Version": the RFC 822 descriptor in stored form, then the text.
    const std::vector<std::string> version = Values("MIME_Version");
    ASSERT_EQ(version.size(), 1u);
    const std::string expected = std::string("\x02\x05" "\x0e\x00" "\x0a\x00\x00\x00" "\x03\x00\x0c\x00\x02\x00\x05\x00", 16) +
                                 "1.0MIME-Version: 1.0\r\n";
    EXPECT_EQ(version[0], expected);
    EXPECT_EQ(ItemFlags(item_.noteHandle, "MIME_Version"), 4);
    EXPECT_TRUE(talix_test::FullMatch(Text("$MessageID"),
                                      "<OF[0-9A-F]{8}\\.[0-9A-F]{8}-ON[0-9A-F]{8}\\.[0-9A-F]{8}@LocalDomain>"))
        << Text("$MessageID");
    EXPECT_EQ(Text("$MessageID").substr(23, 8) + Text("$MessageID").substr(32, 8), Tail());
    EXPECT_EQ(Text("$NoteHasNativeMIME"), "1");
    EXPECT_EQ(Text("$MsgTrackFlags"), "0");
    EXPECT_EQ(Text("$MIMETrack").rfind("Itemized by Talix on ", 0), 0u) << Text("$MIMETrack");
    // The rendering copy stays; nothing is stored until the note is saved.
    EXPECT_EQ(Values("MimeBody_M$").size(), 1u);
    EXPECT_TRUE(StoredValues("MimeBody").empty());
    EXPECT_EQ(item_.Save(), 0);
    EXPECT_EQ(StoredValues("MimeBody").size(), 1u);

    Convert("Tracked", "MimeTrack='Tracked by hand'");
    EXPECT_EQ(Text("$MIMETrack"), "Tracked by hand");
}

TEST_F(NoteForm, AnExistingTargetIsRefusedUnlessOverwritten) {
    Store(engine_test::Runs({"Twice"}));
    Convert("MimeBody", "MultiPart=Yes");
    ASSERT_EQ(item_.lastStatus, 0);
    const std::vector<std::string> before = Values("MimeBody"), version = Values("MIME_Version"),
                                   id = Values("$MessageID"), copy = Values("MimeBody_M$");
    ASSERT_EQ(before.size(), 3u);
    Convert("MimeBody", "");
    EXPECT_EQ(item_.lastStatus, 260);
    EXPECT_EQ(item_.ownError, 20014);
    EXPECT_EQ(Values("MimeBody"), before);
    EXPECT_EQ(Values("MIME_Version"), version);
    EXPECT_EQ(Values("$MessageID"), id);
    EXPECT_EQ(Values("MimeBody_M$"), copy);

    Convert("MimeBody", "Overwrite=Yes");
    EXPECT_EQ(item_.lastStatus, 0);
    EXPECT_EQ(Values("MimeBody").size(), 1u);
    // The item's own name is a target like any other.
    Convert(nullptr, "");
    EXPECT_EQ(item_.lastStatus, 260);
    Convert(nullptr, "Overwrite=yes");
    EXPECT_EQ(item_.lastStatus, 0);
    ASSERT_EQ(Values("Body").size(), 1u);
    EXPECT_EQ(Values("Body")[0].substr(0, 2), std::string("\x19\x00", 2));
}

TEST_F(NoteForm, ForceSaveUpdatesTheNote) {
    Store(engine_test::Runs({"Saved"}));
    Convert("NotSaved", "ForceSave=Y");
    EXPECT_EQ(item_.lastStatus, 0);
    EXPECT_TRUE(StoredValues("NotSaved").empty());
    Convert("Saved", "ForceSave=yes");
    EXPECT_EQ(item_.lastStatus, 0);
    EXPECT_EQ(StoredValues("Saved").size(), 1u);
    EXPECT_EQ(StoredValues("NotSaved").size(), 1u);   // the one update stores the note as it stands
}

TEST_F(NoteForm, WithoutTheHtmlEveryLevelHoldsAPart) {
    // "SkipHTML=Yes" leaves the HTML out; the message is still whole: each
    // multipart holds a part (an empty text part where nothing else is), as
    // a mail reader reads it in the note form and in the file form alike.
    Store(engine_test::Runs({"Rich words"}));
    ASSERT_EQ(talix_test::StoreRichTextItem(item_.noteHandle, "Alt", engine_test::Runs({"Plain words"})), 0);
    const auto read = [this](const char* name) {
        std::string message = "MIME-Version: 1.0\r\n";
        for (const StoredPart& part : Parts(Values(name))) message += part.boundary + part.headers + part.body;
        const std::string path = dir_.file(std::string(name) + ".eml");
        std::ofstream(path, std::ios::binary) << message;
        return ReadMessageFile(path);
    };
    const auto types = [](const ReadMessage& message) {
        std::vector<std::string> types;
        for (const ReadPart& part : message.parts) types.push_back(part.type);
        return types;
    };
    // A part's text, its line ends aside (a stored part's body starts with
    // one).
    const auto text = [](const ReadMessage& message, const char* type) {
        const std::vector<const ReadPart*> parts = message.Parts(type);
        if (parts.empty()) return std::string("<none>");
        std::string payload = parts[0]->payload;
        payload.erase(std::remove_if(payload.begin(), payload.end(), [](char c) { return c == '\r' || c == '\n'; }),
                      payload.end());
        return payload;
    };

    Convert("Single", "SkipHTML=Yes");
    ASSERT_EQ(item_.lastStatus, 0);
    ReadMessage message = read("Single");
    ASSERT_TRUE(message.read);
    EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);
    EXPECT_EQ(types(message), (std::vector<std::string>{"text/plain"}));
    EXPECT_EQ(text(message, "text/plain"), "");

    Convert("Multi", "SkipHTML=Yes MultiPart=Yes");
    ASSERT_EQ(item_.lastStatus, 0);
    message = read("Multi");
    EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);
    EXPECT_EQ(types(message), (std::vector<std::string>{"multipart/alternative", "text/plain"}));
    EXPECT_EQ(text(message, "text/plain"), "");

    // The plain part of "AltMimeField=" is the level's part: no other.
    Convert("WithPlain", "SkipHTML=Yes AltMimeField=Alt");
    ASSERT_EQ(item_.lastStatus, 0);
    message = read("WithPlain");
    EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);
    EXPECT_EQ(types(message), (std::vector<std::string>{"multipart/alternative", "text/plain"}));
    EXPECT_NE(text(message, "text/plain").find("Plain words"), std::string::npos);

    message = ReadMessageFile(Export("SkipHTML=Yes"));
    ASSERT_EQ(item_.lastStatus, 0);
    ASSERT_TRUE(message.read);
    EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);
    EXPECT_EQ(types(message), (std::vector<std::string>{"multipart/related", "multipart/alternative", "text/plain"}));
    EXPECT_EQ(text(message, "text/plain"), "");
}

TEST_F(NoteForm, AlternativeLevelsAndAPlainPart) {
    Store(engine_test::Runs({"Rich words"}));
    ASSERT_EQ(talix_test::StoreRichTextItem(item_.noteHandle, "Alt", engine_test::Runs({"Plain words"})), 0);
    const std::string tail = Tail();

    Convert("Multi", "MultiPart=Yes");
    ASSERT_EQ(item_.lastStatus, 0);
    std::vector<StoredPart> parts = Parts(Values("Multi"));
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0].header.flags, 2u);
    EXPECT_EQ(parts[0].header.partType, 1);
    EXPECT_EQ(parts[0].headers,
              "Content-Type: multipart/alternative; boundary=\"=_alternative " + tail + "_=\"\r\n\r\n");
    EXPECT_EQ(parts[0].body, "\r\n");
    EXPECT_EQ(parts[1].header.flags, 3u);
    EXPECT_EQ(parts[1].header.partType, 2);
    EXPECT_EQ(parts[1].boundary, "--=_alternative " + tail + "_=\r\n");
    EXPECT_EQ(parts[2].header.flags, 1u);
    EXPECT_EQ(parts[2].header.partType, 3);
    EXPECT_EQ(parts[2].boundary, "--=_alternative " + tail + "_=--\r\n");
    EXPECT_EQ(parts[2].headers + parts[2].body, "");

    Convert("WithPlain", "AltMimeField=Alt");
    ASSERT_EQ(item_.lastStatus, 0);
    parts = Parts(Values("WithPlain"));
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts[1].header.flags, 3u);
    EXPECT_EQ(parts[1].header.partType, 2);
    EXPECT_EQ(parts[1].boundary, "--=_alternative " + tail + "_=\r\n");
    EXPECT_EQ(parts[1].headers, "Content-Type: text/plain; charset=\"us-ascii\"\r\n\r\n");
    EXPECT_NE(parts[1].body.find("Plain words"), std::string::npos) << parts[1].body;
    EXPECT_EQ(parts[2].headers.substr(0, 23), "Content-Type: text/html");
    // Every line of every part ends in CR LF, as mail's lines do, though the
    // generator ends some of the HTML's lines in LF alone.
    for (const StoredPart& part : parts) {
        const std::string bytes = part.boundary + part.headers + part.body;
        for (std::size_t at = bytes.find('\n'); at != std::string::npos; at = bytes.find('\n', at + 1))
            EXPECT_TRUE(at > 0 && bytes[at - 1] == '\r') << "a line feed alone at " << at << " of " << bytes;
    }

    // Put together, the parts are a message a mail reader reads whole.
    std::string message = "MIME-Version: 1.0\r\n";
    for (const StoredPart& part : parts) message += part.boundary + part.headers + part.body;
    const std::string path = dir_.file("parts.eml");
    std::ofstream(path, std::ios::binary) << message;
    const ReadMessage read = ReadMessageFile(path);
    EXPECT_TRUE(read.defects.empty()) << testing::PrintToString(read.defects);
    ASSERT_EQ(read.parts.size(), 3u);
    EXPECT_EQ(read.parts[1].type, "text/plain");
    EXPECT_NE(read.parts[1].payload.find("Plain words"), std::string::npos);
    EXPECT_EQ(read.parts[2].type, "text/html");

    // The plain text keeps each paragraph on a line of its own, so that the
    // last word of one and the first of the next stay two words; the
    // options may still run them together.
    ASSERT_EQ(talix_test::StoreRichTextItem(
                  item_.noteHandle, "Paragraphs",
                  engine_test::Join({engine_test::Runs({"first words"}),
                                     {engine_test::Paragraph(), engine_test::Text("second words")},
                                     {engine_test::Paragraph(), engine_test::Text("last")}})),
              0);
    Convert("Plain", "AltMimeField=Paragraphs");
    ASSERT_EQ(item_.lastStatus, 0);
    parts = Parts(Values("Plain"));
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_NE(parts[1].body.find("first words\r\nsecond words\r\nlast"), std::string::npos) << parts[1].body;
    Convert("RunOn", "AltMimeField=Paragraphs NewlineOnParagraph=No");
    ASSERT_EQ(item_.lastStatus, 0);
    parts = Parts(Values("RunOn"));
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_NE(parts[1].body.find("first wordssecond wordslast"), std::string::npos) << parts[1].body;
}

// The related and mixed levels: the pictures, the icons and the
// attachments the records call for are parts of their own; the HTML refers
// to the pictures through the rendering copy.
TEST_F(NoteForm, PicturesIconsAndAttachmentsAreStoredParts) {
    const std::vector<std::uint8_t> gif = graphic_test::GifData(6, 6, 200), jpeg = graphic_test::JpegData(20, 10),
                                    large = graphic_test::GifData(200, 200, 30000);
    talix_test::FixtureRecord tab = talix_test::HostRecord(0xFFE3, 140);
    talix_test::PutWord(&tab, 138, 0x0002);
    Records records = engine_test::Runs({"Picture"});
    for (const Records& more : {graphic_test::GifPicture(gif, 6, 6), JpegPicture(jpeg, 20, 10),
                                graphic_test::GifPicture(large, 200, 200), Records{tab, tab},
                                FileHotspot("report.bin", "report.bin")})
        records.insert(records.end(), more.begin(), more.end());
    const std::string content = std::string("PK\x03\x04", 4) + std::string(300, '\x7f');
    Store(records, {{"report.bin", content}});
    Convert("MimeBody", "");
    ASSERT_EQ(item_.lastStatus, 0);
    const std::string tail = Tail();
    const std::vector<StoredPart> parts = Parts(Values("MimeBody"));
    std::vector<std::string> heads;
    for (const StoredPart& part : parts)
        heads.push_back(part.headers.substr(0, part.headers.find_first_of(";\r")) + " " +
                        std::to_string(part.header.flags) + "/" + std::to_string(part.header.partType));
    EXPECT_EQ(heads, (std::vector<std::string>{
                         "Content-Type: multipart/mixed 2/1", "Content-Type: multipart/related 3/1",
                         "Content-Type: multipart/alternative 3/1", "Content-Type: text/html 3/2", " 1/3",
                         "Content-Type: image/gif 3/2", "Content-Type: image/jpeg 3/2",
                         "Content-Type: image/gif 7/2", "Content-Type: image/gif 3/2", " 1/3",
                         "Content-Type: application/octet-stream 15/2", " 1/3"}));
    ASSERT_EQ(parts.size(), 12u);
    EXPECT_EQ(parts[1].boundary, "--=_mixed " + tail + "_=\r\n");
    EXPECT_EQ(parts[5].boundary, "--=_related " + tail + "_=\r\n");
    EXPECT_EQ(parts[9].boundary, "--=_related " + tail + "_=--\r\n");
    EXPECT_EQ(parts[10].body, "report.bin");
    EXPECT_EQ(parts[11].boundary, "--=_mixed " + tail + "_=--\r\n");

    // Each picture's src is the URL of its image header in the rendering
    // copy: the byte offset in the copy's stored value.
    std::string copy = Values("MimeBody_M$").at(0);
    const std::string source("src=\"[^\"]*/0/[0-9a-f]{32}/MimeBody_M\\$/0\\.([0-9a-f]+)\\?OpenElement&amp;"
                            "FieldElemFormat=(gif|jpeg)\"");
    std::vector<std::string> types;
    const std::string& html = parts[3].body;
    for (const std::vector<std::string>& match : talix_test::FindAll(html, source)) {
        const std::size_t offset = std::stoul(match[1], nullptr, 16);
        ASSERT_LT(offset + 1, copy.size());
        EXPECT_EQ(static_cast<unsigned char>(copy[offset]), 0x7D) << "an image header at " << offset;
        types.push_back(match[2]);
    }
    EXPECT_EQ(types, (std::vector<std::string>{"gif", "jpeg", "gif"})) << html;
    EXPECT_NE(copy.find(std::string(gif.begin(), gif.end())), std::string::npos);

    // The large picture is kept in an attachment that holds its Base64.
    char* data = nullptr;
    std::uint32_t size = 0;
    ASSERT_EQ(talix::ReadAttachmentToMemory(item_.noteHandle, parts[7].body.c_str(), &data, &size), 0) << parts[7].body;
    EXPECT_TRUE(talix_test::FullMatch(parts[7].body, "mime[0-9]+_" + tail.substr(8) + "\\.gif"));
    std::vector<std::uint8_t> decoded(size);
    decoded.resize(talix::DecodeBase64(data, decoded.data(), size, size));
    std::free(data);
    EXPECT_EQ(decoded, large);

    // Put together (bodies kept in attachments left empty), the parts are a
    // message a mail reader reads whole.
    std::string message = "MIME-Version: 1.0\r\n";
    for (const StoredPart& part : parts)
        message += part.boundary + part.headers + ((part.header.flags & 4) != 0 ? std::string() : part.body);
    const std::string path = dir_.file("stored.eml");
    std::ofstream(path, std::ios::binary) << message;
    const ReadMessage read = ReadMessageFile(path);
    EXPECT_TRUE(read.defects.empty()) << testing::PrintToString(read.defects);
    const std::vector<const ReadPart*> gifs = read.Parts("image/gif"), jpegs = read.Parts("image/jpeg");
    ASSERT_EQ(gifs.size(), 3u);
    ASSERT_EQ(jpegs.size(), 1u);
    EXPECT_EQ(gifs[1]->payload, "");
    EXPECT_EQ(gifs[0]->payload, std::string(gif.begin(), gif.end()));
    EXPECT_TRUE(talix_test::FullMatch(gifs[0]->id, "<_1_[0-9]{6}[0-9A-F]{6,}" + tail + ">")) << gifs[0]->id;
    EXPECT_EQ(jpegs[0]->payload, std::string(jpeg.begin(), jpeg.end()));
    EXPECT_EQ(gifs[2]->id, "<_a_tabletab>");
    ASSERT_EQ(read.Parts("application/octet-stream").size(), 1u);
    EXPECT_EQ(read.Parts("application/octet-stream")[0]->filename, "report.bin");

    // An attachment that is gone loses its part; the rest is stored.
    plat::BLOCKID file;
    ASSERT_EQ(talix::FindAttachmentItem(item_.noteHandle, "report.bin", &file, 0), 0);
    ASSERT_EQ(plat::NoteDetachFile(item_.noteHandle, file), 0);
    Convert("Other", "");
    EXPECT_EQ(item_.lastStatus, 0);
    const std::vector<StoredPart> other = Parts(Values("Other"));
    EXPECT_EQ(other.size() + 1, parts.size());
    for (const StoredPart& part : other) EXPECT_EQ(part.headers.find("report.bin"), std::string::npos);

    // A run that fails after it began (its body file cannot be attached)
    // leaves nothing of what it wrote.
    Convert("Third", "AttachedFile=" + dir_.file("missing/body.txt"));
    EXPECT_NE(item_.lastStatus, 0);
    EXPECT_TRUE(Values("Third").empty());
    EXPECT_TRUE(Values("Third_M$").empty());
    EXPECT_EQ(Values("$MessageID").size(), 1u);
}

TEST_F(NoteForm, FiveThousandPicturesAreFiveThousandParts) {
    Store(ManyPictures(5000));
    Convert("MimeBody", "");
    ASSERT_EQ(item_.lastStatus, 0);
    const std::vector<StoredPart> parts = Parts(Values("MimeBody"));
    // Related and alternative levels, the HTML, the alternative close, the
    // pictures and the related close.
    ASSERT_EQ(parts.size(), 5005u);
    EXPECT_EQ(parts[4].headers.substr(0, 23), "Content-Type: image/gif");
    EXPECT_EQ(parts[5003].headers.substr(0, 23), "Content-Type: image/gif");
    EXPECT_EQ(parts[5004].header.partType, 3);
}

TEST_F(NoteForm, ALargeBodyIsKeptInAnAttachment) {
    std::vector<std::string> texts;
    for (int i = 0; i < 400; ++i) texts.push_back("Line " + std::to_string(i) + " " + std::string(200, 'w'));
    Store(engine_test::Runs(texts));
    Convert("Large", "", "Plain Text");
    ASSERT_EQ(item_.lastStatus, 0);
    const std::vector<StoredPart> parts = Parts(Values("Large"));
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].header.flags, 2u | 4u);
    ASSERT_FALSE(parts[0].body.empty());
    char* data = nullptr;
    std::uint32_t size = 0;
    ASSERT_EQ(talix::ReadAttachmentToMemory(item_.noteHandle, parts[0].body.c_str(), &data, &size), 0)
        << parts[0].body;
    // The generation cuts the text into lines.
    std::string content;
    for (std::uint32_t i = 0; i < size; ++i) {
        if (data[i] != '\r' && data[i] != '\n' && data[i] != ' ') content += data[i];
    }
    std::free(data);
    EXPECT_EQ(content.find("Line0www"), 0u);
    EXPECT_NE(content.find("Line399www"), std::string::npos);
}

TEST_F(NoteForm, AFailedRunLeavesTheNoteAsItWas) {
    Store(engine_test::Runs({"Kept"}));
    Convert("MimeBody", "");
    ASSERT_EQ(item_.lastStatus, 0);
    const char* names[] = {"MimeBody", "MimeBody_M$", "MIME_Version", "$MessageID", "$MIMETrack", "Body"};
    std::vector<std::vector<std::string>> before;
    for (const char* name : names) before.push_back(Values(name));

    // The forced update fails after the parts were written.
    plat::TestFailUpdateAfterItems(0);
    Convert("MimeBody", "Overwrite=Yes ForceSave=Yes MultiPart=Yes MimeTrack=Other");
    plat::TestFailUpdateAfterItems(-1);
    EXPECT_NE(item_.lastStatus, 0);
    EXPECT_EQ(item_.ownError, 20014);
    for (std::size_t i = 0; i < std::size(names); ++i) EXPECT_EQ(Values(names[i]), before[i]) << names[i];
    EXPECT_TRUE(StoredValues("MimeBody").empty());

    // A text/plain body kept in an attachment goes with the parts.
    std::vector<std::string> texts(300, std::string(250, 'p'));
    ASSERT_EQ(talix_test::StoreRichTextItem(item_.noteHandle, "Alt", engine_test::Runs(texts)), 0);
    char name[128] = "MP1_0.htm";
    plat::TestFailUpdateAfterItems(0);
    Convert("Other", "ForceSave=Yes AltMimeField=Alt");
    plat::TestFailUpdateAfterItems(-1);
    EXPECT_NE(item_.lastStatus, 0);
    EXPECT_TRUE(Values("Other").empty());
    EXPECT_EQ(talix::FindAttachmentName(item_.noteHandle, name, sizeof name, 0), 0);

    // A name the note cannot hold is refused before anything is written.
    const std::string tooLong(300, 'N');
    Convert(tooLong.c_str(), "MultiPart=Yes");
    EXPECT_NE(item_.lastStatus, 0);
    EXPECT_EQ(item_.ownError, 20014);
    for (std::size_t i = 0; i < std::size(names); ++i) EXPECT_EQ(Values(names[i]), before[i]) << names[i];
    EXPECT_TRUE(Values((tooLong.substr(0, 60) + "_M$").c_str()).empty());
}

} // namespace
