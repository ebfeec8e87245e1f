// The tables the record builders and the append gate declare for the
// folders above them.
#include "builders/builder_hooks.h"

namespace talix {

HtmlImportSinkHooks g_htmlImportSink;
BuilderEngineHooks g_builderEngineHooks;

} // namespace talix
