// The active parts of a generated page in a real browser (headless
// Chromium): event code run by a click, pop-up texts, computed text and
// links to anchors of the same page, as the page's own script finds them.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "active_content_fixture.h"
#include "support/headless_browser.h"
#include "support/markup_validators.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace htmlgen_test {
namespace {

// Writes a line per anchor of the page: "CLICK" and what the anchor's
// click handler left in window.clicked (a window it opens: its address), "TITLE" and its title, "HREF" and
// the address it leads to (made absolute by the browser), "HASH" and
// whether an anchor of the page carries the name its fragment points to;
// then "TEXT" and the body's words, and "ERROR" for each script error.
// Written as CDATA so that an XHTML page holds it too.
constexpr const char* kReporter = R"(<script>//<![CDATA[
(function () {
  var out = [];
  window.addEventListener('error', function (e) { out.push('ERROR ' + e.message); });
  // A window a click opens: its address, as the page's base resolves it.
  window.open = function (address) {
    window.clicked = new URL(address, document.baseURI).href;
    return {document: {getElementsByName: function () { return [{}]; }}};
  };
  var links = document.getElementsByTagName('a');
  for (var i = 0; i < links.length; i++) {
    var a = links[i];
    if (a.getAttribute('onclick') !== null && a.getAttribute('title') === null) {
      window.clicked = undefined;
      try { a.onclick(); out.push('CLICK ' + JSON.stringify(window.clicked)); }
      catch (e) { out.push('ERROR ' + e.message); }
    }
    if (a.getAttribute('title') !== null && a.getAttribute('href') === null)
      out.push('TITLE ' + JSON.stringify(a.title));
    var href = a.getAttribute('href');
    if (href !== null && href !== '' && href.charAt(0) !== '#') out.push('HREF ' + a.href);
    if (href !== null && href.charAt(0) === '#') {
      var name = decodeURIComponent(a.hash.substring(1)), found = false;
      var named = document.getElementsByName(name);
      for (var k = 0; k < named.length; k++) found = found || named[k].tagName.toLowerCase() === 'a';
      out.push('HASH ' + JSON.stringify(name) + ' ' + (found ? 'found' : 'missing'));
    }
  }
  var body = document.body.cloneNode(true), scripts = body.getElementsByTagName('script');
  while (scripts.length > 0) scripts[0].parentNode.removeChild(scripts[0]);
  out.push('TEXT ' + body.textContent.replace(/\s+/g, ' ').trim());
  var pre = document.createElement('pre');
  pre.id = 'talix-active';
  pre.textContent = out.join('\n');
  document.body.appendChild(pre);
})();
//]]></script>
)";

// The report's text with the entities of its serialization read.
std::string Unescaped(std::string text) {
    for (const auto& [entity, character] : {std::pair<std::string, std::string>{"&lt;", "<"}, {"&gt;", ">"},
                                            {"&quot;", "\""}, {"&amp;", "&"}}) {
        for (std::size_t at = 0; (at = text.find(entity, at)) != std::string::npos; at += character.size())
            text.replace(at, entity.size(), character);
    }
    return text;
}

class ActivePartsInBrowser : public ActiveContentTest {
protected:
    // The report of each page (UTF-8 markup; an XHTML document is read as
    // XML).
    std::vector<std::string> Reports(const std::vector<std::string>& markups, const std::vector<bool>& xhtml) {
        talix_test::TempDir dir;
        std::vector<std::string> pages;
        for (std::size_t i = 0; i < markups.size(); ++i) {
            std::string page = markups[i];
            const std::size_t end = page.rfind("</body>");
            page.insert(end == std::string::npos ? page.size() : end, kReporter);
            // A fragment has no document element to read as XML.
            const bool xml = xhtml[i] && page.find("<html") != std::string::npos;
            pages.push_back(dir.file("page" + std::to_string(i) + (xml ? ".xhtml" : ".html")));
            std::ofstream(pages.back(), std::ios::binary) << page;
        }
        std::vector<std::string> reports;
        for (const std::string& dom : talix_test::DumpDocuments(chromium_, pages, 4, 120))
            reports.push_back(Unescaped(talix_test::ReportedText(dom, "talix-active")));
        return reports;
    }
    bool Skip() {
        if (!chromium_.empty()) return false;
        if (talix_test::BrowserRequired()) ADD_FAILURE() << "Chromium is required here (TALIX_REQUIRE_BROWSER) but absent";
        return true;
    }
    std::string chromium_ = talix_test::ChromiumPath();
};

