// Hotspot ranges rendered by a generation: URL hotspots and link
// resources, pop-ups, JavaScript events, wiki links, links made of the
// records that follow, attachments, and what the link event may change.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "active_content_fixture.h"
#include "support/markup_validators.h"
#include "support/test_support.h"
#include "table_records.h"
#include "core/pool.h"
#include "talix_platform.h"

namespace htmlgen_test {
namespace {

struct LinkEvent {
    std::uint16_t kind = 0;
    std::string replica;
    int calls = 0;
    const char* answer = nullptr;
};
LinkEvent g_event;

std::uint16_t RecordLinkEvent(ZervaRTChunk* chunk, std::uint16_t kind, char* replica, std::uint16_t length, void*, void*,
                        void*, char*, std::uint16_t, char*, std::uint16_t, char*, std::uint16_t) {
    ++g_event.calls;
    g_event.kind = kind;
    g_event.replica.assign(replica != nullptr ? replica : "", length);
    if (g_event.answer != nullptr)
        chunk->SetEventRetString(1, g_event.answer, static_cast<std::uint16_t>(std::strlen(g_event.answer)));
    return 0;
}

class HotspotsTest : public ActiveContentTest {};

TEST_F(HotspotsTest, URLHotspotsAndLinkResourcesBecomeAnchors) {
    Records records = URLHotspot("http://x.example/a", "site", {Target("_blank")});
    const Records formula = {Bracket(0xDD, 0xFFAD),
                             HotspotBegin(0xFFAD, 11, 0x1010, CompiledFormula("\"http://a.example\" : \"b\"")),
                             TextBytes("two"), HotspotEnd(), Bracket(0xDE, 0x00AE), TextBytes(" after")};
    records.insert(records.end(), formula.begin(), formula.end());
    // The resource form with the companion record before it, and a URL
    // whose characters must not break the attribute.
    const Records resource = {Bracket(0xDD, 0xFFAD), HotspotBegin(0xFF7E, 32, 8, {}), URLResource("http://q?a=1&b=\"2\""),
                              HotspotBegin(0xFFAD, 11, 0x1000, TextData("ignored")), TextBytes("res"), HotspotEnd(),
                              Bracket(0xDE, 0x00AE)};
    records.insert(records.end(), resource.begin(), resource.end());
    ZervaRTChunk* chunk = Define(records);
    const std::string body = BodyOf(Generate(chunk, "HTML", nullptr));
    EXPECT_NE(body.find("<a href=\"http://x.example/a\" target=\"_blank\">site</a>"), std::string::npos) << body;
    EXPECT_NE(body.find("<a href=\"http://a.example;b\">two</a> after"), std::string::npos) << body;
    EXPECT_NE(body.find("<a href=\"http://q?a=1&amp;b=&quot;2&quot;\">res</a>"), std::string::npos) << body;
    EXPECT_EQ(chunk->lastStatus, 0);
    const std::string xhtml = Generate(chunk, "XHTML", nullptr);
    std::string report;
    EXPECT_TRUE(talix_test::XmlWellFormed(xhtml, &report)) << report << xhtml;

    // SuppressLinks leaves the text; URLEncodeFilenames writes backslashes
    // and blanks as URLs want them.
    EXPECT_EQ(Body(chunk, "SuppressLinks=Yes").find("<a "), std::string::npos);
    ZervaRTChunk* encoded = Define(URLHotspot("file:\\\\srv\\my doc.txt", "doc"));
    EXPECT_NE(Body(encoded, "URLEncodeFilenames=Yes").find("<a href=\"file://srv/my%20doc.txt\">doc</a>"),
              std::string::npos);
    // An empty URL writes no anchor.
    ZervaRTChunk* empty = Define(URLHotspot("", "plain"));
    EXPECT_EQ(Body(empty, nullptr), "plain");
}

TEST_F(HotspotsTest, TheLinkEventMayRewriteAURL) {
    ZervaRTChunk* chunk = Define(URLHotspot("http://x.example/a", "site"));
    g_event = LinkEvent();
    g_event.answer = "http://r.example";
    char* block = chunk->GenerateHTML(nullptr, "HTML", "RaiseLinkEvent=URL", 0, nullptr, RecordLinkEvent);
    ASSERT_NE(block, nullptr);
    const std::string body = BodyOf(block);
    talix::ZervaDeallocate(&session_, block);
    EXPECT_EQ(g_event.calls, 1);
    EXPECT_EQ(g_event.kind, 2);
    EXPECT_EQ(g_event.replica, "http://x.example/a");
    EXPECT_EQ(body, "<a href=\"http://r.example\">site</a>");

    // A procedure that answers nothing leaves the URL; so does an answer
    // left from an earlier link.
    g_event.answer = nullptr;
    block = chunk->GenerateHTML(nullptr, "HTML", "RaiseLinkEvent=All", 0, nullptr, RecordLinkEvent);
    EXPECT_EQ(BodyOf(block), "<a href=\"http://x.example/a\">site</a>");
    talix::ZervaDeallocate(&session_, block);
}

TEST_F(HotspotsTest, PopupsAndEvents) {
    Records records = {Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFA9, 1, 4, TextData("Tip")), TextBytes("word"),
                       HotspotEnd(), Bracket(0xDE, 0x00AE)};
    ZervaRTChunk* popup = Define(records);
    EXPECT_EQ(Body(popup, nullptr),
              "<a onclick=\"return false;\" title=\"Tip\" style=\"text-decoration: none; background: #ffffc2\">word</a>");
    EXPECT_EQ(Body(popup, "StandardFontTags=Yes"), "<a onclick=\"return false;\" title=\"Tip\" href=\"\">word</a>");

