// The HTML import's record sink: while an import runs, the append gate
// hands every record here, into the import's own record list. The import's
// entry points fail until the HTML import is built.
#include "htmlimport/import_sink.h"

#include "core/record_list.h"
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

// Until the HTML import is built, nothing is converted: the callers record
// the failure as a failed import.
STATUS ImportHTMLFile(const char*, const char*, RecordProcessContext*) { return kOperationFailed; }

STATUS ImportHTMLText(const char*, std::uint32_t, const char*, RecordProcessContext*, HTMLImportContext*,
                      std::uint16_t) {
    return kOperationFailed;
}

STATUS ImportHTMLFromItem(ItemRecordList*, void*, const char*, RecordProcessContext*) { return kOperationFailed; }

STATUS CalcFontFromHTML(BuildContext*, HTMLImportContext*, void*) { return kOperationFailed; }

} // namespace talix
