#include "survey/RecordPlausibility.h"

#include "survey/CollectionFormat.h"

namespace quorl::collection {

namespace {

bool Zero(const std::uint8_t* p, int from, int to) {
    for (int i = from; i <= to; ++i)
        if (p[i] != 0) return false;
    return true;
}

}  // namespace

bool KnownKind(std::uint8_t kind) { return kind == 0 || kind == 1 || kind == 2 || kind == 17 || kind == 255; }

bool LoosePoint(const std::uint8_t* r) { return !Zero(r, 0, kPointRecordSize - 1); }

// The same for every kind, so that deleting a point (its kind becomes 255)
// never changes how the walk reads the file. Every point a collector takes
// has a date (the tablet's clock, or the GPS receiver's once it reported);
// asking for one is what keeps runs of zeros in SSID padding from passing.
bool StrictPoint(const std::uint8_t* r) {
    const std::uint8_t month = r[13], day = r[14], hour = r[16], minute = r[17], second = r[18];
    return KnownKind(r[0]) && month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour <= 23 && minute <= 59 &&
           second <= 60 && r[27] == 0 && r[28] == 0 && r[33] <= 3;
}

bool LooseAp(const std::uint8_t* r) { return Zero(r, 1, 3) && Zero(r, 6, 7); }

bool StrictAp(const std::uint8_t* r) { return LooseAp(r) && r[0] != 0 && (r[5] & 0x80) != 0; }

}  // namespace quorl::collection
