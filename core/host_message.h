// Showing a message through the host's message procedure.
#pragma once

class RARIvoSession;

namespace talix {

// Passes text to the host's message procedure with code 6; nothing happens
// when no host procedure is registered.
void ShowHostMessage(const char* text);

// Formats "<the session's message prefix>: <text>" into the session's
// message buffer (cut to its size), writes it as a log line and shows it
// to the host: the message of a refusal the caller then returns.
[[gnu::format(printf, 2, 3)]] void ReportRefusal(RARIvoSession* session, const char* format, ...);

} // namespace talix
