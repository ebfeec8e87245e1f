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

std::string TabClicks(const std::string& dom) {
    const std::size_t start = dom.find("<pre id=\"talix-tabs\">");
    if (start == std::string::npos) return {};
    const std::size_t from = dom.find('>', start) + 1;
    return dom.substr(from, dom.find("</pre>", from) - from);
}

class TabSwitchInBrowser : public htmlgen_test::GenerationTest {};

TEST_F(TabSwitchInBrowser, EveryTabSwitchesWithoutErrorWhereLabelsOutnumberRows) {
    const std::string chromium = talix_test::ChromiumPath();
    if (chromium.empty()) {
        if (talix_test::BrowserRequired()) FAIL() << "Chromium is required here (TALIX_REQUIRE_BROWSER) but absent";
        GTEST_SKIP() << "no Chromium here (scripts/setup.sh installs it)";
    }
    // Two rows, three labels: the last row's cell holds two of them, so the
    // strip has a third tab whose row the table does not have.
    std::vector<htmlgen_test::CellFields> cells = htmlgen_test::Grid(2, 1);
    cells[0].extra = {htmlgen_test::TabLabel("first")};
    cells[1].extra = {htmlgen_test::TabLabel("second"), htmlgen_test::TabLabel("extra")};
    Records records = {htmlgen_test::Definition(1), htmlgen_test::Reference(1), htmlgen_test::TextBytes("Before"),
                       htmlgen_test::PreTable(0, 4)};
    const Records table = htmlgen_test::Table(cells);
    records.insert(records.end(), table.begin(), table.end());
    const std::string html = Generate(Define(records), "HTML", "TabbedTablesInCSS=Yes");
    ASSERT_NE(html.find("switchTab(3, 1, 3)"), std::string::npos) << html;

    talix_test::TempDir dir;
    const std::string page = dir.file("tabs.html");
    std::ofstream(page, std::ios::binary) << html << kTabClicker;
    const std::string clicks = TabClicks(talix_test::DumpDocuments(chromium, {page}, 1, 120).front());
    // Each of the first two tabs shows its row and hides the other; the
    // third hides both and raises nothing.
    EXPECT_EQ(clicks, "TAB 1 block none -\nTAB 2 none block -\nTAB 3 none none -") << html;
}

} // namespace
