// The character set of a message's text: pass-through HTML outside ASCII
// reaches a reader as its characters, in the set the part's header names
// (us-ascii only for text of ASCII alone), in each form of the writer.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/signatures.h"
#include "generation_fixture.h"
#include "mime/mime_part.h"
#include "mime_fixture.h"
#include "support/record_fixture.h"
#include "talix_platform.h"

namespace {

using namespace mime_test;

const std::string kPassthrough = "<p>Configuración <i>Лист</i> Número</p>";

// A paragraph of words, then the pass-through HTML.
Records ItemWithPassthrough(const std::string& words) {
    Records records = engine_test::Runs({plat::NativeToLmbcs(words)});
    records.push_back(talix_test::HostRecord(talix::kSigHtmlBegin, 8));
    records.push_back(engine_test::Text(plat::NativeToLmbcs(kPassthrough)));
    records.push_back(talix_test::HostRecord(talix::kSigHtmlEnd, 8));
    return records;
}

// The text without its line ends (lines end only beside white space or
// where the flow breaks).
std::string Joined(std::string_view text) {
    std::string joined;
    for (const char c : text) {
        if (c != '\r' && c != '\n') joined += c;
    }
    return joined;
}

class MailCharset : public MimeTest {
protected:
    // Piece n of the buffer form with the options.
    std::string Piece(std::uint16_t part, const char* options) {
        std::vector<char> buffer(65407);
        std::uint32_t size = 65406;
        item_.GenerateMIMEForRTItem(part, nullptr, nullptr, nullptr, options, 0, "", 0, buffer.data(), &size, nullptr,
                                    nullptr);
        return std::string(buffer.data(), size);
    }

    // The texts of a stored MIME part item's value.
    static talix::MimePartTexts PartTexts(const std::string& value) {
        talix::MIMEPartHeader header;
        talix::MimePartTexts texts;
        EXPECT_EQ(talix::ParseMimePart(reinterpret_cast<const std::uint8_t*>(value.data()),
                                       static_cast<std::uint32_t>(value.size()), &header, &texts),
                  0);
        return texts;
    }

