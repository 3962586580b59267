#pragma once
// Numbers, MAC addresses and times as text, written straight into a buffer
// (each returns the end of what it wrote). std::to_chars for integers; the
// stored positions have their own exact path (see PutDegrees).

#include <charconv>
#include <cstdint>
#include <cstring>

#include "survey/CollectionFormat.h"

namespace quorl::exports {

inline char* PutUnsigned(char* p, std::uint64_t v) { return std::to_chars(p, p + 20, v).ptr; }
inline char* PutSigned(char* p, std::int64_t v) { return std::to_chars(p, p + 21, v).ptr; }
inline char* PutText(char* p, const char* text, std::size_t n) {
    std::memcpy(p, text, n);
    return p + n;
}
template <std::size_t N>
char* PutLiteral(char* p, const char (&text)[N]) {
    return PutText(p, text, N - 1);
}

// A stored position (1/3,600,000 degree) in degrees with seven decimals,
// exactly as printf("%.7f", stored / 3600000.0) writes it. In units of
// 1e-7 degree the value is stored * 25 / 9; its fraction is a ninth, never
// a half, and far larger than the error of the double, so rounding the
// integer quotient gives the same digits.
char* PutDegrees(char* p, std::int32_t stored);

// "00-0A-1B-2C-3D-4E", as the collector's point information shows it (17 characters).
char* PutMac(char* p, const std::array<std::uint8_t, 6>& mac);

// Whether the record's date and time name a moment that exists: months of
// their length, 29 February only in leap years, second 60 for a leap second.
bool IsRealTime(const collection::PointRecord& point);

// The point's date and time as ISO 8601. A GPS point's time is GPS time:
// with `gpsTime` it is written as UTC ("2024-06-11T09:04:43Z", the leap
// seconds taken off); else as the record holds it, without a zone (a plan
// tap's local time). Nothing written (p returned) when the record's fields
// are no date (month 0, hour 24, 29 February 2023, ...).
char* PutIsoTime(char* p, const collection::PointRecord& point, bool gpsTime);

// A double in its shortest round-trip form.
char* PutDouble(char* p, double v);
// A double with `decimals` (at most 8) digits after the point; nothing for
// one not finite or of 1e30 or more.
char* PutFixed(char* p, double v, int decimals);

}  // namespace quorl::exports
