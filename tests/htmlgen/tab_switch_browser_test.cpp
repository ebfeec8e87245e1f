// Tabbed tables in CSS shown in a real browser (headless Chromium): every
// tab of the strip is clicked, and the page reports what each click left
// shown and any error the page's script raised.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "generation_fixture.h"
#include "support/headless_browser.h"
#include "support/record_fixture.h"
#include "support/test_support.h"
#include "table_records.h"

namespace {

using htmlgen_test::Records;

// Clicks each tab of the page in turn and writes, a line per click, the tab's
// number, then "ERROR <message>" when the click raised one, else the display
// of each row division of table 1 ("block" or "none", "-" when absent).
constexpr const char* kTabClicker = R"(<script>
(function () {
  var out = [], tabs = document.querySelectorAll('ul#tabnav a');
  for (var k = 0; k < tabs.length; k++) {
    var line = 'TAB ' + (k + 1);
    try {
      tabs[k].onclick();
      for (var r = 1; r <= 3; r++) {
        var row = document.getElementById('ttbl1row' + r);
        line += ' ' + (row ? row.style.display : '-');
      }
    } catch (e) {
      line += ' ERROR ' + e.message;
    }
    out.push(line);
  }
  var pre = document.createElement('pre');
  pre.id = 'talix-tabs';
  pre.textContent = out.join('\n');
  document.body.appendChild(pre);
})();
</script>
)";

// For a page of several tabbed tables: a line per table for each click of
// its tabs ("T<table> TAB <k>" and the display of that table's row
// divisions 1 to 2, or ERROR), a line "END" with the display of every
// table's row divisions after the last click, a line "STRIPS" with, for each tab strip,
// whether its items float and its bottom border's colour, and last a line
// "IDS" naming every id the page holds twice.
constexpr const char* kTablesClicker = R"(<script>
(function () {
  var out = [];
  for (var t = 1; t <= 3; t++) {
    for (var k = 1; k <= 2; k++) {
      var line = 'T' + t + ' TAB ' + k, link = document.getElementById('t' + t + 'link' + k);
      try {
        link.onclick();
        for (var r = 1; r <= 2; r++) {
          var row = document.getElementById('ttbl' + t + 'row' + r);
          line += ' ' + (row ? row.style.display : '-');
        }
      } catch (e) {
        line += ' ERROR ' + e.message;
      }
      out.push(line);
    }
  }
  var end = 'END';
  for (var t = 1; t <= 3; t++) {
    for (var r = 1; r <= 2; r++) {
      var row = document.getElementById('ttbl' + t + 'row' + r);
      end += ' ' + (row ? row.style.display : '-');
    }
  }
  out.push(end);
  var strips = document.querySelectorAll('ul'), look = 'STRIPS';
  for (var i = 0; i < strips.length; i++) {
    var item = strips[i].querySelector('li');
    look += ' ' + getComputedStyle(item).cssFloat + '/' + getComputedStyle(strips[i]).borderBottomColor;
  }
  out.push(look);
  var seen = {}, twice = 'IDS', all = document.querySelectorAll('[id]');
  for (var i = 0; i < all.length; i++) {
    if (seen[all[i].id]) twice += ' ' + all[i].id;
    seen[all[i].id] = true;
  }
  out.push(twice);
  var pre = document.createElement('pre');
  pre.id = 'talix-tabs';
  pre.textContent = out.join('\n');
  document.body.appendChild(pre);
})();
</script>
)";

class TabSwitchInBrowser : public htmlgen_test::GenerationTest {
public:
    std::string GenerateTabs(const Records& records) {
        return Generate(Define(records), "HTML", "TabbedTablesInCSS=Yes");
    }
};

// The page of the table's records, rendered with TabbedTablesInCSS and the
// clicker appended, after each click of its tabs (see kTabClicker).
std::string ClicksOf(TabSwitchInBrowser* test, const std::string& chromium, const Records& table,
                     std::string* html) {
    Records records = {htmlgen_test::Definition(1), htmlgen_test::Reference(1), htmlgen_test::TextBytes("Before"),
                       htmlgen_test::PreTable(0, 4)};
    records.insert(records.end(), table.begin(), table.end());
    *html = test->GenerateTabs(records);
    talix_test::TempDir dir;
    const std::string page = dir.file("tabs.html");
    std::ofstream(page, std::ios::binary) << *html << kTabClicker;
    return talix_test::ReportedText(talix_test::DumpDocuments(chromium, {page}, 1, 120).front(), "talix-tabs");
}

TEST_F(TabSwitchInBrowser, EveryTabSwitchesWithoutErrorWhereARowHasNoDivision) {
    const std::string chromium = talix_test::ChromiumPath();
    if (chromium.empty()) {
        if (talix_test::BrowserRequired()) FAIL() << "Chromium is required here (TALIX_REQUIRE_BROWSER) but absent";
        GTEST_SKIP() << "no Chromium here (scripts/setup.sh installs it)";
    }
    std::string html;
    // The second row stores no first cell: its division opens in the cell
    // it has, and its tab shows it.
    std::vector<htmlgen_test::CellFields> cells = htmlgen_test::Grid(2, 2);
    cells[0].extra = {htmlgen_test::TabLabel("first")};
    cells[3].extra = {htmlgen_test::TabLabel("second")};
    cells.erase(cells.begin() + 2);
    EXPECT_EQ(ClicksOf(this, chromium, htmlgen_test::Table(cells), &html), "TAB 1 block none -\nTAB 2 none block -")
        << html;
    EXPECT_LT(html.find("ttbl1row2"), html.find("r1c1")) << html;
}

