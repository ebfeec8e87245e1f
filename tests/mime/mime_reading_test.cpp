// Reading stored MIME messages back into rich text: the body's transfer
// encodings and character sets, stray bytes and line breaks, "cid:"
// pictures, pictures that cannot be shown, inline attachments, and the
// failures that keep the MIME items in place.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "core/attachments.h"
#include "core/base64.h"
#include "core/signatures.h"
#include "edit_fixture.h"
#include "mime/mime_part.h"
#include "mime/mime_reading.h"
#include "mime/part_walk.h"
#include "mime_fixture.h"
#include "support/picture_files.h"
#include "support/test_support.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using talix_test::CollectMessage;
using talix_test::g_messages;
bool Shown(const std::string& message) {
    return std::find(g_messages.begin(), g_messages.end(), message) != g_messages.end();
}


std::map<std::string, std::string> NoteFiles(const std::string& path, plat::NOTEID id);

class MimeReading : public testing::Test {
protected:
    MimeReading() {
        g_messages.clear();
        plat::RegisterMessageProc(CollectMessage);
    }

    // A new note holding the message as "Body" (and text items).
    void Store(const std::string& message, const std::vector<std::pair<const char*, const char*>>& texts = {}) {
        plat::DBHANDLE db = 0;
        if (plat::DbOpen(path_.c_str(), &db) != plat::NOERROR) ASSERT_EQ(plat::DbCreate(path_.c_str(), &db), 0);
        plat::NOTEHANDLE note = 0;
        ASSERT_EQ(plat::NoteCreate(db, &note), 0);
        ASSERT_EQ(plat::MimeStoreMessage(note, "Body", 4, message.data(), message.size()), 0);
        for (const auto& [name, text] : texts)
            ASSERT_EQ(plat::ItemSetText(note, name, text, static_cast<plat::WORD>(std::strlen(text))), 0);
        ASSERT_EQ(plat::NoteUpdate(note, plat::UPDATE_FORCE), 0);
        plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id_);
        plat::NoteClose(note);
        plat::DbClose(db);
    }
    // Connects an item to "Body" of the note, which converts the MIME
    // items; saves when they became rich text.
    void Connect(ZervaRTItem* item = nullptr) {
        if (item == nullptr) item = &item_;
        CloseNote();
        ASSERT_EQ(plat::DbOpen(path_.c_str(), &db_), 0);
        ASSERT_EQ(plat::NoteOpen(db_, id_, 0, &note_), 0);
        ASSERT_EQ(item->ConnectBackend(note_, "Body", 0), 0);
        if (item->connected != 0) ASSERT_EQ(item->Save(), 0);
    }
    void CloseNote() {
        if (note_ != 0) plat::NoteClose(note_);
        if (db_ != 0) plat::DbClose(db_);
        note_ = 0;
        db_ = 0;
    }
    ~MimeReading() override {
        CloseNote();
        plat::RegisterMessageProc(nullptr);
    }
    std::uint16_t BodyType() const {
        plat::DBHANDLE db = 0;
        plat::NOTEHANDLE note = 0;
        plat::WORD type = 0;
        EXPECT_EQ(plat::DbOpen(path_.c_str(), &db), 0);
        EXPECT_EQ(plat::NoteOpen(db, id_, 0, &note), 0);
        plat::ItemInfo(note, "Body", 4, nullptr, &type, nullptr, nullptr);
        plat::NoteClose(note);
        plat::DbClose(db);
        return type;
    }
    std::vector<engine_test::Rec> Records() {
        std::vector<engine_test::Rec> records;
        EXPECT_EQ(engine_test::ReadItemRecords(path_, id_, "Body", true, &records), "");
        return records;
    }
    // The text of the stored item's runs, joined (LMBCS).
    std::string Text() {
        std::string text;
        for (const std::string& run : engine_test::NonEmptyTexts(Records())) text += run;
        return text;
    }
    // The HTML text the reader makes of a message's first text/html part.
    talix::STATUS Read(const std::string& message, std::string* html,
                       const std::vector<std::pair<const char*, const char*>>& texts = {}) {
        Store(message, texts);
        plat::DBHANDLE db = 0;
        plat::NOTEHANDLE note = 0;
        EXPECT_EQ(plat::DbOpen(path_.c_str(), &db), 0);
        EXPECT_EQ(plat::NoteOpen(db, id_, 0, &note), 0);
        char* text = nullptr;
        std::uint32_t length = 0;
        const talix::STATUS status = talix::ImportMIMEHTMLBody(note, "Body", "text/html", &text, &length);
        html->assign(text != nullptr ? text : "", length);
        std::free(text);
        plat::NoteClose(note);
        plat::DbClose(db);
        return status;
    }

    talix_test::TempDir dir_;
    std::string path_ = dir_.file("read.nsf");
    plat::NOTEID id_ = 0;
    plat::DBHANDLE db_ = 0;
    plat::NOTEHANDLE note_ = 0;
    RARIvoSession session_;
    ZervaRTItem item_{&session_};
};

std::string Html(const std::string& headers, const std::string& body) {
    return "MIME-Version: 1.0\r\nContent-Type: text/html" + headers + "\r\n\r\n" + body;
}

TEST_F(MimeReading, QuotedPrintableUtf8BecomesRichText) {
    Store(Html("; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable", "<p>Hi =C3=A9</p>\r\n"));
    Connect();
    ASSERT_EQ(item_.connected, 1);
    EXPECT_EQ(BodyType(), plat::TYPE_COMPOSITE);
    EXPECT_EQ(Text(), "Hi \x82");
    EXPECT_EQ(std::string(talix::MIMECharsetText()), "Charset='utf-8");

    // A note without items of the name gets a blank rich-text item.
    ZervaRTItem other(&session_);
    ASSERT_EQ(other.CopyItem("", path_.c_str(), id_, "Other", 0), 0);
    EXPECT_EQ(other.ConvertFromMIMEBackend(other.noteHandle, "Other", ""), 0);
    EXPECT_EQ(other.connected, 1);
    ASSERT_EQ(other.Save(), 0);
    std::vector<engine_test::Rec> records;
    EXPECT_EQ(engine_test::ReadItemRecords(path_, id_, "Other", true, &records), "");
    EXPECT_TRUE(engine_test::NonEmptyTexts(records).empty());
}

TEST_F(MimeReading, MailSaidToBeAsciiKeepsItsLetters) {
    // A body labelled US-ASCII that holds UTF-8 (as mail programs often
    // send it) and a stray Latin-1 byte: each letter comes out once, whole.
    Store(Html("; charset=utf-8", "<p>caf\xC3\xA9 \xE2\x82\xAC" "5 na\xC3\xAFve</p>\r\n"));
    Connect();
    ASSERT_EQ(item_.connected, 1);
    const std::string letters = Text();
    EXPECT_EQ(letters.substr(0, 4), "caf\x82");
    Store(Html("; charset=us-ascii", "<p>caf\xC3\xA9 \xE2\x82\xAC" "5 na\xEFve</p>\r\n"));
    Connect();
    ASSERT_EQ(item_.connected, 1);
    EXPECT_EQ(Text(), letters);
}

