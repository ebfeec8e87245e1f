// Markup as real pages write it: elements the parser does not know, and
// content a browser does not show. What is imported is compared with the
// words a browser shows of the same page.
#include <algorithm>
#include <string>

#include "walk_fixture.h"

namespace {

using import_test::Imported;
using import_test::WalkTest;
using import_test::Shown;

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

TEST_F(PageMarkup, ContentTheReaderCanRevealIsKeptTemplatesAreNot) {
    // A template holds markup for a script to copy into the page: never
    // shown, so not imported.
    const Imported templates =
        Import("<p>a</p><template><p>tmpl</p>t<b>u</b></template><p>b</p><div><template>x</template></div>");
    ASSERT_EQ(templates.status, 0);
    EXPECT_EQ(templates.problem, "");
    EXPECT_EQ(templates.Texts(), "a|b") << Shown(templates);
    // A dialog, open or not, is a block of its own: its words do not run
    // into those after it.
    for (const char* dialog : {"<p>a</p><dialog>d</dialog>b", "<p>a</p><dialog open>d</dialog>b"}) {
        const Imported imported = Import(dialog);
        ASSERT_EQ(imported.status, 0) << dialog;
        EXPECT_EQ(imported.problem, "") << dialog;
        EXPECT_EQ(imported.Texts(), "a|d|b") << dialog;
        EXPECT_NE(Shown(imported).find("'d' P"), std::string::npos) << Shown(imported);
    }
    // What pages hide and show by script (hidden, display:none), the body
    // of a closed details element, and the parentheses of ruby for readers
    // without ruby are content of the page.
    EXPECT_EQ(Words("<style>.x{display:none}</style><p>a <span hidden>h</span> "
                    "<span style=\"display:none\">n</span> b <span class=\"x\">tab</span></p>"),
              "a h n b tab");
    const Imported hidden = Import("<div hidden>panel</div><div style=\"display:none\">tab</div>");
    ASSERT_EQ(hidden.status, 0);
    EXPECT_EQ(hidden.Texts(), "panel|tab");
    const Imported details = Import("<details><summary>S</summary>body</details>after");
    ASSERT_EQ(details.status, 0);
    EXPECT_EQ(details.Texts(), "S|body|after");
    const Imported ruby = Import("<p>x <ruby>kan<rp>(</rp><rt>ji</rt><rp>)</rp></ruby> y</p>");
    ASSERT_EQ(ruby.status, 0);
    EXPECT_EQ(ruby.Texts(), "x |kan|(|ji|)| y");
}

} // namespace
