// The key cache of the matching operations: the keys read from the documents
// of a view (or of a selection formula), each with the note it came from,
// and the switches of how they are matched. LinkMatching builds it and keeps
// it in the session's work area between calls; operation 2386 reads it.
#pragma once

#include <cstdint>

#include "talix/export.h"
#include "talix_platform/types.h"

class RARIvoSession;

namespace talix {

// The most key lists a cache holds; a later list starts when one is full.
constexpr int kKeyListSlots = 10;
// The most keys a cache numbers (first letters, used flags, note ids).
constexpr std::uint16_t kMaxMatchingKeys = 16350;
// The block of note ids: 65,406 bytes, room for 16,351 ids.
constexpr std::uint32_t kNoteIdTableSize = 65406;
// The longest key matched, in characters.
constexpr std::uint32_t kMaxKeyLength = 80;
// The keyword list of KeywordMatching: the buffer handed to operation 2386
// as its second text, and the length past which no keyword is added.
constexpr std::uint32_t kKeywordBufferSize = 65406;
constexpr std::uint32_t kKeywordListLimit = 64906;

// How a key must stand in the text.
constexpr std::uint16_t kKeyWholeWord = 1;
constexpr std::uint16_t kKeyStartsWord = 2;  // a word of the text starts with the key
constexpr std::uint16_t kKeyEndsWord = 3;    // a word of the text ends with the key
constexpr std::uint16_t kKeyAnywhere = 4;    // anywhere

struct LinkMatchingCache {
    RARIvoSession* session = nullptr;
    // Text lists (with their type word in front, as the list calls make them
    // when asked to prefix it) holding the keys in order: key number i is the
    // i-th entry counted over the lists in slot order. Slots after the last
    // list are 0.
    plat::DHANDLE keyLists[kKeyListSlots] = {};
    // A kNoteIdTableSize-byte block of note ids, one per key number, and its
    // address while the builder holds it locked (null otherwise). Readers
    // lock the handle themselves.
    plat::DHANDLE noteIdTable = 0;
    plat::NOTEID* noteIds = nullptr;
    // The number of keys in the lists (at most kMaxMatchingKeys).
    std::uint16_t keyCount = 0;
    // One flag per key (session pool, keyCount entries, zeroed for every
    // call): set once the key has been acted on.
    std::uint32_t* keyUsedFlags = nullptr;
    // For each key number, its first character in lower case when that is
    // a letter a-z, else 0 (session pool, kMaxMatchingKeys bytes).
    std::uint8_t* keyFirstLetters = nullptr;
    std::uint16_t shortestKeyLength = 0;
    std::uint16_t matchKind = kKeyWholeWord;
    // Act on each key only once.
    std::uint32_t singleMatch = 0;
    // A partial match (kinds 2-4) takes in the whole word it lies in.
    std::uint32_t replaceExtra = 0;
    // For the text run being examined: per letter a-z, the record offset
    // (the text starting at 8) of the first word that starts with it, or the
    // run's record length when none does.
    std::uint16_t letterStarts[26] = {};

    LinkMatchingCache() = default;
    LinkMatchingCache(const LinkMatchingCache&) = delete;
    LinkMatchingCache& operator=(const LinkMatchingCache&) = delete;
    // Frees the key lists (up to the first empty slot), the note-id block
    // and the two pool blocks.
    ~LinkMatchingCache();
};

} // namespace talix
