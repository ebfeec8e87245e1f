// CSS declarations, the "name: value; name: value" texts of a style
// attribute and of a rule's block, parsed into a list of properties.
//
// Names are kept in lower case (CSS property names are compared without
// regard to case), values as written without the blanks around them. A
// semicolon inside quotes or parentheses (url(data:...;base64,...)) does
// not end a value; comments are dropped; a part without a colon or without
// a name is passed over. A name given twice keeps the place of its first
// occurrence and the value of its last, as CSS reads a block. Unterminated
// quotes, parentheses and comments end at the end of the text.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace talix {

struct HtmlNode;

struct StyleProp {
    std::string name;    // lower case
    std::string value;
};

class StyleDeclarations {
public:
    StyleDeclarations() = default;
    // Parses the text. Throws std::bad_alloc when memory runs out.
    explicit StyleDeclarations(std::string_view text);

    const std::vector<StyleProp>& Props() const { return props_; }
    bool Empty() const { return props_.empty(); }
    // The property of a lower-case name, or null.
    const StyleProp* Find(std::string_view lowerName) const;
    // A bit for the first word of every property declared (DeclaredWordBit):
    // no property whose bit is clear is declared, nor any shorthand of it.
    std::uint64_t Words() const { return words_; }
    // A bit for the name of every property declared (DeclaredNameBit).
    std::uint64_t Names() const { return names_; }

private:
    std::vector<StyleProp> props_;
    std::uint64_t words_ = 0;
    std::uint64_t names_ = 0;
};

struct CSSRule;
class CSSRuleList;

// A list of rules that keeps its first few in place: most elements match no
// more than that, and then their list takes no allocation of its own.
class MatchedRuleList {
public:
    const CSSRule* const* data() const { return spill_.empty() ? inPlace_ : spill_.data(); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    void clear() {
        size_ = 0;
        spill_.clear();
    }
    // Throws std::bad_alloc, the list then unchanged.
    void push_back(const CSSRule* rule) {
        if (spill_.empty() && size_ < kInPlace) {
            inPlace_[size_++] = rule;
            return;
        }
        if (spill_.empty()) {
            spill_.reserve(2 * kInPlace);
            spill_.assign(inPlace_, inPlace_ + size_);
        }
        spill_.push_back(rule);
        ++size_;
    }

private:
    static constexpr std::size_t kInPlace = 4;
    const CSSRule* inPlace_[kInPlace] = {};
    std::vector<const CSSRule*> spill_;
    std::size_t size_ = 0;
};

// The rules of two rule lists that match an element, as the look-up from
// the rules finds them, kept while the lists stay as they were: for each
// list the rules whose selector matches with the element's class, then
// those without class whose selector matches without comparing classes, in
// document order.
struct MatchedRules {
    const CSSRuleList* lists[2] = {};
    std::uint64_t versions[2] = {};
    bool known = false;
    // The rules are those of every element of the same name and class: no
    // rule that may apply to them looks above the element.
    bool byName = false;
    // The matched rules of the four passes one after another (list 0 with
    // class, list 0 without, list 1 with, list 1 without): one list per
    // element rather than one per pass. passEnds[k] is where pass k ends.
    MatchedRuleList rules;
    std::uint32_t passEnds[4] = {};
    std::span<const CSSRule* const> Pass(int list, bool classless) const {
        const int k = 2 * list + (classless ? 1 : 0);
        const std::uint32_t begin = k == 0 ? 0 : passEnds[k - 1];
        return {rules.data() + begin, passEnds[k] - begin};
    }
    // For each list, a bit for the first word of every property its matched
    // rules declare (see DeclaredWordBit): a property whose bit is clear is
    // declared by none of them, nor is any shorthand of it.
    std::uint64_t declaredWords[2] = {};
    // Those of the lists given together with the words of the element's own
    // style attribute.
    std::uint64_t elementWords = 0;
    // And a bit for the whole name of every property they declare.
    std::uint64_t elementNames = 0;
    // A bit for the whole name of every property the matched rules declare.
    std::uint64_t ruleNames = 0;
    // The element's name and class value the rules were matched with: the
    // rules of an element renamed or given another class since are not
    // lent to a sibling.
    const char* matchedName = nullptr;
    const char* matchedClass = nullptr;
};

// The bit of a property's first word ("border" of "border-top-width"), from
// the word's first three characters.
std::uint64_t DeclaredWordBit(std::string_view lowerProperty);
// The bit of a property's whole name.
std::uint64_t DeclaredNameBit(std::string_view lowerProperty);

// The answer of a search up the tree that passed the node, for the
// question of that id (and the kind of search: restricted to the node's
// group of elements, or not).
struct UpwardAnswer {
    std::uint32_t question = 0;
    bool restricted = false;
    bool found = false;
    std::uint16_t source = 0;
    std::string value;
};

// What the look-ups keep of a node for the document's life: its parsed
// inline style, the rules that match it, and the answers of searches up the
// tree that passed it (kept while the rule lists stay as they were).
struct HtmlStyleCache {
    StyleDeclarations declarations;
    bool styleRead = false;        // the style attribute was looked for
    bool hasStyle = false;         // and found
    MatchedRules rules;
    const CSSRuleList* upwardLists[2] = {};
    std::uint64_t upwardVersions[2] = {};
    std::vector<UpwardAnswer> upward;
};

// The node's cache, made on the first call. Throws std::bad_alloc.
HtmlStyleCache* NodeStyleCache(const HtmlNode* node);

// The node's parsed "style" attribute: parsed on the first call and kept in
// the node; null when the node has no style attribute. Throws
// std::bad_alloc.
const StyleDeclarations* NodeStyle(const HtmlNode* node);

} // namespace talix
