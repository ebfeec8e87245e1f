// The debug level: one setter, which keeps what it is given within 0 to
// 65535 whatever the notes.ini setting holds and whichever conversion reads
// it.
#include <gtest/gtest.h>

#include "core/debug_level.h"
#include "support/test_support.h"
#include "talix/item.h"
#include "talix/session.h"

namespace {

using talix::g_debugLevel;
using talix::SetDebugLevelFromSetting;

TEST(DebugLevel, SettingsAreKeptWithinTheLevelsRange) {
    {
        talix_test::IniOverride setting("MirratDebug", "-1");
        talix::SetDebugLevel(7);
        SetDebugLevelFromSetting("MirratDebug");
        EXPECT_EQ(g_debugLevel, 0);

        // A conversion reads the setting when it starts: a negative value
        // leaves tracing off rather than at its highest level.
        RARIvoSession session;
        ZervaRTItem item(&session);
        talix::SetDebugLevel(7);
        item.ConvertToHTML("", "HTML", "", 0, nullptr);
        EXPECT_EQ(g_debugLevel, 0);
    }
    {
        talix_test::IniOverride setting("MirratDebug", "70000");
        SetDebugLevelFromSetting("MirratDebug");
        EXPECT_EQ(g_debugLevel, 65535);
    }
    {
        // The import's level is the setting less 4, never below 0.
        talix_test::IniOverride setting("MirratDebug", "6");
        SetDebugLevelFromSetting("MirratDebug", 4);
        EXPECT_EQ(g_debugLevel, 2);
        SetDebugLevelFromSetting("MirratDebug", 9);
        EXPECT_EQ(g_debugLevel, 0);
    }
    // A setting not given is level 0.
    talix::SetDebugLevel(3);
    SetDebugLevelFromSetting("TalixTestNoSuchDebug");
    EXPECT_EQ(g_debugLevel, 0);
}

} // namespace
