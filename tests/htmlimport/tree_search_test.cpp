// The searches of the parsed tree that tables, sections, links and images
// share, and the recognition of collapsed sections and tab labels.
#include <cstring>
#include <string>

#include "htmlimport/html_dom.h"
#include "htmlimport/node_search.h"
#include "htmlimport/section_recognition.h"
#include "htmlimport/table_tabs.h"
#include "import_fixture.h"
#include "talix_platform.h"

namespace {

using import_test::ImportTest;
using talix::HtmlNode;

class TreeSearch : public ImportTest {
protected:
    // The body's first child after parsing the HTML.
    const HtmlNode* Parse(const std::string& html) {
        EXPECT_EQ(ParseBuffer(html), 0) << html;
        const HtmlNode* body = import_test::Body(*import_->document);
        return body != nullptr ? body->firstChild : nullptr;
    }
    std::string TextOf(const HtmlNode* node) const {
        return node != nullptr ? std::string(import_->document->Text(node)) : "<none>";
    }
};

TEST_F(TreeSearch, ElementsAndTextsInOrder) {
    const HtmlNode* first = Parse("<div><p><b>deep</b></p></div><b>shallow</b><i>x</i>");
    // The siblings are looked at before anything inside them.
    const HtmlNode* shallow = talix::FindHTMLElementByName(first, "b", nullptr, nullptr, nullptr);
    ASSERT_NE(shallow, nullptr);
    EXPECT_EQ(TextOf(shallow->firstChild), "shallow");
    EXPECT_EQ(talix::FindHTMLElementByName(first, "u", "i", nullptr, nullptr), shallow->next);
    // After a node: the next match, the node itself never.
    int passed = 0;
    const HtmlNode* deep = talix::FindHTMLElementByName(first, "b", nullptr, shallow, &passed);
    ASSERT_NE(deep, nullptr);
    EXPECT_EQ(TextOf(deep->firstChild), "deep");
    EXPECT_EQ(passed, 1);
    EXPECT_EQ(talix::FindHTMLElementByName(first, "table", nullptr, nullptr, nullptr), nullptr);

    const HtmlNode* images = Parse("<p><img alt=\"one\"><span><img title=\"t\" alt=\"two\"></span></p>");
    const HtmlNode* two = talix::FindElementWithAttr(images, "img", "alt", "two");
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->parent->name, std::string("span"));
    EXPECT_EQ(talix::FindElementWithAttr(images, "img", "alt", "TWO"), nullptr);

    // Consecutive texts of an element, each after the one before.
    const HtmlNode* link = Parse("<p>one<b>two</b>three</p>");
    std::string texts;
    for (const HtmlNode* text = talix::FindTextNode(link, nullptr, 0); text != nullptr;
         text = talix::FindTextNode(link, text, text->end))
        texts += TextOf(text) + "|";
    EXPECT_EQ(texts, "one|two|three|");
}

TEST_F(TreeSearch, NativeTextIsCutOnWholeCharacters) {
    std::string wide;
    for (int n = 0; n < 60; ++n) wide += "\xE6\x97\xA5";   // a character of three bytes in either set
    const HtmlNode* paragraph = Parse("<p>" + wide + "</p>");
    ASSERT_NE(paragraph, nullptr);
    char label[talix::kTabLabelSize];
    std::memset(label, 'x', sizeof label);
    const std::uint32_t length = talix::NodeTextToNative(import_.get(), paragraph->firstChild, label, sizeof label, nullptr);
    EXPECT_LE(length, 127u);
    EXPECT_EQ(label[length], '\0');
    const std::string back = plat::LmbcsToNative(std::string(label, length));
    EXPECT_EQ(back, wide.substr(0, back.size()));
    EXPECT_EQ(back.size() % 3, 0u);
    EXPECT_GE(back.size(), 3u * 40);

    char small[8];
    EXPECT_EQ(talix::NodeTextToNative(import_.get(), nullptr, small, sizeof small, "No subject"), 7u);
    EXPECT_STREQ(small, "No subj");
    EXPECT_EQ(talix::NodeTextToNative(import_.get(), nullptr, small, sizeof small, nullptr), 0u);
    EXPECT_STREQ(small, "");
}

TEST_F(TreeSearch, CollapsedSectionsAndTheirTexts) {
    char first[talix::kSectionTextSize];
    char title[talix::kSectionTitleSize];
    char third[talix::kSectionTextSize];
    auto read = [&](const HtmlNode* node) {
        std::strcpy(first, "?");
        std::strcpy(title, "?");
        std::strcpy(third, "?");
        const int section = talix::ConvertSectionFromHTML(import_.get(), node, first, title, third);
        return std::to_string(section) + ":" + first + "|" + title + "|" + third;
    };
    // A header row: the twistie's cell, then author, title and date.
    const HtmlNode* div = Parse(
        "<div><table><tr><td><img src=\"cid:_a_collapse\"></td><td>Ann</td><td>Re: x</td><td>Mon</td></tr>"
        "</table><p>body</p></div>");
    EXPECT_EQ(read(div), "1:Ann|Re: x|Mon");
    EXPECT_EQ(read(div->firstChild), "1:Ann|Re: x|Mon");   // the header table stands for its div
    EXPECT_EQ(talix::ConvertSectionFromHTML(import_.get(), div->firstChild, nullptr, nullptr, nullptr), 1);
    // The twistie alone, known by its alt text.
    const HtmlNode* alone = Parse(
        "<div><table><tr><td><img alt=\"Inactive - section collapsed\"></td></tr></table></div>");
    EXPECT_EQ(read(alone), "1:Unknown|No subject|");
    // A twistie in a block: the block's first text is the title.
    const HtmlNode* block = Parse("<div><p><img src=\"cid:_a_collapse\"> Minutes</p><p>text</p></div>");
    EXPECT_EQ(read(block), "1:| Minutes|");
    // No twistie, or a table not first in a div: no section, nothing written.
    EXPECT_EQ(read(Parse("<div><table><tr><td>a</td><td>b</td></tr></table></div>")), "0:?|?|?");
    EXPECT_EQ(read(Parse("<table><tr><td><img src=\"cid:_a_collapse\"></td></tr></table>")), "0:?|?|?");
}

TEST_F(TreeSearch, TabLabelsOfTabbedTables) {
    std::string label(200, 'L');
    const HtmlNode* table = Parse("<table><tr><td><table><tr><td><img src=\"cid:_a_tabletab\">" + label +
                                  "</td></tr></table></td></tr><tr><td>c</td></tr></table>");
    ASSERT_NE(table, nullptr);
    char read[talix::kTabLabelSize];
    EXPECT_EQ(talix::FindTableTabMarker(import_.get(), table, read, sizeof read), 1);
    EXPECT_EQ(std::string(read), label.substr(0, 127));
    const HtmlNode* inner = table->firstChild->firstChild->firstChild;
    ASSERT_TRUE(inner->Is(talix::HtmlTag::kTable));
    EXPECT_EQ(talix::ReadTableTabLabel(import_.get(), inner, nullptr, 0), 1);
    EXPECT_EQ(talix::ReadTableTabLabel(import_.get(), table, nullptr, 0), 0);
    EXPECT_EQ(talix::FindTableTabMarker(import_.get(), table->firstChild->next, nullptr, 0), 0);
}

} // namespace
