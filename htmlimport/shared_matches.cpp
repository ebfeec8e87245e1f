// The table of rule matches shared by name and class.
#include "htmlimport/shared_matches.h"

#include "core/text_compare.h"
#include "htmlimport/css_rules.h"
#include "htmlimport/html_dom.h"

namespace talix {

namespace {

// Names and classes kept at most; the table starts again when full.
constexpr std::size_t kMostShared = 4096;

} // namespace

void SharedMatches::CheckLists(const CSSRuleList* const lists[2]) {
    bool same = true;
    for (int n = 0; n < 2; ++n) {
        const std::uint64_t version = lists[n] != nullptr ? lists[n]->Version() : 0;
        if (lists_[n] == lists[n] && versions_[n] == version) continue;
        same = false;
        lists_[n] = lists[n];
        versions_[n] = version;
    }
    if (!same) kept_.clear();
}

bool SharedMatches::MakeKey(const HtmlNode* element, const HtmlAttr* classAttribute) {
    if (element->name == nullptr) return false;
    // The rules a look-up visits are chosen by the element's tag id (by its
    // lower-case name when it has none) and compared with its whole class
    // attribute: absent, without value, or its value as written.
    key_.clear();
    const auto tag = static_cast<std::uint32_t>(element->tag);
    key_.push_back(static_cast<char>(tag & 0xFF));
    key_.push_back(static_cast<char>(tag >> 8));
    if (element->tag == HtmlTag::kUnknown) {
        for (const char* c = element->name; *c != '\0'; ++c) key_.push_back(LowerAscii(*c));
        key_.push_back('\0');
    }
    if (classAttribute == nullptr) {
        key_.push_back('0');
    } else if (classAttribute->value == nullptr) {
        key_.push_back('1');
    } else {
        key_.push_back('2');
        key_.append(classAttribute->value);
    }
    return true;
}

const MatchedRules* SharedMatches::Find(const HtmlNode* element, const HtmlAttr* classAttribute,
                                        const CSSRuleList* const lists[2]) {
    CheckLists(lists);
    if (kept_.empty() || !MakeKey(element, classAttribute)) return nullptr;
    const auto found = kept_.find(key_);
    return found != kept_.end() && found->second.known ? &found->second : nullptr;
}

void SharedMatches::Keep(const HtmlNode* element, const HtmlAttr* classAttribute, const CSSRuleList* const lists[2],
                         const MatchedRules& matched, bool byAncestors) {
    CheckLists(lists);
    if (!matched.known || !MakeKey(element, classAttribute)) return;
    if (kept_.size() >= kMostShared) kept_.clear();
    // A name and class whose rules look above the element is kept unknown,
    // so that its elements are matched one by one.
    MatchedRules& kept = kept_[key_];
    if (byAncestors) {
        kept.known = false;
        return;
    }
    kept = matched;
}

} // namespace talix
