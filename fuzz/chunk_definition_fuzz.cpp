// Feeds arbitrary bytes to the chunk-definition parser as a definition text,
// alone and after a table level; whatever parses is rendered into a full and
// a small buffer, and the rendering is parsed again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/chunk_definition.h"

using namespace talix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);   // a NUL ends the text early
    ChunkDefInfo table{};
    table.relation = kRelPlain;
    table.elementType = 1;
    for (const ChunkDefInfo* outer : {static_cast<const ChunkDefInfo*>(nullptr),
                                      static_cast<const ChunkDefInfo*>(&table)}) {
        std::uint32_t single = 0;
        ChunkDefInfo* chain = ParseChunkDefinition(nullptr, 0, outer, text.c_str(), &single);
        if (chain == nullptr) continue;
        char rendered[4096];
        char small[16];
        CalculateDefinition(chain, rendered, sizeof rendered);
        CalculateDefinition(chain, small, sizeof small);
        ChunkDefInfo* copy = CopyChunkLevel(chain);
        FreeChunkDefinition(copy);
        FreeChunkDefinition(chain);
        FreeChunkDefinition(ParseChunkDefinition(nullptr, 0, outer, rendered, nullptr));
    }
    return 0;
}
