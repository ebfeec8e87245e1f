#include "engine/matching_key_index.h"

#include <algorithm>

#include "core/text_compare.h"
#include "core/record_forms.h"
#include "core/text_search.h"
#include "talix_platform.h"

namespace talix {

namespace {

// The byte length of the first chars characters of a text.
std::uint32_t PrefixBytes(const char* text, std::uint32_t length, std::uint32_t chars) {
    std::uint32_t at = 0;
    for (std::uint32_t n = 0; n < chars && at < length; ++n) at += CharLength(text + at, length - at);
    return at < length ? at : length;
}

bool AllPlain(const std::string& text) {
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0x80u) != 0) return false;
    return !text.empty();
}

} // namespace

MatchingKeyIndex::MatchingKeyIndex(const LinkMatchingCache* cache) {
    std::uint32_t number = 0;
    for (const plat::DHANDLE handle : cache->keyLists) {
        if (handle == 0 || number >= cache->keyCount) break;
        const auto* list = static_cast<const std::uint8_t*>(plat::MemLock(handle));
        if (list == nullptr) break;
        const std::uint32_t size = plat::MemSize(handle);
        const plat::WORD entries = size >= 4 ? plat::ListEntryCount(list, true) : 0;
        std::uint32_t offset = 4 + 2u * entries;
        for (plat::WORD e = 0; e < entries && number < cache->keyCount; ++e, ++number) {
            const std::uint32_t length = offset <= size ? ReadWord(list + 4 + 2u * e) : 0;
            if (offset > size || length > size - offset) {
                number += entries - e;
                break;
            }
            const char* text = reinterpret_cast<const char*>(list + offset);
            offset += length;
            MatchingKey key;
            key.chars = CountChars(text, length);
            std::uint32_t bytes = length;
            if (key.chars > kMaxKeyLength) {
                bytes = PrefixBytes(text, length, kMaxKeyLength);
                key.chars = kMaxKeyLength;
            }
            key.text.assign(text, bytes);
            key.number = static_cast<std::uint16_t>(number);
            key.plain = AllPlain(key.text) && key.text.size() < kLengthSlots;
            keys_.push_back(std::move(key));
        }
        plat::MemUnlock(handle);
    }
    for (std::uint32_t i = 0; i < keys_.size(); ++i) {
        const MatchingKey& key = keys_[i];
        if (!key.plain) {
            mixed_.push_back(i);
            AddByChars(&mixedNodes_, key.text, i);
            continue;
        }
        const auto length = static_cast<std::uint32_t>(key.text.size());
        std::uint64_t hash = HashStart();
        for (const char c : key.text) hash = HashNext(hash, LowerAscii(c));
        plain_.push_back(i);
        byText_[Slot(hash, length)].push_back(i);
        byFirst_[static_cast<unsigned char>(LowerAscii(key.text[0]))].push_back(i);
        lengths_[length] = true;
        if (length > longestPlain_) longestPlain_ = length;
    }
}

void MatchingKeyIndex::AddByChars(std::vector<CharNode>* nodes, const std::string& text, std::uint32_t key) {
    if (nodes->empty()) nodes->emplace_back();
    std::uint32_t node = 0;
    const auto length = static_cast<std::uint32_t>(text.size());
    for (std::uint32_t at = 0; at < length;) {
        const std::uint32_t charLength = CharLength(text.data() + at, length - at);
        const std::string character = text.substr(at, charLength);
        at += charLength;
        std::uint32_t next = 0;
        for (const auto& child : (*nodes)[node].children)
            if (child.first == character) next = child.second;
        if (next == 0) {
            next = static_cast<std::uint32_t>(nodes->size());
            (*nodes)[node].children.emplace_back(character, next);
            nodes->emplace_back();
        }
        node = next;
    }
    (*nodes)[node].ends.push_back(key);
}

std::vector<std::uint32_t> MatchingKeyIndex::MixedAt(const char* text, std::uint32_t length,
                                                     bool ignoreAccents) const {
    if (mixed_.empty()) return {};
    return KeysAt(mixedNodes_, text, length, ignoreAccents);
}

std::vector<std::uint32_t> MatchingKeyIndex::PlainAt(const char* text, std::uint32_t length,
                                                     bool ignoreAccents) const {
    if (plain_.empty()) return {};
    if (plainNodes_.empty())
        for (const std::uint32_t i : plain_) AddByChars(&plainNodes_, keys_[i].text, i);
    return KeysAt(plainNodes_, text, length, ignoreAccents);
}

std::vector<std::uint32_t> MatchingKeyIndex::KeysAt(const std::vector<CharNode>& nodes, const char* text,
                                                    std::uint32_t length, bool ignoreAccents) {
    std::vector<std::uint32_t> found;
    if (nodes.empty()) return found;
    // Several children may equal one character of the text (its upper and
    // lower case, with and without accents): each is followed.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> open{{0, 0}};
    while (!open.empty()) {
        const auto [node, at] = open.back();
        open.pop_back();
        const CharNode& here = nodes[node];
        found.insert(found.end(), here.ends.begin(), here.ends.end());
        if (at >= length || here.children.empty()) continue;
        const std::uint32_t charLength = CharLength(text + at, length - at);
        for (const auto& child : here.children) {
            if (SearchCharsEqual(child.first.data(), static_cast<std::uint32_t>(child.first.size()), text + at,
                                 charLength, true, ignoreAccents))
                open.emplace_back(child.second, at + charLength);
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

const std::vector<std::uint32_t>& MatchingKeyIndex::plainStartingWith(unsigned char c) const {
    static const std::vector<std::uint32_t> kNone;
    return c < 128 ? byFirst_[static_cast<unsigned char>(LowerAscii(static_cast<char>(c)))] : kNone;
}

const std::vector<std::uint32_t>* MatchingKeyIndex::plainCandidates(std::uint64_t hash, std::uint32_t length) const {
    const auto found = byText_.find(Slot(hash, length));
    return found != byText_.end() ? &found->second : nullptr;
}

} // namespace talix
