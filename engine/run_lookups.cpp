// Look-ups an operation run makes beside its walk, over the records of the
// run's item: the cell that covers a spanned cell and the removal of the
// attachments and OLE objects that removed records referred to.
#include "engine/run_lookups.h"

#include <set>
#include <string>
#include <utility>

#include "core/attachments.h"
#include "core/paragraph_def.h"
#include "core/record_forms.h"
#include "core/signatures.h"
#include "core/walkers.h"
#include "engine/file_references.h"
#include "engine/record_process.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

// Host offsets of the fields used.
constexpr std::uint32_t kCellRow = 2, kCellColumn = 3, kCellRowSpan = 14, kCellColumnSpan = 15;
constexpr std::uint32_t kCellSpansEnd = 16;

// The answer of a callback that ends an enumeration on purpose.
constexpr plat::STATUS kEndEnumeration = kOperationFailed;

plat::STATUS FindTableCellCallback(const void* data, plat::WORD signature, plat::DWORD length, void* state) {
    auto* context = static_cast<RecordProcessContext*>(state);
    CellSearch& search = context->cellSearch;
    const auto* record = static_cast<const std::uint8_t*>(data);
    search.counter = search.counter + 1;
    if ((signature == kSigTableEnd || signature == kSigNestedTableEnd) && search.counter > search.firstCell)
        return kEndEnumeration;
    if (signature != kSigTableCell && signature != kSigNestedTableCell) return plat::NOERROR;
    if (search.counter < search.firstCell || length < kCellSpansEnd) return plat::NOERROR;

    const unsigned row = record[kCellRow], column = record[kCellColumn];
    if (search.counter == search.firstCell) {
        search.startRow = static_cast<std::uint16_t>(row + 1);
        search.startColumn = static_cast<std::uint16_t>(column + 1);
    }
    const unsigned rowSpan = record[kCellRowSpan], columnSpan = record[kCellColumnSpan];
    if (rowSpan < 2 && columnSpan < 2) return plat::NOERROR;
    // A merged block keeps its spans on its last (bottom-right) cell, which
    // covers the rows and columns its spans reach above and to the left of
    // it (1-based: row - span + 2 to row + 1).
    const int firstRow = static_cast<int>(row) - static_cast<int>(rowSpan > 1 ? rowSpan : 1) + 2;
    const int firstColumn = static_cast<int>(column) - static_cast<int>(columnSpan > 1 ? columnSpan : 1) + 2;
    const int wantedRow = search.wantedRow, wantedColumn = search.wantedColumn;
    if (wantedRow < firstRow || wantedRow > static_cast<int>(row) + 1) return plat::NOERROR;
    if (wantedColumn < firstColumn || wantedColumn > static_cast<int>(column) + 1) return plat::NOERROR;
    search.foundRow = static_cast<std::uint16_t>(row + 1);
    search.foundColumn = static_cast<std::uint16_t>(column + 1);
    return kEndEnumeration;
}

// Whether the items of the name are rich text: 0, or 257 with the error word
// 20029 in the context (kept when one is there), or the check's failure.
STATUS CheckRichText(plat::NOTEHANDLE note, const char* name, RecordProcessContext* context) {
    const STATUS status = CheckItemsAreRichText(note, name);
    if (status == kOperationFailed && context->errorWord == 0) context->errorWord = kErrNotRichText;
    return status;
}

// Enumerates the records of every item of the name with the callback, which
// gets state. An item that is not rich text gives 257 with the error word
// 20029 in the context before anything is walked; the normal end of the
// items, a stop on purpose (ownStop) and the enumeration's own end are
// success.
STATUS WalkItemRecords(plat::NOTEHANDLE note, const char* name, plat::RecordCallback callback, void* state,
                       RecordProcessContext* context, bool ownStop) {
    STATUS status = CheckRichText(note, name, context);
    if (status != kOK) return status;
    status = plat::EnumItemRecords(note, name, callback, state);
    if (status == plat::NOERROR || status == kItemNotFound || status == plat::ERR_ENUM_DONE) return kOK;
    if (ownStop && status == kEndEnumeration) return kOK;
    return status;
}

