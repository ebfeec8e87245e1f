// Document, view and database links rendered by a generation: their URLs,
// the "$Links" list, the icons (and the icon files of LocalDominoSymbols),
// and the link event.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "active_content_fixture.h"
#include "core/chunk_work_state.h"
#include "core/pool.h"
#include "support/markup_validators.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace htmlgen_test {
namespace {

constexpr std::uint32_t kView[4] = {0x11111111, 0x22222222, 0x33333333, 0x44444444};
constexpr std::uint32_t kDocument[4] = {0xAAAAAAAA, 0xBBBBBBBB, 0xCCCCCCCC, 0xDDDDDDDD};
constexpr std::uint32_t kNone[4] = {0, 0, 0, 0};
const std::string kPath = "//__9ABCDEF012345678.NSF/22222222111111114444444433333333/"
                          "BBBBBBBBAAAAAAAADDDDDDDDCCCCCCCC";

using talix_test::CollectMessage;
using talix_test::g_messages;

struct DocEvent {
    std::string database, comment;
    std::uint16_t kind = 0xFFFF;
    const char* answer = nullptr;
};
DocEvent g_doc;

std::uint16_t QueryLink(ZervaRTChunk* chunk, std::uint16_t kind, char* replica, std::uint16_t length, void*, void*,
                        void*, char* text1, std::uint16_t length1, char*, std::uint16_t, char*, std::uint16_t) {
    g_doc.kind = kind;
    g_doc.database.assign(replica != nullptr ? replica : "", length);
    g_doc.comment.assign(text1 != nullptr ? text1 : "", length1);
    if (g_doc.answer != nullptr)
        chunk->SetEventRetString(1, g_doc.answer, static_cast<std::uint16_t>(std::strlen(g_doc.answer)));
    return 0;
}

// A procedure that names the database, view and document itself.
std::uint16_t AnswerParts(ZervaRTChunk* chunk, std::uint16_t, char*, std::uint16_t, void*, void*, void*, char*,
                          std::uint16_t, char*, std::uint16_t, char*, std::uint16_t) {
    chunk->SetEventRetString(1, "db&1.nsf", 8);
    chunk->SetEventRetString(2, "V", 1);
    chunk->SetEventRetString(3, "D", 1);
    return 0;
}

class DoclinksTest : public ActiveContentTest {};

TEST_F(DoclinksTest, LinkURLsByKindAndOption) {
    const Bytes document = NoteLink(0x12345678, 0x9ABCDEF0, kView, kDocument);
    const Bytes view = NoteLink(0x12345678, 0x9ABCDEF0, kView, kNone);
    const Bytes database = NoteLink(0x12345678, 0x9ABCDEF0, kNone, kNone);
    ZervaRTChunk* chunk = Define({Bracket(0xDD, 0xFF92), ExportedLink(document, "Comment <1>", ""),
                                  Bracket(0xDE, 0xFF92), ExportedLink(view, "", ""), ExportedLink(database, "", ""),
                                  ExportedLink(document, "", "", "top of page")});
    const std::string body = Body(chunk, nullptr);
    EXPECT_NE(body.find("<a href=\"" + kPath + "?OpenDocument\"><img src=\"/icons/doclink.gif\" border=\"0\"></a>"),
              std::string::npos)
        << body;
    EXPECT_NE(body.find("<a href=\"//__9ABCDEF012345678.NSF/22222222111111114444444433333333?OpenView\">"
                        "<img src=\"/icons/viewlink.gif\" border=\"0\"></a>"),
              std::string::npos)
        << body;
    EXPECT_NE(body.find("<a href=\"//__9ABCDEF012345678.NSF?OpenDatabase\"><img src=\"/icons/dblink.gif\""),
              std::string::npos)
        << body;
    EXPECT_NE(body.find("?OpenDocument#top%20of%20page\"><img src=\"/icons/textlink.gif\""), std::string::npos) << body;

    const std::string relative = Body(chunk, "DoclinksRelative=Yes OpenDocumentString=X");
    EXPECT_NE(relative.find("<a href=\"/__9ABCDEF012345678.NSF/22222222111111114444444433333333/"
                            "BBBBBBBBAAAAAAAADDDDDDDDCCCCCCCCX\">"),
              std::string::npos)
        << relative;

    // Described icons: the comment as the title, the alt word by kind; the
    // XHTML picture closes itself.
    const std::string described = Generate(chunk, "XHTML", "WAICompliant=Yes");
    EXPECT_NE(described.find("?OpenDocument\" title=\"Comment &lt;1&gt;\"><img src=\"/icons/doclink.gif\" "
                             "alt=\"doclink icon\" border=\"0\" /></a>"),
              std::string::npos)
        << described;
    EXPECT_NE(described.find("alt=\"database link icon\" border=\"0\" /></a>"), std::string::npos);
    std::string report;
    EXPECT_TRUE(talix_test::XmlWellFormed(described, &report)) << report;
    // Undescribed icons in XHTML get the empty alt every img must have.
    const std::string plain = Generate(chunk, "XHTML", nullptr);
    EXPECT_NE(plain.find("<img src=\"/icons/doclink.gif\" alt=\"\" border=\"0\" /></a>"), std::string::npos)
        << plain;
    EXPECT_TRUE(talix_test::XhtmlValid(plain, &report)) << report << plain;
    EXPECT_EQ(chunk->lastStatus, 0);
}

TEST_F(DoclinksTest, ALinkInTheTextOfAURLHotspotWritesItsIconInTheOuterAnchor) {
    // The link's icon stays in the outer link's text, with no anchor of its
    // own, and the outer link keeps its text after it.
    const Bytes document = NoteLink(0x12345678, 0x9ABCDEF0, kView, kDocument);
    ZervaRTChunk* chunk =
        Define(URLHotspot("http://out/", " tail", {TextBytes("out "), ExportedLink(document, "Comment", "")}));
    EXPECT_EQ(Body(chunk, nullptr), "<a href=\"http://out/\">out <img src=\"/icons/doclink.gif\" border=\"0\"> tail</a>");
    const std::string xhtml = Generate(chunk, "XHTML", "WAICompliant=Yes");
    EXPECT_NE(xhtml.find("<a href=\"http://out/\">out <img src=\"/icons/doclink.gif\" alt=\"doclink icon\" "
                         "border=\"0\" /> tail</a>"),
              std::string::npos)
        << xhtml;
    std::string report;
    EXPECT_TRUE(talix_test::XmlWellFormed(xhtml, &report)) << report;
    const std::string plain = Generate(chunk, "XHTML", nullptr);
    EXPECT_NE(plain.find("out <img src=\"/icons/doclink.gif\" alt=\"\" border=\"0\" /> tail</a>"),
              std::string::npos)
        << plain;
    // A link outside any anchor still writes its own.
    EXPECT_EQ(Body(Define({ExportedLink(document, "", "")}), nullptr),
              "<a href=\"" + kPath + "?OpenDocument\"><img src=\"/icons/doclink.gif\" border=\"0\"></a>");
}

TEST_F(DoclinksTest, LinksByIndexIntoTheLinkList) {
    const Bytes first = NoteLink(0x12345678, 0x9ABCDEF0, kView, kDocument);
    const Records records = {IndexedLink(0, "first"), IndexedLink(1, "past the list")};
    g_messages.clear();
    plat::RegisterMessageProc(CollectMessage);
    ZervaRTChunk* chunk = DefineWith(records, {{"$Links", LinkTable({first})}});
    const std::string body = Body(chunk, nullptr);
    EXPECT_NE(body.find("<a href=\"" + kPath + "?OpenDocument\">"), std::string::npos) << body;
    EXPECT_NE(body.find("<a href=\"/\"><img src=\"/icons/actn116.gif\" border=\"0\"></a>"), std::string::npos) << body;
    EXPECT_EQ(g_messages, std::vector<std::string>{"TALIX: Broken $Links reference - not in list"});

    // A note without the list: every such link is broken, the rest of the
    // body is still rendered, and the status says what was missing.
    g_messages.clear();
    ZervaRTChunk* without = DefineWith({IndexedLink(0, "x"), TextBytes("after")}, {});
    EXPECT_EQ(Body(without, "BrokenLinkURL=/broken BrokenLinkGraphic=/b.gif"),
              "<a href=\"/broken\"><img src=\"/b.gif\" border=\"0\"></a>after");
    EXPECT_EQ(g_messages, std::vector<std::string>{"TALIX: Broken $Links reference"});
    EXPECT_NE(without->lastStatus, 0);
    plat::RegisterMessageProc(nullptr);
}

TEST_F(DoclinksTest, IconFilesAreWrittenOncePerRun) {
    talix_test::TempDir dir;
    const Bytes document = NoteLink(1, 2, kView, kDocument);
    ZervaRTChunk* chunk = Define({ExportedLink(document, "", ""), ExportedLink(document, "", "")});
    const std::string options = "LocalDominoSymbols=Yes ImageDirectory=" + dir.file("icons/new");
    const std::string body = Body(chunk, options.c_str());
    EXPECT_NE(body.find("<img src=\"doclink.gif\""), std::string::npos) << body;
    const std::string icon = talix_test::ReadFile(dir.file("icons/new/doclink.gif"));
    EXPECT_EQ(icon.substr(0, 6), "GIF89a");
    EXPECT_FALSE(std::filesystem::exists(dir.file("icons/new/dblink.gif")));
    // A second run writes it again (a run writes each icon once).
    std::filesystem::remove(dir.file("icons/new/doclink.gif"));
    Body(chunk, options.c_str());
    EXPECT_TRUE(std::filesystem::exists(dir.file("icons/new/doclink.gif")));
    EXPECT_EQ(chunk->lastStatus, 0);

    // A directory that cannot be made: the links stand, the status says
    // the icon is missing.
    const std::string blocked = "LocalDominoSymbols=Yes ImageDirectory=" + dir.file("icons/new/doclink.gif/sub");
    EXPECT_NE(Body(chunk, blocked.c_str()).find("<img src=\"doclink.gif\""), std::string::npos);
    EXPECT_EQ(chunk->lastStatus, 1028);
}

TEST_F(DoclinksTest, TheLinkEventMayRewriteADocumentLink) {
    ZervaRTChunk* chunk = Define({ExportedLink(NoteLink(0x12345678, 0x9ABCDEF0, kView, kDocument), "note", "")});
    g_doc = DocEvent();
    g_doc.answer = "http://elsewhere/doc";
    chunk->work->linkRequest.kind = 4;
    char* block = chunk->GenerateHTML(nullptr, "HTML", "RaiseLinkEvent=Doc", 0, nullptr, QueryLink);
    EXPECT_EQ(g_doc.kind, 0);
    EXPECT_EQ(g_doc.database, "__9ABCDEF012345678.NSF");
    EXPECT_EQ(g_doc.comment, "note");
    EXPECT_NE(BodyOf(block).find("<a href=\"http://elsewhere/doc\"><img"), std::string::npos) << block;
    talix::ZervaDeallocate(&session_, block);

    // Nothing answered: the link as it is.
    g_doc.answer = nullptr;
    block = chunk->GenerateHTML(nullptr, "HTML", "RaiseLinkEvent=Doc", 0, nullptr, QueryLink);
    EXPECT_NE(BodyOf(block).find("<a href=\"" + kPath + "?OpenDocument\">"), std::string::npos) << block;
    talix::ZervaDeallocate(&session_, block);

    // Link kind 0: the answer's parts make the path; another kind asks for
    // no address at all.
    ZervaRTChunk* anchored =
        Define({ExportedLink(NoteLink(0x12345678, 0x9ABCDEF0, kView, kDocument), "", "", "a b")});
    anchored->work->linkRequest.kind = 0;
    block = anchored->GenerateHTML(nullptr, "HTML", "RaiseLinkEvent=Doc", 0, nullptr, AnswerParts);
    EXPECT_NE(BodyOf(block).find("<a href=\"/db&amp;1.nsf/V/D?OpenDocument#a%20b\"><img"), std::string::npos) << block;
    talix::ZervaDeallocate(&session_, block);
    anchored->work->linkRequest.kind = 1;
    block = anchored->GenerateHTML(nullptr, "HTML", "RaiseLinkEvent=Doc", 0, nullptr, AnswerParts);
    EXPECT_NE(BodyOf(block).find("<a href=\"\"><img"), std::string::npos) << block;
    talix::ZervaDeallocate(&session_, block);
}

TEST_F(DoclinksTest, AddressPartsGivenByTheOptionsStayInTheirAttributes) {
    // Directories and open strings with a query of several parameters (and
    // a quote): each reaches the browser as given, the XHTML stays
    // readable, and no quote ends the attribute.
    const Bytes document = NoteLink(0x12345678, 0x9ABCDEF0, kView, kDocument);
    const Bytes database = NoteLink(0x12345678, 0x9ABCDEF0, kNone, kNone);
    const std::vector<ExtraItem> none;
    ZervaRTChunk* chunk = DefineWith({ExportedLink(document, "", ""), ExportedLink(database, "", ""), IndexedLink(0, "")},
                                     none);
    const char* options = "LinkURLDirectory=http://h/a?b=1&c=\"2\" OpenDocumentString=?OpenDocument&Login "
                          "OpenDatabaseString=?OpenDatabase&Start=1 BrokenLinkURL=/x?a&b";
    for (const char* format : {"HTML", "XHTML"}) {
        const std::string markup = Generate(chunk, format, options);
        EXPECT_NE(markup.find("<a href=\"http://h/a?b=1&amp;c=&quot;2&quot;" + kPath + "?OpenDocument&amp;Login\">"),
                  std::string::npos)
            << markup;
        EXPECT_NE(markup.find("__9ABCDEF012345678.NSF?OpenDatabase&amp;Start=1\">"), std::string::npos) << markup;
        EXPECT_NE(markup.find("<a href=\"/x?a&amp;b\">"), std::string::npos) << markup;
        std::string report;
        if (format[0] == 'X') EXPECT_TRUE(talix_test::XmlWellFormed(markup, &report)) << report << markup;
    }
    // A value written for markup already keeps its references.
    EXPECT_NE(Body(chunk, "OpenDocumentString=?OpenDocument&amp;Login&#38;x").find(kPath + "?OpenDocument&amp;Login&#38;x\""),
              std::string::npos);
    // Options without such characters give the addresses they always gave.
    EXPECT_NE(Body(chunk, "LinkURLDirectory=http://h/a OpenDocumentString=?Open").find(
                  "<a href=\"http://h/a" + kPath + "?Open\">"),
              std::string::npos);
}

} // namespace
} // namespace htmlgen_test
