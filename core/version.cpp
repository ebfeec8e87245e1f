#include "talix/version.h"

namespace talix {

double LibraryVersion() { return 4.31; }

} // namespace talix
