// The engine's tables of the session, for the calls of the engine into the
// folders above it.
#include "engine/engine_hooks.h"

#include "core/layer_hooks.h"

namespace talix {

namespace {

// The table the tables give, else an empty one.
template <typename Table>
const Table& OrNone(const Table* table) {
    static constexpr Table kNone;
    return table != nullptr ? *table : kNone;
}

} // namespace

const ChunkOperationHooks& ChunkOperationsOf(const RARIvoSession* session) {
    return OrNone(TablesOf(session).chunkOperations);
}

const GenerationHooks& GenerationOf(const RARIvoSession* session) { return OrNone(TablesOf(session).generation); }

const HtmlImportHooks& HtmlImportOf(const RARIvoSession* session) { return OrNone(TablesOf(session).htmlImport); }

} // namespace talix