    // A formula's result shown in place, without an anchor.
    ZervaRTChunk* inPlace = Define({Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFA9, 1, 0x40010, CompiledFormula("\"a<b\"")),
                                    TextBytes("x"), HotspotEnd(), Bracket(0xDE, 0x00AE)});
    EXPECT_EQ(Body(inPlace, nullptr), "a&lt;bx");

    Records events = {Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFAD, 2, 0x200000, {})};
    for (const Records& event : {Event(1, "f()"), Event(5, "g();"), Event(25, "h(\"q\")")})
        events.insert(events.end(), event.begin(), event.end());
    events.push_back(TextBytes("go"));
    events.push_back(HotspotEnd());
    events.push_back(Bracket(0xDE, 0x00AE));
    events.push_back(TextBytes(" on"));
    ZervaRTChunk* chunk = Define(events);
    EXPECT_EQ(Body(chunk, nullptr),
              "<a href=\"\" OnClick=\"f(); h(&quot;q&quot;); return false;\" OnMouseOver=\"g();return false;\">go</a> on");
    const std::string xhtml = Generate(chunk, "XHTML", nullptr);
    EXPECT_NE(xhtml.find("<a href=\"\" onclick=\"f(); h(&quot;q&quot;); return false;\" onmouseover="), std::string::npos)
        << xhtml;
}

TEST_F(HotspotsTest, WikiLinksAndLinksOfFollowingRecords) {
    const std::uint32_t view[4] = {0x11, 0x22, 0x33, 0x44}, document[4] = {0x55, 0x66, 0x77, 0x88};
    Records records = {Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFAD, 2, 0x10, CompiledFormula("1")),
                       IdName({"", "WikiLink", "", "Big Topic", "", ""}), TextBytes("[[Big Topic]]"), HotspotEnd(),
                       Bracket(0xDE, 0x00AE)};
    // A URL hotspot whose link is a link record after it.
    const Records following = {HotspotBegin(0xFFAD, 11, 0x1, {}), ExportedLink(NoteLink(1, 2, view, document), "c", ""),
                               Target("main"), TextBytes("doc"), HotspotEnd(), TextBytes(" end")};
    records.insert(records.end(), following.begin(), following.end());
    ZervaRTChunk* chunk = Define(records);
    const std::string body = Body(chunk, "ResolveWiki=//srv/db.nsf/Resolve?OpenAgent&amp;Text=");
    EXPECT_NE(body.find("<a href=\"http://srv/db.nsf/Resolve?OpenAgent&amp;Text=Big+Topic\" class=\"WikiLink\" "
                        "target=\"_top\">[[Big Topic]]</a>"),
              std::string::npos)
        << body;
    // A prefix that begins with one slash (as the one built from the
    // database path does) makes a path on the serving host: "http:/db.nsf",
    // never "http://db.nsf", which would name the database as the host.
    EXPECT_NE(Body(chunk, "ResolveWiki=/db.nsf/Resolve?OpenAgent&amp;Text=")
                  .find("<a href=\"http:/db.nsf/Resolve?OpenAgent&amp;Text=Big+Topic\""),
              std::string::npos);
    EXPECT_NE(body.find("<a href=\"//__0000000200000001.NSF/000000220000001100000044000000"), std::string::npos) << body;
    EXPECT_NE(body.find("?OpenDocument\" target=\"main\">doc</a> end"), std::string::npos) << body;

    // The script form keeps the attribute whole.
    const std::string xhtml = Generate(chunk, "XHTML", "UseJavaScript=Yes ResolveWiki=/db.nsf/Form?OpenForm");
    std::string report;
    EXPECT_TRUE(talix_test::XmlWellFormed(xhtml, &report)) << report << xhtml;
    EXPECT_NE(xhtml.find("onclick=\"var newWin = window.open(&quot;/db.nsf/Form?OpenForm&quot;);"), std::string::npos)
        << xhtml;
}

// A wiki text is data inside the script string it is written into, and the
// form name of the built prefix (the note's, or Form=) data inside the
// address: neither ends its string or attribute.
TEST_F(HotspotsTest, AWikiTextAndAFormNameStayInsideTheirStringAndAttribute) {
    const std::string wiki = "x\"); alert(1); ('\\";
    ZervaRTChunk* chunk = Define({Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFAD, 2, 0x10, CompiledFormula("1")),
                                  IdName({"", "WikiLink", "", wiki, "", ""}), TextBytes("w"), HotspotEnd(),
                                  Bracket(0xDE, 0x00AE)});
    const std::string script = Body(chunk, "UseJavaScript=Yes ResolveWiki=/db.nsf/Form?OpenForm");
    EXPECT_NE(script.find("[0].value = &quot;x\\&quot;); alert(1); (\\'\\\\&quot;;; return false;\">w</a>"),
              std::string::npos)
        << script;
    // Built from a form name with what would end the attribute or the
    // string, or change the address.
    const char* form = "Form='a\"><b>c&d#e?f%g'";
    const std::string link = Body(chunk, form);
    EXPECT_NE(link.find("/ResolveWikiLink?OpenAgent&amp;Form=a%22%3E%3Cb%3Ec%26d%23e%3Ff%25g&amp;WikiText=x%22);+"
                        "alert(1);+(%27%5C\" class=\"WikiLink\" target=\"_top\">w</a>"),
              std::string::npos)
        << link;
    const std::string opened = Body(chunk, (std::string(form) + " UseJavaScript=Yes").c_str());
    EXPECT_NE(opened.find("/a%22%3E%3Cb%3Ec%26d%23e%3Ff%25g?OpenForm&quot;); newWin"), std::string::npos) << opened;
    std::string report;
    for (const std::string& options : {std::string(form), std::string(form) + " UseJavaScript=Yes"}) {
        const std::string xhtml = Generate(chunk, "XHTML", options.c_str());
        EXPECT_TRUE(talix_test::XmlWellFormed(xhtml, &report)) << report << xhtml;
        EXPECT_EQ(talix_test::XhtmlElementTexts(xhtml, {"b"}).size(), 0u) << xhtml;
    }
    // Characters of several bytes stay whole: U+5C4B in the form name (its
    // second byte a backslash), U+4E20 in the wiki text (its third a blank).
    ZervaRTChunk* wide = Define({Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFAD, 2, 0x10, CompiledFormula("1")),
                                 IdName({"", "WikiLink", "", "a\x14\x4E\x20" "b c", "", ""}), TextBytes("w"),
                                 HotspotEnd(), Bracket(0xDE, 0x00AE)});
    const std::string wideLink = Body(wide, "Form=\x14\x5C\x4B" "d");
    EXPECT_NE(wideLink.find("Form=\x14\x5C\x4B" "d&amp;WikiText=a\x14\x4E\x20" "b+c\""), std::string::npos) << wideLink;
}

