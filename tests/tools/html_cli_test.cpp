// talix html, run as a user runs it: the formats, streaming a large body,
// a file of its own, MIME part files, and the line ends of talix text.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "support/headless_browser.h"
#include "support/markup_validators.h"
#include "support/record_fixture.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace {

using talix_test::CliOutcome;
using talix_test::Has;

std::string WithoutCarriageReturns(std::string text) {
    std::string out;
    for (char c : text) {
        if (c != '\r') out += c;
    }
    return out;
}

// The text with its lines joined (a line ends only where white space or a
// break in the flow is).
std::string WithoutLineEnds(const std::string& text) {
    std::string out;
    for (char c : WithoutCarriageReturns(text)) {
        if (c != '\n') out += c;
    }
    return out;
}

class HtmlCommand : public talix_test::CliTest {
protected:
    // A note whose "Body" is a paragraph definition, a reference to it, text
    // runs of the given LMBCS texts and the records after them; returns its
    // note id as text.
    std::string Note(const std::vector<std::string>& texts,
                     const std::vector<talix_test::FixtureRecord>& after = {}) {
        plat::DBHANDLE db = 0;
        if (plat::DbOpen(db_.c_str(), &db) != plat::NOERROR) EXPECT_EQ(plat::DbCreate(db_.c_str(), &db), plat::NOERROR);
        plat::NOTEHANDLE note = 0;
        EXPECT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
        std::vector<talix_test::FixtureRecord> records = {talix_test::HostRecord(0xFF82, 72),
                                                          talix_test::HostRecord(0x0083, 4)};
        records[0].bytes[4] = 1;
        records[1].bytes[2] = 1;
        for (const std::string& text : texts) records.push_back(talix_test::TextRecord(0x0A000001, text));
        records.insert(records.end(), after.begin(), after.end());
        EXPECT_EQ(talix_test::StoreRichTextItem(note, "Body", records), plat::NOERROR);
        EXPECT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
        plat::NOTEID id = 0;
        plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id);
        plat::NoteClose(note);
        plat::DbClose(db);
        return std::to_string(id);
    }
};

