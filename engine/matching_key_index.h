// The keys of the session's key cache as one matching run looks for them:
// read once per run from the cache's text lists (in key-number order, each
// cut to the longest key matched), and indexed so that the keys that can
// stand at a place of a text run are found without trying every key there.
//
// A key made only of plain (ASCII) bytes can match at a place whose bytes
// are plain only when those bytes, ignoring case, are the key's own: such
// keys are found by a hash of their text in lower case. Keys holding other
// characters, and plain keys at places where the text holds other
// characters within their reach, are followed character by character, each
// compared as the search compares it, so that only those whose characters
// stand at a place are tried there; the collation decides for them.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/link_matching_cache.h"

namespace talix {

struct MatchingKey {
    std::string text;          // bytes, at most kMaxKeyLength characters
    std::uint32_t chars = 0;   // its characters
    std::uint16_t number = 0;  // its number over all lists
    bool plain = false;        // every byte plain (ASCII)
};

class MatchingKeyIndex {
public:
    // Reads the keys of the cache's lists (locking each list while it is
    // read). An entry past its list's block ends that list, its keys keeping
    // their numbers.
    explicit MatchingKeyIndex(const LinkMatchingCache* cache);

    const std::vector<MatchingKey>& keys() const { return keys_; }
    // The keys that are not plain, in number order.
    const std::vector<std::uint32_t>& mixed() const { return mixed_; }
    // The keys that are not plain whose characters, one by one, equal those
    // of the text from its start as the search compares them (case ignored,
    // accents as asked), in number order: the only ones that can stand
    // there.
    std::vector<std::uint32_t> MixedAt(const char* text, std::uint32_t length, bool ignoreAccents) const;
    // The same for the plain keys, for places where the text holds other
    // characters within a plain key's reach (the collation decides there).
    std::vector<std::uint32_t> PlainAt(const char* text, std::uint32_t length, bool ignoreAccents) const;
    // The plain keys, in number order.
    const std::vector<std::uint32_t>& plain() const { return plain_; }
    // The plain keys whose first byte is c ignoring case, in number order.
    const std::vector<std::uint32_t>& plainStartingWith(unsigned char c) const;
    // The longest plain key, in bytes, and whether a plain key is that long.
    std::uint32_t longestPlain() const { return longestPlain_; }
    bool plainLength(std::uint32_t length) const { return length < kLengthSlots && lengths_[length]; }
    // The plain keys of length bytes whose text in lower case may be the
    // given one (lowered, by its hash: the caller compares), in number order.
    const std::vector<std::uint32_t>* plainCandidates(std::uint64_t hash, std::uint32_t length) const;

    // The running hash of a text in lower case, one plain byte at a time.
    static std::uint64_t HashStart() { return 1469598103934665603ull; }
    static std::uint64_t HashNext(std::uint64_t hash, char lowered) {
        return (hash ^ static_cast<unsigned char>(lowered)) * 1099511628211ull;
    }

private:
    static constexpr std::uint32_t kLengthSlots = 256;
    static std::uint64_t Slot(std::uint64_t hash, std::uint32_t length) { return hash ^ (std::uint64_t{length} << 56); }

    // Keys by their characters: a node's children are told apart by their
    // bytes, and the keys that end at it.
    struct CharNode {
        std::vector<std::pair<std::string, std::uint32_t>> children;
        std::vector<std::uint32_t> ends;
    };
    static void AddByChars(std::vector<CharNode>* nodes, const std::string& text, std::uint32_t key);
    static std::vector<std::uint32_t> KeysAt(const std::vector<CharNode>& nodes, const char* text,
                                             std::uint32_t length, bool ignoreAccents);

    std::vector<MatchingKey> keys_;
    std::vector<std::uint32_t> mixed_;
    std::vector<CharNode> mixedNodes_;
    // Made the first time a place asks for them.
    mutable std::vector<CharNode> plainNodes_;
    std::vector<std::uint32_t> plain_;
    std::vector<std::uint32_t> byFirst_[128];
    std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> byText_;
    bool lengths_[kLengthSlots] = {};
    std::uint32_t longestPlain_ = 0;
};

} // namespace talix
