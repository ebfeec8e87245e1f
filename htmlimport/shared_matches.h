// The rule matches an import shares between elements that are not siblings:
// the rules found for an element of one name and class are those of every
// element of that name and class, as long as no rule that may apply to them
// looks at the elements above (a descendant selector). Such matches are
// kept once per name and class for the present state of the rule lists, so
// that the cells of a thousand rows are matched once rather than once per
// row.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "htmlimport/style_declarations.h"

namespace talix {

class CSSRuleList;
struct HtmlAttr;
struct HtmlNode;

class SharedMatches {
public:
    // The match kept for an element of the element's name and class (its
    // class attribute, or null) against the two lists as they are now, or
    // null.
    const MatchedRules* Find(const HtmlNode* element, const HtmlAttr* classAttribute, const CSSRuleList* const lists[2]);
    // Keeps the element's match (made against the lists as they are now) for
    // the elements of its name and class; with byAncestors (a candidate rule
    // looked above the element) it is not kept. Throws std::bad_alloc, the
    // table then as before.
    void Keep(const HtmlNode* element, const HtmlAttr* classAttribute, const CSSRuleList* const lists[2],
              const MatchedRules& matched, bool byAncestors);

private:
    // Empties the table when the lists or their state changed.
    void CheckLists(const CSSRuleList* const lists[2]);
    // Builds the key of the element's name and class in key_; false when
    // the element has no name.
    bool MakeKey(const HtmlNode* element, const HtmlAttr* classAttribute);

    const CSSRuleList* lists_[2] = {};
    std::uint64_t versions_[2] = {};
    std::string key_;
    std::unordered_map<std::string, MatchedRules> kept_;
};

} // namespace talix
