// Anchors imported as links: URL hotspots with their target frames and font
// texts, named anchors, links within the document, Notes links from web and
// Notes addresses, and file hotspots; damaged and oversized addresses.
#include <algorithm>
#include <fstream>
#include <string>

#include "core/font_spec.h"
#include "core/signatures.h"
#include "htmlimport/attachment_icon.h"
#include "htmlimport/html_fonts.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/link_addresses.h"
#include "htmlimport/node_search.h"
#include "import_fixture.h"
#include "platform/view_index.h"
#include "talix_platform.h"
#include "walk_fixture.h"

namespace {

using import_test::First;
using import_test::Imported;
using import_test::ItemRecord;
using import_test::WalkTest;

using talix::kAttrBold;
using talix::kAttrItalic;
using talix::kAttrUnderline;

constexpr std::uint32_t kLinkViewAt = 12;   // the view's universal id in a link record (after the replica id)
constexpr std::uint32_t kLinkNoteAt = 28;

const std::string kView = "0123456789abcdef0123456789ABCDEF";
const std::string kNote = "fedcba9876543210FEDCBA9876543210";

// The text of a record from an offset to its first zero byte.
std::string TextAt(const ItemRecord& record, std::size_t offset) {
    if (offset >= record.bytes.size()) return std::string();
    return std::string(record.bytes.c_str() + offset);
}

class LinkImport : public WalkTest {
protected:
    // Images given by URL are converted, not refused.
    void SetUp() override { plat::IniSet("ZelundaNoImageSkip", "1"); }
    void TearDown() override { plat::IniSet("ZelundaNoImageSkip", ""); }

    // The universal id of a stored note as 32 upper-case digits.
    std::string UnidOf(plat::NOTEID id) {
        plat::DBHANDLE db = 0;
        plat::ORIGINATORID oid;
        EXPECT_EQ(plat::DbOpen(path_.c_str(), &db), 0);
        EXPECT_EQ(plat::DbNoteInfo(db, id, &oid, nullptr, nullptr), 0);
        plat::DbClose(db);
        char text[40];
        std::snprintf(text, sizeof text, "%.8X%.8X%.8X%.8X", oid.File.Innards[1], oid.File.Innards[0],
                      oid.Note.Innards[1], oid.Note.Innards[0]);
        return text;
    }
    // Stores a view marked as the database's default; returns its note id.
    plat::NOTEID AddDefaultView() {
        plat::DBHANDLE db = 0;
        plat::NOTEHANDLE note = 0;
        plat::NOTEID id = 0;
        EXPECT_EQ(plat::DbOpen(path_.c_str(), &db), 0);
        EXPECT_EQ(plat::NoteCreate(db, &note), 0);
        const plat::WORD viewClass = plat::NOTE_CLASS_VIEW | plat::NOTE_CLASS_DEFAULT;
        EXPECT_EQ(plat::NoteSetInfo(note, plat::NOTE_FIELD_CLASS, &viewClass), 0);
        EXPECT_EQ(plat::NoteUpdate(note, 0), 0);
        plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id);
        plat::NoteClose(note);
        plat::DbClose(db);
        return id;
    }
    // The four words of a universal id given as text, as a link record holds them.
    static std::string Words(const ItemRecord& record, std::size_t offset) {
        char text[40];
        std::snprintf(text, sizeof text, "%.8X%.8X%.8X%.8X", record.Dword(offset + 4), record.Dword(offset),
                      record.Dword(offset + 12), record.Dword(offset + 8));
        return text;
    }
};

