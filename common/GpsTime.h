#pragma once
// GPS time against UTC. The unit reports GPS time, which counts every
// second and so runs ahead of UTC by the leap seconds inserted since
// 6 January 1980 (18 s since 1 January 2017). Collections keep the GPS time
// as the unit gave it; what is written out as UTC goes through here.
// A new leap second means a new row in the table in GpsTime.cpp.

#include <cstdint>

namespace quorl {

// A calendar date and time without zone; second 60 only for a leap second.
struct CivilTime {
    int year = 1980;
    unsigned month = 1, day = 1, hour = 0, minute = 0, second = 0;
    bool operator==(const CivilTime&) const = default;
};

// Seconds since 1970-01-01 00:00 of the same calendar, every day 86400 s long.
std::int64_t SecondsOf(const CivilTime& t);
CivilTime CivilOf(std::int64_t seconds);

// GPS minus UTC at a UTC instant (seconds of the UTC calendar).
int LeapSecondsAtUtc(std::int64_t utcSeconds);

// The UTC time of a GPS time; a GPS second that falls on an inserted leap
// second comes out as 23:59:60.
CivilTime GpsToUtc(const CivilTime& gps);

}  // namespace quorl
