#include "export/TextFormat.h"

#include <cmath>

#include "common/GpsTime.h"

namespace quorl::exports {

namespace {
char* PutTwoDigits(char* p, unsigned v) {
    p[0] = static_cast<char>('0' + v / 10);
    p[1] = static_cast<char>('0' + v % 10);
    return p + 2;
}
}  // namespace

char* PutDegrees(char* p, std::int32_t stored) {
    std::int64_t scaled = std::int64_t{stored} * 25;
    if (scaled < 0) {
        *p++ = '-';
        scaled = -scaled;
    }
    const std::uint64_t units = static_cast<std::uint64_t>((scaled + 4) / 9);  // nearest 1e-7
    p = PutUnsigned(p, units / 10000000);
    *p++ = '.';
    std::uint64_t fraction = units % 10000000;
    for (int i = 6; i >= 0; --i) {
        p[i] = static_cast<char>('0' + fraction % 10);
        fraction /= 10;
    }
    return p + 7;
}

char* PutMac(char* p, const std::array<std::uint8_t, 6>& mac) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (int i = 0; i < 6; ++i) {
        if (i > 0) *p++ = '-';
        p[0] = kHex[mac[i] >> 4];
        p[1] = kHex[mac[i] & 15];
        p += 2;
    }
    return p;
}

bool IsRealTime(const collection::PointRecord& r) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (r.month < 1 || r.month > 12 || r.day < 1 || r.hour > 23 || r.minute > 59 || r.second > 60) return false;
    const unsigned year = 1980u + r.year;
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return r.day <= kDays[r.month - 1] + (r.month == 2 && leap ? 1u : 0u);
}

char* PutIsoTime(char* p, const collection::PointRecord& r, bool gpsTime) {
    if (!IsRealTime(r)) return p;
    CivilTime t{static_cast<int>(1980u + r.year), r.month, r.day, r.hour, r.minute, r.second};
    if (gpsTime) t = GpsToUtc(t);
    p = PutUnsigned(p, static_cast<unsigned>(t.year));
    *p++ = '-';
    p = PutTwoDigits(p, t.month);
    *p++ = '-';
    p = PutTwoDigits(p, t.day);
    *p++ = 'T';
    p = PutTwoDigits(p, t.hour);
    *p++ = ':';
    p = PutTwoDigits(p, t.minute);
    *p++ = ':';
    p = PutTwoDigits(p, t.second);
    if (gpsTime) *p++ = 'Z';
    return p;
}

char* PutDouble(char* p, double v) { return std::to_chars(p, p + 32, v).ptr; }

char* PutFixed(char* p, double v, int decimals) {
    // Nothing for what would not fit (an absurd scale): an empty field, never garbage.
    if (!std::isfinite(v) || std::fabs(v) >= 1e30) return p;
    const auto r = std::to_chars(p, p + 40, v, std::chars_format::fixed, decimals);
    return r.ec == std::errc() ? r.ptr : p;
}

}  // namespace quorl::exports
