// Building the keys of the matching methods into the session's key cache
// (core/link_matching_cache.h): one value per document, read from an
// item or computed by a formula, split into keys at back-quotes.
#pragma once

#include <cstdint>

#include "core/statuses.h"
#include "talix_platform/types.h"

class RARIvoSession;

namespace talix {

struct LinkMatchingCache;

// Where the keys come from and which are kept.
struct KeySource {
    const char* method = "";        // names the method in the log
    const char* itemName = nullptr; // the item whose value gives the keys (no formula)
    std::uint32_t keyFormula = 0;   // plat::HCOMPUTE evaluated on each note instead; 0 for none
    std::uint16_t minLength = 3;    // the shortest key kept, in characters
    bool wordBoundaries = false;    // keep only keys that begin and end with a letter
};

// Reads the keys of the notes of the open database db (ids in the order
// given; an id met before is passed over) into the session's key cache,
// creating the cache record when there is none and replacing the keys it
// held. A note that does not open, or whose value is empty, gives no key.
// Keys past what the key tables hold are left out and counted in the log.
// Returns 0, 263 when the first-letter block cannot be had, or the
// platform's failure to allocate the note-id block or the first key list.
STATUS BuildMatchingKeys(RARIvoSession* session, plat::DBHANDLE db, const plat::NOTEID* ids, std::uint32_t count,
                         const KeySource& source);

// Frees the keys of a cache record (its key lists and note-id block); the
// record stays.
void DropMatchingKeys(LinkMatchingCache* cache);

} // namespace talix
