// The list kinds of HTML lists as paragraph-style keywords.
#include "htmlimport/list_styles.h"

#include "core/text_compare.h"
#include "htmlimport/html_import_context.h"

namespace talix {

namespace {

struct ListKindName {
    const char* name;
    const char* other;   // a second name of the same kind, or null
    const char* keyword;
};
constexpr ListKindName kListKinds[] = {
    {"_a_checked", nullptr, "+CHECKED_LIST"},
    {"_a_unchecked", nullptr, "+UNCHECKED_LIST"},
    {"disc", nullptr, "+BULLET"},
    {"circle", nullptr, "+CIRCLE_LIST"},
    {"square", nullptr, "+SQUARE_LIST"},
    {"decimal", nullptr, "+NUMBERED_LIST"},
    {"upper-roman", nullptr, "+UPPER_ROMAN_LIST"},
    {"lower-roman", nullptr, "+LOWER_ROMAN_LIST"},
    {"upper-latin", "upper-alpha", "+UPPER_ALPHA_LIST"},
    {"lower-latin", "lower-alpha", "+LOWER_ALPHA_LIST"},
};

} // namespace

StyleValue ListStyleValue(const HTMLImportContext* import, const HtmlNode* node) {
    if (import == nullptr || node == nullptr) return std::nullopt;
    const ElementStyle style{node, &import->styleRules1, &import->styleRules2};
    if (StyleValue value = style.Own("list-style-type"); value.has_value()) return value;
    if (StyleValue value = style.Own("list-style"); value.has_value()) return value;
    if (const char* type = AttributeValue(node, "type"); type != nullptr) return std::string(type);
    return std::nullopt;
}

const char* NamedListKeyword(std::string_view value) {
    for (const ListKindName& kind : kListKinds) {
        if (ContainsNoCase(value, kind.name) || (kind.other != nullptr && ContainsNoCase(value, kind.other)))
            return kind.keyword;
    }
    return nullptr;
}

const char* LevelListKeyword(std::uint16_t level) { return level == 2 ? "+CIRCLE_LIST" : "+BULLET"; }

const char* OrderedListKeyword(std::string_view value) {
    if (value == "a") return "+LOWER_ALPHA_LIST";
    if (value == "A") return "+UPPER_ALPHA_LIST";
    if (value == "i") return "+LOWER_ROMAN_LIST";
    if (value == "I") return "+UPPER_ROMAN_LIST";
    return "+NUMBERED_LIST";
}

} // namespace talix
