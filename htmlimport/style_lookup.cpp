// Look-ups over the inline style, the rule lists and the tree.
#include "htmlimport/style_lookup.h"

#include "core/temp_directory.h"
#include "htmlimport/css_rules.h"
#include "htmlimport/css_text.h"
#include "htmlimport/style_declarations.h"
#include "htmlimport/style_shorthands.h"
#include "talix_platform.h"

namespace talix {

namespace {

bool Tracing() { return g_debugLevel > 3; }

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

// One pass over one list: the first candidate rule that matches and holds
// the property.
// classKey: the element's class in lower case, or null when no rule that
// names only a class can match (the second pass, or no class value).
StyleValue ScanRules(const CSSRuleList* list, const HtmlNode* element, const HtmlAttr* classAttribute,
                     const std::string* classKey, std::string_view property, bool classless) {
    StyleValue found;
    if (list == nullptr || list->Empty()) return found;
    list->FirstCandidate(element, classless ? nullptr : classKey, [&](const CSSRule& rule) {
        const CSSSelector* selector = rule.selector();
        if (classless ? !selector->className.empty() : !ClassMatches(classAttribute, selector->className))
            return false;
        if (selector->outer != nullptr && MatchCSSContext(selector->outer, element->parent, classless) == 0)
            return false;
        const StyleDeclarations* declarations = rule.Declarations();
        if (declarations == nullptr) return false;
        found = FindStyleValueLower(declarations, property);
        return found.has_value();
    });
    return found;
}

StyleValue FromRules(const HtmlNode* node, std::string_view lowerName, const char* property,
                     const CSSRuleList* first, const CSSRuleList* second) {
    const bool tracing = Tracing();
    if (tracing) plat::LogLine(0, "FindStyleValueFromCSSRules propname=%s", property);
    const HtmlNode* element = NearestElement(node);
    if (element == nullptr) return std::nullopt;
    const HtmlAttr* classAttribute = FindAttribute(element, "class");
    const bool withClass = classAttribute != nullptr && classAttribute->value != nullptr;
    const std::string classKey = withClass ? css::LowerCopy(classAttribute->value) : std::string();
    for (const bool classless : {false, true}) {
        if (tracing) plat::LogLine(0, "FindStyleValueFromCSSRules propname=%s Step %d", property, classless ? 2 : 1);
        const std::string* key = withClass ? &classKey : nullptr;
        StyleValue fromFirst = ScanRules(first, element, classAttribute, key, lowerName, classless);
        if (fromFirst.has_value()) return fromFirst;
        StyleValue fromSecond = ScanRules(second, element, classAttribute, key, lowerName, classless);
        if (fromSecond.has_value()) return fromSecond;
    }
    return std::nullopt;
}

} // namespace

StyleValue FindStyleValue(const HtmlNode* node, const char* property, const CSSRuleList* first,
                          const CSSRuleList* second) {
    if (node == nullptr || property == nullptr || property[0] == '\0') return std::nullopt;
    if (Tracing()) {
        plat::LogLine(0, "FindStyleValue: propname=%s", property);
        plat::LogLine(0, "FindStyleValue: about to look internal for propname=%s", property);
    }
    const LowerName name(property);
    StyleValue value = FindStyleValueLower(NodeStyle(node), name.View());
    if (Tracing()) plat::LogLine(0, "FindStyleValue: finished looking internally for propname=%s", property);
    if (value.has_value()) return value;
    if (first == nullptr && second == nullptr) return std::nullopt;
    return FromRules(node, name.View(), property, first, second);
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

StyleValue StyleAttrElem(const HtmlNode* node, const char* property, const char* attribute, const char* tag1,
                         const char* tag2, const char* tag3, std::uint16_t* source, bool searchUp,
                         const CSSRuleList* first, const CSSRuleList* second) {
    if (source != nullptr) *source = kStyleNotFound;
    if (node == nullptr) return std::nullopt;
    const bool tracing = Tracing();
    if (tracing)
        plat::LogLine(0, "StyleAttrElem: propname=%s  attrname=%s", property != nullptr ? property : "(null)",
                      attribute != nullptr ? attribute : "(null)");
    const bool withProperty = property != nullptr && property[0] != '\0';
    const bool withAttribute = attribute != nullptr && attribute[0] != '\0';
    const char* const tags[3] = {tag1, tag2, tag3};
    const TagGroup group = GroupOf(node);
    for (const HtmlNode* at = node; at != nullptr; at = at->parent) {
        if (at != node && (!searchUp || (group != TagGroup::kNone && GroupOf(at) != group))) break;
        if (tracing && at->name != nullptr) plat::LogLine(0, "StyleAttrElem: node_->element=%s", at->name);
        if (withProperty) {
            StyleValue value = FindStyleValue(at, property, first, second);
            if (value.has_value()) {
                if (tracing) plat::LogLine(0, "StyleAttrElem: found propname with value=%s", value->c_str());
                if (source != nullptr) *source = kStyleFromCSS;
                return value;
            }
        }
        if (withAttribute) {
            if (const HtmlAttr* attr = FindAttribute(at, attribute); attr != nullptr) {
                std::string value = attr->value != nullptr ? attr->value : "";
                if (tracing) plat::LogLine(0, "StyleAttrElem: found attribute with value=%s", value.c_str());
                if (source != nullptr) *source = kStyleFromAttribute;
                return value;
            }
        }
        if (at->IsElement() && at->name != nullptr) {
            for (std::uint16_t n = 0; n < 3; ++n) {
                if (tags[n] == nullptr || !EqualNoCase(at->name, tags[n])) continue;
                if (source != nullptr) *source = static_cast<std::uint16_t>(kStyleFromTag1 + n);
                return std::string(tags[n]);
            }
        }
    }
    return std::nullopt;
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
