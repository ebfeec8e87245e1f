// The chunk operations' part of the layer hooks: the searches the operation
// engine calls.
#include "chunkops/find_elements.h"
#include "core/layer_hooks.h"
#include "engine/engine_hooks.h"

namespace talix {

void InstallChunkOperationHooks() {
    g_chunkOperations.FindTextRun = FindTextRun;
    g_chunkOperations.FindNamedElement = FindNamedElement;
}

} // namespace talix
