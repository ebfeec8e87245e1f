// The version of the library.
#pragma once

#include "talix/export.h"

namespace talix {

// The version number a session records (4.31).
TALIX_API double LibraryVersion();

} // namespace talix