Records Wrap(const FixtureRecord& begin, const Records& inside) {
    Records records = {Bracket(0xDD, 0xFFAD), begin};
    records.insert(records.end(), inside.begin(), inside.end());
    records.push_back(HotspotEnd());
    records.push_back(Bracket(0xDE, 0x00AE));
    return records;
}

// The code of an event keeps its blanks and tabs whatever the spacing
// options of the text: a run of blanks or a tab in one of its strings is
// that string's, not non-breaking spaces.
TEST_F(ActivePartsInBrowser, EventCodeRunsAsStoredWhateverTheSpacingOptions) {
    Records inside = Event(1, "window.clicked = \"a  b\\tc\td \" + '<&>';");
    inside.push_back(TextBytes("press"));
    ZervaRTChunk* chunk = Define(Wrap(HotspotBegin(0xFFAD, 2, 0x200000, {}), inside));
    std::vector<std::string> markups;
    std::vector<bool> xhtml;
    for (const char* format : {"HTML", "XHTML"}) {
        for (const char* options : {"", "Zelunda=Yes", "PreserveSpaces=Yes PreserveTabs=3"}) {
            markups.push_back(plat::LmbcsToNative(Generate(chunk, format, options)));
            xhtml.push_back(format[0] == 'X');
            EXPECT_NE(markups.back().find("clicked = &quot;a  b\\tc&#9;d &quot; + '&lt;&amp;&gt;';return false;\""),
                      std::string::npos)
                << options << markups.back();
        }
    }
    std::string report;
    EXPECT_TRUE(talix_test::XhtmlValid(markups[3], &report)) << report;
    if (Skip()) GTEST_SKIP() << "no Chromium here (scripts/setup.sh installs it)";
    const std::vector<std::string> reports = Reports(markups, xhtml);
    for (std::size_t i = 0; i < reports.size(); ++i)
        EXPECT_EQ(reports[i], "CLICK \"a  b\\tc\\td <&>\"\nTEXT press") << markups[i];
}