TEST_F(TabSwitchInBrowser, EveryRowHasATabAndEveryTabSwitchesWithoutError) {
    const std::string chromium = talix_test::ChromiumPath();
    if (chromium.empty()) {
        if (talix_test::BrowserRequired()) FAIL() << "Chromium is required here (TALIX_REQUIRE_BROWSER) but absent";
        GTEST_SKIP() << "no Chromium here (scripts/setup.sh installs it)";
    }
    std::string html;
    // Three rows, the middle one without a label and the last with two: a
    // tab for each row, the middle one named as having no label, each tab
    // showing its own row.
    std::vector<htmlgen_test::CellFields> cells = htmlgen_test::Grid(3, 1);
    cells[0].extra = {htmlgen_test::TabLabel("first")};
    cells[2].extra = {htmlgen_test::TabLabel("third"), htmlgen_test::TabLabel("extra")};
    EXPECT_EQ(ClicksOf(this, chromium, htmlgen_test::Table(cells), &html),
              "TAB 1 block none none\nTAB 2 none block none\nTAB 3 none none block")
        << html;
    EXPECT_NE(html.find(">first</a></li><li class=\"tab2\"><a href=\"#ttbl1\" id='t1link2' onClick=\"switchTab(3, 1, 2)\" "
                        "style=\"color: #333333; background: #999966\">&lt;No&nbsp;tab&nbsp;label&gt;</a></li>"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("switchTab(3, 1, 3)\" style=\"color: #333333; background: #999966\">third</a></li></ul>"),
              std::string::npos)
        << html;
}

TEST_F(TabSwitchInBrowser, AMergedBlockWrittenAtItsFirstRowIsShownByThatRowsTab) {
    const std::string chromium = talix_test::ChromiumPath();
    if (chromium.empty()) {
        if (talix_test::BrowserRequired()) FAIL() << "Chromium is required here (TALIX_REQUIRE_BROWSER) but absent";
        GTEST_SKIP() << "no Chromium here (scripts/setup.sh installs it)";
    }
    std::string html;
    // A merged block stored with its visible cell last (in the second row)
    // and written at its first position: its division is the first row's,
    // shown at first; the block covers the second row's first cell, and
    // that row's division opens in its next cell, which its tab shows.
    std::vector<htmlgen_test::CellFields> merged = htmlgen_test::Grid(2, 2);
    merged[0].flags = 0x04;
    merged[0].text.clear();   // a hidden cell of words is written where it stands
    merged[1].extra = {htmlgen_test::TabLabel("first")};
    merged[2].rowSpan = 2;
    merged[3].extra = {htmlgen_test::TabLabel("second")};
    EXPECT_EQ(ClicksOf(this, chromium, htmlgen_test::Table(merged), &html), "TAB 1 block none -\nTAB 2 none block -")
        << html;
}

TEST_F(TabSwitchInBrowser, SeveralTabbedTablesOnOnePageEachSwitchAndKeepTheirLook) {
    const std::string chromium = talix_test::ChromiumPath();
    if (chromium.empty()) {
        if (talix_test::BrowserRequired()) FAIL() << "Chromium is required here (TALIX_REQUIRE_BROWSER) but absent";
        GTEST_SKIP() << "no Chromium here (scripts/setup.sh installs it)";
    }
    // Three tabbed tables of two rows one after the other: each tab shows
    // its own table's row and leaves the other tables as they were; every
    // strip is drawn as the first one is, and no id stands twice.
    Records records = {htmlgen_test::Definition(1), htmlgen_test::Reference(1), htmlgen_test::TextBytes("Before")};
    for (int t = 1; t <= 3; ++t) {
        std::vector<htmlgen_test::CellFields> cells = htmlgen_test::Grid(2, 2);
        cells[0].extra = {htmlgen_test::TabLabel("first" + std::to_string(t))};
        cells[2].extra = {htmlgen_test::TabLabel("second" + std::to_string(t))};
        records.push_back(htmlgen_test::PreTable(0, 4));
        const Records table = htmlgen_test::Table(cells);
        records.insert(records.end(), table.begin(), table.end());
        records.push_back(htmlgen_test::Reference(1));
        records.push_back(htmlgen_test::TextBytes("After" + std::to_string(t)));
    }
    const std::string html = GenerateTabs(records);
    talix_test::TempDir dir;
    const std::string page = dir.file("tables.html");
    std::ofstream(page, std::ios::binary) << html << kTablesClicker;
    EXPECT_EQ(talix_test::ReportedText(talix_test::DumpDocuments(chromium, {page}, 1, 120).front(), "talix-tabs"),
              "T1 TAB 1 block none\nT1 TAB 2 none block\n"
              "T2 TAB 1 block none\nT2 TAB 2 none block\n"
              "T3 TAB 1 block none\nT3 TAB 2 none block\n"
              "END none block none block none block\n"
              "STRIPS left/rgb(102, 204, 102) left/rgb(102, 204, 102) left/rgb(102, 204, 102)\n"
              "IDS")
        << html;
}

} // namespace
