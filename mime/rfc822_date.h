// Times as the Date and Delivery-date lines of mail headers write them.
#pragma once

#include <string>

#include "talix_platform/timedate.h"
#include "talix_platform/types.h"

namespace talix {

// "Tue,  8 Jul 2025 09:05:03 -0500": the day name, the day (two places),
// the month name, the year, the time and the zone of the time's own
// calendar fields. The zone is taken from the platform's zone value z
// (negated): hours z modulo 100, minutes z / 100, one hour more under
// daylight saving time (an hour past 11 becomes 0). Returns 1, or 0 with
// out empty when the time has no calendar fields.
int FormatRFC822Date(const plat::TIMEDATE* time, std::string* out);
// The same text from calendar fields.
void FormatRFC822Fields(const plat::TimeFields& fields, std::string* out);

} // namespace talix
