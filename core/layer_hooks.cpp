// The tables core declares, and the one call that has every higher folder
// fill its slots.
#include "core/layer_hooks.h"

#include <mutex>

#include "core/core_hooks.h"

namespace talix {

ItemCopyHooks g_itemCopyHooks;

void InstallLayerHooks() {
    static std::once_flag once;
    std::call_once(once, [] {
        InstallEngineHooks();
        InstallChunkOperationHooks();
        InstallGenerationHooks();
        InstallHtmlImportHooks();
    });
}

} // namespace talix
