// Time: the exchange form, calendar fields and daylight saving, texts under
// the international settings, and the current time.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "status_codes.h"
#include "talix_platform.h"

using namespace plat;

namespace {

constexpr DWORD kDstBit = 0x80000000;
constexpr DWORD kEastBit = 0x40000000;

TIMEDATE FromExchange(const char* text, bool dst) {
    TIMEDATE time;
    EXPECT_EQ(TimeFromExchangeText(text, dst, &time), NOERROR) << text;
    return time;
}

// A GMT instant given in the exchange form, put into a zone of whole hours.
TIMEDATE InZone(const char* gmtText, int hours, bool dst) {
    TIMEDATE time = FromExchange(gmtText, false);
    time.Innards[1] |= static_cast<DWORD>(std::abs(hours)) << 24 | (hours > 0 ? kEastBit : 0) | (dst ? kDstBit : 0);
    return time;
}

TimeFields Fields(const TIMEDATE& time) {
    TimeFields fields;
    EXPECT_EQ(TimeToFields(&time, &fields), NOERROR);
    return fields;
}

// "YYYY-MM-DD wN HH:MM:SS.hh zone Z [dst]", leaving out the parts not present.
std::string Describe(const TimeFields& f) {
    char date[40] = "", time[40] = "";
    if (f.hasDate) std::snprintf(date, sizeof date, "%04d-%02d-%02d w%d ", f.year, f.month, f.day, f.weekday);
    if (f.hasTime) std::snprintf(time, sizeof time, "%02d:%02d:%02d.%02d", f.hour, f.minute, f.second, f.hundredth);
    std::string out = std::string(date) + time;
    if (f.hasDate) out += (f.hasTime ? " zone " : "zone ") + std::to_string(f.zone) + (f.dst ? " dst" : "");
    return out;
}

std::string TimeText(const TIMEDATE& time) {
    char buf[80];
    WORD length = 0;
    EXPECT_EQ(TimeToText(&time, buf, sizeof buf, &length), NOERROR);
    EXPECT_EQ(length, std::strlen(buf));
    return buf;
}

TIMEDATE Parse(const std::string& text) {
    TIMEDATE time;
    EXPECT_EQ(TextToTime(text.c_str(), static_cast<WORD>(text.size()), &time), NOERROR) << text;
    return time;
}

// Tests that change notes.ini settings put them back.
class TimeSettings : public testing::Test {
protected:
    void TearDown() override {
        for (const char* name : {"DateOrder", "DateSeparator", "TimeSeparator", "TimeZone", "DST"}) IniSet(name, "");
    }
};

TEST(Time, ExchangeTextRoundTrips) {
    struct Case {
        const char* text;
        bool dst;
    } cases[] = {
        {"20200728T122240,71-04", true},  {"20200115T080000,00-05", true},  // summer and winter, west
        {"20200615T120000,00+02", true},  {"20201215T120000,00+01", true},  // summer and winter, east
        {"19870903T104705,79-05", false}, {"19891109T215306,30+00", false},
        {"20200728T122240,71+0530", false}, {"20200728T122240,71-0330", false},
        {"20061029T015959,99-04", true},  // the last hundredth of daylight time
        {"20200727", false},              {"T101112,13", false},
    };
    for (const Case& c : cases) {
        TIMEDATE time = FromExchange(c.text, c.dst);
        char buf[80];
        bool dst = !c.dst;
        ASSERT_EQ(TimeToExchangeText(&time, buf, sizeof buf, &dst), NOERROR) << c.text;
        EXPECT_STREQ(buf, c.text);
        EXPECT_EQ(dst, c.dst) << c.text;
    }

    // The stored words: 16:22:40.71 GMT on the Julian day of 2020-07-28,
    // standard offset 5 hours west, daylight saving observed.
    TIMEDATE summer = FromExchange("20200728T122240,71-04", true);
    EXPECT_EQ(summer.Innards[0], 5896071u);
    EXPECT_EQ(summer.Innards[1], 2459059u | 5u << 24 | kDstBit);
    // Without daylight saving the written offset is the zone's own.
    TIMEDATE plain = FromExchange("20200728T122240,71-04", false);
    EXPECT_EQ(plain.Innards[0], summer.Innards[0]);
    EXPECT_EQ(plain.Innards[1], 2459059u | 4u << 24);
    EXPECT_EQ(FromExchange("20200728T122240,71+0530", false).Innards[1], 2459059u | 5u << 24 | 2u << 28 | kEastBit);
    TIMEDATE dateOnly = FromExchange("20200727", false);
    EXPECT_EQ(dateOnly.Innards[0], ALLDAY);
    EXPECT_EQ(dateOnly.Innards[1], 2459058u);
    TIMEDATE timeOnly = FromExchange("T101112,13", false);
    EXPECT_EQ(timeOnly.Innards[0], 3667213u);
    EXPECT_EQ(timeOnly.Innards[1], ANYDAY);
}

TEST(Time, ExchangeTextRejectsMalformedText) {
    TIMEDATE time;
    for (const char* text : {"", "2020072", "20201332", "20200230", "20200728T2500000,00-04", "20200728T122240,7-04",
                             "20200728T122240,71-04x", "20200728T122240,71-0407", "20200728T122240,71-99",
                             "20200727+01", "T101112,13-04", "T1011"}) {
        EXPECT_EQ(TimeFromExchangeText(text, false, &time), ERR_TIME_TEXT) << text;
    }
    EXPECT_EQ(TimeFromExchangeText(nullptr, false, &time), ERR_BAD_ARGUMENT);

    char buf[10];
    TIMEDATE summer = FromExchange("20200728T122240,71-04", true);
    EXPECT_NE(TimeToExchangeText(&summer, buf, sizeof buf, nullptr), NOERROR);  // too long: refused, not cut
    EXPECT_STREQ(buf, "");
    TIMEDATE nothing{{ALLDAY, ANYDAY}};
    EXPECT_EQ(TimeToExchangeText(&nothing, buf, sizeof buf, nullptr), ERR_TIME_VALUE);
}

TEST(Time, FieldsInTheTimesOwnZone) {
    struct Case {
        const char* text;
        bool dst;
        const char* fields;
    } cases[] = {
        {"20200728T122240,71-04", true, "2020-07-28 w3 12:22:40.71 zone 5 dst"},   // a Tuesday
        {"20200115T080000,00-05", true, "2020-01-15 w4 08:00:00.00 zone 5"},       // observed, not in force
        {"19700101T000000,00+00", false, "1970-01-01 w5 00:00:00.00 zone 0"},
        // Zone values: hours in the two low digits, minutes above, west positive.
        {"20200728T122240,71+0530", false, "2020-07-28 w3 12:22:40.71 zone -3005"},
        {"20200728T122240,71-0330", false, "2020-07-28 w3 12:22:40.71 zone 3003"},
        {"20200728T002240,71+01", false, "2020-07-28 w3 00:22:40.71 zone -1"},
        {"20200727", false, "2020-07-27 w2 zone 0"},
        {"T101112,13", false, "10:11:12.13"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Describe(Fields(FromExchange(c.text, c.dst))), c.fields) << c.text;
    }
    TimeFields fields;
    TIMEDATE nothing{{ALLDAY, ANYDAY}}, pastMidnight{{8640000, 2440588}};
    EXPECT_EQ(TimeToFields(&nothing, &fields), ERR_TIME_VALUE);
    EXPECT_EQ(TimeToFields(&pastMidnight, &fields), ERR_TIME_VALUE);
}

TEST(Time, FieldsBuildTheSameTime) {
    for (const char* text : {"20200728T122240,71-04", "20200115T080000,00-05", "20200728T122240,71+0530",
                             "20200615T120000,00+02", "20200727", "T101112,13"}) {
        TIMEDATE time = FromExchange(text, true);
        TimeFields fields = Fields(time);
        fields.dst = time.Innards[1] != ANYDAY && (time.Innards[1] & kDstBit) != 0;  // the zone observes it
        TIMEDATE built;
        ASSERT_EQ(TimeFromFields(&fields, &built), NOERROR) << text;
        EXPECT_EQ(built.Innards[0], time.Innards[0]) << text;
        EXPECT_EQ(built.Innards[1], time.Innards[1]) << text;
    }

    TimeFields fields = Fields(FromExchange("20200229T120000,00+01", false));
    TIMEDATE built;
    fields.zone = -100;  // GMT+0:01 in this convention: not a zone the words can hold
    EXPECT_EQ(TimeFromFields(&fields, &built), ERR_TIME_VALUE);
    fields.zone = -1;    // GMT+1
    ASSERT_EQ(TimeFromFields(&fields, &built), NOERROR);
    EXPECT_EQ(built.Innards[1] & 0xFF000000, 1u << 24 | kEastBit);
    fields.year = 2021;  // no 29 February
    EXPECT_EQ(TimeFromFields(&fields, &built), ERR_TIME_VALUE);
}

TEST(Time, DaylightSavingChangesAtTheRuleHours) {
    struct Case {
        const char* gmt;
        int zone;
        const char* local;
    } cases[] = {
        // West of GMT from 2007 on: second Sunday of March, first Sunday of November.
        {"20200308T065900,00+00", -5, "01:59:00.00 zone 5"},
        {"20200308T070000,00+00", -5, "03:00:00.00 zone 5 dst"},
        {"20201101T055900,00+00", -5, "01:59:00.00 zone 5 dst"},
        {"20201101T060000,00+00", -5, "01:00:00.00 zone 5"},
        // Before 2007: first Sunday of April, last Sunday of October.
        {"20060312T120000,00+00", -5, "07:00:00.00 zone 5"},
        {"20060402T070000,00+00", -5, "03:00:00.00 zone 5 dst"},
        {"20061029T060000,00+00", -5, "01:00:00.00 zone 5"},
        // East of GMT: last Sunday of March and of October at 1:00 GMT.
        {"20200329T005900,00+00", 1, "01:59:00.00 zone -1"},
        {"20200329T010000,00+00", 1, "03:00:00.00 zone -1 dst"},
        {"20201025T005900,00+00", 1, "02:59:00.00 zone -1 dst"},
        {"20201025T010000,00+00", 1, "02:00:00.00 zone -1"},
    };
    for (const Case& c : cases) {
        std::string described = Describe(Fields(InZone(c.gmt, c.zone, true)));
        EXPECT_EQ(described.substr(described.find(':') - 2), c.local) << c.gmt;
        EXPECT_FALSE(Fields(InZone(c.gmt, c.zone, false)).dst) << c.gmt;  // not observed: never shifts
    }
}

TEST_F(TimeSettings, TextFollowsTheSettingsAndReadsBack) {
    TIMEDATE summer = FromExchange("20200728T122240,71-04", true);
    TIMEDATE gmt = FromExchange("19891109T215306,00+00", false);
    auto sameSecond = [](const TIMEDATE& a, const TIMEDATE& b) {
        return a.Innards[0] / 100 == b.Innards[0] / 100 && (a.Innards[1] & 0xFFFFFF) == (b.Innards[1] & 0xFFFFFF);
    };

    std::string text = TimeText(summer);
    EXPECT_EQ(text.substr(0, 19), "07/28/2020 12:22:40");
    EXPECT_TRUE(sameSecond(Parse(text), summer)) << text;
    TIMEDATE back = Parse(TimeText(gmt));
    EXPECT_EQ(back.Innards[0], gmt.Innards[0]);
    EXPECT_EQ(back.Innards[1], gmt.Innards[1]);

    IniSet("DateOrder", "DMY");
    IniSet("DateSeparator", ".");
    text = TimeText(summer);
    EXPECT_EQ(text.substr(0, 19), "28.07.2020 12:22:40");
    EXPECT_TRUE(sameSecond(Parse(text), summer)) << text;

    IniSet("DateOrder", "YMD");
    IniSet("DateSeparator", "-");
    IniSet("TimeSeparator", ".");
    EXPECT_EQ(TimeText(gmt), "1989-11-09 21.53.06");
    EXPECT_EQ(TimeText(FromExchange("20200727", false)), "2020-07-27");
    EXPECT_EQ(TimeText(FromExchange("T101112,00", false)), "10.11.12");
    EXPECT_EQ(Parse("2020-07-27").Innards[0], ALLDAY);
    EXPECT_EQ(Parse("2020-07-27").Innards[1], FromExchange("20200727", false).Innards[1]);
    EXPECT_EQ(Parse("10.11.12").Innards[0], 3667200u);
    EXPECT_EQ(Parse("10.11.12").Innards[1], ANYDAY);

    TIMEDATE time;
    for (const char* bad : {"", "hello", "2020-13-01", "2020-02-30", "2020-07-28 25.00.00", "2020-07-28 x"}) {
        EXPECT_EQ(TextToTime(bad, static_cast<WORD>(std::strlen(bad)), &time), ERR_TIME_TEXT) << bad;
    }
}

TEST_F(TimeSettings, RangesAndLimits) {
    TIMEDATE_PAIR range{FromExchange("20200728T122240,71-04", true), FromExchange("20200729T080000,00-04", true)};
    char buf[163];
    WORD length = 0;
    ASSERT_EQ(TimeRangeToText(&range, buf, sizeof buf, &length), NOERROR);
    EXPECT_EQ(std::string(buf), TimeText(range.Lower) + " - " + TimeText(range.Upper));
    EXPECT_EQ(length, std::strlen(buf));
    // A text that does not fit is refused, never cut short.
    EXPECT_NE(TimeToText(&range.Lower, buf, 12, &length), NOERROR);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(length, 0);
    EXPECT_NE(TimeRangeToText(&range, buf, 30, &length), NOERROR);
}

TEST_F(TimeSettings, CurrentTimeInTheConfiguredZone) {
    TIMEDATE now;
    CurrentTime(&now);
    EXPECT_EQ(now.Innards[1] >> 24, 0u);  // GMT unless notes.ini says otherwise
    std::time_t seconds = std::time(nullptr);
    int64_t expected = (static_cast<int64_t>(seconds) / 86400 + 2440588) * 86400 + seconds % 86400;
    int64_t got = static_cast<int64_t>(now.Innards[1] & 0x00FFFFFF) * 86400 + now.Innards[0] / 100;
    EXPECT_LE(std::abs(got - expected), 2);

    IniSet("TimeZone", "5");
    IniSet("DST", "1");
    CurrentTime(&now);
    EXPECT_EQ(now.Innards[1] >> 24, 0x85u);
    EXPECT_EQ(Fields(now).zone, 5);
}

} // namespace
