// Parsing "name: value; ..." texts.
#include "htmlimport/style_declarations.h"

#include <unordered_map>

#include "core/text_compare.h"
#include "htmlimport/css_text.h"
#include "htmlimport/html_dom.h"

namespace talix {

namespace {

// Lists longer than this are freed of repeated names through a hash map;
// shorter ones (nearly all) by comparing pairs.
constexpr std::size_t kLinearDedupe = 32;

// Reads one part of a declaration text: up to a stop character outside
// quotes, parentheses (when asked) and comments. Comments become one blank.
class DeclarationReader {
public:
    explicit DeclarationReader(std::string_view text) : text_(text) {}

    bool AtEnd() const { return at_ >= text_.size(); }
    char Peek() const { return text_[at_]; }
    void Step() { ++at_; }

    // Collects characters into out until one of the stop characters is met
    // at the outer level (it is not consumed) or the text ends.
    void ReadUntil(std::string_view stops, bool nestParentheses, std::string* out) {
        out->clear();
        int depth = 0;
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == '/' && at_ + 1 < text_.size() && text_[at_ + 1] == '*') {
                SkipComment();
                out->push_back(' ');
                continue;
            }
            if (c == '"' || c == '\'') {
                ReadQuoted(c, out);
                continue;
            }
            if (depth == 0 && stops.find(c) != std::string_view::npos) return;
            if (nestParentheses && c == '(') ++depth;
            if (nestParentheses && c == ')' && depth > 0) --depth;
            out->push_back(c);
            ++at_;
        }
    }

private:
    void SkipComment() {
        const std::size_t close = text_.find("*/", at_ + 2);
        at_ = close == std::string_view::npos ? text_.size() : close + 2;
    }

    // A quoted string, copied with its quotes; a backslash takes the next
    // character with it.
    void ReadQuoted(char quote, std::string* out) {
        out->push_back(quote);
        ++at_;
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            out->push_back(c);
            if (c == '\\' && at_ < text_.size()) {
                out->push_back(text_[at_++]);
                continue;
            }
            if (c == quote) return;
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

// A value that ends in the priority "!important" (blanks allowed after
// the "!"), without it; important tells whether it was there.
std::string_view WithoutPriority(std::string_view value, bool* important) {
    *important = false;
    constexpr std::string_view kWord = "important";
    if (value.size() <= kWord.size() || !EqualNoCase(value.substr(value.size() - kWord.size()), kWord)) return value;
    std::size_t at = value.size() - kWord.size();
    while (at > 0 && css::IsBlank(value[at - 1])) --at;
    if (at == 0 || value[at - 1] != '!') return value;
    *important = true;
    return css::TrimBlanks(value.substr(0, at - 1));
}

// A later value of a name replaces the earlier, unless only the earlier is
// important.
void DropRepeatedNames(std::vector<StyleProp>* props, const std::vector<bool>& important) {
    if (props->size() < 2) return;
    std::vector<StyleProp> kept;
    std::vector<bool> keptImportant;
    kept.reserve(props->size());
    auto replace = [&](std::size_t place, std::size_t from) {
        if (keptImportant[place] && !important[from]) return;
        kept[place].value = std::move((*props)[from].value);
        keptImportant[place] = important[from];
    };
    auto add = [&](std::size_t from) {
        kept.push_back(std::move((*props)[from]));
        keptImportant.push_back(important[from]);
    };
    if (props->size() <= kLinearDedupe) {
        for (std::size_t n = 0; n < props->size(); ++n) {
            std::size_t earlier = kept.size();
            for (std::size_t k = 0; k < kept.size(); ++k)
                if (kept[k].name == (*props)[n].name) earlier = k;
            if (earlier != kept.size()) replace(earlier, n);
            else add(n);
        }
    } else {
        std::unordered_map<std::string, std::size_t> placeOf;
        for (std::size_t n = 0; n < props->size(); ++n) {
            const auto [it, added] = placeOf.emplace((*props)[n].name, kept.size());
            if (added) add(n);
            else replace(it->second, n);
        }
    }
    props->swap(kept);
}

} // namespace

StyleDeclarations::StyleDeclarations(std::string_view text) {
    DeclarationReader reader(text);
    std::string name;
    std::string value;
    std::vector<bool> important;
    while (!reader.AtEnd()) {
        reader.ReadUntil(":;", false, &name);
        if (reader.AtEnd() || reader.Peek() == ';') {
            // No colon: not a declaration.
            if (!reader.AtEnd()) reader.Step();
            continue;
        }
        reader.Step();   // the colon
        reader.ReadUntil(";", true, &value);
        if (!reader.AtEnd()) reader.Step();
        const std::string_view trimmedName = css::TrimBlanks(name);
        if (trimmedName.empty()) continue;
        bool priority = false;
        const std::string_view plain = WithoutPriority(css::TrimBlanks(value), &priority);
        props_.push_back(StyleProp{css::LowerCopy(trimmedName), std::string(plain)});
        important.push_back(priority);
    }
    DropRepeatedNames(&props_, important);
    for (const StyleProp& prop : props_) {
        words_ |= DeclaredWordBit(prop.name);
        names_ |= DeclaredNameBit(prop.name);
    }
}

const StyleProp* StyleDeclarations::Find(std::string_view lowerName) const {
    for (const StyleProp& prop : props_)
        if (prop.name == lowerName) return &prop;
    return nullptr;
}

HtmlStyleCache* NodeStyleCache(const HtmlNode* node) {
    if (node == nullptr) return nullptr;
    if (node->style == nullptr) node->style = new HtmlStyleCache;
    return node->style;
}

const StyleDeclarations* NodeStyle(const HtmlNode* node) {
    if (node == nullptr) return nullptr;
    HtmlStyleCache* cache = node->style;
    if (cache == nullptr || !cache->styleRead) {
        const HtmlAttr* attr = FindAttribute(node, "style");
        if (attr == nullptr && cache == nullptr) return nullptr;
        cache = NodeStyleCache(node);
        if (attr != nullptr) cache->declarations = StyleDeclarations(attr->value != nullptr ? attr->value : "");
        cache->styleRead = true;
        cache->hasStyle = attr != nullptr;
    }
    return cache->hasStyle ? &cache->declarations : nullptr;
}

} // namespace talix