TEST_F(MimeReading, CharacterSetsStrayBytesAndLineBreaks) {
    std::string html;
    // ISO-8859-1 in quoted-printable and in binary: translated, é is 0x82.
    ASSERT_EQ(Read(Html("; charset=iso-8859-1\r\nContent-Transfer-Encoding: quoted-printable", "caf=E9"), &html), 0);
    EXPECT_EQ(html, "caf\x82");
    EXPECT_EQ(std::string(talix::MIMECharsetText()), "CharEncoding='raw' ");
    ASSERT_EQ(Read(Html("; charset=\"ISO-8859-1\"; format=flowed\r\nContent-Transfer-Encoding: binary",
                        "caf\xE9\r\nau lait"),
                   &html),
              0);
    EXPECT_EQ(html, "caf\x82 au lait");
    ASSERT_EQ(Read(Html("; charset=utf-8\r\nContent-Transfer-Encoding: binary", "Hello\r\nWorld\rand\nmore"), &html), 0);
    EXPECT_EQ(html, std::string("Hello \0World \0and\nmore", 22));
    // US-ASCII and UTF-8 keep their bytes; stray bytes become references.
    ASSERT_EQ(Read(Html("; charset=us-ascii", "a\xA9" "b\xA0" "c\x80" "d"), &html), 0);
    EXPECT_EQ(html, "a&copy;b&#160;c&#128;d");
    ASSERT_EQ(Read(Html("; charset=utf-8", "\xC3\xA9\xE2\x82\xAC!"), &html), 0);
    EXPECT_EQ(html, "\xC3\xA9\xE2\x82\xAC!");
    // Bytes of another set in a body labelled UTF-8: a lead byte that no
    // continuation byte follows, or that the body or a line ends in, is a
    // stray byte too, and the text after it stays whole.
    ASSERT_EQ(Read(Html("; charset=utf-8", "caf\xE9 au lait, na\xEFve \xF0\x9F\x98!\xC3\xA9\xC3"), &html), 0);
    EXPECT_EQ(html, "caf&eacute; au lait, na&iuml;ve &eth;&#159;&#152;!\xC3\xA9&Atilde;");
    ASSERT_EQ(Read(Html("; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable", "a=C3\r\nb=E2=82=0D=0Ac"),
                   &html),
              0);
    EXPECT_EQ(html, std::string("a&Atilde; \0b&acirc;&#130; \0c", 28));
    // No character set: UTF-8 rules; an unknown set is read as UTF-8 too.
    ASSERT_EQ(Read(Html("", "x\xFFy"), &html), 0);
    EXPECT_EQ(html, "x&yuml;y");
    ASSERT_EQ(Read(Html("; charset=x-unknown-set", "x\xC3\xA9"), &html), 0);
    EXPECT_EQ(html, "x\xC3\xA9");
    // A set the platform has no translation table for.
    EXPECT_EQ(Read(Html("; charset=VIQRI", "x"), &html), talix::kHtmlTreeLost);
    // A line end is a space whether it is encoded or not, so that the words
    // on either side stay apart; a soft line break joins them.
    ASSERT_EQ(Read(Html("\r\nContent-Transfer-Encoding: quoted-printable", "a=0D=0Ab\r\nc=\r\nd=0d=0ae=0Df"), &html),
              0);
    EXPECT_EQ(html, std::string("a \0b \0cd \0e \0f", 14));
    // Within preformatted text a line end stays a line end, in every encoding.
    ASSERT_EQ(Read(Html("; charset=utf-8", "<PRE class=x>a\r\n b</PRE>\r\nc<pre>d\re</pre>"), &html), 0);
    EXPECT_EQ(html, std::string("<PRE class=x>a\n b</PRE> \0c<pre>d\ne</pre>", 40));
    ASSERT_EQ(Read(Html("\r\nContent-Transfer-Encoding: quoted-printable", "<pre>a=0D=0Ab\r\nc</pre>\r\nd"), &html), 0);
    EXPECT_EQ(html, std::string("<pre>a\nb\nc</pre> \0d", 19));
    // A binary body too: CR LF and a bare CR each one line feed within the
    // element, a space outside it; a bare LF stays; bytes are copied.
    ASSERT_EQ(Read(Html("; charset=utf-8\r\nContent-Transfer-Encoding: binary",
                        "<pre>a\r\nb\r\n\r\nc\rd\ne\xE9</pre>\r\nf"),
                   &html),
              0);
    EXPECT_EQ(html, std::string("<pre>a\nb\n\nc\nd\ne\xE9</pre> \0f", 25));
    // Quoted-printable ending in "=" or holding "=ZZ"; base64 with foreign
    // characters and no padding.
    ASSERT_EQ(Read(Html("\r\nContent-Transfer-Encoding: quoted-printable", "x=ZZy="), &html), 0);
    EXPECT_EQ(html, "x=ZZy");
    ASSERT_EQ(Read(Html("\r\nContent-Transfer-Encoding: base64", "PHA+aGk8L3A+\r\n*!PHA"), &html), 0);
    EXPECT_EQ(html.substr(0, 9), "<p>hi</p>");
    // A body encoded in pieces, each padded, joined line by line.
    ASSERT_EQ(Read(Html("\r\nContent-Transfer-Encoding: base64", "PHA+Zmlyc3QgaGFsZiA=\r\nc2Vjb25kIGhhbGY8L3A+\r\n"),
                   &html),
              0);
    EXPECT_EQ(html, std::string("<p>first half second half</p>"));
    // A byte-order mark in quoted-printable is passed over.
    ASSERT_EQ(Read(Html("\r\nContent-Transfer-Encoding: quoted-printable", "=EF=BB=BF<p>bom</p>"), &html), 0);
    EXPECT_EQ(html, "<p>bom</p>");
}

TEST_F(MimeReading, TextOfTwoBytesToACharacterEndsAtTheBoundaryLine) {
    // UTF-16 text kept as it is, or in quoted-printable: the line end before
    // the boundary line is no character of the text.
    std::string utf16("\xFF\xFE", 2), quoted;
    for (const unsigned char c : std::string("<p>wide \xE9</p>")) {
        utf16.push_back(static_cast<char>(c));
        utf16.push_back('\0');
    }
    for (const unsigned char c : utf16) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "=%02X", c);
        quoted += hex;
    }
    for (const auto& [encoding, body] : {std::pair<std::string, std::string>{"8bit", utf16}, {"binary", utf16},
                                         {"quoted-printable", quoted}}) {
        std::string html;
        ASSERT_EQ(Read("Content-Type: multipart/alternative; boundary=b\r\n\r\n--b\r\n"
                       "Content-Type: text/html; charset=utf-16\r\nContent-Transfer-Encoding: " +
                           encoding + "\r\n\r\n" + body + "\r\n--b--\r\n",
                       &html),
                  0)
            << encoding;
        EXPECT_EQ(html, "<p>wide \xC3\xA9</p>") << encoding;
    }
}

