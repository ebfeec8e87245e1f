// Showing a message through the host's message procedure.
#pragma once

namespace talix {

// Passes text to the host's message procedure with code 6; nothing happens
// when no host procedure is registered.
void ShowHostMessage(const char* text);

} // namespace talix
