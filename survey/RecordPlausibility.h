#pragma once
// What a record the unit writes can look like. The walk takes a group only
// when its point record and every access point record pass these checks, so
// that damaged bytes (zeros, foreign data, records read out of step) are not
// read as points. Each check excludes something the collector never writes;
// a record that fails one is not ours, whatever else it holds.

#include <cstdint>

namespace quorl::collection {

// Point kinds a file may hold: GPS point, projected tap, plan tap, marker, deleted.
constexpr bool KnownKind(std::uint8_t kind) {
    return kind == 0 || kind == 1 || kind == 2 || kind == 17 || kind == 255;
}
// 2.4 GHz channels 1 to 14, 5 GHz channels up to 196.
bool ValidChannel(std::uint32_t channel);
// Stored latitude and longitude (1/3,600,000 degree) on the earth.
bool OnEarth(std::int32_t latitude, std::int32_t longitude);

// A point record (its first 36 bytes): a known kind, not all zeros (a
// zeroed block holds no point), a position on the earth (every kind
// alike, so that deleting a point never changes how the file reads) and no
// place on the plan for the GPS kinds, a place on the plan and no position
// for taps and markers (a deleted point either), either
// no date at all (older units, points before the GPS receiver reported) or a
// date and a time in range, the reserved word zero and a fix code of 0 to 3.
bool PlausiblePoint(const std::uint8_t* record);

// What a file that reads by its counts from end to end still needs: point
// records not all zeros, with the reserved word zero, a fix code of 0 to 3
// and no date or one in range; access point records whose channel is one
// byte zero-extended and whose reserved bytes are zero. Such a file may hold
// what the unit never writes (kinds it does not know, positions off the
// earth, odd levels), written by other programs; it is read as it says.
bool LoosePoint(const std::uint8_t* record);
bool LooseAp(const std::uint8_t* record);

// An access point record (its first 46 bytes): a valid channel, zero-extended
// to 32 bits, a signal below 0 dBm as every receiver reports, and the two
// reserved bytes zero.
bool PlausibleAp(const std::uint8_t* record);

}  // namespace quorl::collection
