// Writing a record list back as the stored items of its name.
#include <cstring>

#include "core/record_forms.h"
#include "core/record_io.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

// The block the items are assembled in: the data-type word and at most
// kItemRecordBytes of records, or one larger record alone.
constexpr std::uint32_t kItemBlockSize = kWorkBufferSize;

// Appends the block's first fill bytes as an item of the list's name.
STATUS AppendItem(const ItemRecordList* list, plat::DHANDLE block, std::uint32_t fill) {
    return plat::ItemAppendByBlock(list->note, 0, list->itemName, static_cast<plat::WORD>(std::strlen(list->itemName)),
                                   block, fill);
}

} // namespace

STATUS WriteItemRecords(ItemRecordList* list, ZervaRTItem* item) {
    if (list == nullptr || list->head == nullptr) return kOK;
    if (item == nullptr || list->itemName == nullptr || list->itemName[0] == '\0') return kArgumentError;

    plat::DHANDLE block = 0;
    STATUS status = plat::MemAlloc(kItemBlockSize, plat::MEM_GROWABLE, &block);
    if (status != plat::NOERROR) return status;
    auto* data = static_cast<std::uint8_t*>(plat::MemLock(block));
    if (data == nullptr) {
        plat::MemFree(block);
        return kOutOfMemory;
    }
    WriteWord(data, plat::TYPE_COMPOSITE);
    std::uint32_t fill = 2;
    bool droppablePad = false;   // the block ends with the pad of a record stored without one

    for (CDRecordNode* node = list->head; node != nullptr && status == kOK; node = node->next) {
        std::uint32_t length = node->length;
        if (length > kOutputSegmentCapacity) {
            plat::LogLine(0, "Record 0x%04X of %u bytes is too large to write", node->signature, length);
            status = kDamagedRecords;
            break;
        }
        const void* stored = item->ConvertToCanonicalData(node->bytes, node->signature, &length);
        if (stored == nullptr) {
            status = kOutOfMemory;
            break;
        }
        if (StartsNewStoredItem(fill, length)) {
            status = AppendItem(list, block, droppablePad ? fill - 1 : fill);
            fill = 2;
        }
        if (status != kOK) break;
        std::memcpy(data + fill, stored, length);
        fill += length;
        droppablePad = false;
        if (length & 1u) {
            data[fill++] = (node->flags & kNodeKeptPad) ? static_cast<std::uint8_t>(node->flags >> kNodePadShift) : 0;
            droppablePad = (node->flags & kNodeNoPad) != 0;
        }
    }
    if (status == kOK && fill > 2) status = AppendItem(list, block, droppablePad ? fill - 1 : fill);
    plat::MemUnlock(block);
    plat::MemFree(block);
    return status;
}

} // namespace talix