// The wiki text is the value of the address's last query parameter: what
// would end that value or the address, or read as an escape or a blank,
// goes as its escape, and the agent gets the text as it is.
TEST_F(HotspotsTest, AWikiTextIsOneQueryValueOfItsAddress) {
    ZervaRTChunk* chunk = Define({Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFAD, 2, 0x10, CompiledFormula("1")),
                                  IdName({"", "WikiLink", "", "R&D #1? 50% C++", "", ""}), TextBytes("w"),
                                  HotspotEnd(), Bracket(0xDE, 0x00AE)});
    const std::string link = Body(chunk, "Form=Page");
    EXPECT_NE(link.find("/ResolveWikiLink?OpenAgent&amp;Form=Page&amp;WikiText="
                        "R%26D+%231%3F+50%25+C%2B%2B\" class=\"WikiLink\""),
              std::string::npos)
        << link;
}

TEST_F(HotspotsTest, AHotspotEndsWhereItsRecordsSayAndContentAfterItStaysOutside) {
    // Two hotspots in one paragraph inside a table cell: each anchor holds
    // its own text only, and the table keeps its cells.
    Records records = {Definition(1), Reference(1), TextBytes("a ")};
    for (const Records& hotspot : {URLHotspot("http://one", "one"), URLHotspot("http://two", "two")}) {
        records.insert(records.end(), hotspot.begin(), hotspot.end());
        records.push_back(TextBytes(" b"));
    }
    ZervaRTChunk* chunk = Define(records);
    const std::string body = Body(chunk, nullptr);
    EXPECT_NE(body.find("a <a href=\"http://one\">one</a> b<a href=\"http://two\">two</a> b"), std::string::npos) << body;
    const std::string xhtml = Generate(chunk, "XHTML", nullptr);
    EXPECT_EQ(talix_test::XhtmlBodyText(xhtml), "a one btwo b");
}

TEST_F(HotspotsTest, AttachmentsByHandling) {
    talix_test::TempDir dir;
    // The hotspot names the attachment "ATT1" and the file "../../x".
    Records named = FileHotspot("ATT1", "../../x", "file");
    named.insert(named.begin(), TextBytes("see "));
    named.push_back(TextBytes(" here"));
    ZervaRTChunk* chunk = DefineWith(named, {}, {{"ATT1", "attachment bytes"}});

    const std::string server = Body(chunk, "UseUNID=0123456789abcdef0123456789abcdef");
    EXPECT_NE(server.find("see <a href=\"/"), std::string::npos) << server;
    EXPECT_NE(server.find("/0/0123456789abcdef0123456789abcdef/$FILE/ATT1\">file</a> here"), std::string::npos)
        << server;

    const std::string options = "AttachmentHandling=DISK AttachmentDirectory=" + dir.file("out/att") +
                                " AttachmentURLDirectory=http://files";
    const std::string disk = Body(chunk, options.c_str());
    EXPECT_EQ(disk, "see <a href=\"http://files/x\">xfile</a> here");
    EXPECT_EQ(talix_test::ReadFile(dir.file("out/att/x")), "attachment bytes");
    EXPECT_FALSE(std::filesystem::exists(dir.file("x")));
    EXPECT_EQ(chunk->lastStatus, 0);

    // Without AttachmentURLDirectory= the link names the file where it was
    // extracted.
    const std::string local = "AttachmentHandling=DISK AttachmentDirectory=" + dir.file("local/");
    std::filesystem::remove(dir.file("out/att/x"));
    EXPECT_EQ(Body(chunk, local.c_str()), "see <a href=\"" + dir.file("local/x") + "\">xfile</a> here");
    EXPECT_EQ(talix_test::ReadFile(dir.file("local/x")), "attachment bytes");
    EXPECT_FALSE(std::filesystem::exists(dir.file("out/att/x")));

    EXPECT_EQ(Body(chunk, "SuppressAttachments=Yes"), "see  here");
    EXPECT_EQ(Body(chunk, "AttachmentHandling=NAME AttachmentTextInLink=No"), "see <a name=\"../../x\"></a>file here");

    // An attachment the note does not hold: the link stands, nothing is
    // extracted, and the status says so.
    std::filesystem::remove(dir.file("out/att/x"));
    ZervaRTChunk* missing = DefineWith(named, {});
    EXPECT_EQ(Body(missing, options.c_str()), "see <a href=\"http://files/x\">xfile</a> here");
    EXPECT_FALSE(std::filesystem::exists(dir.file("out/att/x")));
    EXPECT_NE(missing->lastStatus, 0);
}

