#include "engine/link_fixups.h"

#include "core/item_work_state.h"
#include "core/record_io.h"
#include "talix/item.h"

namespace talix {

STATUS CopyRichTextWithLinks(ZervaRTItem* source, ZervaRTItem* target, int sameNote, std::uint16_t unused) {
    if (source == nullptr || target == nullptr || target->work == nullptr) return kArgumentError;
    // The records are copied unchanged for now. Link re-resolution (links
    // into the source note's link tables rewritten as self-contained links,
    // attachments and OLE objects carried over) is added here, on the list,
    // before it is committed.
    STATUS status = kOK;
    ItemRecordList* list = SIAR(source, 0, nullptr, 0, 0, 0, nullptr, &status);
    if (list == nullptr) return status != kOK ? status : kOutOfMemory;
    if (status != kOK) {
        FreeItemRecordList(source->session, list);
        delete list;
        return status;
    }
    if (ItemRecordList* pending = target->work->current) {
        FreeItemRecordList(target->session, pending);
        delete pending;
    }
    target->work->current = list;
    return target->Commit();
}

} // namespace talix
