// Time: TIMEDATE values, their calendar fields, their texts under the
// international settings, the exchange form of exported notes, and the
// current time.
//
// A TIMEDATE is an instant (hundredths since midnight GMT and a Julian day)
// plus the zone it belongs to: the zone's standard offset and whether the
// zone observes daylight saving. Local fields are those of that zone, with
// daylight saving applied when it is in force at the instant.
//
// Daylight-saving rule (northern hemisphere only):
// - zones west of GMT follow the US rule: from 2007 on, from the second
//   Sunday of March 2:00 standard time to the first Sunday of November 2:00
//   daylight time; before 2007, from the first Sunday of April to the last
//   Sunday of October, at the same hours;
// - GMT and the zones east of it follow the EU rule: from the last Sunday of
//   March 1:00 GMT to the last Sunday of October 1:00 GMT.
//
// The current time is given in the zone that notes.ini names: "TimeZone" in
// the zone convention of TimeFields (5 for GMT-5, -100 is not GMT+1 but
// GMT+0:01, GMT+1 is -1) and "DST" (non-zero: the zone observes daylight
// saving); GMT when unset.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "status_codes.h"
#include "talix_platform/log.h"
#include "talix_platform/timedate.h"

namespace plat {

namespace {

constexpr int64_t kTicksPerSecond = 100;  // a tick is a hundredth of a second
constexpr int64_t kTicksPerMinute = 60 * kTicksPerSecond;
constexpr int64_t kTicksPerHour = 60 * kTicksPerMinute;
constexpr int64_t kTicksPerDay = 24 * kTicksPerHour;
constexpr int64_t kEpochJulianDay = 2440588;  // 1970-01-01
constexpr int64_t kMaxJulianDay = 0xFFFFFF;

constexpr DWORD kJulianDayMask = 0x00FFFFFF;
constexpr int kZoneHoursShift = 24;
constexpr int kZoneQuartersShift = 28;
constexpr DWORD kZoneEastBit = 0x40000000;
constexpr DWORD kZoneDstBit = 0x80000000;
constexpr int kMaxZoneMinutes = 15 * 60 + 45;  // what the zone bits can hold

constexpr WORD kTimeTextLimit = 80;

// A zone: standard offset in minutes (east of GMT positive) and whether it
// observes daylight saving.
struct Zone {
    int offsetMinutes = 0;
    bool dstObserved = false;
};

int64_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    int64_t era = FloorDiv(year, 400);
    int64_t yearOfEra = year - era * 400;
    int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t days, int64_t* year, int* month, int* day) {
    days += 719468;
    int64_t era = FloorDiv(days, 146097);
    int64_t dayOfEra = days - era * 146097;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t mp = (5 * dayOfYear + 2) / 153;
    *day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    *month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    *year = yearOfEra + era * 400 + (*month <= 2 ? 1 : 0);
}

// 0 for Sunday to 6 for Saturday (1970-01-01 was a Thursday).
int WeekdayOf(int64_t days) {
    return static_cast<int>(days + 4 - FloorDiv(days + 4, 7) * 7);
}

bool IsLeapYear(int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int64_t year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// The first Sunday on or after a date, as days since 1970-01-01.
int64_t SundayOnOrAfter(int64_t year, int month, int day) {
    int64_t days = DaysFromCivil(year, month, day);
    return days + (7 - WeekdayOf(days)) % 7;
}

// Whether daylight saving is in force at an instant (ticks since 1970-01-01
// GMT) in a zone.
bool DstInForce(int64_t ticks, const Zone& zone) {
    if (!zone.dstObserved) return false;
    int64_t standardOffset = zone.offsetMinutes * kTicksPerMinute;
    int64_t year;
    int month, day;
    CivilFromDays(FloorDiv(ticks + standardOffset, kTicksPerDay), &year, &month, &day);
    int64_t start, end;
    if (zone.offsetMinutes >= 0) {
        start = SundayOnOrAfter(year, 3, 25) * kTicksPerDay + kTicksPerHour;
        end = SundayOnOrAfter(year, 10, 25) * kTicksPerDay + kTicksPerHour;
    } else {
        int64_t startDay = year >= 2007 ? SundayOnOrAfter(year, 3, 8) : SundayOnOrAfter(year, 4, 1);
        int64_t endDay = year >= 2007 ? SundayOnOrAfter(year, 11, 1) : SundayOnOrAfter(year, 10, 25);
        start = startDay * kTicksPerDay + 2 * kTicksPerHour - standardOffset;  // 2:00 standard
        end = endDay * kTicksPerDay + kTicksPerHour - standardOffset;          // 2:00 daylight
    }
    return ticks >= start && ticks < end;
}

// ---- TIMEDATE words ------------------------------------------------------------

Zone ZoneOfWord(DWORD word) {
    Zone zone;
    int minutes = static_cast<int>((word >> kZoneHoursShift) & 0xF) * 60 +
                  static_cast<int>((word >> kZoneQuartersShift) & 0x3) * 15;
    zone.offsetMinutes = (word & kZoneEastBit) != 0 ? minutes : -minutes;
    zone.dstObserved = (word & kZoneDstBit) != 0;
    return zone;
}

bool ZoneRepresentable(int offsetMinutes) {
    return offsetMinutes % 15 == 0 && offsetMinutes >= -kMaxZoneMinutes && offsetMinutes <= kMaxZoneMinutes;
}

DWORD ZoneWord(const Zone& zone) {
    int minutes = zone.offsetMinutes < 0 ? -zone.offsetMinutes : zone.offsetMinutes;
    DWORD word = static_cast<DWORD>(minutes / 60) << kZoneHoursShift |
                 static_cast<DWORD>((minutes % 60) / 15) << kZoneQuartersShift;
    if (zone.offsetMinutes > 0) word |= kZoneEastBit;
    if (zone.dstObserved) word |= kZoneDstBit;
    return word;
}

// The zone in the convention of TimeFields: hours in the two low decimal
// digits, minutes above them, negated (west of GMT positive).
int FieldZone(const Zone& zone) {
    int minutes = zone.offsetMinutes < 0 ? -zone.offsetMinutes : zone.offsetMinutes;
    int value = minutes / 60 + (minutes % 60) * 100;
    return zone.offsetMinutes > 0 ? -value : value;
}

bool ZoneFromField(int field, Zone* zone) {
    int magnitude = field < 0 ? -field : field;
    int hours = magnitude % 100;
    int minutes = magnitude / 100;
    if (minutes >= 60) return false;
    int offset = hours * 60 + minutes;
    zone->offsetMinutes = field < 0 ? offset : -offset;
    return ZoneRepresentable(zone->offsetMinutes);
}

bool HasTime(const TIMEDATE& time) {
    return time.Innards[0] != ALLDAY;
}

bool HasDate(const TIMEDATE& time) {
    return time.Innards[1] != ANYDAY;
}

// The instant of a TIMEDATE with date and time, in ticks since 1970-01-01 GMT.
int64_t InstantOf(const TIMEDATE& time) {
    int64_t julianDay = time.Innards[1] & kJulianDayMask;
    return (julianDay - kEpochJulianDay) * kTicksPerDay + time.Innards[0];
}

STATUS MakeTime(int64_t ticks, const Zone& zone, TIMEDATE* time) {
    int64_t julianDay = FloorDiv(ticks, kTicksPerDay) + kEpochJulianDay;
    if (julianDay < 0 || julianDay > kMaxJulianDay || !ZoneRepresentable(zone.offsetMinutes)) {
        return ERR_TIME_VALUE;
    }
    time->Innards[0] = static_cast<DWORD>(ticks - FloorDiv(ticks, kTicksPerDay) * kTicksPerDay);
    time->Innards[1] = static_cast<DWORD>(julianDay) | ZoneWord(zone);
    return NOERROR;
}

// Local date and time of a tick count (already shifted into the zone).
void FillDate(int64_t days, TimeFields* fields) {
    int64_t year;
    CivilFromDays(days, &year, &fields->month, &fields->day);
    fields->year = static_cast<int>(year);
    fields->weekday = WeekdayOf(days) + 1;
}

void FillTime(int64_t ticks, TimeFields* fields) {
    fields->hour = static_cast<int>(ticks / kTicksPerHour);
    fields->minute = static_cast<int>(ticks / kTicksPerMinute % 60);
    fields->second = static_cast<int>(ticks / kTicksPerSecond % 60);
    fields->hundredth = static_cast<int>(ticks % kTicksPerSecond);
}

bool ValidTimeOfDay(int hour, int minute, int second, int hundredth) {
    return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60 && hundredth >= 0 &&
           hundredth < 100;
}

bool ValidDate(int64_t year, int month, int day) {
    return month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

// Ticks since 1970-01-01 GMT of a local time in a zone. When the zone observes
// daylight saving and it is in force at the result, the local time is read as
// daylight time.
int64_t LocalToInstant(int64_t localTicks, const Zone& zone) {
    int64_t standard = localTicks - zone.offsetMinutes * kTicksPerMinute;
    if (DstInForce(standard - kTicksPerHour, zone)) return standard - kTicksPerHour;
    return standard;
}

// ---- Text helpers ----------------------------------------------------------------

STATUS CopyOut(const std::string& text, char* buf, WORD limit, WORD* length) {
    if (length != nullptr) *length = 0;
    if (text.size() + 1 > limit) {
        buf[0] = '\0';
        return ERR_BAD_ARGUMENT;
    }
    std::memcpy(buf, text.c_str(), text.size() + 1);
    if (length != nullptr) *length = static_cast<WORD>(text.size());
    return NOERROR;
}

std::string Printf(const char* format, int a, int b, int c) {
    char text[64];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

// The international settings behind time texts.
struct Settings {
    char order[3] = {'M', 'D', 'Y'};
    std::string dateSeparator = "/";
    std::string timeSeparator = ":";
};

std::string IniSeparator(const char* name, const char* fallback) {
    char value[8];
    WORD length = 0;
    if (!IniGetText(name, value, sizeof value, &length) || length == 0) return fallback;
    for (WORD i = 0; i < length; ++i) {
        // A separator that holds digits or spaces could not be read back.
        if ((value[i] >= '0' && value[i] <= '9') || value[i] == ' ') return fallback;
    }
    return std::string(value, length);
}

Settings ReadSettings() {
    Settings settings;
    char order[16];
    if (IniGetText("DateOrder", order, sizeof order)) {
        std::string upper;  // the letters, ignoring case and spaces around them
        for (const char* c = order; *c != '\0'; ++c) {
            if (*c != ' ') upper += static_cast<char>(*c >= 'a' && *c <= 'z' ? *c - 'a' + 'A' : *c);
        }
        if (upper == "DMY" || upper == "YMD" || upper == "MDY") std::memcpy(settings.order, upper.data(), 3);
    }
    settings.dateSeparator = IniSeparator("DateSeparator", "/");
    settings.timeSeparator = IniSeparator("TimeSeparator", ":");
    return settings;
}

// The text of one time: date, time or both, and the offset in force when
// the zone is not GMT.
STATUS TimeText(const TIMEDATE& time, const Settings& settings, std::string* text) {
    TimeFields fields;
    STATUS status = TimeToFields(&time, &fields);
    if (status != NOERROR) return status;
    text->clear();
    if (fields.hasDate) {
        for (int i = 0; i < 3; ++i) {
            if (i > 0) *text += settings.dateSeparator;
            char part = settings.order[i];
            int value = part == 'Y' ? fields.year : (part == 'M' ? fields.month : fields.day);
            *text += Printf(part == 'Y' ? "%04d" : "%02d", value, 0, 0);
        }
    }
    if (fields.hasTime) {
        if (!text->empty()) *text += ' ';
        const std::string& sep = settings.timeSeparator;
        *text += Printf("%02d", fields.hour, 0, 0) + sep + Printf("%02d", fields.minute, 0, 0) + sep +
                 Printf("%02d", fields.second, 0, 0);
    }
    if (fields.hasDate && fields.hasTime) {
        Zone zone = ZoneOfWord(time.Innards[1]);
        int offset = zone.offsetMinutes + (fields.dst ? 60 : 0);
        if (offset != 0) {
            int magnitude = offset < 0 ? -offset : offset;
            *text += Printf(offset < 0 ? " GMT-%02d:%02d" : " GMT+%02d:%02d", magnitude / 60, magnitude % 60, 0);
        }
    }
    return NOERROR;
}

// A small reader over a text for the parsers below.
struct Reader {
    const std::string& text;
    size_t pos = 0;

    bool AtEnd() const { return pos >= text.size(); }
    void SkipSpaces() {
        while (pos < text.size() && text[pos] == ' ') ++pos;
    }
    bool Literal(const std::string& literal) {
        if (literal.empty() || text.compare(pos, literal.size(), literal) != 0) return false;
        pos += literal.size();
        return true;
    }
    // 1 to maxDigits digits (exactly digits when exact is set).
    bool Number(size_t maxDigits, int64_t* value, bool exact = false) {
        size_t start = pos;
        int64_t result = 0;
        while (pos < text.size() && pos - start < maxDigits && text[pos] >= '0' && text[pos] <= '9') {
            result = result * 10 + (text[pos] - '0');
            ++pos;
        }
        size_t digits = pos - start;
        if (digits == 0 || (exact && digits != maxDigits)) {
            pos = start;
            return false;
        }
        *value = result;
        return true;
    }
};

} // namespace

// ---- Current time and calendar fields ---------------------------------------------

void CurrentTime(TIMEDATE* now) {
    if (now == nullptr) return;
    auto since = std::chrono::system_clock::now().time_since_epoch();
    int64_t ticks = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
    ticks = FloorDiv(ticks, 10);
    Zone zone;
    if (!ZoneFromField(static_cast<int>(IniGetInt("TimeZone")), &zone)) zone = Zone{};
    zone.dstObserved = IniGetInt("DST") != 0;
    if (MakeTime(ticks, zone, now) != NOERROR) MakeTime(ticks, Zone{}, now);
}

STATUS TimeToFields(const TIMEDATE* time, TimeFields* fields) {
    if (time == nullptr || fields == nullptr) return ERR_BAD_ARGUMENT;
    *fields = TimeFields{};
    fields->hasDate = HasDate(*time);
    fields->hasTime = HasTime(*time);
    if (!fields->hasDate && !fields->hasTime) return ERR_TIME_VALUE;
    if (fields->hasTime && time->Innards[0] >= kTicksPerDay) return ERR_TIME_VALUE;

    if (!fields->hasDate) {
        FillTime(time->Innards[0], fields);
        return NOERROR;
    }
    Zone zone = ZoneOfWord(time->Innards[1]);
    fields->zone = FieldZone(zone);
    if (!fields->hasTime) {
        FillDate(static_cast<int64_t>(time->Innards[1] & kJulianDayMask) - kEpochJulianDay, fields);
        return NOERROR;
    }
    int64_t instant = InstantOf(*time);
    fields->dst = DstInForce(instant, zone);
    int64_t local = instant + zone.offsetMinutes * kTicksPerMinute + (fields->dst ? kTicksPerHour : 0);
    int64_t days = FloorDiv(local, kTicksPerDay);
    FillDate(days, fields);
    FillTime(local - days * kTicksPerDay, fields);
    return NOERROR;
}

STATUS TimeFromFields(const TimeFields* fields, TIMEDATE* time) {
    if (fields == nullptr || time == nullptr) return ERR_BAD_ARGUMENT;
    if (!fields->hasDate && !fields->hasTime) return ERR_TIME_VALUE;
    int64_t timeTicks = 0;
    if (fields->hasTime) {
        if (!ValidTimeOfDay(fields->hour, fields->minute, fields->second, fields->hundredth)) return ERR_TIME_VALUE;
        timeTicks = fields->hour * kTicksPerHour + fields->minute * kTicksPerMinute +
                    fields->second * kTicksPerSecond + fields->hundredth;
    }
    if (!fields->hasDate) {
        time->Innards[0] = static_cast<DWORD>(timeTicks);
        time->Innards[1] = ANYDAY;
        return NOERROR;
    }
    Zone zone;
    if (!ValidDate(fields->year, fields->month, fields->day) || !ZoneFromField(fields->zone, &zone)) {
        return ERR_TIME_VALUE;
    }
    zone.dstObserved = fields->dst;
    int64_t days = DaysFromCivil(fields->year, fields->month, fields->day);
    if (!fields->hasTime) {
        int64_t julianDay = days + kEpochJulianDay;
        if (julianDay < 0 || julianDay > kMaxJulianDay) return ERR_TIME_VALUE;
        time->Innards[0] = ALLDAY;
        time->Innards[1] = static_cast<DWORD>(julianDay) | ZoneWord(zone);
        return NOERROR;
    }
    return MakeTime(LocalToInstant(days * kTicksPerDay + timeTicks, zone), zone, time);
}

// ---- Texts under the international settings ---------------------------------------

STATUS TimeToText(const TIMEDATE* time, char* buf, WORD limit, WORD* length) {
    if (length != nullptr) *length = 0;
    if (time == nullptr || buf == nullptr || limit == 0) return ERR_BAD_ARGUMENT;
    std::string text;
    STATUS status = TimeText(*time, ReadSettings(), &text);
    if (status != NOERROR) {
        buf[0] = '\0';
        return status;
    }
    return CopyOut(text, buf, limit, length);
}

STATUS TimeRangeToText(const TIMEDATE_PAIR* range, char* buf, WORD limit, WORD* length) {
    if (length != nullptr) *length = 0;
    if (range == nullptr || buf == nullptr || limit == 0) return ERR_BAD_ARGUMENT;
    Settings settings = ReadSettings();
    std::string lower, upper;
    STATUS status = TimeText(range->Lower, settings, &lower);
    if (status == NOERROR) status = TimeText(range->Upper, settings, &upper);
    if (status != NOERROR) {
        buf[0] = '\0';
        return status;
    }
    return CopyOut(lower + " - " + upper, buf, limit, length);
}

STATUS TextToTime(const char* text, WORD length, TIMEDATE* time) {
    if (text == nullptr || time == nullptr) return ERR_BAD_ARGUMENT;
    std::string input(text, strnlen(text, length));
    Settings settings = ReadSettings();
    Reader reader{input};
    reader.SkipSpaces();

    // Date: three numbers in the configured order.
    bool hasDate = false;
    int64_t year = 0, month = 0, day = 0;
    {
        int64_t parts[3];
        size_t start = reader.pos;
        hasDate = reader.Number(9, &parts[0]) && reader.Literal(settings.dateSeparator) &&
                  reader.Number(9, &parts[1]) && reader.Literal(settings.dateSeparator) &&
                  reader.Number(9, &parts[2]);
        if (hasDate) {
            for (int i = 0; i < 3; ++i) {
                char part = settings.order[i];
                (part == 'Y' ? year : (part == 'M' ? month : day)) = parts[i];
            }
            if (!ValidDate(year, static_cast<int>(month), static_cast<int>(day))) return ERR_TIME_TEXT;
        } else {
            reader.pos = start;
        }
    }
    reader.SkipSpaces();

    // Time: hours and minutes, seconds optional.
    bool hasTime = false;
    int64_t hour = 0, minute = 0, second = 0;
    {
        size_t start = reader.pos;
        hasTime = reader.Number(2, &hour) && reader.Literal(settings.timeSeparator) && reader.Number(2, &minute);
        if (hasTime) {
            size_t beforeSeconds = reader.pos;
            if (!(reader.Literal(settings.timeSeparator) && reader.Number(2, &second))) reader.pos = beforeSeconds;
            if (!ValidTimeOfDay(static_cast<int>(hour), static_cast<int>(minute), static_cast<int>(second), 0)) {
                return ERR_TIME_TEXT;
            }
        } else {
            reader.pos = start;
        }
    }
    reader.SkipSpaces();

    // Zone: "GMT", optionally with the offset in force.
    Zone zone;
    if (reader.Literal("GMT")) {
        if (!hasDate || !hasTime) return ERR_TIME_TEXT;
        bool east = reader.Literal("+");
        if (east || reader.Literal("-")) {
            int64_t hours = 0, minutes = 0;
            if (!reader.Number(2, &hours, true) || !reader.Literal(":") || !reader.Number(2, &minutes, true) ||
                minutes >= 60) {
                return ERR_TIME_TEXT;
            }
            int offset = static_cast<int>(hours * 60 + minutes);
            zone.offsetMinutes = east ? offset : -offset;
            if (!ZoneRepresentable(zone.offsetMinutes)) return ERR_TIME_TEXT;
        }
        reader.SkipSpaces();
    }
    if (!reader.AtEnd() || (!hasDate && !hasTime)) return ERR_TIME_TEXT;

    TimeFields fields;
    fields.hasDate = hasDate;
    fields.hasTime = hasTime;
    fields.year = static_cast<int>(year);
    fields.month = static_cast<int>(month);
    fields.day = static_cast<int>(day);
    fields.hour = static_cast<int>(hour);
    fields.minute = static_cast<int>(minute);
    fields.second = static_cast<int>(second);
    fields.zone = FieldZone(zone);
    STATUS status = TimeFromFields(&fields, time);
    if (status != NOERROR) return ERR_TIME_TEXT;
    return NOERROR;
}

// ---- The exchange form -------------------------------------------------------------

STATUS TimeFromExchangeText(const char* text, bool dst, TIMEDATE* time) {
    if (text == nullptr || time == nullptr) return ERR_BAD_ARGUMENT;
    std::string input(text, strnlen(text, kTimeTextLimit));
    Reader reader{input};

    int64_t year = 0, month = 0, day = 0;
    bool hasDate = reader.Number(4, &year, true) && reader.Number(2, &month, true) && reader.Number(2, &day, true);
    if (hasDate && !ValidDate(year, static_cast<int>(month), static_cast<int>(day))) return ERR_TIME_TEXT;
    if (!hasDate) reader.pos = 0;

    int64_t hour = 0, minute = 0, second = 0, hundredth = 0;
    bool hasTime = reader.Literal("T");
    if (hasTime) {
        if (!reader.Number(2, &hour, true) || !reader.Number(2, &minute, true) || !reader.Number(2, &second, true)) {
            return ERR_TIME_TEXT;
        }
        if (reader.Literal(",") && !reader.Number(2, &hundredth, true)) return ERR_TIME_TEXT;
        if (!ValidTimeOfDay(static_cast<int>(hour), static_cast<int>(minute), static_cast<int>(second),
                            static_cast<int>(hundredth))) {
            return ERR_TIME_TEXT;
        }
    }
    if (!hasDate && !hasTime) return ERR_TIME_TEXT;

    // The offset written is the one in force at that local time; none is GMT.
    int written = 0;
    bool east = reader.Literal("+");
    if (east || reader.Literal("-")) {
        if (!hasDate || !hasTime) return ERR_TIME_TEXT;
        int64_t hours = 0, minutes = 0;
        if (!reader.Number(2, &hours, true)) return ERR_TIME_TEXT;
        if (!reader.AtEnd() && !reader.Number(2, &minutes, true)) return ERR_TIME_TEXT;
        if (minutes >= 60) return ERR_TIME_TEXT;
        written = static_cast<int>(hours * 60 + minutes);
        if (!east) written = -written;
        if (!ZoneRepresentable(written)) return ERR_TIME_TEXT;
    }
    if (!reader.AtEnd()) return ERR_TIME_TEXT;

    int64_t timeTicks = hour * kTicksPerHour + minute * kTicksPerMinute + second * kTicksPerSecond + hundredth;
    if (!hasDate) {
        time->Innards[0] = static_cast<DWORD>(timeTicks);
        time->Innards[1] = ANYDAY;
        return NOERROR;
    }
    int64_t days = DaysFromCivil(year, static_cast<int>(month), static_cast<int>(day));
    if (!hasTime) {
        time->Innards[0] = ALLDAY;
        time->Innards[1] = static_cast<DWORD>(days + kEpochJulianDay);
        return NOERROR;
    }
    int64_t instant = days * kTicksPerDay + timeTicks - written * kTicksPerMinute;
    // In a zone that observes daylight saving, a written offset in force
    // during daylight time is the standard offset plus one hour.
    Zone zone{written, dst};
    Zone daylight{written - 60, true};
    if (dst && ZoneRepresentable(daylight.offsetMinutes) && DstInForce(instant, daylight)) zone = daylight;
    if (MakeTime(instant, zone, time) != NOERROR) return ERR_TIME_TEXT;
    return NOERROR;
}

STATUS TimeToExchangeText(const TIMEDATE* time, char* buf, WORD limit, bool* dst) {
    if (dst != nullptr) *dst = false;
    if (time == nullptr || buf == nullptr || limit == 0) return ERR_BAD_ARGUMENT;
    buf[0] = '\0';
    TimeFields fields;
    STATUS status = TimeToFields(time, &fields);
    if (status != NOERROR) return status;
    if (fields.hasDate && (fields.year < 0 || fields.year > 9999)) return ERR_TIME_VALUE;

    std::string text;
    if (fields.hasDate) text += Printf("%04d%02d%02d", fields.year, fields.month, fields.day);
    if (fields.hasTime) {
        text += Printf("T%02d%02d%02d", fields.hour, fields.minute, fields.second);
        text += Printf(",%02d", fields.hundredth, 0, 0);
    }
    if (fields.hasDate && fields.hasTime) {
        Zone zone = ZoneOfWord(time->Innards[1]);
        int offset = zone.offsetMinutes + (fields.dst ? 60 : 0);
        int magnitude = offset < 0 ? -offset : offset;
        text += Printf(offset < 0 ? "-%02d" : "+%02d", magnitude / 60, 0, 0);
        if (magnitude % 60 != 0) text += Printf("%02d", magnitude % 60, 0, 0);
        if (dst != nullptr) *dst = zone.dstObserved;
    }
    return CopyOut(text, buf, limit, nullptr);
}

} // namespace plat
