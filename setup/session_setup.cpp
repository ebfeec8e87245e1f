// The session's set-up: the RARIvoSession constructor, which gives the new
// session its work area and, in it, the tables through which the lower
// folders call the higher ones (core/layer_hooks.h). It lives above every
// folder whose functions fill the tables. The tables are constants: two
// sessions share them and nothing else of them.
#include <new>

#include "chunkops/find_elements.h"
#include "core/core_hooks.h"
#include "core/layer_hooks.h"
#include "core/session_work_area.h"
#include "engine/engine_hooks.h"
#include "engine/link_fixups.h"
#include "htmlgen/xml_gen_context.h"
#include "htmlimport/import_sink.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix/version.h"

namespace talix {

namespace {

constexpr CoreHooks kCoreHooks{
    .CopyRichTextWithLinks = CopyRichTextWithLinks,
    .ConvertFromMIME = [](ZervaRTItem* item) -> std::uint16_t {
        return item->ConvertFromMIMEBackend(item->noteHandle, item->itemName, "");
    },
    .ChunkExists = [](ZervaRTChunk* chunk) { return chunk->Exists(); },
    .RemoveChunk = [](ZervaRTChunk* chunk) -> STATUS { return chunk->Remove(); },
    .AppendGraphic = [](ZervaRTChunk* chunk, const char* kind, const char* source, const char* options) -> STATUS {
        return chunk->AppendGraphic(kind, source, options);
    },
};

constexpr ChunkOperationHooks kChunkOperations{
    .FindTextRun = FindTextRun,
    .FindNamedElement = FindNamedElement,
};

constexpr GenerationHooks kGeneration{
    // The engine hands over the chunk work state's generation, which the
    // generation made: its own context.
    .PrXMLStr = [](GenerationWalkState* walk, std::uint32_t kind, std::uint32_t depth, std::uint16_t mode) -> STATUS {
        return PrXMLStr(static_cast<XMLGenContext*>(walk), kind, depth, mode);
    },
};

constexpr HtmlImportHooks kHtmlImport{
    .ImportHTMLFile = ImportHTMLFile,
    .ImportHTMLText = ImportHTMLText,
    .ImportHTMLFromItem = ImportHTMLFromItem,
};

constexpr LayerTables kLayerTables{
    .core = &kCoreHooks,
    .chunkOperations = &kChunkOperations,
    .generation = &kGeneration,
    .htmlImport = &kHtmlImport,
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
