#include "core/debug_level.h"

#include <limits>

#include "talix_platform.h"

namespace talix {

DebugLevel g_debugLevel;

void SetDebugLevel(long level) {
    constexpr long kHighest = std::numeric_limits<std::uint16_t>::max();
    const long clamped = level < 0 ? 0 : (level > kHighest ? kHighest : level);
    g_debugLevel.value_.store(static_cast<std::uint16_t>(clamped), std::memory_order_relaxed);
}

void SetDebugLevelFromSetting(const char* setting, long less) { SetDebugLevel(plat::IniGetInt(setting) - less); }

} // namespace talix