TEST_F(HtmlCommand, RendersEachFormatWhole) {
    const std::string styled = Import(Sample("styledtext.xml"));
    CliOutcome html = Talix({"html", db_, styled, "Body", "--options", "Title='Caf\xC3\xA9 <1>'"});
    ASSERT_EQ(html.status, 0) << html.err;
    EXPECT_TRUE(Has(html.out, "<title>Caf&eacute; &lt;1&gt;</title>")) << html.out;
    // The body's text with its fonts.
    EXPECT_TRUE(Has(html.out, "<span style=\"font-family: monospace; \">This is monospace text")) << html.out;
    EXPECT_TRUE(Has(html.out, "<b><i>This is serif italic bold text</i></b>")) << html.out;
    std::string report;
    EXPECT_EQ(talix_test::TidyErrors(html.out, &report), 0) << report;
    CliOutcome xhtml = Talix({"html", db_, styled, "Body", "--format", "xhtml"});
    ASSERT_EQ(xhtml.status, 0) << xhtml.err;
    EXPECT_TRUE(talix_test::XhtmlValid(xhtml.out, &report)) << report;

    // Plain text is the text talix text prints, line ends as CR LF.
    const std::string text = Note({std::string("first") + '\0' + "second caf\x82", "!"});
    CliOutcome plain = Talix({"html", db_, text, "Body", "--format", "text"});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.out, "first\r\nsecond caf\xC3\xA9!");
    CliOutcome printed = Talix({"text", db_, text, "Body"});
    EXPECT_EQ(printed.out, "first\nsecond caf\xC3\xA9!\n");
    EXPECT_EQ(WithoutCarriageReturns(plain.out) + "\n", printed.out);

    // Paragraphs stand on lines of their own, as talix text prints them,
    // unless the options say otherwise.
    CliOutcome lines = Talix({"html", db_, styled, "Body", "--format", "text"});
    ASSERT_EQ(lines.status, 0) << lines.err;
    EXPECT_EQ(WithoutCarriageReturns(lines.out) + "\n", Talix({"text", db_, styled, "Body"}).out);
    CliOutcome joined = Talix({"html", db_, styled, "Body", "--format", "text", "--options", "newlineonparagraph=no"});
    EXPECT_EQ(joined.out.find('\n'), std::string::npos) << joined.out;
    EXPECT_TRUE(Has(joined.out, "normal text.This is monospace")) << joined.out;

    // A body far larger than the generation's buffer streams out whole, to
    // standard output or a file.
    std::vector<std::string> runs;
    std::string expected;
    for (char c = 'a'; c <= 'j'; ++c) {
        runs.emplace_back(20000, c);
        expected += runs.back();
    }
    const std::string large = Note(runs);
    CliOutcome streamed = Talix({"html", db_, large, "Body", "--format", "text"});
    ASSERT_EQ(streamed.status, 0) << streamed.err;
    EXPECT_EQ(streamed.out, expected);
    CliOutcome markup = Talix({"html", db_, large, "Body", "--format", "xhtml"});
    ASSERT_EQ(markup.status, 0) << markup.err;
    EXPECT_TRUE(Has(markup.out, "<div class=\"pabid1\">" + expected + "</div></body>"));
    const std::string file = dir_.file("out.txt");
    CliOutcome written = Talix({"html", db_, large, "Body", "--format", "text", "--out", file});
    ASSERT_EQ(written.status, 0) << written.err;
    EXPECT_EQ(written.out, "");
    EXPECT_EQ(talix_test::ReadFile(file), expected);

    // A single value whose markup alone passes the buffer (a URL of quotes,
    // each written as "&quot;") cannot be handed on in pieces: the run is
    // refused with the reason, and the file is not made.
    const std::string linked = Note({"x"});
    ASSERT_EQ(Talix({"append", db_, linked, "Body", "link", "http://h/" + std::string(9000, '"'), "a"}).status, 0);
    CliOutcome link = Talix({"html", db_, linked, "Body"});
    ASSERT_EQ(link.status, 0) << link.err;
    EXPECT_TRUE(Has(link.out, "\"http://h/&quot;&quot;")) << link.out.substr(0, 300);
    ASSERT_EQ(Talix({"append", db_, linked, "Body", "link", "http://h/" + std::string(32000, '"'), "b"}).status, 0);
    const std::string refusedFile = dir_.file("refused.html");
    CliOutcome refused = Talix({"html", db_, linked, "Body", "--out", refusedFile});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(Has(refused.err, "does not fit the generation's buffer")) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(refusedFile));
    EXPECT_TRUE(Has(Talix({"help", "html"}).out, "single value whose markup alone passes"));

    // The paragraphs' options reach the generation.
    const std::string two = Note({"one"});
    CliOutcome paragraphs = Talix({"html", db_, two, "Body", "--options", "UsePTags=Yes MoveStylesInline=Yes"});
    ASSERT_EQ(paragraphs.status, 0) << paragraphs.err;
    EXPECT_TRUE(Has(paragraphs.out, "<p style=\"margin-left: -1.00in; margin-bottom: 0.5em;\">one</p>"))
        << paragraphs.out;
    EXPECT_FALSE(Has(paragraphs.out, "<style")) << paragraphs.out;
}

// A picture of an item whose name holds "#" or "?" is addressed under that
// item: the marks are escaped in its src, where a browser would take them
// for the start of a fragment or query and ask the server for another item.
TEST_F(HtmlCommand, PicturesOfItemsNamedWithMarksOfAddressesNameTheirItem) {
    const std::string note = Import(Sample("styledtext.xml"));
    const std::string gif = Write("dot.gif", std::string("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00"
                                                         "!\xf9\x04\x01\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01"
                                                         "\x00\x00\x02\x02D\x01\x00;", 43));
    for (const char* item : {"Pic", "B#x?"}) {
        CliOutcome append = Talix({"append", db_, note, item, "graphic", "FILE", gif});
        ASSERT_EQ(append.status, 0) << append.err;
    }
    CliOutcome plain = Talix({"html", db_, note, "Pic"});
    EXPECT_TRUE(Has(plain.out, "/Pic/0.")) << plain.out;
    CliOutcome marked = Talix({"html", db_, note, "B#x?"});
    ASSERT_EQ(marked.status, 0) << marked.err;
    EXPECT_TRUE(Has(marked.out, "/B%23x%3F/0.")) << marked.out;
    CliOutcome relative = Talix({"html", db_, note, "B#x?", "--options", "ImageRelativeToPage=Yes"});
    EXPECT_TRUE(Has(relative.out, "/B%23x%3F/0.")) << relative.out;
}

