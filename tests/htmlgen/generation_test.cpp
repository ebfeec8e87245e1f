// The generation methods of a chunk: the document frame of each format,
// fragments and plain text, the text event, a full buffer, MIME part files
// and the failures a caller sees.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/attachments.h"
#include "core/chunk_work_state.h"
#include "core/pool.h"
#include "generation_fixture.h"
#include "platform/testing.h"
#include "support/markup_validators.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace {

using htmlgen_test::GenerationTest;
using htmlgen_test::Has;
using htmlgen_test::Records;
using htmlgen_test::TextBytes;

constexpr const char* kHtmlDoctype = "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">";
constexpr const char* kXhtmlDoctype =
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
    "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">";

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }
bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// What the text event received, in order.
std::string g_events;
int g_eventCount = 0;
std::uint16_t CollectEvent(ZervaRTChunk*, char* text, std::uint16_t length) {
    g_events.append(text, length);
    ++g_eventCount;
    return 0;
}

std::string g_messages;
void CollectMessage(const char* text, plat::WORD) { g_messages += std::string(text) + "\n"; }

class Generation : public GenerationTest {
protected:
    void SetUp() override {
        g_events.clear();
        g_eventCount = 0;
        g_messages.clear();
        plat::RegisterMessageProc(CollectMessage);
    }
    void TearDown() override { plat::RegisterMessageProc(nullptr); }
};

TEST_F(Generation, EachFormatWritesItsDocumentFrame) {
    ZervaRTChunk* chunk = Define(engine_test::Runs({"Hello"}));

    const std::string html = Generate(chunk, "HTML", "Title=A<B");
    EXPECT_TRUE(StartsWith(html, std::string(kHtmlDoctype) + "<html lang=\"en\"><!-- ")) << html;
    EXPECT_TRUE(Has(html, "<title>A&lt;B</title>")) << html;
    EXPECT_TRUE(Has(html, "<meta http-equiv=\"Content-Style-Type\" content=\"text/css\" />")) << html;
    EXPECT_FALSE(Has(html, "ABSTRACT")) << html;
    EXPECT_TRUE(EndsWith(html, "</style></head><body text='#000000' bgcolor='#ffffff'><div class=\"pabid1\">Hello</div>"
                               "</body></html>"))
        << html;
    std::string report;
    EXPECT_EQ(talix_test::TidyErrors(html, &report), 0) << report;
    EXPECT_EQ(chunk->lastStatus, 0);

    for (const char* format : {"xhtml", "XHTML 1.0 Strict"}) {
        const std::string xhtml = Generate(chunk, format, "BaseHREF=http://example.com/ LanguageAbbrev=de");
        EXPECT_TRUE(StartsWith(xhtml, std::string(kXhtmlDoctype) +
                                          "<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"de\">"))
            << xhtml;
        EXPECT_TRUE(Has(xhtml, "<base href=\"http://example.com/\" />")) << xhtml;
        EXPECT_TRUE(talix_test::XhtmlValid(xhtml, &report)) << report << xhtml;
    }
    // Anything else, and no format at all, is HTML 4.01.
    EXPECT_TRUE(StartsWith(Generate(chunk, "foo", nullptr), kHtmlDoctype));
    EXPECT_TRUE(StartsWith(Generate(chunk, nullptr, nullptr), kHtmlDoctype));

    // A chunk that matches nothing still gets its body; the abstract names
    // the chunk, encoded like any attribute value.
    ZervaRTChunk* table = Define(engine_test::Runs({"no table here"}), "Table 1");
    const std::string empty = Generate(table, "XHTML", nullptr);
    EXPECT_TRUE(Has(empty, "<meta name=\"ABSTRACT\" content=\"Table 1\" /></head>"
                           "<body text='#000000' bgcolor='#ffffff'></body></html>"))
        << empty;
    EXPECT_TRUE(talix_test::XhtmlValid(empty, &report)) << report;
    const std::string narrowed = Generate(chunk, "HTML", nullptr, "Bogus \"x\"");
    EXPECT_TRUE(Has(narrowed, "<meta name=\"ABSTRACT\" content=\"Bogus &quot;x&quot;\">")) << narrowed;
    EXPECT_EQ(chunk->lastStatus, 1028);   // the extra definition does not parse
    EXPECT_EQ(talix_test::TidyErrors(narrowed, &report), 0) << report;

    // Prologue and epilogue keywords stand in for what they replace.
    EXPECT_EQ(Generate(chunk, "HTML",
                       "Doctype=~<!DOCTYPE html>~ OpeningTag=<html> HeadTag=<head><title>t</title></head> "
                       "ClosingBody=</body> ClosingTag=</html> Preface=P Postscript=Q"),
              "P<!DOCTYPE html><html><head><title>t</title><style type=\"text/css\">"
              "div.pabid1 {margin-left: -1.00in; } </style></head><body text='#000000' bgcolor='#ffffff'>"
              "<div class=\"pabid1\">no table here</div></body></html>Q");
    // A head given without its start tag is not closed by the walk.
    EXPECT_EQ(Generate(chunk, "HTML", "Generation=Full HeadTag=<title>t</title> OpeningTag=<html> Doctype=D"),
              "D<html><title>t</title><style type=\"text/css\">div.pabid1 {margin-left: -1.00in; } </style>"
              "<body text='#000000' bgcolor='#ffffff'><div class=\"pabid1\">no table here</div></body></html>");
}