    // The MIME parts stored in the item "Mail", joined into one message in
    // the file name and read there by python's mailer.
    ReadMessage ReadStoredMail(const char* name) {
        std::string message = "MIME-Version: 1.0\r\n";
        for (const std::string& value : Values("Mail")) {
            const talix::MimePartTexts texts = PartTexts(value);
            message += std::string(texts.boundary) + std::string(texts.headers) + std::string(texts.body);
        }
        const std::string path = dir_.file(name);
        std::ofstream(path, std::ios::binary) << message;
        return ReadMessageFile(path);
    }
};

TEST_F(MailCharset, TextOutsideAsciiIsInTheSetItsHeaderNames) {
    Store(ItemWithPassthrough("Plain words"));
    struct Case {
        const char* options;
        const char* charset;       // the set the text/html part names
        const char* passthrough;   // the bytes of the pass-through HTML a reader gets
    };
    const Case cases[] = {
        {"", "utf-8", "<p>Configuración <i>Лист</i> Número</p>"},
        {"QuotedPrintable=Yes", "utf-8", "<p>Configuración <i>Лист</i> Número</p>"},
        {"charset=utf-8", "utf-8", "<p>Configuración <i>Лист</i> Número</p>"},
        // A set that lacks a character carries a reference to it.
        {"charset=windows-1251", "windows-1251", "<p>Configuraci&#243;n <i>\xCB\xE8\xF1\xF2</i> N&#250;mero</p>"},
        {"charset=ISO-8859-1", "ISO-8859-1", "<p>Configuraci\xF3n <i>&#1051;&#1080;&#1089;&#1090;</i> N\xFAmero</p>"},
        // A set the platform cannot write: the text is in UTF-8 and says so.
        {"charset=x-unknown-set QuotedPrintable=Yes", "utf-8", "<p>Configuración <i>Лист</i> Número</p>"},
        {"charset=koi8-r", "koi8-r", "<p>Configuraci&#243;n <i>\xEC\xC9\xD3\xD4</i> N&#250;mero</p>"},
    };
    std::vector<std::string> files;
    for (const Case& c : cases) {
        files.push_back(Export(c.options, "", "m" + std::to_string(files.size()) + ".eml"));
        ASSERT_EQ(item_.lastStatus, 0) << c.options;
    }
    const std::vector<ReadMessage> messages = ReadMessageFiles(files);
    ASSERT_EQ(messages.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(cases[i].options);
        EXPECT_TRUE(messages[i].defects.empty()) << testing::PrintToString(messages[i].defects);
        const std::vector<const ReadPart*> html = messages[i].Parts("text/html");
        ASSERT_EQ(html.size(), 1u);
        EXPECT_NE(talix_test::ReadFile(files[i]).find(std::string("text/html; charset=\"") + cases[i].charset + "\""),
                  std::string::npos);
        EXPECT_NE(Joined(html[0]->payload).find(cases[i].passthrough), std::string::npos) << html[0]->payload;
    }

    // Stored as MIME part items: the part's bytes are the text in UTF-8.
    item_.ConvertToMIME("Mail", nullptr, nullptr, nullptr, "", 0, "", 0, nullptr);
    ASSERT_EQ(item_.lastStatus, 0);
    const std::vector<std::string> stored = Values("Mail");
    ASSERT_EQ(stored.size(), 1u);
    const talix::MimePartTexts texts = PartTexts(stored[0]);
    EXPECT_NE(texts.headers.find("charset=\"utf-8\""), std::string::npos) << texts.headers;
    EXPECT_NE(Joined(texts.body).find(kPassthrough), std::string::npos) << texts.body;

    // Handed out piece by piece (in the platform's set, as every piece is),
    // quoted-printable: the escapes are of UTF-8.
    for (const char* options : {"", "QuotedPrintable=Yes"}) {
        SCOPED_TRACE(options);
        Piece(0, options);
        EXPECT_NE(Piece(2, options).find("charset=\"utf-8\""), std::string::npos);
        const std::string body = plat::LmbcsToNative(Piece(3, options));
        const std::string text = options[0] == '\0' ? body : htmlgen_test::DecodeQuotedPrintable(body);
        EXPECT_NE(Joined(text).find(kPassthrough), std::string::npos) << body;
    }

    // Markup of ASCII alone stays us-ascii.
    Store(engine_test::Runs({"Only ASCII, and an e acute: \x82"}));
    const ReadMessage ascii = ReadMessageFile(Export());
    ASSERT_EQ(ascii.Parts("text/html").size(), 1u);
    EXPECT_NE(talix_test::ReadFile(dir_.file("out.eml")).find("text/html; charset=\"us-ascii\""), std::string::npos);
    EXPECT_NE(ascii.Parts("text/html")[0]->payload.find("e acute: &eacute;"), std::string::npos);
}

TEST_F(MailCharset, HeaderNamesTheSetAsMailDoes) {
    Store(ItemWithPassthrough("Plain words"));
    struct Case {
        const char* options;
        const char* label;   // the name the text/html part's header gives
        const char* text;    // pass-through text a reader decodes from the part
    };
    // Sets named as the platform's table spells them, by mail's own names
    // and aliases, and a registered name kept as the option spells it.
    const Case cases[] = {
        {"charset=KOI8", "KOI8-R", "<i>Лист</i>"},
        {"charset=KOI8 QuotedPrintable=Yes", "KOI8-R", "<i>Лист</i>"},
        {"charset=ISO88595", "ISO-8859-5", "<i>Лист</i>"},
        {"charset=iso-8859-5", "iso-8859-5", "<i>Лист</i>"},
        {"charset=1251", "windows-1251", "<i>Лист</i>"},
        {"charset=UTF8", "UTF-8", "<p>Configuración <i>Лист</i> Número</p>"},
        {"charset=EUCJ", "EUC-JP", "<i>Лист</i>"},
        {"charset=NECESJIS", "Shift_JIS", "<i>Лист</i>"},
        {"charset=GB", "GB2312", "<i>Лист</i>"},
        {"charset=EUCC", "GB2312", "<i>Лист</i>"},
        {"charset=ANSI", "windows-1252", "<p>Configuración"},
        {"charset=macintosh", "macintosh", "<p>Configuración"},
        // Sets mail readers know by no name: the text goes in UTF-8.
        {"charset=EUCT", "utf-8", "<p>Configuración <i>Лист</i> Número</p>"},
    };
    std::vector<std::string> files;
    for (const Case& c : cases) {
        files.push_back(Export(c.options, "", "n" + std::to_string(files.size()) + ".eml"));
        ASSERT_EQ(item_.lastStatus, 0) << c.options;
    }
    const std::vector<ReadMessage> messages = ReadMessageFiles(files);
    ASSERT_EQ(messages.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(cases[i].options);
        const std::vector<const ReadPart*> html = messages[i].Parts("text/html");
        ASSERT_EQ(html.size(), 1u);
        EXPECT_NE(talix_test::ReadFile(files[i]).find(std::string("text/html; charset=\"") + cases[i].label + "\""),
                  std::string::npos);
        ASSERT_TRUE(html[0]->textRead);
        EXPECT_NE(Joined(html[0]->text).find(cases[i].text), std::string::npos) << html[0]->text;
    }

    // The note form's part says the same.
    item_.ConvertToMIME("Mail", nullptr, nullptr, nullptr, "charset=KOI8", 0, "", 0, nullptr);
    ASSERT_EQ(item_.lastStatus, 0);
    const std::vector<std::string> stored = Values("Mail");
    ASSERT_EQ(stored.size(), 1u);
    const talix::MimePartTexts texts = PartTexts(stored[0]);
    EXPECT_NE(texts.headers.find("charset=\"KOI8-R\""), std::string::npos) << texts.headers;

    // A ready-made encoded word in a set named as mail names it reaches the
    // reader as its text, not as the word's own characters.
    const ReadMessage subject = ReadMessageFile(Export("ExpSubject='=?koi8-r?B?7MnT1A==?= of words'"));
    EXPECT_EQ(subject.Decoded("Subject"), "Лист of words");
}

// A character beyond the 16-bit range (two characters of the platform's
// text) is one character in a set that lacks it, and one reference: in the
// pass-through HTML of the file and in the plain text stored in the note.
TEST_F(MailCharset, CharactersBeyondSixteenBitsStayWhole) {
    const std::string smile("\x14\xD8\x3D\x14\xDE\x00", 6);   // U+1F600 as the platform holds it
    Records records = engine_test::Runs({"Smile " + smile + " end"});
    records.push_back(talix_test::HostRecord(talix::kSigHtmlBegin, 8));
    records.push_back(engine_test::Text("<p>Passed " + smile + " through</p>"));
    records.push_back(talix_test::HostRecord(talix::kSigHtmlEnd, 8));
    Store(records);

    const ReadMessage message = ReadMessageFile(Export("charset=ISO-8859-1"));
    ASSERT_EQ(item_.lastStatus, 0);
    const std::vector<const ReadPart*> html = message.Parts("text/html");
    ASSERT_EQ(html.size(), 1u);
    EXPECT_NE(Joined(html[0]->payload).find("<p>Passed &#128512; through</p>"), std::string::npos)
        << html[0]->payload;
    EXPECT_EQ(html[0]->payload.find("&#65533;"), std::string::npos) << html[0]->payload;

    item_.ConvertToMIME("Mail", nullptr, nullptr, nullptr, "AltMimeField=Body charset=ISO-8859-1", 0, "", 0, nullptr);
    ASSERT_EQ(item_.lastStatus, 0);
    const std::vector<std::string> stored = Values("Mail");
    ASSERT_EQ(stored.size(), 4u);
    const talix::MimePartTexts texts = PartTexts(stored[1]);
    EXPECT_NE(texts.headers.find("text/plain"), std::string::npos) << texts.headers;
    EXPECT_NE(texts.body.find("Smile &#128512; end"), std::string::npos) << texts.body;
    EXPECT_EQ(texts.body.find("&#65533;"), std::string::npos) << texts.body;
}

// A text/plain header the options give that names no character set, or
// us-ascii or another set than the text is written in, is made to name the
// set of a text that is not ASCII alone: a reader would show its letters as
// garbage. One that names the text's own set keeps it.
TEST_F(MailCharset, AGivenPlainHeaderNamesTheSetOfItsText) {
    Store(engine_test::Runs({"Rich words"}));
    ASSERT_EQ(talix_test::StoreRichTextItem(item_.noteHandle, "Alt",
                                            engine_test::Runs({plat::NativeToLmbcs("Grüße Лист")})),
              0);
    for (const char* header : {"Content-Type: text/plain", "Content-Type: text/plain; format=flowed",
                               "Content-Type: text/plain; charset=US-ASCII",
                               "content-type: text/plain;\tCharSet=\"us-ascii\"; format=flowed",
                               "Content-Type: text/plain; charset=\"utf-8\"",
                               "Content-Type: text/plain; charset=iso-8859-1; format=flowed",
                               "Content-Type: text/plain;\r\n\tcharset=\"x-unknown-set\""}) {
        SCOPED_TRACE(header);
        item_.ConvertToMIME("Mail", nullptr, nullptr, nullptr,
                            (std::string("Overwrite=Yes AltMimeField=Alt AltMimeHeader=|") + header + "|").c_str(), 0, "", 0,
                            nullptr);
        ASSERT_EQ(item_.lastStatus, 0);
        const ReadMessage read = ReadStoredMail("plain.eml");
        ASSERT_TRUE(read.read);
        EXPECT_TRUE(read.defects.empty()) << testing::PrintToString(read.defects);
        const std::vector<const ReadPart*> plain = read.Parts("text/plain");
        ASSERT_EQ(plain.size(), 1u);
        ASSERT_TRUE(plain[0]->textRead);
        EXPECT_EQ(Joined(plain[0]->text), "Grüße Лист");
    }
}

// A part header the caller gives that names a transfer encoding the writer
// does not write the text in (base64) gets the one it is written in: the
// text reaches a reader whole, in the file and in the note.
TEST_F(MailCharset, AGivenHeaderNamesTheEncodingOfItsText) {
    Store(ItemWithPassthrough("Words"));
    ASSERT_EQ(talix_test::StoreRichTextItem(item_.noteHandle, "Alt", engine_test::Runs({"Plain words"})), 0);
    const std::string path = dir_.file("base64.eml");
    item_.ExportToMIME(path.c_str(), "Content-Type: text/html; charset=\"utf-8\"\r\nContent-Transfer-Encoding: BASE64",
                       nullptr, nullptr, "", 0, "", 0, nullptr);
    ASSERT_EQ(item_.lastStatus, 0);
    const ReadMessage message = ReadMessageFile(path);
    ASSERT_TRUE(message.read);
    EXPECT_TRUE(message.defects.empty()) << testing::PrintToString(message.defects);
    const std::vector<const ReadPart*> html = message.Parts("text/html");
    ASSERT_EQ(html.size(), 1u);
    EXPECT_NE(Joined(html[0]->text).find(kPassthrough), std::string::npos) << html[0]->text;

    item_.ConvertToMIME("Mail", nullptr, "Content-Type: text/plain\nContent-Transfer-Encoding: base64", nullptr,
                        "AltMimeField=Alt", 0, "", 0, nullptr);
    ASSERT_EQ(item_.lastStatus, 0);
    const ReadMessage read = ReadStoredMail("stored.eml");
    ASSERT_TRUE(read.read);
    EXPECT_TRUE(read.defects.empty()) << testing::PrintToString(read.defects);
    const std::vector<const ReadPart*> plain = read.Parts("text/plain");
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(Joined(plain[0]->text), "Plain words");
}

// A part header an option gives is stored as the message's text, as the
// file form writes it: its letters outside ASCII in UTF-8, not in the
// platform's set.
TEST_F(MailCharset, AGivenHeaderIsStoredInTheMessagesText) {
    Store(engine_test::Runs({"Rich words"}));
    ASSERT_EQ(talix_test::StoreRichTextItem(item_.noteHandle, "Alt", engine_test::Runs({"Plain words"})), 0);
    const std::string options =
        plat::NativeToLmbcs("AltMimeField=Alt AltMimeHeader='Content-Type: text/plain; x-note=\"Grüße\"'");
    item_.ConvertToMIME("Mail", nullptr, nullptr, nullptr, options.c_str(), 0, "", 0, nullptr);
    ASSERT_EQ(item_.lastStatus, 0);
    const std::vector<std::string> stored = Values("Mail");
    ASSERT_EQ(stored.size(), 4u);
    const talix::MimePartTexts texts = PartTexts(stored[1]);
    EXPECT_EQ(texts.headers, "Content-Type: text/plain; x-note=\"Grüße\"\r\n\r\n");
}

} // namespace