// A control character in a link's target, an attachment's name or a
// link's address leaves nothing in the attribute: the XHTML stays readable.
TEST_F(HotspotsTest, ControlCharactersInAttributeValuesLeaveNothing) {
    // U+0001 and U+001B as the group of control characters writes them.
    const std::string controls = "a\x0F\x21" "b\x0F\x3B" "c";
    Records records = URLHotspot("http://h/" + controls, "go", {Target("_" + controls)});
    const Records file = FileHotspot("ATT" + controls, "f" + controls + ".txt", "file");
    records.insert(records.end(), file.begin(), file.end());
    ZervaRTChunk* chunk = DefineWith(records, {}, {{"ATT" + controls, "bytes"}});
    const std::string html = Body(chunk, "UseUNID=0123456789abcdef0123456789abcdef");
    EXPECT_NE(html.find("<a href=\"http://h/abc\" target=\"_abc\">go</a>"), std::string::npos) << html;
    EXPECT_NE(html.find("/$FILE/ATTabc\">file</a>"), std::string::npos) << html;
    EXPECT_EQ(Body(chunk, "AttachmentHandling=NAME AttachmentTextInLink=No"),
              "<a href=\"http://h/abc\" target=\"_abc\">go</a><a name=\"fabc.txt\"></a>file");
    std::string report;
    for (const char* options : {"UseUNID=0123456789abcdef0123456789abcdef", "AttachmentHandling=NAME"}) {
        const std::string xhtml = plat::LmbcsToNative(Generate(chunk, "XHTML", options));
        EXPECT_TRUE(talix_test::XmlWellFormed(xhtml, &report)) << options << report << xhtml;
    }
}

