// Writing a record list back as the stored items of its name.
//
// Records whose bytes are still views into the stored values they were read
// from are their stored form already: a run of them that lies back to back
// in one stored value goes into the item being assembled with one copy.
// Every other record is converted straight into the item.
#include <algorithm>
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

// Appends the block's first fill bytes as an item of the list's name, the
// count-th item written, with the flags given for it (the last ones given
// past their end).
STATUS AppendItem(const ItemRecordList* list, plat::DHANDLE block, std::uint32_t fill,
                  std::span<const plat::WORD> itemFlags, std::size_t* count) {
    const plat::WORD flags = itemFlags.empty() ? 0 : itemFlags[std::min(*count, itemFlags.size() - 1)];
    ++*count;
    return plat::ItemAppendByBlock(list->note, flags, list->itemName,
                                   static_cast<plat::WORD>(std::strlen(list->itemName)), block, fill);
}

// The item being assembled and the run of stored bytes not copied into it
// yet.
struct Assembly {
    std::uint8_t* data = nullptr;
    std::uint32_t fill = 2;
    bool droppablePad = false;          // the item ends with the pad of a record stored without one
    const std::uint8_t* run = nullptr;  // stored bytes waiting to be copied at data + fill
    std::uint32_t runLength = 0;

    void Flush() {
        if (runLength == 0) return;
        std::memcpy(data + fill, run, runLength);
        fill += runLength;
        run = nullptr;
        runLength = 0;
    }
};

// Whether a node's bytes are its stored record as it lies in its stored
// value, pad byte included: a view (whose length is the one its header
// says: a record is changed only through bytes of its own) whose pad, if
// any, was read with it.
bool StoredAsItLies(const CDRecordNode* node) {
    if ((node->flags & (kNodeStoredView | kNodeOwnsBytes)) != kNodeStoredView) return false;
    return (node->length & 1u) == 0 || (node->flags & (kNodeNoPad | kNodeKeptPad)) == 0;
}

} // namespace

STATUS WriteItemRecords(ItemRecordList* list, ZervaRTItem* item, std::span<const plat::WORD> itemFlags) {
    if (list == nullptr || list->head == nullptr) return kOK;
    if (item == nullptr || list->itemName == nullptr || list->itemName[0] == '\0') return kArgumentError;

    plat::DHANDLE block = 0;
    STATUS status = plat::MemAlloc(kItemBlockSize, plat::MEM_GROWABLE, &block);
    if (status != plat::NOERROR) return status;
    Assembly out;
    out.data = static_cast<std::uint8_t*>(plat::MemLock(block));
    if (out.data == nullptr) {
        plat::MemFree(block);
        return kOutOfMemory;
    }
    WriteWord(out.data, plat::TYPE_COMPOSITE);
    std::size_t written = 0;

    for (CDRecordNode* node = list->head; node != nullptr && status == kOK; node = node->next) {
        const std::uint32_t hostLength = node->length;
        if (hostLength > kOutputSegmentCapacity) {
            plat::LogLine(0, "Record 0x%04X of %u bytes is too large to write", node->signature, hostLength);
            status = kDamagedRecords;
            break;
        }
        const bool asItLies = StoredAsItLies(node);
        const RecordForm& form = RecordFormOf(node->signature);
        const std::uint32_t length = asItLies ? hostLength : ConvertedRecordLength(form, hostLength, false);
        if (StartsNewStoredItem(out.fill + out.runLength, length)) {
            out.Flush();
            status = AppendItem(list, block, out.droppablePad ? out.fill - 1 : out.fill, itemFlags, &written);
            out.fill = 2;
            if (status != kOK) break;
        }
        out.droppablePad = false;
        if (asItLies) {
            // Joins the run when it lies right behind it in the same value.
            const std::uint32_t stored = EvenLength(length);
            if (out.runLength != 0 && out.run + out.runLength != node->bytes) out.Flush();
            if (out.runLength == 0) out.run = node->bytes;
            out.runLength += stored;
            continue;
        }
        out.Flush();
        if (ConvertRecordForm(form, node->signature, node->bytes, hostLength, out.data + out.fill,
                              kItemBlockSize - out.fill, false) != length) {
            status = kOutOfMemory;
            break;
        }
        out.fill += length;
        if (length & 1u) {
            out.data[out.fill++] =
                (node->flags & kNodeKeptPad) ? static_cast<std::uint8_t>(node->flags >> kNodePadShift) : 0;
            out.droppablePad = (node->flags & kNodeNoPad) != 0;
        }
    }
    out.Flush();
    if (status == kOK && out.fill > 2)
        status = AppendItem(list, block, out.droppablePad ? out.fill - 1 : out.fill, itemFlags, &written);
    plat::MemUnlock(block);
    plat::MemFree(block);
    return status;
}

} // namespace talix
