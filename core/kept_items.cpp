#include "core/kept_items.h"

#include "core/item_internal.h"
#include "talix_platform.h"

namespace talix {

STATUS KeepItems(plat::NOTEHANDLE note, const char* name, std::vector<KeptItem>* kept) {
    plat::BLOCKID item, value;
    plat::DWORD length = 0;
    STATUS status = plat::ItemInfo(note, name, NameLength(name), &item, nullptr, &value, &length);
    while (status == plat::NOERROR) {
        KeptItem copy;
        status = plat::ItemQuery(item, nullptr, 0, &copy.flags, nullptr, nullptr, nullptr);
        if (status != plat::NOERROR) return status;
        const auto* bytes = static_cast<const std::uint8_t*>(plat::BlockLock(value));
        if (bytes == nullptr) return kOutOfMemory;
        copy.value.assign(bytes, bytes + length);
        plat::BlockUnlock(value);
        kept->push_back(std::move(copy));
        status = plat::ItemInfoNext(note, item, name, NameLength(name), &item, nullptr, &value, &length);
    }
    return status == plat::ERR_ITEM_NOT_FOUND ? kOK : status;
}

STATUS TakeItems(plat::NOTEHANDLE note, const char* name, std::vector<KeptItem>* kept) {
    const plat::STATUS status = plat::ItemTake(note, name, NameLength(name), kept);
    return status == plat::ERR_ITEM_NOT_FOUND ? kOK : status;
}

void RestoreItems(plat::NOTEHANDLE note, const char* name, const std::vector<KeptItem>& kept) {
    plat::ItemDelete(note, name, NameLength(name));
    for (const KeptItem& item : kept) {
        if (item.value.size() < 2) continue;
        auto type = static_cast<plat::WORD>(item.value[0] | (item.value[1] << 8));
        plat::ItemAppend(note, item.flags, name, NameLength(name), type, item.value.data() + 2,
                         static_cast<plat::DWORD>(item.value.size() - 2));
    }
}

} // namespace talix