bool InsideRemovalRange(const RecordProcessContext* context, std::uint32_t index) {
    if (context->removeFirst == 0) return true;
    return index >= context->removeFirst && index <= context->removeLast;
}

// Removes the OLE object or the attachment from the note. A name the note
// holds no file of has nothing to remove.
STATUS RemoveReferencedFile(plat::NOTEHANDLE note, const FileReference& reference) {
    if (reference.ole) {
        const plat::STATUS status = plat::NoteRemoveOleObject(note, reference.name.c_str());
        return status == kItemNotFound ? kOK : status;
    }
    plat::BLOCKID item;
    if (FindAttachmentItem(note, reference.name.c_str(), &item, 0) != kOK) return kOK;
    return plat::NoteDetachFile(note, item);
}

} // namespace

STATUS FindTableCell(std::uint32_t firstCellIndex, RecordProcessContext* context) {
    if (context == nullptr || context->itemName == nullptr) return kArgumentError;
    CellSearch& search = context->cellSearch;
    search.counter = 0;
    search.firstCell = firstCellIndex;
    search.foundRow = search.foundColumn = 0;
    search.startRow = search.startColumn = 0;
    return WalkItemRecords(context->note, context->itemName, FindTableCellCallback, context, context, true);
}

plat::STATUS RemoveHotspotAttachmentCallback(const void* data, plat::WORD signature, plat::DWORD length,
                                             void* state) {
    auto* removal = static_cast<AttachmentRemoval*>(state);
    RecordProcessContext* context = removal->context;
    context->attachmentWalkCounter = context->attachmentWalkCounter + 1;
    FileReference reference;
    if (!ReferencedFile(static_cast<const std::uint8_t*>(data), signature, length, &reference)) return plat::NOERROR;
    if (InsideRemovalRange(context, context->attachmentWalkCounter)) {
        removal->removed.push_back(std::move(reference));
    } else {
        removal->kept.insert(FileKey(reference.name));
    }
    return plat::NOERROR;
}

STATUS RemoveChunkAttachments(ZervaRTChunk* chunk, RecordProcessContext* context) {
    if (chunk == nullptr || context == nullptr || chunk->item == nullptr || chunk->item->itemName == nullptr)
        return kArgumentError;
    chunk->lastStatus = 0;
    context->attachmentWalkCounter = 0;
    const char* itemName = chunk->item->itemName;
    AttachmentRemoval removal;
    removal.context = context;
    STATUS status = kOK;
    const ItemRecordList* records = context->records;
    if (records != nullptr && records->head != nullptr) {
        // The range counts the records the run walked: those the item holds,
        // which differ from its stored ones while it keeps changes unstored.
        status = CheckRichText(context->note, itemName, context);
        if (status != kOK) return status;
        for (const CDRecordNode* node = records->head; node != nullptr; node = node->next) {
            if (node->bytes != nullptr) RemoveHotspotAttachmentCallback(node->bytes, node->signature, node->length, &removal);
        }
    } else {
        status = WalkItemRecords(context->note, itemName, RemoveHotspotAttachmentCallback, &removal, context, false);
    }
    if (status != kOK || removal.removed.empty()) return status;
    // A file that a record the removal leaves, or another rich-text item of
    // the note, still refers to stays; each other one goes once.
    std::set<std::string> kept = ReferencedByOtherItems(context->note, itemName);
    kept.merge(removal.kept);
    for (const FileReference& reference : removal.removed) {
        if (!kept.insert(FileKey(reference.name)).second) continue;
        status = RemoveReferencedFile(context->note, reference);
        if (status != kOK) return status;
    }
    return kOK;
}

} // namespace talix