TEST_F(LinkImport, UrlHotspotsHoldTheirTextAndTarget) {
    const Imported link = Import("<p><a href=\"http://x.com/a\" target=\"_blank\">go</a> on</p>");
    ASSERT_EQ(link.status, 0);
    EXPECT_EQ(link.problem, "");
    const ItemRecord* hotspot = First(link, talix::kSigV4HotspotBegin);
    ASSERT_NE(hotspot, nullptr);
    EXPECT_EQ(TextAt(*hotspot, 16), "http://x.com/a");
    // "go" inside the hotspot, blue and underlined; the hotspot ends before " on".
    const std::string layout = link.Layout();
    const std::size_t go = layout.find("'go'"), end = layout.find("#AE"), on = layout.find("' on'");
    ASSERT_NE(go, std::string::npos) << layout;
    EXPECT_LT(layout.find("#FFAD"), go);
    EXPECT_LT(go, end);
    EXPECT_LT(end, on);
    EXPECT_EQ(link.Count(talix::kSigV4HotspotEnd), 1u);
    EXPECT_EQ(link.Run("go").Font().color, 4);
    EXPECT_NE(link.Run("go").Font().attributes & kAttrUnderline, 0);
    const ItemRecord* target = First(link, talix::kSigTarget);
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->Word(4), 6);
    EXPECT_EQ(target->bytes.substr(12, 6), "_blank");
    EXPECT_EQ(link.Texts(), "go| on");
    // A link styled without decoration, by its own style or a rule, is not
    // underlined; one whose rule asks for a line through gets it as well.
    const Imported plain = Import(
        "<style>a.nav { text-decoration: none } a.out { text-decoration: line-through }</style>"
        "<p><a href=\"http://x.com/1\" style=\"text-decoration:none\">one</a> "
        "<a class=\"nav\" href=\"http://x.com/2\">two</a> <a class=\"out\" href=\"http://x.com/3\">three</a> "
        "<u style=\"text-decoration:none\">four</u> <a href=\"http://x.com/5\">five</a></p>");
    ASSERT_EQ(plain.status, 0);
    EXPECT_EQ(plain.Run("one").Font().attributes, 0);
    EXPECT_EQ(plain.Run("one").Font().color, 4);
    EXPECT_EQ(plain.Run("two").Font().attributes, 0);
    EXPECT_EQ(plain.Run("three").Font().attributes, kAttrUnderline | talix::kAttrStrike);
    EXPECT_EQ(plain.Run("four").Font().attributes, 0);
    EXPECT_EQ(plain.Run("five").Font().attributes, kAttrUnderline);

    // A relative address is joined to the base path (its separators read
    // as "/") without a separator; "../" stays as written.
    const Imported relative =
        Import("<p><a href=\"page.htm\">a</a><a href=\"../up.htm\">b</a></p>", "BasePathname='c:\\dir\\'");
    ASSERT_EQ(relative.status, 0);
    std::string targets;
    for (const ItemRecord& record : relative.records)
        if (record.signature == talix::kSigV4HotspotBegin) targets += TextAt(record, 16) + "|";
    EXPECT_EQ(targets, "c:/dir/page.htm|../up.htm|");

    // An anchor without children and without "$FILE" writes nothing; an
    // address no record can hold opens no hotspot and leaves its text.
    const Imported empty = Import("<p><a href=\"http://x.com/\"></a>x</p>");
    EXPECT_EQ(empty.Count(talix::kSigV4HotspotBegin), 0u);
    const Imported huge = Import("<p><a href=\"http://x.com/" + std::string(100000, 'q') + "\">long</a></p>");
    EXPECT_EQ(huge.problem, "");
    EXPECT_EQ(huge.Count(talix::kSigV4HotspotBegin), 0u);
    EXPECT_EQ(huge.Count(talix::kSigV4HotspotEnd), 0u);
    EXPECT_EQ(huge.Texts(), "long");
    // Nor does it leave its target frame, which belongs to a hotspot, in the text.
    const Imported aimed =
        Import("<p><a href=\"http://x.com/" + std::string(100000, 'q') + "\" target=\"_top\">long</a> on</p>");
    EXPECT_EQ(aimed.status, 0);
    EXPECT_EQ(aimed.Count(talix::kSigV4HotspotBegin), 0u);
    EXPECT_EQ(aimed.Count(talix::kSigTarget), 0u);
    EXPECT_EQ(aimed.Texts(), "long| on");
}

class LinkFontText : public import_test::ImportTest {
protected:
    // The font text of the first anchor of the HTML.
    std::string FontText(const std::string& html) {
        EXPECT_EQ(ParseBuffer(html), 0);
        const talix::HtmlNode* anchor =
            talix::FindHTMLElementByName(import_->document->Root(), "a", nullptr, nullptr, nullptr);
        if (anchor == nullptr) return "<no anchor>";
        char text[talix::kFontColorTextSize];
        talix::BuildLinkFontText(import_.get(), anchor, 10, text, sizeof text);
        return text;
    }
};

