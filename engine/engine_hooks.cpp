// The tables the engine declares for the folders above it, and the engine's
// install function, which fills the slots of core and the builders.
#include "engine/engine_hooks.h"

#include "builders/builder_hooks.h"
#include "core/core_hooks.h"
#include "core/layer_hooks.h"
#include "engine/copy_source.h"
#include "engine/link_fixups.h"

namespace talix {

ChunkOperationHooks g_chunkOperations;
GenerationHooks g_generation;
HtmlImportHooks g_htmlImport;

void InstallEngineHooks() {
    g_itemCopyHooks.CopyRichTextWithLinks = CopyRichTextWithLinks;
    g_builderEngineHooks.AppendImageResourceInline = AppendImageResourceInline;
}

} // namespace talix
