// The tables a session holds for the calls of the lower folders into the
// higher ones (filled by the session's set-up, setup/session_setup.cpp).
#include "core/layer_hooks.h"

#include "core/session_work_area.h"
#include "talix/session.h"

namespace talix {

const LayerTables& TablesOf(const RARIvoSession* session) {
    static constexpr LayerTables kNone;
    return session != nullptr && session->workArea != nullptr ? session->workArea->tables : kNone;
}

} // namespace talix