TEST_F(LinkFontText, FromTheAnchorsStyle) {
    struct Case {
        const char* style;
        const char* expected;
    };
    const Case cases[] = {
        {"", "Blue +Underline"},
        {"font-size:16px", "Blue +Underline 12pt"},
        {"font-size:15px", "Blue +Underline 12pt"},
        {"font-size:13px", "Blue +Underline 10pt"},
        {"font-size:9pt", "Blue +Underline 9pt"},
        // Other units, relative sizes and keywords as for any other text,
        // around the size of 10 points.
        {"font-size:0.25in", "Blue +Underline 18pt"},
        {"font-size:1cm", "Blue +Underline 28pt"},
        {"font-size:2pc", "Blue +Underline 24pt"},
        {"font-size:16PX", "Blue +Underline 12pt"},
        {"font-size:150%", "Blue +Underline 15pt"},
        {"font-size:2em", "Blue +Underline 20pt"},
        {"font-size:-5pt", "Blue +Underline 10pt"},
        {"text-decoration:none", "Blue -Underline -Strikethrough"},
        {"text-decoration:underline line-through", "Blue +Underline +Strikethrough"},
        {"color:red;font-style:italic;font-weight:bold", "red +Underline +italic +bold"},
        {"font-style:normal;font-weight:lighter", "Blue +Underline -italic -bold"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FontText("<p><a href=\"x\" style=\"" + std::string(c.style) + "\">t</a></p>"), c.expected) << c.style;
    // A colour of 200 characters is cut to 63, and every word still fits;
    // the size is held to 255 points, as for any other text.
    EXPECT_EQ(FontText("<p><a href=\"x\" link=\"" + std::string(200, 'c') +
                       "\" style=\"font-size:99999999pt;font-style:normal;font-weight:normal;"
                       "text-decoration:none\">t</a></p>"),
              std::string(63, 'c') + " -Underline -Strikethrough 255pt -italic -bold");
}

TEST_F(LinkImport, NamedAnchorsAndLinksWithinTheDocument) {
    const Imported named = Import("<p>a<a name=\"top\">here</a>b</p>");
    ASSERT_EQ(named.status, 0);
    EXPECT_EQ(named.problem, "");
    EXPECT_NE(named.Layout().find("#FFCB '' 'here'"), std::string::npos) << named.Layout();
    const ItemRecord* anchor = First(named, talix::kSigAnchor);
    ASSERT_NE(anchor, nullptr);
    EXPECT_EQ(anchor->Word(4), 3);
    EXPECT_EQ(anchor->bytes.substr(12, 3), "top");
    // What the anchor holds stays: its text, and a heading's text in it.
    EXPECT_EQ(named.Texts(), "a|here|b");
    const Imported heading = Import("<h2><a name=\"intro\"><b>Introduction</b></a></h2><p>text</p>");
    ASSERT_EQ(heading.status, 0);
    EXPECT_EQ(heading.problem, "");
    EXPECT_EQ(heading.Texts(), "Introduction|text");
    EXPECT_EQ(heading.Count(talix::kSigAnchor), 1u);

    // Without a default view the link's view id is 32 zeros.
    const Imported noView = Import("<p><a href=\"#top\">up</a></p>");
    ASSERT_EQ(noView.status, 0);
    EXPECT_EQ(noView.problem, "");
    const ItemRecord* link = First(noView, talix::kSigLinkExport2);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(Words(*link, kLinkViewAt), std::string(32, '0'));
    EXPECT_EQ(Words(*link, kLinkNoteAt), UnidOf(noView.note));
    EXPECT_EQ(noView.Texts(), "up");

    // With one, the link names it, the note written and the anchor; a
    // "%20" stays in the anchor name of such a link.
    const std::string view = UnidOf(AddDefaultView());
    const Imported up = Import("<p><a href=\"#my%20top\">up</a></p>");
    ASSERT_EQ(up.status, 0);
    EXPECT_EQ(up.problem, "");
    link = First(up, talix::kSigLinkExport2);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(Words(*link, kLinkViewAt), view);
    EXPECT_EQ(Words(*link, kLinkNoteAt), UnidOf(up.note));
    EXPECT_NE(link->bytes.find("my%20top"), std::string::npos);
    EXPECT_EQ(up.Texts(), "up");
    EXPECT_EQ(up.Count(talix::kSigV4HotspotEnd), 1u);

    // A link text no record can hold: no link, the text kept.
    const std::string longText(70000, 't');
    const Imported huge = Import("<p><a href=\"#x\">" + longText + "</a></p>");
    EXPECT_EQ(huge.problem, "");
    EXPECT_EQ(huge.Count(talix::kSigLinkExport2), 0u);
    const std::string texts = huge.Texts();
    EXPECT_EQ(static_cast<std::size_t>(std::count(texts.begin(), texts.end(), 't')), longText.size());

    // A name and an address: the anchor first, then the link; "#" alone
    // links to the note itself.
    const Imported both = Import("<p><a name=\"n\" href=\"http://x.com/\">both</a><a href=\"#\">hash</a></p>");
    ASSERT_EQ(both.status, 0);
    EXPECT_EQ(both.problem, "");
    EXPECT_EQ(both.Count(talix::kSigAnchor), 1u);
    EXPECT_EQ(both.Count(talix::kSigV4HotspotBegin), 2u);
    EXPECT_EQ(both.Texts(), "both|hash");
}

TEST_F(LinkImport, AddressesOfNotesLinks) {
    // Notes-style ids are kept as written, web-style ones upper-cased.
    talix::LinkIds ids;
    const std::string notes = "notes://srv/0123456789abcdef/" + kView + "/" + kNote + "?OpenDocument";
    ASSERT_TRUE(talix::IsReplicaLink(notes));
    talix::ResolveReplicaIds(notes, &ids);
    EXPECT_EQ(ids.replica, "0123456789abcdef");
    EXPECT_EQ(ids.view, kView);
    EXPECT_EQ(ids.note, kNote);

    const std::string web = "/__0123456789abcdef.nsf/" + kView + "/" + kNote + "?OpenDocument";
    ASSERT_TRUE(talix::IsBasePathLink(web, ""));
    talix::LinkIds webIds;
    talix::ResolveBasePathIds(web, "", "item", "default", &webIds);
    EXPECT_EQ(webIds.replica, "0123456789abcdef");
    EXPECT_EQ(webIds.view, "0123456789ABCDEF0123456789ABCDEF");
    EXPECT_EQ(webIds.note, "FEDCBA9876543210FEDCBA9876543210");

    // A rest shorter than 33 characters names the database only; "0/"
    // names a note under the default view.
    talix::LinkIds short_;
    talix::ResolveBasePathIds("/db/abc?OpenDatabase", "db", "1111222233334444", "default", &short_);
    EXPECT_EQ(short_.replica, "1111222233334444");
    EXPECT_EQ(short_.view, std::string(32, '0'));
    EXPECT_EQ(short_.note, std::string(32, '0'));
    talix::LinkIds underDefault;
    talix::ResolveBasePathIds("/db/0/" + kNote + "?OpenDocument", "db", "r", "DEFAULT", &underDefault);
    EXPECT_EQ(underDefault.view, "DEFAULT");
    EXPECT_EQ(underDefault.note, "FEDCBA9876543210FEDCBA9876543210");

    // Addresses cut short at every length are no links of that kind, or
    // links with fewer ids; nothing is read past their end.
    for (std::size_t length = 0; length <= notes.size(); ++length) {
        const std::string cut = notes.substr(0, length);
        talix::LinkIds cutIds;
        if (talix::IsReplicaLink(cut)) talix::ResolveReplicaIds(cut, &cutIds);
        EXPECT_LE(cutIds.replica.size(), 16u);
        EXPECT_EQ(cutIds.view.size(), 32u);
    }
    for (std::size_t length = 0; length <= web.size(); ++length) {
        const std::string cut = web.substr(0, length);
        talix::LinkIds cutIds;
        if (talix::IsBasePathLink(cut, "")) talix::ResolveBasePathIds(cut, "", "item", "default", &cutIds);
        if (talix::IsReplicaLink(cut)) talix::ResolveReplicaIds(cut, &cutIds);
        EXPECT_EQ(cutIds.note.size(), 32u);
    }
    EXPECT_FALSE(talix::IsReplicaLink("notes://"));
    EXPECT_FALSE(talix::IsReplicaLink("notes://srv/0123"));
    EXPECT_FALSE(talix::IsBasePathLink("//host/x", ""));
    EXPECT_FALSE(talix::IsBasePathLink("/db/$FILE/x", ""));
}

TEST_F(LinkImport, NotesLinksInTheItem) {
    const char* options = "ResolveDoclinks=Yes";
    // A replica link around an image: a link without text, the image not
    // converted.
    const std::string address = "notes://srv/0123456789abcdef/" + kView + "/" + kNote + "?OpenDocument";
    const Imported icon = Import("<p><a href=\"" + address + "\"><img src=\"/icons/doclink.gif\"></a></p>", options);
    ASSERT_EQ(icon.status, 0);
    EXPECT_EQ(icon.problem, "");
    const ItemRecord* link = First(icon, talix::kSigLinkExport2);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(Words(*link, kLinkViewAt), "0123456789ABCDEF0123456789ABCDEF");
    EXPECT_EQ(icon.Count(talix::kSigV4HotspotBegin), 0u);
    EXPECT_EQ(icon.Count(talix::kSigGraphic), 0u);

    // On text: the text once, inside the link's hotspot.
    const Imported text = Import("<p><a href=\"" + address + "\">Doc</a> after</p>", options);
    ASSERT_EQ(text.status, 0);
    EXPECT_EQ(text.problem, "");
    EXPECT_EQ(text.Texts(), "Doc| after");
    EXPECT_EQ(text.Count(talix::kSigV4HotspotEnd), 1u);
    // The link takes the anchor's first text; the others follow it.
    const Imported more = Import("<p><a href=\"" + address + "\">Doc <b>more</b></a></p>", options);
    ASSERT_EQ(more.status, 0);
    EXPECT_EQ(more.problem, "");
    EXPECT_EQ(more.Texts(), "Doc |more");
    EXPECT_EQ(more.Count(talix::kSigV4HotspotEnd), 1u);

    // An image after a link without one is converted.
    const Imported after = Import("<p><a href=\"" + address + "\">Doc</a><img src=\"http://x.com/p.gif\"></p>", options);
    ASSERT_EQ(after.status, 0);
    EXPECT_EQ(after.Count(talix::kSigGraphic), 1u);

    // The document-link text stands for the link's icon: a link without
    // text, the text gone.
    plat::IniSet("ZelundaDocLinkText", "(Link)");
    const Imported marker = Import("<p><a href=\"" + address + "\"><span>(link)</span></a>x</p>", options);
    plat::IniSet("ZelundaDocLinkText", "");
    ASSERT_EQ(marker.status, 0);
    EXPECT_EQ(marker.problem, "");
    EXPECT_EQ(marker.Count(talix::kSigLinkExport2), 1u);
    EXPECT_EQ(marker.Count(talix::kSigV4HotspotBegin), 0u);
    EXPECT_EQ(marker.Texts(), "x");

    // A "/__" address whose replica id is a host name becomes a URL hotspot
    // that the link builder closes: the a's close adds no second end.
    const Imported host = Import("<p><a href=\"/__www.example.com/.nsf/x\">Site</a></p>", options);
    ASSERT_EQ(host.status, 0);
    EXPECT_EQ(host.problem, "");
    EXPECT_EQ(host.Count(talix::kSigV4HotspotEnd), 1u);
    EXPECT_EQ(host.Texts(), "Site");

    // A fragment names the anchor of the link, each "%20" a blank, also at
    // its very end.
    const Imported fragment =
        Import("<p><a href=\"/db/" + kView + "/" + kNote + "#a%20b%20\">t</a></p>", "ResolveDoclinks=Yes BasePathname=db");
    ASSERT_EQ(fragment.status, 0);
    EXPECT_EQ(fragment.problem, "");
    link = First(fragment, talix::kSigLinkExport2);
    ASSERT_NE(link, nullptr);
    EXPECT_NE(link->bytes.find(std::string("a b ") + '\0'), std::string::npos);
    EXPECT_EQ(Words(*link, kLinkNoteAt), "FEDCBA9876543210FEDCBA9876543210");

    // The same addresses without the option are URL hotspots.
    const Imported plain = Import("<p><a href=\"" + address + "\">Doc</a></p>");
    EXPECT_EQ(plain.Count(talix::kSigLinkExport2), 0u);
    EXPECT_EQ(plain.Count(talix::kSigV4HotspotBegin), 1u);
}

TEST_F(LinkImport, FileHotspots) {
    // A file attached to the note, named after "$File/": the hotspot names
    // the attachment as the note stores it (the href may write it in other
    // case), then the caption: the anchor's text cut to 31 characters.
    const plat::NOTEID note = NoteWithAttachment("report.doc");
    const std::string caption(40, 'c');
    const Imported file =
        Import("<p><a href=\"/db.nsf/0/" + UnidOf(note) + "/$File/REPORT.doc\">" + caption + "</a></p>", nullptr, note);
    ASSERT_EQ(file.status, 0);
    EXPECT_EQ(file.problem, "");
    const ItemRecord* hotspot = First(file, talix::kSigHotspotBegin);
    ASSERT_NE(hotspot, nullptr);
    EXPECT_EQ(hotspot->Word(4), 4);
    EXPECT_EQ(TextAt(*hotspot, 16), "report.doc");
    EXPECT_EQ(TextAt(*hotspot, 16 + 11), std::string(31, 'c'));
    EXPECT_EQ(file.Count(talix::kSigV4HotspotEnd), 1u);

    // A file held in a resource note, with no image in the anchor: the
    // attachment icon (the resource itself is not found: an empty name).
    const Imported resource =
        Import("<p><a href=\"/db.nsf/Files/key/$File/doc.pdf\">doc</a></p>", "ImageView=Files BasePathname=db.nsf");
    ASSERT_EQ(resource.status, 0);
    EXPECT_EQ(resource.problem, "");
    hotspot = First(resource, talix::kSigHotspotBegin);
    ASSERT_NE(hotspot, nullptr);
    EXPECT_EQ(TextAt(*hotspot, 16), "");
    EXPECT_EQ(TextAt(*hotspot, 17), "doc.pdf");
    const ItemRecord* header = First(resource, talix::kSigImageHeader);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->Word(10), talix::kAttachmentIconWidth);
    EXPECT_EQ(header->Word(12), talix::kAttachmentIconHeight);
    EXPECT_EQ(header->Dword(16), talix::kAttachmentIconSize);
    const ItemRecord* segment = First(resource, talix::kSigImageSegment);
    ASSERT_NE(segment, nullptr);
    EXPECT_EQ(segment->bytes.size(), 152u);
    EXPECT_EQ(segment->bytes.substr(12, 139),
              std::string(reinterpret_cast<const char*>(talix::kAttachmentIcon), talix::kAttachmentIconSize));

    // A file name no record can hold: no hotspot, the text kept.
    const Imported huge = Import("<p><a href=\"/db.nsf/Files/key/$File/" + std::string(100000, 'x') + "\">doc</a></p>",
                                 "ImageView=Files BasePathname=db.nsf");
    EXPECT_EQ(huge.problem, "");
    EXPECT_EQ(huge.Count(talix::kSigHotspotBegin), 0u);
    EXPECT_EQ(huge.Count(talix::kSigV4HotspotEnd), 0u);
    EXPECT_EQ(huge.Texts(), "doc");

    // Inside an open link hotspot the document-link icon writes nothing.
    const Imported inLink = Import("<p><a href=\"http://x.com/\"><img src=\"/icons/doclink.gif\">t</a></p>");
    ASSERT_EQ(inLink.status, 0);
    EXPECT_EQ(inLink.Count(talix::kSigGraphic), 0u);
    EXPECT_EQ(inLink.Texts(), "t");
}

