#include "mime/rfc822_date.h"

#include <cstdio>

#include "talix_platform.h"

namespace talix {

namespace {

constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

void FormatRFC822Fields(const plat::TimeFields& fields, std::string* out) {
    const char* day = fields.weekday >= 1 && fields.weekday <= 7 ? kDays[fields.weekday - 1] : "???";
    const char* month = fields.month >= 1 && fields.month <= 12 ? kMonths[fields.month - 1] : "???";
    // The zone value holds hours in its two low decimal digits and minutes
    // above them, negated; the offset is taken whole, so that a zone west of
    // GMT with minutes is written "-0330", its sign once before both.
    const int z = -fields.zone;
    const int magnitude = z < 0 ? -z : z;
    int offset = (z < 0 ? -1 : 1) * (magnitude % 100 * 60 + magnitude / 100);
    if (fields.dst) offset += 60;
    const int offsetMagnitude = offset < 0 ? -offset : offset;
    char text[96];
    std::snprintf(text, sizeof text, "%s, %2d %s %4d %02d:%02d:%02d %c%02d%02d", day, fields.day, month, fields.year,
                  fields.hour, fields.minute, fields.second, offset < 0 ? '-' : '+', offsetMagnitude / 60,
                  offsetMagnitude % 60);
    *out = text;
}

int FormatRFC822Date(const plat::TIMEDATE* time, std::string* out) {
    out->clear();
    plat::TimeFields fields;
    if (time == nullptr || plat::TimeToFields(time, &fields) != plat::NOERROR || !fields.hasDate) return 0;
    FormatRFC822Fields(fields, out);
    return 1;
}

} // namespace talix
