// The import record list: while an import runs, the append gate hands
// every record here, into the import's own list; at the end of the import
// the list is handed on, in order, through the gate into the item.
#include "htmlimport/import_sink.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "builders/append_gate.h"
#include "core/record_forms.h"
#include "core/record_list.h"
#include "engine/record_process.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr const char* kSourceName = "html";

void LogOutOfMemory(int line) { plat::LogLine(0, "Out of memory at %d in %s", line, kSourceName); }

CDRecordNode* LastOf(CDRecordNode* node) {
    while (node != nullptr && node->next != nullptr) node = node->next;
    return node;
}

CDRecordNode* FirstOf(CDRecordNode* node) {
    while (node != nullptr && node->prev != nullptr) node = node->prev;
    return node;
}

} // namespace

STATUS AddImportRecord(const void* record, std::uint16_t signature, std::uint32_t length,
                       HTMLImportContext* import) {
    if (import == nullptr || (record == nullptr && length > 0)) return kArgumentError;
    CDRecordNode* node = NewRecordNode(record, signature, length);
    if (node == nullptr) {
        LogOutOfMemory(__LINE__);
        return kOutOfMemory;
    }

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
    return kOK;
}

void FreeImportRecords(HTMLImportContext* import) {
    if (import == nullptr) return;
    CDRecordNode* node = import->listHead != nullptr ? import->listHead : FirstOf(import->listTail);
    while (node != nullptr) {
        CDRecordNode* next = node->next;
        FreeRecordNode(node);
        node = next;
    }
    import->insertAfter = import->listTail = import->listHead = import->lastAdded = nullptr;
}

STATUS HandOnImportRecords(RecordProcessContext* context, HTMLImportContext* import) {
    if (context == nullptr || import == nullptr) return kArgumentError;
    CDRecordNode* first = FirstOf(import->listTail != nullptr ? import->listTail : import->listHead);
    std::uint16_t index = 0;
    for (CDRecordNode* node = first; node != nullptr; node = node->next) node->index = ++index;

    RecordOutput* output = &context->output;
    if (output->item != nullptr) output->item->autoMergeText = 0;
    if (output->htmlImport == import) output->htmlImport = nullptr;
    output->restartBody = import->firstBlockInBody != 0 ? 1 : 0;

    STATUS firstFailure = kOK;
    for (CDRecordNode* node = first; node != nullptr;) {
        CDRecordNode* next = node->next;
        const STATUS status = AppendRecord(node->bytes, node->signature, EvenLength(node->length), output);
        if (firstFailure == kOK) firstFailure = status;
        output->restartBody = 0;
        FreeRecordNode(node);
        if (next != nullptr) next->prev = nullptr;
        node = next;
    }
    output->restartBody = 0;
    import->insertAfter = import->listTail = import->listHead = import->lastAdded = nullptr;
    if (import->handOnStatus == kOK) import->handOnStatus = firstFailure;
    return firstFailure;
}

STATUS CalcFontFromHTML(BuildContext*, HTMLImportContext*, void*) { return kOperationFailed; }

} // namespace talix
