// The HTML import's part of the layer hooks: the record sink the append gate
// and the hotspot builders call, and the entry points of the operation
// engine's HTML appends.
#include "builders/builder_hooks.h"
#include "core/layer_hooks.h"
#include "engine/engine_hooks.h"
#include "htmlimport/import_sink.h"

namespace talix {

namespace {

// The record output points only at the contexts of running imports: each
// view is an import's own context.
HTMLImportContext* ImportOf(HTMLImportView* view) { return static_cast<HTMLImportContext*>(view); }

STATUS AddToImport(const void* record, std::uint16_t signature, std::uint32_t length, HTMLImportView* import) {
    return AddImportRecord(record, signature, length, ImportOf(import));
}

STATUS FontFromImport(BuildContext* context, HTMLImportView* import, void* textNode) {
    return CalcFontFromHTML(context, ImportOf(import), textNode);
}

} // namespace

void InstallHtmlImportHooks() {
    g_htmlImportSink.AddImportRecord = AddToImport;
    g_htmlImportSink.CalcFontFromHTML = FontFromImport;
    g_htmlImport.ImportHTMLFile = ImportHTMLFile;
    g_htmlImport.ImportHTMLText = ImportHTMLText;
    g_htmlImport.ImportHTMLFromItem = ImportHTMLFromItem;
}

} // namespace talix
