// Style-value look-up: inline style before rules, the two passes over the
// rules, parent chains, shorthands, declaration texts, and the upward
// searches by property, attribute and tag.
#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "htmlimport/style_declarations.h"
#include "style_fixture.h"

namespace {

using import_test::StyleTest;
using talix::StyleAttrElem;

class StyleLookup : public StyleTest {
protected:
    std::string Up(const char* id, const char* property, const char* attribute, bool searchUp,
                   std::uint16_t* source = nullptr, const char* tag1 = nullptr, const char* tag2 = nullptr) {
        return Show(StyleAttrElem(Id(id), property, attribute, tag1, tag2, nullptr, source, searchUp,
                                  &import_->styleRules1, &import_->styleRules2, &import_->styleQuestions));
    }
    // The answers ("id property=value") of the elements to the properties,
    // listed element by element: each element asked on a parse of its own,
    // or all on one parse, in document order or from the last element back.
    enum class Asked { kEachAlone, kInOrder, kReversed };
    std::vector<std::string> Answers(const std::string& html, const std::string& css, std::span<const char* const> ids,
                                     std::span<const char* const> properties, Asked asked) {
        std::vector<std::string> answers(ids.size() * properties.size());
        if (asked != Asked::kEachAlone) Page(html, css);
        for (std::size_t k = 0; k < ids.size(); ++k) {
            const std::size_t n = asked == Asked::kReversed ? ids.size() - 1 - k : k;
            if (asked == Asked::kEachAlone) Page(html, css);
            for (std::size_t p = 0; p < properties.size(); ++p)
                answers[n * properties.size() + p] =
                    std::string(ids[n]) + " " + properties[p] + "=" + Value(ids[n], properties[p]);
        }
        return answers;
    }
};

TEST_F(StyleLookup, InlineStyleThenClassRulesThenPlainRules) {
    Page("<p id=a style='color: red'>a</p><p id=b class=x>b</p><p id=c class='x y'>c</p><p id=d>d</p>"
         "<p id=e class=long>e</p><div id=f class=X>f</div><p id=g class>g</p>",
         "p { color: blue; margin-left: 1in } p.x { color: green } p.y { color: olive } .x { font-size: 9pt } "
         "p { color: black; text-indent: 2em } P.LONG { color: " + std::string(4100, ' ') + "white }");
    EXPECT_EQ(Value("a", "color"), "red");
    EXPECT_EQ(Value("a", "margin-left"), "1in");
    // The class rule first; a rule without class still answers what the
    // class rules lack; the earlier of two rules answers.
    EXPECT_EQ(Value("b", "color"), "green");
    EXPECT_EQ(Value("b", "margin-left"), "1in");
    EXPECT_EQ(Value("b", "text-indent"), "2em");
    EXPECT_EQ(Value("b", "FONT-SIZE"), "9pt");
    // Two class names match no class rule.
    EXPECT_EQ(Value("c", "color"), "blue");
    EXPECT_EQ(Value("c", "font-size"), "-");
    EXPECT_EQ(Value("d", "color"), "blue");
    // A block too long to keep answers nothing.
    EXPECT_EQ(Value("e", "color"), "blue");
    // Classes compare without regard to case; an element without its own rule
    // takes the class rule, and no rule for p.
    EXPECT_EQ(Value("f", "font-size"), "9pt");
    EXPECT_EQ(Value("f", "color"), "-");
    // A class attribute without value matches no rule in the first pass.
    EXPECT_EQ(Value("g", "color"), "blue");
    // A text node answers for its element; no rule list: inline style only.
    EXPECT_EQ(Show(talix::FindStyleValue(Id("b")->firstChild, "color", &import_->styleRules1, nullptr)), "green");
    EXPECT_EQ(Show(talix::FindStyleValue(Id("b"), "color", nullptr, nullptr)), "-");
    EXPECT_EQ(Show(talix::FindStyleValue(Id("b"), "", &import_->styleRules1, nullptr)), "-");
}

TEST_F(StyleLookup, SelectorChainsMatchParents) {
    Page("<div class=box><p id=direct>a</p><blockquote><p id=deep>b</p></blockquote></div>"
         "<div title=t><p id=plain>c</p></div><table><tr><td><p id=cell>d</p></td></tr></table>",
         "div p { color: red } div.box p { font-size: 12pt } td p { margin: 1px } body div p { x: y }");
    EXPECT_EQ(Value("direct", "color"), "red");
    EXPECT_EQ(Value("deep", "color"), "-");
    EXPECT_EQ(Value("direct", "font-size"), "12pt");
    EXPECT_EQ(Value("plain", "font-size"), "-");
    EXPECT_EQ(Value("plain", "color"), "red");
    EXPECT_EQ(Value("plain", "x"), "y");
    EXPECT_EQ(Value("cell", "margin-top"), "1px");
    EXPECT_EQ(Value("cell", "color"), "-");
}

TEST_F(StyleLookup, SiblingsOfOneKindAnswerAsEachAlone) {
    // Siblings of the same name and class match the same rules, asked one
    // after another (as a row's cells are); each still answers with its own
    // style attribute, and the rule that only its ancestors or another class
    // bring does not stray to the next.
    const std::string html =
        "<table class=t><tr><td id=a class=c>1</td> <td id=b class=c style='color: red; width: 5px'>2</td>"
        "<td id=c class=c>3</td><td id=d class=C>4</td><td id=e class>5</td><td id=f>6</td><th id=g class=c>7</th>"
        "</tr></table><p><span id=h class=c>8</span><SPAN id=i class=c style='font-size: 2pt'>9</SPAN>"
        "<em id=j class=c>10</em></p>";
    const std::string css = "td.c { color: blue } td { text-align: right; width: 2px } .c { font-size: 9pt } "
                            "table.t td { margin-left: 3px } span.c { color: green } th { color: gray }";
    const char* const ids[] = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"};
    const char* const properties[] = {"color", "width", "font-size", "margin-left", "text-align"};
    // Each element asked alone, on a fresh parse of the page, and all on one.
    const std::vector<std::string> alone = Answers(html, css, ids, properties, Asked::kEachAlone);
    EXPECT_EQ(Answers(html, css, ids, properties, Asked::kInOrder), alone);
    Page(html, css);
    EXPECT_EQ(Value("b", "color"), "red");
    EXPECT_EQ(Value("c", "color"), "blue");
    EXPECT_EQ(Value("e", "font-size"), "-");
    EXPECT_EQ(Value("i", "color"), "green");
    EXPECT_EQ(Value("i", "font-size"), "2pt");
    EXPECT_EQ(Value("j", "color"), "-");

    // Rules added after the first sibling was asked answer the next one.
    Page(html, css);
    EXPECT_EQ(Value("a", "border-top-width"), "-");
    Sheet("td.c { border-top-width: 4px }");
    EXPECT_EQ(Value("c", "border-top-width"), "4px");
    EXPECT_EQ(Value("a", "border-top-width"), "4px");
}

TEST_F(StyleLookup, LikeElementsOfOtherParentsAnswerAsEachAlone) {
    // Cells and spans of one name and class in different rows (not
    // siblings) share their match when no rule for them looks above them;
    // one that such a rule names gets its own, as do elements that differ
    // in their style attribute or in the case of their class.
    const std::string html =
        "<table><tr class=odd><td id=a class=c>1</td></tr><tr><td id=b class=c>2</td></tr>"
        "<tr class=odd><td id=c class=c style='color: red'>3</td></tr><tr><td id=d class=C>4</td></tr>"
        "<tr><td id=e><span id=f class=k>5</span></td></tr></table>"
        "<div class=box><p><span id=g class=k>6</span></p></div><p><span id=h class=k>7</span>"
        "<SPAN id=i class=K>8</SPAN></p><div><b><span id=j class=k style='width: 2px'>9</span></b></div>";
    const std::string css = "td.c { font-size: 9pt } tr.odd td.c { color: blue } td { text-align: right } "
                            "span.k { color: green } div.box p span.k { font-size: 2pt } .k { margin-left: 3px } "
                            "span { width: 1px }";
    const char* const ids[] = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"};
    const char* const properties[] = {"color", "font-size", "text-align", "margin-left", "width"};
    // Each element asked alone; all asked in document order, then in the
    // reverse order.
    const std::vector<std::string> alone = Answers(html, css, ids, properties, Asked::kEachAlone);
    EXPECT_EQ(Answers(html, css, ids, properties, Asked::kInOrder), alone);
    EXPECT_EQ(Answers(html, css, ids, properties, Asked::kReversed), alone);
    // The row's class, the inline style, the other class case and the
    // ancestors each decide for their own element.
    const std::vector<std::string> expected = {"a color=blue", "b color=-", "c color=red", "d font-size=9pt",
                                               "g font-size=2pt", "h font-size=-", "i width=1px", "j width=2px"};
    for (const std::string& answer : expected)
        EXPECT_NE(std::find(alone.begin(), alone.end(), answer), alone.end()) << answer;

    // A rule added after a match was shared answers the next element asked.
    Page(html, css);
    EXPECT_EQ(Value("h", "font-weight"), "-");
    Sheet("span.k { font-weight: bold }");
    EXPECT_EQ(Value("f", "font-weight"), "bold");
    EXPECT_EQ(Value("h", "font-weight"), "bold");
}

TEST_F(StyleLookup, ShorthandsAnswerForTheirParts) {
    Page("<div id=m2 style='margin: 1px 2px'>a</div><div id=m3 style='margin: 1px 2px 3px'>a</div>"
         "<div id=m4 style='margin: 1px 2px 3px 4px; padding: 5px'>a</div>"
         "<div id=b style='border: 2px solid #ff0000'>a</div><div id=none style='border: none'>a</div>"
         "<div id=side style='border-top: 3px dotted rgb(0, 0, 255)'>a</div>"
         "<div id=widths style='border-width: 1px 2px'>a</div><div id=long style='border-top-style: dashed'>a</div>"
         "<div id=bg style='background: url(x.gif) no-repeat'>a</div>"
         "<div id=bg2 style='background: #fff url(a.png) repeat-x top'>a</div>"
         "<div id=rgb style='background: rgb(1, 2, 3)'>a</div>");
    EXPECT_EQ(Value("m2", "margin-left"), "2px");
    EXPECT_EQ(Value("m2", "margin-bottom"), "1px");
    EXPECT_EQ(Value("m3", "margin-left"), "2px");
    EXPECT_EQ(Value("m3", "margin-right"), "2px");
    EXPECT_EQ(Value("m3", "margin-top"), "1px");
    EXPECT_EQ(Value("m3", "margin-bottom"), "3px");
    EXPECT_EQ(Value("m4", "margin-left"), "4px");
    EXPECT_EQ(Value("m4", "padding-right"), "5px");
    EXPECT_EQ(Value("m4", "margin-inline"), "0in");
    EXPECT_EQ(Value("m4", "margin"), "1px 2px 3px 4px");

    for (const char* side : {"", "-top", "-bottom"}) {
        const std::string border = std::string("border") + side;
        EXPECT_EQ(Value("b", (border + "-width").c_str()), "2px") << side;
        EXPECT_EQ(Value("b", (border + "-style").c_str()), "solid") << side;
        EXPECT_EQ(Value("b", (border + "-color").c_str()), "#ff0000") << side;
    }
    EXPECT_EQ(Value("none", "border-width"), "0px");
    EXPECT_EQ(Value("side", "border-top-width"), "3px");
    EXPECT_EQ(Value("side", "border-top-style"), "dotted");
    EXPECT_EQ(Value("side", "border-top-color"), "rgb(0, 0, 255)");
    EXPECT_EQ(Value("side", "border-color"), "rgb(0, 0, 255)");
    EXPECT_EQ(Value("widths", "border-top-width"), "1px");
    EXPECT_EQ(Value("widths", "border-left-width"), "2px");
    // A side's longhand answers for its own word only.
    EXPECT_EQ(Value("long", "border-style"), "dashed");
    EXPECT_EQ(Value("long", "border-color"), "-");
    EXPECT_EQ(Value("long", "border-width"), "-");

    EXPECT_EQ(Value("bg", "background-image"), "url(x.gif)");
    EXPECT_EQ(Value("bg", "background-repeat"), "no-repeat");
    EXPECT_EQ(Value("bg", "background-color"), "-");
    EXPECT_EQ(Value("bg2", "background-color"), "#fff");
    EXPECT_EQ(Value("bg2", "background-image"), "url(a.png)");
    EXPECT_EQ(Value("bg2", "background-repeat"), "repeat-x");
    EXPECT_EQ(Value("bg2", "background-position"), "top");
    EXPECT_EQ(Value("rgb", "background-color"), "rgb(1,2,3)");
    EXPECT_EQ(Value("rgb", "font-size"), "-");
}

TEST_F(StyleLookup, NamesThatShareTheirBeginningAndRulesAddedLater) {
    Page("<p id=p class=k style='Font-Weight: bold; BORDER: 1px solid #f00'>a</p><p id=q>b</p><i id=i>c</i>",
         "p.k { font-style: italic; marker-offset: 2px } p { background: #ff0 }");
    // Names of the same beginning are told apart, in any case.
    EXPECT_EQ(Value("p", "FONT-WEIGHT"), "bold");
    EXPECT_EQ(Value("p", "font-style"), "italic");
    EXPECT_EQ(Value("p", "font-size"), "-");
    EXPECT_EQ(Value("p", "fo"), "-");
    EXPECT_EQ(Value("p", "marker-offset"), "2px");
    EXPECT_EQ(Value("p", "margin-left"), "-");
    // Shorthands answer for their parts, inline and from rules.
    EXPECT_EQ(Value("p", "Border-Left-Color"), "#f00");
    EXPECT_EQ(Value("p", "border-spacing"), "-");
    EXPECT_EQ(Value("q", "BACKGROUND-COLOR"), "#ff0");
    // A name that only begins like a border property is read as the
    // border look-up reads it: its side from border-width.
    Sheet("i { border-width: 4px 5px }");
    EXPECT_EQ(Value("i", "borderx-top-width"), "4px");
    EXPECT_EQ(Value("i", "borderx-left-width"), "5px");
    // Rules added after a question answer the next one; the second list too.
    EXPECT_EQ(Value("q", "color"), "-");
    Sheet("p { color: navy }");
    EXPECT_EQ(Value("q", "color"), "navy");
    EXPECT_EQ(Show(talix::FindStyleValue(Id("i"), "color", nullptr, &import_->styleRules1)), "-");
    EXPECT_EQ(Show(talix::FindStyleValue(Id("q"), "color", nullptr, &import_->styleRules1)), "navy");
}

TEST_F(StyleLookup, DeclarationTexts) {
    const talix::StyleDeclarations parsed(
        "COLOR : red; color: blue; junk; : x; font-family: 'a;b', \"c;d\"; background: url(data:x;y) /* c; */ "
        "top;  margin-left:1in  ;; width: calc(1px;");
    std::string listed;
    for (const talix::StyleProp& prop : parsed.Props()) listed += prop.name + "=" + prop.value + "|";
    EXPECT_EQ(listed,
              "color=blue|font-family='a;b', \"c;d\"|background=url(data:x;y)   top|margin-left=1in|width=calc(1px;|");
    // The priority "!important" is no part of the value, and a later value
    // without it does not replace an important one.
    const talix::StyleDeclarations priorities(
        "color: #f00 !important; color: blue; text-align: right ! IMPORTANT; width: 1px!important; "
        "width: 2px !important; font-family: 'x !important'; margin: !important");
    listed.clear();
    for (const talix::StyleProp& prop : priorities.Props()) listed += prop.name + "=" + prop.value + "|";
    EXPECT_EQ(listed, "color=#f00|text-align=right|width=2px|font-family='x !important'|margin=|");
    EXPECT_TRUE(talix::StyleDeclarations("/* unterminated color: red").Empty());
    EXPECT_EQ(talix::StyleDeclarations("content: 'unterminated; color: red").Props().size(), 1u);

    // A style attribute of a megabyte, read once.
    std::string style;
    while (style.size() < 1024 * 1024) style += "x" + std::to_string(style.size()) + ": 1px; ";
    style += "color: red";
    Page("<p id=p style='" + style + "'>a</p>", "p { color: blue }");
    EXPECT_EQ(Value("p", "color"), "red");
    EXPECT_EQ(Value("p", "x0"), "1px");
    EXPECT_EQ(Value("p", "border-top-width"), "-");
}

TEST_F(StyleLookup, UpwardSearchesStopAtTheGroupBoundary) {
    Page("<div style='margin-right: 9px; color: green'><table id=t style='color: red' bgcolor=#fff align=center>"
         "<tr id=r><td id=c>x</td><td id=c2 align>y</td></tr></table><p id=p>z</p><span id=s>w</span></div>",
         "td { font-size: 8pt }");
    std::uint16_t source = 99;
    EXPECT_EQ(Up("c", "color", nullptr, true, &source), "red");
    EXPECT_EQ(source, talix::kStyleFromCSS);
    EXPECT_EQ(Up("c", "margin-right", nullptr, true, &source), "-");
    EXPECT_EQ(source, talix::kStyleNotFound);
    EXPECT_EQ(Up("c", "color", nullptr, false), "-");
    EXPECT_EQ(Up("c", "font-size", nullptr, false), "8pt");
    EXPECT_EQ(Up("c", nullptr, "bgcolor", true, &source), "#fff");
    EXPECT_EQ(source, talix::kStyleFromAttribute);
    EXPECT_EQ(Up("c2", nullptr, "align", true), "");
    EXPECT_EQ(Up("c", nullptr, nullptr, true, &source, "th", "TABLE"), "TABLE");
    EXPECT_EQ(source, talix::kStyleFromTag1 + 1);
    // A block stops at its first ancestor outside the block group; other
    // elements search to the top.
    EXPECT_EQ(Up("p", "margin-right", nullptr, true), "9px");
    EXPECT_EQ(Up("s", "color", nullptr, true), "green");
    EXPECT_EQ(Show(StyleAttrElem(nullptr, "color", nullptr, nullptr, nullptr, nullptr, &source, true, nullptr,
                                 nullptr)),
              "-");

    EXPECT_EQ(Show(talix::FindInheritedAttr(Id("c"), "align", "tr", "table")), "center");
    EXPECT_EQ(Show(talix::FindInheritedAttr(Id("c2"), "align", "tr", "table")), "");
    EXPECT_EQ(Show(talix::FindInheritedAttr(Id("c"), "valign", "tr", "table")), "-");
    EXPECT_EQ(Show(talix::FindInheritedAttr(Id("p"), "align", nullptr, "table")), "-");
    EXPECT_NE(talix::FindNodeAttribute(Id("t"), "BGCOLOR"), nullptr);
}

} // namespace
