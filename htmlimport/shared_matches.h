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
#include <vector>

#include "htmlimport/style_declarations.h"

namespace talix {

class CSSRuleList;
struct HtmlAttr;
struct HtmlNode;

// The key of an element's name and class, as the look-ups choose and
// compare rules by them: its tag id (its lower-case name when it has none)
// and its whole class attribute (absent, without value, or its value as
// written). False, and no key, for an element without name.
bool NameAndClassKey(const HtmlNode* element, const HtmlAttr* classAttribute, std::string* key);

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
    // Builds the key of the element's name and class in key_ and its hash
    // in hash_; false when the element has no name.
    bool MakeKey(const HtmlNode* element, const HtmlAttr* classAttribute);
    // The slot of a key: the one that holds it, else the empty one where it
    // would go.
    std::size_t SlotOf(std::uint64_t hash, const std::string& key) const;

    struct Slot {
        bool used = false;
        std::uint64_t hash = 0;
        std::string key;
        MatchedRules matched;
    };
    const CSSRuleList* lists_[2] = {};
    std::uint64_t versions_[2] = {};
    std::string key_;
    std::uint64_t hash_ = 0;
    // Open addressing, a power of two of slots, at most half of them used.
    std::vector<Slot> slots_;
    std::size_t used_ = 0;
};

} // namespace talix
