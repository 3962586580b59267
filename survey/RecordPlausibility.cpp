#include "survey/RecordPlausibility.h"

#include "common/ByteOrder.h"
#include "survey/CollectionFormat.h"

namespace quorl::collection {

namespace {

constexpr std::int32_t kMaxLatitude = 90 * 3600000;
constexpr std::int32_t kMaxLongitude = 180 * 3600000;

bool Zero(const std::uint8_t* p, int from, int to) {
    for (int i = from; i <= to; ++i)
        if (p[i] != 0) return false;
    return true;
}

}  // namespace

bool ValidChannel(std::uint32_t channel) { return channel >= 1 && channel <= 196; }

bool OnEarth(std::int32_t latitude, std::int32_t longitude) {
    return latitude >= -kMaxLatitude && latitude <= kMaxLatitude && longitude >= -kMaxLongitude &&
           longitude <= kMaxLongitude;
}

namespace {

// The layout's own fields: reserved word zero, fix code, date and time.
bool WellFormed(const std::uint8_t* r) {
    if (r[27] != 0 || r[28] != 0 || r[33] > 3) return false;
    const std::uint8_t month = r[13], day = r[14], hour = r[16], minute = r[17], second = r[18];
    const bool undated = month == 0 && day == 0;
    if (!undated && (month < 1 || month > 12 || day < 1 || day > 31)) return false;
    return hour <= 23 && minute <= 59 && second <= 60;
}

}  // namespace

bool PlausiblePoint(const std::uint8_t* r) {
    if (!KnownKind(r[0]) || !WellFormed(r)) return false;
    if (!OnEarth(static_cast<std::int32_t>(ReadLe32(r + 1)), static_cast<std::int32_t>(ReadLe32(r + 5)))) return false;
    // A position on the earth or a place on the plan, never both.
    const bool noPosition = Zero(r, 1, 8);
    const bool noPlace = Zero(r, 9, 12);
    if (r[0] <= 1 && !noPlace) return false;
    if ((r[0] == 2 || r[0] == 17) && !noPosition) return false;
    if (!noPosition && !noPlace) return false;
    return !Zero(r, 0, kPointRecordSize - 1);
}

bool LoosePoint(const std::uint8_t* r) { return WellFormed(r) && !Zero(r, 0, kPointRecordSize - 1); }

bool LooseAp(const std::uint8_t* r) { return Zero(r, 1, 3) && Zero(r, 6, 7); }

bool PlausibleAp(const std::uint8_t* r) {
    return ValidChannel(ReadLe32(r)) && (r[5] & 0x80) != 0 && r[6] == 0 && r[7] == 0;
}

}  // namespace quorl::collection