// A link to an anchor of the same page (shown with a preset, which turns
// on PreserveSpaces and PreserveTabs) reaches the anchor of its name: the
// anchor's name keeps blanks in a row, a blank at its end and a tab as
// they are, and the link's address writes them as escapes.
TEST_F(ActivePartsInBrowser, LinksReachTheAnchorsOfTheirNameOnTheSamePage) {
    const std::uint32_t view[4] = {0x11, 0x22, 0x33, 0x44}, document[4] = {0x55, 0x66, 0x77, 0x88};
    const Bytes link = NoteLink(1, 2, view, document);
    // The note was sent as the linked document: its anchors are this page's.
    std::string keepSent(2, '\0');
    keepSent.append(reinterpret_cast<const char*>(link.data()) + 24, 16);
    const std::vector<std::string> names = {"plain", "two  blanks", "end ", "tab\there", "caf\x82 <&>"};
    Records records;
    for (const std::string& name : names) {
        records.push_back(talix_test::HeadAndText(0xFFCB, 12, 4, name));
        records.push_back(TextBytes("at " + name + ". "));
    }
    for (const std::string& name : names) {
        const Records linked = Wrap(HotspotBegin(0xFFAD, 11, 0x1, {}),
                                    {ExportedLink(link, "c", "", name), TextBytes("go")});
        records.insert(records.end(), linked.begin(), linked.end());
    }
    ZervaRTChunk* chunk = DefineWith(records, {{"$KeepSent", keepSent}});
    std::vector<std::string> markups;
    for (const char* format : {"HTML", "XHTML"}) {
        for (const char* options : {"Zelunda=Yes", "Duzuvore=Yes"}) {
            markups.push_back(plat::LmbcsToNative(Generate(chunk, format, options)));
            const std::string& markup = markups.back();
            EXPECT_NE(markup.find("<a name=\"two  blanks\"></a>"), std::string::npos) << markup;
            EXPECT_NE(markup.find("<a name=\"tab&#9;here\"></a>"), std::string::npos) << markup;
            EXPECT_NE(markup.find("<a href=\"#tab%09here\""), std::string::npos) << markup;
            // Other names and the text around them are written as before.
            EXPECT_NE(markup.find("<a name=\"caf&eacute; &lt;&amp;&gt;\"></a>at caf&eacute; &lt;&amp;&gt;."),
                      std::string::npos)
                << markup;
        }
    }
    if (Skip()) GTEST_SKIP() << "no Chromium here (scripts/setup.sh installs it)";
    const std::vector<std::string> reports = Reports(markups, {false, false, true, true});
    for (std::size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i], "HASH \"plain\" found\nHASH \"two  blanks\" found\nHASH \"end \" found\n"
                              "HASH \"tab\\there\" found\nHASH \"caf\u00e9 <&>\" found\n"
                              "TEXT at plain. at two blanks. at end . at tab here. at caf\u00e9 <&>. gogogogogo")
            << markups[i];
    }
}

// The text of a pop-up, stored or a formula's result, and computed text
// keep their line ends: the pop-up's lines show apart and the words on
// either side of a line end stay apart.
TEST_F(ActivePartsInBrowser, PopupsAndComputedTextKeepTheirLineEnds) {
    Records records = Wrap(HotspotBegin(0xFFA9, 1, 0, TextData("first \"line\"\nsecond <line>")), {TextBytes("tip")});
    const Records parts[] = {
        Wrap(HotspotBegin(0xFFA9, 22, 0x10, CompiledFormula("\"one\" + @NewLine + \"two\"")), {TextBytes("over")}),
        Wrap(HotspotBegin(0xFFA9, 1, 0x40010, CompiledFormula("\"three\" + @NewLine + \"<four>\"")), {}),
        {TextBytes(" end")},
    };
    for (const Records& part : parts) records.insert(records.end(), part.begin(), part.end());
    ZervaRTChunk* chunk = Define(records);
    std::vector<std::string> markups;
    for (const char* format : {"HTML", "XHTML"}) {
        for (const char* options : {"", "Zelunda=Yes"}) {
            markups.push_back(plat::LmbcsToNative(Generate(chunk, format, options)));
            const std::string& markup = markups.back();
            EXPECT_NE(markup.find(" title=\"first &quot;line&quot;&#10;second &lt;line&gt;\""), std::string::npos)
                << markup;
        }
    }
    std::string report;
    EXPECT_TRUE(talix_test::XhtmlValid(markups[2], &report)) << report << markups[2];
    if (Skip()) GTEST_SKIP() << "no Chromium here (scripts/setup.sh installs it)";
    const std::vector<std::string> reports = Reports(markups, {false, false, true, true});
    for (std::size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i], "TITLE \"first \\\"line\\\"\\nsecond <line>\"\nTITLE \"one\\ntwo\"\n"
                              "TEXT tipoverthree <four> end")
            << markups[i];
    }
}

