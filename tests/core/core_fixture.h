// Helpers several core tests share: bytes to build records from, and what
// the library shows through the host's message procedure or writes to the
// log.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support/test_support.h"
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

// Whether one of the messages talix_test::CollectMessage gathered is the
// text.
inline bool Shown(const std::string& text) {
    const std::vector<std::string>& shown = talix_test::g_messages;
    return std::find(shown.begin(), shown.end(), text) != shown.end();
}

// Whether a line of the recent log holds the text.
inline bool Logged(const std::string& text) {
    for (const plat::LogEntry& entry : plat::LogRecent())
        if (entry.text.find(text) != std::string::npos) return true;
    return false;
}

} // namespace core_test
