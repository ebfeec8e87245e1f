// Markup made to be slow for the HTML parser, at 100,000 repetitions of
// each shape (and the worst inputs just within the bounds, and one the
// parser does not end on): what the import refuses or imports, and what
// pass-through HTML written as XHTML writes back or as text, in bounded
// time.
#pragma once

#include <string>
#include <vector>

namespace talix_bench {

struct HostileMarkup {
    const char* label;
    std::string html;
};

inline std::string Repeated(const std::string& piece, int times) {
    std::string text;
    text.reserve(piece.size() * static_cast<std::size_t>(times));
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

inline const std::vector<HostileMarkup>& HostileMarkups() {
    static const std::vector<HostileMarkup> kShapes = [] {
        constexpr int kTimes = 100000;
        std::string attributes = "<p";
        for (int i = 0; i < kTimes; ++i) attributes += " a" + std::to_string(i) + "=1";
        attributes += ">x";
        return std::vector<HostileMarkup>{
            {"div in textarea", "<textarea>" + Repeated("<div>", kTimes)},
            {"div in title", "<title>" + Repeated("<div>", kTimes)},
            {"div in xmp", "<xmp>" + Repeated("<div>", kTimes)},
            {"option and optgroup in select", "<select>" + Repeated("<option><optgroup>", kTimes)},
            {"unclosed table cells", "<table><tr>" + Repeated("<td>x", kTimes)},
            {"nested lists", Repeated("<ul><li>", kTimes) + "x"},
            {"nested inline elements", Repeated("<b><i>", kTimes) + "x"},
            {"attributes of one element", attributes},
            {"unclosed font", Repeated("<font>x", kTimes)},
            {"tags inside tags", Repeated("<div ", kTimes) + ">x"},
            {"closed divs", Repeated("<div>", kTimes) + "x" + Repeated("</div>", kTimes)},
            {"999 blockquote", Repeated("<blockquote>", 999) + "x"},
            {"333 tables", Repeated("<table><tr><td>", 333) + "x"},
            {"999 attributes", attributes.substr(0, attributes.find(" a999=")) + ">x"},
            {"316 fonts opened again", Repeated("<div><font>x</div>", 316)},
            {"a loop of the parser", "<tr><dl>x</table>"},
        };
    }();
    return kShapes;
}

} // namespace talix_bench
