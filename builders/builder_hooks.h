// The calls of the record builders and the append gate into higher folders
// (see core/layer_hooks.h).
#pragma once

#include <cstdint>

#include "core/statuses.h"

namespace talix {

struct BuildContext;
struct HTMLImportView;

// Filled by the HTML import (InstallHtmlImportHooks) at session set-up. The
// import is the record output's: the HTML import's own context.
struct HtmlImportSinkHooks {
    // While an import runs (output.htmlImport set) the append gate hands
    // every record to the import's own record list.
    STATUS (*AddImportRecord)(const void* record, std::uint16_t signature, std::uint32_t length,
                              HTMLImportView* import) = nullptr;
    // The hotspot builders write a link's visible text in the fonts the
    // import's current HTML text node gives.
    STATUS (*CalcFontFromHTML)(BuildContext* context, HTMLImportView* import, void* textNode) = nullptr;
};
extern HtmlImportSinkHooks g_htmlImportSink;

// Filled by the engine (InstallEngineHooks) at session set-up.
struct BuilderEngineHooks {
    // Copies the records of an image resource into the run's output at the
    // point the walk has reached (a graphic made inline); the options are
    // its "ImageWidth=", "ImageHeight=" and "WrapText=". The context is the
    // engine run's own.
    STATUS (*AppendImageResourceInline)(BuildContext* context, const char* resourceName,
                                        const char* options) = nullptr;
};
extern BuilderEngineHooks g_builderEngineHooks;

} // namespace talix
