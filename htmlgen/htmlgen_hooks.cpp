// The generation's part of the layer hooks: the rendering the operation
// engine calls at the end of a generation walk.
#include "core/layer_hooks.h"
#include "engine/engine_hooks.h"
#include "htmlgen/xml_gen_context.h"

namespace talix {

namespace {

// The engine hands over the chunk work state's generation, which the
// generation made: its own context.
STATUS RenderGeneration(GenerationWalkState* walk, std::uint32_t kind, std::uint32_t depth, std::uint16_t mode) {
    return PrXMLStr(static_cast<XMLGenContext*>(walk), kind, depth, mode);
}

} // namespace

void InstallGenerationHooks() { g_generation.PrXMLStr = RenderGeneration; }

} // namespace talix
