// The import record list: while an import runs, it is the collector of the
// record output, and every record built through the output comes here,
// into the import's own list; at the end of the import the list is handed
// on, in order, through the append gate into the item.
#include "htmlimport/import_sink.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "builders/append_gate.h"
#include "builders/build_context.h"
#include "core/pool.h"
#include "core/record_forms.h"
#include "core/record_list.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr const char* kSourceName = "html";

// The collector's function: its owner is always an import's context.
STATUS TakeRecord(void* owner, const void* record, std::uint16_t signature, std::uint32_t length) {
    return AddImportRecord(record, signature, length, static_cast<HTMLImportContext*>(owner));
}

CDRecordNode* LastOf(CDRecordNode* node) {
    while (node != nullptr && node->next != nullptr) node = node->next;
    return node;
}

CDRecordNode* FirstOf(CDRecordNode* node) {
    while (node != nullptr && node->prev != nullptr) node = node->prev;
    return node;
}

// A node of the import's record store holding a copy of the bytes (zeros
// when null); null when memory is short.
CDRecordNode* NewStoreNode(const void* record, std::uint16_t signature, std::uint32_t length,
                           HTMLImportContext* import) {
    if (import->recordStore == nullptr) import->recordStore = NewItemRecordList();
    if (import->recordStore == nullptr) return nullptr;
    return NewListNode(import->recordStore, record, signature, length);
}

} // namespace

CDRecordNode* NewImportNode(std::uint16_t signature, std::uint32_t length, HTMLImportContext* import) {
    CDRecordNode* node = import != nullptr ? NewStoreNode(nullptr, signature, length, import) : nullptr;
    if (node == nullptr) {
        LogOutOfMemory(kSourceName, __LINE__);
        if (import != nullptr) KeepFailure(import, kOutOfMemory);
    }
    return node;
}

void LinkImportNode(CDRecordNode* node, HTMLImportContext* import) {
    if (import->insertAfter != nullptr) {
        LinkRecordNode(nullptr, import->insertAfter, node);
        import->insertAfter = node;
        if (import->listTail != nullptr) {
            import->listTail = LastOf(import->listTail);
        } else {
            import->listTail = node;
            import->listHead = FirstOf(node);
        }
    } else if (import->listTail == nullptr && import->listHead == nullptr) {
        import->listHead = node;
        import->listTail = node;
    } else {
        LinkRecordNode(nullptr, LastOf(import->listTail != nullptr ? import->listTail : import->listHead), node);
        import->listTail = node;
    }
    import->lastAdded = node;
}

void RemoveImportRecord(CDRecordNode* node, HTMLImportContext* import) {
    if (node == nullptr || import == nullptr) return;
    if (import->listHead == node) import->listHead = node->next;
    if (import->listTail == node) import->listTail = node->prev;
    if (import->insertAfter == node) import->insertAfter = node->prev;
    if (import->lastAdded == node) import->lastAdded = node->prev;
    for (CDRecordNode*& saved : import->savedListPab)
        if (saved == node) saved = nullptr;
    UnlinkRecordNode(nullptr, node);
    FreeRecordNode(node);
}

bool ReplaceImportRecordBytes(CDRecordNode* node, const void* record, std::uint32_t length,
                              HTMLImportContext* import) {
    if (node == nullptr || record == nullptr || length == 0) return false;
    CDRecordNode* fresh = NewImportNode(node->signature, length, import);
    if (fresh == nullptr) return false;
    std::memcpy(fresh->bytes, record, length);
    std::swap(node->bytes, fresh->bytes);
    std::swap(node->flags, fresh->flags);
    node->length = length;
    FreeRecordNode(fresh);
    return true;
}

STATUS AddImportRecord(const void* record, std::uint16_t signature, std::uint32_t length,
                       HTMLImportContext* import) {
    if (import == nullptr || (record == nullptr && length > 0)) return kArgumentError;
    CDRecordNode* node = NewStoreNode(record, signature, length, import);
    if (node == nullptr) {
        LogOutOfMemory(kSourceName, __LINE__);
        KeepFailure(import, kOutOfMemory);
        return kOutOfMemory;
    }
    LinkImportNode(node, import);
    return kOK;
}

void FreeImportRecords(HTMLImportContext* import) {
    if (import == nullptr) return;
    // The nodes own nothing beside their store: they go with it.
    import->insertAfter = import->listTail = import->listHead = import->lastAdded = nullptr;
    for (CDRecordNode*& saved : import->savedListPab) saved = nullptr;
    DeleteItemRecordList(nullptr, import->recordStore);
    import->recordStore = nullptr;
}

void AttachImport(RecordOutput* output, HTMLImportContext* import) {
    if (output == nullptr) return;
    output->collector = RecordCollector{import, TakeRecord};
}

void DetachImport(RecordOutput* output, const HTMLImportContext* import) {
    if (output != nullptr && import != nullptr && output->collector.owner == import)
        output->collector = RecordCollector{};
}

STATUS HandOnImportRecords(BuildContext* context, HTMLImportContext* import) {
    if (context == nullptr || import == nullptr) return kArgumentError;
    CDRecordNode* first = import->listHead != nullptr ? import->listHead : FirstOf(import->listTail);
    RecordOutput* output = &context->output;
    if (output->item != nullptr) output->item->autoMergeText = 0;
    DetachImport(output, import);
    output->restartBody = import->firstBlockInBody != 0 ? 1 : 0;
    // A first block that opens with a paragraph reference of its own takes
    // the place of the item's opening paragraph while that holds nothing.
    if (import->firstBlockInBody != 0) {
        const CDRecordNode* opening = first;
        while (opening != nullptr && opening->signature == kSigPabDefinition) opening = opening->next;
        if (opening != nullptr && opening->signature == kSigPabReference) DropEmptyOpeningParagraph(output);
    }

    STATUS firstFailure = kOK;
    std::uint32_t index = 0;
    for (CDRecordNode* node = first; node != nullptr; node = node->next) {
        node->index = ++index;
        const STATUS status = AppendRecordToItem(node->bytes, node->signature, EvenLength(node->length), output);
        if (firstFailure == kOK) firstFailure = status;
        output->restartBody = 0;
    }
    output->restartBody = 0;
    // The nodes go with their store once all are handed on.
    import->listHead = first;
    FreeImportRecords(import);
    if (import->handOnStatus == kOK) import->handOnStatus = firstFailure;
    return firstFailure;
}

} // namespace talix
