// The chunk operations' part of the layer hooks: the searches and property
// writers the operation engine calls.
#include "chunkops/find_elements.h"
#include "chunkops/font_property_writer.h"
#include "chunkops/paragraph_property_writer.h"
#include "core/layer_hooks.h"
#include "engine/engine_hooks.h"

namespace talix {

void InstallChunkOperationHooks() {
    g_chunkOperations.FindTextRun = FindTextRun;
    g_chunkOperations.FindNamedElement = FindNamedElement;
    g_chunkOperations.WriteFontProperties = WriteFontProperties;
    g_chunkOperations.PABToPropertyText = PABToPropertyText;
}

} // namespace talix
