// Views, collections and design look-up.
#pragma once

#include <string>

#include "talix_platform/types.h"

namespace plat {

// Finds a design note by name (its "$TITLE" or one of its "|" aliases,
// compared ignoring case and the blanks around each) and class. ERR_ITEM_NOT_FOUND-like failure when
// there is none.
TPLAT_API STATUS FindDesignNote(DBHANDLE db, const char* name, WORD noteClass, NOTEID* id);

// Opens the collection of a view note (or of the design collection,
// NOTEID_DESIGN_COLLECTION).
TPLAT_API STATUS CollectionOpen(DBHANDLE db, NOTEID viewId, HCOLLECTION* collection);
TPLAT_API STATUS CollectionUpdate(HCOLLECTION collection);
TPLAT_API STATUS CollectionClose(HCOLLECTION collection);

// Position of an entry in a collection: its 1-based index.
struct CollectionPosition {
    DWORD index = 0;
};

constexpr WORD FIND_PARTIAL = 0x0001;   // the key matches the start of the column value

// Finds the first entry whose first sorted column equals the key (ignoring
// case); *matches gets how many entries match. ERR_KEY_NOT_FOUND when none.
TPLAT_API STATUS CollectionFindByKey(HCOLLECTION collection, const char* key, WORD keyLength, WORD flags,
                                     CollectionPosition* position, DWORD* matches);

constexpr NOTEID NOTEID_CATEGORY = 0x80000000;  // set on the id of a category entry

// Reads up to maxEntries note ids from position (advanced past them) into a
// new memory block of NOTEIDs; *more is set when entries are left.
TPLAT_API STATUS CollectionReadEntries(HCOLLECTION collection, CollectionPosition* position, DWORD maxEntries,
                                       DHANDLE* ids, DWORD* count, bool* more);

// The text an entry of an open collection shows (position 1 is the first
// entry): a document its first column's value, a category its category's
// value, in LMBCS.
TPLAT_API STATUS CollectionEntryText(HCOLLECTION collection, DWORD position, std::string* text);

} // namespace plat
