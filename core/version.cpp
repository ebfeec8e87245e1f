#include "talix/version.h"

namespace talix {

double LibraryVersion() { return TALIX_VERSION_NUMBER; }

} // namespace talix
