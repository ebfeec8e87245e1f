// Markup as real pages write it: elements the parser does not know, and
// content a browser does not show. What is imported is compared with the
// words a browser shows of the same page.
#include <algorithm>
#include <string>

#include "walk_fixture.h"

namespace {

using import_test::Imported;
using import_test::WalkTest;

class PageMarkup : public WalkTest {
protected:
    // The words of the imported body, blanks and line ends as one blank.
    std::string Words(const std::string& html) {
        const Imported imported = Import(html);
        EXPECT_EQ(imported.status, 0) << html;
        EXPECT_EQ(imported.problem, "") << html;
        std::string words;
        for (const char c : BodyText(imported.note)) {
            const bool blank = c == ' ' || c == '\n' || c == '\t' || c == '\r';
            if (!blank) words.push_back(c);
            else if (!words.empty() && words.back() != ' ') words.push_back(' ');
        }
        while (!words.empty() && words.back() == ' ') words.pop_back();
        return words;
    }
};

TEST_F(PageMarkup, ElementsTheParserDoesNotKnowKeepTheirContent) {
    // Custom elements, names of other vocabularies and newer elements the
    // parser has no entry for are shown by a browser as inline elements.
    EXPECT_EQ(Words("<p>one <foo>two</foo> <my-widget>three</my-widget> <x:tag>four</x:tag> five</p>"),
              "one two three four five");
    EXPECT_EQ(Words("<p>a <slot>s</slot> <data value=\"1\">v</data> c</p>"), "a s v c");
    // Unknown names written in any case, repeated, nested, with blocks within.
    EXPECT_EQ(Words("<div><My-Card title=\"t\"><my-card>in</my-card> <MY-CARD>out</MY-CARD></My-Card></div>"),
              "in out");
    const Imported blocks = Import("<my-card><div>block</div><p>para</p> tail</my-card> after");
    ASSERT_EQ(blocks.status, 0);
    EXPECT_EQ(blocks.problem, "");
    EXPECT_EQ(blocks.Texts(), "block|para|tail| after");
    // Its runs take the font of what encloses it.
    const Imported bold = Import("<p><b>x <ui-label>label</ui-label></b></p>");
    ASSERT_EQ(bold.status, 0);
    EXPECT_EQ(bold.Texts(), "x |label");
    EXPECT_EQ(bold.Run("label").Font().attributes, bold.Run("x ").Font().attributes);
    // A page without such elements imports as it did.
    EXPECT_EQ(Words("<p>plain <b>text</b></p>"), "plain text");
    // A thousand names of unknown elements are taken; a page of more is
    // parsed as it stands, whose unknown elements fail it, in bounded time.
    const auto manyNames = [](int count) {
        std::string page = "<p>";
        for (int i = 0; i < count; ++i) page += "<u" + std::to_string(i) + ">w</u" + std::to_string(i) + "> ";
        return page + "</p>";
    };
    const Imported thousand = Import(manyNames(1000));
    EXPECT_EQ(thousand.status, 0);
    const std::string words = BodyText(thousand.note);
    EXPECT_EQ(std::count(words.begin(), words.end(), 'w'), 1000);
    const Imported more = Import(manyNames(1001));
    EXPECT_NE(more.status, 0);
    EXPECT_EQ(more.Texts(), "");
}

} // namespace
