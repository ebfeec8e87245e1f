// Every rich-text item of the real data rendered as HTML and shown in a real
// browser (headless Chromium), with a measuring script appended to the
// page: no table cell that holds six words or more lays them out one word
// per line, and every event-handler attribute compiles as a function body.
// The pages are shown a few dozen at a time, each in a frame of a page of
// frames the size of a window, so that a browser starts only a few times.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "active_content_fixture.h"
#include "core/pool.h"
#include "support/awkward_checks.h"
#include "support/record_fixture.h"
#include "support/headless_browser.h"
#include "support/rich_text_items.h"
#include "support/test_support.h"
#include "table_records.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

// Runs where the page ends (its own scripts have run, its layout stands)
// and writes what it found into a <pre class="talix-measure"> of the page of
// frames (of the page itself when it is shown alone), one finding a line:
// "CELL <text>" for a cell whose words each start a line of their own
// (every two neighbouring words of one text were wrapped apart), "HANDLER
// <name>: <error>" for an event-handler attribute that does not compile;
// and last "DONE <cells> <handlers>". PAGE stands for the page's number.
constexpr const char* kMeasuringScript = R"(<script>
(function () {
  var out = [];
  try {
    var cells = document.querySelectorAll('td, th'), measured = 0;
    for (var i = 0; i < cells.length; i++) {
      var cell = cells[i], words = 0, pairs = 0, wrapped = 0, node;
      var walker = document.createTreeWalker(cell, NodeFilter.SHOW_TEXT, null);
      while ((node = walker.nextNode())) {
        var owner = node.parentNode;
        while (owner && owner.nodeName != 'TD' && owner.nodeName != 'TH') owner = owner.parentNode;
        if (owner !== cell) continue;
        var word = /[^\s\u00a0]+/g, match, previous = null;
        while ((match = word.exec(node.data))) {
          words++;
          var range = document.createRange();
          range.setStart(node, match.index);
          range.setEnd(node, match.index + match[0].length);
          var rects = range.getClientRects();
          if (!rects.length) continue;
          if (previous !== null) { pairs++; if (rects[0].top > previous + 1) wrapped++; }
          previous = rects[0].top;
        }
      }
      measured++;
      if (words >= 6 && pairs >= 5 && wrapped == pairs)
        out.push('CELL ' + cell.textContent.replace(/\s+/g, ' ').substring(0, 80));
    }
    var all = document.getElementsByTagName('*'), handlers = 0;
    for (var i = 0; i < all.length; i++) {
      for (var j = 0; j < all[i].attributes.length; j++) {
        var attribute = all[i].attributes[j];
        if (!/^on/i.test(attribute.name)) continue;
        handlers++;
        try { new Function(attribute.value); } catch (e) { out.push('HANDLER ' + attribute.name + ': ' + e.message); }
      }
    }
    out.push('DONE ' + measured + ' ' + handlers);
  } catch (e) {
    out.push('FAILED ' + e.message);
  }
  var home = parent !== window ? parent.document : document;
  var pre = home.createElement('pre');
  pre.className = 'talix-measure';
  pre.setAttribute('data-page', 'PAGE');
  pre.textContent = out.join('\n');
  (home.body || home.documentElement).appendChild(pre);
})();
</script>
)";

// Pages shown in one browser.
constexpr std::size_t kPagesPerBrowser = 40;

// The item as talix html writes it: HTML 4.01, streamed, as UTF-8.
std::string Render(ZervaRTChunk* chunk) {
    std::string html, failure;
    return talix_test::RenderStreamed(chunk, "HTML", "", &html, &failure) ? html : std::string();
}

// The measuring script's lines for each page number in a serialized
// document, entities of the serializer undone.
std::map<int, std::vector<std::string>> Findings(const std::string& document) {
    std::map<int, std::vector<std::string>> findings;
    const std::string start = "<pre class=\"talix-measure\" data-page=\"";
    for (std::size_t from = document.find(start); from != std::string::npos; from = document.find(start, from + 1)) {
        const int page = std::atoi(document.c_str() + from + start.size());
        const std::size_t open = document.find('>', from);
        const std::size_t close = open == std::string::npos ? open : document.find("</pre>", open);
        if (close == std::string::npos) break;
        std::string text;
        const std::string escaped = document.substr(open + 1, close - open - 1);
        for (std::size_t i = 0; i < escaped.size(); ++i) {
            static const std::pair<const char*, char> kEntities[] = {{"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'},
                                                                     {"&nbsp;", ' '}};
            bool replaced = false;
            for (const auto& [entity, c] : kEntities) {
                if (escaped.compare(i, std::strlen(entity), entity) == 0) {
                    text += c;
                    i += std::strlen(entity) - 1;
                    replaced = true;
                    break;
                }
            }
            if (!replaced) text += escaped[i];
        }
        std::vector<std::string>& lines = findings[page];
        for (std::size_t at = 0;;) {
            const std::size_t end = text.find('\n', at);
            lines.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
            if (end == std::string::npos) break;
            at = end + 1;
        }
    }
    return findings;
}

// Stores the records as the "Body" of a new note of the database.
plat::NOTEID AddNote(const std::string& path, const htmlgen_test::Records& records) {
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    plat::NOTEID id = 0;
    EXPECT_EQ(plat::DbOpen(path.c_str(), &db), plat::NOERROR);
    EXPECT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
    EXPECT_EQ(talix_test::StoreRichTextItem(note, "Body", records), plat::NOERROR);
    EXPECT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
    plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id);
    plat::NoteClose(note);
    plat::DbClose(db);
    return id;
}

