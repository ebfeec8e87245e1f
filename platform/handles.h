// Tables that map the platform's 32-bit handles to the objects they name.
#pragma once

#include <memory>
#include <unordered_map>

#include "talix_platform/types.h"

namespace plat {

// The next handle number. Memory blocks, databases and notes all draw from
// this one counter, so a handle of one kind is never taken for another, and a
// freed handle does not come back until the counter has gone round all 32
// bits. Never 0.
DWORD NextHandleNumber();

// Owns the objects of one kind by handle. Not locked: each user guards its
// table with a lock of its own.
template <typename T>
class HandleTable {
public:
    DWORD Add(std::unique_ptr<T> object) {
        DWORD handle = NextHandleNumber();
        while (objects_.count(handle) != 0) handle = NextHandleNumber();
        objects_.emplace(handle, std::move(object));
        return handle;
    }

    T* Find(DWORD handle) const {
        if (handle == NULLHANDLE) return nullptr;
        auto it = objects_.find(handle);
        return it == objects_.end() ? nullptr : it->second.get();
    }

    // Takes the object out of the table; null when there is none.
    std::unique_ptr<T> Remove(DWORD handle) {
        auto it = objects_.find(handle);
        if (it == objects_.end()) return nullptr;
        std::unique_ptr<T> object = std::move(it->second);
        objects_.erase(it);
        return object;
    }

    DWORD Count() const { return static_cast<DWORD>(objects_.size()); }

    template <typename Visit>
    void ForEach(Visit visit) const {
        for (const auto& entry : objects_) visit(*entry.second);
    }

private:
    std::unordered_map<DWORD, std::unique_ptr<T>> objects_;
};

} // namespace plat
