// The fixed trace lines every driver call writes to the platform log at set
// points of its sequence, whatever the debug level: "AtTalix #1" to
// "AtTalix #23".
#pragma once

#include "talix_platform.h"

namespace talix {

inline void TraceStep(int step) { plat::LogLine(0, "AtTalix #%d", step); }

} // namespace talix
