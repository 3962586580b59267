#include "common/GpsTime.h"

#include <array>

namespace quorl {

namespace {

struct Leap {
    int year;
    unsigned month;  // the new count holds from the 1st of this month, 00:00 UTC
    int gpsMinusUtc;
};

// Every leap second since the GPS epoch (IERS Bulletin C).
constexpr std::array<Leap, 18> kLeaps = {{{1981, 7, 1},  {1982, 7, 2},  {1983, 7, 3},  {1985, 7, 4},
                                          {1988, 1, 5},  {1990, 1, 6},  {1991, 1, 7},  {1992, 7, 8},
                                          {1993, 7, 9},  {1994, 7, 10}, {1996, 1, 11}, {1997, 7, 12},
                                          {1999, 1, 13}, {2006, 1, 14}, {2009, 1, 15}, {2012, 7, 16},
                                          {2015, 7, 17}, {2017, 1, 18}}};

// Days from 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's
// algorithms: exact for every year, no time zone involved).
std::int64_t DaysOf(int y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::int64_t LeapStart(const Leap& l) { return DaysOf(l.year, l.month, 1) * 86400; }

}  // namespace

std::int64_t SecondsOf(const CivilTime& t) {
    return DaysOf(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

CivilTime CivilOf(std::int64_t seconds) {
    std::int64_t days = seconds / 86400, rest = seconds % 86400;
    if (rest < 0) rest += 86400, --days;
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    CivilTime t;
    t.day = doy - (153 * mp + 2) / 5 + 1;
    t.month = mp < 10 ? mp + 3 : mp - 9;
    t.year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (t.month <= 2));
    t.hour = static_cast<unsigned>(rest / 3600);
    t.minute = static_cast<unsigned>(rest / 60 % 60);
    t.second = static_cast<unsigned>(rest % 60);
    return t;
}

int LeapSecondsAtUtc(std::int64_t utcSeconds) {
    int count = 0;
    for (const Leap& l : kLeaps)
        if (utcSeconds >= LeapStart(l)) count = l.gpsMinusUtc;
    return count;
}

CivilTime GpsToUtc(const CivilTime& gps) {
    const std::int64_t g = SecondsOf(gps);
    int count = 0;
    for (const Leap& l : kLeaps) {
        // UTC midnight of the leap is GPS start + count; the GPS second
        // before it is the inserted 23:59:60.
        const std::int64_t start = LeapStart(l);
        if (g == start + l.gpsMinusUtc - 1) {
            CivilTime t = CivilOf(start - 1);
            t.second = 60;
            return t;
        }
        if (g >= start + l.gpsMinusUtc) count = l.gpsMinusUtc;
    }
    return CivilOf(g - count);
}

}  // namespace quorl
