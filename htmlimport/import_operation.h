// The HTML import's operation (2448) as a family of the operation table:
// the session's set-up hands it to every session (setup/session_setup.cpp),
// and the engine runs it as it runs its own families.
#pragma once

#include "engine/operation_table.h"

namespace talix {

extern const OperationFamily kHtmlImportOperations;   // htmlimport/import_operation.cpp

} // namespace talix
