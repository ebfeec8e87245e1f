#include "item_pool.h"

#include <new>

#include "notes_internal.h"

namespace plat {

namespace {

// The first block holds a few items, as most notes have; each next one
// twice as many as the one before, up to a block of 1,024.
constexpr std::size_t kFirstBlockItems = 8;
constexpr std::size_t kLargestBlockItems = 1024;

// A place for an item, or, while free, the next free place.
union Place {
    Place* next;
    alignas(NoteItem) unsigned char bytes[sizeof(NoteItem)];
};

// The number of items of the block of that index.
std::size_t BlockItems(std::size_t index) {
    return index >= 7 ? kLargestBlockItems : kFirstBlockItems << index;
}

} // namespace

ItemPool::~ItemPool() {
    for (void* block : blocks_) ::operator delete(block);
}

NoteItem* ItemPool::Make() {
    Place* place = static_cast<Place*>(free_);
    if (place != nullptr) {
        free_ = place->next;
    } else {
        if (unused_ == 0) {
            const std::size_t items = BlockItems(blocks_.size());
            blocks_.reserve(blocks_.size() + 1);
            blocks_.push_back(::operator new(items * sizeof(Place)));
            unused_ = items;
        }
        place = static_cast<Place*>(blocks_.back()) + (BlockItems(blocks_.size() - 1) - unused_);
        --unused_;
    }
    NoteItem* item = new (place->bytes) NoteItem();
    item->pool = this;
    return item;
}

void ItemPool::Release(NoteItem* item) {
    item->~NoteItem();
    Place* place = reinterpret_cast<Place*>(item);
    place->next = static_cast<Place*>(free_);
    free_ = place;
}

void ItemRelease::operator()(NoteItem* item) const {
    if (item != nullptr) item->pool->Release(item);
}

} // namespace plat