TEST_F(HtmlCommand, TheLibraryLogReachesStandardErrorOnlyWithVerbose) {
    // With a debug level the walk logs its steps: in the platform's log, on
    // standard error only when asked.
    const std::string id = Note({"text"});
    environment_ = "NOTES_INI=" + Write("notes.ini", "ZelundaDebug=3\n");
    CliOutcome quiet = Talix({"html", db_, id, "Body"});
    ASSERT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.err, "");
    CliOutcome verbose = Talix({"--verbose", "html", db_, id, "Body"});
    ASSERT_EQ(verbose.status, 0) << verbose.err;
    EXPECT_TRUE(Has(verbose.err, "PrXMLStr - IN")) << verbose.err;
    EXPECT_EQ(talix_test::WithoutRunDates(verbose.out), talix_test::WithoutRunDates(quiet.out));
}

TEST_F(HtmlCommand, FormulasCompiledElsewhereLeaveTheDocumentWhole) {
    // A pop-up whose formula the platform cannot read, between two texts.
    const std::string id = Note({"before "});
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    ASSERT_EQ(plat::DbOpen(db_.c_str(), &db), plat::NOERROR);
    ASSERT_EQ(plat::NoteOpen(db, static_cast<plat::NOTEID>(std::stoul(id)), 0, &note), plat::NOERROR);
    talix_test::FixtureRecord popup = talix_test::HostRecord(0xFFA9, 16 + 24);
    talix_test::PutWord(&popup, 4, 1);
    talix_test::PutDword(&popup, 8, 0x10);
    talix_test::PutWord(&popup, 12, 24);
    for (std::size_t at = 16; at < popup.bytes.size(); ++at) popup.bytes[at] = 0xEE;
    ASSERT_EQ(talix_test::StoreRichTextItem(note, "Body",
                                            {talix_test::TextRecord(0x0A000001, "before "), popup,
                                             talix_test::TextRecord(0x0A000001, "tip"),
                                             talix_test::HostRecord(0x00AA, 2),
                                             talix_test::TextRecord(0x0A000001, " after the end")}),
              plat::NOERROR);
    ASSERT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
    plat::NoteClose(note);
    plat::DbClose(db);

    for (const char* format : {"html", "xhtml"}) {
        CliOutcome html = Talix({"html", db_, id, "Body", "--format", format});
        ASSERT_EQ(html.status, 0) << html.err;
        EXPECT_TRUE(Has(html.out, ">tip</a> after the end</div></body></html>")) << html.out;
    }
    CliOutcome exported = Talix({"export-html", db_, id, "Body"});
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_TRUE(Has(exported.out, " after the end")) << exported.out;
    CliOutcome mime = Talix({"mime", db_, id, "Body"});
    ASSERT_EQ(mime.status, 0) << mime.err;
    EXPECT_TRUE(Has(mime.out, " after the end")) << mime.out;
    // Asked for the log, the program shows the one line that says so.
    CliOutcome verbose = Talix({"--verbose", "html", db_, id, "Body"});
    ASSERT_EQ(verbose.status, 0) << verbose.err;
    EXPECT_TRUE(Has(verbose.err, "1 stored formula(s) compiled by another system")) << verbose.err;
}

TEST_F(HtmlCommand, MimePartFilesAreAttachedAndNamed) {
    setenv("TEMP", dir_.path().c_str(), 1);
    std::string words;
    while (words.size() < 20000) words += "lorem ipsum ";
    const std::string id = Note({words});
    CliOutcome mime = Talix({"html", db_, id, "Body", "--format", "text", "--mime", "7"});
    unsetenv("TEMP");
    ASSERT_EQ(mime.status, 0) << mime.err;
    EXPECT_EQ(mime.lines().at(0), "MP7_0.htm");
    CliOutcome items = Talix({"items", db_, id});
    EXPECT_TRUE(Has(items.out, "$FILE")) << items.out;
    EXPECT_FALSE(std::filesystem::exists(dir_.file("MP7_0.htm")));

    // A small body needs no part file.
    CliOutcome small = Talix({"html", db_, Note({"tiny"}), "Body", "--mime", "7"});
    ASSERT_EQ(small.status, 0) << small.err;
    EXPECT_EQ(small.lines().at(0), "");
}

