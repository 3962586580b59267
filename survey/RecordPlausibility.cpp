#include "survey/RecordPlausibility.h"

#include "survey/CollectionFormat.h"

namespace quorl::collection {

namespace {

bool Zero(const std::uint8_t* p, int from, int to) {
    for (int i = from; i <= to; ++i)
        if (p[i] != 0) return false;
    return true;
}

// Bytes 13 to 18. Every point a collector takes has a date: the tablet's
// clock for a plan tap, the GPS receiver's once it has reported. Asking for
// one is what keeps runs of zeros in SSID padding from passing.
bool TimeInRange(const std::uint8_t* r) {
    const std::uint8_t month = r[13], day = r[14], hour = r[16], minute = r[17], second = r[18];
    return month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour <= 23 && minute <= 59 && second <= 60;
}

bool StrictAs(std::uint8_t kind, const std::uint8_t* r) {
    if (!TimeInRange(r)) return false;
    switch (kind) {
        case 0:
        case 1:  // no plan pixel, reserved word zero, fix 0 to 2
            return Zero(r, 9, 12) && Zero(r, 27, 28) && r[33] <= 2;
        case 2:  // no position and none of the GPS fields
            return Zero(r, 1, 8) && Zero(r, 19, 32) && r[33] == 3;
        case 17:
            return Zero(r, 27, 28);
        default:
            return false;
    }
}

}  // namespace

bool KnownKind(std::uint8_t kind) { return kind == 0 || kind == 1 || kind == 2 || kind == 17 || kind == 255; }

bool LoosePoint(const std::uint8_t* r) { return !Zero(r, 0, kPointRecordSize - 1); }

bool StrictPoint(const std::uint8_t* r) {
    if (!KnownKind(r[0])) return false;
    if (r[0] != 255) return StrictAs(r[0], r);
    return StrictAs(0, r) || StrictAs(1, r) || StrictAs(2, r) || StrictAs(17, r);
}

bool LooseAp(const std::uint8_t* r) { return Zero(r, 1, 3) && Zero(r, 6, 7); }

bool StrictAp(const std::uint8_t* r) { return LooseAp(r) && r[0] != 0; }

}  // namespace quorl::collection
