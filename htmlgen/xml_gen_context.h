// The state of one HTML, XHTML or XML generation, and the entry point that
// renders a chunk from it. What the record walk sets and reads of it is its
// first part (engine/generation_state.h).
#pragma once

#include <cstdint>

#include "core/statuses.h"
#include "engine/generation_state.h"

namespace talix {

struct XMLGenContext : GenerationWalkState {
};

// Renders the chunk the context describes from its current record node.
// mode 0: the chunk; 1: the chunk with the pending output; 2: the body only.
// Returns 0 or a failure status.
STATUS PrXMLStr(XMLGenContext* context, std::uint32_t reserved1, std::uint32_t reserved2, std::uint16_t mode);

} // namespace talix
