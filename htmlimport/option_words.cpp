// Quoted option words.
#include "htmlimport/option_words.h"

namespace talix {

bool AppendOptionWord(std::string* text, std::string_view keyword, std::string_view value) {
    for (const char quote : {'\'', '"', '|', '~'}) {
        if (value.find(quote) != std::string_view::npos) continue;
        text->push_back(' ');
        text->append(keyword);
        text->push_back('=');
        text->push_back(quote);
        text->append(value);
        text->push_back(quote);
        return true;
    }
    return false;
}

} // namespace talix