TEST_F(MimeReading, SetsKnownByTheirMailNamesAreTranslated) {
    // The names mail gives sets the platform's table spells otherwise
    // ("KOI8", "EUCJ", "NECESJIS", "GB") or not at all.
    const struct {
        const char* charset;
        const char* bytes;
        const char* utf8;
    } cases[] = {
        {"koi8-r", "\xF0\xD2\xC9\xD7\xC5\xD4", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
        {"\"Shift_JIS\"", "\x93\xFA\x96\x7B\x8C\xEA", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
        {"EUC-JP", "\xC6\xFC\xCB\xDC\xB8\xEC", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
        {"gb2312", "\xD6\xD0\xCE\xC4", "\xE4\xB8\xAD\xE6\x96\x87"},
        {"ks_c_5601-1987", "\xC7\xD1\xB1\xB9\xBE\xEE", "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4"},
        {"latin1", "caf\xE9", "caf\xC3\xA9"},
    };
    for (const auto& c : cases) {
        std::string html;
        ASSERT_EQ(Read(Html(std::string("; charset=") + c.charset, std::string("<p>") + c.bytes + "</p>"), &html), 0)
            << c.charset;
        EXPECT_EQ(html, plat::NativeToLmbcs(std::string("<p>") + c.utf8 + "</p>")) << c.charset;
        EXPECT_EQ(std::string(talix::MIMECharsetText()), "CharEncoding='raw' ") << c.charset;
    }
    // A whole message, read into rich text.
    Store("Content-Type: text/html; charset=koi8-r\r\nContent-Transfer-Encoding: base64\r\n\r\n"
          "PHA+8NLJ18XUPC9wPg==\r\n");
    Connect();
    ASSERT_EQ(item_.connected, 1);
    EXPECT_EQ(Text(), plat::NativeToLmbcs("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"));
}

TEST_F(MimeReading, PartsThatAreNotTakenAndDamagedOnes) {
    std::string html;
    // No text/html part: 546, also for a plain-text message.
    EXPECT_EQ(Read("Content-Type: text/plain\r\n\r\nplain", &html), talix::kItemNotFound);
    // Only the Content-Type says what a part is: a plain message whose
    // subject speaks of text/html is no HTML; a folded Content-Type is.
    EXPECT_EQ(Read("Subject: text/html mail\r\nContent-Type: text/plain\r\n\r\nUse <b> here", &html),
              talix::kItemNotFound);
    EXPECT_EQ(Read("Subject: plain\r\nContent-Type:\r\n TEXT/HTML; charset=utf-8\r\n\r\n<p>folded</p>", &html), 0);
    EXPECT_EQ(html, "<p>folded</p>");
    // Image sources outside the message.
    const std::string remote = Html("", "<p><img src=\"http://example.com/a.gif\"></p>");
    EXPECT_EQ(Read(remote, &html), talix::kRemoteImage);
    EXPECT_EQ(Read(remote, &html, {{"$DelayedImagesOK", "OK"}}), 0);
    EXPECT_EQ(Read(Html("\r\nContent-Transfer-Encoding: quoted-printable",
                        "<img src=3D\"cid:a\"> <img src=3D'http://x/y.gif'>"),
                   &html),
              talix::kRemoteImage);
    EXPECT_EQ(Read(Html("", "<img src='cid:a'> and more text"), &html), 0);
    // A soft line break of quoted-printable inside an image source, where
    // mail programs cut long lines: the source is read whole.
    const std::string qp = "\r\nContent-Transfer-Encoding: quoted-printable";
    EXPECT_EQ(Read(Html(qp, "<p>p14 <img src=3D\"cid=\r\n:c14\"></p>\r\n"), &html), 0);
    EXPECT_NE(html.find("src=\"cid:c14\""), std::string::npos) << html;
    EXPECT_EQ(Read(Html(qp, "<p><img s=\r\nrc=3D\"http://x/y.gif\"></p>\r\n"), &html), talix::kRemoteImage);
    EXPECT_EQ(Read(Html(qp, "<p><img src=3D\"ht=\r\ntp://x/y.gif\"></p>\r\n"), &html), talix::kRemoteImage);
    // A soft line break before a line feed alone, as in a body kept with
    // such line ends, joins the lines as one before CR LF does.
    ASSERT_EQ(Read(Html(qp, "<p>soft=\nbreak and soft=\r\nbreak <img src=3D\"cid=\n:a\"></p>\n"), &html), 0);
    EXPECT_NE(html.find("softbreak and softbreak <img src=\"cid:a\">"), std::string::npos) << html;
    // Pictures however the tag is written: a line end or "/" before the
    // attribute, an attribute after others, an entity-encoded address.
    for (const char* tag : {"<img\r\nsrc=\"http://x/a.gif\">", "<img/src=http://x/a.gif>",
                            "<img alt=\"a > b\" width=1 src='http://x/a.gif'>", "<img alt=it's src=http://x/a.gif>",
                            "<p title=\"open>text</p><img src=\"http://x/a.gif\">",
                            "<IMG SRC=&#104;ttp://x/a.gif>"})
        EXPECT_EQ(Read(Html("", std::string("<p>") + tag + "</p>"), &html), talix::kRemoteImage) << tag;
    // "src=" in the text, or ending another attribute's name, shows no
    // picture: the message is read.
    for (const char* text : {"<p>set src=\"http://x/a.js\" in the tag</p>",
                             "<p>Use <code>&lt;img src=&quot;http://x/a.gif&quot;&gt;</code></p>",
                             "<p><img data-src=\"http://x/a.gif\" src=\"cid:a\"></p>",
                             "<p><img alt=\"see src=http://x/a.gif\" src=\"cid:a\"></p>"}) {
        EXPECT_EQ(Read(Html("", text), &html), 0) << text;
        EXPECT_NE(html.find("src="), std::string::npos) << html;
    }
    EXPECT_EQ(Read(Html("\r\nContent-Transfer-Encoding: quoted-printable", "<p>write src=3D\"http://x/y.gif\"</p>"),
                   &html),
              0);

    // Parts built by hand: a body kept in an attachment the note lacks
    // reads as empty; a part whose lengths run past its value is skipped.
    Store("Content-Type: text/plain\r\n\r\nfirst");
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    ASSERT_EQ(plat::DbOpen(path_.c_str(), &db), 0);
    ASSERT_EQ(plat::NoteOpen(db, id_, 0, &note), 0);
    auto append = [&](std::uint32_t flags, const std::string& body, std::uint32_t cut) {
        std::uint8_t value[512];
        std::uint32_t length = 0;
        talix::MimePartTexts texts{"", "Content-Type: text/html\r\n\r\n", body};
        ASSERT_EQ(talix::AssembleMimePart(flags, talix::kPartBody, texts, value, sizeof value, &length), 0);
        ASSERT_EQ(plat::ItemAppend(note, 3, "Body", 4, plat::TYPE_MIME_PART, value + 2, length - 2 - cut), 0);
    };
    append(talix::kPartHasHeaders, "<p>cut short</p>", 4);
    char* text = nullptr;
    std::uint32_t length = 0;
    EXPECT_EQ(talix::ImportMIMEHTMLBody(note, "Body", "text/html", &text, &length), talix::kItemNotFound);
    append(talix::kPartHasHeaders | talix::kPartBodyInFile, "missing.dat", 0);
    EXPECT_EQ(talix::ImportMIMEHTMLBody(note, "Body", "text/html", &text, &length), 0);
    EXPECT_EQ(length, 0u);
    std::free(text);
    plat::NoteClose(note);
    plat::DbClose(db);
}

TEST_F(MimeReading, ABodyRightAfterItsHeaderLinesIsRead) {
    // The HTML part lacks the empty line after its header lines.
    Store("Content-Type: multipart/alternative; boundary=b\r\n\r\n"
          "--b\r\nContent-Type: text/plain\r\n\r\nplain\r\n"
          "--b\r\nContent-Type: text/html\r\n<p>hello world</p>\r\n--b--\r\n");
    Connect();
    ASSERT_EQ(item_.connected, 1);
    EXPECT_EQ(Text(), "hello world");
}

TEST_F(MimeReading, PicturesByContentId) {
    const std::string gif(mime_test::kOnePixelGif.begin(), mime_test::kOnePixelGif.end());
    const std::string related = "Content-Type: multipart/related; boundary=b\r\n\r\n"
                                "--b\r\nContent-Type: text/html\r\n\r\n<p>A <img src=\"cid:IMG1\"> dot</p>\r\n"
                                "--b\r\nContent-Type: image/gif\r\nContent-ID: <img1>\r\n\r\n" +
                                gif + "\r\n--b--\r\n";
    Store(related);
    Connect();
    ASSERT_EQ(item_.connected, 1);
    const std::vector<engine_test::Rec> records = Records();
    EXPECT_EQ(engine_test::Count(records, talix::kSigGraphic), 1u);
    EXPECT_EQ(Text(), "A  dot");
}

TEST_F(MimeReading, APictureIsFoundByItsContentIdWrittenWithEscapes) {
    // A "cid:" address carries the Content-ID with "%" escapes ("%40" for
    // "@"); an id that holds "%" itself is still found as it is written.
    const std::string gif(mime_test::kOnePixelGif.begin(), mime_test::kOnePixelGif.end());
    for (const auto& [source, id] : std::vector<std::pair<std::string, std::string>>{
             {"img%40host.example", "img@host.example"}, {"a%2Fb", "a/b"}, {"50%off", "50%off"}}) {
        Store("Content-Type: multipart/related; boundary=b\r\n\r\n"
              "--b\r\nContent-Type: text/html\r\n\r\n<p>A <img src=\"cid:" + source + "\"> dot</p>\r\n"
              "--b\r\nContent-Type: image/gif\r\nContent-ID: <" + id + ">\r\n\r\n" + gif + "\r\n--b--\r\n");
        ZervaRTItem item(&session_);
        Connect(&item);
        ASSERT_EQ(item.connected, 1) << source;
        std::string segments;
        for (const engine_test::Rec& record : Records())
            if (record.signature == talix::kSigImageSegment) segments.append(record.bytes.begin(), record.bytes.end());
        EXPECT_NE(segments.find(gif), std::string::npos) << source;
        EXPECT_EQ(Text(), "A  dot") << source;
    }
}

TEST_F(MimeReading, APictureIsFoundByAContentIdFoldedOntoTheNextLine) {
    // The Content-ID field folded after its name, its value on the next
    // line after a blank or a tab; an empty one names no picture.
    const std::string gif(mime_test::kOnePixelGif.begin(), mime_test::kOnePixelGif.end());
    for (const char* field : {"Content-ID:\r\n <img1@x>", "Content-ID: \r\n\t<img1@x>", "Content-ID:\n <img1@x>"}) {
        Store(std::string("Content-Type: multipart/related; boundary=b\r\n\r\n"
                          "--b\r\nContent-Type: text/html\r\n\r\n<p>A <img src=\"cid:img1@x\"> dot</p>\r\n"
                          "--b\r\nContent-Type: image/gif\r\n") +
              field + "\r\nContent-Transfer-Encoding: binary\r\n\r\n" + gif + "\r\n--b--\r\n");
        ZervaRTItem item(&session_);
        Connect(&item);
        ASSERT_EQ(item.connected, 1) << field;
        std::string segments;
        for (const engine_test::Rec& record : Records())
            if (record.signature == talix::kSigImageSegment) segments.append(record.bytes.begin(), record.bytes.end());
        EXPECT_NE(segments.find(gif), std::string::npos) << field;
    }
    EXPECT_EQ(talix::ImageContentId("Content-ID:\r\nContent-Transfer-Encoding: base64\r\n"), "");
}

TEST_F(MimeReading, AJpegPictureIsShownUnderEachTypeNameMailProgramsGiveIt) {
    // "image/jpg" and "image/pjpeg", as many mail programs label a JPEG
    // picture: the message is converted and the picture holds its bytes.
    const std::string jpeg = talix_test::JpegPicture(3, 2);
    for (const char* type : {"image/jpeg", "image/jpg", "image/pjpeg", "IMAGE/JPG"}) {
        Store(std::string("Content-Type: multipart/related; boundary=b\r\n\r\n"
                          "--b\r\nContent-Type: text/html\r\n\r\n<p>A <img src=\"cid:img1\"> dot</p>\r\n"
                          "--b\r\nContent-Type: ") +
              type + "\r\nContent-ID: <img1>\r\n\r\n" + jpeg + "\r\n--b--\r\n");
        ZervaRTItem item(&session_);
        Connect(&item);
        ASSERT_EQ(item.connected, 1) << type;
        std::string segments;
        for (const engine_test::Rec& record : Records())
            if (record.signature == talix::kSigImageSegment) segments.append(record.bytes.begin(), record.bytes.end());
        EXPECT_NE(segments.find(jpeg), std::string::npos) << type;
        EXPECT_EQ(Text(), "A  dot") << type;
    }
}

TEST_F(MimeReading, APictureShowsItsOwnBytesWhateverFileOfItsNameTheNoteHolds) {
    // Mail programs name every inline picture alike ("image001.gif"): a
    // file of that name the note holds from other mail is another picture.
    const std::string gif(mime_test::kOnePixelGif.begin(), mime_test::kOnePixelGif.end());
    Store("Content-Type: multipart/related; boundary=b\r\n\r\n"
          "--b\r\nContent-Type: text/html\r\n\r\n<p>A <img src=\"cid:img1\"> dot</p>\r\n"
          "--b\r\nContent-Type: image/gif\r\nContent-ID: <img1>\r\n"
          "Content-Disposition: attachment; filename=\"image001.gif\"\r\n\r\n" +
          gif + "OWN!\r\n--b--\r\n");
    const std::string earlier = dir_.file("image001.gif");
    std::ofstream(earlier, std::ios::binary) << gif << "OLD!";
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    ASSERT_EQ(plat::DbOpen(path_.c_str(), &db), 0);
    ASSERT_EQ(plat::NoteOpen(db, id_, 0, &note), 0);
    ASSERT_EQ(plat::NoteAttachFile(note, "$FILE", 5, earlier.c_str(), "image001.gif", plat::ATTACH_DEFAULT), 0);
    ASSERT_EQ(plat::NoteUpdate(note, 0), 0);
    plat::NoteClose(note);
    plat::DbClose(db);
    Connect();
    ASSERT_EQ(item_.connected, 1);
    std::string segments;
    for (const engine_test::Rec& record : Records())
        if (record.signature == talix::kSigImageSegment) segments.append(record.bytes.begin(), record.bytes.end());
    EXPECT_NE(segments.find("OWN!"), std::string::npos);
    EXPECT_EQ(segments.find("OLD!"), std::string::npos);
}

TEST_F(MimeReading, APictureHoldsTheContentOfItsPartInEachTransferEncoding) {
    // As kept, in quoted-printable, in base64: the picture is the GIF
    // itself, without the line end of the boundary line after it.
    const std::string gif(mime_test::kOnePixelGif.begin(), mime_test::kOnePixelGif.end());
    std::string quoted;
    for (const unsigned char c : gif) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "=%02X", c);
        quoted += hex;
    }
    const std::vector<std::pair<std::string, std::string>> encodings = {
        {"binary", gif}, {"quoted-printable", quoted}, {"base64", "R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw=="}};
    for (const auto& [encoding, body] : encodings) {
        Store("Content-Type: multipart/related; boundary=b\r\n\r\n"
              "--b\r\nContent-Type: text/html\r\n\r\n<p>A <img src=\"cid:img1\"> dot</p>\r\n"
              "--b\r\nContent-Type: image/gif\r\nContent-Transfer-Encoding: " + encoding +
              "\r\nContent-ID: <img1>\r\n\r\n" + body + "\r\n--b--\r\n");
        ZervaRTItem item(&session_);
        Connect(&item);
        ASSERT_EQ(item.connected, 1) << encoding;
        std::string segments;
        for (const engine_test::Rec& record : Records())
            if (record.signature == talix::kSigImageSegment) segments.append(record.bytes.begin(), record.bytes.end());
        EXPECT_NE(segments.find(gif), std::string::npos) << encoding;
        EXPECT_EQ(segments.find(gif + "\r\n"), std::string::npos) << encoding;
    }
}

TEST_F(MimeReading, APictureThatNearlyFillsItsItemIsShown) {
    // A GIF whose Base64 nearly fills the part's item (its body between
    // 65,342 bytes and what the item holds) is shown, as a smaller or a
    // larger one is, and becomes no file of the note.
    const std::string gif(mime_test::kOnePixelGif.begin(), mime_test::kOnePixelGif.end());
    for (const std::size_t padding : {47450u, 47560u}) {
        // A comment block of the padding's length before the trailer.
        std::string picture = gif.substr(0, gif.size() - 1) + "\x21\xFE";
        for (std::size_t left = padding; left > 0;) {
            const std::size_t piece = std::min<std::size_t>(255, left);
            picture += static_cast<char>(piece);
            picture += std::string(piece, 'C');
            left -= piece;
        }
        picture += std::string("\0;", 2);
        std::string lines;
        talix::AppendBase64Lines(reinterpret_cast<const std::uint8_t*>(picture.data()), picture.size(), 0, 1, &lines);
        Store("Content-Type: multipart/related; boundary=b\r\n\r\n"
              "--b\r\nContent-Type: text/html\r\n\r\n<p>A <img src=\"cid:img1\"> dot</p>\r\n"
              "--b\r\nContent-Type: image/gif\r\nContent-Transfer-Encoding: base64\r\nContent-ID: <img1>\r\n\r\n" +
              lines + "--b--\r\n");
        ZervaRTItem item(&session_);
        Connect(&item);
        ASSERT_EQ(item.connected, 1) << padding;
        // The picture's bytes, segment after segment (each after its
        // header and data length).
        std::string segments;
        for (const engine_test::Rec& record : Records())
            if (record.signature == talix::kSigImageSegment && record.bytes.size() >= 12u + record.Word(8))
                segments.append(record.bytes.begin() + 12, record.bytes.begin() + 12 + record.Word(8));
        EXPECT_EQ(segments, picture) << padding;
        EXPECT_TRUE(NoteFiles(path_, id_).empty()) << padding;
    }
}

TEST_F(MimeReading, PicturesThatCannotBeShownKeepTheItems) {
    const std::string png = "Content-Type: multipart/related; boundary=b\r\n\r\n"
                            "--b\r\nContent-Type: text/html\r\n\r\n<p>A <img src=\"cid:p\"> dot</p>\r\n"
                            "--b\r\nContent-Type: image/png\r\nContent-ID: <p>\r\nContent-Transfer-Encoding: base64"
                            "\r\n\r\niVBORw0KGgo=\r\n--b--\r\n";
    Store(png);
    ZervaRTItem item(&session_);
    ASSERT_EQ(item.CopyItem("", path_.c_str(), id_, "Body", 0), 0);
    EXPECT_EQ(item.ConvertFromMIMEBackend(item.noteHandle, "Body", ""), talix::kRenderingSkipped);
    EXPECT_EQ(item.connected, 0);
    ASSERT_FALSE(g_messages.empty());
    EXPECT_EQ(g_messages.back(), "Talix: Rendering skipped due to PNG images");

    std::string bmp = png;
    bmp.replace(bmp.find("image/png"), 9, "image/bmp");
    Store(bmp);
    ZervaRTItem other(&session_);
    ASSERT_EQ(other.CopyItem("", path_.c_str(), id_, "Body", 0), 0);
    EXPECT_EQ(other.ConvertFromMIMEBackend(other.noteHandle, "Body", ""), talix::kRenderingSkipped);
    EXPECT_EQ(g_messages.back(), "Talix: Rendering skipped due to unsupported images");
    EXPECT_EQ(BodyType(), plat::TYPE_MIME_PART);

    // A picture from outside the message: refused unless the note allows
    // it; allowed, the parse skips it as a URL image unless notes.ini says
    // not to.
    const std::string remote = Html("", "<p>Far <img src=\"http://example.com/a.gif\"> away</p>");
    Store(remote);
    Connect();
    EXPECT_EQ(item_.connected, 0);
    EXPECT_TRUE(Shown("Talix: Unable to convert from named MIME field"));
    EXPECT_TRUE(Shown("Cannot connect to item of type 25.  Not rich text!"));
    EXPECT_EQ(BodyType(), plat::TYPE_MIME_PART);
    Store(remote, {{"$DelayedImagesOK", "ok"}});
    {
        ZervaRTItem allowed(&session_);
        ASSERT_EQ(allowed.CopyItem("", path_.c_str(), id_, "Body", 0), 0);
        EXPECT_EQ(allowed.ConvertFromMIMEBackend(allowed.noteHandle, "Body", ""), talix::kRenderingSkipped);
        EXPECT_EQ(BodyType(), plat::TYPE_MIME_PART);
    }
    {
        talix_test::IniOverride noSkip("ZelundaNoImageSkip", "1");
        ZervaRTItem allowed(&session_);
        Connect(&allowed);
        ASSERT_EQ(allowed.connected, 1);
        EXPECT_EQ(Text().substr(0, 3), "Far");
    }

    // No text/html part at all.
    Store("Content-Type: text/plain\r\n\r\nplain words");
    g_messages.clear();
    ZervaRTItem plain(&session_);
    Connect(&plain);
    EXPECT_EQ(plain.connected, 0);
    EXPECT_TRUE(Shown("Talix: Unable to convert from named MIME field"));
    EXPECT_EQ(BodyType(), plat::TYPE_MIME_PART);
}

// The note's attachments by stored name, with their bytes.
std::map<std::string, std::string> NoteFiles(const std::string& path, plat::NOTEID id) {
    std::map<std::string, std::string> files;
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    EXPECT_EQ(plat::DbOpen(path.c_str(), &db), 0);
    EXPECT_EQ(plat::NoteOpen(db, id, 0, &note), 0);
    std::vector<talix::NoteAttachment> attachments;
    EXPECT_EQ(talix::ListAttachments(note, &attachments), 0);
    for (const talix::NoteAttachment& attachment : attachments) {
        plat::DHANDLE block = 0;
        plat::DWORD size = 0;
        EXPECT_EQ(plat::NoteReadAttachment(note, attachment.item, &block, &size), 0) << attachment.name;
        files[attachment.name].assign(static_cast<const char*>(plat::MemLock(block)), size);
        plat::MemUnlock(block);
        plat::MemFree(block);
    }
    plat::NoteClose(note);
    plat::DbClose(db);
    return files;
}

TEST_F(MimeReading, EveryFileOfTheMessageIsAttachedUnderASafeName) {
    const std::string gif64 = "R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==";
    const std::string message =
        "Content-Type: multipart/mixed; boundary=m\r\n\r\n"
        "--m\r\nContent-Type: multipart/alternative; boundary=a\r\n\r\n"
        "--a\r\nContent-Type: text/plain\r\n\r\nThe plain version\r\n"
        "--a\r\nContent-Type: text/html\r\n\r\n<p>With files <img src=\"cid:p1\"></p>\r\n--a--\r\n"
        "--m\r\nContent-Type: image/gif\r\nContent-ID: <p1>\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
        gif64 + "\r\n"
        "--m\r\nContent-Type: application/pdf\r\nContent-Transfer-Encoding: base64\r\n"
        "Content-Disposition: inline; filename=\"a b.pdf\"\r\n\r\nJVBERi0xLjQ=\r\n"
        "--m\r\nContent-Type: application/octet-stream\r\nContent-Disposition: inline\r\n\r\nraw bytes\r\n"
        "--m\r\nContent-Type: application/zip\r\nContent-Disposition: attachment; filename=\"kept.zip\"\r\n\r\n"
        "zip\r\n"
        // A text attachment, quoted-printable, under a name that climbs out
        // of its folder; one with control characters and dots; one named
        // by its type only; a second file of a name the note holds.
        "--m\r\nContent-Type: text/plain\r\nContent-Transfer-Encoding: quoted-printable\r\n"
        "Content-Disposition: attachment; filename=\"../../etc/notes.txt\"\r\n\r\n"
        "caf=C3=A9 =\r\nsoft\r\nline two\r\n\r\n"
        "--m\r\nContent-Type: text/csv\r\nContent-Disposition: attachment; filename=\"a..b\\\\c:d\x01"
        "e..csv.\"\r\n\r\n"
        "1,2\r\n"
        "--m\r\nContent-Type: text/calendar; name=\"invite.ics\"\r\n\r\nBEGIN:VCALENDAR\r\n"
        "--m\r\nContent-Type: application/octet-stream\r\nContent-Disposition: attachment; filename=\"NOTES.TXT\"\r\n"
        "\r\nsecond\r\n--m--\r\n";
    Store(message);
    Connect();
    ASSERT_EQ(item_.connected, 1);
    EXPECT_EQ(Text(), "With files ");
    const std::map<std::string, std::string> files = NoteFiles(path_, id_);
    const std::map<std::string, std::string> expected = {
        {"a b.pdf", "%PDF-1.4"},
        {"file001", "raw bytes"},
        {"kept.zip", "zip"},
        {"notes.txt", "caf\xC3\xA9 soft\r\nline two\r\n"},
        {"c_d_e.csv", "1,2"},
        {"invite.ics", "BEGIN:VCALENDAR"},
        {"NOTES_2.TXT", "second"},
    };
    EXPECT_EQ(files, expected);
}

TEST_F(MimeReading, PicturesTheHtmlDoesNotShowAreFiles) {
    // Beside the text: a photo sent inline with a file name and no
    // Content-ID, and a picture whose Content-ID the HTML never names, are
    // kept as files. The pictures of the HTML's multipart/related level
    // are its own: the one it shows (its Content-ID in another case) and
    // one it does not (the writer's file icons) are no files.
    const std::string gif(mime_test::kOnePixelGif.begin(), mime_test::kOnePixelGif.end());
    const std::string message =
        "Content-Type: multipart/mixed; boundary=m\r\n\r\n"
        "--m\r\nContent-Type: multipart/related; boundary=r\r\n\r\n"
        "--r\r\nContent-Type: text/html\r\n\r\n<p>Shown <img src=\"cid:Shown@x\"> here</p>\r\n"
        "--r\r\nContent-Type: image/gif\r\nContent-ID: <shown@X>\r\n\r\n" + gif + "\r\n"
        "--r\r\nContent-Type: image/gif\r\nContent-ID: <icon@x>\r\n\r\n" + gif + "i\r\n--r--\r\n"
        "--m\r\nContent-Type: image/gif\r\nContent-ID: <unnamed@x>\r\n\r\n" + gif + "x\r\n"
        "--m\r\nContent-Type: image/jpeg; name=\"photo.jpg\"\r\n"
        "Content-Disposition: inline; filename=\"photo.jpg\"\r\n\r\njpeg bytes\r\n--m--\r\n";
    Store(message);
    Connect();
    ASSERT_EQ(item_.connected, 1);
    EXPECT_EQ(engine_test::Count(Records(), talix::kSigGraphic), 1u);
    const std::map<std::string, std::string> files = NoteFiles(path_, id_);
    const std::map<std::string, std::string> expected = {{"file001", gif + "x"}, {"photo.jpg", "jpeg bytes"}};
    EXPECT_EQ(files, expected);
}

TEST_F(MimeReading, FileNamesKeepTheirTextInEveryFormMailProgramsWriteThem) {
    std::string message = "Content-Type: multipart/mixed; boundary=m\r\n\r\n"
                          "--m\r\nContent-Type: text/html\r\n\r\n<p>Files</p>\r\n";
    std::map<std::string, std::string> expected;
    auto add = [&](const std::string& headers, const std::string& stored, const std::string& content) {
        message += "--m\r\n" + headers + "\r\n\r\n" + content + "\r\n";
        expected[plat::NativeToLmbcs(stored)] = content;
    };
    // Quotes and backslashes escaped in a quoted name, as the MIME writer
    // writes them; a backslash before any other character stands for itself.
    add("Content-Type: application/octet-stream\r\nContent-Disposition: attachment; "
        "filename=\"say \\\"hi\\\"; now.txt\"",
        "say \"hi\"; now.txt", "one");
    add("Content-Type: application/octet-stream\r\nContent-Disposition: attachment; "
        "filename=\"C:\\temp\\report.doc\"",
        "report.doc", "two");
    // A name with its character set, in UTF-8 and in ISO-8859-1.
    add("Content-Type: application/octet-stream\r\nContent-Disposition: attachment; "
        "filename*=UTF-8''na%C3%AFve%20%E2%82%AC.txt",
        "na\xC3\xAFve \xE2\x82\xAC.txt", "three");
    add("Content-Type: application/octet-stream\r\nContent-Disposition: attachment;\r\n "
        "filename*=iso-8859-1'de'Gr%F6%DFe.csv",
        "Gr\xC3\xB6\xC3\x9F" "e.csv", "four");
    // A name continued over numbered parameters, escaped and plain pieces
    // mixed, the pieces given out of order.
    add("Content-Type: application/octet-stream\r\nContent-Disposition: attachment;\r\n"
        " filename*1=\" and more\";\r\n filename*0*=UTF-8''long%C3%A9;\r\n filename*2*=%20end.pdf",
        "long\xC3\xA9 and more end.pdf", "five");
    // Encoded words, Base64 and Q, a character split over two words; the
    // name only in the Content-Type ("filename" does not hold "name").
    add("Content-Type: application/octet-stream; name=\"=?UTF-8?B?w6nD?= =?UTF-8?B?qS50eHQ=?=\"\r\n"
        "Content-Disposition: attachment",
        "\xC3\xA9\xC3\xA9.txt", "six");
    add("Content-Type: application/octet-stream; xname=wrong; name==?iso-8859-1?Q?caf=E9_bar.txt?=",
        "caf\xC3\xA9 bar.txt", "seven");
    // A name longer than any stored one keeps its start and its extension.
    add("Content-Type: application/octet-stream\r\nContent-Disposition: attachment; filename=\"" +
            std::string(400, 'n') + ".xlsx\"",
        std::string(238, 'n') + ".xlsx", "eight");
    Store(message + "--m--\r\n");
    Connect();
    ASSERT_EQ(item_.connected, 1);
    EXPECT_EQ(NoteFiles(path_, id_), expected);
}

TEST_F(MimeReading, ManyFilesOfTheSameNamesAreNumberedInTheirOrder) {
    // Three hundred files: every third "same.txt" in either case, the
    // others of names of their own, among them one of the name a numbered
    // file would take later ("same_5.txt") and one of the name a numbered
    // file took before ("Same_3.TXT").
    std::string message = "Content-Type: multipart/mixed; boundary=m\r\n\r\n"
                          "--m\r\nContent-Type: text/html\r\n\r\n<p>Files</p>\r\n";
    std::map<std::string, std::string> expected;
    int same = 0;
    auto add = [&](const std::string& given, const std::string& stored, const std::string& content) {
        message += "--m\r\nContent-Type: application/octet-stream\r\nContent-Disposition: attachment; "
                   "filename=\"" + given + "\"\r\n\r\n" + content + "\r\n";
        expected[stored] = content;
    };
    for (int n = 0; n < 300; ++n) {
        const std::string content = "file " + std::to_string(n);
        if (n == 4) add("same_5.txt", "same_5.txt", content);
        else if (n == 200) add("Same_3.TXT", "Same_3_2.TXT", content);
        else if (n % 3 == 0) {
            const int number = ++same;
            const std::string base = n % 2 == 0 ? "same" : "SAME";
            // From the fifth on, "same_5.txt" being given, the numbers are one higher.
            const int suffix = number < 5 ? number : number + 1;
            add(base + ".txt", number == 1 ? base + ".txt" : base + "_" + std::to_string(suffix) + ".txt", content);
        } else {
            add("name" + std::to_string(n) + ".bin", "name" + std::to_string(n) + ".bin", content);
        }
    }
    Store(message + "--m--\r\n");
    Connect();
    ASSERT_EQ(item_.connected, 1);
    EXPECT_EQ(NoteFiles(path_, id_), expected);
}

TEST_F(MimeReading, BodiesKeptInAttachmentsGoWithTheConvertedItems) {
    // The HTML body, the plain version and a PDF, each too long for its
    // item: the stored message keeps them in attachments of the note.
    std::string html = "<p>";
    for (int n = 0; n < 9000; ++n) html += "word" + std::to_string(n) + " ";
    html += "</p>";
    const std::string plain(70000, 'p');
    const std::string pdf(70000, 'x');
    Store("Content-Type: multipart/mixed; boundary=m\r\n\r\n"
          "--m\r\nContent-Type: multipart/alternative; boundary=a\r\n\r\n"
          "--a\r\nContent-Type: text/plain\r\n\r\n" + plain + "\r\n"
          "--a\r\nContent-Type: text/html\r\n\r\n" + html + "\r\n--a--\r\n"
          "--m\r\nContent-Type: application/pdf\r\nContent-Disposition: attachment; filename=big.pdf\r\n\r\n" +
          pdf + "\r\n--m--\r\n");
    EXPECT_EQ(NoteFiles(path_, id_).size(), 3u);
    Connect();
    ASSERT_EQ(item_.connected, 1);
    EXPECT_EQ(Text().substr(0, 12), "word0 word1 ");
    // Only the message's file is left in the note.
    const std::map<std::string, std::string> expected = {{"big.pdf", pdf}};
    EXPECT_EQ(NoteFiles(path_, id_), expected);
}

TEST_F(MimeReading, AnAttachedHtmlFileIsNeverTheBody) {
    // A plain message with an HTML page attached: nothing to read into rich
    // text, so the message stays as it is, its plain text with it.
    Store("Content-Type: multipart/mixed; boundary=m\r\n\r\n"
          "--m\r\nContent-Type: text/plain\r\n\r\nThe plain body\r\n"
          "--m\r\nContent-Type: text/html; name=page.html\r\nContent-Disposition: attachment; filename=page.html\r\n"
          "\r\n<p>Attached page</p>\r\n--m--\r\n");
    g_messages.clear();
    Connect();
    EXPECT_EQ(item_.connected, 0);
    EXPECT_EQ(talix::MimeRefusalReason(note_, "Body", item_.lastStatus),
              "it has no text/html part but HTML files attached to it");
    plat::WORD type = 0;
    plat::ItemInfo(note_, "Body", 4, nullptr, &type, nullptr, nullptr);
    EXPECT_EQ(type, plat::TYPE_MIME_PART);
    EXPECT_TRUE(NoteFiles(path_, id_).empty());

    // An attached page before the body: the body is read, the page is a file.
    Store("Content-Type: multipart/mixed; boundary=m\r\n\r\n"
          "--m\r\nContent-Type: text/html\r\nContent-Disposition: ATTACHMENT; filename=\"page.html\"\r\n"
          "\r\n<p>Attached page</p>\r\n"
          "--m\r\nContent-Type: text/html; charset=utf-8\r\nContent-Disposition: inline\r\n\r\n<p>The body</p>\r\n--m--\r\n");
    Connect();
    ASSERT_EQ(item_.connected, 1);
    EXPECT_EQ(Text(), "The body");
    const std::map<std::string, std::string> expected = {{"page.html", "<p>Attached page</p>"}};
    EXPECT_EQ(NoteFiles(path_, id_), expected);
}

TEST_F(MimeReading, TextsBesideTheBodyAreKeptAsFiles) {
    // The plain version of the body (in the alternative level, and in one
    // nested deeper) is the body again; a footer beside the body in the
    // mixed level and a second HTML part are texts of their own, kept as
    // files of the note.
    Store("Content-Type: multipart/mixed; boundary=\"=_m 1_=\"\r\n\r\n"
          "--=_m 1_=\r\nContent-Type: multipart/alternative;\r\n\tboundary=\"=_a 1_=\"\r\n\r\n"
          "--=_a 1_=\r\nContent-Type: text/plain\r\n\r\nThe plain version\r\n"
          "--=_a 1_=\r\nContent-Type: multipart/related; boundary=r\r\n\r\n"
          "--r\r\nContent-Type: text/html\r\n\r\n<p>The body</p>\r\n"
          "--r\r\nContent-Type: text/plain\r\n\r\nRelated text\r\n--r--\r\n"
          "--=_a 1_=--\r\n"
          "--=_m 1_=\r\nContent-Type: text/html; charset=utf-8\r\n\r\n<p>More</p>\r\n"
          "--=_m 1_=\r\nContent-Type: text/plain\r\n\r\nA list's footer\r\n"
          "--=_m 1_=--\r\n");
    Connect();
    ASSERT_EQ(item_.connected, 1);
    EXPECT_EQ(Text(), "The body");
    const std::map<std::string, std::string> expected = {
        {"file001", "Related text"}, {"file002", "<p>More</p>"}, {"file003", "A list's footer"}};
    EXPECT_EQ(NoteFiles(path_, id_), expected);
}

TEST_F(MimeReading, AFileThatCannotBeStoredKeepsTheMessageAsItWas) {
    // The PDF's body is too long for its item: it is kept in an attachment,
    // which goes missing before the conversion.
    const std::string pdf = "Content-Type: application/pdf\r\nContent-Disposition: attachment; filename=big.pdf\r\n\r\n" +
                            std::string(70000, 'x') + "\r\n";
    Store("Content-Type: multipart/mixed; boundary=m\r\n\r\n--m\r\nContent-Type: text/html\r\n\r\n<p>Hi</p>\r\n"
          "--m\r\nContent-Type: text/plain\r\nContent-Disposition: attachment; filename=first.txt\r\n\r\none\r\n"
          "--m\r\n" + pdf + "--m--\r\n");
    {
        ASSERT_EQ(plat::DbOpen(path_.c_str(), &db_), 0);
        ASSERT_EQ(plat::NoteOpen(db_, id_, 0, &note_), 0);
        plat::BLOCKID body;
        ASSERT_EQ(talix::FindAttachmentItem(note_, "mimebody1.dat", &body, 0), 0);
        ASSERT_EQ(plat::NoteDetachFile(note_, body), 0);
        ASSERT_EQ(plat::NoteUpdate(note_, plat::UPDATE_FORCE), 0);
    }
    g_messages.clear();
    Connect();
    EXPECT_EQ(item_.connected, 0);
    EXPECT_TRUE(Shown("Talix: Unable to convert from named MIME field"));
    EXPECT_EQ(talix::MimeRefusalReason(note_, "Body", item_.lastStatus),
              "part 4 of the message (\"big.pdf\") is a file that was not attached: its content, kept in the "
              "attachment \"mimebody1.dat\", cannot be read");
    // Nothing changed: the items are MIME, and first.txt was taken back.
    plat::WORD type = 0;
    plat::ItemInfo(note_, "Body", 4, nullptr, &type, nullptr, nullptr);
    EXPECT_EQ(type, plat::TYPE_MIME_PART);
    plat::BLOCKID none;
    EXPECT_EQ(talix::FindAttachmentItem(note_, "first.txt", &none, 0), talix::kItemNotFound);
}

} // namespace

