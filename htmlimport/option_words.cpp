// Quoted option words.
#include "htmlimport/option_words.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <system_error>

namespace talix {

char OptionQuoteFor(std::string_view value) {
    for (const char quote : {'\'', '"', '|', '~'})
        if (value.find(quote) == std::string_view::npos) return quote;
    return 0;
}

bool AppendOptionWord(std::string* text, std::string_view keyword, std::string_view value) {
    const char quote = OptionQuoteFor(value);
    if (quote == 0) return false;
    text->push_back(' ');
    text->append(keyword);
    text->push_back('=');
    text->push_back(quote);
    text->append(value);
    text->push_back(quote);
    return true;
}

void AppendFixed(std::string* text, double value, int decimals) {
    // Room for the digits of any finite double; formatting is left to the
    // C library only for what the conversion cannot write.
    char digits[512];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
    if (error == std::errc()) {
        text->append(digits, end);
        return;
    }
    const int length = std::snprintf(digits, sizeof digits, "%.*f", decimals, value);
    if (length > 0) text->append(digits, std::min<std::size_t>(static_cast<std::size_t>(length), sizeof digits - 1));
}

} // namespace talix