TEST_F(LinkImport, ResourceNotesOfFileHotspots) {
    // A view of resource notes by key, and one note holding a picture.
    const std::string picture = dir_.file("icon.gif");
    std::ofstream(picture, std::ios::binary)
        << std::string(reinterpret_cast<const char*>(talix::kAttachmentIcon), talix::kAttachmentIconSize);
    plat::DBHANDLE db = 0;
    ASSERT_EQ(plat::DbOpen(path_.c_str(), &db), 0);
    plat::NOTEID view = 0;
    ASSERT_EQ(plat::ViewNoteCreate(db, plat::ViewDefinition{"Files", "SELECT Form = \"Res\"", {"Key"}, {"sorted"}}, &view),
              0);
    const auto addResource = [&] {
        plat::NOTEHANDLE note = 0;
        plat::NOTEID id = 0;
        EXPECT_EQ(plat::NoteCreate(db, &note), 0);
        EXPECT_EQ(plat::ItemSetText(note, "Form", "Res", 3), 0);
        EXPECT_EQ(plat::ItemSetText(note, "Key", "key", 3), 0);
        EXPECT_EQ(plat::NoteAttachFile(note, "$FILE", 5, picture.c_str(), "icon.gif", plat::ATTACH_DEFAULT), 0);
        EXPECT_EQ(plat::NoteUpdate(note, 0), 0);
        plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id);
        plat::NoteClose(note);
        return id;
    };
    const auto exists = [&](plat::NOTEID id) {
        plat::NOTEHANDLE note = 0;
        if (plat::NoteOpen(db, id, 0, &note) != 0) return false;
        plat::NoteClose(note);
        return true;
    };
    const std::string html = "<p><a href=\"/db.nsf/Files/key/$File/doc.gif\"><img src=\"pic.gif\"></a></p>";

    // The resource's picture is copied into the note and shown in the
    // hotspot under its stored name; the resource note is deleted.
    const plat::NOTEID first = addResource();
    const Imported shown = Import(html, "ImageView=Files BasePathname=db.nsf");
    ASSERT_EQ(shown.status, 0);
    EXPECT_EQ(shown.problem, "");
    const ItemRecord* hotspot = First(shown, talix::kSigHotspotBegin);
    ASSERT_NE(hotspot, nullptr);
    EXPECT_EQ(TextAt(*hotspot, 16), "icon.gif");
    EXPECT_EQ(TextAt(*hotspot, 16 + 9), "doc.gif");
    const ItemRecord* header = First(shown, talix::kSigImageHeader);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->Dword(16), talix::kAttachmentIconSize);
    EXPECT_FALSE(exists(first));

    // With PreserveImageNotes the resource note stays.
    const plat::NOTEID second = addResource();
    const Imported kept = Import(html, "ImageView=Files BasePathname=db.nsf PreserveImageNotes=Yes");
    ASSERT_EQ(kept.status, 0);
    EXPECT_TRUE(exists(second));
    plat::DbClose(db);
}

