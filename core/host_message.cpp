#include "core/host_message.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "talix/session.h"
#include "talix_platform.h"
#include "talix_platform/c_locale.h"

namespace talix {

namespace {

std::atomic<std::uint32_t> g_messagesShown{0};

} // namespace

std::uint32_t HostMessagesShown() { return g_messagesShown.load(std::memory_order_relaxed); }

void ShowHostMessage(const char* text) {
    if (text == nullptr) return;
    g_messagesShown.fetch_add(1, std::memory_order_relaxed);
    if (plat::MessageProc proc = plat::HostProcedure(plat::HOST_PROC_MESSAGE)) proc(text, 6);
}

void ShowLmbcsHostMessage(const char* text) {
    if (text == nullptr) return;
    ShowHostMessage(plat::LmbcsToNative(text).c_str());
}

void ReportRefusal(RARIvoSession* session, const char* format, ...) {
    if (session == nullptr || format == nullptr) return;
    char* buffer = session->messageBuffer;
    const std::size_t size = sizeof session->messageBuffer;
    const int prefix = std::snprintf(buffer, size, "%s: ", session->messagePrefix);
    if (prefix >= 0 && static_cast<std::size_t>(prefix) < size) {
        va_list args;
        va_start(args, format);
        plat::FormatTextV(buffer + prefix, size - static_cast<std::size_t>(prefix), format, args);
        va_end(args);
    }
    plat::LogLine(0, "%s", buffer);
    ShowHostMessage(buffer);
}

} // namespace talix
