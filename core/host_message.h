// Showing a message through the host's message procedure.
#pragma once

#include <cstdint>

class RARIvoSession;

namespace talix {

// Passes text to the host's message procedure with code 6; nothing happens
// when no host procedure is registered.
void ShowHostMessage(const char* text);

// How many messages ShowHostMessage has been given in the process: a caller
// compares the counts before and after a call to learn whether the call
// said a word of its own.
std::uint32_t HostMessagesShown();

// Shows text that names what the library holds in its own character set
// (LMBCS: item texts, design-element, view and item names) in the host's,
// as every other message is shown. The text itself is left as it is.
void ShowLmbcsHostMessage(const char* text);

// Formats "<the session's message prefix>: <text>" into the session's
// message buffer (cut to its size), writes it as a log line and shows it
// to the host: the message of a refusal the caller then returns.
[[gnu::format(printf, 2, 3)]] void ReportRefusal(RARIvoSession* session, const char* format, ...);

} // namespace talix
