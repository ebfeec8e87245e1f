// Style-value look-up: the value of a CSS property for an element of the
// import's tree, from its own style attribute, then from the rule lists,
// expanding the shorthands margin, padding, background, border and the
// border sides when only a shorthand was written; for some callers also
// from an HTML attribute or the element's tag, searching up the tree.
//
// Every answer is a fresh copy (std::nullopt: not found; an empty text is
// an answer). Property names are compared without regard to case. A node's
// style attribute and a rule's block are each parsed once and kept; rules
// are reached through their list's index by element name. The walk asks a
// dozen questions per element, so these stay cheap: no call walks every
// rule of a list, and none walks the tree further than it must.
//
// The calls allocate; they throw std::bad_alloc when memory runs out.
// With the debug level above 3 each look-up writes trace lines to the log.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "htmlimport/html_dom.h"

namespace talix {

class CSSRuleList;
class StyleDeclarations;
struct CSSSelector;

using StyleValue = std::optional<std::string>;

// Where a StyleAttrElem answer came from.
enum StyleSource : std::uint16_t {
    kStyleNotFound = 0,
    kStyleFromCSS = 1,        // inline style or a rule
    kStyleFromAttribute = 2,  // the HTML attribute
    kStyleFromTag1 = 3,       // the element is the first tag name (then 4, 5)
};

// The value of property for the node: its own style attribute wins; else,
// when a rule list is given, FindStyleValueFromCSSRules. Null node or empty
// name: not found.
StyleValue FindStyleValue(const HtmlNode* node, const char* property, const CSSRuleList* first,
                          const CSSRuleList* second);

// FindStyleValue for a caller that has found with MayBeDeclared that the
// element may declare the property: the same answer, without asking that
// again.
StyleValue FindDeclaredStyleValue(const HtmlNode* node, const char* property, const CSSRuleList* first,
                                  const CSSRuleList* second);

// The value of property in one parsed list, with the shorthands expanded:
// - an exact property wins;
// - border-<side>-<width|style|color> from border-<side> or border (the
//   width is the first word that is a number, else thick, thin or medium,
//   else the side's word of the box rule; the style is the second word),
//   else from border-width, border-style or border-color by the box rule;
// - border-<width|style|color> and border-<side> from the first of border,
//   border-width and the four sides written, else from the side longhands
//   that carry the same word (border-color from border-top-color ...);
// - margin-<side> and padding-<side> from margin and padding by the box
//   rule ("0in" for a name that names no side);
// - background-color, -image, -repeat and -position from the words of
//   background ("" for any other background- name).
// The box rule: one word gives all four sides; two give top and bottom the
// first, right and left the second; three give top the first, right and
// left the second, bottom the third; four give top, right, bottom, left.
StyleValue FindStyleValueInternal(const StyleDeclarations* list, const char* property);

// The value of property from the rule lists for the node's nearest element
// (the node itself or its nearest element ancestor). Pass A: the first rule
// of the first list, in document order, whose selector matches the element
// with its class (the whole class attribute must equal the rule's class; an
// element without class takes only rules without class) and whose block
// holds the property; then the same over the second list. When pass A finds
// nothing in either list, pass B does the same over the rules without
// class, comparing no class of the element or its parents. The first list's
// answer wins.
StyleValue FindStyleValueFromCSSRules(const HtmlNode* node, const char* property,
                                      const CSSRuleList* first, const CSSRuleList* second);

// 1 when the compound chain matches the node and its parents (each outer
// compound the parent of the element the previous one matched), else 0.
// With ignoreClass a compound with a class never matches and no class
// attribute is compared.
int MatchCSSContext(const CSSSelector* compound, const HtmlNode* node, bool ignoreClass);

// The ids of the questions searches up the tree are asked (one per distinct
// property, attribute and tag names), by which the answers kept at the nodes
// a search passed are found again. An import keeps one for its document.
class StyleQuestions {
public:
    // The question's id (1, 2 ...), or 0 once 4,096 questions are kept (the
    // answers of the others are then searched anew).
    std::uint32_t Id(const char* property, const char* attribute, const char* const tags[3]);

private:
    using Names = std::array<std::string, 5>;
    std::unordered_map<std::uint64_t, std::vector<std::pair<Names, std::uint32_t>>> ids_;
    std::uint32_t count_ = 0;
};

// The first answer found at the node, then (with searchUp) at each ancestor:
// at each node the property (inline style, then the rules), then the
// attribute's value ("" for an attribute without value), then whether the
// element's name is tag1, tag2 or tag3 (the answer is a copy of that name).
// *source (may be null) tells which gave it (StyleSource, 3 to 5 for the
// tags). An element of the block group (div, p, blockquote, center) searches
// no higher than its block ancestors, one of the table group (td, th, tr,
// table) no higher than its table ancestors. Any of property, attribute and
// the tags may be null. A search up the tree keeps its answer at every node
// it passed, under the question's id in questions, so that the searches of
// the elements below end there (none is kept without questions; the nodes
// of one document take one questions table).
StyleValue StyleAttrElem(const HtmlNode* node, const char* property, const char* attribute,
                         const char* tag1, const char* tag2, const char* tag3, std::uint16_t* source,
                         bool searchUp, const CSSRuleList* first, const CSSRuleList* second,
                         StyleQuestions* questions = nullptr);

// What an element answers besides its property, as StyleAttrElem asks it
// after the property: the attribute's value ("" for an attribute without
// value), else its name among the tags (a copy of that name); *source
// tells which. False when neither answers. tags holds three (each may be
// null).
bool AttributeOrTagAnswer(const HtmlNode* node, const char* attribute, const char* const tags[3], std::string* value,
                          std::uint16_t* source);

// False when FindStyleValue cannot find the property for the node: neither
// its style attribute nor a rule matching it declares a property whose first
// word begins as the property's does. True when it may (and always for a
// node that is no element, and while look-ups are traced).
bool StyleMayBeDeclared(const HtmlNode* node, const char* property, const CSSRuleList* first,
                        const CSSRuleList* second);

// For callers that ask many properties of one element: the bits of what
// its style attribute and the rules matching it declare, read once
// (DeclaredElementBits), and those of a property (PropertyDeclaredBits),
// which MayBeDeclared compares as StyleMayBeDeclared does.
// DeclaredElementBits is false, and fills nothing, for a node that is no
// element and while look-ups are traced: every property may then be
// declared.
struct DeclaredBits {
    std::uint64_t words = 0;
    std::uint64_t names = 0;
};
struct PropertyBits {
    std::uint64_t word = 0;
    std::uint64_t name = 0;
    bool shorthand = false;   // a shorthand may answer for it: the word decides
};
bool DeclaredElementBits(const HtmlNode* node, const CSSRuleList* first, const CSSRuleList* second,
                         DeclaredBits* bits);
PropertyBits PropertyDeclaredBits(const char* property);
inline bool MayBeDeclared(const DeclaredBits& element, const PropertyBits& property) {
    if ((element.words & property.word) == 0) return false;
    return property.shorthand || (element.names & property.name) != 0;
}

// False when a search up the tree as StyleAttrElem makes it (by property
// only, searchUp) cannot find the property: no element it would ask
// declares a property whose first word begins as the property's does. True
// when it may (and always while look-ups are traced).
bool StyleMayBeFoundUp(const HtmlNode* node, const char* property, const CSSRuleList* first,
                       const CSSRuleList* second);

// The look-ups of one element with a pair of rule lists (and the questions
// table of the searches up the tree).
struct ElementStyle {
    const HtmlNode* node = nullptr;
    const CSSRuleList* first = nullptr;
    const CSSRuleList* second = nullptr;
    StyleQuestions* questions = nullptr;

    // The element's own value (FindStyleValue).
    StyleValue Own(const char* property) const { return FindStyleValue(node, property, first, second); }
    // The value searched as StyleAttrElem does, by property only.
    StyleValue Look(const char* property, bool searchUp) const {
        return StyleAttrElem(node, property, nullptr, nullptr, nullptr, nullptr, nullptr, searchUp, first, second,
                             questions);
    }
    ElementStyle Of(const HtmlNode* other) const { return ElementStyle{other, first, second, questions}; }
};

// The node's first attribute of the name (compared without regard to case),
// or null.
inline const HtmlAttr* FindNodeAttribute(const HtmlNode* node, std::string_view name) {
    return FindAttribute(node, name);
}

// The node's own attribute; else, with tag1, that of its nearest ancestor
// named tag1; else, with tag2, that of the nearest element named tag2 above
// that ancestor (above the node when there is none).
StyleValue FindInheritedAttr(const HtmlNode* node, const char* name, const char* tag1, const char* tag2);

} // namespace talix
