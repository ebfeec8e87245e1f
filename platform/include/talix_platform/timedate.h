// Time: the current time, TIMEDATE to text and back, and calendar fields.
//
// A TIMEDATE holds hundredths of a second since midnight GMT in Innards[0]
// (0xFFFFFFFF: no time) and, in Innards[1], the Julian day (bits 0-23), the
// zone's standard offset in whole hours (bits 24-27) and quarter hours (bits
// 28-29), east of GMT (bit 30) and daylight saving observed (bit 31);
// 0xFFFFFFFF there means no date.
#pragma once

#include "talix_platform/types.h"

namespace plat {

constexpr DWORD ALLDAY = 0xFFFFFFFF;
constexpr DWORD ANYDAY = 0xFFFFFFFF;

struct TimeFields {
    int year = 0;
    int month = 0;       // 1-12
    int day = 0;         // 1-31
    int weekday = 0;     // 1 (Sunday) - 7
    int hour = 0;
    int minute = 0;
    int second = 0;
    int hundredth = 0;
    // The zone in the platform's convention: hours in the two low decimal
    // digits, minutes above them, the sign negated (west of GMT is positive),
    // so GMT-5 is 5 and GMT+5:30 is -3005.
    int zone = 0;
    // TimeToFields: daylight saving is in force at that time (the fields are
    // daylight time). TimeFromFields: the zone observes daylight saving.
    bool dst = false;
    bool hasDate = true;
    bool hasTime = true;
};

TPLAT_API void CurrentTime(TIMEDATE* now);

// Calendar fields of a time, in local time of the time's own zone (daylight
// saving applied where it is in effect on that date).
TPLAT_API STATUS TimeToFields(const TIMEDATE* time, TimeFields* fields);
// A TIMEDATE from local calendar fields and their zone.
TPLAT_API STATUS TimeFromFields(const TimeFields* fields, TIMEDATE* time);

// Text of a time under the international settings (notes.ini "DateOrder"
// YMD/MDY/DMY, "DateSeparator", "TimeSeparator"; default "MM/DD/YYYY
// HH:MM:SS"), at most limit bytes with the terminator (times use 80).
TPLAT_API STATUS TimeToText(const TIMEDATE* time, char* buf, WORD limit, WORD* length);
// Text of a range: "lower - upper" (ranges use 163).
TPLAT_API STATUS TimeRangeToText(const TIMEDATE_PAIR* range, char* buf, WORD limit, WORD* length);
// Parses the text forms TimeToText writes (date, time or both); the zone is
// GMT unless the text names one.
TPLAT_API STATUS TextToTime(const char* text, WORD length, TIMEDATE* time);

// The exchange form "YYYYMMDDTHHMMSS,hh+ZZ" (date only "YYYYMMDD", time only
// "THHMMSS,hh"); dst tells whether the zone observes daylight saving.
TPLAT_API STATUS TimeFromExchangeText(const char* text, bool dst, TIMEDATE* time);
TPLAT_API STATUS TimeToExchangeText(const TIMEDATE* time, char* buf, WORD limit, bool* dst);

} // namespace plat