// AddNewlines=Yes separates lines by zero bytes in the generation's buffer
// only: what the program writes ends its lines in line feeds (CR LF with
// AddNewlines=CRLF), whether it came as the generation's events or stayed
// in its buffer; a file the library writes does too, in UTF-8.
TEST_F(HtmlCommand, AddNewlinesEndsLinesWithLineFeeds) {
    std::string words;
    while (words.size() < 30000) words += "\xD0\x9B\xD0\xB8\xD1\x81\xD1\x82 caf\xC3\xA9 ";
    const std::string passthrough = "<p>Configuraci\xC3\xB3n <i>\xD0\x9B\xD0\xB8\xD1\x81\xD1\x82</i></p>";
    const std::string id = Note({plat::NativeToLmbcs(words)},
                                {talix_test::HostRecord(0xFFCC, 8),
                                 talix_test::TextRecord(0x0A000001, plat::NativeToLmbcs(passthrough)),
                                 talix_test::HostRecord(0xFFCD, 8)});

    for (const char* mode : {"AddNewlines=Yes", "AddNewlines=CRLF"}) {
        SCOPED_TRACE(mode);
        for (const char* format : {"html", "xhtml"}) {
            CliOutcome page = Talix({"html", db_, id, "Body", "--format", format, "--options", mode});
            ASSERT_EQ(page.status, 0) << page.err;
            EXPECT_EQ(page.out.find('\0'), std::string::npos);
            EXPECT_GT(page.lines().size(), 300u);
            std::string report;
            if (std::string(format) == "xhtml") {
                EXPECT_TRUE(talix_test::XmlWellFormed(page.out, &report)) << report;
            } else {
                EXPECT_TRUE(Has(WithoutLineEnds(page.out), passthrough)) << page.out.substr(page.out.size() - 300);
            }
        }
        CliOutcome exported = Talix({"export-html", db_, id, "Body", "--options", mode});
        ASSERT_EQ(exported.status, 0) << exported.err;
        EXPECT_EQ(exported.out.find('\0'), std::string::npos);
        EXPECT_TRUE(Has(WithoutLineEnds(exported.out), passthrough)) << exported.out.substr(exported.out.size() - 300);
        EXPECT_TRUE(Has(exported.out, "&#1051;&#1080;&#1089;&#1090;\n caf&eacute;") ||
                    Has(exported.out, "&#1051;&#1080;&#1089;&#1090;\r\n caf&eacute;"));
    }
    // Without wrapping, a file the library writes is in UTF-8 too.
    CliOutcome unwrapped = Talix({"export-html", db_, id, "Body"});
    ASSERT_EQ(unwrapped.status, 0) << unwrapped.err;
    EXPECT_TRUE(Has(unwrapped.out, passthrough));
}

// Face names from the data written into CSS: whatever they hold (";", "}",
// quotes, "<", a url()), a browser reads one font-family declaration of
// that name, and nothing else.
TEST_F(HtmlCommand, FaceNamesStayOneDeclaration) {
    const std::string id = Import(Sample("2194.xml"));
    const std::string html =
        "<p><font face=\"x;background:url(//a)\">one</font> <span style='font-family: \"q;r}s<t\\\"u\"'>two</span>"
        " <span style=\"font-family: Times New Roman, serif\">three</span></p>";
    ASSERT_EQ(Talix({"append", db_, id, "Faces", "html", "INLINE", html}).status, 0);
    for (const char* format : {"html", "xhtml"}) {
        const CliOutcome page = Talix({"html", db_, id, "Faces", "--format", format});
        ASSERT_EQ(page.status, 0) << page.err;
        EXPECT_EQ(page.out.find("background:url(//a); "), std::string::npos) << page.out;
        // An ordinary name stays as it was written (the import keeps a list's first family).
        EXPECT_NE(page.out.find("font-family: Times New Roman; "), std::string::npos) << page.out;
        // Each span's properties besides its size, and its family, as a browser reads them.
        const std::string chromium = talix_test::ChromiumPath();
        if (chromium.empty()) {
            if (talix_test::BrowserRequired()) FAIL() << "no browser to read the page";
            GTEST_SKIP() << "no browser to read the page";
        }
        const std::string script =
            "<textarea id='read'></textarea><script>document.getElementById('read').textContent = "
            "[...document.querySelectorAll('span[style]')].map(e => [...e.style].filter(p => p != 'font-size')"
            ".join(',') + '=' + e.style.fontFamily).join('|');</script>";
        const std::string path = Write(std::string("faces-") + format + ".html", page.out + script);
        const std::string dom = talix_test::DumpDocuments(chromium, {path}, 1, 120).front();
        const std::string open = "<textarea id=\"read\">";
        const std::size_t start = dom.find(open);
        ASSERT_NE(start, std::string::npos) << dom;
        const std::size_t from = start + open.size();
        const std::string read = dom.substr(from, dom.find("</textarea>", from) - from);
        EXPECT_EQ(read, "font-family=\"x;background:url(//a)\"|font-family=\"q;r}s&lt;t\\\\\\\"u\"|"
                        "font-family=\"Times New Roman\"")
            << page.out;
    }
}

