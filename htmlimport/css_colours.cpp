// CSS colour texts as the colour parser reads them.
#include "htmlimport/css_colours.h"

#include <cmath>
#include <cstdio>

#include "htmlimport/css_text.h"

namespace talix {

namespace {

// One component at the start of text (after blanks): a number, perhaps
// with a sign and a fraction, perhaps in percent; false when there is none.
bool ReadComponent(std::string_view text, std::size_t* at, double* value) {
    while (*at < text.size() && css::IsBlank(text[*at])) ++*at;
    const std::size_t start = *at;
    if (*at < text.size() && (text[*at] == '-' || text[*at] == '+')) ++*at;
    bool digits = false;
    double number = 0;
    while (*at < text.size() && css::IsAsciiDigit(text[*at])) {
        if (number < 1e6) number = number * 10 + (text[*at] - '0');
        ++*at;
        digits = true;
    }
    if (*at < text.size() && text[*at] == '.') {
        ++*at;
        double scale = 0.1;
        while (*at < text.size() && css::IsAsciiDigit(text[*at])) {
            number += (text[*at] - '0') * scale;
            scale /= 10;
            ++*at;
            digits = true;
        }
    }
    if (!digits) return false;
    if (text[start] == '-') number = -number;
    if (*at < text.size() && text[*at] == '%') {
        number = number * 255 / 100;
        ++*at;
    }
    *value = number;
    return true;
}

int Channel(double value) {
    const double rounded = std::floor(value + 0.5);
    return rounded < 0 ? 0 : rounded > 255 ? 255 : static_cast<int>(rounded);
}

} // namespace

std::string ColourTextForParser(std::string_view text) {
    const std::string_view value = css::TrimBlanks(text);
    if (!StartsWithNoCase(value, "rgb")) return std::string(text);
    std::size_t at = 3;
    if (at < value.size() && (value[at] == 'a' || value[at] == 'A')) ++at;
    while (at < value.size() && css::IsBlank(value[at])) ++at;
    if (at >= value.size() || value[at] != '(') return std::string(text);
    ++at;
    int channels[3] = {0, 0, 0};
    for (int n = 0; n < 3; ++n) {
        double component = 0;
        if (!ReadComponent(value, &at, &component)) return std::string(text);
        channels[n] = Channel(component);
        while (at < value.size() && css::IsBlank(value[at])) ++at;
        if (n < 2 && at < value.size() && value[at] == ',') ++at;
    }
    // What follows (an alpha value, the closing parenthesis) is left out.
    char written[32];
    std::snprintf(written, sizeof written, "rgb(%d,%d,%d)", channels[0], channels[1], channels[2]);
    return written;
}

} // namespace talix