// A character of several bytes whose later bytes look like "&", "<" or a
// quote (U+4F26, U+4E3C, U+4E22 as Unicode units) stays whole in a link's
// address and target and an attachment's name.
TEST_F(HotspotsTest, CharactersOfSeveralBytesStayWholeInAttributeValues) {
    const std::string cjk = "\x14\x4F\x26" "\x14\x4E\x3C" "\x14\x4E\x22";
    Records records = URLHotspot("http://h/" + cjk, "go", {Target(cjk)});
    const Records file = FileHotspot("ATT" + cjk, "f" + cjk, "file");
    records.insert(records.end(), file.begin(), file.end());
    ZervaRTChunk* chunk = DefineWith(records, {}, {{"ATT" + cjk, "bytes"}});
    const std::string html = plat::LmbcsToNative(Body(chunk, "UseUNID=0123456789abcdef0123456789abcdef"));
    EXPECT_NE(html.find("<a href=\"http://h/\u4F26\u4E3C\u4E22\" target=\"\u4F26\u4E3C\u4E22\">go</a>"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("/$FILE/ATT\u4F26\u4E3C\u4E22\">file</a>"), std::string::npos) << html;
    const std::string named = plat::LmbcsToNative(Body(chunk, "AttachmentHandling=NAME AttachmentTextInLink=No"));
    EXPECT_NE(named.find("<a name=\"f\u4F26\u4E3C\u4E22\"></a>file"), std::string::npos) << named;

    // URLEncodeFilenames: blanks as "%20" and backslashes as "/", but not
    // the later bytes of U+5C4B (a backslash) and U+4E20 (a blank).
    const std::string wide = "\x14\x5C\x4B" "\x14\x4E\x20";
    ZervaRTChunk* encoded = Define(URLHotspot("http://h/" + wide + " a\\b", "go"));
    const std::string address = plat::LmbcsToNative(Body(encoded, "URLEncodeFilenames=Yes"));
    EXPECT_EQ(address, "<a href=\"http://h/\u5C4B\u4E20%20a/b\">go</a>");
}

// An attachment whose name holds characters outside ASCII is extracted
// under that name in UTF-8 into the folder named in UTF-8, and the link
// names it whole; a control character in it still becomes "_".
TEST_F(HotspotsTest, AttachmentsOutsideAsciiAreExtractedUnderTheirNames) {
    talix_test::TempDir dir;
    const std::string native = "Gr\u00FC\u00DFe \U0001F600 \u05E9\u05DC\u05D5\u05DD \u4F26e\u0301\u0001.txt";
    const std::string lmbcs = plat::NativeToLmbcs(native);
    ZervaRTChunk* chunk = DefineWith(FileHotspot("ATT", lmbcs, "file"), {}, {{"ATT", "attachment bytes"}});
    const std::string options = "AttachmentHandling=DISK AttachmentDirectory=" + plat::NativeToLmbcs(dir.file("\u00E4tt")) +
                                " AttachmentURLDirectory=http://files";
    const std::string safe = "Gr\u00FC\u00DFe \U0001F600 \u05E9\u05DC\u05D5\u05DD \u4F26e\u0301_.txt";
    const std::string html = plat::LmbcsToNative(Body(chunk, options.c_str()));
    EXPECT_EQ(html.rfind("<a href=\"http://files/" + safe + "\">Gr&uuml;&szlig;e &#128512; &#1513;", 0), 0u) << html;
    EXPECT_EQ(chunk->lastStatus, 0);
    EXPECT_EQ(talix_test::ReadFile(dir.file("\u00E4tt/" + safe)), "attachment bytes");
    const std::string encoded = plat::LmbcsToNative(Body(chunk, (options + " URLEncodeFilenames=Yes").c_str()));
    EXPECT_NE(encoded.find("href=\"http://files/Gr\u00FC\u00DFe%20\U0001F600%20"), std::string::npos) << encoded;
}

// An attachment whose name holds "#", "?" or "%", or ends in a blank, is
// linked by an address that names that very file: a browser would take a
// bare "#" or "?" for a fragment or query, a "%" for an escape, and drop
// blanks at the address's end. The file on disk keeps its name; names that
// need none of this are linked as they were.
TEST_F(HotspotsTest, AttachmentLinksNameFilesWithMarksOfAddresses) {
    talix_test::TempDir dir;
    const std::string options = "AttachmentHandling=DISK AttachmentDirectory=" + dir.file("att") +
                                " AttachmentURLDirectory=http://files AttachmentTextInLink=No";
    const struct {
        const char* name;
        const char* address;
        const char* encoded;
    } cases[] = {
        {"a#b?c%d.txt", "a%23b%3Fc%25d.txt", "a%23b%3Fc%25d.txt"},
        {"50% off & more.txt", "50%25 off &amp; more.txt", "50%25%20off%20&amp;%20more.txt"},
        {"end. ", "end.%20", "end.%20"},
        {"-lead +plus;semi 'q'.txt", "-lead +plus;semi 'q'.txt", "-lead%20+plus;semi%20'q'.txt"},
    };
    for (const auto& c : cases) {
        ZervaRTChunk* chunk = DefineWith(FileHotspot(c.name, c.name, "file"), {}, {{c.name, "bytes"}});
        EXPECT_EQ(Body(chunk, options.c_str()), std::string("<a href=\"http://files/") + c.address + "\">file</a>");
        EXPECT_EQ(Body(chunk, (options + " URLEncodeFilenames=Yes").c_str()),
                  std::string("<a href=\"http://files/") + c.encoded + "\">file</a>");
        EXPECT_EQ(talix_test::ReadFile(dir.file(std::string("att/") + c.name)), "bytes") << c.name;
        const std::string server = Body(chunk, "UseUNID=0123456789abcdef0123456789abcdef");
        EXPECT_NE(server.find(std::string("/$FILE/") + c.address + "\">file</a>"), std::string::npos) << server;
    }
    // A character of several bytes whose last byte looks like a blank
    // (U+4E20) ends the name: it stays whole.
    const std::string wide = "x\x14\x4E\x20";
    ZervaRTChunk* chunk = DefineWith(FileHotspot("ATT", wide, "file"), {}, {{"ATT", "bytes"}});
    EXPECT_EQ(plat::LmbcsToNative(Body(chunk, options.c_str())), "<a href=\"http://files/x\u4E20\">file</a>");
}

// An attachment whose name is longer in UTF-8 than a file name may be
// (255 bytes) is still extracted: under a shorter name that keeps its
// extension and differs from that of another long name with the same
// beginning, and the link names the file written. A name that fits is
// written as it is.
TEST_F(HotspotsTest, AttachmentsWithNamesTooLongForAFileAreExtractedUnderShorterNames) {
    talix_test::TempDir dir;
    const std::string options = "AttachmentHandling=DISK AttachmentDirectory=" + dir.file("att") +
                                " AttachmentURLDirectory=http://files";
    // One byte each as stored, two in UTF-8.
    std::string accented;
    for (int i = 0; i < 100; ++i) accented += "\u00E9\u00FC";
    std::string written[2];
    for (int i = 0; i < 2; ++i) {
        const std::string native = accented + (i == 0 ? "a" : "b") + ".pdf";
        const std::string lmbcs = plat::NativeToLmbcs(native);
        ASSERT_LE(lmbcs.size(), 255u);
        ZervaRTChunk* chunk = DefineWith(FileHotspot("ATT", lmbcs, "file"), {}, {{"ATT", "bytes " + native}});
        const std::string html = plat::LmbcsToNative(Body(chunk, options.c_str()));
        EXPECT_EQ(chunk->lastStatus, 0) << html;
        const std::string start = "<a href=\"http://files/";
        ASSERT_EQ(html.rfind(start, 0), 0u) << html;
        const std::size_t end = html.find('"', start.size());
        ASSERT_NE(end, std::string::npos) << html;
        written[i] = html.substr(start.size(), end - start.size());
        EXPECT_LE(written[i].size(), 255u);
        EXPECT_EQ(written[i].substr(written[i].size() - 4), ".pdf");
        EXPECT_EQ(written[i].rfind("\u00E9\u00FC\u00E9", 0), 0u) << written[i];
        EXPECT_EQ(talix_test::ReadFile(dir.file("att/" + written[i])), "bytes " + native);
        EXPECT_EQ(html.substr(html.size() - 8), "file</a>") << html;
    }
    EXPECT_NE(written[0], written[1]);
    const std::string fits = "\u03B1\u03B2 \u4F26.txt";
    ZervaRTChunk* chunk = DefineWith(FileHotspot("ATT", plat::NativeToLmbcs(fits), "file"), {}, {{"ATT", "short"}});
    const std::string html = plat::LmbcsToNative(Body(chunk, options.c_str()));
    EXPECT_EQ(html.rfind("<a href=\"http://files/" + fits + "\">", 0), 0u) << html;
    EXPECT_EQ(talix_test::ReadFile(dir.file("att/" + fits)), "short");
}

// Two attachments whose names reduce to one file name are extracted to
// files of their own: the first under its name, the later one under a name
// that keeps the extension, and each link names its own file. The same
// attachment linked twice shares its file.
TEST_F(HotspotsTest, AttachmentsOfOneFileNameAreExtractedToFilesOfTheirOwn) {
    talix_test::TempDir dir;
    const std::string options = "AttachmentHandling=DISK AttachmentDirectory=" + dir.file("att") +
                                " AttachmentURLDirectory=http://files AttachmentTextInLink=No";
    Records records;
    for (const Records& hotspot : {FileHotspot("ATT1", "x/a.txt", "one"), FileHotspot("ATT2", "y/a.txt", "two"),
                                   FileHotspot("ATT1", "x/a.txt", "again"), FileHotspot("ATT3", "a_2.txt", "three")}) {
        records.insert(records.end(), hotspot.begin(), hotspot.end());
        records.push_back(TextBytes(" "));
    }
    ZervaRTChunk* chunk =
        DefineWith(records, {}, {{"ATT1", "first bytes"}, {"ATT2", "second bytes"}, {"ATT3", "third bytes"}});
    const std::string html = Body(chunk, options.c_str());
    EXPECT_EQ(chunk->lastStatus, 0) << html;
    std::vector<std::string> files;
    for (std::size_t at = html.find("href=\"http://files/"); at != std::string::npos;
         at = html.find("href=\"http://files/", at + 1)) {
        const std::size_t begin = at + std::strlen("href=\"http://files/");
        files.push_back(html.substr(begin, html.find('"', begin) - begin));
    }
    ASSERT_EQ(files.size(), 4u) << html;
    EXPECT_EQ(files[0], "a.txt");
    EXPECT_EQ(files[2], "a.txt");
    EXPECT_NE(files[1], "a.txt");
    EXPECT_EQ(files[1].substr(files[1].size() - 4), ".txt") << files[1];
    EXPECT_NE(files[3], files[1]);
    EXPECT_EQ(talix_test::ReadFile(dir.file("att/" + files[0])), "first bytes");
    EXPECT_EQ(talix_test::ReadFile(dir.file("att/" + files[1])), "second bytes");
    EXPECT_EQ(talix_test::ReadFile(dir.file("att/" + files[3])), "third bytes");
    std::size_t written = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.file("att"))) ++written;
    EXPECT_EQ(written, 3u);

    // The next run starts afresh: the first file keeps its name.
    ZervaRTChunk* single = DefineWith(FileHotspot("ATT2", "y/a.txt", "two"), {}, {{"ATT2", "second bytes"}});
    EXPECT_EQ(Body(single, options.c_str()), "<a href=\"http://files/a.txt\">two</a>");
    EXPECT_EQ(talix_test::ReadFile(dir.file("att/a.txt")), "second bytes");
}

