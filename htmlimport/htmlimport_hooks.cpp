// The HTML import's part of the layer hooks: the record sink the append gate
// and the hotspot builders call, and the entry points of the operation
// engine's HTML appends.
#include "builders/builder_hooks.h"
#include "core/layer_hooks.h"
#include "engine/engine_hooks.h"
#include "htmlimport/import_sink.h"

namespace talix {

void InstallHtmlImportHooks() {
    g_htmlImportSink.AddImportRecord = AddImportRecord;
    g_htmlImportSink.CalcFontFromHTML = CalcFontFromHTML;
    g_htmlImport.ImportHTMLFile = ImportHTMLFile;
    g_htmlImport.ImportHTMLText = ImportHTMLText;
    g_htmlImport.ImportHTMLFromItem = ImportHTMLFromItem;
}

} // namespace talix
