// Helpers several core tests share: bytes to build records from, and what
// the library shows through the host's message procedure or writes to the
// log.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "talix_platform.h"

namespace core_test {

using Bytes = std::vector<std::uint8_t>;

// length bytes, each 7 more than the one before it from seed on, so that a
// byte out of its place shows.
inline Bytes Filled(std::size_t length, std::uint8_t seed) {
    Bytes bytes(length);
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    return bytes;
}

// The texts shown through the host's message procedure while CaptureMessage
// is the registered one (plat::RegisterMessageProc); a test clears them
// before it registers it.
inline std::vector<std::string> g_messages;

inline void CaptureMessage(const char* text, plat::WORD) { g_messages.emplace_back(text); }

// Whether one of the captured messages is the text.
inline bool Shown(const std::string& text) {
    return std::find(g_messages.begin(), g_messages.end(), text) != g_messages.end();
}

// Whether a line of the recent log holds the text.
inline bool Logged(const std::string& text) {
    for (const plat::LogEntry& entry : plat::LogRecent())
        if (entry.text.find(text) != std::string::npos) return true;
    return false;
}

} // namespace core_test
