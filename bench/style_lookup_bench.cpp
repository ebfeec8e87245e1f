// Style look-ups as the import's walk asks them: six properties for every
// element of a document of 10,000 elements under 500 rules (element,
// element.class and .class selectors, parent chains, groups), a tenth of
// the elements with an inline style. Reported as look-ups per second; the
// rules' and the nodes' parsed declarations are kept from the first round.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "htmlimport/css_rules.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/style_lookup.h"

namespace {

constexpr const char* kNames[] = {"p",  "div", "span", "td",    "li",   "h1",   "h2",     "a",      "b",  "em",
                                  "ul", "tr",  "font", "table", "i",    "img",  "strong", "center", "th", "blockquote"};
constexpr int kNameCount = sizeof kNames / sizeof kNames[0];
constexpr int kClasses = 50;
constexpr const char* kAsked[] = {"color", "margin-left", "font-size", "text-align", "border-top-width",
                                  "background-color"};
constexpr int kAskedCount = sizeof kAsked / sizeof kAsked[0];

std::string Declarations(int n) {
    static constexpr const char* kProperties[] = {"color: #12%02d34", "margin-left: %dpx", "font-size: %dpt",
                                                  "text-align: center", "border: %dpx solid #808080",
                                                  "background: #ff%02d00 url(x.gif)", "padding: %dpx 2px",
                                                  "line-height: 1.%dem"};
    std::string text;
    for (int k = 0; k < 3; ++k) {
        char one[64];
        std::snprintf(one, sizeof one, kProperties[(n + k * 3) % 8], (n + k) % 90 + 1);
        text += one;
        text += "; ";
    }
    return text;
}

std::string Sheet(int rules) {
    std::string css;
    for (int n = 0; n < rules; ++n) {
        const std::string name = kNames[n % kNameCount];
        const std::string klass = "c" + std::to_string(n * 7 % kClasses);
        std::string selector;
        switch (n % 5) {
        case 0: selector = name; break;
        case 1: selector = name + "." + klass; break;
        case 2: selector = "." + klass; break;
        case 3: selector = std::string(kNames[(n / 5) % kNameCount]) + " " + name; break;
        default: selector = "div." + klass + " " + name; break;
        }
        css += selector + " { " + Declarations(n) + "}\n";
    }
    return css;
}

// A body of containers (divs and lists with a class) holding the elements.
std::vector<const talix::HtmlNode*> Build(talix::HtmlDocument* document, int elements) {
    std::vector<const talix::HtmlNode*> nodes;
    talix::HtmlNode* body = document->NewElement("body");
    talix::HtmlDocument::AppendChild(document->Root(), body);
    talix::HtmlNode* container = nullptr;
    for (int n = 0; n < elements; ++n) {
        if (n % 10 == 0) {
            container = document->NewElement(n % 20 == 0 ? "div" : "ul");
            document->SetAttribute(container, "class", "c" + std::to_string(n % kClasses));
            talix::HtmlDocument::AppendChild(body, container);
            nodes.push_back(container);
            continue;
        }
        talix::HtmlNode* element = document->NewElement(kNames[n % kNameCount]);
        if (n % 2 == 0) document->SetAttribute(element, "class", "c" + std::to_string(n * 3 % kClasses));
        if (n % 10 == 5) document->SetAttribute(element, "style", "color: red; margin: 1px 2px");
        talix::HtmlDocument::AppendChild(container, element);
        talix::HtmlDocument::AppendChild(element, document->NewTextNode(talix::HtmlNodeType::kText, "text"));
        nodes.push_back(element);
    }
    return nodes;
}

void BM_StyleLookups(benchmark::State& state) {
    const int rules = static_cast<int>(state.range(0));
    const int elements = static_cast<int>(state.range(1));
    talix::HTMLImportContext import;
    const std::string css = Sheet(rules);
    talix::ParseCSSRules(&import, css.data(), css.size());
    talix::HtmlDocument document;
    const std::vector<const talix::HtmlNode*> nodes = Build(&document, elements);
    std::int64_t found = 0;
    for (auto _ : state) {
        for (const talix::HtmlNode* node : nodes) {
            for (const char* property : kAsked) {
                const talix::StyleValue value =
                    talix::FindStyleValue(node, property, &import.styleRules1, &import.styleRules2);
                found += value.has_value() ? 1 : 0;
            }
        }
    }
    benchmark::DoNotOptimize(found);
    state.counters["rules"] = static_cast<double>(import.styleRules1.Size());
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(nodes.size()) * kAskedCount);
}

BENCHMARK(BM_StyleLookups)->Args({500, 10000})->Unit(benchmark::kMillisecond);

} // namespace
