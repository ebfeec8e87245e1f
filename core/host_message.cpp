#include "core/host_message.h"

#include "talix_platform.h"

namespace talix {

void ShowHostMessage(const char* text) {
    if (text == nullptr) return;
    if (plat::MessageProc proc = plat::HostProcedure(plat::HOST_PROC_MESSAGE)) proc(text, 6);
}

} // namespace talix
