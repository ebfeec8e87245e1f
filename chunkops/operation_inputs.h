// The inputs that the chunk methods fill before they run an operation
// (table layout, link requests, event texts, hotspot kinds, image options
// ...). They are held in the session's work area and read by the engine's
// executors and the builders.
#pragma once

#include <cstdint>

namespace talix {

} // namespace talix
