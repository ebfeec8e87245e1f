// Feeds arbitrary bytes to the style code of the HTML import: the bytes are
// parsed as a style sheet (ParseCSSRules, no terminator) and are the style
// attribute of the elements of a small page; then every kind of look-up,
// the lengths of the values found, and the border and paragraph texts run
// on that page. The first byte picks the units and the context's nesting.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "htmlimport/css_lengths.h"
#include "htmlimport/css_rules.h"
#include "htmlimport/html_borders.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/html_paragraph.h"
#include "htmlimport/style_lookup.h"

namespace {

constexpr const char* kProperties[] = {
    "color",          "margin-left",      "margin-top",       "padding-left",     "border-width",
    "border-style",   "border-color",     "border-top-width", "border-left-style", "border-bottom-color",
    "border-top",     "background-color", "background-image", "background-position", "background-repeat",
    "text-indent",    "font-size",        "line-height",      "margin-right",     "x-unknown-name",
};

talix::HtmlNode* Add(talix::HtmlDocument* document, talix::HtmlNode* parent, const char* name,
                     std::string_view style, const char* className = nullptr) {
    talix::HtmlNode* node = document->NewElement(name);
    talix::HtmlDocument::AppendChild(parent, node);
    if (!style.empty()) document->SetAttribute(node, "style", style);
    if (className != nullptr) document->SetAttribute(node, "class", className);
    talix::HtmlDocument::AppendChild(node, document->NewTextNode(talix::HtmlNodeType::kText, "t"));
    return node;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t choice = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    talix::HTMLImportContext import;
    import.pixelMultiplier = (choice & 1) != 0 ? 99.0f : 15.0f;
    import.emMultiplier = (choice & 2) != 0 ? 1.0f : 0.15f;
    import.allowZeroSize = (choice & 4) != 0 ? 1 : 0;
    import.tableLevel = (choice & 8) != 0 ? 1 : 0;
    import.layerLevel = (choice & 16) != 0 ? 1 : 0;
    import.rightToLeft = (choice & 32) != 0 ? 1 : 0;
    talix::ParseCSSRules(&import, text.data(), text.size());

    talix::HtmlDocument document;
    talix::HtmlNode* body = document.NewElement("body");
    talix::HtmlDocument::AppendChild(document.Root(), body);
    talix::HtmlNode* div = Add(&document, body, "div", text, "x");
    talix::HtmlNode* table = Add(&document, div, "table", {});
    document.SetAttribute(table, "border", "1");
    talix::HtmlNode* row = Add(&document, table, "tr", {});
    talix::HtmlNode* cell = Add(&document, row, "td", text, "y");
    talix::HtmlNode* paragraph = Add(&document, cell, "p", {}, "y");
    talix::HtmlNode* image = Add(&document, div, "img", text);
    document.SetAttribute(image, "hspace", "5");
    talix::HtmlNode* quote = Add(&document, body, "blockquote", {}, "x y");
    talix::HtmlNode* list = Add(&document, quote, "ul", text);
    talix::HtmlNode* item = Add(&document, list, "li", {});
    const talix::HtmlNode* nodes[] = {div, table, row, cell, paragraph, image, quote, list, item, item->firstChild};

    const talix::CSSRuleList* first = &import.styleRules1;
    const talix::CSSRuleList* second = &import.styleRules2;
    for (const talix::HtmlNode* node : nodes) {
        for (const char* property : kProperties) {
            const talix::StyleValue value = talix::FindStyleValue(node, property, first, second);
            if (value.has_value()) talix::ParseCSSLength(&import, value->c_str(), 0.0f);
            talix::StyleAttrElem(node, property, "hspace", "td", "table", nullptr, nullptr, true, first, second);
            talix::SumStyleLengthUpTree(&import, node, property, 2, (choice & 64) != 0);
        }
        std::string out;
        talix::CalcParagraphFromHTML(&import, node, &out);
        talix::CalcBorderSetFromHTML(&import, node, &out, (choice & 128) != 0);
        talix::CalcCellBorderFromHTML(&import, node, &out);
        talix::FindInheritedAttr(node, "align", "tr", "table");
    }
    const std::string terminated(text.substr(0, 256));
    talix::ParseCSSLength(&import, terminated.c_str(), -1.0f);
    return 0;
}