TEST_F(HotspotsTest, DamagedFormulasUnknownEventsAndDirectoriesThatCannotBeMade) {
    // A formula that does not evaluate: its status, and the text gathered
    // so far (none, so no anchor).
    ZervaRTChunk* broken = Define({Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFAD, 11, 0x1010, CompiledFormula("-\"a\"")),
                                   TextBytes("kept"), HotspotEnd(), Bracket(0xDE, 0x00AE), TextBytes(" after")});
    EXPECT_EQ(Body(broken, nullptr), "kept after");
    EXPECT_NE(broken->lastStatus, 0);

    // Targets and anchors from records keep the attribute whole.
    const std::uint32_t view[4] = {1, 2, 3, 4}, document[4] = {5, 6, 7, 8};
    Records quoted = URLHotspot("http://x", "t", {Target("a\"b<c&d")});
    quoted.push_back(ExportedLink(NoteLink(1, 2, view, document), "", "", "p&q \"r\""));
    const std::string attributes = Body(Define(quoted), nullptr);
    EXPECT_NE(attributes.find("target=\"a&quot;b&lt;c&amp;d\">t</a>"), std::string::npos) << attributes;
    EXPECT_NE(attributes.find("#p&amp;q%20&quot;r&quot;\"><img"), std::string::npos) << attributes;

    // Event types 0 and past the known ones are clicks: one attribute holds
    // the code of both.
    Records events = {Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFAD, 2, 0x200000, {})};
    for (const Records& event : {Event(0, "a()"), Event(40, "b()")})
        events.insert(events.end(), event.begin(), event.end());
    for (const FixtureRecord& record : {TextBytes("go"), HotspotEnd(), Bracket(0xDE, 0x00AE)}) events.push_back(record);
    EXPECT_EQ(Body(Define(events), nullptr),
              "<a href=\"\" OnClick=\"a(); b(); return false;\">go</a>");

    // An attachment directory that cannot be made (a file stands in its
    // way): nothing is extracted, the link to the URL directory stands, and
    // the status says so.
    talix_test::TempDir dir;
    { std::ofstream(dir.file("blocker")) << "file"; }
    ZervaRTChunk* chunk = DefineWith(FileHotspot("ATT1", "x.txt", "file"), {}, {{"ATT1", "bytes"}});
    const std::string options = "AttachmentHandling=DISK AttachmentDirectory=" + dir.file("blocker/sub") +
                                " AttachmentURLDirectory=http://files/";
    EXPECT_EQ(Body(chunk, options.c_str()), "<a href=\"http://files/x.txt\">x.txtfile</a>");
    EXPECT_FALSE(std::filesystem::exists(dir.file("blocker/sub/x.txt")));
    EXPECT_EQ(chunk->lastStatus, 1028);
}

TEST_F(HotspotsTest, LineEndsOfStoredCodeBecomeLineFeeds) {
    // Stored code ends its lines with zero bytes: a handler of several lines
    // keeps them as line feeds, in both formats, and never as a reference to
    // character 0 (which no browser runs).
    Records events = {Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFAD, 2, 0x200000, {})};
    const char kCode[] = "history.back()\0return false;\0if (a < b && c) {\0}";
    const char kLines[] = "s = \"x\"\0\0";
    for (const Records& event : {Event(1, std::string(kCode, sizeof kCode - 1)), Event(5, std::string(kLines, sizeof kLines - 1))})
        events.insert(events.end(), event.begin(), event.end());
    for (const FixtureRecord& record : {TextBytes("back"), HotspotEnd(), Bracket(0xDE, 0x00AE)}) events.push_back(record);
    ZervaRTChunk* chunk = Define(events);
    EXPECT_EQ(Body(chunk, nullptr),
              "<a href=\"\" OnClick=\"history.back()&#10;return false;&#10;if (a &lt; b &amp;&amp; c) {&#10;}; "
              "return false;\" OnMouseOver=\"s = &quot;x&quot;&#10;&#10;; return false;\">back</a>");
    const std::string xhtml = Generate(chunk, "XHTML", nullptr);
    EXPECT_NE(xhtml.find("onclick=\"history.back()&#10;return false;&#10;"), std::string::npos) << xhtml;
    EXPECT_EQ(xhtml.find("&#0;"), std::string::npos) << xhtml;
    std::string report;
    EXPECT_TRUE(talix_test::XmlWellFormed(xhtml, &report)) << report;
}

