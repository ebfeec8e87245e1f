// The items of an open note by serial: pairs of serial and item in a list
// in the order of their serials, which only grow as items are made, so that
// a new item goes at the end. A removed item leaves its serial with no item
// until the next addition finds more such places than items and closes them
// up. There is no memory block per item, and removing the items of a name in
// their order steps from one pair to the next.
#pragma once

#include <cstddef>
#include <vector>

#include "talix_platform/types.h"

namespace plat {

struct NoteItem;

class SerialIndex {
public:
    // Adds the item under its serial (greater than any added before, as
    // serials are made; a smaller one is put in its place).
    void Add(DWORD serial, NoteItem* item);
    // The item of the serial; null when there is none.
    NoteItem* Find(DWORD serial);
    // Removes the item of the serial; false when there is none.
    bool Erase(DWORD serial);
    bool Contains(DWORD serial) { return Find(serial) != nullptr; }

private:
    struct Entry {
        DWORD serial;
        NoteItem* item;   // null once removed
    };
    // The place of the serial in the list, or the list's size; looked for
    // after the place found last first.
    size_t Locate(DWORD serial);

    std::vector<Entry> entries_;
    size_t removed_ = 0;   // entries whose item is null
    size_t last_ = 0;      // the place found last
};

} // namespace plat