// A link to a document of a database, relative to the database's folder
// (DoclinksRelative, or the preset that turns it on), under a link
// directory given with its last slash: the address leads into that
// directory, where the replica's name ran into the directory's last name.
TEST_F(ActivePartsInBrowser, RelativeLinksLeadIntoTheLinkDirectory) {
    const std::uint32_t view[4] = {0x11, 0x22, 0x33, 0x44}, document[4] = {0x55, 0x66, 0x77, 0x88};
    const std::uint32_t none[4] = {};
    const std::string database = "__0000000200000001.NSF", viewId = "/00000022000000110000004400000033";
    const Records link = Wrap(HotspotBegin(0xFFAD, 11, 0x1, {}),
                              {ExportedLink(NoteLink(1, 2, view, document), "c", ""), TextBytes("doc")});
    Records records = link;
    records.push_back(ExportedLink(NoteLink(1, 2, view, none), "c", "srv"));
    ZervaRTChunk* chunk = Define(records);
    const std::string document0 = viewId + "/00000066000000550000008800000077";
    struct Case {
        const char* options;
        std::string first, second;
    } cases[] = {
        {"LinkURLDirectory=http://srv/ DoclinksRelative=Yes", "http://srv/" + database + document0 + "?OpenDocument",
         "http://srv/" + database + viewId + "?OpenView"},
        {"LinkURLDirectory=http://srv/base/ Duzuvore=Yes", "http://srv/base/" + database + document0,
         "http://srv/base/" + database + viewId},
        // As before: the default directory, and paths that begin with a
        // slash of their own.
        {"DoclinksRelative=Yes", "/" + database + document0 + "?OpenDocument", "/" + database + viewId + "?OpenView"},
        {"LinkURLDirectory=http://srv/", "http://srv//" + database + document0 + "?OpenDocument",
         "http://srv/srv/" + database + viewId + "?OpenView"},
    };
    std::vector<std::string> markups;
    for (const Case& c : cases) {
        markups.push_back(Body(chunk, c.options));
        EXPECT_NE(markups.back().find("<a href=\"" + c.first + "\""), std::string::npos) << c.options << markups.back();
        EXPECT_NE(markups.back().find("<a href=\"" + c.second + "\""), std::string::npos) << c.options << markups.back();
    }
    if (Skip()) GTEST_SKIP() << "no Chromium here (scripts/setup.sh installs it)";
    const std::vector<std::string> reports = Reports({markups[0], markups[1]}, {false, false});
    for (std::size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i], "HREF " + cases[i].first + "\nHREF " + cases[i].second + "\nTEXT doc") << markups[i];
    }
}

// A wiki link of a note whose database lies outside the data directory
// leads to the resolving agent or form of that database on the host that
// serves the page: the database's absolute path is a path there, where its
// first folder was taken for a host.
TEST_F(ActivePartsInBrowser, WikiLinksLeadToTheirDatabaseOnTheServingHost) {
    ZervaRTChunk* chunk = Define(Wrap(HotspotBegin(0xFFAD, 2, 0x10, CompiledFormula("1")),
                                      {IdName({"", "WikiLink", "", "Big Topic", "", ""}), TextBytes("wiki")}));
    const std::string path = chunk->item->databasePath;
    ASSERT_EQ(path.front(), '/') << path;
    const std::string agent = path + "/ResolveWikiLink?OpenAgent&Form=Document&WikiText=Big+Topic";
    std::vector<std::string> markups;
    for (const char* options : {"", "UseJavaScript=Yes"}) {
        markups.push_back(Generate(chunk, "HTML", options));
        EXPECT_EQ(markups.back().find("//" + path.substr(1)), std::string::npos) << markups.back();
        // As a page served from a host would read it.
        markups.back().insert(markups.back().find("<head>") + 6, "<base href=\"http://served.example/page.html\">");
    }
    EXPECT_NE(markups[0].find("<a href=\"http:" + path + "/ResolveWikiLink?OpenAgent&amp;Form=Document&amp;WikiText=Big+Topic\""),
              std::string::npos)
        << markups[0];
    if (Skip()) GTEST_SKIP() << "no Chromium here (scripts/setup.sh installs it)";
    const std::vector<std::string> reports = Reports(markups, {false, false});
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0], "HREF http://served.example" + agent + "\nTEXT wiki") << markups[0];
    EXPECT_EQ(reports[1], "CLICK \"http://served.example" + path + "/Document?OpenForm\"\nTEXT wiki") << markups[1];
}

} // namespace
} // namespace htmlgen_test