TEST_F(HotspotsTest, AHotspotInsideAnotherOpensNoAnchorInItsAnchor) {
    // A URL, pop-up or event hotspot in the text of a URL hotspot: the outer
    // anchor holds all of its text, and no anchor stands in it.
    Records event = {Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFAD, 2, 0x200000, {})};
    const Records code = Event(1, "f()");
    event.insert(event.end(), code.begin(), code.end());
    for (const Records& inner : {URLHotspot("http://in/", "in"),
                                 Records{Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFA9, 1, 4, TextData("Tip")), TextBytes("in"),
                                         HotspotEnd(), Bracket(0xDE, 0x00AE)},
                                 event}) {
        Records records = {Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFAD, 11, 0x1000, TextData("http://out/")),
                           TextBytes("out ")};
        records.insert(records.end(), inner.begin(), inner.end());
        if (inner.size() == event.size()) {
            records.push_back(TextBytes("in"));
            records.push_back(HotspotEnd());
            records.push_back(Bracket(0xDE, 0x00AE));
        }
        for (const FixtureRecord& record : {TextBytes(" tail"), HotspotEnd(), Bracket(0xDE, 0x00AE), TextBytes(" end")})
            records.push_back(record);
        ZervaRTChunk* chunk = Define(records);
        EXPECT_EQ(Body(chunk, nullptr), "<a href=\"http://out/\">out in tail</a> end");
        const std::string xhtml = Generate(chunk, "XHTML", nullptr);
        std::string report;
        EXPECT_TRUE(talix_test::XmlWellFormed(xhtml, &report)) << report;
    }
}

TEST_F(HotspotsTest, TextOfHotspotsNestedPastTheWalksBoundIsWritten) {
    // Pop-ups each in the text of the one before, 80 deep, the innermost
    // holding a table: past the depth the walk follows, their text, the
    // table's cells and the text after each end are still written, in
    // order, and the markup stays whole.
    constexpr int kDepth = 80;
    Records records = {Definition(1), Reference(1)};
    std::vector<std::string> words;
    for (int level = 0; level < kDepth; ++level) {
        for (const FixtureRecord& record : {Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFA9, 1, 4, TextData("Tip")),
                                            TextBytes("in" + std::to_string(level) + "x ")})
            records.push_back(record);
        words.push_back("in" + std::to_string(level) + "x");
    }
    const Records table = {htmlgen_test::TableBegin(), htmlgen_test::Cell({0, 0}), Reference(1), TextBytes("cell"),
                           htmlgen_test::TableEnd()};
    records.insert(records.end(), table.begin(), table.end());
    words.push_back("cell");
    for (int level = kDepth; level-- > 0;) {
        for (const FixtureRecord& record : {HotspotEnd(), Bracket(0xDE, 0x00AE), TextBytes("out" + std::to_string(level) + "x ")})
            records.push_back(record);
        words.push_back("out" + std::to_string(level) + "x");
    }
    ZervaRTChunk* chunk = Define(records);
    for (const char* format : {"HTML", "XHTML"}) {
        const std::string markup = Generate(chunk, format, nullptr);
        EXPECT_EQ(chunk->lastStatus, 0) << format;
        const std::string text = format[0] == 'X' ? talix_test::XhtmlBodyText(markup) : talix_test::HtmlBodyText(markup);
        std::size_t at = 0;
        for (const std::string& word : words) {
            const std::size_t found = text.find(word, at);
            ASSERT_NE(found, std::string::npos) << format << ": " << word << " in " << text;
            at = found + word.size();
        }
        std::string report;
        if (format[0] == 'X') {
            EXPECT_TRUE(talix_test::XmlWellFormed(markup, &report)) << report;
        } else {
            EXPECT_EQ(talix_test::TidyErrors(markup, &report), 0) << report;
        }
    }
}

TEST_F(HotspotsTest, AgentAndAttachmentAddressesGivenByTheOptionsStayInTheirAttributes) {
    // A resolving agent and a server directory for attachments with a
    // query of several parameters: each reaches the browser as given and
    // the XHTML stays readable.
    Records records = {Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFAD, 2, 0x10, CompiledFormula("1")),
                       IdName({"", "WikiLink", "", "Topic", "", ""}), TextBytes("w"), HotspotEnd(),
                       Bracket(0xDE, 0x00AE)};
    const Records file = FileHotspot("ATT1", "a.txt", "file");
    records.insert(records.end(), file.begin(), file.end());
    ZervaRTChunk* chunk = DefineWith(records, {}, {{"ATT1", "bytes"}});
    const char* options = "ResolveWiki=//srv/wiki.nsf/agent?OpenAgent&Page= "
                          "InPlaceAttachmentURLDirectory=http://files/get?a=1&b=\"2\" "
                          "UseUNID=0123456789abcdef0123456789abcdef";
    for (const char* format : {"HTML", "XHTML"}) {
        const std::string markup = Generate(chunk, format, options);
        EXPECT_NE(markup.find("<a href=\"http://srv/wiki.nsf/agent?OpenAgent&amp;Page=Topic\" class=\"WikiLink\""),
                  std::string::npos)
            << markup;
        EXPECT_NE(markup.find("<a href=\"http://files/get?a=1&amp;b=&quot;2&quot;/0/0123456789abcdef0123456789abcdef/"
                              "$FILE/ATT1\">file</a>"),
                  std::string::npos)
            << markup;
        std::string report;
        if (format[0] == 'X') EXPECT_TRUE(talix_test::XmlWellFormed(markup, &report)) << report << markup;
    }
}