// A database whose file name holds marks of addresses ("#", "?", "%",
// quotes, "&", blanks): the links to its attachments and pictures on the
// server name it whole, so that a browser asks for its path and not a
// fragment or query of another.
TEST_F(HtmlCommand, AddressesIntoADatabaseOfAnAwkwardNameAskForItsPath) {
    db_ = dir_.file("R&D \"q\" #1? 50%41 O'x.nsf");
    const std::string id = Note({"x"});
    const std::string file = Write("a.txt", "bytes");
    ASSERT_EQ(Talix({"append", db_, id, "Body", "attachment", file, "a.txt"}).status, 0);
    CliOutcome page = Talix({"html", db_, id, "Body", "--options", "UseUNID=0123456789abcdef0123456789abcdef"});
    ASSERT_EQ(page.status, 0) << page.err;
    const std::string chromium = talix_test::ChromiumPath();
    if (chromium.empty()) {
        if (talix_test::BrowserRequired()) FAIL() << "no browser to read the page";
        GTEST_SKIP() << "no browser to read the page";
    }
    const std::string script =
        "<pre id='read'></pre><script>document.getElementById('read').textContent = "
        "[...document.querySelectorAll('a[href], img[src]')].map(e => e.attributes.length + ' ' + "
        "encodeURIComponent(decodeURIComponent(new URL(e.href || e.src).pathname))).join('|');</script>";
    const std::string path = Write("awkward.html", page.out + script);
    const std::string dom = talix_test::DumpDocuments(chromium, {path}, 1, 120).front();
    const std::string base = "%2FR%26D%20%22q%22%20%231%3F%2050%2541%20O'x.nsf%2F0%2F0123456789abcdef0123456789abcdef%2F";
    const std::string prefix = [&] {
        std::string encoded;
        for (const char c : dir_.file("")) {
            if (c == '/') encoded += "%2F";
            else encoded += c;
        }
        return encoded;
    }();
    // The picture is an element of the item, numbered by its key.
    const std::string folder = prefix.substr(0, prefix.size() - 3);
    EXPECT_EQ(talix_test::ReportedText(dom, "read").rfind(
                  "1 " + folder + base + "%24FILE%2Fa.txt|4 " + folder + base + "Body%2F0.", 0),
              0u)
        << talix_test::ReportedText(dom, "read") << page.out;
}

// A layer's background colour is written whether or not the layer also
// names a background picture, whose records stand around the colour; what
// follows the background is the layer's content as before.
TEST_F(HtmlCommand, ALayerKeepsItsBackgroundColourBesideAPicture) {
    const std::string id = Note({"x"});
    for (const std::string picture : {"", " BackgroundImage=sky.gif BackgroundRepeat=once"}) {
        SCOPED_TRACE(picture);
        const std::string options = "BackgroundColor=RGB1,2,3 Text=inside" + picture;
        ASSERT_EQ(Talix({"append", db_, id, "Body", "layer", "1", "2", "3", "4", "--options", options}).status, 0);
        const std::string page = Talix({"html", db_, id, "Body"}).out;
        const std::size_t layer = page.rfind("<div style=\"position: absolute; ");
        ASSERT_NE(layer, std::string::npos) << page;
        const std::string tag = page.substr(layer, page.find('>', layer) - layer);
        EXPECT_TRUE(Has(tag, "background-color: rgb(1,2,3); ")) << tag;
        EXPECT_TRUE(Has(page.substr(layer), "inside</")) << page;
        EXPECT_EQ(Talix({"edit", db_, id, "Body", "Layer 1", "remove"}).status, 0);
    }
}

TEST_F(HtmlCommand, RefusesBadUsage) {
    const std::string id = Note({"x"});
    EXPECT_EQ(Talix({"html", db_, id, "Body", "--format", "pdf"}).status, 2);
    for (const std::string bad : {"x", "+7", " 7", "-0", "7 ", "65536", ""})
        EXPECT_EQ(Talix({"html", db_, id, "Body", "--mime", bad}).status, 2) << bad;
    EXPECT_EQ(Talix({"html", db_, id, "Body", "--format"}).status, 2);
    EXPECT_EQ(Talix({"html", db_, id}).status, 2);
    EXPECT_EQ(Talix({"html", db_, id, "Body", "--bogus", "1"}).status, 2);
    EXPECT_EQ(Talix({"html", db_, id, "Missing"}).status, 1);
    CliOutcome unwritable = Talix({"html", db_, id, "Body", "--out", dir_.file("no/such/dir/x.html")});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_TRUE(Has(unwritable.err, "cannot write")) << unwritable.err;
    CliOutcome help = Talix({"html", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(Has(help.out, "--mime")) << help.out;
}

} // namespace