TEST_F(Generation, FragmentsAndPlainText) {
    const std::string text = std::string("ab") + '\0' + "c";
    ZervaRTChunk* chunk = Define({engine_test::Runs({})[0], engine_test::Runs({})[1], TextBytes(text)});
    EXPECT_EQ(Generate(chunk, "HTML", "Generation=Fragment"), "<div style=\"margin-left: -1.00in;\">ab<br>c</div>");
    EXPECT_EQ(Generate(chunk, "XHTML", "Generation=Fragment Doctype=X Preface=P"),
              "PX<div style=\"margin-left: -1.00in;\">ab<br />c</div>");
    EXPECT_EQ(Generate(chunk, "Plain Text", "Preface=P Postscript=Q"), "Pab\r\ncQ");
    // A head the options give to a fragment keeps its end, before the style
    // sheet's element or after it.
    EXPECT_EQ(Generate(chunk, "HTML", "Generation=Fragment HeadTag=~<head><title>t</title></head>~ OpeningBody=<body>"),
              "<head><title>t</title></head><body><div style=\"margin-left: -1.00in;\">ab<br>c</div>");
    EXPECT_EQ(Generate(chunk, "HTML", "Generation=Fragment MoveStylesInline=No OpeningTag=~<html><head></head>~"),
              "<html><head><style type=\"text/css\">div.pabid1 {margin-left: -1.00in; } </style></head>"
              "<div class=\"pabid1\">ab<br>c</div>");
    // So does one ending a text that is no head of the walk's.
    EXPECT_EQ(Generate(chunk, "HTML", "OpeningTag=~<html><head><title>t</title></head>~ HeadTag= Doctype="),
              "<html><head><title>t</title><style type=\"text/css\">div.pabid1 {margin-left: -1.00in; } </style>"
              "</head><body text='#000000' bgcolor='#ffffff'><div class=\"pabid1\">ab<br>c</div></body></html>");
    EXPECT_EQ(Generate(chunk, "passthrough", nullptr), "ab\r\nc");
    // Texts of the options holding characters whose bytes hold a blank
    // come out whole, and the text after them too.
    const std::string euro = plat::NativeToLmbcs("\u20AC");
    const std::string dash = plat::NativeToLmbcs("\u2013");
    EXPECT_EQ(Generate(chunk, "Plain Text", ("Preface=" + euro + dash + " Postscript=" + euro).c_str()),
              euro + dash + "ab\r\nc" + euro);
    EXPECT_EQ(Generate(chunk, "HTML", ("Generation=Fragment Preface=" + euro + " Title=x").c_str()),
              euro + "<div style=\"margin-left: -1.00in;\">ab<br>c</div>");

    // Paragraph ends with NewlineOnParagraph; a byte 255 is a blank.
    ZervaRTChunk* paragraphs =
        Define({engine_test::Runs({})[0], engine_test::Runs({})[1], TextBytes("one\xFFtwo"), engine_test::Paragraph(),
                TextBytes("three")});
    EXPECT_EQ(Generate(paragraphs, "Plain Text", nullptr), "one twothree");
    EXPECT_EQ(Generate(paragraphs, "Plain Text", "NewlineOnParagraph=Yes"), "one two\r\nthree");

    // An extra definition narrows the chunk; each of its ranges is written
    // and the run is finished once.
    ZervaRTChunk* tables = Define(engine_test::TablesItem());
    EXPECT_EQ(Generate(tables, "Plain Text", nullptr, "Table 2"), "t2at2bt2ct2d");
    EXPECT_EQ(Generate(tables, "Plain Text", nullptr, "Table 1; Row 2; Column 2"), "r2c2n11n12n21n22");
    EXPECT_EQ(tables->lastStatus, 0);
    const std::string narrowed = Generate(tables, "HTML", nullptr, "Table 2");
    EXPECT_TRUE(Has(narrowed, "<meta name=\"ABSTRACT\" content=\"Table 2\"><style type=\"text/css\">"
                              "div.pabid1 {margin-left: -1.00in; } </style></head><body text='#000000' "
                              "bgcolor='#ffffff'><br><table border='0'><tr valign='top'>"))
        << narrowed;
    EXPECT_TRUE(EndsWith(narrowed, "<div align='left' class=\"pabid1\">t2d</div></td></tr></table></body></html>"))
        << narrowed;

    // A MIME run without a file is a fragment unless Generation= says
    // otherwise.
    std::vector<char> buffer(20000);
    std::uint32_t capacity = 20000;
    char name[128] = "x";
    chunk->GenerateHTMLToMime(0, 1, "HTML", "Generation=Full", 0, buffer.data(), &capacity, 0, name, nullptr,
                              nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(StartsWith(std::string(buffer.data(), capacity), kHtmlDoctype)) << buffer.data();
    EXPECT_STREQ(name, "");
    capacity = 20000;
    chunk->GenerateHTMLToMime(0, 1, "HTML", nullptr, 0, buffer.data(), &capacity, 0, name, nullptr, nullptr, nullptr,
                              nullptr, nullptr, nullptr, nullptr);
    const std::string fragment(buffer.data(), capacity);
    EXPECT_TRUE(StartsWith(fragment, "<div style=\"margin-left: -1.00in;\">Intro")) << fragment;
    EXPECT_TRUE(Has(fragment, "t2d</div>\n</td></tr>\n</table>\n<div style=\"margin-left: -1.00in;\">End")) << fragment;
}

TEST_F(Generation, ALargeBodyStreamsThroughTheTextEventOrEndsWith263) {
    // 200,000 bytes of text in runs of 20,000.
    std::string expected;
    Records records = {engine_test::Runs({})[0], engine_test::Runs({})[1]};
    for (char c = 'a'; c < 'k'; ++c) {
        std::string run(20000, c);
        run[100] = '\0';
        records.push_back(TextBytes(run));
        run.replace(100, 1, "\r\n");
        expected += run;
    }
    ZervaRTChunk* chunk = Define(records);
    const std::string tail = Generate(chunk, "Plain Text", "Postscript=END", nullptr, CollectEvent);
    EXPECT_EQ(chunk->lastStatus, 0);
    EXPECT_GE(g_eventCount, 4);
    EXPECT_EQ(g_events + tail, expected + "END");

    // Without a procedure for the event the text stays in the buffer until
    // it is full: 263, and the text written so far is kept whole.
    g_events.clear();
    const std::string kept = Generate(chunk, "Plain Text", nullptr);
    EXPECT_EQ(chunk->lastStatus, 263);
    EXPECT_TRUE(g_events.empty());
    EXPECT_GT(kept.size(), 30000u);
    EXPECT_LE(kept.size(), 65405u);
    EXPECT_EQ(kept, expected.substr(0, kept.size()));

    // GenerateHTML keeps the procedures it is given and clears the text
    // procedure at its end; the stored link procedure stays.
    EXPECT_EQ(chunk->work->actOnText, nullptr);
}

TEST_F(Generation, AnImageDatabaseThatCannotBeOpenedStopsTheBody) {
    ZervaRTChunk* chunk = Define(engine_test::Runs({"x"}));
    const std::string html = Generate(chunk, "HTML", "ImageHandling=RESOURCE ImageFilePath=missing/none.nsf");
    EXPECT_EQ(chunk->errorWord, 20017);
    EXPECT_TRUE(EndsWith(html, "<body text='#000000' bgcolor='#ffffff'></body></html>")) << html;
    EXPECT_EQ(talix_test::TidyErrors(html), 0);
    EXPECT_EQ(plat::TestOpenDatabases(), 1u);   // the item's own

    // An empty path means the item's own database, which stays open.
    Generate(chunk, "HTML", "ImageHandling=resource ImageFilePath=");
    EXPECT_EQ(chunk->errorWord, 0);

    // A UniversalID that is not 32 hexadecimal digits is refused aloud.
    Generate(chunk, "HTML", "UseUNID=1234");
    EXPECT_NE(g_messages.find("UseUNID property pair specifies invalid UNID.  Ignored!"), std::string::npos);

    // A chunk whose work state holds no context generates nothing.
    chunk->GenerateXML(0, 0, nullptr, "HTML", nullptr, 0, nullptr, nullptr, 0, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(chunk->work->generation, nullptr);
}

class MimePartFiles : public Generation {
protected:
    void SetUp() override {
        Generation::SetUp();
        plat::IniSet("$TalixTempDirectory", (temp_.path().string() + "/").c_str());
        session_.SetUp();
    }
    void TearDown() override {
        plat::IniSet("$TalixTempDirectory", "");
        session_.SetUp();
        Generation::TearDown();
    }
    talix_test::TempDir temp_;
};

TEST_F(MimePartFiles, APartFileTakesWhatIsHandedOnAndIsAttached) {
    // Words of 10 characters: a text much larger than a MIME event chunk.
    std::string text;
    for (int i = 0; text.size() < 30000; ++i) text += "word" + std::to_string(100000 + i) + " ";
    ZervaRTChunk* chunk = Define({engine_test::Runs({})[0], engine_test::Runs({})[1], TextBytes(text)});

    // A file of the part's name in the temporary directory is someone
    // else's (here a link to a file of theirs): it is neither written
    // through nor removed, and the part is still attached under its name.
    const std::string partPath = temp_.file("MP3_0.htm");
    const std::string victim = temp_.file("victim.txt");
    std::ofstream(victim) << "keep";
    ASSERT_EQ(::symlink(victim.c_str(), partPath.c_str()), 0);

    std::vector<char> buffer(65406);
    std::uint32_t capacity = static_cast<std::uint32_t>(buffer.size());
    char name[128] = {};
    int icons[4] = {1, 0, 1, 0};
    int collapse = 1;
    chunk->GenerateHTMLToMime(0, 1, "Plain Text", nullptr, 0, buffer.data(), &capacity, 3, name, nullptr, nullptr,
                              nullptr, nullptr, icons, &collapse, nullptr);
    EXPECT_EQ(chunk->lastStatus, 0);
    EXPECT_STREQ(name, "MP3_0.htm");
    EXPECT_EQ(talix_test::ReadFile(victim), "keep");
    EXPECT_TRUE(std::filesystem::is_symlink(partPath));
    // The generation's own file is gone once attached: the link and its
    // target are all the directory holds.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp_.path()), std::filesystem::directory_iterator()), 2);
    EXPECT_EQ(icons[0], 1);
    EXPECT_EQ(collapse, 1);

    char* attached = nullptr;
    std::uint32_t size = 0;
    ASSERT_EQ(talix::ReadAttachmentToMemory(item_.noteHandle, "MP3_0.htm", &attached, &size), 0);
    // MIME output is cut into lines of 72 characters at most with CRLF.
    const std::string whole = std::string(attached, size) + std::string(buffer.data(), capacity);
    std::free(attached);
    std::string joined;
    std::size_t start = 0;
    for (std::size_t end = whole.find("\r\n"); end != std::string::npos; end = whole.find("\r\n", start)) {
        EXPECT_LE(end - start, 72u);
        joined += whole.substr(start, end - start);
        start = end + 2;
    }
    joined += whole.substr(start);
    EXPECT_EQ(joined, text);
    EXPECT_GT(size, 8000u);
}

} // namespace
