// The table of rule matches shared by name and class.
#include "htmlimport/shared_matches.h"

#include <cstring>
#include <new>

#include "core/text_compare.h"
#include "htmlimport/css_rules.h"
#include "htmlimport/html_dom.h"

namespace talix {

namespace {

// Names and classes kept at most; the table starts again when full.
constexpr std::size_t kMostShared = 4096;
constexpr std::size_t kFirstSlots = 64;

// The hash of a key, eight bytes at a time.
std::uint64_t KeyHash(const std::string& key) {
    constexpr std::uint64_t kFactor = 0x9E3779B97F4A7C15ull;
    std::uint64_t hash = key.size();
    const char* at = key.data();
    std::size_t left = key.size();
    for (; left >= 8; at += 8, left -= 8) {
        std::uint64_t block;
        std::memcpy(&block, at, 8);
        hash = (hash ^ block) * kFactor;
        hash ^= hash >> 31;
    }
    if (left > 0) {
        std::uint64_t block = 0;
        std::memcpy(&block, at, left);
        hash = (hash ^ block) * kFactor;
    }
    return hash ^ (hash >> 29);
}

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
    if (!same && used_ > 0) {
        slots_.clear();
        used_ = 0;
    }
}

bool NameAndClassKey(const HtmlNode* element, const HtmlAttr* classAttribute, std::string* key) {
    if (element == nullptr || element->name == nullptr) return false;
    key->clear();
    const auto tag = static_cast<std::uint32_t>(element->tag);
    key->push_back(static_cast<char>(tag & 0xFF));
    key->push_back(static_cast<char>(tag >> 8));
    if (element->tag == HtmlTag::kUnknown) {
        for (const char* c = element->name; *c != '\0'; ++c) key->push_back(LowerAscii(*c));
        key->push_back('\0');
    }
    if (classAttribute == nullptr) {
        key->push_back('0');
    } else if (classAttribute->value == nullptr) {
        key->push_back('1');
    } else {
        key->push_back('2');
        key->append(classAttribute->value);
    }
    return true;
}

bool SharedMatches::MakeKey(const HtmlNode* element, const HtmlAttr* classAttribute) {
    if (!NameAndClassKey(element, classAttribute, &key_)) return false;
    hash_ = KeyHash(key_);
    return true;
}

std::size_t SharedMatches::SlotOf(std::uint64_t hash, const std::string& key) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (!slot.used || (slot.hash == hash && slot.key == key)) return at;
    }
}

const MatchedRules* SharedMatches::Find(const HtmlNode* element, const HtmlAttr* classAttribute,
                                        const CSSRuleList* const lists[2]) {
    CheckLists(lists);
    if (used_ == 0 || !MakeKey(element, classAttribute)) return nullptr;
    const Slot& slot = slots_[SlotOf(hash_, key_)];
    return slot.used && slot.matched.known ? &slot.matched : nullptr;
}

void SharedMatches::Keep(const HtmlNode* element, const HtmlAttr* classAttribute, const CSSRuleList* const lists[2],
                         const MatchedRules& matched, bool byAncestors) {
    CheckLists(lists);
    if (!matched.known || !MakeKey(element, classAttribute)) return;
    if (used_ >= kMostShared) {
        slots_.clear();
        used_ = 0;
    }
    if (2 * (used_ + 1) > slots_.size()) {
        // Twice the slots, the kept keys placed anew.
        std::vector<Slot> larger(slots_.empty() ? kFirstSlots : 2 * slots_.size());
        larger.swap(slots_);
        const std::uint64_t hash = hash_;
        std::string key = std::move(key_);
        for (Slot& old : larger) {
            if (!old.used) continue;
            hash_ = old.hash;
            key_ = old.key;
            slots_[SlotOf(hash_, key_)] = std::move(old);
        }
        hash_ = hash;
        key_ = std::move(key);
    }
    Slot& slot = slots_[SlotOf(hash_, key_)];
    if (!slot.used) {
        slot.key = key_;   // may throw: the slot stays unused
        slot.hash = hash_;
        slot.used = true;
        ++used_;
    }
    // A name and class whose rules look above the element is kept unknown,
    // so that its elements are matched one by one.
    slot.matched.known = false;
    if (!byAncestors) {
        MatchedRules copy = matched;   // may throw: the slot stays unknown
        slot.matched = std::move(copy);
    }
}

} // namespace talix
