// Quoted option words.
#include "htmlimport/option_words.h"

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

} // namespace talix
