// The export macro of the talix library: everything else is hidden.
#pragma once

#if defined(TALIX_BUILDING_LIBRARY)
#define TALIX_API __attribute__((visibility("default")))
#else
#define TALIX_API
#endif
