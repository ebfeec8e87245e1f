// Look-ups over the inline style, the rule lists and the tree.
#include "htmlimport/style_lookup.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "core/debug_level.h"
#include "htmlimport/css_rules.h"
#include "htmlimport/css_text.h"
#include "htmlimport/shared_matches.h"
#include "htmlimport/style_declarations.h"
#include "htmlimport/style_shorthands.h"
#include "talix_platform.h"

namespace talix {

namespace {

bool Tracing() { return g_debugLevel > 3; }

// One of 64 bits for the first three characters of a property's first word
// (fewer when it is shorter; the rest are 0): every property a name may be
// answered from (itself, its shorthands) begins with the same word, so a
// name whose bit none of an element's declarations has is answered by
// none of them. Names that only share their leading characters share the
// bit: they are looked up the long way.
std::uint64_t WordBitOf(const char lead[3]) {
    const std::uint32_t key = static_cast<unsigned char>(lead[0]) | static_cast<unsigned char>(lead[1]) << 8 |
                              static_cast<std::uint32_t>(static_cast<unsigned char>(lead[2])) << 16;
    return std::uint64_t{1} << ((key * 0x9E3779B1u) >> 26);
}

// The hash of a property's whole name, eight characters at a time, each
// with the bit 0x20 set: a letter reads as its lower-case self, and a name
// as written hashes as its lower-case form does.
std::uint64_t FoldedNameHash(const char* name, std::size_t length) {
    constexpr std::uint64_t kFold = 0x2020202020202020ull;
    constexpr std::uint64_t kFactor = 0x9E3779B97F4A7C15ull;
    std::uint64_t hash = 1469598103934665603ull ^ length;
    for (; length >= 8; name += 8, length -= 8) {
        std::uint64_t block;
        std::memcpy(&block, name, 8);
        hash = (hash ^ (block | kFold)) * kFactor;
        hash ^= hash >> 29;
    }
    if (length > 0) {
        std::uint64_t block = 0;
        std::memcpy(&block, name, length);
        hash = (hash ^ (block | kFold)) * kFactor;
    }
    return hash * kFactor;
}
std::uint64_t NameBitOfHash(std::uint64_t hash) { return std::uint64_t{1} << (hash >> 58); }

// The element the rules are matched against.
const HtmlNode* NearestElement(const HtmlNode* node) {
    while (node != nullptr && !node->IsElement()) node = node->parent;
    return node;
}

// A class attribute (or its absence) against a selector's class.
bool ClassMatches(const HtmlAttr* classAttribute, const std::string& className) {
    if (classAttribute == nullptr) return className.empty();
    if (classAttribute->value == nullptr) return false;
    return EqualNoCase(classAttribute->value, className);
}

enum class TagGroup { kNone, kBlock, kTable };

TagGroup GroupOf(const HtmlNode* node) {
    if (!node->IsElement()) return TagGroup::kNone;
    switch (node->tag) {
    case HtmlTag::kDiv:
    case HtmlTag::kP:
    case HtmlTag::kBlockquote:
    case HtmlTag::kCenter: return TagGroup::kBlock;
    case HtmlTag::kTd:
    case HtmlTag::kTh:
    case HtmlTag::kTr:
    case HtmlTag::kTable: return TagGroup::kTable;
    default: return TagGroup::kNone;
    }
}

// Whether a candidate rule matches the element: in the first pass with its
// class (the whole class attribute against the rule's class), in the second
// only when it names no class, comparing no classes up the tree.
bool RuleMatches(const CSSRule& rule, const HtmlNode* element, const HtmlAttr* classAttribute, bool classless) {
    const CSSSelector* selector = rule.selector();
    if (classless ? !selector->className.empty() : !ClassMatches(classAttribute, selector->className)) return false;
    return selector->outer == nullptr || MatchCSSContext(selector->outer, element->parent, classless) != 0;
}

// The matched rules' bits joined with those of the element's own style
// attribute; the rules then count as known.
const MatchedRules& WithOwnStyle(const HtmlNode* element, const CSSRuleList* first, const CSSRuleList* second,
                                 MatchedRules* matched) {
    const StyleDeclarations* own = NodeStyle(element);
    matched->elementWords = (own != nullptr ? own->Words() : 0) | (first != nullptr ? matched->declaredWords[0] : 0) |
                            (second != nullptr ? matched->declaredWords[1] : 0);
    matched->elementNames = matched->ruleNames | (own != nullptr ? own->Names() : 0);
    matched->known = true;
    return *matched;
}

// How many nodes before an element the search for a sibling whose matched
// rules it may share looks at (the white space between two cells or items
// is a node of its own).
constexpr int kSiblingsLooked = 4;

// A sibling before the element, of the same name and class, whose rules
// were matched for the same state of the lists, or null. A selector looks
// at the element's name and class and at its ancestors only, so such a
// sibling matches exactly the element's rules.
const MatchedRules* SiblingRules(const HtmlNode* element, const HtmlAttr* classAttribute,
                                 const CSSRuleList* const lists[2]) {
    const HtmlNode* sibling = element->prev;
    for (int n = 0; n < kSiblingsLooked && sibling != nullptr; ++n, sibling = sibling->prev) {
        if (!sibling->IsElement()) continue;
        if (sibling->tag != element->tag || sibling->name == nullptr || element->name == nullptr ||
            (element->tag == HtmlTag::kUnknown && !EqualNoCase(sibling->name, element->name)))
            return nullptr;
        const HtmlAttr* siblingClass = FindAttribute(sibling, "class");
        const char* value = classAttribute != nullptr ? classAttribute->value : nullptr;
        const char* siblingValue = siblingClass != nullptr ? siblingClass->value : nullptr;
        if ((classAttribute == nullptr) != (siblingClass == nullptr) || (value == nullptr) != (siblingValue == nullptr) ||
            (value != nullptr && std::strcmp(value, siblingValue) != 0))
            return nullptr;
        const HtmlStyleCache* kept = sibling->style;
        if (kept == nullptr || !kept->rules.known || kept->rules.matchedName != sibling->name ||
            kept->rules.matchedClass != siblingValue)
            return nullptr;
        for (int k = 0; k < 2; ++k)
            if (kept->rules.lists[k] != lists[k] || (lists[k] != nullptr && kept->rules.versions[k] != lists[k]->Version()))
                return nullptr;
        return &kept->rules;
    }
    return nullptr;
}

// The rules of the two lists that match the element in each pass, found
// once for each state of the lists and kept with the element.
const MatchedRules& Matched(const HtmlNode* element, const CSSRuleList* first, const CSSRuleList* second) {
    if (const HtmlStyleCache* kept = element->style; kept != nullptr && kept->rules.known &&
                                                     kept->rules.lists[0] == first && kept->rules.lists[1] == second &&
                                                     (first == nullptr || kept->rules.versions[0] == first->Version()) &&
                                                     (second == nullptr || kept->rules.versions[1] == second->Version()))
        return kept->rules;
    MatchedRules& matched = NodeStyleCache(element)->rules;
    const CSSRuleList* lists[2] = {first, second};
    bool current = matched.known;
    for (int n = 0; n < 2 && current; ++n)
        current = matched.lists[n] == lists[n] && (lists[n] == nullptr || matched.versions[n] == lists[n]->Version());
    if (current) return matched;

    const HtmlAttr* classAttribute = FindAttribute(element, "class");
    const bool withClass = classAttribute != nullptr && classAttribute->value != nullptr;
    // Unknown until the match is whole (a match cut short by a lack of
    // memory is made anew by the next question).
    matched.known = false;
    matched.matchedName = element->name;
    matched.matchedClass = withClass ? classAttribute->value : nullptr;
    const MatchedRules* shared = SiblingRules(element, classAttribute, lists);
    SharedMatches* table = first != nullptr ? &first->Shared() : second != nullptr ? &second->Shared() : nullptr;
    if (shared == nullptr && table != nullptr) shared = table->Find(element, classAttribute, lists);
    if (shared != nullptr) {
        matched.rules = shared->rules;
        std::copy(std::begin(shared->passEnds), std::end(shared->passEnds), std::begin(matched.passEnds));
        for (int n = 0; n < 2; ++n) {
            matched.lists[n] = lists[n];
            matched.versions[n] = shared->versions[n];
            matched.declaredWords[n] = shared->declaredWords[n];
        }
        matched.ruleNames = shared->ruleNames;
        matched.byName = shared->byName;
        return WithOwnStyle(element, first, second, &matched);
    }
    const std::string classKey = withClass ? css::LowerCopy(classAttribute->value) : std::string();
    matched.rules.clear();
    matched.ruleNames = 0;
    // Whether a rule that may apply looks above the element: its match is
    // then the element's own.
    bool byAncestors = false;
    for (int n = 0; n < 2; ++n) {
        matched.lists[n] = lists[n];
        matched.versions[n] = lists[n] != nullptr ? lists[n]->Version() : 0;
        matched.declaredWords[n] = 0;
        for (const bool classless : {false, true}) {
            if (lists[n] != nullptr && !lists[n]->Empty())
                lists[n]->FirstCandidate(element, withClass && !classless ? &classKey : nullptr, [&](const CSSRule& rule) {
                    if (rule.selector()->outer != nullptr) byAncestors = true;
                    if (!RuleMatches(rule, element, classAttribute, classless)) return false;
                    matched.rules.push_back(&rule);
                    if (const StyleDeclarations* declarations = rule.Declarations()) {
                        matched.declaredWords[n] |= declarations->Words();
                        matched.ruleNames |= declarations->Names();
                    }
                    return false;
                });
            matched.passEnds[2 * n + (classless ? 1 : 0)] = static_cast<std::uint32_t>(matched.rules.size());
        }
    }
    matched.byName = !byAncestors;
    const MatchedRules& whole = WithOwnStyle(element, first, second, &matched);
    try {
        if (table != nullptr) table->Keep(element, classAttribute, lists, whole, byAncestors);
    } catch (const std::bad_alloc&) {
        // Not shared: the elements of the name and class are matched anew.
    }
    return whole;
}

// The first rule of the list's pass that holds the property.
StyleValue ScanRules(std::span<const CSSRule* const> rules, std::string_view property) {
    for (const CSSRule* rule : rules) {
        const StyleDeclarations* declarations = rule->Declarations();
        if (declarations == nullptr) continue;
        StyleValue found = FindStyleValueLower(declarations, property);
        if (found.has_value()) return found;
    }
    return std::nullopt;
}

StyleValue FromRules(const HtmlNode* node, std::string_view lowerName, const char* property,
                     const CSSRuleList* first, const CSSRuleList* second) {
    const bool tracing = Tracing();
    if (tracing) plat::LogLine(0, "FindStyleValueFromCSSRules propname=%s", property);
    const HtmlNode* element = NearestElement(node);
    if (element == nullptr) return std::nullopt;
    if (first != nullptr && first->Empty()) first = nullptr;
    if (second != nullptr && second->Empty()) second = nullptr;
    if (first == nullptr && second == nullptr) return std::nullopt;
    const MatchedRules& matched = Matched(element, first, second);
    // Lists with no rule for the element, or none of whose rules declares
    // the property (or a shorthand of it), are not scanned.
    const std::uint64_t bit = DeclaredWordBit(lowerName);
    const bool firstMay = first != nullptr && (matched.declaredWords[0] & bit) != 0;
    const bool secondMay = second != nullptr && (matched.declaredWords[1] & bit) != 0;
    if (!firstMay && !secondMay) return std::nullopt;
    for (const bool classless : {false, true}) {
        if (tracing) plat::LogLine(0, "FindStyleValueFromCSSRules propname=%s Step %d", property, classless ? 2 : 1);
        if (firstMay) {
            StyleValue fromFirst = ScanRules(matched.Pass(0, classless), lowerName);
            if (fromFirst.has_value()) return fromFirst;
        }
        if (secondMay) {
            StyleValue fromSecond = ScanRules(matched.Pass(1, classless), lowerName);
            if (fromSecond.has_value()) return fromSecond;
        }
    }
    return std::nullopt;
}

// The first three characters of a property's first word as written, in
// lower case (fewer when it is shorter; the rest are 0).
struct NameLead {
    char lead[3] = {};
    explicit NameLead(const char* property) {
        for (int n = 0; n < 3 && property[n] != '\0' && property[n] != '-'; ++n) lead[n] = LowerAscii(property[n]);
    }
    // Whether a shorthand may answer for the property (see
    // FindStyleValueLower): it begins like border, margin, padding or
    // background.
    bool Shorthand() const {
        for (const char* word : {"bor", "mar", "pad", "bac"})
            if (lead[0] == word[0] && lead[1] == word[1] && lead[2] == word[2]) return true;
        return false;
    }
};

// The bit of a property's whole name (DeclaredNameBit) from the name as
// written.
std::uint64_t PropertyNameBit(const char* property) {
    return NameBitOfHash(FoldedNameHash(property, std::strlen(property)));
}

// Whether the element's style attribute or a rule of the lists matching it
// may declare the property or a shorthand of it: whether any of them
// declares a property whose first word begins as the property's does, and,
// for a property that no shorthand answers (all but those beginning like
// margin, padding, background and border), one of its own name.
// The words and names the element's style attribute and the rules of the
// lists matching it declare.
DeclaredBits ElementBits(const HtmlNode* element, const CSSRuleList* first, const CSSRuleList* second) {
    if (first != nullptr && first->Empty()) first = nullptr;
    if (second != nullptr && second->Empty()) second = nullptr;
    DeclaredBits bits;
    if (first == nullptr && second == nullptr) {
        if (const StyleDeclarations* own = NodeStyle(element); own != nullptr) {
            bits.words = own->Words();
            bits.names = own->Names();
        }
    } else {
        const MatchedRules& matched = Matched(element, first, second);
        bits.words = matched.elementWords;
        bits.names = matched.elementNames;
    }
    return bits;
}

bool DeclaresWordOf(const HtmlNode* element, const char* property, const CSSRuleList* first,
                    const CSSRuleList* second) {
    // Most names are told from their first word: the whole name is read
    // only when that does not decide.
    const NameLead lead(property);
    const DeclaredBits bits = ElementBits(element, first, second);
    if ((bits.words & WordBitOf(lead.lead)) == 0) return false;
    if (lead.Shorthand()) return true;
    return (bits.names & PropertyNameBit(property)) != 0;
}

// The value of the property for the node, looked up the whole way: its
// style attribute, then the rules.
StyleValue LookUpProperty(const HtmlNode* node, const char* property, const CSSRuleList* first,
                          const CSSRuleList* second) {
    if (Tracing()) {
        plat::LogLine(0, "FindStyleValue: propname=%s", property);
        plat::LogLine(0, "FindStyleValue: about to look internal for propname=%s", property);
    }
    const LowerName name(property);
    StyleValue value = FindStyleValueLower(NodeStyle(node), name.View());
    if (Tracing()) plat::LogLine(0, "FindStyleValue: finished looking internally for propname=%s", property);
    if (!value.has_value() && (first != nullptr || second != nullptr))
        value = FromRules(node, name.View(), property, first, second);
    // A family that is to be inherited is none of the element's own: the
    // look-up goes on to the elements around it.
    if (value.has_value() && name.View() == "font-family" && EqualNoCase(css::TrimBlanks(*value), "inherit"))
        return std::nullopt;
    return value;
}

} // namespace

std::uint64_t DeclaredNameBit(std::string_view lowerProperty) {
    return NameBitOfHash(FoldedNameHash(lowerProperty.data(), lowerProperty.size()));
}

std::uint64_t DeclaredWordBit(std::string_view lowerProperty) {
    char lead[3] = {};
    for (std::size_t n = 0; n < 3 && n < lowerProperty.size() && lowerProperty[n] != '-'; ++n) lead[n] = lowerProperty[n];
    return WordBitOf(lead);
}

StyleValue FindStyleValue(const HtmlNode* node, const char* property, const CSSRuleList* first,
                          const CSSRuleList* second) {
    if (node == nullptr || property == nullptr || property[0] == '\0') return std::nullopt;
    // Most questions ask for a property that neither the element's style
    // attribute nor any rule matching it declares: such a question is
    // answered from the words they declare, before the name is read whole.
    // (Tracing takes the long way, which logs each step.)
    if (!Tracing() && node->IsElement() && !DeclaresWordOf(node, property, first, second)) return std::nullopt;
    return LookUpProperty(node, property, first, second);
}

StyleValue FindDeclaredStyleValue(const HtmlNode* node, const char* property, const CSSRuleList* first,
                                  const CSSRuleList* second) {
    if (node == nullptr || property == nullptr || property[0] == '\0') return std::nullopt;
    return LookUpProperty(node, property, first, second);
}

StyleValue FindStyleValueFromCSSRules(const HtmlNode* node, const char* property, const CSSRuleList* first,
                                      const CSSRuleList* second) {
    if (property == nullptr || property[0] == '\0') return std::nullopt;
    const LowerName name(property);
    return FromRules(node, name.View(), property, first, second);
}

int MatchCSSContext(const CSSSelector* compound, const HtmlNode* node, bool ignoreClass) {
    while (compound != nullptr) {
        if (node == nullptr) return 0;
        if (!compound->element.empty() &&
            (node->name == nullptr || !node->IsElement() || !EqualNoCase(node->name, compound->element)))
            return 0;
        if (ignoreClass) {
            if (!compound->className.empty()) return 0;
        } else if (!ClassMatches(FindAttribute(node, "class"), compound->className)) {
            return 0;
        }
        compound = compound->outer;
        node = node->parent;
    }
    return 1;
}

namespace {

// Questions beyond this are not kept: their answers are searched anew.
constexpr std::uint32_t kMostQuestions = 4096;

// The node's kept answers, emptied when the rule lists changed since.
std::vector<UpwardAnswer>& KeptAnswers(const HtmlNode* node, const CSSRuleList* first, const CSSRuleList* second) {
    HtmlStyleCache* cache = NodeStyleCache(node);
    const CSSRuleList* lists[2] = {first, second};
    for (int n = 0; n < 2; ++n) {
        const std::uint64_t version = lists[n] != nullptr ? lists[n]->Version() : 0;
        if (cache->upwardLists[n] == lists[n] && cache->upwardVersions[n] == version) continue;
        cache->upward.clear();
        cache->upwardLists[n] = lists[n];
        cache->upwardVersions[n] = version;
    }
    return cache->upward;
}

// What one element answers: its property (inline style, then the rules),
// then its attribute, then its name among the tags.
bool OwnAnswer(const HtmlNode* at, const char* property, const char* attribute, const char* const tags[3],
               const CSSRuleList* first, const CSSRuleList* second, std::string* value, std::uint16_t* source) {
    const bool tracing = Tracing();
    if (tracing && at->name != nullptr) plat::LogLine(0, "StyleAttrElem: node_->element=%s", at->name);
    if (property != nullptr && property[0] != '\0') {
        StyleValue found = FindStyleValue(at, property, first, second);
        if (found.has_value()) {
            if (tracing) plat::LogLine(0, "StyleAttrElem: found propname with value=%s", found->c_str());
            *source = kStyleFromCSS;
            *value = std::move(*found);
            return true;
        }
    }
    return AttributeOrTagAnswer(at, attribute, tags, value, source);
}

} // namespace

bool AttributeOrTagAnswer(const HtmlNode* at, const char* attribute, const char* const tags[3], std::string* value,
                          std::uint16_t* source) {
    if (attribute != nullptr && attribute[0] != '\0') {
        if (const HtmlAttr* attr = FindAttribute(at, attribute); attr != nullptr) {
            *value = attr->value != nullptr ? attr->value : "";
            if (Tracing()) plat::LogLine(0, "StyleAttrElem: found attribute with value=%s", value->c_str());
            *source = kStyleFromAttribute;
            return true;
        }
    }
    if (at->IsElement() && at->name != nullptr) {
        for (std::uint16_t n = 0; n < 3; ++n) {
            if (tags[n] == nullptr || !EqualNoCase(at->name, tags[n])) continue;
            *source = static_cast<std::uint16_t>(kStyleFromTag1 + n);
            *value = tags[n];
            return true;
        }
    }
    return false;
}

std::uint32_t StyleQuestions::Id(const char* property, const char* attribute, const char* const tags[3]) {
    const char* const parts[5] = {property, attribute, tags[0], tags[1], tags[2]};
    std::uint64_t hash = 1469598103934665603ull;
    for (const char* part : parts) {
        for (const char* c = part; c != nullptr && *c != '\0'; ++c)
            hash = (hash ^ static_cast<unsigned char>(*c)) * 1099511628211ull;
        hash = (hash ^ 0x1f) * 1099511628211ull;
    }
    auto same = [&](const Names& names) {
        for (int n = 0; n < 5; ++n)
            if (names[n] != (parts[n] != nullptr ? parts[n] : "")) return false;
        return true;
    };
    std::vector<std::pair<Names, std::uint32_t>>& bucket = ids_[hash];
    for (const auto& [names, id] : bucket)
        if (same(names)) return id;
    if (count_ >= kMostQuestions) return 0;
    Names names;
    for (int n = 0; n < 5; ++n) names[n] = parts[n] != nullptr ? parts[n] : "";
    bucket.emplace_back(std::move(names), ++count_);
    return count_;
}

StyleValue StyleAttrElem(const HtmlNode* node, const char* property, const char* attribute, const char* tag1,
                         const char* tag2, const char* tag3, std::uint16_t* source, bool searchUp,
                         const CSSRuleList* first, const CSSRuleList* second, StyleQuestions* questions) {
    if (source != nullptr) *source = kStyleNotFound;
    if (node == nullptr) return std::nullopt;
    if (Tracing())
        plat::LogLine(0, "StyleAttrElem: propname=%s  attrname=%s", property != nullptr ? property : "(null)",
                      attribute != nullptr ? attribute : "(null)");
    const char* const tags[3] = {tag1, tag2, tag3};
    // An empty list answers nothing: it counts as none, so that the answers
    // kept for callers that pass it and for those that do not are shared.
    if (first != nullptr && first->Empty()) first = nullptr;
    if (second != nullptr && second->Empty()) second = nullptr;
    std::string value;
    std::uint16_t from = kStyleNotFound;
    if (!searchUp) {
        if (!OwnAnswer(node, property, attribute, tags, first, second, &value, &from)) return std::nullopt;
        if (source != nullptr) *source = from;
        return value;
    }

    // Up the tree: an element of the block or table group searches no
    // higher than its ancestors of the same group. The answer found is kept
    // at every node the search passed, so that the searches of the elements
    // below them end there.
    const TagGroup group = GroupOf(node);
    const bool restricted = group != TagGroup::kNone;
    const std::uint32_t question = questions != nullptr ? questions->Id(property, attribute, tags) : 0;
    std::vector<const HtmlNode*> passed;
    bool found = false;
    for (const HtmlNode* at = node; at != nullptr; at = at->parent) {
        if (at != node && restricted && GroupOf(at) != group) break;
        if (question != 0) {
            const std::vector<UpwardAnswer>& kept = KeptAnswers(at, first, second);
            const auto known = std::find_if(kept.begin(), kept.end(), [&](const UpwardAnswer& answer) {
                return answer.question == question && answer.restricted == restricted;
            });
            if (known != kept.end()) {
                found = known->found;
                from = known->source;
                value = known->value;
                break;
            }
        }
        passed.push_back(at);
        if (OwnAnswer(at, property, attribute, tags, first, second, &value, &from)) {
            found = true;
            break;
        }
    }
    if (question != 0) {
        for (const HtmlNode* at : passed)
            KeptAnswers(at, first, second).push_back(UpwardAnswer{question, restricted, found, from, found ? value : ""});
    }
    if (!found) return std::nullopt;
    if (source != nullptr) *source = from;
    return value;
}

bool StyleMayBeDeclared(const HtmlNode* node, const char* property, const CSSRuleList* first,
                        const CSSRuleList* second) {
    if (node == nullptr || property == nullptr || property[0] == '\0') return false;
    if (Tracing() || !node->IsElement()) return true;
    return DeclaresWordOf(node, property, first, second);
}

bool DeclaredElementBits(const HtmlNode* node, const CSSRuleList* first, const CSSRuleList* second,
                         DeclaredBits* bits) {
    if (node == nullptr || bits == nullptr || Tracing() || !node->IsElement()) return false;
    *bits = ElementBits(node, first, second);
    return true;
}

PropertyBits PropertyDeclaredBits(const char* property) {
    PropertyBits bits;
    if (property == nullptr || property[0] == '\0') return bits;
    const NameLead lead(property);
    bits.word = WordBitOf(lead.lead);
    bits.name = PropertyNameBit(property);
    bits.shorthand = lead.Shorthand();
    return bits;
}

bool StyleMayBeFoundUp(const HtmlNode* node, const char* property, const CSSRuleList* first,
                       const CSSRuleList* second) {
    if (node == nullptr || property == nullptr || property[0] == '\0') return false;
    if (Tracing()) return true;
    const TagGroup group = GroupOf(node);
    const bool restricted = group != TagGroup::kNone;
    for (const HtmlNode* at = node; at != nullptr; at = at->parent) {
        if (at != node && restricted && GroupOf(at) != group) break;
        // A node that is no element has no style of its own; the rules ask
        // its nearest element, which the search reaches next.
        if (at->IsElement() && DeclaresWordOf(at, property, first, second)) return true;
    }
    return false;
}

StyleValue FindInheritedAttr(const HtmlNode* node, const char* name, const char* tag1, const char* tag2) {
    if (node == nullptr || name == nullptr || name[0] == '\0') return std::nullopt;
    auto valueOf = [name](const HtmlNode* holder) -> StyleValue {
        const HtmlAttr* attr = FindAttribute(holder, name);
        if (attr == nullptr) return std::nullopt;
        return std::string(attr->value != nullptr ? attr->value : "");
    };
    if (StyleValue own = valueOf(node); own.has_value()) return own;
    const HtmlNode* from = node;
    if (tag1 != nullptr && tag1[0] != '\0') {
        if (const HtmlNode* ancestor = FindAncestorElement(node, tag1, nullptr); ancestor != nullptr) {
            if (StyleValue inherited = valueOf(ancestor); inherited.has_value()) return inherited;
            from = ancestor;
        }
    }
    if (tag2 != nullptr && tag2[0] != '\0') {
        if (const HtmlNode* ancestor = FindAncestorElement(from, tag2, nullptr); ancestor != nullptr)
            return valueOf(ancestor);
    }
    return std::nullopt;
}

} // namespace talix
