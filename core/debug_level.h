// The debug level of the conversion and import code: trace lines are
// written above levels 2 and 3, a few notes at any level above 0. It is
// process-wide and safe to read and set from sessions on several threads;
// only SetDebugLevel changes it, clamping what it is given once.
#pragma once

#include <atomic>
#include <cstdint>

namespace talix {

class DebugLevel {
public:
    // Each read sees a value some thread set, and orders nothing else (only
    // trace lines depend on it).
    operator std::uint16_t() const { return value_.load(std::memory_order_relaxed); }

private:
    friend void SetDebugLevel(long level);
    std::atomic<std::uint16_t> value_{0};
};

extern DebugLevel g_debugLevel;

// Sets the debug level, a value below 0 as 0 and one above 65535 as 65535.
void SetDebugLevel(long level);

// Sets the debug level from a notes.ini setting (0 when it is not given)
// less an offset: the HTML generation reads "ZelundaDebug", the import and
// the MIME conversions "MirratDebug".
void SetDebugLevelFromSetting(const char* setting, long less = 0);

} // namespace talix
