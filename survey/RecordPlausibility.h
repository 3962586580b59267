#pragma once
// How much a record looks like what a collector writes. The walk trusts a
// group it reaches by counts when the loose checks hold; where the file is
// damaged it trusts a new start only on the strict ones, which hold for every
// record written as the file layout says and almost never for misaligned
// access point bytes, SSID padding or zeros.

#include <cstdint>

namespace quorl::collection {

// Point kinds a file may hold: GPS point, projected tap, plan tap, marker, deleted.
bool KnownKind(std::uint8_t kind);

// Loose: not 36 zero bytes (a zeroed block of a file after a power cut;
// such a record holds nothing a point could). Any kind: a kind this program
// does not know is walked past by its count, as the file layout says.
bool LoosePoint(const std::uint8_t* record);
// Strict: a known kind, a date and a time in range, the reserved word zero,
// a fix code of 0 to 3.
bool StrictPoint(const std::uint8_t* record);

// Loose: the channel's upper three bytes and the two reserved bytes are
// zero (a channel is one byte, zero-extended).
bool LooseAp(const std::uint8_t* record);
// Strict: also a channel other than 0 and a signal below 0 dBm, as every
// receiver reports. (A plan tap's record has a channel and zeros where the
// signal goes: this keeps it from passing for an access point.)
bool StrictAp(const std::uint8_t* record);

}  // namespace quorl::collection