namespace {

TEST_F(MimeReading, PiecesOfAnEarlierRunSurviveAConversion) {
    Store(Html("", "<p>converted</p>"));
    ZervaRTItem rich(&session_);
    ASSERT_EQ(rich.Connect("", path_.c_str(), id_, "Rich", 1), 0);
    ASSERT_EQ(rich.connected, 1);
    std::vector<char> buffer(1 << 20);
    std::uint32_t size = static_cast<std::uint32_t>(buffer.size());
    rich.GenerateMIMEForRTItem(0, nullptr, nullptr, nullptr, "", 0, "", 0, buffer.data(), &size, nullptr, nullptr);
    ASSERT_EQ(rich.lastStatus, 0);
    size = static_cast<std::uint32_t>(buffer.size());
    rich.GenerateMIMEForRTItem(1, nullptr, nullptr, nullptr, "", 0, "", 0, buffer.data(), &size, nullptr, nullptr);
    const std::string before(buffer.data(), size);
    ASSERT_NE(before.find("X-MimeOLE:"), std::string::npos) << before;

    Connect();
    ASSERT_EQ(item_.connected, 1);
    EXPECT_EQ(Text(), "converted");
    size = static_cast<std::uint32_t>(buffer.size());
    rich.GenerateMIMEForRTItem(1, nullptr, nullptr, nullptr, "", 0, "", 0, buffer.data(), &size, nullptr, nullptr);
    EXPECT_EQ(std::string(buffer.data(), size), before);
}

// An item connected by the note's id reads a stored message into rich text,
// as the connections to a caller's note do, and what is appended follows
// the message's words; one that cannot be read stays unconnected.
TEST_F(MimeReading, ConnectingByNoteIdKeepsTheMessage) {
    Store(Html("", "<p>Kept words</p>"));
    {
        ZervaRTItem item(&session_);
        ASSERT_EQ(item.Connect("", path_.c_str(), id_, "Body", 0), 0);
        ZervaRTChunk* chunk = item.DefineChunk("Everything");
        ASSERT_NE(chunk, nullptr);
        EXPECT_EQ(chunk->AppendText(" and more", 0, nullptr), 0);
        ASSERT_EQ(item.Save(), 0);
    }
    EXPECT_EQ(Text(), "Kept words and more");
    Store(Html("", "<p>Created</p>"));
    ZervaRTItem created(&session_);
    ASSERT_EQ(created.Create("", path_.c_str(), id_, "Body", 0), 0);
    ASSERT_EQ(created.Save(), 0);
    EXPECT_EQ(Text(), "Created");

    Store("Content-Type: text/plain\r\n\r\nplain words");
    ZervaRTItem plain(&session_);
    EXPECT_EQ(plain.Connect("", path_.c_str(), id_, "Body", 1), 0);
    EXPECT_EQ(plain.DefineChunk("Everything"), nullptr);
    EXPECT_TRUE(Shown("Cannot connect to item of type 25.  Not rich text!"));
    EXPECT_EQ(BodyType(), plat::TYPE_MIME_PART);
}

// A conversion that names no MIME items is refused: the item's own items,
// here the message itself, are not given up for an empty body.
TEST_F(MimeReading, AConversionWithoutANameKeepsTheItem) {
    Store(Html("", "<p>Kept</p>"));
    for (const char* name : {static_cast<const char*>(nullptr), ""}) {
        ZervaRTItem item(&session_);
        ASSERT_EQ(item.CopyItem("", path_.c_str(), id_, "Body", 0), 0);
        EXPECT_EQ(item.ConvertFromMIMEBackend(item.noteHandle, name, ""), talix::kArgumentError);
        ASSERT_EQ(item.Save(), 0);
        EXPECT_EQ(BodyType(), plat::TYPE_MIME_PART);
    }
}

} // namespace
