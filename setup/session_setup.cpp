// The session's set-up: the RARIvoSession constructor, which gives the new
// session its work area and, in it, the tables of the folders above the
// engine and core (core/layer_hooks.h): the operation families of the
// generation and the HTML import, and the MIME conversion a connect runs.
// It lives above every folder it takes them from. The tables are constants:
// two sessions share them and nothing else of them.
#include <iterator>
#include <new>

#include "core/layer_hooks.h"
#include "core/session_work_area.h"
#include "htmlgen/generation_operation.h"
#include "htmlimport/import_operation.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix/version.h"

namespace talix {

namespace {

constexpr const OperationFamily* kOperationsAbove[] = {
    &kGenerationOperations,
    &kHtmlImportOperations,
};

constexpr LayerTables kLayerTables{
    .operations = kOperationsAbove,
    .operationCount = std::size(kOperationsAbove),
    .ConvertFromMIME = [](ZervaRTItem* item) -> std::uint16_t {
        return item->ConvertFromMIMEBackend(item->noteHandle, item->itemName, "");
    },
};

} // namespace

} // namespace talix

RARIvoSession::RARIvoSession() {
    version = talix::LibraryVersion();
    // A session without its work area refuses every operation that needs it
    // (see IsUsable).
    workArea = new (std::nothrow) talix::SessionWorkArea();
    if (workArea == nullptr) return;
    workArea->keepLocked = 1;
    workArea->tables = talix::kLayerTables;
}