// Besides the real items, one made to hold what real documents of other
// sets hold: a cell whose paragraph has its right margin at 99 % of the
// width, and a button whose code runs over several lines.
htmlgen_test::Records AwkwardItem() {
    using namespace htmlgen_test;
    DefinitionFields wide;
    wide.id = 2;
    wide.extension = true;
    wide.flags2 = 0x0080;
    wide.rightPercent = 99;
    CellFields cell;
    cell.right = 4320;
    cell.extra = {Definition(wide), Reference(2), TextBytes("words that a cell of three inches holds on one line")};
    Records records = {Definition(1), Reference(1), TextBytes("before")};
    const Records table = Table({cell});
    records.insert(records.end(), table.begin(), table.end());
    records.push_back(Reference(1));
    records.push_back(Bracket(0xDD, 0xFFAD));
    records.push_back(HotspotBegin(0xFFAD, 2, 0x200000, {}));
    const Records event = Event(1, "var a = 1;\r\nif (a) {\n  a = 2;\n}");
    records.insert(records.end(), event.begin(), event.end());
    for (const FixtureRecord& record : {TextBytes("press"), HotspotEnd(), Bracket(0xDE, 0x00AE)})
        records.push_back(record);
    return records;
}

TEST(GenerationInABrowser, CellsKeepTheirWordsTogetherAndHandlersCompile) {
    const std::string chromium = talix_test::ChromiumPath();
    if (chromium.empty()) {
        if (talix_test::BrowserRequired()) FAIL() << "Chromium is required here (TALIX_REQUIRE_BROWSER) but absent";
        GTEST_SKIP() << "no Chromium here (scripts/setup.sh installs it)";
    }
    talix_test::TempDir dir;
    const std::string path = dir.file("browser.nsf");
    std::vector<talix_test::NoteItem> items;
    ASSERT_EQ(talix_test::ImportRichTextItems(path, talix_test::SampleAndSharedDxlFiles(), true, &items), 0);
    ASSERT_FALSE(items.empty());
    items.emplace_back(AddNote(path, AwkwardItem()), "Body");

    RARIvoSession session;
    std::vector<std::string> pages, names;
    for (const auto& [id, name] : items) {
        ZervaRTItem item(&session);
        if (item.Connect("", path.c_str(), id, name.c_str(), 0) != 0) continue;
        std::unique_ptr<ZervaRTChunk> chunk(item.DefineChunk("Everything"));
        ASSERT_NE(chunk, nullptr);
        const std::string html = Render(chunk.get());
        const std::string where = "note " + std::to_string(id) + " item " + name;
        EXPECT_EQ(chunk->lastStatus, 0) << where;
        const std::string number = std::to_string(pages.size());
        std::string script = kMeasuringScript;
        script.replace(script.find("PAGE"), 4, number);
        const std::string page = dir.file("page" + number + ".html");
        std::ofstream(page, std::ios::binary) << html << script;
        pages.push_back(page);
        names.push_back(where);
    }
    // The pages of frames, each frame a window's size.
    std::vector<std::string> frames;
    for (std::size_t first = 0; first < pages.size(); first += kPagesPerBrowser) {
        const std::string frame = dir.file("frames" + std::to_string(frames.size()) + ".html");
        std::ofstream out(frame, std::ios::binary);
        out << "<!DOCTYPE html><html><body>";
        for (std::size_t i = first; i < pages.size() && i < first + kPagesPerBrowser; ++i)
            out << "<iframe src=\"page" << i << ".html\" style=\"width: 1024px; height: 768px\"></iframe>";
        out << "</body></html>";
        frames.push_back(frame);
    }
    const std::vector<std::string> documents = talix_test::DumpDocuments(chromium, frames, 4, 300);
    std::map<int, std::vector<std::string>> findings;
    for (const std::string& document : documents) findings.merge(Findings(document));
    int cellsMeasured = 0, handlersCompiled = 0;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const auto found = findings.find(static_cast<int>(i));
        ASSERT_TRUE(found != findings.end()) << names[i] << ": the browser gave no measurements";
        const std::vector<std::string>& lines = found->second;
        EXPECT_EQ(lines.back().rfind("DONE ", 0), 0u) << names[i] << ": " << lines.back();
        for (std::size_t k = 0; k + 1 < lines.size(); ++k) ADD_FAILURE() << names[i] << ": " << lines[k];
        int cells = 0, handlers = 0;
        if (std::sscanf(lines.back().c_str(), "DONE %d %d", &cells, &handlers) == 2) {
            cellsMeasured += cells;
            handlersCompiled += handlers;
        }
    }
    std::printf("%zu pages shown: %d table cells measured, %d event handlers compiled\n", pages.size(),
                cellsMeasured, handlersCompiled);
    EXPECT_GT(cellsMeasured, 0);
}

} // namespace
