// The memory of an open note's items: blocks the note holds, each of many
// items, that go when the note closes. An item removed leaves its place to
// the next item made, so a note whose items are replaced keeps no more
// blocks than it had items at once, and removing many items frees no memory
// block per item.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace plat {

struct NoteItem;

class ItemPool {
public:
    ItemPool() = default;
    ItemPool(const ItemPool&) = delete;
    ItemPool& operator=(const ItemPool&) = delete;
    // Frees the blocks: every item made must be gone by then.
    ~ItemPool();

    // A new item, empty, in a free place (memory that runs out throws
    // std::bad_alloc).
    NoteItem* Make();
    // Ends the item and keeps its place for the next item made.
    void Release(NoteItem* item);

private:
    std::vector<void*> blocks_;
    void* free_ = nullptr;     // the places left by items that went, one naming the next
    std::size_t unused_ = 0;   // places never used at the end of the newest block
};

// Gives an item back to the pool that made it.
struct ItemRelease {
    void operator()(NoteItem* item) const;
};
using ItemHandle = std::unique_ptr<NoteItem, ItemRelease>;

} // namespace plat
