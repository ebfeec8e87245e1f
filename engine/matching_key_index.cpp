#include "engine/matching_key_index.h"

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

const std::vector<std::uint32_t>& MatchingKeyIndex::plainStartingWith(unsigned char c) const {
    static const std::vector<std::uint32_t> kNone;
    return c < 128 ? byFirst_[static_cast<unsigned char>(LowerAscii(static_cast<char>(c)))] : kNone;
}

const std::vector<std::uint32_t>* MatchingKeyIndex::plainCandidates(std::uint64_t hash, std::uint32_t length) const {
    const auto found = byText_.find(Slot(hash, length));
    return found != byText_.end() ? &found->second : nullptr;
}

} // namespace talix