TEST_F(LinkImport, LinkTextsAreWrittenInsideTheirHotspots) {
    const char* options = "ResolveDoclinks=Yes";
    auto styleOf = [](const ItemRecord& run) { return static_cast<std::uint8_t>(run.bytes[5]); };

    // A link within the document: its text in the item's link font, not in
    // the anchor's own, between the link record and the hotspot's end.
    const Imported same = Import("<p><a href=\"#top\"><i>up</i></a></p>");
    ASSERT_EQ(same.status, 0);
    EXPECT_EQ(same.problem, "");
    EXPECT_NE(Shown(same).find("B #FF7E #FFF6 #FFAD B #FF92 E 'up' #AE E"), std::string::npos) << Shown(same);
    EXPECT_EQ(styleOf(same.Run("up")), kAttrUnderline);

    // A Notes link on text: its first text in the fonts the HTML gives it.
    const std::string address = "notes://srv/0123456789abcdef/" + kView + "/" + kNote + "?OpenDocument";
    const Imported notes = Import("<p><font color=\"red\"><a href=\"" + address + "\"><b>Doc</b> x</a></font></p>", options);
    ASSERT_EQ(notes.status, 0);
    EXPECT_EQ(notes.problem, "");
    EXPECT_NE(Shown(notes).find("#FF92 E B 'Doc' C1 E #AE E B ' x'"), std::string::npos) << Shown(notes);
    EXPECT_EQ(styleOf(notes.Run("Doc")), kAttrBold | kAttrUnderline);
    EXPECT_EQ(notes.Run("Doc").bytes[6], notes.Run(" x").bytes[6]);   // the font element's colour

    // A replica id that is a host name makes a URL hotspot: the text node's
    // fonts again; without a text node (a "/__" address), the text in the
    // URL font, blue and underlined, wrapped with its colour.
    const Imported host = Import("<p><a href=\"notes://srv/0123.56789abcdef/x\"><i>Host</i></a></p>", options);
    ASSERT_EQ(host.status, 0);
    EXPECT_EQ(host.problem, "");
    EXPECT_NE(Shown(host).find("#FFAD B 'Host' C1 E #AE E"), std::string::npos) << Shown(host);
    EXPECT_EQ(styleOf(host.Run("Host")), kAttrItalic | kAttrUnderline);
    const Imported site = Import("<p><a href=\"/__0123456.89abcdef.nsf/x\"><i>Site</i></a></p>", options);
    ASSERT_EQ(site.status, 0);
    EXPECT_EQ(site.problem, "");
    EXPECT_NE(Shown(site).find("#FFAD B 'Site' C1 E #AE E"), std::string::npos) << Shown(site);
    EXPECT_EQ(styleOf(site.Run("Site")), kAttrUnderline);
    const ItemRecord* color = First(site, talix::kSigColor);
    ASSERT_NE(color, nullptr);
    EXPECT_EQ(color->bytes.substr(4, 3), std::string("\0\0\xFF", 3));
}

} // namespace