TEST_F(HotspotsTest, EveryKindOfLinkKeepsItsTextAfterStyledText) {
    // Each link follows a bold coloured run and has text of the plain font:
    // what the run opened closes before the link's anchor, so that the
    // link's text stays inside it (a pop-up, events, a link record or a
    // link resource in the range, a URL resource, a wiki link, an
    // attachment).
    constexpr std::uint32_t kView[4] = {1, 2, 3, 4}, kDocument[4] = {5, 6, 7, 8};
    const Bytes link = NoteLink(1, 2, kView, kDocument);
    Records events = {Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFAD, 2, 0x200000, {})};
    const Records event = Event(1, "f()");
    events.insert(events.end(), event.begin(), event.end());
    events.insert(events.end(), {TextBytes("events"), HotspotEnd(), Bracket(0xDE, 0x00AE)});
    const std::vector<std::pair<std::string, Records>> kinds = {
        {"pop-up", {Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFA9, 1, 4, TextData("Tip")), TextBytes("pop-up"),
                    HotspotEnd(), Bracket(0xDE, 0x00AE)}},
        {"events", events},
        {"link record", {Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFAD, 11, 0, {}), ExportedLink(link, "", ""),
                         TextBytes("link record"), HotspotEnd(), Bracket(0xDE, 0x00AE)}},
        {"link resource", {Bracket(0xDD, 0xFFAD), HotspotBegin(0xFF7E, 32, 8, {}), NoteLinkResource(link, ""),
                           HotspotBegin(0xFFAD, 11, 0, {}), TextBytes("link resource"), HotspotEnd(),
                           Bracket(0xDE, 0x00AE)}},
        {"URL resource", {Bracket(0xDD, 0xFFAD), HotspotBegin(0xFF7E, 32, 8, {}), URLResource("http://r/"),
                          HotspotBegin(0xFFAD, 11, 0x1000, TextData("ignored")), TextBytes("URL resource"),
                          HotspotEnd(), Bracket(0xDE, 0x00AE)}},
        {"wiki", {Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFAD, 2, 0x10, CompiledFormula("1")),
                  IdName({"", "WikiLink", "", "Topic", "", ""}), TextBytes("wiki"), HotspotEnd(),
                  Bracket(0xDE, 0x00AE)}},
        {"attachment", FileHotspot("ATT1", "a.txt", "attachment")},
    };
    talix_test::TempDir dir;
    const std::string disk = "AttachmentHandling=DISK AttachmentTextInLink=No AttachmentDirectory=" + dir.file("att");
    for (const auto& [text, hotspot] : kinds) {
        Records records = {TextRun(1, 1, 2, 10, "Bold ")};
        records.insert(records.end(), hotspot.begin(), hotspot.end());
        records.push_back(TextBytes(" tail"));
        ZervaRTChunk* chunk = DefineWith(records, {}, {{"ATT1", "bytes"}});
        for (const std::string& options : {std::string("ResolveWiki=/agent?x="), disk}) {
            if (options == disk && text != "attachment") continue;
            const std::string xhtml = Generate(chunk, "XHTML", options.c_str());
            EXPECT_EQ(talix_test::XhtmlElementTexts(xhtml, {"a"}), std::vector<std::string>{text}) << options << xhtml;
            EXPECT_EQ(talix_test::XhtmlElementTexts(xhtml, {"b"}), std::vector<std::string>{"Bold "}) << xhtml;
        }
    }
}

TEST_F(HotspotsTest, ALinkAfterSpansUnderThePresetKeepsItsText) {
    // Under the preset every run has a span: the spans open before the link
    // (the bold text's, which the blank after it goes on in) close before
    // the link's anchor, so that its text stays inside it.
    Records records = {TextRun(1, 1, 0, 10, "Bold"), TextRun(1, 0, 0, 10, " ")};
    Records url = URLHotspot("http://u/", "");
    url.insert(url.end() - 2, TextRun(1, 4, 4, 10, "link"));
    records.insert(records.end(), url.begin(), url.end());
    records.insert(records.end(), {TextRun(1, 0, 0, 10, " "), Bracket(0xDD, 0xFFAD),
                                   HotspotBegin(0xFFA9, 1, 4, TextData("Tip")), TextRun(1, 4, 4, 10, "pop"),
                                   HotspotEnd(), Bracket(0xDE, 0x00AE), TextBytes(" tail")});
    ZervaRTChunk* chunk = Define(records);
    const std::string body = Body(chunk, "Zelunda=Yes");
    const std::string linkSpan =
        "<span style=\"font-size: 10pt; color: rgb(0,0,255); text-decoration: underline; font-family: sans-serif; \">";
    EXPECT_NE(body.find("<strong>Bold</strong>&nbsp;</span><a href=\"http://u/\">" + linkSpan + "link</span></a>"), std::string::npos)
        << body;
    EXPECT_NE(body.find("#ffffc2\">" + linkSpan + "pop</span></a>"), std::string::npos) << body;
    EXPECT_EQ(Count(body, "<span"), Count(body, "</span>")) << body;
}

} // namespace
} // namespace htmlgen_test
