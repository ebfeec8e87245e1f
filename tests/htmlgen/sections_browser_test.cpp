// Collapsible sections in CSS shown in a real browser (headless Chromium):
// a section inside another's body, and one in a row of a tabbed table, are
// opened and closed by their links, and the page reports what is visible
// after each click.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "active_content_fixture.h"
#include "support/headless_browser.h"
#include "support/test_support.h"
#include "table_records.h"

namespace htmlgen_test {
namespace {

// Clicks the links named by the page's list "clicks" (section number and
// 'e' to expand or 'c' to collapse) and writes, a line per click, the
// click and the words visible then (innerText of the body without this
// script's output), or ERROR and the message.
constexpr const char* kSectionClicker = R"(<script>
(function () {
  var out = [];
  function visible() { return document.body.innerText.replace(/\s+/g, ' ').trim(); }
  out.push('START ' + visible());
  for (var i = 0; i < clicks.length; i++) {
    var line = clicks[i];
    try {
      var link = document.querySelector('a[onclick="expandCollapseSection(' + clicks[i].substring(0, 1) + ",'" +
                                        clicks[i].substring(1) + "')\"]");
      link.onclick();
      line += ' ' + visible();
    } catch (e) {
      line += ' ERROR ' + e.message;
    }
    out.push(line);
  }
  var pre = document.createElement('pre');
  pre.id = 'talix-sections';
  pre.textContent = out.join('\n');
  document.body.appendChild(pre);
})();
</script>
)";

// A section as the section builder writes one: its hotspot, its bar between
// brackets, the body records, the hotspot's end.
Records Section(const std::string& title, const Records& body) {
    Records records = {Bracket(0xDD, 0xFFAD), HotspotBegin(0xFFAD, 12, 8, {}), Bracket(0xDD, 0xFFAC),
                       SectionBar(0, title), Bracket(0xDE, 0xFFAC)};
    records.insert(records.end(), body.begin(), body.end());
    records.push_back(HotspotEnd());
    records.push_back(Bracket(0xDE, 0x00AE));
    return records;
}

class SectionsInBrowser : public ActiveContentTest {
protected:
    std::string Clicks(const Records& records, const char* options, const char* clicks, std::string* html) {
        *html = Generate(Define(records), "HTML", options);
        talix_test::TempDir dir;
        const std::string page = dir.file("sections.html");
        std::ofstream(page, std::ios::binary) << *html << "<script>var clicks = [" << clicks << "];</script>"
                                              << kSectionClicker;
        return talix_test::ReportedText(talix_test::DumpDocuments(chromium_, {page}, 1, 120).front(), "talix-sections");
    }
    std::string chromium_ = talix_test::ChromiumPath();
};

TEST_F(SectionsInBrowser, ASectionInsideAnotherOpensAndClosesWithinItsBody) {
    if (chromium_.empty()) {
        if (talix_test::BrowserRequired()) FAIL() << "Chromium is required here (TALIX_REQUIRE_BROWSER) but absent";
        GTEST_SKIP() << "no Chromium here (scripts/setup.sh installs it)";
    }
    // Both collapsed at first: only the outer title and what follows it
    // show; the inner section and the outer body's words after it belong to
    // the outer body and show and hide with it.
    Records body = {TextBytes("alpha")};
    const Records inner = Section("Inner", {TextBytes("beta")});
    body.insert(body.end(), inner.begin(), inner.end());
    body.push_back(TextBytes("gamma"));
    Records records = Section("Outer", body);
    records.push_back(TextBytes("after"));
    std::string html;
    EXPECT_EQ(Clicks(records, "SectionsInCSS=Yes", "'1e', '2e', '1c', '1e', '2c'", &html),
              "START Outer after\n"
              "1e Outer alpha Inner gamma after\n"
              "2e Outer alpha Inner beta gamma after\n"
              "1c Outer after\n"
              "1e Outer alpha Inner beta gamma after\n"
              "2c Outer alpha Inner gamma after")
        << html;
}

TEST_F(SectionsInBrowser, ASectionInATabbedRowStaysInThatRow) {
    if (chromium_.empty()) {
        if (talix_test::BrowserRequired()) FAIL() << "Chromium is required here (TALIX_REQUIRE_BROWSER) but absent";
        GTEST_SKIP() << "no Chromium here (scripts/setup.sh installs it)";
    }
    // The first cell of the second row opens with a section: the section and
    // the cell's words after it stay in that row's division, hidden while
    // the first row's tab is chosen.
    std::vector<CellFields> cells = Grid(2, 1);
    cells[0].extra = {TabLabel("one")};
    cells[1].text.clear();
    const Records section = Section("Inside", {TextBytes("delta")});
    cells[1].extra = {TabLabel("two")};
    cells[1].extra.insert(cells[1].extra.end(), section.begin(), section.end());
    cells[1].extra.push_back(TextBytes("epsilon"));
    Records records = {Definition(1), Reference(1), TextBytes("Before"), PreTable(0, 4)};
    const Records table = Table(cells);
    records.insert(records.end(), table.begin(), table.end());
    std::string html;
    EXPECT_EQ(Clicks(records, "SectionsInCSS=Yes TabbedTablesInCSS=Yes", "'1e'", &html),
              "START Before one two r0c0\n1e Before one two r0c0")
        << html;
}

} // namespace
} // namespace htmlgen_test
