#include "serial_index.h"

#include <algorithm>

namespace plat {

size_t SerialIndex::Locate(DWORD serial) {
    // A walk asks for the pair found last or the next one.
    for (size_t at = last_; at < entries_.size() && at <= last_ + 1; ++at) {
        if (entries_[at].serial == serial) return last_ = at;
    }
    const auto found = std::lower_bound(entries_.begin(), entries_.end(), serial,
                                        [](const Entry& entry, DWORD wanted) { return entry.serial < wanted; });
    if (found == entries_.end() || found->serial != serial) return entries_.size();
    return last_ = static_cast<size_t>(found - entries_.begin());
}

void SerialIndex::Add(DWORD serial, NoteItem* item) {
    if (removed_ > entries_.size() / 2) {
        entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                      [](const Entry& entry) { return entry.item == nullptr; }),
                       entries_.end());
        removed_ = 0;
        last_ = 0;
    }
    if (entries_.empty() || entries_.back().serial < serial) {
        entries_.push_back(Entry{serial, item});
        return;
    }
    const auto at = std::lower_bound(entries_.begin(), entries_.end(), serial,
                                     [](const Entry& entry, DWORD wanted) { return entry.serial < wanted; });
    if (at != entries_.end() && at->serial == serial) {
        if (at->item == nullptr && item != nullptr) --removed_;
        at->item = item;
        return;
    }
    entries_.insert(at, Entry{serial, item});
}

NoteItem* SerialIndex::Find(DWORD serial) {
    const size_t at = Locate(serial);
    return at < entries_.size() ? entries_[at].item : nullptr;
}

bool SerialIndex::Erase(DWORD serial) {
    const size_t at = Locate(serial);
    if (at == entries_.size() || entries_[at].item == nullptr) return false;
    entries_[at].item = nullptr;
    ++removed_;
    return true;
}

} // namespace plat
